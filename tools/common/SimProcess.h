// fx5-sim started as a child process on a loopback port it picks: the port
// is read from its first line; Stop sends a signal and waits.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fx5 {

class SimProcess {
public:
    // Starts `program` --port 0 with the extra arguments.
    SimProcess(const std::string& program, const std::vector<std::string>& arguments);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Running() const { return m_pid > 0 && m_port != 0; }
    uint16_t Port() const { return m_port; }
    pid_t Pid() const { return m_pid; }
    // Resident memory of the process in KiB.
    long RssKb() const;
    struct Exit {
        int status = -1;    // exit status, or -1 when killed by a signal or not ended
        double seconds = 0; // from the signal to the end
    };
    Exit Stop(int signal = 15);
    // What the process wrote to standard output after its first line.
    std::string Output();

private:
    pid_t m_pid = -1;
    int m_out = -1;
    uint16_t m_port = 0;
    std::string m_rest;
};

// Runs `program` with `arguments` to its end; its exit status (-1 when a
// signal ended it) and what it wrote to standard error.
int RunToEnd(const std::string& program, const std::vector<std::string>& arguments, std::string& errors);

// fx5-sim built next to the running program.
std::string DefaultSimPath();

} // namespace fx5
