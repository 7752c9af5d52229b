// Collection end to end: plan, cycle through the ranks, values in the
// value store equal to what the controller model holds; faults.
#include <cstring>

#include "support/EngineFixture.h"
#include "support/Hex.h"

using namespace testing_support;

namespace {

class Collection : public EngineFixture {};

uint32_t Pattern(int type) { return 0x00010203u * static_cast<uint32_t>(type + 1) + 7u; }

TEST_F(Collection, EveryRegisterClassReachesTheStore)
{
    handler.ServeEveryDevice(true); // the long timers too
    std::vector<CDevRow> rows;
    std::vector<double> expected;
    for (int type = 0; type < REGISTER_TYPE_COUNT; ++type) {
        const sim::DeviceArea& area = sim::DeviceAreas()[static_cast<size_t>(type)];
        const unsigned address = type == REG_Z ? 3 : (type == REG_LZ ? 1 : 5);
        switch (area.unit) {
        case sim::DeviceUnit::Bit:
            memory.SetBit(static_cast<size_t>(type), address, type % 2 == 0);
            rows.push_back(MakeRow(static_cast<unsigned>(type), address, CHLCODE_BITDEVICE));
            expected.push_back(type % 2 == 0 ? 1.0 : 0.0);
            break;
        case sim::DeviceUnit::Word:
            memory.SetWord(static_cast<size_t>(type), address, static_cast<uint16_t>(Pattern(type)));
            rows.push_back(MakeRow(static_cast<unsigned>(type), address, CHLCODE_WUB));
            expected.push_back(static_cast<uint16_t>(Pattern(type)));
            break;
        case sim::DeviceUnit::DoubleWord:
            memory.SetDword(static_cast<size_t>(type), address, Pattern(type) | 0x80000000u);
            rows.push_back(MakeRow(static_cast<unsigned>(type), address, CHLCODE_DUB));
            expected.push_back(Pattern(type) | 0x80000000u);
            break;
        }
    }
    Build(rows);
    Plan();
    EXPECT_EQ(layer->Dev().m_nRankNum, REGISTER_TYPE_COUNT);
    CollectAll();
    for (size_t h = 0; h < rows.size(); ++h) EXPECT_EQ(store.Number(static_cast<int>(h)), expected[h]) << "type " << h;
    EXPECT_EQ(comm.requests().size(), static_cast<size_t>(REGISTER_TYPE_COUNT));

    // Points of a bit device across a word boundary, in a block that does not
    // start on a multiple of 16: each from the word that holds it.
    const size_t m = *sim::AreaByName("M");
    rows.clear();
    for (unsigned point = 20; point < 40; ++point) {
        memory.SetBit(m, point, point % 3 == 0);
        rows.push_back(MakeRow(REG_M, point, CHLCODE_BITDEVICE));
    }
    Build(rows);
    Plan();
    comm.ClearRequests();
    CollectAll();
    ASSERT_EQ(comm.requests().size(), 1u);
    EXPECT_EQ(Hex(comm.requests()[0]).substr(30), "100000900200") << "two words from M16";
    for (unsigned point = 20; point < 40; ++point) EXPECT_EQ(store.Number(static_cast<int>(point - 20)), point % 3 == 0) << "M" << point;
    // Two points on either side of a word boundary: two words from M16.
    memory.SetBit(m, 32, true);
    Build({MakeRow(REG_M, 31, CHLCODE_BITDEVICE), MakeRow(REG_M, 32, CHLCODE_BITDEVICE)});
    Plan();
    CollectAll();
    EXPECT_EQ(store.Number(1), 1.0) << "M32";
}

TEST_F(Collection, EveryDataTypeCode)
{
    const size_t d = *sim::AreaByName("D"), lz = *sim::AreaByName("LZ");
    memory.SetWord(d, 0, 0xFF85);
    memory.SetWord(d, 1, 0x9999);
    memory.SetDword(d, 2, 0xFFFFFFFEu);
    memory.SetDword(d, 4, 0x12345678u);
    float pi = 3.5f;
    uint32_t piBits;
    std::memcpy(&piBits, &pi, 4);
    memory.SetDword(d, 6, piBits);
    memory.SetDword(lz, 0, 0x00100001u);
    memory.SetDword(lz, 1, 0x80000000u);
    struct Case {
        CDevRow row;
        double value;
    };
    const Case cases[] = {
        {MakeRow(REG_D, 0, CHLCODE_BUB), 0x85},
        {MakeRow(REG_D, 0, CHLCODE_BB, 1), -123},
        {MakeRow(REG_D, 0, CHLCODE_WUB, 2), 65413},
        {MakeRow(REG_D, 0, CHLCODE_WB, 3), -123},
        {MakeRow(REG_D, 1, CHLCODE_WD), 9999},
        {MakeRow(REG_D, 1, CHLCODE_BD, 1), 99},
        {MakeRow(REG_D, 2, CHLCODE_DUB), 4294967294.0},
        {MakeRow(REG_D, 2, CHLCODE_DB, 1), -2},
        {MakeRow(REG_D, 4, CHLCODE_DD), 12345678},
        {MakeRow(REG_D, 6, CHLCODE_DF), 3.5},
        {MakeRow(REG_D, 0, 0, 10), 1},
        {MakeRow(REG_D, 0, 1, 11), 0},
        {MakeRow(REG_D, 0, 15, 15), 1},
        {MakeRow(REG_LZ, 0, 0, 0), 1},
        {MakeRow(REG_LZ, 0, 20, 20), 1},
        {MakeRow(REG_LZ, 0, 21, 21), 0},
        {MakeRow(REG_LZ, 1, 31, 31), 1},
        {MakeRow(REG_LZ, 1, CHLCODE_DB), -2147483648.0},
    };
    std::vector<CDevRow> rows;
    for (const Case& c : cases) rows.push_back(c.row);
    Build(rows);
    Plan();
    CollectAll();
    for (size_t h = 0; h < rows.size(); ++h) EXPECT_EQ(store.Number(static_cast<int>(h)), cases[h].value) << "case " << h;
}

TEST_F(Collection, RanksCycleAndOnlyWantedRanksAreRead)
{
    Build({MakeRow(REG_D, 0, CHLCODE_WUB), MakeRow(REG_D, 100, CHLCODE_WUB), MakeRow(REG_M, 0, CHLCODE_BITDEVICE)});
    Plan();
    ASSERT_EQ(layer->Dev().m_nRankNum, 3);
    for (int call = 0; call < 6; ++call) ASSERT_EQ(Collect(), 0);
    ASSERT_EQ(comm.requests().size(), 6u);
    EXPECT_EQ(comm.requests()[0], comm.requests()[3]) << "after the last rank the cycle starts again";
    // A rank is wanted for a flag of exactly 1 on one of its rows.
    CArray<int, int> wanted;
    for (int f : {0, 1, 0, 3}) wanted.Add(f);
    EXPECT_EQ(layer->_InitCheckcollectFlag(wanted, 0), 1);
    EXPECT_EQ(layer->_InitCheckcollectFlag(wanted, 1) + layer->_InitCheckcollectFlag(wanted, 2), 0);
    // A reference change starts the cycle again.
    comm.ClearRequests();
    ASSERT_EQ(Collect(), 0);
    Plan();
    ASSERT_EQ(Collect(), 0);
    EXPECT_EQ(comm.requests()[0], comm.requests()[1]);
    comm.ClearRequests();
    EXPECT_EQ(Collect({0, 2, 0}), 0);
    EXPECT_TRUE(comm.requests().empty()) << "no flag of exactly 1: nothing is read";
    EXPECT_EQ(Collect({0, 1, 0}), 0);
    EXPECT_EQ(Collect({0, 1, 0}), 0);
    ASSERT_EQ(comm.requests().size(), 2u);
    EXPECT_EQ(comm.requests()[0], comm.requests()[1]);
    // In one rank, a positive flag other than 1 is handed over with the one
    // that asked; flags of 0 or below stay as they are.
    Build({MakeRow(REG_D, 0, CHLCODE_WUB), MakeRow(REG_D, 1, CHLCODE_WUB), MakeRow(REG_D, 2, CHLCODE_WUB), MakeRow(REG_D, 3, CHLCODE_WUB)});
    memory.SetWord(*sim::AreaByName("D"), 1, 41);
    Plan();
    store.channels.clear();
    EXPECT_EQ(Collect({1, 2, 0, -1}), 0);
    EXPECT_EQ(store.Number(1), 41);
    EXPECT_EQ(store.channels.count(2) + store.channels.count(3), 0u);
    EXPECT_EQ(std::vector<int>(layer->CollectFlags().GetData() + 1, layer->CollectFlags().GetData() + 5), (std::vector<int>{3, 3, 0, -1}));

    int flag = 1;
    EXPECT_EQ(layer->CollectDevData(&flag, 0), 0);
    RowLayer unmapped(&store, {});
    unmapped.Init();
    unmapped.UpdataCommunication(&comm);
    EXPECT_EQ(unmapped.CollectDevData(&flag, 1), -3);
}

TEST_F(Collection, WriteOnlyAndReadOnlyRows)
{
    const size_t d = *sim::AreaByName("D"), x = *sim::AreaByName("X");
    memory.SetWord(d, 1, 55);
    Build({MakeRow(REG_D, 0, CHLCODE_WUB), MakeRow(REG_D, 1, CHLCODE_WUB, 0, 1), MakeRow(REG_X, 2, CHLCODE_BITDEVICE, 0, 0),
           MakeRow(REG_D, 2, CHLCODE_WUB, 0, 1)});
    std::vector<int> refs = {1, 1, 1, 0};
    Plan(refs);
    CollectAll();
    EXPECT_EQ(store.Number(1), -12345.0) << "a write-only channel gets no value";
    EXPECT_EQ(layer->CollectFlags()[2], 3);
    comm.ClearRequests();
    int one = 1;
    EXPECT_EQ(layer->WriteChannel(2, DATATYPE_INT, &one), 0);
    EXPECT_TRUE(comm.requests().empty()) << "X is read-only";
    EXPECT_FALSE(memory.GetBit(x, 2));
    EXPECT_EQ(layer->WriteChannel(1, DATATYPE_INT, &one), 0);
    EXPECT_EQ(memory.GetWord(d, 1), 1);
}

struct FaultCase {
    const char* name;
    void (*inject)(sim::Faults&);
    int status;
};

class CollectFaults : public EngineFixture, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(CollectFaults, GiveTheStatusKeepTheOldValueAndRetryTheRank)
{
    const size_t d = *sim::AreaByName("D");
    memory.SetWord(d, 10, 111);
    Build({MakeRow(REG_D, 10, CHLCODE_WUB), MakeRow(REG_D, 11, CHLCODE_WUB), MakeRow(REG_D, 500, CHLCODE_WUB)});
    Plan();
    CollectAll();
    ASSERT_EQ(store.Number(0), 111);
    memory.SetWord(d, 10, 222);
    const std::vector<uint8_t> rankZero = comm.requests().front();
    comm.ClearRequests();

    GetParam().inject(comm.faults());
    EXPECT_EQ(Collect(), GetParam().status);
    EXPECT_EQ(store.Number(0), 111) << "the old value stays";
    EXPECT_EQ(layer->CollectFlags()[1], 4);
    EXPECT_EQ(layer->CollectFlags()[3], 1) << "other ranks untouched";

    comm.faults() = sim::Faults();
    EXPECT_EQ(Collect(), 0);
    ASSERT_FALSE(comm.requests().empty());
    EXPECT_EQ(comm.requests().back(), rankZero) << "the failed rank is read again";
    EXPECT_EQ(store.Number(0), 222);
}

INSTANTIATE_TEST_SUITE_P(Faults, CollectFaults,
                         ::testing::Values(FaultCase{"silence", [](sim::Faults& f) { f.silent = true; }, 2},
                                           FaultCase{"tooLate", [](sim::Faults& f) { f.delayMs = 400; }, 2},
                                           FaultCase{"notPrepared", [](sim::Faults& f) { f.prepareSendResult = 1; }, 2},
                                           FaultCase{"routing", [](sim::Faults& f) { f.wrongRouting = true; }, 3},
                                           FaultCase{"garbledStation", [](sim::Faults& f) { f.garbleAt = 6; }, 3},
                                           FaultCase{"endCode", [](sim::Faults& f) { f.forcedEndCode = 0xC051; }, 100 + 0xC051},
                                           FaultCase{"garbledEndCode", [](sim::Faults& f) { f.garbleAt = 10; }, 100 + 0xFF00},
                                           FaultCase{"staleBytes",
                                                     [](sim::Faults& f) {
                                                         f.staleBytes = {0xEE, 0xEE};
                                                     },
                                                     3}),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST_F(Collection, FailingWritesAreTriedThreeTimes)
{
    Build({MakeRow(REG_D, 0, CHLCODE_WUB)});
    comm.faults().forcedEndCode = 0xC056;
    int value = 9;
    EXPECT_EQ(layer->WriteChannel(0, DATATYPE_INT, &value), 0);
    EXPECT_EQ(comm.requests().size(), 3u);
    EXPECT_EQ(layer->WriteChannel(5, DATATYPE_INT, &value), -1);
    EXPECT_EQ(layer->WriteChannel(0, DATATYPE_INT, nullptr), static_cast<int>(0x80000001u));
    // A write answers the communication status the last collection left.
    Plan();
    EXPECT_EQ(Collect(), 100 + 0xC056);
    comm.faults().forcedEndCode = -1;
    EXPECT_EQ(layer->WriteChannel(0, DATATYPE_INT, &value), 100 + 0xC056);
    EXPECT_EQ(memory.GetWord(*sim::AreaByName("D"), 0), 9);
}

} // namespace
