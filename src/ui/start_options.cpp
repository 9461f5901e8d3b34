// SPDX-License-Identifier: MIT
#include "ui/start_options.h"

#include <QCommandLineParser>

namespace tarvex::ui {
namespace {

QString Usage() {
    return QStringLiteral("Usage: tarvex [FILE.amd]\n"
                          "Edits MOSFET bin tables and bins the placeholder models of SPICE netlists.\n"
                          "\n"
                          "  FILE.amd       open this settings file instead of the one remembered at Exit\n"
                          "  -h, --help     print this help and exit\n"
                          "  -v, --version  print the version and exit\n");
}

} // namespace

StartOptions ParseStartOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("FILE.amd"), QString());

    StartOptions options;
    if (!parser.parse(arguments)) {
        options.action = StartOptions::Action::UsageError;
        options.text = QStringLiteral("tarvex: ") + parser.errorText() + QLatin1Char('\n') + Usage();
    } else if (parser.isSet(help)) {
        options.action = StartOptions::Action::Help;
        options.text = Usage();
    } else if (parser.isSet(version)) {
        options.action = StartOptions::Action::Version;
        options.text = QStringLiteral("tarvex " TARVEX_VERSION "\n");
    } else if (parser.positionalArguments().size() > 1) {
        options.action = StartOptions::Action::UsageError;
        options.text = QStringLiteral("tarvex: only one settings file can be opened\n") + Usage();
    } else if (!parser.positionalArguments().isEmpty()) {
        options.settingsFile = parser.positionalArguments().constFirst();
    }
    return options;
}

} // namespace tarvex::ui
