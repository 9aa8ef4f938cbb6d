// The kit's zip reader on archives made as Python's zipfile makes the release,
// and on archives damaged by hand, cut short or changed at random.

#include "kit/KitFailure.h"
#include "kit/ZipArchive.h"
#include "tests/unit/KitTestData.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>

namespace quillane::kit {
namespace {

const std::vector<ZipFile> kRelease = {
    {"QuillaneConfig.exe", RandomBytes(2000, 1), true},
    {"README.txt", TextBytes(std::string(40, '=') + "\r\nCopy QuillaneConfig.exe into the folder.\r\n"),
     true},
};

std::string ToHexForTest(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

std::string FailureOfExtracting(const Bytes& zip, const std::string& name) {
    try {
        ZipArchive(zip).Extract(name);
    } catch (const KitFailure& failure) {
        return failure.what();
    }
    return "";
}

TEST(KitZipArchive, ReadsTheFilesOfArchivesMadeAsTheReleaseIs) {
    const std::vector<ZipFile> files = {
        kRelease[0],
        kRelease[1],
        {"empty.txt", {}, true},
        {"stored.bin", RandomBytes(300, 2), false},
        {"big/data.txt", Bytes(100000, 'q'), true},
    };
    // A comment holding an end record's signature must not be taken for one.
    for (const std::string& comment : {std::string(), std::string("release PK\x05\x06 of 1.0.0.2")}) {
        const ZipArchive archive(MakeZip(files, comment));
        std::vector<std::string> names;
        for (const ZipFile& file : files) {
            names.push_back(file.name);
            EXPECT_EQ(archive.Extract(file.name), file.data)
                << file.name << ", comment " << comment.size();
        }
        EXPECT_EQ(archive.Names(), names);
    }
}

// A zip's numbers: little-endian, 2 or 4 bytes wide.
std::uint32_t Read(const Bytes& zip, std::size_t at, int width = 4) {
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | zip[at + i];
    return value;
}
void Set(Bytes& zip, std::size_t at, std::uint32_t value, int width = 4) {
    for (int i = 0; i < width; ++i) zip[at + i] = static_cast<std::uint8_t>(value >> 8 * i);
}

// Where the release's records are: the end record, README.txt's central and
// local headers.
struct Layout {
    explicit Layout(const Bytes& zip)
        : end(zip.size() - 22),
          central(Read(zip, end + 16) + 46 + kRelease[0].name.size()),
          local(Read(zip, central + 42)) {}
    std::size_t end, central, local;
};

TEST(KitZipArchive, RefusesWhatItCannotReadSafelyAndSaysWhy) {
    const Bytes release = MakeZip(kRelease);
    const Layout at(release);
    const auto changed = [&release](const std::function<void(Bytes&)>& change) {
        Bytes zip = release;
        change(zip);
        return zip;
    };
    // A change to a field of README.txt's central and local headers alike,
    // given by its place in the local header; the central one has "made by"
    // before it.
    const auto both = [&](std::size_t field, std::uint32_t value, int width = 4) {
        return changed([&](Bytes& zip) {
            Set(zip, at.central + field + 2, value, width);
            Set(zip, at.local + field, value, width);
        });
    };
    const std::uint32_t readmeSize = static_cast<std::uint32_t>(kRelease[1].data.size());
    const auto readmeCrc = static_cast<std::uint32_t>(crc32(0, kRelease[1].data.data(), readmeSize));
    const std::string readme = "README.txt cannot be taken out of the zip: ";
    const std::string unreadable = "the zip cannot be read: ";
    Bytes stored = MakeZip({{"stored.bin", RandomBytes(300, 2), false}});
    Set(stored, 22, 301);
    Set(stored, Read(stored, stored.size() - 22 + 16) + 24, 301);

    const struct {
        const char* what;
        Bytes zip;
        std::string name, failure;  // the failure, or how it starts
    } cases[] = {
        {"not a zip", TextBytes("QuillaneConfig"), "README.txt",
         unreadable + "it has no end record; it is not a zip archive, or it is cut short"},
        {"64-bit counts", changed([&](Bytes& zip) { Set(zip, at.end + 10, 0xffff, 2); }), "README.txt",
         unreadable + "it is in ZIP64 form, which this kit does not read"},
        {"a ZIP64 locator", changed([&](Bytes& zip) { Set(zip, at.end - 20, 0x07064b50); }),
         "README.txt", unreadable + "it is in ZIP64 form, which this kit does not read"},
        {"on disk 2", changed([&](Bytes& zip) { Set(zip, at.end + 4, 1, 2); }), "README.txt",
         unreadable + "it is one part of an archive split over several disks"},
        {"a directory past its end",
         changed([&](Bytes& zip) { Set(zip, at.end + 12, Read(zip, at.end + 12) + 1); }), "README.txt",
         unreadable + "its central directory runs past the end of the data"},
        {"three files declared", changed([&](Bytes& zip) { Set(zip, at.end + 8, 3 | 3 << 16); }),
         "README.txt", unreadable + "its central directory holds fewer files than the 3 it declares"},
        {"one file declared", changed([&](Bytes& zip) { Set(zip, at.end + 8, 1 | 1 << 16); }),
         "README.txt", unreadable + "its central directory holds more files than the 1 it declares"},
        {"a directory entry's signature", changed([&](Bytes& zip) { zip[at.central] = 'Q'; }),
         "README.txt",
         unreadable + "its central directory is damaged at byte " + std::to_string(at.central)},
        {"a long name", changed([&](Bytes& zip) { Set(zip, at.central + 28, 11, 2); }), "README.txt",
         unreadable + "a file's entry runs past the central directory"},
        {"no such file", release, "readme.txt", "the zip holds no file named readme.txt"},
        {"two such files", MakeZip({kRelease[1], kRelease[0], kRelease[1]}), "README.txt",
         "the zip holds 2 files named README.txt; which one is meant cannot be told"},
        {"encrypted", both(6, 1, 2), "README.txt", readme + "it is encrypted"},
        {"a data descriptor", both(6, 8, 2), "README.txt",
         readme +
             "its sizes and CRC-32 follow its data (a data descriptor), which this kit does not read"},
        {"a patch", both(6, 0x20, 2), "README.txt",
         readme + "it uses zip features (flags 0x00000020) that this kit does not read"},
        {"bzip2", both(8, 12, 2), "README.txt",
         readme + "it is compressed by method 12; this kit reads only files stored (0) or deflated (8)"},
        {"a ZIP64 size", both(22, 0xffffffff), "README.txt",
         readme + "its sizes or position are in ZIP64 form, which this kit does not read"},
        {"on another disk", changed([&](Bytes& zip) { Set(zip, at.central + 34, 1, 2); }), "README.txt",
         readme + "it lies on another disk of an archive split over several"},
        {"a header past the data",
         changed([&](Bytes& zip) { Set(zip, at.central + 42, Read(zip, at.end + 16) - 29); }),
         "README.txt", readme + "its local header lies past the files' data"},
        {"no local header", changed([&](Bytes& zip) { zip[at.local + 3] = 0; }), "README.txt",
         readme + "there is no local header where the central directory puts it, at byte " +
             std::to_string(at.local)},
        {"another local name", changed([&](Bytes& zip) { zip[at.local + 30] = 'r'; }), "README.txt",
         readme + "its local header names another file"},
        {"a long local extra field", changed([&](Bytes& zip) { Set(zip, at.local + 28, 0xffff, 2); }),
         "README.txt", readme + "its local header runs past the files' data"},
        {"data past the data", both(18, Read(release, at.central + 20) + 1), "README.txt",
         readme + "its data runs past the files' data"},
        {"a wrong CRC-32", both(14, 0x12345678), "README.txt",
         readme + "its CRC-32 is 0x" + ToHexForTest(readmeCrc) +
             ", not the 0x12345678 that the zip gives: it is damaged"},
        {"a size too small", both(22, readmeSize - 1), "README.txt",
         readme + "its compressed data unpacks to more than the " + std::to_string(readmeSize - 1) +
             " bytes expected"},
        {"a size too large", both(22, readmeSize + 1), "README.txt",
         readme + "it unpacks to " + std::to_string(readmeSize) + " bytes, not the " +
             std::to_string(readmeSize + 1) + " that the zip gives"},
        {"a stored file of two sizes", stored, "stored.bin",
         "stored.bin cannot be taken out of the zip: it is stored uncompressed, yet its sizes differ "
         "(300 and 301 bytes)"},
    };
    for (const auto& c : cases) {
        const std::string failure = FailureOfExtracting(c.zip, c.name);
        EXPECT_EQ(failure.substr(0, c.failure.size()), c.failure) << c.what << ": " << failure;
    }
}

TEST(KitZipArchive, RefusesALocalHeaderThatDisagreesWithTheDirectory) {
    const Bytes release = MakeZip(kRelease);
    const Layout at(release);
    const struct {
        std::size_t offset;  // in the local header
        int width;
        const char* field;
    } fields[] = {
        {4, 2, "the version needed"},
        {6, 2, "the flags"},
        {8, 2, "the compression method"},
        {10, 2, "the time"},
        {12, 2, "the date"},
        {14, 4, "the CRC-32"},
        {18, 4, "the compressed size"},
        {22, 4, "the size"},
        {26, 2, "the name's length"},
    };
    for (const auto& field : fields) {
        Bytes zip = release;
        const std::uint32_t central = Read(zip, at.central + field.offset + 2, field.width);
        Set(zip, at.local + field.offset, central ^ 4, field.width);
        EXPECT_EQ(FailureOfExtracting(zip, "README.txt"),
                  "README.txt cannot be taken out of the zip: its local header and the central "
                  "directory disagree on " +
                      std::string(field.field) + " (" + std::to_string(central ^ 4) + " and " +
                      std::to_string(central) + ")");
    }
}

// Whatever an archive holds, the reader ends in a failure or the right bytes:
// never a crash, an access out of bounds or a file that was not in it.
TEST(KitZipArchive, EveryTruncationAndRandomDamageEndsInAFailureOrTheRightBytes) {
    const Bytes release = MakeZip(kRelease);
    const auto check = [](const Bytes& zip, const std::string& what) {
        for (const ZipFile& file : kRelease) {
            try {
                EXPECT_EQ(ZipArchive(zip).Extract(file.name), file.data) << what << ", " << file.name;
            } catch (const KitFailure&) {
            }
        }
    };
    for (std::size_t size = 0; size < release.size(); ++size)
        check(Bytes(release.begin(), release.begin() + size),
              "the first " + std::to_string(size) + " bytes");

    std::mt19937 random(1951);
    for (int round = 0; round < 3000; ++round)
        check(Damaged(release, random), "round " + std::to_string(round));
}

}  // namespace
}  // namespace quillane::kit
