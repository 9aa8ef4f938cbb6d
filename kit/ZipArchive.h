#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillane::kit {

// A zip archive held in memory, read only as far as it can be read safely: one
// disk, no ZIP64, no encryption, files stored or deflated, with their sizes and
// CRC-32 in their headers (no data descriptors). What it cannot read ends in a
// KitFailure that says why.
class ZipArchive {
public:
    // Finds and reads the central directory.
    explicit ZipArchive(std::vector<std::uint8_t> bytes);

    // The files' names, in the central directory's order.
    std::vector<std::string> Names() const;

    // The bytes of the one file named exactly `name`, checked against its local
    // header, its sizes and its CRC-32.
    std::vector<std::uint8_t> Extract(const std::string& name) const;

private:
    struct Entry {
        std::string name;
        std::uint16_t versionNeeded, flags, method, time, date;
        std::uint32_t crc, compressedSize, size;
        std::uint16_t disk;
        std::uint32_t localHeaderOffset;
    };

    std::vector<std::uint8_t> bytes_;
    std::vector<Entry> entries_;
    std::uint32_t directoryOffset_ = 0;  // the files' data all lies before it
};

}  // namespace quillane::kit
