// The whole program under Wine, driven from outside as a user would drive it,
// with the stand-in add-in library and setup toolkit beside it.

#include "tests/wine/ProgramDriver.h"
#include "tests/wine/WineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace quillane {
namespace {

using namespace wine;

const std::wstring kTitle = L"Quillane Add-In Configuration";
const std::wstring kComponentMissing =
    L"Could not reference Quillane Add-In. Try registering Quillane.dll first";

class ProgramRun : public ::testing::Test {
protected:
    enum Toolkit { kNoToolkit, kToolkit, kToolkitWithoutEntry };

    void SetUp() override {
        RequireDisplay();
        UnregisterAddInClass();
        RemoveAddInList();
        installFolder_ = scratch_.Make(L"Quillane Tools");
    }
    void TearDown() override {
        UnregisterAddInClass();
        RemoveAddInList();
    }

    // Puts the program, and the stand-ins asked for, in the install folder.
    std::wstring Install(bool addInLibrary, Toolkit toolkit) {
        if (addInLibrary) CopyInto(Join(BinFolder(), L"Quillane.dll"), installFolder_);
        if (toolkit == kToolkit) CopyInto(Join(BinFolder(), L"vb6stkit.dll"), installFolder_);
        if (toolkit == kToolkitWithoutEntry) CopyInto(Join(BinFolder(), L"noentry\\vb6stkit.dll"), installFolder_);
        return CopyInto(Join(BinFolder(), L"QuillaneConfig.exe"), installFolder_);
    }

    // Starts the installed program and waits for its dialog to be shown.
    std::unique_ptr<Program> StartToDialog(const std::wstring& arguments = {}) {
        auto program = std::make_unique<Program>(Install(true, kToolkit), arguments);
        dialog_ = program->WaitForDialog();
        EXPECT_NE(dialog_, nullptr) << "the dialog was not shown";
        return program;
    }

    // Every path the setup toolkit was given, as received.
    std::vector<std::string> SelfRegisteredPaths() const { return ReadLines(log_); }

    // The program ended with status 0 without writing or showing anything.
    static void ExpectEndedQuietly(Program& program) {
        EXPECT_EQ(program.WaitForExit(), std::optional<DWORD>(0));
        EXPECT_EQ(program.messageBoxesSeen(), 0);
        EXPECT_FALSE(FileExists(AddInListPath()));
    }

    ScratchFolder scratch_{L"program"};
    std::wstring installFolder_;
    const std::wstring log_ = Join(scratch_.path(), L"selfregister.log");
    ScopedEnvironment logEnvironment_{L"VB6STKIT_STANDIN_LOG", log_};
    HWND dialog_ = nullptr;
};

// --- Before the dialog: the component check ---------------------------------

TEST_F(ProgramRun, AlreadyRegistered_ShowsDialogWithoutSelfRegistering) {
    const std::wstring exe = Install(true, kNoToolkit);
    HMODULE library = LoadLibraryW(Join(installFolder_, L"Quillane.dll").c_str());
    ASSERT_NE(library, nullptr);
    using RegisterFunction = HRESULT(WINAPI*)();
    const auto registerServer =
        reinterpret_cast<RegisterFunction>(reinterpret_cast<void*>(GetProcAddress(library, "DllRegisterServer")));
    ASSERT_EQ(registerServer(), S_OK);
    FreeLibrary(library);

    Program program(exe);
    ASSERT_NE(program.WaitForDialog(), nullptr);
    EXPECT_EQ(program.messageBoxesSeen(), 0);
    EXPECT_TRUE(SelfRegisteredPaths().empty());
}

TEST_F(ProgramRun, NotRegistered_SelfRegistersFromItsFolderAndShowsDialogSilently) {
    // The command line is ignored, whatever it says.
    auto program = StartToDialog(L"/u /s extra arguments");
    ASSERT_NE(dialog_, nullptr);
    EXPECT_EQ(program->messageBoxesSeen(), 0);
    const std::string expected = ToUtf8(Join(installFolder_, L"Quillane.dll"));
    EXPECT_EQ(SelfRegisteredPaths(), std::vector<std::string>{expected});
    EXPECT_TRUE(AddInClassIsRegistered());
}

TEST_F(ProgramRun, NotRegisteredInAFolderTooDeepForAnsiPaths_SelfRegistersThroughItsShortForm) {
    installFolder_ = MakeDeepFolder(installFolder_, 304);
    const std::wstring library = Join(installFolder_, L"Quillane.dll");
    Program program(Install(true, kToolkit), {}, {}, Program::Launch::kWineLoader);
    ASSERT_NE(program.WaitForDialog(), nullptr) << "the dialog was not shown";
    EXPECT_EQ(program.messageBoxesSeen(), 0);

    const std::vector<std::string> paths = SelfRegisteredPaths();
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_LT(paths[0].size(), static_cast<size_t>(MAX_PATH)) << paths[0];
    std::vector<wchar_t> longForm(32768);
    ASSERT_NE(GetLongPathNameW(FromAnsi(paths[0]).c_str(), longForm.data(), 32768), 0u) << paths[0];
    EXPECT_EQ(lstrcmpiW(longForm.data(), library.c_str()), 0) << ToUtf8(longForm.data());
}

TEST_F(ProgramRun, ComponentCannotBeMadeCreatable_OneCriticalMessageAndNoDialog) {
    struct Case {
        const char* name;
        bool addInLibrary;
        Toolkit toolkit;
        const wchar_t* registrationMode;
        bool toolkitOnlyInWorkingFolder;
    };
    const Case cases[] = {
        {"add-in library missing", false, kToolkit, L"", false},
        {"setup toolkit missing", true, kNoToolkit, L"", false},
        {"setup toolkit without its entry point", true, kToolkitWithoutEntry, L"", false},
        {"setup toolkit only in the working folder", true, kNoToolkit, L"", true},
        {"registration refused", true, kToolkit, L"refuse", false},
        {"registration claims success", true, kToolkit, L"hollow", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder(L"install");
        installFolder_ = folder.path();
        ScratchFolder workingFolder(L"cwd");
        if (c.toolkitOnlyInWorkingFolder) CopyInto(Join(BinFolder(), L"vb6stkit.dll"), workingFolder.path());
        ScopedEnvironment mode(L"QUILLANE_STANDIN_REGISTRATION", c.registrationMode);
        DeleteFileW(log_.c_str());

        Program program(Install(c.addInLibrary, c.toolkit), {}, workingFolder.path());
        HWND box = program.WaitForMessageBox();
        ASSERT_NE(box, nullptr) << "no message box";
        const MessageBoxView view = ReadMessageBox(box);
        EXPECT_EQ(view.title, kTitle);
        EXPECT_EQ(view.text, kComponentMissing);
        EXPECT_EQ(view.iconKind, 16);
        EXPECT_EQ(view.owner, nullptr) << "the box must not belong to a hidden window";
        HWND hidden = program.Dialog();
        EXPECT_TRUE(hidden == nullptr || !IsWindowVisible(hidden));

        PressMessageBoxOk(box);
        EXPECT_EQ(program.WaitForExit(), std::optional<DWORD>(0));
        EXPECT_FALSE(program.sawVisibleDialog());
        EXPECT_EQ(program.messageBoxesSeen(), 1);
        EXPECT_FALSE(FileExists(AddInListPath()));
        if (c.toolkitOnlyInWorkingFolder) {
            EXPECT_TRUE(SelfRegisteredPaths().empty());
        }
        UnregisterAddInClass();
    }
}

// --- The dialog as the user sees it -----------------------------------------

struct ExpectedControl {
    int id;
    const wchar_t* windowClass;
    const wchar_t* caption;
    RECT twips;  // left, top, right, bottom
    DWORD type;  // BS_* or SS_* type bits
    bool tabStop;
};

const ExpectedControl kExpectedControls[] = {
    {101, L"Button", L"Cancel", {1860, 840, 1860 + 1035, 840 + 375}, BS_PUSHBUTTON, true},
    {IDOK, L"Button", L"OK", {660, 840, 660 + 1035, 840 + 375}, BS_DEFPUSHBUTTON, true},
    {102, L"Static", L"Quillane Add-In Configuration", {60, 60, 60 + 3435, 60 + 255}, SS_CENTER, false},
    {103, L"Static", L"Click OK to register the Quillane Add-In.", {60, 360, 60 + 3435, 360 + 375}, SS_CENTER, false},
};

int Pixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

// Checks the window, its client area and every control at `dpi`.
void ExpectLayout(HWND dialog, int dpi) {
    EXPECT_EQ(WindowText(dialog), L"Quillane Configuration");
    const LONG style = GetWindowLongW(dialog, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD | WS_POPUP));

    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, Pixels(3555, dpi));
    EXPECT_EQ(client.bottom, Pixels(1305, dpi));

    for (const ExpectedControl& expected : kExpectedControls) {
        HWND control = GetDlgItem(dialog, expected.id);
        ASSERT_NE(control, nullptr) << "control " << expected.id;
        EXPECT_EQ(ClassName(control), expected.windowClass);
        EXPECT_EQ(WindowText(control), expected.caption);
        const RECT rect = RectInParent(control);
        EXPECT_EQ(rect.left, Pixels(expected.twips.left, dpi)) << expected.id;
        EXPECT_EQ(rect.top, Pixels(expected.twips.top, dpi)) << expected.id;
        EXPECT_EQ(rect.right - rect.left, Pixels(expected.twips.right - expected.twips.left, dpi)) << expected.id;
        EXPECT_EQ(rect.bottom - rect.top, Pixels(expected.twips.bottom - expected.twips.top, dpi)) << expected.id;
        const LONG controlStyle = GetWindowLongW(control, GWL_STYLE);
        const LONG typeMask = expected.windowClass == std::wstring(L"Button") ? BS_TYPEMASK : SS_TYPEMASK;
        EXPECT_EQ(controlStyle & typeMask, static_cast<LONG>(expected.type)) << expected.id;
        EXPECT_EQ((controlStyle & WS_TABSTOP) != 0, expected.tabStop) << expected.id;
    }
}

// Sets the display resolution that Wine gives programs started from now on.
class ScopedLogPixels {
public:
    explicit ScopedLogPixels(DWORD dpi) { Set(dpi); }
    ~ScopedLogPixels() { Set(96); }

private:
    static void Set(DWORD dpi) {
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi,
                        sizeof(dpi));
    }
};

// Where a label's text is drawn: the blank columns left and right of it.
struct TextMargins {
    int left = -1;
    int right = -1;
};

TextMargins MarginsOfText(HWND label) {
    RECT rect;
    GetWindowRect(label, &rect);
    const int width = rect.right - rect.left;
    const std::vector<COLORREF> pixels = CaptureScreen(rect);
    TextMargins margins;
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (pixels[i] == GetSysColor(COLOR_BTNFACE)) continue;
        const int x = static_cast<int>(i) % width;
        if (margins.left < 0 || x < margins.left) margins.left = x;
        if (margins.right < 0 || width - 1 - x < margins.right) margins.right = width - 1 - x;
    }
    return margins;
}

int CountPixels(HWND control, const std::function<bool(COLORREF)>& wanted) {
    RECT rect;
    GetWindowRect(control, &rect);
    const std::vector<COLORREF> pixels = CaptureScreen(rect);
    return static_cast<int>(std::count_if(pixels.begin(), pixels.end(), wanted));
}

bool IsTitleBlue(COLORREF pixel) { return pixel == RGB(0, 0, 192); }
bool IsBluish(COLORREF pixel) { return GetBValue(pixel) > GetRValue(pixel) + 32; }
// Black text, antialiased on a grey background: dark and without colour.
bool IsDarkGrey(COLORREF pixel) {
    return GetRValue(pixel) == GetGValue(pixel) && GetGValue(pixel) == GetBValue(pixel) && GetRValue(pixel) < 128;
}

class ProgramRunAtDpi : public ProgramRun, public ::testing::WithParamInterface<int> {};

TEST_P(ProgramRunAtDpi, DialogLayoutColoursAndCentredText) {
    const int dpi = GetParam();
    ScopedLogPixels logPixels(static_cast<DWORD>(dpi));
    auto program = StartToDialog();
    ASSERT_NE(dialog_, nullptr);
    ExpectLayout(dialog_, dpi);

    HWND label1 = GetDlgItem(dialog_, 102);
    HWND label2 = GetDlgItem(dialog_, 103);
    // Label1 is dark blue; Label2 is in the system's text colour, black.
    EXPECT_TRUE(WaitUntil([&] {
        return CountPixels(label1, IsTitleBlue) > 50 && CountPixels(label2, IsDarkGrey) > 50;
    })) << "Label1 not drawn in RGB(0,0,192), or Label2 not in black";
    EXPECT_EQ(CountPixels(label2, IsBluish), 0);

    for (HWND label : {label1, label2}) {
        const TextMargins margins = MarginsOfText(label);
        ASSERT_GE(margins.left, 0) << "no text in label " << GetDlgCtrlID(label);
        EXPECT_LE(std::abs(margins.left - margins.right), 4)
            << "label " << GetDlgCtrlID(label) << ": text drawn " << margins.left << " px from the left edge and "
            << margins.right << " px from the right, more than 2 px off centre";
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, ProgramRunAtDpi, ::testing::Values(96, 144));

TEST_F(ProgramRun, Keyboard_FocusStartsOnOkAndTabMovesOnlyBetweenTheButtons) {
    auto program = StartToDialog();
    ASSERT_NE(dialog_, nullptr);
    HWND ok = GetDlgItem(dialog_, IDOK);
    HWND cancel = GetDlgItem(dialog_, 101);
    EXPECT_TRUE(WaitUntil([&] { return FocusedControl(program->threadId()) == ok; }));
    for (HWND next : {cancel, ok, cancel}) {
        PressKey(program->threadId(), VK_TAB);
        EXPECT_TRUE(WaitUntil([&] { return FocusedControl(program->threadId()) == next; }))
            << "focus is on control " << GetDlgCtrlID(FocusedControl(program->threadId()));
    }
    // Enter on the focused Cancel presses Cancel.
    PressKey(program->threadId(), VK_RETURN);
    ExpectEndedQuietly(*program);
}

TEST_F(ProgramRun, Keyboard_EscPressesNothing) {
    auto program = StartToDialog();
    ASSERT_NE(dialog_, nullptr);
    HWND ok = GetDlgItem(dialog_, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return FocusedControl(program->threadId()) == ok; }));
    PressKey(program->threadId(), VK_ESCAPE);
    // Keys are handled in order: once the Tab after it has moved the focus,
    // Esc has been handled too.
    PressKey(program->threadId(), VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusedControl(program->threadId()) == GetDlgItem(dialog_, 101); }));
    EXPECT_FALSE(program->WaitForExit(0).has_value()) << "Esc ended the program";
    EXPECT_TRUE(IsWindowVisible(dialog_));
    EXPECT_EQ(program->messageBoxesSeen(), 0);
    EXPECT_FALSE(FileExists(AddInListPath()));
}

TEST_F(ProgramRun, CancelAndCloseBox_EndWithoutWritingOrShowing) {
    struct Case {
        const char* name;
        std::function<void(HWND dialog)> close;
    };
    const Case cases[] = {
        {"Cancel button",
         [](HWND dialog) { PostMessageW(GetDlgItem(dialog, 101), BM_CLICK, 0, 0); }},
        {"close box", [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"close request", [](HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder(L"install");
        installFolder_ = folder.path();
        auto program = StartToDialog();
        ASSERT_NE(dialog_, nullptr);
        c.close(dialog_);
        ExpectEndedQuietly(*program);
    }
}

// --- OK: the add-in list entry -----------------------------------------------

TEST_F(ProgramRun, OkOrEnter_WritesTheEntryReportsTheOutcomeAndEndsAfterTheMessage) {
    struct Case {
        const char* name;
        bool useEnter;
        bool listWritable;
        const wchar_t* message;
        int iconKind;
    };
    const Case cases[] = {
        {"OK clicked", false, true, L"Quillane Add-In successfully registered", 64},
        {"Enter pressed", true, true, L"Quillane Add-In successfully registered", 64},
        {"list unwritable", false, false, L"Failed to register Quillane Add-In", 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder(L"install");
        installFolder_ = folder.path();
        RemoveAddInList();
        // A folder where the file should be makes the profile write fail.
        if (!c.listWritable) MakeFolders(AddInListPath());
        auto program = StartToDialog();
        ASSERT_NE(dialog_, nullptr);
        HWND ok = GetDlgItem(dialog_, IDOK);
        if (c.useEnter) {
            ASSERT_TRUE(WaitUntil([&] { return FocusedControl(program->threadId()) == ok; }));
            PressKey(program->threadId(), VK_RETURN);
        } else {
            PostMessageW(ok, BM_CLICK, 0, 0);
        }
        HWND box = program->WaitForMessageBox();
        ASSERT_NE(box, nullptr);
        const MessageBoxView view = ReadMessageBox(box);
        EXPECT_EQ(view.title, kTitle);
        EXPECT_EQ(view.text, c.message);
        EXPECT_EQ(view.iconKind, c.iconKind);
        EXPECT_EQ(view.owner, dialog_);
        if (c.listWritable) {
            EXPECT_EQ(ParseProfile(ReadFileBytes(AddInListPath()))["Add-Ins32"]["Quillane.Connect"], "1");
        }
        EXPECT_FALSE(program->WaitForExit(0).has_value()) << "ended before the message was dismissed";

        PressMessageBoxOk(box);
        EXPECT_EQ(program->WaitForExit(), std::optional<DWORD>(0));
        EXPECT_EQ(program->messageBoxesSeen(), 1);
    }
}

}  // namespace
}  // namespace quillane
