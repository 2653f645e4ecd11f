#pragma once

#include <optional>
#include <string>
#include <string_view>

// The checks behind the add-filter window: a value is refused when it could never match a
// connection, with the message the user sees.

inline constexpr std::string_view InvalidAddressMessage = "Please enter a valid IP Address";
inline constexpr std::string_view InvalidPortMessage = "Please enter a valid port No";

// Four dot-separated parts of one to three digits, each 0 to 255 without a leading zero: the
// form in which connections are shown and matched.
std::optional<std::string_view> AddressRefusal(std::string_view value);

// A decimal number from 0 to 65535 without a fraction; "080" and "80.0" read as 80.
std::optional<std::string_view> PortRefusal(std::string_view value);

// Whether a character typed into the value box reaches it: digits, "." and Backspace.
bool KeyReachesValueBox(char32_t character);

// The characters of text that may stand in the value box, in order; for pasted text.
std::string ValueBoxText(std::string_view text);
