#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "config/DevTables.h"
#include "support/FileText.h"

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

// The name tables, typed out apart from the code: section name, then one
// entry a line, or "numbers:" and the numbers of the table.
std::map<std::string, std::vector<std::string>> TypedTables()
{
    std::istringstream in(testing_support::FileText(std::string(FX5_SOURCE_DIR) + "/tests/data/name-tables.txt"));
    std::map<std::string, std::vector<std::string>> tables;
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        std::vector<std::string>& entries = tables[section];
        const std::string numbersMark = "numbers:";
        if (line.compare(0, numbersMark.size(), numbersMark) != 0) {
            entries.push_back(line);
            continue;
        }
        std::istringstream numbers(line.substr(numbersMark.size()));
        for (std::string n; numbers >> n;) entries.push_back(n);
    }
    return tables;
}

template <class T, size_t N>
std::vector<std::string> Entries(const T (&table)[N], size_t from = 0, size_t count = N)
{
    std::vector<std::string> out;
    for (size_t i = from; i < from + count && i < N; ++i) {
        if constexpr (std::is_arithmetic_v<T>)
            out.push_back(std::to_string(table[i]));
        else
            out.push_back(table[i]);
    }
    return out;
}

TEST(NameTables, EveryTableInFullAsTyped)
{
    auto typed = TypedTables();
    ASSERT_EQ(typed.size(), 16u) << "the data file was read";
    const std::pair<const char*, std::vector<std::string>> tables[] = {
        {"DATATYPE_STR_NAME", Entries(DATATYPE_STR_NAME)},
        {"DATATYPE_STR_SELECT2NAME", Entries(DATATYPE_STR_SELECT2NAME)},
        {"DATATYPE_STR_BITNAME", Entries(DATATYPE_STR_BITNAME)},
        {"DATATYPE_STR_SELECT2BITNAME", Entries(DATATYPE_STR_SELECT2BITNAME)},
        {"DEV_STR_PROPERTYNAME", Entries(DEV_STR_PROPERTYNAME)},
        {"DEV_STR_PROPERTLIST", Entries(DEV_STR_PROPERTLIST)},
        {"DEVROW_STR_PROPERTYNAME", Entries(DEVROW_STR_PROPERTYNAME)},
        {"DEVROW_DWORD_PROPERTYTYPE", Entries(DEVROW_DWORD_PROPERTYTYPE)},
        {"DEVROW_DWORD_PROPERTYTAXIS", Entries(DEVROW_DWORD_PROPERTYTAXIS)},
        {"IOCTRL_STR_PROPERTYNAME", Entries(IOCTRL_STR_PROPERTYNAME)},
        {"TAG_TYPE_MAP", Entries(TAG_TYPE_MAP)},
        {"CONVERT_DATATYPE_ARRAY", Entries(CONVERT_DATATYPE_ARRAY)},
        {"CONVERT_DATATYPE_OPTION", Entries(CONVERT_DATATYPE_OPTION)},
    };
    for (const auto& [name, entries] : tables) EXPECT_EQ(entries, typed[name]) << name;
    // Each word type's option list, one after the other in type order.
    size_t offset = 0;
    for (int t = 0; t < REGISTER_TYPE_COUNT; ++t) {
        const size_t n = SELECT2_DWORD_PROPERTYNUM[t];
        if (n == 0) continue;
        EXPECT_EQ(Entries(SELECT2_STR_PROPERTYNAME, offset, n), typed["options-" + std::to_string(n)]) << "type " << t;
        EXPECT_EQ(static_cast<size_t>(Select2OptionOffset(t)), offset) << "type " << t;
        offset += n;
    }
    EXPECT_EQ(offset, 354u);
    EXPECT_EQ(static_cast<size_t>(SELECT2_OPTION_TOTAL), offset);
}

} // namespace
