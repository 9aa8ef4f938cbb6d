// The dialog's rules that need no Windows: its pixels at any resolution, its
// tab order, its template, and Label1's colour.

#include "app/DialogLayout.h"
#include "app/TitleColour.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace quillane {
namespace {

std::tuple<int, int, int, int> Tuple(const PixelRect& rect) {
    return {rect.left, rect.top, rect.width, rect.height};
}

TEST(DialogLayout, TwipsBecomePixelsAtTheDisplaysResolution) {
    // 96 dpi, 15 twips to the pixel: the client area of 237 x 87 and the
    // controls within it, row by row.
    EXPECT_EQ(Tuple(ClientArea(96, 96)), std::tuple(0, 0, 237, 87));
    const std::tuple<int, int, int, int> at96[] = {
        {124, 56, 69, 25}, {44, 56, 69, 25}, {4, 4, 229, 17}, {4, 24, 229, 25}};
    for (size_t i = 0; i < kControlCount; ++i)
        EXPECT_EQ(Tuple(ControlArea(kControls[i], 96, 96)), at96[i]) << i;
    // Elsewhere the nearest pixel, a half up: 3555 twips at 144 dpi are 355.5
    // pixels; 1305 at 120 dpi 108.75. Each axis at its own resolution.
    EXPECT_EQ(Tuple(ClientArea(144, 120)), std::tuple(0, 0, 356, 109));
    // 9.75 points are 13 pixels at 96 dpi and 19.5, so 20, at 144; 8 points 10.67, so 11.
    EXPECT_EQ(FontHeight(975, 96), -13);
    EXPECT_EQ(FontHeight(975, 144), -20);
    EXPECT_EQ(FontHeight(800, 96), -11);
}

TEST(DialogLayout, TabOrderRunsFromOkToCancelThenTheLabels) {
    std::vector<int> ids;
    for (const ControlRow* row : TabOrder()) ids.push_back(row ? row->id : 0);
    EXPECT_EQ(ids, (std::vector<int>{kOkId, kCancelId, kLabel2Id, kLabel1Id}));
}

TEST(DialogLayout, TemplateAsksForAHiddenCaptionedBoxWithNoItemsAtTheDefaultPosition) {
    const auto words = DialogTemplate();
    // Style WS_CAPTION | WS_SYSMENU (not visible, no modal frame, no font),
    // low word first; no extended style; no items; x CW_USEDEFAULT; y, width
    // and height 0; no menu; the dialog manager's own class; the caption and
    // its ending zero.
    std::vector<std::uint16_t> expected = {0, 0x00C8, 0, 0, 0, 0x8000, 0, 0, 0, 0, 0};
    for (wchar_t c : std::wstring(L"Quillane Configuration")) expected.push_back(c);
    expected.push_back(0);
    EXPECT_EQ(std::vector<std::uint16_t>(words.begin(), words.end()), expected);
}

TEST(TitleColour, ContrastRunsFromOneToTwentyOneWithEachChannelWeighted) {
    const Colour black = Rgb(0, 0, 0), white = Rgb(255, 255, 255);
    EXPECT_DOUBLE_EQ(ContrastRatio(black, white), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(white, black), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(kTitleBlue, kTitleBlue), 1.0);
    // WCAG 2's weights, red 0.2126, green 0.7152, blue 0.0722, against black.
    EXPECT_NEAR(ContrastRatio(Rgb(255, 0, 0), black), 5.252, 0.001);
    EXPECT_NEAR(ContrastRatio(Rgb(0, 255, 0), black), 15.304, 0.001);
    EXPECT_NEAR(ContrastRatio(Rgb(0, 0, 255), black), 2.444, 0.001);
    EXPECT_NEAR(ContrastRatio(kTitleBlue, black), 1.761, 0.001);
}

TEST(TitleColour, Label1KeepsItsBlueOnlyWhereItIsLegible) {
    const Colour text = Rgb(1, 2, 3);
    // The face colour, whether high contrast is on, and Label1's text colour.
    const std::tuple<Colour, bool, Colour> cases[] = {
        {Rgb(240, 240, 240), false, kTitleBlue},  // Windows' faces since Vista
        {Rgb(192, 192, 192), false, kTitleBlue},  // XP's classic scheme
        {Rgb(159, 159, 159), false, kTitleBlue},  // 4.5:1
        {Rgb(158, 158, 158), false, text},        // just under
        {Rgb(0, 0, 0), false, text},              // High Contrast Black's faces
        {Rgb(240, 240, 240), true, text},         // high contrast with light faces
    };
    for (const auto& [face, highContrast, colour] : cases)
        EXPECT_EQ(TitleTextColour(highContrast, face, text), colour)
            << std::hex << face << " " << highContrast;
}

}  // namespace
}  // namespace quillane
