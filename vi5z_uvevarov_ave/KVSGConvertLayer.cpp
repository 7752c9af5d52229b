#include "vi5z_uvevarov_ave/KVSGConvertLayer.h"

#include "host/Logger.h"
#include "host/ZoltTools.h"

namespace KVSG {

int KVSGConvertLayer::InitDevice(const unsigned char* data, int length)
{
    const uint64_t start = Zolt_GetTickCount();
    const int result = ConvertLayer::InitDevice(data, length);
    const long elapsed = static_cast<long>(Zolt_GetTickCount() - start);
    logger_printf(3, "InitDevice", "../../../run/vi5z_uvevarov_ave/vi5z_uvevarov_ave/KVSGConvertLayer", 150, 0, 3,
                  "InitDevice", "InitDevice Spend Time = %ld", elapsed);
    return result;
}

int KVSGConvertLayer::_Deserialize(const unsigned char*, unsigned int) { return 1; }

int KVSGConvertLayer::DevIOCtrl(const char* command) { return ConvertLayer::DevIOCtrl(command); }

int KVSGConvertLayer::ChannelRefChange(const int* flags, int count)
{
    if (!flags && count != 0) return DEVCTRL_BAD_ARGUMENT;
    m_vecHostRef.assign(flags, flags + (count > 0 ? count : 0));
    return ConvertLayer::ChannelRefChange(flags, count);
}

int KVSGConvertLayer::SetChannelAddress(int channel, int value) { return ConvertLayer::SetChannelAddress(channel, value); }

} // namespace KVSG
