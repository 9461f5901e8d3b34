// SPDX-License-Identifier: MIT
#include "ui/user_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStringList>

#include <algorithm>

namespace tarvex::ui {
namespace {

constexpr int kProgressSteps = 1000;
constexpr int kProgressDelayMs = 500;

class QtProgressReport final : public ProgressReport {
public:
    QtProgressReport(QWidget* parent, const QString& label, qint64 total)
        : m_dialog(label, QObject::tr("Cancel"), 0, kProgressSteps, parent),
          m_total(std::max<qint64>(total, 1)) {
        m_dialog.setWindowTitle(QStringLiteral("Tarvex"));
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(kProgressDelayMs);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0); // starts the clock that decides whether the display appears
    }

    bool update(qint64 done) override {
        const qint64 step = std::min<qint64>(done, m_total) * kProgressSteps / m_total;
        // setValue shows the display once the work looks longer than the delay, and then lets
        // the Cancel button be pressed.
        m_dialog.setValue(static_cast<int>(std::clamp<qint64>(step, 1, kProgressSteps - 1)));
        return !m_dialog.wasCanceled();
    }

private:
    QProgressDialog m_dialog;
    qint64 m_total;
};

} // namespace

std::optional<QString> QtUserDialogs::askFile(QWidget* parent, const FileRequest& request) {
    QFileDialog dialog(parent, QString(), request.directory, request.filter);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save || !request.mustExist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    // A wildcard name is how the filter is offered on Windows; Qt's dialogs show it as the filter.
    if (!request.initialName.isEmpty() && !request.initialName.contains(QLatin1Char('*'))) {
        dialog.selectFile(request.initialName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

void QtUserDialogs::showError(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Tarvex"), text, QMessageBox::Ok, parent);
    box.exec();
}

std::unique_ptr<ProgressReport> QtUserDialogs::startProgress(QWidget* parent, const QString& label,
                                                             qint64 total) {
    return std::make_unique<QtProgressReport>(parent, label, total);
}

QString QtFilterFromPipes(std::string_view pipes) {
    const QStringList parts = QString::fromLatin1(pipes.data(), static_cast<qsizetype>(pipes.size()))
                                  .split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
#ifndef _WIN32
        if (parts[i + 1] == QLatin1String("*.*")) {
            description.replace(QLatin1String("(*.*)"), QLatin1String("(*)"));
        }
#endif
        filters << description;
    }
    return filters.join(QLatin1String(";;"));
}

} // namespace tarvex::ui
