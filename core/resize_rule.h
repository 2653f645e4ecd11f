#pragma once

#include <optional>

// The connection list follows the main window's outer (frame) size, in twips: its height is the
// outer height less 2195 and its width the outer width less 345. A negative size is refused by
// the list, which keeps that dimension as it was.
struct ListSize {
    std::optional<float> height;
    std::optional<float> width;
};

ListSize ListSizeForOuterSize(float outerWidthTwips, float outerHeightTwips);
