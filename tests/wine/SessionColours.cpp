// Prints the session's colours, GetSysColor of each index from COLOR_SCROLLBAR
// to COLOR_MENUBAR, a line each: what a check compares before and after a run
// that sets them. With --until-changed, it first waits, up to two minutes,
// until a program sets one of them, so that a check can stop a run while its
// tests have the colours changed; it then ends with status 0, or 1 if none
// changed. Under Wine, where it is used, a program already running never sees
// another's SetSysColors; Wine keeps the session's colours, as they are set,
// in a volatile key of its own, which is watched instead.
//   session_colours.exe [--until-changed]

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Every value of Wine's key for the session's colours, as one text.
std::wstring SetColours() {
    HKEY key = nullptr;
    std::wstring all;
    if (RegOpenKeyExW(HKEY_CURRENT_USER,
                      L"Software\\Wine\\Temporary System Parameters\\Control Panel\\Colors", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return all;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256], value[256];
        DWORD nameSize = 256, valueSize = sizeof(value);
        if (RegEnumValueW(key, index, name, &nameSize, nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                          &valueSize) != ERROR_SUCCESS)
            break;
        all += std::wstring(name, nameSize) + L"=" + std::wstring(value, valueSize / sizeof(wchar_t)) +
               L";";
    }
    RegCloseKey(key);
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--until-changed") == 0) {
        const std::wstring before = SetColours();
        for (const DWORD start = GetTickCount(); SetColours() == before; Sleep(20))
            if (GetTickCount() - start > 120000) return 1;
        return 0;
    }
    for (int index = COLOR_SCROLLBAR; index <= COLOR_MENUBAR; ++index)
        std::printf("colour %d %06lX\n", index, static_cast<unsigned long>(GetSysColor(index)));
    return 0;
}
