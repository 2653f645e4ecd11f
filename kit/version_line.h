#pragma once

#include <cstdint>
#include <string>

// The About window's top line: "Korvane Murrelin ver: " with the major and minor version in
// plain decimal, the minor number unpadded (1.0, 1.5, 1.10).
std::string VersionLine(std::uint16_t major, std::uint16_t minor);
