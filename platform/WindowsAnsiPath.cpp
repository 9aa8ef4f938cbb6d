#include "platform/WindowsAnsiPath.h"

#include "platform/PathRules.h"
#include "platform/WindowsHandles.h"

#include <optional>
#include <vector>

namespace quillane {
namespace {

// WC_ERR_INVALID_CHARS, which the headers declare for Windows Vista and later.
constexpr DWORD kRejectInvalidCharacters = 0x80;

// `text` in the system's ANSI code page, or nothing when any character has no
// exact equivalent there.
std::optional<std::string> ToAnsiExactly(const std::wstring& text) {
    if (text.empty()) return std::string();
    const UINT codePage = GetACP();
    // With UTF-8 as the ANSI code page (Windows 10 and later only) every
    // character is representable, and the no-best-fit flag and the
    // default-character report are not allowed.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? kRejectInvalidCharacters : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    const int wideLength = static_cast<int>(text.size());

    const int size = WideCharToMultiByte(codePage, flags, text.data(), wideLength, nullptr, 0, nullptr,
                                         usedDefaultOut);
    if (size <= 0 || usedDefault) return std::nullopt;
    std::string result(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(codePage, flags, text.data(), wideLength, result.data(), size, nullptr,
                            usedDefaultOut) != size ||
        usedDefault)
        return std::nullopt;
    return result;
}

// `path` with its folder in the short (8.3) form. Fails where the volume keeps
// no short names or the folder does not exist.
std::wstring WithShortFolder(const std::wstring& path) {
    const auto separator = path.rfind(L'\\');
    if (separator == std::wstring::npos) throw PlatformFailure("path has no folder", ERROR_BAD_PATHNAME);
    const std::wstring folder = path.substr(0, separator + 1);
    const std::wstring query = ExtendedFormIfLong(folder);  // Windows' only form for a long one
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetShortPathNameW(query.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) FailWithLastError("GetShortPathNameW");
        if (length < buffer.size()) {
            std::wstring shortened(buffer.data(), length);
            // Handed back in the form it was given in.
            if (query != folder) shortened = PlainForm(shortened);
            if (shortened.back() != L'\\') shortened += L'\\';
            return shortened + path.substr(separator + 1);
        }
        buffer.resize(length);
    }
}

}  // namespace

std::string AnsiLibraryPath(const std::wstring& path) {
    const std::optional<std::string> exact = ToAnsiExactly(path);
    if (exact && exact->size() < MAX_PATH) return *exact;
    // The folder's short form names the same file in fewer, plain characters.
    std::optional<std::string> shortened;
    try {
        shortened = ToAnsiExactly(WithShortFolder(path));
    } catch (const PlatformFailure&) {
        if (!exact) throw;
    }
    if (shortened && (shortened->size() < MAX_PATH || !exact)) return *shortened;
    // No short form fits: the toolkit gets the path as it is.
    if (exact) return *exact;
    throw PlatformFailure("library path has no exact form in the ANSI code page",
                          ERROR_NO_UNICODE_TRANSLATION);
}

}  // namespace quillane
