// Nothing but a result code crosses the driver's interface: with the Nth
// allocation failing, for every N of an InitDevice and of a collection
// cycle, each operation answers with a code and the object stays usable.
#include "support/BlobBuilder.h"
#include "support/EngineFixture.h"
#include "support/FailingAllocator.h"
#include "vi5z_uvevarov_ave/GuardedDevice.h"

using namespace testing_support;

namespace {

class Boundary : public EngineFixture {
protected:
    // The controller's memory under the blob's tags, and the store's types.
    void SetUp() override
    {
        EngineFixture::SetUp();
        for (uint32_t i = 0; i < 4; ++i) memory.SetWord(*sim::AreaByName("D"), 10 + 20 * i, static_cast<uint16_t>(1000 + i));
        memory.SetWord(*sim::AreaByName("D"), 200, 0x4241);
        memory.SetWord(*sim::AreaByName("D"), 201, 0x0043);
        store.DeclareChannels(5, DATATYPE_INT);
        store.channelTypes[4] = DATATYPE_STRING;
    }
    std::vector<unsigned char> TwoTags()
    {
        std::vector<TreeSerialize::NodeSpec> v;
        for (uint32_t i = 0; i < 4; ++i)
            v.push_back(Node(MakeVariable("[" + std::to_string(i) + "]", "v[" + std::to_string(i) + "]", 3, REG_D, 10 + 20 * i)));
        return Blob(Node(MakeVariable("", "", 21, 0, 0),
                         {Node(MakeVariable("v", "v", 21, 0, 0), v), Node(MakeVariable("s", "s", 12, REG_D, 200, 0xFFFFFFFFu, 8))}),
                    {"v[0]", "v[1]", "v[2]", "v[3]", "s"});
    }
    // The object works: loads, plans, collects the right values.
    void ExpectUsable(KVSG::GuardedDevice& device, const std::vector<unsigned char>& blob)
    {
        ASSERT_EQ(device.InitDevice(blob.data(), static_cast<int>(blob.size())), 0);
        const int flags[5] = {1, 1, 1, 1, 1};
        ASSERT_EQ(device.ChannelRefChange(flags, 5), 0);
        store.channels.clear();
        for (int i = 0; i < 6; ++i) ASSERT_EQ(device.CollectDevData(flags, 5), 0);
        EXPECT_EQ(store.Number(3), 1000 + 3);
        EXPECT_EQ(store.Text(4), "ABC");
    }
};

TEST_F(Boundary, EveryFailedAllocationOfAnInitDeviceGivesACodeAndTheObjectStaysUsable)
{
    const std::vector<unsigned char> blob = TwoTags();
    KVSG::GuardedDevice device("PLC1", &store);
    ASSERT_EQ(device.UpdataCommunication(&comm), 0);
    long n = 1;
    for (;; ++n) {
        int result;
        bool failed;
        {
            FailingAllocator failing(n);
            result = device.InitDevice(blob.data(), static_cast<int>(blob.size()));
            failed = failing.Failed();
        }
        if (!failed) {
            EXPECT_EQ(result, 0);
            break;
        }
        EXPECT_EQ(result, static_cast<int>(0x80000001u)) << "allocation " << n;
    }
    std::cout << "[          ] InitDevice made " << n - 1 << " allocations; each failed in turn\n";
    ExpectUsable(device, blob);
}

TEST_F(Boundary, EveryFailedAllocationOfACollectionCycleGivesACodeAndTheObjectStaysUsable)
{
    const std::vector<unsigned char> blob = TwoTags();
    KVSG::GuardedDevice device("PLC1", &store);
    ASSERT_EQ(device.UpdataCommunication(&comm), 0);
    ExpectUsable(device, blob);
    const int flags[5] = {1, 1, 1, 1, 1};
    // A full cycle: every rank once, a write, a reference change and a command.
    auto cycle = [&] {
        int last = 0;
        for (int i = 0; i < 5 && last == 0; ++i) last = device.CollectDevData(flags, 5);
        int value = 7;
        if (last == 0) last = device.WriteChannel(0, DATATYPE_INT, &value);
        if (last == 0) last = device.ChannelRefChange(flags, 5);
        if (last == 0) last = device.DevIOCtrl("READ(D,10,WUB=x)");
        return last;
    };
    long n = 1;
    for (;; ++n) {
        int result;
        bool failed;
        {
            FailingAllocator failing(n);
            result = cycle();
            failed = failing.Failed();
        }
        if (!failed) break;
        EXPECT_TRUE(result == static_cast<int>(0x80000001u) || result == 0 || result == 5) << "allocation " << n << " gave " << result;
        memory.SetWord(*sim::AreaByName("D"), 10, 1000);
    }
    std::cout << "[          ] a collection cycle made " << n - 1 << " allocations; each failed in turn\n";
    memory.SetWord(*sim::AreaByName("D"), 10, 1000);
    ExpectUsable(device, blob);
}

} // namespace
