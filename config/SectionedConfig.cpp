// The sectioned container (magic, sizes, section table at the end) and the
// property section, each read with every length checked against the bytes.
#include "config/SectionedConfig.h"

#include <cstring>
#include <string>

using utils::LoadLe32;
using utils::StoreLe32;

namespace {
// A section table entry: section number, offset, size.
constexpr unsigned kTableEntryBytes = 12;
// A property record opens with its length, kind, version and value offset;
// the name follows, then the value.
constexpr unsigned kRecordHeaderBytes = 16;
// How a record's value is stored: a 32-bit number (general properties, and an
// enumeration's option index), a double, or a nul-terminated text.
enum RecordKind : uint32_t { KIND_INT = 0, KIND_INT2 = 1, KIND_DOUBLE = 2, KIND_TEXT = 3, KIND_ENUM = 4 };
} // namespace

void DevBaseSerialize::open(const unsigned char* data, unsigned size)
{
    m_buffer.clear();
    m_sections.clear();
    if (data && size) m_buffer.write(data, size);
    if (!_CheckSerializeData()) {
        m_buffer.clear();
        return;
    }
    // Header: magic, total size, reserved, section count, table offset; the
    // table must end the container exactly, or no section is trusted.
    const unsigned char* bytes = m_buffer.data();
    const uint32_t total = LoadLe32(bytes + 4);
    const uint32_t count = LoadLe32(bytes + 12);
    const uint32_t table = LoadLe32(bytes + 16);
    if (count == 0 || static_cast<uint64_t>(table) + uint64_t{kTableEntryBytes} * count != total) return;
    for (uint32_t i = 0; i < count; ++i) {
        const unsigned char* entry = bytes + table + kTableEntryBytes * i;
        DEV_SECTION_HEADER header{LoadLe32(entry), LoadLe32(entry + 4), LoadLe32(entry + 8)};
        m_sections.emplace(header.id, header);
    }
}

bool DevBaseSerialize::_CheckSerializeData() const
{
    return m_buffer.size() >= CONTAINER_HEADER_BYTES && LoadLe32(m_buffer.data()) == SECTION_MAGIC &&
           LoadLe32(m_buffer.data() + 4) == m_buffer.size();
}

utils::memoryRef DevDeserialize::viewSection(unsigned id) const
{
    auto it = m_sections.find(id);
    if (it == m_sections.end()) return utils::memoryRef(nullptr, 0);
    const DEV_SECTION_HEADER& header = it->second;
    // A section that runs past the container yields no data.
    if (static_cast<uint64_t>(header.offset) + header.size > m_buffer.size()) return utils::memoryRef(nullptr, 0);
    return utils::memoryRef(m_buffer.data() + header.offset, header.size);
}

bool DevDeserialize::readSection(unsigned id, utils::MemoryBuffer& out) const
{
    const utils::memoryRef section = viewSection(id);
    if (!section.data()) return false;
    out.write(section.data(), section.size());
    return true;
}

std::vector<unsigned char> WriteSectionedContainer(const std::vector<std::pair<uint32_t, std::vector<unsigned char>>>& sections)
{
    std::vector<unsigned char> out(CONTAINER_HEADER_BYTES, 0);
    std::vector<DevBaseSerialize::DEV_SECTION_HEADER> table;
    for (const auto& section : sections) {
        table.push_back({section.first, static_cast<uint32_t>(out.size()), static_cast<uint32_t>(section.second.size())});
        out.insert(out.end(), section.second.begin(), section.second.end());
    }
    const uint32_t tableOffset = static_cast<uint32_t>(out.size());
    for (const auto& entry : table) {
        unsigned char bytes[kTableEntryBytes];
        StoreLe32(bytes, entry.id);
        StoreLe32(bytes + 4, entry.offset);
        StoreLe32(bytes + 8, entry.size);
        out.insert(out.end(), bytes, bytes + kTableEntryBytes);
    }
    // cppcheck-suppress invalidLifetime ; the entries were copied into `out`
    StoreLe32(out.data(), SECTION_MAGIC);
    StoreLe32(out.data() + 4, static_cast<uint32_t>(out.size()));
    StoreLe32(out.data() + 12, static_cast<uint32_t>(table.size()));
    StoreLe32(out.data() + 16, tableOffset);
    return out;
}

bool DevicePropertySerilize::toDeviceProperty(std::shared_ptr<DevicePropertyConfigWraper>& properties) const
{
    // Header: magic, record count, total size, reserved, offset of the table
    // of record offsets. Only properties already registered, with the same
    // version, take a value, and only one their own check accepts.
    const unsigned char* section = m_bytes.data();
    const uint64_t size = m_bytes.size();
    if (size < PROPERTY_HEADER_BYTES || LoadLe32(section) != SECTION_MAGIC || LoadLe32(section + 8) > size) return false;
    const uint32_t count = LoadLe32(section + 4);
    const uint32_t table = LoadLe32(section + 16);
    if (!properties || static_cast<uint64_t>(table) + 4ull * count > size) return true;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t at = LoadLe32(section + table + 4 * i);
        if (static_cast<uint64_t>(at) + kRecordHeaderBytes > size) continue;
        const unsigned char* record = section + at;
        const uint32_t length = LoadLe32(record);
        const uint32_t kind = LoadLe32(record + 4);
        const uint32_t version = LoadLe32(record + 8);
        const uint32_t valueAt = LoadLe32(record + 12);
        // Records whose stated lengths run past the section are skipped.
        if (valueAt < kRecordHeaderBytes || static_cast<uint64_t>(at) + length > size || static_cast<uint64_t>(at) + valueAt > size)
            continue;
        const std::string rawName(reinterpret_cast<const char*>(record + kRecordHeaderBytes), valueAt - kRecordHeaderBytes);
        const std::string name = rawName.substr(0, rawName.find('\0'));
        auto property = properties->getPropertyFromName(name.c_str());
        if (!property || properties->getPropertyVersionFromName(name.c_str()) != version) continue;
        // A number is read at its offset whatever the record's length says, as
        // long as the section holds it; a text runs to the record's end.
        const uint64_t inSection = size - at - valueAt;
        const unsigned valueBytes = length > valueAt ? length - valueAt : 0;
        const unsigned char* value = record + valueAt;
        switch (kind) {
        case KIND_INT:
        case KIND_INT2:
        case KIND_ENUM:
            if (inSection >= 4) property->SetProValueInt(static_cast<int>(LoadLe32(value)));
            break;
        case KIND_DOUBLE:
            if (inSection >= 8) {
                double d;
                std::memcpy(&d, value, 8);
                property->SetProValueDouble(d);
            }
            break;
        case KIND_TEXT: {
            const std::string text(reinterpret_cast<const char*>(value), valueBytes);
            property->SetProValueStr(text.substr(0, text.find('\0')));
            break;
        }
        default: break;
        }
    }
    return true;
}

bool DevicePropertySerilize::fromDeviceProperty(const std::shared_ptr<DevicePropertyConfigWraper>& properties)
{
    // Records first, the table of their offsets after them, the header last.
    std::vector<unsigned char> out(PROPERTY_HEADER_BYTES, 0);
    std::vector<uint32_t> offsets;
    if (properties) {
        const auto copy = properties->properties();
        for (const auto& [name, property] : copy) {
            std::vector<unsigned char> value;
            uint32_t kind;
            switch (property->GetProDataType()) {
            case 0:
            case 3: {
                kind = property->GetProDataType() == 0 ? KIND_INT : KIND_ENUM;
                value.resize(4);
                StoreLe32(value.data(), static_cast<uint32_t>(property->GetProValueInt()));
                break;
            }
            case 1: {
                kind = KIND_DOUBLE;
                const double d = property->GetProValueDouble();
                value.resize(8);
                std::memcpy(value.data(), &d, 8);
                break;
            }
            case 2: {
                kind = KIND_TEXT;
                const std::string text = property->GetProValueStr();
                value.assign(text.begin(), text.end());
                value.push_back(0);
                break;
            }
            default: continue;
            }
            const uint32_t valueAt = kRecordHeaderBytes + static_cast<uint32_t>(name.size()) + 1;
            std::vector<unsigned char> record(valueAt + value.size(), 0);
            StoreLe32(record.data(), static_cast<uint32_t>(record.size()));
            StoreLe32(record.data() + 4, kind);
            StoreLe32(record.data() + 8, properties->getPropertyVersionFromName(name.c_str()));
            StoreLe32(record.data() + 12, valueAt);
            std::memcpy(record.data() + kRecordHeaderBytes, name.data(), name.size());
            std::memcpy(record.data() + valueAt, value.data(), value.size());
            offsets.push_back(static_cast<uint32_t>(out.size()));
            out.insert(out.end(), record.begin(), record.end());
        }
    }
    const uint32_t table = static_cast<uint32_t>(out.size());
    for (uint32_t offset : offsets) {
        unsigned char bytes[4];
        StoreLe32(bytes, offset);
        out.insert(out.end(), bytes, bytes + 4);
    }
    StoreLe32(out.data(), SECTION_MAGIC);
    StoreLe32(out.data() + 4, static_cast<uint32_t>(offsets.size()));
    StoreLe32(out.data() + 8, static_cast<uint32_t>(out.size()));
    StoreLe32(out.data() + 12, 0);
    StoreLe32(out.data() + 16, table);
    m_bytes = std::move(out);
    return true;
}
