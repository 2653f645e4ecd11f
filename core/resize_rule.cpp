#include "resize_rule.h"

namespace {
std::optional<float> NonNegative(float value) {
    if (value < 0) return std::nullopt;
    return value;
}
}  // namespace

ListSize ListSizeForOuterSize(float outerWidthTwips, float outerHeightTwips) {
    return {NonNegative(outerHeightTwips - 2195.0f), NonNegative(outerWidthTwips - 345.0f)};
}
