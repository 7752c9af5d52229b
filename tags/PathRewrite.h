// Shifts one array index inside a tag path: `which` 0 is the last index,
// 1, 2, … count every index of every bracket from the left.
#pragma once

#include <string>

bool RewriteTagPathIndex(const std::string& path, int offset, unsigned which, std::string& rewritten);
