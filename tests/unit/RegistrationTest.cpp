// The component check and the add-in list entry, against the scripted platform.

#include "registration/AddInList.h"
#include "registration/ComponentCheck.h"

#include "FakePlatformServices.h"

#include <gtest/gtest.h>

namespace quillane {
namespace {

using testing::FakePlatformServices;

DialogHandle const kDialog = reinterpret_cast<DialogHandle>(0x1234);
const std::wstring kTools = L"C:\\Tools";

struct CheckCase {
    const char* name;
    std::deque<bool> creations;
    std::optional<std::int16_t> selfRegisterResult;
    std::optional<std::wstring> appFolder;
    const char* failing;
    const char* trace;  // the letters of FakePlatformServices::trace
};

const CheckCase kCheckCases[] = {
    {"already registered: no self-registration", {true}, 0, kTools, "", "CR"},
    {"self-registration works", {false, true}, 0, kTools, "", "CFSCR"},
    {"self-registration refuses: no second probe", {false, true}, 1, kTools, "", "CFSNMX"},
    {"refuses with a negative result", {false, true}, -1, kTools, "", "CFSNMX"},
    {"registered but still not creatable", {false, false}, 0, kTools, "", "CFSCNMX"},
    // The toolkit or its entry point is missing: the result stays 0 and the
    // failed call is forgotten before the second probe.
    {"toolkit fails, second probe works", {false, true}, std::nullopt, kTools, "", "CFSCR"},
    {"toolkit fails, second probe fails", {false, false}, std::nullopt, kTools, "", "CFSCNMX"},
    // Without a folder the path would name "\Quillane.dll" on the current
    // drive: that library is never registered.
    {"no folder, second probe works", {false, true}, 0, std::nullopt, "", "CFCR"},
    {"empty folder, second probe fails", {false, false}, 0, std::wstring(), "", "CFCNMX"},
    {"no product name: no message", {false, false}, 0, kTools, "N", "CFSCNX"},
    {"message box fails: still closed", {false, false}, 0, kTools, "M", "CFSCNMX"},
    {"closing fails: the check ends", {false, false}, 0, kTools, "X", "CFSCNMX"},
    {"release fails: passes quietly", {true}, 0, kTools, "R", "CR"},
};

TEST(RunComponentCheck, FollowsTheDesignedSequenceAndEnds) {
    for (const CheckCase& c : kCheckCases) {
        SCOPED_TRACE(c.name);
        FakePlatformServices fake;
        fake.creations = c.creations;
        fake.selfRegisterResult = c.selfRegisterResult;
        fake.appFolder = c.appFolder;
        fake.failing = c.failing;
        EXPECT_NO_THROW(RunComponentCheck(fake, kDialog));
        EXPECT_EQ(fake.trace, c.trace);
        // Every folder here is C:\Tools; the program tests run from others.
        const bool selfRegistered = fake.trace.find('S') != std::string::npos;
        EXPECT_EQ(fake.libraryPath, selfRegistered ? L"C:\\Tools\\Quillane.dll" : L"");

        const std::wstring missing =
            L"Could not reference Quillane Add-In. Try registering Quillane.dll first";
        for (const auto& message : fake.shown) {
            EXPECT_EQ(message.text, missing);
            EXPECT_EQ(message.kind, MessageKind::Critical);
            EXPECT_EQ(message.title, L"Quillane Add-In Configuration");
        }
        const bool closed = fake.trace.back() == 'X' && fake.failing != "X";
        EXPECT_EQ(fake.closedDialog, closed ? kDialog : nullptr);
        EXPECT_EQ(fake.liveInstances, fake.failing == "R" ? 1 : 0) << "the probe outlived the check";
        for (const auto& [clsid, iid] : fake.created) {
            EXPECT_TRUE(clsid == kConnectClassId) << "another class asked for";
            EXPECT_TRUE(iid == kConnectInterfaceId) << "another interface asked for";
        }
    }
}

TEST(RegisterAddIn, WritesTheOneEntryThenReportsWhatTheWriteSaid) {
    for (std::int32_t result : {1, -1, 32767, -32768, 0, 32768, -32769, 0x7FFFFFFF}) {
        SCOPED_TRACE(result);
        FakePlatformServices fake;
        fake.profileWriteResult = result;
        if (result < -32768 || result > 32767) {
            // Outside the 16 bits the result is kept in: a failure, and nothing is shown.
            EXPECT_THROW(RegisterAddIn(fake), Failure);
            EXPECT_EQ(fake.trace, "W");
            continue;
        }
        RegisterAddIn(fake);
        EXPECT_EQ(fake.trace, "WNM");
        EXPECT_EQ(fake.profileArgs,
                  (std::vector<std::string>{"Add-Ins32", "Quillane.Connect", "1", "VBADDIN.INI"}));
        EXPECT_EQ(fake.shown.at(0).text, result ? L"Quillane Add-In successfully registered"
                                                : L"Failed to register Quillane Add-In");
        EXPECT_EQ(fake.shown.at(0).kind, result ? MessageKind::Information : MessageKind::Critical);
        EXPECT_EQ(fake.shown.at(0).title, L"Quillane Add-In Configuration");
    }
}

}  // namespace
}  // namespace quillane
