#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// A model of every press. One run of the program, from its start, is driven step by step through
// its real windows as a user drives them: the main window's buttons, a read of the table or a look
// at the owners let go (finished, failed or thrown), a row's tooltip, a modal window minimised or
// sent Esc or Enter, a close box, the filter windows' buttons and typed values, the copy window's
// boxes and buttons, the About windows' texts; the last three end the program. The table source
// and the owners' look are held at gates until a step lets them go. After every step, what the
// user relies on is checked against what the model expects. A step is two bytes: its kind, and a
// choice among its options (a column, a line, a value to type, an outcome with a table); a kind
// that the windows do not offer then gives its turn to the next kind that they do.
enum class Step : std::uint8_t {
    RefreshList,
    FilterList,
    OpenCopy,
    About,
    ReadEnds,
    LookEnds,
    AskRowDetails,
    Minimise,
    Escape,
    CloseBox,
    AddNew,
    DeleteEntry,
    CloseFilterList,
    AddFilter,
    CancelFilter,
    TickColumn,
    CopyNow,
    CloseCopy,
    ClickAboutText,
    ClickAboutProgrammer,
    Exit,
    CloseRequest,
    SessionEnd,
    Count
};

// Runs the steps up to the program's end, telling each step taken on the standard output if
// asked: why the first check that failed did, or nothing.
std::optional<std::string> RunSteps(std::span<const std::uint8_t> steps, bool tell = false);
