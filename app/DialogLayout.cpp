#include "app/DialogLayout.h"

namespace quillane {
namespace {

// a * b / c, rounded to the nearest whole number, a half up, for values that
// are not negative; in 64 bits, so that no product overflows.
int MulDivRounded(int a, int b, int c) {
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    return static_cast<int>((product + c / 2) / c);
}

}  // namespace

int TwipsToPixels(int twips, int dpi) { return MulDivRounded(twips, dpi, 1440); }

PixelRect ClientArea(int dpiX, int dpiY) {
    return {0, 0, TwipsToPixels(kClientWidthTwips, dpiX), TwipsToPixels(kClientHeightTwips, dpiY)};
}

PixelRect ControlArea(const ControlRow& row, int dpiX, int dpiY) {
    return {TwipsToPixels(row.left, dpiX), TwipsToPixels(row.top, dpiY), TwipsToPixels(row.width, dpiX),
            TwipsToPixels(row.height, dpiY)};
}

// A point is 1/72 inch.
int FontHeight(int centipoints, int dpiY) { return -MulDivRounded(centipoints, dpiY, 7200); }

std::array<const ControlRow*, kControlCount> TabOrder() {
    std::array<const ControlRow*, kControlCount> order{};
    for (const ControlRow& row : kControls)
        if (row.tabIndex >= 0 && static_cast<std::size_t>(row.tabIndex) < order.size())
            order[static_cast<std::size_t>(row.tabIndex)] = &row;
    return order;
}

std::array<std::uint16_t, kDialogTemplateWords> DialogTemplate() {
    // CW_USEDEFAULT in 16 bits: the window system's default position.
    constexpr std::uint16_t kDefaultPosition = 0x8000;
    std::array<std::uint16_t, kDialogTemplateWords> words{};
    words[0] = static_cast<std::uint16_t>(kDialogStyle & 0xFFFF);  // the style, low word first
    words[1] = static_cast<std::uint16_t>(kDialogStyle >> 16);
    // No extended style and no items; the width, height and y are set once
    // the dialog exists.
    words[5] = kDefaultPosition;  // x
    // Words 9 and 10, no menu and the dialog manager's own class, stay 0.
    for (std::size_t i = 0; i < std::size(kDialogCaption); ++i)
        words[11 + i] = static_cast<std::uint16_t>(kDialogCaption[i]);
    return words;
}

}  // namespace quillane
