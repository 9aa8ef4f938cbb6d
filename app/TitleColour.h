#pragma once

// Label1's text colour, as a rule of plain C++: colours are laid out as in
// Windows' COLORREF, 0x00BBGGRR.

#include <cstdint>

namespace quillane {

using Colour = std::uint32_t;

constexpr Colour Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<Colour>(red) | static_cast<Colour>(green) << 8 | static_cast<Colour>(blue) << 16;
}

// Label1's own colour, a dark blue.
inline constexpr Colour kTitleBlue = Rgb(0, 0, 192);

// WCAG 2's contrast ratio of two colours, from 1:1 to 21:1.
double ContrastRatio(Colour a, Colour b);

// Label1's text colour on a background: its own dark blue wherever that is
// legible, that is outside high-contrast mode and at a contrast ratio of at
// least 4.5:1 (WCAG 2), and the system's text colour elsewhere.
Colour TitleTextColour(bool highContrast, Colour background, Colour systemText);

}  // namespace quillane
