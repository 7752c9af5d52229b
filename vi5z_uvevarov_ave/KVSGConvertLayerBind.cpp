// Tag layer: rebinding channels at run time to other elements of the
// arrays their first-bound tags belong to.
#include "tags/PathRewrite.h"
#include "vi5z_uvevarov_ave/KVSGConvertLayer.h"

namespace KVSG {

namespace {
bool IsStringType(uint32_t type) { return type >= 11 && type <= 14; }

// Whether a channel first bound to a tag of `first` may move to one of `next`.
bool Compatible(uint32_t first, uint32_t next)
{
    if (first == next) return true;
    if (IsStringType(next) && !IsStringType(first)) return false;
    if (!IsStringType(next) && (next == 19 || next == 20 || first == 19 || first == 20)) return false;
    return true;
}
} // namespace

int KVSGConvertLayer::_SetChlTag(unsigned int start, unsigned int count, int offset, unsigned int which)
{
    DEV_DATA* dev = m_data.m_pDevData;
    if (!dev) return SETCHLTAG_NO_DEVICE;
    CDevTable& table = *dev->m_pTable;
    const unsigned rows = static_cast<unsigned>(table.GetRowCount());
    if (start == 0 || static_cast<uint64_t>(start) + count - 1 > rows) return static_cast<int>(SETCHLTAG_RANGE + start + count - rows);
    if (count == 0) return 0;

    std::vector<CDevRow> pending;
    for (unsigned host = start - 1; host <= start + count - 2; ++host) {
        const uint32_t r = RowOfHost(static_cast<int>(host));
        const CDevRow* current = table.Row(r);
        auto saved = m_mapChlRow.find(r);
        const KVSGVariable* first = saved != m_mapChlRow.end() ? saved->second.m_pTag : (current ? current->m_pTag : nullptr);
        const int pathFailure = static_cast<int>(SETCHLTAG_PATH + host);
        if (!first || !m_pTagTree) return pathFailure;
        std::string rewritten;
        if (!RewriteTagPathIndex(first->getFullPath(), offset, which, rewritten)) return pathFailure;
        const TagTree* found = m_pTagTree->find(rewritten);
        if (!found) return pathFailure;
        if (!Compatible(first->m_storedType, found->label().m_storedType)) return static_cast<int>(SETCHLTAG_TYPE + start);
        CDevRow row;
        // An inner node (found, but no leaf) binds a default row.
        _MakeChannel(rewritten, row);
        row.m_nHostOrder = host;
        pending.push_back(row);
    }
    for (const CDevRow& row : pending) {
        const uint32_t r = m_vecHostToRow[row.m_nHostOrder];
        CDevRow* target = table.Row(r);
        if (!target) continue;
        m_mapChlRow.emplace(r, *target);
        // The row keeps its place in the table: only its content changes.
        *target = row;
    }
    return 0;
}

} // namespace KVSG
