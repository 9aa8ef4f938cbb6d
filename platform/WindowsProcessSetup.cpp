#include "platform/WindowsProcessSetup.h"

#include "platform/WindowsLibraries.h"

namespace quillane {
namespace {

// Keeps the modes the process was started with, adding the two that stop
// Windows from asking the user about a drive or a file.
void QuietCriticalErrors(const StartUpCalls& windows) {
    const UINT inherited = windows.setErrorMode(0);
    windows.setErrorMode(inherited | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

void HardenDllSearchOrder(const StartUpCalls& windows) {
    // SetDefaultDllDirectories (Windows 8, or Vista and 7 with KB2533623) drops
    // the current folder and PATH for good; SetDllDirectoryW(L"") (XP SP1 and
    // later) drops only the current folder.
    using SetDefaultFunction = BOOL(WINAPI*)(DWORD);
    using SetDirectoryFunction = BOOL(WINAPI*)(const wchar_t*);
    const auto setDefault =
        AsFunction<SetDefaultFunction>(windows.findExport(L"kernel32.dll", "SetDefaultDllDirectories"));
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)) return;
    const auto setDirectory =
        AsFunction<SetDirectoryFunction>(windows.findExport(L"kernel32.dll", "SetDllDirectoryW"));
    if (setDirectory) setDirectory(L"");
}

// Windows XP stretches nothing and has nothing to ask.
void DeclareSystemDpiAware(const StartUpCalls& windows) {
    // The context call is Windows 10 1703 and later, the plain one Vista and later.
    using SetContextFunction = BOOL(WINAPI*)(HANDLE);
    using SetAwareFunction = BOOL(WINAPI*)();
    const HANDLE systemAware =
        reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-2));  // DPI_AWARENESS_CONTEXT_SYSTEM_AWARE
    const auto setContext = AsFunction<SetContextFunction>(
        windows.findExport(L"user32.dll", "SetProcessDpiAwarenessContext"));
    if (setContext && setContext(systemAware)) return;
    const auto setAware =
        AsFunction<SetAwareFunction>(windows.findExport(L"user32.dll", "SetProcessDPIAware"));
    if (setAware) setAware();
}

}  // namespace

FARPROC FindLoadedExport(const wchar_t* module, const char* name) {
    const HMODULE loaded = GetModuleHandleW(module);
    return loaded ? GetProcAddress(loaded, name) : nullptr;
}

void PrepareProcess(const StartUpCalls& windows) {
    QuietCriticalErrors(windows);
    HardenDllSearchOrder(windows);
    DeclareSystemDpiAware(windows);
}

}  // namespace quillane
