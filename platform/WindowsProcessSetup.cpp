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

// The system DLLs that Windows itself, or the code this process hosts, may
// load by bare name after start-up: with the window (uxtheme, dwmapi), with
// assistive technology (oleacc), with COM and the add-in's registration
// (clbcatq, cryptbase, ntmarta, userenv), with the version record (version)
// and the compatibility layer (apphelp). Windows that lacks one skips it.
constexpr const wchar_t* kSystemLibraries[] = {L"uxtheme.dll", L"dwmapi.dll",    L"oleacc.dll",
                                               L"clbcatq.dll", L"cryptbase.dll", L"ntmarta.dll",
                                               L"userenv.dll", L"version.dll",   L"apphelp.dll"};

bool IsWindowsVista(const StartUpCalls& windows) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    return windows.getVersion(&version) && version.dwMajorVersion == 6 && version.dwMinorVersion == 0;
}

void HardenDllSearchOrder(const StartUpCalls& windows) {
    // SetDefaultDllDirectories (Windows 8, or Vista and 7 with KB2533623) drops
    // the current folder and PATH for good; SetDllDirectoryW(L"") (XP SP1 and
    // later) drops only the current folder. On Vista, COM's class creation
    // fails once the former has been called, and the component check is one.
    using SetDefaultFunction = BOOL(WINAPI*)(DWORD);
    using SetDirectoryFunction = BOOL(WINAPI*)(const wchar_t*);
    const auto setDefault = IsWindowsVista(windows) ? nullptr
                                                    : AsFunction<SetDefaultFunction>(windows.findExport(
                                                          L"kernel32.dll", "SetDefaultDllDirectories"));
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)) return;
    const auto setDirectory =
        AsFunction<SetDirectoryFunction>(windows.findExport(L"kernel32.dll", "SetDllDirectoryW"));
    if (setDirectory) setDirectory(L"");
}

// Loads each by its full path, its own imports too from the system folder; a
// later load by bare name then finds the one already loaded. They stay loaded.
void PreloadSystemLibraries(const StartUpCalls& windows) {
    Text folder;
    try {
        folder = SystemLibraryPath(L"");
    } catch (const Failure&) {
        return;
    }
    for (const wchar_t* library : kSystemLibraries)
        windows.loadLibrary((folder + library).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
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
    // Before any DLL is loaded: one that reads the DPI settings as it starts
    // would see the process as unaware.
    DeclareSystemDpiAware(windows);
    PreloadSystemLibraries(windows);
}

}  // namespace quillane
