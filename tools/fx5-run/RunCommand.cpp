#include "tools/fx5-run/RunCommand.h"

#include <cstdio>

#include "tools/common/CommandLine.h"
#include "tools/common/NumberText.h"
#include "tools/common/SimProcess.h"

namespace fx5run {

namespace {

bool SplitAt(const std::string& text, char at, std::string& left, std::string& right)
{
    const size_t pos = text.find(at);
    if (pos == std::string::npos) return false;
    left = text.substr(0, pos);
    right = text.substr(pos + 1);
    return true;
}

// NAME=VALUE, or NAME:integer|double|text=VALUE; the type follows the value otherwise.
bool DeclareVariable(const std::string& spec, Variables& variables)
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
int DeviceOf(const std::string& text, const std::vector<SessionOptions>& devices, std::string& rest)
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

std::optional<int> ParseRunCommand(int argc, char** argv, RunCommand& command, Variables& shared)
{
    CLI::App app{"fx5-run: loads the FX5U tag driver as an operator panel does and runs a project against a controller.\n"
                 "Without --host it starts 'fx5-sim --animate' on a free loopback port and stops it at the end.\n"
                 "Exit status: 0 ran, and every write and control string asked for was done with status 0;\n"
                 "1 could not start (project, driver, simulator), a write or control string failed or was not done,\n"
                 "or a bounded run (--cycles, --duration) in which a device delivered no value;\n"
                 "2 bad usage."};
    app.set_version_flag("--version", FX5_VERSION);
    SessionOptions single;
    command.driver = fx5::DefaultDriverPath();
    command.sim = fx5::DefaultSimPath();
    std::vector<std::string> devices, writes, ioctls, variables;
    bool hostGiven = false;
    int port = 5000;
    CLI::Option* projectOption = app.add_option("--project", single.project, "PROJECT.json or DEVICE.bin");
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
    app.add_option("--driver", command.driver, "The driver library")->capture_default_str();
    app.add_option("--sim", command.sim, "fx5-sim to start when no --host is given")->capture_default_str();
    // How long and how the run goes may be given again: the last one counts,
    // so a wrapper's defaults (scripts/demo's ten seconds) can be overridden.
    const auto lastCounts = CLI::MultiOptionPolicy::TakeLast;
    app.add_option("--interval", single.intervalMs, "Milliseconds between collection calls (0: as fast as it goes)")
        ->capture_default_str()
        ->multi_option_policy(lastCounts);
    app.add_option("--cycles", single.cycles,
                   "Stop after N cycles per device: full refreshes, every channel read once (or as many collection calls as there are "
                   "channels, when reads fail)")
        ->check(fx5::AboveZero())
        ->multi_option_policy(lastCounts);
    app.add_option("--duration", single.durationS, "Stop after S seconds")->check(fx5::AboveZero())->multi_option_policy(lastCounts);
    app.add_option("--write", writes,
                   "[DEVICE:]TAG=VALUE, repeatable: written after the first full refresh, then read back; with several devices "
                   "DEVICE names the one");
    app.add_option("--ioctl", ioctls, "[DEVICE:]TEXT, repeatable: a control string run after the first full refresh");
    app.add_option("--var", variables, "Host variable NAME=VALUE or NAME:integer|double|text=VALUE, repeatable");
    app.add_option("--format", command.format, "table (default in a terminal), jsonl (default otherwise) or csv")
        ->check(CLI::IsMember({"table", "jsonl", "csv"}))
        ->multi_option_policy(lastCounts);
    app.add_option("--capture", command.capture,
                   "Write every request and answer, with its time, to this capture file (pcap) for Wireshark or tshark: "
                   "each device's connections as TCP streams, drops and reconnections as FIN and SYN");
    app.add_flag("--trace", single.trace,
                 "One line an exchange on standard error: time, device, command, first device, points, end code and its meaning, "
                 "response time (with the live table, send standard error elsewhere: 2>trace.txt)");
    app.add_flag("--verbose", command.verbose,
                 "Show the driver's own log lines (its load timings): among the table's messages, or on "
                 "standard error");
    int status = 0;
    if (!fx5::ParseCommandLine(app, argc, argv, status)) return status;
    single.port = static_cast<uint16_t>(port);
    for (const std::string& v : variables) {
        if (!DeclareVariable(v, shared)) {
            std::fprintf(stderr, "--var: '%s' is not NAME=VALUE or NAME:integer|double|text=VALUE\n", v.c_str());
            return fx5::kExitUsage;
        }
    }
    std::vector<SessionOptions> options;
    for (const std::string& d : devices) {
        SessionOptions o = single;
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
        for (const SessionOptions& other : options) {
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
    command.devices = std::move(options);
    command.startSimulator = devices.empty() && !hostGiven;
    return std::nullopt;
}

} // namespace fx5run
