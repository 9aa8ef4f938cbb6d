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
    for (const Text& empty : {Text(nullptr), Text(L"x", 0), Text::OfLength(0), path.Slice(99)})
        EXPECT_EQ(Wide(empty) + empty.back(), std::wstring(2, L'\0'));
    EXPECT_EQ(Wide(path.Slice(3, 99)), std::wstring(L"Tools\\Q.dll", 12));
    EXPECT_EQ(std::pair(path.FindLast(L'\\'), path.FindLast(L'z')), std::pair(size_t{8}, Text::npos));
    EXPECT_TRUE(path.StartsWith(L"C:\\") && path.StartsWith(path) && !path.StartsWith(path + L"s"));

    Text copy = path;
    copy = copy.Slice(0, 8) + L"\\";
    Text moved = std::move(path);
    EXPECT_EQ(Wide(path) + Wide(copy) + Wide(moved),  // a moved-from text is empty, and usable
              std::wstring(L"\0C:\\Tools\\\0C:\\Tools\\Q.dll", 26));
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
