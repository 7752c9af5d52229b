// The driver hosted as fx5-run hosts it, over loopback TCP to the
// simulator: one collection call against the raw round trip of the same
// request on the same simulator, side by side, as a ratio (goal: at most
// 1.1); and values delivered per second by 1 and 8 devices at once.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>

#include "bench/LoopbackServer.h"
#include "sim/TcpServer.h"
#include "support/RecordingStore.h"
#include "tools/common/DriverLibrary.h"
#include "tools/common/TcpChannel.h"
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
    HostedDevice() : channel("127.0.0.1", Server().Port())
    {
        store.DeclareChannels(10, DATATYPE_INT);
        device = Library().Create("PLC1", &store);
        const std::vector<unsigned char> blob = Blob();
        ready = device && device->UpdataCommunication(&channel) == 0 &&
                device->InitDevice(blob.data(), static_cast<int>(blob.size())) == 0 && device->ChannelRefChange(flags.data(), 10) == 0;
    }
    int Collect() { return device->CollectDevData(flags.data(), 10); }
    testing_support::RecordingStore store;
    fx5::TcpChannel channel;
    fx5::DriverLibrary::Device device{nullptr, {nullptr}};
    std::vector<int> flags = std::vector<int>(10, 1);
    bool ready = false;
};

double RawRoundTripMicros(int count)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(Server().Port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 0;
    const int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    // The driver's own request for the ten words: batch read of D0, 10 words.
    const uint8_t request[] = {0x50, 0x00, 0x00, 0xFF, 0xFF, 0x03, 0x00, 0x0C, 0x00, 0x10, 0x00,
                               0x01, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA8, 0x0A, 0x00};
    uint8_t answer[31];
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        ::send(fd, request, sizeof request, MSG_NOSIGNAL);
        size_t got = 0;
        while (got < sizeof answer) {
            const ssize_t n = ::recv(fd, answer + got, sizeof answer - got, 0);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
    }
    ::close(fd);
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / count;
}

void BM_CollectCallAgainstRawRoundTrip(benchmark::State& state)
{
    HostedDevice host;
    if (!host.ready) {
        state.SkipWithError("device not ready");
        return;
    }
    int calls = 0;
    const auto start = Clock::now();
    for (auto _ : state) {
        if (host.Collect() != 0) state.SkipWithError("collection failed");
        ++calls;
    }
    const double collect = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / std::max(1, calls);
    const double raw = RawRoundTripMicros(std::max(200, calls));
    state.counters["collect_us"] = collect;
    state.counters["raw_us"] = raw;
    state.counters["ratio"] = raw > 0 ? collect / raw : 0;
}
BENCHMARK(BM_CollectCallAgainstRawRoundTrip)->UseRealTime()->MinTime(1.0);

void BM_ValuesDeliveredPerSecond(benchmark::State& state)
{
    HostedDevice host;
    if (!host.ready) {
        state.SkipWithError("device not ready");
        return;
    }
    for (auto _ : state) host.Collect();
    state.SetItemsProcessed(static_cast<int64_t>(host.store.channels.size() ? state.iterations() * 10 : 0));
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
