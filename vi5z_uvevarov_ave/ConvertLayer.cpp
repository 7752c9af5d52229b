#include "vi5z_uvevarov_ave/ConvertLayer.h"

#include "vi5z_uvevarov_ave/DevBas.h"

uint32_t ConvertLayer::RowOfHost(int channel) const { return MapEntry(m_vecHostToRow, static_cast<uint32_t>(channel)); }

int ConvertLayer::InitDevice(const unsigned char* data, int length)
{
    if (!data || length <= 0) return DEVCTRL_BAD_ARGUMENT;
    delete m_data.m_pArchive;
    m_data.m_pArchive = new COwnerArchive(COwnerArchive::ARCHIVE_STORE);
    CDevBas::mfCheckDevDataInit(m_data);
    const int accepted = _Deserialize(data, static_cast<unsigned>(length));
    delete m_data.m_pArchive;
    m_data.m_pArchive = nullptr;
    if (accepted != 0) return DEVCTRL_BAD_ARGUMENT;
    _InitAddressTable(m_arAddress);
    return DEVCTRL_OK;
}

int ConvertLayer::CleanupDevice() { return CDevCtrl::CleanupDevice(); }

int ConvertLayer::UpdataCommunication(ICommunication* comm) { return CDevCtrl::UpdataCommunication(comm); }

int ConvertLayer::DevIOCtrl(const char* command) { return CDevCtrl::DevIOCtrl(command); }

int ConvertLayer::CollectDevData(const int* flags, int count)
{
    const ChannelMaps maps{&m_vecHostToRow, &m_vecRowToHost};
    return CollectMapped(flags, count, &maps);
}

int ConvertLayer::WriteChannel(int channel, DATATYPE type, void* value)
{
    const uint32_t row = RowOfHost(channel);
    if (row == NO_ROW) return DEVCTRL_NO_ROW;
    return CDevCtrl::WriteChannel(static_cast<int>(row), type, value);
}

int ConvertLayer::ChannelRefChange(const int* flags, int count)
{
    m_vecRowRef.assign(count > 0 ? static_cast<size_t>(count) : 0u, 0);
    if (count > 0 && flags) {
        for (int h = 0; h < count; ++h) {
            const uint32_t row = RowOfHost(h);
            if (row == NO_ROW) return DEVCTRL_NO_ROW;
            if (row < m_vecRowRef.size()) m_vecRowRef[row] = flags[h];
        }
    }
    return CDevCtrl::ChannelRefChange(m_vecRowRef.empty() ? nullptr : m_vecRowRef.data(), static_cast<int>(m_vecRowRef.size()));
}

int ConvertLayer::SetChannelAddress(int channel, int value)
{
    const uint32_t row = RowOfHost(channel);
    if (row == NO_ROW) return DEVCTRL_NO_ROW;
    return CDevCtrl::SetChannelAddress(static_cast<int>(row), value);
}
