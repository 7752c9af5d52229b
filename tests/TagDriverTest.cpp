// The tag driver from a configuration blob: initialisation, binding,
// rejection of bad blobs, collection and rebinding end to end.
#include "support/BlobBuilder.h"
#include "support/EngineFixture.h"

using namespace testing_support;

namespace {

TreeSerialize::NodeSpec PlantTree()
{
    std::vector<TreeSerialize::NodeSpec> data;
    for (uint32_t i = 0; i < 8; ++i)
        data.push_back(Node(MakeVariable("[" + std::to_string(i) + "]", "Prog.data[" + std::to_string(i) + "]", 4, REG_D, 100 + i)));
    std::vector<TreeSerialize::NodeSpec> texts;
    for (uint32_t i = 0; i < 2; ++i)
        texts.push_back(Node(
            MakeVariable("[" + std::to_string(i) + "]", "Prog.text[" + std::to_string(i) + "]", 11, REG_D, 200 + 5 * i, 0xFFFFFFFFu, 5)));
    return Node(
        MakeVariable("", "", 21, 0, 0),
        {Node(MakeVariable("Prog", "Prog", 21, 0, 0),
              {Node(MakeVariable("data", "Prog.data", 21, 0, 0), data), Node(MakeVariable("text", "Prog.text", 21, 0, 0), texts),
               Node(MakeVariable("level", "Prog.level", 3, REG_D, 50)), Node(MakeVariable("flow", "Prog.flow", 9, REG_D, 60)),
               Node(MakeVariable("total", "Prog.total", 5, REG_LZ, 2)), Node(MakeVariable("run", "Prog.run", 0, REG_M, 10)),
               Node(MakeVariable("alarm", "Prog.alarm", 0, REG_D, 70, 5)), Node(MakeVariable("wide", "Prog.wide", 0, REG_LCN, 3, 20)),
               Node(MakeVariable("far", "Prog.far", 0, REG_D, 71, 20))})});
}

const std::vector<std::string> kPaths = {"Prog.level", "Prog.data[1]", "Prog.flow",    "Prog.total", "Prog.run",
                                         "Prog.alarm", "Prog.wide",    "Prog.text[0]", "Prog.far"};

class TagDriver : public EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        zolt_log::SetSink([this](const zolt_log::Line& line) { logLines.push_back(line.text); });
        driver = std::make_unique<KVSG::KVSGConvertLayer>("PLC1", &store);
        driver->UpdataCommunication(&comm);
    }
    int Init(const std::vector<unsigned char>& blob) { return driver->InitDevice(blob.data(), static_cast<int>(blob.size())); }
    int CollectRound(int channels)
    {
        std::vector<int> flags(static_cast<size_t>(channels), 1);
        int result = 0;
        for (int i = 0; i < driver->Dev()->m_nRankNum && result == 0; ++i) result = driver->CollectDevData(flags.data(), channels);
        return result;
    }
    void Refer(int channels)
    {
        std::vector<int> flags(static_cast<size_t>(channels), 1);
        ASSERT_EQ(driver->ChannelRefChange(flags.data(), channels), 0);
    }

    std::unique_ptr<KVSG::KVSGConvertLayer> driver;
    std::vector<std::string> logLines;
};

TEST_F(TagDriver, BlobBindsEveryChannelToItsTag)
{
    ASSERT_EQ(Init(Blob(PlantTree(), kPaths, PropertySection(300, 1, 1, 0))), 0);
    const DEV_DATA& dev = *driver->Dev();
    EXPECT_EQ(dev.m_arDevParam[0], 300u);
    EXPECT_EQ(dev.m_arDevParam[1], 1u);
    EXPECT_EQ(dev.m_arDevParam[2], 1u);
    EXPECT_EQ(dev.m_arDevParam[3], 0u);
    ASSERT_EQ(driver->Table()->GetRowCount(), 9);

    struct Expect {
        const char* name;
        unsigned type, address, code;
    };
    const Expect rows[] = {
        {"读写DWB0050", REG_D, 50, CHLCODE_WB},  {"读写DWUB0101", REG_D, 101, CHLCODE_WUB},       {"读写DDF0060", REG_D, 60, CHLCODE_DF},
        {"读写LZDB0002", REG_LZ, 2, CHLCODE_DB}, {"读写M0010", REG_M, 10, CHLCODE_BITDEVICE},     {"读写D0070_05", REG_D, 70, 5},
        {"读写LCN0003_20", REG_LCN, 3, 20},      {"读写DSTR0200_10", REG_D, 200, CHLCODE_STRING}, {"读写D0071_00", REG_D, 71, 0}};
    for (size_t h = 0; h < kPaths.size(); ++h) {
        const uint32_t r = driver->HostToRow()[h];
        EXPECT_EQ(driver->RowToHost()[r], h);
        const CDevRow& row = *driver->Table()->Row(r);
        EXPECT_STREQ(row.Name().c_str(), rows[h].name) << kPaths[h];
        EXPECT_EQ(row.GetdwValue(ROW_TYPE), rows[h].type);
        EXPECT_EQ(row.GetdwValue(ROW_ADDRESS), rows[h].address);
        EXPECT_EQ(row.GetdwValue(ROW_DATATYPE), rows[h].code);
        EXPECT_EQ(row.m_pTag->getFullPath(), kPaths[h]);
    }
    EXPECT_EQ(driver->Index()->size(), 17u);
    EXPECT_EQ(std::count(logLines.begin(), logLines.end(), "InitDevice Spend Time = 0"), 1);
    EXPECT_EQ(std::count_if(logLines.begin(), logLines.end(),
                            [](const std::string& l) { return l.rfind("Init Tree and Porperty spend time = ", 0) == 0; }),
              1);
    EXPECT_EQ(logLines.size(), 2u);

    ASSERT_EQ(Init(Blob(PlantTree(), kPaths)), 0) << "a second load replaces the first";
    EXPECT_EQ(driver->Table()->GetRowCount(), 9);
    EXPECT_EQ(driver->Properties()->size(), 4u);
    EXPECT_EQ(logLines.size(), 4u);
}

TEST_F(TagDriver, TruncatedOrCraftedBlobsAreRefusedOrEndTheChannelListAndTheDeviceStaysUsable)
{
    const std::vector<unsigned char> good = Blob(PlantTree(), kPaths);
    const size_t listAt = 16 + utils::LoadLe32(good.data() + 8);
    // Cut in the prefix, the container, at the channel count, inside a path.
    for (size_t cut : {size_t{1}, size_t{15}, size_t{40}, listAt - 1, listAt, listAt + 2, listAt + 4, listAt + 9, good.size() - 1}) {
        std::vector<unsigned char> part(good.begin(), good.begin() + static_cast<long>(cut));
        if (cut < listAt) {
            EXPECT_EQ(Init(part), static_cast<int>(0x80000001u)) << "cut at " << cut;
            continue;
        }
        // A channel list cut short ends where its bytes end: the channels read
        // are bound, each to its own tag, and the rest have no row.
        ASSERT_EQ(Init(part), 0) << "cut at " << cut;
        for (size_t h = 0; h < driver->HostToRow().size(); ++h) {
            const uint32_t r = driver->HostToRow()[h];
            ASSERT_NE(r, NO_ROW);
            EXPECT_EQ(driver->Table()->Row(r)->m_pTag->getFullPath(), kPaths[h]) << "cut at " << cut;
        }
    }
    auto patched = [&good](size_t at, uint32_t value) {
        std::vector<unsigned char> bad = good;
        utils::StoreLe32(bad.data() + at, value);
        return bad;
    };
    const uint32_t container = utils::LoadLe32(good.data() + 8);
    const std::vector<std::vector<unsigned char>> crafted = {
        patched(8, 0xFFFFFFF0u),                             // container longer than the blob
        patched(8, static_cast<uint32_t>(good.size() - 15)), // and by one byte
        patched(16, 40001),                                  // bad magic
        patched(20, container + 4),                          // wrong container size
        patched(16 + 12, 0x7FFFFFFF),                        // absurd section count
    };
    for (size_t i = 0; i < crafted.size(); ++i) EXPECT_EQ(Init(crafted[i]), static_cast<int>(0x80000001u)) << i;
    // An absurd channel count or path length ends the list; a bare root binds nothing.
    ASSERT_EQ(Init(patched(16 + container, 0x7FFFFFFF)), 0);
    EXPECT_EQ(driver->Table()->GetRowCount(), 9);
    ASSERT_EQ(Init(patched(16 + container + 4, 0xFFFFFFFE)), 0);
    EXPECT_EQ(driver->Table()->GetRowCount(), 0);
    EXPECT_TRUE(driver->HostToRow().empty());
    ASSERT_EQ(Init(Blob(Node(MakeVariable("", "", 21, 0, 0)), kPaths)), 0);
    EXPECT_EQ(driver->Table()->GetRowCount(), 0);
    const std::vector<unsigned char> noTree =
        WriteConfigBlob(WriteSectionedContainer({{SECTION_PROPERTIES, PropertySection(999, 0, 0, 1)}}), kPaths);
    EXPECT_EQ(Init(noTree), static_cast<int>(0x80000001u));
    EXPECT_EQ(driver->Dev()->m_arDevParam[0], 200u) << "properties were read, parameters not changed";

    ASSERT_EQ(Init(good), 0);
    EXPECT_EQ(driver->Table()->GetRowCount(), 9);
}

TEST_F(TagDriver, CollectsTaggedValuesAndRebindsToOtherElements)
{
    const size_t d = *sim::AreaByName("D"), m = *sim::AreaByName("M"), lz = *sim::AreaByName("LZ");
    memory.SetWord(d, 50, static_cast<uint16_t>(-7));
    for (uint16_t i = 0; i < 8; ++i) memory.SetWord(d, 100 + i, static_cast<uint16_t>(1000 + i));
    memory.SetDword(lz, 2, static_cast<uint32_t>(-123456));
    memory.SetBit(m, 10, true);
    memory.SetWord(d, 70, 1 << 5);
    memory.SetWord(d, 200, 0x4241);
    memory.SetWord(d, 201, 0x0043);
    store.DeclareChannels(static_cast<int>(kPaths.size()), DATATYPE_DOUBLE);
    store.channelTypes[7] = DATATYPE_STRING;
    ASSERT_EQ(Init(Blob(PlantTree(), kPaths)), 0);
    const int channels = static_cast<int>(kPaths.size());
    Refer(channels);
    ASSERT_EQ(CollectRound(channels), 0);
    EXPECT_EQ(store.Number(0), -7);
    EXPECT_EQ(store.Number(1), 1001);
    EXPECT_EQ(store.Number(3), -123456);
    EXPECT_EQ(store.Number(4), 1);
    EXPECT_EQ(store.Number(5), 1);
    EXPECT_EQ(store.Text(7), "ABC");

    EXPECT_EQ(driver->SetChannelAddress(1, 3), 0);
    EXPECT_STREQ(driver->Table()->Row(driver->HostToRow()[1])->Name().c_str(), "读写DWUB0104");
    Refer(channels);
    ASSERT_EQ(CollectRound(channels), 0);
    EXPECT_EQ(store.Number(1), 1004) << "the next collection reads the new element";
    EXPECT_EQ(driver->SetChannelAddress(1, 5), 0);
    EXPECT_EQ(driver->Table()->Row(driver->HostToRow()[1])->GetdwValue(ROW_ADDRESS), 106u) << "offsets count from the first binding";
    EXPECT_EQ(driver->SetChannelAddress(1, 0), 0);
    EXPECT_EQ(driver->Table()->Row(driver->HostToRow()[1])->GetdwValue(ROW_ADDRESS), 101u);
    // A refused load leaves the channels as they were: they keep collecting
    // and writing, and rebinding finds no tag in the new, empty tree.
    EXPECT_EQ(driver->InitDevice(nullptr, 0), static_cast<int>(0x80000001u));
    memory.SetWord(d, 101, 4321);
    Refer(channels);
    ASSERT_EQ(CollectRound(channels), 0);
    EXPECT_EQ(store.Number(1), 4321);
    int value = 12;
    EXPECT_EQ(driver->WriteChannel(0, DATATYPE_INT, &value), 0);
    EXPECT_EQ(memory.GetWord(d, 50), 12);
    EXPECT_EQ(driver->SetChannelAddress(1, 1), 300002);
    ASSERT_EQ(Init(Blob(PlantTree(), kPaths)), 0);
    EXPECT_EQ(driver->SetChannelAddress(1, 5), 0);
    EXPECT_EQ(driver->SetChannelAddress(1, -5), 300002) << "index 4294967295 names no tag";
    EXPECT_EQ(driver->SetChannelAddress(0, 1), 300001) << "a path without an index";
    EXPECT_EQ(driver->_SetChlTag(0, 1, 1, 0), 100000 + 0 + 1 - channels);
    EXPECT_EQ(driver->_SetChlTag(8, 3, 1, 0), 100000 + 8 + 3 - channels);
    EXPECT_EQ(driver->_SetChlTag(2, 1, 1, 2), 300002) << "no second index";
    EXPECT_EQ(driver->_SetChlTag(2, 0, 1, 0), 0);
}

TEST_F(TagDriver, RebindingChecksTagTypes)
{
    std::vector<TreeSerialize::NodeSpec> mixed;
    const uint32_t types[] = {3, 11, 3, 19, 20};
    for (uint32_t i = 0; i < 5; ++i)
        mixed.push_back(Node(
            MakeVariable("[" + std::to_string(i) + "]", "v[" + std::to_string(i) + "]", types[i], REG_D, 10 + 10 * i, 0xFFFFFFFFu, 4)));
    const auto root = Node(MakeVariable("", "", 21, 0, 0), {Node(MakeVariable("v", "v", 21, 0, 0), mixed)});
    ASSERT_EQ(Init(Blob(root, {"v[0]", "v[1]"})), 0);
    EXPECT_EQ(driver->_SetChlTag(1, 1, 1, 0), 200001) << "numeric to string is refused";
    EXPECT_EQ(driver->_SetChlTag(2, 1, 1, 0), 0) << "string to numeric is accepted";
    EXPECT_EQ(driver->_SetChlTag(1, 1, 3, 0), 200001);
    EXPECT_EQ(driver->_SetChlTag(1, 1, 4, 0), 200001) << "numeric to type 20 is refused";
    EXPECT_EQ(driver->_SetChlTag(1, 2, 2, 0), 200001) << "the second channel cannot move from a string to v[3]";
    EXPECT_EQ(driver->Table()->Row(driver->HostToRow()[0])->GetdwValue(ROW_ADDRESS), 10u) << "a failed request changes no row";
}

} // namespace
