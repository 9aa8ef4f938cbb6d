#include "app/TitleColour.h"

#include <algorithm>
#include <cmath>

namespace quillane {
namespace {

// The least contrast ratio for text of Label1's size (WCAG 2).
constexpr double kLegibleContrast = 4.5;

// WCAG 2's relative luminance of a colour.
double Luminance(Colour colour) {
    const auto linear = [](Colour channel) {
        const double c = static_cast<double>(channel & 0xFF) / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour) + 0.7152 * linear(colour >> 8) + 0.0722 * linear(colour >> 16);
}

}  // namespace

double ContrastRatio(Colour a, Colour b) {
    // Both by value: std::minmax of two temporaries hands back references to
    // them, which die with the statement.
    const double first = Luminance(a), second = Luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

Colour TitleTextColour(bool highContrast, Colour background, Colour systemText) {
    const bool legible = !highContrast && ContrastRatio(kTitleBlue, background) >= kLegibleContrast;
    return legible ? kTitleBlue : systemText;
}

}  // namespace quillane
