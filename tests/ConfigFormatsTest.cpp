// Stored formats: properties, property section, container, tag records,
// tree stream and path lookup; channel generation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/BlobBuilder.h"
#include "support/Hex.h"
#include "tags/PathRewrite.h"
#include "vi5z_uvevarov_ave/DevBas.h"

using namespace testing_support;

namespace {

TEST(DeviceProperty, ChecksAndForms)
{
    auto general =
        std::make_shared<Device::GeneralPropertyConfig<unsigned int>>("P", Device::IPropertyConfig::STATE_NORMAL, 50u, 10u, 100u);
    PropertyWraper<unsigned int> wrap(general);
    const std::pair<int, int> steps[] = {{10, 10}, {100, 100}, {9, 100}, {101, 100}, {-1, 100}, {55, 55}};
    for (auto [set, expect] : steps) {
        wrap.SetProValueInt(set);
        EXPECT_EQ(wrap.GetProValueInt(), expect) << set;
    }
    EXPECT_EQ(wrap.GetRange(), (std::pair<double, double>{10.0, 100.0}));
    EXPECT_TRUE(wrap.GetEumList().empty());
    auto clone = wrap.clone();
    clone->SetProValueInt(60);
    EXPECT_EQ(wrap.GetProValueInt(), 55) << "a clone is independent";
    EXPECT_EQ(general->getDefaultValue(), ADT::Value(50u));

    auto wide =
        std::make_shared<Device::GeneralPropertyConfig<unsigned int>>("W", Device::IPropertyConfig::STATE_NORMAL, 1u, 1u, 0xFFFFFFFFu);
    EXPECT_EQ(PropertyWraper<unsigned int>(wide).GetRange().second, 4294967295.0);

    auto options = std::make_shared<Device::EnumPropertyConfig>("E", Device::IPropertyConfig::STATE_NORMAL, 0u);
    options->AddOption("0 - ASCII");
    options->AddOption("1 - UNICODE");
    options->AddOption("0 - ASCII");
    PropertyWraper<Device::EnumPropertyConfig> e(options);
    EXPECT_EQ(e.GetEumList().size(), 2u);
    e.SetProValueStr("1 - UNICODE");
    EXPECT_EQ(e.GetProValueInt(), 1);
    e.SetProValueStr("1 - unicode");
    EXPECT_EQ(e.GetProValueInt(), 1);
    e.SetProValueStr("0 - ASCII");
    EXPECT_EQ(e.GetProValueInt(), 0) << "the first option by its text";
    e.SetProValueInt(7);
    EXPECT_EQ(e.GetProValueInt(), 7);
    EXPECT_EQ(e.GetProValueStr(), "");
    EXPECT_EQ(e.GetRange(), (std::pair<double, double>{0.0, 0.0}));
    e.SetProValueDouble(0.6);
    EXPECT_EQ(e.GetProValueInt(), 1) << "an option index stored as a double";

    DevicePropertyConfigWraper set;
    EXPECT_EQ(set.insert(20000, std::make_shared<PropertyWraper<unsigned int>>(general)), 0);
    EXPECT_EQ(set.insert(20000, std::make_shared<PropertyWraper<unsigned int>>(general)), 1);
    EXPECT_EQ(set.getPropertyVersionFromName("nothing"), 0xFFFFFFFFu);
    EXPECT_EQ(set.getPropertyVersionFromName(nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(set.getPropertyFromName(nullptr), nullptr);
}

// A record may store its value as a number, a double or a text whatever the
// property is: each is read by its own rule and the property's own check
// still decides; a value of no known kind is ignored.
TEST(PropertySection, EveryStoredKindOnANumberProperty)
{
    const auto section = [](uint32_t kind, std::vector<unsigned char> value, uint32_t shorter) {
        DevicePropertySerilize writer;
        auto set = std::make_shared<DevicePropertyConfigWraper>();
        set->insert(20000, std::make_shared<PropertyWraper<unsigned int>>(std::make_shared<Device::GeneralPropertyConfig<unsigned int>>(
                               "ABCDEF", Device::IPropertyConfig::STATE_NORMAL, 0u, 0u, 1000u)));
        writer.fromDeviceProperty(set);
        // The one record starts at 20: its length, kind, version, value offset
        // (23), the name, then the value; the table of its offset ends it.
        std::vector<unsigned char> bytes(writer.bytes().begin(), writer.bytes().begin() + 43);
        bytes.insert(bytes.end(), value.begin(), value.end());
        utils::StoreLe32(bytes.data() + 20, static_cast<uint32_t>(23 + value.size()) - shorter);
        utils::StoreLe32(bytes.data() + 24, kind);
        const uint32_t table = static_cast<uint32_t>(bytes.size());
        const unsigned char offset[4] = {20, 0, 0, 0};
        bytes.insert(bytes.end(), offset, offset + 4);
        utils::StoreLe32(bytes.data() + 8, static_cast<uint32_t>(bytes.size()));
        utils::StoreLe32(bytes.data() + 16, table);
        return bytes;
    };
    const auto number = [](double d) {
        std::vector<unsigned char> bytes(8);
        std::memcpy(bytes.data(), &d, 8);
        return bytes;
    };
    const auto text = [](const std::string& t) { return std::vector<unsigned char>(t.begin(), t.end()); };
    struct Case {
        const char* name;
        uint32_t kind;
        std::vector<unsigned char> value;
        int expected;         // the property starts at 5
        uint32_t shorter = 0; // taken off the record's stated length
    };
    const Case cases[] = {
        {"number", 0, {44, 1, 0, 0}, 300},
        {"second number kind", 1, {7, 0, 0, 0}, 7},
        {"option index", 4, {9, 0, 0, 0}, 9},
        // A value is read at its offset whatever the record's length: a short
        // one runs on into the offset table (20 0 0 0) that follows it.
        {"number cut short, out of range with the table's bytes", 0, {44, 1}, 5},
        {"number past a length that stops at its offset", 0, {9, 3, 0, 0}, 777, 4},
        {"double rounded", 2, number(150.6), 151},
        {"negative double as 0", 2, number(-5.0), 0},
        {"NaN as 0", 2, number(std::nan("")), 0},
        {"double past the range refused", 2, number(1e12), 5},
        {"double cut short, a tiny number with the table's bytes", 2, {0, 0, 0, 0}, 0},
        {"decimal text", 3, text(std::string("300\0", 4)), 300},
        {"text without its nul", 3, text("42"), 42},
        {"text past 32 bits refused", 3, text("4294967296"), 5},
        {"text that is no number refused", 3, text("abc"), 5},
        {"unknown kind", 9, {1, 0, 0, 0}, 5},
    };
    EXPECT_EQ(utils::LoadLe32(testing_support::PropertySection(200, 0, 0, 1).data() + 28), 20000u) << "the driver's properties' version";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto target = std::make_shared<DevicePropertyConfigWraper>();
        auto config =
            std::make_shared<Device::GeneralPropertyConfig<unsigned int>>("ABCDEF", Device::IPropertyConfig::STATE_NORMAL, 5u, 0u, 1000u);
        target->insert(20000, std::make_shared<PropertyWraper<unsigned int>>(config));
        EXPECT_TRUE(DevicePropertySerilize(section(c.kind, c.value, c.shorter)).toDeviceProperty(target));
        EXPECT_EQ(target->getPropertyFromName("ABCDEF")->GetProValueInt(), c.expected);
    }
}

TEST(Container, SectionsAndChecks)
{
    const std::vector<unsigned char> one = {1, 2, 3}, three = {9};
    const std::vector<unsigned char> container = WriteSectionedContainer({{1, one}, {3, three}, {1, {7, 7}}});
    DevDeserialize reader;
    reader.open(container.data(), static_cast<unsigned>(container.size()));
    utils::MemoryBuffer out;
    ASSERT_TRUE(reader.readSection(1, out));
    EXPECT_EQ(out.bytes(), one) << "the first entry of a number wins";
    EXPECT_FALSE(reader.readSection(2, out));

    const std::vector<unsigned char> empty = WriteSectionedContainer({});
    ASSERT_EQ(empty.size(), 20u);
    reader.open(empty.data(), 20);
    EXPECT_TRUE(reader.checkSerializeData());
    EXPECT_EQ(reader.sectionCount(), 0u);

    std::vector<unsigned char> outside = container;
    outside[31] = 0xF0; // first payload offset far past the end
    reader.open(outside.data(), static_cast<unsigned>(outside.size()));
    utils::MemoryBuffer none;
    EXPECT_FALSE(reader.readSection(1, none));
    for (size_t cut = 0; cut < container.size(); ++cut) {
        reader.open(container.data(), static_cast<unsigned>(cut));
        EXPECT_EQ(reader.sectionCount(), 0u) << cut;
    }
}

TEST(TagRecord, RunAndSetForms)
{
    KVSG::KVSGVariable tag = MakeVariable("a", "a", 0, 1, 100, 3);
    tag.m_comment = "note";
    tag.m_typeKey = "Bit";
    utils::MemoryBuffer run, set;
    tag.serializeRun(run);
    tag.serializeSet(set);
    EXPECT_EQ(Hex(run.bytes()), "0100000061"
                                "0100000061"
                                "00000000"
                                "00000000"
                                "00"
                                "02000000"
                                "01000000"
                                "64000000"
                                "03000000");
    EXPECT_EQ(set.size(), 43u + 7u);
    KVSG::KVSGVariable back;
    back.deserializeSet(set);
    EXPECT_EQ(back.DEV_ZOLT_getLabelComment(), "note");
    EXPECT_EQ(back.DEV_ZOLT_getDataTypeName(), "Bit");
    EXPECT_EQ(back.getTypeKey(), "Bit");
    EXPECT_EQ(back.m_address, 100u);
    EXPECT_EQ(back.m_bit, 3u);
    EXPECT_EQ(back.m_extraWord, 2u);
    // A record cut before its bit field names no bit; before its address, no address.
    for (const auto& [cutBy, address] : {std::pair<unsigned, uint32_t>{4, 100}, {8, 0xFFFFFFFFu}}) {
        utils::MemoryBuffer cut;
        cut.write(run.bytes().data(), static_cast<unsigned>(run.size() - cutBy));
        KVSG::KVSGVariable noBit;
        noBit.deserializeRun(cut);
        EXPECT_EQ(noBit.m_bit, 0xFFFFFFFFu);
        EXPECT_EQ(noBit.m_address, address) << cutBy;
    }

    const std::pair<uint32_t, int> types[] = {{21, -1}, {22, -1}, {0, 0}, {1, 2}, {15, 1}, {18, 7}, {1000, -1}};
    for (auto [stored, type] : types) {
        KVSG::KVSGVariable t;
        t.m_storedType = stored;
        EXPECT_EQ(t.DEV_ZOLT_getDataType(), type) << stored;
    }
}

TreeSerialize::NodeSpec SampleTree()
{
    std::vector<TreeSerialize::NodeSpec> elements;
    for (int i = 0; i < 4; ++i)
        elements.push_back(Node(
            MakeVariable("[" + std::to_string(i) + "]", "Prog.data[" + std::to_string(i) + "]", 3, REG_D, 100 + static_cast<uint32_t>(i))));
    std::vector<TreeSerialize::NodeSpec> xs;
    xs.push_back(Node(MakeVariable("x", "S.arr[2].x", 4, REG_D, 300)));
    KVSG::KVSGVariable data = MakeVariable("data", "Prog.data", 21, 0, 0);
    data.m_isArray = true;
    return Node(MakeVariable("", "", 21, 0, 0),
                {Node(MakeVariable("Prog", "Prog", 21, 0, 0), {Node(data, elements)}),
                 Node(MakeVariable("S", "S", 21, 0, 0),
                      {Node(MakeVariable("arr", "S.arr", 21, 0, 0), {Node(MakeVariable("[2]", "S.arr[2]", 21, 0, 0), xs)})}),
                 Node(MakeVariable("a.b", "a.b", 0, REG_M, 7)),
                 Node(MakeVariable("a", "a", 21, 0, 0), {Node(MakeVariable("c", "a.c", 0, REG_M, 8))}),
                 Node(MakeVariable("m", "m", 4, REG_D, 500)), Node(MakeVariable("m", "m2", 4, REG_D, 501))});
}

TEST(TagTree, StreamRoundTripAndLookup)
{
    const std::vector<unsigned char> stream = TreeSerialize::WriteTree(SampleTree());
    utils::MemoryBuffer section;
    section.write(stream.data(), static_cast<unsigned>(stream.size()));
    KVSG::TagIndex index;
    auto root = TreeSerialize::ReadTree(section, [&index](const KVSG::TagTree* leaf) { KVSG::IndexLeaf(index, leaf); });
    ASSERT_TRUE(root);
    EXPECT_EQ(root->DEV_ZOLT_getChildCount(), 6u);
    EXPECT_EQ(index.size(), 9u);
    EXPECT_EQ(root->DEV_ZOLT_at(99), nullptr);

    struct Lookup {
        const char* path;
        const char* found;
    };
    const Lookup lookups[] = {
        {"S.arr[2].x", "S.arr[2].x"},
        {"Prog.data[3]", "Prog.data[3]"},
        {"Prog.data[05]", nullptr},
        {"Prog.data[4]", nullptr},
        {"a.b", "a.b"},
        {"a.c", "a.c"},
        {"Prog", "Prog"},
        {"", nullptr},
        {"Prog.nothing", nullptr},
        {"Prog.data]", nullptr},
        {"[2]", nullptr},
        {"m", "m"},
        {"...", nullptr},
        {"Prog.data[1", nullptr},
    };
    for (const Lookup& l : lookups) {
        const KVSG::TagTree* node = root->find(l.path);
        if (!l.found)
            EXPECT_EQ(node, nullptr) << l.path;
        else {
            ASSERT_NE(node, nullptr) << l.path;
            EXPECT_EQ(node->label().getFullPath(), l.found);
        }
    }
    EXPECT_EQ(root->find("Prog")->find("Prog"), nullptr) << "never the node itself";
    // What a host browses: each node's parent and array flag.
    const KVSG::TagTree* data = root->find("Prog.data");
    EXPECT_EQ(root->DEV_ZOLT_at(0)->DEV_ZOLT_getParent(), root.get());
    EXPECT_EQ(data->DEV_ZOLT_getParent(), root->find("Prog"));
    EXPECT_EQ(data->DEV_ZOLT_at(3)->DEV_ZOLT_getParent(), data);
    EXPECT_EQ(data->DEV_ZOLT_getLabel()->DEV_ZOLT_getLabelName(), "data");
    EXPECT_TRUE(data->DEV_ZOLT_getLabel()->DEV_ZOLT_isArray());
    EXPECT_FALSE(data->DEV_ZOLT_at(0)->DEV_ZOLT_getLabel()->DEV_ZOLT_isArray());

    const std::vector<unsigned char> lone = TreeSerialize::WriteTree(Node(MakeVariable("r", "r", 4, REG_D, 1)));
    utils::MemoryBuffer loneSection;
    loneSection.write(lone.data(), static_cast<unsigned>(lone.size()));
    int leaves = 0;
    ASSERT_TRUE(TreeSerialize::ReadTree(loneSection, [&leaves](const KVSG::TagTree*) { ++leaves; }));
    EXPECT_EQ(leaves, 1) << "a root without children is a leaf";
}

TEST(TagTree, MalformedStreamsAreRefused)
{
    auto read = [](std::vector<unsigned char> bytes) {
        utils::MemoryBuffer section;
        section.write(bytes.data(), static_cast<unsigned>(bytes.size()));
        return TreeSerialize::ReadTree(section, [](const KVSG::TagTree*) {}) != nullptr;
    };
    // Root lists itself; a child list reaching past the end; a huge record length.
    EXPECT_FALSE(read(Bytes("00000000 00000000 00000000 00000000 01000000 00000000")));
    EXPECT_FALSE(read(Bytes("00000000 00000000 00000000 00000000 FFFFFFFF 18000000")));
    EXPECT_TRUE(read(Bytes("00000000 FFFFFF7F 00000000 00000000 00000000 01000000")));
    // A child stored before its parent, the parent's child list ending the section.
    EXPECT_TRUE(read(Bytes("00000000 00000000 00000000 00000000 01000000 2C000000 00000000 00000000 00000000 00000000 00000000 "
                           "00000000 00000000 00000000 00000000 01000000 18000000")));
    // Two nodes pointing at each other.
    EXPECT_FALSE(read(Bytes("00000000 00000000 00000000 00000000 01000000 18000000 "
                            "00000000 00000000 00000000 00000000 01000000 00000000")));
    EXPECT_FALSE(read({}));
}

TEST(TagTree, AnyDepthLoadsUsedToBeRefusedBeyond64Levels)
{
    // A chain of 200 000 nodes, each listing the next: depth exhausts
    // neither the reader nor the release of the tree.
    constexpr uint32_t kDepth = 200000;
    std::vector<unsigned char> bytes;
    for (uint32_t i = 0; i < kDepth; ++i) {
        const bool last = i + 1 == kDepth;
        for (uint32_t word : {0u, 0u, 0u, 0u, last ? 0u : 1u}) utils::StoreLe32(&*bytes.insert(bytes.end(), 4, 0), word);
        if (!last) utils::StoreLe32(&*bytes.insert(bytes.end(), 4, 0), (i + 1) * 24);
    }
    utils::MemoryBuffer section;
    section.write(bytes.data(), static_cast<unsigned>(bytes.size()));
    int leaves = 0;
    std::unique_ptr<KVSG::TagTree> root = TreeSerialize::ReadTree(section, [&leaves](const KVSG::TagTree*) { ++leaves; });
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(leaves, 1);
    const KVSG::TagTree* node = root.get();
    uint32_t depth = 1;
    while (!node->children().empty()) {
        node = node->children().front().get();
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
}

// `which` 1, 2, 3 count every index of every bracket from the left; 0 is the
// last one.
TEST(TagPath, RewritesTheIndexItNames)
{
    struct Case {
        const char* path;
        int offset;
        unsigned which;
        const char* rewritten; // nullptr: refused
    };
    const Case cases[] = {
        {"S.a[1,2].b[3]", 1, 1, "S.a[2,2].b[3]"},
        {"S.a[1,2].b[3]", 1, 2, "S.a[1,3].b[3]"},
        {"S.a[1,2].b[3]", 1, 3, "S.a[1,2].b[4]"},
        {"S.a[1,2].b[3]", 1, 4, nullptr},
        {"S.a[1,2].b[3]", 3, 0, "S.a[1,2].b[6]"},
        {"Prog.data[4]", -5, 0, "Prog.data[4294967295]"},
        {"Prog.level", 1, 0, nullptr},
        {"Prog.level", 1, 1, nullptr},
        {"m[2,7]", 10, 0, "m[2,17]"},
        {"x[]", 2, 0, "x[2]"},
        {"[3]", 2, 0, "[5]"},
        {"abc]", 1, 0, nullptr},
    };
    for (const Case& c : cases) {
        std::string out;
        const bool done = RewriteTagPathIndex(c.path, c.offset, c.which, out);
        EXPECT_EQ(done ? out : "refused", c.rewritten ? c.rewritten : "refused") << c.path << " which " << c.which;
    }
}

TEST(ChannelGeneration, ExpandsRequests)
{
    struct Case {
        int type, option, length, count, rw;
        const char* address;
        std::vector<std::string> names;
        const char* next;
    };
    const Case cases[] = {
        {REG_D, 16, -1, 2, 2, "100", {"读写DWUB0100", "读写DWUB0101"}, "102"},
        {REG_D, 20, -1, 2, 2, "100", {"读写DDB0100", "读写DDB0102"}, "104"},
        {REG_D, 14, -1, 3, 2, "100", {"读写D0100_14", "读写D0100_15", "读写D0101_00"}, "101"},
        {REG_D, 23, 10, 2, 2, "100", {"读写DSTR0100_10", "读写DSTR0105_10"}, "110"},
        {REG_LCN, 33, -1, 2, 2, "5", {"读写LCNDB0005", "读写LCNDB0006"}, "7"},
        {REG_B, 0, -1, 1, 2, "255", {"读写B00FF"}, "256"},
        {REG_X, 0, -1, 1, 2, "3", {"只读X0003"}, "4"},
        {REG_D, 23, -1, 0, 2, "200_8", {"读写DSTR0200_8"}, "204"},
        {REG_LZ, 31, -1, 2, 2, "1", {"读写LZ0001_31", "读写LZ0002_00"}, "2"},
        {REG_D, 16, -1, 1, 2, "x", {"读写DWUB0000"}, "1"}, // no digits: 0
    };
    for (const Case& c : cases) {
        SChlInfo info;
        info.m_nRegType = c.type;
        info.m_nDataOption = c.option;
        info.m_nLength = c.length;
        info.m_nCount = c.count;
        info.m_nRWFlag = c.rw;
        info.m_strAddress = c.address;
        CArray<CDevRow, CDevRow&> rows;
        ASSERT_EQ(CDevBas::mfMakeDevRowsFromSChlInfo(info, rows), 1);
        ASSERT_EQ(rows.GetSize(), static_cast<int>(c.names.size())) << c.address;
        for (size_t i = 0; i < c.names.size(); ++i) EXPECT_STREQ(rows[static_cast<int>(i)].Name().c_str(), c.names[i].c_str());
        EXPECT_STREQ(info.m_strAddress.c_str(), c.next);
    }
    SChlInfo string;
    string.m_nRegType = REG_D;
    string.m_nDataOption = 23;
    string.m_nCount = 1;
    string.m_nRWFlag = 2;
    CArray<CDevRow, CDevRow&> one;
    CDevBas::mfMakeDevRowsFromSChlInfo(string, one);
    EXPECT_EQ(string.m_nLength, 60);
    EXPECT_EQ(one[0].GetdwValue(ROW_BIT), 60u);
    SChlInfo refused;
    refused.m_nRegType = REG_D;
    refused.m_nDataOption = -1;
    EXPECT_EQ(CDevBas::mfMakeDevRowsFromSChlInfo(refused, one), 0);
    refused.m_nRegType = 99;
    EXPECT_EQ(CDevBas::mfMakeDevRowsFromSChlInfo(refused, one), 0);
}

} // namespace
