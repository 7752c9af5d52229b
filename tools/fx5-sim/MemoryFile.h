// The simulator's memory as a JSON file: one member per device, a word,
// point or double word as a number, or an object for the other forms.
//   "D100": 1234, "M0": true, "LZ1": 70000, "D5.3": true,
//   "D200": {"dword": 305419896}, "D300": {"float": 1.5}, "D400": {"string": "ABC"}
#pragma once

#include <string>

#include "sim/DeviceMemory.h"

namespace fx5sim {

// Seeds `memory` from the file; false with a message naming the member
// that is wrong.
bool LoadMemoryFile(const std::string& path, sim::DeviceMemory& memory, std::string& error);
// Writes every non-zero device back in the same form.
bool SaveMemoryFile(const std::string& path, const sim::DeviceMemory& memory, std::string& error);

// A string as the controller stores it: two characters a word, the first in
// the low byte, the last word zero-padded; nothing after it is touched.
void StoreString(sim::DeviceMemory& memory, size_t area, uint32_t word, const std::string& text);

} // namespace fx5sim
