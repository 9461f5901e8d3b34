// SPDX-License-Identifier: MIT
#include "win32/text.h"

namespace tarvex::win32 {
namespace {

std::string Encode(std::wstring_view text, UINT codePage) {
    if (text.empty()) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::wstring Decode(std::string_view bytes, UINT codePage) {
    if (bytes.empty()) {
        return {};
    }
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), size);
    return text;
}

} // namespace

std::wstring WideFromUtf8(std::string_view text) {
    return Decode(text, CP_UTF8);
}

std::string Utf8FromWide(std::wstring_view text) {
    return Encode(text, CP_UTF8);
}

// Drops whole characters from the end until the encoding fits: at most a few dozen characters, so
// encoding again each time costs nothing.
std::string ToFieldBytes(std::wstring_view text, std::size_t maxBytes, UINT codePage) {
    std::string bytes = Encode(text, codePage);
    while (bytes.size() > maxBytes) {
        const bool pair =
            text.size() >= 2 && IS_LOW_SURROGATE(text.back()) && IS_HIGH_SURROGATE(text[text.size() - 2]);
        text.remove_suffix(pair ? 2 : 1);
        bytes = Encode(text, codePage);
    }
    return bytes;
}

std::wstring FromFieldBytes(std::string_view bytes, UINT codePage) {
    return Decode(bytes, codePage);
}

std::wstring ResourceString(UINT id) {
    const wchar_t* text = nullptr;
    // With a zero buffer size, LoadStringW points at the resource's own text, which has no NUL.
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

std::filesystem::path ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
           path.size()) {
        path.resize(path.size() * 2); // cut short: try a larger buffer
    }
    path.resize(length);
    return path;
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace tarvex::win32
