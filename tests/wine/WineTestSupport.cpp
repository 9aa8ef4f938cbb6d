#include "tests/wine/WineTestSupport.h"

#include "platform/WindowsHandles.h"
#include "platform/WindowsPlatformServices.h"


#include <gtest/gtest.h>

#include <stdexcept>

namespace quillane::wine {
namespace {

std::runtime_error Failure(const std::string& what) {
    return std::runtime_error(what + " failed, error " + std::to_string(GetLastError()));
}

std::wstring Convert(UINT codePage, const std::string& text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}

}  // namespace

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
    return result;
}

std::wstring FromUtf8(const std::string& text) { return Convert(CP_UTF8, text); }
std::wstring FromAnsi(const std::string& text) { return Convert(CP_ACP, text); }

std::wstring BinFolder() {
    const std::wstring path = GetModulePath(nullptr);
    return path.substr(0, path.rfind(L'\\'));
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() == L'\\') return folder + name;
    return folder + L'\\' + name;
}

std::wstring Extended(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) return path;
    return L"\\\\?\\" + path;
}

ScratchFolder::ScratchFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(ARRAYSIZE(temp), temp);
    if (length == 0 || length > MAX_PATH) throw Failure("GetTempPathW");
    static int counter = 0;
    path_ = Join(temp, L"quillane-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                           std::to_wstring(++counter) + L"-" + name);
    DeleteTree(path_);
    MakeFolders(path_);
}

ScratchFolder::~ScratchFolder() { DeleteTree(path_); }

std::wstring ScratchFolder::Make(const std::wstring& relative) const {
    const std::wstring folder = Join(path_, relative);
    MakeFolders(folder);
    return folder;
}

void MakeFolders(const std::wstring& path) {
    const std::wstring extended = Extended(path);
    // Skip "\\?\C:\" and make each folder below it in turn.
    for (size_t at = extended.find(L'\\', 7); at != std::wstring::npos; at = extended.find(L'\\', at + 1))
        CreateDirectoryW(extended.substr(0, at).c_str(), nullptr);
    if (!CreateDirectoryW(extended.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        throw Failure("CreateDirectoryW " + ToUtf8(path));
}

std::wstring MakeDeepFolder(const std::wstring& parent, size_t length) {
    std::wstring folder = parent;
    while (folder.size() < length) folder = Join(folder, L"a-rather-long-folder-name");
    MakeFolders(folder);
    return folder;
}

void DeleteTree(const std::wstring& path) {
    const std::wstring extended = Extended(path);
    const DWORD attributes = GetFileAttributesW(extended.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(extended.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(extended.c_str());
        return;
    }
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((extended + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..") DeleteTree(Join(path, name));
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(extended.c_str());
}

std::wstring CopyInto(const std::wstring& source, const std::wstring& folder, const std::wstring& as) {
    const std::wstring name = as.empty() ? source.substr(source.rfind(L'\\') + 1) : as;
    const std::wstring target = Join(folder, name);
    if (!CopyFileW(Extended(source).c_str(), Extended(target).c_str(), FALSE))
        throw Failure("CopyFileW " + ToUtf8(source) + " -> " + ToUtf8(target));
    return target;
}

std::wstring Quoted(const std::wstring& argument) { return L"\"" + argument + L"\""; }

ProcessResult RunAndWait(const std::wstring& exe, const std::wstring& arguments,
                         const std::wstring& workingFolder, DWORD timeoutMs) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) throw Failure("CreatePipe");
    UniqueKernelHandle reader(readEnd);
    UniqueKernelHandle writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    std::wstring commandLine = Quoted(exe) + L" " + arguments;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &process))
        throw Failure("CreateProcessW " + ToUtf8(exe));
    UniqueKernelHandle processHandle(process.hProcess);
    UniqueKernelHandle threadHandle(process.hThread);
    writer.reset();

    ProcessResult result;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(reader.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0)
        result.output.append(buffer, got);
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
        throw std::runtime_error("process did not end in time: " + ToUtf8(exe));
    }
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    return result;
}

void UnregisterAddInClass() {
    const LONG result =
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"CLSID\\{F3FAB5F4-5689-11D5-816A-444553540000}");
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        throw std::runtime_error("cannot remove the add-in's class registration");
}

bool AddInClassIsRegistered() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT,
                      L"CLSID\\{F3FAB5F4-5689-11D5-816A-444553540000}\\InprocServer32", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(Extended(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    UniqueKernelHandle owner(file);
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

std::vector<std::string> ReadLines(const std::wstring& path) {
    std::vector<std::string> lines;
    const std::string text = ReadFileBytes(path);
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw Failure("CreateFileW " + ToUtf8(path));
    UniqueKernelHandle owner(file);
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        throw Failure("WriteFile");
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(Extended(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

ScopedEnvironment::ScopedEnvironment(const wchar_t* name, const std::wstring& value) : name_(name) {
    SetEnvironmentVariableW(name, value.c_str());
}

ScopedEnvironment::~ScopedEnvironment() { SetEnvironmentVariableW(name_.c_str(), nullptr); }

std::wstring AddInListPath() {
    wchar_t windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(windows, ARRAYSIZE(windows));
    if (length == 0 || length >= ARRAYSIZE(windows)) throw Failure("GetWindowsDirectoryW");
    return Join(windows, L"VBADDIN.INI");
}

void RemoveAddInList() {
    DeleteTree(AddInListPath());
    if (FileExists(AddInListPath())) throw std::runtime_error("cannot remove the add-in list");
}

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const {
    return lstrcmpiA(a.c_str(), b.c_str()) < 0;
}

ProfileEntries ParseProfile(const std::string& text) {
    auto trim = [](std::string s) {
        const auto first = s.find_first_not_of(" \t\r");
        const auto last = s.find_last_not_of(" \t\r");
        return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
    };
    ProfileEntries entries;
    std::string section;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            entries[section];
        } else if (const auto equals = line.find('='); equals != std::string::npos) {
            entries[section][trim(line.substr(0, equals))] = trim(line.substr(equals + 1));
        }
    }
    return entries;
}

void RequireDisplay() {
    HWND probe = CreateWindowExW(0, L"STATIC", L"display probe", WS_POPUP, 0, 0, 10, 10, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(probe, nullptr) << "no window could be created: is there a display (DISPLAY)?";
    DestroyWindow(probe);
    ASSERT_GT(GetSystemMetrics(SM_CXSCREEN), 0) << "no screen";
}

}  // namespace quillane::wine
