// Read planning: runs, splits, links and ranks.
#include <random>
#include <set>

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

TEST_F(Planning, RandomChannelSetsLieInExactlyOneBlockWithinTheLimits)
{
    std::mt19937 random(20261206);
    const unsigned types[] = {REG_D, REG_M, REG_X, REG_Y, REG_W, REG_R, REG_LZ, REG_LCN, REG_B, REG_SD};
    const unsigned wordCodes[] = {0, 7, CHLCODE_WUB, CHLCODE_WB, CHLCODE_DUB, CHLCODE_DF, CHLCODE_STRING};
    for (int round = 0; round < 200; ++round) {
        std::vector<CDevRow> rows;
        std::set<std::tuple<unsigned, unsigned, unsigned>> seen;
        const int count = 1 + static_cast<int>(random() % 150);
        while (static_cast<int>(rows.size()) < count) {
            const unsigned type = types[random() % 10];
            const unsigned address = random() % 300;
            unsigned code = CHLCODE_BITDEVICE, bit = 0;
            if (DEV_CHL_WORD_LEN_TYPE[type] != 0) {
                code = wordCodes[random() % 7];
                if (code == CHLCODE_STRING && type != REG_D && type != REG_R && type != REG_SD) code = CHLCODE_WUB;
                if (DEV_CHL_WORD_LEN_TYPE[type] == 2 && code < CHLCODE_DUB && code > 31) code = CHLCODE_DUB;
                bit = code == CHLCODE_STRING ? 1 + random() % 40 : (code <= 31 ? code : 0);
            }
            if (!seen.insert({type, address, bit}).second) continue;
            rows.push_back(MakeRow(type, address, code, bit, random() % 7 == 0 ? 1 : 2));
        }
        std::vector<int> refs(rows.size());
        for (int& r : refs) r = static_cast<int>(random() % 3);
        Build(rows);
        layer->Dev().m_arDevParam[PARAM_BLOCKMETHOD] = random() % 2;
        ASSERT_EQ(layer->ChannelRefChange(refs.data(), static_cast<int>(refs.size())), 0);

        const DEV_DATA& dev = layer->Dev();
        const CDevTable& table = *dev.m_pTable;
        std::vector<int> covered(static_cast<size_t>(table.GetRowCount()), 0);
        std::vector<bool> planned(covered.size(), false);
        for (size_t h = 0; h < rows.size(); ++h) planned[layer->HostToRow()[h]] = refs[h] == 1 && rows[h].GetdwValue(ROW_RWFLAG) != 1;
        for (int b = 0; b < dev.m_arBlock.GetSize(); ++b) {
            const DynBlock& block = dev.m_arBlock[b];
            ASSERT_EQ(block.m_nRank, b);
            const CDevRow& first = *table.Row(static_cast<unsigned>(block.m_nFirstRow));
            const CDevRow& last = *table.Row(static_cast<unsigned>(block.m_nLastRow));
            EXPECT_EQ(block.m_nRegType, static_cast<int>(first.GetdwValue(ROW_TYPE)));
            EXPECT_EQ(first.GetdwValue(ROW_TYPE), last.GetdwValue(ROW_TYPE));
            // Past the last row's address at least (exact lengths: the edge cases).
            EXPECT_GT(block.m_nLength, static_cast<int>(last.GetdwValue(ROW_ADDRESS) - first.GetdwValue(ROW_ADDRESS)));
            const int limit = std::min<int>(115, static_cast<int>(DEV_READBLK_MAXNUM[block.m_nRegType]));
            if (block.m_nFirstRow != block.m_nLastRow) {
                EXPECT_LE(block.m_nLength, limit + 8);
            }
            EXPECT_TRUE(block.m_nLinkFlag == 1 || block.m_nLinkFlag == 4 || block.m_nLinkFlag == 6);
            for (int r = block.m_nFirstRow; r <= block.m_nLastRow; ++r) {
                ++covered[static_cast<size_t>(r)];
                // A string that is read always starts its block.
                if (r != block.m_nFirstRow && planned[static_cast<size_t>(r)]) {
                    EXPECT_NE(table.Row(static_cast<unsigned>(r))->GetdwValue(ROW_DATATYPE), 131u);
                }
            }
        }
        for (size_t h = 0; h < rows.size(); ++h) {
            const uint32_t r = layer->HostToRow()[h];
            if (refs[h] == 1 && rows[h].GetdwValue(ROW_RWFLAG) != 1) {
                EXPECT_EQ(covered[r], 1) << "round " << round << " host " << h;
            }
            EXPECT_LE(covered[r], 1);
        }
    }
}

} // namespace
