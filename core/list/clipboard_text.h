#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>

#include "core/list/row_text.h"

// Which columns of the connection list go to the clipboard, by column index.
using ChosenColumns = std::array<bool, CellCount>;

// Whether any column is chosen: without one there is nothing to copy, and the caller tells the
// user instead of emptying the clipboard.
bool AnyColumnChosen(const ChosenColumns& chosen);

// The clipboard text of the listed rows: one record per row, in list order, each chosen
// column's cell text followed by a TAB in ascending column order, then CR LF. Nothing when no
// column is chosen.
std::optional<std::string> ClipboardText(const ChosenColumns& chosen, std::span<const TcpRow> rows);
