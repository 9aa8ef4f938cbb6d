// A look-alike of a system DLL, planted beside the program as an attacker
// would plant it. Loaded, it leaves a trace: a file named after itself with
// ".loaded" added, beside it.

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t trace[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(instance, trace, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    lstrcatW(trace, L".loaded");
    CloseHandle(CreateFileW(trace, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return TRUE;
}
