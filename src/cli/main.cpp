// SPDX-License-Identifier: MIT
// tarvex-cli: the Process command and a netlist filter for scripts, and a look into settings files.
#include "cli_common.h"
#include "commands.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

namespace {

// Windows hands main its arguments in the ANSI code page, which cannot name every file. The wide
// command line can; it is passed on as UTF-8, the form the core takes paths in on Windows.
std::vector<std::string> Utf8Arguments() {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide != nullptr && i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), size, nullptr, nullptr);
        argument.resize(argument.size() - 1);
        arguments.push_back(std::move(argument));
    }
    LocalFree(wide);
    return arguments;
}

} // namespace
#endif

int main(int argc, char** argv) {
    using namespace tarvex::cli;
    CLI::App app("Bins MOSFET placeholder models in SPICE netlists by drawn length and width.", "tarvex-cli");
    app.set_version_flag("--version", "tarvex-cli " TARVEX_VERSION);
    app.require_subcommand(1);
    // "/tmp/amp.net" is a path, never a Windows-style "/option" (subcommands inherit this).
    app.allow_windows_style_options(false);
    app.footer("Exit status: 0 every device got a part name; 1 the run stopped on an error; 2 usage error;\n"
               "3 the run completed but some devices kept their placeholder.\n");

    // A run can name hundreds of thousands of kept devices; one write per message would cost more
    // than the rewrite itself. Everything buffered is written when the program ends.
    std::setvbuf(stderr, nullptr, _IOFBF, std::size_t{1} << 16);

    int exitCode = kExitOk;
    AddProcessCommand(app, exitCode);
    AddRewriteCommand(app, exitCode);
    AddShowCommand(app, exitCode);
    AddProbeCommand(app, exitCode);

#ifdef _WIN32
    // Messages carry paths as UTF-8.
    SetConsoleOutputCP(CP_UTF8);
    const std::vector<std::string> arguments = Utf8Arguments();
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    if (!pointers.empty()) {
        argc = static_cast<int>(pointers.size());
        argv = const_cast<char**>(pointers.data());
    }
#endif
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help and --version end here too, with status 0.
        return app.exit(error) == 0 ? kExitOk : kExitUsage;
    }
    return exitCode;
}
