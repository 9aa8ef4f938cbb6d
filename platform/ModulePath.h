#pragma once

#include <string>

namespace quillane {

// The folder part of a module's full path: no trailing "\" except at a drive
// root ("C:\", "\\?\C:\"). Empty when the path names no folder.
inline std::wstring FolderOfModulePath(const std::wstring& modulePath) {
    const auto separator = modulePath.rfind(L'\\');
    if (separator == std::wstring::npos) return {};
    std::wstring folder = modulePath.substr(0, separator);
    if (!folder.empty() && folder.back() == L':') folder += L'\\';
    return folder;
}

}  // namespace quillane
