// The controller model answers SLMP device commands as a controller does.
#include <gtest/gtest.h>

#include "sim/SlmpHandler.h"
#include "support/Hex.h"

using testing_support::Bytes;
using testing_support::Hex;

namespace {

std::string Ask(sim::SlmpHandler& handler, const std::string& body)
{
    std::vector<uint8_t> b = Bytes(body);
    std::vector<uint8_t> request = Bytes("500000FFFF0300");
    request.push_back(static_cast<uint8_t>(b.size()));
    request.push_back(static_cast<uint8_t>(b.size() >> 8));
    request.insert(request.end(), b.begin(), b.end());
    return Hex(handler.Handle(request.data(), request.size()));
}

TEST(ControllerModel, DeviceCommands)
{
    sim::DeviceMemory memory;
    sim::SlmpHandler handler(memory);
    const size_t m = *sim::AreaByName("M"), d = *sim::AreaByName("D"), lcn = *sim::AreaByName("LCN");
    for (uint32_t i : {16u, 18u, 31u, 32u}) memory.SetBit(m, i, true);
    memory.SetWord(d, 10, 0x1234);
    memory.SetWord(d, 11, 0xABCD);
    memory.SetDword(lcn, 3, 0x01020304u);

    struct Case {
        const char* body;
        const char* response;
    };
    const Case cases[] = {
        // batch read, word units: a bit device gives 16 points a word, lowest in bit 0
        {"1000 0104 0000 100000 90 0200", "D00000FFFF0300060000000580 0100"},
        {"1000 0104 0000 0A0000 A8 0200", "D00000FFFF030006000000 3412 CDAB"},
        // batch read, bit units: two points a byte, the first in the high nibble
        {"1000 0104 0100 100000 90 0300", "D00000FFFF0300040000001010"},
        {"1000 0104 0100 1F0000 90 0200", "D00000FFFF03000300000011"},
        // random read: one word point, one double-word point
        {"1000 0304 0000 0101 0A0000A8 030000 56", "D00000FFFF030008000000 3412 04030201"},
        // batch write, bit units, then word units
        {"1000 0114 0100 280000 90 0300 1010", "D00000FFFF0300020000 00"},
        {"1000 0114 0000 140000 A8 0100 7856", "D00000FFFF0300020000 00"},
        // random write of a word and a double word; random write of bits
        {"1000 0214 0000 0101 1E0000A8 3412 040000 56 DDCCBBAA", "D00000FFFF0300020000 00"},
        {"1000 0214 0100 02 640000 90 01 650000 90 00", "D00000FFFF0300020000 00"},
        // errors: range, point count, length, unsupported, unknown device, wrong unit
        {"1000 0104 0000 3E1F00 A8 0500", "D00000FFFF03000B00 56C0 00FFFF0300 0104 0000"},
        {"1000 0104 0000 000000 A8 0000", "D00000FFFF03000B00 51C0 00FFFF0300 0104 0000"},
        {"1000 0104 0000 000000 A8 01", "D00000FFFF03000B00 61C0 00FFFF0300 0104 0000"},
        {"1000 1906 0000", "D00000FFFF03000B00 59C0 00FFFF0300 1906 0000"},
        {"1000 0104 0000 000000 EE 0100", "D00000FFFF03000B00 5BC0 00FFFF0300 0104 0000"},
        {"1000 0104 0100 000000 A8 0100", "D00000FFFF03000B00 5CC0 00FFFF0300 0104 0100"},
        {"1000 0114 0100 000000 90 0300 10", "D00000FFFF03000B00 61C0 00FFFF0300 0114 0100"},
    };
    for (const Case& c : cases) EXPECT_EQ(Ask(handler, c.body), Hex(Bytes(c.response))) << c.body;

    EXPECT_TRUE(memory.GetBit(m, 40));
    EXPECT_FALSE(memory.GetBit(m, 41));
    EXPECT_TRUE(memory.GetBit(m, 42));
    EXPECT_EQ(memory.GetWord(d, 20), 0x5678);
    EXPECT_EQ(memory.GetWord(d, 30), 0x1234);
    EXPECT_EQ(memory.GetDword(lcn, 4), 0xAABBCCDDu);
    EXPECT_TRUE(memory.GetBit(m, 100));
    EXPECT_FALSE(memory.GetBit(m, 101));
    EXPECT_EQ(memory.GetWord(d, 7999), 0) << "a rejected request changes nothing";
}

TEST(ControllerModel, FramingAndNonRequests)
{
    sim::DeviceMemory memory;
    sim::SlmpHandler handler(memory);
    const std::vector<uint8_t> request = Bytes("500000FFFF03000C00100001040000640000A80A00");
    EXPECT_EQ(sim::CompleteRequestSize(request.data(), 8), 0u);
    EXPECT_EQ(sim::CompleteRequestSize(request.data(), request.size() - 1), 0u);
    EXPECT_EQ(sim::CompleteRequestSize(request.data(), request.size()), request.size());
    const std::vector<uint8_t> junk = Bytes("D00000FFFF03000C00");
    EXPECT_TRUE(handler.Handle(junk.data(), junk.size()).empty());
    EXPECT_TRUE(handler.Handle(nullptr, 0).empty());
}

} // namespace
