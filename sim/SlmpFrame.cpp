#include "sim/SlmpFrame.h"

namespace sim {

namespace {
size_t HeaderBytes(uint16_t subheader) { return subheader == kSubheader4E ? kHeaderBytes4E : kHeaderBytes3E; }
// The subheader travels high byte first (50 00, 54 00).
uint16_t Subheader(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
} // namespace

StreamState FirstRequest(const uint8_t* data, size_t size, size_t& requestSize)
{
    if (size < 2) return StreamState::Incomplete;
    const uint16_t subheader = Subheader(data);
    if (subheader != kSubheader3E && subheader != kSubheader4E) return StreamState::NotAFrame;
    const size_t header = HeaderBytes(subheader);
    if (size < header) return StreamState::Incomplete;
    const size_t stated = Le16(data + header - 2);
    if (stated > kMaxRequestDataBytes) return StreamState::NotAFrame;
    if (size < header + stated) return StreamState::Incomplete;
    requestSize = header + stated;
    return StreamState::Complete;
}

bool ParseRequest(const uint8_t* data, size_t size, RequestFrame& frame)
{
    frame = RequestFrame();
    if (!data || size < 2) return false;
    const uint16_t subheader = Subheader(data);
    if (subheader != kSubheader3E && subheader != kSubheader4E) return false;
    frame.fourE = subheader == kSubheader4E;
    const size_t header = HeaderBytes(subheader);
    if (size < header) return false;
    const uint8_t* routing = data + (frame.fourE ? 6 : 2);
    if (frame.fourE) frame.serial = Le16(data + 2);
    for (int i = 0; i < 5; ++i) frame.routing[i] = routing[i];
    const size_t stated = Le16(data + header - 2);
    frame.lengthMatches = stated == size - header && stated >= kCommandBytes;
    if (size >= header + kCommandBytes) {
        frame.command = Le16(data + header + 2);
        frame.subcommand = Le16(data + header + 4);
        frame.data = data + header + kCommandBytes;
        frame.dataSize = size - header - kCommandBytes;
    }
    return true;
}

std::vector<uint8_t> BuildResponse(const RequestFrame& frame, uint16_t endCode, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> out;
    const uint16_t subheader = frame.fourE ? kResponse4E : kResponse3E;
    out.push_back(static_cast<uint8_t>(subheader >> 8));
    out.push_back(static_cast<uint8_t>(subheader));
    if (frame.fourE) {
        Put16(out, frame.serial);
        Put16(out, 0);
    }
    out.insert(out.end(), frame.routing, frame.routing + 5);
    std::vector<uint8_t> body;
    Put16(body, endCode);
    if (endCode == 0) {
        body.insert(body.end(), payload.begin(), payload.end());
    } else {
        // Error information: the responding station and the failed command.
        body.insert(body.end(), frame.routing, frame.routing + 5);
        Put16(body, frame.command);
        Put16(body, frame.subcommand);
    }
    Put16(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

} // namespace sim

#include <cstdio>

#include "sim/DeviceAddress.h"
#include "sim/DeviceMemory.h"

namespace sim {

RequestSummary Summarize(const RequestFrame& frame)
{
    struct Name {
        uint16_t command, subcommand;
        const char* text;
        bool batch; // device reference and point count follow
    };
    static const Name kNames[] = {
        {0x0401, 0, "batch read words", true},   {0x0401, 1, "batch read bits", true}, {0x1401, 0, "batch write words", true},
        {0x1401, 1, "batch write bits", true},   {0x0403, 0, "random read", false},    {0x1402, 0, "random write", false},
        {0x1402, 1, "random write bits", false}, {0x0406, 0, "block read", false},     {0x1406, 0, "block write", false},
        {0x0101, 0, "read type name", false},    {0x1001, 0, "remote RUN", false},     {0x1002, 0, "remote STOP", false},
        {0x1003, 0, "remote PAUSE", false},      {0x1005, 0, "latch clear", false},    {0x1006, 0, "remote RESET", false},
    };
    RequestSummary summary;
    for (const Name& name : kNames) {
        if (name.command != frame.command || name.subcommand != frame.subcommand) continue;
        summary.command = name.text;
        if (name.batch && frame.data && frame.dataSize >= 6) {
            if (const auto area = AreaByCode(frame.data[3])) summary.device = FormatDeviceAddress({*area, Le24(frame.data), std::nullopt});
            summary.points = Le16(frame.data + 4);
        } else if (frame.data && frame.dataSize >= 2 &&
                   (frame.command == 0x0403 || frame.command == 0x1402 || frame.command == 0x0406 || frame.command == 0x1406)) {
            summary.points = frame.command == 0x1402 && frame.subcommand == 1 ? frame.data[0] : frame.data[0] + frame.data[1];
        }
        return summary;
    }
    char code[24];
    std::snprintf(code, sizeof code, "command %04X/%04X", frame.command, frame.subcommand);
    summary.command = code;
    return summary;
}

std::string DescribeRequest(const uint8_t* request, size_t size)
{
    RequestFrame frame;
    if (!ParseRequest(request, size, frame)) return std::string();
    const RequestSummary summary = Summarize(frame);
    return summary.command + (summary.device.empty() ? "" : " " + summary.device) +
           (summary.points ? ", " + std::to_string(summary.points) + (summary.points == 1 ? " point" : " points") : "");
}

} // namespace sim
