// A file in this test process's own scratch folder: made on first use under
// the system's temporary folder and removed with everything in it when the
// process's tests end, passed or failed. The tests run as separate processes
// at once and never share a file.
#pragma once

#include <string>

namespace testing_support {

std::string TempPath(const std::string& name);

} // namespace testing_support
