// The project file: JSON in, a Project and every mistake out; a Project out
// as canonical JSON (fixed member order, every setting written), which
// reads back to the same Project.
#pragma once

#include <string>

#include "tools/fx5-config/Project.h"

namespace fx5cfg {

// Parses project text; mistakes go to `diagnostics` (all of them). False
// only when the text is not a JSON document at all: the project read so far
// can still be checked further.
bool ParseProject(const std::string& text, Project& project, Diagnostics& diagnostics);
std::string WriteProject(const Project& project, bool pretty = true);

} // namespace fx5cfg
