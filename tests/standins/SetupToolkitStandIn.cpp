// A stand-in for the setup toolkit's self-registration entry point: loads the
// named library and runs its DllRegisterServer.
//
// The real entry point returns a 16-bit value, so only the low 16 bits of the
// return register carry the result. This one fills the rest of the register
// with noise: a caller that reads more than 16 bits sees failure where 0 was
// meant.
//
// When the environment variable VB6STKIT_STANDIN_LOG names a file, every call
// appends the path exactly as received (its ANSI bytes) and a line break, so
// tests can see what was asked for and how often.

#include <windows.h>

namespace {

void LogCall(const char* libraryPath) {
    wchar_t logPath[1024];
    const DWORD length = GetEnvironmentVariableW(L"VB6STKIT_STANDIN_LOG", logPath, ARRAYSIZE(logPath));
    if (length == 0 || length >= ARRAYSIZE(logPath)) return;
    HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(log, libraryPath, static_cast<DWORD>(lstrlenA(libraryPath)), &written, nullptr);
    WriteFile(log, "\r\n", 2, &written, nullptr);
    CloseHandle(log);
}

// 0 when the library registered itself; otherwise which step failed.
short SelfRegister(const char* libraryPath) {
    if (!libraryPath) return 1;
    LogCall(libraryPath);

    HMODULE library = LoadLibraryA(libraryPath);
    if (!library) return 2;
    using RegisterFunction = HRESULT(WINAPI*)();
    const auto registerServer =
        reinterpret_cast<RegisterFunction>(reinterpret_cast<void*>(GetProcAddress(library, "DllRegisterServer")));
    short result = 3;
    if (registerServer) result = SUCCEEDED(registerServer()) ? 0 : 4;
    FreeLibrary(library);
    return result;
}

}  // namespace

extern "C" INT_PTR WINAPI DLLSelfRegister(const char* libraryPath) {
    const auto noise = static_cast<INT_PTR>(0x5A5A0000);
    return noise | static_cast<unsigned short>(SelfRegister(libraryPath));
}
