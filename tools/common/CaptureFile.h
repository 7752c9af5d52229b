// A capture file that Wireshark and tshark open directly: each exchange of
// a TCP connection inside synthesized Ethernet, IPv4 and TCP headers that
// carry the connection's real addresses and ports and consistent sequence
// numbers, so that stream reassembly works, answers that came in pieces
// included. A connection opens with SYN, SYN-ACK, ACK and closes with FIN in
// both directions, so a drop and a reconnect read in order. Written with
// libpcap and flushed after every packet: a capture survives the program
// being killed. Several connections (several devices) share one file, each
// a stream of its own; the file is safe to use from several threads.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tools/common/TcpChannel.h"

struct pcap;
struct pcap_dumper;

namespace fx5 {

// A TCP connection as a capture holds it: the bytes each side sent, in the
// order and pieces they went, with their times.
struct CapturedStream {
    struct Segment {
        double seconds = 0; // since the capture's first packet
        bool fromClient = false;
        std::vector<uint8_t> bytes;
    };
    std::vector<Segment> segments;
};

class CaptureFile {
public:
    // Every TCP connection of an IPv4 capture (Ethernet or Linux cooked
    // frames), in the order each began; its client is the side that sent
    // the SYN, or the first to send a request (subheader 50 00 or 54 00).
    // False, with the reason, when the file cannot be read.
    static bool ReadStreams(const std::string& path, std::vector<CapturedStream>& streams, std::string& error);
    // The same from an open file, which it closes.
    static bool ReadStreams(std::FILE* file, std::vector<CapturedStream>& streams, std::string& error);

    // Nothing, with the reason in `error`, when the file cannot be written.
    static std::unique_ptr<CaptureFile> Open(const std::string& path, std::string& error);
    CaptureFile(pcap* dead, pcap_dumper* dumper) : m_dead(dead), m_dumper(dumper) {}
    ~CaptureFile();
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    // One TCP connection as its client saw it. Addresses in host order.
    class Connection {
    public:
        explicit Connection(CaptureFile& file) : m_file(file) {}
        void Opened(uint32_t clientAddress, uint16_t clientPort, uint32_t serverAddress, uint16_t serverPort);
        void Data(bool fromClient, const uint8_t* bytes, size_t size);
        void Closed();
        // A note in the story of the connection, for the dissector to show:
        // a UDP datagram between its ends whose text begins "fx5 marker: ".
        void Marker(const std::string& text);
        // What a TCP channel saw, as the packets of this connection.
        void Record(const WireEvent& event);

    private:
        void Segment(bool fromClient, uint8_t flags, const uint8_t* payload, size_t size);
        // An IPv4 packet of `protocol` from the client with `transport` after its header.
        void Packet(bool fromClient, uint8_t protocol, const std::vector<uint8_t>& transport);

        CaptureFile& m_file;
        bool m_open = false;
        uint32_t m_client = 0, m_server = 0;
        uint16_t m_clientPort = 0, m_serverPort = 0;
        uint32_t m_clientSeq = 0, m_serverSeq = 0; // the next byte each side sends
    };

private:
    void Write(const uint8_t* packet, size_t size);

    pcap* m_dead;
    pcap_dumper* m_dumper;
    std::mutex m_lock;
    uint16_t m_ipId = 0;
    friend class Connection;
};

} // namespace fx5
