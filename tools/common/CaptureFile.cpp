#include "tools/common/CaptureFile.h"

#include <pcap/pcap.h>
#include <sys/time.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

namespace fx5 {

namespace {

// Ethernet type II, IPv4 without options, TCP without options.
constexpr size_t kEthernetBytes = 14, kIpBytes = 20, kTcpBytes = 20;
// Payload per segment: an IPv4 packet's total length is 16 bits.
constexpr size_t kMaxSegmentPayload = 65000;
constexpr size_t kUdpBytes = 8;
constexpr uint8_t kTcp = 6, kUdp = 17;
constexpr uint8_t kFin = 0x01, kSyn = 0x02, kPsh = 0x08, kAck = 0x10;
// The largest frame written; the file's snapshot length.
constexpr int kSnapshotBytes = 65535 + static_cast<int>(kEthernetBytes);

void Put16(uint8_t* at, uint32_t v)
{
    at[0] = static_cast<uint8_t>(v >> 8);
    at[1] = static_cast<uint8_t>(v);
}

void Put32(uint8_t* at, uint32_t v)
{
    Put16(at, v >> 16);
    Put16(at + 2, v & 0xFFFFu);
}

// The Internet checksum of `size` bytes, added to `sum`.
uint32_t SumWords(const uint8_t* bytes, size_t size, uint32_t sum)
{
    for (size_t i = 0; i + 1 < size; i += 2) sum += static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
    if (size % 2) sum += static_cast<uint32_t>(bytes[size - 1] << 8);
    return sum;
}

uint16_t Fold(uint32_t sum)
{
    while (sum >> 16) sum = (sum & 0xFFFFu) + (sum >> 16);
    return static_cast<uint16_t>(~sum & 0xFFFFu);
}

} // namespace

bool CaptureFile::ReadStreams(const std::string& path, std::vector<CapturedStream>& streams, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return error = "cannot be read", false;
    return ReadStreams(file, streams, error);
}

bool CaptureFile::ReadStreams(std::FILE* opened, std::vector<CapturedStream>& streams, std::string& error)
{
    char message[PCAP_ERRBUF_SIZE] = {};
    pcap_t* file = pcap_fopen_offline(opened, message);
    if (!file) {
        std::fclose(opened);
        return error = message, false;
    }
    const int link = pcap_datalink(file);
    // Where the IPv4 header starts: after an Ethernet header or a Linux
    // cooked one (what a capture on "any" interface holds).
    const size_t ipAt = link == DLT_EN10MB ? kEthernetBytes : link == DLT_LINUX_SLL ? 16 : 0;
    if (ipAt == 0) {
        pcap_close(file);
        return error = "a capture of link type " + std::to_string(link) + ": only Ethernet and Linux cooked captures are read", false;
    }
    // A connection by its two ends, in the order of the endpoints' values.
    using Ends = std::tuple<uint32_t, uint16_t, uint32_t, uint16_t>;
    struct Open {
        size_t stream;
        bool clientIsFirst = false, clientKnown = false;
    };
    std::map<Ends, Open> open;
    double first = -1;
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    while (pcap_next_ex(file, &header, &data) == 1) {
        const size_t size = header->caplen;
        if (size < ipAt + kIpBytes || (data[ipAt] >> 4) != 4 || data[ipAt + 9] != kTcp) continue;
        const uint8_t* ip = data + ipAt;
        const size_t ipLength = static_cast<size_t>(ip[0] & 0x0F) * 4;
        const size_t total = std::min<size_t>(static_cast<size_t>(ip[2] << 8 | ip[3]), size - ipAt);
        if (ipLength < kIpBytes || total < ipLength + kTcpBytes) continue;
        const uint8_t* tcp = ip + ipLength;
        const size_t tcpLength = static_cast<size_t>(tcp[12] >> 4) * 4;
        if (tcpLength < kTcpBytes || ipLength + tcpLength > total) continue;
        const uint32_t source = static_cast<uint32_t>(ip[12] << 24 | ip[13] << 16 | ip[14] << 8 | ip[15]);
        const uint32_t target = static_cast<uint32_t>(ip[16] << 24 | ip[17] << 16 | ip[18] << 8 | ip[19]);
        const uint16_t sourcePort = static_cast<uint16_t>(tcp[0] << 8 | tcp[1]), targetPort = static_cast<uint16_t>(tcp[2] << 8 | tcp[3]);
        const bool sourceFirst = std::tie(source, sourcePort) < std::tie(target, targetPort);
        const Ends ends = sourceFirst ? Ends{source, sourcePort, target, targetPort} : Ends{target, targetPort, source, sourcePort};
        const double seconds = static_cast<double>(header->ts.tv_sec) + static_cast<double>(header->ts.tv_usec) / 1e6;
        if (first < 0) first = seconds;
        const uint8_t flags = tcp[13];
        const uint8_t* payload = tcp + tcpLength;
        const size_t payloadSize = total - ipLength - tcpLength;
        auto found = open.find(ends);
        if (found == open.end() || ((flags & kSyn) && !(flags & kAck))) {
            // A new connection, or the same ends used again.
            streams.emplace_back();
            found = open.insert_or_assign(ends, Open{streams.size() - 1}).first;
        }
        Open& stream = found->second;
        if (!stream.clientKnown &&
            (((flags & kSyn) && !(flags & kAck)) || (payloadSize >= 2 && (payload[0] == 0x50 || payload[0] == 0x54) && payload[1] == 0))) {
            stream.clientIsFirst = sourceFirst;
            stream.clientKnown = true;
        }
        if (payloadSize > 0)
            streams[stream.stream].segments.push_back(
                {seconds - first, sourceFirst == stream.clientIsFirst, std::vector<uint8_t>(payload, payload + payloadSize)});
    }
    pcap_close(file);
    return true;
}

std::unique_ptr<CaptureFile> CaptureFile::Open(const std::string& path, std::string& error)
{
    pcap_t* dead = pcap_open_dead(DLT_EN10MB, kSnapshotBytes);
    if (!dead) return error = "libpcap cannot make a capture", nullptr;
    pcap_dumper_t* dumper = pcap_dump_open(dead, path.c_str());
    if (!dumper) {
        error = pcap_geterr(dead);
        pcap_close(dead);
        return nullptr;
    }
    return std::make_unique<CaptureFile>(dead, dumper);
}

CaptureFile::~CaptureFile()
{
    pcap_dump_close(m_dumper);
    pcap_close(m_dead);
}

void CaptureFile::Write(const uint8_t* packet, size_t size)
{
    pcap_pkthdr header{};
    gettimeofday(&header.ts, nullptr);
    header.caplen = header.len = static_cast<bpf_u_int32>(size);
    std::lock_guard<std::mutex> hold(m_lock);
    pcap_dump(reinterpret_cast<u_char*>(m_dumper), &header, packet);
    pcap_dump_flush(m_dumper);
}

void CaptureFile::Connection::Opened(uint32_t clientAddress, uint16_t clientPort, uint32_t serverAddress, uint16_t serverPort)
{
    m_client = clientAddress;
    m_server = serverAddress;
    m_clientPort = clientPort;
    m_serverPort = serverPort;
    // Initial sequence numbers of their own per connection, as a stack picks.
    m_clientSeq = static_cast<uint32_t>(clientPort) * 0x10001u;
    m_serverSeq = static_cast<uint32_t>(serverPort) * 0x10001u ^ 0x5A5A5A5Au;
    m_open = true;
    Segment(true, kSyn, nullptr, 0);
    Segment(false, kSyn | kAck, nullptr, 0);
    Segment(true, kAck, nullptr, 0);
}

void CaptureFile::Connection::Data(bool fromClient, const uint8_t* bytes, size_t size)
{
    if (!m_open) return;
    for (size_t at = 0; at < size; at += kMaxSegmentPayload)
        Segment(fromClient, kPsh | kAck, bytes + at, std::min(kMaxSegmentPayload, size - at));
}

void CaptureFile::Connection::Closed()
{
    if (!m_open) return;
    Segment(true, kFin | kAck, nullptr, 0);
    Segment(false, kFin | kAck, nullptr, 0);
    Segment(true, kAck, nullptr, 0);
    m_open = false;
}

void CaptureFile::Connection::Record(const WireEvent& event)
{
    switch (event.kind) {
    case WireEvent::Connected: Opened(event.ends.localAddress, event.ends.localPort, event.ends.peerAddress, event.ends.peerPort); break;
    case WireEvent::Sent: Data(true, event.bytes, event.size); break;
    case WireEvent::Received: Data(false, event.bytes, event.size); break;
    case WireEvent::Unanswered: Marker("no complete answer within the wait time; the connection is closed and made anew"); break;
    case WireEvent::Closed: Closed(); break;
    case WireEvent::Answered: break;
    }
}

void CaptureFile::Connection::Marker(const std::string& text)
{
    if (!m_open) return;
    const std::string payload = "fx5 marker: " + text;
    std::vector<uint8_t> udp(kUdpBytes + payload.size());
    Put16(udp.data(), m_clientPort);
    Put16(udp.data() + 2, m_serverPort);
    Put16(udp.data() + 4, static_cast<uint32_t>(udp.size()));
    std::copy(payload.begin(), payload.end(), udp.begin() + kUdpBytes);
    Packet(true, kUdp, udp); // a UDP checksum of 0: none computed
}

void CaptureFile::Connection::Segment(bool fromClient, uint8_t flags, const uint8_t* payload, size_t size)
{
    std::vector<uint8_t> tcp(kTcpBytes + size);
    uint32_t& seq = fromClient ? m_clientSeq : m_serverSeq;
    const uint32_t ack = fromClient ? m_serverSeq : m_clientSeq;
    Put16(tcp.data(), fromClient ? m_clientPort : m_serverPort);
    Put16(tcp.data() + 2, fromClient ? m_serverPort : m_clientPort);
    Put32(tcp.data() + 4, seq);
    Put32(tcp.data() + 8, (flags & kAck) ? ack : 0);
    tcp[12] = static_cast<uint8_t>((kTcpBytes / 4) << 4);
    tcp[13] = flags;
    Put16(tcp.data() + 14, 65535); // window
    if (size) std::copy(payload, payload + size, tcp.begin() + kTcpBytes);
    // The checksum covers a pseudo-header of the addresses, the protocol and the length.
    uint8_t pseudo[12] = {};
    Put32(pseudo, fromClient ? m_client : m_server);
    Put32(pseudo + 4, fromClient ? m_server : m_client);
    pseudo[9] = kTcp;
    Put16(pseudo + 10, static_cast<uint32_t>(tcp.size()));
    Put16(tcp.data() + 16, Fold(SumWords(tcp.data(), tcp.size(), SumWords(pseudo, sizeof pseudo, 0))));
    // SYN and FIN take a sequence number each, data one a byte.
    seq += static_cast<uint32_t>(size) + ((flags & (kSyn | kFin)) ? 1u : 0u);
    Packet(fromClient, kTcp, tcp);
}

void CaptureFile::Connection::Packet(bool fromClient, uint8_t protocol, const std::vector<uint8_t>& transport)
{
    std::vector<uint8_t> packet(kEthernetBytes + kIpBytes + transport.size());
    uint8_t* const ethernet = packet.data();
    uint8_t* const ip = ethernet + kEthernetBytes;
    // Locally administered addresses: 02:00:00:00:00:01 the client, :02 the server.
    const uint8_t clientMac[6] = {2, 0, 0, 0, 0, 1}, serverMac[6] = {2, 0, 0, 0, 0, 2};
    std::copy(fromClient ? serverMac : clientMac, (fromClient ? serverMac : clientMac) + 6, ethernet);
    std::copy(fromClient ? clientMac : serverMac, (fromClient ? clientMac : serverMac) + 6, ethernet + 6);
    Put16(ethernet + 12, 0x0800);
    ip[0] = 0x45;
    Put16(ip + 2, static_cast<uint32_t>(kIpBytes + transport.size()));
    {
        std::lock_guard<std::mutex> hold(m_file.m_lock);
        Put16(ip + 4, m_file.m_ipId++);
    }
    Put16(ip + 6, 0x4000); // don't fragment
    ip[8] = 64;            // time to live
    ip[9] = protocol;
    Put32(ip + 12, fromClient ? m_client : m_server);
    Put32(ip + 16, fromClient ? m_server : m_client);
    Put16(ip + 10, Fold(SumWords(ip, kIpBytes, 0)));
    std::copy(transport.begin(), transport.end(), ip + kIpBytes);
    m_file.Write(packet.data(), packet.size());
}

} // namespace fx5
