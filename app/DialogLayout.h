#pragma once

// The dialog as data, in plain C++: its controls in twips (1440 to the inch),
// row for row as they are created; their pixels at the display's resolution;
// their tab order; and the in-memory template from which Windows' dialog
// manager makes the dialog box. The few Windows values it needs are written
// out, and the dialog's code checks them against Windows' headers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace quillane {

// Control identifiers. OK is Windows' IDOK (1), so that Enter presses it;
// Cancel is not IDCANCEL (2), so that Esc, which the dialog manager turns into
// IDCANCEL, presses nothing.
enum ControlId : int {
    kOkId = 1,
    kCancelId = 101,
    kLabel1Id = 102,
    kLabel2Id = 103,
};

enum class ControlKind { Button, DefaultButton, Label };

struct ControlRow {
    const wchar_t* name;
    ControlKind kind;
    const wchar_t* caption;
    int left, top, width, height;  // twips, in the client area
    int tabIndex;
    int id;
};

// Created in this order; the tab index decides the focus order. The labels
// centre their text.
inline constexpr ControlRow kControls[] = {
    {L"cmdCancel", ControlKind::Button, L"Cancel", 1860, 840, 1035, 375, 1, kCancelId},
    {L"cmdOK", ControlKind::DefaultButton, L"OK", 660, 840, 1035, 375, 0, kOkId},
    {L"Label1", ControlKind::Label, L"Quillane Add-In Configuration", 60, 60, 3435, 255, 3, kLabel1Id},
    {L"Label2", ControlKind::Label, L"Click OK to register the Quillane Add-In.", 60, 360, 3435, 375, 2,
     kLabel2Id},
};
inline constexpr std::size_t kControlCount = std::size(kControls);

inline constexpr int kClientWidthTwips = 3555;
inline constexpr int kClientHeightTwips = 1305;

inline constexpr wchar_t kDialogCaption[] = L"Quillane Configuration";
// WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU: a fixed single border with a title
// bar, a system menu and a close box. No modal frame: with one, Windows may
// leave the icon out of the title bar.
inline constexpr std::uint32_t kDialogStyle = 0x00C80000;

struct PixelRect {
    int left, top, width, height;
};

// Twips to pixels at `dpi` dots per inch, rounded to the nearest pixel, a
// half up, as Windows' MulDiv rounds.
int TwipsToPixels(int twips, int dpi);
// The client area, and a control within it, in pixels.
PixelRect ClientArea(int dpiX, int dpiY);
PixelRect ControlArea(const ControlRow& row, int dpiX, int dpiY);
// A font's height for LOGFONT: negative, the character height in pixels of
// `centipoints` hundredths of a point.
int FontHeight(int centipoints, int dpiY);

// The rows by tab index: the first is the first tab stop, OK.
std::array<const ControlRow*, kControlCount> TabOrder();

// A DLGTEMPLATE, as 16-bit words, for a dialog box with no items: the
// style, the system's default position, no menu, the dialog manager's own
// class and the caption. It names no font, so it is measured in the system
// font; the dialog sizes itself once it exists.
inline constexpr std::size_t kDialogTemplateWords = 11 + std::size(kDialogCaption);
std::array<std::uint16_t, kDialogTemplateWords> DialogTemplate();

}  // namespace quillane
