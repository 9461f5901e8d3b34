// SPDX-License-Identifier: MIT
#include "ui/tarvex_dlg.h"

#include "form/form_layout.h"
#include "form/form_presenter.h"
#include "ui/about_dlg.h"
#include "ui/app_icon.h"
#include "ui/dialog_units.h"
#include "ui/grid_picture.h"
#include "ui/help_window.h"
#include "ui/platform.h"
#include "ui/text_convert.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
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

// A name field whose cell the last run used: light enough to read the name on it.
const QColor kUsedCell(255, 238, 186);

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
    setFixedSize(DialogUnits(font()).map(form::kFormSize).size());
    for (const form::GroupLayout* group : form::kGroups) {
        buildGroup(*group);
    }
    buildButtons();
    for (std::size_t i = 0; i + 1 < form::kTabOrder.size(); ++i) {
        QWidget::setTabOrder(m_controls.value(form::kTabOrder[i]), m_controls.value(form::kTabOrder[i + 1]));
    }
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &CTarvexDlg::showHelp);
    m_aboutInSystemMenu = AddAboutToSystemMenu(this, AboutEntryText());
    setWindowIcon(AppIcon());
}

CTarvexDlg::~CTarvexDlg() = default;

void CTarvexDlg::buildGroup(const form::GroupLayout& layout) {
    const DialogUnits units(font());
    auto* box = new QGroupBox(Latin1(layout.caption), this);
    box->setGeometry(units.map(layout.box));
    // The caption sits in the frame's top line, as the layout's positions assume.
    box->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                                      " margin-top: 0.5em; }"
                                      "QGroupBox::title { subcontrol-origin: margin; left: 0.5em;"
                                      " padding: 0 0.2em; }"));
    auto* picture = new GridPicture(this);
    picture->setGeometry(units.map(layout.picture));

    const auto makeField = [&](int id, const form::DuRect& rect, bool name = false) {
        QLineEdit* field = name ? new NameEdit(this) : new QLineEdit(this);
        field->setObjectName(QString::number(id));
        field->setGeometry(units.map(rect));
        m_controls.insert(id, field);
        return field;
    };

    QList<int> columnLines;
    QList<int> rowLines;
    for (int i = 0; i < kBoundCount; ++i) {
        const QLineEdit* width =
            makeField(layout.widthBoundIds[i], {form::kWidthBoundX[i], layout.widthBoundY,
                                                form::kWidthBoundWidth, form::kBoundHeight});
        const QLineEdit* length =
            makeField(layout.lengthBoundIds[i], {form::kLengthBoundX, layout.lengthBoundY[i],
                                                 form::kLengthBoundWidth, form::kBoundHeight});
        // The bound fields sit on the grid's lines.
        columnLines << width->geometry().center().x() - picture->x();
        rowLines << length->geometry().center().y() - picture->y();
    }
    picture->setLines(columnLines, rowLines);
    for (int l = 0; l < kBinCount; ++l) {
        for (int w = 0; w < kBinCount; ++w) {
            const int id = layout.nameIds[w][l];
            const QLineEdit* name = makeField(
                id, {layout.nameColumnX[w], layout.nameRowY[l], form::kNameWidth, form::kNameHeight}, true);
            connect(name, &QLineEdit::textEdited, this, [this, id] {
                if (m_presenter != nullptr) {
                    m_presenter->FieldEdited(id);
                }
            });
        }
    }

    auto* keyLabel = new QLabel(Latin1(form::kKeyLabelText), this);
    keyLabel->setGeometry(
        units.map({form::kKeyLabel.x, layout.keyLabelY, form::kKeyLabel.width, form::kKeyLabel.height}));
    keyLabel->setBuddy(makeField(
        layout.keyId, {form::kKeyField.x, layout.keyFieldY, form::kKeyField.width, form::kKeyField.height}));
}

void CTarvexDlg::buildButtons() {
    const DialogUnits units(font());
    for (const form::ButtonLayout& layout : form::kButtons) {
        auto* button = new QPushButton(Latin1(layout.text), this);
        button->setObjectName(QString::number(layout.id));
        button->setGeometry(units.map(layout.rect));
        button->setDefault(layout.id == form::kExitId);
        m_controls.insert(layout.id, button);
        if (layout.id == form::kHelpId) {
            connect(button, &QPushButton::clicked, this, &CTarvexDlg::showHelp);
        } else {
            connect(button, &QPushButton::clicked, this, [this, id = layout.id] {
                if (m_presenter != nullptr) {
                    m_presenter->Command(id);
                }
            });
        }
    }
}

void CTarvexDlg::bind(form::FormPresenter& presenter) {
    m_presenter = &presenter;
    presenter.setFileViewer(*this);
}

std::filesystem::path CTarvexDlg::tempFolder() {
    return ToPath(QDir::tempPath());
}

bool CTarvexDlg::open(const std::filesystem::path& file) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(FromPath(file)));
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
    palette.setColor(QPalette::Base, tinted ? kUsedCell : QApplication::palette(edit).color(QPalette::Base));
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
        m_presenter->Cancel();
    } else {
        QDialog::reject();
    }
}

// About (unless the system menu has it), the import from a model library, and the bin map, which
// waits for a completed Process.
void CTarvexDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    if (!m_aboutInSystemMenu) {
        menu.addAction(AboutEntryText(), this, &CTarvexDlg::showAbout);
    }
    menu.addAction(ImportEntryText(), this, &CTarvexDlg::importBins);
    QAction* map = menu.addAction(Latin1(form::kBinMapEntry), this, [this] {
        if (m_presenter != nullptr) {
            m_presenter->ShowBinMap();
        }
    });
    map->setEnabled(m_presenter != nullptr && m_presenter->BinMapAvailable());
    menu.exec(event->globalPos());
}

bool CTarvexDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (IsAboutSystemCommand(eventType, message)) {
        showAbout();
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}

QString CTarvexDlg::ImportEntryText() {
    return QStringLiteral("Import Bins from Model Library...");
}

void CTarvexDlg::importBins() {
    if (m_presenter != nullptr) {
        m_presenter->ImportBins();
    }
}

void CTarvexDlg::showAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CTarvexDlg::showHelp() {
    if (m_help == nullptr) {
        m_help = new HelpWindow(this);
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

} // namespace tarvex::ui
