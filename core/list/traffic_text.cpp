#include "core/list/traffic_text.h"

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

std::string TrafficLine(const TcpRow& row, const std::optional<SocketNow>& now) {
    if (row.state == TcpState::Listen) return {};
    if (!now) return "Traffic now: looking up...";
    if (now->kind == SocketNow::Kind::Refused)
        return "Traffic now: not visible without administrator rights";
    if (!now->traffic) return {};
    const Traffic& traffic = *now->traffic;
    std::string line = "Traffic now: " + SizeText(traffic.bytesSent) + " sent, " +
                       SizeText(traffic.bytesReceived) + " received";
    if (traffic.sinceLastData)
        line += ", last data " + DurationText(*traffic.sinceLastData) + " ago";
    if (traffic.roundTrip) {
        char roundTrip[48];
        std::snprintf(roundTrip, sizeof roundTrip, ", round trip %.1f ms",
                      static_cast<double>(traffic.roundTrip->count()) / 1000);
        line += roundTrip;
    }
    return line;
}

std::string QueueLine(const std::optional<SocketNow>& now) {
    if (!now || !now->queue) return {};
    return "Waiting to be accepted: " + std::to_string(now->queue->waiting) + " of at most " +
           std::to_string(now->queue->limit);
}
