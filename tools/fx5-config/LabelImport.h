// The global label list as the engineering tool exports it (UTF-16LE with a
// byte-order mark, tab-separated, row 1 the project name, row 2 the column
// titles in English or Japanese), or a plain UTF-8 CSV with the columns
// name,type,device,comment. Columns are found by their titles.
#pragma once

#include <string>
#include <vector>

#include "tools/fx5-config/Project.h"

namespace fx5cfg {

struct Import {
    Project project;
    std::vector<std::string> skipped; // "labels.txt:12: Timer1: Timer is not supported …"
};

// `encoding`: "auto" (by byte-order mark), "utf-16le" or "utf-8".
// `channels`: make a host channel of every tag (every element of arrays).
bool ImportLabels(const std::string& fileName, const std::string& bytes, const std::string& encoding, bool channels, Import& out,
                  Diagnostics& diagnostics);

} // namespace fx5cfg
