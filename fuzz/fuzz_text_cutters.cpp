// The cutters take any text apart without reading past it, and a cut half never keeps the
// spaces around it.
#include <string_view>

#include "Module2.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string before = TextBefore(text, "=");
    const std::string after = TextAfter(text, "=");
    const auto separator = text.find('=');
    if (separator == std::string_view::npos || separator == 0) {
        if (before != text || !after.empty()) __builtin_trap();
        return 0;
    }
    for (const std::string& half : {before, after}) {
        if (!half.empty() && (half.front() == ' ' || half.back() == ' ')) __builtin_trap();
    }
    if (before.size() > separator || after.size() >= text.size() - separator) __builtin_trap();
    return 0;
}
