#include "kit/ReleaseCheck.h"

#include "kit/KitFailure.h"
#include "kit/Sha256.h"
#include "kit/ZipArchive.h"

#include <algorithm>
#include <cstddef>

namespace quillane::kit {
namespace {

constexpr std::size_t kHexDigits = 64;

bool IsHash(const std::string& text) {
    return text.size() == kHexDigits && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

bool HasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

std::string HashOf(const std::vector<std::uint8_t>& bytes) {
    return Sha256Hex(bytes.data(), bytes.size());
}

}  // namespace

std::string CheckZipAgainstSums(const std::vector<std::uint8_t>& sums, const std::string& zipName,
                                const std::vector<std::uint8_t>& zip) {
    std::string line(sums.begin(), sums.end());
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
        line.resize(line.size() - 2);
    else if (!line.empty() && line.back() == '\n')
        line.pop_back();
    if (line.empty()) throw KitFailure("SHA256SUMS is empty");
    if (line.find('\n') != std::string::npos)
        throw KitFailure("SHA256SUMS holds more than one line; it should hold only the release zip's");
    // sha256sum's line: the hash, a space, then a space (read as text) or a '*'
    // (read as binary, which is the same for a hash), then the name.
    if (line.size() <= kHexDigits + 2 || !IsHash(line.substr(0, kHexDigits)) ||
        line[kHexDigits] != ' ' || (line[kHexDigits + 1] != ' ' && line[kHexDigits + 1] != '*') ||
        HasControlCharacter(line))
        throw KitFailure(
            "SHA256SUMS is not a line as sha256sum writes it: 64 lowercase hex digits, two spaces (or a "
            "space "
            "and a *) and the zip's name");
    const std::string named = line.substr(kHexDigits + 2);
    if (named != zipName)
        throw KitFailure("SHA256SUMS gives the SHA-256 of " + named + ", not of the release zip " +
                         zipName);
    const std::string expected = line.substr(0, kHexDigits);
    const std::string actual = HashOf(zip);
    if (actual != expected)
        throw KitFailure("the release zip's SHA-256 is " + actual + ", not the " + expected +
                         " that SHA256SUMS gives");
    return actual;
}

std::string ProgramHashInGuide(const std::vector<std::uint8_t>& guide) {
    const std::string text(guide.begin(), guide.end());
    std::string found;
    int count = 0;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() == 4 + kHexDigits && line.compare(0, 4, "    ") == 0 && IsHash(line.substr(4))) {
            found = line.substr(4);
            ++count;
        }
        start = end + 1;
    }
    if (count == 0)
        throw KitFailure(
            std::string(kGuideName) +
            " gives no SHA-256 for the program (a line of four spaces and 64 lowercase hex digits)");
    if (count > 1)
        throw KitFailure(std::string(kGuideName) + " holds " + std::to_string(count) +
                         " lines that look like the program's SHA-256; it should hold one");
    return found;
}

std::string CheckProgramAgainstGuide(const std::vector<std::uint8_t>& guide,
                                     const std::vector<std::uint8_t>& program) {
    const std::string expected = ProgramHashInGuide(guide);
    const std::string actual = HashOf(program);
    if (actual != expected)
        throw KitFailure(std::string(kProgramName) + "'s SHA-256 is " + actual + ", not the " +
                         expected + " that " + kGuideName + " gives");
    return actual;
}

CheckedRelease CheckRelease(const std::vector<std::uint8_t>& sums, const std::string& zipName,
                            const std::vector<std::uint8_t>& zip) {
    CheckedRelease release;
    release.zipHash = CheckZipAgainstSums(sums, zipName, zip);
    const ZipArchive archive(zip);
    release.program = archive.Extract(kProgramName);
    release.guide = archive.Extract(kGuideName);
    release.programHash = CheckProgramAgainstGuide(release.guide, release.program);
    return release;
}

}  // namespace quillane::kit
