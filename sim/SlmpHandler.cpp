#include "sim/SlmpHandler.h"

#include <algorithm>
#include <ctime>
#include <iterator>

namespace sim {

namespace {

} // namespace

bool ParseDeviceRef(const uint8_t* p, const DeviceFormat& format, DeviceRef& ref, uint16_t& endCode)
{
    const uint32_t code = format.wide ? Le16(p + 4) : p[3];
    const auto area = code <= 0xFF ? AreaByCode(static_cast<uint8_t>(code)) : std::nullopt;
    if (!area || (!format.everyDevice && IsLongTimer(DeviceAreas()[*area]))) {
        endCode = endcode::kDeviceNotFound;
        return false;
    }
    ref = {*area, format.wide ? Le32(p) : Le24(p)};
    return true;
}

size_t CompleteRequestSize(const uint8_t* data, size_t size)
{
    size_t request = 0;
    return FirstRequest(data, size, request) == StreamState::Complete ? request : 0;
}

std::vector<uint8_t> SlmpHandler::Handle(const uint8_t* request, size_t size)
{
    uint16_t endCode = 0;
    return Handle(request, size, endCode);
}

std::vector<uint8_t> SlmpHandler::Handle(const uint8_t* request, size_t size, uint16_t& endCode)
{
    RequestFrame frame;
    if (!ParseRequest(request, size, frame)) return {};
    ++m_requests;
    RefreshSpecialDevices();
    Reply reply;
    // Only requests to this controller itself are served: network 00,
    // station FF, module I/O 03FF, multidrop station 00. It relays nothing,
    // so a client's wrong route shows instead of reaching this memory.
    static const uint8_t kOwnRoute[5] = {0x00, 0xFF, 0xFF, 0x03, 0x00};
    if (!std::equal(std::begin(kOwnRoute), std::end(kOwnRoute), frame.routing))
        reply.endCode = endcode::kNotExecutable;
    else if (!frame.lengthMatches || !frame.data)
        reply.endCode = endcode::kLengthMismatch;
    else
        reply = Dispatch(frame.command, frame.subcommand, frame.data, frame.dataSize);
    endCode = reply.endCode;
    return BuildResponse(frame, reply.endCode, reply.data);
}

bool IsComputedDevice(const std::string& areaName, uint32_t number)
{
    return (areaName == "SM" && (number == 400 || number == 401)) ||
           (areaName == "SD" && (number == 203 || (number >= 210 && number <= 216)));
}

void SlmpHandler::RefreshSpecialDevices()
{
    // SM400 always ON, SM401 always OFF; SD203 the operating state (0 RUN,
    // 2 STOP, 3 PAUSE); SD210-SD216 the clock: year, month, day, hour,
    // minute, second, day of the week (0 Sunday).
    static const size_t sm = *AreaByName("SM"), sd = *AreaByName("SD");
    m_memory.SetBit(sm, 400, true);
    m_memory.SetBit(sm, 401, false);
    m_memory.SetWord(sd, 203, m_state == CpuState::Run ? 0 : m_state == CpuState::Stop ? 2 : 3);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const int clock[7] = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, local.tm_wday};
    for (uint32_t i = 0; i < 7; ++i) m_memory.SetWord(sd, 210 + i, static_cast<uint16_t>(clock[i]));
}

SlmpHandler::Reply SlmpHandler::Dispatch(uint16_t command, uint16_t subcommand, const uint8_t* data, size_t size)
{
    // Subcommands 0000-0003 of the device commands: bit 0 bit units, bit 1
    // the wide device reference.
    const DeviceFormat format{(subcommand & 2) != 0, m_everyDevice};
    const bool bits = (subcommand & 1) != 0;
    const bool device = subcommand <= 3;
    switch (command) {
    case 0x0401:
        if (device) return BatchRead(bits, format, data, size);
        break;
    case 0x1401:
        if (device) return BatchWrite(bits, format, data, size);
        break;
    case 0x0403:
        if (device && !bits) return RandomRead(format, data, size);
        break;
    case 0x1402:
        if (device) return bits ? RandomWriteBits(format, data, size) : RandomWrite(format, data, size);
        break;
    case 0x0406:
        if (device && !bits) return BlockRead(format, data, size);
        break;
    case 0x1406:
        if (device && !bits) return BlockWrite(format, data, size);
        break;
    case 0x0101:
        if (subcommand == 0) return ReadTypeName(size);
        break;
    case 0x1001:
    case 0x1002:
    case 0x1003:
    case 0x1005:
    case 0x1006:
        if (subcommand == 0) return Remote(command, data, size);
        break;
    default: break;
    }
    Reply reply;
    reply.endCode = endcode::kUnsupportedCommand;
    return reply;
}

uint32_t SlmpHandler::WordStart(size_t area, uint32_t number, uint32_t word) const
{
    // In words, a bit device gives 16 points a word from the number on.
    return m_memory.Area(area).unit == DeviceUnit::Bit ? number + 16 * word : number + word;
}

uint16_t SlmpHandler::ReadWordAt(size_t area, uint32_t number, uint32_t word) const
{
    number = WordStart(area, number, word);
    if (m_memory.Area(area).unit != DeviceUnit::Bit) return m_memory.GetWord(area, number);
    uint16_t bits = 0;
    for (uint32_t i = 0; i < 16; ++i)
        if (m_memory.GetBit(area, number + i)) bits = static_cast<uint16_t>(bits | (1u << i));
    return bits;
}

void SlmpHandler::WriteWordAt(size_t area, uint32_t number, uint32_t word, uint16_t value)
{
    number = WordStart(area, number, word);
    if (m_memory.Area(area).unit != DeviceUnit::Bit) {
        m_memory.SetWord(area, number, value);
        return;
    }
    for (uint32_t i = 0; i < 16; ++i) m_memory.SetBit(area, number + i, (static_cast<unsigned>(value) >> i) & 1u);
}

namespace {
// Word-view extent of `count` units from `number` in an area.
uint64_t WordEnd(const DeviceArea& area, uint32_t number, uint32_t count)
{
    if (area.unit == DeviceUnit::Bit) return static_cast<uint64_t>(number) + 16ull * count;
    return static_cast<uint64_t>(number) + count;
}
uint64_t AreaEnd(const DeviceArea& area, uint32_t wordCount) { return area.unit == DeviceUnit::Bit ? area.points : wordCount; }

// Device reference and point count of a batch request; a double-word
// device is served by random requests only.
bool BatchHead(const DeviceMemory& memory, const DeviceFormat& f, const uint8_t* data, size_t size, DeviceRef& ref, uint32_t& count,
               uint16_t& endCode)
{
    if (size < f.RefBytes() + 2) {
        endCode = endcode::kLengthMismatch;
        return false;
    }
    if (!ParseDeviceRef(data, f, ref, endCode)) return false;
    if (memory.Area(ref.area).unit == DeviceUnit::DoubleWord) {
        endCode = endcode::kWrongUnit;
        return false;
    }
    count = Le16(data + f.RefBytes());
    return true;
}

// The word and double-word point counts of a random request, checked
// against the limit (points, or bytes at a cost a point) and the request
// length.
bool RandomCounts(const uint8_t* data, size_t size, bool read, size_t wordBytes, size_t dwordBytes, uint32_t& words, uint32_t& dwords,
                  uint16_t& endCode)
{
    if (size < 2) {
        endCode = endcode::kLengthMismatch;
        return false;
    }
    words = data[0];
    dwords = data[1];
    const bool within =
        read ? words + dwords <= kMaxRandomReadPoints : words * kRandomWriteWordCost + dwords * kRandomWriteDwordCost <= kRandomWriteBudget;
    if (words + dwords == 0 || !within)
        endCode = endcode::kRandomPointsOutOfRange;
    else if (size != 2 + wordBytes * words + dwordBytes * dwords)
        endCode = endcode::kLengthMismatch;
    return endCode == endcode::kOk;
}
} // namespace

bool SlmpHandler::WordsInRange(size_t area, uint32_t number, uint32_t count) const
{
    const DeviceArea& spec = m_memory.Area(area);
    return WordEnd(spec, number, count) <= AreaEnd(spec, m_memory.WordCount(area));
}

bool SlmpHandler::PointInRange(size_t area, uint32_t number, bool dword) const
{
    const DeviceArea& spec = m_memory.Area(area);
    const uint64_t end =
        spec.unit == DeviceUnit::DoubleWord ? (static_cast<uint64_t>(number) + 1) * 2 : WordEnd(spec, number, dword ? 2 : 1);
    return end <= AreaEnd(spec, m_memory.WordCount(area));
}

SlmpHandler::Reply SlmpHandler::BatchRead(bool bitUnits, const DeviceFormat& f, const uint8_t* data, size_t size)
{
    Reply reply;
    DeviceRef ref{};
    uint32_t count = 0;
    if (size != f.RefBytes() + 2) {
        reply.endCode = endcode::kLengthMismatch;
        return reply;
    }
    if (!BatchHead(m_memory, f, data, size, ref, count, reply.endCode)) return reply;
    const DeviceArea& area = m_memory.Area(ref.area);
    if (bitUnits) {
        if (area.unit != DeviceUnit::Bit)
            reply.endCode = endcode::kWrongUnit;
        else if (count == 0 || count > kMaxBatchBits)
            reply.endCode = endcode::kPointsOutOfRange;
        else if (static_cast<uint64_t>(ref.number) + count > area.points)
            reply.endCode = endcode::kDeviceOutOfRange;
        if (reply.endCode != endcode::kOk) return reply;
        for (uint32_t i = 0; i < count; i += 2) {
            const uint8_t high = m_memory.GetBit(ref.area, ref.number + i) ? 0x10 : 0x00;
            const uint8_t low = (i + 1 < count && m_memory.GetBit(ref.area, ref.number + i + 1)) ? 0x01 : 0x00;
            reply.data.push_back(high | low);
        }
        return reply;
    }
    if (count == 0 || count > kMaxBatchWords)
        reply.endCode = endcode::kPointsOutOfRange;
    else if (!WordsInRange(ref.area, ref.number, count))
        reply.endCode = endcode::kDeviceOutOfRange;
    if (reply.endCode != endcode::kOk) return reply;
    for (uint32_t i = 0; i < count; ++i) Put16(reply.data, ReadWordAt(ref.area, ref.number, i));
    return reply;
}

SlmpHandler::Reply SlmpHandler::BatchWrite(bool bitUnits, const DeviceFormat& f, const uint8_t* data, size_t size)
{
    Reply reply;
    DeviceRef ref{};
    uint32_t count = 0;
    if (!BatchHead(m_memory, f, data, size, ref, count, reply.endCode)) return reply;
    const DeviceArea& area = m_memory.Area(ref.area);
    const size_t head = f.RefBytes() + 2;
    const uint8_t* values = data + head;
    const size_t payload = size - head;
    if (bitUnits) {
        if (area.unit != DeviceUnit::Bit)
            reply.endCode = endcode::kWrongUnit;
        else if (count == 0 || count > kMaxBatchBits)
            reply.endCode = endcode::kPointsOutOfRange;
        else if (payload != (count + 1) / 2)
            reply.endCode = endcode::kLengthMismatch;
        else if (static_cast<uint64_t>(ref.number) + count > area.points)
            reply.endCode = endcode::kDeviceOutOfRange;
        // Each point is 0 or 1, two a byte; the unused low nibble of an odd count is 0.
        for (uint32_t i = 0; reply.endCode == endcode::kOk && i < 2 * static_cast<uint32_t>(payload); ++i) {
            const unsigned nibble = (i % 2 == 0 ? values[i / 2] >> 4 : values[i / 2]) & 0x0F;
            if (nibble > (i < count ? 1u : 0u)) reply.endCode = endcode::kWrongContent;
        }
        if (reply.endCode != endcode::kOk) return reply;
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t byte = values[i / 2];
            m_memory.SetBit(ref.area, ref.number + i, (i % 2 == 0 ? (byte >> 4) : byte) & 0x01);
        }
        return reply;
    }
    if (count == 0 || count > kMaxBatchWords)
        reply.endCode = endcode::kPointsOutOfRange;
    else if (payload != 2ull * count)
        reply.endCode = endcode::kLengthMismatch;
    else if (!WordsInRange(ref.area, ref.number, count))
        reply.endCode = endcode::kDeviceOutOfRange;
    if (reply.endCode != endcode::kOk) return reply;
    for (uint32_t i = 0; i < count; ++i) WriteWordAt(ref.area, ref.number, i, Le16(values + 2 * i));
    return reply;
}

SlmpHandler::Reply SlmpHandler::RandomRead(const DeviceFormat& f, const uint8_t* data, size_t size)
{
    Reply reply;
    uint32_t words = 0, dwords = 0;
    const size_t refBytes = f.RefBytes();
    if (!RandomCounts(data, size, true, refBytes, refBytes, words, dwords, reply.endCode)) return reply;
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < words + dwords; ++i) {
        DeviceRef ref{};
        if (!ParseDeviceRef(data + 2 + refBytes * i, f, ref, reply.endCode)) return reply;
        const DeviceArea& area = m_memory.Area(ref.area);
        const bool dword = i >= words;
        if (!PointInRange(ref.area, ref.number, dword)) {
            reply.endCode = endcode::kDeviceOutOfRange;
            return reply;
        }
        if (area.unit == DeviceUnit::DoubleWord) {
            const uint32_t value = m_memory.GetDword(ref.area, ref.number);
            Put16(out, value & 0xFFFF);
            if (dword) Put16(out, value >> 16);
        } else {
            Put16(out, ReadWordAt(ref.area, ref.number, 0));
            if (dword) Put16(out, ReadWordAt(ref.area, ref.number, 1));
        }
    }
    reply.data = std::move(out);
    return reply;
}

SlmpHandler::Reply SlmpHandler::RandomWrite(const DeviceFormat& f, const uint8_t* data, size_t size)
{
    Reply reply;
    uint32_t words = 0, dwords = 0;
    const size_t refBytes = f.RefBytes();
    if (!RandomCounts(data, size, false, refBytes + 2, refBytes + 4, words, dwords, reply.endCode)) return reply;
    // Check every point before changing any, as a controller rejects the
    // whole request.
    struct Point {
        DeviceRef ref;
        bool dword;
        uint32_t value;
    };
    std::vector<Point> points;
    const uint8_t* p = data + 2;
    for (uint32_t i = 0; i < words + dwords; ++i) {
        const bool dword = i >= words;
        DeviceRef ref{};
        if (!ParseDeviceRef(p, f, ref, reply.endCode)) return reply;
        if (!PointInRange(ref.area, ref.number, dword)) {
            reply.endCode = endcode::kDeviceOutOfRange;
            return reply;
        }
        points.push_back({ref, dword, dword ? Le32(p + refBytes) : Le16(p + refBytes)});
        p += refBytes + (dword ? 4 : 2);
    }
    for (const Point& point : points) {
        const DeviceArea& area = m_memory.Area(point.ref.area);
        if (area.unit == DeviceUnit::DoubleWord) {
            const uint32_t old = m_memory.GetDword(point.ref.area, point.ref.number);
            m_memory.SetDword(point.ref.area, point.ref.number, point.dword ? point.value : ((old & 0xFFFF0000u) | point.value));
        } else {
            WriteWordAt(point.ref.area, point.ref.number, 0, static_cast<uint16_t>(point.value));
            if (point.dword) WriteWordAt(point.ref.area, point.ref.number, 1, static_cast<uint16_t>(point.value >> 16));
        }
    }
    return reply;
}

SlmpHandler::Reply SlmpHandler::RandomWriteBits(const DeviceFormat& f, const uint8_t* data, size_t size)
{
    const size_t pointBytes = f.RefBytes() + 1;
    Reply reply;
    if (size < 1) {
        reply.endCode = endcode::kLengthMismatch;
        return reply;
    }
    const uint32_t count = data[0];
    if (count == 0 || count > kMaxRandomBitPoints)
        reply.endCode = endcode::kRandomPointsOutOfRange;
    else if (size != 1 + pointBytes * count)
        reply.endCode = endcode::kLengthMismatch;
    if (reply.endCode != endcode::kOk) return reply;
    std::vector<std::pair<DeviceRef, bool>> points;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = data + 1 + pointBytes * i;
        DeviceRef ref{};
        if (!ParseDeviceRef(p, f, ref, reply.endCode)) return reply;
        const DeviceArea& area = m_memory.Area(ref.area);
        const uint8_t value = p[pointBytes - 1];
        if (area.unit != DeviceUnit::Bit)
            reply.endCode = endcode::kWrongUnit;
        else if (ref.number >= area.points)
            reply.endCode = endcode::kDeviceOutOfRange;
        else if (value > 1)
            reply.endCode = endcode::kWrongContent;
        if (reply.endCode != endcode::kOk) return reply;
        points.push_back({ref, value == 0x01});
    }
    for (const auto& point : points) m_memory.SetBit(point.first.area, point.first.number, point.second);
    return reply;
}

} // namespace sim
