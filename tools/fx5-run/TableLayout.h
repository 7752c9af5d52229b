// The live table laid out for a window of a given size: columns that fit its
// width (the least needed dropped first when it is narrow), texts cut with
// "…" and measured in terminal cells (wide characters take two), the rows
// paged when there are more than lines, and the header, the status lines and
// the latest messages always in view.
#pragma once

#include <string>
#include <vector>

namespace fx5run {

struct TableRow {
    std::string device, tag, value, type, quality, age, status, reads;
};

struct TableView {
    std::vector<TableRow> rows;
    std::vector<std::string> status;   // one line a device: link, rates, times
    std::vector<std::string> messages; // the latest last
};

struct TableLines {
    std::vector<std::string> lines; // none wider than the window
    int page = 0;                   // the page shown, after clamping
    int pages = 1;
};

// `height` 0: no limit on lines (every row on one page, every message).
TableLines LayOutTable(const TableView& view, int width, int height, int page);

// Terminal cells `text` (UTF-8) takes; a byte that is no character takes one.
int CellWidth(const std::string& text);
// `text` in exactly `width` cells: cut with "…" when it is wider, padded
// with spaces (on the left when `right`) when it is narrower.
std::string FitCells(const std::string& text, int width, bool right = false);

// A collection status as a person reads it in a table cell: "ok",
// "no response", "end code C051".
std::string StatusCell(int status);

} // namespace fx5run
