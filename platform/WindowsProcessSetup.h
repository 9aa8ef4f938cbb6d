#pragma once

// What the program asks of Windows before anything else. Both requests use
// functions newer than Windows XP where the running Windows has them, and
// older ones, or none, where it does not.

#include <windows.h>

namespace quillane {

// Finds a function that a system DLL already loaded in the process exports;
// nullptr where this Windows does not have it.
using FindExport = FARPROC (*)(const wchar_t* module, const char* name);
FARPROC FindLoadedExport(const wchar_t* module, const char* name);

// Removes the current folder from the places the process loads DLLs from; the
// program's own folder and the system folder stay. Call first thing at start.
void HardenDllSearchOrder(FindExport find = FindLoadedExport);

// Asks for the system DPI, so that Windows does not stretch the dialog's bitmap
// at 125-200 %. Windows XP stretches nothing and has nothing to ask.
void DeclareSystemDpiAware(FindExport find = FindLoadedExport);

}  // namespace quillane
