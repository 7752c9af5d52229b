// The controller model served over TCP: one thread accepts, one thread per
// client answers, so a slow, silent or misbehaving client costs only its
// own connection. Faults can be switched on for every answer.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/SlmpHandler.h"

namespace sim {

// Faults applied to the answers, all combinable.
struct ServerFaults {
    unsigned delayMs = 0;      // wait this long before every answer
    unsigned silentEvery = 0;  // no answer to every Nth request (0: never)
    int endCode = -1;          // answer every request with this end code (-1: off)
    bool wrongRouting = false; // answer with another PC number
    unsigned closeAfter = 0;   // close each connection after N requests (0: never)
    bool split = false;        // send each answer in two segments, 5 ms apart
};

// One request and what became of it, for a request log.
struct ExchangeRecord {
    std::string client; // peer address:port
    RequestSummary request;
    int endCode = -1;    // -1: not answered
    uint64_t micros = 0; // from the complete request to the answer sent
};

class TcpServer {
public:
    explicit TcpServer(DeviceMemory& memory) : m_handler(memory) {}
    ~TcpServer() { Stop(); }
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Listens on bind:port (port 0 picks a free one); false on failure.
    bool Start(uint16_t port = 0, const std::string& bind = "127.0.0.1");
    // Closes every connection and waits for the serving threads.
    void Stop();
    uint16_t Port() const { return m_port; }
    const std::string& Address() const { return m_address; }
    uint64_t Requests() const { return m_requests.load(); }
    size_t Clients() const;

    void SetFaults(const ServerFaults& faults);
    void SetLog(std::function<void(const ExchangeRecord&)> log);
    // Serialises access to the memory with the serving threads.
    std::mutex& MemoryLock() { return m_memoryLock; }

    // Connections above this are closed at once.
    static constexpr size_t kMaxClients = 256;

private:
    struct Client {
        int fd = -1;
        std::string peer;
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void Accept();
    void Serve(Client& client);
    // Answers one complete request; false when the connection is to close.
    bool Answer(Client& client, const uint8_t* request, size_t size, unsigned& served);
    void Reap(bool all);
    bool PauseUnlessStopped(unsigned ms);

    SlmpHandler m_handler;
    std::mutex m_memoryLock;
    mutable std::mutex m_clientsLock;
    std::list<std::unique_ptr<Client>> m_clients;
    std::mutex m_settingsLock;
    ServerFaults m_faults;
    std::function<void(const ExchangeRecord&)> m_log;
    std::mutex m_stopLock;
    std::condition_variable m_stopped;
    std::thread m_acceptor;
    std::atomic<bool> m_running{false};
    std::atomic<uint64_t> m_requests{0};
    int m_listen = -1;
    uint16_t m_port = 0;
    std::string m_address;
};

} // namespace sim
