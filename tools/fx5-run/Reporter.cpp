#include "tools/fx5-run/Reporter.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <map>

#include <sys/ioctl.h>
#include <unistd.h>

#include "tools/common/NumberText.h"

namespace fx5run {

namespace {
constexpr size_t kTableMessages = 6;

std::string Number(double v, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string JsonValue(const ChannelState& state)
{
    if (std::holds_alternative<std::string>(state.value)) return JsonString(std::get<std::string>(state.value));
    if (const double* d = std::get_if<double>(&state.value)) {
        if (*d != *d || *d == 1.0 / 0.0 || *d == -1.0 / 0.0) return "null"; // JSON has no NaN or infinity
        return fx5::ShortestText(*d);
    }
    return std::to_string(std::get<int>(state.value));
}
} // namespace

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (char raw : text) {
        const auto c = static_cast<unsigned char>(raw);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string UtcNow()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const long ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
                  utc.tm_min, utc.tm_sec, ms);
    return text;
}

void Reporter::Flush()
{
    errno = 0;
    if (std::fflush(m_out) == 0 && !std::ferror(m_out)) return;
    int none = 0;
    m_outputError.compare_exchange_strong(none, errno != 0 ? errno : EIO);
}

int Reporter::PlainWidth()
{
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    const char* columns = std::getenv("COLUMNS");
    const long given = columns ? std::strtol(columns, nullptr, 10) : 0;
    return given > 0 && given < 10000 ? static_cast<int>(given) : 120;
}

void Reporter::Begin()
{
    if (m_format == Format::Table) m_screen = LiveScreen::Open();
    if (m_format == Format::Csv) std::fprintf(m_out, "time,device,tag,channel,value,status,meaning\n");
    Flush();
}

void Reporter::OnEvent(const Event& event)
{
    std::lock_guard<std::mutex> hold(m_lock);
    const std::string time = UtcNow();
    const int status = event.status.value_or(0);
    if (m_format == Format::Table) {
        // Values go to the table's rows; notes and failures become message
        // lines: the time of day to the millisecond, the device, the text.
        if (event.kind == Event::Value) return;
        m_messages.push_back(
            time.substr(11, 12) + " " + event.device + ": " +
            (event.kind == Event::Message ? event.text : StatusCell(status) + " (" + DeviceSession::Meaning(status) + ")"));
        if (m_messages.size() > kTableMessages) m_messages.erase(m_messages.begin(), m_messages.end() - static_cast<long>(kTableMessages));
        return;
    }
    if (m_format == Format::JsonLines) {
        switch (event.kind) {
        case Event::Value:
            std::fprintf(m_out, "{\"time\":\"%s\",\"device\":%s,\"tag\":%s,\"channel\":%d,\"value\":%s,\"type\":\"%s\",\"status\":0}\n",
                         time.c_str(), JsonString(event.device).c_str(), JsonString(event.state.tag).c_str(), event.channel,
                         JsonValue(event.state).c_str(), TypeName(event.state.type));
            break;
        case Event::Failure:
            std::fprintf(m_out, "{\"time\":\"%s\",\"device\":%s,\"status\":%d,\"meaning\":%s}\n", time.c_str(),
                         JsonString(event.device).c_str(), status, JsonString(DeviceSession::Meaning(status)).c_str());
            break;
        case Event::Message: {
            // A status only where the message reports one (a write's, a control string's).
            const std::string statusField = event.status ? ",\"status\":" + std::to_string(status) : "";
            std::fprintf(m_out, "{\"time\":\"%s\",\"device\":%s,\"message\":%s%s}\n", time.c_str(), JsonString(event.device).c_str(),
                         JsonString(event.text).c_str(), statusField.c_str());
            break;
        }
        }
    } else {
        switch (event.kind) {
        case Event::Value:
            std::fprintf(m_out, "%s,%s,%s,%d,%s,0,\n", time.c_str(), CsvField(event.device).c_str(), CsvField(event.state.tag).c_str(),
                         event.channel, CsvField(ValueText(event.state.value)).c_str());
            break;
        case Event::Failure:
            std::fprintf(m_out, "%s,%s,,,,%d,%s\n", time.c_str(), CsvField(event.device).c_str(), status,
                         CsvField(DeviceSession::Meaning(status)).c_str());
            break;
        case Event::Message: std::fprintf(stderr, "%s %s: %s\n", time.c_str(), event.device.c_str(), event.text.c_str()); break;
        }
    }
    Flush();
}

TableView Reporter::View(const std::vector<std::unique_ptr<DeviceSession>>& sessions)
{
    TableView view;
    const auto now = Clock::now();
    for (const auto& session : sessions) {
        const SessionStats stats = session->Stats();
        const std::string& name = session->Options().name;
        for (const ChannelState& c : session->Channels()) {
            const double age = c.has ? std::chrono::duration<double>(now - c.updated).count() : 0;
            // A value is good while fresh reads keep coming, stale after.
            const char* quality = !c.has ? "none" : (stats.lastStatus == 0 && age < 5.0 ? "good" : "stale");
            view.rows.push_back({name, c.tag, c.has ? ValueText(c.value) : "-", TypeName(c.type), quality,
                                 c.has ? Number(age, 1) + "s" : "-", StatusCell(stats.lastStatus), std::to_string(c.reads)});
        }
        const CycleTimes& times = stats.cycleTimes;
        // Why the controller cannot be reached stays in view until it can.
        view.status.push_back(name + ": " + (stats.link.empty() ? "" : stats.link + "; ") + std::to_string(stats.cycles) + " cycles, " +
                              Number(stats.elapsedS > 0 ? static_cast<double>(stats.exchanges) / stats.elapsedS : 0, 1) +
                              " requests/s, mean " + Number(times.MeanMs(), 2) + " ms, p99 " + Number(times.QuantileMs(0.99), 2) + " ms, " +
                              std::to_string(stats.reconnects) + " reconnects");
    }
    std::lock_guard<std::mutex> hold(m_lock);
    view.messages = m_messages;
    return view;
}

void Reporter::Redraw(const std::vector<std::unique_ptr<DeviceSession>>& sessions)
{
    const TableView view = View(sessions);
    if (m_screen) {
        const int asked = m_screen->PageAfterKeys(m_page);
        const TableLines laid = LayOutTable(view, m_screen->Width(), m_screen->Height(), asked);
        const bool moved = laid.page != m_page || m_screen->Width() != m_shownWidth || m_screen->Height() != m_shownHeight;
        m_page = laid.page;
        m_shownWidth = m_screen->Width();
        m_shownHeight = m_screen->Height();
        m_screen->Show(laid.lines, moved);
        return;
    }
    // Not a terminal: every row and message, a blank line between tables.
    std::string text = "\n";
    for (std::string line : LayOutTable(view, PlainWidth(), 0, 0).lines) {
        line.erase(line.find_last_not_of(' ') + 1);
        text += line + "\n";
    }
    std::fputs(text.c_str(), m_out);
    Flush();
}

void Reporter::EndLive(const std::vector<std::unique_ptr<DeviceSession>>& sessions)
{
    // The last values stay in view after the screen is given back.
    m_screen.reset();
    Redraw(sessions);
}

void Reporter::Summary(const std::vector<std::unique_ptr<DeviceSession>>& sessions)
{
    std::lock_guard<std::mutex> hold(m_lock);
    for (const auto& session : sessions) {
        SessionStats stats = session->Stats();
        uint64_t failed = 0;
        for (const auto& [status, count] : stats.failures) failed += count;
        const double mean = stats.cycleTimes.MeanMs(), p50 = stats.cycleTimes.QuantileMs(0.5), p99 = stats.cycleTimes.QuantileMs(0.99);
        if (m_format == Format::JsonLines) {
            std::string failures;
            for (const auto& [status, count] : stats.failures)
                failures += std::string(failures.empty() ? "" : ",") + "{\"status\":" + std::to_string(status) +
                            ",\"count\":" + std::to_string(count) + ",\"meaning\":" + JsonString(DeviceSession::Meaning(status)) + "}";
            std::fprintf(m_out,
                         "{\"summary\":{\"device\":%s,\"cycles\":%llu,\"exchanges\":%llu,\"failed\":%llu,\"failures\":[%s],\"meanMs\":%.3f,"
                         "\"p50Ms\":%.3f,"
                         "\"p99Ms\":%.3f,\"values\":%llu,\"reconnects\":%llu,\"seconds\":%.3f%s}}\n",
                         JsonString(session->Options().name).c_str(), static_cast<unsigned long long>(stats.cycles),
                         static_cast<unsigned long long>(stats.exchanges), static_cast<unsigned long long>(failed), failures.c_str(), mean,
                         p50, p99, static_cast<unsigned long long>(stats.values), static_cast<unsigned long long>(stats.reconnects),
                         stats.elapsedS, stats.link.empty() ? "" : (",\"link\":" + JsonString(stats.link)).c_str());
            continue;
        }
        std::FILE* out = m_format == Format::Csv ? stderr : m_out;
        std::fprintf(out,
                     "\n%s: %llu cycles (full refreshes), %llu exchanges in %.1f s, %llu failed, %llu values delivered, %llu reconnects\n",
                     session->Options().name.c_str(), static_cast<unsigned long long>(stats.cycles),
                     static_cast<unsigned long long>(stats.exchanges), stats.elapsedS, static_cast<unsigned long long>(failed),
                     static_cast<unsigned long long>(stats.values), static_cast<unsigned long long>(stats.reconnects));
        std::fprintf(out, "  cycle time: mean %.2f ms, p50 %.2f ms, p99 %.2f ms\n", mean, p50, p99);
        if (stats.values == 0)
            std::fprintf(out, "  no value was delivered%s\n", stats.link.empty() ? "" : (" (" + stats.link + ")").c_str());
        for (const auto& [status, count] : stats.failures)
            std::fprintf(out, "  status %d: %llu times: %s\n", status, static_cast<unsigned long long>(count),
                         DeviceSession::Meaning(status).c_str());
    }
    Flush();
}

} // namespace fx5run
