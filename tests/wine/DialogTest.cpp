// The dialog inside this test process, where Wine lets its fonts and icons be
// read, and where a failing platform can be put behind it; and the resources of
// the built program, read as data.

#include "app/ConfigDialog.h"
#include "tests/unit/FakePlatformServices.h"
#include "tests/wine/WineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace quillane {
namespace {

using namespace wine;

// The scripted platform, closing the real window when asked to.
class WindowClosingFake : public testing::FakePlatformServices {
public:
    void CloseDialog(DialogHandle dialog) override {
        FakePlatformServices::CloseDialog(dialog);
        DestroyWindow(static_cast<HWND>(dialog));
    }
};

int ScreenDpiY() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

LOGFONTW FontOf(HWND control) {
    LOGFONTW font{};
    const auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    EXPECT_NE(handle, nullptr) << "control " << GetDlgCtrlID(control) << " has the system font";
    if (handle) GetObjectW(handle, sizeof(font), &font);
    return font;
}

const std::set<COLORREF> kIconColours = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(191, 191, 191),
                                         RGB(0, 0, 127)};

class DialogInProcess : public ::testing::Test {
protected:
    void SetUp() override {
        RequireDisplay();
        dialog_.reset();
        fake_ = WindowClosingFake();
        fake_.creations = {true};
        dialog_ = std::make_unique<ConfigDialog>(GetModuleHandleW(nullptr), fake_);
        ASSERT_TRUE(dialog_->Create());
    }

    // Shows the dialog, clicks OK and runs it until it closes.
    int ClickOk() {
        dialog_->Load();
        EXPECT_TRUE(dialog_->IsOpen());
        dialog_->Show(SW_SHOWNORMAL);
        PostMessageW(GetDlgItem(dialog_->window(), IDOK), BM_CLICK, 0, 0);
        return dialog_->RunUntilClosed();
    }

    WindowClosingFake fake_;
    std::unique_ptr<ConfigDialog> dialog_;
};

TEST_F(DialogInProcess, Fonts_Label1IsArialBoldAnsiAndTheRestUseTheDialogFont) {
    const int dpi = ScreenDpiY();
    HWND window = dialog_->window();
    const LOGFONTW title = FontOf(GetDlgItem(window, kLabel1Id));
    EXPECT_STREQ(title.lfFaceName, L"Arial");
    EXPECT_EQ(title.lfWeight, FW_BOLD);
    EXPECT_EQ(title.lfCharSet, ANSI_CHARSET);
    EXPECT_EQ(title.lfHeight, -MulDiv(975, dpi, 7200)) << "9.75 point";
    EXPECT_FALSE(title.lfItalic || title.lfUnderline || title.lfStrikeOut);

    for (int id : {kLabel2Id, kOkId, kCancelId}) {
        const LOGFONTW font = FontOf(GetDlgItem(window, id));
        EXPECT_STREQ(font.lfFaceName, L"MS Shell Dlg") << id;
        EXPECT_EQ(font.lfHeight, -MulDiv(8, dpi, 72)) << id;
        EXPECT_EQ(font.lfWeight, FW_NORMAL) << id;
    }
}

TEST_F(DialogInProcess, TitleBarIcon_IsTheProgramsIcon) {
    const auto small = reinterpret_cast<HICON>(GetClassLongPtrW(dialog_->window(), GCLP_HICONSM));
    const auto large = reinterpret_cast<HICON>(GetClassLongPtrW(dialog_->window(), GCLP_HICON));
    ASSERT_NE(small, nullptr);
    ASSERT_NE(large, nullptr);

    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(small, &info));
    BITMAP colour{};
    GetObjectW(info.hbmColor, sizeof(colour), &colour);
    EXPECT_EQ(colour.bmWidth, 16);
    EXPECT_EQ(colour.bmHeight, 16);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, info.hbmColor);
    std::set<COLORREF> used;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) used.insert(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    for (COLORREF c : used) EXPECT_TRUE(kIconColours.count(c)) << std::hex << c;
    EXPECT_EQ(used.count(RGB(0, 0, 127)), 1u) << "the navy is missing";
}

TEST_F(DialogInProcess, OkThatSucceeds_ShowsOneMessageClosesAndEndsWithStatus0) {
    fake_.profileWriteResult = 1;
    EXPECT_EQ(ClickOk(), 0);
    EXPECT_FALSE(dialog_->IsOpen());
    EXPECT_EQ(fake_.Messages().size(), 1u);
    EXPECT_EQ(fake_.Operations().back(), "CloseDialog");
}

TEST_F(DialogInProcess, FailureEscapingOk_ClosesTheDialogAndEndsWithStatus1) {
    struct Case {
        const char* name;
        std::optional<std::int32_t> writeResult;
        bool messageFails;
    };
    const Case cases[] = {{"the write fails", std::nullopt, false},
                          {"the result is out of range", 70000, false},
                          {"the message box fails", 1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        fake_.profileWriteResult = c.writeResult;
        fake_.showMessageFails = c.messageFails;
        EXPECT_EQ(ClickOk(), 1);
        EXPECT_FALSE(dialog_->IsOpen());
        EXPECT_TRUE(dialog_->failure());
        const auto ops = fake_.Operations();
        EXPECT_EQ(std::count(ops.begin(), ops.end(), "WritePrivateProfileStringA"), 1) << "written again";
    }
}

// --- The built program's resources -----------------------------------------

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = LoadLibraryExW(Join(BinFolder(), L"QuillaneConfig.exe").c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(program_, nullptr);
    }
    void TearDown() override { FreeLibrary(program_); }

    std::string Resource(const wchar_t* type, const wchar_t* name) {
        HRSRC found = FindResourceW(program_, name, type);
        if (!found) return {};
        const void* data = LockResource(LoadResource(program_, found));
        return std::string(static_cast<const char*>(data), SizeofResource(program_, found));
    }

    HMODULE program_ = nullptr;
};

// One node of a version record: key, value bytes and children.
struct VersionNode {
    std::wstring key;
    std::string value;
    bool text = false;
    std::vector<VersionNode> children;
};

VersionNode ParseVersionNode(const char* data, size_t size) {
    auto word = [&](size_t at) { return *reinterpret_cast<const WORD*>(data + at); };
    auto align = [](size_t at) { return (at + 3) & ~size_t{3}; };
    VersionNode node;
    const size_t length = std::min<size_t>(word(0), size);
    const size_t valueLength = word(2);
    node.text = word(4) == 1;
    size_t at = 6;
    for (; at + 1 < length && word(at) != 0; at += 2) node.key += static_cast<wchar_t>(word(at));
    at = align(at + 2);
    const size_t valueBytes = node.text ? valueLength * 2 : valueLength;
    node.value.assign(data + at, std::min(valueBytes, length - std::min(at, length)));
    at = align(at + valueBytes);
    while (at + 6 <= length) {
        const size_t childLength = word(at);
        if (childLength == 0) break;
        node.children.push_back(ParseVersionNode(data + at, length - at));
        at = align(at + childLength);
    }
    return node;
}

std::wstring TextValue(const VersionNode& node) {
    std::wstring text(reinterpret_cast<const wchar_t*>(node.value.data()), node.value.size() / 2);
    return text.substr(0, text.find(L'\0'));
}

TEST_F(ProgramResources, VersionRecord_HasExactlyTheSevenKeysAndTheFixedVersion) {
    const std::string record = Resource(RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO));
    ASSERT_FALSE(record.empty());
    const VersionNode root = ParseVersionNode(record.data(), record.size());
    EXPECT_EQ(root.key, L"VS_VERSION_INFO");

    ASSERT_EQ(root.value.size(), sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    memcpy(&fixed, root.value.data(), sizeof(fixed));
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed.dwFileVersionLS, 0x00000002u);
    EXPECT_EQ(fixed.dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed.dwProductVersionLS, 0x00000002u);
    EXPECT_EQ(fixed.dwFileFlags & fixed.dwFileFlagsMask, 0u);
    EXPECT_EQ(fixed.dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));

    std::map<std::wstring, std::wstring> strings;
    std::vector<std::wstring> blocks;
    std::string translation;
    for (const VersionNode& child : root.children) {
        if (child.key == L"StringFileInfo") {
            for (const VersionNode& block : child.children) {
                blocks.push_back(block.key);
                for (const VersionNode& entry : block.children) strings[entry.key] = TextValue(entry);
            }
        } else if (child.key == L"VarFileInfo" && !child.children.empty()) {
            translation = child.children[0].value;
        }
    }
    EXPECT_EQ(blocks, std::vector<std::wstring>{L"040904B0"});
    EXPECT_EQ(translation, std::string("\x09\x04\xB0\x04", 4));
    ASSERT_EQ(strings.size(), 7u);
    EXPECT_EQ(strings[L"ProductName"], L"Quillane Add-In Configuration");
    EXPECT_EQ(strings[L"FileVersion"], L"1.00.0002");
    EXPECT_EQ(strings[L"ProductVersion"], L"1.00.0002");
    EXPECT_EQ(strings[L"InternalName"], L"QuillaneConfig");
    EXPECT_EQ(strings[L"OriginalFilename"], L"QuillaneConfig.exe");
    EXPECT_FALSE(strings[L"CompanyName"].empty());
    EXPECT_FALSE(strings[L"LegalCopyright"].empty());
}

TEST_F(ProgramResources, Icon_OneImage16By16In24BitsWithAMaskInFourColours) {
    const std::string group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(1));
    ASSERT_GE(group.size(), 6u + 14u);
    const auto* bytes = reinterpret_cast<const unsigned char*>(group.data());
    const int count = bytes[4] | (bytes[5] << 8);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(bytes[6], 16);  // width
    EXPECT_EQ(bytes[7], 16);  // height
    EXPECT_EQ(bytes[6 + 6] | (bytes[6 + 7] << 8), 24);  // bits per pixel
    const int iconId = bytes[6 + 12] | (bytes[6 + 13] << 8);

    const std::string image = Resource(RT_ICON, MAKEINTRESOURCEW(iconId));
    ASSERT_EQ(image.size(), 40u + 16 * 16 * 3 + 16 * 4) << "header, 24-bit colours and a 1-bit mask";
    BITMAPINFOHEADER header;
    memcpy(&header, image.data(), sizeof(header));
    EXPECT_EQ(header.biWidth, 16);
    EXPECT_EQ(header.biHeight, 32);
    EXPECT_EQ(header.biBitCount, 24);
    const auto* pixels = reinterpret_cast<const unsigned char*>(image.data()) + 40;
    const auto* mask = pixels + 16 * 16 * 3;
    int transparent = 0;
    for (int i = 0; i < 256; ++i) {
        const int row = i / 16;
        const int column = i % 16;
        const bool clear = mask[row * 4 + column / 8] & (0x80 >> (column % 8));
        transparent += clear;
        if (clear) continue;
        const COLORREF colour = RGB(pixels[i * 3 + 2], pixels[i * 3 + 1], pixels[i * 3]);
        EXPECT_TRUE(kIconColours.count(colour)) << "pixel " << i << ": " << std::hex << colour;
    }
    EXPECT_GT(transparent, 0);
    EXPECT_LT(transparent, 256);
}

}  // namespace
}  // namespace quillane
