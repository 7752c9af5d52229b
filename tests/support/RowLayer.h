// A channel-mapping layer whose configuration is a list of rows given in
// code: host channel i is the i-th row given. Lets the engine be driven
// end to end without a configuration blob.
#pragma once

#include <vector>

#include "vi5z_uvevarov_ave/ConvertLayer.h"

namespace testing_support {

inline CDevRow MakeRow(unsigned type, unsigned address, unsigned code, unsigned bit = 0, unsigned rw = 2)
{
    CDevRow row;
    row.SetdwValue(ROW_RWFLAG, rw);
    row.SetdwValue(ROW_TYPE, type);
    row.SetdwValue(ROW_ADDRESS, address);
    row.SetdwValue(ROW_BIT, bit);
    row.SetdwValue(ROW_DATATYPE, code);
    row.SetdwValue(ROW_LOGICADDRESS, address);
    return row;
}

class RowLayer : public ConvertLayer {
public:
    RowLayer(IDevRtdbCtrl* store, std::vector<CDevRow> rows) : ConvertLayer("PLC1", store), m_rows(std::move(rows)) {}

    int _Deserialize(const unsigned char*, unsigned int) override
    {
        CDevTable& table = *m_data.m_pDevData->m_pTable;
        table.Clear();
        for (const CDevRow& row : m_rows) table.Insert(row);
        table.BuildRowMap();
        // Host channel h is the h-th given row, wherever it sorts.
        m_vecHostToRow.assign(m_rows.size(), NO_ROW);
        m_vecRowToHost.assign(static_cast<size_t>(table.GetRowCount()), NO_HOST);
        for (size_t h = 0; h < m_rows.size(); ++h) {
            for (int r = 0; r < table.GetRowCount(); ++r) {
                if (!(*table.Row(r) < m_rows[h]) && !(m_rows[h] < *table.Row(r))) {
                    m_vecHostToRow[h] = static_cast<uint32_t>(r);
                    if (m_vecRowToHost[static_cast<size_t>(r)] == NO_HOST)
                        m_vecRowToHost[static_cast<size_t>(r)] = static_cast<uint32_t>(h);
                }
            }
        }
        return 0;
    }
    int Init()
    {
        static const unsigned char kAny[1] = {0};
        return InitDevice(kAny, 1);
    }
    DEV_DATA& Dev() { return *m_data.m_pDevData; }
    ZOLT_DATA& State() { return m_data; }

private:
    std::vector<CDevRow> m_rows;
};

} // namespace testing_support
