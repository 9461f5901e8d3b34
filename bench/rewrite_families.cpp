// SPDX-License-Identifier: MIT
// The rewrite of tarvex-cli with one or more Key families in one pass, for timing them against one
// another:
//   tarvex-rewrite-families THREADS IN OUT SETTINGS.amd...
// reads IN and writes a replacement file for OUT as `tarvex-cli rewrite` does (the same stdio
// buffers, renamed into place once complete), with one family per settings file, on THREADS
// threads (0: one per core). Prints the devices replaced and kept.
#include "files/byte_stream.h"
#include "files/replacement_file.h"
#include "rewrite/netlist_rewrite.h"
#include "settings/settings_file.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s THREADS IN OUT SETTINGS.amd...\n", argv[0]);
        return 2;
    }
    std::vector<tarvex::RewriteRules> families;
    for (int i = 4; i < argc; ++i) {
        const tarvex::Result<tarvex::LoadedSettings> loaded = tarvex::ReadSettingsFile(argv[i]);
        if (!loaded) {
            std::fprintf(stderr, "%s: %s\n", argv[i], loaded.error().c_str());
            return 1;
        }
        tarvex::RewriteRules& rules = families.emplace_back();
        rules.tableN = loaded->settings.tableN;
        rules.tableP = loaded->settings.tableP;
        rules.keyN = tarvex::KeyText(loaded->settings.keyN);
        rules.keyP = tarvex::KeyText(loaded->settings.keyP);
    }
    const tarvex::FilePtr in = tarvex::OpenFile(argv[2], "r");
    if (!in) {
        std::fprintf(stderr, "%s: cannot open\n", argv[2]);
        return 1;
    }
    constexpr std::size_t kStdioBuffer = std::size_t{1} << 16;
    std::setvbuf(in.get(), nullptr, _IOFBF, kStdioBuffer);
    tarvex::ReplacementFile out(argv[3], argv[2]);
    if (!out.file()) {
        std::fprintf(stderr, "%s: %s\n", argv[3], out.error().message().c_str());
        return 1;
    }
    std::setvbuf(out.file(), nullptr, _IOFBF, kStdioBuffer);
    tarvex::FileReader reader(in.get());
    tarvex::FileWriter writer(out.file());
    tarvex::StreamOptions options;
    options.threads = static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10));
    const tarvex::StreamResult result = tarvex::RewriteStream(reader, writer, families, options);
    std::error_code error = result.error;
    if (!error) {
        error = out.close();
    }
    if (!error) {
        error = out.moveIntoPlace();
    }
    if (error || result.status != tarvex::StreamStatus::Completed) {
        std::fprintf(stderr, "%s: %s\n", argv[3], error.message().c_str());
        return 1;
    }
    std::printf("%llu replaced, %llu kept\n", static_cast<unsigned long long>(result.report.devicesReplaced),
                static_cast<unsigned long long>(result.report.devicesKept()));
    return 0;
}
