// SLMP binary request handler over a device memory, 3E and 4E frames:
// bytes in, bytes out, answering as an FX5U-class controller does, end
// codes included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <string>
#include <vector>

#include "sim/DeviceMemory.h"
#include "protocol/EndCodes.h"
#include "sim/SlmpFrame.h"

namespace sim {

// End codes the model answers with: the product's one table of them.
namespace endcode = slmp::endcode;

// Point limits per request, as the controller's manual gives them: 960
// words in word units, 3 584 points in bit units; a random read names at
// most 192 points; a random write carries at most 1 920 bytes of points, a
// word point counting 12 and a double-word point 14; a random bit write at
// most 188 points.
constexpr uint32_t kMaxBatchWords = 960;
constexpr uint32_t kMaxBatchBits = 3584;
constexpr uint32_t kMaxRandomReadPoints = 192;
constexpr uint32_t kRandomWriteBudget = 1920;
constexpr uint32_t kRandomWriteWordCost = 12, kRandomWriteDwordCost = 14;
constexpr uint32_t kMaxRandomBitPoints = 188;
// Block read and write: at most 120 blocks and 960 points in all.
constexpr uint32_t kMaxBlocks = 120;
constexpr uint32_t kMaxBlockPoints = 960;

// What the read-type-name command answers: model text and code.
constexpr const char* kModelName = "FX5U-32MT/ES";
constexpr uint16_t kModelCode = 0x4A21;

enum class CpuState { Run, Stop, Pause };

// The special devices the controller itself sets (SM400, SM401, SD203,
// SD210-SD216): refreshed before every request, never saved.
bool IsComputedDevice(const std::string& areaName, uint32_t number);

// Size of the first complete request in `data`, 0 while incomplete or
// when the bytes are not a request.
size_t CompleteRequestSize(const uint8_t* data, size_t size);

struct DeviceRef {
    size_t area;
    uint32_t number;
};
// How a request names its devices: subcommands 0000/0001 with a three-byte
// number and a one-byte code, 0002/0003 with a four-byte number and a
// two-byte code; and whether devices this controller class lacks (the long
// timers) are served too.
struct DeviceFormat {
    bool wide = false;
    bool everyDevice = false;
    size_t RefBytes() const { return wide ? 6 : 4; }
};
// A device reference of a request, in `format`.
bool ParseDeviceRef(const uint8_t* p, const DeviceFormat& format, DeviceRef& ref, uint16_t& endCode);

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
    // Whether the last request reset the CPU; cleared by asking. The server
    // then drops the connections and restarts, as the controller does.
    bool TakeReset() { return std::exchange(m_resetDone, false); }
    // Serve every register type the driver knows, the long timers too,
    // which a controller of this class does not have.
    void ServeEveryDevice(bool every) { m_everyDevice = every; }
    CpuState State() const { return m_state; }

private:
    struct Reply {
        uint16_t endCode = endcode::kOk;
        std::vector<uint8_t> data;
    };
    Reply Dispatch(uint16_t command, uint16_t subcommand, const uint8_t* data, size_t size);
    // The special relays and registers a request may read: SM400, SM401,
    // SD203 and the clock in SD210-SD216, as of now.
    void RefreshSpecialDevices();
    Reply BatchRead(bool bitUnits, const DeviceFormat& f, const uint8_t* data, size_t size);
    Reply BatchWrite(bool bitUnits, const DeviceFormat& f, const uint8_t* data, size_t size);
    Reply RandomRead(const DeviceFormat& f, const uint8_t* data, size_t size);
    Reply RandomWrite(const DeviceFormat& f, const uint8_t* data, size_t size);
    Reply RandomWriteBits(const DeviceFormat& f, const uint8_t* data, size_t size);
    Reply BlockRead(const DeviceFormat& f, const uint8_t* data, size_t size);
    Reply BlockWrite(const DeviceFormat& f, const uint8_t* data, size_t size);
    Reply ReadTypeName(size_t size);
    Reply Remote(uint16_t command, const uint8_t* data, size_t size);

    // Word `word` of the word view from device `number` on: the device
    // number it starts at, and its value read or written.
    uint32_t WordStart(size_t area, uint32_t number, uint32_t word) const;
    uint16_t ReadWordAt(size_t area, uint32_t number, uint32_t word) const;
    // Word-view extent checks shared by the batch and block commands.
    bool WordsInRange(size_t area, uint32_t number, uint32_t count) const;
    // The blocks of a block request, every one within its area.
    bool Blocks(const DeviceFormat& f, const uint8_t* data, size_t size, bool withData, std::vector<Block>& blocks,
                uint16_t& endCode) const;
    bool PointInRange(size_t area, uint32_t number, bool dword) const;
    void WriteWordAt(size_t area, uint32_t number, uint32_t word, uint16_t value);

    DeviceMemory& m_memory;
    uint64_t m_requests = 0;
    CpuState m_state = CpuState::Run;
    bool m_everyDevice = false;
    bool m_resetDone = false;
};

} // namespace sim
