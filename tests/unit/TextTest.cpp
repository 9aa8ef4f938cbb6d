// The program's own text: owned copies, always zero-terminated, and the few
// operations its paths need, at their edges.

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace quillane {
namespace {

std::wstring Wide(const Text& text) { return std::wstring(text.c_str(), text.size()); }

TEST(Text, OwnsAZeroTerminatedCopy) {
    wchar_t source[] = L"abc";
    const Text text(source);
    source[0] = L'x';
    EXPECT_EQ(Wide(text), L"abc");
    EXPECT_EQ(text.c_str()[3], L'\0');
    EXPECT_EQ(Wide(Text(L"abcdef", 2)), L"ab");
    for (const Text& empty : {Text(), Text(nullptr), Text(L"x", 0), Text::OfLength(0)}) {
        EXPECT_TRUE(empty.empty());
        EXPECT_EQ(empty.c_str()[0], L'\0');
        EXPECT_EQ(empty.back(), L'\0');
    }
    AnsiText filled = AnsiText::OfLength(2);
    EXPECT_EQ(std::string(filled.c_str(), 3), std::string(3, '\0'));
    filled.data()[0] = 'o', filled.data()[1] = 'k';
    EXPECT_STREQ(filled.c_str(), "ok");
}

TEST(Text, CopiesAndMovesShareNothing) {
    Text original = L"path";
    Text copy = original;
    copy = copy + L"!";
    EXPECT_EQ(Wide(original), L"path");
    Text moved = std::move(original);
    EXPECT_TRUE(original.empty());  // a moved-from text is empty, and usable
    EXPECT_EQ(original.c_str()[0], L'\0');
    original = moved;
    moved = std::move(copy);
    EXPECT_EQ(Wide(original) + Wide(moved), L"pathpath!");
    const Text& same = moved;
    moved = same;
    EXPECT_EQ(Wide(moved), L"path!");
}

TEST(Text, FindsSlicesAndJoinsWithinItsEnds) {
    const Text path = L"C:\\Tools\\Q.dll";
    EXPECT_EQ(path.FindLast(L'\\'), 8u);
    EXPECT_EQ(path.FindLast(L'z'), Text::npos);
    EXPECT_EQ(Text().FindLast(L'\\'), Text::npos);
    EXPECT_EQ(Wide(path.Slice(0, 8)), L"C:\\Tools");
    EXPECT_EQ(Wide(path.Slice(9)), L"Q.dll");
    EXPECT_EQ(Wide(path.Slice(3, 99)), L"Tools\\Q.dll");
    EXPECT_TRUE(path.Slice(99).empty());
    EXPECT_TRUE(path.StartsWith(L"C:\\") && path.StartsWith(L"") && path.StartsWith(path));
    EXPECT_FALSE(path.StartsWith(L"C:\\Tools\\Q.dlls") || path.StartsWith(L"D:"));
    EXPECT_EQ(path.back(), L'l');
    EXPECT_TRUE(L"C:" + Text(L"\\") == L"C:\\");
    EXPECT_TRUE(path != path.Slice(0, 8) && Text() + Text() == Text());
}

}  // namespace
}  // namespace quillane
