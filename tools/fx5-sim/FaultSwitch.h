// Faults as text: the command line's end code, and the lines of
// --faults-from-stdin ("delay=MS silent-every=N end-code=HEX wrong-routing
// close-after=N split", or "none"), which switch them while the simulator
// runs.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "sim/TcpServer.h"

namespace fx5sim {

// A 16-bit end code in hex ("C051"); false for anything else.
bool ParseEndCode(const std::string& text, int& code);
// The faults a line names (all others off); false with a message for a
// word it does not know.
bool ParseFaultLine(const std::string& line, sim::ServerFaults& faults, std::string& error);

} // namespace fx5sim

namespace fx5sim {

// Reads fault lines from standard input while the simulator runs and
// applies each to the server; prints "faults: LINE" once applied, or the
// message for a line it refuses. Ends at the end of input or at Stop.
class StdinFaultSwitch {
public:
    explicit StdinFaultSwitch(sim::TcpServer& server) : m_server(server) {}
    ~StdinFaultSwitch() { Stop(); }
    StdinFaultSwitch(const StdinFaultSwitch&) = delete;
    StdinFaultSwitch& operator=(const StdinFaultSwitch&) = delete;
    void Start();
    void Stop();

private:
    sim::TcpServer& m_server;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
};

} // namespace fx5sim
