// Rules for Windows paths that need no Windows call.

#include "platform/PathRules.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

namespace quillane {
namespace {

TEST(PathRules, TheProgramsFolderKeepsItsSeparatorOnlyAtADriveRoot) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\Tools\\QuillaneConfig.exe", L"C:\\Tools"},
        {L"C:\\QuillaneConfig.exe", L"C:\\"},
        {L"\\\\?\\C:\\QuillaneConfig.exe", L"\\\\?\\C:\\"},
        {L"\\\\server\\share\\QuillaneConfig.exe", L"\\\\server\\share"},
        {L"\\QuillaneConfig.exe", L""},
        {L"", L""},
    };
    for (const auto& [path, folder] : cases)
        EXPECT_EQ(FolderOfModulePath(path.c_str()).c_str(), folder) << "module path " << path;
}

TEST(PathRules, OnlyLongPathsTakeTheExtendedFormAndGiveItBack) {
    const std::wstring tail(252, L'a');
    // A path; the form the program hands Windows; and that form made plain again.
    const std::tuple<std::wstring, std::wstring, std::wstring> cases[] = {
        {L"C:\\Tools\\", L"C:\\Tools\\", L"C:\\Tools\\"},
        // MAX_PATH less 1
        {L"C:\\" + tail + L"\\bc\\", L"C:\\" + tail + L"\\bc\\", L"C:\\" + tail + L"\\bc\\"},
        {L"C:\\" + tail + L"\\bcd\\", L"\\\\?\\C:\\" + tail + L"\\bcd\\", L"C:\\" + tail + L"\\bcd\\"},
        {L"\\\\server\\share\\" + tail, L"\\\\?\\UNC\\server\\share\\" + tail,
         L"\\\\server\\share\\" + tail},
        {L"\\\\?\\C:\\" + tail + tail, L"\\\\?\\C:\\" + tail + tail, L"C:\\" + tail + tail},
    };
    for (const auto& [path, extended, plain] : cases) {
        SCOPED_TRACE(path.size());
        EXPECT_EQ(ExtendedFormIfLong(path.c_str()).c_str(), extended);
        EXPECT_EQ(PlainForm(extended.c_str()).c_str(), plain);
    }
}

}  // namespace
}  // namespace quillane
