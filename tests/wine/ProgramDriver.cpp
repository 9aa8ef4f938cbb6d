#include "tests/wine/ProgramDriver.h"

#include "tests/wine/WineTestSupport.h"

#include <algorithm>
#include <stdexcept>

namespace quillane::wine {

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(10);
    }
}

Program::Program(const std::wstring& exe, const std::wstring& arguments,
                 const std::wstring& workingFolder, Launch launch) {
    if (launch == Launch::kWineLoader) {
        StartThroughWineLoader(exe);
        return;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring commandLine = Quoted(exe) + (arguments.empty() ? L"" : L" " + arguments);
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info))
        throw std::runtime_error("cannot start " + ToUtf8(exe) + ", error " + std::to_string(GetLastError()));
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    threadId_ = info.dwThreadId;
    CloseHandle(info.hThread);
}

// The loader's process is a Unix one: the program is found by its window,
// which it creates, hidden, before anything else.
void Program::StartThroughWineLoader(const std::wstring& exe) {
    wchar_t loader[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"WINELOADER", loader, ARRAYSIZE(loader));
    if (length == 0 || length >= ARRAYSIZE(loader)) throw std::runtime_error("WINELOADER is not set");
    // The loader finds its helpers from its own name, so it is started by its
    // Unix path, through env.
    std::wstring commandLine = L"Z:\\usr\\bin\\env " + Quoted(loader) + L" " + Quoted(exe);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        throw std::runtime_error("cannot start Wine's loader, error " + std::to_string(GetLastError()));
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);

    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindWindowW(L"QuillaneConfig", nullptr)) != nullptr; });
    if (!dialog) throw std::runtime_error("the program did not start: " + ToUtf8(exe));
    threadId_ = GetWindowThreadProcessId(dialog, &processId_);
    process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, processId_);
    if (!process_) throw std::runtime_error("cannot open the program's process");
}

Program::~Program() {
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

namespace {

struct WindowSearch {
    DWORD processId;
    bool all;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.processId && (search.all || IsWindowVisible(window))) search.found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> Program::TopLevelWindows(bool all) const {
    WindowSearch search{processId_, all, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Program::Dialog() const {
    for (HWND window : TopLevelWindows(true))
        if (ClassName(window) == L"QuillaneConfig") return window;
    return nullptr;
}

void Program::Observe() {
    for (HWND window : TopLevelWindows()) {
        const std::wstring name = ClassName(window);
        if (name == L"QuillaneConfig") sawVisibleDialog_ = true;
        if (name == L"#32770" &&
            std::find(messageBoxesSeen_.begin(), messageBoxesSeen_.end(), window) == messageBoxesSeen_.end())
            messageBoxesSeen_.push_back(window);
    }
}

HWND Program::WaitForWindow(const wchar_t* className, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            Observe();
            for (HWND window : TopLevelWindows())
                if (ClassName(window) == className) found = window;
            return found != nullptr || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
        },
        timeoutMs);
    return found;
}

std::optional<DWORD> Program::WaitForExit(DWORD timeoutMs) {
    const bool ended = WaitUntil(
        [&] {
            Observe();
            return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
        },
        timeoutMs);
    if (!ended) return std::nullopt;
    DWORD status = 0;
    GetExitCodeProcess(process_, &status);
    return status;
}

namespace {

HWND ChildWhere(HWND parent, const std::function<bool(HWND)>& match) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (match(child)) return child;
    return nullptr;
}

// Tells the message box's icon by drawing each candidate on the same
// background and comparing pixels with what is on screen.
int IconKind(HWND box) {
    HWND iconControl = ChildWhere(box, [](HWND child) {
        return ClassName(child) == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
    });
    if (!iconControl) return 0;
    RECT rect;
    GetWindowRect(iconControl, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const std::vector<COLORREF> shown = CaptureScreen(rect);
    if (shown.empty()) return 0;

    struct Candidate {
        int kind;
        const wchar_t* icon;
    };
    int best = 0;
    size_t bestMatches = 0;
    for (const Candidate& candidate : {Candidate{16, IDI_HAND}, Candidate{64, IDI_ASTERISK},
                                       Candidate{48, IDI_EXCLAMATION}, Candidate{32, IDI_QUESTION}}) {
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        HGDIOBJ old = SelectObject(memory, bitmap);
        HBRUSH background = CreateSolidBrush(shown[0]);
        RECT whole{0, 0, width, height};
        FillRect(memory, &whole, background);
        DrawIconEx(memory, 0, 0, LoadIconW(nullptr, candidate.icon), 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
        size_t matches = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (GetPixel(memory, x, y) == shown[static_cast<size_t>(y * width + x)]) ++matches;
        SelectObject(memory, old);
        DeleteObject(background);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        if (matches > bestMatches) {
            bestMatches = matches;
            best = candidate.kind;
        }
    }
    // Demand a near-perfect likeness, not merely the least unlike.
    return bestMatches * 100 >= shown.size() * 98 ? best : 0;
}

}  // namespace

MessageBoxView ReadMessageBox(HWND box) {
    MessageBoxView view;
    view.title = WindowText(box);
    if (HWND text = GetDlgItem(box, 0xFFFF)) view.text = WindowText(text);
    view.owner = GetWindow(box, GW_OWNER);
    // The icon is drawn once the box has painted.
    WaitUntil([&] { return (view.iconKind = IconKind(box)) != 0; }, 3000);
    return view;
}

void PressMessageBoxOk(HWND box) {
    HWND ok = GetDlgItem(box, IDOK);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
}

HWND FocusedControl(DWORD threadId) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(threadId, &info)) return nullptr;
    return info.hwndFocus;
}

void PressKey(DWORD threadId, UINT virtualKey) {
    HWND target = FocusedControl(threadId);
    const UINT scanCode = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (scanCode << 16));
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (scanCode << 16) | (1u << 30) | (1u << 31));
}

std::vector<COLORREF> CaptureScreen(const RECT& rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return {};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    std::vector<COLORREF> pixels(static_cast<size_t>(width * height));
    const auto* quads = static_cast<const RGBQUAD*>(bits);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

RECT RectInParent(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace quillane::wine
