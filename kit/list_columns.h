#pragma once

#include <array>
#include <string_view>

#include "core/list/row_text.h"

// How the connection list shows the five cells of a row: the header word, what the copy window
// calls the column, and the cells' alignment. The list and the copy window read them from here.

enum class CellAlignment { Left, Centre };

struct ListColumn {
    std::string_view header;
    std::string_view copyChoice;
    CellAlignment alignment;
};

inline constexpr int ListColumnCount = static_cast<int>(CellCount);

inline constexpr std::array<ListColumn, CellCount> ListColumns = {{
    {"Local IP", "Local IP", CellAlignment::Left},
    {"Local Port", "Local Port", CellAlignment::Centre},
    {"Remote IP", "Remote IP", CellAlignment::Centre},
    {"Remote Port", "Remote Port", CellAlignment::Centre},
    {"Status", "State", CellAlignment::Centre},
}};
