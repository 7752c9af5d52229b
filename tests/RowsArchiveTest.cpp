#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "config/DevTable.h"
#include "config/OwnerArchive.h"
#include "support/RowLayer.h"
#include "vi5z_uvevarov_ave/DevBas.h"
#include "vi5z_uvevarov_ave/DevCtrl.h"

using testing_support::MakeRow;

namespace {

TEST(DevRow, PropertyLookupByName)
{
    CDevRow row;
    EXPECT_EQ(CDevRow::GetIndexFromName(DEVROW_STR_CHLADDRESS), 2);
    EXPECT_EQ(CDevRow::GetIndexFromName(CString("DEV逻辑地址")), 8);
    EXPECT_EQ(CDevRow::GetIndexFromName("no such"), 19);
    EXPECT_EQ(CDevRow::GetIndexFromName(static_cast<const char*>(nullptr)), 19);
    row.SetdwValue("no such", 7); // must not touch storage
    EXPECT_EQ(row.GetdwValue("no such"), 0u);
    row.SetdwValue(DEVROW_STR_CHLBIT, 9);
    EXPECT_EQ(row.GetdwValue(CString("通道的位").c_str()), 9u);
    EXPECT_EQ(CDevRow::m_strArPropertyName.GetSize(), 9);
}

TEST(DevRow, ArchiveRoundTripAndLayout)
{
    CDevRow row = MakeRow(27, 1234, 131, 10, 1);
    row.StringAt(ROW_NAME) = "R1234";
    COwnerArchive out;
    row.Serialize(out);
    ASSERT_EQ(out.GetPosition(), 8 * 4 + 4 + 5);
    EXPECT_EQ(out.GetData()[4], 27);
    EXPECT_EQ(out.GetData()[28], 5); // name length

    CDevRow empty;
    COwnerArchive blank;
    empty.Serialize(blank);
    EXPECT_EQ(blank.GetPosition(), 36);
    for (int i = 28; i < 32; ++i) EXPECT_EQ(blank.GetData()[i], 0);

    out.SetPosition(0);
    out.SvrChangeMode(COwnerArchive::ARCHIVE_LOAD);
    CDevRow back;
    ASSERT_TRUE(back.DeserializeFormOld(out));
    EXPECT_EQ(back.GetdwValue(ROW_ADDRESS), 1234u);
    EXPECT_EQ(back.GetdwValue(ROW_RWFLAG), 1u);
    EXPECT_STREQ(back.Name().c_str(), "R1234");

    // A table stores its rows, ordered or (the legacy form) as its row array
    // holds them, and reads them back in that order.
    const auto roundTrip = [](CDevTable& table) {
        COwnerArchive stored;
        table.Serialize(stored);
        stored.SetPosition(0);
        stored.SvrChangeMode(COwnerArchive::ARCHIVE_LOAD);
        CDevTable loaded;
        loaded.Serialize(stored);
        std::vector<unsigned> addresses;
        for (int i = 0; i < loaded.m_arRow.GetSize(); ++i) addresses.push_back(loaded.m_arRow[i].GetdwValue(ROW_ADDRESS));
        return addresses;
    };
    CDevTable ordered, legacy;
    for (unsigned address : {5u, 1u}) {
        CDevRow row = MakeRow(7, address, 83);
        ordered.Insert(row);
        legacy.m_arRow.Add(row);
    }
    EXPECT_EQ(roundTrip(ordered), (std::vector<unsigned>{1, 5}));
    EXPECT_EQ(roundTrip(legacy), (std::vector<unsigned>{5, 1}));
}

TEST(OwnerArchive, GrowthModesAndHeader)
{
    std::vector<unsigned char> ten(10, 1), big(20000, 2);
    COwnerArchive a;
    a.SvrWrite(ten.data(), 10);
    EXPECT_EQ(a.GetSize(), 16534);
    COwnerArchive b;
    b.SvrWrite(big.data(), 20000);
    EXPECT_EQ(b.GetSize(), 20000);

    COwnerArchive store;
    store.SvrChangeMode(COwnerArchive::ARCHIVE_STORE); // at position 0: writes the header
    EXPECT_EQ(store.GetPosition(), 2);
    EXPECT_EQ(store.GetNowVersion(), 20000);

    const unsigned char withHeader[] = {0x20, 0x4E, 1, 0, 0, 0};
    const unsigned char without[] = {0x1F, 0x4E, 1, 0, 0, 0};
    for (auto* blob : {withHeader, without}) {
        COwnerArchive in;
        in.SvrWrite(blob, 6);
        in.SetPosition(0);
        in.SvrChangeMode(COwnerArchive::ARCHIVE_LOAD);
        EXPECT_EQ(in.GetPosition(), blob == withHeader ? 2 : 0);
    }
    unsigned char sink[4] = {9, 9, 9, 9};
    COwnerArchive shortOne;
    shortOne.SvrWrite(withHeader, 3);
    shortOne.SetPosition(0);
    shortOne.SvrChangeMode(COwnerArchive::ARCHIVE_LOAD);
    // The buffer is padded with zeros to the growth step: reads find zeros
    // up to its end, and past it copy nothing and do not move.
    EXPECT_EQ(shortOne.Remaining(), ARCHIVE_GROW_STEP - 2);
    EXPECT_TRUE(shortOne.SvrRead(sink, 4));
    EXPECT_EQ(sink[0], withHeader[2]);
    EXPECT_EQ(sink[1], 0);
    shortOne.SetPosition(ARCHIVE_GROW_STEP - 2);
    EXPECT_FALSE(shortOne.SvrRead(sink, 4));
    EXPECT_EQ(shortOne.GetPosition(), ARCHIVE_GROW_STEP - 2);
}

// A legacy configuration with two rows, byte by byte as the old tool stored
// it: the archive header (version 20000), the parameter, second and third
// value arrays (each a count and its values), a word, the rows (a count, then
// each row's properties in order, its name as a length and bytes), and the 34
// type limits when given.
std::vector<unsigned char> LegacyBlob(unsigned paramCount, bool withLimits, unsigned legacy3Values = 0)
{
    std::vector<unsigned char> out = {0x20, 0x4E};
    auto put = [&out](size_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    put(paramCount);
    for (unsigned i = 0; i < paramCount; ++i) put(500 + i);
    for (size_t v : {2, 0, 77}) put(v);
    put(legacy3Values);
    for (unsigned i = 0; i < legacy3Values; ++i) put(0);
    put(42);
    put(2);
    // Read/write flag, type, address, bit, data type, fast flag, read cap;
    // the name; the logical address.
    for (const auto& [type, address, code, name] :
         {std::tuple{7u, 100u, 83u, std::string("D0100")}, std::tuple{2u, 5u, 32u, std::string()}}) {
        for (size_t v : {2u, type, address, 0u, code, 0u, 0u}) put(v);
        put(name.size());
        out.insert(out.end(), name.begin(), name.end());
        put(address);
    }
    for (unsigned t = 0; withLimits && t < REGISTER_TYPE_COUNT; ++t) put(10 + t);
    return out;
}

class LegacyLayer : public CDevCtrl {
public:
    LegacyLayer() : CDevCtrl("PLC1", nullptr) {}
    int InitDevice(const unsigned char* data, int length) override { return CDevCtrl::InitDevice(data, length); }
    DEV_DATA* Dev() { return m_data.m_pDevData; }
};

TEST(LegacyConfig, OlderParameterLayoutsKeepTheDefaults)
{
    struct Case {
        unsigned stored;
        unsigned expect[4];
    };
    const Case cases[] = {{7, {200, 0, 0, 1}}, {10, {200, 0, 0, 1}}, {3, {200, 0, 0, 0}}, {2, {500, 501, 0, 0}}};
    for (const Case& c : cases) {
        const std::vector<unsigned char> blob = LegacyBlob(c.stored, false);
        LegacyLayer layer;
        ASSERT_EQ(layer.InitDevice(blob.data(), static_cast<int>(blob.size())), 0) << c.stored;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(layer.Dev()->m_arDevParam[i], c.expect[i]) << c.stored << " " << i;
        EXPECT_EQ(layer.Dev()->m_arLegacy2[1], 77u);
        // Data that end after the rows: the padding gives 34 zero limits.
        EXPECT_EQ(layer.Dev()->m_arTypeLimit[7], 0u);
    }
}

TEST(LegacyConfig, TruncatedDataReadZerosAndLoadWithoutRefusal)
{
    const std::vector<unsigned char> full = LegacyBlob(4, true);
    const size_t rowCountAt = 2 + 4 + 16 + 4 + 8 + 4 + 4;
    // In the header, the parameter count, a parameter, the row count, a
    // row's name, the limits.
    for (size_t cut : {size_t{1}, size_t{4}, size_t{9}, rowCountAt + 2, rowCountAt + 4 + 30, full.size() - 1}) {
        LegacyLayer layer;
        // Reads past the data find the zero padding: the load still succeeds.
        EXPECT_EQ(layer.InitDevice(full.data(), static_cast<int>(cut)), 0) << "cut at " << cut;
        ASSERT_NE(layer.Dev(), nullptr);
        EXPECT_GE(layer.Dev()->m_arDevParam.GetSize(), 4);
    }
    // A parameter count of 0xFFFFFFFF reads the zero tail and allocates only
    // what the buffer can supply.
    std::vector<unsigned char> huge = full;
    huge[2] = huge[3] = huge[4] = huge[5] = 0xFF;
    LegacyLayer layer;
    EXPECT_EQ(layer.InitDevice(huge.data(), static_cast<int>(huge.size())), 0);
    EXPECT_LE(layer.Dev()->m_arDevParam.GetSize(), ARCHIVE_GROW_STEP / 4);
    EXPECT_EQ(layer.Dev()->m_arDevParam[0], 500u) << "the values that follow the count";
    // A row count of 0xFFFFFFFF makes no billions of rows either.
    std::vector<unsigned char> rows = LegacyBlob(4, false);
    for (size_t i = 0; i < 4; ++i) rows[rowCountAt + i] = 0xFF;
    LegacyLayer rowLayer;
    EXPECT_EQ(rowLayer.InitDevice(rows.data(), static_cast<int>(rows.size())), 0);
    EXPECT_LE(rowLayer.Dev()->m_pTable->m_arRow.GetSize(), ARCHIVE_GROW_STEP / 32 + 1);
}

TEST(LegacyConfig, OnlyDataEndingAtTheBufferEndKeepTheDefaultLimits)
{
    // A blob of at least the growth step fills its buffer exactly: ending
    // right after the rows, it keeps 400/60; a shorter one reads zeros.
    const std::vector<unsigned char> large = LegacyBlob(4, false, ARCHIVE_GROW_STEP / 4);
    ASSERT_GE(large.size(), static_cast<size_t>(ARCHIVE_GROW_STEP));
    LegacyLayer layer;
    ASSERT_EQ(layer.InitDevice(large.data(), static_cast<int>(large.size())), 0);
    EXPECT_EQ(layer.Dev()->m_arTypeLimit[7], 60u);
    EXPECT_EQ(layer.Dev()->m_arTypeLimit[2], 400u);
    EXPECT_EQ(layer.Dev()->m_arLegacy3.GetSize(), ARCHIVE_GROW_STEP / 4);
}

} // namespace
