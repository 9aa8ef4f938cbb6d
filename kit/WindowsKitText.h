#pragma once

// The kit's texts between Windows' wide strings and the UTF-8 of its core, its
// journal and its report; and Windows' error codes in words.

#include <windows.h>

#include <string>

namespace quillane::kit {

inline std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                         0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                        nullptr, nullptr);
    return text;
}

inline std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

// Whether the system's ANSI code page holds every character of `text`, with
// no best-fit look-alike: what a program that takes ANSI paths can be given.
inline bool AnsiCodePageHolds(const std::wstring& text) {
    BOOL lost = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, nullptr, 0, nullptr, &lost);
    return !lost;
}

// "error 5 (Access is denied.)"
inline std::string SystemError(DWORD error) {
    wchar_t text[256] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                   256, nullptr);
    std::string said = Utf8(text);
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' '))
        said.pop_back();
    return "error " + std::to_string(error) + (said.empty() ? "" : " (" + said + ")");
}

}  // namespace quillane::kit
