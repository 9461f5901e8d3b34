// SPDX-License-Identifier: MIT
// tarvex-cli's refusals: each one before a file is touched, with its message and exit status.
#include "cli_fixture.h"

#include "support/param_name.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tarvex {
namespace {

using namespace test;

// Every refusal happens before a netlist is touched and says why on stderr, and nothing goes to
// stdout: usage errors with exit status 2, refusals with 1.
struct Refusal {
    std::string name;
    std::string args; // split at spaces; '' is an empty argument
    int exitCode;
    std::string error; // all of stderr, without its last line end
};

void PrintTo(const Refusal& c, std::ostream* os) {
    *os << c.name;
}

class CliRefusalTest : public CliTest, public testing::WithParamInterface<Refusal> {};

TEST_P(CliRefusalTest, SaysWhyAndTouchesNothing) {
    SettingsFile bad = Settings();
    bad.tableN.widthBounds = {2e-6, 1e-6, 0, 0, 0, 0};
    Save(m_dir / "bad.amd", bad);
    SettingsFile badP = Settings();
    badP.tableP.widthBounds = {1e-6, 5e-7, 5e-6, 0, 0, 0};
    Save(m_dir / "badp.amd", badP);
    WriteFileBytes(m_dir / "amp.net", kNetlist);
    WriteFileBytes(m_dir / "amp.ant", "* older backup\n");
    WriteFileBytes(m_dir / "amp", kNetlist);
    WriteFileBytes(m_dir / "other.cir", kNetlist);
    WriteModelLibrary(m_dir.path());
    SettingsFile hv = Settings();
    SetKeyText(hv.keyN, "HVN");
    SetKeyText(hv.keyP, "HVP");
    Save(m_dir / "hv.amd", hv);
    SetKeyText(hv.keyN, "MODxyNX");
    Save(m_dir / "inner.amd", hv);
    const Files before = FilesIn(m_dir.path());
    std::vector<std::string> args;
    std::istringstream words(GetParam().args);
    for (std::string word; words >> word;) {
        args.push_back(word == "''" ? "" : word);
    }

    const RunResult run = Cli(args);

    EXPECT_EQ(run.exitCode, GetParam().exitCode);
    EXPECT_EQ(run.err, GetParam().error + "\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(FilesIn(m_dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliRefusalTest,
    testing::Values(
        // Usage errors: exit status 2.
        Refusal{"NoSubcommand", "", 2, "A subcommand is required\nRun with --help for more information."},
        Refusal{"UnknownSubcommand", "frobnicate amp.net", 2,
                "Error: Unknown subcommand \"frobnicate\"; choose process, rewrite, check, import, show or "
                "probe. Run with --help for more information."},
        Refusal{"UnknownOption", "process --settings s.amd --bogus amp.net", 2,
                "The following argument was not expected: --bogus\nRun with --help for more information."},
        Refusal{"ProcessWithoutSettings", "process amp.net", 2,
                "--settings is required\nRun with --help for more information."},
        Refusal{"ProcessWithoutNetlist", "process --settings s.amd", 2,
                "NETLIST is required\nRun with --help for more information."},
        Refusal{"RewriteWithThreeFiles", "rewrite --settings s.amd amp.net o.net x", 2,
                "The following argument was not expected: x\nRun with --help for more information."},
        Refusal{"ShowWithoutFile", "show", 2, "FILE.amd is required\nRun with --help for more information."},
        Refusal{"ReportAndOutputBothOnStdout", "rewrite --settings s.amd --report - amp.net", 2,
                "Error: The report and the rewritten netlist cannot both go to standard output."},
        // Refusals: exit status 1.
        Refusal{"BadBounds", "process --settings bad.amd amp.net", 1,
                "Bad w value 2e-06!\nMODxyN table, width bound 1."},
        Refusal{"BadBoundsInRewrite", "rewrite --settings bad.amd amp.net o.net", 1,
                "Bad w value 2e-06!\nMODxyN table, width bound 1."},
        Refusal{"BadPBounds", "process --settings badp.amd amp.net", 1,
                "Bad w value 1e-06!\nMODxyP table, width bound 1."},
        Refusal{"BadPBoundsInRewrite", "rewrite --settings badp.amd amp.net o.net", 1,
                "Bad w value 1e-06!\nMODxyP table, width bound 1."},
        Refusal{"BadPBoundsInCheck", "check --settings badp.amd amp.net", 1,
                "Bad w value 1e-06!\nMODxyP table, width bound 1."},
        Refusal{"BadPBoundsOfOneFamily", "check --settings s.amd --settings badp.amd amp.net", 1,
                "badp.amd: Bad w value 1e-06!\nMODxyP table, width bound 1."},
        Refusal{"EmptyKeyN", "process --settings s.amd --key-n '' amp.net", 1, "Error: Empty MODxyN key!"},
        Refusal{"EmptyKeyP", "rewrite --settings s.amd --key-p '' amp.net o.net", 1,
                "Error: Empty MODxyP key!"},
        Refusal{"NoExtension", "process --settings s.amd amp", 1,
                "amp: Input file cannot have .OUT extension!"},
        Refusal{"MissingSettingsIsNotCreated", "process --settings typo.amd amp.net", 1,
                "Error: Cannot open settings file \"typo.amd\": No such file or directory."},
        Refusal{"ReportCannotBeCreated", "process --settings s.amd --report no/r.csv amp.net", 1,
                "Error: Cannot create report \"no/r.csv\": No such file or directory."},
        Refusal{"MissingInput", "rewrite --settings s.amd gone.net o.net", 1,
                "Error: Cannot read \"gone.net\": No such file or directory."},
        Refusal{"InputIsOutput", "rewrite --settings s.amd amp.net ./amp.net", 1,
                "Error: \"amp.net\" is both the input and the output. No file was changed."},
        Refusal{
            "ReportOverTheNetlist", "process --settings s.amd --report amp.net amp.net", 1,
            "Error: The report \"amp.net\" would overwrite the netlist \"amp.net\". No file was changed."},
        Refusal{
            "ReportOverTheBackup", "process --settings s.amd --report ./amp.ant amp.net", 1,
            "Error: The report \"./amp.ant\" would overwrite the netlist \"amp.ant\". No file was changed."},
        Refusal{
            "ReportOverTheInput", "rewrite --settings s.amd --report amp.net amp.net o.net", 1,
            "Error: The report \"amp.net\" would overwrite the netlist \"amp.net\". No file was changed."},
        Refusal{"ReportOverAModelInclude",
                "check --settings s.amd --report nmos.inc --models top.lib -- amp.net", 1,
                "Error: The report \"nmos.inc\" would overwrite the included model file \"nmos.inc\". No "
                "file was changed."},
        Refusal{"ReportOverAModelSectionFile",
                "check --settings s.amd --report ./corners.lib --models top.lib -- amp.net", 1,
                "Error: The report \"./corners.lib\" would overwrite the included model file "
                "\"corners.lib\". No file was changed."},
        Refusal{"ReportOverTheModelLibrary",
                "check --settings s.amd --report top.lib --models top.lib -- amp.net", 1,
                "Error: The report \"top.lib\" would overwrite the model library \"top.lib\". No file was "
                "changed."},
        Refusal{"OutputCannotBeCreated", "rewrite --settings s.amd amp.net no/o.net", 1,
                "Error: Cannot create \"no/o.net\": No such file or directory."},
        // Several settings files, one per family of Keys.
        Refusal{"TwoFamiliesWithTheSameKey", "process --settings s.amd --settings s.amd amp.net", 1,
                "Error: Two settings files have the same Key MODxyN!"},
        Refusal{"KeyOptionWithTwoFamilies", "process --settings s.amd --settings hv.amd --key-n K amp.net", 1,
                "Error: --key-n and --key-p need exactly one --settings."},
        Refusal{"KeyInsideAnotherFamilysKey", "check --settings s.amd --settings inner.amd amp.net", 1,
                "Error: Key MODxyNX of one settings file contains Key MODxyN of another!"},
        // The bin map may overwrite no file of the run.
        Refusal{"MapOverTheNetlist", "check --settings s.amd --map amp.net amp.net", 1,
                "Error: The map \"amp.net\" would overwrite the netlist \"amp.net\". No file was changed."},
        Refusal{"MapOverTheBackup", "check --settings s.amd --map ./amp.ant amp.net", 1,
                "Error: The map \"./amp.ant\" would overwrite the netlist \"amp.ant\". No file was changed."},
        Refusal{
            "MapOverTheNetOfAnotherExtension", "check --settings s.amd --map other.net other.cir", 1,
            "Error: The map \"other.net\" would overwrite the netlist \"other.net\". No file was changed."},
        Refusal{"MapOverTheSettings", "check --settings s.amd --map s.amd amp.net", 1,
                "Error: The map \"s.amd\" would overwrite the settings file \"s.amd\". No file was changed."},
        Refusal{"MapOverTheReport", "check --settings s.amd --map r.csv --report r.csv amp.net", 1,
                "Error: The map \"r.csv\" would overwrite the report \"r.csv\". No file was changed."},
        Refusal{"MapOverAModelInclude", "check --settings s.amd --map nmos.inc amp.net --models top.lib", 1,
                "Error: The map \"nmos.inc\" would overwrite the included model file \"nmos.inc\". No file "
                "was changed."},
        Refusal{"MapOverAModelSectionFile",
                "check --settings s.amd --map ./corners.lib amp.net --models top.lib", 1,
                "Error: The map \"./corners.lib\" would overwrite the included model file \"corners.lib\". "
                "No file was changed."},
        Refusal{"MapOverTheModelLibrary", "check --settings s.amd --map top.lib amp.net --models top.lib", 1,
                "Error: The map \"top.lib\" would overwrite the model library \"top.lib\". No file was "
                "changed."}),
    test::RowName());

} // namespace
} // namespace tarvex
