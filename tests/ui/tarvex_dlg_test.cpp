// SPDX-License-Identifier: MIT
// The main form driven as a user would: typing into fields, pressing buttons and keys, with file
// dialogs answered and messages read through the fake dialogs.
#include "fake_user_dialogs.h"
#include "support/temp_dir.h"

#include "settings/settings_file.h"
#include "ui/help_window.h"
#include "ui/tarvex_dlg.h"
#include "ui/text_convert.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

using namespace tarvex;
using test::FakeUserDialogs;

namespace {

// The form's focus chain, written out from the form's description: per group six width bounds, six
// length bounds and 25 names row by row; the buttons split around the P group; the Keys last.
const QList<int> kTabOrder{
    1060, 1063,  1064, 1065, 1066, 1067, 1023, 1056, 1057, 1058, 1059, 1055,       // N bounds
    1068, 1071,  1072, 1073, 1074, 1075, 1076, 1077, 1078, 1079, 1080, 1081, 1082, // N names
    1083, 1085,  1086, 1087, 1088, 1089, 1090, 1091, 1092, 1093, 1094, 1095,       //
    1,    57670, 1024,                                                             // Exit, Help, Load
    1096, 1097,  1098, 1099, 1100, 1101, 1102, 1103, 1104, 1105, 1106, 1107,       // P bounds
    1108, 1109,  1110, 1111, 1112, 1113, 1114, 1115, 1116, 1117, 1118, 1119, 1120, // P names
    1121, 1122,  1123, 1124, 1125, 1126, 1127, 1128, 1129, 1130, 1131, 1132,       //
    1025, 1026,  1027, 1028, 1029, // Save, Process, Clear, Keys
};
constexpr int kGroupNStart = 0;
constexpr int kGroupPStart = 40;

QLineEdit* Field(QWidget& form, int id) {
    return form.findChild<QLineEdit*>(QString::number(id));
}

void Type(QWidget& form, int id, const QString& text) {
    QLineEdit* field = Field(form, id);
    QVERIFY2(field, qPrintable(QString::number(id)));
    field->setFocus();
    field->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(field, Qt::Key_Backspace);
    } else {
        QTest::keyClicks(field, text);
    }
}

void Click(QWidget& form, int id) {
    auto* button = form.findChild<QPushButton*>(QString::number(id));
    QVERIFY2(button, qPrintable(QString::number(id)));
    QTest::mouseClick(button, Qt::LeftButton);
}

QByteArray LittleEndian(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    QByteArray bytes;
    for (int i = 0; i < 8; ++i) {
        bytes.append(static_cast<char>((bits >> (8 * i)) & 0xFF));
    }
    return bytes;
}

QByteArray FileBytes(const std::filesystem::path& path) {
    QFile file(ui::FromPath(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const std::filesystem::path& path, const QByteArray& bytes) {
    QFile file(ui::FromPath(path));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray SettingsBytes(const SettingsFile& settings) {
    std::array<unsigned char, kSettingsFileSize> bytes{};
    WriteSettings(settings, bytes);
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

// Tables with every bound and every name filled, Keys "NX" and "PX".
SettingsFile FullSettings() {
    SettingsFile settings;
    for (BinTable* table : {&settings.tableN, &settings.tableP}) {
        table->widthBounds = {1e-6, 2e-6, 3e-6, 4e-6, 5e-6, 6e-6};
        table->lengthBounds = {1e-7, 2e-7, 3e-7, 4e-7, 5e-7, 6e-7};
        for (int w = 0; w < kBinCount; ++w) {
            for (int l = 0; l < kBinCount; ++l) {
                SetPartName(*table, w, l, "C" + std::to_string(w) + std::to_string(l));
            }
        }
    }
    SetKeyText(settings.keyN, "NX");
    SetKeyText(settings.keyP, "PX");
    return settings;
}

QString Profile() {
    return QSettings().value(QStringLiteral("Options/MODxy File")).toString();
}

void SetProfile(const QString& path) {
    QSettings().setValue(QStringLiteral("Options/MODxy File"), path);
}

} // namespace

class TarvexDlgTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void typedFieldsReachTheirBytes_data();
    void typedFieldsReachTheirBytes();
    void clearEmptiesTheTablesButNotTheKeys();
    void startUpShowsRememberedTablesWithDefaultKeys();
    void settingsFileErrorsAreReportedOnlyWhenAsked();
    void untouchedFileSavesBackByteForByte();
    void closing_data();
    void closing();
    void processWritesBackupAndNetlist();
    void processRefusals_data();
    void processRefusals();
    void cancelledProcessKeepsTheBackupOnly();
    void tabOrderIdsAndFocus();
    void fieldsSitOnTheGrid();
    void aboutBoxFromContextMenu();
    void helpShowsTheBundledPage();
    void pathsAndFieldBytes();

private:
    std::unique_ptr<ui::CTarvexDlg> showForm();
    std::filesystem::path path(const char* name) const { return *m_dir / name; }
    QString qpath(const char* name) const { return ui::FromPath(path(name)); }

    QTemporaryDir m_profileDir;
    std::filesystem::path m_startDir;
    std::unique_ptr<test::TempDir> m_dir;
    ui::AppState m_state;
    FakeUserDialogs m_dialogs;
    int m_probeCalls = 0;
};

void TarvexDlgTest::initTestCase() {
    QVERIFY(m_profileDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_profileDir.path());
    QCoreApplication::setOrganizationName(QStringLiteral("Quendale"));
    QCoreApplication::setApplicationName(QStringLiteral("tarvex_ui_tests"));
    m_startDir = std::filesystem::current_path();
}

void TarvexDlgTest::init() {
    QSettings().clear();
    m_dir = std::make_unique<test::TempDir>();
    m_state = {};
    m_dialogs = {};
    m_probeCalls = 0;
}

void TarvexDlgTest::cleanup() {
    std::filesystem::current_path(m_startDir); // Load moves it into the temporary folder
    m_dir.reset();
}

std::unique_ptr<ui::CTarvexDlg> TarvexDlgTest::showForm() {
    auto form = std::make_unique<ui::CTarvexDlg>(m_state, m_dialogs, [this] {
        ++m_probeCalls;
        return std::string("design/amp.net");
    });
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) {
        qWarning("form not exposed");
    }
    return form;
}

void TarvexDlgTest::typedFieldsReachTheirBytes_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("shown"); // after Clear and Load

    const QString name25 = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXY");
    QTest::newRow("N width bound 0, 1u")
        << 1060 << QStringLiteral("1u") << 0 << LittleEndian(1e-6) << QStringLiteral("1e-06");
    QTest::newRow("N length bound 0, 2meg")
        << 1023 << QStringLiteral("2meg") << 48 << LittleEndian(2e6) << QStringLiteral("2e+06");
    QTest::newRow("P width bound 5, 0.25m")
        << 1101 << QStringLiteral("0.25m") << 624 + 40 << LittleEndian(0.25e-3) << QStringLiteral("0.00025");
    QTest::newRow("N name, length bin 0, width bin 4")
        << 1074 << QStringLiteral("NW4") << 96 + 105 * 4 << QByteArray("NW4", 4) << QStringLiteral("NW4");
    QTest::newRow("N name 1085, length bin 2, width bin 4")
        << 1085 << QStringLiteral("NL2") << 96 + 105 * 4 + 21 * 2 << QByteArray("NL2", 4)
        << QStringLiteral("NL2");
    QTest::newRow("P name, length bin 4, width bin 0") << 1128 << QStringLiteral("PL4") << 624 + 96 + 21 * 4
                                                       << QByteArray("PL4", 4) << QStringLiteral("PL4");
    QTest::newRow("25-character name keeps 19")
        << 1068 << name25 << 96 << (name25.left(19).toLatin1() + '\0') << name25.left(19);
    QTest::newRow("P Key") << 1029 << QStringLiteral("myKey") << 1298 << QByteArray("myKey", 6)
                           << QStringLiteral("myKey");
}

void TarvexDlgTest::typedFieldsReachTheirBytes() {
    QFETCH(int, id);
    QFETCH(QString, typed);
    QFETCH(int, offset);
    QFETCH(QByteArray, stored);
    QFETCH(QString, shown);
    auto form = showForm();
    Type(*form, id, typed);
    m_dialogs.answers = {qpath("typed.amd"), qpath("typed.amd")};
    Click(*form, ui::kSaveId);

    const QByteArray bytes = FileBytes(path("typed.amd"));
    QCOMPARE(bytes.size(), qsizetype{1348});
    QCOMPARE(bytes.mid(offset, stored.size()), stored);
    QVERIFY(m_dialogs.errors.isEmpty());

    Click(*form, ui::kClearId);
    Click(*form, ui::kLoadId);
    QCOMPARE(Field(*form, id)->text(), shown);

    QCOMPARE(m_dialogs.requests.size(), std::size_t{2});
    const ui::FileRequest& save = m_dialogs.requests[0];
    QVERIFY(save.save);
    QCOMPARE(save.initialName, QStringLiteral("*.amd"));
    QCOMPARE(save.defaultSuffix, QStringLiteral("amd"));
    QCOMPARE(save.filter, QStringLiteral("MODxy Files (*.amd);;All Files (*)"));
    const ui::FileRequest& load = m_dialogs.requests[1];
    QVERIFY(!load.save);
    QVERIFY(!load.mustExist);
    QVERIFY(load.initialName.isEmpty());
    QCOMPARE(load.filter, save.filter);
}

void TarvexDlgTest::clearEmptiesTheTablesButNotTheKeys() {
    const QByteArray file = SettingsBytes(FullSettings());
    WriteBytes(path("full.amd"), file);
    SetProfile(qpath("full.amd"));
    auto form = showForm();
    Type(*form, 1028, QStringLiteral("myN"));
    Click(*form, ui::kClearId);

    int tableFields = 0;
    for (const QLineEdit* field : form->findChildren<QLineEdit*>()) {
        if (field->objectName() == QLatin1String("1028") || field->objectName() == QLatin1String("1029")) {
            continue;
        }
        ++tableFields;
        QVERIFY2(field->text().isEmpty(), qPrintable(field->objectName()));
    }
    QCOMPARE(tableFields, 74);
    QCOMPARE(Field(*form, 1028)->text(), QStringLiteral("myN"));
    QCOMPARE(Field(*form, 1029)->text(), QStringLiteral("MODxyP"));
    QCOMPARE(FileBytes(path("full.amd")), file);
}

void TarvexDlgTest::startUpShowsRememberedTablesWithDefaultKeys() {
    std::filesystem::create_directory(path("tech"));
    WriteBytes(path("tech") / "c35.amd", SettingsBytes(FullSettings()));
    SetProfile(ui::FromPath(path("tech") / "c35.amd"));
    auto form = showForm();

    QCOMPARE(Field(*form, 1060)->text(), QStringLiteral("1e-06"));
    QCOMPARE(Field(*form, 1055)->text(), QStringLiteral("6e-07"));
    QCOMPARE(Field(*form, 1095)->text(), QStringLiteral("C44"));
    QCOMPARE(Field(*form, 1109)->text(), QStringLiteral("C10")); // P: length bin 0, width bin 1
    QCOMPARE(Field(*form, 1028)->text(), QStringLiteral("MODxyN"));
    QCOMPARE(Field(*form, 1029)->text(), QStringLiteral("MODxyP"));
    QCOMPARE(std::filesystem::current_path(), std::filesystem::canonical(path("tech")));
    QCOMPARE(m_probeCalls, 0); // the application probes; the form only when processing

    m_dialogs.answers = {ui::FromPath(path("tech") / "c35.amd")};
    Click(*form, ui::kLoadId);
    QCOMPARE(Field(*form, 1028)->text(), QStringLiteral("NX"));
    QCOMPARE(Field(*form, 1029)->text(), QStringLiteral("PX"));
    QVERIFY(m_dialogs.errors.isEmpty());
}

void TarvexDlgTest::settingsFileErrorsAreReportedOnlyWhenAsked() {
    const QString unreachable = qpath("no-such-folder/x.amd");
    SetProfile(unreachable);
    auto form = showForm();
    QVERIFY(m_dialogs.errors.isEmpty());

    m_dialogs.answers = {unreachable, unreachable, qpath("new.amd")};
    Click(*form, ui::kLoadId);
    QCOMPARE(m_dialogs.errors.size(), 1);
    QVERIFY2(m_dialogs.errors[0].startsWith(QStringLiteral("Error: Cannot open settings file")),
             qPrintable(m_dialogs.errors[0]));
    Click(*form, ui::kSaveId);
    QCOMPARE(m_dialogs.errors.size(), 2);
    QVERIFY(m_state.currentSettingsPath.empty());

    // A new name is no error: it creates an empty settings file and shows empty tables.
    Type(*form, 1060, QStringLiteral("1u"));
    Click(*form, ui::kLoadId);
    QCOMPARE(m_dialogs.errors.size(), 2);
    QCOMPARE(FileBytes(path("new.amd")).size(), qsizetype{0});
    QVERIFY(Field(*form, 1060)->text().isEmpty());
    QCOMPARE(m_state.currentSettingsPath, path("new.amd"));
}

void TarvexDlgTest::untouchedFileSavesBackByteForByte() {
    SettingsFile settings = FullSettings();
    settings.tableN.widthBounds[0] = 1.23456789e-6; // shown rounded as "1.23457e-06"
    std::memcpy(settings.tableN.partNames[2][3], "AB\0junk after NUL\0xy", kNameCellSize);
    std::memcpy(settings.tableP.partNames[4][4], "twenty-one chars wide", kNameCellSize); // no NUL
    settings.tableN.filler[0] = 0x7F;
    settings.tableP.filler[2] = 0xA5;
    std::memcpy(settings.keyN.data(), "NX\0garbage", 10);
    const QByteArray original = SettingsBytes(settings) + QByteArray("tail beyond 1348 bytes");
    WriteBytes(path("junk.amd"), original);

    auto form = showForm();
    m_dialogs.answers = {qpath("junk.amd"), qpath("junk.amd")};
    Click(*form, ui::kLoadId);
    Click(*form, ui::kSaveId);
    QCOMPARE(FileBytes(path("junk.amd")), original);
    QVERIFY(m_dialogs.errors.isEmpty());
}

void TarvexDlgTest::closing_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("remembers");
    QTest::newRow("Enter in a bound field") << QStringLiteral("enter") << int{QDialog::Accepted} << true;
    QTest::newRow("Exit button") << QStringLiteral("exit") << int{QDialog::Accepted} << true;
    QTest::newRow("Escape") << QStringLiteral("escape") << int{QDialog::Rejected} << false;
    QTest::newRow("close box") << QStringLiteral("close") << int{QDialog::Rejected} << false;
}

void TarvexDlgTest::closing() {
    QFETCH(QString, how);
    QFETCH(int, result);
    QFETCH(bool, remembers);
    const QString previous = qpath("gone/previous.amd");
    SetProfile(previous);
    WriteBytes(path("now.amd"), SettingsBytes(FullSettings()));
    auto form = showForm();
    m_dialogs.answers = {qpath("now.amd")};
    Click(*form, ui::kLoadId);

    QLineEdit* field = Field(*form, 1064);
    field->setFocus();
    if (how == QLatin1String("enter")) {
        QTest::keyClick(field, Qt::Key_Return);
    } else if (how == QLatin1String("exit")) {
        Click(*form, ui::kExitId);
    } else if (how == QLatin1String("escape")) {
        QTest::keyClick(field, Qt::Key_Escape);
    } else {
        form->close();
    }
    QVERIFY(!form->isVisible());
    QCOMPARE(form->result(), result);
    QCOMPARE(Profile(), remembers ? qpath("now.amd") : previous);
    if (remembers) {
        QSettings profile;
        QFile stored(profile.fileName());
        QVERIFY(stored.open(QIODevice::ReadOnly));
        const QByteArray text = stored.readAll();
        QVERIFY2(text.contains("[Options]") && text.contains("MODxy%20File="), text.constData());
    }
}

void TarvexDlgTest::processWritesBackupAndNetlist() {
    const QByteArray netlist = "* amp\n"
                               "M1 d g s b MODxyN L=1u W=2u\n"
                               "M2 d g s b MODxyN L=1u W=6u\n"
                               "M3 d g s b MODxyP L=1u W=2u\n"
                               ".end\n";
    WriteBytes(path("amp.net"), netlist);
    auto form = showForm();
    for (const auto& [id, text] : std::initializer_list<std::pair<int, const char*>>{{1060, "1u"},
                                                                                     {1063, "5u"},
                                                                                     {1064, "10u"},
                                                                                     {1023, "0.5u"},
                                                                                     {1056, "2u"},
                                                                                     {1068, "NCH_S"},
                                                                                     {1096, "1u"},
                                                                                     {1097, "5u"},
                                                                                     {1102, "0.5u"},
                                                                                     {1103, "2u"}}) {
        Type(*form, id, QString::fromLatin1(text));
    }
    m_dialogs.answers = {qpath("amp.net")};
    Click(*form, ui::kProcessId);

    // Two devices meet empty cells (N width bin 1, P width bin 0): one message for the run.
    QCOMPARE(m_dialogs.errors, QStringList{QStringLiteral("Error: Missing MODxyN part name!")});
    QCOMPARE(FileBytes(path("amp.ant")), netlist);
    QCOMPARE(FileBytes(path("amp.net")),
             QByteArray(netlist).replace("M1 d g s b MODxyN", "M1 d g s b NCH_S"));
    QCOMPARE(m_dialogs.progressStarted, 1);

    QCOMPARE(m_probeCalls, 1);
    QCOMPARE(m_dialogs.requests.size(), std::size_t{1});
    const ui::FileRequest& request = m_dialogs.requests[0];
    QVERIFY(!request.save);
    QCOMPARE(request.initialName, QStringLiteral("design/amp.net"));
    QCOMPARE(request.defaultSuffix, QStringLiteral("NET"));
    QCOMPARE(request.filter, QStringLiteral("Net Files (*.net);;Backup Files (*.ant);;All Files (*)"));
}

void TarvexDlgTest::processRefusals_data() {
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("chosen"); // empty: the dialog is cancelled
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("asksForFile");

    QTest::newRow("zero width bound before a positive one")
        << QList<int>{1063} << QStringList{QStringLiteral("1u")} << QStringLiteral("amp.net")
        << QStringLiteral("Bad w value 0!") << false;
    QTest::newRow("descending length bounds")
        << QList<int>{1023, 1056} << QStringList{QStringLiteral("2u"), QStringLiteral("1u")}
        << QStringLiteral("amp.net") << QStringLiteral("Bad l value 2e-06!") << false;
    QTest::newRow("empty N Key") << QList<int>{1028} << QStringList{QString()} << QStringLiteral("amp.net")
                                 << QStringLiteral("Error: Empty MODxyN key!") << false;
    QTest::newRow("name without extension")
        << QList<int>{} << QStringList{} << QStringLiteral("amp")
        << QStringLiteral("Input file cannot have .OUT extension!") << true;
    QTest::newRow("netlist that does not exist")
        << QList<int>{} << QStringList{} << QStringLiteral("gone.net") << QStringLiteral("Error: Cannot move")
        << true;
    QTest::newRow("dialog cancelled") << QList<int>{} << QStringList{} << QString() << QString() << true;
}

void TarvexDlgTest::processRefusals() {
    QFETCH(QList<int>, ids);
    QFETCH(QStringList, typed);
    QFETCH(QString, chosen);
    QFETCH(QString, message);
    QFETCH(bool, asksForFile);
    const QByteArray netlist = "M1 d g s b MODxyN L=1u W=2u\n";
    WriteBytes(path("amp.net"), netlist);
    WriteBytes(path("amp"), netlist);
    auto form = showForm();
    for (qsizetype i = 0; i < ids.size(); ++i) {
        Type(*form, ids[i], typed[i]);
    }
    if (!chosen.isEmpty()) {
        m_dialogs.answers = {ui::FromPath(m_dir->path() / ui::ToPath(chosen))};
    }
    Click(*form, ui::kProcessId);

    QCOMPARE(m_dialogs.requests.size(), std::size_t{asksForFile ? 1U : 0U});
    if (message.isEmpty()) {
        QVERIFY(m_dialogs.errors.isEmpty());
    } else {
        QCOMPARE(m_dialogs.errors.size(), 1);
        QVERIFY2(m_dialogs.errors[0].startsWith(message), qPrintable(m_dialogs.errors[0]));
    }
    QStringList files = QDir(ui::FromPath(m_dir->path())).entryList(QDir::Files);
    files.sort();
    QCOMPARE(files, (QStringList{QStringLiteral("amp"), QStringLiteral("amp.net")}));
    QCOMPARE(FileBytes(path("amp.net")), netlist);
}

void TarvexDlgTest::cancelledProcessKeepsTheBackupOnly() {
    QByteArray netlist;
    while (netlist.size() < 3 * 1024 * 1024) {
        netlist += "M1 d g s b MODxyN L=1u W=2u AS=1p AD=1p PS=4u PD=4u\n";
    }
    WriteBytes(path("big.net"), netlist);
    auto form = showForm();
    Type(*form, 1060, QStringLiteral("1u"));
    Type(*form, 1063, QStringLiteral("5u"));
    Type(*form, 1023, QStringLiteral("0.5u"));
    Type(*form, 1056, QStringLiteral("2u"));
    Type(*form, 1068, QStringLiteral("NCH_S"));
    m_dialogs.cancelAfterUpdates = 1;
    m_dialogs.answers = {qpath("big.net")};
    Click(*form, ui::kProcessId);

    QCOMPARE(m_dialogs.progressUpdates, 1);
    QVERIFY(m_dialogs.errors.isEmpty());
    QCOMPARE(QDir(ui::FromPath(m_dir->path())).entryList(QDir::Files),
             QStringList{QStringLiteral("big.ant")});
    QCOMPARE(FileBytes(path("big.ant")), netlist);
}

void TarvexDlgTest::tabOrderIdsAndFocus() {
    auto form = showForm();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QWidget* first = QApplication::focusWidget();
    QVERIFY(first);
    QCOMPARE(first->objectName(), QStringLiteral("1060"));

    QList<int> chain;
    QWidget* widget = first;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && form->isAncestorOf(widget)) {
            chain << widget->objectName().toInt();
        }
        widget = widget->nextInFocusChain();
    } while (widget != first && chain.size() <= kTabOrder.size());
    QCOMPARE(chain, kTabOrder);

    const QList<std::pair<int, QString>> buttons{
        {1, QStringLiteral("Exit")},    {57670, QStringLiteral("&Help")},  {1024, QStringLiteral("Load")},
        {1025, QStringLiteral("Save")}, {1026, QStringLiteral("Process")}, {1027, QStringLiteral("Clear")}};
    for (const auto& [id, text] : buttons) {
        auto* button = form->findChild<QPushButton*>(QString::number(id));
        QVERIFY(button);
        QCOMPARE(button->text(), text);
        QCOMPARE(button->isDefault(), id == 1);
    }
    QCOMPARE(form->windowTitle(), QStringLiteral("Tarvex"));
}

void TarvexDlgTest::fieldsSitOnTheGrid() {
    auto form = showForm();
    QList<QWidget*> controls;
    for (const int id : kTabOrder) {
        QWidget* control = form->findChild<QWidget*>(QString::number(id));
        QVERIFY(control);
        QVERIFY2(form->rect().contains(control->geometry()), qPrintable(control->objectName()));
        for (const QWidget* other : controls) {
            QVERIFY2(!control->geometry().intersects(other->geometry()),
                     qPrintable(control->objectName() + QLatin1Char('/') + other->objectName()));
        }
        controls << control;
    }
    // Each name field lies in the cell between the lines that its bin's bound fields sit on.
    for (const int start : {kGroupNStart, kGroupPStart}) {
        const auto centre = [&](int index) { return controls[start + index]->geometry().center(); };
        for (int l = 0; l < kBinCount; ++l) {
            for (int w = 0; w < kBinCount; ++w) {
                const QRect cell(QPoint(centre(w).x(), centre(6 + l).y()),
                                 QPoint(centre(w + 1).x(), centre(6 + l + 1).y()));
                const QWidget* name = controls[start + 12 + 5 * l + w];
                QVERIFY2(cell.contains(name->geometry()), qPrintable(name->objectName()));
            }
        }
    }
}

void TarvexDlgTest::aboutBoxFromContextMenu() {
    auto form = showForm();
    QStringList seen;
    // The menu and the About box are modal; inspect and close each from the event loop.
    QTimer::singleShot(0, form.get(), [&seen, &form] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr || menu->actions().isEmpty()) {
            return;
        }
        seen << menu->actions().constFirst()->text();
        QTimer::singleShot(0, form.get(), [&seen] {
            QWidget* about = QApplication::activeModalWidget();
            if (about == nullptr) {
                return;
            }
            seen << about->windowTitle();
            for (const QLabel* label : about->findChildren<QLabel*>()) {
                seen << label->text();
            }
            auto* ok = about->findChild<QPushButton*>(QStringLiteral("1"));
            if (ok != nullptr) {
                QTest::mouseClick(ok, Qt::LeftButton);
            }
        });
        menu->actions().constFirst()->trigger();
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, form->height() - 5),
                            form->mapToGlobal(QPoint(5, form->height() - 5)));
    QApplication::sendEvent(form.get(), &event);

    QVERIFY2(seen.size() >= 4, qPrintable(seen.join(QLatin1Char('|'))));
    QCOMPARE(seen[0], QStringLiteral("&About Tarvex..."));
    QCOMPARE(seen[1], QStringLiteral("About Tarvex"));
    QVERIFY(seen.contains(QStringLiteral("Tarvex Version 1.0")));
    QVERIFY(form->isVisible());
}

void TarvexDlgTest::helpShowsTheBundledPage() {
    auto form = showForm();
    QTest::keyClick(Field(*form, 1060), Qt::Key_F1);
    auto* help = form->findChild<ui::HelpWindow*>();
    QVERIFY(help);
    QVERIFY(help->isVisible());
    const QString page = help->findChild<QTextBrowser*>()->toPlainText();
    QVERIFY2(page.contains(QStringLiteral("tarvex-cli")) && page.contains(QStringLiteral(".ant")),
             qPrintable(page));
    help->close();
    Click(*form, ui::kHelpId);
    QVERIFY(help->isVisible());
    QVERIFY(form->isVisible());
}

void TarvexDlgTest::pathsAndFieldBytes() {
    // A name outside ASCII survives the trip to the file system and back.
    const QString name = QStringLiteral("Verst\u00e4rker \u03a9.net");
    const QString full = ui::FromPath(m_dir->path()) + QLatin1Char('/') + name;
    WriteBytes(ui::ToPath(full), "x");
    QVERIFY(QFile::exists(full));
    QCOMPARE(ui::FromPath(ui::ToPath(full)), full);

    // Cutting to a byte limit never splits a character.
    const QString umlauts(25, QChar(0x00E4));
    const std::string cut = ui::ToFieldBytes(umlauts, 19);
    QCOMPARE(cut.size(), std::size_t{18});
    QCOMPARE(ui::FromFieldBytes(cut), umlauts.left(9));
    QCOMPARE(ui::ToFieldBytes(QStringLiteral("short"), 19), std::string("short"));
}

QTEST_MAIN(TarvexDlgTest)
#include "tarvex_dlg_test.moc"
