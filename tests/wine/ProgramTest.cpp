// The whole program under Wine, driven from outside as a user would drive it,
// with the stand-in add-in library and setup toolkit beside it.

#include "app/ConfigDialog.h"
#include "tests/wine/WineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>

namespace quillane {
namespace {

using namespace wine;

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override {
        RequireDisplay();
        Reset();
    }
    void TearDown() override { Reset(); }
    static void Reset() {
        UnregisterAddInClass();
        fs::remove_all(AddInListPath());
        SetLogPixels(96);
    }

    // The display resolution that Wine gives programs started from now on.
    static void SetLogPixels(DWORD dpi) {
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, 4);
    }

    // Puts the program and `files` of the bin folder in `folder`, or in a new one.
    std::wstring Install(fs::path folder = {},
                         std::vector<fs::path> files = {L"Quillane.dll", L"vb6stkit.dll"}) {
        if (folder.empty()) folder = scratch_.path() / std::to_wstring(++installs_);
        fs::create_directories(folder);
        files.push_back(L"QuillaneConfig.exe");
        for (const fs::path& file : files) CopyInto(BinFolder() / file, folder);
        return folder / L"QuillaneConfig.exe";
    }

    // Starts the program from a new folder and waits for its dialog.
    std::unique_ptr<Program> StartToDialog() {
        auto program = std::make_unique<Program>(Install());
        dialog_ = program->WaitForDialog();
        return program;
    }

    // The program shows `text` in a message box of `kind` owned by `owner`, the
    // one window it shows; it runs until the box is dismissed, then ends with
    // status 0.
    static void ExpectMessageThenEnd(Program& program, const std::wstring& text, int kind, HWND owner) {
        HWND box = program.WaitForMessageBox();
        ASSERT_NE(box, nullptr) << "no message box";
        const MessageBoxView view = ReadMessageBox(box);
        EXPECT_EQ(view.title, L"Quillane Add-In Configuration");
        EXPECT_EQ(view.text, text);
        EXPECT_EQ(view.iconKind, kind);
        EXPECT_EQ(view.owner, owner);
        EXPECT_FALSE(!owner && IsWindowVisible(FindWindowW(L"QuillaneConfig", nullptr)))
            << "dialog shown";
        EXPECT_FALSE(program.WaitForExit(0ms)) << "ended before the message was dismissed";
        PressMessageBoxOk(box);
        EXPECT_EQ(program.WaitForExit(), std::optional<DWORD>(0));
    }

    ScratchFolder scratch_{L"program"};
    SelfRegisterLog log_{scratch_.path()};
    HWND dialog_ = nullptr;
    int installs_ = 0;
};

// --- Before the dialog: the component check ---------------------------------

TEST_F(ProgramRun, NotRegistered_SelfRegistersTheLibraryBesideItAndShowsTheDialogSilently) {
    const wchar_t* spareDrive = _wgetenv(L"QUILLANE_TEST_SPARE_DRIVE");
    ASSERT_TRUE(spareDrive)
        << "QUILLANE_TEST_SPARE_DRIVE must name a drive mapped for this test, e.g. Q:";
    struct Case {
        fs::path folder;
        bool pathAsItIs;  // else in a shorter form that names the same file
    };
    fs::path deep = scratch_.path() / L"deep";
    while (deep.native().size() < 304) deep /= L"a-rather-long-folder-name";
    const Case cases[] = {
        {scratch_.path() / L"Quillane Tools", true},
        {std::wstring(spareDrive) + L"\\", true},
        {scratch_.path() / L"\u03A9mega \u4E2D\u6587", false},
        {deep, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.folder));
        UnregisterAddInClass();
        log_.Clear();
        // The command line is ignored, whatever it says.
        Program program(Install(c.folder), L"/u /s extra arguments");
        EXPECT_NE(program.WaitForDialog(), nullptr) << "the dialog was not shown";

        const std::vector<std::string> paths = log_.Paths();
        ASSERT_EQ(paths.size(), 1u);
        const fs::path library = c.folder / L"Quillane.dll";
        EXPECT_LT(paths[0].size(), static_cast<size_t>(MAX_PATH));
        EXPECT_TRUE(c.pathAsItIs ? FromAnsi(paths[0]) == library
                                 : fs::equivalent(FromAnsi(paths[0]), library))
            << paths[0];
    }
}

TEST_F(ProgramRun, ComponentCannotBeMadeCreatable_OneCriticalMessageAndNoDialog) {
    // The program runs in the bin folder, which holds the setup toolkit: were
    // the working folder searched for it, the library would be registered.
    ASSERT_TRUE(fs::exists(L"vb6stkit.dll")) << "the tests must run in the bin folder";
    const std::pair<const char*, std::vector<fs::path>> cases[] = {
        {"add-in library missing", {L"vb6stkit.dll"}},
        {"setup toolkit missing beside the program", {L"Quillane.dll"}},
        {"setup toolkit without its entry point", {L"Quillane.dll", L"noentry/vb6stkit.dll"}},
    };
    for (const auto& [name, files] : cases) {
        SCOPED_TRACE(name);
        Program program(Install({}, files));
        ExpectMessageThenEnd(program,
                             L"Could not reference Quillane Add-In. Try registering Quillane.dll first",
                             16, nullptr);
    }
}

// --- The dialog as the user sees it -----------------------------------------

struct ExpectedControl {
    int id;
    const wchar_t* caption;
    int left, top, width, height;  // twips
    LONG type;                     // BS_* or SS_* type bits
};

const ExpectedControl kExpectedControls[] = {
    {kCancelId, L"Cancel", 1860, 840, 1035, 375, BS_PUSHBUTTON},
    {IDOK, L"OK", 660, 840, 1035, 375, BS_DEFPUSHBUTTON},
    {kLabel1Id, L"Quillane Add-In Configuration", 60, 60, 3435, 255, SS_CENTER},
    {kLabel2Id, L"Click OK to register the Quillane Add-In.", 60, 360, 3435, 375, SS_CENTER},
};

// Checks the window, its client area and every control at `dpi`.
void ExpectLayout(HWND dialog, int dpi) {
    auto pixels = [dpi](int twips) -> LONG { return MulDiv(twips, dpi, 1440); };
    EXPECT_EQ(WindowText(dialog), L"Quillane Configuration");
    // Fixed border, title bar, system menu and close box; no minimize or maximize.
    const LONG frame =
        WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_POPUP;
    EXPECT_EQ(GetWindowLongW(dialog, GWL_STYLE) & frame, WS_CAPTION | WS_SYSMENU);
    RECT rect;
    GetClientRect(dialog, &rect);
    EXPECT_EQ(std::pair(rect.right, rect.bottom), std::pair(pixels(3555), pixels(1305)));
    for (const ExpectedControl& expected : kExpectedControls) {
        SCOPED_TRACE(expected.id);
        HWND control = GetDlgItem(dialog, expected.id);
        EXPECT_EQ(WindowText(control), expected.caption);
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(std::tuple(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top),
                  std::tuple(pixels(expected.left), pixels(expected.top), pixels(expected.width),
                             pixels(expected.height)));
        EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & 0xF, expected.type);
    }
}

// The pixels of a window on screen that pass `wanted`, and the columns they span.
struct Ink {
    int count = 0;
    int left = INT_MAX;   // blank columns left of the first such pixel
    int right = INT_MAX;  // and right of the last
};

Ink InkIn(HWND window, const std::function<bool(COLORREF)>& wanted) {
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const std::vector<COLORREF> pixels = CaptureScreen(rect);
    Ink ink;
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (!wanted(pixels[i])) continue;
        ++ink.count;
        ink.left = std::min(ink.left, static_cast<int>(i) % width);
        ink.right = std::min(ink.right, width - 1 - static_cast<int>(i) % width);
    }
    return ink;
}

class ProgramRunAtDpi : public ProgramRun, public ::testing::WithParamInterface<int> {};

TEST_P(ProgramRunAtDpi, DialogLayoutColoursAndCentredText) {
    SetLogPixels(static_cast<DWORD>(GetParam()));
    auto program = StartToDialog();
    ASSERT_NE(dialog_, nullptr);
    ExpectLayout(dialog_, GetParam());

    // Label1 is dark blue; Label2 is in the system's text colour, black, which
    // antialiasing draws in greys; the title bar shows the program's navy icon.
    HWND label1 = GetDlgItem(dialog_, kLabel1Id);
    HWND label2 = GetDlgItem(dialog_, kLabel2Id);
    auto is = [](COLORREF colour) { return [colour](COLORREF pixel) { return pixel == colour; }; };
    auto ink = [](COLORREF pixel) { return pixel != GetSysColor(COLOR_BTNFACE); };
    auto hue = [](COLORREF pixel) {
        return GetRValue(pixel) != GetBValue(pixel) || GetGValue(pixel) != GetBValue(pixel);
    };
    EXPECT_TRUE(WaitUntil(
        [&] { return InkIn(label1, is(RGB(0, 0, 192))).count > 50 && InkIn(label2, ink).count > 50; }));
    EXPECT_EQ(InkIn(label2, hue).count, 0) << "Label2's text is not black";
    EXPECT_GT(InkIn(dialog_, is(RGB(0, 0, 127))).count, 10) << "no navy icon";

    for (HWND label : {label1, label2}) {
        const Ink text = InkIn(label, ink);
        EXPECT_LE(std::abs(text.left - text.right), 4)
            << "text of label " << GetDlgCtrlID(label) << " is drawn " << text.left
            << " px from its left edge and " << text.right
            << " px from its right: not centred within 2 px";
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, ProgramRunAtDpi, ::testing::Values(96, 144));

// --- Keyboard, buttons and the close box ------------------------------------

TEST_F(ProgramRun, EveryWayOut_EndsAsDesigned) {
    struct Case {
        const char* name;
        std::vector<UINT> keys;  // pressed in turn; each Tab moves the focus to the other button
        UINT message = 0;        // then posted, to the control `target` or to the dialog
        WPARAM wParam = 0;
        int target = 0;
        int kind = 0;  // of the message shown, 0 for none
        bool listUnwritable = false;
    };
    const Case cases[] = {
        {"Esc presses nothing; Tab, Enter", {VK_ESCAPE, VK_TAB, VK_TAB, VK_TAB, VK_RETURN}},
        {"Cancel clicked", {}, BM_CLICK, 0, kCancelId},
        {"close box", {}, WM_SYSCOMMAND, SC_CLOSE},
        {"Enter on OK", {VK_RETURN}, 0, 0, 0, 64},
        {"OK clicked", {}, BM_CLICK, 0, IDOK, 64},
        // A folder where the file should be makes the profile write fail.
        {"OK clicked, list unwritable", {}, BM_CLICK, 0, IDOK, 16, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(AddInListPath());
        if (c.listUnwritable) fs::create_directory(AddInListPath());
        auto program = StartToDialog();
        ASSERT_NE(dialog_, nullptr);
        HWND ok = GetDlgItem(dialog_, IDOK);
        HWND focus = ok;
        EXPECT_TRUE(WaitUntil([&] { return program->FocusedControl() == focus; }));
        for (UINT key : c.keys) {
            program->PressKey(key);
            if (key == VK_TAB) focus = focus == ok ? GetDlgItem(dialog_, kCancelId) : ok;
            EXPECT_TRUE(
                WaitUntil([&] { return program->FocusedControl() == focus || key == VK_RETURN; }));
        }
        if (c.message)
            PostMessageW(c.target ? GetDlgItem(dialog_, c.target) : dialog_, c.message, c.wParam, 0);

        if (c.kind == 0) {
            // Nothing is shown: a message box would hold the program up.
            EXPECT_EQ(program->WaitForExit(), std::optional<DWORD>(0));
        } else {
            ExpectMessageThenEnd(*program,
                                 c.kind == 64 ? L"Quillane Add-In successfully registered"
                                              : L"Failed to register Quillane Add-In",
                                 c.kind, dialog_);
        }
        wchar_t value[8] = {};
        GetPrivateProfileStringW(L"Add-Ins32", L"Quillane.Connect", L"", value, 8,
                                 AddInListPath().c_str());
        EXPECT_STREQ(value, c.kind == 64 ? L"1" : L"");
    }
}

}  // namespace
}  // namespace quillane
