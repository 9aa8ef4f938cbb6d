// The journal of what the test kit saved: read back exactly as written,
// whatever the texts and bytes, and never taken for whole when it is not.

#include "kit/Journal.h"
#include "kit/KitFailure.h"

#include <gtest/gtest.h>

#include <string>

namespace quillane::kit {
namespace {

Journal EveryKind() {
    Journal journal;
    journal.run = "5f3a9c0e11d2";
    journal.machine = "TESTBOX S-1-5-21-1004336348-1177238915-682003330-500 C:\\WINDOWS";
    journal.files = {
        {"C:\\WINDOWS\\VBADDIN.INI", std::vector<std::uint8_t>{'[', 'A', ']', '\r', '\n', 0, 0xFF, '%'},
         0x23},
        {"C:\\Users\\J\xC3\xB6rg M\xC3\xBCller\\AppData\\Local\\VirtualStore\\Windows\\VBADDIN.INI",
         std::nullopt},
        {"C:\\empty file", std::vector<std::uint8_t>{}, 0x80},
    };
    journal.keys = {
        {"HKLM\\Software\\Classes\\CLSID\\{F3FAB5F4-5689-11D5-816A-444553540000}",
         true,
         {"InprocServer32", "InprocServer32\\deeper key"},
         {{"", "", 1, {'x', 0, 0, 0}},
          {"InprocServer32", "ThreadingModel", 1, {'A', 0, 0, 0}},
          {"InprocServer32\\deeper key", "a name with spaces and 100%", 4, {1, 0, 0, 0}},
          {"InprocServer32", "empty", 3, {}}}},
        {"HKCU\\Software\\Classes\\CLSID\\{F3FAB5F4-5689-11D5-816A-444553540000}", false, {}, {}},
    };
    journal.settings = {
        {"HKCU\\Control Panel\\Desktop", "LogPixels", SavedValue{"", "", 4, {0x60, 0, 0, 0}}},
        {"HKCU\\Control Panel\\Colors", "ButtonFace", std::nullopt},
    };
    journal.colours = {{15, 0xF0F0F0}, {18, 0}, {8, 0xFFFFFF}};
    journal.highContrast = SavedHighContrast{0x7E, "High Contrast Black"};
    journal.drives = {{"Q:", "C:\\kit\\report-details\\drive-root"}};
    return journal;
}

TEST(KitJournal, ReadsBackWhatWasWritten) {
    const Journal empty{};
    const Journal full = EveryKind();
    Journal noHighContrast = full;
    noHighContrast.highContrast.reset();
    Journal oddTexts;
    oddTexts.run = "";
    oddTexts.files = {
        {"%", std::nullopt}, {" ", std::nullopt}, {"a\nb\tc\r", std::nullopt}, {"%41", std::nullopt}};
    oddTexts.highContrast = SavedHighContrast{0, ""};
    for (const Journal& journal : {empty, full, noHighContrast, oddTexts}) {
        const std::string text = WriteJournal(journal);
        SCOPED_TRACE(text);
        EXPECT_EQ(ReadJournal(text), journal);
        // A line per item, none of them broken by the texts they hold.
        for (const char c : std::string("\t\r")) EXPECT_EQ(text.find(c), std::string::npos);
    }
}

TEST(KitJournal, AJournalThatIsNotWholeIsRefused) {
    const std::string text = WriteJournal(EveryKind());
    // Cut at every byte: only the whole text, or the whole text without its
    // last line end, is a journal.
    for (std::size_t size = 0; size + 1 < text.size(); ++size) {
        SCOPED_TRACE(size);
        EXPECT_THROW(ReadJournal(text.substr(0, size)), KitFailure);
    }
    const std::pair<const char*, std::string> cases[] = {
        {"no first line", "run x\nend\n"},
        {"another first line", "QuillaneConfig test kit journal 2\nend\n"},
        {"an unknown kind", "QuillaneConfig test kit journal 1\nprinter x\nend\n"},
        {"a word too few", "QuillaneConfig test kit journal 1\nfile C:\\x present 20\nend\n"},
        {"a word too many", "QuillaneConfig test kit journal 1\nfile C:\\x absent 00\nend\n"},
        {"neither present nor absent", "QuillaneConfig test kit journal 1\nkey HKLM\\x gone\nend\n"},
        {"a value before its key", "QuillaneConfig test kit journal 1\nvalue HKLM\\x % % 1 00\nend\n"},
        {"a value of another key",
         "QuillaneConfig test kit journal 1\nkey HKLM\\x present\nvalue HKLM\\y % % 1 00\nend\n"},
        {"a value of an absent key",
         "QuillaneConfig test kit journal 1\nkey HKLM\\x absent\nsubkey HKLM\\x a\nend\n"},
        {"an odd count of hex digits",
         "QuillaneConfig test kit journal 1\nfile C:\\x present 20 0a0\nend\n"},
        {"an upper-case hex digit", "QuillaneConfig test kit journal 1\ncolour F 0\nend\n"},
        {"an escape cut short", "QuillaneConfig test kit journal 1\ndrive Q%3 C:\\x\nend\n"},
        {"a drive without its folder", "QuillaneConfig test kit journal 1\ndrive Q:\nend\n"},
        {"a number past 32 bits", "QuillaneConfig test kit journal 1\ncolour 100000000 0\nend\n"},
        {"high contrast twice",
         "QuillaneConfig test kit journal 1\nhighcontrast 1 %\nhighcontrast 1 %\nend\n"},
        {"a line after the last", "QuillaneConfig test kit journal 1\nend\ndrive Q: C:\\x\n"},
        {"an empty line", "QuillaneConfig test kit journal 1\n\nend\n"},
    };
    for (const auto& [what, journal] : cases) {
        SCOPED_TRACE(what);
        EXPECT_THROW(ReadJournal(journal), KitFailure);
    }
    try {
        ReadJournal("QuillaneConfig test kit journal 1\nrun a\nprinter x\nend\n");
        ADD_FAILURE() << "an unknown kind was read";
    } catch (const KitFailure& failure) {
        EXPECT_STREQ(failure.what(),
                     "the journal's line 3 cannot be read: 'printer' is nothing the kit saves");
    }
}

}  // namespace
}  // namespace quillane::kit
