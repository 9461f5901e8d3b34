// SPDX-License-Identifier: MIT
// tarvex-cli rewrite on real public netlists (../shared/corpus beside the repository; a clone
// without it skips these). Each file's own model names are the Keys; the output must be the input
// with only those Keys replaced, line by line as the literal reference does it, and the report and
// messages must account for every device.
#include "cli_support.h"

#include "support/param_name.h"
#include "support/temp_dir.h"
#include "support/xml_check.h"

#include "insight/bin_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <regex>
#include <string>
#include <vector>

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::RunOptions;
using test::RunResult;
using test::TempDir;

const fs::path kCorpus = TARVEX_CORPUS_DIR;

struct CorpusCase {
    std::string name;
    std::string file;
    std::string keyN;
    std::string keyP;
};

void PrintTo(const CorpusCase& c, std::ostream* os) {
    *os << c.name;
}

// Bins from 1e-12 to 1e12, so sizes in metres, in microns and without a unit all find one; a device
// whose line has no "L=" or "W=" (lower-case "l=" is not one) keeps its Key. Cell [1][1] has no part
// name. Names are longer than some Keys and shorter than others.
SettingsFile WideSettings(const CorpusCase& c) {
    SettingsFile settings;
    for (BinTable* table : {&settings.tableN, &settings.tableP}) {
        table->widthBounds = {1e-12, 1e-6, 1e-3, 1e12, 0, 0};
        table->lengthBounds = {1e-12, 1e-6, 1e-3, 1e12, 0, 0};
        for (int w = 0; w < kBinCount; ++w) {
            for (int l = 0; l < kBinCount; ++l) {
                if (w != 1 || l != 1) {
                    SetPartName(*table, w, l,
                                std::string(table == &settings.tableN ? "BIN_N_W" : "BIN_P_W") +
                                    std::to_string(w) + "L" + std::to_string(l));
                }
            }
        }
    }
    SetKeyText(settings.keyN, c.keyN);
    SetKeyText(settings.keyP, c.keyP);
    return settings;
}

std::size_t LinesContaining(std::string_view text, std::string_view key) {
    std::size_t count = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        end = end == std::string_view::npos ? text.size() : end;
        if (text.substr(start, end - start).find(key) != std::string_view::npos) {
            ++count;
        }
        start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    }
    return count;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

class CorpusRewriteTest : public testing::TestWithParam<CorpusCase> {};

TEST_P(CorpusRewriteTest, OnlyTheKeysChangeAndEveryDeviceIsAccountedFor) {
    const CorpusCase& c = GetParam();
    if (!fs::is_directory(kCorpus)) {
        GTEST_SKIP() << "no corpus folder at " << kCorpus
                     << " (it sits beside the repository in the project's "
                     << "workspace; a plain clone has none)";
    }
    const fs::path input = kCorpus / c.file;
    ASSERT_TRUE(fs::is_regular_file(input)) << input;
    const TempDir dir;
    const SettingsFile settings = WideSettings(c);
    ASSERT_TRUE(SaveSettings(dir / "wide.amd", settings));
    ASSERT_TRUE(SaveSettings(dir / "empty.amd", [&] {
        SettingsFile empty;
        SetKeyText(empty.keyN, c.keyN);
        SetKeyText(empty.keyP, c.keyP);
        return empty;
    }()));
    const std::string netlist = ReadFileBytes(input);
    RunOptions options;
    options.stdinFrom = input;
    options.stdoutTo = dir / "out.net";

    const RunResult run = test::RunCli(
        {"rewrite", "--settings", (dir / "wide.amd").string(), "--report", (dir / "r.csv").string()},
        options);

    ASSERT_GE(run.exitCode, 0) << run.err;
    const std::string output = ReadFileBytes(dir / "out.net");
    EXPECT_EQ(test::FirstDifference(output, test::ReferenceRewrite(netlist, test::RulesOf(settings))), "");

    const std::vector<std::string> rows = Lines(ReadFileBytes(dir / "r.csv"));
    ASSERT_FALSE(rows.empty());
    // Many of these files give sizes only as "l="/"w=" or on continuation lines: their devices keep
    // their Keys. The output changes exactly when the report names a replaced device.
    const bool replaced = std::any_of(rows.begin() + 1, rows.end(), [](const std::string& row) {
        return !row.empty() && row.ends_with(",") && !row.ends_with(",,");
    });
    EXPECT_EQ(test::FirstDifference(output, netlist) != "", replaced) << c.file;
    const auto rowsOf = [&](const char* polarity) {
        return static_cast<std::size_t>(
            std::count_if(rows.begin() + 1, rows.end(),
                          [&](const std::string& row) { return row.find(polarity) != std::string::npos; }));
    };
    EXPECT_EQ(rowsOf(",N,"), LinesContaining(netlist, c.keyN));
    EXPECT_LE(rowsOf(",P,"), LinesContaining(netlist, c.keyP));
    const auto problems = static_cast<std::size_t>(
        std::count_if(rows.begin() + 1, rows.end(), [](const auto& row) { return !row.ends_with(","); }));
    EXPECT_EQ(Lines(run.err).size(), problems);
    EXPECT_EQ(run.exitCode, problems > 0 ? 3 : 0);

    // With tables that name no part every device keeps its Key: the output is the input, byte for byte.
    options.stdoutTo = dir / "same.net";
    const RunResult unchanged =
        test::RunCli({"rewrite", "--settings", (dir / "empty.amd").string()}, options);
    EXPECT_EQ(unchanged.exitCode, 3);
    EXPECT_EQ(test::FirstDifference(ReadFileBytes(dir / "same.net"), netlist), "");
}

// The fields of one CSV row; a quoted field may hold commas.
std::vector<std::string> CsvFields(const std::string& row) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (c == '"') {
            if (quoted && i + 1 < row.size() && row[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// Devices whose sizes a rule read (the report's problem says nothing of a size), and the problems
// of the others, from check's report under that rule.
struct Coverage {
    std::size_t read = 0;
    std::vector<std::string> others;
};

Coverage CoverageOf(const fs::path& report) {
    Coverage coverage;
    const std::vector<std::string> rows = Lines(ReadFileBytes(report));
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (rows[i].empty()) {
            continue;
        }
        const std::string problem = CsvFields(rows[i]).at(8);
        if (problem.empty() || problem == "no bin" || problem == "missing part name") {
            ++coverage.read;
        } else {
            coverage.others.push_back(rows[i]);
        }
    }
    return coverage;
}

// Under the SPICE rule every device that gives a length and a width is read; the others are listed
// with a reason a designer accepts: a Key that is no element's model, or a size the device lacks.
TEST_P(CorpusRewriteTest, SpiceRuleReadsEveryDeviceThatGivesItsSizes) {
    const CorpusCase& c = GetParam();
    if (!fs::is_directory(kCorpus)) {
        GTEST_SKIP() << "no corpus folder at " << kCorpus;
    }
    const TempDir dir;
    ASSERT_TRUE(SaveSettings(dir / "wide.amd", WideSettings(c)));
    const std::string netlist = (kCorpus / c.file).string();
    const RunResult spice = test::RunCli({"check", "--settings", (dir / "wide.amd").string(), "--sizes", "spice",
                                          "--report", (dir / "spice.csv").string(), netlist});
    ASSERT_GE(spice.exitCode, 0) << spice.err;
    const RunResult classic = test::RunCli(
        {"check", "--settings", (dir / "wide.amd").string(), "--report", (dir / "classic.csv").string(), netlist});
    ASSERT_GE(classic.exitCode, 0) << classic.err;
    const Coverage underSpice = CoverageOf(dir / "spice.csv");
    const Coverage underClassic = CoverageOf(dir / "classic.csv");
    for (const std::string& row : underSpice.others) {
        const std::string problem = CsvFields(row).at(8);
        EXPECT_TRUE(problem == "not a device" || problem == "no L=" || problem == "no W=" ||
                    problem == "no L= or W=")
            << row;
    }
    EXPECT_GE(underSpice.read, underClassic.read);
    RecordProperty("devices_read_spice", static_cast<int>(underSpice.read));
    RecordProperty("devices_read_classic", static_cast<int>(underClassic.read));
    std::cout << c.file << ": read under classic " << underClassic.read << ", under spice " << underSpice.read
              << ", listed " << underSpice.others.size() << "\n";
}

// check --map draws every device line: each device its own titled mark while a panel has at most
// 2,000, those without a size in the note; a merged mark counts its devices in its tooltip.
TEST_P(CorpusRewriteTest, MapAccountsForEveryDevice) {
    const CorpusCase& c = GetParam();
    if (!fs::is_directory(kCorpus)) {
        GTEST_SKIP() << "no corpus folder at " << kCorpus;
    }
    const TempDir dir;
    ASSERT_TRUE(SaveSettings(dir / "wide.amd", WideSettings(c)));
    const RunResult run = test::RunCli({"check", "--settings", (dir / "wide.amd").string(), "--report",
                                        (dir / "r.csv").string(), "--map", (dir / "map.svg").string(),
                                        (kCorpus / c.file).string()});
    ASSERT_GE(run.exitCode, 0) << run.err;
    const std::vector<std::string> rows = Lines(ReadFileBytes(dir / "r.csv"));
    const std::string svg = ReadFileBytes(dir / "map.svg");
    EXPECT_EQ(test::XmlProblem(svg), "");

    std::size_t marks = 0;
    std::size_t drawn = 0;
    for (std::size_t at = 0; (at = svg.find("><title>", at)) != std::string::npos; ++at) {
        if (svg.compare(at - 5, 5, "\"card") == 0) {
            continue;
        }
        ++marks;
        const std::size_t text = at + 8;
        const std::size_t digits = svg.find_first_not_of("0123456789", text);
        drawn +=
            svg.compare(digits, 13, " devices here") == 0 ? std::stoull(svg.substr(text, digits - text)) : 1;
    }
    std::size_t unsized = 0;
    const std::regex note("class=\"note\"[^>]*>([0-9]+) devices? ha(s|ve) no readable");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), note); it != std::sregex_iterator(); ++it) {
        unsized += std::stoull((*it)[1].str());
    }
    const std::size_t devices = rows.size() - 1;
    EXPECT_EQ(drawn + unsized, devices) << c.file;
    if (devices <= kMapSingleDeviceLimit) {
        EXPECT_EQ(marks, drawn);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, CorpusRewriteTest,
    testing::Values(
        CorpusCase{"NgspiceRingOscillatorCrlf", "ngspice_ro_meas_crlf.cir", "mynmos", "mypmos"},
        // "nmos" would contain the Key "m", which is refused; "pch" occurs nowhere in the file.
        CorpusCase{"NgspiceMosamp2ModelM", "ngspice_mosamp2.in", "m", "pch"},
        CorpusCase{"NgspiceRotarySplitParams", "ngspice_rotary_osc_split_params.cir", "Nmod", "Pmod"},
        CorpusCase{"NgspiceComparatorTabs", "ngspice_cmos_comparator_tabs.sp", "N_1u", "P_1u"},
        CorpusCase{"NgspiceKluStdcells", "ngspice_klu_stdcells.lib", "nmos", "pmos"},
        CorpusCase{"NgspicePspInverterPlusLines", "ngspice_psp_inverter_plus_lines.sp", "nch", "pch"},
        CorpusCase{"Sky130Cdl", "sky130_fd_sc_hd__sdfbbn_1.cdl", "nfet_01v8", "pfet_01v8_hvt"},
        CorpusCase{"CaravelSimplePor", "caravel_simple_por.spice", "sky130_fd_pr__nfet_g5v0d10v5",
                   "sky130_fd_pr__pfet_g5v0d10v5"},
        CorpusCase{"CaravelIo", "caravel_sky130_fd_io.spice", "sky130_fd_pr__nfet_g5v0d10v5",
                   "sky130_fd_pr__pfet_g5v0d10v5"},
        CorpusCase{"CaravelExtractedToplevel", "caravel_extracted_toplevel.spice", "sky130_fd_pr__nfet_01v8",
                   "sky130_fd_pr__pfet_01v8_hvt"},
        CorpusCase{"OpenramSram", "openram_sram_2_16_1_freepdk45.sp", "nmos_vtg", "pmos_vtg"},
        CorpusCase{"XyceInverterOrcad", "xyce_invert1_orcad_plus_lines.cir", "CD4012_NMOS", "CD4012_PMOS"},
        CorpusCase{"XyceSubcktParams", "xyce_subckt_b2_params.cir", "MN", "XNMOS"},
        CorpusCase{"XycePushPullCrlf", "xyce_push_pull_crlf.cir", "MAIN", "MSW1"},
        CorpusCase{"XyceRam2k", "xyce_circuitsim90_ram2k.cir", "nenh", "penh"}),
    test::RowName());

} // namespace
} // namespace tarvex
