// What the driver promises the host beyond values: how it drives the
// receive calls, when it pauses, how values are typed for the store, that
// it selects the device first, strings in both encodings and byte orders,
// and where a new plan starts.
#include <cstring>
#include <deque>
#include <functional>
#include <optional>

#include "support/EngineFixture.h"
#include "support/Hex.h"
#include "support/IconvBlocker.h"
#include "support/PauseRecorder.h"
#include "vi5z_uvevarov_ave/DevData.h"
#include "vi5z_uvevarov_ave/DevServer.h"
#include "vi5z_uvevarov_ave/ResultCodes.h"

using namespace testing_support;

namespace {

// A channel that answers from a script, one chunk per receive call, and
// records the length and time-out of every call.
class ScriptedComm : public ICommunication {
public:
    struct Chunk {
        std::vector<uint8_t> bytes;
        int lengthAfter;
        // What the call returns when not the byte count: a failure, or a
        // channel claiming more than it delivered.
        std::optional<int> returns{};
    };
    struct Call {
        int length, timeout;
        bool operator==(const Call& o) const { return length == o.length && timeout == o.timeout; }
    };
    int SendData(unsigned char*, int* length, int timeoutMs) override
    {
        sendTimeouts.push_back(timeoutMs);
        return *length;
    }
    int ReceiveData(unsigned char* data, int* length, int timeoutMs) override
    {
        calls.push_back({*length, timeoutMs});
        if (script.empty()) {
            *length = 0;
            return 0;
        }
        const Chunk chunk = script.front();
        script.pop_front();
        std::copy(chunk.bytes.begin(), chunk.bytes.end(), data);
        *length = chunk.lengthAfter;
        return chunk.returns.value_or(static_cast<int>(chunk.bytes.size()));
    }
    int PrepareSend() override { return 0; }
    int SelectDevice(char*) override { return 0; }
    int GetLinkKind() override { return 1; }

    std::deque<Chunk> script;
    std::vector<Call> calls;
    std::vector<int> sendTimeouts;
};

std::ostream& operator<<(std::ostream& out, const ScriptedComm::Call& c) { return out << "(" << c.length << ", " << c.timeout << ")"; }

class HostContract : public EngineFixture {
protected:
    const size_t d = *sim::AreaByName("D");
};

// The send and the first call of every receive pass wait the wait time;
// later calls of a pass 20 ms, with the length the channel left.
TEST_F(HostContract, SendAndEveryPassWaitTheWaitTimeLaterCalls20ms)
{
    ScriptedComm scripted;
    RowLayer row(&store, {MakeRow(REG_D, 100, CHLCODE_WUB)});
    ASSERT_EQ(row.Init(), 0);
    ASSERT_EQ(row.UpdataCommunication(&scripted), 0);
    row.Dev().m_arDevParam[PARAM_WAITTIME] = 300;
    const std::vector<uint8_t> answer = Bytes("D00000FFFF030002000000");
    // 5 bytes and "600 more" (cut to 512), 3 bytes and an end to the pass,
    // then the rest in a new pass.
    scripted.script = {{{answer.begin(), answer.begin() + 5}, 600},
                       {{answer.begin() + 5, answer.begin() + 8}, 0},
                       {{answer.begin() + 8, answer.end()}, 0}};
    int value = 1;
    EXPECT_EQ(row.WriteChannel(0, DATATYPE_INT, &value), 0);
    const std::vector<ScriptedComm::Call> expected = {{512, 300}, {512, 20}, {512, 300}};
    EXPECT_EQ(scripted.calls, expected);
    EXPECT_EQ(scripted.sendTimeouts, std::vector<int>{300});
}

// A 3E answer names no request: one that arrives after the wait time is
// taken by the next exchange, and from then on every read gets the answer to
// the request before it, unless the channel drops waiting bytes before it
// sends.
TEST_F(HostContract, ALateAnswerShiftsEveryLaterReadOnAChannelThatKeepsStaleBytes)
{
    for (const bool discards : {false, true}) {
        SCOPED_TRACE(discards ? "discarding channel" : "keeping channel");
        sim::DeviceMemory memory;
        sim::SlmpHandler handler{memory};
        sim::ModelComm model{handler};
        model.faults().discardOnPrepare = discards;
        model.faults().chunkBytes = 13; // each answer in a segment of its own
        memory.SetWord(d, 0, 1111);
        memory.SetWord(d, 5000, 2222);
        store.DeclareChannels(2, DATATYPE_DOUBLE);
        RowLayer row(&store, {MakeRow(REG_D, 0, CHLCODE_WUB), MakeRow(REG_D, 5000, CHLCODE_WUB)});
        ASSERT_EQ(row.Init(), 0);
        ASSERT_EQ(row.UpdataCommunication(&model), 0);
        const int flags[2] = {1, 1};
        ASSERT_EQ(row.ChannelRefChange(flags, 2), 0);
        model.faults().delayMs = 300; // beyond the 200 ms wait
        EXPECT_EQ(row.CollectDevData(flags, 2), 2);
        model.faults().delayMs = 0;
        for (int call = 0; call < 2; ++call) EXPECT_EQ(row.CollectDevData(flags, 2), 0);
        EXPECT_EQ(store.Number(0), 1111);
        EXPECT_EQ(store.Number(1), discards ? 2222 : 1111);
    }
}

// A receive pass that the channel ends with a failure hands over none of
// its bytes, even a whole answer: the read reports no response.
TEST_F(HostContract, APassEndedByAChannelFailureDeliversNothing)
{
    ScriptedComm scripted;
    store.DeclareChannels(1, DATATYPE_DOUBLE);
    RowLayer row(&store, {MakeRow(REG_D, 100, CHLCODE_WUB)});
    ASSERT_EQ(row.Init(), 0);
    ASSERT_EQ(row.UpdataCommunication(&scripted), 0);
    const int flags[1] = {1};
    ASSERT_EQ(row.ChannelRefChange(flags, 1), 0);
    scripted.script = {{Bytes("D00000FFFF0300040000000700"), 1}, {{}, 0, -1}};
    EXPECT_EQ(row.CollectDevData(flags, 1), 2);
    EXPECT_TRUE(store.channels.empty());
}

// One receive pass on its own: pieces are joined until the channel has
// nothing more, says the answer is complete, or fails; a failure is a
// failure whatever came before it.
TEST(ReceivePass, JoinsPiecesUntilTheChannelHasNoMoreSaysDoneOrFails)
{
    using Chunk = ScriptedComm::Chunk;
    using Call = ScriptedComm::Call;
    struct Case {
        const char* name;
        std::deque<Chunk> script;
        int result;
        std::vector<uint8_t> received;
        std::vector<Call> calls;
    };
    const std::vector<Case> cases = {
        {"nothing waiting", {}, 0, {}, {{512, 200}}},
        {"one piece, complete", {{{1, 2, 3}, 0}}, 3, {1, 2, 3}, {{512, 200}}},
        {"two pieces, the length the channel left passed on", {{{1, 2, 3}, 5}, {{4, 5}, 0}}, 5, {1, 2, 3, 4, 5}, {{512, 200}, {5, 20}}},
        {"a piece, then nothing more", {{{1, 2, 3}, 9}}, 3, {1, 2, 3}, {{512, 200}, {9, 20}}},
        {"a length above 512 cut to 512", {{{1}, 4000}, {{2}, 0}}, 2, {1, 2}, {{512, 200}, {512, 20}}},
        {"a failure after a piece", {{{1, 2, 3}, 5}, {{}, 0, -1}}, RECEIVE_FAILED, {1, 2, 3}, {{512, 200}, {5, 20}}},
        {"a channel claiming more than the buffer holds", {{{7}, 0, 600}}, 512, std::vector<uint8_t>(512, 0), {{512, 200}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedComm scripted;
        scripted.script = c.script;
        ZOLT_DATA data;
        data.m_pComm = &scripted;
        CByteArray out;
        out.Add(0xEE); // emptied first
        EXPECT_EQ(CDevServer::SvrReadTcpip(data, out), c.result);
        std::vector<uint8_t> received(out.GetData(), out.GetData() + out.GetSize());
        std::vector<uint8_t> expected = c.received;
        if (c.result == 512) expected[0] = 7; // the rest of the buffer was cleared
        EXPECT_EQ(received, expected);
        EXPECT_EQ(scripted.calls, c.calls);
    }
    // Without a channel nothing is touched.
    ZOLT_DATA none;
    CByteArray kept;
    kept.Add(0xEE);
    EXPECT_EQ(CDevServer::SvrReadTcpip(none, kept), RECEIVE_FAILED);
    EXPECT_EQ(kept.GetSize(), 1);
}

TEST_F(HostContract, QuickWritesAndCommandsArePausedFor5ms)
{
    PauseRecorder recorder;
    Build({MakeRow(REG_D, 100, CHLCODE_WUB)});
    int value = 1;
    layer->WriteChannel(0, DATATYPE_INT, &value);
    EXPECT_EQ(recorder.Pauses(), std::vector<unsigned>{5000});
    recorder.Clear();
    layer->DevIOCtrl("NOPE(1)");
    EXPECT_EQ(recorder.Pauses(), std::vector<unsigned>{5000}) << "a command that sends nothing is quick too";
    recorder.Clear();
    comm.faults().delayMs = 10;
    layer->WriteChannel(0, DATATYPE_INT, &value);
    EXPECT_TRUE(recorder.Pauses().empty()) << "a write that took 10 ms needs no pause";
    recorder.Clear();
    Collect();
    EXPECT_TRUE(recorder.Pauses().empty()) << "collection never pauses";
}

TEST_F(HostContract, ValuesAreTypedByTheStoresOwnChannelTypes)
{
    const float values[4] = {2.75f, -2.75f, 1.5f, 6.25f};
    for (unsigned i = 0; i < 4; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &values[i], 4);
        memory.SetDword(d, 2 * i, bits);
    }
    Build({MakeRow(REG_D, 0, CHLCODE_DF), MakeRow(REG_D, 2, CHLCODE_DF), MakeRow(REG_D, 4, CHLCODE_DF), MakeRow(REG_D, 6, CHLCODE_DF)});
    store.channelTypes = {{0, DATATYPE_INT}, {1, DATATYPE_INT}, {2, static_cast<DATATYPE>(7)}, {3, DATATYPE_DOUBLE}};
    Plan();
    ASSERT_EQ(Collect(), 0);
    ASSERT_TRUE(std::holds_alternative<int>(store.channels.at(0)));
    EXPECT_EQ(std::get<int>(store.channels.at(0)), 2) << "truncated toward zero";
    EXPECT_EQ(std::get<int>(store.channels.at(1)), -2) << "truncated toward zero";
    EXPECT_EQ(store.channels.count(2), 0u) << "an unknown type gets nothing";
    EXPECT_EQ(std::get<double>(store.channels.at(3)), 6.25);

    // A failing type query stops the mapping layer's hand-over and is
    // skipped by the core layer's.
    store.channels.clear();
    store.channelTypes.erase(1);
    ASSERT_EQ(Collect(), 0);
    EXPECT_EQ(store.channels.count(0), 1u);
    EXPECT_EQ(store.channels.count(3), 0u) << "stopped at channel 1";
    store.channels.clear();
    const std::vector<int> flags(4, 1);
    ASSERT_EQ(layer->CDevCtrl::CollectDevData(flags.data(), 4), 0);
    EXPECT_EQ(store.channels.count(0), 1u);
    EXPECT_EQ(store.channels.count(3), 1u) << "skipped channel 1 only";
}

TEST_F(HostContract, EveryOperationSelectsTheDeviceFirst)
{
    Build({MakeRow(REG_D, 0, CHLCODE_WUB)});
    struct Step {
        const char* name;
        std::function<void()> run;
    };
    int value = 1;
    const Step steps[] = {
        {"ChannelRefChange", [&] { Plan(); }},
        {"CollectDevData", [&] { Collect(); }},
        {"WriteChannel", [&] { layer->WriteChannel(0, DATATYPE_INT, &value); }},
        {"DevIOCtrl", [&] { layer->DevIOCtrl("NOPE(1)"); }},
    };
    for (const Step& step : steps) {
        const int before = comm.selects();
        step.run();
        EXPECT_EQ(comm.selects(), before + 1) << step.name;
        EXPECT_EQ(comm.selected(), "PLC1") << step.name;
    }
}

// A panel whose system has no iconv modules for GB18030 and UTF-16LE (a C
// library built without them): what the host sees.
TEST_F(HostContract, WithoutIconvModulesTextsReadEmptyAndWritesSendZeros)
{
    for (unsigned encoding : {0u, 1u}) {
        Build({MakeRow(REG_D, 300, CHLCODE_STRING, 4)}, DATATYPE_STRING);
        layer->Dev().m_arDevParam[PARAM_ENCODING] = encoding;
        memory.SetWord(d, 300, 0x4142);
        memory.SetWord(d, 301, 0x4344);
        const IconvBlocker noModules;
        Plan();
        ASSERT_EQ(Collect(), 0) << "the read itself succeeds";
        EXPECT_STREQ(store.Text(0).c_str(), "") << "the text arrives empty (zero bytes), encoding " << encoding;
        char text[] = "AB";
        ASSERT_EQ(layer->WriteChannel(0, DATATYPE_STRING, text), 0);
        EXPECT_EQ(memory.GetWord(d, 300), 0) << "the write sends zeros in place of the text, encoding " << encoding;
        EXPECT_EQ(memory.GetWord(d, 301), 0);
    }
}

TEST_F(HostContract, AFailedConversionOnAWriteSendsThePartialTextZeroPadded)
{
    Build({MakeRow(REG_D, 200, CHLCODE_STRING, 4)});
    char text[] = "A\xff";
    ASSERT_EQ(layer->WriteChannel(0, DATATYPE_STRING, text), 0);
    ASSERT_EQ(comm.requests().size(), 1u);
    EXPECT_EQ(Hex(comm.requests()[0]), "500000FFFF03001000100001140000C80000A8020041000000");
}

TEST_F(HostContract, AnErrorAnswerShorterThanTheDataAnswerEndsTheWaitAtOnce)
{
    // Five words are answered with 21 bytes; an error answer has 11 (its
    // header says so) and used to cost the whole wait time, cycle after cycle.
    Build({MakeRow(REG_D, 0, CHLCODE_WUB), MakeRow(REG_D, 4, CHLCODE_WUB)});
    Plan();
    comm.faults().forcedEndCode = 0xC051;
    const int before = comm.receiveCalls();
    const uint64_t start = Zolt_GetTickCount();
    EXPECT_EQ(Collect(), 100 + 0xC051);
    EXPECT_EQ(comm.receiveCalls() - before, 1) << "one receive pass, no polling to the end of the wait";
    EXPECT_EQ(Zolt_GetTickCount() - start, 0u) << "no virtual time spent waiting";
}

} // namespace
