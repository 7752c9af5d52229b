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

#include "tools/common/RunGuarded.h"
#include "tools/common/SimProcess.h"
#include "tools/fx5-run/DeviceSession.h"
#include "tools/fx5-run/Reporter.h"
#include "tools/fx5-run/RunCommand.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
// How often the live table is drawn.
constexpr auto kRedraw = std::chrono::milliseconds(250);

std::atomic<bool> g_stop{false};
void OnSignal(int) { g_stop = true; }

} // namespace

static int Run(int argc, char** argv)
{
    fx5run::RunCommand command;
    fx5run::Variables shared;
    if (const std::optional<int> status = fx5run::ParseRunCommand(argc, argv, command, shared)) return *status;
    std::vector<fx5run::SessionOptions>& options = command.devices;

    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);
    signal(SIGPIPE, SIG_IGN);
    std::unique_ptr<fx5::SimProcess> simulator;
    if (command.startSimulator) {
        simulator = std::make_unique<fx5::SimProcess>(command.sim, std::vector<std::string>{"--animate"});
        if (!simulator->Running()) {
            std::fprintf(stderr, "cannot start the simulator %s\n", command.sim.c_str());
            return kExitFailure;
        }
        options[0].host = "127.0.0.1";
        options[0].port = simulator->Port();
    }

    const std::string& format = command.format;
    const fx5run::Format shown = format == "table"   ? fx5run::Format::Table
                                 : format == "csv"   ? fx5run::Format::Csv
                                 : format == "jsonl" ? fx5run::Format::JsonLines
                                                     : (isatty(STDOUT_FILENO) ? fx5run::Format::Table : fx5run::Format::JsonLines);
    if (!command.capture.empty()) {
        std::string error;
        std::shared_ptr<fx5::CaptureFile> capture = fx5::CaptureFile::Open(command.capture, error);
        if (!capture) {
            std::fprintf(stderr, "%s: cannot write the capture: %s\n", command.capture.c_str(), error.c_str());
            return kExitFailure;
        }
        for (fx5run::SessionOptions& o : options) o.capture = capture;
    }
    fx5run::Reporter reporter(shown, stdout);
    fx5run::DeviceSession::RouteDriverLog(command.verbose, shown == fx5run::Format::Table);
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
    fx5::DriverLibrary library(command.driver);
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
    if (shown == fx5run::Format::Table) reporter.EndLive(sessions);
    reporter.Summary(sessions);
    uint64_t requestsFailed = 0;
    bool silentDevice = false;
    for (const auto& session : sessions) {
        const fx5run::SessionStats stats = session->Stats();
        requestsFailed += stats.requestsFailed;
        // A bounded run is over by itself: one in which a device never
        // delivered a value did not do its job.
        const bool bounded = session->Options().cycles > 0 || session->Options().durationS > 0;
        if (bounded && stats.values == 0 && !g_stop) {
            std::fprintf(stderr, "%s: no value was delivered in the run%s\n", session->Options().name.c_str(),
                         stats.link.empty() ? "" : (" (" + stats.link + ")").c_str());
            silentDevice = true;
        }
    }
    sessions.clear();
    if (simulator) simulator->Stop();
    // A reader that has gone (`fx5-run | head`) is an end like Ctrl-C; any
    // other failure to write lost output.
    const int outputError = reporter.OutputError();
    if (outputError != 0 && outputError != EPIPE) {
        std::fprintf(stderr, "cannot write the output: %s\n", std::strerror(outputError));
        return kExitFailure;
    }
    return requestsFailed == 0 && !silentDevice ? kExitOk : kExitFailure;
}

int main(int argc, char** argv) { return fx5::RunGuarded("fx5-run", Run, argc, argv); }
