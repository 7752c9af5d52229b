// The simulator's memory as a JSON file: one member per device, a word,
// point or double word as a number, or an object for the other forms.
//   "D100": 1234, "M0": true, "LZ1": 70000, "D5.3": true,
//   "D200": {"dword": 305419896}, "D300": {"float": 1.5}, "D400": {"string": "ABC"}
#pragma once

#include <string>
#include <vector>

#include "sim/DeviceAddress.h"
#include "sim/DeviceMemory.h"

namespace fx5sim {

// How a seed file wrote a device other than as a plain number: a double
// word, a float, a string or a bit of a word. Kept so that a save writes it
// back in the same form.
struct MemoryForm {
    sim::DeviceAddress at;
    std::string kind;   // "dword", "float", "string", "bit"
    uint32_t words = 0; // the words a string takes
};
using MemoryLayout = std::vector<MemoryForm>;

// Seeds `memory` from the file, noting in `layout` the forms it used; false
// with a message naming the member that is wrong.
bool LoadMemoryFile(const std::string& path, sim::DeviceMemory& memory, std::string& error, MemoryLayout* layout = nullptr);
// Writes the devices of `layout` in their forms, and every other non-zero
// device as a number. The devices the simulator computes (SM400, SM401,
// SD203, the clock) are left out.
bool SaveMemoryFile(const std::string& path, const sim::DeviceMemory& memory, std::string& error, const MemoryLayout& layout = {});

// A string as the controller stores it: two characters a word, the first in
// the low byte, the last word zero-padded; nothing after it is touched.
void StoreString(sim::DeviceMemory& memory, size_t area, uint32_t word, const std::string& text);

} // namespace fx5sim
