#include "tags/PathRewrite.h"

#include <cstdint>
#include <cstdlib>

bool RewriteTagPathIndex(const std::string& path, int offset, unsigned which, std::string& rewritten)
{
    size_t mark = std::string::npos, end = std::string::npos;
    if (which >= 1) {
        unsigned counter = 0;
        bool bracketSeen = false;
        for (size_t i = 0; i < path.size() && end == std::string::npos; ++i) {
            const char c = path[i];
            if (c == '[') {
                if (++counter == which) mark = i;
                bracketSeen = true;
            } else if (c == ',' && bracketSeen) {
                if (counter == which)
                    end = i;
                else if (++counter == which)
                    mark = i;
            } else if (c == ']' && bracketSeen && counter == which) {
                end = i;
            }
        }
        if (end == std::string::npos || mark == std::string::npos || end <= mark) return false;
    } else {
        end = path.rfind(']');
        if (end == std::string::npos || end == 0) return false;
        size_t i = end;
        while (i > 0 && path[i - 1] != '[' && path[i - 1] != ',') --i;
        if (i == 0) return false;
        mark = i - 1;
    }
    const std::string digits = path.substr(mark + 1, end - mark - 1);
    const long number = std::strtol(digits.c_str(), nullptr, 10);
    const uint32_t shifted = static_cast<uint32_t>(static_cast<int64_t>(offset) + number);
    rewritten = path.substr(0, mark + 1) + std::to_string(shifted) + path.substr(end);
    return true;
}
