// SPDX-License-Identifier: MIT
// The setting of the tarvex-cli tests: a temporary folder with a settings file of small tables,
// an inverter netlist and what it becomes, a model library, and the binary run in that folder.
#pragma once

#include "cli_support.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tarvex::test {

using Files = std::map<std::string, std::string>;

inline constexpr const char* kNetlist = "* inverter\r\n"
                                        "M1 out in 0 0 MODxyN L=1U W=2U\r\n"
                                        "M2 out in vdd vdd MODxyP L=1U W=4U\r\n"
                                        "R1 out 0 1k\r\n";
inline constexpr const char* kRewritten = "* inverter\r\n"
                                          "M1 out in 0 0 NCH L=1U W=2U\r\n"
                                          "M2 out in vdd vdd PCH,\"LV\" L=1U W=4U\r\n"
                                          "R1 out 0 1k\r\n";
// One device outside every bin and one in a bin without a part name.
inline constexpr const char* kKeptNetlist = "M1 a b c d MODxyN L=1U W=2U\n"
                                            "M2 a b c d MODxyN L=9U W=2U\n"
                                            "M3 a b c d MODxyP L=1U W=2U\n";

inline SettingsFile Settings() {
    SettingsFile settings;
    settings.tableN.widthBounds = {1e-6, 3e-6, 0, 0, 0, 0};
    settings.tableN.lengthBounds = {5e-7, 2e-6, 0, 0, 0, 0};
    SetPartName(settings.tableN, 0, 0, "NCH");
    settings.tableP.widthBounds = {1e-6, 3e-6, 6e-6, 0, 0, 0};
    settings.tableP.lengthBounds = {5e-7, 2e-6, 0, 0, 0, 0};
    SetPartName(settings.tableP, 1, 0, "PCH,\"LV\""); // a name that needs quoting in CSV
    return settings;
}

inline void Save(const std::filesystem::path& path, const SettingsFile& settings) {
    ASSERT_TRUE(SaveSettings(path, settings));
}

// A model library that includes one file and enters a section of another, as --models reads it.
inline void WriteModelLibrary(const std::filesystem::path& folder) {
    WriteFileBytes(folder / "top.lib", "* library\n.include nmos.inc\n.lib 'corners.lib' tt\n");
    WriteFileBytes(folder / "nmos.inc", ".model NCH nmos lmin=0.5u lmax=2u wmin=1u wmax=3u\n");
    WriteFileBytes(folder / "corners.lib",
                   ".lib tt\n.model PCH pmos lmin=0.5u lmax=2u wmin=1u wmax=3u\n.endl\n");
}

inline Files FilesIn(const std::filesystem::path& folder) {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files[entry.path().filename().string()] =
            entry.is_regular_file() ? ReadFileBytes(entry.path()) : "<dir>";
    }
    return files;
}

class CliTest : public testing::Test {
protected:
    void SetUp() override { Save(m_dir / "s.amd", Settings()); }

    // Runs tarvex-cli in the temporary folder.
    RunResult Cli(const std::vector<std::string>& args, RunOptions options = {}) {
        options.workingDir = m_dir.path();
        return RunCli(args, options);
    }

    TempDir m_dir;
};

} // namespace tarvex::test
