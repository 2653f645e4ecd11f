#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "app/list_cells.h"

// Which columns of the connection list go to the clipboard, by column index.
using ChosenColumns = std::array<bool, kListColumnCount>;

// The text of the list's cell at a row (from 0) and a column, as the list shows it.
using CellText = std::function<std::string(int row, int column)>;

// The clipboard text of a list of rowCount rows: one record per row, in list order, each chosen
// column's text followed by a TAB in ascending column order, then CR LF. Nothing when no column
// is chosen; the caller tells the user instead of emptying the clipboard.
std::optional<std::string> ClipboardText(const ChosenColumns& chosen, int rowCount,
                                         const CellText& cell);
