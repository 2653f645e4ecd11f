#pragma once

#include <optional>

// The connection list follows the main window's size, in twips. The rule was drawn up for the
// window's outer size, with the frame the design was drawn with: 120 twips wider and 275 taller
// than the client area. Taking the client size plus that frame, rather than the frame a window
// manager happens to draw, keeps the list at its designed size under any window manager or none,
// from the first showing on: 225 twips narrower and 1920 twips shorter than the client area. A
// negative size is refused by the list, which keeps that dimension as it was.
struct ListSize {
    std::optional<float> height;
    std::optional<float> width;
};

ListSize ListSizeForClientSize(float clientWidthTwips, float clientHeightTwips);
