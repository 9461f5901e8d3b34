// SPDX-License-Identifier: MIT
// tarvex-cli as a user runs it: real files in a temporary folder, the built binary, its exit status,
// its messages on stderr, its report and every byte it writes.
#include "cli_fixture.h"

#include "support/param_name.h"
#include "support/temp_dir.h"
#include "support/xml_check.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using namespace std::literals;
using test::CliTest;
using test::Files;
using test::FilesIn;
using test::kKeptNetlist;
using test::kNetlist;
using test::kRewritten;
using test::ReadFileBytes;
using test::RunCli;
using test::RunOptions;
using test::RunResult;
using test::Save;
using test::Settings;
using test::TempDir;
using test::WriteFileBytes;
using test::WriteModelLibrary;

const fs::path kExamples = TARVEX_EXAMPLES_DIR;

// A whole expected output, kept as a file under tests/data/cli.
std::string Golden(std::string_view name) {
    return ReadFileBytes(fs::path(TARVEX_TEST_DATA_DIR) / "cli" / name);
}

TEST_F(CliTest, VersionAndHelp) {
    const RunResult version = Cli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "tarvex-cli " TARVEX_VERSION "\n");

    const RunResult help = Cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"process", "rewrite", "check", "show", "Exit status"}) {
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    }
    const RunResult processHelp = Cli({"process", "--help"});
    EXPECT_EQ(processHelp.exitCode, 0);
    for (const char* word : {"--settings", "--key-n", "--key-p", "--report", "NETLIST"}) {
        EXPECT_NE(processHelp.out.find(word), std::string::npos) << word;
    }
}

// Without an X display there is no simulator window: the probe says so and exits with 1.
TEST_F(CliTest, ProbeWithoutSimulatorExitsWithOne) {
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    ::setenv("DISPLAY", ":4242", 1);
    const RunResult probe = Cli({"probe"});
    if (display) {
        ::setenv("DISPLAY", saved.c_str(), 1);
    } else {
        ::unsetenv("DISPLAY");
    }
    EXPECT_EQ(probe.exitCode, 1);
    EXPECT_EQ(probe.out, "");
    EXPECT_EQ(probe.err, "No \"PSpice Message Viewer\" window found.\n");
}

TEST_F(CliTest, ProcessBacksUpAndRewritesSilently) {
    WriteFileBytes(m_dir / "amp.net", kNetlist);
    const Files settings{{"s.amd", ReadFileBytes(m_dir / "s.amd")}};

    RunResult run = Cli({"process", "--settings", "s.amd", "amp.net"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "");

    // The common way: the schematic changes and is exported again over the binned netlist, which
    // supersedes the backup that Tarvex made of the earlier export.
    const std::string reexport = std::string(kNetlist) + "R2 out 0 2k\r\n";
    WriteFileBytes(m_dir / "amp.net", reexport);
    run = Cli({"process", "--settings", "s.amd", "amp.net"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    Files expected = settings;
    expected["amp.ant"] = reexport;
    expected["amp.net"] = std::string(kRewritten) + "R2 out 0 2k\r\n";
    EXPECT_EQ(FilesIn(m_dir.path()), expected);
}

// Several settings files bin their families in one pass; messages and the report name the Key.
TEST_F(CliTest, SeveralFamiliesInOnePass) {
    SettingsFile hv = Settings();
    SetKeyText(hv.keyN, "HVN");
    SetKeyText(hv.keyP, "HVP");
    SetPartName(hv.tableN, 0, 0, "nhv");
    Save(m_dir / "hv.amd", hv);
    WriteFileBytes(m_dir / "amp.net", "M1 a b c d MODxyN L=1U W=2U\n"
                                      "M2 a b c d HVN L=1U W=2U\n"
                                      "M3 a b c d HVN L=9U W=2U\n"
                                      "M4 a b c d HVP MODxyN L=1U W=2U\n");

    const RunResult run =
        Cli({"rewrite", "--settings", "s.amd", "--settings", "hv.amd", "--report", "r.csv", "amp.net"});

    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "M1 a b c d NCH L=1U W=2U\n"
                       "M2 a b c d nhv L=1U W=2U\n"
                       "M3 a b c d HVN L=9U W=2U\n"
                       "M4 a b c d HVP NCH L=1U W=2U\n");
    EXPECT_EQ(run.err, "amp.net:3: Error: No MODxyN bin for L=9e-06 W=2e-06! (Key HVN)\n"
                       "amp.net:4: Error: Missing MODxyP part name! (Key HVP)\n");
    EXPECT_EQ(ReadFileBytes(m_dir / "r.csv"),
              "file,line,polarity,L,W,width_bin,length_bin,part_name,problem,key\n"
              "amp.net,1,N,1e-06,2e-06,0,0,NCH,,MODxyN\n"
              "amp.net,2,N,1e-06,2e-06,0,0,nhv,,HVN\n"
              "amp.net,3,N,9e-06,2e-06,0,,,no bin,HVN\n"
              "amp.net,4,N,1e-06,2e-06,0,0,NCH,,MODxyN\n"
              "amp.net,4,P,1e-06,2e-06,0,0,,missing part name,HVP\n");
}

TEST_F(CliTest, ProcessKeepsABackupItDidNotMake) {
    WriteFileBytes(m_dir / "amp.net", kNetlist);
    WriteFileBytes(m_dir / "amp.ant", "* older backup\n");

    const RunResult run = Cli({"process", "--settings", "s.amd", "amp.net"});

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "The earlier \"amp.ant\" was kept as \"amp.ant.~1~\".\n");
    EXPECT_EQ(FilesIn(m_dir.path()), (Files{{"amp.ant", kNetlist},
                                            {"amp.ant.~1~", "* older backup\n"},
                                            {"amp.net", kRewritten},
                                            {"s.amd", ReadFileBytes(m_dir / "s.amd")}}));
}

TEST_F(CliTest, ProcessNamesEveryKeptDeviceAndExitsWithThree) {
    WriteFileBytes(m_dir / "kept.ant", kKeptNetlist);

    const RunResult run = Cli({"process", "--settings", "s.amd", "kept.ant"});

    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, "kept.ant:2: Error: No MODxyN bin for L=9e-06 W=2e-06!\n"
                       "kept.ant:3: Error: Missing MODxyP part name!\n");
    EXPECT_EQ(ReadFileBytes(m_dir / "kept.ant"), kKeptNetlist);
    EXPECT_EQ(ReadFileBytes(m_dir / "kept.net"), "M1 a b c d NCH L=1U W=2U\n"
                                                 "M2 a b c d MODxyN L=9U W=2U\n"
                                                 "M3 a b c d MODxyP L=1U W=2U\n");
}

TEST_F(CliTest, ReportHasOneRowPerDevice) {
    WriteFileBytes(m_dir / "amp.net", kNetlist);
    WriteFileBytes(m_dir / "kept.net", kKeptNetlist);

    const RunResult run = Cli({"process", "--settings", "s.amd", "--report", "r.csv", "amp.net", "kept.net"});

    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(ReadFileBytes(m_dir / "r.csv"),
              "file,line,polarity,L,W,width_bin,length_bin,part_name,problem\n"
              "amp.net,2,N,1e-06,2e-06,0,0,NCH,\n"
              "amp.net,3,P,1e-06,4e-06,1,0,\"PCH,\"\"LV\"\"\",\n"
              "kept.net,1,N,1e-06,2e-06,0,0,NCH,\n"
              "kept.net,2,N,9e-06,2e-06,0,,,no bin\n"
              "kept.net,3,P,1e-06,2e-06,0,0,,missing part name\n");
}

TEST_F(CliTest, ProcessGoesOnWithTheOtherNetlistsAfterAnError) {
    WriteFileBytes(m_dir / "a.net", kNetlist);
    WriteFileBytes(m_dir / "c.net", kKeptNetlist);

    const RunResult run = Cli({"process", "--settings", "s.amd", "a.net", "b.net", "c.net"});

    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Error: \"b.net\" does not exist. No file was changed.\n"
                       "c.net:2: Error: No MODxyN bin for L=9e-06 W=2e-06!\n"
                       "c.net:3: Error: Missing MODxyP part name!\n");
    EXPECT_EQ(ReadFileBytes(m_dir / "a.net"), kRewritten);
    EXPECT_EQ(ReadFileBytes(m_dir / "c.ant"), kKeptNetlist);
}

TEST_F(CliTest, KeysComeFromTheFileTheDefaultsOrTheCommandLine) {
    SettingsFile own = Settings();
    SetKeyText(own.keyN, "nch_ph");
    Save(m_dir / "own.amd", own); // stored N Key, empty stored P Key
    const std::string netlist = "M1 a b c d nch_ph L=1U W=2U\n"
                                "M2 a b c d MODxyN L=1U W=2U\n"
                                "M3 a b c d MODxyP L=1U W=4U\n"
                                "M4 a b c d pch_ph L=1U W=4U\n";
    WriteFileBytes(m_dir / "in.net", netlist);

    const RunResult stored = Cli({"rewrite", "--settings", "own.amd", "in.net"});
    EXPECT_EQ(stored.exitCode, 0) << stored.err;
    EXPECT_EQ(stored.out, "M1 a b c d NCH L=1U W=2U\n"
                          "M2 a b c d MODxyN L=1U W=2U\n"
                          "M3 a b c d PCH,\"LV\" L=1U W=4U\n"
                          "M4 a b c d pch_ph L=1U W=4U\n");

    const RunResult overridden =
        Cli({"rewrite", "--settings", "own.amd", "--key-n", "MODxyN", "--key-p", "pch_ph", "in.net"});
    EXPECT_EQ(overridden.exitCode, 0) << overridden.err;
    EXPECT_EQ(overridden.out, "M1 a b c d nch_ph L=1U W=2U\n"
                              "M2 a b c d NCH L=1U W=2U\n"
                              "M3 a b c d MODxyP L=1U W=4U\n"
                              "M4 a b c d PCH,\"LV\" L=1U W=4U\n");
}

TEST_F(CliTest, RewriteIsAFilterThatTouchesNoOtherFile) {
    const std::string netlist = kNetlist + "M9 \0\xff MODxyN L=1U W=2U\r\0"s;
    WriteFileBytes(m_dir / "in.net", netlist);
    const Files before = FilesIn(m_dir.path());
    const std::string expected = test::ReferenceRewrite(netlist, test::RulesOf(Settings()));
    ASSERT_NE(expected, netlist);

    for (const std::vector<std::string>& files :
         {std::vector<std::string>{}, std::vector<std::string>{"-"}, std::vector<std::string>{"-", "-"}}) {
        std::vector<std::string> args = {"rewrite", "--settings", "s.amd"};
        args.insert(args.end(), files.begin(), files.end());
        SCOPED_TRACE(args.size());
        RunOptions options;
        options.stdinFrom = m_dir / "in.net";
        const RunResult run = Cli(args, options);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(run.out == expected);
        EXPECT_EQ(FilesIn(m_dir.path()), before);
    }

    const RunResult toFile =
        Cli({"rewrite", "--settings", "s.amd", "--report", "r.csv", "in.net", "out.net"});
    EXPECT_EQ(toFile.exitCode, 0) << toFile.err;
    EXPECT_EQ(toFile.out, "");
    EXPECT_TRUE(ReadFileBytes(m_dir / "out.net") == expected);
    EXPECT_TRUE(ReadFileBytes(m_dir / "in.net") == netlist);
    EXPECT_EQ(ReadFileBytes(m_dir / "r.csv"),
              "file,line,polarity,L,W,width_bin,length_bin,part_name,problem\n"
              "in.net,2,N,1e-06,2e-06,0,0,NCH,\n"
              "in.net,3,P,1e-06,4e-06,1,0,\"PCH,\"\"LV\"\"\",\n"
              "in.net,5,N,1e-06,2e-06,0,0,NCH,\n");
    EXPECT_EQ(FilesIn(m_dir.path()).size(), before.size() + 2);
}

TEST_F(CliTest, RewriteFromStdinNamesItInMessagesAndReport) {
    WriteFileBytes(m_dir / "in.net", kKeptNetlist);
    RunOptions options;
    options.stdinFrom = m_dir / "in.net";

    const RunResult run = Cli({"rewrite", "--settings", "s.amd", "--report", "-", "-", "out.net"}, options);

    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, "<stdin>:2: Error: No MODxyN bin for L=9e-06 W=2e-06!\n"
                       "<stdin>:3: Error: Missing MODxyP part name!\n");
    EXPECT_EQ(run.out, "file,line,polarity,L,W,width_bin,length_bin,part_name,problem\n"
                       "<stdin>,1,N,1e-06,2e-06,0,0,NCH,\n"
                       "<stdin>,2,N,9e-06,2e-06,0,,,no bin\n"
                       "<stdin>,3,P,1e-06,2e-06,0,0,,missing part name\n");
}

TEST_F(CliTest, WriteErrorsAreReported) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "needs /dev/full";
    }
    WriteFileBytes(m_dir / "in.net", kNetlist);
    RunOptions toFull;
    toFull.stdoutTo = "/dev/full";

    const RunResult toStdout = Cli({"rewrite", "--settings", "s.amd", "in.net"}, toFull);
    EXPECT_EQ(toStdout.exitCode, 1);
    EXPECT_EQ(toStdout.err, "Error: Cannot write standard output: No space left on device. The output is "
                            "incomplete.\n");

    const RunResult toOutput = Cli({"rewrite", "--settings", "s.amd", "in.net", "/dev/full"});
    EXPECT_EQ(toOutput.exitCode, 1);
    EXPECT_EQ(toOutput.err, "Error: Cannot write \"/dev/full\": No space left on device. The output is "
                            "incomplete.\n");

    const RunResult report = Cli({"process", "--settings", "s.amd", "--report", "/dev/full", "in.net"});
    EXPECT_EQ(report.exitCode, 1);
    EXPECT_EQ(report.err, "Error: Cannot write report \"/dev/full\": No space left on device.\n");
    EXPECT_EQ(ReadFileBytes(m_dir / "in.ant"), kNetlist);

    const RunResult show = Cli({"show", "s.amd"}, toFull);
    EXPECT_EQ(show.exitCode, 1);
    EXPECT_EQ(show.err, "Error: Cannot write standard output: No space left on device.\n");
}

TEST_F(CliTest, ShowPrintsBothTablesAsGrids) {
    SettingsFile settings;
    settings.tableN.widthBounds = {1e-6, 2.5e-6, 0, 0, 0, 0};
    settings.tableN.lengthBounds = {1.8e-7, 1e-6, 0, 0, 0, 0};
    SetPartName(settings.tableN, 1, 0, "NCH_W1_L0");
    SetPartName(settings.tableN, 0, 4, "A_NAME_OF_19_CHARS_");
    SetPartName(settings.tableP, 0, 0, "p\tq");
    SetKeyText(settings.keyN, "nch_ph");
    Save(m_dir / "show.amd", settings);

    const RunResult run = Cli({"show", "show.amd"});

    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, Golden("show_grids.txt"));

    const RunResult missing = Cli({"show", "typo.amd"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "Error: Cannot open settings file \"typo.amd\": No such file or directory.\n");
    EXPECT_FALSE(fs::exists(m_dir / "typo.amd"));
}

// A device in a named cell, one on the outer bounds, one on an inner bound (the lower bin, whose
// cell is empty), one outside every bin and one whose line gives no L=.
TEST_F(CliTest, CheckDrawsTheUsageAndListsTheKeptDevices) {
    WriteFileBytes(m_dir / "amp.net", "M1 a b c d MODxyN L=1U W=2U\n"
                                      "M2 a b c d MODxyN L=2U W=3U\n"
                                      "M3 a b c d MODxyP L=1U W=3U\n"
                                      "M4 a b c d MODxyP L=1U W=4U\n"
                                      "M5 a b c d MODxyN L=9U W=2U\n"
                                      "M6 a b c d MODxyP W=2U\n");

    const RunResult run = Cli({"check", "--settings", "s.amd", "--report", "-", "amp.net"});

    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "file,line,polarity,L,W,width_bin,length_bin,part_name,problem\n"
                       "amp.net,1,N,1e-06,2e-06,0,0,NCH,\n"
                       "amp.net,2,N,2e-06,3e-06,0,0,NCH,\n"
                       "amp.net,3,P,1e-06,3e-06,0,0,,missing part name\n"
                       "amp.net,4,P,1e-06,4e-06,1,0,\"PCH,\"\"LV\"\"\",\n"
                       "amp.net,5,N,9e-06,2e-06,0,,,no bin\n"
                       "amp.net,6,P,0,2e-06,0,,,no L=\n");
    // With the report on standard output, the grids and the list go to standard error. A line
    // without L= is looked up with L=0, which falls into the empty P cell of length bin 2; the
    // list says what the line lacks.
    EXPECT_EQ(run.err, Golden("check_usage.txt"));

    WriteFileBytes(m_dir / "ok.net", "M1 a b c d MODxyN L=1U W=2U\n");
    const RunResult binned = Cli({"check", "--settings", "s.amd", "ok.net", "gone.net", "./ok.net"});
    EXPECT_EQ(binned.exitCode, 1);
    EXPECT_EQ(binned.err, "Error: \"gone.net\" does not exist. No file was changed.\n");
    EXPECT_NE(binned.out.find("| NCH    |"), std::string::npos) << binned.out;
    EXPECT_NE(binned.out.find("|      1 |"), std::string::npos) << binned.out;
    EXPECT_TRUE(binned.out.ends_with("\n1 device; it would get a part name.\n")) << binned.out;
    EXPECT_EQ(Cli({"check", "--settings", "s.amd", "ok.net"}).exitCode, 0);
}

// Under the classic rule, the devices kept for want of a size that the SPICE rule reads are counted
// once at the end of process (over every netlist), rewrite and check; the SPICE rule gives no hint.
TEST_F(CliTest, ClassicRuleSaysOnceWhenTheSpiceRuleWouldReadTheSizes) {
    const std::string hint =
        " give their sizes as SPICE does (l=, + lines, {expressions}): try --sizes spice\n";
    const std::string netlist = "m1 a b c d MODxyN l=1u w=2u\n"
                                "M2 a b c d MODxyN\n"
                                "+ L=1U W=2U\n"
                                "M3 a b c d MODxyP W=2U\n"; // no length under either rule
    WriteFileBytes(m_dir / "amp.net", netlist);
    WriteFileBytes(m_dir / "two.net", "M1 a b c d MODxyN l=1u w=2u\n");

    const RunResult checked = Cli({"check", "--settings", "s.amd", "amp.net"});
    EXPECT_EQ(checked.exitCode, 3);
    EXPECT_TRUE(checked.out.ends_with("2 devices" + hint)) << checked.out;
    const RunResult spice = Cli({"check", "--settings", "s.amd", "--sizes", "spice", "amp.net"});
    EXPECT_EQ(spice.out.find("give their sizes"), std::string::npos) << spice.out;
    EXPECT_EQ(spice.err.find("give their sizes"), std::string::npos) << spice.err;

    const RunResult rewritten = Cli({"rewrite", "--settings", "s.amd", "amp.net", "out.net"});
    EXPECT_EQ(rewritten.exitCode, 3);
    EXPECT_TRUE(rewritten.err.ends_with("2 devices" + hint)) << rewritten.err;
    EXPECT_EQ(ReadFileBytes(m_dir / "out.net"), netlist);

    const RunResult processed = Cli({"process", "--settings", "s.amd", "amp.net", "two.net"});
    EXPECT_EQ(processed.exitCode, 3);
    EXPECT_TRUE(processed.err.ends_with("3 devices" + hint)) << processed.err;
    EXPECT_EQ(processed.err.find(hint), processed.err.rfind(hint));

    WriteFileBytes(m_dir / "one.net", "M1 a b c d MODxyN L=1u w=2u\n");
    EXPECT_TRUE(Cli({"check", "--settings", "s.amd", "one.net"})
                    .out.ends_with("1 device gives its sizes as SPICE does (l=, + lines, {expressions}): try "
                                   "--sizes spice\n"));
}

// check reads only: every file keeps its bytes and its times, and no file appears but the report.
TEST_F(CliTest, CheckLeavesEveryFileAlone) {
    WriteFileBytes(m_dir / "amp.net", kNetlist);
    // The same text under both names: check of either passes the refusals and reads it.
    WriteFileBytes(m_dir / "amp.ant", kNetlist);
    WriteFileBytes(m_dir / "kept.ant", kKeptNetlist);
    const auto past = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    struct Times {
        timespec modified;
        timespec changed;
        bool operator==(const Times& o) const {
            return modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
                   changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
        }
    };
    const auto times = [this] {
        std::map<std::string, Times> all;
        for (const auto& entry : fs::directory_iterator(m_dir.path())) {
            struct stat status {};
            EXPECT_EQ(::stat(entry.path().c_str(), &status), 0);
            all[entry.path().filename().string()] = {status.st_mtim, status.st_ctim};
        }
        return all;
    };
    for (const auto& entry : fs::directory_iterator(m_dir.path())) {
        fs::last_write_time(entry.path(), past);
    }
    const Files bytes = FilesIn(m_dir.path());
    const auto before = times();

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"check", "--settings", "s.amd", "amp.net", "amp.ant", "kept.ant"},
          std::vector<std::string>{"check", "--settings", "s.amd", "--report", "r.csv", "kept.ant"}}) {
        const bool report = args[3] == "--report";
        SCOPED_TRACE(report);
        EXPECT_EQ(Cli(args).exitCode, 3);
        Files now = FilesIn(m_dir.path());
        auto timesNow = times();
        if (report) {
            EXPECT_EQ(now.erase("r.csv"), 1u);
            timesNow.erase("r.csv");
        }
        EXPECT_EQ(now, bytes);
        EXPECT_TRUE(timesNow == before);
    }
}

// --map writes the bin map of every netlist checked and no other file; the text output is that of
// a check without it. (A map over a file of the run is refused in the error table.)
TEST_F(CliTest, CheckMapsEveryDeviceAndWritesNoOtherFile) {
    fs::copy(kExamples, m_dir.path(), fs::copy_options::recursive);
    WriteFileBytes(m_dir / "other.cir", "M1 a b c d MODxyN L=1U W=2U\n");
    WriteModelLibrary(m_dir.path());
    const Files before = FilesIn(m_dir.path());
    const RunResult plain = Cli({"check", "--settings", "demo.amd", "amp.net", "other.cir"});

    const RunResult mapped =
        Cli({"check", "--settings", "demo.amd", "--map", "map.svg", "amp.net", "other.cir"});

    EXPECT_EQ(mapped.exitCode, 3);
    EXPECT_EQ(mapped.out, plain.out);
    Files after = FilesIn(m_dir.path());
    const std::string svg = after["map.svg"];
    after.erase("map.svg");
    EXPECT_EQ(after, before);
    EXPECT_EQ(test::XmlProblem(svg), "");
    // The example's nine devices and other.cir's one, each its own mark; the one outside every bin
    // is the only diamond.
    std::size_t marks = 0;
    for (std::size_t at = 0; (at = svg.find("<title>", at)) != std::string::npos; ++at) {
        marks += svg.compare(at, 12, "<title>amp.n") == 0 || svg.compare(at, 12, "<title>other") == 0;
    }
    EXPECT_EQ(marks, 10u);
    const std::size_t kept = svg.find("</title></path>");
    ASSERT_NE(kept, std::string::npos);
    EXPECT_EQ(svg.find("</title></path>", kept + 1), std::string::npos);
    EXPECT_NE(svg.find("<title>amp.net:14: N L=1e-05 W=4e-05 no bin</title></path>"), std::string::npos);

    fs::remove(m_dir / "map.svg");
    const RunResult nowhere =
        Cli({"check", "--settings", "demo.amd", "--map", "no/such/map.svg", "amp.net", "other.cir"});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_TRUE(nowhere.err.starts_with("Error: Cannot write the bin map \"no/such/map.svg\": "))
        << nowhere.err;
    EXPECT_EQ(nowhere.out, plain.out);
}

TEST_F(CliTest, ExamplesRunAsTheCommandLinePageShows) {
    fs::copy(kExamples, m_dir.path(), fs::copy_options::recursive);
    const std::string netlist = ReadFileBytes(m_dir / "amp.net");
    const Result<LoadedSettings> demo = LoadSettings(m_dir / "demo.amd");
    ASSERT_TRUE(demo.ok()) << demo.error();

    const RunResult run = Cli({"process", "--settings", "demo.amd", "amp.net"});

    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, "amp.net:14: Error: No MODxyN bin for L=1e-05 W=4e-05!\n");
    EXPECT_EQ(ReadFileBytes(m_dir / "amp.ant"), netlist);
    const std::string rewritten = ReadFileBytes(m_dir / "amp.net");
    EXPECT_EQ(rewritten, test::ReferenceRewrite(netlist, test::RulesOf(demo->settings)));
    // Devices of both polarities land in several bins, one on an inner bound (the lower bin).
    for (const char* line :
         {"M1 n1 inn tail vss nch_w2_l1 L=0.5u W=4u\n", "M3 n1 n1 vdd vdd pch_w2_l1 L=1u W=8u\n",
          "M5 tail bias vss vss nch_w3_l2 L=2u W=8u\n", "M8 bias bias vss vss nch_w0_l0 L=180n W=0.5u\n"}) {
        EXPECT_NE(rewritten.find(line), std::string::npos) << line;
    }
}

TEST(DemoSettingsTest, CommittedFileIsTheGeneratorsOutput) {
    const TempDir dir;
    const RunResult run = test::Run(TARVEX_DEMO_SETTINGS_TOOL, {(dir / "demo.amd").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(ReadFileBytes(dir / "demo.amd") == ReadFileBytes(kExamples / "demo.amd"));
}

} // namespace
} // namespace tarvex
