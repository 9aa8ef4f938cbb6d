// The dialog and the platform services inside this test process, where Wine
// lets the dialog's fonts be read, where a failing platform can be put behind
// the dialog, and where the services meet what the running program cannot: a
// live instance, and library paths in folders that do not exist.

#include "app/ConfigDialog.h"
#include "platform/WindowsPlatformServices.h"
#include "registration/ComponentCheck.h"
#include "tests/unit/FakePlatformServices.h"
#include "tests/wine/WineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

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

TEST(Dialog, Label1IsArialBoldAnsiAndTheRestUseTheDialogFont) {
    RequireDisplay();
    WindowClosingFake fake;
    ConfigDialog dialog(GetModuleHandleW(nullptr), fake);
    ASSERT_TRUE(dialog.Create());
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    for (int id : {kLabel1Id, kLabel2Id, kOkId, kCancelId}) {
        SCOPED_TRACE(id);
        const bool title = id == kLabel1Id;
        LOGFONTW font{};
        GetObjectW(
            reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(dialog.window(), id), WM_GETFONT, 0, 0)),
            sizeof(font), &font);
        EXPECT_STREQ(font.lfFaceName, title ? L"Arial" : L"MS Shell Dlg");
        EXPECT_EQ(font.lfHeight, -MulDiv(title ? 975 : 800, dpi, 7200));
        EXPECT_EQ(font.lfWeight, title ? FW_BOLD : FW_NORMAL);
        EXPECT_EQ(font.lfCharSet, title ? ANSI_CHARSET : DEFAULT_CHARSET);
    }
}

TEST(Dialog, AFailureEscapingOkClosesTheDialogAndEndsWithStatus1) {
    RequireDisplay();
    const std::tuple<const char*, std::optional<std::int32_t>, const char*, int> cases[] = {
        {"the write succeeds", 1, "", 0},
        {"the write fails", std::nullopt, "", 1},
        {"the result is out of range", 70000, "", 1},
        {"the message box fails", 1, "M", 1},
    };
    for (const auto& [name, writeResult, failing, status] : cases) {
        SCOPED_TRACE(name);
        WindowClosingFake fake;
        fake.profileWriteResult = writeResult;
        fake.failing = failing;
        ConfigDialog dialog(GetModuleHandleW(nullptr), fake);
        ASSERT_TRUE(dialog.Create());
        dialog.Show(SW_SHOWNORMAL);
        PostMessageW(GetDlgItem(dialog.window(), IDOK), BM_CLICK, 0, 0);
        EXPECT_EQ(dialog.RunUntilClosed(), status);
        EXPECT_FALSE(dialog.IsOpen());
        EXPECT_EQ(std::count(fake.trace.begin(), fake.trace.end(), 'W'), 1) << "written again";
    }
}

TEST(WindowsPlatform, ReleaseInstance_ReleasesWhatCreateInstanceMade) {
    ComApartment apartment;
    WindowsPlatformServices platform;
    const fs::path library = BinFolder() / L"Quillane.dll";
    ASSERT_EQ(platform.DLLSelfRegister(library), 0);
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
}

TEST(WindowsPlatform, DLLSelfRegister_WithoutAShortFormToFallBackOn) {
    // A folder that is not there has no short form: a path outside the ANSI
    // code page then fails before the toolkit is called, since a best-fit look-
    // alike ("Bad") could name another file; one that is only too long is
    // handed over as it is, as the toolkit would always have had it.
    WindowsPlatformServices platform;
    const SelfRegisterLog log(fs::temp_directory_path());
    log.Clear();
    fs::path tooLong = fs::temp_directory_path() / L"quillane-missing";
    while (tooLong.native().size() < MAX_PATH) tooLong /= L"missing-folder";
    tooLong /= L"Quillane.dll";
    EXPECT_THROW(platform.DLLSelfRegister((tooLong.parent_path() / L"B\u0101d.dll").native()),
                 PlatformFailure);
    EXPECT_TRUE(log.Paths().empty());
    EXPECT_NE(platform.DLLSelfRegister(tooLong), 0);
    EXPECT_EQ(log.Paths(), std::vector<std::string>{ToUtf8(tooLong.native())});
}

}  // namespace
}  // namespace quillane
