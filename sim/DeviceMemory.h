// Device memory of an FX5U-class controller: every device area the SLMP
// device commands reach, with its device code, unit and size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

enum class DeviceUnit { Bit, Word, DoubleWord };

struct DeviceArea {
    const char* name;
    uint8_t code; // SLMP binary device code
    DeviceUnit unit;
    uint32_t points;  // device numbers 0 … points-1
    bool hexNumbered; // device numbers written in hexadecimal
};

// The 34 areas, in the driver's register-type order.
const std::vector<DeviceArea>& DeviceAreas();
// The long timers (LTS, LTC, LTN, LSTS, LSTC, LSTN): register types the
// driver knows that a controller of this class does not have.
bool IsLongTimer(const DeviceArea& area);
std::optional<size_t> AreaByCode(uint8_t code);
std::optional<size_t> AreaByName(const std::string& name);
// How the engineering tool numbers an area's devices: X and Y octal, B, W,
// SB and SW hexadecimal, the rest decimal.
unsigned NumberBase(const DeviceArea& area);

class DeviceMemory {
public:
    DeviceMemory();

    const DeviceArea& Area(size_t area) const { return DeviceAreas()[area]; }

    // Bit devices.
    bool GetBit(size_t area, uint32_t number) const;
    void SetBit(size_t area, uint32_t number, bool on);
    // Word view: word devices directly; bit devices as 16 points a word,
    // the lowest point in bit 0; double-word devices as two words a point,
    // low word first.
    uint16_t GetWord(size_t area, uint32_t wordIndex) const;
    void SetWord(size_t area, uint32_t wordIndex, uint16_t value);
    // Number of words the word view holds.
    uint32_t WordCount(size_t area) const;
    uint32_t GetDword(size_t area, uint32_t number) const;
    void SetDword(size_t area, uint32_t number, uint32_t value);

    // Latch clear: the latch relays (L) go off.
    void ClearLatched();
    // A reset: every device but the latch relays (L) goes off.
    void ClearUnlatched();

private:
    std::vector<std::vector<uint16_t>> m_words;
};

} // namespace sim
