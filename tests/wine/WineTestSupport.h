#pragma once

// Helpers for tests that run under Wine against the real system: the
// registry, scratch folders, the add-in's COM registration, the stand-ins'
// log, the add-in list; and the driver that works the running program from
// outside.

#include "kit/WindowsMachineState.h"
#include "platform/WindowsModulePath.h"
#include "tools/ProgramDriver.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillane::wine {

namespace fs = std::filesystem;
using namespace driver;

// The registry, through the calls that Windows XP has: RegGetValueW,
// RegSetKeyValueW, RegDeleteKeyValueW and RegDeleteTreeW came with Vista, and
// a program that imports one of them does not start on XP. Each gives the
// system's error code, ERROR_SUCCESS when it did what it says.

// Sets value `name` (nullptr: the key's default value) of key `path` under
// `root`, making the key if it is not there.
inline LONG SetRegistryValue(HKEY root, const wchar_t* path, const wchar_t* name, DWORD type,
                             const void* data, DWORD size) {
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) return result;
    result = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return result;
}
inline LONG SetRegistryString(HKEY root, const wchar_t* path, const wchar_t* name,
                              const std::wstring& value) {
    return SetRegistryValue(root, path, name, REG_SZ, value.c_str(),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// The string value `name` of key `path` under `root`; nothing where there is
// none, or it is not a REG_SZ.
inline std::optional<std::wstring> RegistryString(HKEY root, const wchar_t* path, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, size = 0;
    LONG result = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    // One character more than the data, zero: a string stored without its
    // terminator still ends.
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (result == ERROR_SUCCESS && type == REG_SZ)
        result =
            RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    value.resize(wcslen(value.c_str()));
    return value;
}

inline LONG DeleteRegistryValue(HKEY root, const wchar_t* path, const wchar_t* name) {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(root, path, 0, KEY_SET_VALUE, &key);
    if (result != ERROR_SUCCESS) return result;
    result = RegDeleteValueW(key, name);
    RegCloseKey(key);
    return result;
}

// Whether this is Wine rather than Windows. Some steps are Wine's alone (its
// settings in the registry), some checks only a real Windows can answer.
inline bool OnWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

using kit::AnsiCodePageHolds;

// Puts a window of the program above all others, without activating it, so
// that what the screen shows of it is the window itself.
inline void BringToTop(HWND window) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The ANSI bytes a DLL received, as a path.
inline fs::path FromAnsi(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    const int size = static_cast<int>(text.size());
    wide.resize(
        static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), size)));
    return wide;
}

// The folder holding the test executable, the program and the stand-ins.
inline fs::path BinFolder() { return fs::path(GetModulePath(nullptr).c_str()).parent_path(); }

// Deletes a folder and all it holds, through the extended form of its path
// ("\\?\C:\..."), which reaches past MAX_PATH characters where this C
// runtime's own calls do not.
inline void DeleteFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteFolder(folder + L"\\" + name);
            else
                DeleteFileW((folder + L"\\" + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// Where the tests make their folders: the user's temporary folder, or where
// its path has a letter that the ANSI code page lacks (a user's name in
// another script), the Windows folder's: only the tests that ask for such a
// folder get one.
inline fs::path ScratchRoot() {
    const fs::path temporary = fs::temp_directory_path();
    if (AnsiCodePageHolds(temporary.native())) return temporary;
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    return fs::path(windows) / L"Temp";
}

// A fresh folder in the tests' own place, deleted with all it holds when the
// object goes.
struct ScratchFolder {
    explicit ScratchFolder(const std::wstring& name)
        : path(ScratchRoot() / (L"quillane-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name)) {
        fs::create_directories(path);
    }
    ~ScratchFolder() { DeleteFolder(L"\\\\?\\" + path.native()); }
    const fs::path path;
};

// Removes the add-in's class registration, so that a test starts unregistered:
// the machine's and the user's, which Windows merges into HKEY_CLASSES_ROOT
// (Wine reads the machine's alone).
inline void UnregisterAddInClass() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const LONG result = kit::DeleteRegistryTree(
            root, L"Software\\Classes\\CLSID\\{F3FAB5F4-5689-11D5-816A-444553540000}");
        if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
            throw std::runtime_error("cannot unregister");
    }
}

// The setup toolkit stand-in's log, kept in `folder` while the object lives:
// each path the toolkit was given in this process or its children, as received.
struct SelfRegisterLog {
    explicit SelfRegisterLog(const fs::path& folder) : file(folder / L"selfregister.log") {
        SetEnvironmentVariableW(L"VB6STKIT_STANDIN_LOG", file.c_str());
        fs::remove(file);
    }
    ~SelfRegisterLog() { SetEnvironmentVariableW(L"VB6STKIT_STANDIN_LOG", nullptr); }
    // Gives the paths logged since the last call.
    std::vector<std::string> Take() const {
        std::vector<std::string> paths;
        std::ifstream log(file, std::ios::binary);
        for (std::string line; std::getline(log, line);)
            paths.push_back(line.substr(0, line.find('\r')));
        log.close();
        fs::remove(file);
        return paths;
    }
    const fs::path file;
};

// Colours of the session, set for a test and put back when the object goes:
// for every program from then on, this session's only, as Windows'
// SetSysColors sets them.
class SessionColours {
public:
    SessionColours() = default;
    SessionColours(const SessionColours&) = delete;
    SessionColours& operator=(const SessionColours&) = delete;
    ~SessionColours() { PutBack(); }

    void Set(int index, COLORREF colour) {
        before_.emplace_back(index, GetSysColor(index));
        SetSysColors(1, &index, &colour);
    }
    // Puts each colour back, the first one saved last; gives the indices of
    // those that are not as they were.
    std::vector<int> PutBack() {
        std::vector<int> differing;
        for (auto saved = before_.rbegin(); saved != before_.rend(); ++saved)
            SetSysColors(1, &saved->first, &saved->second);
        for (const auto& [index, colour] : before_)
            if (GetSysColor(index) != colour) differing.push_back(index);
        before_.clear();
        return differing;
    }

private:
    std::vector<std::pair<int, COLORREF>> before_;
};

// C:\windows\VBADDIN.INI, where the profile service puts a bare file name.
inline fs::path AddInListPath() {
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    return fs::path(windows) / L"VBADDIN.INI";
}

}  // namespace quillane::wine
