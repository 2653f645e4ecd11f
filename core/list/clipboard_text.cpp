#include "core/list/clipboard_text.h"

#include <algorithm>

bool AnyColumnChosen(const ChosenColumns& chosen) {
    return std::ranges::any_of(chosen, [](bool isChosen) { return isChosen; });
}

std::optional<std::string> ClipboardText(const ChosenColumns& chosen,
                                         std::span<const TcpRow> rows) {
    if (!AnyColumnChosen(chosen)) return std::nullopt;
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
