#include "copy/clipboard_text.h"

#include <algorithm>

std::optional<std::string> ClipboardText(const ChosenColumns& chosen, int rowCount,
                                         const CellText& cell) {
    if (std::ranges::none_of(chosen, [](bool isChosen) { return isChosen; })) return std::nullopt;
    std::string text;
    for (int row = 0; row < rowCount; ++row) {
        for (int column = 0; column < kListColumnCount; ++column) {
            if (!chosen[static_cast<std::size_t>(column)]) continue;
            text += cell(row, column);
            text += '\t';
        }
        text += "\r\n";
    }
    return text;
}
