// Command-line parsing shared by the tools: --help prints and ends with 0,
// a mistake prints CLI11's message and ends with the usage status 2.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "tools/common/NumberText.h"
#include "tools/common/RunGuarded.h"

namespace fx5 {

constexpr int kExitUsage = 2;

// A count or a time that must be above 0, with a message a person reads
// at once (CLI11's own prints the whole range of a double).
inline CLI::Validator AboveZero()
{
    return CLI::Validator(
        [](std::string& text) {
            double value = 0.0;
            return ParseWholeDouble(text, value) && value > 0 ? std::string() : "must be above 0, not " + text;
        },
        "> 0");
}

// True when the program goes on; otherwise `exitStatus` is what it returns.
inline bool ParseCommandLine(CLI::App& app, int argc, char** argv, int& exitStatus)
{
    try {
        app.parse(argc, argv);
        return true;
    } catch (const CLI::CallForHelp& e) {
        exitStatus = app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        exitStatus = kExitUsage;
    }
    return false;
}

} // namespace fx5
