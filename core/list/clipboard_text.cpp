#include "core/list/clipboard_text.h"

#include <algorithm>

std::optional<std::string> ClipboardText(const ChosenColumns& chosen,
                                         std::span<const TcpRow> rows) {
    if (std::ranges::none_of(chosen, [](bool isChosen) { return isChosen; })) return std::nullopt;
    std::string text;
    for (const TcpRow& row : rows) {
        for (std::size_t column = 0; column < CellCount; ++column) {
            if (!chosen[column]) continue;
            text += CellText(column, row);
            text += '\t';
        }
        text += "\r\n";
    }
    return text;
}
