// From a project to the driver's configuration blob: every tag placed at
// its device address (arrays and structures expanded into the tag tree the
// driver binds channels to), checked against the device ranges of the
// controller class, then written with the driver's own writers.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/fx5-config/Project.h"

namespace fx5cfg {

// A leaf of the tag tree: what a channel can be bound to.
struct Leaf {
    Scalar scalar = Scalar::Int16;
    size_t area = 0;     // register type
    uint32_t number = 0; // device number
    int bit = -1;        // a bit inside a word or double word
    uint32_t length = 0; // strings
};

struct Compiled {
    std::vector<unsigned char> blob;
    std::map<std::string, Leaf> leaves; // by full path
};

// The section that carries the project itself, so that inspect can print it
// back exactly; the driver reads only sections 1 and 3.
constexpr uint32_t kProjectSection = 100;

// Compiles; false with every mistake in `diagnostics`.
bool Compile(const Project& project, Compiled& out, Diagnostics& diagnostics);

} // namespace fx5cfg
