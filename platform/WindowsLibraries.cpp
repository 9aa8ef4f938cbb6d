#include "platform/WindowsLibraries.h"

namespace quillane {

Text SystemLibraryPath(const wchar_t* library) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) FailWithLastError("GetSystemDirectoryW");
    return Text(folder, length) + L"\\" + library;
}

}  // namespace quillane
