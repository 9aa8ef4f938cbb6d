#pragma once

// Helpers for tests that run under Wine against the real system: scratch
// folders, child processes, the add-in's COM registration and text files.

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace quillane::wine {

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);
// The ANSI bytes widened, for comparing what a DLL received with a path.
std::wstring FromAnsi(const std::string& text);

// The folder holding the test executable, the program and the stand-ins.
std::wstring BinFolder();
std::wstring Join(const std::wstring& folder, const std::wstring& name);
// A path usable past MAX_PATH ("\\?\C:\...").
std::wstring Extended(const std::wstring& path);

// A fresh folder in the temporary folder, deleted with everything in it when
// the object goes.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& name = L"scratch");
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();
    const std::wstring& path() const { return path_; }
    // Makes a subfolder (and any missing parents) and gives its path.
    std::wstring Make(const std::wstring& relative) const;

private:
    std::wstring path_;
};

void MakeFolders(const std::wstring& path);
// Makes folders of plain ASCII names below `parent` until the path is at least
// `length` characters long; gives that path.
std::wstring MakeDeepFolder(const std::wstring& parent, size_t length);
void DeleteTree(const std::wstring& path);
// Copies a file from the bin folder (or any path) into `folder`, keeping its name
// unless `as` gives another; gives the new path.
std::wstring CopyInto(const std::wstring& source, const std::wstring& folder,
                      const std::wstring& as = {});

struct ProcessResult {
    DWORD exitCode = 0;
    std::string output;  // what the process wrote to its standard output
};
// Runs `exe` with `arguments` in `workingFolder` and waits for it to end.
ProcessResult RunAndWait(const std::wstring& exe, const std::wstring& arguments,
                         const std::wstring& workingFolder = {}, DWORD timeoutMs = 60000);
std::wstring Quoted(const std::wstring& argument);

// The add-in's class registration, removed so every test starts unregistered.
void UnregisterAddInClass();
bool AddInClassIsRegistered();

std::string ReadFileBytes(const std::wstring& path);
// The file's lines, each ended by CR LF; nothing when it does not exist.
std::vector<std::string> ReadLines(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);

// Sets an environment variable for this process and its children while the
// object lives.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const std::wstring& value);
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment();

private:
    std::wstring name_;
};

// C:\windows\VBADDIN.INI, where the profile service puts a bare file name.
std::wstring AddInListPath();
// Removes the add-in list, whether a file or a folder stands in its place.
void RemoveAddInList();

// Sections of a profile file: section -> key -> value, names compared without case.
struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};
using ProfileEntries = std::map<std::string, std::map<std::string, std::string, NoCaseLess>, NoCaseLess>;
ProfileEntries ParseProfile(const std::string& text);

// Fails the test at once when no window can be created: without a display,
// Wine shows nothing and a GUI test would pass without seeing anything.
void RequireDisplay();

}  // namespace quillane::wine
