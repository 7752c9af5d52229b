#include <gtest/gtest.h>

#include <string>

#include "config/DevTables.h"

namespace {

struct TypeRow {
    const char* shortName;
    const char* code;
    const char* addressFormat;
    const char* bitFormat;
    unsigned wordLen;
    unsigned limit;
    unsigned options;
    unsigned rw;
};

// Expected register table, written out independently of the driver's own.
const TypeRow kExpected[REGISTER_TYPE_COUNT] = {
    {"X", "9C", "%.4d", "", 0, 400, 0, 0},        {"Y", "9D", "%.4d", "", 0, 400, 0, 2},       {"M", "90", "%.4d", "", 0, 400, 0, 2},
    {"L", "92", "%.4d", "", 0, 400, 0, 2},        {"F", "93", "%.4d", "", 0, 400, 0, 2},       {"B", "A0", "%.4x", "", 0, 400, 0, 2},
    {"S", "98", "%.4d", "", 0, 400, 0, 2},        {"D", "A8", "%.4d", "_%.2d", 1, 60, 24, 2},  {"W", "B4", "%.4x", "_%.2d", 1, 60, 23, 2},
    {"TS", "C1", "%.4d", "", 0, 400, 0, 2},       {"TC", "C0", "%.4d", "", 0, 400, 0, 2},      {"TN", "C2", "%.4d", "_%.2d", 1, 60, 23, 2},
    {"SS", "C7", "%.4d", "", 0, 400, 0, 2},       {"SC", "C6", "%.4d", "", 0, 400, 0, 2},      {"SN", "C8", "%.4d", "_%.2d", 1, 60, 23, 2},
    {"CS", "C4", "%.4d", "", 0, 400, 0, 2},       {"CC", "C3", "%.4d", "", 0, 400, 0, 2},      {"CN", "C5", "%.4d", "_%.2d", 1, 60, 23, 2},
    {"LCS", "55", "%.4d", "", 0, 400, 0, 2},      {"LCC", "54", "%.4d", "", 0, 400, 0, 2},     {"LCN", "56", "%.4d", "_%.2d", 2, 60, 36, 2},
    {"SB", "A1", "%.4x", "", 0, 400, 0, 2},       {"SW", "B5", "%.4x", "_%.2d", 1, 60, 23, 2}, {"SM", "91", "%.4d", "", 0, 400, 0, 2},
    {"SD", "A9", "%.4d", "_%.2d", 1, 60, 24, 2},  {"Z", "CC", "%.4d", "_%.2d", 1, 60, 23, 2},  {"LZ", "62", "%.4d", "_%.2d", 2, 60, 36, 2},
    {"R", "AF", "%.4d", "_%.2d", 1, 60, 24, 2},   {"LTS", "51", "%.4d", "", 0, 400, 0, 2},     {"LTC", "50", "%.4d", "", 0, 400, 0, 2},
    {"LT", "52", "%.4d", "_%.2d", 2, 60, 36, 2},  {"LSTS", "59", "%.4d", "", 0, 400, 0, 2},    {"LSTC", "58", "%.4d", "", 0, 400, 0, 2},
    {"LST", "5A", "%.4d", "_%.2d", 2, 60, 36, 2},
};

TEST(RegisterTable, AllThirtyFourTypes)
{
    for (int t = 0; t < REGISTER_TYPE_COUNT; ++t) {
        const TypeRow& e = kExpected[t];
        SCOPED_TRACE(t);
        EXPECT_STREQ(CHL_STR_NAME[t], e.shortName);
        EXPECT_STREQ(CHL_STR_READORDER[t], e.code);
        EXPECT_STREQ(CHL_STR_WRITEORDER[t], e.code);
        EXPECT_STREQ(DEV_STR_ADDRESSFORMAT[t], e.addressFormat);
        EXPECT_STREQ(DEV_STR_BITFORMAT[t], e.bitFormat);
        EXPECT_EQ(DEV_CHL_WORD_LEN_TYPE[t], e.wordLen);
        EXPECT_EQ(DEV_READBLK_MAXNUM[t], e.limit);
        EXPECT_EQ(DEV_WRITEBLK_MAXNUM[t], e.limit);
        EXPECT_EQ(std::stoul(CHLTYPE_STR_EDIT3[t]), e.limit);
        EXPECT_EQ(SELECT2_DWORD_PROPERTYNUM[t], e.options);
        EXPECT_EQ(CHLTYPE_DWORD_RWFLAG[t], e.rw);
        // Display names start with the device letters (LTN/LSTN for the long timers).
        const std::string display = CHLTYPE_STR_PROPERTYNAME[t];
        const std::string prefix = t == 30 ? "LTN" : t == 33 ? "LSTN" : e.shortName;
        EXPECT_EQ(display.compare(0, prefix.size(), prefix), 0) << display;
    }
    EXPECT_STREQ(CHLTYPE_STR_000, CHLTYPE_STR_PROPERTYNAME[0]);
    EXPECT_STREQ(CHLTYPE_STR_033, CHLTYPE_STR_PROPERTYNAME[33]);
}

TEST(RegisterTable, OptionListsSitAtTheirOffsets)
{
    const std::pair<int, int> offsets[] = {{REG_D, 0},     {REG_W, 24},    {REG_TN, 47},   {REG_SN, 70}, {REG_CN, 93},
                                           {REG_LCN, 116}, {REG_SW, 152},  {REG_SD, 175},  {REG_Z, 199}, {REG_LZ, 222},
                                           {REG_R, 258},   {REG_LTN, 282}, {REG_LSTN, 318}};
    for (auto [type, offset] : offsets) EXPECT_EQ(Select2OptionOffset(type), offset) << type;
    EXPECT_EQ(Select2OptionOffset(REG_LSTN) + 36, SELECT2_OPTION_TOTAL);

    const std::string string = "ASCII字符串";
    for (int t = 0; t < REGISTER_TYPE_COUNT; ++t) {
        const int n = static_cast<int>(SELECT2_DWORD_PROPERTYNUM[t]);
        if (n == 0) continue;
        const char* const* list = SELECT2_STR_PROPERTYNAME + Select2OptionOffset(t);
        EXPECT_STREQ(list[0], "通道的第00位");
        EXPECT_STREQ(list[15], "通道的第15位");
        if (n == 36) {
            EXPECT_STREQ(list[31], "通道的第31位");
            EXPECT_STREQ(list[32], "32位 无符号二进制");
            EXPECT_STREQ(list[35], "32位 浮点数");
        } else {
            EXPECT_STREQ(list[16], "16位 无符号二进制");
            EXPECT_STREQ(list[22], "32位 浮点数");
        }
        // Only D, SD and R offer the string option.
        EXPECT_EQ(string == list[n - 1], t == REG_D || t == REG_SD || t == REG_R) << t;
    }
}

TEST(VocabularyTables, NamesKeywordsAndTagMaps)
{
    EXPECT_STREQ(DATATYPE_STR_NAME[0], "BUB");
    EXPECT_STREQ(DATATYPE_STR_NAME[9], "DF");
    EXPECT_STREQ(DATATYPE_STR_NAME[10], "STR");
    EXPECT_STREQ(DATATYPE_STR_BITNAME[7], "BT07");
    EXPECT_STREQ(DATATYPE_STR_SELECT2BITNAME[31], "通道的第31位");
    EXPECT_STREQ(IOCTRL_STR_PROPERTYNAME[0], "READ");
    EXPECT_STREQ(IOCTRL_STR_PROPERTYNAME[11], "WriteMutiReg");
    EXPECT_STREQ(DEV_STR_PROPERTYNAME[3], "字符串解码顺序");
    EXPECT_STREQ(DEV_STR_PROPERTLIST[1], "1 - 按连续地址分块");
    EXPECT_STREQ(DEVROW_STR_PROPERTYNAME[7], "通道名称");
    EXPECT_EQ(DEVROW_STR_CHLNAME, DEVROW_STR_PROPERTYNAME[7]);
    EXPECT_EQ(TAG_TYPE_MAP[1], 2);
    EXPECT_EQ(TAG_TYPE_MAP[21], -1);
    EXPECT_EQ(CONVERT_DATATYPE_OPTION[5], CONVERT_DATATYPE_OPTION[7]);
    int readOnly = 0;
    for (int t = 0; t < REGISTER_TYPE_COUNT; ++t) readOnly += CHLTYPE_DWORD_RWFLAG[t] == 0;
    EXPECT_EQ(readOnly, 1);
}

} // namespace
