#include "support/SlmpClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace testing_support {

SlmpClient::SlmpClient(uint16_t port, bool fourE) : m_fourE(fourE)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    const int yes = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

SlmpClient::~SlmpClient()
{
    if (m_fd >= 0) ::close(m_fd);
}

void SlmpClient::Put16(std::vector<uint8_t>& out, unsigned v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void SlmpClient::PutDevice(std::vector<uint8_t>& out, uint8_t device, uint32_t number)
{
    out.push_back(static_cast<uint8_t>(number));
    out.push_back(static_cast<uint8_t>(number >> 8));
    out.push_back(static_cast<uint8_t>(number >> 16));
    out.push_back(device);
}

void SlmpClient::SetSendTimeout(int ms)
{
    timeval limit{ms / 1000, (ms % 1000) * 1000};
    ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

bool SlmpClient::SendRaw(const std::vector<uint8_t>& bytes)
{
    return m_fd >= 0 && ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

bool SlmpClient::ReceiveExactly(uint8_t* out, size_t size, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t got = 0;
    while (got < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd fd{m_fd, POLLIN, 0};
        if (left <= 0 || ::poll(&fd, 1, static_cast<int>(left)) <= 0) return false;
        const ssize_t n = ::recv(m_fd, out + got, size - got, 0);
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

bool SlmpClient::ClosedByPeer(int timeoutMs)
{
    uint8_t sink[256];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd fd{m_fd, POLLIN, 0};
        if (left <= 0 || ::poll(&fd, 1, static_cast<int>(left)) <= 0) return false;
        const ssize_t n = ::recv(m_fd, sink, sizeof sink, 0);
        if (n <= 0) return true;
    }
}

SlmpClient::Answer SlmpClient::Request(uint16_t command, uint16_t subcommand, const std::vector<uint8_t>& data, int timeoutMs)
{
    return RequestRouted({0x00, 0xFF, 0xFF, 0x03, 0x00}, command, subcommand, data, timeoutMs);
}

SlmpClient::Answer SlmpClient::RequestRouted(const std::vector<uint8_t>& routing, uint16_t command, uint16_t subcommand,
                                             const std::vector<uint8_t>& data, int timeoutMs)
{
    std::vector<uint8_t> frame;
    if (m_fourE) {
        frame = {0x54, 0x00};
        Put16(frame, ++m_serial);
        Put16(frame, 0);
    } else {
        frame = {0x50, 0x00};
    }
    frame.insert(frame.end(), routing.begin(), routing.end());
    Put16(frame, static_cast<unsigned>(6 + data.size()));
    Put16(frame, 0x0010); // monitoring timer: 16 x 250 ms
    Put16(frame, command);
    Put16(frame, subcommand);
    frame.insert(frame.end(), data.begin(), data.end());
    Answer answer;
    if (!SendRaw(frame)) return answer;
    const size_t header = m_fourE ? 13 : 9;
    std::vector<uint8_t> head(header);
    if (!ReceiveExactly(head.data(), header, timeoutMs)) return answer;
    const size_t length = static_cast<size_t>(head[header - 2] | (head[header - 1] << 8));
    std::vector<uint8_t> body(length);
    if (length < 2 || !ReceiveExactly(body.data(), length, timeoutMs)) return answer;
    answer.received = head[0] == (m_fourE ? 0xD4 : 0xD0) && head[1] == 0x00;
    if (m_fourE) answer.serial = static_cast<uint16_t>(head[2] | (head[3] << 8));
    answer.routing.assign(head.begin() + (m_fourE ? 6 : 2), head.begin() + (m_fourE ? 11 : 7));
    answer.endCode = static_cast<uint16_t>(body[0] | (body[1] << 8));
    answer.data.assign(body.begin() + 2, body.end());
    if (m_fourE && answer.serial != m_serial) answer.received = false;
    return answer;
}

std::vector<uint16_t> SlmpClient::ReadWords(uint8_t device, uint32_t number, uint16_t count)
{
    std::vector<uint8_t> data;
    PutDevice(data, device, number);
    Put16(data, count);
    const Answer answer = Request(0x0401, 0x0000, data);
    std::vector<uint16_t> words;
    if (!answer.received || answer.endCode != 0) return words;
    for (size_t i = 0; i + 1 < answer.data.size(); i += 2)
        words.push_back(static_cast<uint16_t>(answer.data[i] | (answer.data[i + 1] << 8)));
    return words;
}

uint16_t SlmpClient::WriteWords(uint8_t device, uint32_t number, const std::vector<uint16_t>& words)
{
    std::vector<uint8_t> data;
    PutDevice(data, device, number);
    Put16(data, static_cast<unsigned>(words.size()));
    for (uint16_t w : words) Put16(data, w);
    const Answer answer = Request(0x1401, 0x0000, data);
    return answer.received ? answer.endCode : 0xFFFF;
}

std::vector<bool> SlmpClient::ReadBits(uint8_t device, uint32_t number, uint16_t count)
{
    std::vector<uint8_t> data;
    PutDevice(data, device, number);
    Put16(data, count);
    const Answer answer = Request(0x0401, 0x0001, data);
    std::vector<bool> bits;
    if (!answer.received || answer.endCode != 0) return bits;
    // Two points a byte, the first in the high nibble.
    for (uint16_t i = 0; i < count && i / 2 < answer.data.size(); ++i)
        bits.push_back(((i % 2 == 0 ? answer.data[i / 2] >> 4 : answer.data[i / 2]) & 0x01) != 0);
    return bits;
}

uint16_t SlmpClient::WriteBits(uint8_t device, uint32_t number, const std::vector<bool>& bits)
{
    std::vector<uint8_t> data;
    PutDevice(data, device, number);
    Put16(data, static_cast<unsigned>(bits.size()));
    for (size_t i = 0; i < bits.size(); i += 2)
        data.push_back(static_cast<uint8_t>((bits[i] ? 0x10 : 0) | (i + 1 < bits.size() && bits[i + 1] ? 0x01 : 0)));
    const Answer answer = Request(0x1401, 0x0001, data);
    return answer.received ? answer.endCode : 0xFFFF;
}

} // namespace testing_support
