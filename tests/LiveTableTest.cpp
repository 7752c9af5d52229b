// The live table: laid out for narrow and wide windows, and drawn by fx5-run
// on a pseudo-terminal that pages on a key and follows a resize.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "support/TempPath.h"
#include "tools/fx5-run/TableLayout.h"

using namespace fx5run;

namespace {

TEST(TableCells, CutWithAMarkAndMeasuredInCells)
{
    struct Case {
        const char* text;
        int width;
        bool right;
        const char* fitted;
    };
    const Case cases[] = {
        {"abc", 5, false, "abc  "},
        {"7", 3, true, "  7"},
        {"abcdef", 4, false, "abc\u2026"},
        {"abcd", 4, false, "abcd"},
        {"\u6e29\u5ea6", 4, false, "\u6e29\u5ea6"},   // two wide characters: four cells
        {"\u6e29\u5ea6", 3, false, "\u6e29\u2026"},   // cut after one
        {"\u6e29\u5ea6x", 4, false, "\u6e29 \u2026"}, // the second would straddle the mark
        {"ab\xff"
         "cdef",
         4, false, "ab?\u2026"}, // a byte that is no character
        {"x", 0, false, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(FitCells(c.text, c.width, c.right), c.fitted) << c.text << " in " << c.width;
    EXPECT_EQ(CellWidth("\u6e29\u5ea6_1"), 6);
    const std::pair<int, const char*> statuses[] = {
        {0, "ok"}, {2, "no response"}, {3, "wrong route"}, {100 + 0xC051, "end code C051"}, {-5, "status -5"}};
    for (auto [status, text] : statuses) EXPECT_EQ(StatusCell(status), text);
}

// 50 rows in a window of 30 lines, at 60 and 120 columns: no line wider
// than the window, the header first, the rows in pages, no value cut, the
// status and the latest message last.
TEST(TableLayout, FitsTheWindowAndPagesTheRows)
{
    TableView view;
    for (int i = 0; i < 50; ++i)
        view.rows.push_back({"PLC1", i % 5 ? "tag" + std::to_string(i) : "\u6e29\u5ea6\u30bb\u30f3\u30b5\u30fc_" + std::to_string(i),
                             std::to_string(-1234567 * i), "integer", "good", "0.2s", "end code C051", "10"});
    view.status = {"PLC1: connection refused (127.0.0.1:5000), 3 cycles, 10.0 requests/s, mean 0.16 ms, p99 0.86 ms, 0 reconnects"};
    view.messages = {"older", "12:00:00.000 PLC1: no response (no response within the wait time)"};
    for (int width : {60, 120}) {
        SCOPED_TRACE(width);
        std::vector<std::string> seen;
        const TableLines first = LayOutTable(view, width, 30, 0);
        const auto shown =
            std::count_if(first.lines.begin(), first.lines.end(), [](const std::string& l) { return l.rfind("PLC1 ", 0) == 0; });
        EXPECT_GE(shown, 20);
        EXPECT_EQ(first.pages, (50 + shown - 1) / shown);
        for (int page = 0; page <= first.pages; ++page) {
            const TableLines laid = LayOutTable(view, width, 30, page);
            ASSERT_LE(laid.lines.size(), 30u);
            for (const std::string& line : laid.lines) EXPECT_LE(CellWidth(line), width) << line;
            EXPECT_EQ(laid.lines[0].rfind("device tag", 0), 0u);
            EXPECT_EQ(laid.page, std::min(page, first.pages - 1)) << "past the last page stays on it";
            EXPECT_NE(laid.lines.back().find("no response (no resp"), std::string::npos);
            EXPECT_TRUE(std::any_of(laid.lines.begin(), laid.lines.end(),
                                    [](const std::string& l) { return l.rfind("PLC1: connection refused (127.0.0.1:5000), ", 0) == 0; }));
            EXPECT_TRUE(std::any_of(laid.lines.begin(), laid.lines.end(), [](const std::string& l) {
                return l.find("0 reconnects") != std::string::npos;
            })) << "a status too wide is broken after a comma, not cut";
            seen.insert(seen.end(), laid.lines.begin(), laid.lines.end());
        }
        for (int i = 0; i < 50; ++i) {
            const std::string value = " " + std::to_string(-1234567 * i) + " ";
            EXPECT_TRUE(
                std::any_of(seen.begin(), seen.end(), [&value](const std::string& l) { return l.find(value) != std::string::npos; }))
                << "row " << i << " on some page, whole";
        }
        const std::string all = LayOutTable(view, width, 30, 0).lines[0];
        EXPECT_EQ(all.find("reads") != std::string::npos, width == 120) << "a narrow window drops the least needed column";
    }
    EXPECT_EQ(LayOutTable(view, 120, 0, 0).lines.size(), 1u + 50 + 1 + 1 + 2) << "unbounded: every row and message";
    EXPECT_EQ(LayOutTable(view, 120, 3, 0).lines.size(), 3u) << "a window too low for the table's frame";
}

// fx5-run on a pseudo-terminal of the given size for about two seconds;
// `during` acts on the terminal's master side after one second.
std::string RunOnTerminal(int columns, const std::vector<std::string>& extra, void (*during)(int master, pid_t child))
{
    const std::string project = testing_support::TempPath("live-project.json");
    {
        std::ofstream out(project);
        out << R"({"tags": [)";
        for (int i = 0; i < 40; ++i) out << (i ? "," : "") << R"({"name": "t)" << i << R"(", "type": "int16", "device": "D)" << i << "\"}";
        out << R"(], "channels": [)";
        for (int i = 0; i < 40; ++i) out << (i ? "," : "") << R"({"tag": "t)" << i << "\"}";
        out << "]}";
    }
    std::vector<std::string> args = {FX5_RUN_PATH, "--project",      project, "--duration", "2",
                                     "--driver",   ZOLT_DRIVER_PATH, "--sim", FX5_SIM_PATH};
    args.insert(args.end(), extra.begin(), extra.end());
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = 20;
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, &size);
    if (child == 0) {
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        setenv("TERM", "xterm", 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    std::string output;
    const auto start = std::chrono::steady_clock::now();
    bool acted = false;
    for (;;) {
        if (!acted && std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) {
            during(master, child);
            acted = true;
        }
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buffer[4096];
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) break; // the child has gone
        output.append(buffer, static_cast<size_t>(n));
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(master);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? output : "exit " + std::to_string(status) + "\n" + output;
}

// The lines of the table printed when the screen is given back.
std::vector<std::string> LastTable(const std::string& output)
{
    std::vector<std::string> lines;
    size_t at = output.rfind("\x1b[?1049l");
    if (at == std::string::npos) return lines;
    at = output.find("device", at);
    while (at != std::string::npos && at < output.size() && output.compare(at, 2, "\r\n") != 0) {
        const size_t end = output.find("\r\n", at);
        lines.push_back(output.substr(at, end - at));
        at = end == std::string::npos ? end : end + 2;
    }
    return lines;
}

TEST(LiveTable, DrawnOnTheTerminalPagedByKeysAndFollowingAResize)
{
    for (int columns : {60, 120}) {
        SCOPED_TRACE(columns);
        const std::string output = RunOnTerminal(columns, {}, [](int master, pid_t) { ASSERT_EQ(write(master, " ", 1), 1); });
        EXPECT_NE(output.find("\x1b[?1049h"), std::string::npos) << "a screen of its own";
        EXPECT_NE(output.find("page 1/"), std::string::npos);
        EXPECT_NE(output.find("page 2/"), std::string::npos) << "Space shows the next page";
        EXPECT_EQ(output.find("Spend Time"), std::string::npos) << "the driver's timings only with --verbose";
        const std::vector<std::string> table = LastTable(output);
        ASSERT_GE(table.size(), 41u) << output.substr(output.size() > 2000 ? output.size() - 2000 : 0);
        for (const std::string& line : table) EXPECT_LE(CellWidth(line), columns) << line;
    }
    const std::string resized = RunOnTerminal(120, {"--verbose"}, [](int master, pid_t child) {
        winsize size{};
        size.ws_col = 50;
        size.ws_row = 12;
        ioctl(master, TIOCSWINSZ, &size);
        kill(child, SIGWINCH);
    });
    EXPECT_NE(resized.find("Spend Time"), std::string::npos);
    for (const std::string& line : LastTable(resized)) EXPECT_LE(CellWidth(line), 50) << line;
}

} // namespace
