#pragma once

#include "platform/PlatformServices.h"
#include "platform/WindowsLibraries.h"

#include <windows.h>

namespace quillane {

class WindowsPlatformServices final : public PlatformServices {
public:
    // Message boxes are owned by this window from now on; none means they
    // stand alone, with their own task-bar button.
    void SetMessageOwner(HWND owner) { owner_ = owner; }

    void ShowMessage(const Text& prompt, MessageKind kind, const Text& title) override;
    Text GetProductName() override;
    Text GetAppFolder() override;
    void CloseDialog(DialogHandle dialog) override;
    InstanceRef CreateInstance(const Guid& clsid, const Guid& iid) override;
    void ReleaseInstance(InstanceRef& instance) override;
    std::int16_t DLLSelfRegister(const Text& libraryPath) override;
    std::int32_t WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                            const char* fileName) override;

private:
    using SelfRegisterFunction = short(WINAPI*)(const char* libraryPath);
    using WriteProfileFunction = BOOL(WINAPI*)(const char* section, const char* key, const char* value,
                                               const char* fileName);
    using QueryVersionFunction = BOOL(WINAPI*)(const void* record, const wchar_t* path, void** value,
                                               UINT* length);

    HWND owner_ = nullptr;
    LazyFunction<SelfRegisterFunction> selfRegister_{L"vb6stkit.dll", "DLLSelfRegister"};
    LazyFunction<WriteProfileFunction> writeProfile_{L"kernel32.dll", "WritePrivateProfileStringA"};
    // version.dll is not one of the DLLs Windows always takes from the system
    // folder: loaded by name, a copy beside the program would win.
    LazyFunction<QueryVersionFunction> queryVersion_{L"version.dll", "VerQueryValueW",
                                                     LibrarySearch::SystemFolder};
};

}  // namespace quillane
