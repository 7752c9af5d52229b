// Text-to-number layer every numeric parse of the driver rests on: a
// format text picks one of seven converters. Parsing stops at the first
// character that cannot belong to the number; non-numbers give 0.
#pragma once

#include "host/CString.h"

using NumericConverter = int (*)(const CString& text, void* out, bool positive);

struct ConvertTableRow {
    const char* format;
    NumericConverter converter;
    const char* description;
};

constexpr int CONVERT_TABLE_COUNT = 7;
extern const ConvertTableRow convert_table[CONVERT_TABLE_COUNT];

int cstringToInt(const CString& text, void* out, bool positive);
int cstringToUInt(const CString& text, void* out, bool positive);
int cstringToLong(const CString& text, void* out, bool positive);
int cstringToHex(const CString& text, void* out, bool positive);
int cstringToOct(const CString& text, void* out, bool positive);
int cstringToFloat(const CString& text, void* out, bool positive);
int cstringToDouble(const CString& text, void* out, bool positive);

// 0 after a conversion; 1 when the format names no converter (out untouched).
// Every format writes 4 bytes except "%lf", which writes a double.
int cstringToNumeric(CString text, const CString& format, void* out);

namespace hex_detail {
// One entry a byte value: its hex digit value, or -1. A table, because every
// answer's bytes pass through here twice a cycle.
struct DigitTable {
    signed char value[256];
    constexpr DigitTable() : value()
    {
        for (int c = 0; c < 256; ++c) {
            value[c] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                       : -1);
        }
    }
};
inline constexpr DigitTable kDigits{};
} // namespace hex_detail

// The upper-case hex digit of each value 0 … 15, as the frames write them.
inline constexpr char kHexDigitChars[] = "0123456789ABCDEF";

// The value of one hex digit of either case, or -1 for any other character.
inline int HexDigitValue(char c) { return hex_detail::kDigits.value[static_cast<unsigned char>(c)]; }
