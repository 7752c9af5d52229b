#include "sim/DeviceAddress.h"

#include <cctype>
#include <cstdio>

#include "sim/DeviceMemory.h"

namespace sim {

namespace {

bool ParseNumber(const std::string& digits, unsigned base, uint32_t& value)
{
    if (digits.empty()) return false;
    uint64_t v = 0;
    for (char c : digits) {
        const int d = std::isdigit(static_cast<unsigned char>(c))    ? c - '0'
                      : std::isxdigit(static_cast<unsigned char>(c)) ? std::toupper(static_cast<unsigned char>(c)) - 'A' + 10
                                                                     : 99;
        if (d >= static_cast<int>(base)) return false;
        v = v * base + static_cast<unsigned>(d);
        if (v > UINT32_MAX) return false;
    }
    value = static_cast<uint32_t>(v);
    return true;
}

} // namespace

std::optional<DeviceAddress> ParseDeviceAddress(const std::string& raw)
{
    std::string text;
    for (char c : raw) text += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string bitText;
    const size_t dot = text.find('.');
    if (dot != std::string::npos) {
        bitText = text.substr(dot + 1);
        text.resize(dot);
    }
    // The longest area name whose remainder is a number of its base: "SB1F"
    // is SB 0x1F, "S10" is S 10.
    std::optional<DeviceAddress> best;
    size_t bestLength = 0;
    const auto& areas = DeviceAreas();
    for (size_t i = 0; i < areas.size(); ++i) {
        const std::string name = areas[i].name;
        if (name.size() <= bestLength || text.compare(0, name.size(), name) != 0) continue;
        uint32_t number = 0;
        if (!ParseNumber(text.substr(name.size()), NumberBase(areas[i]), number)) continue;
        best = DeviceAddress{i, number, std::nullopt};
        bestLength = name.size();
    }
    if (!best || dot == std::string::npos) return best;
    const DeviceArea& area = areas[best->area];
    uint32_t bit = 0;
    const unsigned bits = area.unit == DeviceUnit::DoubleWord ? 32 : 16;
    if (area.unit == DeviceUnit::Bit || !ParseNumber(bitText, 10, bit) || bit >= bits) return std::nullopt;
    best->bit = bit;
    return best;
}

std::string FormatDeviceAddress(const DeviceAddress& address)
{
    const auto& areas = DeviceAreas();
    if (address.area >= areas.size()) return "?";
    const DeviceArea& area = areas[address.area];
    char number[16];
    const unsigned base = NumberBase(area);
    std::snprintf(number, sizeof number, base == 16 ? "%X" : base == 8 ? "%o" : "%u", address.number);
    std::string text = std::string(area.name) + number;
    if (address.bit) text += "." + std::to_string(*address.bit);
    return text;
}

} // namespace sim
