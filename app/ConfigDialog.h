#pragma once

#include "platform/PlatformServices.h"
#include "platform/WindowsHandles.h"

#include <windows.h>

#include <exception>

namespace quillane {

// Control identifiers. OK is IDOK so that Enter presses it; Cancel is not
// IDCANCEL, so that Esc (which the dialog manager turns into IDCANCEL) presses
// nothing.
enum ControlId : int {
    kOkId = IDOK,
    kCancelId = 101,
    kLabel1Id = 102,
    kLabel2Id = 103,
};

// WCAG 2's contrast ratio of two colours, from 1:1 to 21:1.
double ContrastRatio(COLORREF a, COLORREF b);

// Label1's text colour on a background: its own dark blue wherever that is
// legible, that is outside high-contrast mode and at a contrast ratio of at
// least 4.5:1 (WCAG 2), and the system's text colour elsewhere.
COLORREF TitleTextColour(bool highContrast, COLORREF background, COLORREF systemText);

// The program's one window: a dialog box of Windows' dialog manager, which
// gives it the default button, the keyboard, the focus kept across activation
// and the role that assistive technology knows. It asks the add-in's component
// check to run before it is first shown, and registers the add-in when OK is
// pressed.
class ConfigDialog {
public:
    ConfigDialog(HINSTANCE instance, PlatformServices& platform);
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

    HINSTANCE instance_;
    PlatformServices& platform_;
    HWND window_ = nullptr;
    HWND okButton_ = nullptr;
    UniqueFont dialogFont_;
    UniqueFont titleFont_;
    std::exception_ptr failure_;
};

}  // namespace quillane
