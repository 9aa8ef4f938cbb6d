#include "platform/PathRules.h"

#include <iterator>

namespace quillane {
namespace {

constexpr std::size_t kMaxPath = 260;
constexpr wchar_t kExtended[] = L"\\\\?\\";
constexpr wchar_t kExtendedUnc[] = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::wstring FolderOfModulePath(const std::wstring& modulePath) {
    const auto separator = modulePath.rfind(L'\\');
    if (separator == std::wstring::npos) return {};
    std::wstring folder = modulePath.substr(0, separator);
    if (!folder.empty() && folder.back() == L':') folder += L'\\';
    return folder;
}

std::wstring ExtendedFormIfLong(const std::wstring& path) {
    if (path.size() < kMaxPath || StartsWith(path, kExtended)) return path;
    // "\\server\share" becomes "\\?\UNC\server\share".
    if (StartsWith(path, L"\\\\")) return kExtendedUnc + path.substr(2);
    return kExtended + path;
}

std::wstring PlainForm(const std::wstring& path) {
    if (StartsWith(path, kExtendedUnc)) return L"\\\\" + path.substr(std::size(kExtendedUnc) - 1);
    if (StartsWith(path, kExtended)) return path.substr(std::size(kExtended) - 1);
    return path;
}

}  // namespace quillane
