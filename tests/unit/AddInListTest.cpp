#include "registration/AddInList.h"

#include "FakePlatformServices.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace quillane {
namespace {

using testing::Call;
using testing::FakePlatformServices;
using Ops = std::vector<std::string>;

TEST(RegisterAddIn, WritesTheOneEntryThenReportsTheOutcome) {
    struct Case {
        std::int32_t result;
        std::wstring text;
        MessageKind kind;
    };
    const Case cases[] = {
        {1, L"Quillane Add-In successfully registered", MessageKind::Information},
        {-1, L"Quillane Add-In successfully registered", MessageKind::Information},
        {32767, L"Quillane Add-In successfully registered", MessageKind::Information},
        {-32768, L"Quillane Add-In successfully registered", MessageKind::Information},
        {0, L"Failed to register Quillane Add-In", MessageKind::Critical},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        FakePlatformServices fake;
        fake.profileWriteResult = c.result;
        RegisterAddIn(fake);
        EXPECT_EQ(fake.Operations(), (Ops{"WritePrivateProfileStringA", "GetProductName", "ShowMessage"}));
        EXPECT_EQ(fake.calls[0].profileArgs,
                  (std::vector<std::string>{"Add-Ins32", "Quillane.Connect", "1", "VBADDIN.INI"}));
        const Call& shown = fake.calls[2];
        EXPECT_EQ(shown.text, c.text);
        EXPECT_EQ(shown.kind, c.kind);
        EXPECT_EQ(shown.title, L"Quillane Add-In Configuration");
    }
}

TEST(RegisterAddIn, ResultOutside16Bits_IsAFailureAndShowsNothing) {
    for (std::int32_t result : {32768, -32769, 65536, 0x7FFFFFFF}) {
        SCOPED_TRACE(result);
        FakePlatformServices fake;
        fake.profileWriteResult = result;
        EXPECT_THROW(RegisterAddIn(fake), std::overflow_error);
        EXPECT_EQ(fake.Operations(), (Ops{"WritePrivateProfileStringA"}));
    }
}

TEST(RegisterAddIn, FailingOperations_ReachTheCaller) {
    FakePlatformServices writeFails;
    writeFails.profileWriteResult = std::nullopt;
    EXPECT_THROW(RegisterAddIn(writeFails), PlatformFailure);
    EXPECT_TRUE(writeFails.Messages().empty());

    FakePlatformServices titleFails;
    titleFails.productNameFails = true;
    EXPECT_THROW(RegisterAddIn(titleFails), PlatformFailure);
    EXPECT_TRUE(titleFails.Messages().empty());

    FakePlatformServices boxFails;
    boxFails.showMessageFails = true;
    EXPECT_THROW(RegisterAddIn(boxFails), PlatformFailure);
    EXPECT_EQ(boxFails.Operations().size(), 3u) << "no retry after a failing message box";
}

}  // namespace
}  // namespace quillane
