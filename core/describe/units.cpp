#include "core/describe/units.h"

#include <array>
#include <cmath>
#include <cstdio>

std::string SizeText(std::uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " B";
    static constexpr std::array<const char*, 3> Units = {"KB", "MB", "GB"};
    double size = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    // Taken to the next unit where one decimal would round up to 1024.0 of this one.
    while (unit + 1 < Units.size() && std::round(size * 10) >= 1024 * 10) {
        size /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", size, Units[unit]);
    return text;
}

std::string DurationText(std::chrono::milliseconds duration) {
    using namespace std::chrono;
    if (duration < seconds(1)) return std::to_string(duration.count()) + " ms";
    if (duration < minutes(1))
        return std::to_string(duration_cast<seconds>(duration).count()) + " s";
    if (duration < hours(1))
        return std::to_string(duration_cast<minutes>(duration).count()) + " min";
    return std::to_string(duration_cast<hours>(duration).count()) + " h";
}

std::string RoundTripText(std::chrono::microseconds roundTrip) {
    char text[48];
    std::snprintf(text, sizeof text, "%.1f ms", static_cast<double>(roundTrip.count()) / 1000);
    return text;
}

std::string TimeOfDayText(std::chrono::seconds sinceMidnight) {
    const long long seconds = sinceMidnight.count() % 86400;
    char text[16];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}
