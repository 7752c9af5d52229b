#include "sim/TcpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <vector>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

// The split fault's pause between the two halves of an answer.
constexpr unsigned kSplitPauseMs = 5;
// How often the acceptor looks for finished clients and the stop flag.
constexpr int kAcceptPollMs = 100;

bool SendAll(int fd, const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

// Why bytes are no request this simulator serves, for the log.
std::string NotAFrameReason(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() >= 2 && bytes[0] == '5' && (bytes[1] == '0' || bytes[1] == '4'))
        return "an ASCII frame: only binary 3E and 4E frames are served";
    if (bytes.size() >= 2 && (bytes[0] == 0x50 || bytes[0] == 0x54) && bytes[1] == 0x00) return "a data length above 8 192 bytes";
    return "bytes that are no 3E or 4E binary request";
}

int64_t NowMs() { return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count(); }

std::string PeerName(const sockaddr_in& peer)
{
    char text[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(peer.sin_port));
}

} // namespace

bool TcpServer::Start(uint16_t port, const std::string& bind)
{
    if (m_running) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, bind.c_str(), &address.sin_addr) != 1) return false;
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0) return false;
    const int yes = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    socklen_t length = sizeof address;
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(m_listen, 64) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(m_listen);
        m_listen = -1;
        return false;
    }
    m_port = ntohs(address.sin_port);
    m_address = bind;
    m_running = true;
    m_started = Clock::now();
    m_acceptor = std::thread([this] { Accept(); });
    return true;
}

void TcpServer::Stop()
{
    if (!m_running.exchange(false)) return;
    {
        std::lock_guard<std::mutex> hold(m_stopLock);
        m_stopped.notify_all();
    }
    if (m_acceptor.joinable()) m_acceptor.join();
    ::close(m_listen);
    m_listen = -1;
    Reap(true);
}

size_t TcpServer::Clients() const
{
    std::lock_guard<std::mutex> hold(m_clientsLock);
    size_t open = 0;
    for (const auto& client : m_clients) open += !client->done;
    return open;
}

void TcpServer::SetFaults(const ServerFaults& faults)
{
    std::lock_guard<std::mutex> hold(m_settingsLock);
    m_faults = faults;
}

void TcpServer::SetLog(std::function<void(const ExchangeRecord&)> log)
{
    std::lock_guard<std::mutex> hold(m_settingsLock);
    m_log = std::move(log);
}

bool TcpServer::PauseUnlessStopped(unsigned ms)
{
    std::unique_lock<std::mutex> hold(m_stopLock);
    return !m_stopped.wait_for(hold, std::chrono::milliseconds(ms), [this] { return !m_running.load(); });
}

void TcpServer::Reap(bool all)
{
    std::list<std::unique_ptr<Client>> finished;
    {
        std::lock_guard<std::mutex> hold(m_clientsLock);
        for (auto it = m_clients.begin(); it != m_clients.end();) {
            // Shutting a socket down wakes its thread out of recv.
            if (all) ::shutdown((*it)->fd, SHUT_RDWR);
            if (all || (*it)->done) {
                finished.push_back(std::move(*it));
                it = m_clients.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& client : finished) {
        if (client->thread.joinable()) client->thread.join();
        ::close(client->fd);
    }
}

void TcpServer::Accept()
{
    while (m_running) {
        pollfd listening{m_listen, POLLIN, 0};
        const int ready = ::poll(&listening, 1, kAcceptPollMs);
        Reap(false);
        if (ready <= 0 || !(listening.revents & POLLIN)) continue;
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const int fd = ::accept4(m_listen, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
        if (fd < 0) continue;
        if (NowMs() < m_restartUntil) {
            LogClosed(PeerName(peer), "the CPU restarts after a remote RESET");
            ::close(fd);
            continue;
        }
        if (Clients() >= m_clientLimit) {
            LogClosed(PeerName(peer), "all " + std::to_string(m_clientLimit) + " connections are in use");
            ::close(fd);
            continue;
        }
        const int yes = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        auto client = std::make_unique<Client>();
        client->fd = fd;
        client->peer = PeerName(peer);
        Client& served = *client;
        std::lock_guard<std::mutex> hold(m_clientsLock);
        m_clients.push_back(std::move(client));
        served.thread = std::thread([this, &served] { Serve(served); });
    }
}

bool TcpServer::Send(Client& client, const uint8_t* data, size_t size)
{
    if (m_wire) m_wire(ServerWire{ServerWire::Sent, &client, data, size});
    return SendAll(client.fd, data, size);
}

void TcpServer::Serve(Client& client)
{
    if (m_wire) {
        ServerWire accepted{ServerWire::Accepted, &client};
        accepted.ends = EndsOf(client.fd);
        m_wire(accepted);
    }
    std::vector<uint8_t> pending;
    uint8_t chunk[4096];
    unsigned served = 0;
    bool open = true;
    while (open && m_running) {
        // Answer every complete request before reading more.
        size_t size = 0;
        StreamState state;
        while (open && (state = FirstRequest(pending.data(), pending.size(), size)) == StreamState::Complete) {
            open = Answer(client, pending.data(), size, served);
            pending.erase(pending.begin(), pending.begin() + static_cast<long>(size));
        }
        // Bytes that are not a frame cost the client its connection.
        if (!open) break;
        if (state == StreamState::NotAFrame) {
            LogClosed(client.peer, NotAFrameReason(pending));
            break;
        }
        // A request begun must be completed in time: a half frame may not
        // hold a connection of the few a controller has.
        if (!pending.empty()) {
            pollfd in{client.fd, POLLIN, 0};
            if (::poll(&in, 1, kPartialRequestMs) == 0) {
                LogClosed(client.peer, "a request of " + std::to_string(pending.size()) + " bytes was not completed within " +
                                           std::to_string(kPartialRequestMs / 1000) + " s");
                break;
            }
        }
        const ssize_t got = ::recv(client.fd, chunk, sizeof chunk, 0);
        if (got <= 0) break;
        if (m_wire) m_wire(ServerWire{ServerWire::Received, &client, chunk, static_cast<size_t>(got)});
        pending.insert(pending.end(), chunk, chunk + got);
    }
    if (m_wire) m_wire(ServerWire{ServerWire::Closed, &client});
    // Free the connection before the client can see it closed: one that
    // connects again at once must find it free, as on the controller.
    client.done = true;
    ::shutdown(client.fd, SHUT_RDWR);
}

std::optional<uint16_t> TcpServer::PasswordGate(Client& client, const RequestFrame& frame)
{
    if (m_password.empty()) return std::nullopt;
    const bool unlock = frame.command == 0x1630, lock = frame.command == 0x1631;
    if (!unlock && !lock) return client.unlocked ? std::nullopt : std::optional<uint16_t>(endcode::kPasswordLocked);
    // Both carry the password's length (two bytes) and the password.
    const bool given = frame.data && frame.dataSize >= 2 && frame.dataSize == 2u + Le16(frame.data) &&
                       std::string(reinterpret_cast<const char*>(frame.data) + 2, frame.dataSize - 2) == m_password;
    if (!given) return endcode::kPasswordMismatch;
    client.unlocked = unlock;
    return endcode::kOk;
}

void TcpServer::LogClosed(const std::string& peer, const std::string& why)
{
    std::function<void(const ExchangeRecord&)> log;
    {
        std::lock_guard<std::mutex> hold(m_settingsLock);
        log = m_log;
    }
    if (!log) return;
    ExchangeRecord record;
    record.client = peer;
    record.closed = why;
    log(record);
}

int64_t TcpServer::ScanEndUs(unsigned scanMs, int64_t atUs)
{
    // Scan k lasts the scan time plus a jitter of its own, -10 % … +10 %,
    // the same for every connection, so one END serves every request that
    // waits for it.
    const int64_t scan = int64_t{scanMs} * 1000;
    // Start at a scan that surely ends before `atUs` (each ends within
    // 10 % of its nominal end), then walk forward.
    int64_t first = atUs / (scan * 11 / 10);
    if (first > 0) --first;
    int64_t end = 0;
    for (uint64_t k = static_cast<uint64_t>(first);; ++k) {
        const uint64_t mixed = (k + 1) * 0x9E3779B97F4A7C15ull;
        const int64_t jitter = static_cast<int64_t>((mixed >> 33) % 201) - 100; // per mille
        end = static_cast<int64_t>(k) * scan + scan + scan * jitter / 1000;
        if (end >= atUs) return end;
    }
}

bool TcpServer::Answer(Client& client, const uint8_t* request, size_t size, unsigned& served)
{
    const auto start = Clock::now();
    if (m_playback) {
        ++served;
        const PlayedAnswer played = m_playback(request, size);
        if (played.unanswerable) {
            LogClosed(client.peer, "the recording cannot answer this request");
            return false;
        }
        for (const auto& [afterMs, piece] : played.pieces)
            if (!(afterMs == 0 || PauseUnlessStopped(afterMs)) || !Send(client, piece.data(), piece.size())) return false;
        return true;
    }
    if (m_scanMs > 0) {
        // The request waits for the END of the current scan, and its
        // processing takes about a millisecond.
        const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(start - m_started).count();
        const int64_t ready = ScanEndUs(m_scanMs, now) + 1000;
        if (!PauseUnlessStopped(static_cast<unsigned>((ready - now + 999) / 1000))) return false;
    }
    ServerFaults faults;
    std::function<void(const ExchangeRecord&)> log;
    {
        std::lock_guard<std::mutex> hold(m_settingsLock);
        faults = m_faults;
        log = m_log;
    }
    const uint64_t count = ++m_requests;
    ++served;
    RequestFrame frame;
    ParseRequest(request, size, frame);
    uint16_t endCode = 0;
    std::vector<uint8_t> response;
    bool reset = false;
    if (const std::optional<uint16_t> gate = PasswordGate(client, frame); gate && faults.endCode < 0) {
        endCode = *gate;
        response = BuildResponse(frame, endCode, {});
    } else {
        std::lock_guard<std::mutex> hold(m_memoryLock);
        response = faults.endCode >= 0 ? BuildResponse(frame, static_cast<uint16_t>(faults.endCode), {})
                                       : m_handler.Handle(request, size, endCode);
        reset = m_handler.TakeReset();
    }
    if (faults.endCode >= 0) endCode = static_cast<uint16_t>(faults.endCode);
    // The PC number follows the subheader (3E) or the serial number (4E).
    if (faults.wrongRouting && !response.empty()) response[frame.fourE ? 7 : 3] ^= 0x01;
    const bool silent = faults.silentEvery > 0 && count % faults.silentEvery == 0;
    bool open = true;
    // Without a delay the answer goes at once: even a zero wait on the stop
    // signal costs the thread a timed sleep (the kernel's timer slack).
    if (!silent && (faults.delayMs == 0 || PauseUnlessStopped(faults.delayMs))) {
        if (faults.split && response.size() > 1) {
            const size_t half = response.size() / 2;
            open = Send(client, response.data(), half) && PauseUnlessStopped(kSplitPauseMs) &&
                   Send(client, response.data() + half, response.size() - half);
        } else {
            open = Send(client, response.data(), response.size());
        }
    }
    if (log) {
        ExchangeRecord record;
        record.client = client.peer;
        record.request = Summarize(frame);
        record.endCode = silent ? -1 : endCode;
        record.micros = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
        log(record);
    }
    if (reset) {
        // The answer went out; then the CPU drops every connection.
        m_restartUntil = NowMs() + kRestartMs;
        std::lock_guard<std::mutex> hold(m_clientsLock);
        for (const auto& other : m_clients) ::shutdown(other->fd, SHUT_RDWR);
        LogClosed(client.peer, "remote RESET: every connection dropped, the CPU restarts");
        return false;
    }
    return open && (faults.closeAfter == 0 || served < faults.closeAfter);
}

} // namespace sim
