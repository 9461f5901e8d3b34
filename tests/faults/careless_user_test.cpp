// SPDX-License-Identifier: MIT
// Tarvex as a careless or hostile user drives it, through the window's Process (the presenter with
// fake ports) and through tarvex-cli: files chosen by mistake, netlists binned twice, planted links,
// outputs named over inputs, Keys and part names that would garble the netlist, edits and exports
// between runs, and every piece of advice followed. Whatever happens, every byte of every file the
// user wrote is still there afterwards (compared by checksum), and a refusal touches nothing.
#include "cli_support.h"
#include "fake_ports.h"
#include "fault_support.h"

#include "form/form_layout.h"
#include "form/form_presenter.h"
#include "process/process.h"
#include "support/param_name.h"
#include "support/process_memory.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>
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
    std::vector<form::Answer> replies = {}; // the window's answers to its questions; none: No
};

// The state folder that the window and tarvex-cli share, under the XDG_STATE_HOME given to the tool.
std::filesystem::path StateFolderUnder(const fs::path& stateHome) {
    return stateHome / "Quendale" / "tarvex";
}

// What the window shows, one text after another: stops, warnings, questions and notes.
std::string Shown(const test::FakePrompts& prompts) {
    std::string shown;
    for (const auto* texts : {&prompts.messages, &prompts.warnings, &prompts.questions, &prompts.infos}) {
        for (const std::string& text : *texts) {
            shown += (shown.empty() ? "" : "\n") + text;
        }
    }
    return shown;
}

// The window started with settings remembered, its Keys typed when given, then Process on chosen,
// each question answered from replies. What the window showed.
std::string ProcessInWindow(const fs::path& settings, const fs::path& chosen, const fs::path& stateHome,
                            const std::vector<form::Answer>& replies, const std::optional<std::string>& keyN = {},
                            const std::optional<std::string>& keyP = {}) {
    test::FakeView view;
    test::FakePrompts prompts;
    test::FakeProfile profile;
    profile.stored = settings;
    profile.state = StateFolderUnder(stateHome);
    form::FormPresenter presenter(view, prompts, profile, [] { return TitleHint{}; });
    presenter.StartUp();
    if (keyN) {
        view.fields.at(form::kGroupN.keyId) = *keyN;
    }
    if (keyP) {
        view.fields.at(form::kGroupP.keyId) = *keyP;
    }
    prompts.answers.push_back(chosen);
    prompts.replies.assign(replies.begin(), replies.end());
    presenter.Process();
    return Shown(prompts);
}

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

// A binned netlist that still holds Keys, chosen again with no record of the run that made it: it
// may be Tarvex's output or an edit of it, so moving it aside could lose the placeholders.
constexpr const char* kBinnedLines =
    "Error: \"amp.net\" has lines binned from \"amp.ant\" (Tarvex's output, an edit of it, or an export that "
    "names some part names?); processing it would replace \"amp.ant\", which may be the only copy of the "
    "placeholders. To go on, keeping \"amp.ant\" as \"amp.ant.~1~\", use --backup. No file was changed.";
// A netlist without Keys chosen beside a backup: there is nothing to bin, and the backup would go.
constexpr const char* kNothingToBin = "holds a Key (MODxyN, MODxyP): there is nothing to bin, and moving it "
                                      "aside would replace";

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
        // A netlist binned already, processed again with no record of the run that binned it: one
        // without Keys has nothing to bin; one that keeps Keys may be an edit of the output. Either
        // way the backup may be the only copy of the placeholders.
        Misstep{"BinnedNetlistAgain",
                {{"amp.net", kBinned}, {"amp.ant", kPlaceholders}},
                "amp.net",
                {},
                kNothingToBin},
        Misstep{.name = "BinnedNetlistKeepingKeysAgain",
                .files = {{"amp.net", kKeysKeptBinned}, {"amp.ant", kKeysKept}},
                .chosen = "amp.net",
                .message = "/amp.ant\", which may be the only copy of the placeholders.\n\nProcess anyway, keeping",
                .replies = {form::Answer::No}},
        Misstep{"BinnedNetlistKeepingKeysAgainCli",
                {{"amp.net", kKeysKeptBinned}, {"amp.ant", kKeysKept}},
                "",
                Process({"amp.net"}),
                kBinnedLines},
        Misstep{"CheckRefusesWhatProcessRefuses",
                {{"amp.net", kKeysKeptBinned}, {"amp.ant", kKeysKept}},
                "",
                Check({"amp.net"}),
                kBinnedLines},
        // Choosing the backup replaces the .net: only Tarvex's own output (or the same text) may go
        // without a question.
        Misstep{"BackupBesideAnEditedNetlist",
                {{"amp.ant", kPlaceholders}, {"amp.net", kOther}},
                "amp.ant",
                {},
                "/amp.net\" was not written by Tarvex, or Tarvex has no record of it"},
        Misstep{"UpperCaseBackupBesideAnEditedNetlist",
                {{"amp.ANT", kPlaceholders}, {"amp.net", kKeysKept}},
                "",
                Process({"amp.ANT"}),
                "Error: \"amp.net\" was not written by Tarvex, or Tarvex has no record of it (a new export, or an "
                "edit?); processing \"amp.ANT\" would replace it. If it is a new export, choose \"amp.net\" to "
                "bin it. To go on, keeping \"amp.net\" as \"amp.net.~1~\", use --backup. No file was changed."},
        Misstep{"CheckOfABackupBesideAnEditedNetlist",
                {{"amp.ant", kPlaceholders}, {"amp.net", kOther}},
                "",
                Check({"amp.ant"}),
                "\"amp.net\" was not written by Tarvex"},
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
                "The earlier \"amp.ant\" was kept as \"amp.ant.~1~\".",
                false,
                0},
        Misstep{"BackupThenBinnedNetlist",
                {{"amp.ant", kPlaceholders}, {"amp.net", kBinned}},
                "",
                Process({"amp.ant", "amp.net"}),
                "\"amp.net\" was not written by Tarvex"},
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
                {{"in.net", "-> /proc/self/mem"}},
                "",
                Rewrite({"in.net", "out.net"}),
                "Error: Cannot read \"in.net\": Input/output error. \"out.net\" was not changed."},
        // rewrite replaces only its own output without a question.
        Misstep{"RewriteOverAFileItDidNotWrite",
                {{"in.net", kPlaceholders}, {"out.net", kOther}},
                "",
                Rewrite({"in.net", "out.net"}),
                "Error: \"out.net\" was not written by Tarvex (a file of yours?); writing the output would replace "
                "it. To go on, keeping \"out.net\" as \"out.net.~1~\", use --backup. No file was changed."},
        Misstep{"RewriteOverANumberedBackup",
                {{"in.net", kPlaceholders}, {"in.net.~1~", kOther}},
                "",
                Rewrite({"--backup", "in.net", "in.net.~1~"}),
                "would replace a numbered backup, which Tarvex keeps as it is."},
        Misstep{"NumberedBackupChosen",
                {{"amp.net.~2~", kPlaceholders}},
                "",
                Process({"amp.net.~2~"}),
                "Error: \"amp.net.~2~\" is a numbered backup, which Tarvex keeps as it is."},
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
                kNothingToBin},
        Misstep{"MissingNetlist",
                {{"other.net", kOther}},
                "",
                Process({"nothere.net"}),
                "Error: \"nothere.net\" does not exist. No file was changed."},
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

// One step of a user's history between and around runs of Tarvex.
struct Step {
    enum class Kind { Write, Window, Cli };
    Kind kind = Kind::Write;
    std::string file{};                  // Write: the file written, whole; Window: the file chosen
    std::string content{};               // Write: its new content
    bool isExport = false;               // Write: the netlister's export, which supersedes the one before
    std::string settings = "s.amd";      // Window: the settings file remembered
    std::vector<form::Answer> replies{}; // Window: its answers to questions; none left: No
    std::vector<std::string> args{};     // Cli: the arguments of tarvex-cli
    int exitCode = 0;                    // Cli
    std::string says{};                  // Window and Cli: a part of what they show; empty: nothing at all
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
    Files files;             // the user's files besides the settings files
    std::vector<Step> steps;
    Files end = {};          // when given, every file at the end besides the settings files
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
    std::set<std::string> mayGo;       // Tarvex's outputs and superseded exports, by checksum
    std::vector<std::string> exports; // the user's exports, oldest first: the ".net" files at the start
    for (const auto& [name, content] : c.files) {
        WriteFileBytes(dir / name, content);
        if (name.ends_with(".net")) {
            exports.push_back(content);
        }
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
            said = ProcessInWindow(dir / step.settings, dir / step.file, stateHome.path(), step.replies);
        } else {
            test::RunOptions options;
            options.workingDir = dir.path();
            options.stateHome = stateHome.path();
            const test::RunResult run = test::RunCli(step.args, options);
            EXPECT_EQ(run.exitCode, step.exitCode) << run.err;
            said = run.err;
        }
        if (step.says.empty()) {
            EXPECT_EQ(said, "");
        } else {
            EXPECT_NE(said.find(step.says), std::string::npos) << said;
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
}

constexpr const char* kBinnedEdited = "* amp\nM1 d g s b NCH L=1U W=3U\nM2 d g s b PCH L=1U W=2U\nC1 d 0 1p\n";
constexpr const char* kPlaceholdersEdited =
    "* amp\nM1 d g s b MODxyN L=1U W=3U\nM2 d g s b MODxyP L=1U W=2U\nC1 d 0 1p\nC2 g 0 1p\n";
constexpr const char* kBinnedOfEdited =
    "* amp\nM1 d g s b NCH L=1U W=3U\nM2 d g s b PCH L=1U W=2U\nC1 d 0 1p\nC2 g 0 1p\n";
constexpr const char* kReexport = "* amp\nM1 d g s b MODxyN L=1U W=2U\nM2 d g s b MODxyP L=1U W=2U\nR1 d 0 1k\n";
constexpr const char* kReexportBinned2 = "* amp\nM1 d g s b NCH2 L=1U W=2U\nM2 d g s b PCH2 L=1U W=2U\nR1 d 0 1k\n";
constexpr const char* kPinned =
    "* amp\nM1 d g s b nch_native L=1U W=2U\nM2 d g s b MODxyP L=1U W=2U\nM3 d g s b MODxyN L=1U W=2U\n";
constexpr const char* kPinnedBinned =
    "* amp\nM1 d g s b nch_native L=1U W=2U\nM2 d g s b PCH L=1U W=2U\nM3 d g s b NCH L=1U W=2U\n";
constexpr const char* kOverridden = "* amp\nM1 d g s b NCH_HAND L=1U W=2U\nM2 d g s b PCH L=1U W=2U\n";
constexpr const char* kBinned2 = "* amp\nM1 d g s b NCH2 L=1U W=2U\nM2 d g s b PCH2 L=1U W=2U\n";
constexpr const char* kTwoFamilies =
    "* amp\nM1 d g s b MODxyN L=1U W=2U\nM2 d g s b MODxyP L=1U W=2U\nM3 d g s b MODhvN L=1U W=2U\n";
constexpr const char* kTwoFamiliesBinned = "* amp\nM1 d g s b NCH L=1U W=2U\nM2 d g s b PCH L=1U W=2U\nM3 d g s b HVN L=1U W=2U\n";

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
                 Cli(Process({"--backup", "amp.ant"}), 0, "The earlier \"amp.net\" was kept as \"amp.net.~1~\".")},
                {{"amp.ant", kPlaceholders}, {"amp.net", kBinned}, {"amp.net.~1~", kBinnedEdited}}},
        // The same edit, and the binned netlist chosen again: nothing to bin; the advice (make the
        // edit in the backup and choose that) keeps both.
        History{"EditedOutputChosenAgain",
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
                 Cli(Process({"--backup", "amp.net"}), 0, "The earlier \"amp.ant\" was kept as \"amp.ant.~1~\".")},
                {{"amp.ant", kPinned}, {"amp.ant.~1~", kPlaceholders}, {"amp.net", kPinnedBinned}}},
        // A part name changed by hand, then new tables: the override is kept.
        History{"HandOverrideThenNewTables",
                {{"amp.net", kPlaceholders}},
                {Window("amp.net"), Edit("amp.net", kOverridden),
                 Window("amp.ant", "was changed after Tarvex wrote it", {form::Answer::Yes}, "s2.amd")},
                {{"amp.ant", kPlaceholders}, {"amp.net", kBinned2}, {"amp.net.~1~", kOverridden}}},
        // A second family binned in a run of its own would undo the first: refused with advice.
        History{"SecondFamilyAfterTheFirst",
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
                {Cli(Process({"amp.net"})), Export("amp.net", kOther), Cli(Process({"amp.net"}), 1, kNothingToBin)},
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
                {{"in.net", kPlaceholders}, {"out.net", kBinned}, {"out.net.~1~", kOther}}}),
    test::RowName());

// The new .net of a private netlist stays private, in Process and in rewrite alike.
TEST(CarelessUserTest, NewNetlistKeepsThePermissionsOfTheOneItReplaces) {
    const TempDir dir;
    ASSERT_TRUE(SaveSettings(dir / "s.amd", Settings()));
    WriteFileBytes(dir / "amp.net", kPlaceholders);
    WriteFileBytes(dir / "out.net", kOther);
    fs::permissions(dir / "amp.net", fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(dir / "out.net", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    ASSERT_TRUE(ProcessNetlist(dir / "amp.net", test::RulesOf(Settings())).completed());
    test::RunOptions options;
    options.workingDir = dir.path();
    ASSERT_EQ(test::RunCli(Rewrite({"--backup", "amp.ant", "out.net"}), options).exitCode, 0);

    EXPECT_EQ(fs::status(dir / "amp.net").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(dir / "out.net").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(ReadFileBytes(dir / "amp.net"), kBinned);
    EXPECT_EQ(ReadFileBytes(dir / "out.net"), kBinned);
    EXPECT_EQ(ReadFileBytes(dir / "out.net.~1~"), kOther);
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
    ASSERT_TRUE(SaveSettings(dir / "s.amd", Settings()));
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

// Races, each run for a bounded time with the moment of the other party drawn at random.
class CarelessRaceTest : public testing::Test {
protected:
    static constexpr auto kBudget = std::chrono::seconds(8);
    static constexpr int kMaxRounds = 60;

    // A netlist large enough that a run takes a few milliseconds, and what Process makes of it.
    // The versions differ on every line, at the same size, so that a mix of two shows.
    static std::string Netlist(char width) {
        const std::string lines = std::string("M1 d g s b MODxyN L=1U W=") + width + "U\nM2 d g s b MODxyP L=1U W=2U\n";
        std::string netlist = "* amp\n";
        while (netlist.size() < (std::size_t{2} << 20)) {
            netlist += lines;
        }
        return netlist;
    }

    static std::string Binned(std::string_view netlist) {
        std::string binned;
        for (std::size_t at = 0; at < netlist.size();) {
            const std::size_t key = netlist.find("MODxy", at);
            const std::size_t end = std::min(key, netlist.size());
            binned.append(netlist.substr(at, end - at));
            if (key == std::string_view::npos) {
                break;
            }
            binned += netlist[key + 5] == 'N' ? "NCH" : "PCH";
            at = key + 6;
        }
        return binned;
    }

    bool moreRounds(int round) const {
        return round < kMaxRounds && std::chrono::steady_clock::now() - m_start < kBudget;
    }

    // A moment within the time a run of Process on netlist takes here, so that the other party
    // lands before, during and after the run alike.
    std::chrono::microseconds MomentInARun(const std::string& netlist) {
        if (m_runTime.count() == 0) {
            const TempDir dir;
            WriteFileBytes(dir / "amp.ant", netlist);
            const auto start = std::chrono::steady_clock::now();
            ProcessNetlist(dir / "amp.ant", test::SmallRules());
            m_runTime = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
        }
        return std::chrono::microseconds(std::uniform_int_distribution<long>(0, 2 * m_runTime.count())(m_random));
    }

    std::chrono::microseconds m_runTime{0};

    std::mt19937 m_random{std::random_device{}()};
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// Two runs on one netlist at once: the second waits for the first and then finds its output, so
// the placeholders are never moved over by a binned netlist.
TEST_F(CarelessRaceTest, TwoRunsOnOneNetlist) {
    const std::string netlist = Netlist('2');
    const std::string binned = Binned(netlist);
    int round = 0;
    for (; moreRounds(round); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const TempDir dir;
        const TempDir stateHome;
        ASSERT_TRUE(SaveSettings(dir / "s.amd", Settings()));
        WriteFileBytes(dir / "amp.net", netlist);
        test::RunOptions options;
        options.workingDir = dir.path();
        options.stateHome = stateHome.path();
        test::RunResult runs[2];
        std::thread other([&] { runs[1] = test::RunCli(Process({"amp.net"}), options); });
        runs[0] = test::RunCli(Process({"amp.net"}), options);
        other.join();
        EXPECT_EQ(runs[0].exitCode + runs[1].exitCode, 1) << runs[0].err << runs[1].err;
        for (const test::RunResult& run : runs) {
            EXPECT_TRUE(run.exitCode == 0 || run.err.find("is Tarvex's output") != std::string::npos ||
                        run.err.find("is being processed by another Tarvex") != std::string::npos)
                << run.err;
        }
        EXPECT_TRUE(ReadFileBytes(dir / "amp.ant") == netlist);
        EXPECT_TRUE(ReadFileBytes(dir / "amp.net") == binned);
        EXPECT_EQ(test::EntriesOf(dir.path()), (std::set<std::string>{"amp.ant", "amp.net", "s.amd"}));
    }
    EXPECT_GT(round, 0);
}

// The netlister writes a new export (a new file renamed over the name, as netlisters do) while
// Process bins the old one: the new export is never replaced, and no output mixes the two.
TEST_F(CarelessRaceTest, ExportWrittenDuringTheRun) {
    const std::string first = Netlist('2');
    const std::string second = Netlist('3');
    const std::string binnedFirst = Checksum(Binned(first));
    const std::string binnedSecond = Checksum(Binned(second));
    int round = 0;
    for (; moreRounds(round); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const TempDir dir;
        const test::ProcessMemory memory;
        WriteFileBytes(dir / "amp.net", first);
        const auto delay = MomentInARun(first);
        std::thread netlister([&] {
            std::this_thread::sleep_for(delay);
            WriteFileBytes(dir / "export.tmp", second);
            fs::rename(dir / "export.tmp", dir / "amp.net");
        });
        const ProcessOutcome outcome = ProcessNetlist(dir / "amp.net", test::SmallRules(), {}, memory.safety());
        netlister.join();
        const Files after = Snapshot(dir.path());
        const std::multiset<std::string> kept = Contents(after);
        EXPECT_TRUE(kept.contains(Checksum(second))) << "the new export is gone";
        // The first export goes only when the netlister wrote over it before the run moved it aside.
        if (!kept.contains(Checksum(first))) {
            EXPECT_EQ(after.at("amp.ant"), Checksum(second));
        }
        for (const auto& [name, entry] : after) {
            EXPECT_TRUE(entry == Checksum(first) || entry == Checksum(second) || entry == binnedFirst ||
                        entry == binnedSecond)
                << name << " holds neither export nor its binned netlist";
        }
        if (outcome.completed()) {
            // The binned backup, unless the new export came after the run and took its place.
            const std::string binned = after.at("amp.ant") == Checksum(first) ? binnedFirst : binnedSecond;
            EXPECT_TRUE(after.at("amp.net") == binned || after.at("amp.net") == Checksum(second));
        } else {
            EXPECT_NE(outcome.error.value_or("").find("was written by another program"), std::string::npos)
                << outcome.error.value_or("cancelled");
        }
    }
    EXPECT_GT(round, 0);
}

// The backup overwritten in place at the same size while it is binned: the output is the rewrite
// of one version or the other, or the run says that the netlist changed and writes nothing.
TEST_F(CarelessRaceTest, NetlistOverwrittenInPlace) {
    const std::string first = Netlist('2');
    const std::string second = Netlist('3');
    ASSERT_EQ(first.size(), second.size());
    const std::string binnedFirst = Binned(first);
    const std::string binnedSecond = Binned(second);
    int round = 0;
    for (; moreRounds(round); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const TempDir dir;
        const test::ProcessMemory memory;
        WriteFileBytes(dir / "amp.ant", first);
        // Written a while ago, as a netlist usually is: a write now gives it another time.
        const timespec past[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "amp.ant").c_str(), past, 0), 0);
        const auto delay = MomentInARun(first);
        std::thread editor([&] {
            std::this_thread::sleep_for(delay);
            const int fd = ::open((dir / "amp.ant").c_str(), O_WRONLY);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::pwrite(fd, second.data(), second.size(), 0), static_cast<ssize_t>(second.size()));
            ::close(fd);
        });
        const ProcessOutcome outcome = ProcessNetlist(dir / "amp.ant", test::SmallRules(), {}, memory.safety());
        editor.join();
        EXPECT_TRUE(ReadFileBytes(dir / "amp.ant") == second);
        if (outcome.completed()) {
            const std::string output = ReadFileBytes(dir / "amp.net");
            EXPECT_TRUE(output == binnedFirst || output == binnedSecond) << "the output mixes two versions";
        } else {
            EXPECT_NE(outcome.error.value_or("").find("changed while it was being read; nothing was written."),
                      std::string::npos)
                << outcome.error.value_or("cancelled");
            EXPECT_FALSE(fs::exists(dir / "amp.net"));
        }
    }
    EXPECT_GT(round, 0);
}

} // namespace
} // namespace tarvex
