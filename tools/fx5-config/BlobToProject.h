// From a configuration blob back to a project. A blob this tool made
// carries its project, which is printed when it still compiles to the very
// same bytes; any other blob is described from its properties, tag tree and
// channel list.
#pragma once

#include <string>
#include <vector>

#include "tools/fx5-config/Project.h"

namespace fx5cfg {

struct Inspection {
    Project project;
    bool exact = false; // compiling `project` gives the blob byte for byte
    std::string note;   // why not, when not
};

bool Inspect(const std::vector<unsigned char>& blob, Inspection& out, Diagnostics& diagnostics);
// The tag tree as an indented outline, each tag with its device address.
bool TreeOutline(const std::vector<unsigned char>& blob, std::string& outline, Diagnostics& diagnostics);

} // namespace fx5cfg
