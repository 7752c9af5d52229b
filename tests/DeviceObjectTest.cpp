// The device object through the built shared library, and the core
// layer's state: accessor gate, communication hand-over, arrays, scheduler.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "sim/ModelComm.h"
#include "support/BlobBuilder.h"
#include "host/Logger.h"
#include "host/ZoltTools.h"
#include "support/RecordingStore.h"
#include "support/RowLayer.h"
#include "vi5z_uvevarov_ave/IDeviceCtrl.h"

using testing_support::MakeRow;
using testing_support::RecordingStore;
using testing_support::RowLayer;

#ifndef ZOLT_DRIVER_PATH
#error "ZOLT_DRIVER_PATH must name the built driver"
#endif

namespace {

struct Library {
    void* handle = dlopen(ZOLT_DRIVER_PATH, RTLD_NOW | RTLD_LOCAL);
    ~Library()
    {
        if (handle) dlclose(handle);
    }
    template <class Fn>
    Fn Get(const char* name) const
    {
        return reinterpret_cast<Fn>(dlsym(handle, name));
    }
};

TEST(SharedLibrary, EntryPointsCreateInitialiseAndDestroy)
{
    Library lib;
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    auto create = lib.Get<CreateDeviceCtrlFn>("CreateDeviceCtrl");
    auto destroy = lib.Get<DestroyDeviceCtrlFn>("DestroyDeviceCtrl");
    auto version = lib.Get<GetInterfaceVersionFn>("GetInterfaceVersion");
    ASSERT_TRUE(create && destroy && version);
    EXPECT_EQ(lib.Get<void*>("_ZN8CDevCtrl14CollectDevDataEPKii"), nullptr) << "internal symbols must stay hidden";

    EXPECT_EQ(destroy(nullptr), 1);
    EXPECT_EQ(version(7, nullptr), 1);

    RecordingStore store;
    IDeviceCtrl* device = create("PLC1", &store);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(version(1, device), 2);

    const unsigned char garbage[] = {1, 2, 3, 4};
    EXPECT_EQ(device->InitDevice(garbage, 0), static_cast<int>(0x80000001u));
    EXPECT_EQ(device->InitDevice(nullptr, 4), static_cast<int>(0x80000001u));
    EXPECT_EQ(device->InitDevice(garbage, 4), static_cast<int>(0x80000001u));
    EXPECT_EQ(device->InitDevice(garbage, -4), static_cast<int>(0x80000001u));
    EXPECT_EQ(device->UpdataCommunication(nullptr), static_cast<int>(0x80000001u));
    EXPECT_EQ(device->CollectDevData(nullptr, 0), 0);
    int flag = 1;
    EXPECT_EQ(device->CollectDevData(&flag, 1), -2);
    EXPECT_EQ(device->CollectDevData(&flag, -1), 0) << "a negative count names no channel";
    EXPECT_EQ(device->DevIOCtrl(nullptr), static_cast<int>(0x80000001u));
    EXPECT_EQ(device->ChannelRefChange(nullptr, 3), static_cast<int>(0x80000001u));
    int value = 1;
    EXPECT_EQ(device->WriteChannel(-5, DATATYPE_INT, &value), -1);
    EXPECT_EQ(device->SetChannelAddress(99, 1), 100000 + 100 + 1) << "no rows: the range check answers";
    EXPECT_EQ(device->CleanupDevice(), 0);
    EXPECT_EQ(destroy(device), 0);

    // A real configuration through the library, collected over the model.
    zolt_log::SetSink(nullptr);
    sim::DeviceMemory memory;
    sim::SlmpHandler handler(memory);
    sim::ModelComm comm(handler);
    memory.SetWord(*sim::AreaByName("D"), 42, 4242);
    IDeviceCtrl* plc = create("PLC3", &store);
    store.DeclareChannels(1, DATATYPE_INT);
    using testing_support::MakeVariable;
    using testing_support::Node;
    const auto blob = testing_support::Blob(Node(MakeVariable("", "", 21, 0, 0), {Node(MakeVariable("v", "v", 4, REG_D, 42))}), {"v"});
    EXPECT_EQ(plc->UpdataCommunication(&comm), 0);
    // Before InitDevice: no rows to map to, nothing sent.
    EXPECT_EQ(plc->CollectDevData(&flag, 1), -3);
    EXPECT_EQ(plc->WriteChannel(0, DATATYPE_INT, &value), -1);
    EXPECT_EQ(plc->ChannelRefChange(&flag, 1), -1);
    EXPECT_TRUE(comm.requests().empty());
    EXPECT_EQ(plc->InitDevice(blob.data(), static_cast<int>(blob.size())), 0);
    EXPECT_EQ(plc->CollectDevData(&flag, 1), 0) << "no channel referred to yet: nothing to read";
    EXPECT_TRUE(comm.requests().empty());
    EXPECT_EQ(plc->ChannelRefChange(&flag, 1), 0);
    EXPECT_EQ(plc->CollectDevData(&flag, 1), 0);
    EXPECT_EQ(store.Number(0), 4242);
    EXPECT_EQ(version(0, plc), 2);
    store.channels.clear();
    EXPECT_EQ(plc->CollectDevData(&flag, 1), 0);
    EXPECT_TRUE(store.channels.empty()) << "a disabled accessor delivers nothing";
    EXPECT_EQ(plc->CleanupDevice(), 0);
    // Released: no accessor to version (the sanitizer build sees a touch),
    // and collection has nothing to deliver to.
    EXPECT_EQ(version(1, plc), 2);
    EXPECT_EQ(plc->CollectDevData(&flag, 1), -3);
    EXPECT_EQ(destroy(plc), 0);
    zolt_log::ResetSink();

    // Destroying without a clean-up leaks nothing either (checked by the
    // sanitizer build).
    IDeviceCtrl* second = create("PLC2", nullptr);
    EXPECT_EQ(destroy(second), 0);
}

TEST(Accessor, VersionGateStopsAndRestoresForwarding)
{
    RecordingStore store;
    store.channelTypes[0] = DATATYPE_DOUBLE;
    RowLayer layer(&store, {});
    CDevRtdb& accessor = *layer.Accessor();
    EXPECT_EQ(accessor.SetValueByChannel(0, 1.5), 0);
    EXPECT_EQ(store.channelWrites, 1);
    accessor.SetVersion(0);
    const int before = store.calls;
    std::string text = "x";
    DATATYPE type;
    int i = 0;
    double d = 0;
    const int results[] = {
        accessor.SetValueByChannel(0, 2.5),      accessor.SetValueByChannel(0, 3),       accessor.SetValueByChannel(0, text),
        accessor.GetValueTypeByChannel(0, type), accessor.GetValueByName("v", d),        accessor.GetValueByName("v", i),
        accessor.GetValueByName("v", text),      accessor.SetValueByName("v", 1),        accessor.SetValueByName("v", 1.0),
        accessor.SetValueByName("v", text),      accessor.GetValueTypeByName("v", type), accessor.GetValueByChannel(0, i),
        accessor.GetValueByChannel(0, d),        accessor.GetValueByChannel(0, text),    accessor.GetValueIDByChannel(0, i)};
    for (int r : results) EXPECT_EQ(r, static_cast<int>(0x80000002u));
    EXPECT_EQ(store.calls, before);
    accessor.SetVersion(5);
    EXPECT_EQ(accessor.SetValueByChannel(0, 4.5), 0);
    EXPECT_EQ(store.Number(0), 4.5);

    CDevRtdb orphan(1, nullptr);
    EXPECT_EQ(orphan.SetValueByChannel(0, 1), static_cast<int>(0x80000000u));
}

TEST(CoreLayer, PendingAddressBlocksCollection)
{
    sim::DeviceMemory memory;
    sim::SlmpHandler handler(memory);
    sim::ModelComm comm(handler);
    RecordingStore store;
    RowLayer layer(&store, {MakeRow(7, 10, 83), MakeRow(7, 20, 83)});
    ASSERT_EQ(layer.Init(), 0);
    layer.UpdataCommunication(&comm);
    EXPECT_EQ(layer.SetChannelAddress(0, -11), 0);
    EXPECT_EQ(layer.SetChannelAddress(1, -21), 0);
    int flag = 1;
    EXPECT_EQ(layer.CollectDevData(&flag, 1), -10);
    int value = 3;
    EXPECT_EQ(layer.WriteChannel(0, DATATYPE_INT, &value), -10);
    EXPECT_EQ(layer.DevIOCtrl("READ(D,1,x)"), -10);
    // A check releases exactly the row it names.
    EXPECT_EQ(layer.SetChannelAddress(0, -10), 0);
    EXPECT_EQ(layer.CollectDevData(&flag, 1), -10);
    EXPECT_EQ(layer.CDevCtrl::SetChannelAddress(1, -20), 0);
    EXPECT_EQ(layer.CollectDevData(&flag, 1), 0);
    EXPECT_EQ(layer.CDevCtrl::SetChannelAddress(2, 0), static_cast<int>(0x80000001u)) << "a row beyond the table";
    EXPECT_EQ(layer.SetChannelAddress(-1, 0), -1);
}

} // namespace
