#include "tools/fx5-run/LiveScreen.h"

#include <unistd.h>

#include <clocale>
#include <cstdio>

#include <ncursesw/curses.h>

namespace fx5run {

std::unique_ptr<LiveScreen> LiveScreen::Open()
{
    if (!isatty(STDOUT_FILENO) || !isatty(STDIN_FILENO)) return nullptr;
    // Wide characters are drawn as the terminal's locale says.
    std::setlocale(LC_CTYPE, "");
    ::screen* terminal = newterm(nullptr, stdout, stdin);
    if (!terminal) return nullptr;
    auto live = std::make_unique<LiveScreen>(terminal);
    cbreak(); // Ctrl-C still ends the run
    noecho();
    nodelay(stdscr, TRUE);
    keypad(stdscr, TRUE);
    curs_set(0);
    return live;
}

LiveScreen::~LiveScreen()
{
    endwin();
    delscreen(m_terminal);
}

int LiveScreen::Width() const { return COLS; }
int LiveScreen::Height() const { return LINES; }

int LiveScreen::PageAfterKeys(int page)
{
    for (int key = getch(); key != ERR; key = getch()) {
        if (key == KEY_NPAGE || key == ' ' || key == KEY_DOWN) ++page;
        if ((key == KEY_PPAGE || key == 'b' || key == KEY_UP) && page > 0) --page;
        if (key == KEY_HOME) page = 0;
    }
    return page;
}

void LiveScreen::Show(const std::vector<std::string>& lines, bool whole)
{
    // Another page or size is drawn whole, not as the changes to the last.
    if (whole) clearok(stdscr, TRUE);
    erase();
    for (size_t i = 0; i < lines.size() && static_cast<int>(i) < LINES; ++i) mvaddstr(static_cast<int>(i), 0, lines[i].c_str());
    refresh();
}

} // namespace fx5run
