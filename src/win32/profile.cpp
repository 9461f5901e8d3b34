// SPDX-License-Identifier: MIT
#include "win32/profile.h"

#include "files/run_lock.h"
#include "win32/text.h"

#include <windows.h>

namespace tarvex::win32 {
namespace {

std::wstring ValueName() {
    return WideFromUtf8(form::kProfileSettingsValue);
}

} // namespace

RegistryProfile::RegistryProfile(const std::wstring& application)
    : m_key(L"Software\\Quendale\\" + application + L"\\" + WideFromUtf8(form::kProfileSection)) {}

std::wstring RegistryProfile::ApplicationName() {
    return ExecutablePath().stem().native();
}

// A missing key or value reads as empty, as before the first Exit.
std::filesystem::path RegistryProfile::settingsPath() {
    const std::wstring value = ValueName();
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, m_key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                     &size) != ERROR_SUCCESS) {
        return {};
    }
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(HKEY_CURRENT_USER, m_key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, text.data(),
                     &size) != ERROR_SUCCESS) {
        return {};
    }
    text.resize(size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return text;
}

void RegistryProfile::setSettingsPath(const std::filesystem::path& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    const std::wstring& text = path.native();
    RegSetValueExW(key, ValueName().c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

std::filesystem::path RegistryProfile::stateFolder() {
    return UserStateFolder();
}

// A missing value reads as the classic rule.
bool RegistryProfile::readsSizesAsSpice() {
    DWORD value = 0;
    DWORD size = sizeof(value);
    return RegGetValueW(HKEY_CURRENT_USER, m_key.c_str(), WideFromUtf8(form::kProfileSpiceSizesValue).c_str(),
                        RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS &&
           value != 0;
}

void RegistryProfile::setReadsSizesAsSpice(bool spice) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    const DWORD value = spice ? 1 : 0;
    RegSetValueExW(key, WideFromUtf8(form::kProfileSpiceSizesValue).c_str(), 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
}

} // namespace tarvex::win32
