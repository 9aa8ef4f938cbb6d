#include "platform/WindowsPlatformServices.h"

#include "platform/PathRules.h"
#include "platform/WindowsAnsiPath.h"
#include "platform/WindowsModulePath.h"

#include <objbase.h>

#include <algorithm>
#include <memory>

namespace quillane {
namespace {

GUID ToWindowsGuid(const Guid& guid) {
    GUID result;
    result.Data1 = guid.data1;
    result.Data2 = guid.data2;
    result.Data3 = guid.data3;
    for (int i = 0; i < 8; ++i) result.Data4[i] = guid.data4[i];
    return result;
}

}  // namespace

void WindowsPlatformServices::ShowMessage(const Text& prompt, MessageKind kind, const Text& title) {
    const UINT style = MB_OK | static_cast<UINT>(kind);
    if (MessageBoxW(owner_, prompt.c_str(), title.c_str(), style) == 0) FailWithLastError("MessageBoxW");
}

Text WindowsPlatformServices::GetProductName() {
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
    const auto record = std::make_unique<unsigned char[]>(size);
    std::copy_n(static_cast<const unsigned char*>(data), size, record.get());

    struct Translation {
        WORD language;
        WORD codePage;
    };
    const QueryVersionFunction queryVersion = queryVersion_.Get();
    Translation* translations = nullptr;
    UINT translationBytes = 0;
    if (!queryVersion(record.get(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translations), &translationBytes) ||
        translationBytes < sizeof(Translation))
        throw Failure("version record has no translation", ERROR_RESOURCE_TYPE_NOT_FOUND);

    wchar_t query[64];
    wsprintfW(query, L"\\StringFileInfo\\%04x%04x\\ProductName", translations[0].language,
              translations[0].codePage);
    wchar_t* name = nullptr;
    UINT nameLength = 0;
    if (!queryVersion(record.get(), query, reinterpret_cast<void**>(&name), &nameLength) || !name)
        throw Failure("version record has no ProductName", ERROR_RESOURCE_NAME_NOT_FOUND);
    // The length may or may not count the terminating zero.
    return Text(name);
}

Text WindowsPlatformServices::GetAppFolder() {
    Text folder = FolderOfModulePath(GetModulePath(nullptr));
    if (folder.empty()) throw Failure("module path has no folder", ERROR_BAD_PATHNAME);
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
    if (FAILED(hr) || !instance) throw Failure("CoCreateInstance", static_cast<std::uint32_t>(hr));
    return InstanceRef{instance};
}

void WindowsPlatformServices::ReleaseInstance(InstanceRef& instance) {
    if (instance) static_cast<IUnknown*>(instance.pointer)->Release();
    instance = {};
}

std::int16_t WindowsPlatformServices::DLLSelfRegister(const Text& libraryPath) {
    const SelfRegisterFunction selfRegister = selfRegister_.Get();
    const AnsiText ansiPath = AnsiLibraryPath(libraryPath);
    return selfRegister(ansiPath.c_str());
}

std::int32_t WindowsPlatformServices::WritePrivateProfileStringA(const char* section, const char* key,
                                                                 const char* value,
                                                                 const char* fileName) {
    const WriteProfileFunction writeProfile = writeProfile_.Get();
    return writeProfile(section, key, value, fileName);
}

}  // namespace quillane
