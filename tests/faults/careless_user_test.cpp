// SPDX-License-Identifier: MIT
// Tarvex as a careless or hostile user drives it, through the window's Process and through
// tarvex-cli: files chosen by mistake, netlists binned twice, planted links, outputs named over
// inputs, Keys and part names that would garble the netlist. Whatever happens, every byte of every
// file the user had is still there afterwards (compared by checksum), and a refusal touches nothing.
#include "cli_support.h"
#include "fault_support.h"

#include "netlist/process.h"
#include "support/param_name.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;
using Files = std::map<std::string, std::string>; // name → content, or "-> target" for a link

constexpr const char* kPlaceholders = "* amp\nM1 d g s b MODxyN L=1U W=2U\nM2 d g s b MODxyP L=1U W=2U\n";
constexpr const char* kBinned = "* amp\nM1 d g s b NCH L=1U W=2U\nM2 d g s b PCH L=1U W=2U\n";
constexpr const char* kOther = "* another netlist the user keeps\nR1 a b 1k\n";
// A netlist whose binned copy still holds Keys: in a .model line, and in a device outside the table.
constexpr const char* kKeysKept =
    "* amp\n.model MODxyN nmos\nM1 d g s b MODxyN L=1U W=2U\nM9 d g s b MODxyP L=9U W=2U\n";
constexpr const char* kKeysKeptBinned =
    "* amp\n.model MODxyN nmos\nM1 d g s b NCH L=1U W=2U\nM9 d g s b MODxyP L=9U W=2U\n";
const std::string kLongName = std::string(232, 'x') + ".net"; // 236 bytes: the file name limit is 255

// 64-bit FNV-1a: enough to tell any two of these files apart, short enough to print.
std::string Checksum(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037u;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
    }
    return std::to_string(hash) + "/" + std::to_string(bytes.size());
}

// Every entry under folder: files as their checksum, links as "-> target", folders as "<dir>".
Files Snapshot(const fs::path& folder) {
    Files entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().lexically_relative(folder).generic_string();
        if (entry.is_symlink()) {
            entries[name] = "-> " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_fifo()) {
            entries[name] = "<fifo>";
        } else if (entry.is_directory()) {
            entries[name] = "<dir>";
        } else {
            entries[name] = Checksum(ReadFileBytes(entry.path()));
        }
    }
    return entries;
}

std::multiset<std::string> Contents(const Files& snapshot) {
    std::multiset<std::string> contents;
    for (const auto& [name, entry] : snapshot) {
        if (!entry.starts_with("-> ") && entry != "<dir>") {
            contents.insert(entry);
        }
    }
    return contents;
}

SettingsFile Settings(std::string_view nameN = "NCH", std::string_view nameP = "PCH") {
    SettingsFile settings;
    for (BinTable* table : {&settings.tableN, &settings.tableP}) {
        table->widthBounds = {1e-6, 5e-6, 0, 0, 0, 0};
        table->lengthBounds = {5e-7, 2e-6, 0, 0, 0, 0};
    }
    SetPartName(settings.tableN, 0, 0, nameN);
    SetPartName(settings.tableP, 0, 0, nameP);
    return settings;
}

struct Misstep {
    std::string name;
    Files files = {};                  // what the user had besides the settings file s.amd
    std::string chosen = {};           // set: the window's Process on this file
    std::vector<std::string> cli = {}; // otherwise: tarvex-cli with these arguments, in the folder
    std::string message = {};          // a part of the message shown; empty: none at all
    bool touchesNothing = true;        // a refusal: the folder must be exactly as it was
    int exitCode = 1;                  // of the tarvex-cli run
    SettingsFile settings = Settings();
    std::optional<std::string> keyN = {}; // the window's Key fields, when not the stored Keys
    std::optional<std::string> keyP = {};
    std::string stdinFrom = {};    // tarvex-cli's standard input: this file in the folder
    std::string stdoutAppend = {}; // tarvex-cli's standard output appended to this file
};

void PrintTo(const Misstep& c, std::ostream* os) {
    *os << c.name;
}

class CarelessUserTest : public testing::TestWithParam<Misstep> {};

TEST_P(CarelessUserTest, NothingTheUserHadIsLost) {
    const Misstep& c = GetParam();
    const TempDir dir;
    ASSERT_FALSE(SaveSettings(dir / "s.amd", c.settings));
    for (const auto& [name, content] : c.files) {
        fs::create_directories((dir / name).parent_path());
        if (content.starts_with("-> ")) {
            fs::create_symlink(content.substr(3), dir / name);
        } else if (content == "<fifo>") {
            ASSERT_EQ(::mkfifo((dir / name).c_str(), 0644), 0);
        } else {
            WriteFileBytes(dir / name, content);
        }
    }
    const Files before = Snapshot(dir.path());

    std::string message;
    if (!c.chosen.empty()) {
        RewriteRules rules = test::RulesOf(c.settings);
        rules.keyN = c.keyN.value_or(rules.keyN);
        rules.keyP = c.keyP.value_or(rules.keyP);
        message = ProcessNetlist(dir / c.chosen, rules).error.value_or("");
    } else {
        test::RunOptions options;
        options.workingDir = dir.path();
        if (!c.stdinFrom.empty()) {
            options.stdinFrom = c.stdinFrom;
        }
        if (!c.stdoutAppend.empty()) {
            options.stdoutTo = c.stdoutAppend;
            options.appendStdout = true;
        }
        const test::RunResult run = test::RunCli(c.cli, options);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        message = run.err;
    }

    const Files after = Snapshot(dir.path());
    if (c.message.empty()) {
        EXPECT_EQ(message, "");
    } else {
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
    if (c.touchesNothing) {
        EXPECT_EQ(after, before);
    }
    // Every file the user had is still there, byte for byte, under one name or another.
    const std::multiset<std::string> kept = Contents(after);
    for (const std::string& content : Contents(before)) {
        EXPECT_TRUE(kept.contains(content)) << "lost: " << content;
    }
    for (const auto& [name, entry] : after) {
        EXPECT_FALSE(name.starts_with(".tarvex-") && !before.contains(name)) << "left behind: " << name;
    }
}

std::vector<std::string> Process(std::vector<std::string> args) {
    args.insert(args.begin(), {"process", "--settings", "s.amd"});
    return args;
}

std::vector<std::string> Rewrite(std::vector<std::string> args) {
    args.insert(args.begin(), {"rewrite", "--settings", "s.amd"});
    return args;
}

std::vector<std::string> Check(std::vector<std::string> args) {
    args.insert(args.begin(), {"check", "--settings", "s.amd"});
    return args;
}

constexpr const char* kBinnedCopy =
    "Error: \"amp.net\" is a binned copy of its backup \"amp.ant\"; processing it would replace the backup, "
    "the only copy of the placeholders. To bin the netlist again, choose \"amp.ant\". No file was changed.";

INSTANTIATE_TEST_SUITE_P(
    Items, CarelessUserTest,
    testing::Values(
        // A file that is neither the .net nor the .ant, while the .net is another file.
        Misstep{"OtherExtensionBesideNetlist",
                {{"amp.cir", kPlaceholders}, {"amp.net", kOther}, {"amp.ant", kOther}},
                "amp.cir",
                {},
                "/amp.cir\" would replace \""},
        Misstep{"OtherExtensionBesideNetlistCli",
                {{"amp.out", kPlaceholders}, {"amp.net", kOther}},
                "",
                Process({"amp.out"}),
                "Error: Processing \"amp.out\" would replace \"amp.net\", another file."},
        Misstep{"UpperCaseNameBesideLowerCase",
                {{"x.NET", kPlaceholders}, {"x.net", kOther}},
                "x.NET",
                {},
                "/x.net\", another file."},
        Misstep{"LinkToTheNetlistItWouldReplace",
                {{"amp.cir", "-> amp.net"}, {"amp.net", kPlaceholders}},
                "amp.cir",
                {},
                "/amp.cir\" is a link to \""},
        Misstep{"LinkToTheBackupItWouldReplace",
                {{"amp.net", "-> amp.ant"}, {"amp.ant", kPlaceholders}},
                "amp.net",
                {},
                "/amp.net\" is a link to \""},
        Misstep{"OtherExtensionAloneIsMovedAside", {{"amp.cir", kPlaceholders}}, "amp.cir", {}, "", false},
        // A netlist binned already, processed again: whether or not it still holds a Key, it is a
        // binned copy of its backup, which moving it aside would destroy.
        Misstep{"BinnedNetlistAgain",
                {{"amp.net", kBinned}, {"amp.ant", kPlaceholders}},
                "amp.net",
                {},
                "/amp.net\" is a binned copy of its backup \""},
        Misstep{"BinnedNetlistKeepingKeysAgain",
                {{"amp.net", kKeysKeptBinned}, {"amp.ant", kKeysKept}},
                "amp.net",
                {},
                "/amp.net\" is a binned copy of its backup \""},
        Misstep{"BinnedNetlistKeepingKeysAgainCli",
                {{"amp.net", kKeysKeptBinned}, {"amp.ant", kKeysKept}},
                "",
                Process({"amp.net"}),
                kBinnedCopy},
        Misstep{"CheckRefusesWhatProcessRefuses",
                {{"amp.net", kKeysKeptBinned}, {"amp.ant", kKeysKept}},
                "",
                Check({"amp.net"}),
                kBinnedCopy},
        // Choosing the backup replaces the .net: only a binned copy of it (or the same text) may go.
        Misstep{"BackupBesideAnEditedNetlist",
                {{"amp.ant", kPlaceholders}, {"amp.net", kOther}},
                "amp.ant",
                {},
                "/amp.net\" is not a binned copy of \""},
        Misstep{
            "UpperCaseBackupBesideAnEditedNetlist",
            {{"amp.ANT", kPlaceholders}, {"amp.net", kKeysKept}},
            "",
            Process({"amp.ANT"}),
            "Error: \"amp.net\" is not a binned copy of \"amp.ANT\" (a new export or an edit?); processing "
            "\"amp.ANT\" would replace it, and it would be lost. Choose \"amp.net\" to bin it (it then "
            "becomes "
            "the backup), or move it away to keep it. No file was changed."},
        Misstep{"CheckOfABackupBesideAnEditedNetlist",
                {{"amp.ant", kPlaceholders}, {"amp.net", kOther}},
                "",
                Check({"amp.ant"}),
                "\"amp.net\" is not a binned copy of \"amp.ant\""},
        Misstep{"BackupBesideItsBinnedCopy",
                {{"amp.ant", kKeysKept}, {"amp.net", kKeysKeptBinned}},
                "amp.ant",
                {},
                "",
                false},
        Misstep{"BackupBesideTheSameText",
                {{"amp.ant", kPlaceholders}, {"amp.net", kPlaceholders}},
                "amp.ant",
                {},
                "",
                false},
        // The .net and the .ant one file through a link, either way round.
        Misstep{"BackupIsALinkToTheNetlist",
                {{"amp.net", kPlaceholders}, {"amp.ant", "-> amp.net"}},
                "amp.ant",
                {},
                "/amp.ant\" are the same file (a link); processing would lose the netlist."},
        Misstep{"NetlistIsALinkToTheBackupCli",
                {{"amp.ant", kPlaceholders}, {"amp.net", "-> amp.ant"}},
                "",
                Process({"amp.ant"}),
                "Error: \"amp.net\" and \"amp.ant\" are the same file (a link); processing would lose the "
                "netlist. Make them separate files. No file was changed."},
        // Not a file that can be read to its end.
        Misstep{"NetlistIsAPipe",
                {{"amp.net", "<fifo>"}},
                "",
                Process({"amp.net"}),
                "Error: \"amp.net\" is not a regular file (a pipe, a device or a socket), not a netlist."},
        Misstep{"CheckOfAPipe",
                {{"amp.ant", "<fifo>"}},
                "",
                Check({"amp.ant"}),
                "\"amp.ant\" is not a regular file"},
        Misstep{"BackupIsAPipe",
                {{"amp.net", kPlaceholders}, {"amp.ant", "<fifo>"}},
                "amp.net",
                {},
                "\" is not a regular file"},
        Misstep{"SameNetlistTwiceRunsOnce",
                {{"amp.net", kPlaceholders}, {"amp.ant", kOther}, {"sub/keep.txt", kOther}},
                "",
                Process({"amp.net", "./amp.net", "sub/../amp.net"}),
                "",
                false,
                0},
        Misstep{"BackupThenBinnedNetlist",
                {{"amp.ant", kPlaceholders}, {"amp.net", kBinned}},
                "",
                Process({"amp.ant", "amp.net"}),
                kBinnedCopy,
                false},
        // A link planted where the temporary output used to be written.
        Misstep{"LinkPlantedAtTheOldTemporaryName",
                {{"amp.net", kPlaceholders}, {"victim.txt", kOther}, {"amp.net.tarvex-tmp", "-> victim.txt"}},
                "amp.net",
                {},
                "",
                false},
        // rewrite that cannot read its INPUT leaves OUTPUT as it was.
        Misstep{"RewriteInputIsAFolder",
                {{"in.net/inner.net", kPlaceholders}, {"out.net", kOther}},
                "",
                Rewrite({"in.net", "out.net"}),
                "Error: \"in.net\" is a folder, not a netlist."},
        Misstep{"RewriteInputFailsMidway",
                {{"in.net", "-> /proc/self/mem"}, {"out.net", kOther}},
                "",
                Rewrite({"in.net", "out.net"}),
                "Error: Cannot read \"in.net\": Input/output error. \"out.net\" was not changed."},
        // The report or the output named over an input of the run.
        Misstep{"ReportOverTheSettings",
                {{"amp.net", kPlaceholders}, {"sub/keep.txt", kOther}},
                "",
                Process({"--report", "sub/../s.amd", "amp.net"}),
                "Error: The report \"sub/../s.amd\" would overwrite the settings file \"s.amd\"."},
        Misstep{"RewriteReportOverTheSettings",
                {{"in.net", kPlaceholders}},
                "",
                Rewrite({"--report", "./s.amd", "in.net", "out.net"}),
                "would overwrite the settings file \"s.amd\"."},
        Misstep{"RewriteOutputOverTheSettings",
                {{"in.net", kPlaceholders}, {"link.amd", "-> s.amd"}},
                "",
                Rewrite({"in.net", "link.amd"}),
                "Error: The output \"link.amd\" would overwrite the settings file \"s.amd\"."},
        Misstep{"NetlistBackupOverTheSettings",
                {{"s.net", kPlaceholders}, {"s.ant", "-> s.amd"}},
                "",
                {"process", "--settings", "s.ant", "s.net"},
                "Error: Processing \"s.net\" would move or replace the settings file \"s.ant\"."},
        // Keys that overlap or are blank garble every device line.
        Misstep{"KeyInsideTheOtherKey",
                {{"amp.net", kPlaceholders}},
                "",
                Process({"--key-n", "MOD", "--key-p", "MODxyP", "amp.net"}),
                "Error: MODxyP key contains MODxyN key!"},
        Misstep{"EqualKeys",
                {{"amp.net", kPlaceholders}},
                "amp.net",
                {},
                "Error: MODxyN and MODxyP keys are the same!",
                true,
                1,
                Settings(),
                "MODxyN",
                "MODxyN"},
        Misstep{"BlankKey",
                {{"amp.net", kPlaceholders}},
                "",
                Rewrite({"--key-p", " \t", "amp.net", "out.net"}),
                "Error: Blank MODxyP key!"},
        // Part names that would split the device line.
        Misstep{"PartNameWithASpace",
                {{"amp.net", kPlaceholders}},
                "amp.net",
                {},
                "Error: MODxyN part name in column 1, row 1 holds a space!",
                true,
                1,
                Settings("NCH 1")},
        Misstep{"PartNameWithALineEnd",
                {{"amp.net", kPlaceholders}},
                "",
                Process({"amp.net"}),
                "Error: MODxyP part name in column 1, row 1 holds a line end!",
                true,
                1,
                Settings("NCH", "PCH\n+ x")},
        // The report of a dry run over a netlist's own backup or .net.
        Misstep{"CheckReportOverTheBackup",
                {{"amp.net", kPlaceholders}, {"amp.ant", kKeysKept}},
                "",
                Check({"--report", "amp.ant", "amp.net"}),
                "Error: The report \"amp.ant\" would overwrite the netlist \"amp.ant\"."},
        Misstep{"CheckReportOverTheNetlist",
                {{"amp.net", kBinned}, {"amp.ant", kPlaceholders}},
                "",
                Check({"--report", "amp.net", "amp.ant"}),
                "Error: The report \"amp.net\" would overwrite the netlist \"amp.net\"."},
        // A filter whose output is its own input would never end.
        Misstep{
            .name = "RewriteAppendedToItsInput",
            .files = {{"amp.net", kPlaceholders}},
            .cli = Rewrite({"amp.net"}),
            .message =
                "Error: The output (standard output) is the input file (\"amp.net\"). Nothing was written.",
            .stdoutAppend = "amp.net"},
        Misstep{.name = "RewriteOfStandardInputAppendedToIt",
                .files = {{"amp.net", kPlaceholders}},
                .cli = Rewrite({}),
                .message = "Error: The output (standard output) is the input file (standard input).",
                .stdinFrom = "amp.net",
                .stdoutAppend = "amp.net"},
        Misstep{.name = "RewriteOfStandardInputIntoIt",
                .files = {{"amp.net", kPlaceholders}},
                .cli = Rewrite({"-", "amp.net"}),
                .message = "Error: The output (\"amp.net\") is the input file (standard input).",
                .stdinFrom = "amp.net"},
        // Names near the file system's limit work like any other.
        Misstep{.name = "LongNetlistName",
                .files = {{kLongName, kPlaceholders}},
                .chosen = kLongName,
                .touchesNothing = false},
        Misstep{.name = "LongOutputName",
                .files = {{"amp.net", kPlaceholders}},
                .cli = Rewrite({"amp.net", std::string(235, 'y') + ".net"}),
                .touchesNothing = false,
                .exitCode = 0},
        // check stops where process stops, with the same message and status.
        Misstep{"CheckOfANameWithoutExtension",
                {{"amp", kPlaceholders}},
                "",
                Check({"amp"}),
                "amp: Input file cannot have .OUT extension!"},
        Misstep{"CheckOfAnotherExtensionBesideNetlist",
                {{"amp.cir", kPlaceholders}, {"amp.net", kOther}},
                "",
                Check({"amp.cir"}),
                "Error: Processing \"amp.cir\" would replace \"amp.net\", another file."},
        Misstep{"CheckOfABinnedNetlist",
                {{"amp.net", kBinned}, {"amp.ant", kPlaceholders}},
                "",
                Check({"amp.net"}),
                kBinnedCopy},
        // A full disk under the report is named as such.
        Misstep{"ReportOnAFullDevice",
                {{"amp.net", kPlaceholders}},
                "",
                Process({"--report", "/dev/full", "amp.net"}),
                "Error: Cannot write report \"/dev/full\": No space left on device.",
                false},
        // Messages that name what they are about.
        Misstep{
            "UnknownSubcommand",
            {{"amp.net", kPlaceholders}},
            "",
            {"proces", "--settings", "s.amd", "amp.net"},
            "Error: Unknown subcommand \"proces\"; choose process, rewrite, check, import, show or probe.",
            true,
            2},
        Misstep{"NameWithoutExtension",
                {{"amp", kPlaceholders}},
                "",
                Process({"amp"}),
                "amp: Input file cannot have .OUT extension!"}),
    test::RowName());

// The new .net of a private netlist stays private, in Process and in rewrite alike.
TEST(CarelessUserTest, NewNetlistKeepsThePermissionsOfTheOneItReplaces) {
    const TempDir dir;
    ASSERT_FALSE(SaveSettings(dir / "s.amd", Settings()));
    WriteFileBytes(dir / "amp.net", kPlaceholders);
    WriteFileBytes(dir / "out.net", kOther);
    fs::permissions(dir / "amp.net", fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(dir / "out.net", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    ASSERT_TRUE(ProcessNetlist(dir / "amp.net", test::RulesOf(Settings())).completed());
    test::RunOptions options;
    options.workingDir = dir.path();
    ASSERT_EQ(test::RunCli(Rewrite({"amp.ant", "out.net"}), options).exitCode, 0);

    EXPECT_EQ(fs::status(dir / "amp.net").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(dir / "out.net").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(ReadFileBytes(dir / "amp.net"), kBinned);
    EXPECT_EQ(ReadFileBytes(dir / "out.net"), kBinned);
}

// Cancelled after the move aside: the user is told where the netlist is and that no .net exists.
TEST(CarelessUserTest, CancelAfterTheMoveAsideSaysWhereTheNetlistIs) {
    const TempDir dir;
    WriteFileBytes(dir / "amp.net", kPlaceholders);
    StreamOptions options;
    options.onProgress = [](std::uint64_t) { return false; };

    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.net", test::RulesOf(Settings()), options);

    EXPECT_TRUE(outcome.cancelled);
    const std::string ant = (dir / "amp.ant").string();
    EXPECT_EQ(outcome.error.value_or(""), "Cancelled. The original netlist is kept as \"" + ant + "\"; \"" +
                                              (dir / "amp.net").string() +
                                              "\" was not written. To bin it, choose \"" + ant + "\".");
    EXPECT_EQ(test::EntriesOf(dir.path()), std::set<std::string>{"amp.ant"});
    EXPECT_EQ(ReadFileBytes(dir / "amp.ant"), kPlaceholders);
}

// A device whose L= or W= cannot be read is named for what it lacks, not looked up as size 0.
TEST(CarelessUserTest, CliSaysWhichSizeADeviceLacks) {
    const TempDir dir;
    ASSERT_FALSE(SaveSettings(dir / "s.amd", Settings()));
    WriteFileBytes(dir / "amp.ant", "M1 d g s b MODxyN\n"
                                    "+ L=1U W=2U\n"
                                    "M2 d g s b MODxyN L={p} W=2U\n"
                                    "M3 d g s b MODxyP l=1u W=2U\n"
                                    "M4 d g s b MODxyP L=1U W=\n"
                                    "M5 d g s b MODxyN L=9U W=2U\n");
    test::RunOptions options;
    options.workingDir = dir.path();

    const test::RunResult run = test::RunCli(Process({"--report", "-", "amp.ant"}), options);

    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, "amp.ant:1: Error: MODxyN device has no readable L= or W=!\n"
                       "amp.ant:3: Error: MODxyN device has no readable L=!\n"
                       "amp.ant:4: Error: MODxyP device has no readable L=!\n"
                       "amp.ant:5: Error: MODxyP device has no readable W=!\n"
                       "amp.ant:6: Error: No MODxyN bin for L=9e-06 W=2e-06!\n");
    EXPECT_EQ(run.out, "file,line,polarity,L,W,width_bin,length_bin,part_name,problem\n"
                       "amp.ant,1,N,0,0,,,,no L= or W=\n"
                       "amp.ant,3,N,0,2e-06,0,,,no L=\n"
                       "amp.ant,4,P,0,2e-06,0,,,no L=\n"
                       "amp.ant,5,P,1e-06,0,,0,,no W=\n"
                       "amp.ant,6,N,9e-06,2e-06,0,,,no bin\n");
}

} // namespace
} // namespace tarvex
