// Devices that move on their own, so that a demo shows live values. Every
// 100 ms: D0 counts up, D1 ramps 0 … 100 and starts again, D2-D3 hold a
// sine (a float, amplitude 100, period 10 s), M0 toggles every 500 ms, and
// D10-D17 hold the text "T=<seconds>" (first character in the low byte).
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "sim/DeviceMemory.h"

namespace fx5sim {

class Animator {
public:
    Animator(sim::DeviceMemory& memory, std::mutex& lock) : m_memory(memory), m_lock(lock) {}
    ~Animator() { Stop(); }
    Animator(const Animator&) = delete;
    Animator& operator=(const Animator&) = delete;
    void Start();
    void Stop();
    // One step of the animation at tick n (100 ms each).
    static void Step(sim::DeviceMemory& memory, uint64_t tick);

private:
    sim::DeviceMemory& m_memory;
    std::mutex& m_lock;
    std::thread m_thread;
    std::mutex m_waitLock;
    std::condition_variable m_wake;
    bool m_running = false;
};

} // namespace fx5sim
