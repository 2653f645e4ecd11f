#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>

#include "core/list/row_text.h"

// Which columns of the connection list go to the clipboard, by column index.
using ChosenColumns = std::array<bool, CellCount>;

// The clipboard text of the listed rows: one record per row, in list order, each chosen
// column's cell text followed by a TAB in ascending column order, then CR LF. Nothing when no
// column is chosen; the caller tells the user instead of emptying the clipboard.
std::optional<std::string> ClipboardText(const ChosenColumns& chosen, std::span<const TcpRow> rows);
