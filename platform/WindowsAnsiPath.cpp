#include "platform/WindowsAnsiPath.h"

#include "platform/PathRules.h"
#include "platform/WindowsHandles.h"

#include <optional>

namespace quillane {
namespace {

// WC_ERR_INVALID_CHARS, which the headers declare for Windows Vista and later.
constexpr DWORD kRejectInvalidCharacters = 0x80;

// `text` in the system's ANSI code page, or nothing when any character has no
// exact equivalent there.
std::optional<AnsiText> ToAnsiExactly(const Text& text) {
    if (text.empty()) return AnsiText();
    const UINT codePage = GetACP();
    // With UTF-8 as the ANSI code page (Windows 10 and later only) every
    // character is representable, and the no-best-fit flag and the
    // default-character report are not allowed.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? kRejectInvalidCharacters : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    const int wideLength = static_cast<int>(text.size());

    const int size = WideCharToMultiByte(codePage, flags, text.c_str(), wideLength, nullptr, 0, nullptr,
                                         usedDefaultOut);
    if (size <= 0 || usedDefault) return std::nullopt;
    AnsiText result = AnsiText::OfLength(static_cast<size_t>(size));
    if (WideCharToMultiByte(codePage, flags, text.c_str(), wideLength, result.data(), size, nullptr,
                            usedDefaultOut) != size ||
        usedDefault)
        return std::nullopt;
    return result;
}

// `path` with its folder in the short (8.3) form. Fails where the volume keeps
// no short names or the folder does not exist.
Text WithShortFolder(const Text& path) {
    const std::size_t separator = path.FindLast(L'\\');
    if (separator == Text::npos) throw Failure("path has no folder", ERROR_BAD_PATHNAME);
    const Text folder = path.Slice(0, separator + 1);
    const Text query = ExtendedFormIfLong(folder);  // Windows' only form for a long one
    for (DWORD size = MAX_PATH;;) {
        Text buffer = Text::OfLength(size);
        const DWORD length = GetShortPathNameW(query.c_str(), buffer.data(), size);
        if (length == 0) FailWithLastError("GetShortPathNameW");
        if (length < size) {
            Text shortened = buffer.Slice(0, length);
            // Handed back in the form it was given in.
            if (query != folder) shortened = PlainForm(shortened);
            if (shortened.back() != L'\\') shortened = shortened + L"\\";
            return shortened + path.Slice(separator + 1);
        }
        size = length;
    }
}

}  // namespace

AnsiText AnsiLibraryPath(const Text& path) {
    const std::optional<AnsiText> exact = ToAnsiExactly(path);
    if (exact && exact->size() < MAX_PATH) return *exact;
    // The folder's short form names the same file in fewer, plain characters.
    std::optional<AnsiText> shortened;
    try {
        shortened = ToAnsiExactly(WithShortFolder(path));
    } catch (const Failure&) {
        if (!exact) throw;
    }
    if (shortened && (shortened->size() < MAX_PATH || !exact)) return *shortened;
    // No short form fits: the toolkit gets the path as it is.
    if (exact) return *exact;
    throw Failure("library path has no exact form in the ANSI code page", ERROR_NO_UNICODE_TRANSLATION);
}

}  // namespace quillane
