// fx5-run: the driver hosted as a panel hosts it, on a real socket, with
// values a person can watch and a script can read.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include "tools/common/NumberText.h"
#include "tools/common/CommandLine.h"
#include "tools/common/SimProcess.h"
#include "tools/fx5-run/DeviceSession.h"
#include "tools/fx5-run/Reporter.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
// How often the live table is drawn.
constexpr auto kRedraw = std::chrono::milliseconds(250);

std::atomic<bool> g_stop{false};
void OnSignal(int) { g_stop = true; }

bool SplitAt(const std::string& text, char at, std::string& left, std::string& right)
{
    const size_t pos = text.find(at);
    if (pos == std::string::npos) return false;
    left = text.substr(0, pos);
    right = text.substr(pos + 1);
    return true;
}

// NAME=VALUE, or NAME:integer|double|text=VALUE; the type follows the value otherwise.
bool DeclareVariable(const std::string& spec, fx5run::Variables& variables)
{
    std::string name, value, type;
    if (!SplitAt(spec, '=', name, value) || name.empty()) return false;
    int i = 0;
    double d = 0.0;
    if (SplitAt(std::string(name), ':', name, type)) {
        if (type == "integer" && fx5::ParseWholeInt(value, i))
            variables.Declare(name, i);
        else if (type == "double" && fx5::ParseWholeDouble(value, d))
            variables.Declare(name, d);
        else if (type == "text")
            variables.Declare(name, value);
        else
            return false;
        return true;
    }
    if (fx5::ParseWholeInt(value, i))
        variables.Declare(name, i);
    else if (fx5::ParseWholeDouble(value, d))
        variables.Declare(name, d);
    else
        variables.Declare(name, value);
    return true;
}

// The device a write or control string is for, with the text after its
// "NAME:". With one device the name may be left out; with several it must
// be given, so that nothing reaches a controller nobody named. -1 when the
// text names no device.
int DeviceOf(const std::string& text, const std::vector<fx5run::SessionOptions>& devices, std::string& rest)
{
    const size_t colon = text.find(':');
    for (size_t d = 0; colon != std::string::npos && d < devices.size(); ++d) {
        if (text.compare(0, colon, devices[d].name) == 0) {
            rest = text.substr(colon + 1);
            return static_cast<int>(d);
        }
    }
    if (devices.size() != 1) return -1;
    rest = text;
    return 0;
}

} // namespace

static int Run(int argc, char** argv)
{
    CLI::App app{"fx5-run: loads the FX5U tag driver as an operator panel does and runs a project against a controller.\n"
                 "Without --host it starts 'fx5-sim --animate' on a free loopback port and stops it at the end.\n"
                 "Exit status: 0 ran, and every write and control string asked for was done with status 0;\n"
                 "1 could not start (project, driver, simulator), or a write or control string failed or was not done;\n"
                 "2 bad usage."};
    app.set_version_flag("--version", FX5_VERSION);
    fx5run::SessionOptions single;
    std::string driver = fx5::DefaultDriverPath(), sim = fx5::DefaultSimPath(), format;
    std::vector<std::string> devices, writes, ioctls, variables;
    bool hostGiven = false;
    int port = 5000;
    CLI::Option* projectOption = app.add_option("--project", single.project, "PROJECT.json or DEVICE.bin")->check(CLI::ExistingFile);
    CLI::Option* hostOption =
        app.add_option("--host", single.host, "Controller address (IPv4 or name)")->each([&](const std::string&) { hostGiven = true; });
    CLI::Option* portOption = app.add_option("--port", port, "Controller port")->capture_default_str()->check(CLI::Range(1, 65535));
    CLI::Option* nameOption = app.add_option("--name", single.name, "Device name given to the driver")->capture_default_str();
    // Each device names its own controller and project: the single device's
    // options beside them would be silently ignored.
    app.add_option("--device", devices, "NAME=HOST:PORT:PROJECT, repeatable: several devices, one thread each")
        ->excludes(projectOption)
        ->excludes(hostOption)
        ->excludes(portOption)
        ->excludes(nameOption);
    app.add_option("--driver", driver, "The driver library")->capture_default_str();
    app.add_option("--sim", sim, "fx5-sim to start when no --host is given")->capture_default_str();
    // How long and how the run goes may be given again: the last one counts,
    // so a wrapper's defaults (scripts/demo's ten seconds) can be overridden.
    const auto lastCounts = CLI::MultiOptionPolicy::TakeLast;
    app.add_option("--interval", single.intervalMs, "Milliseconds between collection calls (0: as fast as it goes)")
        ->capture_default_str()
        ->multi_option_policy(lastCounts);
    app.add_option("--cycles", single.cycles, "Stop after N collection calls per device")
        ->check(fx5::AboveZero())
        ->multi_option_policy(lastCounts);
    app.add_option("--duration", single.durationS, "Stop after S seconds")->check(fx5::AboveZero())->multi_option_policy(lastCounts);
    app.add_option("--write", writes,
                   "[DEVICE:]TAG=VALUE, repeatable: written after the first full refresh, then read back; with several devices "
                   "DEVICE names the one");
    app.add_option("--ioctl", ioctls, "[DEVICE:]TEXT, repeatable: a control string run after the first full refresh");
    app.add_option("--var", variables, "Host variable NAME=VALUE or NAME:integer|double|text=VALUE, repeatable");
    app.add_option("--format", format, "table (default in a terminal), jsonl (default otherwise) or csv")
        ->check(CLI::IsMember({"table", "jsonl", "csv"}))
        ->multi_option_policy(lastCounts);
    int status = 0;
    if (!fx5::ParseCommandLine(app, argc, argv, status)) return status;
    single.port = static_cast<uint16_t>(port);
    fx5run::Variables shared;
    for (const std::string& v : variables) {
        if (!DeclareVariable(v, shared)) {
            std::fprintf(stderr, "--var: '%s' is not NAME=VALUE or NAME:integer|double|text=VALUE\n", v.c_str());
            return fx5::kExitUsage;
        }
    }
    std::vector<fx5run::SessionOptions> options;
    for (const std::string& d : devices) {
        fx5run::SessionOptions o = single;
        std::string rest, portText;
        int devicePort = 0;
        if (!SplitAt(d, '=', o.name, rest) || !SplitAt(std::string(rest), ':', o.host, rest) ||
            !SplitAt(std::string(rest), ':', portText, o.project) || !fx5::ParseWholeInt(portText, devicePort) || devicePort <= 0 ||
            devicePort > 65535 || o.name.empty() || o.host.empty() || o.project.empty()) {
            std::fprintf(stderr, "--device: '%s' is not NAME=HOST:PORT:PROJECT\n", d.c_str());
            return fx5::kExitUsage;
        }
        o.port = static_cast<uint16_t>(devicePort);
        // Records name their device: two of one name could not be told apart.
        for (const fx5run::SessionOptions& other : options) {
            if (other.name == o.name) {
                std::fprintf(stderr, "--device: the name '%s' is given twice; records could not be told apart\n", o.name.c_str());
                return fx5::kExitUsage;
            }
        }
        options.push_back(o);
    }
    if (options.empty()) {
        if (single.project.empty()) {
            std::fprintf(stderr, "give --project PROJECT.json|DEVICE.bin, or --device NAME=HOST:PORT:PROJECT\n");
            return fx5::kExitUsage;
        }
        options.push_back(single);
    }
    for (const std::string& w : writes) {
        std::string rest, tag, value;
        const int device = DeviceOf(w, options, rest);
        if (device < 0) {
            std::fprintf(stderr, "--write: '%s' names no device; with several devices give DEVICE:TAG=VALUE\n", w.c_str());
            return fx5::kExitUsage;
        }
        if (!SplitAt(rest, '=', tag, value) || tag.empty()) {
            std::fprintf(stderr, "--write: '%s' is not TAG=VALUE\n", w.c_str());
            return fx5::kExitUsage;
        }
        options[static_cast<size_t>(device)].writes.emplace_back(tag, value);
    }
    for (const std::string& text : ioctls) {
        std::string rest;
        const int device = DeviceOf(text, options, rest);
        if (device < 0) {
            std::fprintf(stderr, "--ioctl: '%s' names no device; with several devices give DEVICE:TEXT\n", text.c_str());
            return fx5::kExitUsage;
        }
        options[static_cast<size_t>(device)].ioctls.push_back(rest);
    }

    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);
    signal(SIGPIPE, SIG_IGN);
    std::unique_ptr<fx5::SimProcess> simulator;
    if (devices.empty() && !hostGiven) {
        simulator = std::make_unique<fx5::SimProcess>(sim, std::vector<std::string>{"--animate"});
        if (!simulator->Running()) {
            std::fprintf(stderr, "cannot start the simulator %s\n", sim.c_str());
            return kExitFailure;
        }
        options[0].host = "127.0.0.1";
        options[0].port = simulator->Port();
    }

    const fx5run::Format shown = format == "table"   ? fx5run::Format::Table
                                 : format == "csv"   ? fx5run::Format::Csv
                                 : format == "jsonl" ? fx5run::Format::JsonLines
                                                     : (isatty(STDOUT_FILENO) ? fx5run::Format::Table : fx5run::Format::JsonLines);
    fx5run::Reporter reporter(shown, stdout);
    if (shown == fx5run::Format::Table) fx5run::DeviceSession::TellDriverLogAsMessages();
    if (simulator) {
        // Where it listens, for another client to join: among the table's
        // messages, which its redraw would otherwise wipe, or on standard error.
        const std::string started = "started fx5-sim --animate on 127.0.0.1:" + std::to_string(options[0].port);
        if (shown == fx5run::Format::Table) {
            fx5run::Event event;
            event.device = options[0].name;
            event.text = started;
            reporter.OnEvent(event);
        } else {
            std::fprintf(stderr, "%s\n", started.c_str());
        }
    }
    fx5::DriverLibrary library(driver);
    if (!library.Loaded()) {
        std::fprintf(stderr, "%s\n", library.Error().c_str());
        return kExitFailure;
    }
    std::vector<std::unique_ptr<fx5run::DeviceSession>> sessions;
    for (const fx5run::SessionOptions& o : options) {
        sessions.push_back(
            std::make_unique<fx5run::DeviceSession>(o, library, shared, [&reporter](const fx5run::Event& e) { reporter.OnEvent(e); }));
        std::string error;
        if (!sessions.back()->Open(error)) {
            std::fprintf(stderr, "%s: %s\n", o.name.c_str(), error.c_str());
            return kExitFailure;
        }
    }
    reporter.Begin();
    std::atomic<size_t> running{sessions.size()};
    std::vector<std::thread> threads;
    threads.reserve(sessions.size());
    for (auto& session : sessions)
        threads.emplace_back([&session, &running] {
            session->Run(g_stop);
            --running;
        });
    while (running > 0) {
        // Output nobody reads any more ends the run as Ctrl-C does.
        if (reporter.OutputError() != 0) g_stop = true;
        if (shown == fx5run::Format::Table) reporter.Redraw(sessions);
        std::this_thread::sleep_for(kRedraw);
    }
    for (std::thread& t : threads) t.join();
    if (shown == fx5run::Format::Table) reporter.Redraw(sessions);
    reporter.Summary(sessions);
    uint64_t requestsFailed = 0;
    for (const auto& session : sessions) requestsFailed += session->Stats().requestsFailed;
    sessions.clear();
    if (simulator) simulator->Stop();
    // A reader that has gone (`fx5-run | head`) is an end like Ctrl-C; any
    // other failure to write lost output.
    const int outputError = reporter.OutputError();
    if (outputError != 0 && outputError != EPIPE) {
        std::fprintf(stderr, "cannot write the output: %s\n", std::strerror(outputError));
        return kExitFailure;
    }
    return requestsFailed == 0 ? kExitOk : kExitFailure;
}

int main(int argc, char** argv) { return fx5::RunGuarded("fx5-run", Run, argc, argv); }
