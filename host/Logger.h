// Host logging library. By default lines go to stderr; a host may send
// them to its own sink or silence them.
#pragma once

#include <functional>
#include <string>

int logger_printf(int level, const char* function, const char* file, int line, int reserved, int kind, const char* tag, const char* format,
                  ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 8, 9)))
#endif
    ;

namespace zolt_log {
struct Line {
    int level;
    std::string function;
    std::string file;
    int line;
    std::string tag;
    std::string text;
};
using Sink = std::function<void(const Line&)>;
// An empty sink silences the logger; ResetSink restores stderr.
void SetSink(Sink sink);
void ResetSink();
} // namespace zolt_log
