// Core device-control layer: every operation works on row indices of the
// channel table and on the per-cycle arrays (position 0 = the device,
// position i = row i-1).
#pragma once

#include <memory>
#include <set>
#include <vector>

#include "vi5z_uvevarov_ave/DevData.h"
#include "vi5z_uvevarov_ave/DevRtdb.h"
#include "vi5z_uvevarov_ave/IDeviceCtrl.h"

constexpr uint32_t NO_ROW = 0xFFFFFFFFu;
constexpr uint32_t NO_HOST = 0xFFFFFFFFu;

// Entry `index` of a host/row map; NO_ROW (= NO_HOST) past its end.
inline uint32_t MapEntry(const std::vector<uint32_t>& map, uint32_t index) { return index < map.size() ? map[index] : NO_ROW; }

class CDevCtrl : public virtual IDeviceCtrl {
public:
    explicit CDevCtrl(const char* deviceName, IDevRtdbCtrl* rtdb);
    ~CDevCtrl() override;
    CDevCtrl(const CDevCtrl&) = delete;
    CDevCtrl& operator=(const CDevCtrl&) = delete;

    int InitDevice(const unsigned char* data, int length) override;
    int CleanupDevice() override;
    int CollectDevData(const int* flags, int count) override;
    int DevIOCtrl(const char* command) override;
    int WriteChannel(int row, DATATYPE type, void* value) override;
    int UpdataCommunication(ICommunication* comm) override;
    int ChannelRefChange(const int* flags, int count) override;
    int SetChannelAddress(int row, int value) override;

    // Host-variable hooks of the state record.
    static int SetParamValue_Fun(ZOLT_DATA& data, CString name, DATATYPE type, void* value);
    static int GetParamValue_Fun(ZOLT_DATA& data, CString name, DATATYPE type, void* value);
    static int GetParamType_Fun(ZOLT_DATA& data, CString name, DATATYPE& type);

    // Read access for hosts' diagnostics and tests.
    const ZOLT_DATA& Data() const { return m_data; }
    CDevRtdb* Accessor() { return m_pDevRtdb; }
    int ChannelNum() const { return m_nChannelNum; }
    const CArray<int, int>& CollectFlags() const { return m_arCollectFlag; }
    const CArray<double, double>& Values() const { return m_arValue; }
    const CStringArray& Texts() const { return m_strArValue; }

    int _InitValueArray(int count);
    int _InitAddressTable(CArray<unsigned int, unsigned int>& table);
    int _InitCheckcollectFlag(CArray<int, int>& flags, int rank);
    int _InitSetReadIndex(CArray<int, int>& flags);

protected:
    // Host channel numbering of the layer above; null maps identity.
    struct ChannelMaps {
        const std::vector<uint32_t>* hostToRow;
        const std::vector<uint32_t>* rowToHost;
    };
    // One collection call; with maps, an unmappable flag gives -3 and the
    // hand-over stops at the first channel that cannot be delivered.
    int CollectMapped(const int* flags, int count, const ChannelMaps* maps);
    int Status() const;
    // Selects the device on the communication object; false without one.
    bool SelectDevice();
    // The 5 ms spacing after a write or command that finished quickly.
    static void PauseIfQuick(uint64_t startMs);

    ZOLT_DATA m_data;
    CDevRtdb* m_pDevRtdb = nullptr;
    int m_nChannelNum = -1;
    CArray<int, int> m_arCollectFlag;
    CArray<int, int> m_arRefFlag;
    CArray<double, double> m_arValue;
    CStringArray m_strArValue;
    CArray<unsigned int, unsigned int> m_arAddress;
    std::set<int> m_setBadAddress;
};
