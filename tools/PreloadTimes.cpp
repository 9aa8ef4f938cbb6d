// Times the start-up's preloads: loads what the program imports, as Windows
// loads it into the program before it runs, then prepares this fresh process
// with the program's own code, and prints, for each system DLL that loads,
// the time its load took in ms, or "absent" where this Windows has none.
//   preload_times

#include "platform/WindowsProcessSetup.h"

#include <cstdio>
#include <initializer_list>

namespace {

HMODULE WINAPI TimedLoad(const wchar_t* path, HANDLE file, DWORD flags) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const HMODULE module = LoadLibraryExW(path, file, flags);
    QueryPerformanceCounter(&end);
    const wchar_t* name = wcsrchr(path, L'\\') ? wcsrchr(path, L'\\') + 1 : path;
    if (module)
        std::printf("%ls %.3f\n", name,
                    1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                        static_cast<double>(frequency.QuadPart));
    else
        std::printf("%ls absent\n", name);
    return module;
}

}  // namespace

int wmain() {
    for (const wchar_t* imported : {L"user32.dll", L"gdi32.dll", L"ole32.dll"}) LoadLibraryW(imported);
    quillane::StartUpCalls windows;
    windows.loadLibrary = TimedLoad;
    quillane::PrepareProcess(windows);
    return 0;
}
