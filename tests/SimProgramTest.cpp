// fx5-sim as a program, through a client written from the protocol alone:
// every command form over 3E and 4E, limits, memory files, bad input, and
// stopping with clients connected.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <thread>

#include <nlohmann/json.hpp>

#include "sim/TcpServer.h"
#include "tools/common/SimProcess.h"
#include "tools/fx5-sim/Replay.h"
#include "support/FileText.h"
#include "support/Hex.h"
#include "support/SlmpClient.h"
#include "support/TempPath.h"
#include "support/Tshark.h"

using namespace testing_support;

namespace {

std::vector<uint8_t> Device(uint8_t device, uint32_t number, unsigned count)
{
    std::vector<uint8_t> out;
    SlmpClient::PutDevice(out, device, number);
    SlmpClient::Put16(out, count);
    return out;
}

class SimFrames : public ::testing::TestWithParam<bool> {};

TEST_P(SimFrames, AClientOfAnotherOriginReadsAndWritesEveryForm)
{
    const std::string capture = TempPath(GetParam() ? "frames4e.pcap" : "frames3e.pcap");
    fx5::SimProcess sim(FX5_SIM_PATH, {"--capture", capture});
    ASSERT_TRUE(sim.Running());
    SlmpClient client(sim.Port(), GetParam());
    ASSERT_TRUE(client.Connected());

    // Batch, word units.
    EXPECT_EQ(client.WriteWords(code::D, 100, {1, 2, 0xFFFF}), 0);
    EXPECT_EQ(client.ReadWords(code::D, 100, 3), (std::vector<uint16_t>{1, 2, 0xFFFF}));
    // Batch, bit units, and the word view of the same points.
    EXPECT_EQ(client.WriteBits(code::M, 10, {true, false, true, true, false}), 0);
    EXPECT_EQ(client.ReadBits(code::M, 10, 5), (std::vector<bool>{true, false, true, true, false}));
    EXPECT_EQ(client.ReadWords(code::M, 0, 1), std::vector<uint16_t>{0x3400}) << "16 points a word, low point in the low bit";
    EXPECT_EQ(client.WriteWords(code::M, 16, {0x8001}), 0);
    EXPECT_EQ(client.ReadBits(code::M, 16, 16), (std::vector<bool>{true, false, false, false, false, false, false, false, false, false,
                                                                   false, false, false, false, false, true}));
    // Random write and read: a word and a double word, then bits.
    EXPECT_EQ(client.Request(0x1402, 0x0000, Bytes("0101 C80000A8 3412 CA0000A8 EFCDAB89")).endCode, 0);
    EXPECT_EQ(Hex(client.Request(0x0403, 0x0000, Bytes("0101 C80000A8 CA0000A8")).data), "3412EFCDAB89");
    EXPECT_EQ(client.Request(0x1402, 0x0001, Bytes("02 64000090 01 0500009D 01")).endCode, 0);
    EXPECT_EQ(client.ReadBits(code::M, 100, 1), std::vector<bool>{true});
    EXPECT_EQ(client.ReadBits(code::Y, 5, 1), std::vector<bool>{true});
    // Block write and read: a word block (D300, 2 points) and a bit-device block (M32, 1 word).
    EXPECT_EQ(client.Request(0x1406, 0x0000, Bytes("0101 2C0100A8 0200 0700 0800 20000090 0100 0300")).endCode, 0);
    EXPECT_EQ(Hex(client.Request(0x0406, 0x0000, Bytes("0101 2C0100A8 0200 20000090 0100")).data), "070008000300");
    EXPECT_EQ(client.ReadBits(code::M, 32, 3), (std::vector<bool>{true, true, false}));
    // Type name; a route to another station is refused, its routing echoed.
    const SlmpClient::Answer type = client.Request(0x0101, 0x0000, {});
    EXPECT_EQ(type.endCode, 0);
    EXPECT_EQ(std::string(type.data.begin(), type.data.begin() + 12), "FX5U-32MT/ES");
    EXPECT_EQ(std::vector<uint8_t>(type.data.begin() + 16, type.data.end()), (std::vector<uint8_t>{0x21, 0x4A})) << "the model code";
    for (const std::vector<uint8_t>& route : {std::vector<uint8_t>{0x01, 0xFF, 0xFF, 0x03, 0x00},
                                              {0x00, 0x02, 0xFF, 0x03, 0x00},
                                              {0x00, 0xFF, 0xE0, 0x03, 0x00},
                                              {0x00, 0xFF, 0xFF, 0x03, 0x05}}) {
        const SlmpClient::Answer routed = client.RequestRouted(route, 0x0401, 0x0000, Device(code::D, 100, 1));
        EXPECT_EQ(routed.endCode, 0xC05F);
        EXPECT_EQ(routed.routing, route);
    }
    // Remote operations: latch clear is refused while running.
    EXPECT_EQ(client.Request(0x1005, 0x0000, {0x01, 0x00}).endCode, 0x4013);
    // SM400 always ON, SM401 OFF; SD203 the state; SD210 on the clock's year.
    const uint8_t sm = 0x91, sd = 0xA9;
    EXPECT_EQ(client.WriteBits(sm, 400, {false, true}), 0) << "taken, and set back before the next request";
    EXPECT_EQ(client.ReadBits(sm, 400, 2), (std::vector<bool>{true, false}));
    EXPECT_EQ(client.ReadWords(sd, 203, 1), std::vector<uint16_t>{0});
    EXPECT_GE(client.ReadWords(sd, 210, 1).at(0), 2026);
    EXPECT_EQ(client.Request(0x1002, 0x0000, {0x01, 0x00}).endCode, 0);
    EXPECT_EQ(client.ReadWords(sd, 203, 1), std::vector<uint16_t>{2}) << "STOP";
    EXPECT_EQ(client.Request(0x1005, 0x0000, {0x01, 0x00}).endCode, 0);
    EXPECT_EQ(client.Request(0x1001, 0x0000, {0x01, 0x00, 0x00, 0x00}).endCode, 0);
    // Subcommands 0002/0003: a four-byte device number, a two-byte code.
    EXPECT_EQ(Hex(client.Request(0x0401, 0x0002, Bytes("64000000A800 0300")).data), "01000200FFFF");
    EXPECT_EQ(client.Request(0x1401, 0x0003, Bytes("0A0000009000 0200 01")).endCode, 0);
    EXPECT_EQ(client.ReadBits(code::M, 10, 2), (std::vector<bool>{false, true}));
    EXPECT_EQ(Hex(client.Request(0x0403, 0x0002, Bytes("0001 CA000000A800")).data), "EFCDAB89");
    EXPECT_EQ(Hex(client.Request(0x0406, 0x0002, Bytes("0100 64000000A800 0100")).data), "0100");
    EXPECT_EQ(client.Request(0x1402, 0x0003, Bytes("01 0A0000009000 01")).endCode, 0);
    EXPECT_EQ(client.ReadBits(code::M, 10, 1), std::vector<bool>{true});
#ifdef SLMP_DISSECTOR_PATH
    // The simulator's capture of all of it, through the dissector: every
    // command by name, devices as the engineering tool writes them, read
    // values beside their devices, answers matched to their requests.
    EXPECT_EQ(Tshark(capture, kNoFlagRaised, sim.Port()), "");
    const std::string fields =
        Tshark(capture, "-Y slmp -T fields -e slmp.frame -e slmp.subcommand -e slmp.value -e slmp.request_in -e _ws.col.Info", sim.Port());
    const std::string frame = GetParam() ? "4E\t" : "3E\t";
    for (const char* expected :
         {"Request: batch write words D100, 3 points", "Request: batch read bits M10, 5 points", "D102 = 65535", "M11 = 0",
          "Request: random write 2 points", "D202 = 2309737967", "Request: block write 2 blocks", "Request: block read 2 blocks",
          "D301 = 8,M32 (16 points) = 3", "Request: read type name", "Answer: end code C05F (a request the target cannot execute",
          "Request: remote latch clear", "Answer: end code 4013 (", "Request: remote STOP", "Request: remote RUN",
          "\t0x0002\t\t\tRequest: batch read words D100, 3 points", "Request: random write 1 point\n", "Y5 = 1"})
        EXPECT_NE(fields.find(expected), std::string::npos) << expected << "\n" << fields;
    EXPECT_EQ(fields.find("\n" + std::string(GetParam() ? "3E" : "4E")), std::string::npos) << "every frame of one form";
    EXPECT_EQ(fields.rfind(frame, 0), 0u);
#endif
}

INSTANTIATE_TEST_SUITE_P(Frames, SimFrames, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "4E" : "3E"; });

TEST(SimLimits, EveryLimitAnswersWithTheControllersEndCode)
{
    const std::string capture = TempPath("limits.pcap");
    fx5::SimProcess sim(FX5_SIM_PATH, {"--capture", capture});
    ASSERT_TRUE(sim.Running());
    SlmpClient client(sim.Port());
    struct Case {
        const char* what;
        uint16_t command, subcommand;
        std::vector<uint8_t> data;
        uint16_t endCode;
    };
    // `out` followed by `count` devices of one code, every second number
    // from `first`, each followed by `each`.
    const auto points = [](std::vector<uint8_t> out, uint8_t device, uint32_t first, unsigned count, std::vector<uint8_t> each) {
        for (unsigned i = 0; i < count; ++i) {
            SlmpClient::PutDevice(out, device, first + 2 * i);
            out.insert(out.end(), each.begin(), each.end());
        }
        return out;
    };
    // A random write of word and double-word points of D: within 1 920 bytes
    // at 12 a word point and 14 a double-word point.
    const auto randomWrite = [&points](uint8_t words, uint8_t dwords) {
        return points(points({words, dwords}, code::D, 0, words, {0, 0}), code::D, 2u * words, dwords, {0, 0, 0, 0});
    };
    const auto randomBits = [&points](uint8_t count) { return points({count}, code::M, 0, count, {1}); };
    // A block read of `count` one-word blocks of D.
    const auto blocks = [&points](uint8_t count) { return points({count, 0}, code::D, 0, count, {1, 0}); };
    const Case cases[] = {
        {"120 blocks", 0x0406, 0, blocks(120), 0},
        {"121 blocks", 0x0406, 0, blocks(121), 0xC051},
        {"3 584 bits", 0x0401, 1, Device(code::M, 0, 3584), 0},
        {"3 585 bits", 0x0401, 1, Device(code::M, 0, 3585), 0xC051},
        {"160 word points written at random", 0x1402, 0, randomWrite(160, 0), 0},
        {"161 word points written at random", 0x1402, 0, randomWrite(161, 0), 0xC054},
        {"150 word and 8 double-word points", 0x1402, 0, randomWrite(150, 8), 0},
        {"151 word and 8 double-word points", 0x1402, 0, randomWrite(151, 8), 0xC054},
        {"188 bit points written at random", 0x1402, 1, randomBits(188), 0},
        {"189 bit points written at random", 0x1402, 1, randomBits(189), 0xC054},
        {"a batch of a double-word device", 0x0401, 0, Device(code::LZ, 0, 2), 0xC05C},
        {"a long timer, which this controller lacks", 0x0403, 0, {0, 1, 0, 0, 0, 0x52}, 0xC05B},
        {"bit data other than 0 or 1", 0x1401, 1, Bytes("00000090 0300 1200"), 0xC060},
        {"bit data in the unused nibble", 0x1401, 1, Bytes("00000090 0300 1111"), 0xC060},
        {"a random bit write of 2", 0x1402, 1, {1, 5, 0, 0, code::M, 2}, 0xC060},
        {"RUN in mode 2", 0x1001, 0, {0x02, 0x00, 0x00, 0x00}, 0xC060},
        {"RUN with clear mode 3", 0x1001, 0, {0x01, 0x00, 0x03, 0x00}, 0xC060},
        {"STOP of the wrong length", 0x1002, 0, {0x01}, 0xC061},
        {"961 words", 0x0401, 0, Device(code::D, 0, 961), 0xC051},
        {"0 words", 0x0401, 0, Device(code::D, 0, 0), 0xC051},
        {"past D7999", 0x0401, 0, Device(code::D, 7999, 2), 0xC056},
        {"past X1777 (octal)", 0x0401, 1, Device(code::X, 01777, 2), 0xC056},
        {"M32752 in words: the last 16 points", 0x0401, 0, Device(code::M, 32752, 1), 0},
        {"M32753 in words: a point past M32767", 0x0401, 0, Device(code::M, 32753, 1), 0xC056},
        {"LZ12 does not exist", 0x0403, 0, {0, 1, 12, 0, 0, code::LZ}, 0xC056},
        {"unknown device code", 0x0401, 0, Device(0x01, 0, 1), 0xC05B},
        {"bit units on a word device", 0x0401, 1, Device(code::D, 0, 1), 0xC05C},
        {"data shorter than its count", 0x1401, 0, Bytes("000000A8 0200 01"), 0xC061},
        {"unsupported command", 0x0619, 0, {}, 0xC059},
        {"a block read of no block", 0x0406, 0, {0, 0}, 0xC051},
        {"a block read of one block", 0x0406, 0, {1, 0, 0, 0, 0, code::D, 1, 0}, 0},
        {"unsupported subcommand", 0x0401, 0x0080, Device(code::D, 0, 1), 0xC059},
        {"a bit write of a word device", 0x1401, 1, Bytes("000000A8 0100 10"), 0xC05C},
        {"a bit write of no point", 0x1401, 1, Bytes("00000090 0000"), 0xC051},
        {"a bit write past M32767", 0x1401, 1, Bytes("FF7F0090 0200 11"), 0xC056},
        {"a word write past D7999", 0x1401, 0, Bytes("3F1F00A8 0200 0000 0000"), 0xC056},
        {"a batch read of a device alone", 0x0401, 0, Bytes("000000A8"), 0xC061},
        {"a random read of one byte", 0x0403, 0, {1}, 0xC061},
        {"a random read shorter than its count", 0x0403, 0, {1, 0}, 0xC061},
        {"a random write past D7999", 0x1402, 0, Bytes("0100 401F00A8 0000"), 0xC056},
        {"a random bit write of nothing", 0x1402, 1, {}, 0xC061},
        {"a random bit write shorter than its count", 0x1402, 1, Bytes("02 00000090 01"), 0xC061},
        {"a random bit write of a word device", 0x1402, 1, Bytes("01 000000A8 01"), 0xC05C},
        {"a random bit write past M32767", 0x1402, 1, Bytes("01 008000 90 01"), 0xC056},
        {"a read past W7FFF", 0x0401, 0, Bytes("008000 B4 0100"), 0xC056},
        {"a block read of one byte", 0x0406, 0, {0}, 0xC061},
        {"a block read with its block cut", 0x0406, 0, Bytes("0100 000000"), 0xC061},
        {"a word block of a bit device", 0x0406, 0, Bytes("0100 00000090 0100"), 0xC05C},
        {"a block of no word", 0x0406, 0, Bytes("0100 000000A8 0000"), 0xC051},
        {"blocks of 962 words", 0x0406, 0, Bytes("0200 000000A8 E101 000400A8 E101"), 0xC051},
        {"a block read with bytes after its blocks", 0x0406, 0, Bytes("0100 000000A8 0100 00"), 0xC061},
        {"a block past D7999", 0x0406, 0, Bytes("0100 401F00A8 0100"), 0xC056},
        {"a block write without its words", 0x1406, 0, Bytes("0100 000000A8 0100"), 0xC061},
        {"the type name with data", 0x0101, 0, {0}, 0xC061},
        {"bit units of a write", 0x1406, 1, {}, 0xC059},
        {"bit units of a random read", 0x0403, 1, {}, 0xC059},
        {"bit units of a block read", 0x0406, 1, {}, 0xC059},
        {"a type name subcommand", 0x0101, 1, {}, 0xC059},
        {"a remote subcommand", 0x1001, 1, {}, 0xC059},
        {"a write subcommand", 0x1401, 0x0080, {}, 0xC059},
        {"a random write subcommand", 0x1402, 0x0080, {}, 0xC059},
        {"PAUSE", 0x1003, 0, {0x01, 0x00}, 0},
    };
    for (const Case& c : cases) {
        const SlmpClient::Answer answer = client.Request(c.command, c.subcommand, c.data);
        ASSERT_TRUE(answer.received) << c.what;
        EXPECT_EQ(answer.endCode, c.endCode) << c.what;
    }
    // The long timers are served with --every-device (the driver's own tests use them).
    fx5::SimProcess every(FX5_SIM_PATH, {"--every-device"});
    ASSERT_TRUE(every.Running());
    EXPECT_EQ(SlmpClient(every.Port()).Request(0x0403, 0, {0, 1, 0, 0, 0, 0x52}).endCode, 0);
#ifdef SLMP_DISSECTOR_PATH
    // The dissector warns of the batches over the controller's limits.
    EXPECT_EQ(Tshark(capture, "-Y slmp.points_over_limit -T fields -e _ws.col.Info", sim.Port()),
              "Request: block read 121 blocks\nRequest: batch read bits M0, 3585 points\nRequest: batch read words D0, 961 points\n");
#endif
}

// A replayed 4E answer carries the serial number of the request it answers,
// in its first piece only: a later piece is sent as recorded.
TEST(SimReplay, A4EAnswerTakesTheSerialOfTheRequestItAnswers)
{
    const std::vector<uint8_t> asked = Bytes("5400 3412 0000 00FFFF0300 0C00 1000 0104 0000 000000A8 0100");
    fx5::CapturedStream stream;
    stream.segments = {{0.0, true, asked}, {0.01, false, Bytes("D400 3412 0000 00FFFF0300")}, {0.02, false, Bytes("0400 0000 3412")}};
    fx5sim::Replay replay;
    std::string error;
    ASSERT_TRUE(replay.Load({stream}, error)) << error;
    std::vector<uint8_t> request = asked;
    request[19] = 1; // D1: another request, however its serial
    EXPECT_TRUE(replay.Next(request.data(), request.size()).unanswerable);
    request[19] = 0;
    request[2] = 0x78;
    const sim::PlayedAnswer answer = replay.Next(request.data(), request.size());
    ASSERT_EQ(answer.pieces.size(), 2u);
    EXPECT_EQ(Hex(answer.pieces[0].second), "D400"
                                            "7812"
                                            "0000"
                                            "00FFFF0300");
    EXPECT_EQ(Hex(answer.pieces[1].second), "040000003412");
    // Each piece after the pause that came before it.
    EXPECT_EQ(answer.pieces[0].first, 10u);
    EXPECT_EQ(answer.pieces[1].first, 10u);
}

TEST(SimMemory, SeedFileLoadsAndSaveWritesBackTheSameForm)
{
    const std::string seed = testing_support::TempPath("fx5sim-seed.json"), saved = testing_support::TempPath("fx5sim-saved.json");
    std::ofstream(seed)
        << R"({"D0": 7, "D100": 1234, "D210": 9, "D200": {"dword": 305419896}, "D300": {"float": 1.5}, "D400": {"string": "ABC"},
                              "M5": true, "D5.3": true, "D6.2": 1, "X17": 1, "W1F": 31, "LZ1": 70000, "LZ2.17": true})";
    fx5::SimProcess sim(FX5_SIM_PATH, {"--memory", seed, "--save", saved});
    ASSERT_TRUE(sim.Running());
    SlmpClient client(sim.Port());
    EXPECT_EQ(client.ReadWords(code::D, 100, 1), std::vector<uint16_t>{1234});
    EXPECT_EQ(client.ReadWords(code::D, 200, 2), (std::vector<uint16_t>{0x5678, 0x1234}));
    EXPECT_EQ(client.ReadWords(code::D, 300, 2), (std::vector<uint16_t>{0x0000, 0x3FC0}));
    EXPECT_EQ(client.ReadWords(code::D, 400, 2), (std::vector<uint16_t>{0x4241, 0x0043}));
    EXPECT_EQ(client.ReadWords(code::D, 5, 2), (std::vector<uint16_t>{8, 4}));
    EXPECT_EQ(client.ReadBits(code::X, 15, 1), std::vector<bool>{true}) << "X17 is device 15";
    EXPECT_EQ(client.ReadWords(code::W, 31, 1), std::vector<uint16_t>{31}) << "W1F is device 31";
    EXPECT_EQ(Hex(client.Request(0x0403, 0, {0, 1, 2, 0, 0, code::LZ}).data), "00000200") << "LZ2.17";
    EXPECT_EQ(client.WriteWords(code::D, 101, {5}), 0);
    EXPECT_EQ(sim.Stop().status, 0);
    // Every entry in the form it was given; what the simulator computes
    // (SM400, the clock) is not saved.
    const nlohmann::json back = nlohmann::json::parse(testing_support::FileText(saved), nullptr, false);
    EXPECT_EQ(back,
              nlohmann::json::parse(R"({"D0": 7, "D100": 1234, "D101": 5, "D210": 9, "D200": {"dword": 305419896}, "D300": {"float": 1.5},
                                              "D400": {"string": "ABC"}, "M5": true, "D5.3": true, "D6.2": true, "X17": true, "W1F": 31,
                                              "LZ1": 70000, "LZ2.17": true})"));

    // The saved file seeds the same memory again.
    fx5::SimProcess again(FX5_SIM_PATH, {"--memory", saved});
    ASSERT_TRUE(again.Running());
    SlmpClient second(again.Port());
    EXPECT_EQ(second.ReadWords(code::D, 100, 2), (std::vector<uint16_t>{1234, 5}));
    EXPECT_EQ(second.ReadWords(code::D, 200, 2), (std::vector<uint16_t>{0x5678, 0x1234}));

    // Memory not all saved ends the simulator with status 1, not 0.
    fx5::SimProcess full(FX5_SIM_PATH, {"--save", "/dev/full"});
    ASSERT_TRUE(full.Running());
    EXPECT_EQ(full.Stop().status, 1);
}

TEST(SimUsage, MistakesExitWithAStatusAndAMessage)
{
    const std::string bad = testing_support::TempPath("fx5sim-bad.json");
    std::ofstream(bad) << R"({"D100": 1, "Q7": 2})";
    const std::string huge = testing_support::TempPath("fx5sim-huge.json");
    std::ofstream(huge) << R"({"D100": 1e999})";
    const std::string kind = testing_support::TempPath("fx5sim-kind.json"), wide = testing_support::TempPath("fx5sim-wide.json");
    std::ofstream(kind) << R"({"D100": {"bogus": 1}})";
    std::ofstream(wide) << R"({"D100": 70000})";
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"--port", "70000"}, 2, "--port"},
        {{"--end-code", "XYZ"}, 2, "--end-code"},
        {{"--no-such-option"}, 2, "no-such-option"},
        {{"--port", "0", "--memory", bad}, 1, "/Q7: not a device address"},
        {{"--port", "0", "--memory", huge}, 1, "fx5sim-huge.json: not JSON: "},
        {{"--port", "0", "--memory", "/nonexistent.json"}, 1, "/nonexistent.json: cannot be read"},
        {{"--port", "0", "--memory", kind}, 1, "expected {\"dword\": integer}, {\"float\": number} or {\"string\": text}"},
        {{"--port", "0", "--memory", wide}, 1, "a word holds -32768 … 65535"},
        {{"--port", "0", "--animate", "--pattern"}, 2, "--animate and --pattern both write D0: choose one"},
        {{"--port", "0", "--replay", "/nonexistent.pcap"}, 1, "/nonexistent.pcap: "},
        {{"--port", "0", "--capture", "/nonexistent/x.pcap"}, 1, "/nonexistent/x.pcap: cannot write the capture: "},
    };
    for (const Case& c : cases) {
        std::string errors;
        EXPECT_EQ(fx5::RunToEnd(FX5_SIM_PATH, c.args, errors), c.status) << c.args[0];
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
    }
    // A program that cannot be started never passes for one that ran and succeeded.
    std::string errors;
    EXPECT_EQ(fx5::RunToEnd("/nonexistent", {}, errors), 127);
}

// Faults switched line by line on standard input: each line acknowledged
// and in force for the next request, a value past its limit refused with the
// faults before it left in force.
TEST(SimUsage, FaultsSwitchFromStandardInputWithinTheirLimits)
{
    fx5::SimProcess sim(FX5_SIM_PATH, {"--faults-from-stdin"});
    ASSERT_TRUE(sim.Running());
    SlmpClient client(sim.Port());
    struct Step {
        const char* line;
        const char* answer; // the line it prints
        uint16_t endCode;   // of the next request
    };
    const Step steps[] = {
        {"end-code=FFFF", "faults: end-code=FFFF", 0xFFFF},
        {"end-code=10000", "faults: 'end-code=10000' is not one of", 0xFFFF},
        {"delay=3600001", "faults: 'delay=3600001' is not one of", 0xFFFF},
        {"close-after=-1", "faults: 'close-after=-1' is not one of", 0xFFFF},
        {"delay=3600000 none end-code=C051", "faults: delay=3600000 none end-code=C051", 0xC051},
        {"wrong-routing split", "faults: wrong-routing split", 0},
        {"none", "faults: none", 0},
    };
    for (const Step& s : steps) {
        std::string answer;
        ASSERT_TRUE(sim.WriteLine(s.line));
        ASSERT_TRUE(sim.ReadLine(answer, 2000)) << s.line;
        EXPECT_EQ(answer.rfind(s.answer, 0), 0u) << answer;
        const SlmpClient::Answer next = client.Request(0x0401, 0, Device(code::D, 0, 1));
        EXPECT_TRUE(next.received) << s.line;
        EXPECT_EQ(next.endCode, s.endCode) << s.line;
    }
    // Two lines in one write: each taken whole, the last one counts.
    std::string first, second;
    ASSERT_TRUE(sim.WriteLine("end-code=C050\nend-code=C059"));
    ASSERT_TRUE(sim.ReadLine(first, 2000) && sim.ReadLine(second, 2000));
    EXPECT_EQ(first + "|" + second, "faults: end-code=C050|faults: end-code=C059");
    EXPECT_EQ(client.Request(0x0401, 0, Device(code::D, 0, 1)).endCode, 0xC059);
}

// A remote password locks every connection until it unlocks with it; lock
// and a new connection lock again.
TEST(SimUsage, ARemotePasswordLocksEachConnectionUntilItUnlocks)
{
    fx5::SimProcess sim(FX5_SIM_PATH, {"--password", "secret1"});
    ASSERT_TRUE(sim.Running());
    const auto password = [](const std::string& text) {
        std::vector<uint8_t> data;
        SlmpClient::Put16(data, static_cast<unsigned>(text.size()));
        data.insert(data.end(), text.begin(), text.end());
        return data;
    };
    const auto read = [](SlmpClient& c) { return c.Request(0x0401, 0, Device(code::D, 0, 1)).endCode; };
    SlmpClient first(sim.Port()), second(sim.Port());
    EXPECT_EQ(read(first), 0xC201);
    EXPECT_EQ(first.Request(0x1630, 0, password("secret2")).endCode, 0xC200);
    EXPECT_EQ(first.Request(0x1630, 0, password("secret1")).endCode, 0);
    EXPECT_EQ(read(first), 0);
    EXPECT_EQ(read(second), 0xC201) << "each connection unlocks itself";
    EXPECT_EQ(first.Request(0x1631, 0, password("secret1")).endCode, 0);
    EXPECT_EQ(read(first), 0xC201);
    std::string errors;
    EXPECT_EQ(fx5::RunToEnd(FX5_SIM_PATH, {"--password", "short"}, errors), 2);
}

// A remote RESET: refused while running; in STOP it clears the memory but
// the latch relays, drops every connection and restarts in RUN.
TEST(SimUsage, ARemoteResetRestartsTheCpuAndDropsEveryConnection)
{
    fx5::SimProcess sim(FX5_SIM_PATH, {"--verbose"});
    ASSERT_TRUE(sim.Running());
    SlmpClient client(sim.Port()), other(sim.Port());
    ASSERT_EQ(client.WriteWords(code::D, 0, {42}), 0);
    ASSERT_EQ(client.WriteBits(0x92, 3, {true}), 0); // L3
    EXPECT_EQ(client.Request(0x1006, 0, {0x01, 0x00}).endCode, 0x4013) << "not while running";
    EXPECT_EQ(client.Request(0x1002, 0, {0x01, 0x00}).endCode, 0);
    EXPECT_EQ(client.Request(0x1006, 0, {0x01, 0x00}).endCode, 0) << "answered before the drop";
    EXPECT_TRUE(client.ClosedByPeer(2000));
    EXPECT_TRUE(other.ClosedByPeer(2000));
    // A connection while it restarts is refused, and the request log says why.
    SlmpClient early(sim.Port());
    EXPECT_TRUE(early.ClosedByPeer(2000));
    std::string line;
    bool logged = false;
    while (!logged && sim.ReadLine(line, 2000)) logged = line.find("closed: the CPU restarts after a remote RESET") != std::string::npos;
    EXPECT_TRUE(logged);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    SlmpClient after(sim.Port());
    EXPECT_EQ(after.ReadWords(code::D, 0, 1), std::vector<uint16_t>{0});
    EXPECT_EQ(after.ReadBits(0x92, 3, 1), std::vector<bool>{true}) << "latched";
    EXPECT_EQ(after.ReadWords(0xA9, 203, 1), std::vector<uint16_t>{0}) << "back in RUN";
}

// With a scan time a request waits for the end of the scan: one answer a
// scan a connection. (A lower bound: a busy machine only adds to it.)
TEST(SimUsage, WithAScanTimeEachRequestWaitsForTheEndOfTheScan)
{
    fx5::SimProcess sim(FX5_SIM_PATH, {"--scan-ms", "40"});
    ASSERT_TRUE(sim.Running());
    SlmpClient client(sim.Port());
    ASSERT_EQ(client.ReadWords(code::D, 0, 1).size(), 1u);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) ASSERT_EQ(client.ReadWords(code::D, 0, 1).size(), 1u);
    // Consecutive scan ends are at least 0.8 scans apart.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5 * 32));
    // And at most 1.2: a request never waits past the end of the scan it came in.
    for (const unsigned scanMs : {1u, 10u, 40u}) {
        int64_t last = 0;
        for (int64_t at = 0; at < 200 * 1000 * int64_t{scanMs}; at += 997 * scanMs / 10 + 1) {
            const int64_t end = sim::TcpServer::ScanEndUs(scanMs, at);
            ASSERT_GE(end, std::max(at, last)) << scanMs << " ms at " << at;
            ASSERT_LE(end - at, 1200 * int64_t{scanMs}) << scanMs << " ms at " << at;
            last = end;
        }
    }
}

TEST(SimAnimation, TheDocumentedDevicesMove)
{
    fx5::SimProcess sim(FX5_SIM_PATH, {"--animate"});
    ASSERT_TRUE(sim.Running());
    SlmpClient client(sim.Port());
    // One read is one moment: D1 ramps with D0, D10 on shows its seconds,
    // each tick through the second where tenths and seconds part.
    uint16_t seen = 0;
    for (int i = 0; i < 150 && seen < 22; ++i) {
        const std::vector<uint16_t> now = client.ReadWords(code::D, 0, 13);
        ASSERT_EQ(now.size(), 13u);
        EXPECT_EQ(now[1], now[0] % 101);
        std::string text;
        for (size_t w = 10; w < 13; ++w) text += {static_cast<char>(now[w] & 0xFF), static_cast<char>(now[w] >> 8)};
        EXPECT_EQ(text.c_str(), "T=" + std::to_string(now[0] / 10));
        seen = now[0];
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    EXPECT_GE(seen, 22) << "D0 counts every 100 ms";
}

TEST(SimRobustness, BadClientsCostOnlyTheirOwnConnection)
{
    fx5::SimProcess sim(FX5_SIM_PATH, {"--max-clients", "256"});
    ASSERT_TRUE(sim.Running());
    SlmpClient good(sim.Port());
    ASSERT_EQ(good.WriteWords(code::D, 0, {42}), 0);

    SlmpClient garbage(sim.Port());
    garbage.SendRaw({'G', 'E', 'T', ' ', '/', '\r', '\n'});
    EXPECT_TRUE(garbage.ClosedByPeer(2000)) << "bytes that are not a frame";
    SlmpClient liar(sim.Port());
    liar.SendRaw({0x50, 0x00, 0x00, 0xFF, 0xFF, 0x03, 0x00, 0xFF, 0xFF});
    EXPECT_TRUE(liar.ClosedByPeer(2000)) << "a length no controller takes";
    SlmpClient half(sim.Port());
    half.SendRaw({0x50, 0x00, 0x00, 0xFF, 0xFF, 0x03, 0x00, 0x0C, 0x00, 0x10});
    SlmpClient mute(sim.Port());
    EXPECT_EQ(good.ReadWords(code::D, 0, 1), std::vector<uint16_t>{42}) << "served beside a half frame and a mute client";

    // 64 clients at once, one of them flooding; twice, to see memory stay flat.
    long rssAfterFirst = 0;
    for (int round = 0; round < 2; ++round) {
        std::vector<std::unique_ptr<SlmpClient>> crowd;
        for (int i = 0; i < 63; ++i) crowd.push_back(std::make_unique<SlmpClient>(sim.Port()));
        std::atomic<bool> flooding{true};
        std::thread flood([&] {
            SlmpClient flooder(sim.Port());
            flooder.SetSendTimeout(50);
            const std::vector<uint8_t> request = Bytes("500000FFFF0300 0C00 1000 0104 0000 000000A8 C003"); // D0, 960 words
            std::vector<uint8_t> many;
            for (int i = 0; i < 64; ++i) many.insert(many.end(), request.begin(), request.end());
            while (flooding) flooder.SendRaw(many);
        });
        for (int i = 0; i < 63; ++i) {
            ASSERT_TRUE(crowd[static_cast<size_t>(i)]->Connected());
            EXPECT_EQ(crowd[static_cast<size_t>(i)]->ReadWords(code::D, 0, 1), std::vector<uint16_t>{42}) << "client " << i;
        }
        flooding = false;
        flood.join();
        crowd.clear();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (round == 0) rssAfterFirst = sim.RssKb();
    }
    const long rssAfterSecond = sim.RssKb();
#ifndef __SANITIZE_ADDRESS__
    // (AddressSanitizer keeps freed memory in quarantine, and an emulator's
    // own translation cache counts in the RSS it reports: both grow.)
    if (!std::getenv("ZOLT_EMULATED")) {
        EXPECT_LT(rssAfterSecond, rssAfterFirst + 2048) << "RSS " << rssAfterFirst << " KiB, then " << rssAfterSecond << " KiB";
    }
#endif
    std::cout << "[          ] simulator RSS after 64 clients: " << rssAfterFirst << " KiB, after 64 more: " << rssAfterSecond << " KiB\n";
    EXPECT_EQ(good.ReadWords(code::D, 0, 1), std::vector<uint16_t>{42});
}

TEST(SimLifecycle, SigtermWithClientsConnectedEndsCleanlyWithinASecond)
{
    fx5::SimProcess sim(FX5_SIM_PATH, {});
    ASSERT_TRUE(sim.Running());
    SlmpClient a(sim.Port()), b(sim.Port());
    ASSERT_EQ(a.ReadWords(code::D, 0, 1).size(), 1u);
    b.SendRaw({0x50, 0x00});
    std::string line;
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_FALSE(sim.ReadLine(line, 200)) << "nothing to say without --verbose: " << line;
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2)) << "a read gives up after its wait";
    const fx5::SimProcess::Exit exit = sim.Stop();
    EXPECT_EQ(exit.status, 0);
    EXPECT_LT(exit.seconds, 1.0);
    EXPECT_TRUE(a.ClosedByPeer(1000));
}

} // namespace
