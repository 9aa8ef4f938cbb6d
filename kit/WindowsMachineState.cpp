#include "kit/WindowsMachineState.h"

#include "kit/KitFailure.h"
#include "kit/WindowsKitText.h"

#include <windows.h>

#include <algorithm>

namespace quillane::kit {
namespace {

[[noreturn]] void Fail(const std::string& what, DWORD error) {
    throw KitFailure(what + ": " + SystemError(error));
}

// An open registry key, closed when it goes.
class Key {
public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    HKEY* Out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// The root and the path below it of "HKLM\..." or "HKCU\...".
std::pair<HKEY, std::wstring> Split(const std::string& path) {
    const std::wstring wide = Wide(path);
    if (wide.rfind(L"HKLM\\", 0) == 0) return {HKEY_LOCAL_MACHINE, wide.substr(5)};
    if (wide.rfind(L"HKCU\\", 0) == 0) return {HKEY_CURRENT_USER, wide.substr(5)};
    throw KitFailure("the registry path " + path + " begins with neither HKLM\\ nor HKCU\\");
}

std::wstring Below(const std::wstring& key, const std::string& relative) {
    return relative.empty() ? key : key + L"\\" + Wide(relative);
}

// Opens `path` below `root`; false when it is not there.
bool Open(HKEY root, const std::wstring& path, REGSAM access, Key& key) {
    const LONG result = RegOpenKeyExW(root, path.c_str(), 0, access, key.Out());
    if (result == ERROR_FILE_NOT_FOUND) return false;
    if (result != ERROR_SUCCESS) Fail("cannot open " + Utf8(path), static_cast<DWORD>(result));
    return true;
}

// The names of a key's subkeys, or of its values.
std::vector<std::wstring> Names(HKEY key, bool subkeys, const std::wstring& path) {
    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD size = 16384;
        const LONG result =
            subkeys ? RegEnumKeyExW(key, index, name, &size, nullptr, nullptr, nullptr, nullptr)
                    : RegEnumValueW(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS)
            Fail("cannot list what " + Utf8(path) + " holds", static_cast<DWORD>(result));
        names.emplace_back(name, size);
    }
    std::sort(names.begin(), names.end());
    return names;
}

SavedValue ReadValue(HKEY key, const std::wstring& path, const std::wstring& name) {
    DWORD type = 0, size = 0;
    LONG result = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    SavedValue value{"", Utf8(name), type, std::vector<std::uint8_t>(size)};
    if (result == ERROR_SUCCESS && size)
        result = RegQueryValueExW(key, name.c_str(), nullptr, &type, value.data.data(), &size);
    if (result != ERROR_SUCCESS)
        Fail("cannot read " + Utf8(path) + "\\" + Utf8(name), static_cast<DWORD>(result));
    value.data.resize(size);
    return value;
}

void ReadTree(HKEY root, const std::wstring& top, const std::string& relative, SavedKey& saved) {
    Key key;
    const std::wstring path = Below(top, relative);
    if (!Open(root, path, KEY_READ, key)) throw KitFailure(Utf8(path) + " went while it was read");
    for (const std::wstring& name : Names(key.get(), false, path)) {
        SavedValue value = ReadValue(key.get(), path, name);
        value.key = relative;
        saved.values.push_back(value);
    }
    for (const std::wstring& name : Names(key.get(), true, path)) {
        const std::string below = relative.empty() ? Utf8(name) : relative + "\\" + Utf8(name);
        saved.subkeys.push_back(below);
        ReadTree(root, top, below, saved);
    }
}

// Removes a key and all below it, as Windows XP's RegDeleteKeyW removes only
// keys without subkeys.
void DeleteTree(HKEY root, const std::wstring& path) {
    {
        Key key;
        if (!Open(root, path, KEY_READ, key)) return;
        for (const std::wstring& name : Names(key.get(), true, path))
            DeleteTree(root, path + L"\\" + name);
    }
    const LONG result = RegDeleteKeyW(root, path.c_str());
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        Fail("cannot remove " + Utf8(path), static_cast<DWORD>(result));
}

void Create(HKEY root, const std::wstring& path, Key& key) {
    const LONG result =
        RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Out(), nullptr);
    if (result != ERROR_SUCCESS) Fail("cannot make " + Utf8(path), static_cast<DWORD>(result));
}

void WriteValue(HKEY root, const std::wstring& path, const SavedValue& value) {
    Key key;
    Create(root, path, key);
    const LONG result = RegSetValueExW(key.get(), Wide(value.name).c_str(), 0, value.type,
                                       value.data.data(), static_cast<DWORD>(value.data.size()));
    if (result != ERROR_SUCCESS)
        Fail("cannot write " + Utf8(path) + "\\" + value.name, static_cast<DWORD>(result));
}

}  // namespace

SavedFile ReadFileState(const std::string& path);

namespace {

// The file's state, or, where a folder stands in its place, one that equals no
// saved file's.
SavedFile ReadFileStateOrFolder(const std::string& path) {
    try {
        return ReadFileState(path);
    } catch (const KitFailure&) {
        return {path, std::nullopt, ~0u};
    }
}

}  // namespace

LONG DeleteRegistryTree(HKEY root, const std::wstring& path) {
    try {
        DeleteTree(root, path);
        return ERROR_SUCCESS;
    } catch (const KitFailure&) {
        return ERROR_ACCESS_DENIED;
    }
}

SavedFile ReadFileState(const std::string& path) {
    const std::wstring wide = Wide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {path, std::nullopt};
        Fail("cannot look at " + path, error);
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) throw KitFailure(path + " is a folder, not a file");
    constexpr DWORD kKept =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail("cannot open " + path, GetLastError());
    std::vector<std::uint8_t> bytes;
    for (;;) {
        std::uint8_t block[65536];
        DWORD read = 0;
        if (!ReadFile(file, block, sizeof(block), &read, nullptr)) {
            const DWORD error = GetLastError();
            CloseHandle(file);
            Fail("cannot read " + path, error);
        }
        if (read == 0) break;
        bytes.insert(bytes.end(), block, block + read);
    }
    CloseHandle(file);
    return {path, bytes, attributes & kKept};
}

void PutBack(const SavedFile& saved) {
    if (ReadFileStateOrFolder(saved.path) == saved) return;
    const std::wstring path = Wide(saved.path);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    // The tests make a folder in the file's place, to make writing it fail;
    // a read-only, hidden or system file is written once it is plain.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !RemoveDirectoryW(path.c_str()))
        Fail("cannot remove the folder " + saved.path, GetLastError());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!saved.bytes) {
        if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND &&
            GetLastError() != ERROR_PATH_NOT_FOUND)
            Fail("cannot remove " + saved.path, GetLastError());
        return;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail("cannot write " + saved.path, GetLastError());
    DWORD written = 0;
    const bool whole = WriteFile(file, saved.bytes->data(), static_cast<DWORD>(saved.bytes->size()),
                                 &written, nullptr) &&
                       written == saved.bytes->size() && FlushFileBuffers(file);
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!whole) Fail("cannot write " + saved.path, error);
    // Even none: writing the file marked it for backup, which it was not.
    if (!SetFileAttributesW(path.c_str(), saved.attributes ? saved.attributes : FILE_ATTRIBUTE_NORMAL))
        Fail("cannot give " + saved.path + " its attributes back", GetLastError());
}

SavedKey ReadKeyState(const std::string& path) {
    const auto [root, below] = Split(path);
    SavedKey saved{path, false, {}, {}};
    Key key;
    if (!Open(root, below, KEY_READ, key)) return saved;
    saved.exists = true;
    ReadTree(root, below, "", saved);
    return saved;
}

void PutBack(const SavedKey& saved) {
    // A key the tests left as it was keeps all it has, its permissions too.
    if (ReadKeyState(saved.path) == saved) return;
    const auto [root, below] = Split(saved.path);
    DeleteTree(root, below);
    if (!saved.exists) return;
    Key key;
    Create(root, below, key);
    for (const std::string& subkey : saved.subkeys) {
        Key made;
        Create(root, Below(below, subkey), made);
    }
    for (const SavedValue& value : saved.values) WriteValue(root, Below(below, value.key), value);
}

SavedSetting ReadSettingState(const std::string& path, const std::string& name) {
    const auto [root, below] = Split(path);
    SavedSetting saved{path, name, std::nullopt};
    Key key;
    if (!Open(root, below, KEY_READ, key)) return saved;
    DWORD size = 0;
    const LONG result =
        RegQueryValueExW(key.get(), Wide(name).c_str(), nullptr, nullptr, nullptr, &size);
    if (result == ERROR_FILE_NOT_FOUND) return saved;
    SavedValue value = ReadValue(key.get(), below, Wide(name));
    value.name.clear();
    saved.value = value;
    return saved;
}

void PutBack(const SavedSetting& saved) {
    const auto [root, below] = Split(saved.key);
    if (saved.value) {
        SavedValue value = *saved.value;
        value.name = saved.name;
        WriteValue(root, below, value);
        return;
    }
    Key key;
    if (!Open(root, below, KEY_SET_VALUE, key)) return;
    const LONG result = RegDeleteValueW(key.get(), Wide(saved.name).c_str());
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        Fail("cannot remove " + saved.key + "\\" + saved.name, static_cast<DWORD>(result));
}

std::vector<SavedColour> ReadColours(const std::vector<int>& indices) {
    std::vector<SavedColour> colours;
    for (const int index : indices) colours.push_back({index, GetSysColor(index)});
    return colours;
}

void PutBack(const std::vector<SavedColour>& colours) {
    // Only those that differ: each change repaints every window.
    std::vector<INT> indices;
    std::vector<COLORREF> values;
    for (const SavedColour& colour : colours) {
        if (GetSysColor(colour.index) == colour.rgb) continue;
        indices.push_back(colour.index);
        values.push_back(colour.rgb);
    }
    if (!indices.empty() &&
        !SetSysColors(static_cast<int>(indices.size()), indices.data(), values.data()))
        Fail("cannot set the colours back", GetLastError());
}

SavedHighContrast ReadHighContrast() {
    HIGHCONTRASTW setting{};
    setting.cbSize = sizeof(setting);
    if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(setting), &setting, 0))
        Fail("cannot read the high-contrast setting", GetLastError());
    return {setting.dwFlags,
            setting.lpszDefaultScheme ? Utf8(setting.lpszDefaultScheme) : std::string()};
}

void PutBack(const SavedHighContrast& saved) {
    std::wstring scheme = Wide(saved.scheme);
    HIGHCONTRASTW setting{};
    setting.cbSize = sizeof(setting);
    setting.dwFlags = saved.flags;
    setting.lpszDefaultScheme = scheme.empty() ? nullptr : scheme.data();
    if (!SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof(setting), &setting, SPIF_SENDCHANGE))
        Fail("cannot set the high-contrast setting back", GetLastError());
}

}  // namespace quillane::kit
