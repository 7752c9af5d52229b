// The host string the driver parses control strings and answers with: every
// index or count outside the text, negative or past its end, gives an empty
// or shorter text and never reaches beyond the text.
#include <gtest/gtest.h>

#include <climits>

#include "host/CString.h"

namespace {

TEST(HostString, IndicesAndCountsOutsideTheTextStayInsideIt)
{
    const CString text("AB,CD");
    struct Case {
        const char* name;
        CString got;
        const char* expected;
    };
    const Case cases[] = {
        {"Mid from a negative start", text.Mid(-3), "AB,CD"},
        {"Mid from the end", text.Mid(5), ""},
        {"Mid past the end", text.Mid(INT_MAX), ""},
        {"Mid with a negative count", text.Mid(1, -1), ""},
        {"Mid with a count past the end", text.Mid(3, INT_MAX), "CD"},
        {"Left of a negative count", text.Left(-1), ""},
        {"Left past the end", text.Left(99), "AB,CD"},
        {"Right of a negative count", text.Right(-1), ""},
        {"Right past the end", text.Right(INT_MAX), "AB,CD"},
        {"Right within", text.Right(2), "CD"},
        {"SpanIncluding without a set", text.SpanIncluding(nullptr), ""},
        {"SpanIncluding", text.SpanIncluding("BA"), "AB"},
        {"SpanExcluding without a set", text.SpanExcluding(nullptr), "AB,CD"},
        {"SpanExcluding up to the first of the set", text.SpanExcluding(",;"), "AB"},
        {"SpanExcluding with none of the set", text.SpanExcluding(";"), "AB,CD"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.name;

    const std::pair<int, int> finds[] = {
        {text.Find(",", 0), 2}, {text.Find(",", 3), -1},  {text.Find(",", -1), -1}, {text.Find(",", 6), -1},
        {text.Find("", 5), 5},  {text.Find(nullptr), -1}, {text.Find('D', 0), 4},   {text.Find('D', INT_MAX), -1},
    };
    for (const auto& [got, expected] : finds) EXPECT_EQ(got, expected);

    const std::pair<std::pair<int, int>, const char*> deletes[] = {
        {{2, 1}, "ABCD"}, {{3, 99}, "AB,"}, {{-1, 1}, "AB,CD"}, {{5, 1}, "AB,CD"}, {{0, 0}, "AB,CD"}, {{0, -2}, "AB,CD"},
    };
    for (const auto& [at, expected] : deletes) {
        CString changed = text;
        EXPECT_EQ(changed.Delete(at.first, at.second), static_cast<int>(std::char_traits<char>::length(expected)));
        EXPECT_EQ(changed, expected) << at.first << "," << at.second;
    }
    EXPECT_EQ(text.GetAt(-1), '\0');
    EXPECT_EQ(text.GetAt(5), '\0');
    EXPECT_EQ(CString("x", -4), "");
    EXPECT_EQ(CString(nullptr, 4), "");
    EXPECT_EQ(CString('z', -1), "");
}

} // namespace
