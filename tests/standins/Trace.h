#pragma once

// Stand-ins that tests must see run leave a trace: an empty file beside the
// module, named after it with a suffix added.

#include <windows.h>

inline void LeaveTrace(HMODULE module, const wchar_t* suffix) {
    wchar_t trace[MAX_PATH + 16];
    const DWORD length = GetModuleFileNameW(module, trace, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    lstrcatW(trace, suffix);
    CloseHandle(CreateFileW(trace, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}
