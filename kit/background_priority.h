#pragma once

// Puts the calling thread below the window's priority, yet not so far below that it cannot end
// at once when the program does, however busy the machine.
void RunBelowTheWindow();
