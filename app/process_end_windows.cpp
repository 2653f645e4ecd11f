#include <windows.h>

#include <cstdlib>

#include "app/process_end.h"

// ExitProcess would first kill the other threads mid-call and then run every DLL's detach code,
// which can wait for a lock one of them held (a thread inside the resolver, say): the process
// would hang. TerminateProcess runs nothing more.
void EndProcess(int status) {
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    std::_Exit(status);  // not reached
}
