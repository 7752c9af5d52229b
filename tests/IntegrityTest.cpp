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

// A read of one word is answered with 13 bytes; cut by 1 … 6 it holds 12 … 7.
TEST_F(Integrity, BitWriteAfterACutReadAnswerUsedToClearTheOther15Bits)
{
    for (int cut = 1; cut <= 6; ++cut) {
        memory.SetWord(d, 6, 0xFFFF);
        Build({MakeRow(REG_D, 6, 3)});
        comm.ClearRequests();
        comm.faults().cutBytes = cut;
        int zero = 0;
        layer->WriteChannel(0, DATATYPE_INT, &zero);
        EXPECT_EQ(memory.GetWord(d, 6), 0xFFFF) << "answer of " << 13 - cut << " bytes";
        EXPECT_EQ(Writes(), 0u) << "answer of " << 13 - cut << " bytes: nothing may be written";
        EXPECT_EQ(comm.requests().size(), 3u) << "three attempts, each only a read";
    }
}

TEST_F(Integrity, CollectionOfAnAnswerCutInItsEndCodeReportsTheEndCodeNotAByteCount)
{
    struct Case {
        int forcedEndCode, cut, status;
    };
    const Case cases[] = {
        {0xC051, 1, 100 + 0x51}, // 10 bytes: only the end code's low byte
        {0xC051, 2, 100},        // 9 bytes: no end code at all
        {0xC051, 4, 100},        // 7 bytes
        {-1, 2, -11},            // end code "0000" but no data: wrong length
        {-1, 1, -12},
    };
    for (const Case& c : cases) {
        memory.SetWord(d, 6, 4321);
        Build({MakeRow(REG_D, 6, CHLCODE_WUB)});
        Plan();
        store.channels.clear();
        comm.faults() = sim::Faults{};
        comm.faults().forcedEndCode = c.forcedEndCode;
        comm.faults().cutBytes = c.cut;
        EXPECT_EQ(Collect(), c.status) << c.forcedEndCode << " cut " << c.cut;
        EXPECT_TRUE(store.channels.empty()) << "no value from a failed read";
    }
}

TEST_F(Integrity, HostChannelsKeepTheirOwnTagsWhenAnEarlierChannelHasNoRow)
{
    // Host channel 0 names no tag, 1 is D11, 2 is D12 and 3 repeats D11.
    std::vector<TreeSerialize::NodeSpec> v;
    for (uint32_t i = 0; i < 3; ++i)
        v.push_back(Node(MakeVariable("[" + std::to_string(i) + "]", "v[" + std::to_string(i) + "]", 3, REG_D, 10 + i)));
    const auto blob =
        Blob(Node(MakeVariable("", "", 21, 0, 0), {Node(MakeVariable("v", "v", 21, 0, 0), v)}), {"missing", "v[1]", "v[2]", "v[1]"});
    KVSG::KVSGConvertLayer driver("PLC1", &store);
    driver.UpdataCommunication(&comm);
    ASSERT_EQ(driver.InitDevice(blob.data(), static_cast<int>(blob.size())), 0);

    struct Case {
        int channel, result;
        int address; // -1: nothing written
    };
    const Case cases[] = {{0, -1, -1}, {1, 0, 11}, {2, 0, 12}, {3, -1, -1}};
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

TEST_F(Integrity, DeviceNumbersBeyond24BitsUsedToAddressTheMaskedDevice)
{
    memory.SetWord(d, 100, 0x1234);
    Build({MakeRow(REG_D, 0x1000064, CHLCODE_WUB), MakeRow(REG_D, 0x1000064, 3, 3), MakeRow(REG_LZ, 0x1000001, CHLCODE_DUB)});
    for (int channel = 0; channel < 3; ++channel) {
        comm.ClearRequests();
        int value = 1;
        layer->WriteChannel(channel, DATATYPE_INT, &value);
        EXPECT_TRUE(comm.requests().empty()) << channel;
    }
    EXPECT_EQ(memory.GetWord(d, 100), 0x1234);
}

TEST_F(Integrity, ValuesBeyond32BitsSaturateInsteadOfWrapping)
{
    struct Case {
        double value;
        const char* data;
    };
    const Case cases[] = {{5e9, "FFFFFFFF"}, {-5e9, "00000080"}, {4294967295.0, "FFFFFFFF"}};
    for (const Case& c : cases) {
        Build({MakeRow(REG_D, 0, CHLCODE_DUB)});
        comm.ClearRequests();
        double value = c.value;
        layer->WriteChannel(0, DATATYPE_DOUBLE, &value);
        ASSERT_EQ(comm.requests().size(), 1u);
        const std::string frame = Hex(comm.requests()[0]);
        EXPECT_EQ(frame.substr(frame.size() - 8), c.data) << c.value;
    }
}

class MultiBitWrites : public Integrity {
protected:
    void SetUp() override
    {
        Integrity::SetUp();
        std::vector<TreeSerialize::NodeSpec> none;
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

TEST_F(MultiBitWrites, BitsOnBothSidesOfBit7UsedToSendMoreDataThanThePointCount)
{
    memory.SetWord(d, 100, 0x0000);
    EXPECT_EQ(driver->DevIOCtrl("WRITEP(D,100,BT06,3,a,b,c)"), 0);
    EXPECT_EQ(memory.GetWord(d, 100), 0x0140);
    EXPECT_EQ(LastWrite(), std::make_pair(1u, size_t{2})) << "one word, two bytes";
}

TEST_F(MultiBitWrites, BitsInTwoWordsUsedToWriteTheFirstWordsImageIntoTheSecond)
{
    memory.SetWord(d, 100, 0x00F0);
    memory.SetWord(d, 101, 0x1200);
    EXPECT_EQ(driver->DevIOCtrl("WRITEP(D,100,BT15,2,a,c)"), 0);
    EXPECT_EQ(memory.GetWord(d, 100), 0x80F0);
    EXPECT_EQ(memory.GetWord(d, 101), 0x1201);
    EXPECT_EQ(LastWrite(), std::make_pair(2u, size_t{4}));
}

TEST_F(MultiBitWrites, ABlockStartingWithANumberUsedToClearTheOtherBitsOfTheNextWord)
{
    memory.SetWord(d, 101, 0xFF00);
    EXPECT_EQ(driver->DevIOCtrl("WRITEBLOCK(D,100,[WUB][BT03],1,7,1)"), 0);
    EXPECT_EQ(memory.GetWord(d, 100), 7);
    EXPECT_EQ(memory.GetWord(d, 101), 0xFF08);
    EXPECT_EQ(LastWrite(), std::make_pair(2u, size_t{4}));
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
