// What fx5-run shows: in a terminal a live table redrawn in place with a
// status line; otherwise one record per delivered value and per failed
// collection (JSON lines or CSV); and a summary at the end.
#pragma once

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tools/fx5-run/DeviceSession.h"
#include "tools/fx5-run/LiveScreen.h"
#include "tools/fx5-run/TableLayout.h"

namespace fx5run {

enum class Format { Table, JsonLines, Csv };

class Reporter {
public:
    Reporter(Format format, std::FILE* out) : m_format(format), m_out(out) {}
    void Begin();
    // Called from the device threads.
    void OnEvent(const Event& event);
    // The live table, from the main thread: on the terminal's screen while
    // it runs; EndLive gives the screen back and prints the last table.
    void Redraw(const std::vector<std::unique_ptr<DeviceSession>>& sessions);
    void EndLive(const std::vector<std::unique_ptr<DeviceSession>>& sessions);
    void Summary(const std::vector<std::unique_ptr<DeviceSession>>& sessions);
    // The error of the first write to the output that failed, 0 while none
    // has: EPIPE when its reader has gone (`fx5-run | head`).
    int OutputError() const { return m_outputError; }

private:
    void Flush();
    TableView View(const std::vector<std::unique_ptr<DeviceSession>>& sessions);
    // The width of a table printed as text: the terminal's, $COLUMNS, or 120.
    static int PlainWidth();

    Format m_format;
    std::FILE* m_out;
    std::mutex m_lock;
    std::vector<std::string> m_messages; // the table's recent messages
    std::atomic<int> m_outputError{0};
    std::unique_ptr<LiveScreen> m_screen;                // a terminal ncurses drives
    int m_page = 0, m_shownWidth = 0, m_shownHeight = 0; // as last drawn
};

std::string JsonString(const std::string& text);
std::string UtcNow();

} // namespace fx5run
