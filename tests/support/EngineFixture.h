// The engine end to end: a row layer over the controller model through
// the fault-injecting channel, a recording value store, virtual time.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "host/Logger.h"
#include "host/ZoltTools.h"
#include "sim/ModelComm.h"
#include "support/RecordingStore.h"
#include "support/RowLayer.h"

namespace testing_support {

class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        zolt_clock::UseVirtualClock(true);
        zolt_log::SetSink(nullptr);
    }
    void TearDown() override
    {
        zolt_clock::UseVirtualClock(false);
        zolt_log::ResetSink();
    }

    // Builds the device over `rows`; host channel i is rows[i], of `type`.
    void Build(std::vector<CDevRow> rows, DATATYPE type = DATATYPE_DOUBLE)
    {
        store.DeclareChannels(static_cast<int>(rows.size()), type);
        layer = std::make_unique<RowLayer>(&store, std::move(rows));
        ASSERT_EQ(layer->Init(), 0);
        ASSERT_EQ(layer->UpdataCommunication(&comm), 0);
    }
    std::vector<int> AllOnes() const { return std::vector<int>(layer->HostToRow().size(), 1); }
    void Plan() { Plan(AllOnes()); }
    void Plan(const std::vector<int>& refs) { ASSERT_EQ(layer->ChannelRefChange(refs.data(), static_cast<int>(refs.size())), 0); }
    int Collect() { return Collect(AllOnes()); }
    int Collect(const std::vector<int>& flags) { return layer->CollectDevData(flags.data(), static_cast<int>(flags.size())); }
    // Collects until every rank was read once.
    void CollectAll()
    {
        const int ranks = layer->Dev().m_nRankNum;
        for (int i = 0; i < ranks; ++i) ASSERT_EQ(Collect(), 0) << "rank " << i;
    }

    sim::DeviceMemory memory;
    sim::SlmpHandler handler{memory};
    sim::ModelComm comm{handler};
    RecordingStore store;
    std::unique_ptr<RowLayer> layer;
};

} // namespace testing_support
