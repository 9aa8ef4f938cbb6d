// The program's entry point: prepares the process, creates the dialog, runs the
// component check, shows the dialog if it is still open and waits for it to
// close. The command line is ignored.

#include "app/ConfigDialog.h"
#include "platform/WindowsPlatformServices.h"

#include <windows.h>

namespace {

// Asks for the system DPI, so that Windows does not stretch the dialog's
// bitmap at 125-200 %. Looked up at run time: the newer call is Windows 10
// 1703 and later, the older one Vista and later.
void DeclareSystemDpiAware() {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    using SetContextFunction = BOOL(WINAPI*)(HANDLE);
    using SetAwareFunction = BOOL(WINAPI*)();
    const auto setContext = reinterpret_cast<SetContextFunction>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_SYSTEM_AWARE
    if (setContext && setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-2)))) return;
    const auto setAware = reinterpret_cast<SetAwareFunction>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDPIAware")));
    if (setAware) setAware();
}

int Run(HINSTANCE instance, int showCommand) {
    quillane::HardenDllSearchOrder();
    DeclareSystemDpiAware();
    quillane::ComApartment apartment;
    quillane::WindowsPlatformServices platform;
    quillane::ConfigDialog dialog(instance, platform);
    if (!dialog.Create()) return 1;

    dialog.Load();
    if (dialog.IsOpen()) {
        dialog.Show(showCommand);
        // Until now a message box stood alone; from here on it belongs to the dialog.
        platform.SetMessageOwner(dialog.window());
    }
    return dialog.RunUntilClosed();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    try {
        return Run(instance, showCommand);
    } catch (...) {
        return 1;
    }
}
