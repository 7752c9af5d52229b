// A program started as a child process with its standard output piped
// back, read line by line, and its standard input piped from us; stopped
// with a signal and waited for.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace fx5 {

class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
    virtual ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }
    // The next line of its standard output (without the line end); false
    // when none came within timeoutMs or the output ended.
    bool ReadLine(std::string& line, int timeoutMs);
    // Writes a line to its standard input; false once it no longer reads.
    bool WriteLine(const std::string& line);
    // Stops reading its standard output, as a reader such as `head` does.
    void CloseOutput();
    // Resident memory in KiB.
    long RssKb() const;
    struct Exit {
        int status = -1;    // exit status, or -1 when a signal ended it
        double seconds = 0; // from the signal (or the wait) to the end
    };
    // Sends `signal` and waits up to 10 s (then kills).
    Exit Stop(int signal = 15);
    // Waits for the end on its own, up to timeoutS (then kills).
    Exit Wait(double timeoutS);

private:
    Exit Reap(double timeoutS, double started);

    pid_t m_pid = -1;
    int m_out = -1;
    int m_in = -1;
    std::string m_buffer;
};

// Runs `program` with `arguments` to its end; its exit status (-1 when a
// signal ended it) and what it wrote to standard error, and also to its
// standard output, interleaved, when `withOutput`.
int RunToEnd(const std::string& program, const std::vector<std::string>& arguments, std::string& errors, bool withOutput = false);

} // namespace fx5
