// Core layer: collection, writes, reference and address changes and
// control strings, all by row index.
#include "host/ZoltTools.h"
#include "vi5z_uvevarov_ave/ResultCodes.h"
#include "vi5z_uvevarov_ave/DevBas.h"
#include "vi5z_uvevarov_ave/DevCtrl.h"
#include "vi5z_uvevarov_ave/DevServer.h"

int CDevCtrl::CollectDevData(const int* flags, int count) { return CollectMapped(flags, count, nullptr); }

int CDevCtrl::CollectMapped(const int* flags, int count, const ChannelMaps* maps)
{
    if (!flags || count <= 0) return DEVCTRL_OK;
    if (!SelectDevice()) return DEVCTRL_NO_COMM;
    if (!m_setBadAddress.empty()) return DEVCTRL_ADDRESS_PENDING;
    _InitValueArray(count);
    if (!m_pDevRtdb) return DEVCTRL_NO_ACCESSOR;
    m_arCollectFlag[0] = 1;
    for (int h = 0; h < count; ++h) {
        uint32_t row = static_cast<uint32_t>(h);
        if (maps) {
            row = MapEntry(*maps->hostToRow, static_cast<uint32_t>(h));
            if (row == NO_ROW) return DEVCTRL_NO_ACCESSOR;
        }
        // A row beyond the host's count has no flag position.
        if (static_cast<int64_t>(row) + 1 < m_arCollectFlag.GetSize()) m_arCollectFlag[static_cast<int>(row) + 1] = flags[h];
    }
    if (!_InitSetReadIndex(m_arCollectFlag)) return DEVCTRL_OK;
    const DEV_DATA* dev = m_data.m_pDevData;
    if (m_arValue.GetSize() > 1 && dev && dev->m_pTable->GetRowCount() > 0) {
        if (CDevBas::mfCollectDevData(m_data, m_arCollectFlag, m_arValue, m_strArValue) != 0) return Status();
    }
    for (int i = 1; i < m_arCollectFlag.GetSize(); ++i) {
        if (m_arCollectFlag[i] != 3) continue;
        int host = i - 1;
        if (maps) {
            const uint32_t mapped = MapEntry(*maps->rowToHost, static_cast<uint32_t>(i - 1));
            if (mapped == NO_HOST) break;
            host = static_cast<int>(mapped);
        }
        DATATYPE type = DATATYPE_NONE;
        if (m_pDevRtdb->GetValueTypeByChannel(host, type) != 0) {
            if (maps) break;
            continue;
        }
        // An integer channel takes the value truncated; an unsigned value
        // above 2^31 arrives as its two's complement, never as an undefined
        // conversion of a double that does not fit.
        if (type == DATATYPE_INT)
            m_pDevRtdb->SetValueByChannel(host, CDevServer::Double2HostInt(m_arValue[i]));
        else if (type == DATATYPE_DOUBLE)
            m_pDevRtdb->SetValueByChannel(host, m_arValue[i]);
        else if (type == DATATYPE_STRING) {
            std::string text = m_strArValue[i].str();
            m_pDevRtdb->SetValueByChannel(host, text);
        }
    }
    return Status();
}

int CDevCtrl::WriteChannel(int row, DATATYPE type, void* value)
{
    if (!value || row < 0) return DEVCTRL_BAD_ARGUMENT;
    if (!SelectDevice()) return DEVCTRL_NO_COMM;
    if (!m_setBadAddress.empty()) return DEVCTRL_ADDRESS_PENDING;
    _InitValueArray(0);
    const uint64_t start = Zolt_GetTickCount();
    const DEV_DATA* dev = m_data.m_pDevData;
    const CDevRow* target = dev ? dev->m_pTable->Row(static_cast<unsigned>(row)) : nullptr;
    if (target && target->GetdwValue(ROW_RWFLAG) != 0) {
        const int rows = dev->m_pTable->GetRowCount();
        CArray<double, double> values;
        CStringArray texts;
        values.SetSize(rows + 1);
        texts.SetSize(rows + 1);
        if (type == DATATYPE_INT)
            values[row + 1] = *static_cast<const int*>(value);
        else if (type == DATATYPE_DOUBLE)
            values[row + 1] = *static_cast<const double*>(value);
        else if (type == DATATYPE_STRING)
            texts[row + 1] = static_cast<const char*>(value);
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (CDevBas::_WriteBlock(m_data, values, texts, row, 0) != ENGINE_WRITE_FAILED) break;
        }
    }
    PauseIfQuick(start);
    return Status();
}

int CDevCtrl::ChannelRefChange(const int* flags, int count)
{
    if (!flags || count <= 0) return DEVCTRL_BAD_ARGUMENT;
    SelectDevice();
    _InitValueArray(count);
    if (!m_pDevRtdb) return DEVCTRL_NO_ACCESSOR;
    m_arRefFlag[0] = 0;
    for (int i = 0; i < count && i + 1 < m_arRefFlag.GetSize(); ++i) m_arRefFlag[i + 1] = flags[i] > 0 ? 1 : 0;
    DEV_DATA* dev = m_data.m_pDevData;
    if (!dev || dev->m_pTable->GetRowCount() == 0) return DEVCTRL_OK;
    if (dev->m_arBlock.GetSize() > 0) {
        dev->m_arBlock.SetSize(0);
        dev->m_nRankNum = 0;
    }
    const int ranks = CDevBas::mfMakeBlockDynamic(m_data, m_arRefFlag, 0, -1);
    dev->m_nReadRank = 0;
    dev->m_nReadBlock = 0;
    dev->m_nRankNum = ranks;
    return DEVCTRL_OK;
}

int CDevCtrl::SetChannelAddress(int row, int value)
{
    if (row < 0 || !m_data.m_pDevData) return DEVCTRL_BAD_ARGUMENT;
    if (m_arAddress.GetSize() == 0 || m_data.m_pDevData->m_pTable->GetRowCount() == 0) return DEVCTRL_OK;
    if (row >= m_arAddress.GetSize()) return DEVCTRL_BAD_ARGUMENT;
    const int32_t sum = static_cast<int32_t>(m_arAddress[row] + static_cast<uint32_t>(value));
    if (sum < 0)
        m_setBadAddress.insert(row);
    else
        m_setBadAddress.erase(row);
    return DEVCTRL_OK;
}

int CDevCtrl::DevIOCtrl(const char* command)
{
    if (!command) return DEVCTRL_BAD_ARGUMENT;
    if (!SelectDevice()) return DEVCTRL_NO_COMM;
    if (!m_setBadAddress.empty()) return DEVCTRL_ADDRESS_PENDING;
    _InitValueArray(0);
    const uint64_t start = Zolt_GetTickCount();
    CString text(command);
    const int result = CDevBas::mfDevIOCtrl(m_data, text, m_arValue, m_strArValue);
    if (result > 0)
        m_arValue[0] = 0.0;
    else if (result < 0)
        m_arValue[0] = -static_cast<double>(result);
    PauseIfQuick(start);
    return Status();
}
