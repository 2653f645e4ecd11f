#include "core/names/punycode.h"

#include <algorithm>
#include <cstdint>

namespace {

// The parameters of RFC 3492, section 5.
constexpr std::uint64_t Base = 36, TMin = 1, TMax = 26, Skew = 38, Damp = 700, InitialBias = 72,
                        InitialN = 0x80;

std::uint64_t Adapt(std::uint64_t delta, std::uint64_t points, bool first) {
    delta = first ? delta / Damp : delta / 2;
    delta += delta / points;
    std::uint64_t k = 0;
    for (; delta > (Base - TMin) * TMax / 2; k += Base) delta /= Base - TMin;
    return k + (Base - TMin + 1) * delta / (delta + Skew);
}

char Digit(std::uint64_t value) {
    return static_cast<char>(value < 26 ? 'a' + value : '0' + value - 26);
}

}  // namespace

// Section 6.3. Deltas cannot overflow 64 bits: a name is far shorter than 2^40 code points.
std::string Punycode(std::u32string_view label) {
    std::string output;
    for (const char32_t point : label)
        if (point < InitialN) output += static_cast<char>(point);
    const std::size_t basic = output.size();
    if (basic > 0) output += '-';
    std::uint64_t n = InitialN, delta = 0, bias = InitialBias;
    for (std::size_t handled = basic; handled < label.size(); ++delta, ++n) {
        std::uint64_t next = UINT64_MAX;
        for (const char32_t point : label)
            if (point >= n) next = std::min<std::uint64_t>(next, point);
        delta += (next - n) * (handled + 1);
        n = next;
        for (const char32_t point : label) {
            if (point < n) ++delta;
            if (point != n) continue;
            std::uint64_t q = delta;
            for (std::uint64_t k = Base;; k += Base) {
                const std::uint64_t t = k <= bias ? TMin : k >= bias + TMax ? TMax : k - bias;
                if (q < t) break;
                output += Digit(t + (q - t) % (Base - t));
                q = (q - t) / (Base - t);
            }
            output += Digit(q);
            bias = Adapt(delta, handled + 1, handled == basic);
            delta = 0;
            ++handled;
        }
    }
    return output;
}
