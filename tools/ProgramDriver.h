#pragma once

// Drives a running copy of the program from another process, as a user
// would: starts it, finds its windows, reads them, presses keys and buttons,
// and waits for it to end. Every wait is bounded; nothing sleeps for a fixed
// time. Used by the program tests, the demo behind scripts/run.sh and the
// start-up benchmark.

#include "kit/WindowsKitText.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quillane::driver {

using namespace std::chrono_literals;

// The caption of the program's dialog, as the user sees it.
inline constexpr wchar_t kDialogCaption[] = L"Quillane Configuration";

using kit::SystemError;
inline std::string ToUtf8(const std::wstring& text) { return kit::Utf8(text); }

inline std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// Polls `condition` until it holds or `timeout` passes; gives whether it held.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (; !condition(); std::this_thread::sleep_for(10ms))
        if (std::chrono::steady_clock::now() >= deadline) return false;
    return true;
}

class Program {
public:
    // Wine 8 cannot start an image whose path is MAX_PATH characters or longer
    // with CreateProcessW: such a one is started by Wine's own loader, a Unix
    // program that Wine processes can start, by its Unix path, through env.
    explicit Program(const std::wstring& exe, const std::wstring& arguments = {}) {
        const bool loader = exe.size() >= MAX_PATH;
        if (loader && !ImageNameQuery())
            throw std::runtime_error("cannot start " + ToUtf8(exe) +
                                     " through Wine's loader: this Windows has no "
                                     "QueryFullProcessImageNameW to find it by");
        std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
        if (loader)
            commandLine =
                L"Z:\\usr\\bin\\env " + std::wstring(_wgetenv(L"WINELOADER")) + L" " + commandLine;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (!CreateProcessW(loader ? nullptr : exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                            0, nullptr, nullptr, &startup, &process_))
            throw std::runtime_error("cannot start " + ToUtf8(commandLine) + ": " +
                                     SystemError(GetLastError()));
        CloseHandle(process_.hThread);
        if (loader) FindStartedByLoader(exe);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    // Ends the process if a test left it running. Nothing here throws: a
    // destructor that threw would end the whole test program.
    ~Program() {
        if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0)
            TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
        CloseHandle(process_.hProcess);
    }

    // Waits for a visible top-level window of the program that is a dialog box
    // (Windows' class #32770) whose caption is `caption`, or when `isCaption`
    // is false, is not, or with no caption given, any; nullptr when none came
    // within 10 s or before the program ended.
    HWND WaitForDialogBox(const wchar_t* caption, bool isCaption = true) const {
        WindowSearch search{process_.dwProcessId, L"#32770", caption, isCaption, nullptr};
        WaitUntil([&] {
            EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&search));
            return search.found || Ended();
        });
        return search.found;
    }
    // The program's visible top-level window of any class whose caption is
    // `caption`, if there is one now.
    HWND VisibleWindow(const wchar_t* caption) const {
        WindowSearch search{process_.dwProcessId, nullptr, caption, true, nullptr};
        EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    // Waits until the program, started, first waits for input: its window is
    // shown and drawn. Windows signals it; nothing is polled.
    bool WaitForInputIdle(std::chrono::milliseconds timeout = 10s) const {
        return ::WaitForInputIdle(process_.hProcess, static_cast<DWORD>(timeout.count())) == 0;
    }
    HWND WaitForDialog() const { return WaitForDialogBox(kDialogCaption); }
    // A message box: any other dialog box of the program's.
    HWND WaitForMessageBox() const { return WaitForDialogBox(kDialogCaption, false); }

    // The exit status, or nothing if it still runs after `timeout`.
    std::optional<DWORD> WaitForExit(std::chrono::milliseconds timeout = 10s) const {
        if (!WaitUntil([&] { return Ended(); }, timeout)) return std::nullopt;
        DWORD status = 0;
        if (!GetExitCodeProcess(process_.hProcess, &status))
            throw std::runtime_error("cannot read the program's exit status: " +
                                     SystemError(GetLastError()));
        return status;
    }
    // What became of the program, for a test that waited in vain: still
    // running, showing which windows, or ended, with which status.
    std::string State() const {
        if (!Ended()) {
            std::string shown;
            WindowSearch search{process_.dwProcessId, nullptr, nullptr, true, nullptr, &shown};
            EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&search));
            return "the program is still running, showing: " + (shown.empty() ? "no window" : shown);
        }
        DWORD status = 0;
        GetExitCodeProcess(process_.hProcess, &status);
        return "the program ended with status " + std::to_string(status);
    }

    // The control that has the keyboard focus in the program.
    HWND FocusedControl() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        return GetGUIThreadInfo(process_.dwThreadId, &info) ? info.hwndFocus : nullptr;
    }
    // Posts a key press to the focused control, as the keyboard would deliver it.
    void PressKey(UINT virtualKey) const {
        PostMessageW(FocusedControl(), WM_KEYDOWN, virtualKey, 1);
        PostMessageW(FocusedControl(), WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
    }

private:
    // Whether the process has ended. A wait that fails is no answer: it throws.
    bool Ended() const {
        const DWORD waited = WaitForSingleObject(process_.hProcess, 0);
        if (waited == WAIT_FAILED)
            throw std::runtime_error("cannot wait for the program: " + SystemError(GetLastError()));
        return waited == WAIT_OBJECT_0;
    }

    struct WindowSearch {
        DWORD process;
        const wchar_t* windowClass;  // nullptr: any
        const wchar_t* caption;      // nullptr: any
        bool isCaption;
        HWND found;
        std::string* visible = nullptr;  // if given, every visible window's class and caption
    };
    static BOOL CALLBACK FindWindowOfProcess(HWND window, LPARAM context) {
        auto& search = *reinterpret_cast<WindowSearch*>(context);
        DWORD owner = 0;
        wchar_t className[16] = {};
        GetWindowThreadProcessId(window, &owner);
        GetClassNameW(window, className, 16);
        // Listing them all, it looks at every window.
        if (search.visible && owner == search.process && IsWindowVisible(window))
            *search.visible += ToUtf8(className) + " \"" + ToUtf8(WindowText(window)) + "\" ";
        if (search.visible) return TRUE;
        if (owner == search.process && IsWindowVisible(window) &&
            (!search.windowClass || lstrcmpW(className, search.windowClass) == 0) &&
            (!search.caption || (WindowText(window) == search.caption) == search.isCaption))
            search.found = window;
        return !search.found;
    }

    // The loader's process is a Unix one: the program is found by its dialog,
    // which it creates, hidden, before anything else, in a process running exe.
    void FindStartedByLoader(const std::wstring& exe) {
        const QueryImageName queryImageName = ImageNameQuery();
        CloseHandle(std::exchange(process_.hProcess, nullptr));
        WaitUntil([&] {
            for (HWND w = nullptr;
                 !process_.hProcess && (w = FindWindowExW(nullptr, w, L"#32770", kDialogCaption));) {
                process_.dwThreadId = GetWindowThreadProcessId(w, &process_.dwProcessId);
                process_.hProcess =
                    OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE,
                                FALSE, process_.dwProcessId);
                wchar_t image[32768];
                DWORD size = 32768;
                if (process_.hProcess && (!queryImageName(process_.hProcess, 0, image, &size) ||
                                          lstrcmpiW(image, exe.c_str()) != 0))
                    CloseHandle(std::exchange(process_.hProcess, nullptr));
            }
            return process_.hProcess != nullptr;
        });
        if (!process_.hProcess)
            throw std::runtime_error(
                "the program started by Wine's loader did not show its dialog "
                "within 10 s: " +
                ToUtf8(exe));
    }

    // A process's image is read with a call that came with Vista, looked up so
    // that the driver still starts on Windows XP, which has none; only Wine,
    // which has it, starts a program through its loader.
    using QueryImageName = decltype(&QueryFullProcessImageNameW);
    static QueryImageName ImageNameQuery() {
        return reinterpret_cast<QueryImageName>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW")));
    }

    PROCESS_INFORMATION process_{};
};

// The pixels of a screen rectangle, as COLORREFs row by row.
inline std::vector<COLORREF> CaptureScreen(const RECT& rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, CreateCompatibleBitmap(screen, width, height));
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    std::vector<COLORREF> pixels;
    for (int i = 0; i < width * height; ++i) pixels.push_back(GetPixel(memory, i % width, i / width));
    DeleteObject(SelectObject(memory, old));
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

struct MessageBoxView {
    std::wstring title;
    std::wstring text;
    HWND owner;
    int iconKind;              // 16 critical, 64 information, 0 neither
    std::vector<int> buttons;  // the ids of the buttons it shows
};

inline MessageBoxView ReadMessageBox(HWND box) {
    MessageBoxView view{
        WindowText(box), WindowText(GetDlgItem(box, 0xFFFF)), GetWindow(box, GW_OWNER), 0, {}};
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = {};
        GetClassNameW(child, className, 16);
        if (lstrcmpiW(className, L"Button") == 0 && IsWindowVisible(child))
            view.buttons.push_back(GetDlgCtrlID(child));
    }
    HWND icon = GetWindow(box, GW_CHILD);
    while (icon && (GetWindowLongW(icon, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
        icon = GetWindow(icon, GW_HWNDNEXT);
    RECT rect{};
    GetWindowRect(icon, &rect);
    // The icon's colour tells it, once the box has painted: the critical one
    // is red, the information one blue.
    WaitUntil(
        [&] {
            int red = 0, blue = 0;
            for (COLORREF pixel : CaptureScreen(rect)) {
                red += GetRValue(pixel) > 160 && GetGValue(pixel) < 96 && GetBValue(pixel) < 96;
                blue += GetBValue(pixel) > 160 && GetRValue(pixel) < 96 && GetGValue(pixel) < 160;
            }
            view.iconKind = red > 50 ? 16 : blue > 50 ? 64 : 0;
            return view.iconKind != 0;
        },
        3s);
    return view;
}

// A tool's entry point: runs `body`, and says in one line what failed if it threw.
inline int RunTool(const char* name, int (*body)(int, wchar_t**), int argc, wchar_t** argv) {
    try {
        return body(argc, argv);
    } catch (const std::exception& failure) {
        std::printf("%s: %s\n", name, failure.what());
        return 1;
    }
}

inline void PressMessageBoxOk(HWND box) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

}  // namespace quillane::driver
