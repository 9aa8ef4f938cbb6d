#pragma once

// Helpers for tests that run under Wine against the real system: scratch
// folders, the add-in's COM registration, the stand-ins' log, and a driver that
// works a running copy of the program from another process, as a user would:
// finds its windows, reads them, presses keys and buttons, waits for it to end.
// Every wait is bounded; nothing sleeps for a fixed time.

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillane::wine {

namespace fs = std::filesystem;

std::string ToUtf8(const std::wstring& text);
// The ANSI bytes a DLL received, as a path.
fs::path FromAnsi(const std::string& text);
// The folder holding the test executable, the program and the stand-ins.
fs::path BinFolder();
// Copies `source` into `folder`, keeping its name; gives the copy's path.
fs::path CopyInto(const fs::path& source, const fs::path& folder);

// A fresh folder in the temporary folder, deleted with all it holds when the
// object goes.
struct ScratchFolder {
    explicit ScratchFolder(const std::wstring& name);
    ~ScratchFolder();
    const fs::path& path() const { return path_; }
    fs::path path_;
};

// Removes the add-in's class registration, so that a test starts unregistered.
void UnregisterAddInClass();

// The setup toolkit stand-in's log, kept in `folder` while the object lives:
// each path the toolkit was given in this process or its children, as received.
struct SelfRegisterLog {
    explicit SelfRegisterLog(const fs::path& folder);
    ~SelfRegisterLog() { SetEnvironmentVariableW(L"VB6STKIT_STANDIN_LOG", nullptr); }
    std::vector<std::string> Paths() const;
    void Clear() const { fs::remove(file_); }
    fs::path file_;
};

// C:\windows\VBADDIN.INI, where the profile service puts a bare file name.
fs::path AddInListPath();

// Fails the test at once when no window can be created: without a display,
// Wine shows nothing and a GUI test would pass without seeing anything.
void RequireDisplay();

// --- The program, driven from outside ------------------------------------------

using namespace std::chrono_literals;

std::wstring WindowText(HWND window);
// Polls `condition` until it holds or `timeout` passes; gives whether it held.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s);

class Program {
public:
    // Wine 8 cannot start an image whose path is MAX_PATH characters or longer
    // with CreateProcessW: such a one is started by Wine's own loader, a Unix
    // program that Wine processes can start.
    explicit Program(const std::wstring& exe, const std::wstring& arguments = {});
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    // Ends the process if a test left it running.
    ~Program();

    // Waits for a visible top-level window of the class; nullptr when none came.
    HWND WaitForWindow(const wchar_t* className) const;
    HWND WaitForDialog() const { return WaitForWindow(L"QuillaneConfig"); }
    HWND WaitForMessageBox() const { return WaitForWindow(L"#32770"); }
    // The exit status, or nothing if it still runs after `timeout`.
    std::optional<DWORD> WaitForExit(std::chrono::milliseconds timeout = 10s) const;

    // The control that has the keyboard focus in the program.
    HWND FocusedControl() const;
    // Posts a key press to the focused control, as the keyboard would deliver it.
    void PressKey(UINT virtualKey) const;

private:
    PROCESS_INFORMATION process_{};
};

struct MessageBoxView {
    std::wstring title;
    std::wstring text;
    HWND owner;
    int iconKind;  // 16 critical, 64 information, 0 neither
};
MessageBoxView ReadMessageBox(HWND box);
void PressMessageBoxOk(HWND box);

// The pixels of a screen rectangle, as COLORREFs row by row.
std::vector<COLORREF> CaptureScreen(const RECT& rect);

}  // namespace quillane::wine
