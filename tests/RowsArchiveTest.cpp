#include <gtest/gtest.h>

#include <vector>

#include "config/DevTable.h"
#include "config/OwnerArchive.h"
#include "support/RowLayer.h"
#include "vi5z_uvevarov_ave/DevBas.h"
#include "vi5z_uvevarov_ave/DevCtrl.h"

using testing_support::MakeRow;

namespace {

TEST(DevRow, OrdersByTypeAddressAndBitOnly)
{
    struct Case {
        CDevRow a, b;
        bool aFirst, bFirst;
    };
    const Case cases[] = {
        {MakeRow(7, 100, 83), MakeRow(7, 100, 89), false, false},      {MakeRow(5, 0, 32), MakeRow(7, 0, 83), true, false},
        {MakeRow(7, 2, 83), MakeRow(7, 10, 83), true, false},          {MakeRow(7, 5, 3, 3), MakeRow(7, 5, 4, 4), true, false},
        {MakeRow(7, 0xFFFFFFFFu, 83), MakeRow(7, 1, 83), false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.a < c.b, c.aFirst);
        EXPECT_EQ(c.b < c.a, c.bFirst);
    }
    CDevTable table;
    EXPECT_TRUE(table.Insert(MakeRow(7, 100, 83)));
    EXPECT_FALSE(table.Insert(MakeRow(7, 100, 89)));
    table.Insert(MakeRow(2, 5, 32));
    table.BuildRowMap();
    ASSERT_EQ(table.GetRowCount(), 2);
    EXPECT_EQ(table.Row(0)->GetdwValue(ROW_TYPE), 2u);
    EXPECT_EQ(table.Row(1)->GetdwValue(ROW_DATATYPE), 83u);
    EXPECT_EQ(table.Row(2), nullptr);
}

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
    EXPECT_EQ(CDevRow::m_dwArPropertyTaxis[1], 1u);
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

// A legacy configuration with two rows, as the plain layer reads it.
std::vector<unsigned char> LegacyBlob(unsigned paramCount, bool withLimits, unsigned legacy3Values = 0)
{
    ZOLT_DATA state;
    CDevBas::mfCheckDevDataInit(state);
    DEV_DATA& dev = *state.m_pDevData;
    dev.m_arDevParam.SetSize(static_cast<int>(paramCount));
    for (unsigned i = 0; i < paramCount; ++i) dev.m_arDevParam[static_cast<int>(i)] = 500 + i;
    dev.m_arLegacy2.SetSize(2);
    dev.m_arLegacy2[1] = 77;
    dev.m_dwLegacyWord = 42;
    dev.m_arLegacy3.SetSize(static_cast<int>(legacy3Values));
    CDevRow d = MakeRow(7, 100, 83);
    d.StringAt(ROW_NAME) = "D0100";
    CDevRow m = MakeRow(2, 5, 32);
    dev.m_pTable->m_arRow.Add(d);
    dev.m_pTable->m_arRow.Add(m);
    if (withLimits) {
        for (int t = 0; t < REGISTER_TYPE_COUNT; ++t) dev.m_arTypeLimit[t] = 10 + static_cast<unsigned>(t);
    } else {
        dev.m_arTypeLimit.SetSize(0);
    }
    COwnerArchive archive;
    CDevBas::mfSerializeToOld(dev, archive);
    std::vector<unsigned char> blob(archive.GetData(), archive.GetData() + archive.GetPosition());
    CDevBas::mfDeleteMydata(state, nullptr);
    return blob;
}

class LegacyLayer : public CDevCtrl {
public:
    LegacyLayer() : CDevCtrl("PLC1", nullptr) {}
    int InitDevice(const unsigned char* data, int length) override { return CDevCtrl::InitDevice(data, length); }
    DEV_DATA* Dev() { return m_data.m_pDevData; }
};

TEST(LegacyConfig, RoundTripThroughThePlainLayer)
{
    const std::vector<unsigned char> blob = LegacyBlob(5, true);
    LegacyLayer layer;
    ASSERT_EQ(layer.InitDevice(blob.data(), static_cast<int>(blob.size())), 0);
    DEV_DATA& dev = *layer.Dev();
    ASSERT_EQ(dev.m_arDevParam.GetSize(), 5);
    EXPECT_EQ(dev.m_arDevParam[0], 500u);
    EXPECT_EQ(dev.m_arLegacy2[1], 77u);
    EXPECT_EQ(dev.m_dwLegacyWord, 42u);
    ASSERT_EQ(dev.m_pTable->m_arRow.GetSize(), 2);
    EXPECT_STREQ(dev.m_pTable->m_arRow[0].Name().c_str(), "D0100");
    EXPECT_EQ(dev.m_pTable->m_arRow[1].GetdwValue(ROW_TYPE), 2u);
    EXPECT_EQ(dev.m_arTypeLimit[33], 43u);
    EXPECT_EQ(layer.InitDevice(blob.data(), 0), static_cast<int>(0x80000001u));
    EXPECT_EQ(layer.InitDevice(nullptr, 5), static_cast<int>(0x80000001u));
}

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
    for (size_t cut = 1; cut < full.size(); ++cut) {
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
    const size_t rowCountAt = 2 + 4 + 16 + 4 + 8 + 4 + 4;
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
