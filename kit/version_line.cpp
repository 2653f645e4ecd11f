#include "kit/version_line.h"

std::string VersionLine(std::uint16_t major, std::uint16_t minor) {
    return "Korvane Murrelin ver: " + std::to_string(major) + "." + std::to_string(minor);
}
