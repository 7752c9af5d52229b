// Read planning: runs, splits, links and ranks.
#include "support/EngineFixture.h"

using namespace testing_support;

namespace {

struct Shape {
    int first, last, length;
    bool operator==(const Shape& o) const { return first == o.first && last == o.last && length == o.length; }
};

class Planning : public EngineFixture {
protected:
    std::vector<Shape> PlanShape(std::vector<CDevRow> rows, unsigned method = 0, std::vector<int> refs = {})
    {
        Build(std::move(rows));
        layer->Dev().m_arDevParam[PARAM_BLOCKMETHOD] = method;
        if (refs.empty()) refs = AllOnes();
        EXPECT_EQ(layer->ChannelRefChange(refs.data(), static_cast<int>(refs.size())), 0);
        std::vector<Shape> shape;
        const DEV_DATA& dev = layer->Dev();
        for (int b = 0; b < dev.m_arBlock.GetSize(); ++b) {
            EXPECT_EQ(dev.m_arBlock[b].m_nRank, b) << "one block per rank, in list order";
            shape.push_back({dev.m_arBlock[b].m_nFirstRow, dev.m_arBlock[b].m_nLastRow, dev.m_arBlock[b].m_nLength});
        }
        EXPECT_EQ(dev.m_nRankNum, static_cast<int>(shape.size()));
        return shape;
    }
    static std::vector<CDevRow> Run(unsigned type, unsigned from, unsigned count, unsigned code)
    {
        std::vector<CDevRow> rows;
        for (unsigned a = from; a < from + count; ++a) rows.push_back(MakeRow(type, a, code));
        return rows;
    }
};

TEST_F(Planning, EdgeCases)
{
    using S = std::vector<Shape>;
    const unsigned W = CHLCODE_WUB, DW = CHLCODE_DUB;
    EXPECT_EQ(PlanShape(Run(REG_D, 0, 3, W)), (S{{0, 2, 3}}));
    EXPECT_EQ(PlanShape({MakeRow(REG_D, 0, W), MakeRow(REG_D, 5, W)}), (S{{0, 1, 6}}));
    EXPECT_EQ(PlanShape({MakeRow(REG_D, 0, W), MakeRow(REG_D, 5, W)}, 1), (S{{0, 0, 1}, {1, 1, 1}}));
    EXPECT_EQ(PlanShape({MakeRow(REG_D, 0, W), MakeRow(REG_D, 6, W)}), (S{{0, 1, 7}}));
    EXPECT_EQ(PlanShape({MakeRow(REG_D, 0, W), MakeRow(REG_D, 7, W)}), (S{{0, 0, 1}, {1, 1, 1}}));
    EXPECT_EQ(PlanShape({MakeRow(REG_D, 0, W), MakeRow(REG_D, 7, W)}, 1), (S{{0, 0, 1}, {1, 1, 1}}));
    EXPECT_EQ(PlanShape({MakeRow(REG_D, 100, DW), MakeRow(REG_D, 101, W)}), (S{{0, 1, 2}}));
    EXPECT_EQ(PlanShape({MakeRow(REG_D, 100, DW), MakeRow(REG_D, 100, W, 1)}), (S{{0, 0, 2}, {1, 1, 1}}));
    EXPECT_EQ(PlanShape(Run(REG_M, 0, 200, CHLCODE_BITDEVICE)), (S{{0, 114, 115}, {115, 199, 85}}));
    EXPECT_EQ(PlanShape(Run(REG_D, 0, 70, W)), (S{{0, 59, 60}, {60, 69, 10}}));
    EXPECT_EQ(PlanShape({MakeRow(REG_LZ, 0, DW), MakeRow(REG_LZ, 1, DW)}), (S{{0, 0, 2}, {1, 1, 2}}));
    EXPECT_EQ(PlanShape({MakeRow(REG_LZ, 0, DW), MakeRow(REG_LZ, 0, 5, 5)}), (S{{0, 1, 2}}));
    EXPECT_EQ(PlanShape({MakeRow(REG_D, 0, W), MakeRow(REG_D, 1, CHLCODE_STRING, 4)}), (S{{0, 0, 1}, {1, 1, 2}}));
    EXPECT_EQ(PlanShape({MakeRow(REG_D, 0, W), MakeRow(REG_D, 1, W, 0, 1), MakeRow(REG_D, 30, W)}), (S{{0, 0, 1}, {2, 2, 1}}));
    EXPECT_EQ(PlanShape(Run(REG_D, 0, 3, W), 0, {1, 2, 1}), (S{{0, 2, 3}}));
    EXPECT_EQ(PlanShape({MakeRow(REG_D, 0, W), MakeRow(REG_W, 0, W)}), (S{{0, 0, 1}, {1, 1, 1}}));
    EXPECT_EQ(PlanShape({MakeRow(REG_X, 0, CHLCODE_BITDEVICE), MakeRow(REG_X, 5, CHLCODE_BITDEVICE)}), (S{{0, 1, 6}})) << "X links too";
    // A long string stays one block longer than the limit.
    EXPECT_EQ(PlanShape({MakeRow(REG_D, 0, CHLCODE_STRING, 200)}), (S{{0, 0, 100}}));
    EXPECT_EQ(PlanShape({MakeRow(REG_D, 0, CHLCODE_STRING, 200), MakeRow(REG_D, 100, W)}), (S{{0, 0, 100}, {1, 1, 1}}));
    EXPECT_TRUE(PlanShape(Run(REG_D, 0, 3, W), 0, {0, 0, 0}).empty());
    // A stored per-type limit below the table's bounds linking.
    Build({MakeRow(REG_D, 0, W), MakeRow(REG_D, 5, W)});
    layer->Dev().m_arTypeLimit[REG_D] = 4;
    Plan();
    EXPECT_EQ(layer->Dev().m_nRankNum, 2);
}

} // namespace
