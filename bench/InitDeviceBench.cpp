// InitDevice of a large configuration blob: time and peak memory.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <new>

#include "bench/Median.h"
#include "support/BlobBuilder.h"
#include "config/ConfigBlob.h"
#include "config/SectionedConfig.h"
#include "host/Logger.h"
#include "tags/TreeSerialize.h"
#include "vi5z_uvevarov_ave/KVSGConvertLayer.h"

// Heap accounting while an InitDevice is timed, and only then: the other
// benchmarks of this program (the driver's allocations included) run on
// the plain allocator.
namespace {
std::atomic<bool> g_counting{false};
std::atomic<int64_t> g_net{0};
std::atomic<int64_t> g_peak{0};

void StartCounting()
{
    g_net = 0;
    g_peak = 0;
    g_counting = true;
}
void StopCounting() { g_counting = false; }
} // namespace

__attribute__((noinline)) void* operator new(size_t size)
{
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    if (g_counting.load(std::memory_order_relaxed)) {
        const int64_t now = g_net += static_cast<int64_t>(malloc_usable_size(p));
        int64_t peak = g_peak.load();
        while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {}
    }
    return p;
}
__attribute__((noinline)) void operator delete(void* p) noexcept
{
    if (!p) return;
    if (g_counting.load(std::memory_order_relaxed)) g_net -= static_cast<int64_t>(malloc_usable_size(p));
    std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

// `tags` leaves in arrays of 100 under ten programs; every second one bound.
std::vector<unsigned char> LargeBlob(int tags, int channels)
{
    TreeSerialize::NodeSpec root{testing_support::MakeVariable("", "", 21, 0, 0), {}};
    std::vector<std::string> paths;
    int made = 0;
    for (int program = 0; made < tags; ++program) {
        const std::string name = "P" + std::to_string(program);
        TreeSerialize::NodeSpec node{testing_support::MakeVariable(name, name, 21, 0, 0), {}};
        for (int array = 0; array < 10 && made < tags; ++array) {
            const std::string arrayPath = name + ".a" + std::to_string(array);
            TreeSerialize::NodeSpec arr{testing_support::MakeVariable("a" + std::to_string(array), arrayPath, 21, 0, 0), {}};
            for (int i = 0; i < 100 && made < tags; ++i, ++made) {
                const std::string path = arrayPath + "[" + std::to_string(i) + "]";
                arr.children.push_back({testing_support::MakeVariable("[" + std::to_string(i) + "]", path, 4, made % 2 ? REG_R : REG_D,
                                                                      static_cast<uint32_t>(made / 2)),
                                        {}});
                if (made % (tags / channels) == 0 && static_cast<int>(paths.size()) < channels) paths.push_back(path);
            }
            node.children.push_back(std::move(arr));
        }
        root.children.push_back(std::move(node));
    }
    DevicePropertySerilize properties;
    properties.fromDeviceProperty(std::make_shared<DevicePropertyConfigWraper>());
    return WriteConfigBlob(
        WriteSectionedContainer({{SECTION_PROPERTIES, properties.bytes()}, {SECTION_TAGTREE, TreeSerialize::WriteTree(root)}}), paths);
}

void BM_InitDevice(benchmark::State& state)
{
    zolt_log::SetSink(nullptr);
    const int tags = static_cast<int>(state.range(0));
    const std::vector<unsigned char> blob = LargeBlob(tags, tags / 2);
    int64_t peak = 0, held = 0;
    // Only InitDevice is timed: making the object and releasing the load
    // are outside the figure.
    for (auto _ : state) {
        state.PauseTiming();
        auto driver = std::make_unique<KVSG::KVSGConvertLayer>("PLC1", nullptr);
        StartCounting();
        state.ResumeTiming();
        if (driver->InitDevice(blob.data(), static_cast<int>(blob.size())) != 0) state.SkipWithError("refused");
        state.PauseTiming();
        StopCounting();
        peak = std::max(peak, g_peak.load());
        held = g_net.load();
        benchmark::DoNotOptimize(driver->Table());
        driver.reset();
        state.ResumeTiming();
    }
    state.counters["tags"] = tags;
    state.counters["channels"] = tags / 2;
    state.counters["blob_KiB"] = static_cast<double>(blob.size()) / 1024.0;
    state.counters["peak_MiB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
    state.counters["held_MiB"] = static_cast<double>(held) / (1024.0 * 1024.0);
    zolt_log::ResetSink();
}
// Medians of five runs: one run's cache and allocator luck moves the
// 40 000 to 10 000 ratio by half a unit.
BENCHMARK(BM_InitDevice)->Arg(2500)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The 40 000 to 10 000 ratio from loads made back to back, the median of
// the pairs' ratios: the VM's speed drifts by tens of percent from minute
// to minute, which separate runs would count as growth (or its absence).
void BM_InitDeviceLinearity(benchmark::State& state)
{
    zolt_log::SetSink(nullptr);
    const std::vector<unsigned char> small = LargeBlob(10000, 5000);
    const std::vector<unsigned char> large = LargeBlob(40000, 20000);
    std::vector<double> smallMs, largeMs, ratios;
    bool refused = false;
    const auto timedLoad = [&refused](const std::vector<unsigned char>& blob) {
        auto driver = std::make_unique<KVSG::KVSGConvertLayer>("PLC1", nullptr);
        const auto start = std::chrono::steady_clock::now();
        refused |= driver->InitDevice(blob.data(), static_cast<int>(blob.size())) != 0;
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    for (auto _ : state) {
        // Which load goes first alternates, so that neither always finds
        // the heap the other left.
        const bool smallFirst = smallMs.size() % 2 == 0;
        const double first = timedLoad(smallFirst ? small : large);
        const double second = timedLoad(smallFirst ? large : small);
        smallMs.push_back(smallFirst ? first : second);
        largeMs.push_back(smallFirst ? second : first);
        ratios.push_back(largeMs.back() / smallMs.back());
    }
    if (refused) state.SkipWithError("refused");
    state.counters["ms_10000"] = Median(smallMs);
    state.counters["ms_40000"] = Median(largeMs);
    state.counters["ratio"] = Median(ratios);
    zolt_log::ResetSink();
}
BENCHMARK(BM_InitDeviceLinearity)->Iterations(41)->Unit(benchmark::kMillisecond);

} // namespace
BENCHMARK_MAIN();
