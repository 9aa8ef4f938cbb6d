#include "registration/ComponentCheck.h"

#include "FakePlatformServices.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillane {
namespace {

using testing::FakePlatformServices;
using Ops = std::vector<std::string>;

DialogHandle const kDialog = reinterpret_cast<DialogHandle>(0x1234);
const std::wstring kTitle = L"Quillane Add-In Configuration";

void ExpectOneFailureMessageThenClose(const FakePlatformServices& fake) {
    const auto messages = fake.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              L"Could not reference Quillane Add-In. Try registering Quillane.dll first");
    EXPECT_EQ(messages[0].kind, MessageKind::Critical);
    EXPECT_EQ(messages[0].title, kTitle);
    const Ops ops = fake.Operations();
    ASSERT_GE(ops.size(), 3u);
    EXPECT_EQ(Ops(ops.end() - 3, ops.end()), (Ops{"GetProductName", "ShowMessage", "CloseDialog"}));
    EXPECT_EQ(fake.closedDialog, kDialog);
}

void ExpectPassedSilently(const FakePlatformServices& fake) {
    EXPECT_TRUE(fake.Messages().empty());
    EXPECT_EQ(fake.closedDialog, nullptr);
    EXPECT_EQ(fake.liveInstances, 0) << "the probe must not outlive the check";
}

// --- The three ends --------------------------------------------------------

TEST(ComponentCheckEnds, AlreadyRegistered_ReleasesProbeAndShowsDialogWithoutSelfRegistering) {
    FakePlatformServices fake;
    fake.creations = {true};
    RunComponentCheck(fake, kDialog);
    EXPECT_EQ(fake.Operations(), (Ops{"CreateInstance", "ReleaseInstance"}));
    ExpectPassedSilently(fake);
    EXPECT_EQ(*fake.lastClassId, kConnectClassId);
    EXPECT_EQ(*fake.lastInterfaceId, kConnectInterfaceId);
}

TEST(ComponentCheckEnds, NotRegisteredAndSelfRegistrationWorks_PassesWithoutMessage) {
    FakePlatformServices fake;
    fake.creations = {false, true};
    RunComponentCheck(fake, kDialog);
    EXPECT_EQ(fake.Operations(), (Ops{"CreateInstance", "GetAppFolder", "DLLSelfRegister",
                                      "CreateInstance", "ReleaseInstance"}));
    EXPECT_EQ(fake.calls[2].text, L"C:\\Tools\\Quillane.dll");
    ExpectPassedSilently(fake);
}

TEST(ComponentCheckEnds, SelfRegistrationRefuses_ShowsFailureAndClosesWithoutSecondProbe) {
    for (std::int16_t refusal : {std::int16_t{1}, std::int16_t{-1}, std::int16_t{32767}}) {
        SCOPED_TRACE(refusal);
        FakePlatformServices fake;
        fake.creations = {false, true};
        fake.selfRegisterResult = refusal;
        RunComponentCheck(fake, kDialog);
        EXPECT_EQ(fake.Operations(), (Ops{"CreateInstance", "GetAppFolder", "DLLSelfRegister",
                                          "GetProductName", "ShowMessage", "CloseDialog"}));
        ExpectOneFailureMessageThenClose(fake);
    }
}

TEST(ComponentCheckEnds, RegisteredButStillNotCreatable_ShowsFailureAndCloses) {
    FakePlatformServices fake;
    fake.creations = {false, false};
    RunComponentCheck(fake, kDialog);
    EXPECT_EQ(fake.Operations(),
              (Ops{"CreateInstance", "GetAppFolder", "DLLSelfRegister", "CreateInstance",
                   "GetProductName", "ShowMessage", "CloseDialog"}));
    ExpectOneFailureMessageThenClose(fake);
    EXPECT_EQ(fake.liveInstances, 0);
}

// --- The failure rule, action by action ------------------------------------

TEST(ComponentCheckFailureRule, NoAppFolder_NeverSelfRegistersAndSecondProbeDecides) {
    // A failing folder lookup, or an empty folder, would make the path
    // "\Quillane.dll" on the current drive: that library is never registered.
    struct Case {
        const char* name;
        std::optional<std::wstring> folder;
        bool secondProbeWorks;
    };
    const Case cases[] = {{"lookup fails, probe works", std::nullopt, true},
                          {"lookup fails, probe fails", std::nullopt, false},
                          {"empty folder, probe works", std::wstring(), true},
                          {"empty folder, probe fails", std::wstring(), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatformServices fake;
        fake.creations = {false, c.secondProbeWorks};
        fake.appFolder = c.folder;
        RunComponentCheck(fake, kDialog);
        const Ops ops = fake.Operations();
        EXPECT_EQ(std::count(ops.begin(), ops.end(), "DLLSelfRegister"), 0);
        EXPECT_EQ(std::count(ops.begin(), ops.end(), "CreateInstance"), 2);
        if (c.secondProbeWorks)
            ExpectPassedSilently(fake);
        else
            ExpectOneFailureMessageThenClose(fake);
    }
}

TEST(ComponentCheckFailureRule, SelfRegistrationCannotBeCalled_SecondProbeDecides) {
    // For instance the setup toolkit or its entry point is missing: the result
    // stays 0 and the failed call is forgotten before the second probe.
    for (bool secondProbeWorks : {true, false}) {
        SCOPED_TRACE(secondProbeWorks);
        FakePlatformServices fake;
        fake.creations = {false, secondProbeWorks};
        fake.selfRegisterResult = std::nullopt;
        RunComponentCheck(fake, kDialog);
        const Ops ops = fake.Operations();
        EXPECT_EQ(Ops(ops.begin(), ops.begin() + 4),
                  (Ops{"CreateInstance", "GetAppFolder", "DLLSelfRegister", "CreateInstance"}));
        if (secondProbeWorks)
            ExpectPassedSilently(fake);
        else
            ExpectOneFailureMessageThenClose(fake);
    }
}

TEST(ComponentCheckFailureRule, MessageCannotBeShown_DialogIsStillClosed) {
    struct Case {
        const char* name;
        bool productNameFails;
        bool showMessageFails;
    };
    for (const Case& c : {Case{"product name fails", true, false},
                          Case{"message box fails", false, true}}) {
        SCOPED_TRACE(c.name);
        FakePlatformServices fake;
        fake.creations = {false, false};
        fake.productNameFails = c.productNameFails;
        fake.showMessageFails = c.showMessageFails;
        RunComponentCheck(fake, kDialog);
        EXPECT_EQ(fake.Operations().back(), "CloseDialog");
        EXPECT_EQ(fake.closedDialog, kDialog);
        if (c.productNameFails) {
            EXPECT_TRUE(fake.Messages().empty());
        }
    }
}

TEST(ComponentCheckFailureRule, CloseAndReleaseFailures_EndTheCheckQuietly) {
    FakePlatformServices closing;
    closing.creations = {false, false};
    closing.closeFails = true;
    EXPECT_NO_THROW(RunComponentCheck(closing, kDialog));
    EXPECT_EQ(closing.Operations().back(), "CloseDialog");
    EXPECT_EQ(closing.Messages().size(), 1u);

    FakePlatformServices releasing;
    releasing.creations = {true};
    releasing.releaseFails = true;
    EXPECT_NO_THROW(RunComponentCheck(releasing, kDialog));
    EXPECT_EQ(releasing.Operations(), (Ops{"CreateInstance", "ReleaseInstance"}));
    EXPECT_TRUE(releasing.Messages().empty());
    EXPECT_EQ(releasing.closedDialog, nullptr);
}

// --- Where the library is looked for ----------------------------------------

TEST(ComponentCheckLibraryPath, OneSeparatorBetweenFolderAndLibrary) {
    struct Case {
        std::wstring folder;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"C:\\Tools", L"C:\\Tools\\Quillane.dll"},
        {L"C:\\", L"C:\\Quillane.dll"},
        {L"\\\\server\\share\\addins", L"\\\\server\\share\\addins\\Quillane.dll"},
        {L"\\\\?\\C:\\", L"\\\\?\\C:\\Quillane.dll"},
        {L"C:\\Program Files (x86)\\Quillane", L"C:\\Program Files (x86)\\Quillane\\Quillane.dll"},
    };
    for (const Case& c : cases) {
        FakePlatformServices fake;
        fake.creations = {false, true};
        fake.appFolder = c.folder;
        RunComponentCheck(fake, kDialog);
        ASSERT_EQ(fake.calls.size(), 5u);
        EXPECT_EQ(fake.calls[2].operation, "DLLSelfRegister");
        EXPECT_EQ(fake.calls[2].text, c.expected) << "folder: " << std::string(c.folder.begin(), c.folder.end());
    }
}

}  // namespace
}  // namespace quillane
