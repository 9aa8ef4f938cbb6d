#pragma once

// What the test kit saved of a machine before its tests changed anything, as
// the journal it writes to disk before the first test starts and deletes
// only once everything is back. Plain data and its text form, which a run
// that died leaves for the next one to put back; texts are UTF-8.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillane::kit {

// A file, with its bytes and attributes (hidden, read-only, ...), or its
// absence.
struct SavedFile {
    std::string path;
    std::optional<std::vector<std::uint8_t>> bytes;
    std::uint32_t attributes = 0;
    bool operator==(const SavedFile& other) const {
        return path == other.path && bytes == other.bytes && attributes == other.attributes;
    }
};

// A registry value: under a saved key, `key` is the path below that key ("" for
// the key itself).
struct SavedValue {
    std::string key;
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    bool operator==(const SavedValue& other) const {
        return key == other.key && name == other.name && type == other.type && data == other.data;
    }
};

// A registry key with all it holds, or its absence. `path` begins with its
// root, "HKLM\" or "HKCU\"; `subkeys` are the paths below it, each after its
// parent.
struct SavedKey {
    std::string path;
    bool exists = false;
    std::vector<std::string> subkeys;
    std::vector<SavedValue> values;
    bool operator==(const SavedKey& other) const {
        return path == other.path && exists == other.exists && subkeys == other.subkeys &&
               values == other.values;
    }
};

// One value of a key that holds others the kit does not touch.
struct SavedSetting {
    std::string key;
    std::string name;
    std::optional<SavedValue> value;  // its `key` and `name` are not used
    bool operator==(const SavedSetting& other) const {
        return key == other.key && name == other.name && value == other.value;
    }
};

// One of the session's colours (GetSysColor's index and its RGB).
struct SavedColour {
    int index = 0;
    std::uint32_t rgb = 0;
    bool operator==(const SavedColour& other) const { return index == other.index && rgb == other.rgb; }
};

// The high-contrast setting in full: its flags and its scheme's name.
struct SavedHighContrast {
    std::uint32_t flags = 0;
    std::string scheme;
    bool operator==(const SavedHighContrast& other) const {
        return flags == other.flags && scheme == other.scheme;
    }
};

// A drive letter defined for the tests ("Q:"), and the folder it names.
struct SavedDrive {
    std::string letter;
    std::string target;
    bool operator==(const SavedDrive& other) const {
        return letter == other.letter && target == other.target;
    }
};

struct Journal {
    // Names this run, so that only its own test programs find it.
    std::string run;
    // The machine, user and Windows it was saved from, which alone it may be
    // put back on.
    std::string machine;
    std::vector<SavedFile> files;
    std::vector<SavedKey> keys;
    std::vector<SavedSetting> settings;
    std::vector<SavedColour> colours;
    std::optional<SavedHighContrast> highContrast;
    std::vector<SavedDrive> drives;
    bool operator==(const Journal& other) const {
        return run == other.run && machine == other.machine && files == other.files &&
               keys == other.keys && settings == other.settings && colours == other.colours &&
               highContrast == other.highContrast && drives == other.drives;
    }
};

// The journal as text: a line per item, every text escaped so that it holds
// no space, and a last line that marks it whole.
std::string WriteJournal(const Journal& journal);
// Reads what WriteJournal wrote; a journal that is not whole, or that holds
// anything else, is a KitFailure naming the line.
Journal ReadJournal(const std::string& text);

}  // namespace quillane::kit
