#pragma once

// Whether the environment offers a window system to show the window on, or names a Qt platform
// (QT_QPA_PLATFORM), decided before the application object exists. Which one is Qt's choice: a
// Wayland display before an X one, so that a Wayland session gets the program natively.
bool DisplayOffered();
