// Core layer: construction, legacy initialisation, clean-up, the
// communication hand-over and the per-cycle arrays with the rank scheduler.
#include "vi5z_uvevarov_ave/DevCtrl.h"

#include <unistd.h>

#include "host/ZoltTools.h"
#include "vi5z_uvevarov_ave/DevBas.h"

CDevCtrl::CDevCtrl(const char* deviceName, IDevRtdbCtrl* rtdb)
{
    m_data.m_strDevName = deviceName;
    CDevRow::InitPropertyDescription();
    m_pDevRtdb = new CDevRtdb(1, rtdb);
    m_data.m_pRtdb = m_pDevRtdb;
    m_data.m_pfnSetParamValue = &CDevCtrl::SetParamValue_Fun;
    m_data.m_pfnGetParamValue = &CDevCtrl::GetParamValue_Fun;
    m_data.m_pfnGetParamType = &CDevCtrl::GetParamType_Fun;
}

CDevCtrl::~CDevCtrl()
{
    // A host that destroys the object without CleanupDevice leaks nothing.
    CDevCtrl::CleanupDevice();
}

int CDevCtrl::InitDevice(const unsigned char* data, int length)
{
    if (!data || length <= 0) return DEVCTRL_BAD_ARGUMENT;
    delete m_data.m_pArchive;
    m_data.m_pArchive = new COwnerArchive(COwnerArchive::ARCHIVE_STORE);
    m_data.m_pArchive->SvrWrite(data, length);
    m_data.m_pArchive->SetPosition(0);
    m_data.m_pArchive->SvrChangeMode(COwnerArchive::ARCHIVE_LOAD);
    CDevBas::mfCheckDevDataInit(m_data);
    delete m_data.m_pArchive;
    m_data.m_pArchive = nullptr;
    _InitAddressTable(m_arAddress);
    return DEVCTRL_OK;
}

int CDevCtrl::CleanupDevice()
{
    CDevBas::mfDeleteMydata(m_data, nullptr);
    delete m_data.m_pArchive;
    m_data.m_pArchive = nullptr;
    delete m_pDevRtdb;
    m_pDevRtdb = nullptr;
    m_data.m_pRtdb = nullptr;
    return DEVCTRL_OK;
}

int CDevCtrl::UpdataCommunication(ICommunication* comm)
{
    if (!comm) return DEVCTRL_BAD_ARGUMENT;
    m_data.m_pComm = comm;
    switch (comm->GetLinkKind()) {
    case 1: m_data.m_nLinkKind = 2; return DEVCTRL_OK;
    case 2: m_data.m_nLinkKind = 1; return DEVCTRL_OK;
    default: return DEVCTRL_BAD_ARGUMENT;
    }
}

int CDevCtrl::Status() const { return m_arValue.GetSize() > 0 ? static_cast<int>(m_arValue[0]) : 0; }

bool CDevCtrl::SelectDevice()
{
    if (!m_data.m_pComm) return false;
    m_data.m_pComm->SelectDevice(const_cast<char*>(m_data.m_strDevName.c_str()));
    return true;
}

void CDevCtrl::PauseIfQuick(uint64_t startMs)
{
    if (Zolt_GetTickCount() - startMs <= 4) usleep(5000);
}

int CDevCtrl::_InitValueArray(int count)
{
    if (m_nChannelNum != 0 && m_nChannelNum == count) return 0;
    if (count < 1) {
        if (m_nChannelNum > 0) return 0;
        m_nChannelNum = 0;
        count = 0;
    } else {
        m_nChannelNum = count;
    }
    m_arRefFlag.SetSize(count + 1);
    m_arValue.SetSize(count + 1);
    m_strArValue.SetSize(count + 1);
    m_arCollectFlag.SetSize(count + 1);
    return 0;
}

int CDevCtrl::_InitAddressTable(CArray<unsigned int, unsigned int>& table)
{
    const DEV_DATA* dev = m_data.m_pDevData;
    if (!dev || !dev->m_pTable || dev->m_pTable->GetRowCount() == 0) return 0;
    const int rows = dev->m_pTable->GetRowCount();
    table.SetSize(rows);
    for (int i = 0; i < rows; ++i) {
        const CDevRow* row = dev->m_pTable->Row(static_cast<unsigned>(i));
        table[i] = row ? row->GetdwValue(ROW_ADDRESS) : 0u;
    }
    return 0;
}

namespace {
// Whether the host asked for a row of the block: a collect flag of exactly 1.
bool BlockWanted(const DynBlock& block, const CArray<int, int>& flags)
{
    for (int r = block.m_nFirstRow; r <= block.m_nLastRow; ++r) {
        if (r >= 0 && r + 1 < flags.GetSize() && flags[r + 1] == 1) return true;
    }
    return false;
}

// Blocks are in ascending rank order, so the blocks of one rank are the
// run starting at `first`; checking that run answers the same as a scan of
// the whole list at a fraction of the cost.
bool RankRunWanted(const CArray<DynBlock, DynBlock&>& blocks, int first, const CArray<int, int>& flags)
{
    const int rank = blocks[first].m_nRank;
    for (int b = first; b < blocks.GetSize() && blocks[b].m_nRank == rank; ++b) {
        if (BlockWanted(blocks[b], flags)) return true;
    }
    return false;
}
} // namespace

int CDevCtrl::_InitCheckcollectFlag(CArray<int, int>& flags, int rank)
{
    const DEV_DATA* dev = m_data.m_pDevData;
    if (!dev) return 0;
    for (int b = 0; b < dev->m_arBlock.GetSize(); ++b) {
        if (dev->m_arBlock[b].m_nRank == rank && BlockWanted(dev->m_arBlock[b], flags)) return 1;
    }
    return 0;
}

int CDevCtrl::_InitSetReadIndex(CArray<int, int>& flags)
{
    DEV_DATA* dev = m_data.m_pDevData;
    if (!dev) return 0;
    const CArray<DynBlock, DynBlock&>& blocks = dev->m_arBlock;
    const int count = blocks.GetSize();
    const int current = dev->m_nReadRank;
    dev->m_nReadRank = 0;
    dev->m_nReadBlock = 0;
    if (count == 0) return 0;
    for (int i = 0; i < count; ++i) {
        const int rank = blocks[i].m_nRank;
        if (rank < current || (i > 0 && blocks[i - 1].m_nRank == rank)) continue;
        if (RankRunWanted(blocks, i, flags)) {
            dev->m_nReadRank = rank;
            dev->m_nReadBlock = i;
            return 1;
        }
    }
    for (int j = 0; j < count && blocks[j].m_nRank < current; ++j) {
        if (j > 0 && blocks[j - 1].m_nRank == blocks[j].m_nRank) continue;
        if (RankRunWanted(blocks, j, flags)) {
            dev->m_nReadRank = blocks[j].m_nRank;
            dev->m_nReadBlock = j;
            return 1;
        }
    }
    return 0;
}
