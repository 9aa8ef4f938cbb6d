// A look-alike of a system DLL, planted beside the program as an attacker
// would plant it. Loaded, it leaves a trace: a file named after itself with
// ".loaded" added, beside it.

#include "tests/standins/Trace.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) LeaveTrace(instance, L".loaded");
    return TRUE;
}
