#include "kit/resize_rule.h"

namespace {

constexpr float DesignFrameWidth = 120.0f;
constexpr float DesignFrameHeight = 275.0f;

std::optional<float> NonNegative(float value) {
    if (value < 0) return std::nullopt;
    return value;
}

}  // namespace

ListSize ListSizeForClientSize(float clientWidthTwips, float clientHeightTwips) {
    const float outerWidth = clientWidthTwips + DesignFrameWidth;
    const float outerHeight = clientHeightTwips + DesignFrameHeight;
    return {NonNegative(outerHeight - 2195.0f), NonNegative(outerWidth - 345.0f)};
}
