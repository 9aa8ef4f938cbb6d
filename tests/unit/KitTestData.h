#pragma once

// What the kit's tests are made of: zlib as the reference that the kit's
// inflate is tested against, and zip archives as Python's zipfile writes them.

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillane::kit {

using Bytes = std::vector<std::uint8_t>;

inline Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline Bytes RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

// One to three bytes changed at random.
inline Bytes Damaged(Bytes bytes, std::mt19937& random) {
    for (unsigned changes = 1 + random() % 3; changes > 0; --changes)
        bytes[random() % bytes.size()] ^= static_cast<std::uint8_t>(1 + random() % 255);
    return bytes;
}

// Raw DEFLATE of `data`, with a window of 32 KB and zlib's default memory
// level, as Python's zipfile makes it (at level 9 and the default strategy).
inline Bytes RawDeflate(const Bytes& data, int level, int strategy = Z_DEFAULT_STRATEGY) {
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, strategy) != Z_OK)
        throw std::runtime_error("deflateInit2");
    Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())));
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// zlib's verdict on a raw DEFLATE stream that must unpack to at most `limit`
// bytes and end exactly at the end of `stream`: the bytes, or nothing.
inline std::optional<Bytes> ZlibInflate(const Bytes& stream, std::size_t limit) {
    z_stream state{};
    if (inflateInit2(&state, -15) != Z_OK) throw std::runtime_error("inflateInit2");
    Bytes out(limit + 1);  // room for one byte too many, so that zlib can show it
    state.next_in = const_cast<Bytef*>(stream.data());
    state.avail_in = static_cast<uInt>(stream.size());
    state.next_out = out.data();
    state.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&state, Z_FINISH);
    const bool whole = result == Z_STREAM_END && state.avail_in == 0 && state.total_out <= limit;
    out.resize(state.total_out);
    inflateEnd(&state);
    if (!whole) return std::nullopt;
    return out;
}

// Appends a zip's number: little-endian, 2 or 4 bytes wide.
inline void Put(Bytes& bytes, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> 8 * i));
}

struct ZipFile {
    std::string name;
    Bytes data;
    bool deflated = true;
};

// A zip archive as Python's zipfile writes it in scripts/release.sh: for each
// file a local header and its data, deflated at level 9 or stored; then the
// central directory, made on MS-DOS with zip 2.0, each file with the attribute
// "archive"; then the end record.
inline Bytes MakeZip(const std::vector<ZipFile>& files, const std::string& comment = "") {
    const std::uint32_t time = 7 << 11 | 8 << 5 | 10 / 2, date = (2024 - 1980) << 9 | 5 << 5 | 6;
    Bytes zip, directory;
    for (const ZipFile& file : files) {
        const Bytes stored = file.deflated ? RawDeflate(file.data, 9) : file.data;
        const auto crc =
            static_cast<std::uint32_t>(crc32(0, file.data.data(), static_cast<uInt>(file.data.size())));
        const auto offset = static_cast<std::uint32_t>(zip.size());
        for (Bytes* record : {&zip, &directory}) {
            const bool central = record == &directory;
            Put(*record, central ? 0x02014b50 : 0x04034b50, 4);
            if (central) Put(*record, 20, 2);  // made by
            for (std::uint32_t value : {20u, 0u, file.deflated ? 8u : 0u, time, date})
                Put(*record, value, 2);
            for (std::uint32_t value : {crc, static_cast<std::uint32_t>(stored.size()),
                                        static_cast<std::uint32_t>(file.data.size())})
                Put(*record, value, 4);
            Put(*record, static_cast<std::uint32_t>(file.name.size()), 2);
            Put(*record, 0, 2);  // no extra field
            if (central) {
                for (std::uint32_t value : {0u, 0u, 0u})  // comment's length, disk, internal attributes
                    Put(*record, value, 2);
                Put(*record, 0x20, 4);
                Put(*record, offset, 4);
            }
            record->insert(record->end(), file.name.begin(), file.name.end());
        }
        zip.insert(zip.end(), stored.begin(), stored.end());
    }
    const auto directoryOffset = static_cast<std::uint32_t>(zip.size());
    zip.insert(zip.end(), directory.begin(), directory.end());
    Put(zip, 0x06054b50, 4);
    for (std::uint32_t value :
         {0u, 0u, static_cast<std::uint32_t>(files.size()), static_cast<std::uint32_t>(files.size())})
        Put(zip, value, 2);
    Put(zip, static_cast<std::uint32_t>(directory.size()), 4);
    Put(zip, directoryOffset, 4);
    Put(zip, static_cast<std::uint32_t>(comment.size()), 2);
    zip.insert(zip.end(), comment.begin(), comment.end());
    return zip;
}

}  // namespace quillane::kit
