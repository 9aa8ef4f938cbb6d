#include "app/ConfigDialog.h"

#include "registration/AddInList.h"
#include "registration/ComponentCheck.h"
#include "resources/resource.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace quillane {
namespace {

constexpr wchar_t kCaption[] = L"Quillane Configuration";
// A fixed single border with title bar, system menu and close box. No modal
// frame: with one, Windows may leave the icon out of the title bar.
constexpr DWORD kDialogStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kDialogExStyle = 0;
// A template's x of 0x8000 (CW_USEDEFAULT in 16 bits) asks for the window
// system's default position, as for any new top-level window.
constexpr short kDefaultPosition = static_cast<short>(0x8000);
constexpr int kClientWidthTwips = 3555;
constexpr int kClientHeightTwips = 1305;

// Label1 stands out: Arial 9.75 point bold, in dark blue.
constexpr wchar_t kTitleFontFace[] = L"Arial";
constexpr int kTitleFontCentipoints = 975;
constexpr COLORREF kTitleTextColour = RGB(0, 0, 192);
// The least contrast ratio for text of this size (WCAG 2).
constexpr double kLegibleContrast = 4.5;
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

// A dialog template with no items: the dialog manager makes the dialog box
// itself, and its controls are made from the table, in pixels. It names no
// font, so it is measured in the system font; its size is set once it exists.
std::vector<WORD> DialogTemplate() {
    DLGTEMPLATE header{};
    header.style = kDialogStyle;
    header.dwExtendedStyle = kDialogExStyle;
    header.x = kDefaultPosition;
    std::vector<WORD> words(sizeof(header) / sizeof(WORD));
    std::memcpy(words.data(), &header, sizeof(header));
    words.push_back(0);  // no menu
    words.push_back(0);  // the dialog manager's own class
    words.insert(words.end(), kCaption, kCaption + std::size(kCaption));
    return words;
}

UniqueFont MakeFont(const wchar_t* face, int centipoints, int weight, BYTE charset, int dpiY) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(centipoints, dpiY, 7200);
    font.lfWeight = weight;
    font.lfCharSet = charset;
    font.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&font));
}

// WCAG 2's relative luminance of a colour.
double Luminance(COLORREF colour) {
    const auto linear = [](BYTE channel) {
        const double c = channel / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(GetRValue(colour)) + 0.7152 * linear(GetGValue(colour)) +
           0.0722 * linear(GetBValue(colour));
}

bool HighContrastOn() {
    HIGHCONTRASTW highContrast{};
    highContrast.cbSize = sizeof(highContrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(highContrast), &highContrast, 0) &&
           (highContrast.dwFlags & HCF_HIGHCONTRASTON);
}

}  // namespace

double ContrastRatio(COLORREF a, COLORREF b) {
    // Both by value: std::minmax of two temporaries hands back references to
    // them, which die with the statement.
    const double first = Luminance(a), second = Luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

COLORREF TitleTextColour(bool highContrast, COLORREF background, COLORREF systemText) {
    const bool legible =
        !highContrast && ContrastRatio(kTitleTextColour, background) >= kLegibleContrast;
    return legible ? kTitleTextColour : systemText;
}

ConfigDialog::ConfigDialog(HINSTANCE instance, PlatformServices& platform)
    : instance_(instance), platform_(platform) {}

ConfigDialog::~ConfigDialog() {
    if (IsOpen()) DestroyWindow(window_);
}

bool ConfigDialog::Create() {
    const std::vector<WORD> dialogTemplate = DialogTemplate();
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
    RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, dpiX), TwipsToPixels(kClientHeightTwips, dpiY)};
    AdjustWindowRectEx(&frame, kDialogStyle, FALSE, kDialogExStyle);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

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
        // The user chose other colours, or high contrast: draw the text anew.
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

INT_PTR ConfigDialog::OnControlColour(HDC dc, HWND control) {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF text = GetSysColor(COLOR_BTNTEXT);
    SetTextColor(
        dc, GetDlgCtrlID(control) == kLabel1Id ? TitleTextColour(HighContrastOn(), face, text) : text);
    SetBkColor(dc, face);
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace quillane
