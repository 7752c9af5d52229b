#include "tools/fx5-run/TableLayout.h"

#include <locale.h>
#include <wchar.h>

#include <algorithm>
#include <cstdio>

#include "vi5z_uvevarov_ave/ResultCodes.h"

namespace fx5run {

namespace {

const char kEllipsis[] = "\xE2\x80\xA6"; // "…", one cell

// One character of `text` from `at`: its byte length and its cells. Widths
// come from the C library's tables for UTF-8, whatever locale the program
// runs in; a byte that starts no valid character is one cell of its own.
void NextCharacter(const std::string& text, size_t at, size_t& bytes, int& cells)
{
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    const locale_t before = utf8 ? uselocale(utf8) : static_cast<locale_t>(nullptr);
    wchar_t wide = 0;
    std::mbstate_t state{};
    const size_t n = std::mbrtowc(&wide, text.data() + at, text.size() - at, &state);
    bytes = n == 0 || n > text.size() - at ? 1 : n;
    cells = n == 0 || n > text.size() - at ? 1 : wcwidth(wide);
    if (cells < 0) cells = 1; // a control character: shown as one cell
    if (before) uselocale(before);
}

struct Column {
    const char* title;
    std::string TableRow::*field;
    int width;     // fixed, or the least for a flexible column
    bool flexible; // device, tag and value share the room left
    bool right;
    int keep; // the column dropped first has the lowest
};

// A status line broken after its commas where it is wider than the window,
// the lines after the first indented; a piece still too wide is cut.
std::vector<std::string> WrapAtCommas(const std::string& text, int width)
{
    std::vector<std::string> lines;
    std::string line;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(", ", at);
        end = end == std::string::npos ? text.size() : end + 2;
        const std::string piece = text.substr(at, end - at);
        if (!line.empty() && CellWidth(line + piece) > width) {
            lines.push_back(FitCells(line, width));
            line = "  ";
        }
        line += piece;
        at = end;
    }
    lines.push_back(FitCells(line, width));
    return lines;
}

} // namespace

int CellWidth(const std::string& text)
{
    int cells = 0;
    for (size_t at = 0; at < text.size();) {
        size_t bytes = 0;
        int width = 0;
        NextCharacter(text, at, bytes, width);
        cells += width;
        at += bytes;
    }
    return cells;
}

std::string FitCells(const std::string& text, int width, bool right)
{
    if (width <= 0) return std::string();
    const int whole = CellWidth(text);
    if (whole <= width) {
        const std::string pad(static_cast<size_t>(width - whole), ' ');
        return right ? pad + text : text + pad;
    }
    // Cut to width - 1 cells, then the mark; a wide character that would
    // straddle the edge leaves a space.
    std::string out;
    int cells = 0;
    for (size_t at = 0; at < text.size();) {
        size_t bytes = 0;
        int w = 0;
        NextCharacter(text, at, bytes, w);
        if (cells + w > width - 1) break;
        // Bytes that start no character are shown as "?", never half a sequence.
        out += bytes == 1 && static_cast<unsigned char>(text[at]) >= 0x80 ? std::string("?") : text.substr(at, bytes);
        cells += w;
        at += bytes;
    }
    return out + std::string(static_cast<size_t>(width - 1 - cells), ' ') + kEllipsis;
}

std::string StatusCell(int status)
{
    switch (status) {
    case STATUS_GOOD: return "ok";
    case STATUS_NO_BLOCK: return "no block";
    case STATUS_NO_RESPONSE: return "no response";
    case STATUS_ROUTING_MISMATCH: return "wrong route";
    default: break;
    }
    if (status >= STATUS_END_CODE && status <= STATUS_END_CODE + 0xFFFF) {
        char text[24];
        std::snprintf(text, sizeof text, "end code %04X", static_cast<unsigned>(status - STATUS_END_CODE));
        return text;
    }
    return "status " + std::to_string(status);
}

TableLines LayOutTable(const TableView& view, int width, int height, int page)
{
    // Each column wants its title and its longest cell (a fixed column at
    // most its own width); `least` is as narrow as a name or value may get.
    std::vector<Column> columns = {
        {"device", &TableRow::device, 6, true, false, 6}, {"tag", &TableRow::tag, 8, true, false, 8},
        {"value", &TableRow::value, 8, true, true, 9},    {"status", &TableRow::status, 13, false, false, 5},
        {"age", &TableRow::age, 7, false, true, 4},       {"quality", &TableRow::quality, 7, false, false, 3},
        {"type", &TableRow::type, 7, false, false, 2},    {"reads", &TableRow::reads, 8, false, true, 1},
    };
    std::vector<int> least;
    for (Column& c : columns) {
        int longest = CellWidth(c.title);
        for (const TableRow& row : view.rows) longest = std::max(longest, CellWidth(row.*c.field));
        least.push_back(c.flexible ? std::min(c.width, longest) : 0);
        c.width = c.flexible ? longest : std::min(c.width, longest);
    }
    const auto needed = [&columns] {
        int cells = -1;
        for (const Column& c : columns) cells += c.width + 1;
        return cells;
    };
    // A narrow window drops the columns least needed first (never device,
    // tag or value), then narrows the device's name, the tag's, and last the
    // value's: digits matter more than the end of a name.
    for (;;) {
        auto drop = columns.end();
        for (auto c = columns.begin(); c != columns.end(); ++c)
            if (!c->flexible && (drop == columns.end() || c->keep < drop->keep)) drop = c;
        if (needed() <= width || drop == columns.end()) break;
        least.erase(least.begin() + (drop - columns.begin()));
        columns.erase(drop);
    }
    for (size_t c = 0; c < 3 && needed() > width; ++c) columns[c].width = std::max(least[c], columns[c].width - (needed() - width));
    const auto line = [&columns, width](const TableRow* row) {
        std::string out;
        for (const Column& c : columns) {
            if (!out.empty()) out += ' ';
            out += FitCells(row ? row->*c.field : std::string(c.title), c.width, c.right);
        }
        return FitCells(out, width);
    };

    TableLines laid;
    std::vector<std::string> footer;
    for (const std::string& s : view.status) {
        const std::vector<std::string> wrapped = WrapAtCommas(s, width);
        footer.insert(footer.end(), wrapped.begin(), wrapped.end());
    }
    // The messages get the lines rows leave; at least the latest two show.
    const int rowsWanted = static_cast<int>(view.rows.size());
    const int statusLines = static_cast<int>(footer.size());
    int messageRoom = static_cast<int>(view.messages.size());
    int rowRoom = rowsWanted;
    if (height > 0) {
        const int fixed = 1 + statusLines + 1; // header, status, the page line
        messageRoom = std::min(messageRoom, std::max(2, height - fixed - rowsWanted));
        rowRoom = std::max(1, height - fixed - messageRoom);
    }
    laid.pages = rowsWanted == 0 ? 1 : (rowsWanted + rowRoom - 1) / rowRoom;
    laid.page = std::clamp(page, 0, laid.pages - 1);
    laid.lines.push_back(line(nullptr));
    const int first = laid.page * rowRoom;
    for (int r = first; r < std::min(rowsWanted, first + rowRoom); ++r) laid.lines.push_back(line(&view.rows[static_cast<size_t>(r)]));
    if (laid.pages > 1) {
        char text[128];
        std::snprintf(text, sizeof text, "page %d/%d (rows %d-%d of %d): PgDn/Space next, PgUp/b back", laid.page + 1, laid.pages,
                      first + 1, std::min(rowsWanted, first + rowRoom), rowsWanted);
        laid.lines.push_back(FitCells(text, width));
    } else {
        laid.lines.emplace_back(static_cast<size_t>(std::max(width, 0)), ' ');
    }
    laid.lines.insert(laid.lines.end(), footer.begin(), footer.end());
    for (size_t m = view.messages.size() - static_cast<size_t>(std::min<int>(messageRoom, static_cast<int>(view.messages.size())));
         m < view.messages.size(); ++m)
        laid.lines.push_back(FitCells(view.messages[m], width));
    if (height > 0 && static_cast<int>(laid.lines.size()) > height) laid.lines.resize(static_cast<size_t>(height));
    return laid;
}

} // namespace fx5run
