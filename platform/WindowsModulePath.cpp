#include "platform/WindowsModulePath.h"

#include "platform/WindowsHandles.h"

namespace quillane {

Text GetModulePath(HMODULE module) {
    // GetModuleFileNameW truncates silently: grow until the path fits with room.
    for (DWORD size = MAX_PATH;; size *= 2) {
        Text buffer = Text::OfLength(size);
        const DWORD length = GetModuleFileNameW(module, buffer.data(), size);
        if (length == 0) FailWithLastError("GetModuleFileNameW");
        if (length < size) return buffer.Slice(0, length);
        if (size >= 32768) throw Failure("module path too long", ERROR_INSUFFICIENT_BUFFER);
    }
}

}  // namespace quillane
