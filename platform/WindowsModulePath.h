#pragma once

#include <windows.h>

#include <string>

namespace quillane {

// The full path of `module` (nullptr: the running executable), at any length.
std::wstring GetModulePath(HMODULE module);

}  // namespace quillane
