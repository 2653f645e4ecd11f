#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// The units a row's description gives its figures in.

// "0 B" to "1023 B", then KB, MB and GB with one decimal (1 KB = 1024 B).
std::string SizeText(std::uint64_t bytes);

// "N ms" under a second, "N s" under a minute, "N min" under an hour, then "N h".
std::string DurationText(std::chrono::milliseconds duration);

// "X.Y ms": a round trip, to a tenth of a millisecond.
std::string RoundTripText(std::chrono::microseconds roundTrip);

// "HH:MM:SS", a time of day on the 24-hour clock.
std::string TimeOfDayText(std::chrono::seconds sinceMidnight);
