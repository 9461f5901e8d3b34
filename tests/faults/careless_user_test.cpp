// SPDX-License-Identifier: MIT
// Tarvex as a careless or hostile user drives it, one misstep at a time, through the window's
// Process (the presenter with fake ports) and through tarvex-cli: files chosen by mistake, netlists
// binned twice, planted links, outputs named over inputs, Keys and part names that would garble the
// netlist. Whatever happens, every byte of every file the user wrote is still there afterwards
// (compared by checksum), and a refusal touches nothing.
#include "careless_support.h"
#include "cli_support.h"

#include "support/param_name.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarvex {
namespace {

using namespace careless;
using test::TempDir;
using test::WriteFileBytes;

const std::string kLongName = std::string(232, 'x') + ".net"; // 236 bytes: the file name limit is 255

struct Misstep {
    std::string name;
    Files files = {};                    // what the user had besides the settings file s.amd
    std::string chosen = {};             // set: the window's Process on this file
    std::vector<std::string> cli = {};   // otherwise: tarvex-cli with these arguments, in the folder
    std::string message = {};            // a part of the message shown; empty: none at all
    bool touchesNothing = true;          // a refusal: the folder must be exactly as it was
    int exitCode = 1;                    // of the tarvex-cli run
    std::optional<std::string> out = {}; // tarvex-cli's standard output, whole, when given
    SettingsFile settings = Settings();
    std::optional<std::string> keyN = {}; // the window's Key fields, when not the stored Keys
    std::optional<std::string> keyP = {};
    std::string stdinFrom = {};             // tarvex-cli's standard input: this file in the folder
    std::string stdoutAppend = {};          // tarvex-cli's standard output appended to this file
    std::vector<form::Answer> replies = {}; // the window's answers to its questions; none: No
};

void PrintTo(const Misstep& c, std::ostream* os) {
    *os << c.name;
}

class CarelessUserTest : public testing::TestWithParam<Misstep> {};

TEST_P(CarelessUserTest, NothingTheUserHadIsLost) {
    const Misstep& c = GetParam();
    const TempDir dir;
    const TempDir stateHome;
    ASSERT_TRUE(SaveSettings(dir / "s.amd", c.settings));
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
        message = ProcessInWindow(dir / "s.amd", dir / c.chosen, stateHome.path(), c.replies, c.keyN, c.keyP);
    } else {
        test::RunOptions options;
        options.workingDir = dir.path();
        options.stateHome = stateHome.path();
        if (!c.stdinFrom.empty()) {
            options.stdinFrom = c.stdinFrom;
        }
        if (!c.stdoutAppend.empty()) {
            options.stdoutTo = c.stdoutAppend;
            options.appendStdout = true;
        }
        const test::RunResult run = test::RunCli(c.cli, options);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        if (c.out) {
            EXPECT_EQ(run.out, *c.out);
        }
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

// A binned netlist that still holds Keys, chosen again with no record of the run that made it: it
// may be Tarvex's output or an edit of it, so moving it aside could lose the placeholders.
constexpr const char* kBinnedLines =
    "Error: \"amp.net\" has lines binned from \"amp.ant\" (Tarvex's output, an edit of it, or an export that "
    "names some part names?); processing it would replace \"amp.ant\", which may be the only copy of the "
    "placeholders. To go on, keeping \"amp.ant\" as \"amp.ant.~1~\", use --backup. No file was changed.";
// Process in the window on chosen, refused: message is a part of what it shows.
Misstep InWindow(std::string name, Files files, std::string chosen, std::string message) {
    return {.name = std::move(name),
            .files = std::move(files),
            .chosen = std::move(chosen),
            .message = std::move(message)};
}

// tarvex-cli with these arguments, refused with status 1: message is a part of what it says.
Misstep AtCli(std::string name, Files files, std::vector<std::string> cli, std::string message) {
    return {.name = std::move(name),
            .files = std::move(files),
            .cli = std::move(cli),
            .message = std::move(message)};
}

INSTANTIATE_TEST_SUITE_P(
    Items, CarelessUserTest,
    testing::Values(
        // A file that is neither the .net nor the .ant, while the .net is another file.
        InWindow("OtherExtensionBesideNetlist",
                 {{"amp.cir", kPlaceholders}, {"amp.net", kOther}, {"amp.ant", kOther}}, "amp.cir",
                 "/amp.cir\" would replace \""),
        AtCli("OtherExtensionBesideNetlistCli", {{"amp.out", kPlaceholders}, {"amp.net", kOther}},
              Process({"amp.out"}), "Error: Processing \"amp.out\" would replace \"amp.net\", another file."),
        InWindow("UpperCaseNameBesideLowerCase", {{"x.NET", kPlaceholders}, {"x.net", kOther}}, "x.NET",
                 "/x.net\", another file."),
        InWindow("LinkToTheNetlistItWouldReplace", {{"amp.cir", "-> amp.net"}, {"amp.net", kPlaceholders}},
                 "amp.cir", "/amp.cir\" is a link to \""),
        InWindow("LinkToTheBackupItWouldReplace", {{"amp.net", "-> amp.ant"}, {"amp.ant", kPlaceholders}},
                 "amp.net", "/amp.net\" is a link to \""),
        Misstep{.name = "OtherExtensionAloneIsMovedAside",
                .files = {{"amp.cir", kPlaceholders}},
                .chosen = "amp.cir",
                .touchesNothing = false},
        // A netlist binned already, processed again with no record of the run that binned it: one
        // without Keys has nothing to bin; one that keeps Keys may be an edit of the output. Either
        // way the backup may be the only copy of the placeholders.
        InWindow("BinnedNetlistAgain", {{"amp.net", kBinned}, {"amp.ant", kPlaceholders}}, "amp.net",
                 kNothingToBin),
        Misstep{.name = "BinnedNetlistKeepingKeysAgain",
                .files = {{"amp.net", kKeysKeptBinned}, {"amp.ant", kKeysKept}},
                .chosen = "amp.net",
                .message =
                    "/amp.ant\", which may be the only copy of the placeholders.\n\nProcess anyway, keeping",
                .replies = {form::Answer::No}},
        AtCli("BinnedNetlistKeepingKeysAgainCli", {{"amp.net", kKeysKeptBinned}, {"amp.ant", kKeysKept}},
              Process({"amp.net"}), kBinnedLines),
        AtCli("CheckRefusesWhatProcessRefuses", {{"amp.net", kKeysKeptBinned}, {"amp.ant", kKeysKept}},
              Check({"amp.net"}), kBinnedLines),
        // Choosing the backup replaces the .net: only Tarvex's own output (or the same text) may go
        // without a question.
        InWindow("BackupBesideAnEditedNetlist", {{"amp.ant", kPlaceholders}, {"amp.net", kOther}}, "amp.ant",
                 "/amp.net\" was not written by Tarvex, or Tarvex has no record of it"),
        AtCli("UpperCaseBackupBesideAnEditedNetlist", {{"amp.ANT", kPlaceholders}, {"amp.net", kKeysKept}},
              Process({"amp.ANT"}),
              "Error: \"amp.net\" was not written by Tarvex, or Tarvex has no record of it (a new export, or "
              "an edit?); processing \"amp.ANT\" would replace it. If it is a new export, choose "
              "\"amp.net\" to bin it. To go on, keeping \"amp.net\" as \"amp.net.~1~\", use --backup. No "
              "file was changed."),
        AtCli("CheckOfABackupBesideAnEditedNetlist", {{"amp.ant", kPlaceholders}, {"amp.net", kOther}},
              Check({"amp.ant"}), "\"amp.net\" was not written by Tarvex"),
        // Going on keeps the .net as a numbered backup, unless the new one is the same text.
        Misstep{.name = "BackupBesideItsBinnedCopy",
                .files = {{"amp.ant", kKeysKept}, {"amp.net", kKeysKeptBinned}},
                .chosen = "amp.ant",
                .message = "was not written by Tarvex",
                .touchesNothing = false,
                .replies = {form::Answer::Yes}},
        Misstep{.name = "BackupBesideAnEditGoingOn",
                .files = {{"amp.ant", kKeysKept}, {"amp.net", kOther}},
                .chosen = "amp.ant",
                .message = "/amp.net.~1~\".",
                .touchesNothing = false,
                .replies = {form::Answer::Yes}},
        Misstep{.name = "BackupBesideTheSameText",
                .files = {{"amp.ant", kPlaceholders}, {"amp.net", kPlaceholders}},
                .chosen = "amp.ant",
                .touchesNothing = false},
        // The .net and the .ant one file through a link, either way round.
        InWindow("BackupIsALinkToTheNetlist", {{"amp.net", kPlaceholders}, {"amp.ant", "-> amp.net"}},
                 "amp.ant", "/amp.ant\" are the same file (a link); processing would lose the netlist."),
        AtCli("NetlistIsALinkToTheBackupCli", {{"amp.ant", kPlaceholders}, {"amp.net", "-> amp.ant"}},
              Process({"amp.ant"}),
              "Error: \"amp.net\" and \"amp.ant\" are the same file (a link); processing would lose the "
              "netlist. Make them separate files. No file was changed."),
        // Not a file that can be read to its end.
        AtCli("NetlistIsAPipe", {{"amp.net", "<fifo>"}}, Process({"amp.net"}),
              "Error: \"amp.net\" is not a regular file (a pipe, a device or a socket), not a netlist."),
        AtCli("CheckOfAPipe", {{"amp.ant", "<fifo>"}}, Check({"amp.ant"}),
              "\"amp.ant\" is not a regular file"),
        InWindow("BackupIsAPipe", {{"amp.net", kPlaceholders}, {"amp.ant", "<fifo>"}}, "amp.net",
                 "\" is not a regular file"),
        Misstep{.name = "SameNetlistTwiceRunsOnce",
                .files = {{"amp.net", kPlaceholders}, {"amp.ant", kOther}, {"sub/keep.txt", kOther}},
                .cli = Process({"amp.net", "./amp.net", "sub/../amp.net"}),
                .message = "The earlier \"amp.ant\" was kept as \"amp.ant.~1~\".",
                .touchesNothing = false,
                .exitCode = 0},
        AtCli("BackupThenBinnedNetlist", {{"amp.ant", kPlaceholders}, {"amp.net", kBinned}},
              Process({"amp.ant", "amp.net"}), "\"amp.net\" was not written by Tarvex"),
        // A link planted where the temporary output used to be written.
        Misstep{.name = "LinkPlantedAtTheOldTemporaryName",
                .files = {{"amp.net", kPlaceholders},
                          {"victim.txt", kOther},
                          {"amp.net.tarvex-tmp", "-> victim.txt"}},
                .chosen = "amp.net",
                .touchesNothing = false},
        // rewrite that cannot read its INPUT leaves OUTPUT as it was.
        AtCli("RewriteInputIsAFolder", {{"in.net/inner.net", kPlaceholders}, {"out.net", kOther}},
              Rewrite({"in.net", "out.net"}), "Error: \"in.net\" is a folder, not a netlist."),
        AtCli("RewriteInputFailsMidway", {{"in.net", "-> /proc/self/mem"}}, Rewrite({"in.net", "out.net"}),
              "Error: Cannot read \"in.net\": Input/output error. \"out.net\" was not changed."),
        // rewrite replaces only its own output without a question.
        AtCli("RewriteOverAFileItDidNotWrite", {{"in.net", kPlaceholders}, {"out.net", kOther}},
              Rewrite({"in.net", "out.net"}),
              "Error: \"out.net\" was not written by Tarvex (a file of yours?); writing the output would "
              "replace "
              "it. To go on, keeping \"out.net\" as \"out.net.~1~\", use --backup. No file was changed."),
        AtCli("RewriteOverANumberedBackup", {{"in.net", kPlaceholders}, {"in.net.~1~", kOther}},
              Rewrite({"--backup", "in.net", "in.net.~1~"}),
              "would replace a numbered backup, which Tarvex keeps as it is."),
        AtCli("NumberedBackupChosen", {{"amp.net.~2~", kPlaceholders}}, Process({"amp.net.~2~"}),
              "Error: \"amp.net.~2~\" is a numbered backup, which Tarvex keeps as it is."),
        // The report or the output named over an input of the run.
        AtCli("ReportOverTheSettings", {{"amp.net", kPlaceholders}, {"sub/keep.txt", kOther}},
              Process({"--report", "sub/../s.amd", "amp.net"}),
              "Error: The report \"sub/../s.amd\" would overwrite the settings file \"s.amd\"."),
        AtCli("RewriteReportOverTheSettings", {{"in.net", kPlaceholders}},
              Rewrite({"--report", "./s.amd", "in.net", "out.net"}),
              "would overwrite the settings file \"s.amd\"."),
        AtCli("RewriteOutputOverTheSettings", {{"in.net", kPlaceholders}, {"link.amd", "-> s.amd"}},
              Rewrite({"in.net", "link.amd"}),
              "Error: The output \"link.amd\" would overwrite the settings file \"s.amd\"."),
        AtCli("NetlistBackupOverTheSettings", {{"s.net", kPlaceholders}, {"s.ant", "-> s.amd"}},
              {"process", "--settings", "s.ant", "s.net"},
              "Error: Processing \"s.net\" would move or replace the settings file \"s.ant\"."),
        // Keys that overlap or are blank garble every device line.
        AtCli("KeyInsideTheOtherKey", {{"amp.net", kPlaceholders}},
              Process({"--key-n", "MOD", "--key-p", "MODxyP", "amp.net"}),
              "Error: MODxyP key contains MODxyN key!"),
        Misstep{.name = "EqualKeys",
                .files = {{"amp.net", kPlaceholders}},
                .chosen = "amp.net",
                .message = "Error: MODxyN and MODxyP keys are the same!",
                .keyN = "MODxyN",
                .keyP = "MODxyN"},
        AtCli("BlankKey", {{"amp.net", kPlaceholders}}, Rewrite({"--key-p", " \t", "amp.net", "out.net"}),
              "Error: Blank MODxyP key!"),
        // Part names that would split the device line.
        Misstep{.name = "PartNameWithASpace",
                .files = {{"amp.net", kPlaceholders}},
                .chosen = "amp.net",
                .message = "Error: MODxyN part name in column 1, row 1 holds a space!",
                .settings = Settings("NCH 1")},
        Misstep{.name = "PartNameWithALineEnd",
                .files = {{"amp.net", kPlaceholders}},
                .cli = Process({"amp.net"}),
                .message = "Error: MODxyP part name in column 1, row 1 holds a line end!",
                .settings = Settings("NCH", "PCH\n+ x")},
        // The report of a dry run over a netlist's own backup or .net.
        AtCli("CheckReportOverTheBackup", {{"amp.net", kPlaceholders}, {"amp.ant", kKeysKept}},
              Check({"--report", "amp.ant", "amp.net"}),
              "Error: The report \"amp.ant\" would overwrite the netlist \"amp.ant\"."),
        AtCli("CheckReportOverTheNetlist", {{"amp.net", kBinned}, {"amp.ant", kPlaceholders}},
              Check({"--report", "amp.net", "amp.ant"}),
              "Error: The report \"amp.net\" would overwrite the netlist \"amp.net\"."),
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
        AtCli("CheckOfANameWithoutExtension", {{"amp", kPlaceholders}}, Check({"amp"}),
              "amp: Input file cannot have .OUT extension!"),
        AtCli("CheckOfAnotherExtensionBesideNetlist", {{"amp.cir", kPlaceholders}, {"amp.net", kOther}},
              Check({"amp.cir"}), "Error: Processing \"amp.cir\" would replace \"amp.net\", another file."),
        AtCli("CheckOfABinnedNetlist", {{"amp.net", kBinned}, {"amp.ant", kPlaceholders}}, Check({"amp.net"}),
              kNothingToBin),
        // A device whose L= or W= cannot be read is named for what it lacks, not looked up as size 0.
        Misstep{.name = "DeviceLackingASize",
                .files = {{"amp.ant", "M1 d g s b MODxyN\n+ L=1U W=2U\nM2 d g s b MODxyN L={p} W=2U\n"
                                      "M3 d g s b MODxyP l=1u W=2U\nM4 d g s b MODxyP L=1U W=\n"
                                      "M5 d g s b MODxyN L=9U W=2U\n"}},
                .cli = Process({"--report", "-", "amp.ant"}),
                .message = "amp.ant:1: Error: MODxyN device has no readable L= or W=!\n"
                           "amp.ant:3: Error: MODxyN device has no readable L=!\n"
                           "amp.ant:4: Error: MODxyP device has no readable L=!\n"
                           "amp.ant:5: Error: MODxyP device has no readable W=!\n"
                           "amp.ant:6: Error: No MODxyN bin for L=9e-06 W=2e-06!\n",
                .touchesNothing = false,
                .exitCode = 3,
                .out = "file,line,polarity,L,W,width_bin,length_bin,part_name,problem\n"
                       "amp.ant,1,N,0,0,,,,no L= or W=\n"
                       "amp.ant,3,N,0,2e-06,0,,,no L=\n"
                       "amp.ant,4,P,0,2e-06,0,,,no L=\n"
                       "amp.ant,5,P,1e-06,0,,0,,no W=\n"
                       "amp.ant,6,N,9e-06,2e-06,0,,,no bin\n"}),
    test::RowName());

} // namespace
} // namespace tarvex
