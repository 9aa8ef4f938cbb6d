// The program's own text at its edges: owned copies, always zero-terminated,
// empty when moved from, and slices that stay within it.

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <cstdint>

#include <string>
#include <utility>

namespace quillane {
namespace {

std::wstring Wide(const Text& text) { return std::wstring(text.c_str(), text.size() + 1); }

TEST(Text, OwnsAZeroTerminatedCopyThatMovesAndSlicesSafely) {
    wchar_t source[] = L"C:\\Tools\\Q.dll";
    Text path = source;
    source[0] = L'D';
    EXPECT_EQ(Wide(path), std::wstring(L"C:\\Tools\\Q.dll", 15));
    const Text empties[] = {Text(nullptr), Text(L"x", 0), Text::OfLength(0), path.Slice(99)};
    for (const Text& empty : empties) {
        SCOPED_TRACE(&empty - empties);
        EXPECT_EQ(Wide(empty), std::wstring(1, L'\0'));
        EXPECT_EQ(empty.back(), L'\0');
    }
    EXPECT_EQ(Wide(path.Slice(3, 99)), std::wstring(L"Tools\\Q.dll", 12));
    EXPECT_EQ(path.FindLast(L'\\'), size_t{8});
    EXPECT_EQ(path.FindLast(L'z'), Text::npos);
    EXPECT_TRUE(path.StartsWith(L"C:\\"));
    EXPECT_TRUE(path.StartsWith(path));
    EXPECT_FALSE(path.StartsWith(path + L"s"));

    Text copy = path;
    copy = copy.Slice(0, 8) + L"\\";
    Text moved = std::move(path);
    EXPECT_EQ(Wide(path), std::wstring(1, L'\0')) << "a moved-from text is empty, and usable";
    EXPECT_EQ(Wide(copy), std::wstring(L"C:\\Tools\\", 10));
    EXPECT_EQ(Wide(moved), std::wstring(L"C:\\Tools\\Q.dll", 15));
}

TEST(Text, KeepsItselfWhenAssignedToItself) {
    Text text = L"C:\\Tools";
    Text& same = text;
    text = same;
    EXPECT_EQ(Wide(text), std::wstring(L"C:\\Tools", 9)) << "copied onto itself";
    text = std::move(same);
    EXPECT_EQ(Wide(text), std::wstring(L"C:\\Tools", 9)) << "moved onto itself";
}

TEST(Text, ALengthItCannotHoldIsAFailureNotAWrappedSize) {
    // SIZE_MAX + 1 wraps to 0: a buffer of no characters that claimed SIZE_MAX.
    for (std::size_t length : {SIZE_MAX, SIZE_MAX / sizeof(wchar_t), Text::kMaxLength + 1}) {
        SCOPED_TRACE(length);
        EXPECT_THROW(Text::OfLength(length), Failure);
    }
    EXPECT_THROW(AnsiText::OfLength(SIZE_MAX), Failure);
}

}  // namespace
}  // namespace quillane
