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
#include <optional>
#include <string>
#include <thread>

#include "sim/ConnectionEnds.h"
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

// One request and what became of it, for a request log; or, with `closed`
// set, why the simulator closed a client's connection.
struct ExchangeRecord {
    std::string client; // peer address:port
    RequestSummary request;
    int endCode = -1;    // -1: not answered
    uint64_t micros = 0; // from the complete request to the answer sent
    std::string closed;
};

// What went over a connection, from the controller's side, for a capture.
// `client` tells the connections apart while they are open.
struct ServerWire {
    enum Kind { Accepted, Received, Sent, Closed } kind;
    const void* client = nullptr;
    const uint8_t* bytes = nullptr; // Received, Sent
    size_t size = 0;
    ConnectionEnds ends{}; // Accepted: local is the server, peer the client
};

// An answer recorded elsewhere, played in place of the controller model's:
// its pieces, each sent that many milliseconds after the one before (none:
// no answer at all); or a request the recording cannot answer, which closes
// the connection.
struct PlayedAnswer {
    std::vector<std::pair<unsigned, std::vector<uint8_t>>> pieces;
    bool unanswerable = false;
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
    // Before Start: told every connection accepted, every piece received and
    // sent and every close, from the thread serving the connection.
    void SetWire(std::function<void(const ServerWire&)> wire) { m_wire = std::move(wire); }
    // Before Start: every request is answered by `playback` instead of the
    // controller model (faults, scan time and password do not apply).
    void SetPlayback(std::function<PlayedAnswer(const uint8_t*, size_t)> playback) { m_playback = std::move(playback); }
    // Before Start: answer like a controller that serves requests in its END
    // processing. Scans last `scanMs` (varying by up to a tenth, as a
    // program's scans do); a request waits for the end of the current scan
    // and is answered about 1 ms after it. 0: at once.
    void SetScanTime(unsigned scanMs) { m_scanMs = scanMs; }
    // Microseconds from Start until the first end of a scan of `scanMs`
    // (each jittered by up to 10 %) at or after `atUs`.
    static int64_t ScanEndUs(unsigned scanMs, int64_t atUs);
    // Before Start: a remote password (6 to 32 characters) locks every
    // connection until it sends the unlock command with it.
    void SetPassword(std::string password) { m_password = std::move(password); }
    // Before Start: serve the long timers too (SlmpHandler::ServeEveryDevice).
    void ServeEveryDevice(bool every) { m_handler.ServeEveryDevice(every); }
    // Serialises access to the memory with the serving threads.
    std::mutex& MemoryLock() { return m_memoryLock; }

    // Connections above the limit are closed at once. A controller of this
    // class serves 8 SLMP connections; load tests raise it up to 256.
    static constexpr size_t kControllerClients = 8;
    static constexpr size_t kMaxClients = 256;
    // Before Start.
    void SetClientLimit(size_t limit) { m_clientLimit = limit < 1 ? 1 : (limit > kMaxClients ? kMaxClients : limit); }
    // A request begun but not completed within this long closes its connection.
    static constexpr int kPartialRequestMs = 5000;
    // After a remote RESET every connection is dropped, and new ones are
    // refused this long while the CPU restarts.
    static constexpr int kRestartMs = 1000;

private:
    struct Client {
        int fd = -1;
        std::string peer;
        std::thread thread;
        std::atomic<bool> done{false};
        // The remote password unlocks one connection; a new one starts locked.
        bool unlocked = false;
    };
    // With a remote password: the end code a request gets from the lock
    // (unlock 1630 and lock 1631 handled here), or nothing when it is served.
    std::optional<uint16_t> PasswordGate(Client& client, const RequestFrame& frame);
    void Accept();
    void Serve(Client& client);
    // Answers one complete request; false when the connection is to close.
    bool Answer(Client& client, const uint8_t* request, size_t size, unsigned& served);
    void Reap(bool all);
    bool PauseUnlessStopped(unsigned ms);
    // Tells the log why a connection is closed.
    void LogClosed(const std::string& peer, const std::string& why);

    SlmpHandler m_handler;
    std::mutex m_memoryLock;
    mutable std::mutex m_clientsLock;
    std::list<std::unique_ptr<Client>> m_clients;
    std::mutex m_settingsLock;
    ServerFaults m_faults;
    std::function<void(const ExchangeRecord&)> m_log;
    std::function<void(const ServerWire&)> m_wire;
    std::function<PlayedAnswer(const uint8_t*, size_t)> m_playback;
    // Sends all of `size` bytes to the client, telling the wire.
    bool Send(Client& client, const uint8_t* data, size_t size);
    std::mutex m_stopLock;
    std::condition_variable m_stopped;
    std::thread m_acceptor;
    std::atomic<bool> m_running{false};
    std::atomic<uint64_t> m_requests{0};
    int m_listen = -1;
    size_t m_clientLimit = kControllerClients;
    std::atomic<int64_t> m_restartUntil{0}; // steady-clock milliseconds
    unsigned m_scanMs = 0;
    std::chrono::steady_clock::time_point m_started{};
    std::string m_password;
    uint16_t m_port = 0;
    std::string m_address;
};

} // namespace sim
