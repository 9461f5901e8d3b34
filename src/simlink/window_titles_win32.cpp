// SPDX-License-Identifier: MIT
// Top-level windows on Windows: EnumWindows walks them in Z-order from the top, the order of
// GetTopWindow and GW_HWNDNEXT, without looping forever when windows move during the walk.
#include "simlink/window_titles.h"

#include <windows.h>

#include <utility>

namespace tarvex {
namespace {

std::string Utf8FromWide(const wchar_t* text, int length) {
    if (length <= 0) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

std::string WindowTitle(HWND window) {
    // The length may overstate the text; the copy says how much there was.
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    return Utf8FromWide(text.data(), copied);
}

BOOL CALLBACK AddTitle(HWND window, LPARAM titles) {
    std::string title = WindowTitle(window);
    if (!title.empty()) {
        reinterpret_cast<std::vector<std::string>*>(titles)->push_back(std::move(title));
    }
    return TRUE;
}

} // namespace

std::vector<std::string> TopLevelWindowTitles() {
    std::vector<std::string> titles;
    EnumWindows(AddTitle, reinterpret_cast<LPARAM>(&titles));
    return titles;
}

} // namespace tarvex
