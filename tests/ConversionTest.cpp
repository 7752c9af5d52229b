#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "convert/StringToNumber.h"
#include "vi5z_uvevarov_ave/DevServer.h"

namespace {

struct FromHex {
    const char* text;
    int code;
    int group;
    int length;
    double expected;
};

TEST(NumericConvert, HexTextToNumberByCode)
{
    const FromHex cases[] = {
        {"3412", 83, 2, 4, 4660.0},
        {"FFFF", 84, 2, 4, -1.0},
        {"3412", 85, 2, 4, 1234.0},
        {"78563412", 86, 2, 8, 305419896.0},
        {"FFFFFFFF", 87, 2, 8, -1.0},
        {"FFFFFFFF", 86, 2, 8, 4294967295.0},
        {"0000803F", 89, 2, 8, 1.0},
        {"341", 83, 2, 4, 0.0},
        {"80", 81, 0, 2, -128.0},
        {"80", 80, 0, 2, 128.0},
        {"45", 82, 0, 2, 45.0},
        {"1A", 82, 0, 2, 1.0},
        {"00000080", 87, 2, 8, -2147483648.0},
        {"FF7F", 84, 2, 4, 32767.0},
        {"0080", 84, 2, 4, -32768.0},
        {"78563412", 88, 2, 8, 12345678.0},
        {"0000C0FF", 89, 2, 8, std::numeric_limits<double>::quiet_NaN()},
        {"FFFF7F7F", 89, 2, 8, static_cast<double>(std::numeric_limits<float>::max())},
        {"0000807F", 89, 2, 8, std::numeric_limits<double>::infinity()},
        {"0800", 3, 2, 2, 1.0},
        {"0800", 2, 2, 2, 0.0},
        {"0080", 15, 2, 2, 1.0},
        {"FFFF", 16, 2, 2, 0.0},
        {"3412", 131, 2, 4, 0.0},
        {"3412", 90, 2, 4, 0.0},
        {"-12.5", 100, 0, 5, -12.5},
        {"3.25", 100, 0, 4, 3.25},
        {"", 83, 2, 4, 0.0},
        // Lower-case digits, and characters that are no hex digit: the
        // reversed text is read up to its first non-digit.
        {"ff7f", 84, 2, 4, 32767.0},
        {"3G12", 83, 2, 4, 291.0},
        {"G1", 81, 2, 2, 0.0},
        {"GGGG", 83, 2, 4, 0.0},
        {"3412 ", 83, 2, 4, 4660.0},
    };
    for (const FromHex& c : cases) {
        const double got = CDevServer::SvrStr2Double(c.text, c.code, c.group, c.length);
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(got)) << c.text;
        else
            EXPECT_EQ(got, c.expected) << c.text << " code " << c.code;
    }
}

struct ToHex {
    double value;
    int code;
    int length;
    const char* expected;
};

TEST(NumericConvert, NumberToHexTextByCode)
{
    const ToHex cases[] = {
        {-1.0, 84, 8, "FFFF"},
        {301.0, 80, 8, "2D"},
        {1234.0, 85, 8, "3412"},
        {12345678.0, 88, 8, "78563412"},
        {2.5, 83, 8, "0300"},
        {3.14159, 100, 6, "  3.14"},
        {1.0, 89, 8, "0000803f"},
        {-1.0, 81, 8, "FF"},
        {4294967295.0, 86, 8, "FFFFFFFF"},
        {-2147483648.0, 87, 8, "00000080"},
        {12345.0, 85, 8, "4523"},
        {1234.0, 83, 8, "D204"},
        {45.0, 82, 8, "45"},
        {-2.5, 84, 8, "FDFF"},
        {0.0, 89, 8, "00000000"},
        {1.0, 3, 8, ""},
        {1.0, 131, 8, ""},
        {65535.0, 83, 8, "FFFF"},
    };
    for (const ToHex& c : cases)
        EXPECT_STREQ(CDevServer::SvrDouble2Str(c.value, c.code, c.length).c_str(), c.expected) << c.value << " code " << c.code;
}

TEST(NumericConvert, Double2IntRoundsHalvesAwayAndSaturatesInsteadOfWrapping)
{
    struct Case {
        double value;
        int expected;
    };
    const Case cases[] = {
        {-0.5, -1},
        {0.0, 0},
        {0.49, 0},
        {2.5, 3},
        {-2.5, -3},
        {0.4, 0},
        {4294967295.0, -1},
        {2147483648.0, static_cast<int>(0x80000000u)},
        {-2147483648.0, static_cast<int>(0x80000000u)},
        // Beyond the 32-bit range: the limits, as the panel's conversion gives
        // them; 5e9 used to wrap to 0x2A05F200.
        {5e9, static_cast<int>(0xFFFFFFFFu)},
        {4294967296.0, static_cast<int>(0xFFFFFFFFu)},
        {-3e9, static_cast<int>(0x80000000u)},
        {1e300, static_cast<int>(0xFFFFFFFFu)},
        {-1e300, static_cast<int>(0x80000000u)},
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {std::numeric_limits<double>::infinity(), static_cast<int>(0xFFFFFFFFu)},
        {-std::numeric_limits<double>::infinity(), static_cast<int>(0x80000000u)},
    };
    for (const Case& c : cases) {
        double v = c.value;
        EXPECT_EQ(CDevServer::Double2Int(v), c.expected) << c.value;
    }
}

TEST(NumericConvert, HostIntegerChannelsTruncateAndKeep32BitsInsteadOfAnUndefinedConversion)
{
    struct Case {
        double value;
        int expected;
    };
    const Case cases[] = {
        {2.9, 2},
        {-2.9, -2},
        {2147483647.0, 2147483647},
        {2147483647.9, 2147483647},
        {-2147483648.0, INT32_MIN},
        {-2147483648.9, INT32_MIN},
        {-0.9, 0},
        {2147483648.0, INT32_MIN},                     // 2^31 keeps its bits
        {3000000000.0, static_cast<int>(3000000000u)}, // an unsigned 32-bit value keeps its bits
        {4294967295.0, -1},
        {4294967295.9, -1},
        {4294967296.0, -1}, // beyond 32 bits: saturated
        {1e12, -1},
        {-2147483649.0, INT32_MIN},
        {-1e12, INT32_MIN},
        {std::numeric_limits<double>::infinity(), -1},
        {-std::numeric_limits<double>::infinity(), INT32_MIN},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(CDevServer::Double2HostInt(c.value), c.expected) << c.value;
}

TEST(StringToNumber, ConvertsThroughTheFormatTable)
{
    struct Case {
        const char* text;
        const char* format;
        int result;
        uint32_t bits;
    };
    const Case cases[] = {
        {"-12", "%D", 0, static_cast<uint32_t>(-12)},
        {"-5", "%u", 0, 0xFFFFFFFBu},
        {"-1F", "%x", 0, 0x1Fu},
        {"17", "%o", 0, 15u},
        {"ff", "%X", 0, 255u},
        {"12abc", "%d", 0, 12u},
        {"", "%d", 0, 0u},
        {"abc", "%ld", 0, 0u},
        {"4294967297", "%u", 0, 1u},
        {"7", "%i", 1, 0xDEADBEEFu},
        {"9", "", 1, 0xDEADBEEFu},
    };
    for (const Case& c : cases) {
        uint32_t out = 0xDEADBEEFu;
        EXPECT_EQ(cstringToNumeric(c.text, c.format, &out), c.result) << c.text << c.format;
        EXPECT_EQ(out, c.bits) << c.text << c.format;
    }
    float f = 0;
    EXPECT_EQ(cstringToNumeric("-2.5", "%f", &f), 0);
    EXPECT_EQ(f, -2.5f);
    double d = 0;
    EXPECT_EQ(cstringToNumeric(" 12.5", "%lf", &d), 0);
    EXPECT_EQ(d, 12.5);
}

} // namespace
