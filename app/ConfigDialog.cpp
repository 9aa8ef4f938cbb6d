#include "app/ConfigDialog.h"

#include "registration/AddInList.h"
#include "registration/ComponentCheck.h"
#include "resources/resource.h"

namespace quillane {
namespace {

static_assert(kOkId == IDOK && kCancelId != IDCANCEL);
static_assert(kDialogStyle == (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU));
constexpr DWORD kDialogExStyle = 0;

// Label1 stands out: Arial 9.75 point bold.
constexpr wchar_t kTitleFontFace[] = L"Arial";
constexpr int kTitleFontCentipoints = 975;
// The system's default dialog font.
constexpr wchar_t kDialogFontFace[] = L"MS Shell Dlg";
constexpr int kDialogFontCentipoints = 800;

// A row's window class and style.
const wchar_t* WindowClass(ControlKind kind) {
    return kind == ControlKind::Label ? L"STATIC" : L"BUTTON";
}
DWORD ControlStyle(ControlKind kind) {
    switch (kind) {
    case ControlKind::Button:
        return WS_TABSTOP | BS_PUSHBUTTON;
    case ControlKind::DefaultButton:
        return WS_TABSTOP | BS_DEFPUSHBUTTON;
    case ControlKind::Label:
        return SS_CENTER;
    }
    return 0;
}

UniqueFont MakeFont(const wchar_t* face, int centipoints, int weight, BYTE charset, int dpiY) {
    LOGFONTW font{};
    font.lfHeight = FontHeight(centipoints, dpiY);
    font.lfWeight = weight;
    font.lfCharSet = charset;
    font.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&font));
}

}  // namespace

ConfigDialog::ConfigDialog(HINSTANCE instance, PlatformServices& platform,
                           ReadSettingFunction readSetting)
    : instance_(instance), platform_(platform), readSetting_(readSetting) {}

ConfigDialog::~ConfigDialog() {
    if (IsOpen()) DestroyWindow(window_);
}

bool ConfigDialog::Create() {
    // A DLGTEMPLATE must be aligned on a DWORD: the array's own alignment is
    // only a WORD's.
    alignas(DWORD) const std::array<std::uint16_t, kDialogTemplateWords> dialogTemplate =
        DialogTemplate();
    CreateDialogIndirectParamW(instance_, reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()),
                               nullptr, DialogProcedure, reinterpret_cast<LPARAM>(this));
    return IsOpen() && okButton_ != nullptr;
}

// Sizes the dialog box from its client area and makes the controls of the
// table, with their fonts, in tab order.
void ConfigDialog::OnInit() {
    SendMessageW(window_, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadIconW(instance_, MAKEINTRESOURCEW(IDI_QUILLANE))));
    SendMessageW(window_, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_QUILLANE),
                                                     IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                     GetSystemMetrics(SM_CYSMICON), LR_SHARED)));

    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const PixelRect client = ClientArea(dpiX, dpiY);
    RECT frame{0, 0, client.width, client.height};
    AdjustWindowRectEx(&frame, kDialogStyle, FALSE, kDialogExStyle);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    dialogFont_ = MakeFont(kDialogFontFace, kDialogFontCentipoints, FW_NORMAL, DEFAULT_CHARSET, dpiY);
    titleFont_ = MakeFont(kTitleFontFace, kTitleFontCentipoints, FW_BOLD, ANSI_CHARSET, dpiY);
    for (const ControlRow& row : kControls) {
        const PixelRect area = ControlArea(row, dpiX, dpiY);
        HWND control = CreateWindowExW(
            0, WindowClass(row.kind), row.caption, WS_CHILD | WS_VISIBLE | ControlStyle(row.kind),
            area.left, area.top, area.width, area.height, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance_, nullptr);
        if (!control) continue;
        HFONT font = row.id == kLabel1Id ? titleFont_.get() : dialogFont_.get();
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (row.id == kOkId) okButton_ = control;
    }
    // The dialog manager moves the focus in z-order: put the controls in tab order.
    for (const ControlRow* row : TabOrder())
        SetWindowPos(GetDlgItem(window_, row->id), HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ChooseTitleColour();
    // Controls made after the template know nothing of a default: tell the dialog manager.
    SendMessageW(window_, DM_SETDEFID, kOkId, 0);
}

void ConfigDialog::Load() { RunComponentCheck(platform_, window_); }

bool ConfigDialog::IsOpen() const { return window_ != nullptr; }

void ConfigDialog::Show(int showCommand) {
    ShowWindow(window_, showCommand);
    SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(okButton_), TRUE);
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

INT_PTR CALLBACK ConfigDialog::DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<ConfigDialog*>(lParam);
        dialog->window_ = window;
        SetWindowLongPtrW(window, DWLP_USER, lParam);
    }
    auto* dialog = reinterpret_cast<ConfigDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!dialog) return FALSE;

    // No exception may unwind through Windows: a failure that escapes a handler
    // closes the dialog, and the program then ends with a failure status.
    try {
        return dialog->HandleMessage(message, wParam, lParam);
    } catch (...) {
        dialog->failure_ = std::current_exception();
        if (IsWindow(window)) DestroyWindow(window);
        return TRUE;
    }
}

// What is not handled here (FALSE) the dialog manager does: Enter, Tab, the
// default button, and the focus kept while the user is in another window.
INT_PTR ConfigDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInit();
        return FALSE;  // the focus is set when the dialog is shown
    case WM_COMMAND:
        // Esc arrives as IDCANCEL, which no control has: it presses nothing.
        if (HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == kOkId) OnOk();
            if (LOWORD(wParam) == kCancelId) OnCancel();
        }
        return TRUE;
    case WM_CLOSE:
        // The close box and Close on the system menu; the dialog manager would
        // turn them into IDCANCEL, which presses nothing.
        OnCancel();
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        // The user chose other colours, or high contrast: choose Label1's
        // anew, and draw the text again.
        ChooseTitleColour();
        InvalidateRect(window_, nullptr, TRUE);
        return FALSE;
    case WM_DESTROY:
        SetWindowLongPtrW(window_, DWLP_USER, 0);
        window_ = nullptr;
        // With the one window gone, the program ends.
        PostQuitMessage(failure_ ? 1 : 0);
        return FALSE;
    default:
        return FALSE;
    }
}

void ConfigDialog::OnOk() {
    RegisterAddIn(platform_);
    platform_.CloseDialog(window_);
}

void ConfigDialog::OnCancel() { platform_.CloseDialog(window_); }

bool ConfigDialog::HighContrastOn() const {
    HIGHCONTRASTW highContrast{};
    highContrast.cbSize = sizeof(highContrast);
    return readSetting_(SPI_GETHIGHCONTRAST, sizeof(highContrast), &highContrast, 0) &&
           (highContrast.dwFlags & HCF_HIGHCONTRASTON);
}

// Chosen when the dialog is made and when the colours or settings change, not
// each time a label is drawn.
void ConfigDialog::ChooseTitleColour() {
    titleColour_ =
        TitleTextColour(HighContrastOn(), GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT));
}

INT_PTR ConfigDialog::OnControlColour(HDC dc, HWND control) {
    SetTextColor(dc, GetDlgCtrlID(control) == kLabel1Id ? titleColour_ : GetSysColor(COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace quillane
