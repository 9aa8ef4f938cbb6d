// The add-in list entry written through the real profile service under Wine.
// Message boxes are recorded instead of shown.

#include "platform/WindowsPlatformServices.h"
#include "registration/AddInList.h"
#include "tests/wine/WineTestSupport.h"

#include <gtest/gtest.h>

namespace quillane {
namespace {

using namespace wine;

// The Windows services, but messages are recorded rather than shown.
class RecordedMessages final : public PlatformServices {
public:
    struct Message {
        std::wstring prompt;
        MessageKind kind;
        std::wstring title;
    };
    std::vector<Message> shown;

    void ShowMessage(const std::wstring& prompt, MessageKind kind, const std::wstring& title) override {
        shown.push_back({prompt, kind, title});
    }
    std::wstring GetProductName() override { return L"Quillane Add-In Configuration"; }
    std::wstring GetAppFolder() override { return windows_.GetAppFolder(); }
    void CloseDialog(DialogHandle dialog) override { windows_.CloseDialog(dialog); }
    InstanceRef CreateInstance(const Guid& clsid, const Guid& iid) override {
        return windows_.CreateInstance(clsid, iid);
    }
    void ReleaseInstance(InstanceRef& instance) override { windows_.ReleaseInstance(instance); }
    std::int16_t DLLSelfRegister(const std::wstring& path) override { return windows_.DLLSelfRegister(path); }
    std::int32_t WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                            const std::string& value, const std::string& file) override {
        return windows_.WritePrivateProfileStringA(section, key, value, file);
    }

private:
    WindowsPlatformServices windows_;
};

class AddInListEntry : public ::testing::Test {
protected:
    void SetUp() override { RemoveAddInList(); }
    void TearDown() override { RemoveAddInList(); }

    // Runs the registration and gives the one message it showed.
    RecordedMessages::Message Register() {
        RecordedMessages platform;
        RegisterAddIn(platform);
        EXPECT_EQ(platform.shown.size(), 1u);
        return platform.shown.empty() ? RecordedMessages::Message{} : platform.shown[0];
    }

    static void ExpectSuccess(const RecordedMessages::Message& message) {
        EXPECT_EQ(message.prompt, L"Quillane Add-In successfully registered");
        EXPECT_EQ(message.kind, MessageKind::Information);
        EXPECT_EQ(message.title, L"Quillane Add-In Configuration");
    }
};

TEST_F(AddInListEntry, NoListYet_CreatesItInTheWindowsFolderWithTheSection) {
    ExpectSuccess(Register());
    const ProfileEntries entries = ParseProfile(ReadFileBytes(AddInListPath()));
    EXPECT_EQ(entries, (ProfileEntries{{"Add-Ins32", {{"Quillane.Connect", "1"}}}}));
}

TEST_F(AddInListEntry, ExistingList_EntryIsSetAndEverythingElseKept) {
    WriteFileBytes(AddInListPath(),
                   "; the IDE's add-ins\r\n"
                   "[Add-Ins32]\r\n"
                   "Other.Connect=0\r\n"
                   "Quillane.Connect=0\r\n"
                   "Third.Connect=1\r\n"
                   "\r\n"
                   "[Settings]\r\n"
                   "Theme=dark\r\n");
    ExpectSuccess(Register());
    const std::string text = ReadFileBytes(AddInListPath());
    EXPECT_NE(text.find("; the IDE's add-ins"), std::string::npos) << text;
    EXPECT_EQ(ParseProfile(text),
              (ProfileEntries{{"Add-Ins32",
                               {{"Other.Connect", "0"}, {"Quillane.Connect", "1"}, {"Third.Connect", "1"}}},
                              {"Settings", {{"Theme", "dark"}}}}));
}

TEST_F(AddInListEntry, SecondRun_SucceedsAgainWithTheSameEntry) {
    ExpectSuccess(Register());
    ExpectSuccess(Register());
    const ProfileEntries entries = ParseProfile(ReadFileBytes(AddInListPath()));
    EXPECT_EQ(entries, (ProfileEntries{{"Add-Ins32", {{"Quillane.Connect", "1"}}}}));
}

TEST_F(AddInListEntry, ListCannotBeWritten_ReportsFailure) {
    auto expectFailureMessage = [this] {
        const RecordedMessages::Message message = Register();
        EXPECT_EQ(message.prompt, L"Failed to register Quillane Add-In");
        EXPECT_EQ(message.kind, MessageKind::Critical);
        EXPECT_EQ(message.title, L"Quillane Add-In Configuration");
    };
    {
        SCOPED_TRACE("a folder stands where the file should be");
        MakeFolders(AddInListPath());
        expectFailureMessage();
        RemoveAddInList();
    }
    {
        SCOPED_TRACE("the file is held open by another, exclusively");
        WriteFileBytes(AddInListPath(), "[Add-Ins32]\r\nQuillane.Connect=0\r\n");
        HANDLE held = CreateFileW(AddInListPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        expectFailureMessage();
        CloseHandle(held);
        EXPECT_EQ(ParseProfile(ReadFileBytes(AddInListPath()))["Add-Ins32"]["Quillane.Connect"], "0");
    }
}

}  // namespace
}  // namespace quillane
