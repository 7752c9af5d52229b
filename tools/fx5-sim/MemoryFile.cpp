#include "tools/fx5-sim/MemoryFile.h"

#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <nlohmann/json.hpp>

#include "sim/DeviceAddress.h"
#include "sim/SlmpHandler.h"

namespace fx5sim {

namespace {

using nlohmann::json;

bool SetValue(sim::DeviceMemory& memory, const sim::DeviceAddress& at, const json& value, std::string& error)
{
    const sim::DeviceArea& area = memory.Area(at.area);
    if (at.bit) {
        if (!value.is_boolean() && !value.is_number_integer()) return error = "a bit is true, false, 0 or 1", false;
        const bool on = value.is_boolean() ? value.get<bool>() : value.get<long long>() != 0;
        const uint32_t word = area.unit == sim::DeviceUnit::DoubleWord ? at.number * 2 + *at.bit / 16 : at.number + *at.bit / 16;
        const uint16_t mask = static_cast<uint16_t>(1u << (*at.bit % 16));
        const uint16_t old = memory.GetWord(at.area, word);
        memory.SetWord(at.area, word, static_cast<uint16_t>(on ? old | mask : old & ~mask));
        return true;
    }
    if (value.is_object()) {
        if (value.size() != 1) return error = "an object holds exactly one of dword, float, string", false;
        const std::string kind = value.begin().key();
        const json& inner = value.begin().value();
        if (area.unit == sim::DeviceUnit::Bit) return error = "a bit device holds a point, not a " + kind, false;
        if (kind == "dword" && inner.is_number_integer()) {
            memory.SetDword(at.area, at.number, static_cast<uint32_t>(inner.get<long long>()));
        } else if (kind == "float" && inner.is_number()) {
            const float f = inner.get<float>();
            uint32_t bits;
            std::memcpy(&bits, &f, sizeof bits);
            memory.SetDword(at.area, at.number, bits);
        } else if (kind == "string" && inner.is_string()) {
            StoreString(memory, at.area, at.number, inner.get<std::string>());
        } else {
            return error = "expected {\"dword\": integer}, {\"float\": number} or {\"string\": text}", false;
        }
        return true;
    }
    if (area.unit == sim::DeviceUnit::Bit) {
        if (!value.is_boolean() && !value.is_number_integer()) return error = "a point is true, false, 0 or 1", false;
        memory.SetBit(at.area, at.number, value.is_boolean() ? value.get<bool>() : value.get<long long>() != 0);
        return true;
    }
    if (!value.is_number_integer()) return error = "expected an integer", false;
    const long long v = value.get<long long>();
    if (area.unit == sim::DeviceUnit::DoubleWord)
        memory.SetDword(at.area, at.number, static_cast<uint32_t>(v));
    else if (v < -32768 || v > 65535)
        return error = "a word holds -32768 … 65535", false;
    else
        memory.SetWord(at.area, at.number, static_cast<uint16_t>(v));
    return true;
}

} // namespace

void StoreString(sim::DeviceMemory& memory, size_t area, uint32_t word, const std::string& text)
{
    for (size_t i = 0; i < text.size(); i += 2) {
        const uint8_t low = static_cast<uint8_t>(text[i]);
        const uint8_t high = i + 1 < text.size() ? static_cast<uint8_t>(text[i + 1]) : 0;
        memory.SetWord(area, word + static_cast<uint32_t>(i / 2), static_cast<uint16_t>(low | (high << 8)));
    }
}

bool LoadMemoryFile(const std::string& path, sim::DeviceMemory& memory, std::string& error, MemoryLayout* layout)
{
    std::ifstream in(path);
    if (!in) return error = path + ": cannot be read", false;
    json document;
    try {
        document = json::parse(in);
    } catch (const json::exception& e) { // syntax, or a number too large (1e999)
        return error = path + ": not JSON: " + e.what(), false;
    }
    if (!document.is_object()) return error = path + ": expected an object of device: value members", false;
    for (const auto& [device, value] : document.items()) {
        const auto at = sim::ParseDeviceAddress(device);
        if (!at) return error = path + ": /" + device + ": not a device address (D100, X17, W1F, D100.5 …)", false;
        if (at->number >= memory.Area(at->area).points) return error = path + ": /" + device + ": beyond the device range", false;
        std::string why;
        if (!SetValue(memory, *at, value, why)) return error = path + ": /" + device + ": " + why, false;
        if (!layout) continue;
        if (value.is_object()) {
            const std::string kind = value.begin().key();
            const auto words = kind == "string" ? static_cast<uint32_t>((value.begin()->get<std::string>().size() + 1) / 2) : 2u;
            layout->push_back({*at, kind, words});
        } else if (at->bit) {
            layout->push_back({*at, "bit", 1});
        }
    }
    return true;
}

namespace {

// A device of `layout` as its form writes it.
json FormValue(const sim::DeviceMemory& memory, const MemoryForm& form)
{
    const sim::DeviceAddress& at = form.at;
    if (form.kind == "bit") {
        const uint32_t word =
            memory.Area(at.area).unit == sim::DeviceUnit::DoubleWord ? at.number * 2 + *at.bit / 16 : at.number + *at.bit / 16;
        return ((static_cast<unsigned>(memory.GetWord(at.area, word)) >> (*at.bit % 16)) & 1u) != 0;
    }
    if (form.kind == "string") {
        std::string text;
        for (uint32_t i = 0; i < form.words; ++i) {
            const uint16_t w = memory.GetWord(at.area, at.number + i);
            for (const char c : {static_cast<char>(w & 0xFF), static_cast<char>(w >> 8)}) {
                if (c == '\0') return json{{"string", text}};
                text += c;
            }
        }
        return json{{"string", text}};
    }
    const uint32_t bits = memory.GetDword(at.area, at.number);
    if (form.kind == "float") {
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return json{{"float", f}};
    }
    return json{{"dword", bits}};
}

} // namespace

bool SaveMemoryFile(const std::string& path, const sim::DeviceMemory& memory, std::string& error, const MemoryLayout& layout)
{
    json document = json::object();
    // Words a dword, float or string form covers are written by that form alone.
    // A word or double word whose only bits are written as bits needs no
    // number of its own.
    std::set<std::pair<size_t, uint32_t>> covered;
    std::map<std::pair<size_t, uint32_t>, uint32_t> bitsOf;
    for (const MemoryForm& form : layout) {
        document[sim::FormatDeviceAddress(form.at)] = FormValue(memory, form);
        if (form.kind != "bit") {
            for (uint32_t i = 0; i < form.words; ++i) covered.insert({form.at.area, form.at.number + i});
        } else if (memory.Area(form.at.area).unit == sim::DeviceUnit::Word) {
            bitsOf[{form.at.area, form.at.number + *form.at.bit / 16}] |= 1u << (*form.at.bit % 16);
        } else if (memory.Area(form.at.area).unit == sim::DeviceUnit::DoubleWord) {
            bitsOf[{form.at.area, form.at.number}] |= 1u << *form.at.bit;
        }
    }
    const auto unlessOnlyBits = [&bitsOf](size_t area, uint32_t number, uint32_t value) {
        const auto bits = bitsOf.find({area, number});
        return (value & ~(bits == bitsOf.end() ? 0u : bits->second)) != 0;
    };
    const auto& areas = sim::DeviceAreas();
    for (size_t a = 0; a < areas.size(); ++a) {
        switch (areas[a].unit) {
        case sim::DeviceUnit::Bit:
            for (uint32_t n = 0; n < areas[a].points; ++n)
                if (memory.GetBit(a, n) && !sim::IsComputedDevice(areas[a].name, n))
                    document[sim::FormatDeviceAddress({a, n, std::nullopt})] = true;
            break;
        case sim::DeviceUnit::Word:
            for (uint32_t n = 0; n < areas[a].points; ++n) {
                if (covered.count({a, n}) || sim::IsComputedDevice(areas[a].name, n)) continue;
                const uint16_t w = memory.GetWord(a, n);
                if (unlessOnlyBits(a, n, w)) document[sim::FormatDeviceAddress({a, n, std::nullopt})] = w;
            }
            break;
        case sim::DeviceUnit::DoubleWord:
            for (uint32_t n = 0; n < areas[a].points; ++n)
                if (const uint32_t d = memory.GetDword(a, n); unlessOnlyBits(a, n, d))
                    document[sim::FormatDeviceAddress({a, n, std::nullopt})] = d;
            break;
        }
    }
    std::ofstream out(path);
    if (!out) return error = path + ": cannot be written", false;
    out << document.dump(2) << '\n';
    // Closed before the check: a full disk shows only when the rest is written.
    out.close();
    return static_cast<bool>(out) || (error = path + ": write failed", false);
}

} // namespace fx5sim
