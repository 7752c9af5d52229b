// The host's communication channel over TCP, as a panel provides it:
// receives block until bytes arrive or the time-out passes and ask for
// another call only while an SLMP answer is incomplete, so that an
// exchange ends at network speed. A late answer to an earlier request must
// never be taken for the next one: a send first discards bytes already
// waiting, and when the last request got no complete answer the connection
// is made anew, so that its answer, however late, cannot arrive on the one
// the next request goes out on. A dropped connection is made again with
// back-off.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "host/ICommunication.h"
#include "sim/ConnectionEnds.h"

namespace fx5 {

// What went over the connection, as it went: for a trace or a capture file.
struct WireEvent {
    // Unanswered: a request got no complete answer in time; its connection
    // is closed next and made anew.
    enum Kind { Connected, Sent, Received, Answered, Unanswered, Closed } kind;
    const uint8_t* bytes = nullptr; // Sent, Received
    size_t size = 0;
    sim::ConnectionEnds ends{}; // Connected
};

class TcpChannel : public ICommunication {
public:
    // Reconnection waits start at 100 ms and double up to 5 s.
    static constexpr std::chrono::milliseconds kFirstBackoff{100};
    static constexpr std::chrono::milliseconds kMaxBackoff{5000};
    static constexpr int kConnectTimeoutMs = 1000;

    TcpChannel(std::string host, uint16_t port) : m_host(std::move(host)), m_port(port) {}
    ~TcpChannel() override;
    TcpChannel(const TcpChannel&) = delete;
    TcpChannel& operator=(const TcpChannel&) = delete;

    int SendData(unsigned char* data, int* length, int timeoutMs) override;
    int ReceiveData(unsigned char* data, int* length, int timeoutMs) override;
    // 0 when connected (connecting first if the back-off allows), after
    // discarding stale bytes; -1 while disconnected.
    int PrepareSend() override;
    int SelectDevice(char*) override { return 0; }
    int GetLinkKind() override { return 1; }

    // Told once per drop and once per reconnection, with a message.
    void OnEvent(std::function<void(const std::string&)> event) { m_event = std::move(event); }
    // Told every connection, every request and piece of an answer, a
    // complete answer and every close, on the thread that uses the channel.
    void OnWire(std::function<void(const WireEvent&)> wire) { m_wire = std::move(wire); }
    bool Connected() const { return m_socket >= 0; }
    // Why the last connection failed or was lost; empty once connected.
    const std::string& Problem() const { return m_problem; }
    uint64_t Reconnects() const { return m_reconnects; }
    uint64_t DiscardedBytes() const { return m_discarded; }
    // Connections made anew because a request got no complete answer.
    uint64_t Resyncs() const { return m_resyncs; }

private:
    // A resync reconnects quietly: it is not a drop.
    bool Connect(bool resync = false);
    // Closes the connection and forgets the answer in progress.
    void Close();
    void Drop(const char* why);
    void Tell(const std::string& message) const;

    std::string m_host;
    uint16_t m_port;
    std::string m_problem;
    int m_socket = -1;
    int m_receiveTimeoutMs = -1; // the socket's receive time-out as last set
    bool m_everConnected = false;
    bool m_dropReported = false;
    std::chrono::steady_clock::time_point m_nextAttempt{};
    std::chrono::milliseconds m_backoff{0};
    // Bytes of the answer being received, to tell when it is complete.
    uint8_t m_head[13] = {};
    size_t m_headBytes = 0;
    size_t m_answerBytes = 0;
    uint64_t m_reconnects = 0;
    uint64_t m_discarded = 0;
    uint64_t m_resyncs = 0;
    bool m_awaiting = false; // a request went out and its answer is not complete
    std::function<void(const std::string&)> m_event;
    std::function<void(const WireEvent&)> m_wire;
};

} // namespace fx5
