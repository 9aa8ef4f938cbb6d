// A stand-in for the add-in library: an in-process COM server for the add-in's
// connection class, with the four standard exports.
//
// Tests steer its registration through the environment variable
// QUILLANE_STANDIN_REGISTRATION:
//   "refuse" - DllRegisterServer fails and writes nothing;
//   "hollow" - DllRegisterServer reports success but writes nothing, so the
//              class still cannot be created.

#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <new>

namespace {

const CLSID kConnectClassId = {
    0xF3FAB5F4, 0x5689, 0x11D5, {0x81, 0x6A, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID kConnectInterfaceId = {
    0xF3FAB5F3, 0x5689, 0x11D5, {0x81, 0x6A, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const wchar_t kClassKey[] = L"CLSID\\{F3FAB5F4-5689-11D5-816A-444553540000}";
const wchar_t kServerKey[] = L"CLSID\\{F3FAB5F4-5689-11D5-816A-444553540000}\\InprocServer32";

HMODULE g_module = nullptr;
LONG g_liveObjects = 0;
LONG g_serverLocks = 0;

class Connect final : public IUnknown {
public:
    Connect() { InterlockedIncrement(&g_liveObjects); }
    ~Connect() { InterlockedDecrement(&g_liveObjects); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kConnectInterfaceId)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }

private:
    LONG references_ = 1;
};

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is static: counting its references would only mirror the locks.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        Connect* connect = new (std::nothrow) Connect;
        if (!connect) return E_OUTOFMEMORY;
        const HRESULT hr = connect->QueryInterface(iid, out);
        connect->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&g_serverLocks);
        else
            InterlockedDecrement(&g_serverLocks);
        return S_OK;
    }
};

Factory g_factory;

bool RegistrationModeIs(const wchar_t* mode) {
    wchar_t value[32] = {};
    const DWORD length =
        GetEnvironmentVariableW(L"QUILLANE_STANDIN_REGISTRATION", value, ARRAYSIZE(value));
    return length > 0 && length < ARRAYSIZE(value) && lstrcmpiW(value, mode) == 0;
}

LONG SetStringValue(HKEY key, const wchar_t* name, const wchar_t* value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(wchar_t)));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, kConnectClassId)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return g_liveObjects == 0 && g_serverLocks == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI DllRegisterServer() {
    if (RegistrationModeIs(L"refuse")) return SELFREG_E_CLASS;
    if (RegistrationModeIs(L"hollow")) return S_OK;

    wchar_t modulePath[32768];
    const DWORD length = GetModuleFileNameW(g_module, modulePath, ARRAYSIZE(modulePath));
    if (length == 0 || length >= ARRAYSIZE(modulePath)) return SELFREG_E_CLASS;

    HKEY server = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, kServerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &server,
                        nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    const bool written = SetStringValue(server, nullptr, modulePath) == ERROR_SUCCESS &&
                         SetStringValue(server, L"ThreadingModel", L"Apartment") == ERROR_SUCCESS;
    RegCloseKey(server);
    return written ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    RegDeleteKeyW(HKEY_CLASSES_ROOT, kServerKey);
    const LONG result = RegDeleteKeyW(HKEY_CLASSES_ROOT, kClassKey);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
