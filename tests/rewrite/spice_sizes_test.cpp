// SPDX-License-Identifier: MIT
// Sizes read as SPICE reads them: the forms of real netlists (lines copied from ../shared/corpus)
// under both rules, the expression evaluator, the logical-line joiner, the scopes of parameters,
// and the rewrite's properties: only the Keys change, and the general engine with the classic
// reader is the classic engine.
#include "rewrite/netlist_rewrite.h"
#include "rewrite/reader_rewrite.h"
#include "rewrite/spice_context.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace tarvex {
namespace {

// Decade bins: width and length bins 0..4 hold [1e-8, 1e-7], [1e-7, 1e-6], ... [1e-4, 1] (lower bin
// on a shared bound), named "<Key>_W<w>L<l>", so the part name tells which decade was read.
RewriteRules DecadeRules(const std::string& keyN, const std::string& keyP = "UNUSED_P") {
    RewriteRules rules;
    rules.keyN = keyN;
    rules.keyP = keyP;
    for (BinTable* table : {&rules.tableN, &rules.tableP}) {
        table->widthBounds = {1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 1};
        table->lengthBounds = {1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 1};
        for (int w = 0; w < kBinCount; ++w) {
            for (int l = 0; l < kBinCount; ++l) {
                SetPartName(*table, w, l, (table == &rules.tableN ? "N" : "P") + std::string("_W") +
                                              std::to_string(w) + "L" + std::to_string(l));
            }
        }
    }
    return rules;
}

struct RunOf {
    std::string output;
    std::vector<DeviceEvent> events;
    std::vector<std::string> labels; // the part name of a replaced Key, else ProblemLabel
    std::vector<std::uint64_t> lines;
    RunReport report;
};

RunOf Rewrite(const std::string& netlist, const RewriteRules& rules, const SizeOptions& sizes) {
    RunOf run;
    MemoryReader in(netlist);
    StringWriter out(run.output);
    StreamOptions options;
    options.threads = 1;
    options.sizes = sizes;
    options.onDevice = [&](std::uint64_t line, const DeviceEvent& event) {
        run.events.push_back(event);
        run.labels.emplace_back(event.outcome == DeviceOutcome::Replaced ? event.partName
                                                                         : ProblemLabel(event));
        run.lines.push_back(line);
    };
    const StreamResult result = RewriteStream(in, out, rules, options);
    EXPECT_EQ(result.status, StreamStatus::Completed);
    run.report = result.report;
    return run;
}

SizeOptions Spice(std::optional<double> scale = {}, bool perFinger = false) {
    return {SizeRule::Spice, scale, perFinger};
}

struct FormCase {
    const char* name;
    std::string netlist;
    std::string key;
    SizeOptions sizes;
    std::string expected; // the part name, or why the Key stays
};

TEST(SpiceSizesTest, RealFormsUnderEachRule) {
    const SizeOptions classic;
    const std::vector<FormCase> cases = {
        // Xyce's CircuitSim90 RAM: lower-case names, a trailing blank.
        {"LowerCaseSpice", "m0 3 5 4 0 nenh l=1.1e-06 w=2.1e-06 \n", "nenh", Spice(), "N_W2L2"},
        {"LowerCaseClassic", "m0 3 5 4 0 nenh l=1.1e-06 w=2.1e-06 \n", "nenh", classic, "no L= or W="},
        // sky130 CDL: microns without a unit, scaled on the command line.
        {"CdlMicronsScaled", "MI98 net105 D n0 VNB nfet_01v8 m=1 w=0.42 l=0.15 mult=1 sa=0.265\n", "nfet_01v8",
         Spice(1e-6), "N_W1L1"},
        {"CdlMicronsUnscaled", "MI98 net105 D n0 VNB nfet_01v8 m=1 w=0.42 l=0.15 mult=1 sa=0.265\n",
         "nfet_01v8", Spice(), "N_W4L4"},
        // OrCAD-like Xyce netlist: sizes on "+" lines with trailing blanks.
        {"PlusLines", "MN1a   VOUT  IN 0 0 CD4012_NMOS  \n+ L=5u  \n+ W=175u         \n", "CD4012_NMOS", Spice(),
         "N_W4L2"},
        {"PlusLinesClassic", "MN1a   VOUT  IN 0 0 CD4012_NMOS  \n+ L=5u  \n+ W=175u         \n", "CD4012_NMOS",
         classic, "no L= or W="},
        // ngspice rotary oscillator: the value of W on the next line.
        {"ValueOnNextLine",
         "MNA0 B0 A0 VSS_B0 VSS_B0 Nmod L=2.53696435353243e-07 W=\n+4.24857778403814e-05 AD=3.125e-11 "
         "AS=3.125e-11 PD=\n+2.5e-05\n",
         "Nmod", Spice(), "N_W3L1"},
        // Magic extraction: units in the size's scale, with the PDK's scale given.
        {"MagicExtraction",
         "X1 a_75_212# A VGND VNB sky130_fd_pr__nfet_01v8 ad=0p pd=0u as=0p ps=0u w=520000u l=150000u\n",
         "sky130_fd_pr__nfet_01v8", Spice(1e-6), "N_W1L1"},
        {"MagicExponent", "X7 a b c d sky130_fd_pr__nfet_01v8 ad=0p pd=0u as=0p ps=0u w=1e+06u l=150000u\n",
         "sky130_fd_pr__nfet_01v8", Spice(1e-6), "N_W1L1"},
        // The PDK IO netlist: the model name on a "+" line, replaced where it stands.
        {"KeyOnPlusLine",
         "Xmnen_fast<3>_q0 int<3> EN_FAST[3] VGND_IO net018<0>\n+ sky130_fd_pr__nfet_g5v0d10v5 m=1 w=1.5 l=1.0 "
         "mult=1 sa=0.265 sb=0.265 sd=0.28\n",
         "sky130_fd_pr__nfet_g5v0d10v5", Spice(1e-6), "N_W2L1"},
        // Xyce subcircuit with PARAMS: defaults; the instance's own literal sizes.
        {"ParamsKeyword", "XM_2 OUT BIAS 0 0 XNMOS PARAMS: W=10u L=1u M=4\n", "XNMOS", Spice(), "N_W2L1"},
        {"SubcktDefaults", ".subckt XNMOS D G S B PARAMS: W=1 L=1 M=1\nM_2 D G S B MN W={W} L={L} M={M}\n.ends\n",
         "MN", Spice(), "N_W4L4"},
        // Xyce push-pull: blanks around '=', a three-digit exponent.
        {"BlanksAroundEquals", "M1 2 1 3 30 MAIN \n+ L = 1.6E-006 \n+ W = 0.8697 \n", "MAIN", Spice(), "N_W4L2"},
        // ngspice comparator: tabs, unitless sizes and ".option scale=1u" in the netlist.
        {"OptionScale", ".option scale=1u\nM1\tn1\tvp\tvss\t0\tN_1u L=1 W=10\n", "N_1u", Spice(), "N_W2L1"},
        {"ScaleOptionOverridden", ".option scale=1u\nM1\tn1\tvp\tvss\t0\tN_1u L=1 W=10\n", "N_1u", Spice(1e-7),
         "N_W1L0"},
        // Sizing scripts' 17 digits, cut to 2.8 by the classic window.
        {"SeventeenDigitsSpice", "M1 d g s b NCH L=2.8000000000000003e-07 W=1e-6\n", "NCH", Spice(), "N_W1L1"},
        {"SeventeenDigitsClassic", "M1 d g s b NCH L=2.8000000000000003e-07 W=1e-6\n", "NCH", classic, "no bin"},
        // "0.5um" is 0.5e-6 in SPICE; the classic suffixes compound to 5e-10.
        {"UnitAfterSuffixSpice", "M1 d g s b NCH L=0.5um W=1u\n", "NCH", Spice(), "N_W1L1"},
        {"UnitAfterSuffixClassic", "M1 d g s b NCH L=0.5um W=1u\n", "NCH", classic, "no bin"},
        {"BlankAfterEquals", "M1 d g s b NCH L= 0.5u W=1u\n", "NCH", Spice(), "N_W1L1"},
        {"Mil", "M1 d g s b NCH L=1u W=1mil\n", "NCH", Spice(), "N_W3L1"},
        {"NameStartsToken", "M1 d g s b NCH VAL=1u W=1u\n", "NCH", Spice(), "no L="},
        {"UndefinedParameter", "M1 d g s b NCH L={lp} W=1u\n", "NCH", Spice(), "L={lp}: lp is not defined"},
        {"DivisionByZero", ".param w1=1\nM1 d g s b NCH L=1u W='w1/0'\n", "NCH", Spice(),
         "W='w1/0': division by zero"},
        {"ParameterExpression", ".PARAM wp = 2u lp={wp/4}\nM1 d g s b NCH L=lp W={max(wp, 3u)*2}\n", "NCH",
         Spice(), "N_W2L1"},
        {"ModelLineIsNoDevice", ".model NCH nmos (level=54 l=1u w=1u)\n", "NCH", Spice(), "not a device"},
        {"CommentAndBlankBetweenPlusLines", "M1 d g s b NCH\n* a note\n\n+ L=2u\n+ W=20u\n", "NCH", Spice(),
         "N_W3L2"},
        {"PerFinger", "XM5 a b c d NCH L=0.8 W=14 nf=7\n", "NCH", Spice(1e-6, true), "N_W2L1"},
        {"AllFingers", "XM5 a b c d NCH L=0.8 W=14 nf=7\n", "NCH", Spice(1e-6), "N_W3L1"},
        {"ZeroFingers", "XM5 a b c d NCH L=0.8 W=14 nf=0\n", "NCH", Spice(1e-6, true),
         "NF=0: 0 is not a number of fingers"},
        {"LastValueWins", "M1 d g s b NCH L=1u W=1u W=20u\n", "NCH", Spice(), "N_W3L1"},
    };
    for (const FormCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RunOf run = Rewrite(c.netlist, DecadeRules(c.key), c.sizes);
        ASSERT_EQ(run.labels.size(), 1u);
        EXPECT_EQ(run.labels[0], c.expected);
        const bool replaced = run.events[0].outcome == DeviceOutcome::Replaced;
        std::string expected = c.netlist;
        if (replaced) {
            expected.replace(expected.find(c.key), c.key.size(), c.expected);
        }
        EXPECT_EQ(run.output, expected);
    }
}

TEST(SpiceSizesTest, ScopesOfParameters) {
    const std::string netlist = ".param w=1u l=1u\n"
                                ".subckt inv a y params: w=20u\n"
                                ".param l=2u\n"
                                "M1 y a 0 0 NCH W={w} L={l}\n"
                                ".ends inv\n"
                                "M2 y a 0 0 NCH W={w} L={l}\n"
                                ".param l=3u\n";
    const RunOf run = Rewrite(netlist, DecadeRules("NCH"), Spice());
    // Inside: the default and the subcircuit's own .param; outside: the netlist's last .param.
    EXPECT_EQ(run.labels, (std::vector<std::string>{"N_W3L2", "N_W1L2"}));
    EXPECT_EQ(run.lines, (std::vector<std::uint64_t>{4, 6}));
    const SpiceContext context = CollectSpiceContext(netlist);
    EXPECT_EQ(context.scopeAt(0), 0);
    EXPECT_EQ(context.scopeAt(netlist.find("M1")), 1);
    EXPECT_EQ(context.scopeAt(netlist.find("M2")), 0);
}

TEST(SpiceSizesTest, ParametersThatCannotBeEvaluated) {
    const struct {
        const char* name;
        std::string params;
        std::string expected;
    } cases[] = {
        {"Itself", ".param a={a+1}\n", "L={a}: a: a: a is defined through itself"},
        {"Cycle", ".param a={b} b={a}\n", "L={a}: a: b: a: a is defined through itself"},
        {"Chain", ".param b={c*2} c={1/0}\n", "L={a}: a: b: c: division by zero"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string netlist = c.params + (std::string(c.name) == "Chain" ? ".param a={b}\n" : "") +
                                    "M1 d g s b NCH L={a} W=1u\n";
        const RunOf run = Rewrite(netlist, DecadeRules("NCH"), Spice());
        ASSERT_EQ(run.labels.size(), 1u);
        EXPECT_EQ(run.labels[0], c.expected);
    }
}

class NoParameters final : public ParameterScope {
public:
    const Result<double>* find(std::string_view name) const override {
        return name == "x" ? &m_x : nullptr;
    }

private:
    Result<double> m_x{2.0};
};

TEST(SpiceExpressionTest, Values) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"1+2*3", 7},        {"(1+2)*3", 9},        {"2**3**2", 512},     {"2^3", 8},       {"-2**2", -4},
        {"-x", -2},          {"X*1u", 2e-6},        {"0.5um", 0.5e-6},    {"2meg", 2e6},    {"1mil", 25.4e-6},
        {"1e+06u", 1},       {"min(3, x)", 2},      {"max(1,2)", 2},      {"abs(-3)", 3},   {"sqrt(16)", 4},
        {"pow(2, 10)", 1024}, {"exp(0)", 1},        {"log(1)", 0},        {" 7 / 2 ", 3.5}, {"1 - - 1", 2},
    };
    const NoParameters scope;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Result<double> value = EvaluateExpression(c.text, scope);
        ASSERT_TRUE(value) << value.error();
        EXPECT_NEAR(*value, c.value, std::fabs(c.value) * 1e-12);
    }
}

TEST(SpiceExpressionTest, Failures) {
    static const std::string kDeep(200, '(');
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"lp", "lp is not defined"},
        {"x/0", "division by zero"},
        {"x/(1-1)", "division by zero"},
        {"sqrt(-1)", "sqrt of a negative number"},
        {"log(0)", "log of a number not above 0"},
        {"foo(1)", "foo() is not a function here"},
        {"min(1)", "min() takes two arguments"},
        {"(1+2", "a ')' is missing"},
        {"1+", "the expression ends too soon"},
        {"", "the expression ends too soon"},
        {"1 2", "cannot read '2' at 3"},
        {"1e308*1e308", "the value is too large"},
        {"(-8)**0.5", "pow has no value there"},
        {kDeep.c_str(), "the expression is nested too deeply"},
    };
    const NoParameters scope;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Result<double> value = EvaluateExpression(c.text, scope);
        ASSERT_FALSE(value);
        EXPECT_EQ(value.error(), c.error);
    }
}

TEST(LogicalLinesTest, JoinsPlusLinesAcrossCommentsAndBlanks) {
    const struct {
        const char* name;
        std::string text;
        std::vector<std::string> pieces; // of the logical line at offset 0
        std::size_t end;                 // where the next logical line starts
    } cases[] = {
        {"Single", "M1 a b\nM2 c d\n", {"M1 a b"}, 7},
        {"PlusLines", "M1 a\n+ b\n+c\nM2\n", {"M1 a", " b", "c"}, 12},
        {"CommentBetween", "M1 a\n* note\n\n+ b\nM2\n", {"M1 a", " b"}, 17},
        {"CommentAfterIsNotTaken", "M1 a\n+ b\n* note\nM2\n", {"M1 a", " b"}, 9},
        {"Crlf", "M1 a\r\n  + b\r\nM2\r\n", {"M1 a", " b"}, 13},
        {"LoneCr", "M1 a\r+ b\rM2", {"M1 a", " b"}, 9},
        {"NoLineEnd", "M1 a\n+ b", {"M1 a", " b"}, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogicalLine line;
        ReadLogicalLine(c.text, 0, line);
        std::vector<std::string> pieces;
        for (const LinePiece& piece : line.pieces) {
            pieces.emplace_back(c.text.substr(piece.begin, piece.end - piece.begin));
        }
        EXPECT_EQ(pieces, c.pieces);
        EXPECT_EQ(line.end, c.end);
        // Every physical line of the logical line leads back to its start.
        for (std::size_t at = 0, next = 0; at < line.end; at = next) {
            PhysicalLineEnd(c.text, at, next);
            EXPECT_EQ(LogicalLineStart(c.text, 0, at), 0u) << "line at " << at;
        }
    }
}

// Netlists made of device lines, "+" lines, comments, blank lines and parameters, in random order.
std::string RandomNetlist(std::mt19937& random) {
    static const char* const fragments[] = {
        "M1 d g s b NCH L=1u W=2u\n", "m2 d g s b NCH\n", "+ l=0.5u w={wp}\n", "* NCH in a comment\n", "\n",
        "+ W=\n", "+3u\n", ".param wp=4u\n", ".model NCH nmos\n", "XM3 a b PCH nf=2 w=1 l=0.2\r\n",
        "M4 d g s b NCH PCH L={lp} W=1u\r", ".subckt cell a PARAMS: lp=2u\n", ".ends\n", "+ NCH\n",
        "  .PARAM lp=1.5u\n", "\t.option scale=2\n",
    };
    std::string netlist;
    const int count = std::uniform_int_distribution<int>(0, 30)(random);
    for (int i = 0; i < count; ++i) {
        netlist += fragments[std::uniform_int_distribution<std::size_t>(0, std::size(fragments) - 1)(random)];
    }
    return netlist;
}

TEST(SpiceSizesTest, OnlyTheKeysChange) {
    std::mt19937 random(31);
    const RewriteRules rules = DecadeRules("NCH", "PCH");
    for (int round = 0; round < 500; ++round) {
        const std::string netlist = RandomNetlist(random);
        SCOPED_TRACE(netlist);
        for (const SizeOptions& sizes : {Spice(), Spice(1e-6, true)}) {
            const RunOf run = Rewrite(netlist, rules, sizes);
            // Part names ("N_W2L1") occur nowhere in the input: putting the Keys back gives it again.
            std::string restored = run.output;
            for (const DeviceEvent& event : run.events) {
                if (event.outcome == DeviceOutcome::Replaced) {
                    const std::size_t at = restored.find(event.partName);
                    ASSERT_NE(at, std::string::npos);
                    restored.replace(at, event.partName.size(), event.polarity == Polarity::N ? "NCH" : "PCH");
                }
            }
            EXPECT_EQ(restored, netlist);
        }
    }
}

TEST(SpiceSizesTest, GeneralEngineWithClassicReaderIsTheClassicEngine) {
    std::mt19937 random(7);
    const RewriteRules rules = DecadeRules("NCH", "PCH");
    const ClassicSizeReader classic;
    for (int round = 0; round < 500; ++round) {
        const std::string netlist = RandomNetlist(random);
        SCOPED_TRACE(netlist);
        const RunOf expected = Rewrite(netlist, rules, {});
        RunOf run;
        StringWriter out(run.output);
        StreamOptions options;
        options.onDevice = [&](std::uint64_t line, const DeviceEvent& event) {
            run.labels.emplace_back(event.outcome == DeviceOutcome::Replaced ? event.partName
                                                                             : ProblemLabel(event));
            run.lines.push_back(line);
        };
        const StreamResult result = RewriteText(netlist, out, std::span(&rules, 1), classic, options);
        EXPECT_EQ(run.output, expected.output);
        EXPECT_EQ(run.labels, expected.labels);
        EXPECT_EQ(run.lines, expected.lines);
        EXPECT_EQ(result.report.lines, expected.report.lines);
        EXPECT_EQ(result.report.devicesReplaced, expected.report.devicesReplaced);
        EXPECT_EQ(result.report.devicesNoBin, expected.report.devicesNoBin);
        EXPECT_EQ(result.report.bytesWritten, expected.report.bytesWritten);
    }
}

struct HintCase {
    const char* name;
    std::string netlist;
    std::vector<std::uint64_t> withoutSize; // the classic rule's Keys kept for want of a size
    std::uint64_t readAsSpice;              // those the SPICE rule reads
};

// The classic rule notes the lines of Keys it keeps for want of a size, and CountReadAsSpice tells
// how many of them stand on devices the SPICE rule reads.
TEST(SpiceSizesTest, ClassicRuleCountsTheDevicesTheSpiceRuleReads) {
    const RewriteRules rules = DecadeRules("NCH", "PCH");
    const std::vector<HintCase> cases = {
        {"ReadByBoth", "M1 d g s b NCH L=1u W=2u\n", {}, 0},
        {"LowerCase", "m0 3 5 4 0 NCH l=1.1e-06 w=2.1e-06\n", {1}, 1},
        {"PlusLinesAcrossAComment", "MN1 VOUT IN 0 0 NCH\n+ L=5u\n* note\n+ W=175u\n", {1}, 1},
        {"KeyOnAPlusLine", "X1 a b\n+ NCH w=1 l=0.2\n", {2}, 1},
        {"Parameters",
         ".param wp=4u\n.subckt cell a PARAMS: lp=2u\nM_2 D G S B NCH W={wp} L={lp}\n.ends\n",
         {3},
         1},
        {"UndefinedParameter", "M1 d g s b NCH L={lq} W=1u\n", {1}, 0},
        {"NoLengthAnywhere", "M1 d g s b NCH W=1u\n", {1}, 0},
        {"ModelCard", ".model NCH nmos\n", {1}, 0},
        {"KeyOnACommentBetweenPlusLines", "M1 d g s b PCH\n* NCH here\n+ l=1u w=1u\n", {1, 2}, 1},
        {"LineEnds", "M1 NCH L=1u W=1u\r\nm2 NCH l=1u w=1u\rm3 PCH l=1u w=1u\nm4 NCH L=1u\r\n", {2, 3, 4}, 2},
    };
    for (const HintCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RunOf run = Rewrite(c.netlist, rules, {});
        EXPECT_EQ(run.report.linesWithoutSize, c.withoutSize);
        EXPECT_EQ(CountReadAsSpice(c.netlist, run.report.linesWithoutSize), c.readAsSpice);
        MemoryReader again(c.netlist);
        EXPECT_EQ(CountReadAsSpice(again, run.report.linesWithoutSize), c.readAsSpice);
        // The SPICE rule notes nothing: its hint would never be given.
        EXPECT_TRUE(Rewrite(c.netlist, rules, Spice()).report.linesWithoutSize.empty());
    }
    EXPECT_EQ(SpiceHint(412, "--sizes spice"),
              "412 devices give their sizes as SPICE does (l=, + lines, {expressions}): try --sizes spice");
    EXPECT_EQ(SpiceHint(1, "--sizes spice"),
              "1 device gives its sizes as SPICE does (l=, + lines, {expressions}): try --sizes spice");
}

// The lines are noted in file order whatever the threads and chunks, and whether or not the caller
// listens to the devices.
TEST(SpiceSizesTest, LinesWithoutSizeDoNotDependOnThreadsOrListening) {
    std::mt19937 random(5);
    const RewriteRules rules = DecadeRules("NCH", "PCH");
    for (int round = 0; round < 200; ++round) {
        const std::string netlist = RandomNetlist(random);
        SCOPED_TRACE(netlist);
        const RunOf serial = Rewrite(netlist, rules, {});
        std::vector<std::uint64_t> expected;
        for (std::size_t i = 0; i < serial.events.size(); ++i) {
            if (serial.events[i].outcome != DeviceOutcome::Replaced &&
                !(serial.events[i].hasLength && serial.events[i].hasWidth)) {
                expected.push_back(serial.lines[i]);
            }
        }
        EXPECT_EQ(serial.report.linesWithoutSize, expected);
        std::string output;
        MemoryReader in(netlist);
        StringWriter out(output);
        StreamOptions options;
        options.threads = 3;
        options.tuning.chunkSize = 16;
        options.tuning.chunksInFlight = 3;
        const StreamResult parallel = RewriteStream(in, out, rules, options);
        EXPECT_EQ(parallel.report.linesWithoutSize, expected);
        EXPECT_EQ(output, serial.output);
    }
}

// Reads as a pipe does: it cannot go back, so the SPICE rule holds the input in memory.
class PipeReader final : public ByteReader {
public:
    explicit PipeReader(std::string_view data) : m_in(data, 5) {}
    ReadResult read(std::span<char> buffer) override { return m_in.read(buffer); }

private:
    MemoryReader m_in;
};

// A file is read twice, the second time from where it stood when the run began: a parameter and the
// scale defined after the devices that use them still count, and bytes before that position do not.
TEST(SpiceSizesTest, FileReadTwiceFromWhereItStood) {
    const test::TempDir dir;
    const std::string skipped = ".option scale=1e-3\n.param wp=1\n";
    const std::string rest = "M1 d g s b NCH l=1 w={wp}\n.param wp=2\n.option scale=1e-6\n";
    test::WriteFileBytes(dir / "in.net", skipped + rest);
    const FilePtr file = OpenFile(dir / "in.net", "r");
    ASSERT_EQ(std::fseek(file.get(), static_cast<long>(skipped.size()), SEEK_SET), 0);
    FileReader reader(file.get());
    std::string output;
    StringWriter out(output);
    StreamOptions options;
    options.sizes = Spice();
    const StreamResult run = RewriteStream(reader, out, DecadeRules("NCH"), options);
    EXPECT_EQ(run.status, StreamStatus::Completed);
    EXPECT_EQ(output, "M1 d g s b N_W2L1 l=1 w={wp}\n.param wp=2\n.option scale=1e-6\n");
    EXPECT_EQ(output, Rewrite(rest, DecadeRules("NCH"), Spice()).output);
}

// The SPICE rule cuts chunks only between devices and reads a file's context in chunks as well: the
// run is the same for any chunk size and thread count, from a file read twice or from a pipe.
TEST(SpiceSizesTest, SameRunWhateverTheChunksThreadsOrSource) {
    std::mt19937 random(11);
    const RewriteRules rules = DecadeRules("NCH", "PCH");
    for (int round = 0; round < 150; ++round) {
        const std::string netlist = RandomNetlist(random);
        SCOPED_TRACE(netlist);
        const RunOf whole = Rewrite(netlist, rules, Spice());
        for (const std::size_t chunkSize : {1, 7, 16, 64}) {
            for (const unsigned threads : {1u, 3u}) {
                for (const bool pipe : {false, true}) {
                    MemoryReader file(netlist, 3);
                    PipeReader piped(netlist);
                    std::string output;
                    StringWriter out(output);
                    std::vector<std::string> labels;
                    std::vector<std::uint64_t> lines;
                    StreamOptions options;
                    options.sizes = Spice();
                    options.threads = threads;
                    options.tuning.chunkSize = chunkSize;
                    options.onDevice = [&](std::uint64_t line, const DeviceEvent& event) {
                        labels.emplace_back(event.outcome == DeviceOutcome::Replaced ? event.partName
                                                                                     : ProblemLabel(event));
                        lines.push_back(line);
                    };
                    const StreamResult run =
                        RewriteStream(pipe ? static_cast<ByteReader&>(piped) : file, out, rules, options);
                    EXPECT_EQ(output, whole.output) << chunkSize << " " << threads << " " << pipe;
                    EXPECT_EQ(labels, whole.labels);
                    EXPECT_EQ(lines, whole.lines);
                    EXPECT_EQ(run.report.lines, whole.report.lines);
                    EXPECT_EQ(run.report.keysNotOnDevice, whole.report.keysNotOnDevice);
                    EXPECT_EQ(run.report.firstProblem, whole.report.firstProblem);
                }
            }
        }
    }
}

} // namespace
} // namespace tarvex
