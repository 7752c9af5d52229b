#include "tools/fx5-sim/Animator.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <string>

#include "sim/PatternMemory.h"
#include "tools/fx5-sim/MemoryFile.h"

namespace fx5sim {

void Animator::Step(sim::DeviceMemory& memory, uint64_t tick)
{
    const size_t d = *sim::AreaByName("D"), m = *sim::AreaByName("M");
    memory.SetWord(d, 0, static_cast<uint16_t>(tick));
    memory.SetWord(d, 1, static_cast<uint16_t>(tick % 101));
    const float sine = static_cast<float>(100.0 * std::sin(2.0 * M_PI * static_cast<double>(tick) / 100.0));
    uint32_t bits;
    std::memcpy(&bits, &sine, sizeof bits);
    memory.SetDword(d, 2, bits);
    memory.SetBit(m, 0, (tick / 5) % 2 == 1);
    std::string text = "T=" + std::to_string(tick / 10);
    text.resize(16, '\0');
    StoreString(memory, d, 10, text);
}

void Animator::PatternStep(sim::DeviceMemory& memory, uint64_t tick)
{
    const size_t d = *sim::AreaByName("D");
    for (uint32_t n = 0; n < sim::kPatternWords; ++n) memory.SetWord(d, n, sim::PatternWord(n, tick));
}

void Animator::Start()
{
    m_running = true;
    m_thread = std::thread([this] {
        uint64_t tick = 0;
        auto next = std::chrono::steady_clock::now();
        std::unique_lock<std::mutex> wait(m_waitLock);
        while (m_running) {
            {
                std::lock_guard<std::mutex> hold(m_lock);
                m_step(m_memory, tick++);
            }
            next += std::chrono::milliseconds(100);
            m_wake.wait_until(wait, next, [this] { return !m_running; });
        }
    });
}

void Animator::Stop()
{
    {
        std::lock_guard<std::mutex> hold(m_waitLock);
        if (!m_running) return;
        m_running = false;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

} // namespace fx5sim
