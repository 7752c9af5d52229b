#include "tools/common/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <initializer_list>
#include <thread>

namespace fx5 {

namespace {
using Clock = std::chrono::steady_clock;

double Now() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

// A descriptor of the child and what it becomes there.
struct Redirect {
    int fd;
    int target;
};

// Forks and runs the program with the descriptors redirected.
pid_t Spawn(const std::string& program, const std::vector<std::string>& arguments, std::initializer_list<Redirect> redirects)
{
    std::vector<std::string> args = {program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The child ends with this process, even one killed outright: a
        // simulator left behind would keep its port and the caller's pipes.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(127);
        for (const Redirect& r : redirects) ::dup2(r.fd, r.target);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}
} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments)
{
    int out[2], in[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    if (::pipe2(in, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return;
    }
    m_pid = Spawn(program, arguments, {{out[1], 1}, {in[0], 0}});
    ::close(out[1]);
    ::close(in[0]);
    m_out = out[0];
    m_in = in[1];
}

ChildProcess::~ChildProcess()
{
    if (m_pid > 0) Stop(SIGKILL);
    if (m_out >= 0) ::close(m_out);
    if (m_in >= 0) ::close(m_in);
}

bool ChildProcess::WriteLine(const std::string& line)
{
    const std::string text = line + "\n";
    size_t done = 0;
    while (m_in >= 0 && done < text.size()) {
        const ssize_t n = ::write(m_in, text.data() + done, text.size() - done);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return m_in >= 0;
}

void ChildProcess::CloseOutput()
{
    if (m_out >= 0) ::close(m_out);
    m_out = -1;
    m_buffer.clear();
}

bool ChildProcess::ReadLine(std::string& line, int timeoutMs)
{
    const double deadline = Now() + timeoutMs / 1000.0;
    for (;;) {
        const size_t end = m_buffer.find('\n');
        if (end != std::string::npos) {
            line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 1);
            return true;
        }
        const double left = deadline - Now();
        pollfd fd{m_out, POLLIN, 0};
        if (m_out < 0 || left <= 0 || ::poll(&fd, 1, static_cast<int>(left * 1000) + 1) <= 0) return false;
        char chunk[4096];
        const ssize_t n = ::read(m_out, chunk, sizeof chunk);
        if (n <= 0) return false;
        m_buffer.append(chunk, static_cast<size_t>(n));
    }
}

long ChildProcess::RssKb() const
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

ChildProcess::Exit ChildProcess::Reap(double timeoutS, double started)
{
    Exit exit;
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(m_pid, &status, WNOHANG)) == 0 && Now() - started < timeoutS)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (done == 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
    }
    exit.seconds = Now() - started;
    exit.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m_pid = -1;
    return exit;
}

ChildProcess::Exit ChildProcess::Stop(int signal)
{
    if (m_pid <= 0) return Exit();
    const double started = Now();
    ::kill(m_pid, signal);
    return Reap(10, started);
}

ChildProcess::Exit ChildProcess::Wait(double timeoutS)
{
    if (m_pid <= 0) return Exit();
    return Reap(timeoutS, Now());
}

int RunToEnd(const std::string& program, const std::vector<std::string>& arguments, std::string& errors, bool withOutput)
{
    int err[2];
    if (::pipe2(err, O_CLOEXEC) != 0) return -1;
    const pid_t pid = withOutput ? Spawn(program, arguments, {{err[1], 2}, {err[1], 1}}) : Spawn(program, arguments, {{err[1], 2}});
    ::close(err[1]);
    char chunk[1024];
    ssize_t n;
    while ((n = ::read(err[0], chunk, sizeof chunk)) > 0) errors.append(chunk, static_cast<size_t>(n));
    ::close(err[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace fx5
