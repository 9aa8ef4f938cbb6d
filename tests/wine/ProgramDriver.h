#pragma once

// Drives a running copy of the program from another process, as a user would:
// finds its windows, reads them, presses keys and buttons, waits for it to end.
// Every wait is bounded; nothing sleeps for a fixed time.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillane::wine {

std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);

// Polls `condition` until it holds or `timeoutMs` passes; gives whether it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

class Program {
public:
    // How the program is started. Wine 8 cannot start an image whose path is
    // MAX_PATH characters or longer with CreateProcessW, but its own loader, a
    // Unix program that Wine processes can start, can.
    enum class Launch { kCreateProcess, kWineLoader };

    Program(const std::wstring& exe, const std::wstring& arguments = {},
            const std::wstring& workingFolder = {}, Launch launch = Launch::kCreateProcess);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    // Ends the process if a test left it running.
    ~Program();

    // Its top-level windows, visible ones only unless `all`.
    std::vector<HWND> TopLevelWindows(bool all = false) const;
    // The dialog window (visible or not), or nothing.
    HWND Dialog() const;
    // Waits for a visible window of the class; nullptr when none came.
    HWND WaitForWindow(const wchar_t* className, DWORD timeoutMs = 10000);
    HWND WaitForDialog(DWORD timeoutMs = 10000) { return WaitForWindow(L"QuillaneConfig", timeoutMs); }
    HWND WaitForMessageBox(DWORD timeoutMs = 10000) { return WaitForWindow(L"#32770", timeoutMs); }
    // The exit status, or nothing if it still runs after `timeoutMs`.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs = 10000);

    // What every wait has seen so far.
    bool sawVisibleDialog() const { return sawVisibleDialog_; }
    int messageBoxesSeen() const { return static_cast<int>(messageBoxesSeen_.size()); }

    DWORD threadId() const { return threadId_; }

private:
    void StartThroughWineLoader(const std::wstring& exe);
    void Observe();

    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
    bool sawVisibleDialog_ = false;
    std::vector<HWND> messageBoxesSeen_;
};

struct MessageBoxView {
    std::wstring title;
    std::wstring text;
    HWND owner = nullptr;
    int iconKind = 0;  // 16 critical, 64 information, 0 unknown
};
MessageBoxView ReadMessageBox(HWND box);
void PressMessageBoxOk(HWND box);

// The control that has the keyboard focus in the program's GUI thread.
HWND FocusedControl(DWORD threadId);
// Posts a key press to the focused control, as the keyboard would deliver it.
void PressKey(DWORD threadId, UINT virtualKey);

// The pixels of a screen rectangle, as COLORREFs row by row.
std::vector<COLORREF> CaptureScreen(const RECT& rect);
// A control's rectangle in its parent's client area.
RECT RectInParent(HWND control);

}  // namespace quillane::wine
