#include "sim/DeviceMemory.h"

namespace sim {

namespace {
using U = DeviceUnit;
const std::vector<DeviceArea> kAreas = {
    {"X", 0x9C, U::Bit, 1024, false},           {"Y", 0x9D, U::Bit, 1024, false},    {"M", 0x90, U::Bit, 32768, false},
    {"L", 0x92, U::Bit, 32768, false},          {"F", 0x93, U::Bit, 32768, false},   {"B", 0xA0, U::Bit, 32768, true},
    {"S", 0x98, U::Bit, 4096, false},           {"D", 0xA8, U::Word, 8000, false},   {"W", 0xB4, U::Word, 32768, true},
    {"TS", 0xC1, U::Bit, 1024, false},          {"TC", 0xC0, U::Bit, 1024, false},   {"TN", 0xC2, U::Word, 1024, false},
    {"SS", 0xC7, U::Bit, 1024, false},          {"SC", 0xC6, U::Bit, 1024, false},   {"SN", 0xC8, U::Word, 1024, false},
    {"CS", 0xC4, U::Bit, 1024, false},          {"CC", 0xC3, U::Bit, 1024, false},   {"CN", 0xC5, U::Word, 1024, false},
    {"LCS", 0x55, U::Bit, 1024, false},         {"LCC", 0x54, U::Bit, 1024, false},  {"LCN", 0x56, U::DoubleWord, 1024, false},
    {"SB", 0xA1, U::Bit, 32768, true},          {"SW", 0xB5, U::Word, 32768, true},  {"SM", 0x91, U::Bit, 10000, false},
    {"SD", 0xA9, U::Word, 12000, false},        {"Z", 0xCC, U::Word, 24, false},     {"LZ", 0x62, U::DoubleWord, 12, false},
    {"R", 0xAF, U::Word, 32768, false},         {"LTS", 0x51, U::Bit, 1024, false},  {"LTC", 0x50, U::Bit, 1024, false},
    {"LTN", 0x52, U::DoubleWord, 1024, false},  {"LSTS", 0x59, U::Bit, 1024, false}, {"LSTC", 0x58, U::Bit, 1024, false},
    {"LSTN", 0x5A, U::DoubleWord, 1024, false},
};

uint32_t WordsOf(const DeviceArea& area)
{
    switch (area.unit) {
    case DeviceUnit::Bit: return (area.points + 15) / 16;
    case DeviceUnit::Word: return area.points;
    case DeviceUnit::DoubleWord: return area.points * 2;
    }
    return 0;
}
} // namespace

const std::vector<DeviceArea>& DeviceAreas() { return kAreas; }

bool IsLongTimer(const DeviceArea& area)
{
    switch (area.code) {
    case 0x50:
    case 0x51:
    case 0x52:
    case 0x58:
    case 0x59:
    case 0x5A: return true;
    default: return false;
    }
}

std::optional<size_t> AreaByCode(uint8_t code)
{
    for (size_t i = 0; i < kAreas.size(); ++i)
        if (kAreas[i].code == code) return i;
    return std::nullopt;
}

std::optional<size_t> AreaByName(const std::string& name)
{
    for (size_t i = 0; i < kAreas.size(); ++i)
        if (name == kAreas[i].name) return i;
    return std::nullopt;
}

DeviceMemory::DeviceMemory()
{
    m_words.reserve(kAreas.size());
    for (const DeviceArea& area : kAreas) m_words.emplace_back(WordsOf(area), 0);
}

void DeviceMemory::ClearLatched()
{
    if (const auto latch = AreaByName("L")) std::fill(m_words[*latch].begin(), m_words[*latch].end(), 0);
}

void DeviceMemory::ClearUnlatched()
{
    const auto latch = AreaByName("L");
    for (size_t a = 0; a < m_words.size(); ++a)
        if (!latch || a != *latch) std::fill(m_words[a].begin(), m_words[a].end(), 0);
}

unsigned NumberBase(const DeviceArea& area)
{
    if (area.hexNumbered) return 16;
    const std::string name = area.name;
    return name == "X" || name == "Y" ? 8 : 10;
}

uint32_t DeviceMemory::WordCount(size_t area) const { return static_cast<uint32_t>(m_words[area].size()); }

bool DeviceMemory::GetBit(size_t area, uint32_t number) const
{
    const auto& words = m_words[area];
    return number / 16 < words.size() && ((static_cast<unsigned>(words[number / 16]) >> (number % 16)) & 1u);
}

void DeviceMemory::SetBit(size_t area, uint32_t number, bool on)
{
    auto& words = m_words[area];
    if (number / 16 >= words.size()) return;
    const uint16_t mask = static_cast<uint16_t>(1u << (number % 16));
    words[number / 16] = static_cast<uint16_t>(on ? (words[number / 16] | mask) : (words[number / 16] & ~mask));
}

uint16_t DeviceMemory::GetWord(size_t area, uint32_t index) const
{
    const auto& words = m_words[area];
    return index < words.size() ? words[index] : 0;
}

void DeviceMemory::SetWord(size_t area, uint32_t index, uint16_t value)
{
    auto& words = m_words[area];
    if (index < words.size()) words[index] = value;
}

uint32_t DeviceMemory::GetDword(size_t area, uint32_t number) const
{
    if (Area(area).unit == DeviceUnit::DoubleWord) number *= 2;
    return GetWord(area, number) | (static_cast<uint32_t>(GetWord(area, number + 1)) << 16);
}

void DeviceMemory::SetDword(size_t area, uint32_t number, uint32_t value)
{
    if (Area(area).unit == DeviceUnit::DoubleWord) number *= 2;
    SetWord(area, number, static_cast<uint16_t>(value));
    SetWord(area, number + 1, static_cast<uint16_t>(value >> 16));
}

} // namespace sim
