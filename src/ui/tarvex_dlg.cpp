// SPDX-License-Identifier: MIT
#include "ui/tarvex_dlg.h"

#include "bins/engineering_value.h"
#include "netlist/line_rewriter.h"
#include "files/paths.h"
#include "netlist/process.h"
#include "ui/about_dlg.h"
#include "ui/app_icon.h"
#include "ui/dialog_units.h"
#include "ui/grid_picture.h"
#include "ui/help_window.h"
#include "ui/platform.h"
#include "ui/profile.h"
#include "ui/text_convert.h"
#include "ui/user_dialogs.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace tarvex::ui {
namespace {

constexpr std::string_view kNetlistFilter =
    "Net Files (*.net)|*.net|Backup Files (*.ant)|*.ant|All Files (*.*)|*.*||";
constexpr std::string_view kSettingsFilter = "MODxy Files (*.amd)|*.amd|All Files (*.*)|*.*||";

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void ShowText(QLineEdit* field, const QString& text) {
    field->setText(text);
    field->setCursorPosition(0); // a long name shows its beginning, as it is stored
}

// A bound is re-read only when its field no longer shows the stored value: "%g" keeps six digits,
// so re-parsing an untouched field could change a loaded bound.
void ReadBound(const QLineEdit* field, double& bound) {
    if (field->text() != FromFieldBytes(ShowFieldValue(bound))) {
        bound = ParseFieldValue(ToFieldBytes(field->text(), kFieldTextLength)).value;
    }
}

void ReadName(const QLineEdit* field, BinTable& table, int widthBin, int lengthBin) {
    if (field->text() != FromFieldBytes(PartName(table, widthBin, lengthBin))) {
        SetPartName(table, widthBin, lengthBin, ToFieldBytes(field->text(), kMaxPartNameLength));
    }
}

void ReadKey(const QLineEdit* field, KeyField& key) {
    if (field->text() != FromFieldBytes(KeyText(key))) {
        SetKeyText(key, ToFieldBytes(field->text(), kMaxKeyLength));
    }
}

} // namespace

CTarvexDlg::CTarvexDlg(AppState& state, UserDialogs& dialogs, SimulatorProbe probe, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_state(state), m_dialogs(dialogs), m_probe(std::move(probe)) {
    setWindowTitle(QStringLiteral("Tarvex"));
    setFixedSize(DialogUnits(font()).map(kFormSize).size());
    m_groups[0] = buildGroup(kGroupN);
    m_groups[1] = buildGroup(kGroupP);
    buildButtons();
    chainTabOrder();
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &CTarvexDlg::showHelp);

    // Start-up: the About entry, the remembered settings file, the icon, the default Keys
    // (whatever the file held), the focus on the first width bound.
    m_aboutInSystemMenu = AddAboutToSystemMenu(this, AboutEntryText());
    loadSettingsFrom(ToPath(RememberedSettingsPath()), false);
    setWindowIcon(AppIcon());
    ShowText(m_groups[0].key, Latin1(kDefaultKeyN));
    ShowText(m_groups[1].key, Latin1(kDefaultKeyP));
    m_groups[0].widthBounds[0]->setFocus();
}

CTarvexDlg::~CTarvexDlg() = default;

CTarvexDlg::GroupFields CTarvexDlg::buildGroup(const GroupLayout& layout) {
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

    const auto makeField = [&](int id, const DuRect& rect) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QString::number(id));
        field->setGeometry(units.map(rect));
        return field;
    };

    GroupFields fields;
    QList<int> columnLines;
    QList<int> rowLines;
    for (int i = 0; i < kBoundCount; ++i) {
        fields.widthBounds[i] = makeField(
            layout.widthBoundIds[i], {kWidthBoundX[i], layout.widthBoundY, kWidthBoundWidth, kBoundHeight});
        fields.lengthBounds[i] = makeField(layout.lengthBoundIds[i], {kLengthBoundX, layout.lengthBoundY[i],
                                                                      kLengthBoundWidth, kBoundHeight});
        // The bound fields sit on the grid's lines.
        columnLines << fields.widthBounds[i]->geometry().center().x() - picture->x();
        rowLines << fields.lengthBounds[i]->geometry().center().y() - picture->y();
    }
    picture->setLines(columnLines, rowLines);
    for (int l = 0; l < kBinCount; ++l) {
        for (int w = 0; w < kBinCount; ++w) {
            fields.names[l][w] = makeField(
                layout.nameIds[l][w], {layout.nameColumnX[w], layout.nameRowY[l], kNameWidth, kNameHeight});
        }
    }

    auto* keyLabel = new QLabel(QStringLiteral("Key"), this);
    keyLabel->setGeometry(units.map({kKeyLabel.x, layout.keyLabelY, kKeyLabel.width, kKeyLabel.height}));
    fields.key = makeField(layout.keyId, {kKeyField.x, layout.keyFieldY, kKeyField.width, kKeyField.height});
    keyLabel->setBuddy(fields.key);
    return fields;
}

void CTarvexDlg::buildButtons() {
    const DialogUnits units(font());
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        const ButtonLayout& layout = kButtons[i];
        auto* button = new QPushButton(Latin1(layout.text), this);
        button->setObjectName(QString::number(layout.id));
        button->setGeometry(units.map(layout.rect));
        m_buttons[i] = button;
        switch (layout.id) {
        case kExitId:
            button->setDefault(true);
            connect(button, &QPushButton::clicked, this, &CTarvexDlg::onExit);
            break;
        case kHelpId:
            connect(button, &QPushButton::clicked, this, &CTarvexDlg::showHelp);
            break;
        case kLoadId:
            connect(button, &QPushButton::clicked, this, &CTarvexDlg::OnLoad);
            break;
        case kSaveId:
            connect(button, &QPushButton::clicked, this, &CTarvexDlg::OnSave);
            break;
        case kProcessId:
            connect(button, &QPushButton::clicked, this, &CTarvexDlg::OnProcess);
            break;
        case kClearId:
            connect(button, &QPushButton::clicked, this, &CTarvexDlg::OnClear);
            break;
        default:
            break;
        }
    }
}

// N bounds and names, Exit, Help, Load, P bounds and names, Save, Process, Clear, both Keys.
void CTarvexDlg::chainTabOrder() {
    std::vector<QWidget*> order;
    const auto addGroup = [&order](const GroupFields& group) {
        order.insert(order.end(), group.widthBounds.begin(), group.widthBounds.end());
        order.insert(order.end(), group.lengthBounds.begin(), group.lengthBounds.end());
        for (const auto& row : group.names) {
            order.insert(order.end(), row.begin(), row.end());
        }
    };
    addGroup(m_groups[0]);
    order.insert(order.end(), m_buttons.begin(), m_buttons.begin() + 3);
    addGroup(m_groups[1]);
    order.insert(order.end(), m_buttons.begin() + 3, m_buttons.end());
    order.push_back(m_groups[0].key);
    order.push_back(m_groups[1].key);
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        QWidget::setTabOrder(order[i], order[i + 1]);
    }
}

BinTable& CTarvexDlg::tableOf(int group) {
    return group == 0 ? m_state.settings.tableN : m_state.settings.tableP;
}

void CTarvexDlg::ReadTablesFromForm() {
    for (int g = 0; g < 2; ++g) {
        const GroupFields& fields = m_groups[g];
        BinTable& table = tableOf(g);
        for (int i = 0; i < kBoundCount; ++i) {
            ReadBound(fields.widthBounds[i], table.widthBounds[i]);
            ReadBound(fields.lengthBounds[i], table.lengthBounds[i]);
        }
        for (int l = 0; l < kBinCount; ++l) {
            for (int w = 0; w < kBinCount; ++w) {
                ReadName(fields.names[l][w], table, w, l);
            }
        }
    }
}

void CTarvexDlg::WriteTablesToForm() {
    for (int g = 0; g < 2; ++g) {
        const GroupFields& fields = m_groups[g];
        const BinTable& table = tableOf(g);
        for (int i = 0; i < kBoundCount; ++i) {
            ShowText(fields.widthBounds[i], FromFieldBytes(ShowFieldValue(table.widthBounds[i])));
            ShowText(fields.lengthBounds[i], FromFieldBytes(ShowFieldValue(table.lengthBounds[i])));
        }
        for (int l = 0; l < kBinCount; ++l) {
            for (int w = 0; w < kBinCount; ++w) {
                ShowText(fields.names[l][w], FromFieldBytes(PartName(table, w, l)));
            }
        }
    }
}

void CTarvexDlg::readKeysInto(SettingsFile& settings) const {
    ReadKey(m_groups[0].key, settings.keyN);
    ReadKey(m_groups[1].key, settings.keyP);
}

void CTarvexDlg::loadSettingsFrom(const std::filesystem::path& path, bool reportFailure) {
    LoadResult result = LoadSettings(path);
    if (!result.loaded) {
        if (reportFailure) {
            showError(result.error);
        }
        return;
    }
    m_state.settings = result.settings;
    m_state.currentSettingsPath = path;
    WriteTablesToForm();
    const std::string_view keyN = KeyText(m_state.settings.keyN);
    const std::string_view keyP = KeyText(m_state.settings.keyP);
    ShowText(m_groups[0].key, keyN.empty() ? Latin1(kDefaultKeyN) : FromFieldBytes(keyN));
    ShowText(m_groups[1].key, keyP.empty() ? Latin1(kDefaultKeyP) : FromFieldBytes(keyP));
    if (const auto folder = FolderOf(path)) {
        std::error_code ignored;
        std::filesystem::current_path(*folder, ignored);
    }
}

void CTarvexDlg::OnLoad() {
    FileRequest request;
    request.mustExist = false; // a new name creates an empty settings file
    request.filter = QtFilterFromPipes(kSettingsFilter);
    request.defaultSuffix = QStringLiteral("amd");
    request.directory = QDir::currentPath();
    if (const auto chosen = m_dialogs.askFile(this, request)) {
        loadSettingsFrom(ToPath(*chosen), true);
    }
}

void CTarvexDlg::OnSave() {
    FileRequest request;
    request.save = true;
    request.filter = QtFilterFromPipes(kSettingsFilter);
    request.defaultSuffix = QStringLiteral("amd");
    request.initialName = QStringLiteral("*.amd");
    request.directory = QDir::currentPath();
    const auto chosen = m_dialogs.askFile(this, request);
    if (!chosen) {
        return;
    }
    ReadTablesFromForm();
    readKeysInto(m_state.settings);
    const std::filesystem::path path = ToPath(*chosen);
    if (const auto error = SaveSettings(path, m_state.settings)) {
        showError(*error);
        return;
    }
    m_state.currentSettingsPath = path;
}

void CTarvexDlg::OnProcess() {
    m_state.defaultNetlistName = m_probe();
    RewriteRules rules;
    rules.keyN = ToFieldBytes(m_groups[0].key->text(), kMaxKeyLength);
    rules.keyP = ToFieldBytes(m_groups[1].key->text(), kMaxKeyLength);
    ReadTablesFromForm();
    rules.tableN = m_state.settings.tableN;
    rules.tableP = m_state.settings.tableP;
    if (const auto fault = CheckRules(rules)) {
        showError(*fault);
        return;
    }

    FileRequest request;
    request.filter = QtFilterFromPipes(kNetlistFilter);
    request.defaultSuffix = QStringLiteral("NET");
    request.initialName = FromCoreMessage(m_state.defaultNetlistName);
    request.directory = QDir::currentPath();
    const auto chosen = m_dialogs.askFile(this, request);
    if (!chosen) {
        return;
    }

    const std::filesystem::path path = ToPath(*chosen);
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(path, sizeError);
    auto progress = m_dialogs.startProgress(this, tr("Processing %1").arg(FromPath(path.filename())),
                                            sizeError ? 0 : static_cast<qint64>(size));
    StreamOptions options;
    options.onProgress = [&progress](std::uint64_t bytesRead) {
        return progress->update(static_cast<qint64>(bytesRead));
    };
    const ProcessOutcome outcome = ProcessNetlist(path, rules, options);
    progress.reset();
    if (outcome.report.firstProblem) {
        showError(*outcome.report.firstProblem);
    }
    if (outcome.error) {
        showError(*outcome.error);
    }
}

void CTarvexDlg::OnClear() {
    m_state.settings.tableN = BinTable{};
    m_state.settings.tableP = BinTable{};
    WriteTablesToForm();
}

void CTarvexDlg::onExit() {
    RememberSettingsPath(FromPath(m_state.currentSettingsPath));
    accept();
}

void CTarvexDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (m_aboutInSystemMenu) {
        QDialog::contextMenuEvent(event);
        return;
    }
    QMenu menu(this);
    menu.addAction(AboutEntryText(), this, &CTarvexDlg::showAbout);
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

void CTarvexDlg::showError(const std::string& message) {
    m_dialogs.showError(this, FromCoreMessage(message));
}

} // namespace tarvex::ui
