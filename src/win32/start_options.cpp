// SPDX-License-Identifier: MIT
#include "win32/start_options.h"

#include "tarvex_version.h"

#include <windows.h>

#include <shellapi.h>

namespace tarvex::win32 {
namespace {

constexpr wchar_t kUsage[] =
    L"Usage: tarvex [FILE.amd]\n"
    L"Edits MOSFET bin tables and bins the placeholder models of SPICE netlists.\n"
    L"\n"
    L"  FILE.amd       open this settings file instead of the one remembered at Exit\n"
    L"  -h, --help     show this help\n"
    L"  -v, --version  show the version\n";

StartOptions Fail(const std::wstring& why) {
    return {StartOptions::Action::UsageError, std::nullopt, L"tarvex: " + why + L"\n" + kUsage};
}

} // namespace

StartOptions ParseStartOptions(const std::vector<std::wstring>& arguments) {
    const auto is = [](const std::wstring& argument, const wchar_t* brief, const wchar_t* full) {
        return argument == brief || argument == full;
    };
    bool help = false;
    bool version = false;
    std::vector<std::wstring> files;
    for (const std::wstring& argument : arguments) {
        if (is(argument, L"-h", L"--help")) {
            help = true;
        } else if (is(argument, L"-v", L"--version")) {
            version = true;
        } else if (argument.size() > 1 && argument.front() == L'-') {
            return Fail(L"unknown option " + argument);
        } else {
            files.push_back(argument);
        }
    }
    if (help) {
        return {StartOptions::Action::Help, std::nullopt, kUsage};
    }
    if (version) {
        return {StartOptions::Action::Version, std::nullopt, L"tarvex " TARVEX_VERSION_WIDE L"\n"};
    }
    if (files.size() > 1) {
        return Fail(L"only one settings file can be opened");
    }
    StartOptions options;
    if (!files.empty()) {
        options.settingsFile = files.front();
    }
    return options;
}

std::vector<std::wstring> CommandLineArguments() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> list;
    for (int i = 1; arguments != nullptr && i < count; ++i) {
        list.emplace_back(arguments[i]);
    }
    LocalFree(arguments);
    return list;
}

} // namespace tarvex::win32
