#pragma once

// Lets an installer or uninstaller see that the program runs, for as long as it runs.
void MarkProgramRunning();
