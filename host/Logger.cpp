#include "Logger.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {
std::mutex g_mutex;
bool g_custom = false;
zolt_log::Sink g_sink;
} // namespace

int logger_printf(int level, const char* function, const char* file, int line, int, int, const char* tag, const char* format, ...)
{
    char text[1024] = {0};
    if (format) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
    }

    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_custom) {
        if (g_sink) g_sink({level, function ? function : "", file ? file : "", line, tag ? tag : "", text});
        return 0;
    }
    std::fprintf(stderr, "[%d] %s %s (%s:%d) %s\n", level, tag ? tag : "", function ? function : "", file ? file : "", line, text);
    return 0;
}

namespace zolt_log {
void SetSink(Sink sink)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_custom = true;
    g_sink = std::move(sink);
}
void ResetSink()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_custom = false;
    g_sink = nullptr;
}
} // namespace zolt_log
