// Legacy configurations of any shape through the plain layer's InitDevice.
#include <cstdint>

#include "host/Logger.h"
#include "vi5z_uvevarov_ave/DevCtrl.h"

namespace {
class PlainLayer : public CDevCtrl {
public:
    PlainLayer() : CDevCtrl("PLC1", nullptr) {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zolt_log::SetSink(nullptr);
    PlainLayer layer;
    layer.InitDevice(data, static_cast<int>(size));
    const int flags[4] = {1, 1, 1, 1};
    layer.ChannelRefChange(flags, 4);
    layer.CleanupDevice();
    return 0;
}
