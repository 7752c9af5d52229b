// The soak: fx5-run (driver .so inside) against fx5-sim over loopback while
// the simulator's faults switch at random from a fixed seed. The simulator
// writes its pattern memory, so every value the runner delivers is checked
// against the device number it must come from and the time it was read:
// no value from a failed read, none on another channel, only the statuses
// the driver defines, a reconnect after every drop, another client of the
// simulator served in every phase, and the runner's memory flat. Exit 0
// when all held; 1 with each fault found.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "sim/PatternMemory.h"
#include "support/SlmpClient.h"
#include "tools/common/ChildProcess.h"
#include "tools/common/SimProcess.h"

namespace {

using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

// A delivered value may be this many pattern steps (100 ms each) old: the
// slowest exchange of a phase and the output's lag.
constexpr int64_t kStepSlack = 30;
// End codes the phases inject; a collection fails with 100 + code.
const int kEndCodes[] = {0xC050, 0xC051, 0xC059, 0xC061};

struct Channel {
    std::string tag;
    uint32_t number;
    bool dword;
    int64_t lastStep = -1;
    uint64_t values = 0;
    Clock::time_point last{};
};

// Whether words of numbers a and b at one step decode to steps far apart.
bool FarApart(uint32_t a, uint32_t b)
{
    const auto apart = static_cast<int16_t>(static_cast<uint16_t>((b - a) * sim::kPatternFactor));
    return std::abs(apart) > 4 * kStepSlack;
}

// 24 single words and 4 double words between D0 and D1023, each pair of
// words far apart in the pattern, so that a value on another channel or
// from another word can never pass for this one's.
std::vector<Channel> Channels()
{
    std::vector<Channel> channels;
    std::vector<uint32_t> words;
    auto fits = [&words](uint32_t n) {
        return std::all_of(words.begin(), words.end(), [n](uint32_t m) { return n != m && FarApart(n, m); });
    };
    for (uint32_t n = 3; n + 1 < sim::kPatternWords && channels.size() < 28; n += 11) {
        const bool dword = channels.size() >= 24;
        if (!fits(n) || (dword && (!fits(n + 1) || !FarApart(n, n + 1)))) continue;
        words.push_back(n);
        if (dword) words.push_back(n + 1);
        channels.push_back({(dword ? "d" : "w") + std::to_string(channels.size()), n, dword});
    }
    return channels;
}

std::string ProjectFile(const std::vector<Channel>& channels)
{
    Json project;
    project["device"] = {{"waitTimeMs", 200}};
    for (const Channel& c : channels) {
        project["tags"].push_back({{"name", c.tag}, {"type", c.dword ? "uint32" : "uint16"}, {"device", "D" + std::to_string(c.number)}});
        project["channels"].push_back({{"tag", c.tag}});
    }
    const std::string path = "/tmp/fx5-soak-" + std::to_string(::getpid()) + ".json";
    std::ofstream(path) << project.dump(1);
    return path;
}

// A fault line for the simulator: one or two faults, or none.
std::string PickFaults(std::mt19937& rng)
{
    auto one = [&rng]() -> std::string {
        switch (std::uniform_int_distribution<int>(0, 5)(rng)) {
        case 0: return "delay=" + std::to_string(std::array<int, 3>{50, 150, 400}[std::uniform_int_distribution<size_t>(0, 2)(rng)]);
        case 1: return "silent-every=" + std::to_string(std::uniform_int_distribution<int>(2, 5)(rng));
        case 2: {
            char code[16];
            std::snprintf(code, sizeof code, "end-code=%04X", kEndCodes[std::uniform_int_distribution<size_t>(0, 3)(rng)]);
            return code;
        }
        case 3: return "wrong-routing";
        case 4: return "close-after=" + std::to_string(std::uniform_int_distribution<int>(3, 20)(rng));
        default: return "split";
        }
    };
    const int kind = std::uniform_int_distribution<int>(0, 9)(rng);
    if (kind < 2) return "none";
    if (kind < 8) return one();
    return one() + " " + one();
}

// Another client of the simulator: reads D0 every 50 ms on its own
// connection, reconnecting after any failure, and counts the answers.
class SideClient {
public:
    explicit SideClient(uint16_t port) : m_port(port), m_thread([this] { Run(); }) {}
    ~SideClient()
    {
        m_running = false;
        m_thread.join();
    }
    SideClient(const SideClient&) = delete;
    SideClient& operator=(const SideClient&) = delete;
    uint64_t answers() const { return m_answers; }

private:
    void Run()
    {
        std::unique_ptr<testing_support::SlmpClient> client;
        while (m_running) {
            if (!client) client = std::make_unique<testing_support::SlmpClient>(m_port);
            // Any complete answer counts, whatever its end code.
            if (client->Connected() && client->Request(0x0401, 0x0000, {0, 0, 0, testing_support::code::D, 1, 0}, 1000).received)
                ++m_answers;
            else
                client.reset();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    uint16_t m_port;
    std::atomic<bool> m_running{true};
    std::atomic<uint64_t> m_answers{0};
    std::thread m_thread;
};

class Checker {
public:
    explicit Checker(std::vector<Channel> channels) : m_channels(std::move(channels))
    {
        for (size_t i = 0; i < m_channels.size(); ++i) m_byTag[m_channels[i].tag] = i;
        for (int code : kEndCodes) m_allowed.insert(100 + code);
        m_allowed.insert(2); // no response
        m_allowed.insert(3); // routing mismatch
    }

    void Record(const Json& r)
    {
        if (r.contains("summary")) {
            m_summary = r["summary"];
        } else if (r.contains("tag")) {
            Value(r);
        } else if (r.contains("meaning")) {
            ++m_failures[r["status"].get<int>()];
            if (!m_allowed.count(r["status"].get<int>()))
                Fault("status " + r["status"].dump() + " is none the faults can cause: " + r.dump());
        } else if (r.contains("message")) {
            const std::string text = r["message"];
            if (text.find(" lost (") != std::string::npos) ++m_drops;
            if (text.rfind("reconnected to ", 0) == 0) ++m_reconnects;
        }
    }

    void Fault(const std::string& what)
    {
        if (m_faults.size() < 20) std::printf("FAULT: %s\n", what.c_str());
        m_faults.push_back(what);
    }

    // Every channel has had a value since `since`.
    void AllFreshSince(Clock::time_point since, const char* when)
    {
        for (const Channel& c : m_channels)
            if (c.last < since) Fault(c.tag + " got no value " + when);
    }

    bool ok() const { return m_faults.empty(); }
    uint64_t values() const { return m_values; }
    uint64_t drops() const { return m_drops; }
    uint64_t reconnects() const { return m_reconnects; }
    const std::map<int, uint64_t>& failures() const { return m_failures; }
    const Json& summary() const { return m_summary; }

private:
    // The simulator writes step t at t x 100 ms from its start (on an
    // absolute schedule, so it does not drift): the step now, from the first
    // value seen.
    int64_t StepNow() const
    {
        return m_anchorStep + std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_anchorTime).count() / 100;
    }

    // The unwrapped step of a word of `number`, or false when it is not a
    // step of the last few seconds: no value read now, or one of another word.
    bool StepOf(uint32_t number, uint16_t word, int64_t& step)
    {
        const uint16_t s = sim::PatternStep(number, word);
        if (m_anchorStep < 0) {
            m_anchorStep = s;
            m_anchorTime = Clock::now();
        }
        const int64_t now = StepNow();
        const int64_t delta = static_cast<int16_t>(static_cast<uint16_t>(s - static_cast<uint16_t>(now)));
        step = now + delta;
        return delta >= -kStepSlack && delta <= 3;
    }

    void Value(const Json& r)
    {
        ++m_values;
        auto it = m_byTag.find(r["tag"].get<std::string>());
        if (it == m_byTag.end()) return Fault("a value for a tag of no channel: " + r.dump());
        Channel& c = m_channels[it->second];
        if (r["channel"] != it->second) return Fault(c.tag + " delivered on channel " + r["channel"].dump());
        if (!r["value"].is_number() || r["value"].get<double>() != static_cast<double>(static_cast<int64_t>(r["value"].get<double>())))
            return Fault(c.tag + " is not a whole number: " + r.dump());
        const auto value = static_cast<int64_t>(r["value"].get<double>());
        int64_t step = 0, high = 0;
        const bool fits = StepOf(c.number, static_cast<uint16_t>(value & 0xFFFF), step) &&
                          (!c.dword || (StepOf(c.number + 1, static_cast<uint16_t>((value >> 16) & 0xFFFF), high) && high == step));
        if (!fits)
            return Fault(c.tag + " (D" + std::to_string(c.number) + ") = " + std::to_string(value) + " is no value of D" +
                         std::to_string(c.number) + " read now (step now " + std::to_string(StepNow()) + ")");
        if (step < c.lastStep)
            return Fault(c.tag + " went back from step " + std::to_string(c.lastStep) + " to " + std::to_string(step) + ": an old answer");
        c.lastStep = step;
        c.last = Clock::now();
        ++c.values;
    }

    std::vector<Channel> m_channels;
    std::map<std::string, size_t> m_byTag;
    std::set<int> m_allowed;
    std::map<int, uint64_t> m_failures;
    std::vector<std::string> m_faults;
    int64_t m_anchorStep = -1;
    Clock::time_point m_anchorTime{};
    uint64_t m_values = 0, m_drops = 0, m_reconnects = 0;
    Json m_summary;
};

// Reads the runner's records until `until`.
void Consume(fx5::ChildProcess& runner, Checker& checker, Clock::time_point until)
{
    std::string line;
    while (Clock::now() < until) {
        if (!runner.ReadLine(line, 50)) continue;
        const Json record = Json::parse(line, nullptr, false);
        if (!record.is_discarded()) checker.Record(record);
    }
}

} // namespace

// A file removed however the soak ends.
struct RemovedAtExit {
    std::string path;
    ~RemovedAtExit() { std::remove(path.c_str()); }
};

int main(int argc, char** argv)
{
    CLI::App app{"The soak: fx5-run against fx5-sim with faults switched at random, every delivered value checked."};
    double seconds = 120;
    unsigned seed = 1;
    std::string runPath = FX5_RUN_PATH, simPath = FX5_SIM_PATH, driverPath = ZOLT_DRIVER_PATH;
    app.add_option("--seconds", seconds, "How long the faults switch (then 8 s without)")->capture_default_str();
    app.add_option("--seed", seed, "Seed of the fault sequence")->capture_default_str();
    app.add_option("--fx5-run", runPath)->capture_default_str();
    app.add_option("--fx5-sim", simPath)->capture_default_str();
    app.add_option("--driver", driverPath)->capture_default_str();
    bool rssUnchecked = false;
    app.add_flag("--rss-unchecked", rssUnchecked, "Print the RSS but do not hold it flat (a sanitizer's quarantine grows it)");
    CLI11_PARSE(app, argc, argv);
    signal(SIGPIPE, SIG_IGN);

    const std::vector<Channel> channels = Channels();
    if (channels.size() != 28) {
        std::printf("the pattern leaves room for only %zu channels\n", channels.size());
        return 1;
    }
    const RemovedAtExit project{ProjectFile(channels)};
    fx5::SimProcess sim(simPath, {"--pattern", "--faults-from-stdin"});
    if (!sim.Running()) {
        std::printf("fx5-sim did not start\n");
        return 1;
    }
    fx5::ChildProcess runner(runPath, {"--host", "127.0.0.1", "--port", std::to_string(sim.Port()), "--project", project.path, "--format",
                                       "jsonl", "--interval", "10", "--driver", driverPath});
    SideClient side(sim.Port());
    Checker checker(channels);
    std::mt19937 rng(seed);

    const auto start = Clock::now();
    Consume(runner, checker, start + std::chrono::seconds(5));
    checker.AllFreshSince(start, "in the first 5 s");
    const long rssStart = runner.RssKb();

    const auto faultsEnd = start + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    int phases = 0;
    std::map<std::string, int> kinds;
    // The other client is served through every fault: two phases in a row
    // without an answer are a fault (one unanswered request costs it a
    // second of waiting, which a short phase may be all of).
    std::string quietPhase;
    while (Clock::now() < faultsEnd) {
        const std::string faults = PickFaults(rng);
        std::string ack;
        if (!sim.WriteLine(faults) || !sim.ReadLine(ack, 2000) || ack != "faults: " + faults)
            checker.Fault("the simulator did not take '" + faults + "': " + ack);
        ++phases;
        ++kinds[faults.substr(0, faults.find_first_of("= "))];
        const uint64_t answersBefore = side.answers();
        Consume(runner, checker, Clock::now() + std::chrono::milliseconds(std::uniform_int_distribution<int>(1000, 4000)(rng)));
        if (side.answers() != answersBefore) {
            quietPhase.clear();
        } else if (quietPhase.empty()) {
            quietPhase = faults;
        } else {
            checker.Fault("the other client got no answer while '" + quietPhase + "' and then '" + faults + "'");
        }
    }
    std::string ack;
    sim.WriteLine("none");
    sim.ReadLine(ack, 2000);
    // Back-off after a drop reaches 5 s at most: 8 s clean bring every channel back.
    const auto clean = Clock::now();
    Consume(runner, checker, clean + std::chrono::seconds(8));
    checker.AllFreshSince(clean + std::chrono::seconds(6), "in the last 2 s without faults");
    const long rssEnd = runner.RssKb();

    ::kill(runner.Pid(), SIGINT);
    std::string line;
    while (runner.ReadLine(line, 5000)) {
        const Json record = Json::parse(line, nullptr, false);
        if (!record.is_discarded()) checker.Record(record);
    }
    const auto runnerExit = runner.Wait(10);
    if (runnerExit.status != 0) checker.Fault("fx5-run ended with status " + std::to_string(runnerExit.status));
    if (checker.summary().is_null()) checker.Fault("fx5-run printed no summary");
    if (checker.reconnects() < checker.drops())
        checker.Fault(std::to_string(checker.drops()) + " drops but " + std::to_string(checker.reconnects()) + " reconnects");
    // Memory flat: the heap may settle, not grow with the run.
    if (!rssUnchecked && rssEnd > rssStart + std::max(2048L, rssStart / 4))
        checker.Fault("fx5-run grew from " + std::to_string(rssStart) + " KiB to " + std::to_string(rssEnd) + " KiB");

    std::printf("soak: seed %u, %.0f s of faults in %d phases (", seed, seconds, phases);
    bool first = true;
    for (const auto& [kind, count] : kinds) std::printf("%s%s %d", first ? "" : ", ", kind.c_str(), count), first = false;
    std::printf(")\n");
    std::printf("soak: %llu values checked, %llu side-client answers, %llu drops, %llu reconnects\n",
                static_cast<unsigned long long>(checker.values()), static_cast<unsigned long long>(side.answers()),
                static_cast<unsigned long long>(checker.drops()), static_cast<unsigned long long>(checker.reconnects()));
    std::printf("soak: failed collections by status:");
    for (const auto& [status, count] : checker.failures()) std::printf(" %d x%llu", status, static_cast<unsigned long long>(count));
    std::printf("\nsoak: fx5-run RSS %ld KiB after 5 s, %ld KiB at the end\n", rssStart, rssEnd);
    std::printf("soak: %s\n", checker.ok() ? "every value on its own channel, fresh, and every status expected" : "FAILED");
    return checker.ok() ? 0 : 1;
}
