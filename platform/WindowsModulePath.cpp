#include "platform/WindowsModulePath.h"

#include "platform/WindowsHandles.h"

#include <vector>

namespace quillane {

std::wstring GetModulePath(HMODULE module) {
    // GetModuleFileNameW truncates silently: grow until the path fits with room.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) FailWithLastError("GetModuleFileNameW");
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        if (buffer.size() >= 32768)
            throw PlatformFailure("module path too long", ERROR_INSUFFICIENT_BUFFER);
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace quillane
