// A tool's main: whatever escapes its run (memory exhausted above all) ends
// the program with a message and the failure status 1, not an abort.
#pragma once

#include <cstdio>
#include <exception>

namespace fx5 {

inline int RunGuarded(const char* program, int (*run)(int, char**), int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", program, e.what());
        return 1;
    }
}

} // namespace fx5
