// SPDX-License-Identifier: MIT
#include "ui/user_dialogs.h"

#include "form/form_layout.h"
#include "ui/text_convert.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStringList>

#include <algorithm>

namespace tarvex::ui {
namespace {

using form::kProgressDelayMs;
using form::kProgressSteps;

QString Caption() {
    return QString::fromLatin1(form::kFormCaption.data(), static_cast<qsizetype>(form::kFormCaption.size()));
}

class QtProgressReport final : public form::Progress {
public:
    QtProgressReport(QWidget* parent, const QString& label, std::uint64_t total)
        : m_dialog(label, QObject::tr("Cancel"), 0, kProgressSteps, parent),
          m_total(std::max<std::uint64_t>(total, 1)) {
        m_dialog.setWindowTitle(Caption());
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(kProgressDelayMs);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0); // starts the clock that decides whether the display appears
    }

    bool update(std::uint64_t done) override {
        const std::uint64_t step = std::min(done, m_total) * kProgressSteps / m_total;
        // setValue shows the display once the work looks longer than the delay, and then lets
        // the Cancel button be pressed.
        m_dialog.setValue(static_cast<int>(std::clamp<std::uint64_t>(step, 1, kProgressSteps - 1)));
        return !m_dialog.wasCanceled();
    }

private:
    QProgressDialog m_dialog;
    std::uint64_t m_total;
};

} // namespace

std::optional<std::filesystem::path> QtUserDialogs::askFile(const form::FileRequest& request) {
    QFileDialog dialog(m_parent,
                       QString::fromUtf8(request.title.data(), static_cast<qsizetype>(request.title.size())),
                       FromPath(request.startFolder), QtFilter(request.filters));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save || !request.mustExist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    // Qt's dialogs offer the patterns in their type list only, so patternAsName has nothing to add.
    if (!request.initialName.empty()) {
        dialog.selectFile(FromPath(request.initialName));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return ToPath(dialog.selectedFiles().constFirst());
}

void QtUserDialogs::showStop(std::string_view message, std::string_view details) {
    MakeStopBox(m_parent, message, details)->exec();
}

// The Save Details button is cut from the box's own handling, which would close the box.
void QtUserDialogs::showStopWithSave(std::string_view message, std::string_view details,
                                     const std::function<void()>& saveDetails) {
    const std::unique_ptr<QMessageBox> box = MakeStopBox(m_parent, message, details);
    QPushButton* save = box->addButton(SaveDetailsText(), QMessageBox::ActionRole);
    save->disconnect();
    QObject::connect(save, &QPushButton::clicked, box.get(), [&saveDetails] { saveDetails(); });
    box->exec();
}

QString SaveDetailsText() {
    return QStringLiteral("Save Details...");
}

std::unique_ptr<QMessageBox> MakeStopBox(QWidget* parent, std::string_view message,
                                         std::string_view details) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, Caption(), FromCoreMessage(message),
                                             QMessageBox::Ok, parent);
    if (!details.empty()) {
        box->setDetailedText(FromCoreMessage(details));
    }
    return box;
}

std::unique_ptr<form::Progress> QtUserDialogs::startProgress(std::string_view label, std::uint64_t total) {
    return std::make_unique<QtProgressReport>(m_parent, FromCoreMessage(label), total);
}

std::optional<std::size_t> QtUserDialogs::chooseItem(std::string_view prompt,
                                                     const std::vector<std::string>& items) {
    QStringList labels;
    for (const std::string& item : items) {
        labels << FromCoreMessage(item);
    }
    bool chosen = false;
    const QString label =
        QInputDialog::getItem(m_parent, Caption(), FromCoreMessage(prompt), labels, 0, false, &chosen);
    const qsizetype index = labels.indexOf(label);
    if (!chosen || index < 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(index);
}

void QtUserDialogs::showInfo(std::string_view message) {
    QMessageBox(QMessageBox::Information, Caption(), FromCoreMessage(message), QMessageBox::Ok, m_parent)
        .exec();
}

void QtUserDialogs::showWarning(std::string_view message, std::string_view details) {
    QMessageBox box(QMessageBox::Warning, Caption(), FromCoreMessage(message), QMessageBox::Ok, m_parent);
    if (!details.empty()) {
        box.setDetailedText(FromCoreMessage(details));
    }
    box.exec();
}

form::Answer QtUserDialogs::ask(std::string_view question, bool withCancel) {
    const QMessageBox::StandardButtons buttons =
        QMessageBox::Yes | QMessageBox::No | (withCancel ? QMessageBox::Cancel : QMessageBox::NoButton);
    QMessageBox box(QMessageBox::Question, Caption(), FromCoreMessage(question), buttons, m_parent);
    box.setEscapeButton(withCancel ? QMessageBox::Cancel : QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return form::Answer::Yes;
    case QMessageBox::No:
        return form::Answer::No;
    default:
        return withCancel ? form::Answer::Cancel : form::Answer::No;
    }
}

QString QtFilter(const std::vector<form::FileFilter>& filters) {
    QStringList list;
    for (const form::FileFilter& filter : filters) {
        QString label = QString::fromUtf8(filter.label.data(), static_cast<qsizetype>(filter.label.size()));
        if (filter.patterns == std::vector<std::string>{"*.*"}) {
            label.replace(QStringLiteral("(*.*)"), QStringLiteral("(*)"));
        }
        list << label;
    }
    return list.join(QLatin1String(";;"));
}

} // namespace tarvex::ui
