// The controller model served over TCP on the loopback interface: one
// thread accepts connections and answers every complete SLMP request.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "sim/SlmpHandler.h"

namespace sim {

class TcpServer {
public:
    explicit TcpServer(DeviceMemory& memory) : m_handler(memory) {}
    ~TcpServer() { Stop(); }
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Listens on 127.0.0.1:port (0 picks a free port); false on failure.
    bool Start(uint16_t port = 0);
    void Stop();
    uint16_t Port() const { return m_port; }
    uint64_t Requests() const { return m_requests.load(); }
    // Serialises access to the memory with the serving thread.
    std::mutex& MemoryLock() { return m_lock; }

private:
    void Serve();

    SlmpHandler m_handler;
    std::mutex m_lock;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<uint64_t> m_requests{0};
    int m_listen = -1;
    uint16_t m_port = 0;
};

} // namespace sim
