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

#include "tools/common/SimProcess.h"
#include "support/FileText.h"
#include "support/SlmpClient.h"
#include "support/TempPath.h"

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
    fx5::SimProcess sim(FX5_SIM_PATH, {});
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
    std::vector<uint8_t> random = {1, 1};
    SlmpClient::PutDevice(random, code::D, 200);
    SlmpClient::Put16(random, 0x1234);
    SlmpClient::PutDevice(random, code::D, 202);
    SlmpClient::Put16(random, 0xCDEF);
    SlmpClient::Put16(random, 0x89AB);
    EXPECT_EQ(client.Request(0x1402, 0x0000, random).endCode, 0);
    std::vector<uint8_t> randomRead = {1, 1};
    SlmpClient::PutDevice(randomRead, code::D, 200);
    SlmpClient::PutDevice(randomRead, code::D, 202);
    EXPECT_EQ(client.Request(0x0403, 0x0000, randomRead).data, (std::vector<uint8_t>{0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89}));
    std::vector<uint8_t> bits = {2};
    SlmpClient::PutDevice(bits, code::M, 100);
    bits.push_back(1);
    SlmpClient::PutDevice(bits, code::Y, 5);
    bits.push_back(1);
    EXPECT_EQ(client.Request(0x1402, 0x0001, bits).endCode, 0);
    EXPECT_EQ(client.ReadBits(code::M, 100, 1), std::vector<bool>{true});
    EXPECT_EQ(client.ReadBits(code::Y, 5, 1), std::vector<bool>{true});
    // Block write and read: a word block and a bit-device block.
    std::vector<uint8_t> block = {1, 1};
    SlmpClient::PutDevice(block, code::D, 300);
    SlmpClient::Put16(block, 2);
    SlmpClient::Put16(block, 7);
    SlmpClient::Put16(block, 8);
    SlmpClient::PutDevice(block, code::M, 32);
    SlmpClient::Put16(block, 1);
    SlmpClient::Put16(block, 0x0003);
    EXPECT_EQ(client.Request(0x1406, 0x0000, block).endCode, 0);
    std::vector<uint8_t> blockRead = {1, 1};
    const auto d300 = Device(code::D, 300, 2), m32 = Device(code::M, 32, 1);
    blockRead.insert(blockRead.end(), d300.begin(), d300.end());
    blockRead.insert(blockRead.end(), m32.begin(), m32.end());
    EXPECT_EQ(client.Request(0x0406, 0x0000, blockRead).data, (std::vector<uint8_t>{7, 0, 8, 0, 3, 0}));
    EXPECT_EQ(client.ReadBits(code::M, 32, 3), (std::vector<bool>{true, true, false}));
    // Type name, and routing bytes echoed.
    const SlmpClient::Answer type = client.RequestRouted({0x01, 0x02, 0xFF, 0x03, 0x05}, 0x0101, 0x0000, {});
    EXPECT_EQ(type.endCode, 0);
    EXPECT_EQ(std::string(type.data.begin(), type.data.begin() + 12), "FX5U-32MT/ES");
    EXPECT_EQ(type.routing, (std::vector<uint8_t>{0x01, 0x02, 0xFF, 0x03, 0x05}));
    // Remote operations: latch clear is refused while running.
    EXPECT_EQ(client.Request(0x1005, 0x0000, {0x01, 0x00}).endCode, 0x4013);
    EXPECT_EQ(client.Request(0x1002, 0x0000, {0x01, 0x00}).endCode, 0);
    EXPECT_EQ(client.Request(0x1005, 0x0000, {0x01, 0x00}).endCode, 0);
    EXPECT_EQ(client.Request(0x1001, 0x0000, {0x01, 0x00, 0x00, 0x00}).endCode, 0);
}

INSTANTIATE_TEST_SUITE_P(Frames, SimFrames, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "4E" : "3E"; });

TEST(SimLimits, EveryLimitAnswersWithTheControllersEndCode)
{
    fx5::SimProcess sim(FX5_SIM_PATH, {});
    ASSERT_TRUE(sim.Running());
    SlmpClient client(sim.Port());
    struct Case {
        const char* what;
        uint16_t command, subcommand;
        std::vector<uint8_t> data;
        uint16_t endCode;
    };
    std::vector<uint8_t> writeTooShort = Device(code::D, 0, 2);
    writeTooShort.push_back(1);
    const Case cases[] = {
        {"961 words", 0x0401, 0, Device(code::D, 0, 961), 0xC051},
        {"0 words", 0x0401, 0, Device(code::D, 0, 0), 0xC051},
        {"past D7999", 0x0401, 0, Device(code::D, 7999, 2), 0xC056},
        {"past X1777 (octal)", 0x0401, 1, Device(code::X, 01777, 2), 0xC056},
        {"LZ12 does not exist", 0x0403, 0, {0, 1, 12, 0, 0, code::LZ}, 0xC056},
        {"unknown device code", 0x0401, 0, Device(0x01, 0, 1), 0xC05B},
        {"bit units on a word device", 0x0401, 1, Device(code::D, 0, 1), 0xC05C},
        {"data shorter than its count", 0x1401, 0, writeTooShort, 0xC061},
        {"unsupported command", 0x0619, 0, {}, 0xC059},
        {"unsupported subcommand", 0x0401, 0x0080, Device(code::D, 0, 1), 0xC059},
    };
    for (const Case& c : cases) {
        const SlmpClient::Answer answer = client.Request(c.command, c.subcommand, c.data);
        ASSERT_TRUE(answer.received) << c.what;
        EXPECT_EQ(answer.endCode, c.endCode) << c.what;
    }
}

TEST(SimMemory, SeedFileLoadsAndSaveWritesBackTheSameForm)
{
    const std::string seed = testing_support::TempPath("fx5sim-seed.json"), saved = testing_support::TempPath("fx5sim-saved.json");
    std::ofstream(seed) << R"({"D100": 1234, "D200": {"dword": 305419896}, "D300": {"float": 1.5}, "D400": {"string": "ABC"},
                              "M5": true, "D5.3": true, "X17": 1, "W1F": 31, "LZ1": 70000})";
    fx5::SimProcess sim(FX5_SIM_PATH, {"--memory", seed, "--save", saved});
    ASSERT_TRUE(sim.Running());
    SlmpClient client(sim.Port());
    EXPECT_EQ(client.ReadWords(code::D, 100, 1), std::vector<uint16_t>{1234});
    EXPECT_EQ(client.ReadWords(code::D, 200, 2), (std::vector<uint16_t>{0x5678, 0x1234}));
    EXPECT_EQ(client.ReadWords(code::D, 300, 2), (std::vector<uint16_t>{0x0000, 0x3FC0}));
    EXPECT_EQ(client.ReadWords(code::D, 400, 2), (std::vector<uint16_t>{0x4241, 0x0043}));
    EXPECT_EQ(client.ReadWords(code::D, 5, 1), std::vector<uint16_t>{8});
    EXPECT_EQ(client.ReadBits(code::X, 15, 1), std::vector<bool>{true}) << "X17 is device 15";
    EXPECT_EQ(client.ReadWords(code::W, 31, 1), std::vector<uint16_t>{31}) << "W1F is device 31";
    EXPECT_EQ(client.WriteWords(code::D, 101, {5}), 0);
    EXPECT_EQ(sim.Stop().status, 0);
    const std::string text = testing_support::FileText(saved);
    for (const char* member : {"\"D100\": 1234", "\"D101\": 5", "\"M5\": true", "\"X17\": true", "\"W1F\": 31", "\"LZ1\": 70000"})
        EXPECT_NE(text.find(member), std::string::npos) << member << " in " << text;

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
    };
    for (const Case& c : cases) {
        std::string errors;
        EXPECT_EQ(fx5::RunToEnd(FX5_SIM_PATH, c.args, errors), c.status) << c.args[0];
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
    }
}

TEST(SimAnimation, TheDocumentedDevicesMove)
{
    fx5::SimProcess sim(FX5_SIM_PATH, {"--animate"});
    ASSERT_TRUE(sim.Running());
    SlmpClient client(sim.Port());
    const std::vector<uint16_t> before = client.ReadWords(code::D, 0, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(350));
    const std::vector<uint16_t> after = client.ReadWords(code::D, 0, 1);
    ASSERT_EQ(before.size(), 1u);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_GE(after[0] - before[0], 2) << "D0 counts every 100 ms";
    const std::vector<uint16_t> text = client.ReadWords(code::D, 10, 1);
    EXPECT_EQ(text, std::vector<uint16_t>{0x3D54}) << "\"T=\"";
}

TEST(SimRobustness, BadClientsCostOnlyTheirOwnConnection)
{
    fx5::SimProcess sim(FX5_SIM_PATH, {});
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
            std::vector<uint8_t> request = {0x50, 0x00, 0x00, 0xFF, 0xFF, 0x03, 0x00, 0x0C, 0x00, 0x10, 0x00, 0x01, 0x04, 0x00, 0x00};
            const auto d = Device(code::D, 0, 960);
            request.insert(request.end(), d.begin(), d.end());
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
    const fx5::SimProcess::Exit exit = sim.Stop();
    EXPECT_EQ(exit.status, 0);
    EXPECT_LT(exit.seconds, 1.0);
    EXPECT_TRUE(a.ClosedByPeer(1000));
}

} // namespace
