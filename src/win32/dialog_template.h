// SPDX-License-Identifier: MIT
// Extended dialog templates (DLGTEMPLATEEX) built in memory, so that a window's controls come from
// a table in the code rather than from a second copy of it in a resource script.
#pragma once

#include "form/form_layout.h"

#include <windows.h>

#include <string_view>
#include <vector>

namespace tarvex::win32 {

class DialogTemplate {
public:
    // A dialog of size.width x size.height dialog units at size.x, size.y, in the given font
    // (DS_SETFONT is added to style).
    DialogTemplate(DWORD style, DWORD exStyle, const form::DuRect& size, std::wstring_view caption,
                   WORD pointSize, std::wstring_view typeface);

    // Appends a control; windowClass is a class name ("BUTTON", "EDIT", "msctls_progress32"...).
    // Controls are created, and take the focus with Tab, in the order added.
    void add(std::wstring_view windowClass, int id, std::wstring_view text, DWORD style,
             const form::DuRect& rect, DWORD exStyle = 0);

    // The template, DWORD-aligned as DialogBoxIndirectParamW needs it.
    const std::vector<WORD>& words() const { return m_words; }

private:
    void put(DWORD value);
    void put(std::wstring_view text);
    void alignToDword();

    std::vector<WORD> m_words;
};

} // namespace tarvex::win32
