// The library's three exported entry points.
#include "vi5z_uvevarov_ave/IDeviceCtrl.h"
#include "vi5z_uvevarov_ave/GuardedDevice.h"

#define ZOLT_EXPORT __attribute__((visibility("default")))

extern "C" {

ZOLT_EXPORT IDeviceCtrl* CreateDeviceCtrl(const char* name, IDevRtdbCtrl* rtdb)
{
    try {
        return new KVSG::GuardedDevice(name, rtdb);
    } catch (...) {
        return nullptr;
    }
}

ZOLT_EXPORT int DestroyDeviceCtrl(IDeviceCtrl* device)
{
    if (!device) return 1;
    // Tag drivers are destroyed here (the factory's object is one); any
    // other object is left alone.
    delete dynamic_cast<KVSG::KVSGConvertLayer*>(device);
    return 0;
}

ZOLT_EXPORT int GetInterfaceVersion(int version, IDeviceCtrl* device)
{
    if (!device) return 1;
    try {
        if (auto* core = dynamic_cast<CDevCtrl*>(device)) {
            if (CDevRtdb* accessor = core->Accessor()) accessor->SetVersion(version);
        }
    } catch (...) {
    }
    return 2;
}
}
