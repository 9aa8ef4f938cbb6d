#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillane::kit {

// What the release zip holds: the program and its guide, which gives the
// program's SHA-256.
inline constexpr char kProgramName[] = "QuillaneConfig.exe";
inline constexpr char kGuideName[] = "README.txt";

// Checks that `zip`, the file named zipName, is the one that SHA256SUMS names
// and hashes. SHA256SUMS is one line as sha256sum writes it: 64 lowercase hex
// digits, a space, a space or '*', and the file's name; then at most a line
// end. Returns the zip's SHA-256.
std::string CheckZipAgainstSums(const std::vector<std::uint8_t>& sums, const std::string& zipName,
                                const std::vector<std::uint8_t>& zip);

// The program's SHA-256 as the guide gives it: the one line of four spaces and
// 64 lowercase hex digits.
std::string ProgramHashInGuide(const std::vector<std::uint8_t>& guide);

// Checks the program against the SHA-256 that the guide gives; returns it.
std::string CheckProgramAgainstGuide(const std::vector<std::uint8_t>& guide,
                                     const std::vector<std::uint8_t>& program);

struct CheckedRelease {
    std::string zipHash;
    std::string programHash;
    std::vector<std::uint8_t> program;
    std::vector<std::uint8_t> guide;
};

// All of the above: the zip against SHA256SUMS, then the program and the guide
// taken out of it, and the program against the guide.
CheckedRelease CheckRelease(const std::vector<std::uint8_t>& sums, const std::string& zipName,
                            const std::vector<std::uint8_t>& zip);

}  // namespace quillane::kit
