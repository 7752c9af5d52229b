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
    using StepFunction = void (*)(sim::DeviceMemory& memory, uint64_t tick);
    Animator(sim::DeviceMemory& memory, std::mutex& lock, StepFunction step = Step) : m_memory(memory), m_lock(lock), m_step(step) {}
    ~Animator() { Stop(); }
    Animator(const Animator&) = delete;
    Animator& operator=(const Animator&) = delete;
    void Start();
    void Stop();
    // One step of the animation at tick n (100 ms each).
    static void Step(sim::DeviceMemory& memory, uint64_t tick);
    // One step of the pattern memory (sim/PatternMemory.h).
    static void PatternStep(sim::DeviceMemory& memory, uint64_t tick);

private:
    sim::DeviceMemory& m_memory;
    std::mutex& m_lock;
    StepFunction m_step;
    std::thread m_thread;
    std::mutex m_waitLock;
    std::condition_variable m_wake;
    bool m_running = false;
};

} // namespace fx5sim
