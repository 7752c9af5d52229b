// The tools as their users call them: exit statuses, what goes to standard
// output and standard error, and the verbose request log.
#include <gtest/gtest.h>

#include <fstream>

#include "support/FileText.h"
#include "support/ShellLine.h"
#include "support/SlmpClient.h"
#include "support/TempPath.h"
#include "tools/common/SimProcess.h"

using namespace testing_support;

namespace {

TEST(Fx5ConfigCommand, ExitStatusesAndTheRoundTripThroughFiles)
{
    const std::string dir = testing_support::TempPath("");
    const std::string example = std::string(FX5_SOURCE_DIR) + "/examples/structures.json";
    const std::string blob = dir + "cli.bin", blob2 = dir + "cli2.bin", printed = dir + "cli-printed.json", bad = dir + "cli-bad.json";
    std::ofstream(bad)
        << R"({"tags": [{"name": "a", "type": "int17", "device": "D1"}, {"name": "b", "type": "int16", "device": "D9000"}]})";
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* errors; // expected in standard error
    };
    const Case cases[] = {
        {{"compile", example, "-o", blob}, 0, ""},
        {{"check", example}, 0, ""},
        {{"check", bad}, 1, "2 mistakes"},
        {{"compile", bad, "-o", dir + "never.bin"}, 1, "/tags/1/device: found D9000"},
        {{"inspect", dir + "missing.bin"}, 1, "cannot be read"},
        {{}, 2, "subcommand"},
        {{"compile", example}, 2, "--output"},
        {{"frobnicate"}, 2, "subcommand"},
    };
    for (const Case& c : cases) {
        std::string errors;
        EXPECT_EQ(fx5::RunToEnd(FX5_CONFIG_PATH, c.args, errors), c.status) << (c.args.empty() ? "" : c.args[0]) << ": " << errors;
        EXPECT_NE(errors.find(c.errors), std::string::npos) << errors;
    }
    // inspect prints the project on standard output; compiling that gives the same bytes.
    fx5::ChildProcess inspect(FX5_CONFIG_PATH, {"inspect", blob});
    std::string text, line;
    while (inspect.ReadLine(line, 5000)) text += line + "\n";
    EXPECT_EQ(inspect.Wait(5).status, 0);
    std::ofstream(printed) << text;
    std::string errors;
    ASSERT_EQ(fx5::RunToEnd(FX5_CONFIG_PATH, {"compile", printed, "-o", blob2}, errors), 0) << errors;
    EXPECT_EQ(FileText(blob), FileText(blob2));
    EXPECT_FALSE(FileText(blob).empty());
}

// "-" reads standard input and writes standard output, so the tool joins
// pipelines; output that cannot be written all ends with status 1.
TEST(Fx5ConfigCommand, PipelinesThroughStandardStreamsAndLostOutputFails)
{
    const std::string dir = testing_support::TempPath("");
    const std::string example = std::string(FX5_SOURCE_DIR) + "/examples/structures.json";
    const std::string blob = dir + "pipe.bin", printed = dir + "pipe-printed.json", bad = dir + "pipe-bad.json";
    std::ofstream(bad) << R"({"tags": [{"name": "a", "type": "int17", "device": "D1"}]})";
    const auto config = [](const std::vector<std::string>& args) { return ShellLine(FX5_CONFIG_PATH, args); };
    struct Case {
        std::string line;
        int status;
        const char* errors; // expected in standard error
    };
    const Case cases[] = {
        {config({"compile", "-", "-o", blob}) + " < " + ShellWord(example), 0, ""},
        {config({"compile", example, "-o", "-"}) + " | " + config({"inspect", "-"}) + " > " + ShellWord(printed), 0, ""},
        {config({"check", "-"}) + " < " + ShellWord(bad), 1, "<stdin>: /tags/0/type: unknown data type"},
        {config({"import-labels", "-", "-o", "-"}) + " < /dev/null", 1, "<stdin>: no column titles"},
        {config({"compile", example, "-o", "-"}) + " > /dev/full", 1, "<stdout>: cannot be written"},
        {config({"compile", example, "-o", "/dev/full"}), 1, "/dev/full: cannot be written"},
        {config({"inspect", blob}) + " > /dev/full", 1, "<stdout>: cannot be written"},
        {config({"inspect", "--tree", blob}) + " > /dev/full", 1, "<stdout>: cannot be written"},
        {config({"check", example}) + " > /dev/full", 1, "<stdout>: cannot be written"},
    };
    for (const Case& c : cases) {
        std::string errors;
        EXPECT_EQ(RunShell(c.line, errors), c.status) << c.line << "\n" << errors;
        EXPECT_NE(errors.find(c.errors), std::string::npos) << c.line << "\n" << errors;
    }
    // What went through the pipes is what the files give.
    std::string errors;
    ASSERT_EQ(RunShell(config({"compile", printed, "-o", dir + "pipe2.bin"}), errors), 0) << errors;
    EXPECT_EQ(FileText(blob), FileText(dir + "pipe2.bin"));
    EXPECT_FALSE(FileText(blob).empty());
}

TEST(Fx5SimCommand, VerboseLogsOneLinePerRequest)
{
    fx5::SimProcess sim(FX5_SIM_PATH, {"--verbose"});
    ASSERT_TRUE(sim.Running());
    SlmpClient client(sim.Port());
    ASSERT_EQ(client.ReadWords(code::D, 100, 3).size(), 3u);
    std::string line;
    ASSERT_TRUE(sim.ReadLine(line, 3000));
    // client, command, device, points, end code, microseconds
    EXPECT_NE(line.find("127.0.0.1:"), std::string::npos) << line;
    EXPECT_NE(line.find("batch read words D100 points=3 end=0000"), std::string::npos) << line;
    EXPECT_NE(line.find("us"), std::string::npos) << line;
    EXPECT_EQ(sim.Stop().status, 0);
}

} // namespace
