#include "support/PauseRecorder.h"

#include <time.h>
#include <unistd.h>

#include <mutex>

namespace {
std::mutex g_lock;
bool g_recording = false;
std::vector<unsigned> g_pauses;
} // namespace

// Outside a recorder the pause is slept for real.
extern "C" int usleep(useconds_t microseconds)
{
    {
        std::lock_guard<std::mutex> hold(g_lock);
        if (g_recording) {
            g_pauses.push_back(static_cast<unsigned>(microseconds));
            return 0;
        }
    }
    timespec span{static_cast<time_t>(microseconds / 1000000), static_cast<long>(microseconds % 1000000) * 1000};
    return nanosleep(&span, nullptr);
}

namespace testing_support {

PauseRecorder::PauseRecorder()
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_recording = true;
    g_pauses.clear();
}

PauseRecorder::~PauseRecorder()
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_recording = false;
}

std::vector<unsigned> PauseRecorder::Pauses() const
{
    std::lock_guard<std::mutex> hold(g_lock);
    return g_pauses;
}

void PauseRecorder::Clear()
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_pauses.clear();
}

} // namespace testing_support
