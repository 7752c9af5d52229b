// How many points of its register type a channel occupies, and the span
// of a run of rows: shared by planning, reading and writing.
#pragma once

#include <cstdint>

#include "config/DevRow.h"
#include "config/DevTables.h"

inline bool IsDoubleWordType(unsigned type) { return type < REGISTER_TYPE_COUNT && DEV_CHL_WORD_LEN_TYPE[type] == 2; }
inline bool IsBitDeviceType(unsigned type) { return type < REGISTER_TYPE_COUNT && DEV_CHL_WORD_LEN_TYPE[type] == 0; }
inline unsigned WordLenType(unsigned type) { return type < REGISTER_TYPE_COUNT ? DEV_CHL_WORD_LEN_TYPE[type] : 1u; }

// Points a row occupies: a string its words, a 32-bit code or any row of a
// double-word device 2, everything else 1.
inline int ChannelWidth(const CDevRow& row)
{
    const unsigned code = row.GetdwValue(ROW_DATATYPE);
    if (code == CHLCODE_STRING) return static_cast<int>((row.GetdwValue(ROW_BIT) + 1) / 2);
    if (code < CHLCODE_DUB && !IsDoubleWordType(row.GetdwValue(ROW_TYPE))) return 1;
    return 2;
}

// Points from the start of `first` to the end of `last`.
inline int RunSpan(const CDevRow& first, const CDevRow& last)
{
    int width = ChannelWidth(last);
    if (last.GetdwValue(ROW_DATATYPE) != CHLCODE_STRING && IsDoubleWordType(first.GetdwValue(ROW_TYPE))) width = 2;
    // Saturates instead of overflowing for rows out of order or far apart.
    const int64_t span = static_cast<int64_t>(last.GetdwValue(ROW_ADDRESS)) - first.GetdwValue(ROW_ADDRESS) + width;
    return span > INT32_MAX ? INT32_MAX : (span < INT32_MIN ? INT32_MIN : static_cast<int>(span));
}
