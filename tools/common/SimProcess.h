// fx5-sim started as a child process: on a loopback port it picks unless
// the arguments name one; the port is read from its first line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/ChildProcess.h"

namespace fx5 {

class SimProcess : public ChildProcess {
public:
    SimProcess(const std::string& program, const std::vector<std::string>& arguments);
    bool Running() const { return Started() && m_port != 0; }
    uint16_t Port() const { return m_port; }

private:
    uint16_t m_port = 0;
};

// fx5-sim built next to the running program.
std::string DefaultSimPath();

} // namespace fx5
