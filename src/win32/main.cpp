// SPDX-License-Identifier: MIT
// tarvex.exe: the window. Having no console, it answers --help, --version and a wrong command
// line in a message box.
#include "form/start_options.h"
#include "simlink/simulator_probe.h"
#include "tarvex_version.h"
#include "win32/tarvex_app.h"
#include "win32/text.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/) {
    using tarvex::form::StartOptions;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide != nullptr && i < count; ++i) {
        arguments.push_back(tarvex::win32::Utf8FromWide(wide[i]));
    }
    LocalFree(wide);
    const StartOptions options = tarvex::form::ParseStartOptions(arguments, TARVEX_VERSION_TEXT);
    if (options.action != StartOptions::Action::Run) {
        const bool wrong = options.action == StartOptions::Action::UsageError;
        MessageBoxW(nullptr, tarvex::win32::WideFromUtf8(options.text).c_str(), L"Tarvex",
                    MB_OK | (wrong ? MB_ICONSTOP : MB_ICONINFORMATION));
        return wrong ? 2 : 0;
    }
    std::optional<std::filesystem::path> settingsFile;
    if (options.settingsFile) {
        settingsFile = tarvex::win32::WideFromUtf8(*options.settingsFile);
    }
    tarvex::win32::CTarvexApp tarvex([] { return tarvex::ProbeSimulatorWindow().hint; });
    return tarvex.InitInstance(settingsFile) ? 0 : 1;
}
