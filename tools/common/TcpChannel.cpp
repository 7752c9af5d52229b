#include "tools/common/TcpChannel.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace fx5 {

namespace {
using Clock = std::chrono::steady_clock;

// Bytes of an SLMP answer before its data length, and where the length is.
size_t AnswerHeaderBytes(const uint8_t* head) { return head[0] == 0xD4 ? 13 : 9; }
} // namespace

TcpChannel::~TcpChannel() { Close(); }

void TcpChannel::Close()
{
    if (m_socket >= 0 && m_wire) m_wire(WireEvent{WireEvent::Closed});
    if (m_socket >= 0) ::close(m_socket);
    m_socket = -1;
    m_awaiting = false;
    m_headBytes = m_answerBytes = 0;
}

void TcpChannel::Tell(const std::string& message) const
{
    if (m_event) m_event(message);
}

bool TcpChannel::Connect(bool resync)
{
    if (m_socket >= 0) return true;
    if (Clock::now() < m_nextAttempt) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(m_port);
    int fd = -1;
    std::string why;
    const int resolved = ::getaddrinfo(m_host.c_str(), service.c_str(), &hints, &found);
    if (resolved != 0 || !found) {
        why = resolved == EAI_NONAME || resolved == EAI_NODATA ? "no such host" : ::gai_strerror(resolved);
    } else if ((fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) < 0) {
        why = std::strerror(errno);
    } else {
        int error = ::connect(fd, found->ai_addr, found->ai_addrlen) == 0 ? 0 : errno;
        if (error == EINPROGRESS) {
            pollfd wait{fd, POLLOUT, 0};
            socklen_t length = sizeof error;
            if (::poll(&wait, 1, kConnectTimeoutMs) != 1)
                error = ETIMEDOUT;
            else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                error = errno;
        }
        if (error != 0) {
            why = error == ECONNREFUSED ? "connection refused" : error == ETIMEDOUT ? "timed out" : std::strerror(error);
            ::close(fd);
            fd = -1;
        }
    }
    if (found) ::freeaddrinfo(found);
    if (fd < 0) {
        m_backoff = m_backoff.count() == 0 ? kFirstBackoff : std::min(m_backoff * 2, kMaxBackoff);
        m_nextAttempt = Clock::now() + m_backoff;
        // Told again whenever the reason changes; kept for a status line.
        if (!m_dropReported || "cannot connect: " + why != m_problem)
            Tell("cannot connect to " + m_host + ":" + service + " (" + why + "); retrying with back-off up to 5 s");
        m_problem = "cannot connect: " + why;
        m_dropReported = true;
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    m_socket = fd;
    m_receiveTimeoutMs = -1;
    m_backoff = std::chrono::milliseconds(0);
    if (m_everConnected && !resync) {
        ++m_reconnects;
        Tell("reconnected to " + m_host + ":" + service);
    }
    if (m_wire) {
        WireEvent connected{WireEvent::Connected};
        connected.ends = sim::EndsOf(fd);
        m_wire(connected);
    }
    m_everConnected = true;
    m_dropReported = false;
    m_problem.clear();
    return true;
}

void TcpChannel::Drop(const char* why)
{
    if (m_socket < 0) return;
    Close();
    m_backoff = kFirstBackoff;
    m_nextAttempt = Clock::now() + m_backoff;
    if (!m_dropReported) {
        Tell(std::string("connection to ") + m_host + ":" + std::to_string(m_port) + " lost (" + why + "); reconnecting");
        m_dropReported = true;
    }
    m_problem = std::string("connection lost: ") + why;
}

int TcpChannel::PrepareSend()
{
    // The last answer may still come: on a new connection it cannot.
    const bool resync = m_socket >= 0 && m_awaiting;
    if (resync) {
        if (m_wire) m_wire(WireEvent{WireEvent::Unanswered});
        Close();
        ++m_resyncs;
        m_nextAttempt = Clock::now();
    }
    if (!Connect(resync)) return -1;
    // Whatever is waiting now answers an earlier request: never the next one.
    uint8_t stale[512];
    for (;;) {
        const ssize_t got = ::recv(m_socket, stale, sizeof stale, MSG_DONTWAIT);
        if (got > 0) {
            m_discarded += static_cast<uint64_t>(got);
            continue;
        }
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            Drop(got == 0 ? "closed by the peer" : std::strerror(errno));
            return -1;
        }
        break;
    }
    m_headBytes = m_answerBytes = 0;
    return 0;
}

int TcpChannel::SendData(unsigned char* data, int* length, int)
{
    if (!data || !length || *length <= 0 || m_socket < 0) return -1;
    size_t sent = 0;
    while (sent < static_cast<size_t>(*length)) {
        const ssize_t n = ::send(m_socket, data + sent, static_cast<size_t>(*length) - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            Drop(std::strerror(errno));
            return -1;
        }
        sent += static_cast<size_t>(n);
    }
    m_awaiting = true;
    if (m_wire) m_wire(WireEvent{WireEvent::Sent, data, sent});
    return static_cast<int>(sent);
}

int TcpChannel::ReceiveData(unsigned char* data, int* length, int timeoutMs)
{
    if (!data || !length) return -1;
    if (m_socket < 0) {
        *length = 0;
        return -1;
    }
    // One blocking receive with the time-out set on the socket (only when it
    // changes): an exchange costs no extra call to wait for readiness.
    const int wait = std::max(1, timeoutMs);
    if (wait != m_receiveTimeoutMs) {
        timeval limit{wait / 1000, (wait % 1000) * 1000};
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        m_receiveTimeoutMs = wait;
    }
    const ssize_t got = ::recv(m_socket, data, static_cast<size_t>(std::max(0, *length)), 0);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        *length = 0;
        return 0;
    }
    if (got <= 0) {
        Drop(got == 0 ? "closed by the peer" : std::strerror(errno));
        *length = 0;
        return -1;
    }
    // Follow the answer's own length: ask for another call only while it is
    // incomplete, so a complete answer costs no further wait.
    for (ssize_t i = 0; i < got && m_headBytes < sizeof m_head; ++i) m_head[m_headBytes++] = data[i];
    m_answerBytes += static_cast<size_t>(got);
    size_t expected = 0;
    if (m_headBytes >= 2) {
        const size_t header = AnswerHeaderBytes(m_head);
        if (m_headBytes >= header)
            expected = header + (static_cast<size_t>(m_head[header - 2]) | static_cast<size_t>(m_head[header - 1]) << 8);
    }
    const bool complete = expected != 0 && m_answerBytes >= expected;
    if (complete) m_awaiting = false;
    if (m_wire) {
        m_wire(WireEvent{WireEvent::Received, data, static_cast<size_t>(got)});
        if (complete) m_wire(WireEvent{WireEvent::Answered});
    }
    *length = complete ? 0 : 512;
    return static_cast<int>(got);
}

} // namespace fx5
