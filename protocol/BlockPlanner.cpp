// Read planning: contiguous runs of wanted channels, split to the
// per-type limits, linked across small gaps and numbered into read ranks.
// Each pass builds its output list in one sweep, so planning stays linear
// after the table's own ordering.
#include <vector>

#include "protocol/ChannelSpan.h"
#include "vi5z_uvevarov_ave/DevBas.h"

namespace {

// The direct WRITE and WRITE32 commands plan every channel alone.
constexpr int kDirectWrite = 1;
constexpr int kDirectWrite32 = 3;
// Planning for direct writes: split to the table's limits, never linked.
constexpr int kWritePlanMode = 4;
// Runs closer than 8 points are read together: reading the few unwanted
// points between them costs less than another request.
constexpr int kLinkGap = 8;

struct Planner {
    DEV_DATA& dev;
    const CDevTable& table;

    const CDevRow& Row(int index) const { return *table.Row(static_cast<unsigned>(index)); }
    unsigned Address(int index) const { return Row(index).GetdwValue(ROW_ADDRESS); }
    int Span(int first, int last) const { return RunSpan(Row(first), Row(last)); }

    int SplitLimit(int type, int mode) const
    {
        const int tableLimit = static_cast<int>(DEV_READBLK_MAXNUM[type]);
        return mode == kWritePlanMode ? tableLimit : std::min(tableLimit, dev.m_nReadCap);
    }
    int TypeLimit(int type) const { return type < dev.m_arTypeLimit.GetSize() ? static_cast<int>(dev.m_arTypeLimit[type]) : 0; }
    int LinkLimit(int type, int mode) const
    {
        return mode == kWritePlanMode ? static_cast<int>(DEV_READBLK_MAXNUM[type]) : std::min(TypeLimit(type), dev.m_nReadCap);
    }

    DynBlock Close(int first, int last, int type, int rank, int flag) const
    {
        DynBlock block;
        block.m_nFirstRow = first;
        block.m_nLastRow = last;
        block.m_nRegType = type;
        block.m_nLength = Span(first, last);
        block.m_nRank = rank;
        block.m_nLinkFlag = flag;
        return block;
    }
};

void StoreBlocks(CArray<DynBlock, DynBlock&>& target, const std::vector<DynBlock>& blocks)
{
    target.SetSize(static_cast<int>(blocks.size()));
    for (size_t i = 0; i < blocks.size(); ++i) target[static_cast<int>(i)] = blocks[i];
}

std::vector<DynBlock> LoadBlocks(const CArray<DynBlock, DynBlock&>& source)
{
    std::vector<DynBlock> blocks(static_cast<size_t>(source.GetSize()));
    for (int i = 0; i < source.GetSize(); ++i) blocks[static_cast<size_t>(i)] = source[i];
    return blocks;
}

} // namespace

int CDevBas::mfMakeBlockDynamic(ZOLT_DATA& data, CArray<int, int>& refs, int mode, int command)
{
    DEV_DATA* dev = data.m_pDevData;
    if (!dev) return 0;
    dev->m_arBlock.SetSize(0);
    const CDevTable& table = *dev->m_pTable;
    const int rows = table.GetRowCount();
    if (rows == 0) return 0;
    Planner plan{*dev, table};

    std::vector<DynBlock> blocks;
    bool open = false;
    int first = 0, last = 0, type = 0;
    unsigned startAddress = 0, lastAddress = 0;
    auto close = [&](int flag) {
        blocks.push_back(plan.Close(first, last, type, static_cast<int>(blocks.size()), flag));
        open = false;
    };
    for (int r = 0; r < rows; ++r) {
        if (r + 1 >= refs.GetSize() || refs[r + 1] != 1) continue;
        const CDevRow& row = plan.Row(r);
        if (row.GetdwValue(ROW_RWFLAG) == 1) continue;
        const unsigned rowType = row.GetdwValue(ROW_TYPE);
        if (!IsRegisterType(rowType)) continue;
        const unsigned address = row.GetdwValue(ROW_ADDRESS);
        if (open) {
            const bool continues = static_cast<int>(rowType) == type && address >= lastAddress &&
                                   row.GetdwValue(ROW_DATATYPE) != CHLCODE_STRING && command != kDirectWrite && command != kDirectWrite32 &&
                                   (address == startAddress || !IsDoubleWordType(rowType));
            const int lastWidth = ChannelWidth(plan.Row(last));
            const bool gap = continues && static_cast<int64_t>(address) - lastAddress > lastWidth;
            // A row that reaches at least as far as the last one extends the
            // block; one inside it (a bit of a word already read) does not.
            if (continues && !gap && static_cast<int64_t>(address) + ChannelWidth(row) >= static_cast<int64_t>(lastAddress) + lastWidth) {
                last = r;
                lastAddress = address;
                continue;
            }
            close(gap ? BLOCK_GAP_TOO_LARGE : BLOCK_ALONE);
        }
        open = true;
        first = last = r;
        startAddress = lastAddress = address;
        type = static_cast<int>(rowType);
    }
    if (open) close(BLOCK_ALONE);
    if (blocks.empty()) return 0;
    StoreBlocks(dev->m_arBlock, blocks);

    const int k = dev->Param(PARAM_BLOCKMETHOD, 0) == 1 ? 0 : 3;
    mfAnalyzeDynBlock(data, 0, mode, k);
    const int ranks = mfLinkRankBlock(data, 0, mode, mode == kWritePlanMode ? 0 : k);
    dev->m_arBlock.FreeExtra();
    dev->m_nRankNum = ranks;
    return ranks;
}

int CDevBas::mfAnalyzeDynBlock(ZOLT_DATA& data, int fromRank, int mode, int countLinks)
{
    DEV_DATA* dev = data.m_pDevData;
    if (!dev) return 0;
    Planner plan{*dev, *dev->m_pTable};
    const std::vector<DynBlock> input = LoadBlocks(dev->m_arBlock);
    std::vector<DynBlock> output;
    output.reserve(input.size());
    int links = 0;

    for (size_t j = 0; j < input.size(); ++j) {
        DynBlock block = input[j];
        if (block.m_nRank < fromRank) {
            output.push_back(block);
            continue;
        }
        const int limit = plan.SplitLimit(block.m_nRegType, mode);
        // Splitting continues with the remainder, which takes the place of
        // the block in the walk.
        bool linkStep = true;
        while (block.m_nLength > limit) {
            if (block.m_nFirstRow == block.m_nLastRow) {
                linkStep = false;
                break;
            }
            int s = block.m_nFirstRow;
            while (s <= block.m_nLastRow && plan.Span(block.m_nFirstRow, s) <= limit) ++s;
            if (s == block.m_nFirstRow) s = block.m_nFirstRow + 1;
            if (s > block.m_nLastRow) {
                linkStep = false;
                break;
            }
            DynBlock head = block;
            head.m_nLastRow = s - 1;
            head.m_nLength = plan.Span(head.m_nFirstRow, head.m_nLastRow);
            head.m_nLinkFlag = BLOCK_ALONE;
            output.push_back(head);
            block.m_nFirstRow = s;
            block.m_nLength = plan.Span(s, block.m_nLastRow);
            block.m_nRank = 1;
        }
        if (linkStep) {
            if (j + 1 == input.size()) {
                block.m_nLinkFlag = BLOCK_ALONE;
            } else if (mode != kWritePlanMode && block.m_nLinkFlag != BLOCK_ALONE) {
                const DynBlock& next = input[j + 1];
                if (next.m_nRegType != block.m_nRegType || next.m_nFirstRow < block.m_nLastRow) {
                    block.m_nLinkFlag = BLOCK_ALONE;
                } else {
                    const int gap = plan.Span(block.m_nLastRow, next.m_nFirstRow);
                    if (static_cast<int64_t>(block.m_nLength) + gap > limit)
                        block.m_nLinkFlag = BLOCK_ALONE;
                    else if (gap >= kLinkGap)
                        block.m_nLinkFlag = BLOCK_GAP_TOO_LARGE;
                    else
                        block.m_nLinkFlag = plan.Span(block.m_nFirstRow, next.m_nLastRow) <= limit ? BLOCK_LINKABLE : BLOCK_ALONE;
                    if (block.m_nLinkFlag == BLOCK_LINKABLE && countLinks != 0) ++links;
                }
            }
        }
        output.push_back(block);
    }
    StoreBlocks(dev->m_arBlock, output);
    return static_cast<int>(output.size()) - links;
}

int CDevBas::mfLinkRankBlock(ZOLT_DATA& data, int fromRank, int mode, int maxFlag)
{
    DEV_DATA* dev = data.m_pDevData;
    if (!dev) return fromRank;
    Planner plan{*dev, *dev->m_pTable};
    const std::vector<DynBlock> input = LoadBlocks(dev->m_arBlock);
    int rank = fromRank;
    if (input.empty()) return rank;
    std::vector<DynBlock> output;
    output.reserve(input.size());

    DynBlock current = input[0];
    for (size_t j = 1; j < input.size(); ++j) {
        const DynBlock& next = input[j];
        if (current.m_nRank < fromRank) {
            output.push_back(current);
            current = next;
            continue;
        }
        const int type = current.m_nRegType;
        if (current.m_nLinkFlag > maxFlag || current.m_nLinkFlag < 1 || IsDoubleWordType(static_cast<unsigned>(type))) {
            current.m_nRank = rank++;
        } else {
            const int span = plan.Span(current.m_nFirstRow, next.m_nLastRow);
            if (span > plan.TypeLimit(type) || span > static_cast<int64_t>(plan.LinkLimit(type, mode)) + kLinkGap) {
                current.m_nRank = rank++;
                current.m_nLinkFlag = BLOCK_ALONE;
            } else {
                current.m_nLastRow = next.m_nLastRow;
                current.m_nLinkFlag = next.m_nLinkFlag;
                current.m_nLength = span;
                current.m_nRank = rank;
                continue;
            }
        }
        output.push_back(current);
        current = next;
    }
    if (current.m_nRank >= fromRank) current.m_nRank = rank++;
    output.push_back(current);
    StoreBlocks(dev->m_arBlock, output);
    return rank;
}
