// A control string as the layers read it: WORD(arguments)rest.
#pragma once

#include <vector>

#include "host/afx.h"

struct ControlString {
    CString word;      // trimmed, upper case
    CString arguments; // between the first "(" and the first ")"
    CString rest;      // after that ")"
};

// False when the text has no "(" or no ")".
bool SplitControlString(const CString& text, ControlString& out);

// Pieces at every ",": the text after the last separator counts only when
// it is not empty; empty pieces between separators count.
std::vector<CString> SplitArguments(const CString& arguments);
