#include "kit/ZipArchive.h"

#include "kit/Crc32.h"
#include "kit/Inflate.h"
#include "kit/KitFailure.h"
#include "kit/Sha256.h"

#include <algorithm>
#include <utility>

namespace quillane::kit {
namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint64_t kLocalHeaderSize = 30;
constexpr std::uint64_t kCentralHeaderSize = 46;
constexpr std::uint64_t kEndSize = 22;
constexpr std::uint64_t kZip64LocatorSize = 20;
constexpr std::uint64_t kLongestComment = 0xffff;

constexpr std::uint16_t kEncrypted = 0x0001 | 0x0040 | 0x2000;  // traditional, strong, central directory
constexpr std::uint16_t kDataDescriptor = 0x0008;
// Flags that change nothing for a reader: the deflate level used, names in UTF-8.
constexpr std::uint16_t kHarmlessFlags = 0x0002 | 0x0004 | 0x0800;

constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;

std::uint16_t Read16(const std::vector<std::uint8_t>& bytes, std::uint64_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t Read32(const std::vector<std::uint8_t>& bytes, std::uint64_t at) {
    return std::uint32_t{Read16(bytes, at)} | std::uint32_t{Read16(bytes, at + 2)} << 16;
}

std::string Hex32(std::uint32_t value) {
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
        static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    return "0x" + ToHex(bytes, sizeof bytes);
}

[[noreturn]] void Unreadable(const std::string& why) {
    throw KitFailure("the zip cannot be read: " + why);
}

}  // namespace

ZipArchive::ZipArchive(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {
    // The end record comes last, followed only by the archive's comment. A
    // comment may itself hold the record's signature, so the record is the last
    // one whose comment runs exactly to the end.
    const std::uint64_t size = bytes_.size();
    std::uint64_t end = size;  // until found
    if (size >= kEndSize) {
        const std::uint64_t lowest =
            size - kEndSize > kLongestComment ? size - kEndSize - kLongestComment : 0;
        for (std::uint64_t at = size - kEndSize + 1; at-- > lowest;)
            if (Read32(bytes_, at) == kEndSignature && at + kEndSize + Read16(bytes_, at + 20) == size) {
                end = at;
                break;
            }
    }
    if (end == size) Unreadable("it has no end record; it is not a zip archive, or it is cut short");

    const std::uint16_t disk = Read16(bytes_, end + 4);
    const std::uint16_t directoryDisk = Read16(bytes_, end + 6);
    const std::uint16_t entriesOnDisk = Read16(bytes_, end + 8);
    const std::uint16_t entryCount = Read16(bytes_, end + 10);
    const std::uint32_t directorySize = Read32(bytes_, end + 12);
    directoryOffset_ = Read32(bytes_, end + 16);

    if ((end >= kZip64LocatorSize &&
         Read32(bytes_, end - kZip64LocatorSize) == kZip64LocatorSignature) ||
        entryCount == 0xffff || directorySize == 0xffffffff || directoryOffset_ == 0xffffffff)
        Unreadable("it is in ZIP64 form, which this kit does not read");
    if (disk != 0 || directoryDisk != 0 || entriesOnDisk != entryCount)
        Unreadable("it is one part of an archive split over several disks");
    const std::uint64_t directoryEnd = std::uint64_t{directoryOffset_} + directorySize;
    if (directoryEnd > end) Unreadable("its central directory runs past the end of the data");

    std::uint64_t at = directoryOffset_;
    for (unsigned i = 0; i < entryCount; ++i) {
        if (at + kCentralHeaderSize > directoryEnd)
            Unreadable("its central directory holds fewer files than the " + std::to_string(entryCount) +
                       " it declares");
        if (Read32(bytes_, at) != kCentralHeaderSignature)
            Unreadable("its central directory is damaged at byte " + std::to_string(at));
        Entry entry;
        entry.versionNeeded = Read16(bytes_, at + 6);
        entry.flags = Read16(bytes_, at + 8);
        entry.method = Read16(bytes_, at + 10);
        entry.time = Read16(bytes_, at + 12);
        entry.date = Read16(bytes_, at + 14);
        entry.crc = Read32(bytes_, at + 16);
        entry.compressedSize = Read32(bytes_, at + 20);
        entry.size = Read32(bytes_, at + 24);
        const std::uint16_t nameLength = Read16(bytes_, at + 28);
        const std::uint64_t recordSize =
            kCentralHeaderSize + nameLength + Read16(bytes_, at + 30) + Read16(bytes_, at + 32);
        entry.disk = Read16(bytes_, at + 34);
        entry.localHeaderOffset = Read32(bytes_, at + 42);
        if (at + recordSize > directoryEnd) Unreadable("a file's entry runs past the central directory");
        entry.name.assign(bytes_.begin() + (at + kCentralHeaderSize),
                          bytes_.begin() + (at + kCentralHeaderSize + nameLength));
        entries_.push_back(std::move(entry));
        at += recordSize;
    }
    if (at != directoryEnd)
        Unreadable("its central directory holds more files than the " + std::to_string(entryCount) +
                   " it declares");
}

std::vector<std::string> ZipArchive::Names() const {
    std::vector<std::string> names;
    for (const Entry& entry : entries_) names.push_back(entry.name);
    return names;
}

std::vector<std::uint8_t> ZipArchive::Extract(const std::string& name) const {
    const Entry* found = nullptr;
    int count = 0;
    for (const Entry& entry : entries_)
        if (entry.name == name) {
            found = &entry;
            ++count;
        }
    if (count == 0) throw KitFailure("the zip holds no file named " + name);
    if (count > 1)
        throw KitFailure("the zip holds " + std::to_string(count) + " files named " + name +
                         "; which one is meant cannot be told");
    const Entry& entry = *found;
    const auto refuse = [&name](const std::string& why) {
        throw KitFailure(name + " cannot be taken out of the zip: " + why);
    };

    if (entry.flags & kEncrypted) refuse("it is encrypted");
    if (entry.flags & kDataDescriptor)
        refuse("its sizes and CRC-32 follow its data (a data descriptor), which this kit does not read");
    if (entry.flags & ~(kEncrypted | kDataDescriptor | kHarmlessFlags))
        refuse("it uses zip features (flags " + Hex32(entry.flags) + ") that this kit does not read");
    if (entry.method != kStored && entry.method != kDeflated)
        refuse("it is compressed by method " + std::to_string(entry.method) +
               "; this kit reads only files stored (0) or deflated (8)");
    if (entry.compressedSize == 0xffffffff || entry.size == 0xffffffff ||
        entry.localHeaderOffset == 0xffffffff)
        refuse("its sizes or position are in ZIP64 form, which this kit does not read");
    if (entry.disk != 0) refuse("it lies on another disk of an archive split over several");

    // The local header repeats what the central directory says; a reader that
    // trusted either alone could be shown one file and unpack another.
    const std::uint64_t local = entry.localHeaderOffset;
    if (local + kLocalHeaderSize > directoryOffset_)
        refuse("its local header lies past the files' data");
    if (Read32(bytes_, local) != kLocalHeaderSignature)
        refuse("there is no local header where the central directory puts it, at byte " +
               std::to_string(local));
    const std::uint16_t nameLength = Read16(bytes_, local + 26);
    const std::uint64_t data = local + kLocalHeaderSize + nameLength + Read16(bytes_, local + 28);
    const struct {
        const char* field;
        std::uint32_t central, local;
    } fields[] = {
        {"the version needed", entry.versionNeeded, Read16(bytes_, local + 4)},
        {"the flags", entry.flags, Read16(bytes_, local + 6)},
        {"the compression method", entry.method, Read16(bytes_, local + 8)},
        {"the time", entry.time, Read16(bytes_, local + 10)},
        {"the date", entry.date, Read16(bytes_, local + 12)},
        {"the CRC-32", entry.crc, Read32(bytes_, local + 14)},
        {"the compressed size", entry.compressedSize, Read32(bytes_, local + 18)},
        {"the size", entry.size, Read32(bytes_, local + 22)},
        {"the name's length", static_cast<std::uint32_t>(entry.name.size()), nameLength},
    };
    for (const auto& field : fields)
        if (field.central != field.local)
            refuse("its local header and the central directory disagree on " + std::string(field.field) +
                   " (" + std::to_string(field.local) + " and " + std::to_string(field.central) + ")");
    if (data > directoryOffset_) refuse("its local header runs past the files' data");
    if (!std::equal(entry.name.begin(), entry.name.end(), bytes_.begin() + (local + kLocalHeaderSize)))
        refuse("its local header names another file");
    if (entry.compressedSize > directoryOffset_ - data) refuse("its data runs past the files' data");

    const std::uint8_t* stored = bytes_.data() + data;
    std::vector<std::uint8_t> content;
    if (entry.method == kStored) {
        if (entry.compressedSize != entry.size)
            refuse("it is stored uncompressed, yet its sizes differ (" +
                   std::to_string(entry.compressedSize) + " and " + std::to_string(entry.size) +
                   " bytes)");
        content.assign(stored, stored + entry.size);
    } else {
        try {
            content = Inflate(stored, entry.compressedSize, entry.size);
        } catch (const KitFailure& failure) {
            refuse(failure.what());
        }
        if (content.size() != entry.size)
            refuse("it unpacks to " + std::to_string(content.size()) + " bytes, not the " +
                   std::to_string(entry.size) + " that the zip gives");
    }
    const std::uint32_t crc = Crc32(content.data(), content.size());
    if (crc != entry.crc)
        refuse("its CRC-32 is " + Hex32(crc) + ", not the " + Hex32(entry.crc) +
               " that the zip gives: it is damaged");
    return content;
}

}  // namespace quillane::kit
