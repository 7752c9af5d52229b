// Builds complete configuration blobs from data with the driver's writers.
#pragma once

#include <string>
#include <vector>

#include "config/ConfigBlob.h"
#include "config/SectionedConfig.h"
#include "tags/TreeSerialize.h"
#include "vi5z_uvevarov_ave/KVSGConvertLayer.h"

namespace testing_support {

inline KVSG::KVSGVariable MakeTag(const std::string& key, const std::string& path, uint32_t storedType, uint32_t regType,
                              uint32_t address, uint32_t bit = 0xFFFFFFFFu, uint32_t length = 0)
{
    KVSG::KVSGVariable tag;
    tag.m_varKey = key;
    tag.m_fullPath = path;
    tag.m_storedType = storedType;
    tag.m_registerType = regType;
    tag.m_address = address;
    tag.m_bit = bit;
    tag.m_length = length;
    return tag;
}

inline TreeSerialize::NodeSpec Node(KVSG::KVSGVariable tag, std::vector<TreeSerialize::NodeSpec> children = {})
{
    return {std::move(tag), std::move(children)};
}

// The four device properties with the given values, as the driver defines them.
inline std::vector<unsigned char> PropertySection(unsigned wait, unsigned method, unsigned encoding, unsigned order)
{
    auto set = std::make_shared<DevicePropertyConfigWraper>();
    auto general = std::make_shared<Device::GeneralPropertyConfig<unsigned int>>(
        KVSG::PropertyKey(DEV_STR_PROPERTYNAME[0]), Device::IPropertyConfig::STATE_NORMAL, 200u, 1u, 0xFFFFFFFFu);
    general->Store(wait);
    set->insert(PROPERTY_VERSION, std::make_shared<PropertyWraper<unsigned int>>(general));
    const unsigned values[3] = {method, encoding, order};
    for (int i = 1; i < 4; ++i) {
        auto e = std::make_shared<Device::EnumPropertyConfig>(KVSG::PropertyKey(DEV_STR_PROPERTYNAME[i]),
                                                              Device::IPropertyConfig::STATE_NORMAL, 0u);
        e->AddOption(DEV_STR_PROPERTLIST[2 * (i - 1)]);
        e->AddOption(DEV_STR_PROPERTLIST[2 * (i - 1) + 1]);
        e->Store(values[i - 1]);
        set->insert(PROPERTY_VERSION, std::make_shared<PropertyWraper<Device::EnumPropertyConfig>>(e));
    }
    DevicePropertySerilize writer;
    writer.fromDeviceProperty(set);
    return writer.bytes();
}

inline std::vector<unsigned char> Blob(const TreeSerialize::NodeSpec& root, const std::vector<std::string>& paths,
                                       std::vector<unsigned char> properties = PropertySection(200, 0, 0, 1))
{
    return WriteConfigBlob(WriteSectionedContainer({{SECTION_PROPERTIES, properties}, {SECTION_TAGTREE, TreeSerialize::WriteTree(root)}}), paths);
}

} // namespace testing_support
