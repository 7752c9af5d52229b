// Control strings of any shape through the tag layer's DevIOCtrl.
#include <cstdint>
#include <string>

#include "fuzz/FuzzDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzzing::Device device;
    const std::string text(reinterpret_cast<const char*>(data), size);
    device.driver.DevIOCtrl(text.c_str());
    device.comm.ClearRequests();
    return 0;
}
