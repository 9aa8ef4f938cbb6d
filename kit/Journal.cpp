#include "kit/Journal.h"

#include "kit/KitFailure.h"

#include <sstream>

namespace quillane::kit {
namespace {

constexpr char kFirstLine[] = "QuillaneConfig test kit journal 1";
constexpr char kLastLine[] = "end";
constexpr char kHex[] = "0123456789abcdef";

// A text with every byte that is not a visible ASCII character, and '%',
// written as %XX: no spaces, no line ends, any bytes.
std::string Escaped(const std::string& text) {
    std::string escaped = text.empty() ? "%" : "";  // "%" alone: the empty text
    for (const unsigned char c : text) {
        if (c > 0x20 && c < 0x7F && c != '%') {
            escaped += static_cast<char>(c);
        } else {
            escaped += '%';
            escaped += kHex[c >> 4];
            escaped += kHex[c & 0xF];
        }
    }
    return escaped;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string hex = bytes.empty() ? "-" : "";
    for (const std::uint8_t byte : bytes) {
        hex += kHex[byte >> 4];
        hex += kHex[byte & 0xF];
    }
    return hex;
}

// Reads the words of one line, each as its writer wrote it.
class Line {
public:
    Line(const std::string& text, int number) : number_(number) {
        std::istringstream words(text);
        for (std::string word; words >> word;) words_.push_back(word);
    }
    const std::string& Kind() const { return Word(0); }
    std::size_t Size() const { return words_.size(); }
    void Expect(std::size_t size) const {
        if (words_.size() != size)
            Fail("it has " + std::to_string(words_.size()) + " words, not " + std::to_string(size));
    }
    std::string Text(std::size_t i) const {
        const std::string& word = Word(i);
        if (word == "%") return {};
        std::string text;
        for (std::size_t at = 0; at < word.size(); ++at) {
            if (word[at] != '%') {
                text += word[at];
                continue;
            }
            if (at + 2 >= word.size()) Fail("an escape is cut short");
            text += static_cast<char>(Digit(word[at + 1]) << 4 | Digit(word[at + 2]));
            at += 2;
        }
        return text;
    }
    std::vector<std::uint8_t> Bytes(std::size_t i) const {
        const std::string& word = Word(i);
        std::vector<std::uint8_t> bytes;
        if (word == "-") return bytes;
        if (word.size() % 2) Fail("its bytes are an odd count of hex digits");
        for (std::size_t at = 0; at < word.size(); at += 2)
            bytes.push_back(static_cast<std::uint8_t>(Digit(word[at]) << 4 | Digit(word[at + 1])));
        return bytes;
    }
    std::uint32_t Number(std::size_t i) const {
        const std::string& word = Word(i);
        if (word.empty() || word.size() > 8) Fail("'" + word + "' is not a number of 32 bits");
        std::uint32_t number = 0;
        for (const char c : word) number = number << 4 | Digit(c);
        return number;
    }
    bool Present(std::size_t i) const {
        const std::string& word = Word(i);
        if (word != "present" && word != "absent") Fail("'" + word + "' is neither present nor absent");
        return word == "present";
    }
    [[noreturn]] void Fail(const std::string& why) const {
        throw KitFailure("the journal's line " + std::to_string(number_) + " cannot be read: " + why);
    }

private:
    const std::string& Word(std::size_t i) const {
        if (i >= words_.size()) Fail("it has too few words");
        return words_[i];
    }
    std::uint8_t Digit(char c) const {
        if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
        if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
        Fail(std::string("'") + c + "' is not a lowercase hex digit");
    }

    int number_;
    std::vector<std::string> words_;
};

std::string NumberText(std::uint32_t number) {
    std::string text;
    do {
        text.insert(text.begin(), kHex[number & 0xF]);
        number >>= 4;
    } while (number);
    return text;
}

void WriteValue(std::ostringstream& out, const char* kind, const std::string& where,
                const SavedValue& value) {
    out << kind << ' ' << where << ' ' << Escaped(value.key) << ' ' << Escaped(value.name) << ' '
        << NumberText(value.type) << ' ' << Hex(value.data) << '\n';
}

}  // namespace

std::string WriteJournal(const Journal& journal) {
    std::ostringstream out;
    out << kFirstLine << '\n' << "run " << Escaped(journal.run) << '\n';
    out << "machine " << Escaped(journal.machine) << '\n';
    for (const SavedFile& file : journal.files) {
        out << "file " << Escaped(file.path)
            << (file.bytes ? " present " + NumberText(file.attributes) + " " + Hex(*file.bytes)
                           : " absent")
            << '\n';
    }
    for (const SavedKey& key : journal.keys) {
        out << "key " << Escaped(key.path) << (key.exists ? " present" : " absent") << '\n';
        for (const std::string& subkey : key.subkeys)
            out << "subkey " << Escaped(key.path) << ' ' << Escaped(subkey) << '\n';
        for (const SavedValue& value : key.values) WriteValue(out, "value", Escaped(key.path), value);
    }
    for (const SavedSetting& setting : journal.settings) {
        out << "setting " << Escaped(setting.key) << ' ' << Escaped(setting.name)
            << (setting.value
                    ? " present " + NumberText(setting.value->type) + " " + Hex(setting.value->data)
                    : " absent")
            << '\n';
    }
    for (const SavedColour& colour : journal.colours)
        out << "colour " << NumberText(static_cast<std::uint32_t>(colour.index)) << ' '
            << NumberText(colour.rgb) << '\n';
    if (journal.highContrast)
        out << "highcontrast " << NumberText(journal.highContrast->flags) << ' '
            << Escaped(journal.highContrast->scheme) << '\n';
    for (const SavedDrive& drive : journal.drives)
        out << "drive " << Escaped(drive.letter) << ' ' << Escaped(drive.target) << '\n';
    out << kLastLine << '\n';
    return out.str();
}

Journal ReadJournal(const std::string& text) {
    std::istringstream in(text);
    std::string raw;
    if (!std::getline(in, raw) || raw != kFirstLine)
        throw KitFailure("the journal does not begin with \"" + std::string(kFirstLine) + "\"");
    Journal journal;
    bool whole = false;
    int number = 1;
    while (std::getline(in, raw)) {
        const Line line(raw, ++number);
        if (whole) line.Fail("it follows the journal's last line");
        if (line.Size() == 0) line.Fail("it is empty");
        const std::string& kind = line.Kind();
        if (kind == "run") {
            line.Expect(2);
            journal.run = line.Text(1);
        } else if (kind == "machine") {
            line.Expect(2);
            journal.machine = line.Text(1);
        } else if (kind == "file") {
            const bool present = line.Present(2);
            line.Expect(present ? 5 : 3);
            journal.files.push_back({line.Text(1), present ? std::optional(line.Bytes(4)) : std::nullopt,
                                     present ? line.Number(3) : 0});
        } else if (kind == "key") {
            line.Expect(3);
            journal.keys.push_back({line.Text(1), line.Present(2), {}, {}});
        } else if (kind == "subkey" || kind == "value") {
            line.Expect(kind == "subkey" ? 3 : 6);
            if (journal.keys.empty() || journal.keys.back().path != line.Text(1) ||
                !journal.keys.back().exists)
                line.Fail("it does not follow the key it belongs to");
            SavedKey& key = journal.keys.back();
            if (kind == "subkey")
                key.subkeys.push_back(line.Text(2));
            else
                key.values.push_back({line.Text(2), line.Text(3), line.Number(4), line.Bytes(5)});
        } else if (kind == "setting") {
            const bool present = line.Present(3);
            line.Expect(present ? 6 : 4);
            std::optional<SavedValue> value;
            if (present) value = SavedValue{"", "", line.Number(4), line.Bytes(5)};
            journal.settings.push_back({line.Text(1), line.Text(2), value});
        } else if (kind == "colour") {
            line.Expect(3);
            journal.colours.push_back({static_cast<int>(line.Number(1)), line.Number(2)});
        } else if (kind == "highcontrast") {
            line.Expect(3);
            if (journal.highContrast) line.Fail("the high-contrast setting is saved twice");
            journal.highContrast = SavedHighContrast{line.Number(1), line.Text(2)};
        } else if (kind == "drive") {
            line.Expect(3);
            journal.drives.push_back({line.Text(1), line.Text(2)});
        } else if (kind == kLastLine) {
            line.Expect(1);
            whole = true;
        } else {
            line.Fail("'" + kind + "' is nothing the kit saves");
        }
    }
    if (!whole) throw KitFailure("the journal is cut short: it has no last line");
    return journal;
}

}  // namespace quillane::kit
