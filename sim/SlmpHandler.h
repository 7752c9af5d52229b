// SLMP binary request handler over a device memory, 3E and 4E frames:
// bytes in, bytes out, answering as an FX5U-class controller does, end
// codes included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/DeviceMemory.h"
#include "protocol/EndCodes.h"
#include "sim/SlmpFrame.h"

namespace sim {

// End codes the model answers with: the product's one table of them.
namespace endcode = slmp::endcode;

// Point limits per request, as controllers of this class set them: 960
// words are the 1 920 data bytes one binary frame carries, and 7 168 bits
// the same 3 584 bytes at two points a byte; random requests name each point
// with its own 4-byte reference, which bounds them lower.
constexpr uint32_t kMaxBatchWords = 960;
constexpr uint32_t kMaxBatchBits = 7168;
constexpr uint32_t kMaxRandomReadPoints = 192;
constexpr uint32_t kMaxRandomWritePoints = 160;
constexpr uint32_t kMaxRandomBitPoints = 188;
// Block read and write: at most 120 blocks and 960 points in all.
constexpr uint32_t kMaxBlocks = 120;
constexpr uint32_t kMaxBlockPoints = 960;

// What the read-type-name command answers: model text and code.
constexpr const char* kModelName = "FX5U-32MT/ES";
constexpr uint16_t kModelCode = 0x4A21;

enum class CpuState { Run, Stop, Pause };

constexpr size_t kRequestHeaderBytes = 9; // up to and including the data length

// Size of the first complete request in `data`, 0 while incomplete or
// when the bytes are not a request.
size_t CompleteRequestSize(const uint8_t* data, size_t size);

struct DeviceRef {
    size_t area;
    uint32_t number;
};
// A device reference of a request: three-byte number and device code.
bool ParseDeviceRef(const uint8_t* p, DeviceRef& ref, uint16_t& endCode);

// One run of a block read or write: words of a word device, or bit-device
// points in words.
struct Block {
    DeviceRef ref;
    uint32_t words;
    const uint8_t* data; // block write: the block's words
};

class SlmpHandler {
public:
    explicit SlmpHandler(DeviceMemory& memory) : m_memory(memory) {}

    // The response to one request; empty when the bytes are not a 3E or 4E
    // binary request at all (a controller stays silent then).
    std::vector<uint8_t> Handle(const uint8_t* request, size_t size);
    // The same with the end code of the answer, for logging.
    std::vector<uint8_t> Handle(const uint8_t* request, size_t size, uint16_t& endCode);

    uint64_t RequestCount() const { return m_requests; }
    CpuState State() const { return m_state; }

private:
    struct Reply {
        uint16_t endCode = endcode::kOk;
        std::vector<uint8_t> data;
    };
    Reply Dispatch(uint16_t command, uint16_t subcommand, const uint8_t* data, size_t size);
    Reply BatchRead(bool bitUnits, const uint8_t* data, size_t size);
    Reply BatchWrite(bool bitUnits, const uint8_t* data, size_t size);
    Reply RandomRead(const uint8_t* data, size_t size);
    Reply RandomWrite(const uint8_t* data, size_t size);
    Reply RandomWriteBits(const uint8_t* data, size_t size);
    Reply BlockRead(const uint8_t* data, size_t size);
    Reply BlockWrite(const uint8_t* data, size_t size);
    Reply ReadTypeName(size_t size);
    Reply Remote(uint16_t command, const uint8_t* data, size_t size);

    // Word `word` of the word view from device `number` on: the device
    // number it starts at, and its value read or written.
    uint32_t WordStart(size_t area, uint32_t number, uint32_t word) const;
    uint16_t ReadWordAt(size_t area, uint32_t number, uint32_t word) const;
    // Word-view extent checks shared by the batch and block commands.
    bool WordsInRange(size_t area, uint32_t number, uint32_t count) const;
    // The blocks of a block request, every one within its area.
    bool Blocks(const uint8_t* data, size_t size, bool withData, std::vector<Block>& blocks, uint16_t& endCode) const;
    bool PointInRange(size_t area, uint32_t number, bool dword) const;
    void WriteWordAt(size_t area, uint32_t number, uint32_t word, uint16_t value);

    DeviceMemory& m_memory;
    uint64_t m_requests = 0;
    CpuState m_state = CpuState::Run;
};

} // namespace sim
