// SPDX-License-Identifier: MIT
// tarvex-render: draws the window or the icon into a PNG without a display, for the documentation
// screenshot and the installed icons.
//   tarvex-render form OUT.png [SETTINGS.amd]   the form, showing the settings file or sample tables
//   tarvex-render icon OUT.png SIDE             the application icon, SIDE pixels square
#include "form/form_presenter.h"
#include "netlist/line_rewriter.h"
#include "settings/settings_file.h"
#include "ui/app_icon.h"
#include "ui/profile.h"
#include "ui/tarvex_dlg.h"
#include "ui/text_convert.h"
#include "ui/user_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

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

int RenderForm(const QString& out, const QString& settingsFile) {
    // A private profile that names the settings file to show, so the form starts as it would.
    QTemporaryDir scratch;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.path());
    QString shown = settingsFile;
    if (shown.isEmpty()) {
        shown = scratch.filePath(QStringLiteral("sample.amd"));
        if (SaveSettings(ui::ToPath(shown), SampleSettings())) {
            return 1;
        }
    }
    ui::QtProfile profile;
    profile.setSettingsPath(ui::ToPath(QFileInfo(shown).absoluteFilePath()));

    ui::CTarvexDlg window;
    ui::QtUserDialogs dialogs(&window);
    form::FormPresenter presenter(window, dialogs, profile, [] { return TitleHint{}; });
    window.bind(presenter);
    presenter.StartUp();
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
    bool ok = false;
    const int side = args.size() == 4 ? args[3].toInt(&ok) : 0;
    if (args.size() == 4 && args[1] == QLatin1String("icon") && ok && side > 0) {
        return tarvex::ui::DrawAppIcon(side).save(args[2], "PNG") ? 0 : 1;
    }
    QTextStream(stderr) << "usage: tarvex-render form OUT.png [SETTINGS.amd] | icon OUT.png SIDE\n";
    return 2;
}
