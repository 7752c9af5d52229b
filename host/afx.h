// The host's MFC-compatible string and array library in one include.
#pragma once

#include "CArray.h"
#include "CString.h"
