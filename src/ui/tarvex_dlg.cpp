// SPDX-License-Identifier: MIT
#include "ui/tarvex_dlg.h"

#include "form/form_layout.h"
#include "form/form_presenter.h"
#include "ui/about_dlg.h"
#include "ui/app_icon.h"
#include "ui/dialog_units.h"
#include "ui/grid_picture.h"
#include "ui/help_window.h"
#include "ui/text_convert.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>

namespace tarvex::ui {
namespace {

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A part-name field: narrower than most names, so while it is not being edited it shows the end
// of its name, where names of one library differ ("nfet_03v3.10"); the tooltip has all of it.
class NameEdit final : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

    void showEnd() { setCursorPosition(static_cast<int>(text().size())); }

protected:
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        showEnd();
    }
};

} // namespace

CTarvexDlg::CTarvexDlg(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(Latin1(form::kFormCaption));
    const DialogUnits units(font());
    setFixedSize(units.map(form::kFormSize).size());
    QList<GridPicture*> pictures;
    for (const form::GroupLayout* group : form::kGroups) {
        pictures << new GridPicture(this);
        pictures.back()->setGeometry(units.map(group->picture));
    }
    QList<QWidget*> frames;
    for (const form::Control& control : form::kControls) {
        QWidget* widget = makeControl(control);
        widget->setGeometry(units.map(control.rect));
        if (control.kind == form::ControlKind::GroupBox) {
            frames.prepend(widget);
        }
    }
    for (QWidget* frame : frames) {
        frame->lower(); // behind the pictures, the first group's frame lowest
    }
    // The bound fields sit on the grid's lines.
    for (qsizetype g = 0; g < pictures.size(); ++g) {
        const form::GroupLayout& group = *form::kGroups[static_cast<std::size_t>(g)];
        QList<int> columnLines;
        QList<int> rowLines;
        for (int i = 0; i < kBoundCount; ++i) {
            columnLines << field(group.widthBoundIds[i])->geometry().center().x() - pictures[g]->x();
            rowLines << field(group.lengthBoundIds[i])->geometry().center().y() - pictures[g]->y();
        }
        pictures[g]->setLines(columnLines, rowLines);
    }
    for (std::size_t i = 0; i + 1 < form::kTabOrder.size(); ++i) {
        QWidget::setTabOrder(m_controls.value(form::kTabOrder[i]), m_controls.value(form::kTabOrder[i + 1]));
    }
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { forward(&form::FormPresenter::Help); });
    setWindowIcon(AppIcon());
}

CTarvexDlg::~CTarvexDlg() = default;

// One control of the list; buttons and name fields report to the presenter.
QWidget* CTarvexDlg::makeControl(const form::Control& control) {
    QWidget* widget = nullptr;
    switch (control.kind) {
    case form::ControlKind::DefaultButton:
    case form::ControlKind::Button: {
        auto* button = new QPushButton(Latin1(control.text), this);
        button->setDefault(control.kind == form::ControlKind::DefaultButton);
        connect(button, &QPushButton::clicked, this, [this, id = control.id] {
            forward([id](form::FormPresenter& presenter) { presenter.Command(id); });
        });
        widget = button;
        break;
    }
    case form::ControlKind::Field:
        widget = new QLineEdit(this);
        break;
    case form::ControlKind::NameField: {
        auto* name = new NameEdit(this);
        connect(name, &QLineEdit::textEdited, this, [this, id = control.id] {
            forward([id](form::FormPresenter& presenter) { presenter.FieldEdited(id); });
        });
        widget = name;
        break;
    }
    case form::ControlKind::GroupBox:
        widget = new QGroupBox(Latin1(control.text), this);
        // The caption sits in the frame's top line, as the layout's positions assume.
        widget->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                                             " margin-top: 0.5em; }"
                                             "QGroupBox::title { subcontrol-origin: margin; left: 0.5em;"
                                             " padding: 0 0.2em; }"));
        break;
    case form::ControlKind::Label:
        widget = new QLabel(Latin1(control.text), this);
        break;
    }
    if (control.id != form::kNoControlId) {
        widget->setObjectName(QString::number(control.id));
        m_controls.insert(control.id, widget);
    }
    return widget;
}

void CTarvexDlg::bind(form::FormPresenter& presenter,
                      const std::optional<std::filesystem::path>& settingsFile) {
    m_presenter = &presenter;
    presenter.setFileViewer(*this);
    forward([&settingsFile](form::FormPresenter& bound) { bound.StartUp(settingsFile); });
}

std::filesystem::path CTarvexDlg::privateFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
        return ToPath(runtime);
    }
    return ToPath(QDir::tempPath());
}

bool CTarvexDlg::open(const std::filesystem::path& file) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(FromPath(file)));
}

std::filesystem::path CTarvexDlg::helpPage() {
    return ":/tarvex/help.html"; // built in, shown by the help window
}

bool CTarvexDlg::showHelp(const std::filesystem::path& /*page*/) {
    if (m_help == nullptr) {
        m_help = new HelpWindow(this);
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
    return true;
}

void CTarvexDlg::forward(const std::function<void(form::FormPresenter&)>& command) {
    if (m_presenter != nullptr) {
        m_presenter->Run(command);
    }
}

QLineEdit* CTarvexDlg::field(int id) const {
    auto* edit = qobject_cast<QLineEdit*>(m_controls.value(id));
    Q_ASSERT(edit != nullptr);
    return edit;
}

std::string CTarvexDlg::fieldText(int id, std::size_t maxBytes) const {
    return ToFieldBytes(field(id)->text(), maxBytes);
}

void CTarvexDlg::setFieldText(int id, std::string_view bytes) {
    QLineEdit* edit = field(id);
    edit->setText(FromFieldBytes(bytes));
    if (auto* name = dynamic_cast<NameEdit*>(edit); name != nullptr && !name->hasFocus()) {
        name->showEnd();
    } else {
        edit->setCursorPosition(0); // a long bound or Key shows its beginning
    }
}

bool CTarvexDlg::showsText(int id, std::string_view bytes) const {
    return field(id)->text() == FromFieldBytes(bytes);
}

void CTarvexDlg::setNameHint(int id, std::string_view toolTip, bool tinted) {
    QLineEdit* edit = field(id);
    edit->setToolTip(FromFieldBytes(toolTip));
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, tinted ? ToColor(form::kUsedCellTint)
                                            : QApplication::palette(edit).color(QPalette::Base));
    edit->setPalette(palette);
}

void CTarvexDlg::focusControl(int id) {
    if (QWidget* control = m_controls.value(id)) {
        control->setFocus();
    }
}

void CTarvexDlg::endDialog(bool accepted) {
    done(accepted ? Accepted : Rejected);
}

void CTarvexDlg::reject() {
    if (m_presenter != nullptr) {
        forward(&form::FormPresenter::Cancel);
    } else {
        QDialog::reject();
    }
}

// About, the import from a model library, the size rule's check mark, and the bin map, which waits
// for a completed Process.
void CTarvexDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(AboutEntryText(), this, &CTarvexDlg::showAbout);
    menu.addAction(ImportEntryText(), this, [this] { forward(&form::FormPresenter::ImportBins); });
    QAction* spice = menu.addAction(Latin1(form::kSpiceSizesEntry), this,
                                    [this] { forward(&form::FormPresenter::ToggleSpiceSizes); });
    spice->setCheckable(true);
    spice->setChecked(m_presenter != nullptr && m_presenter->ReadsSizesAsSpice());
    spice->setEnabled(m_presenter != nullptr && !m_presenter->Busy());
    QAction* map = menu.addAction(Latin1(form::kBinMapEntry), this,
                                  [this] { forward(&form::FormPresenter::ShowBinMap); });
    map->setEnabled(m_presenter != nullptr && !m_presenter->Busy() && m_presenter->BinMapAvailable());
    menu.exec(event->globalPos());
}

QString CTarvexDlg::ImportEntryText() {
    return QStringLiteral("Import Bins from Model Library...");
}

void CTarvexDlg::showAbout() {
    CAboutDlg about(this);
    about.exec();
}

} // namespace tarvex::ui
