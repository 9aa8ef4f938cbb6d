#include "platform/WindowsLibraries.h"

namespace quillane {

std::wstring SystemLibraryPath(const wchar_t* library) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) FailWithLastError("GetSystemDirectoryW");
    return std::wstring(folder, length) + L'\\' + library;
}

}  // namespace quillane
