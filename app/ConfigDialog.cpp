#include "app/ConfigDialog.h"

#include "registration/AddInList.h"
#include "registration/ComponentCheck.h"
#include "resources/resource.h"

namespace quillane {
namespace {

constexpr wchar_t kCaption[] = L"Quillane Configuration";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = 0;
constexpr int kClientWidthTwips = 3555;
constexpr int kClientHeightTwips = 1305;

// Label1 stands out: Arial 9.75 point bold, in dark blue.
constexpr wchar_t kTitleFontFace[] = L"Arial";
constexpr int kTitleFontCentipoints = 975;
constexpr COLORREF kTitleTextColour = RGB(0, 0, 192);
// The system's default dialog font.
constexpr wchar_t kDialogFontFace[] = L"MS Shell Dlg";
constexpr int kDialogFontPoints = 8;

// Twips (1440 to the inch) to pixels at `dpi`.
int TwipsToPixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

enum class Kind { PushButton, Label };

struct ControlRow {
    const wchar_t* name;
    Kind kind;
    const wchar_t* caption;
    int left, top, width, height;  // twips, in the client area
    int tabIndex;
    int id;
    DWORD style;
};

// Created in this order; the tab index decides the focus order.
constexpr ControlRow kControls[] = {
    {L"cmdCancel", Kind::PushButton, L"Cancel", 1860, 840, 1035, 375, 1, kCancelId,
     WS_TABSTOP | BS_PUSHBUTTON},
    {L"cmdOK", Kind::PushButton, L"OK", 660, 840, 1035, 375, 0, kOkId, WS_TABSTOP | BS_DEFPUSHBUTTON},
    {L"Label1", Kind::Label, L"Quillane Add-In Configuration", 60, 60, 3435, 255, 3, kLabel1Id,
     SS_CENTER},
    {L"Label2", Kind::Label, L"Click OK to register the Quillane Add-In.", 60, 360, 3435, 375, 2,
     kLabel2Id, SS_CENTER},
};

UniqueFont MakeFont(const wchar_t* face, int centipoints, int weight, BYTE charset, int dpiY) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(centipoints, dpiY, 7200);
    font.lfWeight = weight;
    font.lfCharSet = charset;
    font.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&font));
}

bool RegisterWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    if (GetClassInfoExW(instance, kDialogClassName, &windowClass)) return true;
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QUILLANE));
    windowClass.hIconSm =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_QUILLANE), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kDialogClassName;
    return RegisterClassExW(&windowClass) != 0;
}

}  // namespace

ConfigDialog::ConfigDialog(HINSTANCE instance, PlatformServices& platform)
    : instance_(instance), platform_(platform) {}

ConfigDialog::~ConfigDialog() {
    if (IsOpen()) DestroyWindow(window_);
}

bool ConfigDialog::Create() {
    if (!RegisterWindowClass(instance_, WindowProcedure)) return false;

    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, dpiX), TwipsToPixels(kClientHeightTwips, dpiY)};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
    window_ = CreateWindowExW(kWindowExStyle, kDialogClassName, kCaption, kWindowStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                              nullptr, instance_, this);
    if (!window_) return false;
    CreateControls(dpiX, dpiY);
    return okButton_ != nullptr;
}

void ConfigDialog::CreateControls(int dpiX, int dpiY) {
    dialogFont_ = MakeFont(kDialogFontFace, kDialogFontPoints * 100, FW_NORMAL, DEFAULT_CHARSET, dpiY);
    titleFont_ = MakeFont(kTitleFontFace, kTitleFontCentipoints, FW_BOLD, ANSI_CHARSET, dpiY);

    HWND byTabIndex[std::size(kControls)] = {};
    for (const ControlRow& row : kControls) {
        const wchar_t* windowClass = row.kind == Kind::PushButton ? L"BUTTON" : L"STATIC";
        HWND control =
            CreateWindowExW(0, windowClass, row.caption, WS_CHILD | WS_VISIBLE | row.style,
                            TwipsToPixels(row.left, dpiX), TwipsToPixels(row.top, dpiY),
                            TwipsToPixels(row.width, dpiX), TwipsToPixels(row.height, dpiY), window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance_, nullptr);
        if (!control) continue;
        HFONT font = row.id == kLabel1Id ? titleFont_.get() : dialogFont_.get();
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        byTabIndex[row.tabIndex] = control;
        if (row.id == kOkId) okButton_ = control;
    }
    // The dialog manager moves the focus in z-order: put the controls in tab order.
    for (HWND control : byTabIndex)
        if (control)
            SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    lastFocus_ = okButton_;
}

void ConfigDialog::Load() { RunComponentCheck(platform_, window_); }

bool ConfigDialog::IsOpen() const { return window_ != nullptr; }

void ConfigDialog::Show(int showCommand) {
    ShowWindow(window_, showCommand);
    SetFocus(okButton_);
    UpdateWindow(window_);
}

int ConfigDialog::RunUntilClosed() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window_ && IsDialogMessageW(window_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return failure_ ? 1 : 0;
}

LRESULT CALLBACK ConfigDialog::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* dialog =
            static_cast<ConfigDialog*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        dialog->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dialog));
    }
    auto* dialog = reinterpret_cast<ConfigDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!dialog) return DefWindowProcW(window, message, wParam, lParam);

    // No exception may unwind through Windows: a failure that escapes a handler
    // closes the dialog, and the program then ends with a failure status.
    try {
        return dialog->HandleMessage(message, wParam, lParam);
    } catch (...) {
        dialog->failure_ = std::current_exception();
        if (IsWindow(window)) DestroyWindow(window);
        return 0;
    }
}

LRESULT ConfigDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == kOkId) OnOk();
            if (LOWORD(wParam) == kCancelId) OnCancel();
        }
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(kOkId, DC_HASDEFID);
    case WM_ACTIVATE:
        OnActivate(wParam);
        return 0;
    case WM_CTLCOLORSTATIC:
        return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DESTROY:
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        window_ = nullptr;
        // With the one window gone, the program ends.
        PostQuitMessage(failure_ ? 1 : 0);
        return 0;
    default:
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void ConfigDialog::OnOk() {
    RegisterAddIn(platform_);
    platform_.CloseDialog(window_);
}

void ConfigDialog::OnCancel() { platform_.CloseDialog(window_); }

// Keeps the focus where it was when the user switches away and back.
void ConfigDialog::OnActivate(WPARAM wParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window_, focus)) lastFocus_ = focus;
    } else if (lastFocus_ && IsWindow(lastFocus_)) {
        SetFocus(lastFocus_);
    }
}

LRESULT ConfigDialog::OnControlColour(HDC dc, HWND control) {
    const bool title = GetDlgCtrlID(control) == kLabel1Id;
    SetTextColor(dc, title ? kTitleTextColour : GetSysColor(COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace quillane
