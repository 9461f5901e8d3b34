// SPDX-License-Identifier: MIT
// tarvex.exe: the window. Having no console, it answers --help, --version and a wrong command
// line in a message box.
#include "simlink/simulator_probe.h"
#include "win32/start_options.h"
#include "win32/tarvex_app.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/) {
    using tarvex::win32::StartOptions;
    const StartOptions options = tarvex::win32::ParseStartOptions(tarvex::win32::CommandLineArguments());
    if (options.action != StartOptions::Action::Run) {
        const bool wrong = options.action == StartOptions::Action::UsageError;
        MessageBoxW(nullptr, options.text.c_str(), L"Tarvex",
                    MB_OK | (wrong ? MB_ICONSTOP : MB_ICONINFORMATION));
        return wrong ? 2 : 0;
    }
    tarvex::win32::CTarvexApp tarvex([] { return tarvex::ProbeSimulatorWindow().hint; });
    return tarvex.InitInstance(options.settingsFile) ? 0 : 1;
}
