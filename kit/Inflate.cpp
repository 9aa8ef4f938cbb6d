#include "kit/Inflate.h"

#include "kit/KitFailure.h"

#include <array>
#include <string>
#include <utility>

namespace quillane::kit {
namespace {

constexpr int kMaxCodeLength = 15;
constexpr int kLiteralLengthSymbols = 288;  // 286 and 287 take part in the codes but mean nothing
constexpr int kDistanceSymbols = 32;        // so do 30 and 31
constexpr int kEndOfBlock = 256;

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtraBits = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> kDistanceExtraBits = {
    0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block gives the lengths of its code-length code.
constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};

[[noreturn]] void Damaged(const std::string& why) {
    throw KitFailure("its compressed data is damaged (" + why + ")");
}

// Reads the stream's bits, least significant bit of each byte first.
class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // The next `count` bits (at most 16) as a number, the first bit lowest.
    std::uint32_t Bits(int count) {
        std::uint32_t value = held_;
        while (heldCount_ < count) {
            if (position_ == size_) Damaged("it ends before its last block does");
            value |= std::uint32_t{data_[position_++]} << heldCount_;
            heldCount_ += 8;
        }
        held_ = value >> count;
        heldCount_ -= count;
        return value & ((std::uint32_t{1} << count) - 1);
    }

    // Drops the bits left in the current byte (fewer than 8 are ever held).
    void SkipToByte() {
        held_ = 0;
        heldCount_ = 0;
    }

    // Whole bytes, once at a byte boundary.
    std::size_t BytesLeft() const { return size_ - position_; }
    const std::uint8_t* Take(std::size_t count) {
        if (count > BytesLeft()) Damaged("it ends inside a stored block");
        const std::uint8_t* taken = data_ + position_;
        position_ += count;
        return taken;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
    std::uint32_t held_ = 0;
    int heldCount_ = 0;
};

// A canonical Huffman code, as counts of codes of each length and the symbols
// in code order.
struct HuffmanCode {
    std::array<std::uint16_t, kMaxCodeLength + 1> countOfLength{};
    std::array<std::uint16_t, kLiteralLengthSymbols> symbols{};
    int used = 0;    // symbols with a code
    int unused = 0;  // codes of the longest length left over: 0 when the code is complete
};

HuffmanCode BuildCode(const std::uint8_t* lengths, int symbolCount, const char* name) {
    HuffmanCode code;
    for (int symbol = 0; symbol < symbolCount; ++symbol) ++code.countOfLength[lengths[symbol]];
    code.used = symbolCount - code.countOfLength[0];
    int left = 1;
    for (int length = 1; length <= kMaxCodeLength; ++length) {
        left = 2 * left - code.countOfLength[length];
        if (left < 0) Damaged(std::string(name) + " has more codes than its lengths allow");
    }
    code.unused = left;
    std::array<std::uint16_t, kMaxCodeLength + 2> next{};
    for (int length = 1; length <= kMaxCodeLength; ++length)
        next[length + 1] = static_cast<std::uint16_t>(next[length] + code.countOfLength[length]);
    for (int symbol = 0; symbol < symbolCount; ++symbol)
        if (lengths[symbol] != 0)
            code.symbols[next[lengths[symbol]]++] = static_cast<std::uint16_t>(symbol);
    return code;
}

// A code with unused codes can still be read, but it is a sign of damage; as
// zlib does, only a single code of one bit (and, for distances, no code at all)
// is let through.
void RequireComplete(const HuffmanCode& code, const char* name, bool mayBeEmpty) {
    const bool single = code.used == 1 && code.countOfLength[1] == 1;
    const bool empty = code.used == 0 && mayBeEmpty;
    if (code.unused != 0 && !single && !empty) Damaged(std::string(name) + " leaves codes unused");
}

int Decode(BitReader& in, const HuffmanCode& code) {
    // The codes of one length are consecutive numbers, starting at `first`;
    // `code - first` never falls below 0.
    int value = 0, first = 0, index = 0;
    for (int length = 1; length <= kMaxCodeLength; ++length) {
        value |= static_cast<int>(in.Bits(1));
        const int count = code.countOfLength[length];
        if (value - first < count) return code.symbols[index + value - first];
        index += count;
        if (index == code.used) break;  // no longer codes: the bits read so far name none
        first = (first + count) << 1;
        value <<= 1;
    }
    Damaged("it holds a code that its block does not define");
}

class Inflater {
public:
    Inflater(const std::uint8_t* data, std::size_t size, std::size_t limit)
        : in_(data, size), limit_(limit) {}

    std::vector<std::uint8_t> Run() {
        bool last;
        do {
            last = in_.Bits(1) == 1;
            switch (in_.Bits(2)) {
            case 0:
                StoredBlock();
                break;
            case 1:
                FixedBlock();
                break;
            case 2:
                DynamicBlock();
                break;
            default:
                Damaged("it holds a block of an unknown type");
            }
        } while (!last);
        in_.SkipToByte();
        if (in_.BytesLeft() != 0)
            Damaged("more data follows its last block (" + std::to_string(in_.BytesLeft()) + " bytes)");
        return std::move(out_);
    }

private:
    void Grow(std::size_t count) {
        if (count > limit_ - out_.size())
            throw KitFailure("its compressed data unpacks to more than the " + std::to_string(limit_) +
                             " bytes expected");
    }

    void StoredBlock() {
        in_.SkipToByte();
        const std::uint8_t* header = in_.Take(4);
        const unsigned length = header[0] | header[1] << 8;
        const unsigned complement = header[2] | header[3] << 8;
        if (length != (~complement & 0xffff)) Damaged("a stored block's length and its check disagree");
        const std::uint8_t* bytes = in_.Take(length);
        Grow(length);
        out_.insert(out_.end(), bytes, bytes + length);
    }

    void FixedBlock() {
        static const std::array<HuffmanCode, 2> codes = [] {
            std::array<std::uint8_t, kLiteralLengthSymbols> lengths{};
            for (int symbol = 0; symbol < kLiteralLengthSymbols; ++symbol)
                lengths[symbol] = symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
            std::array<std::uint8_t, kDistanceSymbols> distances{};
            distances.fill(5);
            return std::array<HuffmanCode, 2>{
                BuildCode(lengths.data(), kLiteralLengthSymbols, "the fixed code"),
                BuildCode(distances.data(), kDistanceSymbols, "the fixed code")};
        }();
        Codes(codes[0], codes[1]);
    }

    void DynamicBlock() {
        const int literalCount = static_cast<int>(in_.Bits(5)) + 257;
        const int distanceCount = static_cast<int>(in_.Bits(5)) + 1;
        const int lengthCodeCount = static_cast<int>(in_.Bits(4)) + 4;
        if (literalCount > 286 || distanceCount > 30)
            Damaged("a block declares more codes than there are symbols");

        std::array<std::uint8_t, 19> lengthCodeLengths{};
        for (int i = 0; i < lengthCodeCount; ++i)
            lengthCodeLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(in_.Bits(3));
        const HuffmanCode lengthCode =
            BuildCode(lengthCodeLengths.data(), 19, "a block's code-length code");
        if (lengthCode.unused != 0) Damaged("a block's code-length code leaves codes unused");

        // The lengths of both codes come as one sequence, and a repeat may run
        // from the one into the other.
        std::array<std::uint8_t, 286 + 30> lengths{};
        const int total = literalCount + distanceCount;
        for (int index = 0; index < total;) {
            const int symbol = Decode(in_, lengthCode);
            if (symbol < 16) {
                lengths[index++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            std::uint8_t repeated = 0;
            int times;
            if (symbol == 16) {
                if (index == 0) Damaged("a block repeats a code length before it gives one");
                repeated = lengths[index - 1];
                times = 3 + static_cast<int>(in_.Bits(2));
            } else if (symbol == 17) {
                times = 3 + static_cast<int>(in_.Bits(3));
            } else {
                times = 11 + static_cast<int>(in_.Bits(7));
            }
            if (times > total - index) Damaged("a block repeats a code length past its last symbol");
            for (; times > 0; --times) lengths[index++] = repeated;
        }
        if (lengths[kEndOfBlock] == 0) Damaged("a block has no code for its end");

        const HuffmanCode literals = BuildCode(lengths.data(), literalCount, "a block's literal code");
        RequireComplete(literals, "a block's literal code", false);
        const HuffmanCode distances =
            BuildCode(lengths.data() + literalCount, distanceCount, "a block's distance code");
        RequireComplete(distances, "a block's distance code", true);
        Codes(literals, distances);
    }

    void Codes(const HuffmanCode& literals, const HuffmanCode& distances) {
        for (;;) {
            const int symbol = Decode(in_, literals);
            if (symbol < 256) {
                Grow(1);
                out_.push_back(static_cast<std::uint8_t>(symbol));
                continue;
            }
            if (symbol == kEndOfBlock) return;
            const int lengthSymbol = symbol - 257;
            if (lengthSymbol >= static_cast<int>(kLengthBase.size()))
                Damaged("it holds an unknown length code");
            const std::size_t length =
                kLengthBase[lengthSymbol] + in_.Bits(kLengthExtraBits[lengthSymbol]);
            const int distanceSymbol = Decode(in_, distances);
            if (distanceSymbol >= static_cast<int>(kDistanceBase.size()))
                Damaged("it holds an unknown distance code");
            const std::size_t distance =
                kDistanceBase[distanceSymbol] + in_.Bits(kDistanceExtraBits[distanceSymbol]);
            if (distance > out_.size()) Damaged("a copy reaches back before the start of the data");
            Grow(length);
            // The copy may overlap what it writes: byte by byte, in order.
            const std::size_t start = out_.size();
            out_.resize(start + length);
            for (std::size_t i = 0; i < length; ++i) out_[start + i] = out_[start - distance + i];
        }
    }

    BitReader in_;
    std::size_t limit_;
    std::vector<std::uint8_t> out_;
};

}  // namespace

std::vector<std::uint8_t> Inflate(const std::uint8_t* data, std::size_t size, std::size_t outputLimit) {
    return Inflater(data, size, outputLimit).Run();
}

}  // namespace quillane::kit
