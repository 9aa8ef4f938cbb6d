#pragma once

// Owners for the few Windows resources the program holds, each move-only and
// releasing its resource exactly once; and the one way a failed Windows call is
// reported.

#include "platform/PlatformServices.h"

#include <objbase.h>
#include <windows.h>

#include <utility>

namespace quillane {

// `what` names the call that failed, a text that lasts, such as a literal.
[[noreturn]] inline void FailWithLastError(const char* what) {
    const DWORD error = GetLastError();
    throw Failure(what, error);
}

template <typename Handle, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Handle{})) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, Handle{});
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Handle{}; }
    void reset() {
        if (handle_ != Handle{}) Traits::Close(handle_);
        handle_ = Handle{};
    }

private:
    Handle handle_{};
};

struct LibraryTraits {
    static void Close(HMODULE module) { FreeLibrary(module); }
};
struct GdiObjectTraits {
    static void Close(HGDIOBJ object) { DeleteObject(object); }
};
struct KernelHandleTraits {
    static void Close(HANDLE handle) { CloseHandle(handle); }
};

using UniqueLibrary = UniqueHandle<HMODULE, LibraryTraits>;
using UniqueFont = UniqueHandle<HFONT, GdiObjectTraits>;
using UniqueKernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;

// The calling thread's COM apartment, for as long as the object lives.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    // S_FALSE (already initialised) also needs its matching uninitialise.
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    HRESULT result() const { return result_; }

private:
    HRESULT result_;
};

}  // namespace quillane
