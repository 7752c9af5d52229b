// The tools as their users call them: exit statuses, what goes to standard
// output and standard error, and the verbose request log.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

#include "support/FileText.h"
#include "support/ShellLine.h"
#include "support/SlmpClient.h"
#include "support/TempPath.h"
#include "tools/common/SimProcess.h"

using namespace testing_support;

namespace {

// Exit statuses and messages, through files and through pipes: "-" reads
// standard input and writes standard output, so the tool joins pipelines;
// output that cannot be written ends with status 1. What went through the
// pipes is what the files give, and inspect's project compiles to the same
// bytes.
TEST(Fx5ConfigCommand, ExitStatusesThroughFilesAndPipes)
{
    const std::string dir = testing_support::TempPath("");
    const std::string example = std::string(FX5_SOURCE_DIR) + "/examples/structures.json";
    const std::string blob = dir + "cli.bin", printed = dir + "cli-printed.json", bad = dir + "cli-bad.json", many = dir + "cli-many.json";
    std::ofstream(bad)
        << R"({"tags": [{"name": "a", "type": "int17", "device": "D1"}, {"name": "b", "type": "int16", "device": "D9000"}]})";
    std::string tags;
    for (int i = 0; i < 60; ++i)
        tags += std::string(i ? "," : "") + R"({"name": "t)" + std::to_string(i) + R"(", "type": "int17", "device": "D1"})";
    std::ofstream(many) << R"({"tags": [)" + tags + "]}";
    // A project of one byte more than standard input is read in (64 KiB): its last "}" must not be lost.
    const std::string padded = dir + "cli-padded.json", project = FileText(example);
    std::ofstream(padded) << project.substr(0, project.rfind('}')) + std::string(65536 - project.rfind('}'), ' ') + "}";
    const auto config = [](const std::vector<std::string>& args) { return ShellLine(FX5_CONFIG_PATH, args); };
    struct Case {
        std::string line;
        int status;
        const char* errors; // expected in standard error
    };
    const Case cases[] = {
        {config({"compile", example, "-o", blob}), 0, ""},
        {config({"check", example}), 0, ""},
        {config({"check", bad}), 1, "2 mistakes"},
        {config({"check", many}), 1, "... 10 more not shown\n60 mistakes"},
        {config({"compile", bad, "-o", dir + "never.bin"}), 1, "/tags/1/device: found D9000"},
        {config({"inspect", dir + "missing.bin"}), 1, "cannot be read"},
        {config({"inspect", example}), 1, "structures.json: not a configuration blob: "},
        {config({}), 2, "subcommand"},
        {config({"compile", example}), 2, "--output"},
        {config({"frobnicate"}), 2, "subcommand"},
        {config({"compile", "-", "-o", dir + "stdin.bin"}) + " < " + ShellWord(example), 0, ""},
        {config({"check", "-"}) + " < " + ShellWord(padded), 0, ""},
        {config({"compile", example, "-o", "-"}) + " | " + config({"inspect", "-"}) + " > " + ShellWord(printed), 0, ""},
        {config({"compile", printed, "-o", dir + "printed.bin"}), 0, ""},
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
    EXPECT_FALSE(FileText(blob).empty());
    EXPECT_EQ(FileText(dir + "stdin.bin"), FileText(blob));
    EXPECT_EQ(FileText(dir + "printed.bin"), FileText(blob));
}

// Every option a tool's --help lists is explained on its page.
TEST(ToolPages, EveryOptionIsOnItsPage)
{
    struct Tool {
        const char* program;
        std::vector<std::string> arguments;
        const char* page;
        const char* man;
    };
    const Tool tools[] = {
        {FX5_RUN_PATH, {"--help"}, "fx5-run.md", "fx5-run.1"},
        {FX5_SIM_PATH, {"--help"}, "fx5-sim.md", "fx5-sim.1"},
        {FX5_CONFIG_PATH, {"--help"}, "project-file.md", "fx5-config.1"},
        {FX5_CONFIG_PATH, {"compile", "--help"}, "project-file.md", "fx5-config.1"},
        {FX5_CONFIG_PATH, {"inspect", "--help"}, "project-file.md", "fx5-config.1"},
        {FX5_CONFIG_PATH, {"import-labels", "--help"}, "project-file.md", "fx5-config.1"},
    };
    for (const Tool& t : tools) {
        std::string help;
        EXPECT_EQ(fx5::RunToEnd(t.program, t.arguments, help, true), 0) << t.program;
        const std::string page = FileText(std::string(FX5_SOURCE_DIR) + "/docs/" + t.page);
        const std::string man = FileText(std::string(FX5_SOURCE_DIR) + "/docs/man/" + t.man);
        ASSERT_FALSE(page.empty()) << t.page;
        ASSERT_FALSE(man.empty()) << t.man;
        // Subcommands are on the manual page too.
        if (t.arguments.size() == 2) {
            EXPECT_NE(man.find(".B " + std::regex_replace(t.arguments[0], std::regex("-"), "\\-")), std::string::npos);
        }
        // The options are the lines of the list that begin with a dash.
        int options = 0;
        std::istringstream lines(help);
        for (std::string line; std::getline(lines, line);) {
            const size_t first = line.find_first_not_of(' ');
            const size_t at = line.find("--");
            if (first == std::string::npos || line[first] != '-' || at == std::string::npos) continue;
            const std::string option = line.substr(at, line.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2) - at);
            ++options;
            EXPECT_NE(page.find("`" + option), std::string::npos) << option << " of " << t.program << " is not on " << t.page;
            EXPECT_NE(man.find(std::regex_replace(option, std::regex("-"), "\\-")), std::string::npos) << option << " is not on " << t.man;
        }
        EXPECT_GT(options, 1) << t.program;
    }
}

// Every command the README and the pages show in a shell block, run as
// printed in a scratch folder holding the files they name: the tools are the
// ones just built, a controller's address is this test's simulator, and a run
// without an end (or of a minute) lasts a second. The set-up commands
// (`sh scripts/...`) are the build itself, and making and installing the
// package is the package test's: they are left out.
TEST(ToolPages, EveryCommandShownRunsAsPrinted)
{
    fx5::SimProcess controller(FX5_SIM_PATH, {});
    ASSERT_TRUE(controller.Running());
    const std::string port = std::to_string(controller.Port()), dir = TempPath("pages/"), source = FX5_SOURCE_DIR;
    std::string errors;
    const std::string demo = source + "/examples/demo-line.json";
    ASSERT_EQ(RunShell("mkdir -p " + ShellWord(dir) + " && cd " + ShellWord(dir) + " && ln -s " + ShellWord(source + "/examples") +
                           " examples && for f in p a b project; do cp " + ShellWord(demo) + " $f.json; done && cp " +
                           ShellWord(source + "/examples/labels/GlobalLabel.txt") + " . && echo '{}' > plant.json && " +
                           ShellLine(FX5_CONFIG_PATH, {"compile", demo, "-o", "plant.bin"}),
                       errors),
              0)
        << errors;
    const std::pair<std::regex, std::string> site[] = {
        {std::regex("build/release/bin/fx5-(sim|run|config)"), "fx5-$1"},
        {std::regex("(^|\\| )fx5-sim"), std::string("$1") + FX5_SIM_PATH},
        {std::regex("(^|\\| )fx5-run"), std::string("$1") + FX5_RUN_PATH},
        {std::regex("(^|\\| )fx5-config"), std::string("$1") + FX5_CONFIG_PATH},
        {std::regex("(192\\.168\\.3\\.250|10\\.0\\.0\\.[0-9]+)"), "127.0.0.1"},
        {std::regex(":5000:"), ":" + port + ":"},
        {std::regex("--duration [0-9]+"), "--duration 1"},
        {std::regex(" +# .*$"), ""},
        {std::regex(" *&$"), ""},
    };
    int run = 0;
    for (const char* page : {"README.md", "docs/fx5-run.md", "docs/fx5-sim.md", "docs/project-file.md", "docs/capture.md"}) {
        std::istringstream text(FileText(source + "/" + page));
        bool inShell = false;
        for (std::string line; std::getline(text, line);) {
            if (line.rfind("```", 0) == 0) {
                inShell = !inShell && line == "```sh";
                continue;
            }
            if (!inShell || line.find("fx5-") == std::string::npos || std::regex_search(line, std::regex("^(sh scripts/|sudo |cd build)")))
                continue;
            std::string command = line;
            for (const auto& [pattern, replacement] : site) command = std::regex_replace(command, pattern, replacement);
            const bool simulator = command.rfind(FX5_SIM_PATH, 0) == 0;
            // A simulator of its own listens on a free port for a second, and
            // ends as on Ctrl-C.
            if (simulator)
                command = "timeout --preserve-status -s INT 1 " + std::regex_replace(command, std::regex("--port [0-9]+"), "--port 0");
            else if (command.find("--port") != std::string::npos)
                command = std::regex_replace(command, std::regex("--port 5000"), "--port " + port);
            else if (command.find("--host") != std::string::npos)
                command += " --port " + port; // the controller's default port is this test's simulator
            if (command.find(FX5_RUN_PATH) == 0 && command.find("--cycles") == std::string::npos &&
                command.find("--duration") == std::string::npos)
                command += " --duration 1";
            SCOPED_TRACE(std::string(page) + ": " + line);
            EXPECT_EQ(RunShell("cd " + ShellWord(dir) + " && " + command + " > out.txt", errors), 0) << command << "\n" << errors;
            ++run;
        }
    }
    EXPECT_GE(run, 15);
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
    // A random bit write counts its points from its one count byte.
    EXPECT_EQ(client.Request(0x1402, 0x0001, {2, 5, 0, 0, code::M, 1, 6, 0, 0, code::M, 0}).endCode, 0);
    ASSERT_TRUE(sim.ReadLine(line, 3000));
    EXPECT_NE(line.find(" random write bits points=2 "), std::string::npos) << line;
    // A command the controller lacks is named by its numbers.
    EXPECT_EQ(client.Request(0x0619, 0x0000, {}).endCode, 0xC059);
    ASSERT_TRUE(sim.ReadLine(line, 3000));
    EXPECT_NE(line.find(" command 0619/0000 points=0 end=C059 "), std::string::npos) << line;
    // A remote command's data counts no points.
    EXPECT_EQ(client.Request(0x1001, 0x0000, {1, 0, 0, 0}).endCode, 0);
    ASSERT_TRUE(sim.ReadLine(line, 3000));
    EXPECT_NE(line.find(" remote RUN points=0 "), std::string::npos) << line;
    // Why a client is dropped: bytes that are no request, an ASCII frame,
    // a connection beyond the controller's 8, a request left half done.
    struct Drop {
        std::vector<uint8_t> bytes;
        const char* why;
    };
    const Drop drops[] = {{{'G', 'E', 'T', ' ', '/', '\r', '\n'}, "closed: bytes that are no 3E or 4E binary request"},
                          {{'5', '0', '0', '0', '0', '0', 'F', 'F'}, "closed: an ASCII frame"},
                          {{0x50, 0x00, 0x00, 0xFF, 0xFF, 0x03, 0x00, 0xFF, 0xFF}, "closed: a data length above 8 192 bytes"}};
    for (const Drop& d : drops) {
        SlmpClient bad(sim.Port());
        bad.SendRaw(d.bytes);
        EXPECT_TRUE(bad.ClosedByPeer(2000)) << d.why;
        ASSERT_TRUE(sim.ReadLine(line, 3000));
        EXPECT_NE(line.find(d.why), std::string::npos) << line;
    }
    std::vector<std::unique_ptr<SlmpClient>> eight;
    for (int i = 0; i < 7; ++i) eight.push_back(std::make_unique<SlmpClient>(sim.Port()));
    SlmpClient ninth(sim.Port());
    EXPECT_TRUE(ninth.ClosedByPeer(2000));
    ASSERT_TRUE(sim.ReadLine(line, 3000));
    EXPECT_NE(line.find("closed: all 8 connections are in use"), std::string::npos) << line;
    eight[0]->SendRaw({0x50, 0x00, 0x00, 0xFF, 0xFF, 0x03, 0x00, 0x0C, 0x00, 0x10});
    EXPECT_TRUE(eight[0]->ClosedByPeer(7000)) << "a half request holds its connection 5 s at most";
    ASSERT_TRUE(sim.ReadLine(line, 3000));
    EXPECT_NE(line.find("closed: a request of 10 bytes was not completed within 5 s"), std::string::npos) << line;
    EXPECT_EQ(sim.Stop().status, 0);
}

} // namespace
