// The sectioned configuration container (numbered sections with a table
// at the end) and the property section, each with its reader and writer.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "config/DeviceProperty.h"
#include "config/MemoryBuffer.h"

constexpr uint32_t SECTION_MAGIC = 40000;
constexpr uint32_t SECTION_PROPERTIES = 1;
constexpr uint32_t SECTION_TAGTREE = 3;
constexpr unsigned CONTAINER_HEADER_BYTES = 20;
constexpr unsigned PROPERTY_HEADER_BYTES = 20;

class DevBaseSerialize {
public:
    struct DEV_SECTION_HEADER {
        uint32_t id = 0;
        uint32_t offset = 0;
        uint32_t size = 0;
    };
    virtual ~DevBaseSerialize() = default;
    // Takes the container's bytes and indexes its sections; a container that
    // fails the check holds nothing afterwards.
    void open(const unsigned char* data, unsigned size);
    virtual bool checkSerializeData() const { return _CheckSerializeData(); }
    bool _CheckSerializeData() const;
    size_t sectionCount() const { return m_sections.size(); }

protected:
    utils::MemoryBuffer m_buffer;
    std::map<uint32_t, DEV_SECTION_HEADER> m_sections;
};

class DevDeserialize : public DevBaseSerialize {
public:
    // Appends the section's payload to `out`; false when there is none.
    bool readSection(unsigned id, utils::MemoryBuffer& out) const;
    // The same bytes in place, valid while this container lives; an empty
    // window when the section is absent or runs past the container.
    utils::memoryRef viewSection(unsigned id) const;
};

// Builds a container from numbered payloads, in the order given.
std::vector<unsigned char> WriteSectionedContainer(const std::vector<std::pair<uint32_t, std::vector<unsigned char>>>& sections);

class DevicePropertySerilize {
public:
    DevicePropertySerilize() = default;
    explicit DevicePropertySerilize(std::vector<unsigned char> bytes) : m_bytes(std::move(bytes)) {}
    virtual ~DevicePropertySerilize() = default;
    virtual bool toDeviceProperty(std::shared_ptr<DevicePropertyConfigWraper>& properties) const;
    virtual bool fromDeviceProperty(const std::shared_ptr<DevicePropertyConfigWraper>& properties);
    const std::vector<unsigned char>& bytes() const { return m_bytes; }

private:
    std::vector<unsigned char> m_bytes;
};
