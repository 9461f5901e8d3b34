// SPDX-License-Identifier: MIT
// tarvex-cli import and check --models as a user runs them on the model-library excerpts.
#include "cli_support.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::RunCli;
using test::RunOptions;
using test::RunResult;
using test::TempDir;
using test::WriteFileBytes;

const fs::path kModels = fs::path(TARVEX_TEST_DATA_DIR) / "models";
const std::string kGf180 = (kModels / "gf180mcu-fet_03v3.spice").string();
const std::string kSky130 = (kModels / "sky130-nfet_01v8-discrete.spice").string();

class ImportTest : public testing::Test {
protected:
    RunResult Cli(const std::vector<std::string>& args) {
        RunOptions options;
        options.workingDir = m_dir.path();
        return RunCli(args, options);
    }

    SettingsFile Stored(const std::string& name) {
        const Result<LoadedSettings> loaded = ReadSettingsFile(m_dir / name);
        EXPECT_TRUE(loaded.ok()) << loaded.error();
        return loaded ? loaded->settings : SettingsFile{};
    }

    TempDir m_dir;
};

TEST_F(ImportTest, WritesTheGf180TablesAndPrintsThemAsShowDoes) {
    SettingsFile base;
    SetKeyText(base.keyN, "NKEY");
    SetKeyText(base.keyP, "PKEY");
    base.tableP.widthBounds[0] = 7e-6;
    ASSERT_TRUE(SaveSettings(m_dir / "base.amd", base));

    // Only the N group is imported: the P table and both Keys stay those of the base file, which
    // is also the file written. The base file holds the user's own tables: it is replaced only with
    // --backup, which keeps it.
    const std::vector<std::string> args{"import",      kGf180,       "--n",      "nfet_03v3", "--section",
                                        "nfet_03v3_t", "--settings", "base.amd", "--output",  "base.amd"};
    const std::string before = ReadFileBytes(m_dir / "base.amd");
    const RunResult refused = Cli(args);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("To go on, keeping \"base.amd\" as \"base.amd.~1~\", use --backup."),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(ReadFileBytes(m_dir / "base.amd"), before);
    std::vector<std::string> withBackup = args;
    withBackup.push_back("--backup");
    const RunResult run = Cli(withBackup);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(m_dir / "base.amd.~1~"), before);
    const SettingsFile written = Stored("base.amd");
    EXPECT_EQ(PartName(written.tableN, 0, 1), "nfet_03v3.1");
    EXPECT_EQ(PartName(written.tableN, 3, 3), "nfet_03v3.15");
    EXPECT_DOUBLE_EQ(written.tableN.lengthBounds[4], 5.0001e-5);
    EXPECT_EQ(written.tableN.lengthBounds[5], 0.0);
    EXPECT_EQ(KeyText(written.keyN), "NKEY");
    EXPECT_EQ(written.tableP.widthBounds[0], 7e-6);
    EXPECT_EQ(fs::file_size(m_dir / "base.amd"), kSettingsFileSize);
    EXPECT_EQ(run.out, Cli({"show", "base.amd"}).out);

    // Without a base: both polarities, default Keys.
    const RunResult both = Cli({"import", kGf180, "--output", "new.amd"});
    ASSERT_EQ(both.exitCode, 0) << both.err;
    const SettingsFile fresh = Stored("new.amd");
    EXPECT_EQ(PartName(fresh.tableP, 0, 1), "pfet_03v3.1");
    EXPECT_EQ(KeyText(fresh.keyN), "MODxyN");
    EXPECT_EQ(KeyText(fresh.keyP), "MODxyP");
}

// Every refusal exits with 1, says why and writes nothing.
TEST_F(ImportTest, RefusesAndWritesNothing) {
    // A library of the gf180 excerpt's sections, entered from another file, and an include.
    const std::string library = (m_dir / "top.lib").string();
    WriteFileBytes(m_dir / "top.lib", ".include extra.inc\n.lib 'gf.spice' nfet_03v3_t\n");
    WriteFileBytes(m_dir / "extra.inc", "* no cards\n");
    fs::copy_file(kGf180, m_dir / "gf.spice");
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string message;
    } rows[] = {
        {"sky130 point bins", {"import", kSky130, "--output", "x.amd"}, "25 length bins × 39 width bins"},
        {"sky130 is no grid", {"import", kSky130, "--output", "x.amd"}, "not a grid"},
        {"two nmos groups",
         {"import", kGf180, kSky130, "--output", "x.amd"},
         "2 binned nmos groups; choose one with --n:\n  nfet_03v3 (nmos): 16 cards"},
        {"no such group",
         {"import", kGf180, "--p", "pch*", "--output", "x.amd"},
         "No binned pmos group or card matches \"pch*\" (--p)"},
        {"missing library", {"import", "absent.lib", "--output", "x.amd"}, "absent.lib"},
        {"output over the library",
         {"import", kGf180, "--output", kGf180},
         "would overwrite the model library"},
        {"missing base", {"import", kGf180, "--settings", "absent.amd", "--output", "x.amd"}, "absent.amd"},
        {"output over an include",
         {"import", library, "--output", "extra.inc"},
         "Error: The output \"extra.inc\" would overwrite the included model file \"" +
             (m_dir / "extra.inc").string() + "\". No file was changed."},
        {"output over a section file",
         {"import", library, "--output", "./gf.spice"},
         "Error: The output \"./gf.spice\" would overwrite the included model file \"" +
             (m_dir / "gf.spice").string() + "\". No file was changed."},
        {"output over the library by another name",
         {"import", library, "--output", "../" + m_dir.path().filename().string() + "/top.lib"},
         "would overwrite the model library"},
    };
    const auto checksums = [this] {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(m_dir.path())) {
            files[entry.path().filename().string()] = ReadFileBytes(entry.path());
        }
        return files;
    };
    const std::map<std::string, std::string> folder = checksums();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string before = ReadFileBytes(kGf180);
        const RunResult run = Cli(row.args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(m_dir / "x.amd"));
        EXPECT_EQ(ReadFileBytes(kGf180), before);
        EXPECT_EQ(checksums(), folder);
    }
    EXPECT_EQ(Cli({"import", kGf180}).exitCode, 2);
}

TEST_F(ImportTest, ListsEveryGroupAndWritesNothing) {
    const RunResult run = Cli({"import", kGf180, kSky130, "--list"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "nfet_03v3 (nmos): 16 cards, 4 length × 4 width bins, fits a table\n"
              "pfet_03v3 (pmos): 16 cards, 4 length × 4 width bins, fits a table\n"
              "sky130_fd_pr__nfet_01v8__model (nmos): 63 cards, 25 length × 39 width bins, does not fit\n");
    EXPECT_TRUE(fs::is_empty(m_dir.path()));
}

// The hand-typed table: one length bound 1.3u for 1.2u and one name mistyped. check --models names
// both devices and exits with 3; the imported table passes.
TEST_F(ImportTest, CheckAgainstTheModelsFindsTheTypos) {
    ASSERT_EQ(Cli({"import", kGf180, "--output", "good.amd"}).exitCode, 0);
    SettingsFile typed = Stored("good.amd");
    typed.tableN.lengthBounds[2] = 1.3e-6;
    SetPartName(typed.tableN, 1, 2, "nfet_03v3.b");
    ASSERT_TRUE(SaveSettings(m_dir / "typed.amd", typed));
    WriteFileBytes(m_dir / "amp.net", "* amp\n"
                                      "M1 a b c d MODxyN L=1.25u W=0.3u\n"
                                      "M2 a b c d MODxyN L=2u W=0.6u\n"
                                      "M3 a b c d MODxyP L=0.5u W=100u\n");

    const RunResult typo = Cli({"check", "--settings", "typed.amd", "--models", kGf180, "--", "amp.net"});
    EXPECT_EQ(typo.exitCode, 3) << typo.err;
    EXPECT_NE(typo.out.find("2 devices get a part name that the models do not back:\n"
                            "amp.net:2: N L=1.25e-06 W=3e-07 nfet_03v3.1: L outside 5e-07..1.2e-06\n"
                            "amp.net:3: N L=2e-06 W=6e-07 nfet_03v3.b: no card in the models defines it\n"),
              std::string::npos)
        << typo.out;

    const RunResult good = Cli({"check", "--settings", "good.amd", "amp.net", "--models", kGf180});
    EXPECT_EQ(good.exitCode, 0) << good.out << good.err;
    EXPECT_EQ(good.out.find("do not back"), std::string::npos);

    // Reading only the N section, the P card is unknown.
    const RunResult section =
        Cli({"check", "--settings", "good.amd", "amp.net", "--models", kGf180, "--section", "NFET_03V3_T"});
    EXPECT_EQ(section.exitCode, 3);
    EXPECT_NE(section.out.find("amp.net:4: P L=5e-07 W=0.0001 pfet_03v3.12: no card"), std::string::npos)
        << section.out;
}

// The command-line page's hand-typed table is the GF180 import with two typos, and its models are
// the excerpt the tests read: the page's example shows what --models catches.
TEST_F(ImportTest, ExamplesTypedTableIsTheImportWithTwoTypos) {
    const fs::path examples = TARVEX_EXAMPLES_DIR;
    EXPECT_EQ(ReadFileBytes(examples / "gf180mcu-fet_03v3.spice"), ReadFileBytes(kGf180));
    ASSERT_EQ(Cli({"import", kGf180, "--output", "gf180.amd"}).exitCode, 0);
    SettingsFile expected = Stored("gf180.amd");
    expected.tableN.lengthBounds[2] = 1.3e-6;
    SetPartName(expected.tableN, 1, 2, "nfet_03v3.b");
    ASSERT_TRUE(SaveSettings(m_dir / "expected.amd", expected));
    EXPECT_TRUE(ReadFileBytes(examples / "typed.amd") == ReadFileBytes(m_dir / "expected.amd"));
}

} // namespace
} // namespace tarvex
