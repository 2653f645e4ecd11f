#include <windows.h>

#include "app/running_mark.h"

// Named in packaging/windows/installer.nsi, in the global namespace so that a copy running in
// another user's session counts too. The handle stays open until the process ends.
void MarkProgramRunning() { CreateMutexW(nullptr, FALSE, L"Global\\KorvaneSockview"); }
