// The terminal the live table is drawn on, through ncurses: the window's
// size as it is now (a resize is followed at the next draw), lines put in
// place without scrolling, and the paging keys read without waiting.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct screen;

namespace fx5run {

class LiveScreen {
public:
    // Nothing when standard output is no terminal ncurses can drive.
    static std::unique_ptr<LiveScreen> Open();
    explicit LiveScreen(::screen* terminal) : m_terminal(terminal) {}
    ~LiveScreen();
    LiveScreen(const LiveScreen&) = delete;
    LiveScreen& operator=(const LiveScreen&) = delete;

    int Width() const;
    int Height() const;
    // The page the keys pressed since the last call move to, from `page`
    // (PgDn, Space: next; PgUp, b: back; Home: first).
    int PageAfterKeys(int page);
    void Show(const std::vector<std::string>& lines, bool whole);

private:
    ::screen* m_terminal;
};

} // namespace fx5run
