// SPDX-License-Identifier: MIT
// tarvex: the window.
#include "form/start_options.h"
#include "simlink/simulator_probe.h"
#include "ui/tarvex_app.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using tarvex::form::StartOptions;

int Print(std::FILE* stream, const std::string& text, int status) {
    std::fwrite(text.data(), 1, text.size(), stream);
    return status;
}

// The arguments after the program's name, as the local 8-bit bytes they came in.
StartOptions Parse(const QStringList& arguments) {
    std::vector<std::string> bytes;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        bytes.push_back(arguments[i].toLocal8Bit().toStdString());
    }
    return tarvex::form::ParseStartOptions(bytes, TARVEX_VERSION);
}

} // namespace

int main(int argc, char* argv[]) {
    // --help and --version need no display; the options of Qt itself (-platform, ...) are only
    // known once QApplication has taken them out.
    QStringList raw;
    for (int i = 0; i < argc; ++i) {
        raw << QString::fromLocal8Bit(argv[i]);
    }
    const StartOptions early = Parse(raw);
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
    const StartOptions options = Parse(QCoreApplication::arguments());
    if (options.action != StartOptions::Action::Run) {
        return Print(stderr, options.text, 2);
    }
    std::optional<std::filesystem::path> settingsFile;
    if (options.settingsFile) {
        settingsFile = std::filesystem::path(*options.settingsFile);
    }
    tarvex::ui::CTarvexApp tarvex([] { return tarvex::ProbeSimulatorWindow().hint; });
    return tarvex.InitInstance(settingsFile) ? 0 : 1;
}
