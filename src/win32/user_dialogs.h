// SPDX-License-Identifier: MIT
// The form's modal questions with Win32's common dialogs: GetOpenFileNameW and GetSaveFileNameW,
// MessageBoxW, and a progress display with a Cancel button.
#pragma once

#include "form/form_ports.h"

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace tarvex::win32 {

class Dialog;

class Win32UserDialogs final : public form::UserPrompts {
public:
    // The dialogs are owned by owner's window, as it is when they are shown.
    explicit Win32UserDialogs(const Dialog& owner) : m_owner(owner) {}

    std::optional<std::filesystem::path> askFile(const form::FileRequest& request) override;
    // A message box; with details, a task dialog whose "Show Details..." control shows them.
    void showStop(std::string_view message, std::string_view details) override;
    // The task dialog of showStop with a "Save Details..." button that leaves it open.
    void showStopWithSave(std::string_view message, std::string_view details,
                          const std::function<void()>& saveDetails) override;
    // The display appears once the work has lasted half a second; while it shows, the owner is
    // disabled and each update lets the windows handle their messages.
    std::unique_ptr<form::Progress> startProgress(std::string_view label, std::uint64_t total) override;
    // A list box under the prompt, with OK (or a double click) and Cancel.
    std::optional<std::size_t> chooseItem(std::string_view prompt,
                                          const std::vector<std::string>& items) override;
    void showInfo(std::string_view message) override;
    // As showStop, with the warning icon.
    void showWarning(std::string_view message, std::string_view details) override;
    form::Answer ask(std::string_view question, bool withCancel) override;

private:
    void showMessage(std::string_view message, std::string_view details, UINT boxIcon, PCWSTR dialogIcon,
                     const std::function<void()>* saveDetails = nullptr);

    const Dialog& m_owner;
};

// The filters in the form the file dialogs take: label NUL patterns (separated by ';') NUL, per
// entry, and one more NUL at the end.
std::wstring NulSeparatedFilter(const std::vector<form::FileFilter>& filters);
// The patterns of one filter as the dialogs take them, separated by ';'.
std::wstring JoinedPatterns(const form::FileFilter& filter);

} // namespace tarvex::win32
