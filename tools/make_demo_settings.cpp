// SPDX-License-Identifier: MIT
// Writes examples/demo.amd, the settings file of the examples in docs/command-line.md, from the tables below:
//   make_demo_settings examples/demo.amd
// The committed file is this program's output; tests/cli checks that they agree.
#include "rewrite/line_rewriter.h"
#include "settings/settings_file.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

using namespace tarvex;

// Names every cell between non-zero bounds "<prefix>_w<width bin>_l<length bin>".
void NameCells(BinTable& table, const std::string& prefix) {
    for (int w = 0; w < kBinCount && table.widthBounds[w + 1] != 0; ++w) {
        for (int l = 0; l < kBinCount && table.lengthBounds[l + 1] != 0; ++l) {
            SetPartName(table, w, l, prefix + "_w" + std::to_string(w) + "_l" + std::to_string(l));
        }
    }
}

SettingsFile DemoSettings() {
    SettingsFile settings;
    settings.tableN.widthBounds = {0.5e-6, 1e-6, 2e-6, 5e-6, 10e-6, 0};
    settings.tableN.lengthBounds = {0.18e-6, 0.35e-6, 1e-6, 5e-6, 0, 0};
    NameCells(settings.tableN, "nch");
    settings.tableP.widthBounds = {1e-6, 2e-6, 5e-6, 10e-6, 20e-6, 0};
    settings.tableP.lengthBounds = {0.18e-6, 0.35e-6, 1e-6, 5e-6, 0, 0};
    NameCells(settings.tableP, "pch");
    SetKeyText(settings.keyN, kDefaultKeyN);
    SetKeyText(settings.keyP, kDefaultKeyP);
    return settings;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_demo_settings FILE.amd\n", stderr);
        return 2;
    }
    // Save keeps the tail of a longer file; start from nothing so the file is exactly the settings.
    std::error_code ignored;
    std::filesystem::remove(argv[1], ignored);
    if (const Result<void> saved = SaveSettings(argv[1], DemoSettings()); !saved) {
        std::fprintf(stderr, "%s\n", saved.error().c_str());
        return 1;
    }
    return 0;
}
