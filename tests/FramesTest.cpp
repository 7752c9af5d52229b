// Golden request frames, byte for byte, and the controller model's answers.
#include "support/EngineFixture.h"
#include "support/Hex.h"
#include "vi5z_uvevarov_ave/DevServer.h"

using namespace testing_support;

namespace {

class Frames : public EngineFixture {};

TEST_F(Frames, ReadRequestsForEachWordLengthClass)
{
    struct Case {
        std::vector<CDevRow> rows;
        const char* request;
        size_t responseBytes;
    };
    std::vector<CDevRow> d100;
    for (unsigned a = 100; a < 110; ++a) d100.push_back(MakeRow(REG_D, a, CHLCODE_WUB));
    std::vector<CDevRow> m20;
    for (unsigned a = 20; a <= 30; ++a) m20.push_back(MakeRow(REG_M, a, CHLCODE_BITDEVICE));
    const Case cases[] = {
        {d100, "500000FFFF03000C00100001040000640000A80A00", 31},
        {{MakeRow(REG_LZ, 0, CHLCODE_DUB)}, "500000FFFF03000C00100003040000000100000062", 15},
        {m20, "500000FFFF03000C001000010400001000009001 00", 13},
        {{MakeRow(REG_W, 0x1A, CHLCODE_WUB)}, "500000FFFF03000C001000010400001A0000B40100", 13},
    };
    for (const Case& c : cases) {
        comm.ClearRequests();
        Build(c.rows);
        Plan();
        ASSERT_EQ(Collect(), 0);
        ASSERT_EQ(comm.requests().size(), 1u);
        EXPECT_EQ(Hex(comm.requests()[0]), Hex(Bytes(c.request)));
        const std::vector<uint8_t> answer = handler.Handle(comm.requests()[0].data(), comm.requests()[0].size());
        EXPECT_EQ(answer.size(), c.responseBytes);
        EXPECT_EQ(Hex(std::vector<uint8_t>(answer.begin(), answer.begin() + 11)).substr(0, 14), "D00000FFFF0300");
    }
}

TEST_F(Frames, WriteRequestsForEachFrame)
{
    struct Case {
        CDevRow row;
        double value;
        const char* request;
    };
    const Case cases[] = {
        {MakeRow(REG_D, 100, CHLCODE_WUB), 1234, "500000FFFF03000E00100001140000640000A80100D204"},
        {MakeRow(REG_Y, 10, CHLCODE_BITDEVICE), 1, "500000FFFF03000D001000011401000A00009D010010"},
        {MakeRow(REG_Y, 10, CHLCODE_BITDEVICE), 0, "500000FFFF03000D001000011401000A00009D010000"},
        {MakeRow(REG_Y, 10, CHLCODE_BITDEVICE), 0.4, "500000FFFF03000D001000011401000A00009D010010"},
        {MakeRow(REG_LZ, 1, CHLCODE_DUB), 305419896, "500000FFFF0300100010000214000000010100006278563412"},
        {MakeRow(REG_LCN, 2, CHLCODE_DF), 1.5, "500000FFFF030010001000021400000001020000560000C03F"},
        {MakeRow(REG_D, 0, CHLCODE_DF), 1.0, "500000FFFF03001000100001140000000000A802000000803F"},
        {MakeRow(REG_D, 7, CHLCODE_DB), -2, "500000FFFF03001000100001140000070000A80200FEFFFFFF"},
    };
    for (const Case& c : cases) {
        comm.ClearRequests();
        Build({c.row});
        double value = c.value;
        EXPECT_EQ(layer->WriteChannel(0, DATATYPE_DOUBLE, &value), 0);
        ASSERT_EQ(comm.requests().size(), 1u);
        EXPECT_EQ(Hex(comm.requests()[0]), Hex(Bytes(c.request)));
    }
    EXPECT_EQ(memory.GetDword(*sim::AreaByName("LZ"), 1), 305419896u);
    EXPECT_EQ(memory.GetWord(*sim::AreaByName("D"), 100), 1234);
    EXPECT_EQ(memory.GetDword(*sim::AreaByName("D"), 7), 0xFFFFFFFEu);
}

TEST_F(Frames, BitInsideAWordIsReadModifiedAndWritten)
{
    const size_t d = *sim::AreaByName("D");
    memory.SetWord(d, 5, 0x0100);
    Build({MakeRow(REG_D, 5, 3)});
    int one = 1;
    EXPECT_EQ(layer->WriteChannel(0, DATATYPE_INT, &one), 0);
    ASSERT_EQ(comm.requests().size(), 2u);
    EXPECT_EQ(Hex(comm.requests()[0]), "500000FFFF03000C00100001040000050000A80100");
    EXPECT_EQ(Hex(comm.requests()[1]), "500000FFFF03000E00100001140000050000A801000801");
    EXPECT_EQ(memory.GetWord(d, 5), 0x0108);

    memory.SetWord(d, 5, 0xFFFF);
    int zero = 0;
    EXPECT_EQ(layer->WriteChannel(0, DATATYPE_INT, &zero), 0);
    EXPECT_EQ(memory.GetWord(d, 5), 0xFFF7) << "the other 15 bits stay";

    // A bit of a double word keeps the other 31 bits.
    const size_t lz = *sim::AreaByName("LZ");
    memory.SetDword(lz, 2, 0x80000001u);
    Build({MakeRow(REG_LZ, 2, 20)});
    EXPECT_EQ(layer->WriteChannel(0, DATATYPE_INT, &one), 0);
    EXPECT_EQ(memory.GetDword(lz, 2), 0x80100001u);
}

TEST_F(Frames, StringWritesByEncodingAndOrder)
{
    struct Case {
        unsigned encoding, order;
        const char* text;
        const char* data;
    };
    const Case cases[] = {
        {0, 1, "AB", "414200000000"}, {0, 0, "AB", "424100000000"},       {1, 1, "AB", "410042000000"},
        {1, 0, "AB", "004100420000"}, {0, 1, "ABCDEFGH", "414243444546"}, {0, 1, "中", "D6D000000000"},
    };
    for (const Case& c : cases) {
        comm.ClearRequests();
        Build({MakeRow(REG_D, 200, CHLCODE_STRING, 5)});
        layer->Dev().m_arDevParam[PARAM_ENCODING] = c.encoding;
        layer->Dev().m_arDevParam[PARAM_DECODEORDER] = c.order;
        EXPECT_EQ(layer->WriteChannel(0, DATATYPE_STRING, const_cast<char*>(c.text)), 0);
        ASSERT_EQ(comm.requests().size(), 1u);
        EXPECT_EQ(Hex(comm.requests()[0]), std::string("500000FFFF03001200100001140000C80000A80300") + c.data) << c.text;
    }
}

// The device reuses its exchange buffers: a request that is no hex text,
// after one that was, sends nothing at all, never the earlier bytes again.
TEST_F(Frames, ARequestThatIsNoHexTextSendsNothingAfterOneThatWas)
{
    Build({MakeRow(REG_D, 100, CHLCODE_WUB)});
    Plan();
    ASSERT_EQ(Collect(), 0);
    ASSERT_EQ(comm.requests().size(), 1u);
    for (const char* text : {"", "ABC", "500000FFFF03000C00100001040000640000A80A0"}) {
        CString response = "stale";
        EXPECT_EQ(CDevServer::SvrExchange(layer->State(), text, 13, response), ENGINE_NO_RESPONSE) << text;
        EXPECT_EQ(comm.requests().size(), 1u) << text;
        EXPECT_STREQ(response.c_str(), "") << text;
    }
    ASSERT_EQ(Collect(), 0);
    ASSERT_EQ(comm.requests().size(), 2u);
    EXPECT_EQ(Hex(comm.requests()[1]), Hex(comm.requests()[0]));
}

} // namespace
