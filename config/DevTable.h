// A device's channel table: unique rows ordered by location, indexed by
// their position in that order (the row index).
#pragma once

#include <set>
#include <vector>

#include "config/DevRow.h"

class CDevTable : public COwnerObject {
public:
    ~CDevTable() override;

    // Inserts a row unless one at the same location exists; true when added.
    bool Insert(const CDevRow& row);
    bool Insert(CDevRow&& row);
    // Maps row index 0, 1, 2, … to the rows in order. Call after inserting.
    void BuildRowMap();
    void Clear();

    // Null when the index is not mapped.
    CDevRow* Row(unsigned index) { return index < m_mapRow.size() ? m_mapRow[index] : nullptr; }
    const CDevRow* Row(unsigned index) const { return index < m_mapRow.size() ? m_mapRow[index] : nullptr; }
    CDevRow* operator[](unsigned index) { return Row(index); }
    int GetRowCount() const { return static_cast<int>(m_setRow.size()); }
    // Row index of the row at the same location, or -1.
    int IndexOf(const CDevRow& row) const;

    void Serialize(COwnerArchive& archive) override;
    // False when the archive was truncated or carried an absurd count.
    bool Deserialize(COwnerArchive& archive);

    unsigned m_dwRowCount = 0;
    CArray<CDevRow, CDevRow&> m_arRow;

private:
    std::set<CDevRow> m_setRow;
    // Row index → row of the set. Rebinding rewrites rows in place through
    // this map, location included; the set is consulted only while loading,
    // before the map is built, and is emptied before the next load.
    std::vector<CDevRow*> m_mapRow;
};
