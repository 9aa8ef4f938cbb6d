#pragma once

#include "app/DialogLayout.h"
#include "app/TitleColour.h"
#include "platform/PlatformServices.h"
#include "platform/WindowsHandles.h"

#include <windows.h>

#include <exception>

namespace quillane {

// The program's one window: a dialog box of Windows' dialog manager, which
// gives it the default button, the keyboard, the focus kept across activation
// and the role that assistive technology knows. It asks the add-in's component
// check to run before it is first shown, and registers the add-in when OK is
// pressed.
class ConfigDialog {
public:
    // How the dialog reads the user's settings (high contrast): Windows'
    // SystemParametersInfoW, or a test's simulated Windows.
    using ReadSettingFunction = BOOL(WINAPI*)(UINT action, UINT size, void* value, UINT update);

    ConfigDialog(HINSTANCE instance, PlatformServices& platform,
                 ReadSettingFunction readSetting = SystemParametersInfoW);
    ConfigDialog(const ConfigDialog&) = delete;
    ConfigDialog& operator=(const ConfigDialog&) = delete;
    ~ConfigDialog();

    // Creates the dialog box and its controls, all hidden. False if Windows refused.
    bool Create();
    // The load step: the component check, which may close the dialog.
    void Load();
    bool IsOpen() const;
    // Shows the dialog with the keyboard focus on OK.
    void Show(int showCommand);
    // Runs the event loop until the dialog has been closed. Gives the exit
    // status: 0, or 1 when a failure escaped a handler and closed the dialog.
    int RunUntilClosed();

    HWND window() const { return window_; }
    // The failure that escaped a handler, if one did.
    std::exception_ptr failure() const { return failure_; }

private:
    static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit();
    void OnOk();
    void OnCancel();
    INT_PTR OnControlColour(HDC dc, HWND control);

    bool HighContrastOn() const;
    void ChooseTitleColour();

    HINSTANCE instance_;
    PlatformServices& platform_;
    ReadSettingFunction readSetting_;
    HWND window_ = nullptr;
    HWND okButton_ = nullptr;
    UniqueFont dialogFont_;
    UniqueFont titleFont_;
    Colour titleColour_ = kTitleBlue;
    std::exception_ptr failure_;
};

}  // namespace quillane
