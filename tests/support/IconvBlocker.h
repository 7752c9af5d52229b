// A system without iconv's conversion modules, as some panels are: while a
// blocker lives, iconv_open fails for every pair of character sets (the
// test binary provides iconv_open and forwards to the C library otherwise).
#pragma once

namespace testing_support {

class IconvBlocker {
public:
    IconvBlocker();
    ~IconvBlocker();
    IconvBlocker(const IconvBlocker&) = delete;
    IconvBlocker& operator=(const IconvBlocker&) = delete;
};

} // namespace testing_support
