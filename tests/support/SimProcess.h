// fx5-sim started as a process on a loopback port it picks, for tests: the
// port is read from its first line; Stop sends a signal and waits.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

class SimProcess {
public:
    // Starts FX5_SIM_PATH --port 0 with the extra arguments.
    explicit SimProcess(const std::vector<std::string>& arguments = {});
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

// Runs the simulator with `arguments` to its end and returns its exit status
// and what it wrote to standard error.
int RunSimToEnd(const std::vector<std::string>& arguments, std::string& errors);

} // namespace testing_support
