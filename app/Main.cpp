// The program's entry point: prepares the process, creates the dialog, runs the
// component check, shows the dialog if it is still open and waits for it to
// close. The command line is ignored.

#include "app/ConfigDialog.h"
#include "platform/WindowsPlatformServices.h"
#include "platform/WindowsProcessSetup.h"

#include <windows.h>

namespace {

int Run(HINSTANCE instance, int showCommand) {
    quillane::PrepareProcess();
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
