// The kit's hashes against published values: SHA-256 against FIPS 180's
// examples and values from sha256sum, CRC-32 against its check values and zlib.

#include "kit/Crc32.h"
#include "kit/Sha256.h"
#include "tests/unit/KitTestData.h"

#include <gtest/gtest.h>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quillane::kit {
namespace {

const std::uint8_t* BytesOf(const std::string& text) {
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

std::string HashInPieces(const std::string& message, std::size_t first, std::size_t second) {
    Sha256 hash;
    hash.Update(BytesOf(message), first);
    hash.Final();  // a look at the hash so far ends nothing
    hash.Update(BytesOf(message) + first, second - first);
    hash.Update(BytesOf(message) + second, message.size() - second);
    return ToHex(hash.Final());
}

const std::string kFipsTwoBlocks =
    "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmno"
    "pqrstnopqrstu";

TEST(KitSha256, KnownMessagesGiveTheirPublishedHashes) {
    // Lengths around a block's end too, where the padding takes one more block.
    const std::pair<std::string, std::string> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {kFipsTwoBlocks, "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(65, 'a'), "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
        {std::string(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
        {std::string(120, 'a'), "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
        {std::string(128, 'a'), "6836cf13bac400e9105071cd6af47084dfacad4e5e302c94bfed24e013afb73e"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [message, hash] : cases)
        EXPECT_EQ(Sha256Hex(BytesOf(message), message.size()), hash)
            << "a message of " << message.size() << " bytes";
}

TEST(KitSha256, AMessageInThreePiecesSplitAnywhereGivesTheSameHash) {
    const std::string expected = "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1";
    for (std::size_t first = 0; first <= kFipsTwoBlocks.size(); ++first)
        for (std::size_t second = first; second <= kFipsTwoBlocks.size(); ++second)
            ASSERT_EQ(HashInPieces(kFipsTwoBlocks, first, second), expected)
                << "pieces end at " << first << " and " << second;
}

TEST(KitCrc32, CheckValuesAndZlibsCrcOfDataInPieces) {
    const std::pair<std::string, std::uint32_t> cases[] = {
        {"", 0},
        {"123456789", 0xcbf43926},
        {"The quick brown fox jumps over the lazy dog", 0x414fa339},
    };
    for (const auto& [message, crc] : cases)
        EXPECT_EQ(Crc32(BytesOf(message), message.size()), crc) << message;

    std::mt19937 random(1951);
    std::vector<std::uint8_t> data(5000);
    for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
    for (std::size_t size : {1u, 2u, 3u, 255u, 256u, 4999u, 5000u}) {
        const auto expected = static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(size)));
        EXPECT_EQ(Crc32(data.data(), size), expected) << size << " bytes";
        const std::size_t split = size / 3;
        EXPECT_EQ(Crc32(data.data() + split, size - split, Crc32(data.data(), split)), expected)
            << size << " bytes in two pieces";
    }
}

}  // namespace
}  // namespace quillane::kit
