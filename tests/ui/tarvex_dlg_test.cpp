// SPDX-License-Identifier: MIT
// The Qt window as widgets: that it is wired to the form, not what the form decides. Every control
// of the layout table at its place, ids, tab order, what each key, button and menu entry reaches,
// the command line of the built program, and the Qt implementations of the form's ports. The
// decisions behind them are tested without widgets in tests/form.
#include "form/fake_ports.h"
#include "support/temp_dir.h"

#include "form/form_layout.h"
#include "form/form_presenter.h"
#include "form/start_options.h"
#include "ui/app_icon.h"
#include "ui/dialog_units.h"
#include "ui/help_window.h"
#include "ui/profile.h"
#include "ui/tarvex_dlg.h"
#include "ui/text_convert.h"
#include "ui/user_dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <string>

using namespace tarvex;

namespace {

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

QString Profile() {
    return QSettings().value(QStringLiteral("Options/MODxy File")).toString();
}

// The window wired to the presenter as the application wires it, with the file dialogs and
// messages answered by fakes and the profile in QSettings.
struct Window {
    explicit Window(test::FakePrompts& prompts, const std::optional<std::filesystem::path>& settingsFile = {})
        : presenter(dialog, prompts, profile, [this] {
              ++probeCalls;
              return TitleHint{"amp.net", std::nullopt};
          }) {
        dialog.bind(presenter, settingsFile);
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog)) {
            qWarning("form not exposed");
        }
    }

    ui::CTarvexDlg dialog;
    ui::QtProfile profile;
    int probeCalls = 0;
    form::FormPresenter presenter;
};

} // namespace

class TarvexDlgTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void tabOrderIdsAndFocus();
    void controlsSitAtTheirTableRectangles();
    void viewReadsAndShowsFieldBytes();
    void buttonsReachTheirCommands();
    void shortcutsReachTheirCommands();
    void saveDetailsKeepsTheBoxOpen();
    void closing_data();
    void closing();
    void aboutBoxFromContextMenu();
    void binMapFromContextMenu();
    void binMapGoesToTheRuntimeFolder();
    void spiceSizesFromContextMenu();
    void importFromContextMenuShowsNamesByTheirEnd();
    void helpShowsTheBundledPage();
    void stopMessageAndProgress();
    void pathsFiltersAndFieldBytes();
    void commandLineAnswersAsTheFormSays_data();
    void commandLineAnswersAsTheFormSays();
    void settingsFileGivenAtStartIsShown();
    void windowsIconIsTheDrawnIcon();

private:
    QTemporaryDir m_profileDir;
    test::FakePrompts m_prompts;
};

void TarvexDlgTest::initTestCase() {
    QVERIFY(m_profileDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_profileDir.path());
    QCoreApplication::setOrganizationName(QStringLiteral("Quendale"));
    QCoreApplication::setApplicationName(QStringLiteral("tarvex_ui_tests"));
}

void TarvexDlgTest::init() {
    QSettings().clear();
    m_prompts = {};
}

void TarvexDlgTest::tabOrderIdsAndFocus() {
    Window window(m_prompts);
    ui::CTarvexDlg& form = window.dialog;
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QWidget* first = QApplication::focusWidget();
    QVERIFY(first);
    QCOMPARE(first->objectName(), QStringLiteral("1060"));

    QList<int> chain;
    QWidget* widget = first;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && form.isAncestorOf(widget)) {
            chain << widget->objectName().toInt();
        }
        widget = widget->nextInFocusChain();
    } while (widget != first && chain.size() <= static_cast<qsizetype>(form::kTabOrder.size()));
    QCOMPARE(chain, QList<int>(form::kTabOrder.begin(), form::kTabOrder.end()));

    for (const form::ButtonLayout& layout : form::kButtons) {
        auto* button = form.findChild<QPushButton*>(QString::number(layout.id));
        QVERIFY(button);
        QCOMPARE(button->text().toStdString(), std::string(layout.text));
        QCOMPARE(button->isDefault(), layout.id == form::kExitId);
    }
    QCOMPARE(form.windowTitle(), QStringLiteral("Tarvex"));
    QStringList captions;
    for (const QGroupBox* box : form.findChildren<QGroupBox*>()) {
        captions << box->title();
    }
    QCOMPARE(captions, (QStringList{QStringLiteral("MODxyN"), QStringLiteral("MODxyP")}));
}

// Every control of the layout table is made, of its kind, at its rectangle in the dialog's units
// (where the table is held to its rules: tests/form).
void TarvexDlgTest::controlsSitAtTheirTableRectangles() {
    Window window(m_prompts);
    ui::CTarvexDlg& form = window.dialog;
    const ui::DialogUnits units(form.font());
    for (const form::Control& control : form::kControls) {
        if (control.id == form::kNoControlId) {
            continue;
        }
        QWidget* widget = form.findChild<QWidget*>(QString::number(control.id));
        QVERIFY2(widget, qPrintable(QString::number(control.id)));
        const bool button =
            control.kind == form::ControlKind::Button || control.kind == form::ControlKind::DefaultButton;
        QVERIFY2(button ? qobject_cast<QPushButton*>(widget) != nullptr
                        : qobject_cast<QLineEdit*>(widget) != nullptr,
                 qPrintable(widget->objectName()));
        QCOMPARE(widget->geometry(), units.map(control.rect));
    }
}

// The view's side of the field texts: bytes in the local encoding, cut without splitting a
// character, and "unchanged" judged on the text shown.
void TarvexDlgTest::viewReadsAndShowsFieldBytes() {
    Window window(m_prompts);
    form::FormView& view = window.dialog;
    const QString name25 = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXY");
    view.setFieldText(1068, name25.toStdString());
    QVERIFY(Field(window.dialog, 1068)->text().endsWith(QStringLiteral("XY"))); // a name shows its end
    QVERIFY(Field(window.dialog, 1068)->text().startsWith(QChar(0x2026)));      // behind an ellipsis
    QCOMPARE(view.fieldText(1068, 19), name25.left(19).toStdString());
    QVERIFY(view.showsText(1068, name25.toStdString()));

    Field(window.dialog, 1068)->setFocus();
    QCOMPARE(Field(window.dialog, 1068)->text(), name25);
    Field(window.dialog, 1068)->selectAll();
    Field(window.dialog, 1068)->insert(QString(25, QChar(0x00E4))); // as typed
    QVERIFY(!view.showsText(1068, name25.toStdString()));
    QCOMPARE(view.fieldText(1068, 19), ui::ToFieldBytes(QString(9, QChar(0x00E4)), 19));

    // A name field's hint: its tooltip and a tint that goes again; typing a name updates the tooltip.
    QLineEdit* name = Field(window.dialog, 1071);
    const QColor plain = name->palette().color(QPalette::Base);
    view.setFieldHint(1071, "NCH_W1\n2 devices in the last run", true);
    QCOMPARE(name->toolTip(), QStringLiteral("NCH_W1\n2 devices in the last run"));
    QVERIFY(name->palette().color(QPalette::Base) != plain);
    view.setFieldHint(1071, "", false);
    QVERIFY(name->toolTip().isEmpty());
    QCOMPARE(name->palette().color(QPalette::Base), plain);
    Type(window.dialog, 1071, QStringLiteral("NCH_TYPED_NAME"));
    QCOMPARE(name->toolTip(), QStringLiteral("N, width bin 2, length bin 1: NCH_TYPED_NAME"));
}

// Each button and key reaches its command: a file dialog of the right kind, the probe, an empty
// grid.
void TarvexDlgTest::buttonsReachTheirCommands() {
    Window window(m_prompts);
    Type(window.dialog, 1060, QStringLiteral("1u"));
    Click(window.dialog, form::kClearId);
    QVERIFY(Field(window.dialog, 1060)->text().isEmpty());
    Click(window.dialog, form::kLoadId);
    Click(window.dialog, form::kSaveId);
    QCOMPARE(window.probeCalls, 1);
    Click(window.dialog, form::kProcessId);
    QCOMPARE(window.probeCalls, 2);
    QCOMPARE(m_prompts.requests.size(), std::size_t{3});
    QCOMPARE(m_prompts.requests[0].defaultExtension, std::string("amd"));
    QVERIFY(!m_prompts.requests[0].save);
    QVERIFY(m_prompts.requests[1].save);
    QCOMPARE(m_prompts.requests[2].defaultExtension, std::string("NET"));
    QVERIFY(m_prompts.messages.empty());
}

// The keys of the form's shortcut list reach their buttons' commands from any field; the title
// follows the settings file saved.
void TarvexDlgTest::shortcutsReachTheirCommands() {
    test::TempDir dir;
    Window window(m_prompts);
    ui::CTarvexDlg& form = window.dialog;
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QLineEdit* field = Field(form, 1064);
    field->setFocus();
    m_prompts.answers = {std::nullopt, dir / "s.amd"};
    QTest::keyClick(field, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(m_prompts.requests.size(), std::size_t{3});
    QVERIFY(!m_prompts.requests[0].save);
    QCOMPARE(m_prompts.requests[0].defaultExtension, std::string("amd"));
    QVERIFY(m_prompts.requests[1].save);
    QCOMPARE(m_prompts.requests[2].title, std::string("Process Netlist"));
    QCOMPARE(form.windowTitle(), QStringLiteral("s.amd - Tarvex"));
    QCOMPARE(window.probeCalls, 2);
}

// The Save Details button calls back while the box stays open; OK then closes it.
void TarvexDlgTest::saveDetailsKeepsTheBoxOpen() {
    QWidget parent;
    parent.show();
    ui::QtUserDialogs dialogs(&parent);
    int saved = 0;
    QStringList seen;
    QTimer::singleShot(0, &parent, [&seen, &saved] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == ui::SaveDetailsText()) {
                button->click();
                button->click();
            }
        }
        seen << box->text() << QString::number(saved) << QString::number(box->isVisible());
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.showStopWithSave("Error: Missing MODxyN part name!", "amp.net written", [&saved] { ++saved; });
    QCOMPARE(seen, (QStringList{QStringLiteral("Error: Missing MODxyN part name!"), QStringLiteral("2"),
                                QStringLiteral("1")}));
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
    test::TempDir dir;
    const QString previous = ui::FromPath(dir / "gone" / "previous.amd");
    QSettings().setValue(QStringLiteral("Options/MODxy File"), previous);
    Window window(m_prompts);
    ui::CTarvexDlg& form = window.dialog;
    m_prompts.answers = {dir / "now.amd"};
    Click(form, form::kLoadId);

    QLineEdit* field = Field(form, 1064);
    field->setFocus();
    if (how == QLatin1String("enter")) {
        QTest::keyClick(field, Qt::Key_Return);
    } else if (how == QLatin1String("exit")) {
        Click(form, form::kExitId);
    } else if (how == QLatin1String("escape")) {
        QTest::keyClick(field, Qt::Key_Escape);
    } else {
        form.close();
    }
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), result);
    QCOMPARE(Profile(), remembers ? ui::FromPath(dir / "now.amd") : previous);
    if (remembers) {
        QSettings profile;
        QFile stored(profile.fileName());
        QVERIFY(stored.open(QIODevice::ReadOnly));
        const QByteArray text = stored.readAll();
        QVERIFY2(text.contains("[Options]") && text.contains("MODxy%20File="), text.constData());
    }
}

void TarvexDlgTest::aboutBoxFromContextMenu() {
    Window window(m_prompts);
    ui::CTarvexDlg* form = &window.dialog;
    QStringList seen;
    // The menu and the About box are modal; inspect and close each from the event loop.
    QTimer::singleShot(0, form, [&seen, form] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr || menu->actions().isEmpty()) {
            return;
        }
        seen << menu->actions().constLast()->text();
        QTimer::singleShot(0, form, [&seen] {
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
        menu->actions().constLast()->trigger();
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, form->height() - 5),
                            form->mapToGlobal(QPoint(5, form->height() - 5)));
    QApplication::sendEvent(form, &event);

    QVERIFY2(seen.size() >= 4, qPrintable(seen.join(QLatin1Char('|'))));
    QCOMPARE(seen[0], QStringLiteral("&About Tarvex..."));
    QCOMPARE(seen[1], QStringLiteral("About Tarvex"));
    QVERIFY(seen.contains(QStringLiteral("Tarvex Version 1.0")));
    QVERIFY(form->isVisible());
}

// The context menu offers the bin map beside About, enabled once a Process has read its netlist.
void TarvexDlgTest::binMapFromContextMenu() {
    test::TempDir dir;
    test::WriteFileBytes(dir / "amp.net", "M1 d g s b MODxyN L=1u W=2u\n");
    Window window(m_prompts);
    test::FakeViewer viewer;
    viewer.folder = dir.path();
    window.presenter.setFileViewer(viewer);
    ui::CTarvexDlg* form = &window.dialog;
    const auto chooseMap = [form] {
        QStringList seen;
        QTimer::singleShot(0, form, [&seen] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) {
                return;
            }
            for (QAction* action : menu->actions()) {
                seen << (action->isSeparator()
                             ? QStringLiteral("-")
                             : action->text() +
                                   (action->isEnabled() ? QString() : QStringLiteral(" (disabled)")));
            }
            for (QAction* action : menu->actions()) {
                if (action->text() == QStringLiteral("Bin Map of Last Run...")) {
                    action->trigger();
                }
            }
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), form->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(form, &event);
        return seen;
    };

    // The entries of the form's one list, in its order.
    QCOMPARE(chooseMap(), QStringList({QStringLiteral("Import Bins from Model Library..."),
                                       QStringLiteral("Read Sizes as SPICE Does"),
                                       QStringLiteral("Bin Map of Last Run... (disabled)"),
                                       QStringLiteral("-"), QStringLiteral("&About Tarvex...")}));
    QVERIFY(viewer.opened.empty());

    Type(*form, 1060, QStringLiteral("1u"));
    Type(*form, 1063, QStringLiteral("5u"));
    Type(*form, 1023, QStringLiteral("0.5u"));
    Type(*form, 1056, QStringLiteral("2u"));
    Type(*form, 1068, QStringLiteral("NCH_S"));
    m_prompts.answers = {dir / "amp.net"};
    Click(*form, form::kProcessId);
    QCOMPARE(chooseMap(), QStringList({QStringLiteral("Import Bins from Model Library..."),
                                       QStringLiteral("Read Sizes as SPICE Does"),
                                       QStringLiteral("Bin Map of Last Run..."), QStringLiteral("-"),
                                       QStringLiteral("&About Tarvex...")}));
    QCOMPARE(viewer.opened.size(), std::size_t{1});
    QVERIFY(test::ReadFileBytes(viewer.opened[0]).find("amp.net:1: N L=1e-06 W=2e-06 NCH_S") !=
            std::string::npos);
}

// The map's folder is the user's runtime folder when XDG_RUNTIME_DIR names a folder, else the
// temporary folder.
void TarvexDlgTest::binMapGoesToTheRuntimeFolder() {
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    const bool wasSet = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
    test::TempDir runtime;
    ui::CTarvexDlg form;
    const std::filesystem::path temp = ui::ToPath(QDir::tempPath());
    const struct {
        const char* name;
        std::optional<std::filesystem::path> value;
        std::filesystem::path expected;
    } rows[] = {
        {"a folder", runtime.path(), runtime.path()},
        {"no such folder", runtime / "gone", temp},
        {"a file", runtime / "file", temp},
        {"empty", std::filesystem::path(), temp},
        {"unset", std::nullopt, temp},
    };
    test::WriteFileBytes(runtime / "file", "");
    for (const auto& row : rows) {
        if (row.value) {
            qputenv("XDG_RUNTIME_DIR", ui::FromPath(*row.value).toLocal8Bit());
        } else {
            qunsetenv("XDG_RUNTIME_DIR");
        }
        QVERIFY2(form.privateFolder() == row.expected, row.name);
    }
    if (wasSet) {
        qputenv("XDG_RUNTIME_DIR", saved);
    } else {
        qunsetenv("XDG_RUNTIME_DIR");
    }
}

// "Read Sizes as SPICE Does" is a checkable entry that shows the presenter's choice and flips it;
// the choice is kept under [Options] and read back by the next window.
void TarvexDlgTest::spiceSizesFromContextMenu() {
    const auto choose = [](ui::CTarvexDlg* form) {
        bool checkedBefore = false;
        bool checkable = false;
        QTimer::singleShot(0, form, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) {
                return;
            }
            for (QAction* action : menu->actions()) {
                if (action->text() == QStringLiteral("Read Sizes as SPICE Does")) {
                    checkable = action->isCheckable();
                    checkedBefore = action->isChecked();
                    action->trigger();
                }
            }
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), form->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(form, &event);
        return std::pair{checkable, checkedBefore};
    };
    const QString key = QStringLiteral("Options/Read Sizes as SPICE Does");
    {
        Window window(m_prompts);
        QVERIFY(!window.presenter.ReadsSizesAsSpice());
        QCOMPARE(choose(&window.dialog), std::pair(true, false));
        QVERIFY(window.presenter.ReadsSizesAsSpice());
        QCOMPARE(QSettings().value(key).toBool(), true);
    }
    Window again(m_prompts);
    QVERIFY(again.presenter.ReadsSizesAsSpice());
    QCOMPARE(choose(&again.dialog), std::pair(true, true));
    QVERIFY(!again.presenter.ReadsSizesAsSpice());
    QCOMPARE(QSettings().value(key).toBool(), false);
}

// The menu's first entry imports through the presenter; names wider than their field show their
// end behind an ellipsis, also after being edited, and the tooltip keeps the whole name. Bounds
// show their beginning. The title names the settings file.
void TarvexDlgTest::importFromContextMenuShowsNamesByTheirEnd() {
    test::TempDir dir;
    Window window(m_prompts);
    ui::CTarvexDlg* form = &window.dialog;
    m_prompts.answers = {std::filesystem::path(TARVEX_TEST_DATA_DIR) / "models" / "gf180mcu-fet_03v3.spice",
                         dir / "gf.amd"};
    QString entry;
    QTimer::singleShot(0, form, [&entry] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr || menu->actions().isEmpty()) {
            return;
        }
        entry = menu->actions()[0]->text();
        menu->actions()[0]->trigger();
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, form->height() - 5),
                            form->mapToGlobal(QPoint(5, form->height() - 5)));
    QApplication::sendEvent(form, &event);

    QCOMPARE(entry, QStringLiteral("Import Bins from Model Library..."));
    QCOMPARE(m_prompts.infos.size(), std::size_t{1});
    QCOMPARE(window.presenter.model().currentSettingsPath, dir / "gf.amd");
    QCOMPARE(form->windowTitle(), QStringLiteral("gf.amd - Tarvex"));
    QLineEdit* name = Field(*form, 1089); // N length bin 3, width bin 3
    const QString ellipsis(QChar(0x2026));
    QVERIFY2(name->text().startsWith(ellipsis) &&
                 QStringLiteral("nfet_03v3.15").endsWith(name->text().mid(1)),
             qPrintable(name->text()));
    QVERIFY(name->text().size() > 3);
    QCOMPARE(window.dialog.fieldText(1089, 19), std::string("nfet_03v3.15"));
    QCOMPARE(name->toolTip(), QStringLiteral("N, width bin 4, length bin 4: nfet_03v3.15"));
    QVERIFY(Field(*form, 1063)->toolTip().startsWith(QStringLiteral("N, width bound 2: ")));
    QCOMPARE(Field(*form, 1060)->cursorPosition(), 0);

    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    Type(*form, 1089, QStringLiteral("nfet_03v3.14"));
    QCOMPARE(name->text(), QStringLiteral("nfet_03v3.14")); // whole while edited
    Field(*form, 1060)->setFocus();
    QCOMPARE(name->text(), ellipsis + QStringLiteral("nfet_03v3.14").right(name->text().size() - 1));
    QCOMPARE(window.dialog.fieldText(1089, 19), std::string("nfet_03v3.14"));
}

void TarvexDlgTest::helpShowsTheBundledPage() {
    Window window(m_prompts);
    ui::CTarvexDlg& form = window.dialog;
    QTest::keyClick(Field(form, 1060), Qt::Key_F1);
    auto* help = form.findChild<ui::HelpWindow*>();
    QVERIFY(help);
    QVERIFY(help->isVisible());
    const QString page = help->findChild<QTextBrowser*>()->toPlainText();
    QVERIFY2(page.contains(QStringLiteral("tarvex-cli")) && page.contains(QStringLiteral(".ant")),
             qPrintable(page));
    help->close();
    Click(form, form::kHelpId);
    QVERIFY(help->isVisible());
    QVERIFY(form.isVisible());
}

// The stop message is a "Tarvex" box with the stop icon and OK, its details (when there are any)
// behind Qt's details button; the progress display appears once the work lasts and its Cancel
// stops the run.
void TarvexDlgTest::stopMessageAndProgress() {
    QWidget parent;
    parent.show();
    ui::QtUserDialogs dialogs(&parent);
    QStringList seen;
    QTimer::singleShot(0, &parent, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        seen << box->windowTitle() << box->text();
        seen << QString::number(box->icon() == QMessageBox::Critical)
             << QString::number(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.showStop("Bad w value 0!", {});
    QCOMPARE(seen, (QStringList{QStringLiteral("Tarvex"), QStringLiteral("Bad w value 0!"),
                                QStringLiteral("1"), QStringLiteral("1")}));
    const std::unique_ptr<QMessageBox> detailed = ui::MakeStopBox(
        &parent, "Error: Missing MODxyN part name!", "a.net:3: N L=1e-06 W=6e-06 no bin\nand 2 more");
    QCOMPARE(detailed->text(), QStringLiteral("Error: Missing MODxyN part name!"));
    QCOMPARE(detailed->icon(), QMessageBox::Critical);
    QCOMPARE(detailed->detailedText(), QStringLiteral("a.net:3: N L=1e-06 W=6e-06 no bin\nand 2 more"));
    QVERIFY(ui::MakeStopBox(&parent, "Bad w value 0!", {})->detailedText().isEmpty());

    auto progress = dialogs.startProgress("Processing amp.net", 1000);
    QVERIFY(progress->update(10));
    QTest::qWait(600);
    QVERIFY(progress->update(20));
    auto* shown = parent.findChild<QProgressDialog*>();
    QVERIFY(shown);
    QTRY_VERIFY(shown->isVisible());
    QCOMPARE(shown->windowTitle(), QStringLiteral("Tarvex"));
    QCOMPARE(shown->labelText(), QStringLiteral("Processing amp.net"));
    auto* cancel = shown->findChild<QPushButton*>();
    QVERIFY(cancel);
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    cancel->click();
    QVERIFY(!progress->update(30));
    progress.reset();
    QVERIFY(parent.findChild<QProgressDialog*>() == nullptr);
}

void TarvexDlgTest::pathsFiltersAndFieldBytes() {
    // A name outside ASCII survives the trip to the file system and back.
    test::TempDir dir;
    const QString name = QStringLiteral("Verst\u00e4rker \u03a9.net");
    const QString full = ui::FromPath(dir.path()) + QLatin1Char('/') + name;
    test::WriteFileBytes(ui::ToPath(full), "x");
    QVERIFY(QFile::exists(full));
    QCOMPARE(ui::FromPath(ui::ToPath(full)), full);

    // Cutting to a byte limit never splits a character.
    const QString umlauts(25, QChar(0x00E4));
    const std::string cut = ui::ToFieldBytes(umlauts, 19);
    QCOMPARE(cut.size(), std::size_t{18});
    QCOMPARE(ui::FromFieldBytes(cut), umlauts.left(9));
    QCOMPARE(ui::ToFieldBytes(QStringLiteral("short"), 19), std::string("short"));

    // "All Files" match every name, with or without a dot.
    const form::FileFilter all{"All Files (*.*)", {"*.*"}};
    QCOMPARE(ui::QtFilter({{"Net Files (*.net)", {"*.net"}}, {"Backup Files (*.ant)", {"*.ant"}}, all}),
             QStringLiteral("Net Files (*.net);;Backup Files (*.ant);;All Files (*)"));
    QCOMPARE(ui::QtFilter({{"MODxy Files (*.amd)", {"*.amd"}}, all}),
             QStringLiteral("MODxy Files (*.amd);;All Files (*)"));
}

// The built program answers --help, --version and a wrong command line with the form's texts,
// without a display.
void TarvexDlgTest::commandLineAnswersAsTheFormSays_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("onStdout");
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0 << true;
    QTest::newRow("-v") << QStringList{QStringLiteral("-v")} << 0 << true;
    QTest::newRow("two files") << QStringList{QStringLiteral("a.amd"), QStringLiteral("b.amd")} << 2 << false;
}

void TarvexDlgTest::commandLineAnswersAsTheFormSays() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(bool, onStdout);
    std::vector<std::string> bytes;
    for (const QString& argument : arguments) {
        bytes.push_back(argument.toStdString());
    }
    const std::string expected = form::ParseStartOptions(bytes, TARVEX_VERSION).text;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TARVEX_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    QCOMPARE(QString::fromUtf8(onStdout ? program.readAllStandardOutput() : program.readAllStandardError()),
             QString::fromStdString(expected));
}

// A window started with a settings file shows that file's tables and Keys, not the remembered one.
void TarvexDlgTest::settingsFileGivenAtStartIsShown() {
    test::TempDir dir;
    SettingsFile settings;
    settings.tableN.widthBounds[0] = 1e-6;
    SetPartName(settings.tableP, 4, 3, "pch_long_name_w4_l3");
    SetKeyText(settings.keyN, "NX");
    QVERIFY(SaveSettings(dir / "c35.amd", settings));
    QSettings().setValue(QStringLiteral("Options/MODxy File"), ui::FromPath(dir / "remembered.amd"));
    Window window(m_prompts, dir / "c35.amd");
    QCOMPARE(Field(window.dialog, 1060)->text(), QStringLiteral("1e-06"));
    QCOMPARE(window.dialog.fieldText(1127, 19), std::string("pch_long_name_w4_l3"));
    QCOMPARE(window.dialog.windowTitle(), QStringLiteral("c35.amd - Tarvex"));
    QCOMPARE(Field(window.dialog, 1028)->text(), QStringLiteral("NX"));
    QCOMPARE(Field(window.dialog, 1029)->text(), QStringLiteral("MODxyP"));
    QCOMPARE(window.presenter.model().currentSettingsPath, dir / "c35.amd");
    QVERIFY(m_prompts.messages.empty());
}

// The Windows build has no Qt, so its icon file is committed; it must be what the icon drawing gives.
void TarvexDlgTest::windowsIconIsTheDrawnIcon() {
    QFile committed(QStringLiteral(TARVEX_WINDOWS_ICON));
    QVERIFY(committed.open(QIODevice::ReadOnly));
    QVERIFY2(committed.readAll() == ui::IcoFile(),
             "src/win32/resources/tarvex.ico is out of date: rewrite it with "
             "`tarvex-render ico src/win32/resources/tarvex.ico`");
}

QTEST_MAIN(TarvexDlgTest)
#include "tarvex_dlg_test.moc"
