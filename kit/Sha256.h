#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quillane::kit {

using Sha256Digest = std::array<std::uint8_t, 32>;

// SHA-256 of a message given in any number of pieces.
class Sha256 {
public:
    Sha256();
    void Update(const std::uint8_t* data, std::size_t size);
    // The hash of everything given so far. The message is not ended by it: more
    // may still be given, and Final then covers that too.
    Sha256Digest Final() const;

private:
    void Compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_;  // the part of a block not yet compressed
    std::uint64_t length_ = 0;              // bytes given in all
};

// Lowercase hex, two digits a byte, as sha256sum prints a hash.
std::string ToHex(const std::uint8_t* data, std::size_t size);
std::string ToHex(const Sha256Digest& digest);

// The SHA-256 of a whole message, in lowercase hex.
std::string Sha256Hex(const std::uint8_t* data, std::size_t size);

}  // namespace quillane::kit
