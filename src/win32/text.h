// SPDX-License-Identifier: MIT
// Text for the Win32 window: the window shows UTF-16, the core's messages are UTF-8, and field text
// is stored in the ANSI code page, the encoding that netlists written on Windows use.
#pragma once

#include <windows.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarvex::win32 {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// The bytes stored for a field's text: the code page's encoding ('?' where it has no character),
// cut to at most maxBytes without splitting a character (a double-byte one or a surrogate pair).
std::string ToFieldBytes(std::wstring_view text, std::size_t maxBytes, UINT codePage = CP_ACP);
std::wstring FromFieldBytes(std::string_view bytes, UINT codePage = CP_ACP);

// A string resource of this executable; empty when there is none.
std::wstring ResourceString(UINT id);

// The full path of this executable.
std::filesystem::path ExecutablePath();

// The window's whole text (a control's content, a dialog's caption).
std::wstring WindowText(HWND window);

} // namespace tarvex::win32
