// The device-control interface the host calls, and the library's three
// entry points. Slot order is part of the ABI.
#pragma once

#include "host/ICommunication.h"
#include "host/IDevRtdbCtrl.h"

class IDeviceCtrl {
public:
    virtual int InitDevice(const unsigned char* data, int length) = 0;
    virtual int CleanupDevice() = 0;
    virtual int CollectDevData(const int* flags, int count) = 0;
    virtual int DevIOCtrl(const char* command) = 0;
    virtual int WriteChannel(int channel, DATATYPE type, void* value) = 0;
    virtual int UpdataCommunication(ICommunication* comm) = 0;
    virtual int ChannelRefChange(const int* flags, int count) = 0;
    virtual int SetChannelAddress(int channel, int value) = 0;
    virtual ~IDeviceCtrl() = default;
};

// Result codes of the interface.
constexpr int DEVCTRL_OK = 0;
constexpr int DEVCTRL_BAD_ARGUMENT = static_cast<int>(0x80000001u);
constexpr int DEVCTRL_ACCESSOR_DISABLED = static_cast<int>(0x80000002u);
constexpr int DEVCTRL_NO_VALUE_STORE = static_cast<int>(0x80000000u);
constexpr int DEVCTRL_NO_ROW = -1;
constexpr int DEVCTRL_NO_COMM = -2;
constexpr int DEVCTRL_NO_ACCESSOR = -3;
constexpr int DEVCTRL_NO_PARENTHESES = -5;
constexpr int DEVCTRL_ADDRESS_PENDING = -10;

extern "C" {
using CreateDeviceCtrlFn = IDeviceCtrl* (*)(const char* name, IDevRtdbCtrl* rtdb);
using DestroyDeviceCtrlFn = int (*)(IDeviceCtrl* device);
using GetInterfaceVersionFn = int (*)(int version, IDeviceCtrl* device);

IDeviceCtrl* CreateDeviceCtrl(const char* name, IDevRtdbCtrl* rtdb);
int DestroyDeviceCtrl(IDeviceCtrl* device);
int GetInterfaceVersion(int version, IDeviceCtrl* device);
}
