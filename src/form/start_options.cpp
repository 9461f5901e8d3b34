// SPDX-License-Identifier: MIT
#include "form/start_options.h"

namespace tarvex::form {
namespace {

constexpr std::string_view kUsage =
    "Usage: tarvex [FILE.amd]\n"
    "Edits MOSFET bin tables and bins the placeholder models of SPICE netlists.\n"
    "\n"
    "  FILE.amd       open this settings file instead of the one remembered at Exit\n"
    "  -h, --help     show this help\n"
    "  -v, --version  show the version\n";

StartOptions Fail(std::string_view why) {
    return {StartOptions::Action::UsageError, std::nullopt,
            "tarvex: " + std::string(why) + "\n" + std::string(kUsage)};
}

} // namespace

StartOptions ParseStartOptions(const std::vector<std::string>& arguments, std::string_view version) {
    bool help = false;
    bool showVersion = false;
    std::vector<std::string> files;
    for (const std::string& argument : arguments) {
        if (argument == "-h" || argument == "--help") {
            help = true;
        } else if (argument == "-v" || argument == "--version") {
            showVersion = true;
        } else if (argument.size() > 1 && argument.front() == '-') {
            return Fail("unknown option " + argument);
        } else {
            files.push_back(argument);
        }
    }
    if (help) {
        return {StartOptions::Action::Help, std::nullopt, std::string(kUsage)};
    }
    if (showVersion) {
        return {StartOptions::Action::Version, std::nullopt, "tarvex " + std::string(version) + "\n"};
    }
    if (files.size() > 1) {
        return Fail("only one settings file can be opened");
    }
    StartOptions options;
    if (!files.empty()) {
        options.settingsFile = files.front();
    }
    return options;
}

} // namespace tarvex::form
