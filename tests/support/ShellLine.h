// A program and its arguments as one line for /bin/sh, each word quoted,
// so that a test can add what a user's shell adds: pipes and redirections.
#pragma once

#include <string>
#include <vector>

#include "tools/common/ChildProcess.h"

namespace testing_support {

inline std::string ShellWord(const std::string& word)
{
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline std::string ShellLine(const std::string& program, const std::vector<std::string>& arguments)
{
    std::string line = ShellWord(program);
    for (const std::string& argument : arguments) line += " " + ShellWord(argument);
    return line;
}

// Runs `line` with /bin/sh to its end: its exit status and standard error.
inline int RunShell(const std::string& line, std::string& errors) { return fx5::RunToEnd("/bin/sh", {"-c", line}, errors); }

} // namespace testing_support
