// The device-control interface the host calls, and the library's three
// entry points. Slot order is part of the ABI.
#pragma once

#include "host/ICommunication.h"
#include "host/IDevRtdbCtrl.h"
#include "vi5z_uvevarov_ave/ResultCodes.h"

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

extern "C" {
using CreateDeviceCtrlFn = IDeviceCtrl* (*)(const char* name, IDevRtdbCtrl* rtdb);
using DestroyDeviceCtrlFn = int (*)(IDeviceCtrl* device);
using GetInterfaceVersionFn = int (*)(int version, IDeviceCtrl* device);

IDeviceCtrl* CreateDeviceCtrl(const char* name, IDevRtdbCtrl* rtdb);
int DestroyDeviceCtrl(IDeviceCtrl* device);
int GetInterfaceVersion(int version, IDeviceCtrl* device);
}
