// The driver hosted as fx5-run hosts it, over loopback TCP to the
// simulator: one collection call against the raw round trip of the same
// request on the same simulator, side by side, as a ratio (goal: at most
// 1.1); and values delivered per second by 1 and 8 devices at once.
#include <arpa/inet.h>
#include <sched.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "bench/CannedComm.h"
#include "bench/LoopbackServer.h"
#include "bench/Median.h"
#include "sim/TcpServer.h"
#include "support/RecordingStore.h"
#include "tools/common/CaptureFile.h"
#include "tools/common/DriverLibrary.h"
#include "tools/common/TcpChannel.h"
#include "tools/fx5-run/ValueStore.h"
#include "tools/fx5-config/Compiler.h"
#include "tools/fx5-config/ProjectJson.h"

namespace {

using Clock = std::chrono::steady_clock;

sim::TcpServer& Server() { return benchmarks::LoopbackServer(); }

const fx5::DriverLibrary& Library()
{
    static fx5::DriverLibrary library(ZOLT_DRIVER_PATH);
    return library;
}

// Ten words from D0 on, one channel each: one batch read of 10 words.
std::vector<unsigned char> Blob()
{
    std::string tags, channels;
    for (int i = 0; i < 10; ++i) {
        tags += std::string(i ? "," : "") + R"({"name": "w)" + std::to_string(i) + R"(", "type": "int16", "device": "D)" +
                std::to_string(i) + "\"}";
        channels += std::string(i ? "," : "") + R"({"tag": "w)" + std::to_string(i) + "\"}";
    }
    fx5cfg::Project project;
    fx5cfg::Diagnostics diagnostics;
    fx5cfg::ParseProject(R"({"tags": [)" + tags + R"(], "channels": [)" + channels + "]}", project, diagnostics);
    fx5cfg::Compiled compiled;
    fx5cfg::Compile(project, compiled, diagnostics);
    return compiled.blob;
}

// A device over its own TCP channel to the simulator.
struct HostedDevice {
    // `canned`: the first answer is replayed instead of asking again.
    explicit HostedDevice(bool canned = false) : channel("127.0.0.1", Server().Port()), replay(channel)
    {
        device = Library().Create("PLC1", &store);
        const std::vector<unsigned char> blob = Blob();
        ICommunication* comm = canned ? static_cast<ICommunication*>(&replay) : &channel;
        ready = device && device->UpdataCommunication(comm) == 0 && device->InitDevice(blob.data(), static_cast<int>(blob.size())) == 0 &&
                device->ChannelRefChange(flags.data(), 10) == 0;
    }
    // As fx5-run's session makes the call.
    int Collect()
    {
        store.CollectionStarted(std::chrono::steady_clock::now());
        const int status = device->CollectDevData(flags.data(), 10);
        store.CollectionEnded();
        return status;
    }
    static std::vector<fx5run::ChannelState> Channels()
    {
        std::vector<fx5run::ChannelState> channels(10);
        for (size_t i = 0; i < channels.size(); ++i) channels[i].tag = "w" + std::to_string(i);
        return channels;
    }
    fx5run::Variables variables;
    // fx5-run's own value store, without a listener: the output is not part
    // of a collection call.
    fx5run::ValueStore store{Channels(), variables, nullptr};
    fx5::TcpChannel channel;
    benchmarks::CannedComm replay;
    fx5::DriverLibrary::Device device{nullptr, {nullptr}};
    std::vector<int> flags = std::vector<int>(10, 1);
    bool ready = false;
};

// The driver's own request for the ten words (batch read of D0, 10 words)
// and the length of its answer.
constexpr uint8_t kRequest[] = {0x50, 0x00, 0x00, 0xFF, 0xFF, 0x03, 0x00, 0x0C, 0x00, 0x10, 0x00,
                                0x01, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA8, 0x0A, 0x00};
constexpr size_t kAnswerBytes = 31;

// A plain client of the same simulator that sends that request and reads
// the answer.
class RawClient {
public:
    RawClient() : m_fd(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(Server().Port());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_ready = m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        const int yes = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    }
    ~RawClient()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;
    bool ready() const { return m_ready; }
    bool RoundTrip()
    {
        uint8_t answer[kAnswerBytes];
        if (::send(m_fd, kRequest, sizeof kRequest, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof kRequest)) return false;
        size_t got = 0;
        while (got < sizeof answer) {
            const ssize_t n = ::recv(m_fd, answer + got, sizeof answer - got, 0);
            if (n <= 0) return false;
            got += static_cast<size_t>(n);
        }
        return true;
    }

private:
    int m_fd;
    bool m_ready = false;
};

// The same request through fx5-run's TCP channel alone, called as the
// driver calls it: waiting bytes discarded first, then the receive with its
// time-out until the answer is complete.
bool ChannelRoundTrip(fx5::TcpChannel& channel)
{
    unsigned char request[sizeof kRequest];
    std::copy(std::begin(kRequest), std::end(kRequest), request);
    int length = sizeof request;
    if (channel.PrepareSend() != 0 || channel.SendData(request, &length, 200) != static_cast<int>(sizeof request)) return false;
    unsigned char answer[512];
    size_t got = 0;
    do {
        length = sizeof answer;
        const int n = channel.ReceiveData(answer, &length, 200);
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    } while (length > 0);
    return got == kAnswerBytes;
}

// Pins every thread of this process (the simulator's included) to one CPU
// while it lives: on a VM, waking a thread on the other, idle CPU costs
// about 100 µs and which pair of threads pays it is chance, so unpinned
// figures compare the scheduler's placement rather than the work.
class PinnedToOneCpu {
public:
    PinnedToOneCpu()
    {
        CPU_ZERO(&m_before);
        sched_getaffinity(0, sizeof m_before, &m_before);
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &m_before)) {
                CPU_SET(cpu, &one);
                break;
            }
        }
        ForEachThread(one);
    }
    ~PinnedToOneCpu() { ForEachThread(m_before); }
    PinnedToOneCpu(const PinnedToOneCpu&) = delete;
    PinnedToOneCpu& operator=(const PinnedToOneCpu&) = delete;

private:
    static void ForEachThread(const cpu_set_t& set)
    {
        std::error_code ignored;
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ignored))
            sched_setaffinity(static_cast<pid_t>(std::stol(task.path().filename().string())), sizeof set, &set);
    }
    cpu_set_t m_before;
};

// Calls a block of the loopback benchmarks makes in a row.
constexpr int kBlock = 200;

template <class Call>
double MeanMicros(int count, Call call)
{
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) call();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / count;
}

// Both connections stay open, every thread runs on one CPU, and the two
// loops alternate in short blocks, so that both see the same machine; the
// figures are the medians of the block means, the ratio the median of the
// ratios of neighbouring blocks.
template <class Measured, class Raw>
void PairedBlocks(benchmark::State& state, Measured measured, Raw rawRoundTrip, const char* name)
{
    std::vector<double> mine, direct, ratios;
    bool failed = false;
    bool rawFirst = false;
    for (auto _ : state) {
        const auto measure = [&] { mine.push_back(MeanMicros(kBlock, [&] { failed |= !measured(); })); };
        const auto raw = [&] { direct.push_back(MeanMicros(kBlock, [&] { failed |= !rawRoundTrip(); })); };
        // Which loop goes first alternates, so that neither gains from its place.
        if (rawFirst) {
            raw();
            measure();
        } else {
            measure();
            raw();
        }
        rawFirst = !rawFirst;
        ratios.push_back(mine.back() / direct.back());
    }
    if (failed) state.SkipWithError("an exchange failed");
    state.counters[name] = Median(mine);
    state.counters["raw_us"] = Median(direct);
    state.counters["ratio"] = Median(ratios);
}

void BM_CollectCallAgainstRawRoundTrip(benchmark::State& state)
{
    HostedDevice host;
    RawClient raw;
    // One exchange on each connection first, so that the simulator's thread
    // serving it exists when the threads are pinned.
    if (!host.ready || !raw.ready() || host.Collect() != 0 || !raw.RoundTrip()) {
        state.SkipWithError("device not ready");
        return;
    }
    const PinnedToOneCpu pinned;
    PairedBlocks(
        state, [&] { return host.Collect() == 0; }, [&] { return raw.RoundTrip(); }, "collect_us");
}
BENCHMARK(BM_CollectCallAgainstRawRoundTrip)->Iterations(41)->UseRealTime()->Unit(benchmark::kMillisecond);

// fx5-run's TCP channel alone against the raw round trip: the share of the
// loopback figure its discard of waiting bytes and its receive time-out
// take, with no driver.
void BM_ChannelAgainstRawRoundTrip(benchmark::State& state)
{
    fx5::TcpChannel channel("127.0.0.1", Server().Port());
    RawClient raw;
    if (!raw.ready() || !ChannelRoundTrip(channel) || !raw.RoundTrip()) {
        state.SkipWithError("simulator not reached");
        return;
    }
    const PinnedToOneCpu pinned;
    PairedBlocks(
        state, [&] { return ChannelRoundTrip(channel); }, [&] { return raw.RoundTrip(); }, "channel_us");
}
BENCHMARK(BM_ChannelAgainstRawRoundTrip)->Iterations(41)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same channel writing every exchange into a capture file (flushed
// after every packet) against one that does not: what --capture costs.
void BM_ChannelWithCaptureAgainstWithout(benchmark::State& state)
{
    char path[] = "/tmp/fx5-bench-capture-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd >= 0) ::close(fd);
    std::string error;
    std::shared_ptr<fx5::CaptureFile> file = fx5::CaptureFile::Open(path, error);
    fx5::TcpChannel captured("127.0.0.1", Server().Port()), plain("127.0.0.1", Server().Port());
    if (!file) {
        state.SkipWithError(error.c_str());
        return;
    }
    fx5::CaptureFile::Connection connection(*file);
    captured.OnWire([&connection](const fx5::WireEvent& event) { connection.Record(event); });
    if (!ChannelRoundTrip(captured) || !ChannelRoundTrip(plain)) {
        state.SkipWithError("simulator not reached");
    } else {
        const PinnedToOneCpu pinned;
        PairedBlocks(
            state, [&] { return ChannelRoundTrip(captured); }, [&] { return ChannelRoundTrip(plain); }, "capture_us");
    }
    std::remove(path);
}
BENCHMARK(BM_ChannelWithCaptureAgainstWithout)->Iterations(21)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same collection call answered from memory: the driver's and the
// store's share of the loopback figure.
void BM_CollectCallInMemory(benchmark::State& state)
{
    HostedDevice host(true);
    if (!host.ready || host.Collect() != 0) {
        state.SkipWithError("device not ready");
        return;
    }
    for (auto _ : state) {
        if (host.Collect() != 0) state.SkipWithError("collection failed");
    }
}
BENCHMARK(BM_CollectCallInMemory)->Unit(benchmark::kMicrosecond);

// The same call from memory, timed alone right after each raw round trip
// on the same CPU: the driver's and the store's share of the loopback
// figure as they pay it there, with caches the simulator and the network
// stack have just used.
void BM_CollectCallAfterARoundTrip(benchmark::State& state)
{
    HostedDevice host(true);
    RawClient raw;
    if (!host.ready || !raw.ready() || host.Collect() != 0 || !raw.RoundTrip()) {
        state.SkipWithError("device not ready");
        return;
    }
    const PinnedToOneCpu pinned;
    std::vector<double> blocks;
    bool failed = false;
    for (auto _ : state) {
        Clock::duration spent{};
        for (int i = 0; i < kBlock; ++i) {
            failed |= !raw.RoundTrip();
            const auto start = Clock::now();
            failed |= host.Collect() != 0;
            spent += Clock::now() - start;
        }
        blocks.push_back(std::chrono::duration<double, std::micro>(spent).count() / kBlock);
    }
    if (failed) state.SkipWithError("collection failed");
    state.counters["collect_us"] = Median(blocks);
}
BENCHMARK(BM_CollectCallAfterARoundTrip)->Iterations(41)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ValuesDeliveredPerSecond(benchmark::State& state)
{
    HostedDevice host;
    if (!host.ready) {
        state.SkipWithError("device not ready");
        return;
    }
    for (auto _ : state) host.Collect();
    state.SetItemsProcessed(static_cast<int64_t>(host.store.Snapshot()[0].reads > 0 ? state.iterations() * 10 : 0));
}
BENCHMARK(BM_ValuesDeliveredPerSecond)->Threads(1)->Threads(8)->UseRealTime()->MinTime(1.0);

} // namespace

namespace {

// A controller that answers every request with end code C051: the driver's
// collection call, which used to wait out the whole wait time (200 ms) for
// the longer data answer.
void BM_CollectAgainstAnEndCode(benchmark::State& state)
{
    static sim::DeviceMemory memory;
    static sim::TcpServer refusing(memory);
    static const bool started = [] {
        sim::ServerFaults faults;
        faults.endCode = 0xC051;
        refusing.SetFaults(faults);
        return refusing.Start(0);
    }();
    (void)started;
    testing_support::RecordingStore store;
    store.DeclareChannels(10, DATATYPE_INT);
    fx5::TcpChannel channel("127.0.0.1", refusing.Port());
    auto device = Library().Create("PLC1", &store);
    const std::vector<unsigned char> blob = Blob();
    std::vector<int> flags(10, 1);
    if (!device || device->UpdataCommunication(&channel) != 0 || device->InitDevice(blob.data(), static_cast<int>(blob.size())) != 0 ||
        device->ChannelRefChange(flags.data(), 10) != 0) {
        state.SkipWithError("device not ready");
        return;
    }
    for (auto _ : state)
        if (device->CollectDevData(flags.data(), 10) != 100 + 0xC051) state.SkipWithError("expected end code C051");
}
BENCHMARK(BM_CollectAgainstAnEndCode)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace
