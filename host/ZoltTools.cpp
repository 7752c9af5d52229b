#include "ZoltTools.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {
std::atomic<bool> g_virtual{false};
std::atomic<uint64_t> g_virtualNow{0};
} // namespace

uint64_t Zolt_GetTickCount()
{
    if (g_virtual.load()) return g_virtualNow.load();
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void Zolt_Sleep(unsigned int ms)
{
    if (g_virtual.load()) {
        g_virtualNow += ms;
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

namespace zolt_clock {
void UseVirtualClock(bool enabled, uint64_t startMs)
{
    g_virtualNow = startMs;
    g_virtual = enabled;
}
} // namespace zolt_clock
