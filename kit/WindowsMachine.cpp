#include "kit/WindowsMachine.h"

#include "kit/WindowsKitText.h"

#include <windows.h>

#include <sddl.h>

namespace quillane::kit {
namespace {

// What Windows calls itself, by version and build.
std::string WindowsName(const Machine& machine) {
    const unsigned version = machine.major * 100 + machine.minor;
    if (version == 501) return "Windows XP";
    if (version == 502) return machine.wow64 ? "Windows XP x64 or Server 2003" : "Windows Server 2003";
    if (version == 600) return "Windows Vista";
    if (version == 601) return "Windows 7";
    if (version == 602) return "Windows 8";
    if (version == 603) return "Windows 8.1";
    if (version == 1000) return machine.build >= 22000 ? "Windows 11" : "Windows 10";
    return "Windows " + std::to_string(machine.major) + "." + std::to_string(machine.minor);
}

template <typename Function>
Function Find(const wchar_t* module, const char* name) {
    HMODULE library = GetModuleHandleW(module);
    return library ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)))
                   : nullptr;
}

void ReadVersion(Machine& machine) {
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    // RtlGetVersion tells the truth to a program without a manifest; Windows
    // XP has it too, but look it up all the same.
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    const auto rtlGetVersion = Find<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion");
    if (!rtlGetVersion || rtlGetVersion(&version) != 0)
        GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
    machine.major = version.dwMajorVersion;
    machine.minor = version.dwMinorVersion;
    machine.build = version.dwBuildNumber;
    machine.servicePack = Utf8(version.szCSDVersion);
}

void ReadElevation(Machine& machine) {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    BOOL member = FALSE;
    if (AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                 0, 0, 0, 0, 0, &administrators)) {
        if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
        FreeSid(administrators);
    }
    machine.administrator = member;
    machine.elevated = member;
    if (!machine.VistaOrLater()) return;
    // Windows Vista and later give an administrator a filtered token unless
    // the program is run as administrator. TokenElevation is 20 in Vista's
    // headers, which this program is built without.
    constexpr auto kTokenElevation = static_cast<TOKEN_INFORMATION_CLASS>(20);
    HANDLE token = nullptr;
    DWORD elevation = 0, size = 0;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        if (!GetTokenInformation(token, kTokenElevation, &elevation, sizeof(elevation), &size))
            elevation = 0;
        CloseHandle(token);
    }
    machine.elevated = elevation != 0;
}

std::string YesNo(bool yes) { return yes ? "yes" : "no"; }

std::string Identity() {
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(computer, &size);
    std::string user = "unknown-user";
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        alignas(TOKEN_USER) std::uint8_t buffer[512];
        DWORD length = 0;
        wchar_t* sid = nullptr;
        if (GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &length) &&
            ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
            user = Utf8(sid);
            LocalFree(sid);
        }
        CloseHandle(token);
    }
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    return Utf8(computer) + " " + user + " " + Utf8(windows);
}

}  // namespace

void SeeTheDisplayAsItIs() {
    using SetProcessDpiAwareFunction = BOOL(WINAPI*)();
    if (const auto setAware = Find<SetProcessDpiAwareFunction>(L"user32.dll", "SetProcessDPIAware"))
        setAware();
}

Machine ReadMachine() {
    Machine machine;
    ReadVersion(machine);
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, BOOL*);
    BOOL wow64 = FALSE;
    if (const auto isWow64 = Find<IsWow64ProcessFunction>(L"kernel32.dll", "IsWow64Process"))
        machine.wow64 = isWow64(GetCurrentProcess(), &wow64) && wow64;
    using WineGetVersionFunction = const char*(CDECL*)();
    if (const auto wineGetVersion = Find<WineGetVersionFunction>(L"ntdll.dll", "wine_get_version"))
        machine.wine = wineGetVersion();
    ReadElevation(machine);
    HDC screen = GetDC(nullptr);
    machine.dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    machine.width = GetSystemMetrics(SM_CXSCREEN);
    machine.height = GetSystemMetrics(SM_CYSCREEN);
    HIGHCONTRASTW highContrast{};
    highContrast.cbSize = sizeof(highContrast);
    machine.highContrast =
        SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(highContrast), &highContrast, 0) &&
        (highContrast.dwFlags & HCF_HIGHCONTRASTON);
    machine.codePage = GetACP();
    machine.identity = Identity();
    return machine;
}

std::vector<std::string> Describe(const Machine& machine) {
    std::string windows = WindowsName(machine) + " " + std::to_string(machine.major) + "." +
                          std::to_string(machine.minor) + ", build " + std::to_string(machine.build);
    if (!machine.servicePack.empty()) windows += ", " + machine.servicePack;
    windows += machine.wow64 ? ", 64-bit Windows" : ", 32-bit Windows";
    return {
        "Windows:         " + windows,
        "Wine:            " + (machine.wine.empty() ? std::string("no") : "yes, Wine " + machine.wine),
        "Elevated:        " + YesNo(machine.elevated) +
            (machine.VistaOrLater() ? ""
                                    : " (an administrator: " + YesNo(machine.administrator) +
                                          "; Windows XP has no elevation)"),
        "Display:         " + std::to_string(machine.width) + " x " + std::to_string(machine.height) +
            ", " + std::to_string(machine.dpi) + " dpi",
        "High contrast:   " + std::string(machine.highContrast ? "on" : "off"),
        "ANSI code page:  " + std::to_string(machine.codePage),
    };
}

}  // namespace quillane::kit
