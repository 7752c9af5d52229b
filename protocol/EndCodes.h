// The controller's end codes: value, name and meaning, in one table shared
// by the driver's status texts, the simulator that answers with them and
// the runner that prints them.
#pragma once

#include <cstdint>

namespace slmp {

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
