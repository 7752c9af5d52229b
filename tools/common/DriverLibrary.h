// The driver loaded as a panel loads it: dlopen, the three entry points,
// and one device-control object per controller, destroyed through the
// library that made it.
#pragma once

#include <memory>
#include <string>

#include "vi5z_uvevarov_ave/IDeviceCtrl.h"

namespace fx5 {

class DriverLibrary {
public:
    // Loads the library; check Loaded() and Error().
    explicit DriverLibrary(const std::string& path);
    ~DriverLibrary();
    DriverLibrary(const DriverLibrary&) = delete;
    DriverLibrary& operator=(const DriverLibrary&) = delete;

    bool Loaded() const { return m_create && m_destroy && m_version; }
    const std::string& Error() const { return m_error; }

    struct Destroyer {
        DestroyDeviceCtrlFn destroy;
        void operator()(IDeviceCtrl* device) const { destroy(device); }
    };
    using Device = std::unique_ptr<IDeviceCtrl, Destroyer>;
    // A device-control object for the named device over `store`; null when
    // the library is not loaded or the factory refuses.
    Device Create(const std::string& name, IDevRtdbCtrl* store) const;
    int InterfaceVersion(IDeviceCtrl* device) const { return m_version ? m_version(0, device) : -1; }

private:
    void* m_handle = nullptr;
    CreateDeviceCtrlFn m_create = nullptr;
    DestroyDeviceCtrlFn m_destroy = nullptr;
    GetInterfaceVersionFn m_version = nullptr;
    std::string m_error;
};

// The driver built next to the running program (../lib/libVI5Z_UVEVAROV_AVE.so).
std::string DefaultDriverPath();

} // namespace fx5
