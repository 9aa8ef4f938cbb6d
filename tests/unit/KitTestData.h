#pragma once

// What the kit's tests are made of: zlib as the reference that the kit's
// inflate is tested against.

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <random>
#include <stdexcept>
#include <vector>

namespace quillane::kit {

using Bytes = std::vector<std::uint8_t>;

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

}  // namespace quillane::kit
