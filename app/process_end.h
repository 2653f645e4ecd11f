#pragma once

// Ends the process at once with the status, without waiting for the threads that work beside
// the window or running anything that may need what they hold.
[[noreturn]] void EndProcess(int status);
