// SPDX-License-Identifier: MIT
// The bin map's SVG: well-formed whatever the netlist's bytes, one titled mark per device, the
// bins' names as text, kept devices marked apart, and crowded panels merged and bounded.
#include "insight/bin_map.h"

#include "support/temp_dir.h"
#include "support/xml_check.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <regex>
#include <string>
#include <vector>

namespace tarvex {
namespace {

RewriteRules DemoRules() {
    RewriteRules rules;
    rules.tableN.widthBounds = {0.5e-6, 1e-6, 2e-6, 5e-6, 0, 0};
    rules.tableN.lengthBounds = {0.18e-6, 0.35e-6, 1e-6, 0, 0, 0};
    rules.tableP = rules.tableN;
    for (int w = 0; w < 3; ++w) {
        for (int l = 0; l < 2; ++l) {
            SetPartName(rules.tableN, w, l, "n" + std::to_string(w) + std::to_string(l));
            SetPartName(rules.tableP, w, l, "p" + std::to_string(w) + std::to_string(l));
        }
    }
    SetPartName(rules.tableN, 0, 0, "n&<00>");
    SetPartName(rules.tableN, 2, 0, "");
    return rules;
}

// Feeds each line through the rewrite, as a run does, and every device it reports into map.
void AddLines(BinMap& map, const RewriteRules& rules, std::string_view file,
              const std::vector<std::string>& lines) {
    std::uint64_t number = 0;
    for (const std::string& line : lines) {
        ++number;
        std::string out;
        const LineRewrite rewrite = RewriteLine(line, rules, out);
        for (const auto& event : {rewrite.n, rewrite.p}) {
            if (event) {
                map.add(file, number, *event);
            }
        }
    }
}

std::size_t Count(const std::string& text, const std::string& pattern) {
    const std::regex re(pattern);
    return static_cast<std::size_t>(
        std::distance(std::sregex_iterator(text.begin(), text.end(), re), std::sregex_iterator()));
}

TEST(BinMap, SmallNetlistDrawsEveryDeviceOnceWithItsLine) {
    // Numbers must not follow the process locale: a decimal comma would garble every coordinate.
    const char* const german = std::setlocale(LC_ALL, "de_DE.UTF-8");
    const RewriteRules rules = DemoRules();
    BinMap map(rules);
    AddLines(map, rules, "a<&>\xFF\x01.net",
             {"* amp\n", "M1 d g s b MODxyN L=0.2u W=0.7u\n", "M2 d g s b MODxyN L=0.5u W=3u\n",
              "M3 d g s b MODxyN L=10u W=40u\n", "M4 d g s b MODxyP L=0.5u W=1.5u\n",
              "M5 d g s b MODxyN W=1u\n", "M6 d g s b MODxyN L=0.2u W=4u\n"});
    map.setCards({{"nfet_\"card\"", 0.15e-6, 0.4e-6, 0.4e-6, 8e-6, Polarity::N},
                  {"backwards", 1e-6, 0.5e-6, 1e-6, 2e-6, Polarity::N}});
    const std::string svg = map.svg();
    if (german != nullptr) {
        std::setlocale(LC_ALL, "C");
    }

    EXPECT_EQ(test::XmlProblem(svg), "") << svg;
    // Two N devices and one P device get a name and are drawn as circles; M3 (outside every bin)
    // and M6 (in a cell without a name) are diamonds; M5 has no L= and is only listed in the note.
    EXPECT_EQ(Count(svg, "<circle class=\"ok\"[^>]*><title>"), 3u);
    EXPECT_EQ(Count(svg, "<path class=\"kept\"[^>]*><title>"), 2u);
    EXPECT_NE(svg.find(":7: N L=2e-07 W=4e-06 missing part name</title>"), std::string::npos);
    EXPECT_NE(
        svg.find("<title>a&lt;&amp;&gt;\xEF\xBF\xBD\xEF\xBF\xBD.net:4: N L=1e-05 W=4e-05 no bin</title>"),
        std::string::npos);
    EXPECT_NE(svg.find(":2: N L=2e-07 W=7e-07 n&amp;&lt;00&gt;</title>"), std::string::npos);
    EXPECT_NE(svg.find(":5: P L=5e-07 W=1.5e-06 p11</title>"), std::string::npos);
    EXPECT_NE(svg.find("1 device has no readable positive L= and W="), std::string::npos);
    EXPECT_NE(svg.find(".net:6: N W=1e-06 no L=</text>"), std::string::npos);
    // Every named cell of both tables is a rectangle with its name as text; the cell M6 falls into
    // has no name and is dashed; cells no device uses are outlines only (the legend shows each once).
    EXPECT_EQ(Count(svg, "<text class=\"name\""), 11u);
    EXPECT_EQ(Count(svg, ">n&amp;&lt;00&gt;</text>"), 1u);
    EXPECT_EQ(Count(svg, "<rect class=\"bin used\""), 1u + 3u); // n00, n21, p11
    EXPECT_EQ(Count(svg, "<rect class=\"bin\""), 1u + 3u + 5u);
    EXPECT_EQ(Count(svg, "<rect class=\"noname\""), 1u + 1u);
    EXPECT_EQ(Count(svg, "<rect class=\"card\"[^>]*><title>"), 1u);
    EXPECT_NE(svg.find("nfet_&quot;card&quot;: L 0.15u to 0.4u, W 0.4u to 8u"), std::string::npos);
    EXPECT_EQ(Count(svg, "class=\"tick\"[^>]*>0.5u</text>"), 4u); // both axes of both panels
    EXPECT_EQ(Count(svg, "class=\"head\"[^>]*>P-channel table"), 1u);
    EXPECT_EQ(Count(svg, "=\"[-0-9.]*,[0-9]"), 0u);
}

TEST(BinMap, OnlyPolaritiesWithDevicesGetAPanel) {
    const RewriteRules rules = DemoRules();
    BinMap empty(rules);
    EXPECT_EQ(test::XmlProblem(empty.svg()), "");
    EXPECT_NE(empty.svg().find("No device line holds a Key."), std::string::npos);
    EXPECT_EQ(Count(empty.svg(), "-channel table"), 0u);

    BinMap onlyP(rules);
    AddLines(onlyP, rules, "p.net", {"M1 d g s b MODxyP L=0.5u W=1.5u\n"});
    EXPECT_EQ(Count(onlyP.svg(), "class=\"head\"[^>]*>N-channel"), 0u);
    EXPECT_EQ(Count(onlyP.svg(), "class=\"head\"[^>]*>P-channel"), 1u);

    // A lone size without bins still gets axes with ticks to read.
    BinMap lone{RewriteRules{}};
    AddLines(lone, RewriteRules{}, "lone.net", {"M1 d g s b MODxyN L=1u W=1u\n"});
    EXPECT_GE(Count(lone.svg(), "class=\"tick\"[^>]*>[0-9.]+u</text>"), 4u);
}

// With several families each polarity of each family that has devices gets its own panel, titled
// with its Key; a device's part name comes from its own family's table, and a card is drawn over
// its own family's panel only. A device of a family the map was not made with is left out.
TEST(BinMap, EachFamilyHasItsOwnPanels) {
    std::vector<RewriteRules> families{DemoRules(), DemoRules()};
    families[1].keyN = "HVxyN";
    families[1].keyP = "HVxyP";
    SetPartName(families[1].tableN, 1, 1, "hv_n11");
    BinMap map(families);
    std::uint64_t number = 0;
    for (const char* line : {"M1 d g s b MODxyN L=0.5u W=1.5u\n", "M2 d g s b HVxyN L=0.5u W=1.5u\n",
                             "M3 d g s b HVxyP MODxyP L=0.5u W=1.5u\n"}) {
        ++number;
        std::string out;
        for (const DeviceEvent& event : RewriteLine(line, families, out)) {
            map.add("f.net", number, event);
        }
    }
    DeviceEvent stranger;
    stranger.family = 2;
    map.add("f.net", 9, stranger);
    map.setCards({{"hv_card", 0.4e-6, 0.6e-6, 1e-6, 2e-6, Polarity::N, 1}});
    const std::string svg = map.svg();

    EXPECT_EQ(test::XmlProblem(svg), "") << svg;
    EXPECT_EQ(map.deviceCount(), 4u);
    EXPECT_EQ(Count(svg, "class=\"head\"[^>]*>N-channel table, Key MODxyN<"), 1u);
    EXPECT_EQ(Count(svg, "class=\"head\"[^>]*>P-channel table, Key MODxyP<"), 1u);
    EXPECT_EQ(Count(svg, "class=\"head\"[^>]*>N-channel table, Key HVxyN<"), 1u);
    EXPECT_EQ(Count(svg, "class=\"head\"[^>]*>P-channel table, Key HVxyP<"), 1u);
    EXPECT_NE(svg.find(":1: N L=5e-07 W=1.5e-06 n11</title>"), std::string::npos);
    EXPECT_NE(svg.find(":2: N L=5e-07 W=1.5e-06 hv_n11</title>"), std::string::npos);
    EXPECT_EQ(Count(svg, ":3: P L=5e-07 W=1.5e-06 p11</title>"), 2u);
    EXPECT_EQ(Count(svg, "<rect class=\"card\"[^>]*><title>hv_card"), 1u);
    EXPECT_EQ(svg.find(":9:"), std::string::npos);
    // The N panel of the HV family comes after both core panels.
    EXPECT_LT(svg.find("Key MODxyP<"), svg.find("Key HVxyN<"));
}

// Up to the limit each device has its own mark, even at one place; one more and they share one.
TEST(BinMap, DevicesShareAMarkOnlyBeyondTheLimit) {
    const RewriteRules rules = DemoRules();
    for (const std::size_t devices : {kMapSingleDeviceLimit, kMapSingleDeviceLimit + 1}) {
        SCOPED_TRACE(devices);
        BinMap map(rules);
        AddLines(map, rules, "same.net",
                 std::vector<std::string>(devices, "M1 d g s b MODxyN L=0.5u W=3u\n"));
        const std::string svg = map.svg();
        const bool merged = devices > kMapSingleDeviceLimit;
        EXPECT_EQ(Count(svg, "<circle class=\"ok\"[^>]*><title>"), merged ? 1u : devices);
        if (merged) {
            EXPECT_NE(svg.find("<title>2001 devices here, the first:\nsame.net:1: N L=5e-07 W=3e-06 n21\n"
                               "same.net:2: N L=5e-07 W=3e-06 n21\nsame.net:3: N L=5e-07 W=3e-06 n21\n"
                               "and 1998 more</title>"),
                      std::string::npos);
        }
    }
}

// 100,000 devices, nearly all at sizes of their own over a wide range (so that the stored places
// are made coarser on the way): a bounded file in which every device is counted once.
TEST(BinMap, CrowdedPanelStaysSmallAndCountsEveryDevice) {
    const RewriteRules rules = DemoRules();
    BinMap map(rules);
    std::uint64_t state = 12345;
    const auto next = [&state] {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return static_cast<double>(state >> 11) / 9007199254740992.0;
    };
    constexpr int kDevices = 100000;
    DeviceEvent event;
    event.hasLength = event.hasWidth = true;
    for (int i = 0; i < kDevices; ++i) {
        event.polarity = i % 10 == 0 ? Polarity::P : Polarity::N;
        event.outcome = i % 7 == 0 ? DeviceOutcome::NoBin : DeviceOutcome::Replaced;
        event.width = std::pow(10.0, -7 + 4 * next());
        event.length = std::pow(10.0, -8 + 3 * next());
        map.add(i < kDevices / 2 ? "first.net" : "second.net", static_cast<std::uint64_t>(i + 1), event);
    }
    const std::string svg = map.svg();
    EXPECT_EQ(test::XmlProblem(svg), "");
    EXPECT_LT(svg.size(), 3u << 20);
    const std::size_t marks = Count(svg, "<(circle class=\"ok\"|path class=\"kept\")[^>]*><title>");
    EXPECT_LE(marks, 2 * 5000u);
    std::uint64_t counted = 0;
    const std::regex title("<title>(([0-9]+) devices here)?");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), title); it != std::sregex_iterator(); ++it) {
        counted += (*it)[2].matched ? std::stoull((*it)[2].str()) : 1;
    }
    EXPECT_EQ(counted, static_cast<std::uint64_t>(kDevices));
    EXPECT_NE(svg.find("larger mark: more devices there"), std::string::npos);
}

TEST(BinMap, TextOfAnyBytesStaysWellFormed) {
    struct Row {
        std::string bytes;
        std::string expected;
    };
    const std::string fffd = "\xEF\xBF\xBD";
    const std::vector<Row> rows{
        {"plain", "plain"},
        {"<&>\"'", "&lt;&amp;&gt;&quot;&apos;"},
        {"J\xC3\xB6rg \xE6\x97\xA5 \xF0\x9F\x98\x80", "J\xC3\xB6rg \xE6\x97\xA5 \xF0\x9F\x98\x80"},
        {std::string("a\0b\tc\x7F", 6), "a" + fffd + "b" + fffd + "c" + fffd},
        {"\xC0\xAF \xE0\x80\xAF", fffd + fffd + " " + fffd + fffd + fffd},                // overlong
        {"\xED\xA0\x80", fffd + fffd + fffd},                                             // surrogate
        {"\xEF\xBF\xBE\xF4\x90\x80\x80", fffd + fffd + fffd + fffd + fffd + fffd + fffd}, // U+FFFE, >U+10FFFF
        {"\xE6\x97", fffd + fffd},                                                        // cut short
        {"\x80z\xFF", fffd + "z" + fffd},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        std::string out;
        AppendXmlText(out, row.bytes);
        EXPECT_EQ(out, row.expected);
    }
    std::string lines;
    AppendXmlText(lines, "a\nb", true);
    EXPECT_EQ(lines, "a\nb");

    // Random bytes, weighted towards the lead and continuation bytes of UTF-8, always make a
    // well-formed element.
    std::uint64_t state = 99;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        for (int i = round % 17; i > 0; --i) {
            state = state * 6364136223846793005u + 1442695040888963407u;
            const auto pick = static_cast<unsigned>(state >> 56);
            bytes += static_cast<char>(pick < 96 ? 0x80 + pick % 64 : pick);
        }
        std::string element = "<t a=\"";
        AppendXmlText(element, bytes);
        element += "\">";
        AppendXmlText(element, bytes, true);
        element += "</t>";
        ASSERT_EQ(test::XmlProblem(element), "") << testing::PrintToString(bytes);
    }
}

TEST(BinMap, TickLabelsUseTheNetlistSuffixes) {
    const std::vector<std::pair<double, std::string>> rows{
        {0.5e-6, "0.5u"}, {1e-5, "10u"}, {1.8e-7, "0.18u"}, {5e-8, "50n"}, {1e-4, "0.1m"},
        {1e-3, "1m"},     {2e6, "2MEG"}, {1.0, "1"},        {20e3, "20k"}, {1e-20, "1e-20"},
    };
    for (const auto& [value, label] : rows) {
        EXPECT_EQ(EngineeringLabel(value), label) << value;
    }
}

TEST(BinMap, WrittenFileReplacesTheOldOneOrSaysWhyNot) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "map.svg", "old");
    EXPECT_TRUE(WriteBinMap(dir / "map.svg", "<svg/>").ok());
    EXPECT_EQ(test::ReadFileBytes(dir / "map.svg"), "<svg/>");
    const Result<void> failed = WriteBinMap(dir / "missing" / "map.svg", "<svg/>");
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().rfind("Error: Cannot write the bin map ", 0), 0u) << failed.error();
}

} // namespace
} // namespace tarvex
