// One device as a panel runs it: the project's blob and channels, the
// driver's device-control object over a TCP channel, and the collection
// loop with its writes and control strings, counted as it goes.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tools/common/DriverLibrary.h"
#include "tools/common/CaptureFile.h"
#include "tools/common/TcpChannel.h"
#include "tools/fx5-run/ExchangeTrace.h"
#include "tools/fx5-run/CycleTimes.h"
#include "tools/fx5-run/ValueStore.h"
#include "tools/fx5-run/WriteValue.h"

namespace fx5run {

struct SessionOptions {
    std::string name = "PLC1";
    std::string host = "127.0.0.1";
    uint16_t port = 5000;
    std::string project; // PROJECT.json or DEVICE.bin
    unsigned intervalMs = 100;
    uint64_t cycles = 0;                                     // 0: no limit
    double durationS = 0;                                    // 0: no limit
    std::vector<std::pair<std::string, std::string>> writes; // tag, value
    std::vector<std::string> ioctls;
    bool trace = false; // one line an exchange on standard error
    // Every exchange into this capture file, shared by the devices.
    std::shared_ptr<fx5::CaptureFile> capture;
};

// What happened, for the output.
struct Event {
    enum Kind { Value, Failure, Message } kind = Message;
    std::string device;
    int channel = -1;
    ChannelState state; // Value
    // A failure's status; a message has one only when it reports what a
    // write or a control string answered, never for a note.
    std::optional<int> status;
    std::string text; // Message
};
using EventSink = std::function<void(const Event&)>;

struct SessionStats {
    uint64_t cycles = 0;              // full refreshes of every channel
    uint64_t exchanges = 0;           // collection calls
    uint64_t requestsFailed = 0;      // writes and control strings that failed or were not done
    uint64_t values = 0;              // values delivered
    std::map<int, uint64_t> failures; // by status
    CycleTimes cycleTimes;
    uint64_t reconnects = 0;
    std::string link; // why the controller cannot be reached; empty while connected
    int lastStatus = 0;
    double elapsedS = 0;
};

class DeviceSession {
public:
    DeviceSession(SessionOptions options, const fx5::DriverLibrary& library, Variables& variables, EventSink sink);
    ~DeviceSession();
    // Loads the project, checks the writes against its channels, makes the
    // device and plans; false with a message.
    bool Open(std::string& error);
    void Run(const std::atomic<bool>& stop);

    const SessionOptions& Options() const { return m_options; }
    SessionStats Stats() const;
    std::vector<ChannelState> Channels() const { return m_store ? m_store->Snapshot() : std::vector<ChannelState>(); }
    // The statuses a failed collection showed, named.
    static std::string Meaning(int status);
    // The driver's log lines (its load timings) are shown only when asked
    // for. In the live table they are told as messages of the session whose
    // call made them ("driver: ..."), as the screen would wipe them; a line
    // from no session's call, or in another format, goes to standard error.
    static void RouteDriverLog(bool shown, bool asMessages);

private:
    // A write checked against the project before the run: its channel and
    // the value in the channel's own type.
    struct PreparedWrite {
        std::string tag, text;
        int channel = -1;
        DATATYPE type = DATATYPE_INT;
        WriteValue value;
        // How messages name it: "write TAG=VALUE".
        std::string Named() const { return "write " + tag + "=" + text; }
    };
    bool PrepareWrite(const std::string& tag, const std::string& text, PreparedWrite& write, std::string& why) const;
    void AfterFirstRefresh();
    // Each gives the driver's status.
    int Write(const PreparedWrite& write);
    int Control(const std::string& text);
    // The writes and control strings a run ended before.
    void NotDone();
    void Tell(const std::string& text, std::optional<int> status = std::nullopt);
    Event NewEvent(Event::Kind kind) const;

    SessionOptions m_options;
    const fx5::DriverLibrary& m_library;
    Variables& m_variables;
    EventSink m_sink;
    std::vector<unsigned char> m_blob;
    std::unique_ptr<ValueStore> m_store;
    // Each channel's tag, where the project gives it: what a write may carry.
    std::vector<std::optional<fx5cfg::Leaf>> m_leaves;
    std::unique_ptr<ExchangeTrace> m_trace;
    std::unique_ptr<fx5::CaptureFile::Connection> m_captured;
    // Declared after the trace and the capture it tells: destroyed first.
    std::unique_ptr<fx5::TcpChannel> m_channel;
    fx5::DriverLibrary::Device m_device{nullptr, {nullptr}};
    std::vector<int> m_flags;
    std::vector<PreparedWrite> m_writes;
    mutable std::mutex m_statsLock;
    SessionStats m_stats;
    // Writes waiting for their read-back: channel and when written.
    std::mutex m_pendingLock;
    std::map<int, Clock::time_point> m_readBack;
};

} // namespace fx5run
