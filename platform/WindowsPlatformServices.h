#pragma once

#include "platform/PlatformServices.h"
#include "platform/WindowsHandles.h"

#include <windows.h>

#include <optional>
#include <string>

namespace quillane {

// Removes the current folder from the places the process loads DLLs from; the
// program's own folder and the system folder stay. Call first thing at start.
void HardenDllSearchOrder();

// The full path of the running executable, at any length.
std::wstring GetModulePath(HMODULE module);

// `text` in the system's ANSI code page, or nothing when any character has no
// exact equivalent there (a best-fit look-alike or '?' could name another file).
std::optional<std::string> ToAnsiExactly(const std::wstring& text);

// Where a library is looked for: by bare name in the process's search order,
// or only in the system folder, where nobody can plant a look-alike.
enum class LibrarySearch { SearchOrder, SystemFolder };

// The full path of `library` in the system folder.
std::wstring SystemLibraryPath(const wchar_t* library);

// A function in a DLL, found on first use and kept.
template <typename FunctionPointer>
class LazyFunction {
public:
    LazyFunction(const wchar_t* library, const char* name,
                 LibrarySearch search = LibrarySearch::SearchOrder)
        : library_(library), name_(name), search_(search) {}

    // Throws PlatformFailure when the library or the entry point is missing.
    FunctionPointer Get() {
        if (!function_) {
            UniqueLibrary module(LoadLibraryW(search_ == LibrarySearch::SystemFolder
                                                  ? SystemLibraryPath(library_).c_str()
                                                  : library_));
            if (!module) Fail("cannot load library");
            FARPROC address = GetProcAddress(module.get(), name_);
            if (!address) Fail("entry point not found");
            // FARPROC stands for any signature: the real one is FunctionPointer.
            function_ = reinterpret_cast<FunctionPointer>(reinterpret_cast<void*>(address));
            module_ = std::move(module);
        }
        return function_;
    }

private:
    [[noreturn]] void Fail(const char* what) {
        const DWORD error = GetLastError();
        throw PlatformFailure(std::string(what) + ": " + name_, error);
    }

    const wchar_t* library_;
    const char* name_;
    LibrarySearch search_;
    UniqueLibrary module_;
    FunctionPointer function_ = nullptr;
};

class WindowsPlatformServices final : public PlatformServices {
public:
    // Message boxes are owned by this window from now on; none means they
    // stand alone, with their own task-bar button.
    void SetMessageOwner(HWND owner) { owner_ = owner; }

    void ShowMessage(const std::wstring& prompt, MessageKind kind, const std::wstring& title) override;
    std::wstring GetProductName() override;
    std::wstring GetAppFolder() override;
    void CloseDialog(DialogHandle dialog) override;
    InstanceRef CreateInstance(const Guid& clsid, const Guid& iid) override;
    void ReleaseInstance(InstanceRef& instance) override;
    std::int16_t DLLSelfRegister(const std::wstring& libraryPath) override;
    std::int32_t WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                            const std::string& value,
                                            const std::string& fileName) override;

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
