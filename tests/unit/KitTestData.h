#pragma once

// What the kit's tests are made of, and zlib, a reference to test against.

#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

namespace quillane::kit {

using Bytes = std::vector<std::uint8_t>;

inline Bytes RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

}  // namespace quillane::kit
