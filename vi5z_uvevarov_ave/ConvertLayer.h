// Channel-mapping layer: translates host channel indices into row indices
// and back, and reads the configuration through the concrete driver's
// _Deserialize.
#pragma once

#include <cstdint>
#include <vector>

#include "vi5z_uvevarov_ave/DevCtrl.h"

class ConvertLayer : public CDevCtrl {
public:
    using CDevCtrl::CDevCtrl;

    int InitDevice(const unsigned char* data, int length) override;
    int CleanupDevice() override;
    int CollectDevData(const int* flags, int count) override;
    int DevIOCtrl(const char* command) override;
    int WriteChannel(int channel, DATATYPE type, void* value) override;
    int UpdataCommunication(ICommunication* comm) override;
    int ChannelRefChange(const int* flags, int count) override;
    int SetChannelAddress(int channel, int value) override;

    // 0 when the configuration was accepted.
    virtual int _Deserialize(const unsigned char* data, unsigned int length) = 0;

    const std::vector<uint32_t>& HostToRow() const { return m_vecHostToRow; }
    const std::vector<uint32_t>& RowToHost() const { return m_vecRowToHost; }

protected:
    // The row of a host channel, or NO_ROW.
    uint32_t RowOfHost(int channel) const;

    std::vector<uint32_t> m_vecHostToRow;
    std::vector<uint32_t> m_vecRowToHost;
    std::vector<int32_t> m_vecRowRef;
};
