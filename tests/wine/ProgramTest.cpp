// The whole program, driven from outside as a user would drive it, with the
// stand-in add-in library and setup toolkit beside it: under Wine, and on a
// real Windows from the test kit. What differs is done as each does it, or
// skipped with the reason: Wine's own settings are taken only under Wine, and
// what only a real Windows can answer is asked only there.

#include "app/ConfigDialog.h"
#include "platform/WindowsLibraries.h"
#include "tests/wine/WineTestSupport.h"

#include <oleacc.h>
#include <softpub.h>
#include <wintrust.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace quillane {
namespace {

using namespace wine;

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override {
        Reset();
        EXPECT_EQ(colours_.PutBack(), std::vector<int>{}) << "colours not put back";
    }
    static void Reset() {
        UnregisterAddInClass();
        fs::remove_all(AddInListPath());
        if (OnWine()) SetLogPixels(96);
    }

    // The display resolution that Wine gives programs started from now on, a
    // setting of Wine's: Windows reads it only when the user signs in.
    static void SetLogPixels(DWORD dpi) {
        SetRegistryValue(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, 4);
    }

    // Puts the program and `files` of the bin folder in `folder`, or in a new one.
    std::wstring Install(fs::path folder = {},
                         std::vector<fs::path> files = {L"Quillane.dll", L"vb6stkit.dll"}) {
        if (folder.empty()) folder = scratch_.path / std::to_wstring(++installs_);
        fs::create_directories(folder);
        files.push_back(L"QuillaneConfig.exe");
        for (const fs::path& file : files)
            fs::copy_file(BinFolder() / file, folder / file.filename(),
                          fs::copy_options::overwrite_existing);
        return folder / L"QuillaneConfig.exe";
    }

    // The program shows `text` in a message box of `kind` owned by `owner`, the
    // one window it shows; it runs until the box is dismissed, then ends with
    // status 0.
    static void ExpectMessageThenEnd(Program& program, const std::wstring& text, int kind, HWND owner) {
        HWND box = program.WaitForMessageBox();
        ASSERT_NE(box, nullptr) << "no message box: " << program.State();
        const MessageBoxView view = ReadMessageBox(box);
        EXPECT_EQ(view.title, L"Quillane Add-In Configuration");
        EXPECT_EQ(view.text, text);
        EXPECT_EQ(view.iconKind, kind);
        EXPECT_EQ(view.owner, owner);
        EXPECT_EQ(view.buttons, std::vector<int>{IDOK}) << "OK must be the only button";
        if (!owner) {
            EXPECT_FALSE(IsWindowVisible(FindWindowW(L"#32770", driver::kDialogCaption)))
                << "dialog shown";
        }
        EXPECT_FALSE(program.WaitForExit(0ms)) << "ended before the message was dismissed";
        PressMessageBoxOk(box);
        EXPECT_EQ(program.WaitForExit(), std::optional<DWORD>(0)) << program.State();
    }

    // The program's outcome for a library in `folder`: its path handed to the
    // toolkit as it is, or a shorter form naming the same file, or its one
    // critical message instead of the dialog.
    enum Outcome { kAsItIs, kShorter, kMessage };
    // The program runs from `folder`, with `files` beside it, and ends as `outcome` says.
    void RunFrom(const fs::path& folder, const std::vector<fs::path>& files, Outcome outcome) {
        UnregisterAddInClass();
        log_.Take();
        // The command line is ignored, whatever it says.
        Program program(Install(folder, files), L"/u /s extra arguments");
        if (outcome == kMessage) {
            ExpectMessageThenEnd(
                program, L"Could not reference Quillane Add-In. Try registering Quillane.dll first", 16,
                nullptr);
            return;
        }
        EXPECT_NE(program.WaitForDialog(), nullptr) << "the dialog was not shown: " << program.State();
        const std::vector<std::string> paths = log_.Take();
        ASSERT_EQ(paths.size(), 1u);
        const fs::path library = folder / L"Quillane.dll";
        EXPECT_LT(paths[0].size(), static_cast<size_t>(MAX_PATH));
        // Letter for letter: path objects compare equal across a doubled separator.
        EXPECT_TRUE(outcome == kAsItIs ? FromAnsi(paths[0]).native() == library.native()
                                       : fs::equivalent(FromAnsi(paths[0]), library))
            << paths[0];
        // The look-alike leaves this trace once it is loaded.
        EXPECT_FALSE(fs::exists(folder / L"uxtheme.dll.loaded")) << "the planted uxtheme.dll was loaded";
    }

    SessionColours colours_;
    ScratchFolder scratch_{L"program"};
    SelfRegisterLog log_{scratch_.path};
    int installs_ = 0;
};

// --- Before the dialog: the component check ---------------------------------

TEST_F(ProgramRun, ComponentCheck_FromEveryKindOfFolder) {
    // The program runs in the bin folder, which holds the setup toolkit: were
    // the working folder searched for it, the library would be registered.
    ASSERT_TRUE(fs::exists(L"vb6stkit.dll")) << "the tests must run in the bin folder";
    // Wine takes a uxtheme.dll found beside a program, as Windows always
    // would, only when told to prefer a native one. The toolkit is found
    // beside the program all the same: there is none in the system folder.
    const wchar_t* const overrides = L"Software\\Wine\\AppDefaults\\QuillaneConfig.exe\\DllOverrides";
    if (OnWine()) SetRegistryString(HKEY_CURRENT_USER, overrides, L"uxtheme", L"native,builtin");
    ASSERT_FALSE(fs::exists(SystemLibraryPath(L"vb6stkit.dll").c_str()));
    const std::vector<fs::path> both = {L"Quillane.dll", L"vb6stkit.dll"};
    // A folder named outside the Western code page: where this Windows' ANSI
    // code page holds it, the path goes as it is; else its short form, where
    // the volume keeps short names; else the program cannot name the library
    // to the toolkit and says so.
    const fs::path foreign = scratch_.path / L"\u03A9mega \u4E2D\u6587";
    fs::create_directories(foreign);
    wchar_t shortForm[MAX_PATH] = {};
    const DWORD shortLength = GetShortPathNameW(foreign.c_str(), shortForm, MAX_PATH);
    const Outcome foreignOutcome =
        AnsiCodePageHolds(foreign.native())                                     ? kAsItIs
        : shortLength && shortLength < MAX_PATH && AnsiCodePageHolds(shortForm) ? kShorter
                                                                                : kMessage;
    // Where the program runs and what lies beside it, and how it ends.
    const std::tuple<fs::path, std::vector<fs::path>, Outcome> cases[] = {
        {scratch_.path / L"Quillane Tools",
         {L"Quillane.dll", L"vb6stkit.dll", L"planted/uxtheme.dll"},
         kAsItIs},
        {foreign, both, foreignOutcome},
        {scratch_.path / L"add-in library missing", {L"vb6stkit.dll"}, kMessage},
        {scratch_.path / L"setup toolkit missing", {L"Quillane.dll"}, kMessage},
        {scratch_.path / L"setup toolkit without its entry point",
         {L"Quillane.dll", L"noentry/vb6stkit.dll"},
         kMessage},
    };
    for (const auto& [folder, files, outcome] : cases) {
        SCOPED_TRACE(ToUtf8(folder));
        RunFrom(folder, files, outcome);
    }
    if (OnWine()) DeleteRegistryValue(HKEY_CURRENT_USER, overrides, L"uxtheme");
}

TEST_F(ProgramRun, ComponentCheck_FromADrivesRoot) {
    // Its folder ends in "\", which the library's path must not double.
    const wchar_t* spareDrive = _wgetenv(L"QUILLANE_TEST_SPARE_DRIVE");
    if (!spareDrive)
        GTEST_SKIP() << "no drive was mapped for it (QUILLANE_TEST_SPARE_DRIVE): the test command maps "
                        "one under Wine, and the kit one on Windows, but Wine cannot run a program from "
                        "a drive that a program maps";
    RunFrom(std::wstring(spareDrive) + L"\\", {L"Quillane.dll", L"vb6stkit.dll"}, kAsItIs);
}

TEST_F(ProgramRun, ComponentCheck_FromAFolderPastMaxPath) {
    // Its folder has no short form to hand the toolkit that is past MAX_PATH.
    if (!OnWine())
        GTEST_SKIP() << "Windows starts no program from a folder past MAX_PATH (260 characters); only "
                        "Wine's loader does, which is where this runs";
    fs::path deep = scratch_.path / L"deep";
    while (deep.native().size() < 304) deep /= L"a-rather-long-folder-name";
    RunFrom(deep, {L"Quillane.dll", L"vb6stkit.dll"}, kShorter);
}

// --- The dialog as the user sees it -----------------------------------------

// How many pixels of a window on screen pass `wanted`.
int PixelsIn(HWND window, const std::function<bool(COLORREF)>& wanted) {
    RECT rect;
    GetWindowRect(window, &rect);
    const std::vector<COLORREF> pixels = CaptureScreen(rect);
    return static_cast<int>(std::count_if(pixels.begin(), pixels.end(), wanted));
}
auto Is(COLORREF colour) {
    return [colour](COLORREF pixel) { return pixel == colour; };
}
// Not a grey: black or white text antialiased is drawn in greys.
bool Hued(COLORREF pixel) {
    return GetRValue(pixel) != GetBValue(pixel) || GetGValue(pixel) != GetBValue(pixel);
}

// The resolution the display has now.
int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// At 96 and 144 dpi, and at the display's own (0) where that is another.
class ProgramRunAtDpi : public ProgramRun, public ::testing::WithParamInterface<int> {};

TEST_P(ProgramRunAtDpi, DialogLayoutAndColours) {
    int dpi = GetParam();
    if (OnWine()) {
        if (dpi == 0)
            GTEST_SKIP() << "under Wine the resolution is set for the test: 96 and 144 dpi are tested";
        SetLogPixels(static_cast<DWORD>(dpi));
    } else if (dpi == 0) {
        dpi = ScreenDpi();
        if (dpi == 96 || dpi == 144) GTEST_SKIP() << "the display's " << dpi << " dpi is tested as such";
    } else if (dpi != ScreenDpi()) {
        GTEST_SKIP() << "the display is at " << ScreenDpi()
                     << " dpi, and Windows changes that only when "
                     << "the user signs in: to test at " << dpi << " dpi, set the display's scaling to "
                     << dpi * 100 / 96
                     << " % (on Windows XP, its DPI setting), sign out and in, and run the "
                     << "kit again";
    }
    // The default scheme's face and text, whatever scheme the user chose:
    // Label1 keeps its blue there.
    colours_.Set(COLOR_BTNFACE, RGB(240, 240, 240));
    colours_.Set(COLOR_BTNTEXT, RGB(0, 0, 0));
    Program program(Install());
    HWND dialog = program.WaitForDialog();
    ASSERT_NE(dialog, nullptr) << program.State();

    // Found by its caption: a fixed border, title bar, system menu and close box; no minimize or
    // maximize; the client area and each control where the layout puts them
    // at this resolution.
    // Where the window system puts any new window: not centred. Under Wine on
    // a display with no window manager that is where it puts one made here;
    // Windows moves each new one on from the last.
    RECT rect, expected;
    GetWindowRect(dialog, &rect);
    if (OnWine()) {
        HWND anyWindow = CreateWindowExW(0, L"STATIC", L"", WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT, 99,
                                         99, nullptr, nullptr, nullptr, nullptr);
        GetWindowRect(anyWindow, &expected);
        DestroyWindow(anyWindow);
        EXPECT_EQ(std::pair(rect.left, rect.top), std::pair(expected.left, expected.top));
    } else {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
        const RECT& work = monitor.rcWork;
        EXPECT_NE(std::pair(rect.left, rect.top),
                  std::pair((work.left + work.right - (rect.right - rect.left)) / 2,
                            (work.top + work.bottom - (rect.bottom - rect.top)) / 2))
            << "the dialog is centred";
    }
    const LONG frame =
        WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_POPUP;
    EXPECT_EQ(GetWindowLongW(dialog, GWL_STYLE) & frame, WS_CAPTION | WS_SYSMENU);
    GetClientRect(dialog, &rect);
    const PixelRect client = ClientArea(dpi, dpi);
    EXPECT_EQ(std::pair(rect.right, rect.bottom), std::pair(LONG{client.width}, LONG{client.height}));
    // The layout's rows in turn: Cancel, OK, Label1, Label2.
    const std::tuple<int, const wchar_t*, LONG> controls[] = {
        {kCancelId, L"Cancel", BS_PUSHBUTTON},
        {IDOK, L"OK", BS_DEFPUSHBUTTON},
        {kLabel1Id, L"Quillane Add-In Configuration", SS_CENTER},
        {kLabel2Id, L"Click OK to register the Quillane Add-In.", SS_CENTER},
    };
    ASSERT_EQ(std::size(kControls), std::size(controls)) << "the layout has other rows than these";
    for (std::size_t i = 0; i < std::size(controls); ++i) {
        const auto& [id, caption, type] = controls[i];
        const ControlRow& row = kControls[i];
        ASSERT_EQ(row.id, id) << "row " << i << ": the layout's rows are not in the designed order";
        HWND control = GetDlgItem(dialog, id);
        EXPECT_EQ(WindowText(control), caption);
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        const PixelRect area = ControlArea(row, dpi, dpi);
        EXPECT_EQ(std::tuple(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top),
                  std::tuple(area.left, area.top, area.width, area.height))
            << "control " << id << " (left, top, width, height)";
        EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & 0xF, type) << "control " << id;
    }

    // The dialog manager moves the focus in z-order: the controls stand in tab
    // order, OK first.
    std::vector<int> zOrder;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        zOrder.push_back(GetDlgCtrlID(child));
    EXPECT_EQ(zOrder, (std::vector<int>{IDOK, kCancelId, kLabel2Id, kLabel1Id}));

    // Label1 is dark blue; Label2 is in the system's text colour, black, which
    // antialiasing draws in greys; the title bar shows the program's navy icon.
    BringToTop(dialog);
    HWND label1 = GetDlgItem(dialog, kLabel1Id), label2 = GetDlgItem(dialog, kLabel2Id);
    auto ink = [](COLORREF pixel) { return pixel != GetSysColor(COLOR_BTNFACE); };
    EXPECT_TRUE(WaitUntil([&] { return PixelsIn(label1, Is(RGB(0, 0, 192))) > 50; }))
        << "Label1 not blue";
    EXPECT_TRUE(WaitUntil([&] { return PixelsIn(label2, ink) > 50; })) << "Label2 has no text";
    EXPECT_EQ(PixelsIn(label2, Hued), 0) << "Label2's text is not black";
    EXPECT_GT(PixelsIn(dialog, Is(RGB(0, 0, 127))), 10) << "no navy icon";
}

INSTANTIATE_TEST_SUITE_P(Dpi, ProgramRunAtDpi, ::testing::Values(96, 144, 0),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param ? std::to_string(info.param) : std::string("TheDisplays");
                         });

TEST_F(ProgramRun, HighContrastBlack_BothLabelsStandOutFromTheBackground) {
    // Windows' "High Contrast Black": faces black, their text white; here the
    // windows' text yellow, to tell it from the buttons', which the labels
    // take. Programs started from now on take it from the session.
    colours_.Set(COLOR_BTNFACE, RGB(0, 0, 0));
    colours_.Set(COLOR_BTNTEXT, RGB(255, 255, 255));
    colours_.Set(COLOR_WINDOWTEXT, RGB(255, 255, 0));
    Program program(Install());
    HWND dialog = program.WaitForDialog();
    ASSERT_NE(dialog, nullptr) << program.State();
    BringToTop(dialog);
    // On the black face, white text, which antialiasing draws in greys: the
    // buttons' text colour, not the windows' yellow.
    for (int id : {kLabel1Id, kLabel2Id}) {
        HWND label = GetDlgItem(dialog, id);
        EXPECT_TRUE(WaitUntil([&] { return PixelsIn(label, Is(RGB(0, 0, 0))) > 0; }))
            << "label " << id << ": not on black";
        EXPECT_TRUE(WaitUntil([&] { return PixelsIn(label, Is(RGB(255, 255, 255))) > 10; }))
            << "label " << id << ": no white text";
        EXPECT_EQ(PixelsIn(label, Hued), 0) << "label " << id << ": not in the buttons' text colour";
    }
}

// --- Keyboard, buttons and the close box ------------------------------------

// What the user does besides pressing keys, each a step of its own.
enum Step : UINT { kAwayAndBack = 0x100, kClickOk, kClickCancel, kCloseBox };

// Makes `window` the active one, as a user's click would. Windows lets a
// process do that only while it shares the input of the one in front, which
// this one joins for the moment.
void Activate(HWND window) {
    const DWORD front = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    const bool joined =
        front && front != GetCurrentThreadId() && AttachThreadInput(GetCurrentThreadId(), front, TRUE);
    SetForegroundWindow(window);
    if (joined) AttachThreadInput(GetCurrentThreadId(), front, FALSE);
}

// Makes sure the dialog is active, then makes a window of this process the
// active one, then the dialog again, as a user switching to another program
// and back would. Each switch is asked for until it holds: the program's own
// activation may still be under way. Activation waits on both threads'
// messages, so this one handles its own meanwhile. The window stays:
// destroying it would activate another in the dialog's place.
void SwitchAwayAndBack(HWND dialog) {
    static HWND elsewhere = CreateWindowExW(0, L"STATIC", L"elsewhere", WS_POPUP | WS_VISIBLE, 0, 0, 50,
                                            50, nullptr, nullptr, nullptr, nullptr);
    for (HWND window : {dialog, elsewhere, dialog}) {
        EXPECT_TRUE(WaitUntil([&] {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            if (GetForegroundWindow() != window) Activate(window);
            return GetForegroundWindow() == window;
        })) << "window "
            << window << " did not become active";
    }
}

TEST_F(ProgramRun, EveryWayOut_EndsAsDesigned) {
    // The add-in list before: none; one that holds the entry at 0 among other
    // entries and sections; or a folder in its place, where the write fails.
    enum List { kNone, kEntryAt0, kUnwritable };
    // The steps, each Tab moving the focus to the other button; the kind of
    // message shown at the end, 0 for none; and the list before.
    const std::tuple<const char*, std::vector<UINT>, int, List> cases[] = {
        {"Esc presses nothing; Tab, away and back, Enter on Cancel",
         {VK_ESCAPE, VK_TAB, VK_TAB, VK_TAB, kAwayAndBack, VK_RETURN},
         0,
         kNone},
        {"Cancel clicked", {kClickCancel}, 0, kEntryAt0},
        {"close box", {kCloseBox}, 0, kNone},
        {"away and back, Enter on OK", {kAwayAndBack, VK_RETURN}, 64, kNone},
        {"OK clicked, the entry at 0", {kClickOk}, 64, kEntryAt0},
        {"OK clicked, list unwritable", {kClickOk}, 16, kUnwritable},
    };
    const auto read = [](const wchar_t* section, const wchar_t* key) {
        wchar_t value[8] = {};
        GetPrivateProfileStringW(section, key, L"", value, 8, AddInListPath().c_str());
        return std::wstring(value);
    };
    for (const auto& [name, steps, kind, list] : cases) {
        SCOPED_TRACE(name);
        fs::remove_all(AddInListPath());
        if (list == kUnwritable) fs::create_directory(AddInListPath());
        if (list == kEntryAt0)
            std::ofstream(AddInListPath(), std::ios::binary)
                << "[Add-Ins32]\r\nOther.Connect=1\r\nQuillane.Connect=0\r\n[Other]\r\nKey=2\r\n";
        Program program(Install());
        HWND dialog = program.WaitForDialog();
        ASSERT_NE(dialog, nullptr) << program.State();
        HWND ok = GetDlgItem(dialog, IDOK), cancel = GetDlgItem(dialog, kCancelId), focus = ok;
        EXPECT_TRUE(WaitUntil([&] { return program.FocusedControl() == focus; }));
        for (UINT step : steps) {
            if (step == kAwayAndBack) SwitchAwayAndBack(dialog);
            if (step == kClickOk || step == kClickCancel)
                PostMessageW(step == kClickOk ? ok : cancel, BM_CLICK, 0, 0);
            if (step == kCloseBox) PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            if (step < kAwayAndBack) program.PressKey(step);
            if (step == VK_TAB) focus = focus == ok ? cancel : ok;
            // Enter and the clicks end the dialog; every other step leaves the focus where it is.
            const bool ends = step == VK_RETURN || step >= kClickOk;
            EXPECT_TRUE(ends || WaitUntil([&] { return program.FocusedControl() == focus; }))
                << "focus on " << GetDlgCtrlID(program.FocusedControl()) << " after step " << step;
        }
        if (kind == 0) {
            // Nothing is shown: a message box would hold the program up.
            EXPECT_EQ(program.WaitForExit(), std::optional<DWORD>(0)) << program.State();
        } else {
            ExpectMessageThenEnd(program,
                                 kind == 64 ? L"Quillane Add-In successfully registered"
                                            : L"Failed to register Quillane Add-In",
                                 kind, dialog);
        }
        EXPECT_EQ(read(L"Add-Ins32", L"Quillane.Connect"), kind == 64          ? L"1"
                                                           : list == kEntryAt0 ? L"0"
                                                                               : L"");
        if (list == kEntryAt0) {
            EXPECT_EQ(read(L"Add-Ins32", L"Other.Connect"), L"1") << "another add-in's entry lost";
            EXPECT_EQ(read(L"Other", L"Key"), L"2") << "another section lost";
        }
    }
}

// --- What only a real Windows can answer ------------------------------------

TEST_F(ProgramRun, AssistiveTechnologyKnowsTheDialogAsADialog) {
    if (OnWine())
        GTEST_SKIP()
            << "Wine's oleacc answers ROLE_SYSTEM_CLIENT for every window: what a screen reader is "
               "told shows on a real Windows alone";
    Program program(Install());
    HWND dialog = program.WaitForDialog();
    ASSERT_NE(dialog, nullptr) << program.State();
    // What a screen reader asks, through oleacc, which every Windows has.
    HMODULE oleacc = LoadLibraryW(SystemLibraryPath(L"oleacc.dll").c_str());
    ASSERT_NE(oleacc, nullptr) << SystemError(GetLastError());
    using AccessibleObjectFunction = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
    const auto accessibleObjectFromWindow = reinterpret_cast<AccessibleObjectFunction>(
        reinterpret_cast<void*>(GetProcAddress(oleacc, "AccessibleObjectFromWindow")));
    ASSERT_NE(accessibleObjectFromWindow, nullptr);
    ComApartment apartment;
    IAccessible* accessible = nullptr;
    ASSERT_EQ(accessibleObjectFromWindow(dialog, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(&accessible)),
              S_OK);
    VARIANT self{}, role{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    EXPECT_EQ(accessible->get_accRole(self, &role), S_OK);
    accessible->Release();
    EXPECT_EQ(role.vt, VT_I4);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_DIALOG) << "the role a screen reader is told";
}

TEST_F(ProgramRun, HighContrastOn_Label1TakesTheSchemesTextColour) {
    if (OnWine())
        GTEST_SKIP()
            << "Wine cannot switch high contrast on, and reports it always off: the setting itself "
               "is tested on a real Windows alone (Label1's answer to it, in-process, everywhere)";
    const wchar_t* asked = _wgetenv(L"QUILLANE_KIT_HIGH_CONTRAST");
    if (!asked || std::wstring(asked) != L"1")
        GTEST_SKIP()
            << "high contrast is switched on only when asked for: run RUN-TESTS.cmd /highcontrast";
    // As the user left it, flags and scheme, to be put back in full.
    HIGHCONTRASTW before{};
    before.cbSize = sizeof(before);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(before), &before, 0));
    const std::wstring scheme = before.lpszDefaultScheme ? before.lpszDefaultScheme : L"";
    HIGHCONTRASTW on = before;
    on.dwFlags |= HCF_HIGHCONTRASTON;
    ASSERT_TRUE(SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof(on), &on, SPIF_SENDCHANGE))
        << SystemError(GetLastError());
    HIGHCONTRASTW now{};
    now.cbSize = sizeof(now);
    EXPECT_TRUE(SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(now), &now, 0) &&
                (now.dwFlags & HCF_HIGHCONTRASTON))
        << "Windows does not say that high contrast is on";
    {
        Program program(Install());
        HWND dialog = program.WaitForDialog();
        EXPECT_NE(dialog, nullptr) << program.State();
        if (dialog) {
            BringToTop(dialog);
            HWND label1 = GetDlgItem(dialog, kLabel1Id);
            const COLORREF text = GetSysColor(COLOR_BTNTEXT);
            EXPECT_TRUE(WaitUntil([&] {
                RECT rect;
                GetWindowRect(label1, &rect);
                const std::vector<COLORREF> pixels = CaptureScreen(rect);
                return std::count(pixels.begin(), pixels.end(), text) > 10;
            })) << "Label1 is not in the scheme's text colour";
            RECT rect;
            GetWindowRect(label1, &rect);
            const std::vector<COLORREF> pixels = CaptureScreen(rect);
            EXPECT_EQ(std::count(pixels.begin(), pixels.end(), RGB(0, 0, 192)), 0)
                << "Label1 kept its blue";
        }
    }
    std::wstring schemeBack = scheme;
    before.lpszDefaultScheme = schemeBack.empty() ? nullptr : schemeBack.data();
    EXPECT_TRUE(SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof(before), &before, SPIF_SENDCHANGE))
        << "high contrast not put back: " << SystemError(GetLastError());
}

TEST_F(ProgramRun, WindowsAcceptsTheProgramsSignature) {
    if (OnWine())
        GTEST_SKIP() << "Wine does not check Authenticode signatures: it accepts one from any authority";
    const fs::path program = BinFolder() / L"QuillaneConfig.exe";
    ASSERT_TRUE(fs::exists(program));
    // WinVerifyTrust, as Windows asks it of a program it is about to run,
    // without asking the user and without going online for revocation lists.
    HMODULE wintrust = LoadLibraryW(SystemLibraryPath(L"wintrust.dll").c_str());
    ASSERT_NE(wintrust, nullptr) << SystemError(GetLastError());
    using WinVerifyTrustFunction = LONG(WINAPI*)(HWND, GUID*, void*);
    const auto winVerifyTrust = reinterpret_cast<WinVerifyTrustFunction>(
        reinterpret_cast<void*>(GetProcAddress(wintrust, "WinVerifyTrust")));
    ASSERT_NE(winVerifyTrust, nullptr);
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = program.c_str();
    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG verdict = winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    if (verdict == TRUST_E_NOSIGNATURE)
        GTEST_SKIP() << "the release is not signed: Windows finds no signature in QuillaneConfig.exe";
    EXPECT_EQ(verdict, ERROR_SUCCESS)
        << "Windows rejects the program's signature: " << SystemError(static_cast<DWORD>(verdict));
}

}  // namespace
}  // namespace quillane
