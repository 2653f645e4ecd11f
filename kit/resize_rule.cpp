#include "kit/resize_rule.h"

namespace {

constexpr float kDesignFrameWidth = 120.0f;
constexpr float kDesignFrameHeight = 275.0f;

std::optional<float> NonNegative(float value) {
    if (value < 0) return std::nullopt;
    return value;
}

}  // namespace

ListSize ListSizeForClientSize(float clientWidthTwips, float clientHeightTwips) {
    const float outerWidth = clientWidthTwips + kDesignFrameWidth;
    const float outerHeight = clientHeightTwips + kDesignFrameHeight;
    return {NonNegative(outerHeight - 2195.0f), NonNegative(outerWidth - 345.0f)};
}
