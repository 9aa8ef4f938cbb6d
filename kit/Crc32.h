#pragma once

#include <cstddef>
#include <cstdint>

namespace quillane::kit {

// The CRC-32 that zip archives store (polynomial 0xEDB88320, reflected, with
// the value inverted before and after). A message in pieces: pass each piece
// with the CRC of what came before; the CRC of nothing is 0.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace quillane::kit
