// SLMP 3E binary request handler over a device memory: bytes in, bytes
// out, answering as an FX5U-class controller does, end codes included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/DeviceMemory.h"

namespace sim {

// End codes the model answers with.
namespace endcode {
constexpr uint16_t kOk = 0x0000;
constexpr uint16_t kPointsOutOfRange = 0xC051;   // batch read/write point count
constexpr uint16_t kRandomPointsOutOfRange = 0xC054;
constexpr uint16_t kDeviceOutOfRange = 0xC056;    // start + count past the area
constexpr uint16_t kUnsupportedCommand = 0xC059;  // command or subcommand
constexpr uint16_t kDeviceNotFound = 0xC05B;      // unknown device code
constexpr uint16_t kWrongUnit = 0xC05C;           // bit units on a word device
constexpr uint16_t kLengthMismatch = 0xC061;      // request data length
} // namespace endcode

// Point limits per request.
constexpr uint32_t kMaxBatchWords = 960;
constexpr uint32_t kMaxBatchBits = 7168;
constexpr uint32_t kMaxRandomReadPoints = 192;
constexpr uint32_t kMaxRandomWritePoints = 160;
constexpr uint32_t kMaxRandomBitPoints = 188;

constexpr size_t kRequestHeaderBytes = 9;  // up to and including the data length

// Size of the first complete request in `data`, 0 while incomplete.
size_t CompleteRequestSize(const uint8_t* data, size_t size);

class SlmpHandler {
public:
    explicit SlmpHandler(DeviceMemory& memory) : m_memory(memory) {}

    // The response to one request; empty when the bytes are not a 3E
    // binary request at all (a controller stays silent then).
    std::vector<uint8_t> Handle(const uint8_t* request, size_t size);

    uint64_t RequestCount() const { return m_requests; }

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

    uint16_t ReadWordAt(size_t area, uint32_t number) const;
    bool PointInRange(size_t area, uint32_t number, bool dword) const;
    void WriteWordAt(size_t area, uint32_t number, uint16_t value);

    DeviceMemory& m_memory;
    uint64_t m_requests = 0;
};

} // namespace sim
