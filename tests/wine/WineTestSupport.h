#pragma once

// Helpers for tests that run under Wine against the real system: scratch
// folders, the add-in's COM registration, the stand-ins' log, the add-in list;
// and the driver that works the running program from outside.

#include "platform/WindowsModulePath.h"
#include "tools/ProgramDriver.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillane::wine {

namespace fs = std::filesystem;
using namespace driver;

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

// A fresh folder in the temporary folder, deleted with all it holds when the
// object goes. Folders past MAX_PATH characters stay: this C runtime cannot
// reach them, and the test script empties the temporary folder before each run.
struct ScratchFolder {
    explicit ScratchFolder(const std::wstring& name)
        : path(fs::temp_directory_path() /
               (L"quillane-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name)) {
        fs::create_directories(path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    const fs::path path;
};

// Removes the add-in's class registration, so that a test starts unregistered.
inline void UnregisterAddInClass() {
    const LONG result =
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"CLSID\\{F3FAB5F4-5689-11D5-816A-444553540000}");
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        throw std::runtime_error("cannot unregister");
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

// C:\windows\VBADDIN.INI, where the profile service puts a bare file name.
inline fs::path AddInListPath() {
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    return fs::path(windows) / L"VBADDIN.INI";
}

}  // namespace quillane::wine
