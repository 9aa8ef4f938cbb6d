// A stand-in for the add-in library: an in-process COM server for the add-in's
// connection class, which registers itself.

#include <objbase.h>
#include <olectl.h>
#include <windows.h>

namespace {

const CLSID kConnectClassId = {
    0xF3FAB5F4, 0x5689, 0x11D5, {0x81, 0x6A, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID kConnectInterfaceId = {
    0xF3FAB5F3, 0x5689, 0x11D5, {0x81, 0x6A, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const wchar_t kServerKey[] = L"CLSID\\{F3FAB5F4-5689-11D5-816A-444553540000}\\InprocServer32";

HMODULE g_module = nullptr;

// The class factory and the connection class's one object in one: a static
// object that counts its references, so that the library knows when it is in
// use.
class Connect final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        const bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory) ||
                           IsEqualIID(iid, kConnectInterfaceId);
        *out = known ? this : nullptr;
        return known ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references); }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&references); }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        return outer ? CLASS_E_NOAGGREGATION : QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        return (lock ? AddRef() : Release()), S_OK;
    }

    LONG references = 0;
} g_connect;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!IsEqualCLSID(clsid, kConnectClassId)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_connect.QueryInterface(iid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return g_connect.references == 0 ? S_OK : S_FALSE; }

// HKCR\CLSID\{...}\InprocServer32: this library's path, apartment threaded.
extern "C" HRESULT WINAPI DllRegisterServer() {
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(g_module, path, ARRAYSIZE(path));
    // RegCreateKeyExW and RegSetValueExW: Windows XP has no RegSetKeyValueW.
    HKEY key = nullptr;
    if (length == 0 || length >= ARRAYSIZE(path) ||
        RegCreateKeyExW(HKEY_CLASSES_ROOT, kServerKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    const auto set = [key](const wchar_t* name, const wchar_t* value) {
        return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                              static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(wchar_t))) ==
               ERROR_SUCCESS;
    };
    const bool written = set(nullptr, path) && set(L"ThreadingModel", L"Apartment");
    RegCloseKey(key);
    return written ? S_OK : SELFREG_E_CLASS;
}
