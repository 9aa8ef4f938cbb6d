#include "platform/PathRules.h"

#include <iterator>

namespace quillane {
namespace {

constexpr std::size_t kMaxPath = 260;
constexpr wchar_t kExtended[] = L"\\\\?\\";
constexpr wchar_t kExtendedUnc[] = L"\\\\?\\UNC\\";

}  // namespace

Text FolderOfModulePath(const Text& modulePath) {
    const std::size_t separator = modulePath.FindLast(L'\\');
    if (separator == Text::npos) return {};
    Text folder = modulePath.Slice(0, separator);
    if (folder.back() == L':') folder = folder + L"\\";
    return folder;
}

Text ExtendedFormIfLong(const Text& path) {
    if (path.size() < kMaxPath || path.StartsWith(kExtended)) return path;
    // "\\server\share" becomes "\\?\UNC\server\share".
    if (path.StartsWith(L"\\\\")) return kExtendedUnc + path.Slice(2);
    return kExtended + path;
}

Text PlainForm(const Text& path) {
    if (path.StartsWith(kExtendedUnc)) return L"\\\\" + path.Slice(std::size(kExtendedUnc) - 1);
    if (path.StartsWith(kExtended)) return path.Slice(std::size(kExtended) - 1);
    return path;
}

}  // namespace quillane
