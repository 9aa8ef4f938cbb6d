#pragma once

// Functions found in DLLs at run time: the setup toolkit, which may be missing,
// and system functions the program wants from the system folder only.

#include "platform/WindowsHandles.h"

#include <windows.h>

namespace quillane {

// Where a library is looked for: by bare name in the process's search order,
// or only in the system folder, where nobody can plant a look-alike.
enum class LibrarySearch { SearchOrder, SystemFolder };

// The full path of `library` in the system folder.
Text SystemLibraryPath(const wchar_t* library);

// A found function as what it is: FARPROC stands for any signature.
template <typename FunctionPointer>
FunctionPointer AsFunction(FARPROC address) {
    return reinterpret_cast<FunctionPointer>(reinterpret_cast<void*>(address));
}

// A function in a DLL, found on first use and kept.
template <typename FunctionPointer>
class LazyFunction {
public:
    LazyFunction(const wchar_t* library, const char* name,
                 LibrarySearch search = LibrarySearch::SearchOrder)
        : library_(library), name_(name), search_(search) {}

    // Throws Failure when the library or the entry point is missing.
    FunctionPointer Get() {
        if (!function_) {
            UniqueLibrary module(LoadLibraryW(search_ == LibrarySearch::SystemFolder
                                                  ? SystemLibraryPath(library_).c_str()
                                                  : library_));
            if (!module) FailWithLastError("LoadLibraryW");
            FARPROC address = GetProcAddress(module.get(), name_);
            if (!address) FailWithLastError("GetProcAddress");
            function_ = AsFunction<FunctionPointer>(address);
            module_ = std::move(module);
        }
        return function_;
    }

private:
    const wchar_t* library_;
    const char* name_;
    LibrarySearch search_;
    UniqueLibrary module_;
    FunctionPointer function_ = nullptr;
};

}  // namespace quillane
