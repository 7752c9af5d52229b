// Builds complete configuration blobs from data with the driver's writers.
#pragma once

#include <string>
#include <vector>

#include "config/ConfigBlob.h"
#include "config/SectionedConfig.h"
#include "tags/TreeSerialize.h"
#include "vi5z_uvevarov_ave/KVSGConvertLayer.h"

namespace testing_support {

using KVSG::MakeVariable;

inline TreeSerialize::NodeSpec Node(KVSG::KVSGVariable tag, std::vector<TreeSerialize::NodeSpec> children = {})
{
    return {std::move(tag), std::move(children)};
}

// The four device properties with the given values, as the driver defines them.
inline std::vector<unsigned char> PropertySection(unsigned wait, unsigned method, unsigned encoding, unsigned order)
{
    auto set = std::make_shared<DevicePropertyConfigWraper>();
    KVSG::KVSGConvertLayer::DefineProperties(*set);
    const unsigned values[4] = {wait, method, encoding, order};
    for (int i = 0; i < 4; ++i)
        set->getPropertyFromName(KVSG::PropertyKey(DEV_STR_PROPERTYNAME[i]).c_str())->SetProValueInt(static_cast<int>(values[i]));
    DevicePropertySerilize writer;
    writer.fromDeviceProperty(set);
    return writer.bytes();
}

inline std::vector<unsigned char> Blob(const TreeSerialize::NodeSpec& root, const std::vector<std::string>& paths,
                                       std::vector<unsigned char> properties = PropertySection(200, 0, 0, 1))
{
    return WriteConfigBlob(WriteSectionedContainer({{SECTION_PROPERTIES, properties}, {SECTION_TAGTREE, TreeSerialize::WriteTree(root)}}),
                           paths);
}

} // namespace testing_support
