// Reports what the platform services see from wherever this program was copied:
//   platform_probe folder              -> "folder <GetAppFolder in UTF-8>"
//   platform_probe selfregister PATH   -> "result <DLLSelfRegister's result>"
// A failing operation prints "failure <code>" and exits with 2. Like the real
// program, it removes the current folder from the DLL search order first.

#include "platform/WindowsPlatformServices.h"

#include <windows.h>

#include <string>

namespace {

void Print(const std::wstring& line) {
    const std::wstring text = line + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
              nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    quillane::HardenDllSearchOrder();
    quillane::ComApartment apartment;
    quillane::WindowsPlatformServices platform;
    const std::wstring command = argc > 1 ? argv[1] : L"";
    try {
        if (command == L"folder") {
            Print(L"folder " + platform.GetAppFolder());
        } else if (command == L"selfregister" && argc > 2) {
            Print(L"result " + std::to_wstring(platform.DLLSelfRegister(argv[2])));
        } else {
            Print(L"usage: platform_probe folder | selfregister PATH");
            return 1;
        }
    } catch (const quillane::PlatformFailure& failure) {
        Print(L"failure " + std::to_wstring(failure.code()));
        return 2;
    }
    return 0;
}
