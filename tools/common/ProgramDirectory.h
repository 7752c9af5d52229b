// Where the running program lives: the tools find the driver and the
// simulator built or installed beside them.
#pragma once

#include <string>

namespace fx5 {

// The folder of the running executable, with a trailing '/'.
std::string ProgramDirectory();

} // namespace fx5
