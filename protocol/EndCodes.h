// The controller's end codes: value, name and meaning, in one table shared
// by the driver's status texts, the simulator that answers with them and
// the runner that prints them.
#pragma once

#include <cstdint>

namespace slmp {

// The end codes by name; the table below gives each its meaning.
namespace endcode {
constexpr uint16_t kOk = 0x0000;
constexpr uint16_t kNotWhileRunning = 0x4013;        // latch clear and the like refused in RUN
constexpr uint16_t kPointsOutOfRange = 0xC051;       // batch read/write point count
constexpr uint16_t kRandomPointsOutOfRange = 0xC054; // random read/write point count
constexpr uint16_t kDeviceOutOfRange = 0xC056;       // start + count past the area
constexpr uint16_t kUnsupportedCommand = 0xC059;     // command or subcommand
constexpr uint16_t kDeviceNotFound = 0xC05B;         // unknown device code
constexpr uint16_t kWrongUnit = 0xC05C;              // bit units on a word device
constexpr uint16_t kNotExecutable = 0xC05F;          // a route to another station, which this controller does not relay
constexpr uint16_t kWrongContent = 0xC060;           // bit data other than 0 or 1, a RUN mode of no meaning
constexpr uint16_t kLengthMismatch = 0xC061;         // request data length
constexpr uint16_t kPasswordMismatch = 0xC200;       // remote password wrong
constexpr uint16_t kPasswordLocked = 0xC201;         // a request on a connection the remote password locks
} // namespace endcode

struct EndCodeInfo {
    uint16_t code;
    const char* name;
    const char* meaning;
};

// Every end code this product knows, in ascending order.
extern const EndCodeInfo kEndCodes[];
extern const unsigned kEndCodeCount;

// The entry of `code`, or null for a code the table does not know.
const EndCodeInfo* FindEndCode(uint16_t code);

} // namespace slmp
