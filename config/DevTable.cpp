// The channel table: rows kept in device order, numbered by their place, and
// its archive form.
#include "DevTable.h"

#include <algorithm>

namespace {
// Smallest stored size of one row: eight values and an empty name.
constexpr int kMinStoredRow = 4 * DEVROW_PROPERTY_COUNT;
} // namespace

CDevTable::~CDevTable() { Clear(); }

void CDevTable::Clear()
{
    m_arRow.SetSize(0);
    m_mapRow.clear();
    m_setRow.clear();
}

bool CDevTable::Insert(const CDevRow& row) { return m_setRow.insert(row).second; }

bool CDevTable::Insert(CDevRow&& row) { return m_setRow.insert(std::move(row)).second; }

void CDevTable::BuildRowMap()
{
    m_mapRow.clear();
    m_mapRow.reserve(m_setRow.size());
    for (const CDevRow& row : m_setRow) m_mapRow.push_back(const_cast<CDevRow*>(&row));
}

int CDevTable::IndexOf(const CDevRow& row) const
{
    // The row map is in location order right after it was built.
    auto it = std::lower_bound(m_mapRow.begin(), m_mapRow.end(), row, [](const CDevRow* a, const CDevRow& b) { return *a < b; });
    if (it == m_mapRow.end() || row < **it) return -1;
    return static_cast<int>(it - m_mapRow.begin());
}

void CDevTable::Serialize(COwnerArchive& archive)
{
    if (!archive.IsStoring()) {
        Deserialize(archive);
        return;
    }
    // The count is the ordered set's; a table filled only through its row
    // array (the legacy form) stores that array instead.
    const bool fromArray = m_setRow.empty() || m_arRow.GetSize() >= static_cast<int>(m_setRow.size());
    const unsigned count = m_setRow.empty() ? static_cast<unsigned>(m_arRow.GetSize()) : static_cast<unsigned>(m_setRow.size());
    archive << count;
    m_dwRowCount = count;
    if (fromArray) {
        for (int i = 0; i < static_cast<int>(count); ++i) m_arRow[i].Store(archive);
        return;
    }
    for (const CDevRow& row : m_setRow) row.Store(archive);
}

bool CDevTable::Deserialize(COwnerArchive& archive)
{
    // Later versions carry no count and no rows this driver reads.
    if (archive.GetNowVersion() > ARCHIVE_VERSION) return true;
    unsigned count = 0;
    archive >> count;
    m_dwRowCount = count;
    // Rows past the end of the archive would all be default rows: the count
    // is capped by the rows the remaining bytes can at least begin.
    const unsigned readable = static_cast<unsigned>(archive.Remaining() / kMinStoredRow) + 1;
    m_arRow.SetSize(static_cast<int>(count < readable ? count : readable));
    for (int i = 0; i < m_arRow.GetSize(); ++i) m_arRow[i].DeserializeFormOld(archive);
    return true;
}
