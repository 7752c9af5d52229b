// Every fault switch of fx5-sim against the driver as a panel runs it: the
// real .so, a TCP channel on loopback, the statuses a host sees, and
// recovery without a restart.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/BlobBuilder.h"
#include "support/TempPath.h"
#include "support/RecordingStore.h"
#include "tools/common/SimProcess.h"
#include "tools/common/DriverLibrary.h"
#include "tools/common/TcpChannel.h"

using namespace testing_support;

namespace {

// The driver over a TCP channel to a simulator started with `faults`,
// bound to D0 and D1 (seeded 11 and 22).
class DriverOverTcp {
public:
    explicit DriverOverTcp(const std::vector<std::string>& faults)
        : m_sim(FX5_SIM_PATH, Arguments(faults)), m_channel("127.0.0.1", m_sim.Port())
    {
        m_device = m_library.Create("PLC1", &store);
        store.DeclareChannels(2, DATATYPE_INT);
        const auto root =
            Node(MakeVariable("", "", 21, 0, 0), {Node(MakeVariable("a", "a", 3, REG_D, 0)), Node(MakeVariable("b", "b", 3, REG_D, 1))});
        const std::vector<unsigned char> blob = Blob(root, {"a", "b"});
        m_ready = m_sim.Running() && m_device && m_device->UpdataCommunication(&m_channel) == 0 &&
                  m_device->InitDevice(blob.data(), static_cast<int>(blob.size())) == 0 && m_device->ChannelRefChange(kFlags, 2) == 0;
    }
    bool Ready() const { return m_ready; }
    int Collect() { return m_device->CollectDevData(kFlags, 2); }
    double Value(int channel) const { return store.Number(channel); }
    RecordingStore store;
    fx5::TcpChannel& Channel() { return m_channel; }

private:
    static std::vector<std::string> Arguments(std::vector<std::string> faults)
    {
        const std::string seed = testing_support::TempPath("fx5sim-faults.json");
        std::ofstream(seed) << R"({"D0": 11, "D1": 22})";
        faults.insert(faults.end(), {"--memory", seed});
        return faults;
    }
    static constexpr int kFlags[2] = {1, 1};
    fx5::SimProcess m_sim;
    fx5::TcpChannel m_channel;
    fx5::DriverLibrary m_library{ZOLT_DRIVER_PATH};
    fx5::DriverLibrary::Device m_device{nullptr, {nullptr}};
    bool m_ready = false;
};

// The fault-to-status mapping is pinned in process; over TCP one fault shows
// that the status and the failed read's missing values reach the host.
TEST(SimFaults, TheHostSeesTheStatusOfTheFaultAndNoValueFromAFailedRead)
{
    DriverOverTcp sound({"--split"});
    ASSERT_TRUE(sound.Ready());
    EXPECT_EQ(sound.Collect(), 0);
    EXPECT_EQ(sound.Value(0), 11);
    EXPECT_EQ(sound.Value(1), 22);
    DriverOverTcp failing({"--split", "--end-code", "C056"});
    ASSERT_TRUE(failing.Ready());
    for (int i = 0; i < 2; ++i) EXPECT_EQ(failing.Collect(), 100 + 0xC056) << "call " << i;
    EXPECT_TRUE(failing.store.channels.empty());
}

// A connection the controller closes is made again, and an answer that never
// comes costs only its own read: values flow, each its own device's.
TEST(SimFaultRecovery, DropsAndSilencesCostOnlyTheirOwnReads)
{
    for (const std::vector<std::string>& faults : {std::vector<std::string>{"--close-after", "2"}, {"--silent-every", "2"}}) {
        DriverOverTcp run(faults);
        ASSERT_TRUE(run.Ready());
        std::string told;
        run.Channel().OnEvent([&told](const std::string& text) { told += text + "\n"; });
        int good = 0;
        for (int i = 0; i < 12; ++i) {
            const int status = run.Collect();
            good += status == 0;
            if (status != 0) continue;
            EXPECT_EQ(run.Value(0), 11) << faults[0];
            EXPECT_EQ(run.Value(1), 22) << faults[0];
        }
        EXPECT_GE(good, 5) << faults[0];
        EXPECT_LT(good, 12) << faults[0] << ": the fault shows";
        if (faults[0] == "--close-after") {
            EXPECT_GE(run.Channel().Reconnects(), 2u);
            EXPECT_NE(told.find(" lost (closed by the peer); reconnecting\n"), std::string::npos) << told;
        }
    }
    // A refused connection leaves no descriptor behind.
    const auto open = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto before = open();
    for (int i = 0; i < 20; ++i) EXPECT_NE(fx5::TcpChannel("127.0.0.1", 1).PrepareSend(), 0);
    EXPECT_EQ(open(), before);
}

TEST(SimFaultRecovery, ALateAnswerIsNeverTakenForTheNextRequest)
{
    // Answers come 250 ms late, after the driver's 200 ms wait, and the next
    // request follows at once: it goes out on a new connection, so the late
    // answer of the one before can never be read for it.
    DriverOverTcp run({"--delay", "250"});
    ASSERT_TRUE(run.Ready());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(run.Collect(), 2) << i;
    EXPECT_TRUE(run.store.channels.empty());
    EXPECT_GE(run.Channel().Resyncs(), 3u);
}

} // namespace
