// The kit's inflate against zlib: every stream zlib makes unpacks to its data,
// and on damaged streams, whether made by hand or by random changes to a good
// one, both give the same verdict.

#include "kit/Inflate.h"
#include "kit/KitFailure.h"
#include "tests/unit/KitTestData.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace quillane::kit {
namespace {

// The kit's verdict in zlib's terms: the bytes, or nothing and why.
std::optional<Bytes> KitInflate(const Bytes& stream, std::size_t limit, std::string* why = nullptr) {
    try {
        return Inflate(stream.data(), stream.size(), limit);
    } catch (const KitFailure& failure) {
        if (why) *why = failure.what();
        return std::nullopt;
    }
}

enum class Kind { Zeros, Random, Text };

Bytes MakeData(Kind kind, std::size_t size, unsigned seed) {
    if (kind == Kind::Zeros) return Bytes(size, 0);
    if (kind == Kind::Random) return RandomBytes(size, seed);
    static const char* const kWords[] = {"the ", "registry ", "add-in ", "QuillaneConfig ", "list\r\n",
                                         "of ",  "0x1f ",     "\t",      "Windows ",        "COM "};
    std::mt19937 random(seed);
    Bytes text;
    while (text.size() < size)
        for (const char* c = kWords[random() % 10]; *c; ++c)
            text.push_back(static_cast<std::uint8_t>(*c));
    text.resize(size);
    return text;
}

TEST(KitInflate, UnpacksWhatZlibPacksAtEveryLevelAndStrategy) {
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    for (Kind kind : {Kind::Zeros, Kind::Random, Kind::Text})
        for (std::size_t size : {0u, 1u, 2u, 3u, 258u, 259u, 1000u, 70000u}) {
            const Bytes data = MakeData(kind, size, static_cast<unsigned>(size));
            for (int level = 0; level <= 9; ++level)
                for (int strategy : strategies) {
                    SCOPED_TRACE(::testing::Message()
                                 << "kind " << static_cast<int>(kind) << ", " << size << " bytes, level "
                                 << level << ", strategy " << strategy);
                    const Bytes stream = RawDeflate(data, level, strategy);
                    std::string why;
                    EXPECT_EQ(KitInflate(stream, size, &why), data) << why;
                }
        }
}

TEST(KitInflate, StopsAtTheOutputLimit) {
    for (int level : {0, 1, 9}) {
        const Bytes data = MakeData(Kind::Text, 5000, 7);
        const Bytes stream = RawDeflate(data, level);
        EXPECT_EQ(KitInflate(stream, data.size() + 1), data) << "level " << level;
        std::string why;
        EXPECT_EQ(KitInflate(stream, data.size() - 1, &why), std::nullopt) << "level " << level;
        EXPECT_EQ(why, "its compressed data unpacks to more than the 4999 bytes expected");
    }
}

// Writes a DEFLATE stream bit by bit: numbers with their lowest bit first,
// Huffman codes with their first bit (the highest) first.
class BitWriter {
public:
    BitWriter& Bits(std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
        return *this;
    }
    BitWriter& Code(std::uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
        return *this;
    }
    BitWriter& Block(bool last, int type) { return Bits(last, 1).Bits(type, 2); }
    BitWriter& Fixed(int symbol) {  // a literal or length in the fixed code
        if (symbol < 144) return Code(0x30 + symbol, 8);
        if (symbol < 256) return Code(0x190 + symbol - 144, 9);
        if (symbol < 280) return Code(symbol - 256, 7);
        return Code(0xc0 + symbol - 280, 8);
    }
    BitWriter& WholeBytes(std::initializer_list<std::uint8_t> bytes) {
        bits_ = 0;  // from the next byte on
        bytes_.insert(bytes_.end(), bytes);
        return *this;
    }
    // The last block, dynamic: its counts of codes, and the lengths of its
    // code-length code in the order the stream gives them (16, 17, 18, 0, 8...).
    BitWriter& DynamicHeader(int literals, int distances, std::initializer_list<int> lengthCodeLengths) {
        Block(true, 2).Bits(literals - 257, 5).Bits(distances - 1, 5);
        Bits(static_cast<std::uint32_t>(lengthCodeLengths.size() - 4), 4);
        for (int length : lengthCodeLengths) Bits(length, 3);
        return *this;
    }
    // A last, dynamic block's header and code lengths. Its code-length code
    // gives the lengths 0 to 15 four bits each (code n for length n), no repeats.
    BitWriter& Dynamic(const Bytes& literals, const Bytes& distances) {
        DynamicHeader(static_cast<int>(literals.size()), static_cast<int>(distances.size()),
                      {0, 0, 0, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4});
        for (const Bytes* lengths : {&literals, &distances})
            for (std::uint8_t length : *lengths) Code(length, 4);
        return *this;
    }
    Bytes Done() const { return bytes_; }

private:
    void Bit(std::uint32_t bit) {
        if (bits_ == 0) bytes_.push_back(0);
        bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | bit << bits_);
        bits_ = (bits_ + 1) % 8;
    }
    Bytes bytes_;
    int bits_ = 0;
};

// `count` code lengths, all 0 but those given as {symbol, length}.
Bytes Lengths(std::size_t count, std::initializer_list<std::pair<int, int>> set) {
    Bytes lengths(count, 0);
    for (const auto& [symbol, length] : set) lengths[symbol] = static_cast<std::uint8_t>(length);
    return lengths;
}

TEST(KitInflate, RefusesMalformedStreamsAsZlibDoesAndSaysWhy) {
    const Bytes noDistances = Lengths(1, {});
    // Literal 'a' (code 0), end of block (10), length 3 (11).
    const Bytes aEndLength = Lengths(258, {{'a', 1}, {256, 2}, {257, 2}});
    using W = BitWriter;
    struct Case {
        const char* name;
        Bytes stream;
        const char* why;  // empty where the stream is good
    } cases[] = {
        {"nothing", {}, "it ends before its last block does"},
        {"a block of type 3", W().Block(true, 3).Done(), "a block of an unknown type"},
        // Past the fixed block, the padding reads as the header of a stored block.
        {"no last block", W().Block(false, 1).Fixed(256).Done(), "it ends inside a stored block"},
        {"a stored block's check wrong", W().Block(true, 0).WholeBytes({1, 0, 0xfe, 0xfe, 'a'}).Done(),
         "a stored block's length and its check disagree"},
        {"a stored block cut short", W().Block(true, 0).WholeBytes({2, 0, 0xfd, 0xff, 'a'}).Done(),
         "it ends inside a stored block"},
        {"a stored block, then more", W().Block(true, 0).WholeBytes({1, 0, 0xfe, 0xff, 'a', 0}).Done(),
         "more data follows its last block (1 bytes)"},
        {"a copy from before the start", W().Block(true, 1).Fixed('a').Fixed(257).Code(1, 5).Done(),
         "a copy reaches back before the start of the data"},
        {"length symbol 286", W().Block(true, 1).Fixed('a').Fixed(286).Code(0, 5).Done(),
         "it holds an unknown length code"},
        {"distance symbol 30", W().Block(true, 1).Fixed('a').Fixed(257).Code(30, 5).Done(),
         "it holds an unknown distance code"},
        {"287 literal codes", W().DynamicHeader(287, 1, {0, 0, 0, 0}).Done(),
         "a block declares more codes than there are symbols"},
        {"31 distance codes", W().DynamicHeader(257, 31, {0, 0, 0, 0}).Done(),
         "a block declares more codes than there are symbols"},
        {"a code-length code of too many codes", W().DynamicHeader(257, 1, {1, 1, 1, 0}).Done(),
         "a block's code-length code has more codes than its lengths allow"},
        {"a code-length code with codes unused", W().DynamicHeader(257, 1, {1, 2, 0, 0}).Done(),
         "a block's code-length code leaves codes unused"},
        // Code lengths 16 and 17 one bit each: a repeat (0), then zeros (1).
        {"a repeat before any length",
         W().DynamicHeader(257, 1, {1, 1, 0, 0}).Code(0, 1).Bits(0, 2).Done(),
         "a block repeats a code length before it gives one"},
        // Code lengths 18 (138 zeros at most) one bit, 0 and 17 two; 258 lengths in all.
        {"zeros past the last symbol",
         W().DynamicHeader(257, 1, {0, 2, 1, 2}).Code(0, 1).Bits(127, 7).Code(0, 1).Bits(127, 7).Done(),
         "a block repeats a code length past its last symbol"},
        {"only zeros",
         W().DynamicHeader(257, 1, {0, 2, 1, 2}).Code(0, 1).Bits(127, 7).Code(0, 1).Bits(109, 7).Done(),
         "a block has no code for its end"},
        {"a literal code of too many codes",
         W().Dynamic(Lengths(257, {{'a', 1}, {'b', 1}, {256, 1}}), noDistances).Done(),
         "a block's literal code has more codes than its lengths allow"},
        {"a literal code with codes unused",
         W().Dynamic(Lengths(257, {{'a', 1}, {256, 2}}), noDistances).Code(2, 2).Done(),
         "a block's literal code leaves codes unused"},
        {"a distance code with codes unused",
         W().Dynamic(aEndLength, Lengths(2, {{0, 2}, {1, 2}})).Code(2, 2).Done(),
         "a block's distance code leaves codes unused"},
        {"a code of one bit that is not there",
         W().Dynamic(Lengths(257, {{256, 1}}), noDistances).Code(1, 1).Done(),
         "it holds a code that its block does not define"},
        {"a copy with no distance code",
         W().Dynamic(aEndLength, noDistances).Code(0, 1).Code(3, 2).Done(),
         "it holds a code that its block does not define"},
        {"an end code of one bit", W().Dynamic(Lengths(257, {{256, 1}}), noDistances).Code(0, 1).Done(),
         ""},
        {"a distance code of one bit",
         W().Dynamic(aEndLength, Lengths(1, {{0, 1}}))
             .Code(0, 1)
             .Code(3, 2)
             .Code(0, 1)
             .Code(2, 2)
             .Done(),
         ""},
    };
    for (const Case& c : cases) {
        std::string why;
        const auto kit = KitInflate(c.stream, 100, &why);
        EXPECT_EQ(kit, ZlibInflate(c.stream, 100)) << c.name << ": the kit and zlib disagree";
        if (*c.why) {
            EXPECT_NE(why.find(c.why), std::string::npos) << c.name << ": " << why;
        } else {
            EXPECT_EQ(why, "") << c.name;
        }
    }
}

// A stream with blocks of all three kinds: stored, fixed and dynamic, and the
// empty stored blocks that a flush writes.
Bytes MixedStream(const Bytes& data) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 0, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes out(2 * data.size() + 1024);
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const std::size_t third = data.size() / 3;
    const int strategies[] = {Z_FIXED, Z_DEFAULT_STRATEGY};
    for (std::size_t i = 0; i < 3; ++i) {
        stream.next_in = const_cast<Bytef*>(data.data() + i * third);
        stream.avail_in = static_cast<uInt>(i == 2 ? data.size() - 2 * third : third);
        EXPECT_GE(deflate(&stream, i == 2 ? Z_FINISH : Z_SYNC_FLUSH), Z_OK);
        if (i < 2) {
            EXPECT_EQ(deflateParams(&stream, 9, strategies[i]), Z_OK);
        }
    }
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

TEST(KitInflate, EveryTruncationFailsAndRandomDamageGetsZlibsVerdict) {
    const Bytes data = MakeData(Kind::Text, 3000, 11);
    const Bytes stream = MixedStream(data);
    ASSERT_EQ(KitInflate(stream, data.size()), data);
    for (std::size_t size = 0; size < stream.size(); ++size)
        EXPECT_EQ(KitInflate(Bytes(stream.begin(), stream.begin() + size), data.size()), std::nullopt)
            << "the first " << size << " of " << stream.size() << " bytes";

    std::mt19937 random(1951);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        const Bytes damaged = Damaged(stream, random);
        const auto kit = KitInflate(damaged, data.size());
        ASSERT_EQ(kit, ZlibInflate(damaged, data.size())) << "round " << round;
        refused += !kit;
    }
    EXPECT_GT(refused, 1000) << "too few damaged streams were refused to show much";
}

}  // namespace
}  // namespace quillane::kit
