#include "platform/WindowsPlatformServices.h"

#include "platform/ModulePath.h"

#include <objbase.h>

#include <vector>

namespace quillane {
namespace {

[[noreturn]] void FailWithLastError(const char* what) {
    const DWORD error = GetLastError();
    throw PlatformFailure(what, error);
}

GUID ToWindowsGuid(const Guid& guid) {
    GUID result;
    result.Data1 = guid.data1;
    result.Data2 = guid.data2;
    result.Data3 = guid.data3;
    for (int i = 0; i < 8; ++i) result.Data4[i] = guid.data4[i];
    return result;
}

// `path` with its folder in the short (8.3) form. Fails where the volume keeps
// no short names or the folder does not exist.
std::wstring WithShortFolder(const std::wstring& path) {
    const auto separator = path.rfind(L'\\');
    if (separator == std::wstring::npos) throw PlatformFailure("path has no folder", ERROR_BAD_PATHNAME);
    const std::wstring folder = path.substr(0, separator + 1);
    // Past MAX_PATH only the extended form of a path is accepted: "\\?\C:\..."
    // or "\\?\UNC\server\...". The short form is handed back in the plain one.
    const bool extend = folder.size() >= MAX_PATH && folder.rfind(L"\\\\?\\", 0) != 0;
    const bool unc = folder.rfind(L"\\\\", 0) == 0;
    const std::wstring query = !extend ? folder
                               : unc   ? L"\\\\?\\UNC" + folder.substr(1)
                                       : L"\\\\?\\" + folder;

    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetShortPathNameW(query.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) FailWithLastError("GetShortPathNameW");
        if (length < buffer.size()) {
            std::wstring shortened(buffer.data(), length);
            if (extend && unc && shortened.rfind(L"\\\\?\\UNC\\", 0) == 0)
                shortened = L"\\" + shortened.substr(7);
            else if (extend && shortened.rfind(L"\\\\?\\", 0) == 0)
                shortened.erase(0, 4);
            if (shortened.back() != L'\\') shortened += L'\\';
            return shortened + path.substr(separator + 1);
        }
        buffer.resize(length);
    }
}

// The library path as the setup toolkit takes it: ANSI, naming the same file,
// and short enough for an ANSI call (under MAX_PATH) wherever that can be had.
std::string AnsiLibraryPath(const std::wstring& path) {
    const std::optional<std::string> exact = ToAnsiExactly(path);
    if (exact && exact->size() < MAX_PATH) return *exact;
    // The folder's short form names the same file in fewer, plain characters.
    std::optional<std::string> shortened;
    try {
        shortened = ToAnsiExactly(WithShortFolder(path));
    } catch (const PlatformFailure&) {
        if (!exact) throw;
    }
    if (shortened && (shortened->size() < MAX_PATH || !exact)) return *shortened;
    // No short form fits: the toolkit gets the path as it is.
    if (exact) return *exact;
    throw PlatformFailure("library path has no exact form in the ANSI code page",
                          ERROR_NO_UNICODE_TRANSLATION);
}

}  // namespace

void HardenDllSearchOrder() {
    // SetDefaultDllDirectories (Windows 8, or 7 with an update) drops the current
    // folder and PATH for good; SetDllDirectoryW(L"") only drops the current folder.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)) SetDllDirectoryW(L"");
}

std::wstring SystemLibraryPath(const wchar_t* library) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) FailWithLastError("GetSystemDirectoryW");
    return std::wstring(folder, length) + L'\\' + library;
}

std::wstring GetModulePath(HMODULE module) {
    // GetModuleFileNameW truncates silently: grow until the path fits with room.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) FailWithLastError("GetModuleFileNameW");
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        if (buffer.size() >= 32768)
            throw PlatformFailure("module path too long", ERROR_INSUFFICIENT_BUFFER);
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> ToAnsiExactly(const std::wstring& text) {
    if (text.empty()) return std::string();
    const UINT codePage = GetACP();
    // With UTF-8 as the ANSI code page every character is representable, and the
    // no-best-fit flag and the default-character report are not allowed.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    const int wideLength = static_cast<int>(text.size());

    const int size = WideCharToMultiByte(codePage, flags, text.data(), wideLength, nullptr, 0, nullptr,
                                         usedDefaultOut);
    if (size <= 0 || usedDefault) return std::nullopt;
    std::string result(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(codePage, flags, text.data(), wideLength, result.data(), size, nullptr,
                            usedDefaultOut) != size ||
        usedDefault)
        return std::nullopt;
    return result;
}

void WindowsPlatformServices::ShowMessage(const std::wstring& prompt, MessageKind kind,
                                          const std::wstring& title) {
    const UINT style = MB_OK | static_cast<UINT>(kind);
    if (MessageBoxW(owner_, prompt.c_str(), title.c_str(), style) == 0) FailWithLastError("MessageBoxW");
}

std::wstring WindowsPlatformServices::GetProductName() {
    // Read from the executable's own version resource: no file access, so the
    // length or characters of the program's path cannot get in the way.
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    if (!found) FailWithLastError("FindResourceW(RT_VERSION)");
    const HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) FailWithLastError("LoadResource(RT_VERSION)");
    // VerQueryValueW wants a writable copy of the record.
    const DWORD size = SizeofResource(module, found);
    std::vector<unsigned char> record(static_cast<const unsigned char*>(data),
                                      static_cast<const unsigned char*>(data) + size);

    struct Translation {
        WORD language;
        WORD codePage;
    };
    const QueryVersionFunction queryVersion = queryVersion_.Get();
    Translation* translations = nullptr;
    UINT translationBytes = 0;
    if (!queryVersion(record.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translations), &translationBytes) ||
        translationBytes < sizeof(Translation))
        throw PlatformFailure("version record has no translation", ERROR_RESOURCE_TYPE_NOT_FOUND);

    wchar_t query[64];
    wsprintfW(query, L"\\StringFileInfo\\%04x%04x\\ProductName", translations[0].language,
              translations[0].codePage);
    wchar_t* name = nullptr;
    UINT nameLength = 0;
    if (!queryVersion(record.data(), query, reinterpret_cast<void**>(&name), &nameLength) || !name)
        throw PlatformFailure("version record has no ProductName", ERROR_RESOURCE_NAME_NOT_FOUND);
    // The length may or may not count the terminating zero.
    return std::wstring(name);
}

std::wstring WindowsPlatformServices::GetAppFolder() {
    std::wstring folder = FolderOfModulePath(GetModulePath(nullptr));
    if (folder.empty()) throw PlatformFailure("module path has no folder", ERROR_BAD_PATHNAME);
    return folder;
}

void WindowsPlatformServices::CloseDialog(DialogHandle dialog) {
    if (!DestroyWindow(static_cast<HWND>(dialog))) FailWithLastError("DestroyWindow");
}

InstanceRef WindowsPlatformServices::CreateInstance(const Guid& clsid, const Guid& iid) {
    // In-process only: the add-in is a DLL that the IDE loads into its own
    // 32-bit process, so that is what has to work.
    const GUID classId = ToWindowsGuid(clsid);
    const GUID interfaceId = ToWindowsGuid(iid);
    void* instance = nullptr;
    const HRESULT hr = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, interfaceId, &instance);
    if (FAILED(hr) || !instance)
        throw PlatformFailure("CoCreateInstance", static_cast<std::uint32_t>(hr));
    return InstanceRef{instance};
}

void WindowsPlatformServices::ReleaseInstance(InstanceRef& instance) {
    if (instance) static_cast<IUnknown*>(instance.pointer)->Release();
    instance = {};
}

std::int16_t WindowsPlatformServices::DLLSelfRegister(const std::wstring& libraryPath) {
    const SelfRegisterFunction selfRegister = selfRegister_.Get();
    const std::string ansiPath = AnsiLibraryPath(libraryPath);
    return selfRegister(ansiPath.c_str());
}

std::int32_t WindowsPlatformServices::WritePrivateProfileStringA(const std::string& section,
                                                                 const std::string& key,
                                                                 const std::string& value,
                                                                 const std::string& fileName) {
    const WriteProfileFunction writeProfile = writeProfile_.Get();
    return writeProfile(section.c_str(), key.c_str(), value.c_str(), fileName.c_str());
}

}  // namespace quillane
