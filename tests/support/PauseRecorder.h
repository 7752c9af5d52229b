// Records the driver's short pauses instead of sleeping them: the test
// binary provides usleep, so a test can see each pause the driver takes
// even under the virtual clock, which hides them.
#pragma once

#include <vector>

namespace testing_support {

class PauseRecorder {
public:
    PauseRecorder();
    ~PauseRecorder();
    PauseRecorder(const PauseRecorder&) = delete;
    PauseRecorder& operator=(const PauseRecorder&) = delete;
    // Microseconds of every pause since construction or the last Clear.
    std::vector<unsigned> Pauses() const;
    void Clear();
};

} // namespace testing_support
