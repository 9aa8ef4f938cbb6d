#pragma once

// What the program asks of Windows before anything else: that failures stay
// quiet, where DLLs are looked for, and the display resolution. Functions newer
// than Windows XP are used where the running Windows has them, and older
// ones, or none, where it does not.

#include <windows.h>

namespace quillane {

// Finds a function that a system DLL already loaded in the process exports;
// nullptr where this Windows does not have it.
using FindExport = FARPROC (*)(const wchar_t* module, const char* name);
FARPROC FindLoadedExport(const wchar_t* module, const char* name);

// The Windows calls the start-up makes. A test puts a simulated Windows of
// another generation in their place.
struct StartUpCalls {
    FindExport findExport = FindLoadedExport;
    UINT(WINAPI* setErrorMode)(UINT mode) = SetErrorMode;
    BOOL(WINAPI* getVersion)(OSVERSIONINFOW* version) = GetVersionExW;
    HMODULE(WINAPI* loadLibrary)(const wchar_t* path, HANDLE reserved, DWORD flags) = LoadLibraryExW;
};

// Prepares the process, first thing at start, before any DLL is loaded:
// - Windows shows none of its own error boxes (a disk not ready, a DLL whose
//   imports are missing): the failure reaches the program as a failed call;
// - the current folder is not searched for DLLs; the program's own folder and
//   the system folder are;
// - the process declares itself aware of the system DPI, so that Windows does
//   not stretch the dialog's bitmap at 125-200 %;
// - the system DLLs that Windows may later load into the process by bare name
//   are loaded now from the system folder, so that a look-alike planted beside
//   the program (in a Downloads folder, say) is never taken in their place.
void PrepareProcess(const StartUpCalls& windows = {});

}  // namespace quillane
