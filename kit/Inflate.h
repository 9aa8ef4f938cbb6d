#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillane::kit {

// Unpacks raw DEFLATE data (RFC 1951, as a zip entry holds it: no zlib or gzip
// wrapper), which must be exactly one stream: its last block ends in the last
// byte given. Damaged or truncated data, and data that would unpack to more
// than outputLimit bytes, end in a KitFailure that says why; nothing is read or
// written outside the input and the output, whatever the input holds.
std::vector<std::uint8_t> Inflate(const std::uint8_t* data, std::size_t size, std::size_t outputLimit);

}  // namespace quillane::kit
