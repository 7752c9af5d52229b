#include "tools/common/SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace fx5 {

namespace {
std::vector<char*> Argv(std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    return argv;
}
} // namespace

SimProcess::SimProcess(const std::string& program, const std::vector<std::string>& arguments)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    std::vector<std::string> args = {program, "--port", "0"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv = Argv(args);
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(out[1], 1);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    m_out = out[0];
    // The first line names the port.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd fd{m_out, POLLIN, 0};
        if (::poll(&fd, 1, 100) <= 0) continue;
        char c[256];
        const ssize_t n = ::read(m_out, c, sizeof c);
        if (n <= 0) break;
        line.append(c, static_cast<size_t>(n));
    }
    const size_t colon = line.rfind(':', line.find('\n'));
    if (line.rfind("listening on ", 0) == 0 && colon != std::string::npos) m_port = static_cast<uint16_t>(std::stoi(line.substr(colon + 1)));
    m_rest = line.substr(line.find('\n') + 1);
}

SimProcess::~SimProcess()
{
    if (m_pid > 0) Stop(SIGKILL);
    if (m_out >= 0) ::close(m_out);
}

long SimProcess::RssKb() const
{
    std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
    std::string key;
    long value = -1;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            break;
        }
    }
    return value;
}

SimProcess::Exit SimProcess::Stop(int signal)
{
    Exit exit;
    if (m_pid <= 0) return exit;
    const auto start = std::chrono::steady_clock::now();
    ::kill(m_pid, signal);
    int status = 0;
    // A process that ignores the signal is killed after 10 s.
    for (int i = 0; i < 1000 && ::waitpid(m_pid, &status, WNOHANG) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (::waitpid(m_pid, &status, WNOHANG) == 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
    }
    exit.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    exit.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m_pid = -1;
    return exit;
}

std::string SimProcess::Output()
{
    char c[4096];
    for (;;) {
        pollfd fd{m_out, POLLIN, 0};
        if (::poll(&fd, 1, 50) <= 0) break;
        const ssize_t n = ::read(m_out, c, sizeof c);
        if (n <= 0) break;
        m_rest.append(c, static_cast<size_t>(n));
    }
    return m_rest;
}

int RunToEnd(const std::string& program, const std::vector<std::string>& arguments, std::string& errors)
{
    int err[2];
    if (::pipe2(err, O_CLOEXEC) != 0) return -1;
    std::vector<std::string> args = {program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv = Argv(args);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(err[1], 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(err[1]);
    char c[1024];
    ssize_t n;
    while ((n = ::read(err[0], c, sizeof c)) > 0) errors.append(c, static_cast<size_t>(n));
    ::close(err[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string DefaultSimPath()
{
    char self[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string path = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
    return path.substr(0, path.find_last_of('/') + 1) + "fx5-sim";
}

} // namespace fx5
