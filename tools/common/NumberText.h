// Numbers typed by a user or held as text: read whole or refused, never
// taken as 0 or as their leading digits (a write of "12ab" must not send 12).
#pragma once

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fx5 {

inline bool ParseWholeInt(const std::string& text, int& out)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < INT_MIN || value > INT_MAX) return false;
    out = static_cast<int>(value);
    return true;
}

inline bool ParseWholeDouble(const std::string& text, double& out)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (errno == ERANGE || *end != '\0') return false;
    out = value;
    return true;
}

// The shortest text of 15 to 17 significant digits that reads back as the
// same double: whole numbers print as integers (3000000123, not 3e+09), and
// no digit a value holds is lost.
inline std::string ShortestText(double value)
{
    char text[40];
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    return text;
}

} // namespace fx5
