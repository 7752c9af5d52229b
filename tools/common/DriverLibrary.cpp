#include "tools/common/DriverLibrary.h"

#include <dlfcn.h>

#include "tools/common/ProgramDirectory.h"

namespace fx5 {

DriverLibrary::DriverLibrary(const std::string& path)
{
    m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* why = ::dlerror();
        m_error = why ? why : ("cannot load " + path);
        return;
    }
    m_create = reinterpret_cast<CreateDeviceCtrlFn>(::dlsym(m_handle, "CreateDeviceCtrl"));
    m_destroy = reinterpret_cast<DestroyDeviceCtrlFn>(::dlsym(m_handle, "DestroyDeviceCtrl"));
    m_version = reinterpret_cast<GetInterfaceVersionFn>(::dlsym(m_handle, "GetInterfaceVersion"));
    if (!Loaded()) m_error = path + " does not export CreateDeviceCtrl, DestroyDeviceCtrl and GetInterfaceVersion";
}

DriverLibrary::~DriverLibrary()
{
    if (m_handle) ::dlclose(m_handle);
}

DriverLibrary::Device DriverLibrary::Create(const std::string& name, IDevRtdbCtrl* store) const
{
    if (!Loaded()) return Device(nullptr, Destroyer{m_destroy});
    return Device(m_create(name.c_str(), store), Destroyer{m_destroy});
}

std::string DefaultDriverPath() { return ProgramDirectory() + "../lib/libVI5Z_UVEVAROV_AVE.so"; }

} // namespace fx5
