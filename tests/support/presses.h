#pragma once

#include <QByteArray>
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

// A model of every press. One run of the program, from its start, is driven step by step through
// its real windows as a user drives them: the main window's buttons, a read of the table or a look
// at the owners let go (finished, failed or thrown), a row's tooltip, a modal window minimised or
// sent Esc or Enter, a close box, the filter windows' buttons and typed values, the copy window's
// boxes and buttons, the About windows' texts; the last three end the program. The table source
// and the owners' look are held at gates until a step lets them go. After every step, what the
// user relies on is checked against what the model expects. A step is two bytes: its kind, and a
// choice among its options (a column, a line, a value to type, an outcome with a table); a kind
// that the windows do not offer then gives its turn to the next kind that they do.
inline constexpr std::array<std::string_view, 23> StepKinds = {
    "Refresh List",  "Filter List",   "Copy...",         "About",        "read ends",
    "look ends",     "row details",   "minimise",        "Esc or Enter", "close box",
    "Add New",       "Delete Entry",  "Close (filters)", "Add Now",      "Cancel",
    "tick a column", "Copy Now",      "Close (Copy)",    "About text",   "About Programmer",
    "Exit",          "close request", "session end"};

// A kind of step by its name, which a replay tells; a name not listed does not compile.
consteval unsigned Kind(std::string_view name) {
    const auto found = std::ranges::find(StepKinds, name);
    return found != StepKinds.end() ? unsigned(found - StepKinds.begin()) : throw name;
}

// Runs the steps up to the program's end, telling each step taken on the standard output if
// asked: why the first check that failed did, or nothing.
std::optional<std::string> RunSteps(const QByteArray& steps, bool tell = false);
