#include "tools/runner/DemoProject.h"

#include <cstring>

#include "config/ConfigBlob.h"
#include "config/DevTables.h"
#include "config/SectionedConfig.h"
#include "tags/TreeSerialize.h"

namespace {

TreeSerialize::NodeSpec Leaf(const std::string& key, const std::string& path, uint32_t stored, uint32_t type, uint32_t address,
                             uint32_t bit = 0xFFFFFFFFu, uint32_t length = 0)
{
    return {KVSG::MakeVariable(key, path, stored, type, address, bit, length), {}};
}

} // namespace

DemoProject MakeDemoProject()
{
    TreeSerialize::NodeSpec plant = Leaf("Plant", "Plant", 21, 0, 0);
    plant.children = {Leaf("level", "Plant.level", 4, REG_D, 100),     Leaf("setpoint", "Plant.setpoint", 9, REG_D, 102),
                      Leaf("total", "Plant.total", 5, REG_LZ, 1),      Leaf("pump", "Plant.pump", 0, REG_Y, 10),
                      Leaf("alarm", "Plant.alarm", 0, REG_D, 110, 3),  Leaf("running", "Plant.running", 0, REG_M, 20),
                      Leaf("name", "Plant.name", 12, REG_D, 200, 0xFFFFFFFFu, 8)};
    TreeSerialize::NodeSpec root = Leaf("", "", 21, 0, 0);
    root.children.push_back(plant);

    DevicePropertySerilize properties;
    properties.fromDeviceProperty(std::make_shared<DevicePropertyConfigWraper>());
    DemoProject project;
    project.channels = {{"Plant.level", DATATYPE_INT},   {"Plant.setpoint", DATATYPE_DOUBLE}, {"Plant.total", DATATYPE_INT},
                        {"Plant.pump", DATATYPE_INT},    {"Plant.alarm", DATATYPE_INT},       {"Plant.running", DATATYPE_INT},
                        {"Plant.name", DATATYPE_STRING}};
    std::vector<std::string> paths;
    for (const DemoChannel& channel : project.channels) paths.push_back(channel.path);
    project.blob = WriteConfigBlob(
        WriteSectionedContainer({{SECTION_PROPERTIES, properties.bytes()}, {SECTION_TAGTREE, TreeSerialize::WriteTree(root)}}), paths);
    return project;
}

void FillDemoMemory(sim::DeviceMemory& memory)
{
    const size_t d = *sim::AreaByName("D"), lz = *sim::AreaByName("LZ"), m = *sim::AreaByName("M");
    memory.SetWord(d, 100, 731);
    const float setpoint = 12.25f;
    uint32_t bits;
    std::memcpy(&bits, &setpoint, 4);
    memory.SetDword(d, 102, bits);
    memory.SetDword(lz, 1, static_cast<uint32_t>(-4500));
    memory.SetWord(d, 110, 1 << 3);
    memory.SetBit(m, 20, true);
    // Text in words, first character in the high byte: the driver's default
    // decoding order swaps each pair back.
    const char name[] = "TANK-01";
    for (int i = 0; i < 4; ++i) memory.SetWord(d, 200 + static_cast<uint32_t>(i), static_cast<uint16_t>((name[2 * i] << 8) | (2 * i + 1 < 7 ? name[2 * i + 1] : 0)));
}
