// The release check: the zip against SHA256SUMS as sha256sum writes it, and
// the program against the SHA-256 that the guide in the zip gives.

#include "kit/KitFailure.h"
#include "kit/ReleaseCheck.h"
#include "kit/Sha256.h"
#include "tests/unit/KitTestData.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace quillane::kit {
namespace {

// FIPS 180's example: the SHA-256 of "abc".
const std::string kAbcHash = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string kZipName = "QuillaneConfig-1.0.0.2.zip";

TEST(KitReleaseCheck, TheZipMustBeTheOneThatSha256SumsNamesAndHashes) {
    const std::string form =
        "SHA256SUMS is not a line as sha256sum writes it: 64 lowercase hex digits, two spaces (or a "
        "space and a *) "
        "and the zip's name";
    const std::string upper = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
    const std::string other = "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1";
    const struct {
        std::string sums, failure;  // no failure: the zip is the one named
    } cases[] = {
        {kAbcHash + "  " + kZipName + "\n", ""},
        {kAbcHash + " *" + kZipName + "\n", ""},
        {kAbcHash + "  " + kZipName + "\r\n", ""},
        {kAbcHash + "  " + kZipName, ""},
        {"", "SHA256SUMS is empty"},
        {"\r\n", "SHA256SUMS is empty"},
        {kAbcHash + "  " + kZipName + "\n" + kAbcHash + "  " + kZipName + "\n",
         "SHA256SUMS holds more than one line; it should hold only the release zip's"},
        {kAbcHash + "  " + kZipName + "\n\n",
         "SHA256SUMS holds more than one line; it should hold only the release zip's"},
        {upper + "  " + kZipName + "\n", form},
        {kAbcHash.substr(1) + "  " + kZipName + "\n", form},
        {kAbcHash + "0  " + kZipName + "\n", form},
        {kAbcHash + " " + kZipName + "\n", form},
        {kAbcHash + "\t" + kZipName + "\n", form},
        {kAbcHash + "  \n", form},
        {kAbcHash + "  " + kZipName + "\r", form},
        {kAbcHash + "  " + kZipName + " \n",
         "SHA256SUMS gives the SHA-256 of " + kZipName + " , not of the release zip " + kZipName},
        {kAbcHash + "  ./" + kZipName + "\n",
         "SHA256SUMS gives the SHA-256 of ./" + kZipName + ", not of the release zip " + kZipName},
        {other + "  " + kZipName + "\n",
         "the release zip's SHA-256 is " + kAbcHash + ", not the " + other + " that SHA256SUMS gives"},
    };
    for (const auto& c : cases) {
        std::string failure;
        try {
            EXPECT_EQ(CheckZipAgainstSums(TextBytes(c.sums), kZipName, TextBytes("abc")), kAbcHash)
                << c.sums;
        } catch (const KitFailure& refused) {
            failure = refused.what();
        }
        EXPECT_EQ(failure, c.failure) << "SHA256SUMS: " << c.sums;
    }
}

TEST(KitReleaseCheck, TheGuideGivesTheProgramsHashOnOneLineOfItsOwn) {
    const std::string none =
        "README.txt gives no SHA-256 for the program (a line of four spaces and 64 lowercase hex "
        "digits)";
    const struct {
        std::string guide, hashOrFailure;
    } cases[] = {
        {"QuillaneConfig 1.0.0.2\r\n===\r\nits SHA-256 is\r\n    " + kAbcHash + "\r\nOn Windows 7\r\n",
         kAbcHash},
        {"its SHA-256 is\r\n    " + kAbcHash, kAbcHash},
        {"    " + kAbcHash + "\r\n", kAbcHash},
        {"its SHA-256 is\n    " + kAbcHash + "\n", kAbcHash},
        {"", none},
        {"its SHA-256 is\r\n" + kAbcHash + "\r\n", none},
        {"   " + kAbcHash + "\r\n", none},
        {"     " + kAbcHash + "\r\n", none},
        {"\t" + kAbcHash + "\r\n", none},
        {"    " + kAbcHash + " \r\n", none},
        {"    " + kAbcHash.substr(1) + "\r\n", none},
        {"    BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD\r\n", none},
        {"    " + kAbcHash + "\r\n\r\n    " + kAbcHash + "\r\n",
         "README.txt holds 2 lines that look like the program's SHA-256; it should hold one"},
    };
    for (const auto& c : cases) {
        std::string result;
        try {
            result = ProgramHashInGuide(TextBytes(c.guide));
        } catch (const KitFailure& refused) {
            result = refused.what();
        }
        EXPECT_EQ(result, c.hashOrFailure) << "the guide: " << c.guide;
    }
}

// The guide as scripts/release.sh puts it into the zip: Windows line ends and
// the program's SHA-256 in place of its mark.
Bytes GuideAsReleased(const std::string& hash) {
    std::ifstream file(QUILLANE_SOURCE_DIR "/docs/windows-guide.txt", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("@PROGRAM_SHA256@"), std::string::npos)
        << "docs/windows-guide.txt, read from the sources";
    text.replace(text.find("@PROGRAM_SHA256@"), 16, hash);
    std::string released;
    for (char c : text) released += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return TextBytes(released);
}

TEST(KitReleaseCheck, AReleaseIsCheckedFromItsSumsToItsProgram) {
    const Bytes program = TextBytes("abc");
    const Bytes guide = GuideAsReleased(kAbcHash);
    const std::string otherHash(64, 'e');
    const Bytes wrongGuide = GuideAsReleased(otherHash);
    const struct {
        const char* what;
        Bytes zip;
        std::string failure;
    } cases[] = {
        {"the release", MakeZip({{kProgramName, program}, {kGuideName, guide}}), ""},
        {"a guide for another program", MakeZip({{kProgramName, program}, {kGuideName, wrongGuide}}),
         "QuillaneConfig.exe's SHA-256 is " + kAbcHash + ", not the " + otherHash +
             " that README.txt gives"},
        {"no guide", MakeZip({{kProgramName, program}}), "the zip holds no file named README.txt"},
        {"no program", MakeZip({{kGuideName, guide}}), "the zip holds no file named QuillaneConfig.exe"},
    };
    for (const auto& c : cases) {
        const std::string zipHash = Sha256Hex(c.zip.data(), c.zip.size());
        const Bytes sums = TextBytes(zipHash + "  " + kZipName + "\n");
        try {
            const CheckedRelease release = CheckRelease(sums, kZipName, c.zip);
            EXPECT_EQ(release.zipHash, zipHash) << c.what;
            EXPECT_EQ(release.programHash, kAbcHash) << c.what;
            EXPECT_EQ(release.program, program) << c.what;
            EXPECT_EQ(release.guide, guide) << c.what;
            EXPECT_EQ(c.failure, "") << c.what << " was taken";
        } catch (const KitFailure& refused) {
            EXPECT_EQ(refused.what(), c.failure) << c.what;
        }
    }
}

}  // namespace
}  // namespace quillane::kit
