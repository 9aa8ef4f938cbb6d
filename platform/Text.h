#pragma once

// Text that the program owns, always zero-terminated: wide (Text), or in the
// system's ANSI code page (AnsiText). The standard library's strings would
// serve as well, but in this toolchain's static runtime any use of them, or
// of its containers, links the whole of the library's exception messages:
// more than half of the program's size. This is all the program asks of text.

#include "platform/Failure.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <memory>
#include <utility>

// What points into a text lives no longer than the text: Clang then reports a
// pointer kept past a temporary's end, as it does for the standard strings.
#if defined(__clang__)
#define QUILLANE_LIFETIMEBOUND [[clang::lifetimebound]]
#else
#define QUILLANE_LIFETIMEBOUND
#endif

namespace quillane {

template <typename Char>
class BasicText {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    // The longest text: its characters and ending zero in bytes that a signed
    // size can still count, as the allocator requires.
    static constexpr std::size_t kMaxLength =
        static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(Char) - 1;

    BasicText() = default;
    // A copy of a zero-terminated text; a null pointer gives the empty text.
    BasicText(const Char* text) : BasicText(text, Length(text)) {}
    // A copy of `length` characters from `text`.
    BasicText(const Char* text, std::size_t length) : BasicText(OfLength(length)) {
        if (length) std::copy(text, text + length, chars_.get());
    }
    BasicText(const BasicText& other) : BasicText(other.c_str(), other.size_) {}
    BasicText(BasicText&& other) noexcept
        : chars_(std::move(other.chars_)), size_(std::exchange(other.size_, 0)) {}
    BasicText& operator=(BasicText other) noexcept {
        chars_ = std::move(other.chars_);
        size_ = std::exchange(other.size_, 0);
        return *this;
    }

    // `length` characters, all zero, to be written through data(). A length
    // past kMaxLength is a Failure, never a smaller buffer.
    static BasicText OfLength(std::size_t length) {
        if (length > kMaxLength) throw Failure("text too long to hold", 0);
        BasicText text;
        text.chars_ = std::make_unique<Char[]>(length + 1);
        text.size_ = length;
        return text;
    }

    const Char* c_str() const QUILLANE_LIFETIMEBOUND { return chars_ ? chars_.get() : &kNothing; }
    Char* data() QUILLANE_LIFETIMEBOUND { return chars_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // The last character; the zero that ends it when the text is empty.
    Char back() const { return empty() ? Char() : chars_[size_ - 1]; }

    // Where `c` last stands, or npos.
    std::size_t FindLast(Char c) const {
        for (std::size_t i = size_; i > 0; --i)
            if (chars_[i - 1] == c) return i - 1;
        return npos;
    }
    bool StartsWith(const BasicText& prefix) const {
        return prefix.size_ <= size_ &&
               std::equal(prefix.c_str(), prefix.c_str() + prefix.size_, c_str());
    }
    // At most `length` characters from `start` on; none past the end.
    BasicText Slice(std::size_t start, std::size_t length = npos) const {
        start = std::min(start, size_);
        return BasicText(c_str() + start, std::min(length, size_ - start));
    }

    // Each text is at most kMaxLength, so their sum cannot wrap.
    friend BasicText operator+(const BasicText& a, const BasicText& b) {
        BasicText joined = OfLength(a.size_ + b.size_);
        std::copy(b.c_str(), b.c_str() + b.size_,
                  std::copy(a.c_str(), a.c_str() + a.size_, joined.data()));
        return joined;
    }
    friend bool operator==(const BasicText& a, const BasicText& b) {
        return a.size_ == b.size_ && std::equal(a.c_str(), a.c_str() + a.size_, b.c_str());
    }
    friend bool operator!=(const BasicText& a, const BasicText& b) { return !(a == b); }

private:
    static std::size_t Length(const Char* text) {
        std::size_t length = 0;
        if (text)
            while (text[length]) ++length;
        return length;
    }

    static constexpr Char kNothing = Char();
    std::unique_ptr<Char[]> chars_;
    std::size_t size_ = 0;
};

using Text = BasicText<wchar_t>;
using AnsiText = BasicText<char>;

}  // namespace quillane
