#include "platform/ModulePath.h"

#include <gtest/gtest.h>

namespace quillane {
namespace {

TEST(FolderOfModulePath, KeepsTheSeparatorOnlyAtADriveRoot) {
    struct Case {
        std::wstring module;
        std::wstring folder;
    };
    const Case cases[] = {
        {L"C:\\Tools\\QuillaneConfig.exe", L"C:\\Tools"},
        {L"C:\\QuillaneConfig.exe", L"C:\\"},
        {L"\\\\?\\C:\\QuillaneConfig.exe", L"\\\\?\\C:\\"},
        {L"\\\\server\\share\\QuillaneConfig.exe", L"\\\\server\\share"},
        {L"QuillaneConfig.exe", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FolderOfModulePath(c.module), c.folder)
            << std::string(c.module.begin(), c.module.end());
}

}  // namespace
}  // namespace quillane
