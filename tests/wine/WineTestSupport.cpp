#include "tests/wine/WineTestSupport.h"

#include "platform/WindowsPlatformServices.h"

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>
#include <thread>
#include <utility>

namespace quillane::wine {

std::string ToUtf8(const std::wstring& text) { return fs::path(text).u8string(); }

fs::path FromAnsi(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(
        static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                                wide.data(), static_cast<int>(wide.size()))));
    return wide;
}

fs::path BinFolder() { return fs::path(GetModulePath(nullptr)).parent_path(); }

fs::path CopyInto(const fs::path& source, const fs::path& folder) {
    fs::copy_file(source, folder / source.filename(), fs::copy_options::overwrite_existing);
    return folder / source.filename();
}

ScratchFolder::ScratchFolder(const std::wstring& name)
    : path_(fs::temp_directory_path() / (L"quillane-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                         std::to_wstring(GetTickCount64()) + L"-" + name)) {
    fs::create_directories(path_);
}

// Folders past MAX_PATH characters stay: this C runtime cannot reach them, and
// the test script empties the temporary folder before each run.
ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void UnregisterAddInClass() {
    const LONG result =
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"CLSID\\{F3FAB5F4-5689-11D5-816A-444553540000}");
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        throw std::runtime_error("cannot remove the add-in's class registration");
}

SelfRegisterLog::SelfRegisterLog(const fs::path& folder) : file_(folder / L"selfregister.log") {
    SetEnvironmentVariableW(L"VB6STKIT_STANDIN_LOG", file_.c_str());
}

std::vector<std::string> SelfRegisterLog::Paths() const {
    std::vector<std::string> paths;
    std::ifstream log(file_, std::ios::binary);
    for (std::string line; std::getline(log, line);) paths.push_back(line.substr(0, line.find('\r')));
    return paths;
}

fs::path AddInListPath() {
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    return fs::path(windows) / L"VBADDIN.INI";
}

void RequireDisplay() {
    HWND probe =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(probe, nullptr) << "no window could be created: is there a display (DISPLAY)?";
    DestroyWindow(probe);
}

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (; !condition(); std::this_thread::sleep_for(10ms))
        if (std::chrono::steady_clock::now() >= deadline) return false;
    return true;
}

Program::Program(const std::wstring& exe, const std::wstring& arguments) {
    const bool loader = exe.size() >= MAX_PATH;
    // The loader finds its helpers from its own name: it is started by its
    // Unix path, through env.
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    if (loader)
        commandLine = L"Z:\\usr\\bin\\env " + std::wstring(_wgetenv(L"WINELOADER")) + L" " + commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(loader ? nullptr : exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process_))
        throw std::runtime_error("cannot start " + ToUtf8(commandLine));
    CloseHandle(process_.hThread);
    if (!loader) return;
    // The loader's process is a Unix one: the program is found by its dialog,
    // which it creates, hidden, before anything else, in a process running exe.
    CloseHandle(process_.hProcess);
    process_.hProcess = nullptr;
    WaitUntil([&] {
        for (HWND w = nullptr;
             !process_.hProcess && (w = FindWindowExW(nullptr, w, L"QuillaneConfig", nullptr));) {
            process_.dwThreadId = GetWindowThreadProcessId(w, &process_.dwProcessId);
            process_.hProcess =
                OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE,
                            process_.dwProcessId);
            wchar_t image[32768];
            DWORD size = 32768;
            if (process_.hProcess && (!QueryFullProcessImageNameW(process_.hProcess, 0, image, &size) ||
                                      lstrcmpiW(image, exe.c_str()) != 0))
                CloseHandle(std::exchange(process_.hProcess, nullptr));
        }
        return process_.hProcess != nullptr;
    });
    if (!process_.hProcess) throw std::runtime_error("the program did not start: " + ToUtf8(exe));
}

Program::~Program() {
    if (!WaitForExit(0ms)) TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 5000);
    CloseHandle(process_.hProcess);
}

HWND Program::WaitForWindow(const wchar_t* className) const {
    HWND found = nullptr;
    WaitUntil([&] {
        DWORD owner = 0;
        found = FindWindowW(className, nullptr);
        if (found) GetWindowThreadProcessId(found, &owner);
        if (owner != process_.dwProcessId || !IsWindowVisible(found)) found = nullptr;
        return found || WaitForExit(0ms);
    });
    return found;
}

std::optional<DWORD> Program::WaitForExit(std::chrono::milliseconds timeout) const {
    DWORD status = 0;
    if (!WaitUntil([&] { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }, timeout))
        return std::nullopt;
    GetExitCodeProcess(process_.hProcess, &status);
    return status;
}

HWND Program::FocusedControl() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(process_.dwThreadId, &info) ? info.hwndFocus : nullptr;
}

void Program::PressKey(UINT virtualKey) const {
    PostMessageW(FocusedControl(), WM_KEYDOWN, virtualKey, 1);
    PostMessageW(FocusedControl(), WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
}

std::vector<COLORREF> CaptureScreen(const RECT& rect) {
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

MessageBoxView ReadMessageBox(HWND box) {
    MessageBoxView view{WindowText(box), WindowText(GetDlgItem(box, 0xFFFF)), GetWindow(box, GW_OWNER),
                        0};
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

void PressMessageBoxOk(HWND box) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

}  // namespace quillane::wine
