// SPDX-License-Identifier: MIT
#include "win32/dialog_template.h"

namespace tarvex::win32 {
namespace {

// Offset of DLGTEMPLATEEX::cDlgItems in WORDs: dlgVer, signature, helpID (2), exStyle (2), style (2).
constexpr std::size_t kItemCountAt = 8;

WORD Coordinate(int du) {
    return static_cast<WORD>(static_cast<short>(du));
}

} // namespace

DialogTemplate::DialogTemplate(DWORD style, DWORD exStyle, const form::DuRect& size,
                               std::wstring_view caption, WORD pointSize, std::wstring_view typeface) {
    m_words.push_back(1);      // dlgVer
    m_words.push_back(0xFFFF); // signature: an extended template
    put(DWORD{0});             // helpID
    put(exStyle);
    put(style | DS_SETFONT);
    m_words.push_back(0); // cDlgItems, counted by add
    for (const int value : {size.x, size.y, size.width, size.height}) {
        m_words.push_back(Coordinate(value));
    }
    m_words.push_back(0); // no menu
    m_words.push_back(0); // the standard dialog class
    put(caption);
    m_words.push_back(pointSize);
    m_words.push_back(FW_NORMAL);
    m_words.push_back(MAKEWORD(FALSE, DEFAULT_CHARSET)); // italic, charset
    put(typeface);
}

void DialogTemplate::add(std::wstring_view windowClass, int id, std::wstring_view text, DWORD style,
                         const form::DuRect& rect, DWORD exStyle) {
    alignToDword();
    put(DWORD{0}); // helpID
    put(exStyle);
    put(style | WS_CHILD | WS_VISIBLE);
    for (const int value : {rect.x, rect.y, rect.width, rect.height}) {
        m_words.push_back(Coordinate(value));
    }
    put(static_cast<DWORD>(id));
    put(windowClass);
    put(text);
    m_words.push_back(0); // no creation data
    ++m_words[kItemCountAt];
}

void DialogTemplate::put(DWORD value) {
    m_words.push_back(LOWORD(value));
    m_words.push_back(HIWORD(value));
}

void DialogTemplate::put(std::wstring_view text) {
    m_words.insert(m_words.end(), text.begin(), text.end());
    m_words.push_back(0);
}

void DialogTemplate::alignToDword() {
    if (m_words.size() % 2 != 0) {
        m_words.push_back(0);
    }
}

} // namespace tarvex::win32
