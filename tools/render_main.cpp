// SPDX-License-Identifier: MIT
// tarvex-render: draws the window or the icon into a PNG without a display, for the documentation
// screenshot and the installed icons.
//   tarvex-render form OUT.png [SETTINGS.amd]   the form, showing the settings file or sample tables
//   tarvex-render run FORM.png DETAILS.png      the form after a Process of a sample netlist, with a
//                                               name field's tooltip, and its message with details open
//   tarvex-render menu OUT.png                  the form with its right-click menu open
//   tarvex-render prompt OUT.png                the form with a typed bound, asking about it at Exit
//   tarvex-render icon OUT.png SIDE             the application icon, SIDE pixels square
//   tarvex-render ico OUT.ico                   the icon at every size as a Windows icon file
#include "form/form_presenter.h"
#include "rewrite/line_rewriter.h"
#include "settings/settings_file.h"
#include "ui/app_icon.h"
#include "ui/profile.h"
#include "ui/tarvex_dlg.h"
#include "ui/text_convert.h"
#include "ui/user_dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QToolTip>

#include <filesystem>
#include <functional>
#include <string>

namespace {

using namespace tarvex;

// Sample tables for the screenshot: micrometre bounds and names of the form NCH<width><length>.
SettingsFile SampleSettings() {
    SettingsFile settings;
    const Bounds widths{0.4e-6, 1e-6, 2e-6, 5e-6, 10e-6, 50e-6};
    const Bounds lengths{0.18e-6, 0.35e-6, 0.5e-6, 1e-6, 2e-6, 10e-6};
    for (BinTable* table : {&settings.tableN, &settings.tableP}) {
        const char polarity = table == &settings.tableN ? 'N' : 'P';
        table->widthBounds = widths;
        table->lengthBounds = lengths;
        for (int w = 0; w < kBinCount; ++w) {
            for (int l = 0; l < kBinCount; ++l) {
                const std::string name{polarity, 'C', 'H', static_cast<char>('1' + w),
                                       static_cast<char>('1' + l)};
                SetPartName(*table, w, l, name);
            }
        }
    }
    SetKeyText(settings.keyN, kDefaultKeyN);
    SetKeyText(settings.keyP, kDefaultKeyP);
    return settings;
}

// An amplifier with devices in several cells of both tables and three outside every bin.
constexpr std::string_view kSampleNetlist = "* two-stage amplifier\n"
                                            "M1 n1 inn tail vss MODxyN L=0.5u W=4u\n"
                                            "M2 n2 inp tail vss MODxyN L=0.5u W=4u\n"
                                            "M3 n1 n1 vdd vdd MODxyP L=1u W=8u\n"
                                            "M4 n2 n1 vdd vdd MODxyP L=1u W=8u\n"
                                            "M5 tail bias vss vss MODxyN L=2u W=8u\n"
                                            "M6 out n2 vdd vdd MODxyP L=0.35u W=16u\n"
                                            "M7 out bias vss vss MODxyN L=2u W=1.5u\n"
                                            "M8 bias bias vss vss MODxyN L=180n W=0.5u\n"
                                            "M9 esd pad vss vss MODxyN L=20u W=100u\n"
                                            "M10 esd pad vdd vdd MODxyP L=0.1u W=60u\n"
                                            "M11 cap n1 vss vss MODxyN L=12u W=0.3u\n"
                                            ".end\n";

// Answers the Process dialog with one netlist and keeps the message instead of showing it.
class ScriptedPrompts final : public form::UserPrompts {
public:
    explicit ScriptedPrompts(std::filesystem::path netlist) : m_netlist(std::move(netlist)) {}

    std::optional<std::filesystem::path> askFile(const form::FileRequest& /*request*/) override {
        return m_netlist;
    }
    void showStop(std::string_view text, std::string_view shownDetails) override {
        message = text;
        details = shownDetails;
    }
    void showStopWithSave(std::string_view text, std::string_view shownDetails,
                          const std::function<void()>& /*saveDetails*/) override {
        showStop(text, shownDetails);
    }
    std::unique_ptr<form::Progress> startProgress(std::string_view /*label*/,
                                                  std::uint64_t /*total*/) override {
        return std::make_unique<Silent>();
    }

    std::optional<std::size_t> chooseItem(std::string_view /*prompt*/,
                                          const std::vector<std::string>& /*items*/) override {
        return std::nullopt;
    }
    void showInfo(std::string_view text) override { message = text; }
    void showWarning(std::string_view text, std::string_view shownDetails) override {
        showStop(text, shownDetails);
    }
    form::Answer ask(std::string_view /*question*/, bool /*withCancel*/) override { return form::Answer::No; }

    std::string message;
    std::string details;

private:
    struct Silent final : form::Progress {
        bool update(std::uint64_t /*done*/) override { return true; }
    };
    std::filesystem::path m_netlist;
};

int RenderRun(const QString& formOut, const QString& detailsOut) {
    QTemporaryDir scratch;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.path());
    const std::filesystem::path folder = ui::ToPath(scratch.path());
    if (!SaveSettings(folder / "sample.amd", SampleSettings())) {
        return 1;
    }
    {
        QFile netlist(scratch.filePath(QStringLiteral("amp.net")));
        if (!netlist.open(QIODevice::WriteOnly) ||
            netlist.write(kSampleNetlist.data(), static_cast<qint64>(kSampleNetlist.size())) !=
                static_cast<qint64>(kSampleNetlist.size())) {
            return 1;
        }
    }
    ui::QtProfile profile;
    profile.setSettingsPath(folder / "sample.amd");

    ui::CTarvexDlg window;
    ScriptedPrompts prompts(folder / "amp.net");
    form::FormPresenter presenter(window, prompts, profile, [] { return TitleHint{}; });
    window.bind(presenter);
    window.show();
    presenter.Process();
    QApplication::processEvents();

    // The tooltip of the cell where M1 and M2 landed (N width bin 2, length bin 1), drawn onto the
    // form where it appears.
    QPixmap form = window.grab();
    auto* field = window.findChild<QLineEdit*>(QStringLiteral("1077"));
    if (field == nullptr) {
        return 1;
    }
    QToolTip::showText(field->mapToGlobal(QPoint(field->width(), 0)), field->toolTip(), field);
    QApplication::processEvents();
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->inherits("QTipLabel") && top->isVisible()) {
            QPainter painter(&form);
            painter.drawPixmap(window.mapFromGlobal(top->pos()), top->grab());
        }
    }
    QToolTip::hideText();

    const std::unique_ptr<QMessageBox> box = ui::MakeStopBox(&window, prompts.message, prompts.details);
    box->show();
    for (QAbstractButton* button : box->buttons()) {
        if (box->buttonRole(button) == QMessageBox::ActionRole) {
            button->click(); // Qt's "Show Details..."
        }
    }
    box->addButton(ui::SaveDetailsText(), QMessageBox::ActionRole);
    QApplication::processEvents();
    return form.save(formOut, "PNG") && box->grab().save(detailsOut, "PNG") ? 0 : 1;
}

// The form and, drawn over it where it opens, the top-level window that action opens (a menu, a
// modal box), grabbed while it is open.
bool RenderWithPopup(QWidget& form, const std::function<void()>& action, const QString& out) {
    QPixmap picture;
    QTimer::singleShot(100, &form, [&form, &picture] {
        QWidget* popup = QApplication::activePopupWidget();
        if (popup == nullptr) {
            popup = QApplication::activeModalWidget();
        }
        picture = form.grab();
        if (popup != nullptr) {
            QPainter painter(&picture);
            painter.drawPixmap(form.mapFromGlobal(popup->pos()), popup->grab());
            popup->close();
        }
    });
    action();
    return !picture.isNull() && picture.save(out, "PNG");
}

int RenderMenuOrPrompt(const QString& out, bool prompt) {
    QTemporaryDir scratch;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.path());
    const std::filesystem::path settings = ui::ToPath(scratch.filePath(QStringLiteral("mine.amd")));
    if (!SaveSettings(settings, SampleSettings())) {
        return 1;
    }
    ui::QtProfile profile;
    profile.setSettingsPath(settings);
    ui::CTarvexDlg window;
    ui::QtUserDialogs dialogs(&window);
    form::FormPresenter presenter(window, dialogs, profile, [] { return TitleHint{}; });
    window.bind(presenter);
    window.show();
    QApplication::processEvents();
    if (prompt) {
        window.setFieldText(1063, "1.2u");
        return RenderWithPopup(
                   window, [&presenter] { presenter.Exit(); }, out)
                   ? 0
                   : 1;
    }
    const QPoint at(window.width() - 300, window.height() - 120);
    return RenderWithPopup(
               window,
               [&window, at] {
                   QContextMenuEvent event(QContextMenuEvent::Mouse, at, window.mapToGlobal(at));
                   QApplication::sendEvent(&window, &event);
               },
               out)
               ? 0
               : 1;
}

int RenderForm(const QString& out, const QString& settingsFile) {
    // A private profile that names the settings file to show, so the form starts as it would.
    QTemporaryDir scratch;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.path());
    QString shown = settingsFile;
    if (shown.isEmpty()) {
        shown = scratch.filePath(QStringLiteral("sample.amd"));
        if (!SaveSettings(ui::ToPath(shown), SampleSettings())) {
            return 1;
        }
    }
    ui::QtProfile profile;
    profile.setSettingsPath(ui::ToPath(QFileInfo(shown).absoluteFilePath()));

    ui::CTarvexDlg window;
    ui::QtUserDialogs dialogs(&window);
    form::FormPresenter presenter(window, dialogs, profile, [] { return TitleHint{}; });
    window.bind(presenter);
    window.show();
    QApplication::processEvents();
    return window.grab().save(out, "PNG") ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quendale"));
    QCoreApplication::setApplicationName(QStringLiteral("tarvex-render"));
    const QStringList args = QCoreApplication::arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("form")) {
        return RenderForm(args[2], args.size() >= 4 ? args[3] : QString());
    }
    if (args.size() == 3 && (args[1] == QLatin1String("menu") || args[1] == QLatin1String("prompt"))) {
        return RenderMenuOrPrompt(args[2], args[1] == QLatin1String("prompt"));
    }
    if (args.size() == 4 && args[1] == QLatin1String("run")) {
        return RenderRun(args[2], args[3]);
    }
    if (args.size() == 3 && args[1] == QLatin1String("ico")) {
        QFile ico(args[2]);
        const QByteArray bytes = tarvex::ui::IcoFile();
        return ico.open(QIODevice::WriteOnly) && ico.write(bytes) == bytes.size() ? 0 : 1;
    }
    bool ok = false;
    const int side = args.size() == 4 ? args[3].toInt(&ok) : 0;
    if (args.size() == 4 && args[1] == QLatin1String("icon") && ok && side > 0) {
        return tarvex::ui::DrawAppIcon(side).save(args[2], "PNG") ? 0 : 1;
    }
    QTextStream(stderr) << "usage: tarvex-render form OUT.png [SETTINGS.amd] | run FORM.png DETAILS.png | "
                           "menu OUT.png | prompt OUT.png | icon OUT.png SIDE | ico OUT.ico\n";
    return 2;
}
