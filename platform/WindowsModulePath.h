#pragma once

#include <windows.h>

#include <string>

namespace quillane {

// The full path of `module` (nullptr: the running executable), at any length.
std::wstring GetModulePath(HMODULE module);

// The folder part of a module's full path: no trailing "\" except at a drive
// root ("C:\", "\\?\C:\"). Empty when the path names no folder.
std::wstring FolderOfModulePath(const std::wstring& modulePath);

}  // namespace quillane
