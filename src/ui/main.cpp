// SPDX-License-Identifier: MIT
// tarvex: the window.
#include "simlink/simulator_probe.h"
#include "ui/start_options.h"
#include "ui/tarvex_app.h"
#include "ui/text_convert.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>

namespace {

int Print(std::FILE* stream, const QString& text, int status) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    return status;
}

} // namespace

int main(int argc, char* argv[]) {
    using tarvex::ui::StartOptions;
    // --help and --version need no display; the options of Qt itself (-platform, ...) are only
    // known once QApplication has taken them out.
    QStringList raw;
    for (int i = 0; i < argc; ++i) {
        raw << QString::fromLocal8Bit(argv[i]);
    }
    const StartOptions early = tarvex::ui::ParseStartOptions(raw);
    if (early.action == StartOptions::Action::Help || early.action == StartOptions::Action::Version) {
        return Print(stdout, early.text, 0);
    }
    // Without any option among them the arguments hold none of Qt's own, so a usage error is
    // certain before a display is needed.
    const bool anyOption = std::any_of(raw.cbegin() + 1, raw.cend(), [](const QString& argument) {
        return argument.startsWith(QLatin1Char('-'));
    });
    if (early.action == StartOptions::Action::UsageError && !anyOption) {
        return Print(stderr, early.text, 2);
    }

    QApplication application(argc, argv);
    const StartOptions options = tarvex::ui::ParseStartOptions(QCoreApplication::arguments());
    if (options.action != StartOptions::Action::Run) {
        return Print(stderr, options.text, 2);
    }
    std::optional<std::filesystem::path> settingsFile;
    if (options.settingsFile) {
        settingsFile = tarvex::ui::ToPath(*options.settingsFile);
    }
    tarvex::ui::CTarvexApp tarvex([] { return tarvex::ProbeSimulatorWindow().hint; });
    return tarvex.InitInstance(settingsFile) ? 0 : 1;
}
