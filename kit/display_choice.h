#pragma once

// Which window system the program asks Qt for, from the displays the environment offers.

struct OfferedDisplays {
    bool platformSet = false;  // the user named a Qt platform (QT_QPA_PLATFORM)
    bool x11 = false;          // DISPLAY
    bool wayland = false;      // WAYLAND_DISPLAY
};

enum class DisplayChoice {
    None,     // nothing to show a window on
    AsGiven,  // leave it to Qt, or to the user's own choice
    X11,      // ask for X11 (XWayland): the windows' places are part of the design, and Wayland
              // does not let a program choose them
};

DisplayChoice ChooseDisplay(const OfferedDisplays& offered);
