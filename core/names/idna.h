#pragma once

#include <optional>
#include <string>
#include <string_view>

// The registered ASCII form of a host name written in UTF-8, as the platform's IDNA library
// makes it: IDNA's mapping first (lower case, normalisation form C), then each label beyond
// ASCII in its "xn--" form. Nothing when the library refuses the name.
std::optional<std::string> RegisteredAsciiName(std::string_view name);
