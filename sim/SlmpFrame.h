// SLMP binary frames as the controller sees them: the 3E and 4E request
// headers, where a request ends in a byte stream, and the response built
// around an end code. Independent of the driver's own frame code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Request subheaders and the response subheaders that answer them.
constexpr uint16_t kSubheader3E = 0x5000;
constexpr uint16_t kSubheader4E = 0x5400;
constexpr uint16_t kResponse3E = 0xD000;
constexpr uint16_t kResponse4E = 0xD400;

// Bytes up to and including the request data length: subheader (2),
// routing (5: network, PC, module I/O, station), length (2); 4E adds a
// serial number and two reserved bytes after the subheader.
constexpr size_t kHeaderBytes3E = 9;
constexpr size_t kHeaderBytes4E = 13;
// Monitoring timer, command and subcommand open every request's data.
constexpr size_t kCommandBytes = 6;
// The longest request data a controller of this class takes: a batch write
// of 960 words with its head is 1 932 bytes; block writes stay below 8 KiB.
constexpr size_t kMaxRequestDataBytes = 8192;

struct RequestFrame {
    bool fourE = false;
    uint16_t serial = 0;     // 4E only, echoed in the answer
    uint8_t routing[5] = {}; // network, PC, module I/O (2), station: echoed
    uint16_t command = 0;
    uint16_t subcommand = 0;
    const uint8_t* data = nullptr; // after the subcommand
    size_t dataSize = 0;
    bool lengthMatches = true; // the stated data length equals the bytes given
};

// What the first bytes of a stream are.
enum class StreamState { Incomplete, Complete, NotAFrame };
// Where the first request in `data` ends: `size` receives its length when
// it is complete. A stream that does not start with a request subheader,
// or states a data length no controller takes, is not a frame.
StreamState FirstRequest(const uint8_t* data, size_t size, size_t& requestSize);

// Parses one complete request; false when it is not a 3E or 4E request.
bool ParseRequest(const uint8_t* data, size_t size, RequestFrame& frame);

// The answer to `frame`: end code 0 with `payload`, or an error answer
// carrying the responding station and the failed command.
std::vector<uint8_t> BuildResponse(const RequestFrame& frame, uint16_t endCode, const std::vector<uint8_t>& payload);

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Le24(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
}
inline uint32_t Le32(const uint8_t* p) { return Le24(p) | (static_cast<uint32_t>(p[3]) << 24); }
inline void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

} // namespace sim

namespace sim {

// A request in words, for logs: its command, first device and points.
struct RequestSummary {
    std::string command; // "batch read words", "remote RUN", or the hex code
    std::string device;  // "D100", empty when the command names none
    uint32_t points = 0;
};
RequestSummary Summarize(const RequestFrame& frame);
// The summary in one phrase: "batch read words D100, 3 points"; empty when
// the bytes are no request.
std::string DescribeRequest(const uint8_t* request, size_t size);

} // namespace sim
