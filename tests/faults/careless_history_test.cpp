// SPDX-License-Identifier: MIT
// A careless user's histories around runs of Tarvex: edits and new exports between runs, every piece
// of advice followed. Each version of each file the user wrote survives, under its name or as a
// numbered backup; only Tarvex's unchanged outputs and superseded exports may go.
#include "careless_support.h"
#include "cli_support.h"

#include "support/param_name.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tarvex {
namespace {

using namespace careless;
using test::TempDir;
using test::WriteFileBytes;

// One step of a user's history between and around runs of Tarvex.
struct Step {
    enum class Kind { Write, Window, Cli };
    Kind kind = Kind::Write;
    std::string file{};                  // Write: the file written, whole; Window: the file chosen
    std::string content{};               // Write: its new content
    bool isExport = false;               // Write: the netlister's export, which supersedes the one before
    std::string settings = "s.amd";      // Window: the settings file remembered
    std::vector<form::Answer> replies{}; // Window: its answers to questions; none left: No
    bool cancel = false;                 // Window: Cancel pressed at the first progress
    std::vector<std::string> args{};     // Cli: the arguments of tarvex-cli
    int exitCode = 0;                    // Cli
    std::string says{}; // Window and Cli: a part of what they show, {dir} the folder; empty: nothing at all
};

Step Export(std::string file, std::string content) {
    return {.file = std::move(file), .content = std::move(content), .isExport = true};
}
Step Edit(std::string file, std::string content) {
    return {.file = std::move(file), .content = std::move(content)};
}
Step Window(std::string chosen, std::string says = {}, std::vector<form::Answer> replies = {},
            std::string settings = "s.amd") {
    return {.kind = Step::Kind::Window,
            .file = std::move(chosen),
            .settings = std::move(settings),
            .replies = std::move(replies),
            .says = std::move(says)};
}
Step Cli(std::vector<std::string> args, int exitCode = 0, std::string says = {}) {
    return {.kind = Step::Kind::Cli, .args = std::move(args), .exitCode = exitCode, .says = std::move(says)};
}

struct History {
    std::string name;
    Files files; // the user's files besides the settings files
    std::vector<Step> steps;
    Files end = {}; // when given, every file at the end besides the settings files
    std::map<std::string, fs::perms> modes = {}; // given to these files at the start, kept to the end
};

void PrintTo(const History& c, std::ostream* os) {
    *os << c.name;
}

class CarelessHistoryTest : public testing::TestWithParam<History> {};

// After every run of Tarvex, each content that stood in the folder before it still stands there,
// unless Tarvex wrote it itself (an unedited output) or it is an export that a later export of the
// user's superseded. Each step's message is checked, and the next step follows its advice.
TEST_P(CarelessHistoryTest, EveryVersionTheUserWroteSurvives) {
    const History& c = GetParam();
    const TempDir dir;
    const TempDir stateHome;
    ASSERT_TRUE(SaveSettings(dir / "s.amd", Settings()));
    ASSERT_TRUE(SaveSettings(dir / "s2.amd", Settings("NCH2", "PCH2")));
    SettingsFile hv = Settings("HVN", "HVP");
    SetKeyText(hv.keyN, "MODhvN");
    SetKeyText(hv.keyP, "MODhvP");
    ASSERT_TRUE(SaveSettings(dir / "hv.amd", hv));
    std::set<std::string> mayGo;      // Tarvex's outputs and superseded exports, by checksum
    std::vector<std::string> exports; // the user's exports, oldest first: the ".net" files at the start
    for (const auto& [name, content] : c.files) {
        WriteFileBytes(dir / name, content);
        if (name.ends_with(".net")) {
            exports.push_back(content);
        }
    }
    for (const auto& [name, mode] : c.modes) {
        fs::permissions(dir / name, mode);
    }
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        const Step& step = c.steps[i];
        SCOPED_TRACE("step " + std::to_string(i + 1));
        if (step.kind == Step::Kind::Write) {
            if (step.isExport) {
                for (const std::string& earlier : exports) {
                    mayGo.insert(Checksum(earlier));
                }
                exports.push_back(step.content);
            }
            WriteFileBytes(dir / step.file, step.content);
            continue;
        }
        const std::multiset<std::string> before = Contents(Snapshot(dir.path()));
        std::string said;
        if (step.kind == Step::Kind::Window) {
            said = ProcessInWindow(dir / step.settings, dir / step.file, stateHome.path(), step.replies, {},
                                   {}, step.cancel);
        } else {
            test::RunOptions options;
            options.workingDir = dir.path();
            options.stateHome = stateHome.path();
            const test::RunResult run = test::RunCli(step.args, options);
            EXPECT_EQ(run.exitCode, step.exitCode) << run.err;
            said = run.err;
        }
        std::string says = step.says;
        for (std::size_t at; (at = says.find("{dir}")) != std::string::npos;) {
            says.replace(at, 5, dir.path().string());
        }
        if (says.empty()) {
            EXPECT_EQ(said, "");
        } else {
            EXPECT_NE(said.find(says), std::string::npos) << said;
        }
        const std::multiset<std::string> after = Contents(Snapshot(dir.path()));
        for (const std::string& content : after) {
            if (!before.contains(content)) {
                mayGo.insert(content);
            }
        }
        for (const std::string& content : before) {
            EXPECT_TRUE(after.contains(content) || mayGo.contains(content)) << "lost: " << content;
        }
    }
    if (!c.end.empty()) {
        Files end;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (!name.ends_with(".amd")) {
                end[name] = ReadFileBytes(entry.path());
            }
        }
        EXPECT_EQ(end, c.end);
    }
    for (const auto& [name, mode] : c.modes) {
        EXPECT_EQ(fs::status(dir / name).permissions(), mode) << name;
    }
}

constexpr const char* kBinnedEdited =
    "* amp\nM1 d g s b NCH L=1U W=3U\nM2 d g s b PCH L=1U W=2U\nC1 d 0 1p\n";
constexpr const char* kPlaceholdersEdited =
    "* amp\nM1 d g s b MODxyN L=1U W=3U\nM2 d g s b MODxyP L=1U W=2U\nC1 d 0 1p\nC2 g 0 1p\n";
constexpr const char* kBinnedOfEdited =
    "* amp\nM1 d g s b NCH L=1U W=3U\nM2 d g s b PCH L=1U W=2U\nC1 d 0 1p\nC2 g 0 1p\n";
constexpr const char* kReexport =
    "* amp\nM1 d g s b MODxyN L=1U W=2U\nM2 d g s b MODxyP L=1U W=2U\nR1 d 0 1k\n";
constexpr const char* kReexportBinned2 =
    "* amp\nM1 d g s b NCH2 L=1U W=2U\nM2 d g s b PCH2 L=1U W=2U\nR1 d 0 1k\n";
constexpr const char* kPinned =
    "* amp\nM1 d g s b nch_native L=1U W=2U\nM2 d g s b MODxyP L=1U W=2U\nM3 d g s b MODxyN L=1U W=2U\n";
constexpr const char* kPinnedBinned =
    "* amp\nM1 d g s b nch_native L=1U W=2U\nM2 d g s b PCH L=1U W=2U\nM3 d g s b NCH L=1U W=2U\n";
constexpr const char* kOverridden = "* amp\nM1 d g s b NCH_HAND L=1U W=2U\nM2 d g s b PCH L=1U W=2U\n";
constexpr const char* kBinned2 = "* amp\nM1 d g s b NCH2 L=1U W=2U\nM2 d g s b PCH2 L=1U W=2U\n";
constexpr const char* kTwoFamilies =
    "* amp\nM1 d g s b MODxyN L=1U W=2U\nM2 d g s b MODxyP L=1U W=2U\nM3 d g s b MODhvN L=1U W=2U\n";
constexpr const char* kTwoFamiliesBinned =
    "* amp\nM1 d g s b NCH L=1U W=2U\nM2 d g s b PCH L=1U W=2U\nM3 d g s b HVN L=1U W=2U\n";

INSTANTIATE_TEST_SUITE_P(
    Histories, CarelessHistoryTest,
    testing::Values(
        // The ways a designer works every day ask nothing and leave no extra file: export, Process
        // the .net; change the schematic, export again, Process the .net; change the tables, choose
        // the .ant.
        History{"CommonWaysAskNothing",
                {{"amp.net", kPlaceholders}},
                {Window("amp.net"), Export("amp.net", kReexport), Window("amp.net"),
                 Window("amp.ant", {}, {}, "s2.amd"), Cli(Process({"amp.net"}), 1, "is Tarvex's output")},
                {{"amp.ant", kReexport}, {"amp.net", kReexportBinned2}}},
        // The binned netlist edited by hand, then the backup chosen: the edit is kept.
        History{"EditedOutputThenBackupChosen",
                {{"amp.net", kPlaceholders}},
                {Window("amp.net"), Edit("amp.net", kBinnedEdited),
                 Window("amp.ant", "/amp.net\" was changed after Tarvex wrote it", {form::Answer::No}),
                 Cli(Process({"amp.ant"}), 1, "use --backup. No file was changed."),
                 Cli(Process({"--backup", "amp.ant"}), 0,
                     "The earlier \"amp.net\" was kept as \"amp.net.~1~\".")},
                {{"amp.ant", kPlaceholders}, {"amp.net", kBinned}, {"amp.net.~1~", kBinnedEdited}}},
        // The same edit, and the binned netlist chosen again: nothing to bin; the advice (make the
        // edit in the backup and choose that) keeps both.
        History{
            "EditedOutputChosenAgain",
            {{"amp.net", kPlaceholders}},
            {Cli(Process({"amp.net"})), Edit("amp.net", kBinnedEdited),
             Cli(Process({"amp.net"}), 1, "make the edit in \"amp.ant\" and choose \"amp.ant\""),
             Edit("amp.ant", kPlaceholdersEdited),
             Cli(Process({"amp.ant"}), 1, "\"amp.net\" was changed after Tarvex wrote it"),
             Cli(Process({"--backup", "amp.ant"}), 0, "kept as \"amp.net.~1~\"")},
            {{"amp.ant", kPlaceholdersEdited}, {"amp.net", kBinnedOfEdited}, {"amp.net.~1~", kBinnedEdited}}},
        // An edit of the backup, chosen: the .net is Tarvex's unedited output and simply goes.
        History{"EditedBackupChosen",
                {{"amp.net", kPlaceholders}},
                {Window("amp.net"), Edit("amp.ant", kPlaceholdersEdited), Window("amp.ant")},
                {{"amp.ant", kPlaceholdersEdited}, {"amp.net", kBinnedOfEdited}}},
        // A new export that names one part name itself: it may be an edit of the output, so it is a
        // question; going on keeps the older export.
        History{"ReexportPinningADevice",
                {{"amp.net", kPlaceholders}},
                {Cli(Process({"amp.net"})), Export("amp.net", kPinned),
                 Cli(Process({"amp.net"}), 1, "has lines binned from \"amp.ant\""),
                 Window("amp.net", "Process anyway, keeping", {form::Answer::No}),
                 Cli(Process({"--backup", "amp.net"}), 0,
                     "The earlier \"amp.ant\" was kept as \"amp.ant.~1~\".")},
                {{"amp.ant", kPinned}, {"amp.ant.~1~", kPlaceholders}, {"amp.net", kPinnedBinned}}},
        // A part name changed by hand, then new tables: the override is kept.
        History{"HandOverrideThenNewTables",
                {{"amp.net", kPlaceholders}},
                {Window("amp.net"), Edit("amp.net", kOverridden),
                 Window("amp.ant", "was changed after Tarvex wrote it", {form::Answer::Yes}, "s2.amd")},
                {{"amp.ant", kPlaceholders}, {"amp.net", kBinned2}, {"amp.net.~1~", kOverridden}}},
        // A second family binned in a run of its own would undo the first: refused with advice.
        History{
            "SecondFamilyAfterTheFirst",
            {{"amp.net", kTwoFamilies}},
            {Cli(Process({"amp.net"})),
             Cli({"process", "--settings", "hv.amd", "amp.net"}, 1,
                 "to bin several device families, process \"amp.ant\" once with every settings file"),
             Cli({"process", "--settings", "hv.amd", "amp.ant"}, 1, "this run does not bin MODxyN, MODxyP"),
             Cli({"process", "--settings", "s.amd", "--settings", "hv.amd", "amp.ant"})},
            {{"amp.ant", kTwoFamilies}, {"amp.net", kTwoFamiliesBinned}}},
        // No Key in the netlist: a warning, and nothing moved over a backup.
        History{"NoKeyIsAWarning",
                {{"amp.net", kOther}, {"b.net", kOther}},
                {Cli(Process({"amp.net"}), 3,
                     "Warning: No line of \"amp.ant\" holds a Key (MODxyN, MODxyP): nothing was binned."),
                 Window("b.net", "holds a Key (MODxyN, MODxyP): nothing was binned.")}},
        History{"NoKeyBesideABackup",
                {{"amp.net", kPlaceholders}},
                {Cli(Process({"amp.net"})), Export("amp.net", kOther),
                 Cli(Process({"amp.net"}), 1, kNothingToBin)},
                {{"amp.ant", kPlaceholders}, {"amp.net", kOther}}},
        // An output of an older Tarvex, of which there is no record: a question, and no backup when
        // the new output is the same text.
        History{"OutputWithoutRecord",
                {{"amp.ant", kPlaceholders}, {"amp.net", kBinned}},
                {Window("amp.ant", "Tarvex has no record of it", {form::Answer::Yes})},
                {{"amp.ant", kPlaceholders}, {"amp.net", kBinned}}},
        // rewrite replaces a file of the user's only when told, and its own output freely.
        History{"RewriteOverAFileOfTheUsers",
                {{"in.net", kPlaceholders}, {"out.net", kOther}},
                {Cli(Rewrite({"in.net", "out.net"}), 1, "use --backup"),
                 Cli(Rewrite({"--backup", "in.net", "out.net"}), 0, "kept as \"out.net.~1~\""),
                 Cli(Rewrite({"in.net", "out.net"}))},
                {{"in.net", kPlaceholders}, {"out.net", kBinned}, {"out.net.~1~", kOther}}},
        // The new .net of a private netlist stays private, in Process and in rewrite alike.
        History{
            "NewNetlistKeepsThePermissionsOfTheOneItReplaces",
            {{"amp.net", kPlaceholders}, {"out.net", kOther}},
            {Window("amp.net"),
             Cli(Rewrite({"--backup", "amp.ant", "out.net"}), 0, "kept as \"out.net.~1~\"")},
            {{"amp.ant", kPlaceholders}, {"amp.net", kBinned}, {"out.net", kBinned}, {"out.net.~1~", kOther}},
            {{"amp.net", fs::perms::owner_read | fs::perms::owner_write},
             {"out.net", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read}}},
        // Cancelled after the move aside: the user is told where the netlist is and that no .net exists.
        History{
            "CancelAfterTheMoveAside",
            {{"amp.net", kPlaceholders}},
            {Step{
                .kind = Step::Kind::Window,
                .file = "amp.net",
                .cancel = true,
                .says = "Cancelled. The original netlist is kept as \"{dir}/amp.ant\"; \"{dir}/amp.net\" was "
                        "not written. To bin it, choose \"{dir}/amp.ant\"."}},
            {{"amp.ant", kPlaceholders}}}),
    test::RowName());

} // namespace
} // namespace tarvex
