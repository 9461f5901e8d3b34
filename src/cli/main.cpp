// SPDX-License-Identifier: MIT
// tarvex-cli: the Process command, a netlist filter and a dry run for scripts, and a look into
// settings files.
#include "cli_common.h"
#include "commands.h"
#include "console.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

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
    AddCheckCommand(app, exitCode);
    AddShowCommand(app, exitCode);
    AddProbeCommand(app, exitCode);
    AddImportCommand(app, exitCode);

    const std::vector<std::string> arguments = ConsoleArguments(argc, argv);
    // CLI11 would only say that a subcommand is required; name the word it did not know instead.
    if (arguments.size() > 1 && !arguments[1].empty() && arguments[1][0] != '-') {
        const auto known =
            app.get_subcommands([&](CLI::App* command) { return command->check_name(arguments[1]); });
        if (known.empty()) {
            PrintError(
                "Error: Unknown subcommand \"" + arguments[1] +
                "\"; choose process, rewrite, check, import, show or probe. Run with --help for more information.");
            return kExitUsage;
        }
    }
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::ParseError& error) {
        // --help and --version end here too, with status 0.
        return app.exit(error) == 0 ? kExitOk : kExitUsage;
    }
    return exitCode;
}
