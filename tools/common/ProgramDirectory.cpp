#include "tools/common/ProgramDirectory.h"

#include <unistd.h>

#include <climits>

namespace fx5 {

std::string ProgramDirectory()
{
    char self[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string path = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
    return path.substr(0, path.find_last_of('/') + 1);
}

} // namespace fx5
