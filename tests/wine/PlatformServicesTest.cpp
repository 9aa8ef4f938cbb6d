// The Windows platform services against the real system under Wine, with the
// stand-in add-in library and setup toolkit.

#include "platform/WindowsPlatformServices.h"
#include "registration/ComponentCheck.h"
#include "tests/wine/WineTestSupport.h"

#include <gtest/gtest.h>

namespace quillane {
namespace {

using namespace wine;

class AddInRegistration : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(apartment_.result()));
        UnregisterAddInClass();
        log_ = Join(scratch_.path(), L"selfregister.log");
        logEnvironment_ = std::make_unique<ScopedEnvironment>(L"VB6STKIT_STANDIN_LOG", log_);
    }
    void TearDown() override { UnregisterAddInClass(); }

    // Every path the setup toolkit was given, as received.
    std::vector<std::string> SelfRegisteredPaths() const { return ReadLines(log_); }

    InstanceRef ExpectCreatable() {
        InstanceRef instance;
        EXPECT_NO_THROW(instance = platform_.CreateInstance(kConnectClassId, kConnectInterfaceId));
        EXPECT_TRUE(instance);
        return instance;
    }

    void ExpectNotCreatable() {
        EXPECT_THROW(platform_.CreateInstance(kConnectClassId, kConnectInterfaceId), PlatformFailure);
    }

    ComApartment apartment_;
    WindowsPlatformServices platform_;
    ScratchFolder scratch_;
    std::wstring log_;
    std::unique_ptr<ScopedEnvironment> logEnvironment_;
};

TEST_F(AddInRegistration, ClassIsCreatableOnlyAfterSelfRegistration_AndReleaseFreesTheInstance) {
    try {
        platform_.CreateInstance(kConnectClassId, kConnectInterfaceId);
        FAIL() << "created before registration";
    } catch (const PlatformFailure& failure) {
        EXPECT_EQ(failure.code(), static_cast<std::uint32_t>(REGDB_E_CLASSNOTREG));
    }

    const std::wstring library = Join(BinFolder(), L"Quillane.dll");
    EXPECT_EQ(platform_.DLLSelfRegister(library), 0);
    EXPECT_EQ(SelfRegisteredPaths(), std::vector<std::string>{ToUtf8(library)});

    InstanceRef instance = ExpectCreatable();
    using CanUnloadFunction = HRESULT(WINAPI*)();
    const auto canUnload = reinterpret_cast<CanUnloadFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(library.c_str()), "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr) << "the library should be loaded while an instance lives";
    EXPECT_EQ(canUnload(), S_FALSE);
    platform_.ReleaseInstance(instance);
    EXPECT_FALSE(instance);
    EXPECT_EQ(canUnload(), S_OK) << "the instance outlived its release";
}

TEST_F(AddInRegistration, LibraryThatRefusesOrIsMissing_ReportsNonZero) {
    struct Case {
        const char* name;
        std::wstring mode;
        std::wstring library;
    };
    const Case cases[] = {
        {"refuses", L"refuse", Join(BinFolder(), L"Quillane.dll")},
        {"missing", L"", Join(scratch_.path(), L"Quillane.dll")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnvironment mode(L"QUILLANE_STANDIN_REGISTRATION", c.mode);
        EXPECT_NE(platform_.DLLSelfRegister(c.library), 0);
        ExpectNotCreatable();
    }
}

TEST_F(AddInRegistration, HollowRegistration_ReportsZeroButClassStaysUncreatable) {
    ScopedEnvironment mode(L"QUILLANE_STANDIN_REGISTRATION", L"hollow");
    EXPECT_EQ(platform_.DLLSelfRegister(Join(BinFolder(), L"Quillane.dll")), 0);
    ExpectNotCreatable();
}

TEST_F(AddInRegistration, PathNotFitForAnAnsiCall_IsPassedWithItsFolderInShortForm) {
    struct Case {
        const char* name;
        std::wstring folder;
    };
    const Case cases[] = {
        {"characters outside the ANSI code page", scratch_.Make(L"\u03A9mega B\u0101d \u4E2D")},
        {"MAX_PATH characters or more", MakeDeepFolder(scratch_.path(), MAX_PATH)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UnregisterAddInClass();
        DeleteFileW(log_.c_str());
        const std::wstring library = CopyInto(Join(BinFolder(), L"Quillane.dll"), c.folder);

        EXPECT_EQ(platform_.DLLSelfRegister(library), 0);
        const auto paths = SelfRegisteredPaths();
        ASSERT_EQ(paths.size(), 1u);
        EXPECT_LT(paths[0].size(), static_cast<size_t>(MAX_PATH)) << paths[0];
        EXPECT_EQ(paths[0].find('?'), std::string::npos) << paths[0];
        std::vector<wchar_t> longForm(32768);
        ASSERT_NE(GetLongPathNameW(FromAnsi(paths[0]).c_str(), longForm.data(), 32768), 0u)
            << "the path given does not name an existing file: " << paths[0];
        EXPECT_EQ(lstrcmpiW(longForm.data(), library.c_str()), 0) << ToUtf8(longForm.data());
        InstanceRef instance = ExpectCreatable();
        platform_.ReleaseInstance(instance);
    }
}

TEST_F(AddInRegistration, PathTooLongWithoutAShortForm_IsPassedAsItIs) {
    // A folder that is not there has no short form either.
    std::wstring library = scratch_.path();
    while (library.size() < MAX_PATH) library = Join(library, L"missing-folder");
    library = Join(library, L"Quillane.dll");
    EXPECT_NE(platform_.DLLSelfRegister(library), 0);
    EXPECT_EQ(SelfRegisteredPaths(), std::vector<std::string>{ToUtf8(library)});
}

TEST_F(AddInRegistration, PathWithNoExactAnsiForm_FailsWithoutCallingTheToolkit) {
    // No short form exists for a folder that is not there, and a best-fit
    // conversion ("Bad", "?") could name another file.
    const std::wstring library = Join(scratch_.path(), L"B\u0101d\\Quillane.dll");
    EXPECT_THROW(platform_.DLLSelfRegister(library), PlatformFailure);
    EXPECT_TRUE(SelfRegisteredPaths().empty());
}

TEST_F(AddInRegistration, SetupToolkitIsFoundOnlyBesideTheProgram) {
    const std::wstring library = Join(BinFolder(), L"Quillane.dll");
    struct Case {
        const char* name;
        std::wstring toolkitBesideProgram;  // which build of the toolkit, if any
        bool toolkitInWorkingFolder;
        const char* expected;
    };
    const Case cases[] = {
        {"beside the program", L"vb6stkit.dll", false, "result 0\n"},
        {"missing", L"", false, "failure 126\n"},
        {"without its entry point", L"noentry\\vb6stkit.dll", false, "failure 127\n"},
        {"only in the working folder", L"", true, "failure 126\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UnregisterAddInClass();
        ScratchFolder programFolder(L"program");
        ScratchFolder workingFolder(L"cwd");
        const std::wstring probe = CopyInto(Join(BinFolder(), L"platform_probe.exe"), programFolder.path());
        if (!c.toolkitBesideProgram.empty())
            CopyInto(Join(BinFolder(), c.toolkitBesideProgram), programFolder.path());
        if (c.toolkitInWorkingFolder) CopyInto(Join(BinFolder(), L"vb6stkit.dll"), workingFolder.path());

        const ProcessResult run = RunAndWait(probe, L"selfregister " + Quoted(library), workingFolder.path());
        EXPECT_EQ(run.output, c.expected);
        EXPECT_EQ(AddInClassIsRegistered(), std::string(c.expected) == "result 0\n");
    }
}

// --- The program's folder ---------------------------------------------------

std::wstring FolderSeenBy(const std::wstring& programFolder) {
    const std::wstring probe = CopyInto(Join(BinFolder(), L"platform_probe.exe"), programFolder);
    const ProcessResult run = RunAndWait(probe, L"folder");
    const std::string prefix = "folder ";
    if (run.output.rfind(prefix, 0) != 0 || run.output.back() != '\n') return L"<" + FromUtf8(run.output) + L">";
    return FromUtf8(run.output.substr(prefix.size(), run.output.size() - prefix.size() - 1));
}

TEST(AppFolder, IsTheProgramsRealFolder) {
    ScratchFolder scratch(L"folders");
    const std::wstring ordinary = scratch.Make(L"Tools");
    const std::wstring nonAnsi = scratch.Make(L"\u03A9mega \u4E2D\u6587");
    EXPECT_EQ(FolderSeenBy(ordinary), ordinary);
    EXPECT_EQ(FolderSeenBy(nonAnsi), nonAnsi);
    // A folder deeper than MAX_PATH is checked by deep_folder_test.sh: Wine 8
    // starts the wrong image when a Windows process creates one from there.
}

TEST(AppFolder, AtADriveRoot_KeepsItsSeparator) {
    // The test script maps a spare drive letter to an empty folder of its own.
    wchar_t drive[8] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"QUILLANE_TEST_SPARE_DRIVE", drive, ARRAYSIZE(drive)), 0u)
        << "QUILLANE_TEST_SPARE_DRIVE must name a drive mapped for this test, e.g. Q:";
    const std::wstring root = std::wstring(drive) + L"\\";
    EXPECT_EQ(FolderSeenBy(root), root);
    DeleteFileW(Join(root, L"platform_probe.exe").c_str());
}

}  // namespace
}  // namespace quillane
