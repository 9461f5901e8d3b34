// SPDX-License-Identifier: MIT
#include "ui/tarvex_dlg.h"

#include "form/form_commands.h"
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
#include <QStyle>
#include <QStyleOptionFrame>
#include <QUrl>

namespace tarvex::ui {
namespace {

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A part-name field: narrower than most names, so while it is not being edited it shows the end
// of its name, where names of one library differ, behind an ellipsis that says it is cut
// ("…3v3.10"); the tooltip has all of it. Being edited, it holds the whole name.
class NameEdit final : public QLineEdit {
public:
    explicit NameEdit(QWidget* parent) : QLineEdit(parent) {
        connect(this, &QLineEdit::textEdited, this, [this](const QString& typed) { m_name = typed; });
    }

    // The whole name, whatever is shown.
    const QString& name() const { return m_name; }
    void setName(const QString& name) {
        m_name = name;
        if (hasFocus()) {
            setText(name);
        } else {
            showCut();
        }
    }

protected:
    void focusInEvent(QFocusEvent* event) override {
        setText(m_name);
        QLineEdit::focusInEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        showCut();
    }

private:
    void showCut() {
        QStyleOptionFrame option;
        initStyleOption(&option);
        const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
        const QMargins margins = textMargins();
        const int room = contents.width() - margins.left() - margins.right() - 2 * kTextMargin;
        setText(fontMetrics().elidedText(m_name, Qt::ElideLeft, room));
        setCursorPosition(0);
    }

    // What QLineEdit leaves free on each side of its text.
    static constexpr int kTextMargin = 2;
    QString m_name;
};

// The text of a field: a part-name field's whole name, even while it shows it cut.
QString TextOf(const QLineEdit* edit) {
    const auto* name = dynamic_cast<const NameEdit*>(edit);
    return name != nullptr ? name->name() : edit->text();
}

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
    for (const form::Shortcut& shortcut : form::kShortcuts) {
        auto* key = new QShortcut(QKeySequence(Latin1(shortcut.keys)), this);
        connect(key, &QShortcut::activated, this, [this, id = shortcut.commandId] {
            forward([id](form::FormPresenter& presenter) { presenter.Command(id); });
        });
    }
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
    case form::ControlKind::Field: {
        auto* edit = new QLineEdit(this);
        connect(edit, &QLineEdit::textEdited, this, [this, id = control.id] {
            forward([id](form::FormPresenter& presenter) { presenter.FieldEdited(id); });
        });
        widget = edit;
        break;
    }
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
    return ToFieldBytes(TextOf(field(id)), maxBytes);
}

void CTarvexDlg::setFieldText(int id, std::string_view bytes) {
    QLineEdit* edit = field(id);
    if (auto* name = dynamic_cast<NameEdit*>(edit)) {
        name->setName(FromFieldBytes(bytes));
    } else {
        edit->setText(FromFieldBytes(bytes));
        edit->setCursorPosition(0); // a long bound or Key shows its beginning
    }
}

bool CTarvexDlg::showsText(int id, std::string_view bytes) const {
    return TextOf(field(id)) == FromFieldBytes(bytes);
}

void CTarvexDlg::setFieldHint(int id, std::string_view toolTip, bool tinted) {
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

void CTarvexDlg::selectField(int id) {
    QLineEdit* edit = field(id);
    edit->setFocus();
    edit->selectAll();
}

void CTarvexDlg::setTitle(std::string_view title) {
    setWindowTitle(FromCoreMessage(title));
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

// The form's menu entries; each is enabled as the presenter says (the bin map waits for a
// completed Process), the size rule shows its check mark, and About is the window's own.
void CTarvexDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    for (const form::MenuEntry& entry : form::kMenuEntries) {
        if (entry.separatorBefore) {
            menu.addSeparator();
        }
        QAction* action = menu.addAction(Latin1(entry.text), this, [this, command = entry.command] {
            if (command == form::MenuCommand::About) {
                showAbout();
            } else {
                forward([command](form::FormPresenter& presenter) { presenter.RunMenuCommand(command); });
            }
        });
        action->setEnabled(m_presenter == nullptr ? entry.command == form::MenuCommand::About
                                                  : m_presenter->MenuEntryEnabled(entry.command));
        if (entry.checkable) {
            action->setCheckable(true);
            action->setChecked(m_presenter != nullptr && m_presenter->MenuEntryChecked(entry.command));
        }
    }
    menu.exec(event->globalPos());
}

void CTarvexDlg::showAbout() {
    CAboutDlg about(this);
    about.exec();
}

} // namespace tarvex::ui
