// Planning cost, driver CPU per collection call, and requests per refresh.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <set>

#include "bench/CannedComm.h"
#include "host/ZoltTools.h"
#include "sim/ModelComm.h"
#include "sim/SinkValueStore.h"
#include "vi5z_uvevarov_ave/ConvertLayer.h"

namespace {

CDevRow Row(unsigned type, unsigned address, unsigned code)
{
    CDevRow row;
    row.SetdwValue(ROW_RWFLAG, 2);
    row.SetdwValue(ROW_TYPE, type);
    row.SetdwValue(ROW_ADDRESS, address);
    row.SetdwValue(ROW_DATATYPE, code);
    return row;
}

unsigned CodeFor(unsigned type)
{
    if (DEV_CHL_WORD_LEN_TYPE[type] == 0) return CHLCODE_BITDEVICE;
    return DEV_CHL_WORD_LEN_TYPE[type] == 2 ? CHLCODE_DUB : CHLCODE_WUB;
}

// Host channel h is row h; the rows come sorted.
class BenchLayer : public ConvertLayer {
public:
    BenchLayer(IDevRtdbCtrl* store, std::vector<CDevRow> rows) : ConvertLayer("PLC1", store), m_rows(std::move(rows)) {}
    int _Deserialize(const unsigned char*, unsigned int) override
    {
        CDevTable& table = *m_data.m_pDevData->m_pTable;
        for (const CDevRow& row : m_rows) table.Insert(row);
        table.BuildRowMap();
        m_vecHostToRow.resize(static_cast<size_t>(table.GetRowCount()));
        for (size_t i = 0; i < m_vecHostToRow.size(); ++i) m_vecHostToRow[i] = static_cast<uint32_t>(i);
        m_vecRowToHost = m_vecHostToRow;
        return 0;
    }
    int Init()
    {
        const unsigned char any[1] = {0};
        return InitDevice(any, 1);
    }
    int Count() const { return static_cast<int>(m_vecHostToRow.size()); }
    // Replaces the plan by one rank over every row, as large as a request may be.
    void SingleRank()
    {
        DEV_DATA& dev = *m_data.m_pDevData;
        dev.m_arBlock.SetSize(1);
        dev.m_arBlock[0].m_nFirstRow = 0;
        dev.m_arBlock[0].m_nLastRow = Count() - 1;
        dev.m_arBlock[0].m_nRank = 0;
        dev.m_nRankNum = 1;
    }
    int Ranks() const { return m_data.m_pDevData->m_nRankNum; }

private:
    std::vector<CDevRow> m_rows;
};

// A realistic mix: mostly scattered runs over D, M, X, Y, W, R, ZR-like R and LZ.
std::vector<CDevRow> Mix(int count, unsigned seed)
{
    std::mt19937 random(seed);
    const unsigned types[] = {REG_D, REG_D, REG_D, REG_M, REG_M, REG_X, REG_Y, REG_W, REG_R, REG_R, REG_LZ};
    std::set<std::pair<unsigned, unsigned>> taken;
    std::vector<CDevRow> rows;
    while (static_cast<int>(rows.size()) < count) {
        const unsigned type = types[random() % 11];
        const unsigned limit = type == REG_LZ ? 12 : (type == REG_X || type == REG_Y ? 1024 : 32768);
        unsigned address = random() % limit;
        const unsigned run = 1 + random() % 12;
        for (unsigned i = 0; i < run && static_cast<int>(rows.size()) < count && address + i < limit; ++i) {
            if (taken.insert({type, address + i}).second) rows.push_back(Row(type, address + i, CodeFor(type)));
        }
    }
    return rows;
}

void BM_Planning(benchmark::State& state)
{
    sim::SinkValueStore store;
    BenchLayer layer(&store, Mix(static_cast<int>(state.range(0)), 7));
    layer.Init();
    std::vector<int> refs(static_cast<size_t>(layer.Count()), 1);
    for (auto _ : state) benchmark::DoNotOptimize(layer.ChannelRefChange(refs.data(), layer.Count()));
    state.counters["channels"] = layer.Count();
    state.counters["ranks"] = layer.Ranks();
    state.counters["ns_per_channel"] =
        benchmark::Counter(static_cast<double>(layer.Count()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetComplexityN(layer.Count());
}
BENCHMARK(BM_Planning)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oNLogN);

void BM_CollectFullRank(benchmark::State& state)
{
    zolt_clock::UseVirtualClock(true);
    sim::DeviceMemory memory;
    sim::SlmpHandler handler(memory);
    sim::ModelComm model(handler);
    benchmarks::CannedComm comm(model);
    sim::SinkValueStore store;
    std::vector<CDevRow> rows;
    for (unsigned a = 0; a < 115; ++a) rows.push_back(Row(REG_D, a, CHLCODE_WUB));
    BenchLayer layer(&store, rows);
    layer.Init();
    layer.UpdataCommunication(&comm);
    std::vector<int> flags(115, 1);
    layer.ChannelRefChange(flags.data(), 115);
    // Planning caps word blocks at 60; the request here covers all 115 words.
    layer.SingleRank();
    for (auto _ : state) {
        if (layer.CollectDevData(flags.data(), 115) != 0) state.SkipWithError("collection failed");
    }
    state.counters["us_per_channel"] =
        benchmark::Counter(115.0 / 1e6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    zolt_clock::UseVirtualClock(false);
}
// Medians of five: one slow second of the VM moves a single run by half.
BENCHMARK(BM_CollectFullRank)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_RequestsPerRefresh(benchmark::State& state)
{
    sim::SinkValueStore store;
    BenchLayer layer(&store, Mix(2000, 11));
    layer.Init();
    std::vector<int> refs(static_cast<size_t>(layer.Count()), 1);
    for (auto _ : state) layer.ChannelRefChange(refs.data(), layer.Count());
    state.counters["channels"] = layer.Count();
    state.counters["requests_per_refresh"] = layer.Ranks();
    state.counters["requests_one_per_channel"] = layer.Count();
}
BENCHMARK(BM_RequestsPerRefresh)->Iterations(1);

} // namespace
