// Result codes and statuses in words.
#include <gtest/gtest.h>

#include "vi5z_uvevarov_ave/ResultCodes.h"

namespace {

TEST(ResultCodes, StatusesAndResultsReadAsTheirMeaning)
{
    struct Case {
        int status;
        const char* text;
    };
    const Case statuses[] = {
        {0, "good"},
        {1, "no block to read (a device number or length no request can carry)"},
        {2, "no response within the wait time"},
        {3, "routing mismatch (the answer's network/PC/module/station differ)"},
        {100 + 0xC051, "controller end code C051: the number of points of a batch request is out of range"},
        {100 + 0xC0FF, "controller end code C0FF"},
        {-11, "an answer of the wrong length (11 bytes)"},
        {static_cast<int>(0x80000001u), "bad argument or configuration refused"},
        {-10, "a channel address pending correction"},
    };
    for (const Case& c : statuses) EXPECT_EQ(StatusText(c.status), c.text) << c.status;
    const Case engine[] = {
        {ENGINE_NO_RESPONSE, "no response within the wait time"},
        {ENGINE_END_CODE - 0xC056, "controller end code C056: a device outside its area's range"},
        {ENGINE_WRITE_FAILED, "the write failed"},
        {21, "an answer of the wrong length (21 bytes)"},
        // End codes 0000 to FFFF, and nothing past them.
        {ENGINE_END_CODE, "controller end code 0000: normal completion"},
        {ENGINE_END_CODE - 0xFFFF, "controller end code FFFF"},
        {ENGINE_END_CODE - 0x10000, "result -65636"},
    };
    for (const Case& c : engine) EXPECT_EQ(EngineResultText(c.status), c.text) << c.status;
    ASSERT_NE(DevCtrlResult(DEVCTRL_NO_ROW), nullptr);
    EXPECT_STREQ(DevCtrlResult(DEVCTRL_NO_ROW)->name, "DEVCTRL_NO_ROW");
    EXPECT_EQ(DevCtrlResult(12345), nullptr);
}

} // namespace
