// fx5-run end to end over loopback TCP: the runner, the driver .so and
// fx5-sim as separate processes; values in the JSON lines, writes in the
// simulator's memory, every fault seen and recovered from without a
// restart, late answers never on another channel, several devices.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>
#include <nlohmann/json.hpp>

#include "support/FileText.h"
#include "support/ShellLine.h"
#include "support/Tshark.h"
#include "support/SlmpClient.h"
#include "support/TempPath.h"
#include "tools/common/CaptureFile.h"
#include "tools/common/SimProcess.h"
#include "tools/fx5-run/Reporter.h"
#include "tools/fx5-run/ValueStore.h"
#include "tools/fx5-run/WriteValue.h"

using namespace testing_support;
using Json = nlohmann::json;

namespace {

// Tags a (D0) and b (D100): far enough apart to be read in two requests.
std::string Project()
{
    const std::string path = testing_support::TempPath("fx5run-project.json");
    std::ofstream(path) << R"({"tags": [{"name": "a", "type": "int16", "device": "D0"}, {"name": "b", "type": "int16", "device": "D100"}],
                             "channels": [{"tag": "a"}, {"tag": "b"}]})";
    return path;
}

std::string Seed()
{
    const std::string path = testing_support::TempPath("fx5run-seed.json");
    std::ofstream(path) << R"({"D0": 111, "D100": 222})";
    return path;
}

// The arguments every run in these tests carries: JSON lines, and the
// driver and simulator just built.
std::vector<std::string> RunnerArguments(std::vector<std::string> arguments)
{
    arguments.insert(arguments.end(), {"--format", "jsonl", "--driver", ZOLT_DRIVER_PATH, "--sim", FX5_SIM_PATH});
    return arguments;
}

class Runner : public fx5::ChildProcess {
public:
    explicit Runner(std::vector<std::string> arguments) : ChildProcess(FX5_RUN_PATH, RunnerArguments(std::move(arguments))) {}
    // The next JSON record, or null when none came within timeoutMs.
    Json Next(int timeoutMs = 3000)
    {
        std::string line;
        while (ReadLine(line, timeoutMs)) {
            Json record = Json::parse(line, nullptr, false);
            if (!record.is_discarded()) return record;
        }
        return nullptr;
    }
};

bool IsValue(const Json& r, const std::string& tag, int value) { return r.contains("tag") && r["tag"] == tag && r["value"] == value; }

TEST(FxRun, SeededValuesAppearAndAWriteLandsInTheSimulator)
{
    fx5::SimProcess sim(FX5_SIM_PATH, {"--memory", Seed()});
    ASSERT_TRUE(sim.Running());
    // Of a run length or format given twice the last counts: a wrapper's defaults can be overridden.
    Runner run({"--format", "csv", "--cycles", "500", "--interval", "1", "--host", "127.0.0.1", "--port", std::to_string(sim.Port()),
                "--project", Project(), "--cycles", "8", "--interval", "0", "--write", "b=333"});
    std::vector<Json> records;
    for (Json r = run.Next(); !r.is_null(); r = run.Next()) records.push_back(r);
    EXPECT_EQ(run.Wait(10).status, 0);
    auto has = [&](auto match) { return std::any_of(records.begin(), records.end(), match); };
    EXPECT_TRUE(has([](const Json& r) { return IsValue(r, "a", 111); }));
    EXPECT_TRUE(has([](const Json& r) { return IsValue(r, "b", 222); }));
    EXPECT_TRUE(has([](const Json& r) { return IsValue(r, "b", 333); }));
    // A note has no status; a message reporting the write has the write's.
    EXPECT_TRUE(has([](const Json& r) { return r.contains("message") && r["message"] == "read back b = 333" && !r.contains("status"); }));
    EXPECT_TRUE(has([](const Json& r) {
        return r.contains("message") && r["message"].get<std::string>().rfind("write b=333: status 0", 0) == 0 && r["status"] == 0;
    }));
    for (const Json& r : records) {
        if (!r.contains("tag")) continue;
        EXPECT_TRUE(r.contains("time") && r.contains("device") && r.contains("channel") && r.contains("status")) << r.dump();
        EXPECT_TRUE(r["value"] == (r["tag"] == "a" ? 111 : 222) || r["value"] == 333) << r.dump();
    }
    ASSERT_TRUE(records.back().contains("summary"));
    EXPECT_EQ(records.back()["summary"]["cycles"], 8);
    EXPECT_EQ(records.back()["summary"]["exchanges"], 16) << "a and b apart: two reads a cycle";
    EXPECT_EQ(records.back()["summary"]["reconnects"], 0);
    SlmpClient client(sim.Port());
    EXPECT_EQ(client.ReadWords(code::D, 100, 1), std::vector<uint16_t>{333});
}

// What a script asked for and did not get ends the run with status 1: a
// write refused before anything is connected (so nothing reaches the
// controller), a write or control string the run ended before, a control
// string that failed.
TEST(FxRun, WritesAndControlStringsNotDoneEndTheRunWithStatus1)
{
    fx5::SimProcess sim(FX5_SIM_PATH, {"--memory", Seed()});
    ASSERT_TRUE(sim.Running());
    const std::vector<std::string> at = {"--host",    "127.0.0.1", "--port",     std::to_string(sim.Port()),
                                         "--project", Project(),   "--interval", "0"};
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* shown; // on standard error or in a message record
    };
    const Case cases[] = {
        {{"--cycles", "4", "--write", "b=12ab"}, 1, "write b=12ab: not a number, nothing written"},
        {{"--cycles", "4", "--write", "c=1"}, 1, "write c=1: c is not a channel of the project"},
        // One cycle is a full refresh: a and b are read, then a written.
        {{"--cycles", "1", "--write", "a=5"}, 0, "write a=5: status 0 (good)"},
        // A controller never reached: why, and a run that delivered nothing fails.
        {{"--port", "1", "--cycles", "1"}, 1, "cannot connect to 127.0.0.1:1 (connection refused)"},
        {{"--port", "1", "--cycles", "1"}, 1, "\"link\":\"cannot connect: connection refused\""},
        {{"--port", "1", "--cycles", "1"}, 1, "PLC1: no value was delivered in the run (cannot connect: connection refused)"},
        // Against a port nobody listens on, a call waits the wait time: the
        // run ends within the first.
        {{"--port", "1", "--duration", "0.1", "--write", "b=5"}, 1, "write b=5: not done, the run ended before the first full refresh"},
        {{"--port", "1", "--duration", "0.1"}, 1, "{\"summary\":{\"device\":\"PLC1\",\"cycles\":0,"},
        {{"--port", "1", "--duration", "0.1", "--ioctl", "READ(D,1,WUB=v)"},
         1,
         "ioctl READ(D,1,WUB=v): not done, the run ended before the first full refresh"},
        {{"--cycles", "4", "--ioctl", "READ(D,1"}, 1, "ioctl READ(D,1: status -5"},
        {{"--cycles", "4", "--var", "v=0", "--ioctl", "READ(D,100,WUB=v)"}, 0, "ioctl READ(D,100,WUB=v): status 0 (good); v=222"},
        {{"--cycles", "4", "--var", "t:text=5", "--ioctl", "READ32(D,100,WUB=t)"}, 0, "ioctl READ32(D,100,WUB=t): status 0 (good); t=222"},
        {{"--cycles", "4", "--var", "i:integer=5", "--ioctl", "READ(D,100,WUB=i)"}, 0, "ioctl READ(D,100,WUB=i): status 0 (good); i=222"},
        {{"--cycles", "4", "--var", "d:double=0.5", "--ioctl", "READ(D,100,WUB=d)"}, 0, "ioctl READ(D,100,WUB=d): status 0 (good); d=222"},
        {{"--cycles", "4", "--var", "w=abc", "--ioctl", "READ32(D,100,WUB=w)"}, 0, "ioctl READ32(D,100,WUB=w): status 0 (good); w=222"},
    };
    for (const Case& c : cases) {
        // A case that names its own port leaves out the simulator's.
        std::vector<std::string> args = at;
        if (c.args[0] == "--port") args.erase(args.begin() + 2, args.begin() + 4);
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::string errors;
        const int status = fx5::RunToEnd(FX5_RUN_PATH, RunnerArguments(args), errors, true);
        EXPECT_EQ(status, c.status) << c.shown << "\n" << errors;
        EXPECT_NE(errors.find(c.shown), std::string::npos) << errors;
    }
    SlmpClient client(sim.Port());
    EXPECT_EQ(client.ReadWords(code::D, 100, 1), std::vector<uint16_t>{222}) << "nothing was written";
}

// The live table redraws the whole screen: what is said before it starts
// (where the simulator it started listens, the driver's log lines) is kept
// among its messages, named by device, instead of written once and wiped.
TEST(FxRun, TheLiveTableKeepsWhatWasSaidBeforeIt)
{
    // The common arguments, then the table: of two formats the last counts.
    std::vector<std::string> args = RunnerArguments({"--project", Project(), "--cycles", "3", "--verbose"});
    args.insert(args.end(), {"--format", "table"});
    std::string output;
    EXPECT_EQ(fx5::RunToEnd(FX5_RUN_PATH, args, output, true), 0) << output;
    EXPECT_NE(output.find("PLC1: started fx5-sim --animate on 127.0.0.1:"), std::string::npos) << output;
    EXPECT_NE(output.find("PLC1: driver: InitDevice Spend Time = "), std::string::npos) << output;
    EXPECT_EQ(output.find("[3] InitDevice"), std::string::npos) << output;
    // Ages, rates and times with their decimals.
    EXPECT_TRUE(std::regex_search(output, std::regex(" [0-9]+\\.[0-9]s good "))) << output;
    EXPECT_TRUE(std::regex_search(
        output, std::regex("PLC1: 3 cycles, [0-9]+\\.[0-9] requests/s, mean [0-9]+\\.[0-9]{2} ms, p99 [0-9]+\\.[0-9]{2} ms")))
        << output;
}

// Output nobody reads ends the run as Ctrl-C does (`fx5-run | head`), and
// output that cannot be written ends it with status 1 and a message.
TEST(FxRun, ARunEndsWhenItsOutputCannotBeWritten)
{
    {
        Runner run({"--project", Project(), "--interval", "10"});
        ASSERT_FALSE(run.Next().is_null());
        run.CloseOutput();
        const fx5::ChildProcess::Exit exit = run.Wait(10);
        EXPECT_EQ(exit.status, 0);
        EXPECT_LT(exit.seconds, 5);
    }
    {
        // A child that outlives the wait given it is killed (against a
        // simulator of the test's own: fx5-run's would outlive it).
        fx5::SimProcess sim(FX5_SIM_PATH, {});
        ASSERT_TRUE(sim.Running());
        Runner run({"--host", "127.0.0.1", "--port", std::to_string(sim.Port()), "--project", Project(), "--interval", "10"});
        const fx5::ChildProcess::Exit exit = run.Wait(0.5);
        EXPECT_EQ(exit.status, -1);
        EXPECT_LT(exit.seconds, 3);
    }
    std::string errors;
    EXPECT_EQ(testing_support::RunShell(
                  testing_support::ShellLine(FX5_RUN_PATH, RunnerArguments({"--project", Project(), "--interval", "10"})) + " > /dev/full",
                  errors),
              1)
        << errors;
    EXPECT_NE(errors.find("cannot write the output: No space left on device"), std::string::npos) << errors;
    // Killed outright, it takes the simulator it started along.
    const std::string said = TempPath("killed.txt");
    testing_support::RunShell(testing_support::ShellLine(FX5_RUN_PATH, RunnerArguments({"--project", Project(), "--interval", "10"})) +
                                  " 2> " + ShellWord(said) + " > /dev/null & for i in $(seq 100); do grep -q started " + ShellWord(said) +
                                  " && break; sleep 0.05; done; kill -9 $!",
                              errors);
    const std::string started = FileText(said);
    ASSERT_NE(started.find("started fx5-sim --animate on 127.0.0.1:"), std::string::npos) << started;
    const auto port = static_cast<uint16_t>(std::stoi(started.substr(started.rfind(':') + 1)));
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        gone = !SlmpClient(port).Connected();
        if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(gone) << "the simulator on port " << port << " outlived its runner";
}

// --trace: one line an exchange on standard error, what was asked and what
// came back, whatever the controller answers.
TEST(FxRun, TraceShowsEveryExchangeWithItsEndCode)
{
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "PLC1 batch read words D0, 1 point: end code 0000 (normal completion), "},
        {{"--end-code", "C051"}, "PLC1 batch read words D0, 1 point: end code C051 (the number of points"},
        {{"--silent-every", "1"}, "PLC1 batch read words D0, 1 point: no complete answer (0 bytes came) after 2"},
    };
    for (const auto& [faults, line] : cases) {
        std::vector<std::string> switches = faults;
        switches.insert(switches.end(), {"--memory", Seed()});
        fx5::SimProcess sim(FX5_SIM_PATH, switches);
        ASSERT_TRUE(sim.Running());
        std::string errors;
        fx5::RunToEnd(FX5_RUN_PATH,
                      RunnerArguments({"--host", "127.0.0.1", "--port", std::to_string(sim.Port()), "--project", Project(), "--duration",
                                       "1", "--trace"}),
                      errors);
        EXPECT_NE(errors.find(line), std::string::npos) << errors;
    }
    // Each exchange shows its own answer: a refused read after a good one.
    const std::string project = TempPath("ltn.json");
    std::ofstream(project)
        << R"({"tags": [{"name": "a", "type": "int16", "device": "D0"}, {"name": "t", "type": "uint32", "device": "LTN0"}],
                                  "channels": [{"tag": "a"}, {"tag": "t"}]})";
    std::string errors;
    fx5::RunToEnd(FX5_RUN_PATH, RunnerArguments({"--project", project, "--cycles", "2", "--trace"}), errors);
    EXPECT_NE(errors.find("PLC1 batch read words D0, 1 point: end code 0000"), std::string::npos) << errors;
    EXPECT_NE(errors.find("PLC1 random read, 1 point: end code C05B"), std::string::npos) << errors;
}

// A run of fx5-run against fx5-sim started with `faults`, captured; the
// capture's path.
std::string CapturedRun(const std::vector<std::string>& faults, const std::vector<std::string>& run, uint16_t& port)
{
    std::vector<std::string> switches = faults;
    switches.insert(switches.end(), {"--memory", Seed()});
    fx5::SimProcess sim(FX5_SIM_PATH, switches);
    port = sim.Port();
    const std::string capture = TempPath("run" + std::to_string(port) + ".pcap");
    std::vector<std::string> arguments = {"--host",    "127.0.0.1", "--port",    std::to_string(port),
                                          "--project", Project(),   "--capture", capture};
    arguments.insert(arguments.end(), run.begin(), run.end());
    std::string errors;
    EXPECT_TRUE(sim.Running());
    fx5::RunToEnd(FX5_RUN_PATH, RunnerArguments(arguments), errors, true);
    return capture;
}

// --capture: a file tshark reads without a flag raised, each connection a
// stream of its own (the simulator closes each after three requests), and
// each stream's answers, sent in two pieces each, joined back whole.
TEST(FxRun, CaptureReadsInTsharkWithEveryAnswerWholeInItsStream)
{
    uint16_t port = 0;
    const std::string capture = CapturedRun({"--split", "--close-after", "3"}, {"--cycles", "4", "--interval", "0"}, port);
    EXPECT_EQ(Tshark(capture, kNoFlagRaised), "");
    EXPECT_NE(Tshark(capture, "-T fields -e tcp.stream").find("\n1\n"), std::string::npos) << "a stream a connection";
    for (int stream = 0; stream < 2; ++stream) {
        // Lines of the client's bytes, then the server's (indented by a tab).
        std::istringstream lines(Tshark(capture, "-q -z follow,tcp,raw," + std::to_string(stream)));
        std::string server, line;
        int requests = 0;
        while (std::getline(lines, line)) {
            if (line.rfind("500000ffff0300", 0) == 0) ++requests;
            if (!line.empty() && line[0] == '\t') server += line.substr(1);
        }
        int answers = 0;
        size_t at = 0;
        for (; at + 18 <= server.size() && server.compare(at, 4, "d000") == 0; ++answers)
            at += 2 * (9 + std::stoul(server.substr(at + 16, 2) + server.substr(at + 14, 2), nullptr, 16));
        EXPECT_EQ(at, server.size()) << "stream " << stream << ": " << server;
        // A request may go out before the close is seen: it has no answer.
        EXPECT_EQ(answers, 3);
        EXPECT_TRUE(requests == 3 || requests == 4) << requests;
    }
}

// Connections written to a capture read back a stream each, in order: the
// same ends used again after a close are a new connection, and the side
// that sent the SYN is the client even when the server speaks first.
TEST(CaptureFile, ConnectionsWrittenReadBackAStreamEach)
{
    const std::string path = TempPath("streams.pcap");
    {
        std::string error;
        const auto file = fx5::CaptureFile::Open(path, error);
        ASSERT_TRUE(file) << error;
        for (uint8_t i = 0; i < 2; ++i) {
            fx5::CaptureFile::Connection connection(*file);
            connection.Opened(0x7F000001, 40000, 0x7F000001, 5000);
            const uint8_t first[] = {0xD0, 0x00, i}, second[] = {0x50, 0x00, i};
            connection.Data(false, first, sizeof first);
            connection.Data(true, second, sizeof second);
            connection.Closed();
        }
    }
    std::vector<fx5::CapturedStream> streams;
    std::string error;
    ASSERT_TRUE(fx5::CaptureFile::ReadStreams(path, streams, error)) << error;
    ASSERT_EQ(streams.size(), 2u);
    // Each: SYN, SYN-ACK, ACK, its two segments, FIN both ways, the last ACK.
    const std::string connection = "0x0002\n0x0012\n0x0010\n0x0018\n0x0018\n0x0011\n0x0011\n0x0010\n";
    EXPECT_EQ(Tshark(path, "-T fields -e tcp.flags"), connection + connection);
    // Checksums hold, odd-length segments included.
    EXPECT_EQ(Tshark(path, "-o tcp.check_checksum:TRUE -o ip.check_checksum:TRUE -Y 'tcp.checksum.status != 1 || ip.checksum.status != 1'"),
              "");
    for (uint8_t i = 0; i < 2; ++i) {
        const auto& segments = streams[i].segments;
        ASSERT_EQ(segments.size(), 2u);
        EXPECT_FALSE(segments[0].fromClient);
        EXPECT_EQ(segments[0].bytes, (std::vector<uint8_t>{0xD0, 0x00, i}));
        EXPECT_TRUE(segments[1].fromClient);
    }
}

// The Lua dissector on captured runs: every request and answer decoded
// field by field, each answer matched to its request with the values of
// the devices it asked for, end codes with their meaning, nothing flagged.
TEST(FxRun, TheDissectorDecodesEveryExchangeOfACapturedRun)
{
#ifndef SLMP_DISSECTOR_PATH
    GTEST_SKIP() << "the dissector is generated only on the build machine's own architecture";
#else
    struct Case {
        std::vector<std::string> faults, run;
        std::vector<std::string> lines; // each expected among tshark's, fields tab-separated
    };
    const Case cases[] = {
        {{"--split"},
         {"--cycles", "2", "--write", "b=7"},
         {"request\t0x0401\t0x0000\tD0\t1\t\t\t", "answer\t\t\t\t\t0x0000\tD0 = 111\t", "answer\t\t\t\t\t0x0000\tD100 = 222\t",
          "request\t0x1401\t0x0000\tD100\t1\t\t\t", "Answer: end code 0000 (normal completion)"}},
        {{"--silent-every", "2"},
         {"--cycles", "2"},
         {"\tMarker: no complete answer within the wait time; the connection is closed and made anew"}},
        {{"--end-code", "C051"},
         {"--duration", "1"},
         {"answer\t\t\t\t\t0xc051\t\t", "Answer: end code C051 (the number of points of a batch"}},
    };
    for (const Case& c : cases) {
        uint16_t port = 0;
        const std::string capture = CapturedRun(c.faults, c.run, port);
        EXPECT_EQ(Tshark(capture, kNoFlagRaised, port), "");
        const std::string fields =
            Tshark(capture,
                   "-Y 'slmp || slmp_marker' -T fields -e slmp.kind -e slmp.command -e slmp.subcommand -e slmp.device "
                   "-e slmp.points -e slmp.endcode -e slmp.value -e slmp.request_in -e _ws.col.Info",
                   port);
        for (const std::string& line : c.lines) EXPECT_NE(fields.find(line), std::string::npos) << line << "\n" << fields;
        // Every answer names the request it answers and follows it.
        std::istringstream answers(Tshark(capture, "-Y 'slmp.kind == \"answer\"' -T fields -e frame.number -e slmp.request_in", port));
        int matched = 0;
        for (int frame = 0, request = 0; answers >> frame >> request; ++matched) EXPECT_LT(request, frame);
        EXPECT_GE(matched, 2);
    }
#endif
}

// fx5-sim --replay plays the controller of a capture made under faults: a
// run of the same project against it shows the same values and statuses in
// the same order; a run that asks something else is told where it parted.
TEST(FxRun, AReplayOfACaptureShowsTheSameValuesAndStatuses)
{
    const auto records = [](uint16_t port, const std::string& project) {
        std::string output;
        fx5::RunToEnd(FX5_RUN_PATH,
                      RunnerArguments({"--host", "127.0.0.1", "--port", std::to_string(port), "--project", project, "--cycles", "4",
                                       "--interval", "0"}),
                      output, true);
        // The records without their times and the summary's timings.
        std::string kept;
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);) {
            const Json r = Json::parse(line, nullptr, false);
            if (!r.is_discarded() && !r.contains("summary"))
                kept += (r.contains("tag") ? r["tag"].dump() + r["value"].dump() : "") + std::to_string(r.value("status", -1)) + "\n";
        }
        return kept;
    };
    for (const std::vector<std::string>& faults :
         {std::vector<std::string>{"--split", "--silent-every", "3"}, std::vector<std::string>{"--end-code", "C051"}}) {
        const std::string capture = TempPath("recorded.pcap");
        std::vector<std::string> switches = faults;
        switches.insert(switches.end(), {"--memory", Seed(), "--capture", capture});
        std::string recorded;
        {
            fx5::SimProcess sim(FX5_SIM_PATH, switches);
            ASSERT_TRUE(sim.Running());
            recorded = records(sim.Port(), Project());
        }
        fx5::SimProcess replay(FX5_SIM_PATH, {"--replay", capture});
        ASSERT_TRUE(replay.Running());
        EXPECT_EQ(records(replay.Port(), Project()), recorded) << faults[0];
        EXPECT_NE(recorded.find(faults[0] == "--split" ? "\n2\n" : "49333"), std::string::npos) << recorded;
    }
    // Another project asks for D5 first: the replay says so, and what it holds.
    const std::string capture = TempPath("recorded.pcap"), other = TempPath("other.json");
    std::ofstream(other) << R"({"tags": [{"name": "c", "type": "int16", "device": "D5"}], "channels": [{"tag": "c"}]})";
    fx5::SimProcess replay(FX5_SIM_PATH, {"--replay", capture});
    ASSERT_TRUE(replay.Running());
    records(replay.Port(), other);
    std::string line;
    ASSERT_TRUE(replay.ReadLine(line, 3000));
    EXPECT_EQ(line.rfind("replay: request 1 cannot be answered from the capture: asked batch read words D5, 1 point (", 0), 0u) << line;
    EXPECT_NE(line.find("; the capture holds next batch read words D0, 1 point ("), std::string::npos) << line;
}

// With several devices a write or control string names its device and
// reaches that controller alone; one that names none is refused before
// anything is connected.
TEST(FxRunMultiDevice, AWriteReachesOnlyTheDeviceItNames)
{
    fx5::SimProcess simA(FX5_SIM_PATH, {"--memory", Seed()}), simB(FX5_SIM_PATH, {"--memory", Seed()});
    ASSERT_TRUE(simA.Running() && simB.Running());
    const std::vector<std::string> devices = {"--device", "A=127.0.0.1:" + std::to_string(simA.Port()) + ":" + Project(), "--device",
                                              "B=127.0.0.1:" + std::to_string(simB.Port()) + ":" + Project()};
    std::vector<std::string> args = devices;
    args.insert(args.end(), {"--cycles", "4", "--interval", "0", "--write", "A:b=333", "--var", "v=0", "--ioctl", "B:READ(D,100,WUB=v)"});
    std::string output;
    EXPECT_EQ(fx5::RunToEnd(FX5_RUN_PATH, RunnerArguments(args), output, true), 0) << output;
    EXPECT_NE(output.find("\"device\":\"A\",\"message\":\"write b=333: status 0 (good)"), std::string::npos) << output;
    EXPECT_NE(output.find("\"device\":\"B\",\"message\":\"ioctl READ(D,100,WUB=v): status 0 (good); v=222"), std::string::npos) << output;
    for (const char* device : {"A", "B"})
        EXPECT_NE(output.find("\"device\":\"" + std::string(device) + "\",\"tag\":\"a\""), std::string::npos) << output;
    EXPECT_EQ(SlmpClient(simA.Port()).ReadWords(code::D, 100, 1), std::vector<uint16_t>{333});
    EXPECT_EQ(SlmpClient(simB.Port()).ReadWords(code::D, 100, 1), std::vector<uint16_t>{222}) << "B was not named";

    for (const char* unnamed : {"b=1", "C:b=1"}) {
        args = devices;
        args.insert(args.end(), {"--cycles", "4", "--write", unnamed});
        EXPECT_EQ(fx5::RunToEnd(FX5_RUN_PATH, RunnerArguments(args), output), 2) << output;
        EXPECT_NE(output.find("names no device; with several devices give DEVICE:TAG=VALUE"), std::string::npos) << output;
    }
    args = devices;
    args.insert(args.end(), {"--cycles", "4", "--ioctl", "READ(D,100,WUB=v)"});
    EXPECT_EQ(fx5::RunToEnd(FX5_RUN_PATH, RunnerArguments(args), output), 2) << output;
    EXPECT_EQ(SlmpClient(simB.Port()).ReadWords(code::D, 100, 1), std::vector<uint16_t>{222});
}

TEST(FxRun, MistakesExitWithAStatusAndAMessage)
{
    const std::string bad = testing_support::TempPath("fx5run-bad.json");
    std::ofstream(bad) << R"({"tags": [{"name": "a", "type": "int16", "device": "Q1"}], "channels": [{"tag": "a"}]})";
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{}, 2, "--project"},
        {{"--project", Project(), "--write", "nonsense"}, 2, "TAG=VALUE"},
        {{"--device", "x"}, 2, "NAME=HOST:PORT:PROJECT"},
        {{"--device", "p=127.0.0.1:80x:" + Project()}, 2, "NAME=HOST:PORT:PROJECT"},
        {{"--device", "p=127.0.0.1:65535:" + Project(), "--cycles", "1"}, 1, "p: no value was delivered in the run"},
        {{"--device", "p=:5000:" + Project()}, 2, "NAME=HOST:PORT:PROJECT"},
        {{"--device", "=127.0.0.1:5000:" + Project()}, 2, "NAME=HOST:PORT:PROJECT"},
        {{"--project", Project(), "--device", "p=127.0.0.1:5000:" + Project()}, 2, "--project excludes --device"},
        {{"--device", "p=127.0.0.1:5000:" + Project(), "--port", "5001"}, 2, "--port excludes --device"},
        {{"--device", "p=127.0.0.1:5000:" + Project(), "--device", "p=127.0.0.1:5001:" + Project()}, 2, "the name 'p' is given twice"},
        {{"--project", Project(), "--cycles", "0"}, 2, "--cycles: must be above 0, not 0"},
        {{"--project", Project(), "--port", "65536", "--cycles", "1"}, 2, "--port: Value 65536 not in range 1 to 65535"},
        {{"--project", Project(), "--duration", "-1"}, 2, "--duration: must be above 0, not -1"},
        {{"--project", Project(), "--var", "v:bogus=1"}, 2, "--var: 'v:bogus=1' is not NAME=VALUE"},
        {{"--project", bad, "--host", "127.0.0.1"}, 1, "/tags/0/device"},
        {{"--project", "/nonexistent.json", "--host", "127.0.0.1"}, 1, "/nonexistent.json: cannot be read"},
        {{"--project", Project(), "--driver", "/nonexistent.so"}, 1, "nonexistent"},
        {{"--project", Project(), "--sim", "/nonexistent"}, 1, "cannot start the simulator /nonexistent"},
        {{"--project", Project(), "--host", "127.0.0.1", "--capture", "/nonexistent/x.pcap"},
         1,
         "/nonexistent/x.pcap: cannot write the capture: "},
        {{"--project", Project(), "--host", "127.0.0.1", "--cycles", "1"}, 1, "cannot connect to 127.0.0.1:5000"},
        // A name no resolver can look up (an empty label): refused without asking any server.
        {{"--project", Project(), "--host", "x..y", "--cycles", "1"}, 1, "cannot connect to x..y:5000 (no such host)"},
        {{"--project", Project(), "--host", "127.0.0.1", "--port", "1", "--cycles", "1", "--format", "csv"},
         1,
         ",PLC1,,,,2,no response within the wait time\n"},
        {{"--project", Project(), "--host", "127.0.0.1", "--port", "1", "--write", "a=40000"},
         1,
         "write a=40000: 40000 is outside int16 (-32768 … 32767); nothing written"},
    };
    for (const Case& c : cases) {
        std::string errors;
        EXPECT_EQ(fx5::RunToEnd(FX5_RUN_PATH, c.args, errors, true), c.status) << errors;
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
    }
}

// A write is refused unless its tag holds exactly the value typed; a value
// that fits is taken whatever its spelling.
TEST(FxRunWrites, ValuesTheirTagCannotHoldAreRefused)
{
    auto leaf = [](fx5cfg::Scalar scalar, uint32_t length = 0) {
        fx5cfg::Leaf l;
        l.scalar = scalar;
        l.length = length;
        return std::optional<fx5cfg::Leaf>(l);
    };
    using fx5cfg::Scalar;
    struct Case {
        const char* text;
        DATATYPE channel;
        std::optional<fx5cfg::Leaf> tag;
        std::optional<double> sent; // nothing: refused
        int integer = 0;
    };
    const Case cases[] = {
        {"40000", DATATYPE_INT, leaf(Scalar::Int16), {}},
        {"-32768", DATATYPE_INT, leaf(Scalar::Int16), -32768, -32768},
        {"0x7FFF", DATATYPE_INT, leaf(Scalar::Int16), 32767, 32767},
        {"1e3", DATATYPE_INT, leaf(Scalar::Int16), 1000, 1000},
        {"1.5", DATATYPE_INT, leaf(Scalar::Int16), {}},
        {"70000", DATATYPE_INT, leaf(Scalar::UInt16), {}},
        {"2", DATATYPE_INT, leaf(Scalar::Bool), {}},
        {"3000000000", DATATYPE_DOUBLE, leaf(Scalar::UInt32), 3e9},
        {"3000000000", DATATYPE_INT, leaf(Scalar::UInt32), 3e9, static_cast<int>(3000000000u)},
        {"3000000000", DATATYPE_INT, {}, {}},
        {"-1", DATATYPE_DOUBLE, leaf(Scalar::UInt32), {}},
        {"1e40", DATATYPE_DOUBLE, leaf(Scalar::Float), {}},
        {"1.25", DATATYPE_DOUBLE, leaf(Scalar::Float), 1.25},
        {"nan", DATATYPE_DOUBLE, leaf(Scalar::Float), {}},
        {"12ab", DATATYPE_DOUBLE, {}, {}},
        {"0123456789", DATATYPE_STRING, leaf(Scalar::String, 10), 0},
        {"0123456789A", DATATYPE_STRING, leaf(Scalar::String, 10), {}},
        {"中文", DATATYPE_STRING, leaf(Scalar::String, 3), {}},
        {"中文", DATATYPE_STRING, leaf(Scalar::WString, 2), 0},
        {"中文A", DATATYPE_STRING, leaf(Scalar::WString, 2), {}},
    };
    for (const Case& c : cases) {
        fx5run::WriteValue value;
        std::string why;
        const bool taken = fx5run::ParseWriteValue(c.text, c.channel, c.tag, value, why);
        EXPECT_EQ(taken, c.sent.has_value()) << c.text << ": " << why;
        if (!taken) {
            EXPECT_NE(why.find("nothing written"), std::string::npos) << c.text;
        } else if (c.channel == DATATYPE_INT) {
            EXPECT_EQ(value.integer, c.integer) << c.text;
        } else if (c.channel == DATATYPE_DOUBLE) {
            EXPECT_EQ(value.number, *c.sent) << c.text;
        }
    }
    // Values shown keep every digit, in the table and CSV as in JSON.
    EXPECT_EQ(fx5run::ValueText(3000000123.0), "3000000123");
    EXPECT_EQ(fx5run::ValueText(1234567.875), "1234567.875");
    EXPECT_EQ(fx5run::ValueText(0.1), "0.1");
    EXPECT_EQ(fx5run::ValueText(1.0 / 3), "0.3333333333333333");
}

// fx5-run's value store answers the driver for the variables declared and
// the project's channels only: an index outside them, or a channel with no
// value yet, is refused.
TEST(FxRunStore, ChannelsOutsideTheProjectAreRefused)
{
    fx5run::Variables variables;
    fx5run::ValueStore store(std::vector<fx5run::ChannelState>(2), variables, nullptr);
    int number = 0, id = 0;
    double value = 0;
    DATATYPE type = DATATYPE_INT;
    variables.Declare("v", 7);
    EXPECT_EQ(store.GetValueByName("v", number), 0);
    EXPECT_EQ(number, 7);
    EXPECT_EQ(store.GetValueByName("w", number), -1);
    EXPECT_EQ(store.GetValueByChannel(1, value), -1) << "nothing delivered yet";
    EXPECT_EQ(store.SetValueByChannel(1, 2.5), 0);
    EXPECT_EQ(store.GetValueByChannel(1, value), 0);
    EXPECT_EQ(value, 2.5);
    for (int channel : {-1, 2}) {
        EXPECT_EQ(store.GetValueByChannel(channel, value), -1) << channel;
        EXPECT_EQ(store.SetValueByChannel(channel, 1.0), -1) << channel;
        EXPECT_EQ(store.GetValueTypeByChannel(channel, type), -1) << channel;
        EXPECT_EQ(store.GetValueIDByChannel(channel, id), -1) << channel;
    }
    // A host variable keeps its type: what is set is converted to it, and a
    // text that is no number of that type leaves it as it was.
    using fx5run::Value;
    const std::tuple<Value, Value, int, Value> sets[] = {
        {5, std::string("12"), 0, 12},     {5, std::string("1.5"), -1, 5},   {5, 2.9, 0, 2},
        {1.0, std::string("2.5"), 0, 2.5}, {1.0, std::string("x"), -1, 1.0}, {std::string("a"), 3.5, 0, std::string("3.5")},
    };
    for (const auto& [initial, set, result, after] : sets) {
        variables.Declare("v", initial);
        Value given = set;
        EXPECT_EQ(std::visit([&](auto& v) { return store.SetValueByName("v", v); }, given), result) << fx5run::ValueText(set);
        EXPECT_EQ(variables.Snapshot().at("v"), after) << fx5run::ValueText(set);
    }
    // Read as the type the driver asks for.
    std::string text;
    variables.Declare("t", std::string("2.5"));
    EXPECT_EQ(store.GetValueByName("t", value), 0);
    EXPECT_EQ(value, 2.5);
    EXPECT_EQ(store.GetValueByName("t", text), 0);
    EXPECT_EQ(text, "2.5");
    EXPECT_EQ(store.GetValueTypeByName("t", type), 0);
    EXPECT_EQ(type, DATATYPE_STRING);
    EXPECT_EQ(store.GetValueTypeByName("u", type), -1);
    variables.Declare("t", std::string("x"));
    EXPECT_EQ(store.GetValueByName("t", value), -1);
    std::string four = "4";
    EXPECT_EQ(store.SetValueByChannel(0, four), 0);
    EXPECT_EQ(store.GetValueByChannel(0, number), 0);
    EXPECT_EQ(number, 4);
    EXPECT_EQ(store.GetValueByChannel(0, text), 0);
    EXPECT_EQ(text, "4");
}

// Records carry any text as it is: CSV fields quoted where they must be,
// JSON strings escaped; the record's time is left out here.
TEST(FxRunOutput, RecordsQuoteAndEscapeTheTextsTheyCarry)
{
    fx5run::Event value;
    value.kind = fx5run::Event::Value;
    value.device = "P,1";
    value.channel = 3;
    value.state.tag = "a\"b";
    value.state.type = DATATYPE_STRING;
    value.state.value = std::string("x\r\n\t\\\x01y");
    fx5run::Event failure;
    failure.kind = fx5run::Event::Failure;
    failure.device = "P";
    failure.status = 2;
    const std::pair<fx5run::Format, std::string> formats[] = {
        {fx5run::Format::Csv, "time,device,tag,channel,value,status,meaning\n"
                              ",\"P,1\",\"a\"\"b\",3,\"x\r\n\t\\\x01y\",0,\n"
                              ",P,,,,2,no response within the wait time\n"},
        {fx5run::Format::JsonLines, R"(,"device":"P,1","tag":"a\"b","channel":3,"value":"x\r\n\t\\\u0001y","type":"text","status":0})"
                                    "\n"
                                    R"(,"device":"P","status":2,"meaning":"no response within the wait time"})"
                                    "\n"},
    };
    // What `write` puts in a reporter of `format`.
    const auto output = [](fx5run::Format format, const std::function<void(fx5run::Reporter&)>& write) {
        std::FILE* file = std::tmpfile();
        fx5run::Reporter reporter(format, file);
        write(reporter);
        std::rewind(file);
        std::string written;
        for (int c; (c = std::fgetc(file)) != EOF;) written += static_cast<char>(c);
        std::fclose(file);
        return written;
    };
    for (const auto& [format, expected] : formats) {
        const std::string written = output(format, [&](fx5run::Reporter& reporter) {
            reporter.Begin();
            reporter.OnEvent(value);
            reporter.OnEvent(failure);
        });
        const std::regex time(R"(\{"time":"[^"]*"|[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:.]{12}Z)");
        EXPECT_EQ(std::regex_replace(written, time, ""), expected);
    }
    // The table keeps the last six messages, a failure among them with its meaning.
    const std::string table = output(fx5run::Format::Table, [&](fx5run::Reporter& reporter) {
        for (int i = 0; i < 7; ++i) {
            fx5run::Event note;
            note.device = "P";
            note.text = "note " + std::to_string(i);
            reporter.OnEvent(note);
        }
        reporter.OnEvent(failure);
        reporter.EndLive({});
    });
    EXPECT_EQ(table.find("P: note 1\n"), std::string::npos) << table;
    EXPECT_TRUE(std::regex_search(table, std::regex("\n[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} P: note 2\n"))) << table;
    EXPECT_NE(table.find("P: no response (no response within the wait time)\n"), std::string::npos) << table;
}

} // namespace
