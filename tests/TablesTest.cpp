#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "config/DevTables.h"
#include "support/FileText.h"

namespace {

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
    ASSERT_EQ(typed.size(), 18u) << "the data file was read";
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
        {"CHANNEL_CODES", Entries({CHLCODE_BIT_LAST, CHLCODE_BITDEVICE, CHLCODE_BUB, CHLCODE_BB, CHLCODE_BD, CHLCODE_WUB, CHLCODE_WB,
                                   CHLCODE_WD, CHLCODE_DUB, CHLCODE_DB, CHLCODE_DD, CHLCODE_DF, CHLCODE_STRING})},
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
    // The register types, a row each from every table indexed by type.
    std::vector<std::string> types;
    for (int t = 0; t < REGISTER_TYPE_COUNT; ++t) {
        std::ostringstream row;
        row << CHLTYPE_STR_PROPERTYNAME[t] << '|' << CHL_STR_NAME[t] << '|' << CHL_STR_READORDER[t] << '|' << DEV_STR_ADDRESSFORMAT[t]
            << '|' << DEV_STR_BITFORMAT[t] << '|' << DEV_CHL_WORD_LEN_TYPE[t] << '|' << DEV_READBLK_MAXNUM[t] << '|'
            << SELECT2_DWORD_PROPERTYNUM[t] << '|' << CHLTYPE_DWORD_RWFLAG[t];
        types.push_back(row.str());
        EXPECT_STREQ(CHL_STR_WRITEORDER[t], CHL_STR_READORDER[t]);
        EXPECT_EQ(DEV_WRITEBLK_MAXNUM[t], DEV_READBLK_MAXNUM[t]);
        EXPECT_EQ(CHLTYPE_STR_EDIT3[t], std::to_string(DEV_READBLK_MAXNUM[t]));
    }
    EXPECT_EQ(types, typed["REGISTER_TYPES"]);
    // The names code uses for the types, each at its place in that order.
    const int named[] = {REG_X,  REG_Y,  REG_M,  REG_L,  REG_F,   REG_B,   REG_S,   REG_D,    REG_W,    REG_TS,  REG_TC, REG_TN,
                         REG_SS, REG_SC, REG_SN, REG_CS, REG_CC,  REG_CN,  REG_LCS, REG_LCC,  REG_LCN,  REG_SB,  REG_SW, REG_SM,
                         REG_SD, REG_Z,  REG_LZ, REG_R,  REG_LTS, REG_LTC, REG_LTN, REG_LSTS, REG_LSTC, REG_LSTN};
    for (int t = 0; t < REGISTER_TYPE_COUNT; ++t) EXPECT_EQ(named[t], t);
    EXPECT_STREQ(CHLTYPE_STR_000, CHLTYPE_STR_PROPERTYNAME[0]);
    EXPECT_STREQ(CHLTYPE_STR_033, CHLTYPE_STR_PROPERTYNAME[33]);
    EXPECT_EQ(static_cast<size_t>(SELECT2_OPTION_TOTAL), offset);
}

} // namespace
