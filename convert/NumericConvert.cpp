// Controller words as hex text (wire byte order) to host numbers and back.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "config/DevTables.h"
#include "convert/StringToNumber.h"
#include "vi5z_uvevarov_ave/DevServer.h"

namespace {

// Units of `group` characters taken from the last to the first.
CString ReverseGroups(const std::string& text, int group)
{
    const int n = static_cast<int>(text.size());
    if (group <= 0) return CString(text);
    std::string out;
    out.reserve(static_cast<size_t>(n));
    for (int pos = n - group; pos >= 0; pos -= group) out.append(text, static_cast<size_t>(pos), static_cast<size_t>(group));
    return CString(out);
}

uint32_t ParseWith(const CString& text, const char* format)
{
    uint32_t slot = 0;
    cstringToNumeric(text, format, &slot);
    return slot;
}

// The hex parse of a field the answer made (hex digits only, at most 16):
// the same low 32 bits as the general parse, without its text copies. Any
// other text takes the general parse.
uint32_t ParseHex(const CString& text)
{
    const std::string& digits = text.str();
    if (digits.empty() || digits.size() > 16) return ParseWith(text, "%x");
    uint64_t value = 0;
    for (char c : digits) {
        const int d = HexDigitValue(c);
        if (d < 0) return ParseWith(text, "%x");
        value = (value << 4) | static_cast<unsigned>(d);
    }
    return static_cast<uint32_t>(value);
}

// `n` hex digits (n even, at most 8) read in pairs from the last to the first,
// the wire's low byte first; false when any is not a hex digit, which leaves
// the text to the general parse.
bool ParseWireHex(const char* text, int n, uint32_t& value)
{
    if (n <= 0 || n > 8 || n % 2 != 0) return false;
    uint32_t result = 0;
    for (int pos = n - 2; pos >= 0; pos -= 2) {
        const int high = HexDigitValue(text[pos]);
        const int low = HexDigitValue(text[pos + 1]);
        if (high < 0 || low < 0) return false;
        result = (result << 8) | static_cast<uint32_t>(high << 4 | low);
    }
    value = result;
    return true;
}

} // namespace

int CDevServer::HexCharsOfCode(int code)
{
    // 2, 4 or 8: two to the power (code - 80) / 3 + 1.
    if (code >= CHLCODE_BUB && code <= CHLCODE_DD) return 2 << ((code - CHLCODE_BUB) / 3);
    if (code == CHLCODE_DF) return 8;
    return 0;
}

double CDevServer::SvrStr2Double(const CString& text, int code, int group, int length)
{
    return SvrChars2Double(text.c_str(), text.GetLength(), code, group, length);
}

double CDevServer::SvrChars2Double(const char* text, int available, int code, int group, int length)
{
    int n = 0;
    if (code >= 0 && code <= 15)
        n = 2 * length;
    else if (code >= CHLCODE_BUB && code <= CHLCODE_DF)
        n = HexCharsOfCode(code);
    else if (code == CHLCODE_DECIMAL_TEXT)
        n = length;
    if (n < 0 || n > available) return 0.0;

    // Binary codes in wire order, the read path's case, need no text copy.
    const bool binary = code >= CHLCODE_BUB && code <= CHLCODE_DF && code != CHLCODE_BD && code != CHLCODE_WD && code != CHLCODE_DD;
    uint32_t raw = 0;
    if (!(binary && group == 2 && ParseWireHex(text, n, raw))) {
        const CString field = ReverseGroups(std::string(text, static_cast<size_t>(n)), group);
        if (code >= 0 && code <= 15) return static_cast<double>((static_cast<int32_t>(ParseHex(field)) >> code) & 1);
        switch (code) {
        // Reading BCD digits as decimal text yields the BCD value.
        case CHLCODE_BD:
        case CHLCODE_WD:
        case CHLCODE_DD: return static_cast<double>(static_cast<int32_t>(ParseWith(field, "%d")));
        case CHLCODE_DF:
            for (int i = 0; i < 4; ++i) raw = (raw << 8) | (ParseHex(field.Mid(2 * i, 2)) & 0xFFu);
            break;
        case CHLCODE_DECIMAL_TEXT: {
            double value = 0.0;
            cstringToNumeric(field, "%lf", &value);
            return value;
        }
        default: raw = ParseHex(field); break;
        }
    }
    switch (code) {
    case CHLCODE_BUB: return static_cast<double>(raw & 0xFFu);
    case CHLCODE_BB: return static_cast<double>(static_cast<int8_t>(raw & 0xFFu));
    case CHLCODE_WUB: return static_cast<double>(raw & 0xFFFFu);
    case CHLCODE_WB: return static_cast<double>(static_cast<int16_t>(raw & 0xFFFFu));
    case CHLCODE_DUB: return static_cast<double>(raw);
    case CHLCODE_DB: return static_cast<double>(static_cast<int32_t>(raw));
    case CHLCODE_DF: {
        float value;
        std::memcpy(&value, &raw, sizeof value);
        return static_cast<double>(value);
    }
    default: return 0.0;
    }
}

CString CDevServer::SvrDouble2Str(double value, int code, int length)
{
    int n = length;
    if (code >= CHLCODE_BUB && code <= CHLCODE_DF) n = HexCharsOfCode(code);

    CString numberFormat;
    numberFormat.Format("%%.%d", n);
    CString digits;
    if (code >= CHLCODE_BUB && code <= CHLCODE_DD) {
        const int32_t v = Double2Int(value);
        uint32_t shown = static_cast<uint32_t>(v);
        const char* suffix = "X";
        switch (code) {
        case CHLCODE_BUB: shown &= 0xFFu; break;
        case CHLCODE_BB: shown = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(v & 0xFF))); break;
        case CHLCODE_BD:
            shown &= 0xFFu;
            suffix = "d";
            break;
        case CHLCODE_WUB: shown &= 0xFFFFu; break;
        case CHLCODE_WB: shown = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(v & 0xFFFF))); break;
        case CHLCODE_WD:
            shown &= 0xFFFFu;
            suffix = "d";
            break;
        case CHLCODE_DD: suffix = "d"; break;
        default: break;
        }
        const CString format = numberFormat + suffix;
        if (*suffix == 'd')
            digits.Format(format.c_str(), static_cast<int32_t>(shown));
        else
            digits.Format(format.c_str(), shown);
    } else if (code == CHLCODE_DF) {
        const float single = static_cast<float>(value);
        uint32_t pattern;
        std::memcpy(&pattern, &single, sizeof pattern);
        for (int shift = 24; shift >= 0; shift -= 8) {
            CString byte;
            byte.Format("%.2x", (pattern >> shift) & 0xFFu);
            digits += byte;
        }
    } else if (code == CHLCODE_DECIMAL_TEXT) {
        CString format;
        format.Format("%%%d.%dlf", n, 2);
        digits.Format(format.c_str(), value);
    }

    CString kept = digits.Right(n);
    if (code == CHLCODE_DECIMAL_TEXT) return kept;
    if (n < 1) return CString();
    return ReverseGroups(kept.str(), 2);
}

int CDevServer::Double2HostInt(double value)
{
    // Truncated toward zero, as the host's integer channels take values:
    // the conversion itself truncates and is defined strictly between
    // -2^31 - 1 and 2^31, the common case, taken first. Beyond it an
    // unsigned 32-bit value keeps its bits and anything further saturates,
    // never an undefined conversion; NaN fails every comparison: 0.
    if (value > -2147483649.0 && value < 2147483648.0) return static_cast<int>(value);
    if (value >= 2147483648.0) return value < 4294967296.0 ? static_cast<int>(static_cast<uint32_t>(value)) : static_cast<int>(UINT32_MAX);
    if (value <= -2147483649.0) return INT32_MIN;
    return 0;
}

int CDevServer::Double2Int(double& value)
{
    // Positive values keep their unsigned 32-bit pattern. Out of range they
    // saturate, as the panel's own float-to-integer conversion does: never
    // a wrapped pattern that names another value; NaN becomes 0.
    if (value > 0) {
        const double t = value + 0.5;
        if (t < 4294967296.0) return static_cast<int>(static_cast<uint32_t>(t));
        return static_cast<int>(UINT32_MAX);
    }
    const double t = value - 0.5;
    if (t > -2147483649.0) return static_cast<int>(t);
    if (t <= -2147483649.0) return INT32_MIN;
    return 0;
}
