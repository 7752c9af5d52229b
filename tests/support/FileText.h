// A whole file for a test's expectations, read as the tools read theirs:
// empty when it cannot be read.
#pragma once

#include <string>

#include "tools/common/WholeFile.h"

namespace testing_support {

inline std::string FileText(const std::string& path)
{
    std::string bytes;
    fx5::ReadWholeFile(path, bytes);
    return bytes;
}

} // namespace testing_support
