#include "sim/SlmpHandler.h"

namespace sim {

namespace {

} // namespace

bool ParseDeviceRef(const uint8_t* p, DeviceRef& ref, uint16_t& endCode)
{
    const auto area = AreaByCode(p[3]);
    if (!area) {
        endCode = endcode::kDeviceNotFound;
        return false;
    }
    ref = {*area, Le24(p)};
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
    Reply reply;
    if (!frame.lengthMatches || !frame.data)
        reply.endCode = endcode::kLengthMismatch;
    else
        reply = Dispatch(frame.command, frame.subcommand, frame.data, frame.dataSize);
    endCode = reply.endCode;
    return BuildResponse(frame, reply.endCode, reply.data);
}

SlmpHandler::Reply SlmpHandler::Dispatch(uint16_t command, uint16_t subcommand, const uint8_t* data, size_t size)
{
    switch (command) {
    case 0x0401:
        if (subcommand <= 1) return BatchRead(subcommand == 1, data, size);
        break;
    case 0x1401:
        if (subcommand <= 1) return BatchWrite(subcommand == 1, data, size);
        break;
    case 0x0403:
        if (subcommand == 0) return RandomRead(data, size);
        break;
    case 0x1402:
        if (subcommand == 0) return RandomWrite(data, size);
        if (subcommand == 1) return RandomWriteBits(data, size);
        break;
    case 0x0406:
        if (subcommand == 0) return BlockRead(data, size);
        break;
    case 0x1406:
        if (subcommand == 0) return BlockWrite(data, size);
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

// Device reference and point count of a batch request.
bool BatchHead(const uint8_t* data, size_t size, DeviceRef& ref, uint32_t& count, uint16_t& endCode)
{
    if (size < 6) {
        endCode = endcode::kLengthMismatch;
        return false;
    }
    if (!ParseDeviceRef(data, ref, endCode)) return false;
    count = Le16(data + 4);
    return true;
}

// The word and double-word point counts of a random request, checked
// against the limit and the request length.
bool RandomCounts(const uint8_t* data, size_t size, uint32_t limit, size_t wordBytes, size_t dwordBytes, uint32_t& words, uint32_t& dwords,
                  uint16_t& endCode)
{
    if (size < 2) {
        endCode = endcode::kLengthMismatch;
        return false;
    }
    words = data[0];
    dwords = data[1];
    if (words + dwords == 0 || words + dwords > limit)
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

SlmpHandler::Reply SlmpHandler::BatchRead(bool bitUnits, const uint8_t* data, size_t size)
{
    Reply reply;
    DeviceRef ref{};
    uint32_t count = 0;
    if (size != 6) {
        reply.endCode = endcode::kLengthMismatch;
        return reply;
    }
    if (!BatchHead(data, size, ref, count, reply.endCode)) return reply;
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

SlmpHandler::Reply SlmpHandler::BatchWrite(bool bitUnits, const uint8_t* data, size_t size)
{
    Reply reply;
    DeviceRef ref{};
    uint32_t count = 0;
    if (!BatchHead(data, size, ref, count, reply.endCode)) return reply;
    const DeviceArea& area = m_memory.Area(ref.area);
    const size_t payload = size - 6;
    if (bitUnits) {
        if (area.unit != DeviceUnit::Bit)
            reply.endCode = endcode::kWrongUnit;
        else if (count == 0 || count > kMaxBatchBits)
            reply.endCode = endcode::kPointsOutOfRange;
        else if (payload != (count + 1) / 2)
            reply.endCode = endcode::kLengthMismatch;
        else if (static_cast<uint64_t>(ref.number) + count > area.points)
            reply.endCode = endcode::kDeviceOutOfRange;
        if (reply.endCode != endcode::kOk) return reply;
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t byte = data[6 + i / 2];
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
    for (uint32_t i = 0; i < count; ++i) WriteWordAt(ref.area, ref.number, i, Le16(data + 6 + 2 * i));
    return reply;
}

SlmpHandler::Reply SlmpHandler::RandomRead(const uint8_t* data, size_t size)
{
    Reply reply;
    uint32_t words = 0, dwords = 0;
    if (!RandomCounts(data, size, kMaxRandomReadPoints, 4, 4, words, dwords, reply.endCode)) return reply;
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < words + dwords; ++i) {
        DeviceRef ref{};
        if (!ParseDeviceRef(data + 2 + 4 * i, ref, reply.endCode)) return reply;
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

SlmpHandler::Reply SlmpHandler::RandomWrite(const uint8_t* data, size_t size)
{
    Reply reply;
    uint32_t words = 0, dwords = 0;
    if (!RandomCounts(data, size, kMaxRandomWritePoints, 6, 8, words, dwords, reply.endCode)) return reply;
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
        if (!ParseDeviceRef(p, ref, reply.endCode)) return reply;
        if (!PointInRange(ref.area, ref.number, dword)) {
            reply.endCode = endcode::kDeviceOutOfRange;
            return reply;
        }
        points.push_back({ref, dword, dword ? Le32(p + 4) : Le16(p + 4)});
        p += dword ? 8 : 6;
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

SlmpHandler::Reply SlmpHandler::RandomWriteBits(const uint8_t* data, size_t size)
{
    Reply reply;
    if (size < 1) {
        reply.endCode = endcode::kLengthMismatch;
        return reply;
    }
    const uint32_t count = data[0];
    if (count == 0 || count > kMaxRandomBitPoints)
        reply.endCode = endcode::kRandomPointsOutOfRange;
    else if (size != 1 + 5ull * count)
        reply.endCode = endcode::kLengthMismatch;
    if (reply.endCode != endcode::kOk) return reply;
    std::vector<std::pair<DeviceRef, bool>> points;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = data + 1 + 5 * i;
        DeviceRef ref{};
        if (!ParseDeviceRef(p, ref, reply.endCode)) return reply;
        const DeviceArea& area = m_memory.Area(ref.area);
        if (area.unit != DeviceUnit::Bit)
            reply.endCode = endcode::kWrongUnit;
        else if (ref.number >= area.points)
            reply.endCode = endcode::kDeviceOutOfRange;
        if (reply.endCode != endcode::kOk) return reply;
        points.push_back({ref, p[4] == 0x01});
    }
    for (const auto& point : points) m_memory.SetBit(point.first.area, point.first.number, point.second);
    return reply;
}

} // namespace sim
