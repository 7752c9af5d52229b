#include "tools/fx5-run/DeviceSession.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "host/Logger.h"
#include "tools/common/WholeFile.h"
#include "tools/fx5-run/WriteValue.h"
#include "vi5z_uvevarov_ave/ResultCodes.h"
#include "tools/fx5-config/Compiler.h"
#include "tools/fx5-config/BlobToProject.h"
#include "tools/fx5-config/ProjectJson.h"

namespace fx5run {

namespace {

DATATYPE HostType(const std::string& name) { return name == "text" ? DATATYPE_STRING : name == "double" ? DATATYPE_DOUBLE : DATATYPE_INT; }

// The blob and the channels of a project file or of a compiled blob.
// The project's blob and channels, with each channel's tag where the
// project says it.
bool LoadProject(const std::string& path, std::vector<unsigned char>& blob, std::vector<ChannelState>& channels,
                 std::vector<std::optional<fx5cfg::Leaf>>& leaves, std::string& error)
{
    std::string bytes;
    if (!fx5::ReadWholeFile(path, bytes)) return error = path + ": cannot be read", false;
    fx5cfg::Diagnostics diagnostics;
    fx5cfg::Project project;
    fx5cfg::Compiled compiled;
    const bool json = path.size() >= 5 && path.compare(path.size() - 5, 5, ".json") == 0;
    if (json) {
        if (fx5cfg::ParseProject(bytes, project, diagnostics)) fx5cfg::Compile(project, compiled, diagnostics);
        if (diagnostics.empty()) {
            blob = compiled.blob;
            for (fx5cfg::Channel& c : project.channels)
                if (c.hostType.empty()) c.hostType = fx5cfg::DefaultHostType(compiled.leaves.at(c.tag).scalar);
        }
    } else {
        blob.assign(bytes.begin(), bytes.end());
        fx5cfg::Inspection inspection;
        if (fx5cfg::Inspect(blob, inspection, diagnostics)) project = inspection.project;
        // The tags' types, when the blob's project compiles again.
        fx5cfg::Diagnostics ignored;
        if (diagnostics.empty()) fx5cfg::Compile(project, compiled, ignored);
    }
    if (!diagnostics.empty()) {
        error = path + ": " + diagnostics.front().where + (diagnostics.front().where.empty() ? "" : ": ") + diagnostics.front().message +
                (diagnostics.size() > 1 ? " (and " + std::to_string(diagnostics.size() - 1) + " more; fx5-config check lists them)" : "");
        return false;
    }
    for (const fx5cfg::Channel& c : project.channels) {
        ChannelState state;
        state.tag = c.tag;
        state.type = HostType(c.hostType);
        channels.push_back(state);
        const auto leaf = compiled.leaves.find(c.tag);
        leaves.push_back(leaf == compiled.leaves.end() ? std::nullopt : std::optional<fx5cfg::Leaf>(leaf->second));
    }
    return true;
}

// The session calling the driver on this thread, while it does.
thread_local DeviceSession* t_calling = nullptr;

class Calling {
public:
    explicit Calling(DeviceSession* session) : m_before(t_calling) { t_calling = session; }
    ~Calling() { t_calling = m_before; }
    Calling(const Calling&) = delete;
    Calling& operator=(const Calling&) = delete;

private:
    DeviceSession* m_before;
};

} // namespace

std::string DeviceSession::Meaning(int status) { return StatusText(status); }

void DeviceSession::RouteDriverLog(bool shown, bool asMessages)
{
    if (!shown) return zolt_log::SetSink(zolt_log::Sink());
    zolt_log::SetSink([asMessages](const zolt_log::Line& line) {
        if (t_calling && asMessages)
            t_calling->Tell("driver: " + line.text);
        else
            std::fprintf(stderr, "driver: %s\n", line.text.c_str());
    });
}

DeviceSession::DeviceSession(SessionOptions options, const fx5::DriverLibrary& library, Variables& variables, EventSink sink)
    : m_options(std::move(options)), m_library(library), m_variables(variables), m_sink(std::move(sink))
{
}

DeviceSession::~DeviceSession()
{
    // The device goes before the channel and the store it points to.
    if (m_device) m_device->CleanupDevice();
    m_device.reset();
}

Event DeviceSession::NewEvent(Event::Kind kind) const
{
    Event event;
    event.kind = kind;
    event.device = m_options.name;
    return event;
}

void DeviceSession::Tell(const std::string& text, std::optional<int> status)
{
    Event event = NewEvent(Event::Message);
    event.text = text;
    event.status = status;
    m_sink(event);
}

bool DeviceSession::Open(std::string& error)
{
    const Calling calling(this);
    std::vector<ChannelState> channels;
    if (!LoadProject(m_options.project, m_blob, channels, m_leaves, error)) return false;
    m_store = std::make_unique<ValueStore>(std::move(channels), m_variables, [this](int channel, const ChannelState& state) {
        {
            std::lock_guard<std::mutex> hold(m_statsLock);
            ++m_stats.values;
        }
        Event event = NewEvent(Event::Value);
        event.channel = channel;
        event.state = state;
        m_sink(event);
        std::lock_guard<std::mutex> hold(m_pendingLock);
        auto pending = m_readBack.find(channel);
        if (pending != m_readBack.end() && state.updated > pending->second) {
            Tell("read back " + state.tag + " = " + ValueText(state.value));
            m_readBack.erase(pending);
        }
    });
    // A write that cannot be done is a mistake in the command line: found
    // before anything is connected, not after the first refresh.
    for (const auto& [tag, text] : m_options.writes) {
        PreparedWrite write;
        std::string why;
        if (!PrepareWrite(tag, text, write, why)) return error = write.Named() + ": " + why, false;
        m_writes.push_back(write);
    }
    m_channel = std::make_unique<fx5::TcpChannel>(m_options.host, m_options.port);
    m_channel->OnEvent([this](const std::string& text) { Tell(text); });
    if (m_options.trace) m_trace = std::make_unique<ExchangeTrace>(m_options.name, stderr);
    if (m_options.capture) m_captured = std::make_unique<fx5::CaptureFile::Connection>(*m_options.capture);
    if (m_trace || m_captured)
        m_channel->OnWire([trace = m_trace.get(), captured = m_captured.get()](const fx5::WireEvent& event) {
            if (trace) trace->OnWire(event);
            if (captured) captured->Record(event);
        });
    m_device = m_library.Create(m_options.name, m_store.get());
    if (!m_device) return error = "the driver made no device-control object", false;
    if (m_device->UpdataCommunication(m_channel.get()) != 0) return error = "the driver refused the communication channel", false;
    const int init = m_device->InitDevice(m_blob.data(), static_cast<int>(m_blob.size()));
    if (init != 0) return error = m_options.project + ": the driver refused the configuration: " + Meaning(init), false;
    m_flags.assign(m_store->Count(), 1);
    if (m_flags.empty()) return error = m_options.project + ": the project has no channels", false;
    const int planned = m_device->ChannelRefChange(m_flags.data(), static_cast<int>(m_flags.size()));
    if (planned != 0) return error = m_options.project + ": channels in use refused: " + Meaning(planned), false;
    return true;
}

void DeviceSession::Run(const std::atomic<bool>& stop)
{
    const Calling calling(this);
    const auto start = Clock::now();
    const auto interval = std::chrono::milliseconds(m_options.intervalMs);
    auto next = start;
    bool refreshed = false;
    // A cycle is a full refresh: every channel delivered once, or as many
    // calls as there are channels gone by (failed reads deliver nothing).
    uint64_t refreshes = 0;
    size_t calls = 0;
    m_store->StartRefresh();
    while (!stop) {
        if (m_options.cycles && refreshes >= m_options.cycles) break;
        if (m_options.durationS > 0 && std::chrono::duration<double>(Clock::now() - start).count() >= m_options.durationS) break;
        const auto before = Clock::now();
        m_store->CollectionStarted(before);
        const int status = m_device->CollectDevData(m_flags.data(), static_cast<int>(m_flags.size()));
        m_store->CollectionEnded();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - before).count();
        {
            std::lock_guard<std::mutex> hold(m_statsLock);
            ++m_stats.exchanges;
            m_stats.cycleTimes.Add(ms);
            m_stats.lastStatus = status;
            if (status != 0) ++m_stats.failures[status];
            m_stats.reconnects = m_channel->Reconnects();
            m_stats.link = m_channel->Problem();
            m_stats.elapsedS = std::chrono::duration<double>(Clock::now() - start).count();
        }
        if (status != 0) {
            Event event = NewEvent(Event::Failure);
            event.status = status;
            m_sink(event);
        }
        if (m_store->Refreshed() >= m_store->Count() || ++calls >= m_store->Count()) {
            ++refreshes;
            calls = 0;
            m_store->StartRefresh();
            {
                std::lock_guard<std::mutex> hold(m_statsLock);
                m_stats.cycles = refreshes;
            }
            if (!refreshed) {
                refreshed = true;
                AfterFirstRefresh();
            }
        }
        if (m_options.intervalMs > 0) {
            next += interval;
            const auto now = Clock::now();
            if (next < now) next = now;
            while (!stop && Clock::now() < next)
                std::this_thread::sleep_for(std::min<Clock::duration>(next - Clock::now(), std::chrono::milliseconds(50)));
        }
    }
    if (!refreshed) NotDone();
    std::lock_guard<std::mutex> hold(m_statsLock);
    m_stats.elapsedS = std::chrono::duration<double>(Clock::now() - start).count();
}

void DeviceSession::AfterFirstRefresh()
{
    uint64_t failed = 0;
    for (const PreparedWrite& write : m_writes) failed += Write(write) != 0;
    for (const std::string& text : m_options.ioctls) failed += Control(text) != 0;
    std::lock_guard<std::mutex> hold(m_statsLock);
    m_stats.requestsFailed += failed;
}

void DeviceSession::NotDone()
{
    const std::string why = ": not done, the run ended before the first full refresh";
    for (const PreparedWrite& write : m_writes) Tell(write.Named() + why, -1);
    for (const std::string& text : m_options.ioctls) Tell("ioctl " + text + why, -1);
    std::lock_guard<std::mutex> hold(m_statsLock);
    m_stats.requestsFailed += m_writes.size() + m_options.ioctls.size();
}

bool DeviceSession::PrepareWrite(const std::string& tag, const std::string& text, PreparedWrite& write, std::string& why) const
{
    write.tag = tag;
    write.text = text;
    const auto states = m_store->Snapshot();
    const auto it = std::find_if(states.begin(), states.end(), [&](const ChannelState& s) { return s.tag == tag; });
    if (it == states.end()) return why = tag + " is not a channel of the project", false;
    write.channel = static_cast<int>(it - states.begin());
    write.type = it->type;
    return ParseWriteValue(text, it->type, m_leaves[static_cast<size_t>(write.channel)], write.value, why);
}

int DeviceSession::Write(const PreparedWrite& write)
{
    int integer = write.value.integer;
    double number = write.value.number;
    std::string text = write.text;
    void* value = write.type == DATATYPE_INT      ? static_cast<void*>(&integer)
                  : write.type == DATATYPE_DOUBLE ? static_cast<void*>(&number)
                                                  : static_cast<void*>(&text[0]);
    {
        std::lock_guard<std::mutex> hold(m_pendingLock);
        m_readBack[write.channel] = Clock::now();
    }
    const int status = m_device->WriteChannel(write.channel, write.type, value);
    Tell(write.Named() + ": status " + std::to_string(status) + " (" + Meaning(status) + ")", status);
    return status;
}

int DeviceSession::Control(const std::string& text)
{
    const auto before = m_variables.Snapshot();
    const int status = m_device->DevIOCtrl(text.c_str());
    std::string changed;
    for (const auto& [name, value] : m_variables.Snapshot()) {
        auto old = before.find(name);
        if (old == before.end() || old->second != value) changed += " " + name + "=" + ValueText(value);
    }
    Tell("ioctl " + text + ": status " + std::to_string(status) + " (" + Meaning(status) + ")" +
             (changed.empty() ? "; no host variable changed" : ";" + changed),
         status);
    return status;
}

SessionStats DeviceSession::Stats() const
{
    std::lock_guard<std::mutex> hold(m_statsLock);
    return m_stats;
}

} // namespace fx5run
