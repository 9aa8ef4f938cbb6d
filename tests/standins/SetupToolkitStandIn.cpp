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

#include <cstdio>

extern "C" INT_PTR WINAPI DLLSelfRegister(const char* libraryPath) {
    const INT_PTR noise = 0x5A5A0000;
    wchar_t logPath[1024];
    const DWORD length = GetEnvironmentVariableW(L"VB6STKIT_STANDIN_LOG", logPath, 1024);
    if (FILE* log = length && length < 1024 ? _wfopen(logPath, L"ab") : nullptr) {
        std::fprintf(log, "%s\r\n", libraryPath);
        std::fclose(log);
    }
    HMODULE library = LoadLibraryA(libraryPath);
    if (!library) return noise | 2;
    using RegisterFunction = HRESULT(WINAPI*)();
    const auto registerServer = reinterpret_cast<RegisterFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllRegisterServer")));
    const INT_PTR result = !registerServer ? 3 : SUCCEEDED(registerServer()) ? 0 : 4;
    FreeLibrary(library);
    return noise | result;
}
