// Device addresses as the engineering tool writes them: an area name, the
// device number in the area's own base (X17 is device 15, W1F is 31), and
// for a word device an optional bit (D100.5).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

struct DeviceAddress {
    size_t area = 0;
    uint32_t number = 0;
    std::optional<unsigned> bit; // 0 … 15 of a word device, 0 … 31 of a double-word device
};

// Parses "D100", "X17", "W1F", "D100.5", "LZ2" (names in upper or lower
// case). Empty when the text names no area, its number has a digit the
// area's base does not have, or is too large for 32 bits.
std::optional<DeviceAddress> ParseDeviceAddress(const std::string& text);
// The text ParseDeviceAddress reads back to the same address.
std::string FormatDeviceAddress(const DeviceAddress& address);

} // namespace sim
