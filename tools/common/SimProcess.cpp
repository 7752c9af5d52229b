#include "tools/common/SimProcess.h"

#include <algorithm>

#include "tools/common/ProgramDirectory.h"

namespace fx5 {

namespace {
std::vector<std::string> WithPort(std::vector<std::string> arguments)
{
    if (std::find(arguments.begin(), arguments.end(), "--port") == arguments.end()) arguments.insert(arguments.begin(), {"--port", "0"});
    return arguments;
}
} // namespace

SimProcess::SimProcess(const std::string& program, const std::vector<std::string>& arguments) : ChildProcess(program, WithPort(arguments))
{
    std::string line;
    if (!ReadLine(line, 10000)) return;
    const size_t colon = line.rfind(':');
    if (line.rfind("listening on ", 0) == 0 && colon != std::string::npos)
        m_port = static_cast<uint16_t>(std::stoi(line.substr(colon + 1)));
}

std::string DefaultSimPath() { return ProgramDirectory() + "fx5-sim"; }

} // namespace fx5
