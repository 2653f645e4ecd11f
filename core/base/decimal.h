#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The number that `text` writes in decimal digits alone, when it fits 32 bits: a process ID, an
// inode, a user ID as the kernel prints them. Nothing for an empty text or any other character.
std::optional<std::uint32_t> Decimal32(std::string_view text);
