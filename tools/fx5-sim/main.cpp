// fx5-sim: an FX5U-class controller on a TCP port, for any SLMP client.
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include "tools/common/CommandLine.h"
#include "sim/TcpServer.h"
#include "tools/fx5-sim/Animator.h"
#include "tools/fx5-sim/CapturedClients.h"
#include "tools/fx5-sim/FaultSwitch.h"
#include "tools/fx5-sim/MemoryFile.h"
#include "tools/fx5-sim/Replay.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

std::string Now()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min, local.tm_sec, now.tv_nsec / 1000000);
    return text;
}

void PrintExchange(const sim::ExchangeRecord& r)
{
    static std::mutex lock;
    char endCode[16];
    if (r.endCode < 0)
        std::snprintf(endCode, sizeof endCode, "no answer");
    else
        std::snprintf(endCode, sizeof endCode, "%04X", static_cast<unsigned>(r.endCode));
    std::lock_guard<std::mutex> hold(lock);
    if (!r.closed.empty()) {
        std::printf("%s %s closed: %s\n", Now().c_str(), r.client.c_str(), r.closed.c_str());
        std::fflush(stdout);
        return;
    }
    std::printf("%s %s %s%s%s points=%u end=%s %lluus\n", Now().c_str(), r.client.c_str(), r.request.command.c_str(),
                r.request.device.empty() ? "" : " ", r.request.device.c_str(), r.request.points, endCode,
                static_cast<unsigned long long>(r.micros));
    std::fflush(stdout);
}

} // namespace

static int Run(int argc, char** argv)
{
    CLI::App app{"fx5-sim: an FX5U-class controller simulator speaking SLMP binary (3E and 4E frames) over TCP.\n"
                 "Prints 'listening on ADDRESS:PORT' first; SIGINT or SIGTERM stop it (exit status 0)."};
    app.set_version_flag("--version", FX5_VERSION);
    std::string bind = "127.0.0.1";
    int port = 5000;
    std::string memoryFile, saveFile, endCodeText;
    bool animate = false, pattern = false, faultsFromStdin = false, verbose = false;
    sim::ServerFaults faults;
    app.add_option("--bind", bind, "Address to listen on")->capture_default_str();
    app.add_option("--port", port, "TCP port; 0 picks a free one")->capture_default_str()->check(CLI::Range(0, 65535));
    app.add_option("--memory", memoryFile, "Seed the device memory from this JSON file");
    app.add_option("--save", saveFile, "Write the device memory to this JSON file on exit");
    app.add_flag("--animate", animate, "Move D0 (counter), D1 (ramp 0-100), D2 (float sine), M0 (toggle) and D10 (text) every 100 ms");
    app.add_flag("--pattern", pattern,
                 "Every 100 ms at step t, set D0-D1023 to (n * 40503 + t) mod 65536, so that a client can check each value it reads");
    app.add_flag("--faults-from-stdin", faultsFromStdin,
                 "Switch faults while running: each line of standard input names the faults from then on, as words: none, delay=MS, "
                 "silent-every=N, end-code=HEX, wrong-routing, close-after=N, split");
    app.add_option("--delay", faults.delayMs, "Fault: wait MS milliseconds before every answer");
    app.add_option("--silent-every", faults.silentEvery, "Fault: leave every Nth request unanswered");
    app.add_option("--end-code", endCodeText, "Fault: answer every request with this end code (hex, e.g. C051)");
    app.add_flag("--wrong-routing", faults.wrongRouting, "Fault: answer with another PC number than the request's");
    app.add_option("--close-after", faults.closeAfter, "Fault: close each connection after N requests");
    app.add_flag("--split", faults.split, "Fault: send each answer in two TCP segments 5 ms apart");
    unsigned scanMs = 0;
    app.add_option("--scan-ms", scanMs,
                   "Answer like a controller: requests wait for the end of the current scan of about MS ms (varying by up to "
                   "10 %) and are answered about 1 ms after it, as the controller serves SLMP in its END processing. Each "
                   "connection then gets at most one answer a scan (about 1000/MS requests/s); the connections waiting are "
                   "served at the same END. 0 (the default): at once")
        ->capture_default_str()
        ->check(CLI::Range(0u, 10000u));
    size_t maxClients = sim::TcpServer::kControllerClients;
    app.add_option("--max-clients", maxClients,
                   "Connections served at once; more are closed when they connect. The controller serves 8; raise it for load tests")
        ->capture_default_str()
        ->check(CLI::Range(size_t{1}, sim::TcpServer::kMaxClients));
    std::string password;
    app.add_option("--password", password,
                   "Lock the controller with this remote password (6 to 32 characters): every request but unlock (1630) answers C201 "
                   "until a connection unlocks with it; lock (1631) and a new connection lock again")
        ->check([](const std::string& text) { return text.size() >= 6 && text.size() <= 32 ? std::string() : "6 to 32 characters"; });
    bool everyDevice = false;
    std::string captureFile, replayFile;
    app.add_option("--replay", replayFile,
                   "Play the controller of this capture file: each request is answered with the answer recorded for the same "
                   "request, in order, in its pieces and at its pace, silences included; the first request the capture cannot "
                   "answer is reported ('replay: ...' on standard output) and its connection closed");
    app.add_option("--capture", captureFile,
                   "Write every request and answer, with its time, to this capture file (pcap) for Wireshark or tshark: each "
                   "client's connection a TCP stream");
    app.add_flag("--every-device", everyDevice,
                 "Serve the long timers (LTS, LTC, LTN, LSTS, LSTC, LSTN) too, which the controller does not have and refuses "
                 "with end code C05B; every register type the driver knows is then served");
    app.add_flag("--verbose", verbose, "Print one line per request: client, command, device, points, end code, microseconds");
    int status = 0;
    if (!fx5::ParseCommandLine(app, argc, argv, status)) return status;
    if (!endCodeText.empty() && !fx5sim::ParseEndCode(endCodeText, faults.endCode)) {
        std::fprintf(stderr, "--end-code: '%s' is not a 16-bit hexadecimal end code\n", endCodeText.c_str());
        return fx5::kExitUsage;
    }
    if (animate && pattern) {
        std::fprintf(stderr, "--animate and --pattern both write D0: choose one\n");
        return fx5::kExitUsage;
    }

    // The serving threads inherit a mask without the stop signals: only the
    // main thread receives them, in sigwait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    sim::DeviceMemory memory;
    std::string error;
    fx5sim::MemoryLayout layout;
    if (!memoryFile.empty() && !fx5sim::LoadMemoryFile(memoryFile, memory, error, &layout)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitFailure;
    }
    sim::TcpServer server(memory);
    server.SetFaults(faults);
    server.ServeEveryDevice(everyDevice);
    server.SetClientLimit(maxClients);
    server.SetScanTime(scanMs);
    server.SetPassword(password);
    if (verbose) server.SetLog(PrintExchange);
    fx5sim::Replay replay;
    if (!replayFile.empty()) {
        std::vector<fx5::CapturedStream> streams;
        if (!fx5::CaptureFile::ReadStreams(replayFile, streams, error) || !replay.Load(streams, error)) {
            std::fprintf(stderr, "%s: %s\n", replayFile.c_str(), error.c_str());
            return kExitFailure;
        }
        // Beside the request log, where a script reading the simulator looks.
        replay.OnMismatch([](const std::string& text) {
            std::printf("replay: %s\n", text.c_str());
            std::fflush(stdout);
        });
        server.SetPlayback([&replay](const uint8_t* request, size_t size) { return replay.Next(request, size); });
    }
    std::unique_ptr<fx5::CaptureFile> capture;
    std::unique_ptr<fx5sim::CapturedClients> captured;
    if (!captureFile.empty()) {
        if (!(capture = fx5::CaptureFile::Open(captureFile, error))) {
            std::fprintf(stderr, "%s: cannot write the capture: %s\n", captureFile.c_str(), error.c_str());
            return kExitFailure;
        }
        captured = std::make_unique<fx5sim::CapturedClients>(*capture);
        server.SetWire([clients = captured.get()](const sim::ServerWire& wire) { clients->Record(wire); });
    }
    if (!server.Start(static_cast<uint16_t>(port), bind)) {
        std::fprintf(stderr, "cannot listen on %s:%d: %s\n", bind.c_str(), port, std::strerror(errno));
        return kExitFailure;
    }
    std::printf("listening on %s:%u\n", server.Address().c_str(), server.Port());
    std::fflush(stdout);
    fx5sim::Animator animator(memory, server.MemoryLock(), pattern ? fx5sim::Animator::PatternStep : fx5sim::Animator::Step);
    if (animate || pattern) animator.Start();
    fx5sim::StdinFaultSwitch faultSwitch(server);
    if (faultsFromStdin) faultSwitch.Start();

    int signal = 0;
    sigwait(&stopSignals, &signal);
    faultSwitch.Stop();
    animator.Stop();
    server.Stop();
    if (!saveFile.empty() && !fx5sim::SaveMemoryFile(saveFile, memory, error, layout)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitFailure;
    }
    return kExitOk;
}

int main(int argc, char** argv) { return fx5::RunGuarded("fx5-sim", Run, argc, argv); }
