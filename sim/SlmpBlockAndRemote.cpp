// Block read and write (several runs of words and of bit-device words in
// one request), read type name, and the remote operations that change the
// CPU state.
#include <cstring>

#include "sim/SlmpHandler.h"

namespace sim {

namespace {

// Parses the block list: word blocks first, then bit-device blocks, each a
// device reference and a word count, followed by the words in a write.
bool ParseBlocks(const DeviceMemory& memory, const DeviceFormat& f, const uint8_t* data, size_t size, bool withData,
                 std::vector<Block>& blocks, size_t& wordBlocks, uint16_t& endCode)
{
    if (size < 2) {
        endCode = endcode::kLengthMismatch;
        return false;
    }
    wordBlocks = data[0];
    const size_t bitBlocks = data[1];
    if (wordBlocks + bitBlocks == 0 || wordBlocks + bitBlocks > kMaxBlocks) {
        endCode = endcode::kPointsOutOfRange;
        return false;
    }
    size_t at = 2;
    uint32_t points = 0;
    for (size_t i = 0; i < wordBlocks + bitBlocks; ++i) {
        if (at + f.RefBytes() + 2 > size) {
            endCode = endcode::kLengthMismatch;
            return false;
        }
        Block block{};
        if (!ParseDeviceRef(data + at, f, block.ref, endCode)) return false;
        block.words = Le16(data + at + f.RefBytes());
        at += f.RefBytes() + 2;
        const bool bitArea = memory.Area(block.ref.area).unit == DeviceUnit::Bit;
        if (bitArea != (i >= wordBlocks) || memory.Area(block.ref.area).unit == DeviceUnit::DoubleWord) {
            endCode = endcode::kWrongUnit;
            return false;
        }
        if (block.words == 0) {
            endCode = endcode::kPointsOutOfRange;
            return false;
        }
        points += block.words;
        if (withData) {
            if (at + 2ull * block.words > size) {
                endCode = endcode::kLengthMismatch;
                return false;
            }
            block.data = data + at;
            at += 2 * static_cast<size_t>(block.words);
        }
        blocks.push_back(block);
    }
    if (points > kMaxBlockPoints)
        endCode = endcode::kPointsOutOfRange;
    else if (at != size)
        endCode = endcode::kLengthMismatch;
    return endCode == endcode::kOk;
}

} // namespace

bool SlmpHandler::Blocks(const DeviceFormat& f, const uint8_t* data, size_t size, bool withData, std::vector<Block>& blocks,
                         uint16_t& endCode) const
{
    size_t wordBlocks = 0;
    if (!ParseBlocks(m_memory, f, data, size, withData, blocks, wordBlocks, endCode)) return false;
    // Every block is checked before any is read or written, as a controller
    // rejects the whole request.
    for (const Block& block : blocks) {
        if (!WordsInRange(block.ref.area, block.ref.number, block.words)) {
            endCode = endcode::kDeviceOutOfRange;
            return false;
        }
    }
    return true;
}

SlmpHandler::Reply SlmpHandler::BlockRead(const DeviceFormat& f, const uint8_t* data, size_t size)
{
    Reply reply;
    std::vector<Block> blocks;
    if (!Blocks(f, data, size, false, blocks, reply.endCode)) return reply;
    for (const Block& block : blocks)
        for (uint32_t i = 0; i < block.words; ++i) Put16(reply.data, ReadWordAt(block.ref.area, block.ref.number, i));
    return reply;
}

SlmpHandler::Reply SlmpHandler::BlockWrite(const DeviceFormat& f, const uint8_t* data, size_t size)
{
    Reply reply;
    std::vector<Block> blocks;
    if (!Blocks(f, data, size, true, blocks, reply.endCode)) return reply;
    for (const Block& block : blocks)
        for (uint32_t i = 0; i < block.words; ++i) WriteWordAt(block.ref.area, block.ref.number, i, Le16(block.data + 2 * i));
    return reply;
}

SlmpHandler::Reply SlmpHandler::ReadTypeName(size_t size)
{
    Reply reply;
    if (size != 0) {
        reply.endCode = endcode::kLengthMismatch;
        return reply;
    }
    // Sixteen characters, blank-padded, then the model code.
    char name[16];
    std::memset(name, ' ', sizeof name);
    std::memcpy(name, kModelName, std::strlen(kModelName)); // NOLINT(bugprone-not-null-terminated-result): a blank-padded field
    reply.data.assign(name, name + sizeof name);
    Put16(reply.data, kModelCode);
    return reply;
}

SlmpHandler::Reply SlmpHandler::Remote(uint16_t command, const uint8_t* data, size_t size)
{
    Reply reply;
    // RUN carries a mode word, a clear mode and a reserved byte; the others
    // carry one fixed word.
    const size_t expected = command == 0x1001 ? 4 : 2;
    if (size != expected) {
        reply.endCode = endcode::kLengthMismatch;
        return reply;
    }
    // RUN's mode is 0001 (not forced) or 0003 (forced), its clear mode 0 … 2.
    if (command == 0x1001 && ((Le16(data) != 0x0001 && Le16(data) != 0x0003) || data[2] > 2)) {
        reply.endCode = endcode::kWrongContent;
        return reply;
    }
    switch (command) {
    case 0x1001: m_state = CpuState::Run; break;
    case 0x1002: m_state = CpuState::Stop; break;
    case 0x1003: m_state = CpuState::Pause; break;
    case 0x1005:
        if (m_state == CpuState::Run)
            reply.endCode = endcode::kNotWhileRunning;
        else
            m_memory.ClearLatched();
        break;
    case 0x1006:
        // Only a stopped CPU resets: memory outside the latch relays is
        // cleared, and it comes back in RUN, as its switch says.
        if (m_state != CpuState::Stop) {
            reply.endCode = endcode::kNotWhileRunning;
        } else {
            m_memory.ClearUnlatched();
            m_state = CpuState::Run;
            m_resetDone = true;
        }
        break;
    default: reply.endCode = endcode::kUnsupportedCommand; break;
    }
    return reply;
}

} // namespace sim
