// Configuration blobs of any shape through InitDevice, then one
// reference change and collection over what was loaded.
#include <cstdint>
#include <vector>

#include "fuzz/FuzzDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzzing::Device device;
    device.driver.InitDevice(data, static_cast<int>(size));
    const int channels = static_cast<int>(device.driver.HostToRow().size());
    if (channels > 0 && channels < 4096) {
        std::vector<int> flags(static_cast<size_t>(channels), 1);
        device.driver.ChannelRefChange(flags.data(), channels);
        device.driver.CollectDevData(flags.data(), channels);
        device.driver.SetChannelAddress(0, 1);
    }
    device.comm.ClearRequests();
    return 0;
}
