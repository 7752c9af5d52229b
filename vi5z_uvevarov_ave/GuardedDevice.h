// The device-control object the host receives: the tag driver, with every
// operation of the interface turning an exception (memory exhausted above
// all) into a result code, so that nothing but a result code crosses the
// library's boundary and the object stays usable.
#pragma once

#include "vi5z_uvevarov_ave/KVSGConvertLayer.h"

namespace KVSG {

class GuardedDevice final : public KVSGConvertLayer {
public:
    using KVSGConvertLayer::KVSGConvertLayer;

    int InitDevice(const unsigned char* data, int length) override
    {
        return Guard([&] { return KVSGConvertLayer::InitDevice(data, length); });
    }
    int CleanupDevice() override
    {
        return Guard([&] { return KVSGConvertLayer::CleanupDevice(); });
    }
    int CollectDevData(const int* flags, int count) override
    {
        return Guard([&] { return KVSGConvertLayer::CollectDevData(flags, count); });
    }
    int DevIOCtrl(const char* command) override
    {
        return Guard([&] { return KVSGConvertLayer::DevIOCtrl(command); });
    }
    int WriteChannel(int channel, DATATYPE type, void* value) override
    {
        return Guard([&] { return KVSGConvertLayer::WriteChannel(channel, type, value); });
    }
    int UpdataCommunication(ICommunication* comm) override
    {
        return Guard([&] { return KVSGConvertLayer::UpdataCommunication(comm); });
    }
    int ChannelRefChange(const int* flags, int count) override
    {
        return Guard([&] { return KVSGConvertLayer::ChannelRefChange(flags, count); });
    }
    int SetChannelAddress(int channel, int value) override
    {
        return Guard([&] { return KVSGConvertLayer::SetChannelAddress(channel, value); });
    }

private:
    // Nothing fits an exception better than "bad argument or configuration".
    template <class Operation>
    static int Guard(Operation operation) noexcept
    {
        try {
            return operation();
        } catch (...) {
            return DEVCTRL_BAD_ARGUMENT;
        }
    }
};

} // namespace KVSG
