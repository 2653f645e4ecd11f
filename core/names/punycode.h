#pragma once

#include <string>
#include <string_view>

// The Punycode form of one label (RFC 3492), without its "xn--" prefix: the label's ASCII
// characters, a "-" when there were any, then its other code points encoded as ASCII letters
// and digits. "bücher" gives "bcher-kva".
std::string Punycode(std::u32string_view label);
