// Shows the program at work without a person at the keyboard: starts it, saves
// a picture of its dialog, presses OK, prints the message it shows, dismisses
// it and waits for the program to end. Given no picture, checks only that the
// program shows its dialog within 10 s, says what it showed instead if it did
// not, and closes it.
//   demo_driver PROGRAM.exe [PICTURE.bmp]

#include "tools/ProgramDriver.h"

#include <cstdio>
#include <fstream>

using namespace quillane::driver;

namespace {

bool SaveBitmap(const std::wstring& path, const RECT& rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const std::vector<COLORREF> pixels = CaptureScreen(rect);
    if (pixels.empty()) return false;
    const int rowBytes = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(rowBytes * height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    for (int y = height - 1; y >= 0; --y) {
        std::string row(static_cast<size_t>(rowBytes), '\0');
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixels[static_cast<size_t>(y * width + x)];
            row[x * 3] = static_cast<char>(GetBValue(c));
            row[x * 3 + 1] = static_cast<char>(GetGValue(c));
            row[x * 3 + 2] = static_cast<char>(GetRValue(c));
        }
        bytes += row;
    }
    std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
    return true;
}

int Fail(const std::string& what) {
    std::printf("demo: %s\n", what.c_str());
    return 1;
}

// Whether the program shows its dialog first; if it does, closes it.
int CheckDialogShown(Program& program) {
    HWND window = program.WaitForDialogBox(nullptr);
    if (!window) return Fail("the program showed no window within 10 s: " + program.State());
    if (WindowText(window) != kDialogCaption) {
        const MessageBoxView message = ReadMessageBox(window);
        std::printf("demo: a message box instead of the dialog: \"%s\": %s\n",
                    ToUtf8(message.title).c_str(), ToUtf8(message.text).c_str());
        PressMessageBoxOk(window);
        return 1;
    }
    std::printf("The dialog \"%s\" is shown.\n", ToUtf8(WindowText(window)).c_str());
    PostMessageW(window, WM_CLOSE, 0, 0);
    return program.WaitForExit() ? 0 : Fail("the program did not end: " + program.State());
}

int Demo(int argc, wchar_t** argv) {
    if (argc != 2 && argc != 3) return Fail("usage: demo_driver PROGRAM.exe [PICTURE.bmp]");
    Program program(argv[1]);
    if (argc == 2) return CheckDialogShown(program);
    HWND box = nullptr;
    if (HWND dialog = program.WaitForDialog()) {
        std::printf("The dialog \"%s\" is shown.\n", ToUtf8(WindowText(dialog)).c_str());
        // Let it paint before the picture is taken.
        WaitUntil([&] { return !GetUpdateRect(dialog, nullptr, FALSE); }, 2s);
        RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT rect;
        GetWindowRect(dialog, &rect);
        if (SaveBitmap(argv[2], rect)) std::printf("Saved a picture of it.\n");
        std::printf("Pressing OK.\n");
        PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        box = program.WaitForMessageBox();
    } else {
        box = program.WaitForMessageBox();
    }
    if (!box) return Fail("neither the dialog nor a message appeared: " + program.State());
    const MessageBoxView message = ReadMessageBox(box);
    std::printf("Message box \"%s\": %s\n", ToUtf8(message.title).c_str(), ToUtf8(message.text).c_str());
    PressMessageBoxOk(box);
    const auto status = program.WaitForExit();
    if (!status) return Fail("the program did not end: " + program.State());
    std::printf("The program ended with status %lu.\n", static_cast<unsigned long>(*status));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) { return RunTool("demo", Demo, argc, argv); }
