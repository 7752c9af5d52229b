// fx5-run's command line: the devices to run, each with its own writes and
// control strings, the host variables, and where the driver, the simulator
// and the output are.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/fx5-run/DeviceSession.h"
#include "tools/fx5-run/ValueStore.h"

namespace fx5run {

struct RunCommand {
    std::vector<SessionOptions> devices;
    std::string driver, sim;
    std::string format; // table, jsonl, csv; empty: by the output
    // No controller given: fx5-sim --animate serves the one device.
    bool startSimulator = false;
    bool verbose = false; // the driver's own log lines too
    std::string capture;  // a capture file of every exchange; empty: none
};

// Nothing when the run goes on; otherwise the status to end with at once
// (help, version, a mistake on the command line, each with its message).
std::optional<int> ParseRunCommand(int argc, char** argv, RunCommand& command, Variables& shared);

} // namespace fx5run
