// The dialog and the platform services inside this test process, where Wine
// lets the dialog's fonts be read, where a failing platform can be put behind
// the dialog, and where the services meet what the running program cannot: a
// live instance, library paths in folders that do not exist, and a Windows
// older or newer than Wine.

#include "app/ConfigDialog.h"
#include "platform/WindowsLibraries.h"
#include "platform/WindowsPlatformServices.h"
#include "platform/WindowsProcessSetup.h"
#include "registration/ComponentCheck.h"
#include "tests/unit/FakePlatformServices.h"
#include "tests/wine/WineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace quillane {
namespace {

using namespace wine;

// The scripted platform, closing the real window when asked to.
struct WindowClosingFake : testing::FakePlatformServices {
    void CloseDialog(DialogHandle dialog) override {
        FakePlatformServices::CloseDialog(dialog);
        DestroyWindow(static_cast<HWND>(dialog));
    }
};

TEST(Dialog, FontsAndAFailureEscapingOk_ClosesTheDialogAndEndsWithStatus1) {
    const int dpi = GetDeviceCaps(GetDC(nullptr), LOGPIXELSY);
    // How OK fails, and the failure that escapes it.
    const std::tuple<const char*, std::optional<std::int32_t>, const char*, const char*> cases[] = {
        {"the write fails", std::nullopt, "", "simulated failure"},
        {"the message box fails", 1, "M", "simulated failure"},
        {"the write's result is outside 16 bits", 32768, "", "profile write result out of 16-bit range"},
    };
    for (const auto& [name, writeResult, failing, escaped] : cases) {
        SCOPED_TRACE(name);
        WindowClosingFake fake;
        fake.profileWriteResult = writeResult;
        fake.failing = failing;
        ConfigDialog dialog(GetModuleHandleW(nullptr), fake);
        ASSERT_TRUE(dialog.Create());
        // Label1 in Arial 9.75 point bold, ANSI; the rest in the dialog font.
        for (int id : {kLabel1Id, kLabel2Id, kOkId, kCancelId}) {
            const bool title = id == kLabel1Id;
            LOGFONTW font{};
            GetObjectW(
                reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog.window(), id, WM_GETFONT, 0, 0)),
                sizeof(font), &font);
            EXPECT_EQ(
                std::tuple(std::wstring(font.lfFaceName), font.lfHeight, font.lfWeight, font.lfCharSet),
                std::tuple(std::wstring(title ? L"Arial" : L"MS Shell Dlg"),
                           -MulDiv(title ? 975 : 800, dpi, 7200), title ? FW_BOLD : FW_NORMAL,
                           title ? ANSI_CHARSET : DEFAULT_CHARSET))
                << "control " << id;
        }
        // The program's icon, big (Alt+Tab) and small (the title bar).
        for (WPARAM size : {ICON_BIG, ICON_SMALL})
            EXPECT_NE(SendMessageW(dialog.window(), WM_GETICON, size, 0), 0) << "icon " << size;
        dialog.Show(SW_SHOWNORMAL);
        PostMessageW(GetDlgItem(dialog.window(), IDOK), BM_CLICK, 0, 0);
        EXPECT_EQ(dialog.RunUntilClosed(), 1);
        EXPECT_EQ(std::count(fake.trace.begin(), fake.trace.end(), 'W'), 1) << "written again";
        try {
            std::rethrow_exception(dialog.failure());
        } catch (const Failure& failure) {
            EXPECT_STREQ(failure.what(), escaped);
        } catch (...) {
            ADD_FAILURE() << "no Failure escaped OK";
        }
    }
}

// A Windows whose high-contrast setting the test chooses. As Windows, it
// answers only a query that gives the structure's size, in both places.
bool simulatedHighContrast = false;
BOOL WINAPI ReadSimulatedSetting(UINT action, UINT size, void* value, UINT) {
    auto* highContrast = static_cast<HIGHCONTRASTW*>(value);
    if (action != SPI_GETHIGHCONTRAST || size != sizeof(HIGHCONTRASTW) ||
        highContrast->cbSize != sizeof(HIGHCONTRASTW))
        return FALSE;
    highContrast->dwFlags = simulatedHighContrast ? HCF_HIGHCONTRASTON : 0;
    return TRUE;
}

TEST(Dialog, Label1TakesTheSystemsTextColourWhileHighContrastIsOn) {
    // The default scheme's face and text, whatever scheme the user chose:
    // Label1 keeps its blue there while high contrast is off.
    SessionColours colours;
    colours.Set(COLOR_BTNFACE, RGB(240, 240, 240));
    colours.Set(COLOR_BTNTEXT, RGB(0, 0, 0));
    WindowClosingFake fake;
    ConfigDialog dialog(GetModuleHandleW(nullptr), fake, ReadSimulatedSetting);
    ASSERT_TRUE(dialog.Create());
    HDC dc = CreateCompatibleDC(nullptr);
    // Off, on and off again, each announced as Windows announces it.
    for (bool on : {false, true, false}) {
        simulatedHighContrast = on;
        SendMessageW(dialog.window(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        SendMessageW(dialog.window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog.window(), kLabel1Id)));
        EXPECT_EQ(GetTextColor(dc), on ? GetSysColor(COLOR_BTNTEXT) : kTitleBlue)
            << "high contrast " << on;
    }
    DeleteDC(dc);
}

TEST(WindowsPlatform, ReleasesTheInstanceAndHandsTheToolkitOnlyExactPaths) {
    ComApartment apartment;
    WindowsPlatformServices platform;
    const SelfRegisterLog log(fs::temp_directory_path());
    const fs::path library = BinFolder() / L"Quillane.dll";
    ASSERT_EQ(platform.DLLSelfRegister(library.c_str()), 0);
    InstanceRef instance = platform.CreateInstance(kConnectClassId, kConnectInterfaceId);
    UnregisterAddInClass();
    ASSERT_TRUE(instance);
    using CanUnloadFunction = HRESULT(WINAPI*)();
    const auto canUnload = reinterpret_cast<CanUnloadFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(library.c_str()), "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr) << "the library should be loaded while an instance lives";
    EXPECT_EQ(canUnload(), S_FALSE);
    platform.ReleaseInstance(instance);
    EXPECT_FALSE(instance);
    EXPECT_EQ(canUnload(), S_OK) << "the instance outlived its release";

    // A folder that is not there has no short form: a path outside the ANSI
    // code page then fails before the toolkit is called, since a best-fit look-
    // alike ("Bad") could name another file; one that is only too long is
    // handed over as it is, as the toolkit would always have had it.
    fs::path tooLong = ScratchRoot() / L"quillane-missing";
    while (tooLong.native().size() < MAX_PATH) tooLong /= L"missing-folder";
    log.Take();
    // A letter this Windows' ANSI code page lacks: "a" with a macron is in the
    // Baltic one, Greek and Chinese letters each in their own.
    std::wstring lacking;
    for (const wchar_t* letter : {L"\u0101", L"\u03A9", L"\u4E2D", L"\u0E01"})
        if (lacking.empty() && !AnsiCodePageHolds(letter)) lacking = letter;
    ASSERT_FALSE(lacking.empty()) << "the ANSI code page " << GetACP() << " holds every letter tried";
    EXPECT_THROW(platform.DLLSelfRegister((tooLong / (L"B" + lacking + L"d.dll")).c_str()), Failure);
    EXPECT_TRUE(log.Take().empty());
    EXPECT_NE(platform.DLLSelfRegister((tooLong / L"Quillane.dll").c_str()), 0);
    // In the ANSI code page: the temporary folder may hold the user's name.
    const std::vector<std::string> handed = log.Take();
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(FromAnsi(handed[0]).native(), (tooLong / L"Quillane.dll").native());
}

TEST(WindowsPlatform, CreatesTheAddInOnlyInThisProcess) {
    // The class registered only as a server of a process of its own: the IDE
    // loads an add-in into its own process, so that is no add-in to it. It is
    // not created, and that server is never started.
    ComApartment apartment;
    WindowsPlatformServices platform;
    UnregisterAddInClass();
    const std::wstring server = (BinFolder() / L"local_server_standin.exe").native();
    const fs::path trace = server + L".started";
    fs::remove(trace);
    // The command line that starts the server: its path, quoted.
    const std::wstring command = L"\"" + server + L"\"";
    SetRegistryString(HKEY_CLASSES_ROOT, L"CLSID\\{F3FAB5F4-5689-11D5-816A-444553540000}\\LocalServer32",
                      nullptr, command);
    try {
        platform.CreateInstance(kConnectClassId, kConnectInterfaceId);
        ADD_FAILURE() << "created from a server outside this process";
    } catch (const Failure& failure) {
        EXPECT_STREQ(failure.what(), "CoCreateInstance");
        EXPECT_EQ(failure.code(), static_cast<std::uint32_t>(REGDB_E_CLASSNOTREG))
            << std::hex << failure.code();
    }
    EXPECT_FALSE(fs::exists(trace)) << "the server of a process of its own was started";
    UnregisterAddInClass();
}

// A Windows of another generation: its version, the newer calls it exports
// and those of them that refuse, each name followed by a space; and the calls
// made.
struct {
    DWORD major, minor;
    std::string exports, refusing, calls;
} simulated;

BOOL Call(const std::string& name, const std::string& argument) {
    simulated.calls += name + "(" + argument + ") ";
    return simulated.refusing.find(name + " ") == std::string::npos;
}
BOOL WINAPI SetDefault(DWORD flags) { return Call("SetDefaultDllDirectories", std::to_string(flags)); }
BOOL WINAPI SetDirectory(const wchar_t* folder) {
    return Call("SetDllDirectoryW", '"' + ToUtf8(folder) + '"');
}
BOOL WINAPI SetContext(HANDLE context) {
    return Call("SetProcessDpiAwarenessContext", std::to_string(reinterpret_cast<INT_PTR>(context)));
}
BOOL WINAPI SetAware() { return Call("SetProcessDPIAware", ""); }
// The real error mode, so that what start-up leaves can be read back.
UINT WINAPI SetMode(UINT mode) {
    Call("SetErrorMode", std::to_string(mode));
    return SetErrorMode(mode);
}
// As Windows, only into a structure that gives its size.
BOOL WINAPI ReportVersion(OSVERSIONINFOW* version) {
    if (version->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW) &&
        version->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW))
        return FALSE;
    version->dwMajorVersion = simulated.major;
    version->dwMinorVersion = simulated.minor;
    return TRUE;
}
// Every preload fails, as where a Windows lacks the DLL: nothing else changes.
HMODULE WINAPI Load(const wchar_t* path, HANDLE, DWORD flags) {
    const std::wstring folder = SystemLibraryPath(L"").c_str();
    std::wstring name = path;
    if (name.rfind(folder, 0) == 0) name.replace(0, folder.size(), L"%system%\\");
    Call("LoadLibraryExW", ToUtf8(name) + " " + std::to_string(flags));
    return nullptr;
}

// The process's error mode, read as Windows XP allows (it has no
// GetErrorMode): SetErrorMode gives the mode it replaces, which is put back.
UINT CurrentErrorMode() {
    const UINT mode = SetErrorMode(0);
    SetErrorMode(mode);
    return mode;
}

FARPROC FindInSimulatedWindows(const wchar_t* module, const char* name) {
    const std::map<std::string, void*> fakes = {
        {"kernel32.dll!SetDefaultDllDirectories", reinterpret_cast<void*>(SetDefault)},
        {"kernel32.dll!SetDllDirectoryW", reinterpret_cast<void*>(SetDirectory)},
        {"user32.dll!SetProcessDpiAwarenessContext", reinterpret_cast<void*>(SetContext)},
        {"user32.dll!SetProcessDPIAware", reinterpret_cast<void*>(SetAware)}};
    const auto fake = fakes.find(ToUtf8(module) + "!" + name);
    const bool exported = simulated.exports.find(name + std::string(" ")) != std::string::npos;
    return fake != fakes.end() && exported ? reinterpret_cast<FARPROC>(fake->second) : nullptr;
}

TEST(StartUp, EachWindowsGetsTheNewestCallsItHas) {
    const std::string vista = "SetDefaultDllDirectories SetDllDirectoryW SetProcessDPIAware ";
    const std::string all = vista + "SetProcessDpiAwarenessContext ";
    // Error boxes off first, whatever the Windows: the mode the process was
    // started with (here 2, no fault box) is kept, and 1 and 0x8000 are added.
    const std::string quiet = "SetErrorMode(0) SetErrorMode(32771) ";
    // Then the search order and the DPI awareness, before any DLL that could
    // read the latter is loaded; last, before the window and COM, each system
    // DLL that may come to be loaded by name, by its full path in the system
    // folder.
    std::string preload;
    for (const char* name : {"uxtheme", "dwmapi", "oleacc", "clbcatq", "cryptbase", "ntmarta", "userenv",
                             "version", "apphelp"})
        preload += "LoadLibraryExW(%system%\\" + std::string(name) + ".dll 8) ";
    const std::string dropCurrentFolder = "SetDllDirectoryW(\"\") ";
    const std::string defaultDirectories = "SetDefaultDllDirectories(4096) ";
    // The Windows, the newer calls it exports and those that refuse, and the
    // calls between the error mode and the preloads.
    const std::tuple<const char*, DWORD, DWORD, std::string, std::string, std::string> cases[] = {
        {"XP SP3", 5, 1, "SetDllDirectoryW ", "", dropCurrentFolder},
        // On Vista, not even with the update that brings it.
        {"Vista with KB2533623", 6, 0, vista, "", dropCurrentFolder + "SetProcessDPIAware() "},
        {"8.1", 6, 3, vista, "", defaultDirectories + "SetProcessDPIAware() "},
        {"10 1703 and later", 10, 0, all, "", defaultDirectories + "SetProcessDpiAwarenessContext(-2) "},
        {"the newer calls refuse", 10, 0, all, "SetDefaultDllDirectories SetProcessDpiAwarenessContext ",
         defaultDirectories + dropCurrentFolder +
             "SetProcessDpiAwarenessContext(-2) SetProcessDPIAware() "},
    };
    for (const auto& [windows, major, minor, exports, refusing, calls] : cases) {
        simulated = {major, minor, exports, refusing, ""};
        SetErrorMode(SEM_NOGPFAULTERRORBOX);
        PrepareProcess({FindInSimulatedWindows, SetMode, ReportVersion, Load});
        EXPECT_EQ(simulated.calls, quiet + calls + preload) << windows;
        EXPECT_EQ(CurrentErrorMode(), static_cast<UINT>(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS |
                                                        SEM_NOOPENFILEERRORBOX))
            << windows;
    }
}

}  // namespace
}  // namespace quillane
