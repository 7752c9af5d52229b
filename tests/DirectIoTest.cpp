// Control strings: "SetChlTag" and the twelve direct commands end to end
// against the controller model, results read back from host variables.
#include <algorithm>
#include <cstring>

#include "support/BlobBuilder.h"
#include "support/EngineFixture.h"

using namespace testing_support;

namespace {

class DirectIo : public EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        std::vector<TreeSerialize::NodeSpec> data;
        for (uint32_t i = 0; i < 4; ++i)
            data.push_back(Node(MakeVariable("[" + std::to_string(i) + "]", "d[" + std::to_string(i) + "]", 4, REG_D, 10 + i)));
        blob = Blob(Node(MakeVariable("", "", 21, 0, 0), {Node(MakeVariable("d", "d", 21, 0, 0), data)}), {"d[0]", "d[1]"});
        driver = std::make_unique<KVSG::KVSGConvertLayer>("PLC1", &store);
        driver->UpdataCommunication(&comm);
        ASSERT_EQ(driver->InitDevice(blob.data(), static_cast<int>(blob.size())), 0);
        d = *sim::AreaByName("D");
    }
    int Run(const char* text) { return driver->DevIOCtrl(text); }
    double Var(const std::string& name)
    {
        auto it = store.variables.find(name);
        if (it == store.variables.end()) return -99999;
        if (auto* i = std::get_if<int>(&it->second)) return *i;
        if (auto* v = std::get_if<double>(&it->second)) return *v;
        return -88888;
    }
    std::string Text(const std::string& name)
    {
        auto it = store.variables.find(name);
        if (it == store.variables.end()) return "<none>";
        auto* s = std::get_if<std::string>(&it->second);
        return s ? *s : "<not text>";
    }

    std::vector<unsigned char> blob;
    std::unique_ptr<KVSG::KVSGConvertLayer> driver;
    size_t d = 0;
};

TEST_F(DirectIo, ResultCodesOfControlStrings)
{
    store.variables["res"] = 0.0;
    store.variables["st"] = 0.0;
    store.variables["out"] = 0.0;
    store.variables["txt"] = std::string();
    struct Case {
        const char* text;
        int result;
        void (*before)(sim::Faults&);
    };
    auto none = [](sim::Faults&) {};
    const Case cases[] = {
        {"READ D,10,WUB=out", -5, none},
        {"SetChlTag(1,1,1,0)", 5, none},
        {"setchltag(1,1,1,0,res)", 0, none},
        {"SetChlTag(1,1,1,0,res,)", 0, none},
        {"SetChlTag(9,1,1,0,res)", 100008, none},
        {"SetHiddenPro(1)", 0, none},
        {"READ(D,10,WUB=out)", 0, none},
        {"READ(Q,10,WUB=out,st)", 5, none},
        {"READ(D,10,STR=out,st)", 5, none},
        {"WRITE(X,1,BUB=out,st)", 5, none},
        {"READ(D,10,wub=out,st)", 5, none},
        {"READ(D,10,WUB =out,st)", 5, none},
        {"READBLOCK(D,10,[ wub ],1,txt,st)", 0, none},
        {"READBLOCK(D,10,[WUB],0,txt,st)", 5, none},
        {"READBLOCK(D,10,[],1,txt,st)", 5, none},
        {"WRITEBLOCK(D,10,[WUB],-1,7,st)", 5, none},
        {"READ(D,10,WUB=txt,st)", 6, none},
        {"READ(D,10,WUB=out,st)", 2, [](sim::Faults& f) { f.silent = true; }},
        {"READ(D,10,WUB=out,st)", 3, [](sim::Faults& f) { f.wrongRouting = true; }},
        {"READ(D,10,WUB=out,st)", 100 + 0xC056, [](sim::Faults& f) { f.forcedEndCode = 0xC056; }},
        {"WRITE(D,10,WUB=out,st)", 4, [](sim::Faults& f) { f.silent = true; }},
        {"UNKNOWN(1)", 4, none}, // an unknown word keeps the last status
    };
    for (const Case& c : cases) {
        comm.faults() = sim::Faults();
        c.before(comm.faults());
        EXPECT_EQ(Run(c.text), c.result) << c.text;
    }
    EXPECT_EQ(Var("st"), 4) << "the status parameter receives the status";
    EXPECT_EQ(driver->DevIOCtrl(nullptr), static_cast<int>(0x80000001u));

    KVSG::KVSGConvertLayer lonely("PLC2", &store);
    EXPECT_EQ(lonely.DevIOCtrl("READ(D,1,WUB=out)"), -2);
    driver->SetChannelAddress(0, 0);
    driver->ConvertLayer::SetChannelAddress(0, -100);
    EXPECT_EQ(Run("READ(D,10,WUB=out)"), -10);
}

TEST_F(DirectIo, ReadCommandsDeliverToHostVariables)
{
    const size_t m = *sim::AreaByName("M"), lz = *sim::AreaByName("LZ"), w = *sim::AreaByName("W"), x = *sim::AreaByName("X");
    for (uint16_t i = 0; i < 10; ++i) memory.SetWord(d, 100 + i, static_cast<uint16_t>(i * 11));
    memory.SetDword(d, 200, 4000000000u);
    memory.SetWord(d, 300, 0x0020);
    memory.SetBit(m, 7, true);
    memory.SetBit(x, 8, true);
    memory.SetDword(lz, 1, static_cast<uint32_t>(-5));
    memory.SetWord(w, 0x1F, 77);
    for (const char* name : {"a", "b", "c", "bit", "m7", "x8", "lz", "w", "v098", "v099", "v100", "st"}) store.variables[name] = 0.0;
    for (const char* name : {"big", "block", "multi"}) store.variables[name] = std::string();
    store.variables["ps"] = 9.0; // the status after the generated names

    struct Case {
        const char* text;
        std::vector<std::pair<const char*, double>> numbers;
    };
    const Case cases[] = {
        {"READ(D,101,WUB=a)", {{"a", 11}}},
        {"READ(D,300,BT05=bit)", {{"bit", 1}}},
        {"READ(M,7,BUB=m7;X,8,BUB=x8)", {{"m7", 1}, {"x8", 1}}},
        {"READ(LZ,1,DB=lz)", {{"lz", -5}}},
        {"READ(W,1F,WUB=w)", {{"w", 77}}},
        {"READP(D,102,WUB,3,a,b,c)", {{"a", 22}, {"b", 33}, {"c", 44}}},
        {"READPV(D,107,WUB,3,v098,ps)", {{"v098", 77}, {"v099", 88}, {"v100", 99}, {"ps", 0}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.text), 0) << c.text;
        for (auto [name, value] : c.numbers) EXPECT_EQ(Var(name), value) << c.text << " " << name;
    }
    EXPECT_EQ(Run("READ32(D,200,DUB=big)"), 0);
    EXPECT_EQ(Text("big"), "4000000000");
    memory.SetDword(d, 202, 0x40200000u); // 2.5f
    EXPECT_EQ(Run("READ32(D,202,DF=big)"), 0);
    EXPECT_EQ(Text("big"), "2.500000");
    EXPECT_EQ(Run("READBLOCK(D,100,[WUB][WB],2,block)"), 0);
    EXPECT_EQ(Text("block"), "0,11\r\n22,33\r\n");
    EXPECT_EQ(Run("ReadMutiReg(D,104,3,WUB,multi,st)"), 0);
    EXPECT_EQ(Text("multi"), "44,55,66");
    EXPECT_EQ(Var("st"), 0);
}

TEST_F(DirectIo, WriteCommandsLandInTheController)
{
    const size_t y = *sim::AreaByName("Y"), lcn = *sim::AreaByName("LCN"), b = *sim::AreaByName("B");
    store.variables["v"] = 1234.0;
    store.variables["p1"] = 5.0;
    store.variables["p2"] = 6;
    store.variables["q01"] = 7.0;
    store.variables["q02"] = 8.0;
    store.variables["list"] = std::string("9,1\r\n0,11\n5"); // CR LF pairs are removed, a lone LF is not
    store.variables["on"] = 1;
    memory.SetWord(d, 400, 0xFFFF);
    EXPECT_EQ(Run("WRITE(D,50,WUB=v)"), 0);
    EXPECT_EQ(memory.GetWord(d, 50), 1234);
    EXPECT_EQ(Run("WRITE(D,400,BT00=0)"), 0);
    EXPECT_EQ(memory.GetWord(d, 400), 0xFFFE) << "the other bits stay";
    EXPECT_EQ(Run("WRITE(Y,12,BUB=on)"), 0);
    EXPECT_TRUE(memory.GetBit(y, 12));
    EXPECT_EQ(Run("WRITE32(LCN,4,DUB=4000000001)"), 0);
    EXPECT_EQ(memory.GetDword(lcn, 4), 4000000001u);
    EXPECT_EQ(Run("WRITE32(D,60,DF=2.5)"), 0);
    float f;
    const uint32_t bits = memory.GetDword(d, 60);
    std::memcpy(&f, &bits, 4);
    EXPECT_EQ(f, 2.5f);
    EXPECT_EQ(Run("WRITEP(D,70,WUB,2,p1,p2)"), 0);
    EXPECT_EQ(memory.GetWord(d, 71), 6);
    EXPECT_EQ(Run("WRITEPV(D,80,WB,2,q01)"), 0);
    EXPECT_EQ(memory.GetWord(d, 81), 8);
    EXPECT_EQ(Run("WRITEBLOCK(D,90,[WUB][WB],2,1,-2,3,-4)"), 0);
    EXPECT_EQ(memory.GetWord(d, 91), 0xFFFE);
    EXPECT_EQ(memory.GetWord(d, 93), 0xFFFC);
    EXPECT_EQ(Run("WriteMutiReg(D,95,3,WUB,list)"), 0);
    EXPECT_EQ(memory.GetWord(d, 96), 10);
    EXPECT_EQ(memory.GetWord(d, 97), 11);
    EXPECT_EQ(Run("WRITE32(D,62,DB=2.7)"), 0);
    EXPECT_EQ(memory.GetDword(d, 62), 2u) << "read with %d: the digits before the point";
    // A write splits at the table's 400 points of a bit device, not at the
    // read cap of 115.
    std::string points = "1";
    for (int i = 1; i < 200; ++i) points += i % 2 ? ",0" : ",1";
    store.variables["points"] = points;
    comm.ClearRequests();
    EXPECT_EQ(Run("WriteMutiReg(M,0,200,BUB,points)"), 0);
    EXPECT_EQ(comm.requests().size(), 1u);
    EXPECT_TRUE(memory.GetBit(*sim::AreaByName("M"), 198));
    EXPECT_EQ(Run("WriteMutiReg(B,1F,3,BUB,1,0,1)"), 0);
    EXPECT_TRUE(memory.GetBit(b, 0x1F));
    EXPECT_FALSE(memory.GetBit(b, 0x20));
    EXPECT_TRUE(memory.GetBit(b, 0x21));
    // Three attempts a rank; answers of the wrong length are passed over and
    // the command goes on, delivering the initial values.
    store.variables["a"] = 55.0;
    store.variables["b"] = 66.0;
    comm.faults().cutBytes = 1;
    comm.ClearRequests();
    EXPECT_EQ(Run("READ(D,10,WUB=a;D,500,WUB=b)"), 0);
    EXPECT_EQ(comm.requests().size(), 6u);
    EXPECT_EQ(Var("b"), 0.0);
    comm.faults() = sim::Faults();
    // Later commands of a string run first.
    EXPECT_EQ(Run("WRITE(D,51,WUB=1)WRITE(D,51,WUB=2)"), 0);
    EXPECT_EQ(memory.GetWord(d, 51), 1);
}

TEST_F(DirectIo, MalformedStringsChangeNothing)
{
    store.variables["out"] = 0.0;
    const std::string longText(100000, 'A');
    const std::string manyCommands = [] {
        std::string s;
        for (int i = 0; i < 2000; ++i) s += "NOPE(1)";
        return s;
    }();
    const char* garbage[] = {"",
                             "(",
                             ")",
                             ")(",
                             "READ(",
                             "READ)",
                             "READ()",
                             "READ(,,,)",
                             "READ(D)",
                             "READ(D,-1,WUB=out)",
                             "READ(W,xyz,WUB=out)",
                             "READ(X,1F,BUB=out)",
                             "READ(D,10,WUB)",
                             "READ(D,10,=out)",
                             "READP(D,1,WUB,3,a,b)",
                             "READPV(D,1,WUB,2,name)",
                             "READBLOCK(D,1,WUB,2,x)",
                             "WRITE(D,1,WUB=)",
                             "READ(D,10,W\xff\xfe=out)",
                             "SetChlTag()",
                             "SetChlTag(,,,,,,)",
                             "READP(D,1,WUB,99999,a)"};
    std::vector<std::string> texts(std::begin(garbage), std::end(garbage));
    texts.push_back("READ(" + longText + ")");
    texts.push_back(longText);
    texts.push_back(manyCommands);
    const int rows = driver->Table()->GetRowCount();
    for (const std::string& text : texts) {
        const int result = Run(text.c_str());
        EXPECT_TRUE(result == -5 || result == 5 || result == 0) << text.substr(0, 40) << " gave " << result;
    }
    EXPECT_TRUE(comm.requests().empty()) << "nothing reached the controller";
    EXPECT_EQ(driver->Table()->GetRowCount(), rows);
    EXPECT_STREQ(driver->Table()->Row(0)->Name().c_str(), "读写DWUB0010");
}

TEST_F(DirectIo, SetChlTagRebindsAndReplaysTheReferences)
{
    store.variables["res"] = 0.0;
    store.variables["off"] = 2;
    store.DeclareChannels(2, DATATYPE_DOUBLE);
    memory.SetWord(d, 12, 1200);
    const int refs[2] = {1, 1};
    ASSERT_EQ(driver->ChannelRefChange(refs, 2), 0);
    EXPECT_EQ(Run("SetChlTag( 1 , 1 , off , 0 , res )"), 0);
    EXPECT_EQ(Var("res"), 0);
    EXPECT_STREQ(driver->Table()->Row(driver->HostToRow()[0])->Name().c_str(), "读写DWUB0012");
    const int flags[2] = {1, 1};
    for (int i = 0; i < 2; ++i) driver->CollectDevData(flags, 2);
    EXPECT_EQ(store.Number(0), 1200) << "the plan follows the new binding";
    EXPECT_EQ(Run("SetChlTag(2,1,9,0,res)"), 300002);
    EXPECT_EQ(Var("res"), 300002);
}

TEST_F(DirectIo, ReadResultsAreDeliveredInRowOrder)
{
    // D100 sorts before D200: the last delivery, to "good", decides.
    store.variables["good"] = 0.0;
    store.variables["st"] = 9.0;
    memory.SetWord(d, 200, 2);
    EXPECT_EQ(Run("READ(D,200,WUB=good;D,100,WUB=missing,st)"), 0);
    EXPECT_EQ(Var("st"), 0.0) << "used to be 6";
    EXPECT_EQ(Var("good"), 2.0);
}

TEST_F(DirectIo, CountsFollowTheGenerationRules)
{
    store.variables["a"] = 0.0;
    store.variables["all"] = std::string();
    memory.SetWord(d, 10, 31);
    memory.SetWord(d, 4999, 49);
    EXPECT_EQ(Run("READP(D,10,WUB,0,a)"), 0) << "a count of 0 makes one channel";
    EXPECT_EQ(Var("a"), 31.0);
    for (const char* count : {"5000", "6000", "-1"}) {
        const std::string text = std::string("ReadMutiReg(D,0,") + count + ",WUB,all)";
        EXPECT_EQ(Run(text.c_str()), 0) << count;
        const std::string all = Text("all");
        EXPECT_EQ(std::count(all.begin(), all.end(), ','), 4999) << count;
        EXPECT_EQ(all.substr(all.size() - 3), ",49") << count;
    }
    // Repetitions have the bound of every count, and are refused beyond it.
    store.variables["r"] = std::string();
    EXPECT_EQ(Run("READBLOCK(D,0,[WUB],5000,r)"), 0);
    const std::string r = Text("r");
    EXPECT_EQ(std::count(r.begin(), r.end(), '\n'), 5000);
    EXPECT_EQ(r.substr(r.size() - 4), "49\r\n");
    EXPECT_EQ(Run("READBLOCK(D,0,[WUB],5001,r)"), 5);
}

TEST_F(DirectIo, AddressesAndNamesAsTheCommandGrammarReadsThem)
{
    store.variables["out"] = 0.0;
    store.variables["reg"] = std::string(" D");
    store.variables["v0000000001"] = 0.0;
    store.variables["v0000000002"] = 0.0;
    memory.SetWord(d, 12, 1200);
    memory.SetWord(d, 13, 1300);
    EXPECT_EQ(Run("READ(D,12abc,WUB=out)"), 0) << "decimal digits up to the first other character";
    EXPECT_EQ(Var("out"), 1200.0);
    EXPECT_EQ(Run("READ(reg,12,WUB=out)"), 5) << "a register name from a text variable is not trimmed";
    EXPECT_EQ(Run("READPV(D,12,WUB,2,v0000000001)"), 0) << "ten trailing digits";
    EXPECT_EQ(Var("v0000000001"), 1200.0);
    EXPECT_EQ(Var("v0000000002"), 1300.0);
    // B, W, SB and SW are numbered in hexadecimal, SM and the rest in decimal.
    for (const char* name : {"B", "W", "SB", "SW", "SM"}) {
        const size_t area = *sim::AreaByName(name);
        const bool bit = memory.Area(area).unit == sim::DeviceUnit::Bit;
        bit ? memory.SetBit(area, 0x10, true) : memory.SetWord(area, 0x10, 77);
        const bool hex = std::string(name) != "SM";
        EXPECT_EQ(Run((std::string("READ(") + name + ",10," + (bit ? "BUB" : "WUB") + "=out)").c_str()), 0) << name;
        EXPECT_EQ(Var("out"), hex ? (bit ? 1.0 : 77.0) : 0.0) << name;
    }
}

} // namespace
