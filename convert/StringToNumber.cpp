#include "StringToNumber.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

// Low 32 bits of an unsigned 64-bit parse, two's-complement negated when a
// minus sign was removed by the caller.
int StoreUnsigned(const CString& text, void* out, bool positive, int base, bool honourSign)
{
    const uint64_t parsed = std::strtoull(text.c_str(), nullptr, base);
    uint32_t low = static_cast<uint32_t>(parsed);
    if (honourSign && !positive) low = 0u - low;
    std::memcpy(out, &low, sizeof low);
    return 0;
}

} // namespace

int cstringToInt(const CString& text, void* out, bool positive) { return StoreUnsigned(text, out, positive, 10, true); }
int cstringToUInt(const CString& text, void* out, bool positive) { return StoreUnsigned(text, out, positive, 10, true); }
int cstringToLong(const CString& text, void* out, bool positive) { return StoreUnsigned(text, out, positive, 10, true); }
int cstringToHex(const CString& text, void* out, bool positive) { return StoreUnsigned(text, out, positive, 16, false); }
int cstringToOct(const CString& text, void* out, bool positive) { return StoreUnsigned(text, out, positive, 8, false); }

int cstringToFloat(const CString& text, void* out, bool positive)
{
    float value = std::strtof(text.c_str(), nullptr);
    if (!positive) value = -value;
    std::memcpy(out, &value, sizeof value);
    return 0;
}

int cstringToDouble(const CString& text, void* out, bool positive)
{
    double value = std::strtod(text.c_str(), nullptr);
    if (!positive) value = -value;
    std::memcpy(out, &value, sizeof value);
    return 0;
}

const ConvertTableRow convert_table[CONVERT_TABLE_COUNT] = {
    {"%d", cstringToInt, "c string to int number"},       {"%u", cstringToUInt, "c string to unsigned int number"},
    {"%ld", cstringToLong, "c string to long number"},    {"%x", cstringToHex, "c string to hex number"},
    {"%o", cstringToOct, "c string to oct number"},       {"%f", cstringToFloat, "c string to float number"},
    {"%lf", cstringToDouble, "c string to float number"},
};

int cstringToNumeric(CString text, const CString& format, void* out)
{
    bool positive = true;
    if (!text.IsEmpty() && text.GetAt(0) == '-') {
        text = text.Mid(1);
        positive = false;
    }
    if (!out) return 1;
    for (const ConvertTableRow& row : convert_table) {
        if (strcasecmp(row.format, format.c_str()) == 0) return row.converter(text, out, positive);
    }
    return 1;
}
