// What must never happen unnoticed: a value from a read that did not
// complete, a write to controller memory the host did not name, a value
// delivered to another channel's row.
#include "support/BlobBuilder.h"
#include "support/EngineFixture.h"
#include "support/Hex.h"

using namespace testing_support;

namespace {

class Integrity : public EngineFixture {
protected:
    // Command bytes of a request: 0x0401 batch read, 0x1401 batch write.
    static unsigned Command(const std::vector<uint8_t>& request) { return request[11] | (request[12] << 8); }
    size_t Writes() const
    {
        size_t n = 0;
        for (const auto& r : comm.requests()) n += Command(r) == 0x1401 || Command(r) == 0x1402;
        return n;
    }
    const size_t d = *sim::AreaByName("D");
};

// A read of one word is answered with 13 bytes; cut by 1 … 6 it holds 12 …
// 7, and a missing end code is not "0000". Every operation fails on it:
// collection reports it and delivers nothing, a bit write (which reads the
// word first) writes nothing, a direct read cut in its end code leaves its
// host variable.
TEST_F(Integrity, AnAnswerCutAnywhereFailsEveryOperation)
{
    struct Case {
        int forcedEndCode, cut, status;
    };
    const Case cases[] = {
        {-1, 1, -12},            // "0000" but a byte of data missing: wrong length
        {-1, 2, -11},            // "0000" and no data
        {-1, 3, 100},            // only the end code's low byte
        {-1, 6, 100},            // 7 bytes: no end code at all
        {0xC051, 1, 100 + 0x51}, // 10 bytes of an error answer: the low byte
        {0xC051, 2, 100},
    };
    store.variables["st"] = 0.0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.forcedEndCode) + " cut " + std::to_string(c.cut));
        memory.SetWord(d, 7, 0xFFFF);
        Build({MakeRow(REG_D, 6, CHLCODE_WUB), MakeRow(REG_D, 7, 3)});
        Plan({1, 0});
        store.channels.clear();
        comm.faults().forcedEndCode = c.forcedEndCode;
        comm.faults().cutBytes = c.cut;
        EXPECT_EQ(Collect({1, 0}), c.status);
        EXPECT_TRUE(store.channels.empty()) << "no value from a failed read";
        comm.ClearRequests();
        int zero = 0;
        layer->WriteChannel(1, DATATYPE_INT, &zero);
        EXPECT_EQ(memory.GetWord(d, 7), 0xFFFF);
        EXPECT_EQ(Writes(), 0u) << "nothing may be written";
        EXPECT_EQ(comm.requests().size(), 3u) << "three attempts, each only a read";
        if (c.status < 100) continue;
        store.variables["out"] = 55.0;
        EXPECT_EQ(layer->DevIOCtrl("READ(D,6,WUB=out,st)"), c.status);
        EXPECT_EQ(std::get<double>(store.variables["out"]), 55.0);
    }
}

TEST_F(Integrity, HostChannelsKeepTheirOwnTagsWhenAnEarlierChannelHasNoRow)
{
    // Host channel 0 names no tag, 1 is D11, 2 is D12, 3 repeats D11 and 4 is an inner node.
    std::vector<TreeSerialize::NodeSpec> v;
    for (uint32_t i = 0; i < 3; ++i)
        v.push_back(Node(MakeVariable("[" + std::to_string(i) + "]", "v[" + std::to_string(i) + "]", 3, REG_D, 10 + i)));
    const auto blob =
        Blob(Node(MakeVariable("", "", 21, 0, 0), {Node(MakeVariable("v", "v", 21, 0, 0), v)}), {"missing", "v[1]", "v[2]", "v[1]", "v"});
    KVSG::KVSGConvertLayer driver("PLC1", &store);
    driver.UpdataCommunication(&comm);
    ASSERT_EQ(driver.InitDevice(blob.data(), static_cast<int>(blob.size())), 0);

    struct Case {
        int channel, result;
        int address; // -1: nothing written
    };
    const Case cases[] = {{0, -1, -1}, {1, 0, 11}, {2, 0, 12}, {3, -1, -1}, {4, -1, -1}};
    for (const Case& c : cases) {
        memory.SetWord(d, 11, 0);
        memory.SetWord(d, 12, 0);
        comm.ClearRequests();
        int value = 500 + c.channel;
        EXPECT_EQ(driver.WriteChannel(c.channel, DATATYPE_INT, &value), c.result) << c.channel;
        if (c.address < 0) {
            EXPECT_TRUE(comm.requests().empty()) << "channel " << c.channel << " has no tag to write";
            continue;
        }
        EXPECT_EQ(memory.GetWord(d, static_cast<unsigned>(c.address)), 500 + c.channel) << "channel " << c.channel;
        EXPECT_EQ(memory.GetWord(d, c.address == 11 ? 12u : 11u), 0) << "channel " << c.channel << " wrote another tag";
    }
    // Requests that cover an unbound channel are refused loudly.
    const int flags[4] = {1, 1, 1, 1};
    EXPECT_EQ(driver.ChannelRefChange(flags, 4), -1);
    EXPECT_EQ(driver.CollectDevData(flags, 4), -3);
}

TEST_F(Integrity, LongStringTagsMakeChannelsInsteadOfShiftingTheLaterOnes)
{
    struct Case {
        uint32_t storedType, length;
        uint32_t bytes; // the channel's string length
    };
    const Case cases[] = {{11, 40000, 80000}, {12, 0xFFFFFFFFu, 60}, {11, 0xFFFFFFFFu, 60}, {12, 70000, 70000}};
    for (const Case& c : cases) {
        const auto root =
            Node(MakeVariable("", "", 21, 0, 0), {Node(MakeVariable("s", "s", c.storedType, REG_D, 1000, 0xFFFFFFFFu, c.length)),
                                                  Node(MakeVariable("n", "n", 3, REG_D, 20))});
        const auto blob = Blob(root, {"s", "n"});
        KVSG::KVSGConvertLayer driver("PLC1", &store);
        driver.UpdataCommunication(&comm);
        ASSERT_EQ(driver.InitDevice(blob.data(), static_cast<int>(blob.size())), 0);
        ASSERT_EQ(driver.Table()->GetRowCount(), 2) << c.length;
        const CDevRow& text = *driver.Table()->Row(driver.HostToRow()[0]);
        EXPECT_EQ(text.GetdwValue(ROW_DATATYPE), static_cast<unsigned>(CHLCODE_STRING));
        EXPECT_EQ(text.GetdwValue(ROW_BIT), c.bytes);
        memory.SetWord(d, 20, 0);
        int value = 77;
        EXPECT_EQ(driver.WriteChannel(1, DATATYPE_INT, &value), 0);
        EXPECT_EQ(memory.GetWord(d, 20), 77) << "channel 1 writes its own tag";
    }
}

TEST_F(Integrity, ABlockNoRequestCanCarryIsRefusedAndMarkedFailed)
{
    struct Case {
        CDevRow row;
        int status;
        size_t requests;
    };
    const Case cases[] = {
        // 160 000 bytes are 80 000 words: more than a point count can say.
        {MakeRow(REG_D, 1000, CHLCODE_STRING, 160000), 1, 0},
        // 40 000 words fit the count; the controller refuses them itself.
        {MakeRow(REG_D, 1000, CHLCODE_STRING, 80000), 100 + 0xC051, 1},
        // A device number the frame's three bytes cannot hold.
        {MakeRow(REG_D, 0x1000064, CHLCODE_WUB), 1, 0},
        // A string of no bytes: a request for no points.
        {MakeRow(REG_D, 1000, CHLCODE_STRING, 0), 1, 0},
    };
    memory.SetWord(d, 100, 99);
    for (const Case& c : cases) {
        Build({c.row}, c.row.GetdwValue(ROW_DATATYPE) == CHLCODE_STRING ? DATATYPE_STRING : DATATYPE_DOUBLE);
        Plan();
        comm.ClearRequests();
        store.channels.clear();
        EXPECT_EQ(Collect(), c.status) << c.row.GetdwValue(ROW_ADDRESS);
        EXPECT_EQ(comm.requests().size(), c.requests);
        EXPECT_TRUE(store.channels.empty()) << "a failed rank delivers nothing";
        EXPECT_EQ(layer->CollectFlags()[1], 4) << "the channel is marked failed";
    }
}

// A write's 16-bit data length counts the bytes after it: a string whose
// request it cannot count would wrap it, and the rest of the operator's text
// would reach the controller as further requests.
TEST_F(Integrity, StringWritesWhoseDataLengthWouldWrapSendNothing)
{
    const struct {
        unsigned bytes;
        size_t writes;
    } cases[] = {{65522, 3}, {65524, 0}, {65530, 0}}; // the controller refuses 32 761 words: three attempts
    for (const auto& c : cases) {
        Build({MakeRow(REG_D, 1000, CHLCODE_STRING, c.bytes)}, DATATYPE_STRING);
        comm.ClearRequests();
        std::string text(c.bytes, 'A');
        layer->WriteChannel(0, DATATYPE_STRING, &text[0]);
        ASSERT_EQ(Writes(), c.writes) << c.bytes;
        if (c.writes) {
            EXPECT_EQ(comm.requests()[0][7] | comm.requests()[0][8] << 8, 0xFFFE) << "the largest length the field holds";
        }
    }
}

// Device numbers beyond the frame's three bytes used to address the masked
// device; the 8-bit codes fill no whole word, which a word write needs, and
// a code of no number gives no text at all.
TEST_F(Integrity, WritesNoFrameCanSayFaithfullySendNothing)
{
    memory.SetWord(d, 100, 0x1234);
    Build({MakeRow(REG_D, 0x1000064, CHLCODE_WUB), MakeRow(REG_D, 0x1000064, 3, 3), MakeRow(REG_LZ, 0x1000001, CHLCODE_DUB),
           MakeRow(REG_D, 100, CHLCODE_BUB), MakeRow(REG_D, 101, CHLCODE_BB), MakeRow(REG_D, 102, CHLCODE_BD), MakeRow(REG_D, 103, 90)});
    for (int channel = 0; channel < 7; ++channel) {
        comm.ClearRequests();
        int value = 1;
        EXPECT_EQ(layer->WriteChannel(channel, DATATYPE_INT, &value), 0) << "channel " << channel << " has its row";
        EXPECT_TRUE(comm.requests().empty()) << channel;
    }
    EXPECT_EQ(memory.GetWord(d, 100), 0x1234);
}

class MultiBitWrites : public Integrity {
protected:
    void SetUp() override
    {
        Integrity::SetUp();
        const auto blob = Blob(Node(MakeVariable("", "", 21, 0, 0), {Node(MakeVariable("x", "x", 3, REG_D, 0))}), {"x"});
        driver = std::make_unique<KVSG::KVSGConvertLayer>("PLC1", &store);
        driver->UpdataCommunication(&comm);
        ASSERT_EQ(driver->InitDevice(blob.data(), static_cast<int>(blob.size())), 0);
        for (const char* name : {"a", "b", "c"}) store.variables[name] = 1;
        store.variables["b"] = 0;
    }
    // The point count and the bytes of data of the last request.
    std::pair<unsigned, size_t> LastWrite() const
    {
        const std::vector<uint8_t>& r = comm.requests().back();
        return {static_cast<unsigned>(r[19] | (r[20] << 8)), r.size() - 21};
    }
    std::unique_ptr<KVSG::KVSGConvertLayer> driver;
};

// Bits of words written together: each word they touch written once, its
// other bits kept, the point count that of the words (each case once went
// wrong: more data than points, the first word's image in the second, a
// number clearing the next word's other bits).
TEST_F(MultiBitWrites, EachWordTouchedIsWrittenOnceWithItsOtherBitsKept)
{
    struct Case {
        const char* text;
        uint16_t before[2], after[2]; // D100, D101
        unsigned points;
        size_t bytes;
    };
    const Case cases[] = {
        {"WRITEP(D,100,BT06,3,a,b,c)", {0x0000, 0x0000}, {0x0140, 0x0000}, 1, 2},
        {"WRITEP(D,100,BT15,2,a,c)", {0x00F0, 0x1200}, {0x80F0, 0x1201}, 2, 4},
        {"WRITEBLOCK(D,100,[WUB][BT03],1,7,1)", {0x0000, 0xFF00}, {0x0007, 0xFF08}, 2, 4},
    };
    for (const Case& c : cases) {
        memory.SetWord(d, 100, c.before[0]);
        memory.SetWord(d, 101, c.before[1]);
        EXPECT_EQ(driver->DevIOCtrl(c.text), 0) << c.text;
        EXPECT_EQ(memory.GetWord(d, 100), c.after[0]) << c.text;
        EXPECT_EQ(memory.GetWord(d, 101), c.after[1]) << c.text;
        EXPECT_EQ(LastWrite(), std::make_pair(c.points, c.bytes)) << c.text;
    }
}

TEST_F(MultiBitWrites, SeveralPointsOfABitDevicePackTwoPointsAByte)
{
    const size_t m = *sim::AreaByName("M");
    memory.SetBit(m, 13, true);
    EXPECT_EQ(driver->DevIOCtrl("WriteMutiReg(M,10,3,BUB,1,0,1)"), 0);
    EXPECT_TRUE(memory.GetBit(m, 10));
    EXPECT_FALSE(memory.GetBit(m, 11));
    EXPECT_TRUE(memory.GetBit(m, 12));
    EXPECT_TRUE(memory.GetBit(m, 13)) << "a point no row names is not written";
    EXPECT_EQ(LastWrite(), std::make_pair(3u, size_t{2}));
}

} // namespace
