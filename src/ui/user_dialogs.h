// SPDX-License-Identifier: MIT
// Every modal question the window asks goes through UserDialogs, so tests can answer file dialogs
// and read the messages that would have been shown.
#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>
#include <string_view>

class QWidget;

namespace tarvex::ui {

struct FileRequest {
    bool save = false;     // a save dialog (asks before overwriting) rather than an open dialog
    bool mustExist = true; // an open dialog that accepts only existing files
    QString filter;        // Qt's form: "Net Files (*.net);;All Files (*)"
    QString defaultSuffix; // appended when the chosen name has none, without its dot
    QString initialName;   // offered as the file name; may be a wildcard or empty
    QString directory;     // where the dialog starts
};

// A running progress display; destroying it closes the display.
class ProgressReport {
public:
    virtual ~ProgressReport() = default;
    // Reports done units of the total; false once the user has asked to cancel.
    virtual bool update(qint64 done) = 0;
};

class UserDialogs {
public:
    virtual ~UserDialogs() = default;
    // The chosen file's full path, or nothing when the user cancelled.
    virtual std::optional<QString> askFile(QWidget* parent, const FileRequest& request) = 0;
    // A message box captioned "Tarvex" with the stop icon and an OK button.
    virtual void showError(QWidget* parent, const QString& text) = 0;
    // A progress display with a Cancel button; it appears only if the work lasts a while.
    virtual std::unique_ptr<ProgressReport> startProgress(QWidget* parent, const QString& label,
                                                          qint64 total) = 0;
};

// The real dialogs: QFileDialog, QMessageBox and QProgressDialog.
class QtUserDialogs final : public UserDialogs {
public:
    std::optional<QString> askFile(QWidget* parent, const FileRequest& request) override;
    void showError(QWidget* parent, const QString& text) override;
    std::unique_ptr<ProgressReport> startProgress(QWidget* parent, const QString& label,
                                                  qint64 total) override;
};

// Turns a filter written as "Net Files (*.net)|*.net|All Files (*.*)|*.*||" into Qt's form. Outside
// Windows "*.*" would only match names holding a dot, so "All Files (*.*)" becomes "All Files (*)".
QString QtFilterFromPipes(std::string_view pipes);

} // namespace tarvex::ui
