// SPDX-License-Identifier: MIT
// The form's modal questions with Qt's dialogs: QFileDialog, QMessageBox and QProgressDialog.
#pragma once

#include "form/form_ports.h"

#include <QString>

#include <functional>
#include <memory>
#include <string_view>

class QMessageBox;
class QWidget;

namespace tarvex::ui {

class QtUserDialogs final : public form::UserPrompts {
public:
    // The dialogs are modal to parent.
    explicit QtUserDialogs(QWidget* parent) : m_parent(parent) {}

    std::optional<std::filesystem::path> askFile(const form::FileRequest& request) override;
    void showStop(std::string_view message, std::string_view details) override;
    void showStopWithSave(std::string_view message, std::string_view details,
                          const std::function<void()>& saveDetails) override;
    std::unique_ptr<form::Progress> startProgress(std::string_view label, std::uint64_t total) override;
    std::optional<std::size_t> chooseItem(std::string_view prompt,
                                          const std::vector<std::string>& items) override;
    void showInfo(std::string_view message) override;
    void showWarning(std::string_view message, std::string_view details) override;
    form::Answer ask(std::string_view question, bool withCancel) override;

private:
    QWidget* m_parent;
};

// The stop message as showStop shows it, not yet shown: caption "Tarvex", the stop icon, OK, and
// details (unless empty) behind Qt's "Show Details..." button.
std::unique_ptr<QMessageBox> MakeStopBox(QWidget* parent, std::string_view message, std::string_view details);

// The button of a stop box that saves its details without closing it.
QString SaveDetailsText();

// The filters in Qt's form, which takes the patterns from the labels. Where "*.*" would only match
// names holding a dot, "All Files (*.*)" becomes "All Files (*)".
QString QtFilter(const std::vector<form::FileFilter>& filters);

} // namespace tarvex::ui
