#pragma once

#include <string_view>

// The maker's web page, opened on exit and from the About window's link.
inline constexpr std::string_view MakerWebPage = "https://www.korvane.example/sockview";
inline constexpr std::string_view MakerHost = "www.korvane.example";
inline constexpr std::string_view MakerDomain = "korvane.example";
