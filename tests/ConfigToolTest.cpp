// fx5-config: round trips over the examples and random projects, every
// blob loaded by the real driver with every channel reading its own
// device, the label export as the engineering tool writes it, and each
// class of mistake with its message.
#include <gtest/gtest.h>

#include <cmath>

#include <cstring>
#include <random>

#include "host/ZoltTools.h"
#include "sim/ModelComm.h"
#include "support/BlobBuilder.h"
#include "support/FileText.h"
#include "support/RecordingStore.h"
#include "tools/common/DriverLibrary.h"
#include "tools/fx5-config/Compiler.h"
#include "tools/fx5-config/BlobToProject.h"
#include "tools/fx5-config/LabelImport.h"
#include "tools/fx5-config/ProjectJson.h"

using namespace fx5cfg;
using testing_support::FileText;

namespace {

// The canonical form of a project text.
std::string Canonical(const std::string& text)
{
    Project project;
    Diagnostics diagnostics;
    EXPECT_TRUE(ParseProject(text, project, diagnostics));
    EXPECT_TRUE(diagnostics.empty()) << diagnostics.front().where << ": " << diagnostics.front().message;
    return WriteProject(project);
}

// JSON -> blob -> JSON is exact, and the JSON printed compiles to the same bytes.
void ExpectRoundTrip(const std::string& text, Compiled& compiled)
{
    Project project;
    Diagnostics diagnostics;
    ASSERT_TRUE(ParseProject(text, project, diagnostics));
    ASSERT_TRUE(Compile(project, compiled, diagnostics))
        << (diagnostics.empty() ? "" : diagnostics.front().where + ": " + diagnostics.front().message);
    Inspection inspection;
    ASSERT_TRUE(Inspect(compiled.blob, inspection, diagnostics));
    EXPECT_TRUE(inspection.exact) << inspection.note;
    EXPECT_EQ(WriteProject(inspection.project), WriteProject(project));
    Compiled again;
    ASSERT_TRUE(Compile(inspection.project, again, diagnostics));
    EXPECT_EQ(again.blob, compiled.blob);
}

// A value for a device word, from the leaf's path: distinct per leaf.
uint32_t Seed(const std::string& path) { return static_cast<uint32_t>(std::hash<std::string>{}(path)); }

// Loads `compiled` in the real driver over the controller model, with every
// leaf's device holding a value of its own, and checks each channel reads
// the value of its own leaf.
void ExpectEveryChannelReadsItsOwnDevice(const Project& project, const Compiled& compiled)
{
    zolt_clock::UseVirtualClock(true);
    sim::DeviceMemory memory;
    std::map<std::string, std::string> expected;
    for (const auto& [path, leaf] : compiled.leaves) {
        const uint32_t v = Seed(path);
        const sim::DeviceArea& area = memory.Area(leaf.area);
        switch (leaf.scalar) {
        case Scalar::Bool:
            if (area.unit == sim::DeviceUnit::Bit)
                memory.SetBit(leaf.area, leaf.number, v & 1);
            else if (area.unit == sim::DeviceUnit::DoubleWord)
                memory.SetDword(leaf.area, leaf.number,
                                (memory.GetDword(leaf.area, leaf.number) & ~(1u << leaf.bit)) | ((v & 1) << leaf.bit));
            else
                memory.SetWord(leaf.area, leaf.number,
                               static_cast<uint16_t>((memory.GetWord(leaf.area, leaf.number) & ~(1u << leaf.bit)) | ((v & 1) << leaf.bit)));
            expected[path] = std::to_string(v & 1);
            break;
        case Scalar::Int16:
            memory.SetWord(leaf.area, leaf.number, static_cast<uint16_t>(v));
            expected[path] = std::to_string(static_cast<int16_t>(v));
            break;
        case Scalar::UInt16:
            memory.SetWord(leaf.area, leaf.number, static_cast<uint16_t>(v));
            expected[path] = std::to_string(static_cast<uint16_t>(v));
            break;
        case Scalar::Int32:
            memory.SetDword(leaf.area, leaf.number, v);
            expected[path] = std::to_string(static_cast<int32_t>(v));
            break;
        case Scalar::UInt32:
            memory.SetDword(leaf.area, leaf.number, v & 0x7FFFFFFF);
            expected[path] = std::to_string(v & 0x7FFFFFFF);
            break;
        case Scalar::Float: {
            const float f = static_cast<float>(v % 1000) + 0.5f;
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            memory.SetDword(leaf.area, leaf.number, bits);
            expected[path] = std::to_string(static_cast<int>(v % 1000)) + ".5";
            break;
        }
        case Scalar::String: {
            std::string text = "s" + std::to_string(v % 100000);
            text.resize(std::min<size_t>(text.size(), leaf.length));
            for (size_t i = 0; i < (leaf.length + 1) / 2; ++i) {
                const uint8_t lo = 2 * i < text.size() ? static_cast<uint8_t>(text[2 * i]) : 0,
                              hi = 2 * i + 1 < text.size() ? static_cast<uint8_t>(text[2 * i + 1]) : 0;
                memory.SetWord(leaf.area, leaf.number + static_cast<uint32_t>(i), static_cast<uint16_t>(lo | (hi << 8)));
            }
            expected[path] = text;
            break;
        }
        case Scalar::WString: {
            std::string text = "w" + std::to_string(v % 1000);
            text.resize(std::min<size_t>(text.size(), leaf.length));
            for (size_t i = 0; i < leaf.length; ++i)
                memory.SetWord(leaf.area, leaf.number + static_cast<uint32_t>(i), i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
            expected[path] = text;
            break;
        }
        }
    }
    testing_support::RecordingStore store;
    for (size_t h = 0; h < project.channels.size(); ++h) {
        const std::string& type = project.channels[h].hostType;
        store.channelTypes[static_cast<int>(h)] = type == "text" ? DATATYPE_STRING : type == "double" ? DATATYPE_DOUBLE : DATATYPE_INT;
    }
    sim::SlmpHandler handler(memory);
    sim::ModelComm comm(handler);
    fx5::DriverLibrary library(ZOLT_DRIVER_PATH);
    ASSERT_TRUE(library.Loaded()) << library.Error();
    auto device = library.Create("PLC1", &store);
    ASSERT_TRUE(device);
    ASSERT_EQ(device->UpdataCommunication(&comm), 0);
    ASSERT_EQ(device->InitDevice(compiled.blob.data(), static_cast<int>(compiled.blob.size())), 0);
    const std::vector<int> flags(project.channels.size(), 1);
    const int count = static_cast<int>(flags.size());
    ASSERT_EQ(device->ChannelRefChange(flags.data(), count), 0);
    for (int call = 0; call <= count; ++call) ASSERT_EQ(device->CollectDevData(flags.data(), count), 0);
    for (size_t h = 0; h < project.channels.size(); ++h) {
        const std::string& path = project.channels[h].tag;
        auto value = store.channels.find(static_cast<int>(h));
        ASSERT_NE(value, store.channels.end()) << path;
        std::string shown;
        if (auto* i = std::get_if<int>(&value->second))
            shown = std::to_string(*i);
        else if (auto* d = std::get_if<double>(&value->second))
            shown = *d == std::trunc(*d) ? std::to_string(static_cast<long long>(*d))
                                         : std::to_string(*d).substr(0, std::to_string(*d).find('.') + 2);
        else
            shown = std::get<std::string>(value->second);
        EXPECT_EQ(shown, expected[path]) << "channel " << h << " " << path;
    }
    zolt_clock::UseVirtualClock(false);
}

TEST(ConfigTool, EveryExampleRoundTripsAndLoadsInTheDriver)
{
    for (const char* name : {"demo-line", "scalars", "bits", "arrays", "structures", "strings-unicode"}) {
        SCOPED_TRACE(name);
        const std::string text = FileText(std::string(FX5_SOURCE_DIR) + "/examples/" + name + ".json");
        ASSERT_FALSE(text.empty());
        Compiled compiled;
        ExpectRoundTrip(text, compiled);
        Project project;
        Diagnostics diagnostics;
        ParseProject(Canonical(text), project, diagnostics);
        for (Channel& c : project.channels)
            if (c.hostType.empty()) c.hostType = DefaultHostType(compiled.leaves.at(c.tag).scalar);
        ExpectEveryChannelReadsItsOwnDevice(project, compiled);
    }
}

TEST(ConfigTool, AddressesAsTheEngineeringToolWritesThem)
{
    Compiled compiled;
    ExpectRoundTrip(FileText(std::string(FX5_SOURCE_DIR) + "/examples/bits.json"), compiled);
    struct Case {
        const char* path;
        size_t area;
        uint32_t number;
        int bit;
    };
    const Case cases[] = {{"start", *sim::AreaByName("X"), 15, -1},
                          {"lamp", *sim::AreaByName("Y"), 16, -1},
                          {"alarm", *sim::AreaByName("D"), 100, 5},
                          {"flags[2]", *sim::AreaByName("D"), 111, 0}};
    for (const Case& c : cases) {
        const Leaf& leaf = compiled.leaves.at(c.path);
        EXPECT_EQ(leaf.area, c.area) << c.path;
        EXPECT_EQ(leaf.number, c.number) << c.path;
        EXPECT_EQ(leaf.bit, c.bit) << c.path;
    }
    ExpectRoundTrip(FileText(std::string(FX5_SOURCE_DIR) + "/examples/scalars.json"), compiled);
    EXPECT_EQ(compiled.leaves.at("flow").number, 31u) << "W1F";
    // A structure ends with its last array member whole: 1 + 3 words.
    ExpectRoundTrip(R"({"structs": {"P": {"members": [{"name": "a", "type": "int16", "offset": "0"},
                                                      {"name": "v", "type": "int16", "offset": "1", "dims": [3]}]}},
                        "tags": [{"name": "p", "type": "P", "device": "D0", "dims": [2]}], "channels": [{"tag": "p[1].a"}]})",
                    compiled);
    EXPECT_EQ(compiled.leaves.at("p[1].a").number, 4u);
    // A device setting left out keeps its default.
    Project partial;
    Diagnostics none;
    ASSERT_TRUE(ParseProject(R"({"device": {"blockCollection": "contiguous"}})", partial, none));
    EXPECT_EQ(partial.device.waitTimeMs, 200u);
}

// A random project: tags of every type, arrays, nested structures, many channels.
std::string RandomProject(unsigned seed)
{
    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char* scalars[] = {"bool", "int16", "uint16", "int32", "uint32", "float", "string"};
    std::string structs =
        R"("Inner": {"members": [{"name": "a", "type": "int16", "offset": "0"}, {"name": "b", "type": "float", "offset": "1"},
                                                    {"name": "f", "type": "bool", "offset": "3.7"}]},
                            "Outer": {"members": [{"name": "x", "type": "Inner", "offset": "0", "dims": [2]}, {"name": "n", "type": "uint32", "offset": "8"}]})";
    std::string tags, channels;
    uint32_t next = 0, nextBit = 0;
    for (int i = 0; i < 60; ++i) {
        const std::string name = "t" + std::to_string(i);
        const int kind = pick(10);
        std::string type = kind < 7 ? scalars[kind] : (kind == 7 ? "Inner" : "Outer");
        std::string device, extra;
        uint32_t words = type == "Inner" ? 4 : type == "Outer" ? 10 : (type == "int32" || type == "uint32" || type == "float") ? 2 : 1;
        if (type == "string") {
            extra = R"(, "length": 6)";
            words = 3;
        }
        const bool array = pick(3) == 0;
        const uint32_t n = array ? 1 + static_cast<uint32_t>(pick(4)) : 1;
        if (array) extra += R"(, "dims": [)" + std::to_string(n) + "]";
        if (type == "bool" && pick(2) == 0) {
            device = "M" + std::to_string(nextBit);
            nextBit += n + 3;
        } else {
            device = (type == "bool" ? "D" + std::to_string(next) + ".3" : "D" + std::to_string(next));
            next += words * n + static_cast<uint32_t>(pick(5));
        }
        tags += std::string(tags.empty() ? "" : ",") + R"({"name": ")" + name + R"(", "type": ")" + type + R"(", "device": ")" + device +
                "\"" + extra + "}";
        for (uint32_t e = 0; e < n; ++e) {
            std::string path = name + (array ? "[" + std::to_string(e) + "]" : "");
            if (type == "Inner") path += pick(2) ? ".a" : ".b";
            if (type == "Outer") path += pick(2) ? ".n" : ".x[" + std::to_string(pick(2)) + "].f";
            channels += std::string(channels.empty() ? "" : ",") + R"({"tag": ")" + path + "\"}";
        }
    }
    return R"({"device": {"waitTimeMs": 150, "blockCollection": ")" + std::string(seed % 2 ? "contiguous" : "maxLength") +
           R"(", "stringEncoding": "ascii", "stringByteOrder": "12"}, "structs": {)" + structs + R"(}, "tags": [)" + tags +
           R"(], "channels": [)" + channels + "]}";
}

TEST(ConfigTool, RandomProjectsRoundTripAndEveryChannelReadsItsOwnDevice)
{
    for (unsigned seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE(seed);
        const std::string text = RandomProject(seed);
        Compiled compiled;
        ExpectRoundTrip(text, compiled);
        Project project;
        Diagnostics diagnostics;
        ParseProject(text, project, diagnostics);
        for (Channel& c : project.channels) c.hostType = DefaultHostType(compiled.leaves.at(c.tag).scalar);
        ExpectEveryChannelReadsItsOwnDevice(project, compiled);
    }
}

std::string Utf16(const std::string& utf8)
{
    // ASCII and the Japanese titles below only: three-byte UTF-8 sequences.
    std::string out = "\xFF\xFE";
    for (size_t i = 0; i < utf8.size();) {
        uint32_t c = static_cast<uint8_t>(utf8[i]);
        if (c >= 0xE0) {
            c = ((c & 0x0F) << 12) | ((static_cast<uint8_t>(utf8[i + 1]) & 0x3F) << 6) | (static_cast<uint8_t>(utf8[i + 2]) & 0x3F);
            i += 3;
        } else {
            ++i;
        }
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

TEST(ConfigTool, LabelExportInTheToolsFormImports)
{
    const std::string text = "Project1\r\n"
                             "クラス\tラベル名\tデータ型\t定数値\t初期値\t割付(デバイス/ラベル)\tアドレス\tコメント\r\n"
                             "VAR_GLOBAL\tspeed\tWord [Signed]\t\t\tD100\t%MW0.100\t\"line\tspeed\r\nsecond line\"\r\n"
                             "VAR_GLOBAL\tflags\tBit(0..2,0..1)\t\t\tM10\t\t\r\n"
                             "VAR_GLOBAL\tname\tString(12)\t\t\tD300\t\t\r\n"
                             "VAR_GLOBAL\tlevel\tFLOAT [Single Precision]\t\t\tD200\t\t\r\n"
                             "VAR_GLOBAL\tloose\tWord [Unsigned]/Bit String [16-bit]\t\t\t\t\tno device\r\n"
                             "VAR_GLOBAL\tt1\tTimer\t\t\tT1\t\t\r\n"
                             "VAR_GLOBAL_CONSTANT\tk\tWord [Signed]\t\t\t\t\t\r\n";
    Import imported;
    Diagnostics diagnostics;
    ASSERT_TRUE(ImportLabels("labels.txt", Utf16(text), "auto", true, imported, diagnostics));
    const std::string expected =
        R"({"device": {"waitTimeMs": 200, "blockCollection": "maxLength", "stringEncoding": "ascii", "stringByteOrder": "12"},
      "tags": [{"name": "speed", "type": "int16", "device": "D100", "comment": "line\tspeed\r\nsecond line"},
               {"name": "flags", "type": "bool", "device": "M10", "dims": [3, 2]},
               {"name": "name", "type": "string", "device": "D300", "length": 12},
               {"name": "level", "type": "float", "device": "D200"}],
      "channels": [{"tag": "speed", "type": "integer"},
                   {"tag": "flags[0,0]", "type": "integer"}, {"tag": "flags[0,1]", "type": "integer"}, {"tag": "flags[1,0]", "type": "integer"},
                   {"tag": "flags[1,1]", "type": "integer"}, {"tag": "flags[2,0]", "type": "integer"}, {"tag": "flags[2,1]", "type": "integer"},
                   {"tag": "name", "type": "text"}, {"tag": "level", "type": "double"}]})";
    EXPECT_EQ(WriteProject(imported.project), Canonical(expected));
    // The quoted comment spans two lines: later labels count them.
    ASSERT_EQ(imported.skipped.size(), 3u);
    EXPECT_EQ(imported.skipped[0], "labels.txt:8: loose: no device assigned");
    EXPECT_NE(imported.skipped[1].find("labels.txt:9: t1: data type \"Timer\" is not supported"), std::string::npos);
    EXPECT_NE(imported.skipped[2].find("labels.txt:10: k: class VAR_GLOBAL_CONSTANT"), std::string::npos);
    Compiled compiled;
    EXPECT_TRUE(Compile(imported.project, compiled, diagnostics));
    // A lone surrogate becomes U+FFFD; fields and titles are trimmed.
    const std::string lone = Utf16("name,type,device,comment\r\na,Bit,M0,") + std::string("\x00\xDC", 2) + Utf16("\r\n").substr(2);
    Import odd;
    ASSERT_TRUE(ImportLabels("odd.csv", lone, "auto", true, odd, diagnostics));
    ASSERT_EQ(odd.project.tags.size(), 1u);
    EXPECT_EQ(odd.project.tags[0].comment, "\xEF\xBF\xBD");
    ASSERT_TRUE(ImportLabels("spaced.csv", " name, type, device\n b, Bit, M1\n", "auto", true, odd, diagnostics));
    EXPECT_EQ(odd.project.tags.back().name + "@" + odd.project.tags.back().device, "b@M1");
    ASSERT_TRUE(ImportLabels("bom.csv", "\xEF\xBB\xBFname,type,device\nc,Bit,M2\n", "auto", true, odd, diagnostics))
        << "UTF-8 with its mark";
    EXPECT_EQ(odd.project.tags.back().name + "@" + odd.project.tags.back().device, "c@M2");
    // Saved without its byte-order mark it reads the same; cut by a byte it
    // is a mistake.
    Import again;
    ASSERT_TRUE(ImportLabels("labels.txt", Utf16(text).substr(2), "auto", true, again, diagnostics));
    EXPECT_EQ(WriteProject(again.project), WriteProject(imported.project));
    const std::string bare = Utf16(text).substr(2);
    EXPECT_FALSE(ImportLabels("labels.txt", bare.substr(0, bare.size() - 1), "auto", true, again, diagnostics));
    EXPECT_NE(diagnostics.back().message.find("odd number of bytes"), std::string::npos);
}

// Rows of a label list the device cannot take are skipped or refused with
// the reason; texts keep every character.
TEST(ConfigTool, LabelRowsAreSkippedOrRefusedWithTheirReason)
{
    struct Case {
        const char* encoding;
        std::string rows; // under the titles name,type,device,comment
        bool imported;
        std::string shown; // in the project, a skip or a mistake
    };
    const std::string wide = Utf16("name,type,device,comment\r\na,Bit,M0,").substr(2);
    const Case cases[] = {
        {"utf-8", "a,Bit(1..2),M0,\n", true, "a: array range (1..2) does not start at 0"},
        {"utf-8", "a,String(0),D0,\n", true, "a: string without a length"},
        {"utf-8", "a.b,Bit,M0,\n", false, "found label name \"a.b\", expected a name without"},
        {"utf-8", "a,Bit,M0,\na,Bit,M1,\n", false, "label \"a\" is defined twice"},
        {"utf-8", "a,Bit,M0,\"say \"\"hi\"\"\"\n", true, R"("comment": "say \"hi\"")"},
        {"utf-8", "a,Bit,M0,\u00e9\n", true, "\"comment\": \"\u00e9\""},
        {"latin1", "a,Bit,M0,\n", false, "unknown encoding \"latin1\"; expected auto, utf-16le or utf-8"},
        // One encoding for every string: the kind more common stays.
        {"utf-8", "s,String(4),D0,\nw,String [Unicode](4),D10,\nv,String [Unicode](4),D20,\n", true,
         "s: a string label; the device reads all strings in one encoding and the other kind is more common"},
        {"utf-8", "s,String(4),D0,\nw,String [Unicode](4),D10,\nv,String [Unicode](4),D20,\n", true, "\"stringEncoding\": \"unicode\""},
        // A pair of surrogates is one character; a high one without its low one is U+FFFD.
        {"utf-16le", wide + std::string("\x3D\xD8\x00\xDE\r\0\n\0", 8), true, "\"comment\": \"\U0001F600\""},
        {"utf-16le", wide + std::string("\x3D\xD8\x41\x00\r\0\n\0", 8), true, "\"comment\": \"\uFFFDA\""},
        {"utf-16le", wide + std::string("\x80\x00\r\0\n\0", 6), true, "\"comment\": \"\u0080\""},
    };
    for (const Case& c : cases) {
        const std::string bytes = std::string(c.encoding) == "utf-16le" ? c.rows : "name,type,device,comment\n" + c.rows;
        Import imported;
        Diagnostics diagnostics;
        EXPECT_EQ(ImportLabels("l.csv", bytes, c.encoding, false, imported, diagnostics), c.imported) << c.shown;
        std::string report = WriteProject(imported.project);
        for (const std::string& skipped : imported.skipped) report += skipped + "\n";
        for (const auto& d : diagnostics) report += d.where + ": " + d.message + "\n";
        EXPECT_NE(report.find(c.shown), std::string::npos) << report;
    }
}

TEST(ConfigTool, EveryClassOfMistakeIsNamedWithItsPlace)
{
    struct Case {
        const char* what;
        std::string tags;
        std::string channels;
        std::string where, message;
    };
    const Case cases[] = {
        {"unknown data type", R"({"name": "a", "type": "int17", "device": "D1"})", "", "/tags/0/type", "unknown data type \"int17\""},
        {"3-byte device number", R"({"name": "a", "type": "int16", "device": "R16777216"})", "", "/tags/0/device", "3-byte device number"},
        {"outside the device range", R"({"name": "a", "type": "int16", "device": "D8000"})", "", "/tags/0/device",
         "found D8000, expected D0 … D7999"},
        {"array past the range", R"({"name": "a", "type": "int16", "device": "D7999", "dims": [2]})", "", "/tags/0/device",
         "ending at D8000"},
        {"bit the register lacks", R"({"name": "a", "type": "bool", "device": "D1.16"})", "", "/tags/0/device", "D has bits 0 … 15"},
        {"bit a double word lacks", R"({"name": "a", "type": "bool", "device": "LZ1.32"})", "", "/tags/0/device", "LZ has bits 0 … 31"},
        {"no dimensions", R"({"name": "a", "type": "int16", "device": "D1", "dims": []})", "", "/tags/0/dims",
         "found [], expected a list of array sizes"},
        {"bit of a bit device", R"({"name": "a", "type": "bool", "device": "M1.1"})", "", "/tags/0/device",
         "bit device and has no bit numbers"},
        {"tag defined twice", R"({"name": "a", "type": "int16", "device": "D1"}, {"name": "a", "type": "int16", "device": "D2"})", "",
         "/tags/1/name", "defined twice"},
        {"path that does not resolve", R"({"name": "a", "type": "int16", "device": "D1"})", R"({"tag": "b"})", "/channels/0/tag",
         "\"b\" names no tag"},
        {"path to no scalar", R"({"name": "a", "type": "int16", "device": "D1", "dims": [3]})", R"({"tag": "a"})", "/channels/0/tag",
         "\"a\" does not resolve to a scalar of tag a"},
        {"index outside the dimensions", R"({"name": "a", "type": "int16", "device": "D1", "dims": [3]})", R"({"tag": "a[3]"})",
         "/channels/0/tag", "outside the dimensions of a (0..2)"},
        {"string without a length", R"({"name": "a", "type": "string", "device": "D1"})", "", "/tags/0/length",
         "a string needs its length"},
        {"string longer than one request", R"({"name": "a", "type": "string", "device": "D1", "length": 1922})", "", "/tags/0/length",
         "at most 1920 bytes (960 words, what one request reads or writes); found 1922"},
        {"wstring longer than one request", R"({"name": "a", "type": "wstring", "device": "D1", "length": 961})", "", "/tags/0/length",
         "at most 960 characters"},
        {"structure containing itself", R"({"name": "a", "type": "Self", "device": "D1"})", "", "/structs/Self/members/0/type",
         "contains itself"},
        {"two string kinds",
         R"({"name": "a", "type": "string", "device": "D1", "length": 4}, {"name": "b", "type": "wstring", "device": "D5", "length": 4})",
         "", "/device/stringEncoding", "one encoding"},
        {"unknown member", R"({"name": "a", "type": "int16", "device": "D1", "lenght": 4})", "", "/tags/0/lenght", "unknown member"},
        {"member offset that is no number", R"({"name": "a", "type": "Odd", "device": "D1"})", "", "/structs/Odd/members/0/offset",
         "found \"1x\", expected words"},
        {"word type on a bit device", R"({"name": "a", "type": "int16", "device": "M0"})", "", "/tags/0/type",
         "type int16 needs a word device; bit devices hold bool tags"},
        {"16-bit type on a double word", R"({"name": "a", "type": "int16", "device": "LZ0"})", "", "/tags/0/type",
         "a 16-bit type on a double-word device"},
        {"name with a dot", R"({"name": "a.b", "type": "int16", "device": "D0"})", "", "/tags/0/name", "found \"a.b\", expected a name"},
        {"bit address of a word type", R"({"name": "a", "type": "int16", "device": "D1.3"})", "", "/tags/0/device",
         "a bit address (D1.3) holds only a bool tag"},
    };
    // Empty when `text` gives the mistake at `where`; else what it gave.
    const auto missed = [](const std::string& text, const std::string& where, const std::string& message) {
        Project project;
        Diagnostics diagnostics;
        Compiled compiled;
        if (ParseProject(text, project, diagnostics)) Compile(project, compiled, diagnostics);
        for (const Diagnostic& d : diagnostics)
            if (d.where == where && d.message.find(message) != std::string::npos) return std::string();
        return diagnostics.empty() ? std::string("no mistake") : diagnostics.front().where + ": " + diagnostics.front().message;
    };
    for (const Case& c : cases) {
        const std::string text = R"({"structs": {"Self": {"members": [{"name": "s", "type": "Self", "offset": "0"}]},
                                             "Odd": {"members": [{"name": "s", "type": "int16", "offset": "1x"}]}}, "tags": [)" +
                                 c.tags + R"(], "channels": [)" + c.channels + "]}";
        EXPECT_EQ(missed(text, c.where, c.message), "") << c.what;
    }
    const char* const documents[][3] = {
        {R"({"device": {"blockCollection": "fast"}})", "/device/blockCollection", R"(found "fast", expected "maxLength" or "contiguous")"},
        {R"({"device": {"stringEncoding": "utf8"}})", "/device/stringEncoding", R"(found "utf8", expected "ascii" or "unicode")"},
        {R"({"device": {"stringByteOrder": "1"}})", "/device/stringByteOrder", R"(found "1", expected "12" (first character)"},
        {R"({"device": {"waitTimeMs": -1}})", "/device/waitTimeMs", "found -1, expected a whole number from 1 to 4294967295"},
        {R"({"tags": {}})", "/tags", "expected a list"},
        {R"({"structs": []})", "/structs", "expected an object"},
        {R"({"structs": {"S": {}}})", "/structs/S/members", "missing: a structure lists its members"},
        {R"({"tags": [{"name": 5, "type": "int16", "device": "D1"}]})", "/tags/0/name", "found 5, expected a text"},
        {R"({"tags": [{"name": "a", "type": "int16", "device": "D1", "dims": [0]}]})", "/tags/0/dims/0",
         "found 0, expected a size from 1 to 65535"},
        {R"({"tags": [{"name": "a", "type": "int16", "device": "D1"}], "channels": [{"tag": "a", "type": "float"}]})", "/channels/0/type",
         R"(found "float", expected "integer", "double" or "text")"},
        {R"({"structs": {"H": {"members": [{"name": "h", "type": "int16", "offset": "0.3"}]}}, "tags": [{"name": "a", "type": "H", "device": "D0"}]})",
         "/structs/H/members/0", "a int16 must start on a whole word"},
        {R"({"structs": {"H": {"members": [{"name": "h", "type": "bool", "offset": "0.16"}]}}})", "/structs/H/members/0/offset",
         R"(found "0.16", expected words)"},
        {R"({"structs": {"H": {"members": [{"name": "h.x", "type": "int16", "offset": "0"}]}}, "tags": [{"name": "a", "type": "H", "device": "D0"}]})",
         "/structs/H/members/0/name", R"(found "h.x", expected a name)"},
        {R"({"device": {"stringEncoding": "unicode"}, "tags": [{"name": "a", "type": "string", "device": "D0", "length": 4}]})",
         "/device/stringEncoding", R"(found "unicode", but the project holds string tags, which need "ascii")"},
    };
    for (const auto& [text, where, message] : documents) EXPECT_EQ(missed(text, where, message), "") << text;
    Project project;
    Diagnostics diagnostics;
    for (const char* malformed : {"{\"tags\": [", "{\"device\": {\"waitTimeMs\": 1e999}}"}) {
        diagnostics.clear();
        EXPECT_FALSE(ParseProject(malformed, project, diagnostics)) << malformed;
        EXPECT_NE(diagnostics.at(0).message.find("not a JSON document"), std::string::npos) << malformed;
    }
    // Label lists: each mistake at its line, once; a structure's label and a
    // type the driver cannot map are skipped, a misspelt type is a mistake.
    Import imported;
    diagnostics.clear();
    EXPECT_FALSE(ImportLabels("labels.csv",
                              "name,type,device\nok,Bit,M0\nbad,Bit,Q7\ntypo,Word [Signd],D1\nfar,Word [Signed],D8000\n"
                              "motor,Motor,D2\nlong,FLOAT [Double Precision],D4\n",
                              "auto", true, imported, diagnostics));
    ASSERT_EQ(diagnostics.size(), 3u);
    EXPECT_EQ(diagnostics[0].where, "labels.csv:3");
    EXPECT_EQ(diagnostics[1].where + " " + diagnostics[1].message.substr(0, 41),
              "labels.csv:4 typo: data type \"Word [Signd]\" is unknown");
    EXPECT_EQ(diagnostics[2].where + " " + diagnostics[2].message, "labels.csv:5 far: found device D8000, expected D0 … D7999");
    ASSERT_EQ(imported.skipped.size(), 2u);
    EXPECT_NE(imported.skipped[0].find("labels.csv:6: motor: data type \"Motor\" is a structure"), std::string::npos);
    EXPECT_NE(imported.skipped[1].find("labels.csv:7: long: data type \"FLOAT [Double Precision]\" is not supported"), std::string::npos);
    for (const auto& [text, said] :
         {std::pair{"name,device\na,M0\n", "cols.csv:1 no column titled \"Data Type\""}, std::pair{"\n", "cols.csv no column titles"}}) {
        diagnostics.clear();
        EXPECT_FALSE(ImportLabels("cols.csv", text, "auto", true, imported, diagnostics));
        ASSERT_EQ(diagnostics.size(), 1u);
        EXPECT_EQ(diagnostics[0].where + " " + diagnostics[0].message, said);
    }
    // An array past the device's end fails once, not once per element.
    diagnostics.clear();
    ASSERT_TRUE(ImportLabels("labels.csv", "name,type,device\nbig,Word [Signed](0..9999),D0\n", "auto", true, imported, diagnostics));
    Compiled compiled;
    EXPECT_FALSE(Compile(imported.project, compiled, diagnostics));
    EXPECT_EQ(diagnostics.size(), 1u);
}

TEST(ConfigTool, InputsTheFuzzerFoundAreRefusedWithAMessage)
{
    // A label list with bytes that are not UTF-8 used to abort the compiler
    // when the project was written.
    const std::string bytes = FileText(std::string(FX5_SOURCE_DIR) + "/tests/data/fuzz/labels-invalid-utf8");
    ASSERT_FALSE(bytes.empty());
    Import imported;
    Diagnostics diagnostics;
    EXPECT_FALSE(ImportLabels("labels.csv", bytes, "auto", true, imported, diagnostics));
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_NE(diagnostics[0].message.find("not UTF-8"), std::string::npos);
    // A blob whose tree names an element "[" without its "]" used to spin
    // inspect for ever.
    const std::string blob = FileText(std::string(FX5_SOURCE_DIR) + "/tests/data/fuzz/blob-unclosed-index");
    ASSERT_FALSE(blob.empty());
    Inspection inspection;
    Inspect(std::vector<unsigned char>(blob.begin(), blob.end()), inspection, diagnostics);
    diagnostics.clear();
    EXPECT_FALSE(Inspect({1, 2, 3}, inspection, diagnostics));
    ASSERT_FALSE(diagnostics.empty());
    EXPECT_NE(diagnostics[0].message.find("not a configuration blob"), std::string::npos);
    // A project holding such text still writes (with U+FFFD) and compiles.
    Project project;
    project.tags.push_back({"bad\xff", "int16", "D1", "", {}, 0, "\xfe\xfe", "/tags/0"});
    EXPECT_NE(WriteProject(project).find("\xEF\xBF\xBD"), std::string::npos);
    Compiled compiled;
    diagnostics.clear();
    Compile(project, compiled, diagnostics);
}

TEST(ConfigTool, BlobsMadeElsewhereAreDescribedFromTheirTree)
{
    for (const char* name : {"structures", "arrays"}) {
        SCOPED_TRACE(name);
        const std::string text = FileText(std::string(FX5_SOURCE_DIR) + "/examples/" + name + ".json");
        Compiled compiled;
        ExpectRoundTrip(text, compiled);
        Project project;
        Diagnostics diagnostics;
        ParseProject(text, project, diagnostics);
        // Corrupt the carried project: inspect must notice and describe the blob from its tree.
        std::vector<unsigned char> bare = compiled.blob;
        const std::string marker = "\"waitTimeMs\":200";
        auto at = std::search(bare.begin(), bare.end(), marker.begin(), marker.end());
        ASSERT_NE(at, bare.end());
        *(at + 14) = '9';
        Inspection inspection;
        ASSERT_TRUE(Inspect(bare, inspection, diagnostics));
        EXPECT_FALSE(inspection.exact);
        EXPECT_EQ(inspection.project.device.waitTimeMs, 200u) << "from the property section";
        EXPECT_EQ(inspection.project.device.blockCollection + inspection.project.device.stringEncoding +
                      inspection.project.device.stringByteOrder,
                  project.device.blockCollection + project.device.stringEncoding + project.device.stringByteOrder);
        ASSERT_EQ(inspection.project.tags.size(), project.tags.size());
        for (size_t t = 0; t < project.tags.size(); ++t) EXPECT_EQ(inspection.project.tags[t].dims, project.tags[t].dims) << t;
        EXPECT_EQ(inspection.project.channels.size(), project.channels.size());
        Compiled again;
        ASSERT_TRUE(Compile(inspection.project, again, diagnostics)) << diagnostics.front().where << ": " << diagnostics.front().message;
        EXPECT_EQ(again.leaves.size(), compiled.leaves.size());
        for (const auto& [path, leaf] : compiled.leaves) {
            ASSERT_TRUE(again.leaves.count(path)) << path;
            EXPECT_EQ(again.leaves.at(path).number, leaf.number) << path;
            EXPECT_EQ(again.leaves.at(path).bit, leaf.bit) << path;
        }
    }
    // A blob of another tool carries no project: every stored type by its name.
    using testing_support::MakeVariable;
    using testing_support::Node;
    const size_t d = *sim::AreaByName("D");
    const auto blob = testing_support::Blob(
        Node(MakeVariable("", "", 21, 0, 0),
             {Node(MakeVariable("u", "u", 6, d, 10)), Node(MakeVariable("f", "f", 9, d, 20)),
              Node(MakeVariable("s", "s", 12, d, 30, 0xFFFFFFFFu, 6)),
              // A project declares up to 8 dimensions.
              Node(MakeVariable("n", "n", 21, d, 40), {Node(MakeVariable("[0,0,0,0,0,0,0,1]", "n[0,0,0,0,0,0,0,1]", 3, d, 40))}),
              Node(MakeVariable("m", "m", 21, d, 50), {Node(MakeVariable("[0,0,0,0,0,0,0,0,0]", "m[0,0,0,0,0,0,0,0,0]", 3, d, 50))})}),
        {"u", "f", "s"});
    Inspection inspection;
    Diagnostics diagnostics;
    ASSERT_TRUE(Inspect(blob, inspection, diagnostics));
    EXPECT_EQ(inspection.note, "the blob carries no project section; described from the tag tree");
    std::string tags;
    for (const Declaration& t : inspection.project.tags)
        tags += t.name + " " + t.type + " " + t.device + " " + std::to_string(t.length) + ";";
    EXPECT_EQ(tags, "u uint32 D10 0;f float D20 0;s string D30 6;n int16 D40 0;");
    // Without a tree there is nothing to describe.
    EXPECT_FALSE(
        Inspect(WriteConfigBlob(WriteSectionedContainer({{SECTION_PROPERTIES, testing_support::PropertySection(200, 0, 0, 1)}}), {}),
                inspection, diagnostics));
    EXPECT_EQ(diagnostics.back().message, "the container holds no tag tree (section 3)");
}

} // namespace
