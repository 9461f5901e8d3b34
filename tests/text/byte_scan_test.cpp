// SPDX-License-Identifier: MIT
#include "text/byte_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>

namespace tarvex {
namespace {

bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}

std::size_t NaiveFind(std::string_view data, std::string_view keyN, std::string_view keyP) {
    const std::size_t hit = std::min(data.find(keyN), data.find(keyP));
    return hit == std::string_view::npos ? data.size() : hit;
}

std::uint64_t NaiveCountLineEnds(std::string_view data) {
    std::uint64_t count = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        count += data[i] == '\n' || (data[i] == '\r' && (i + 1 == data.size() || data[i + 1] != '\n'));
    }
    return count;
}

// The line that holds pos, found byte by byte. Its index counts the line ends before its start (a
// "\r" just before it as one), plus splits: the earlier lines that began inside a "\r\n" pair.
LineWalk::Line NaiveLineAt(std::string_view data, std::size_t pos, std::uint64_t splits) {
    LineWalk::Line line;
    line.start = pos;
    while (line.start > 0 && !IsLineEnd(data[line.start - 1])) {
        --line.start;
    }
    line.end = pos;
    while (line.end < data.size() && !IsLineEnd(data[line.end])) {
        ++line.end;
    }
    if (line.end < data.size()) {
        line.end +=
            data[line.end] == '\r' && line.end + 1 < data.size() && data[line.end + 1] == '\n' ? 2 : 1;
    }
    line.index = NaiveCountLineEnds(data.substr(0, line.start)) + splits;
    return line;
}

// Short alphabets make Keys and near misses frequent; lengths cross the 16-byte blocks, and Keys
// longer than a block take the byte-by-byte path.
TEST(KeyScannerTest, AgreesWithANaiveSearchOnRandomData) {
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        std::string data(random() % 80, 'a');
        for (char& c : data) {
            c = "ABCab\n\r"[random() % 7];
        }
        std::string keyN(1 + random() % 4, 'A');
        std::string keyP(1 + random() % 20, 'A');
        for (char& c : keyN) {
            c = "ABC"[random() % 3];
        }
        for (char& c : keyP) {
            c = "ABC"[random() % 3];
        }
        const KeyScanner scanner(keyN, keyP);
        const std::size_t from = data.empty() ? 0 : random() % data.size();
        ASSERT_EQ(scanner.find(std::string_view(data).substr(from)),
                  NaiveFind(std::string_view(data).substr(from), keyN, keyP))
            << data << " / " << keyN << " / " << keyP;
    }
}

TEST(KeyScannerTest, EmptyKeyBeginsEverywhereAndKeysFarIntoLongData) {
    EXPECT_EQ(KeyScanner("", "MODxyP").find("abc"), 0u);
    EXPECT_EQ(KeyScanner("MODxyN", "MODxyP").find(""), 0u);
    std::string data(100000, 'M');
    data += "MODxyP";
    EXPECT_EQ(KeyScanner("MODxyN", "MODxyP").find(data), 100000u);
    EXPECT_EQ(KeyScanner("MODxyN", "MODxyP").find(std::string_view(data).substr(0, data.size() - 1)),
              data.size() - 1);
}

// Short alphabets make line ends of every kind frequent, lengths cross the 16-byte blocks, and the
// lines asked for are near one another or far apart; the walk ends with the text's count.
// Line starts where a directive may stand: its first byte is the one asked for or a blank, after
// "\n", "\r\n" or a lone "\r", or at the very start; found across the vector scan's 16-byte blocks.
TEST(NextLineStartingWithTest, FindsLineStartsOfDirectives) {
    const std::string padding(40, 'x');
    const struct {
        std::string data;
        std::size_t from;
        std::size_t expected;
    } cases[] = {
        {".param a=1\n", 0, 0},
        {"M1 a\n.param\n", 0, 5},
        {"M1 a\r\n  .param\n", 0, 6},
        {"M1 a\r.end", 0, 5},
        {"M1 a.b\nR1 .x\n", 0, 13},
        {padding + "\n" + padding + "\n\t.ends", 0, 82},
        {padding + "\r\n" + padding + ".x\n.y", 0, 85},
        {".a\n.b\n", 1, 3},
        {"", 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NextLineStartingWith(c.data, c.from, '.'), c.expected) << c.data;
    }
}

TEST(LineWalkTest, AgreesWithANaiveWalkOnRandomData) {
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        std::string data(random() % 120, 'a');
        for (char& c : data) {
            c = "ABab\n\r"[random() % (round % 2 == 0 ? 6 : 5)];
        }
        SCOPED_TRACE(testing::PrintToString(data));
        LineWalk walk(data);
        std::uint64_t splits = 0;
        for (std::size_t pos = random() % 20; pos < data.size(); pos += random() % 40) {
            const bool split = pos > 0 && data[pos - 1] == '\r' && data[pos] == '\n';
            splits += split ? 1 : 0;
            const LineWalk::Line line = walk.lineAt(pos);
            const LineWalk::Line expected = NaiveLineAt(data, pos, splits - (split ? 1 : 0));
            ASSERT_EQ(line.start, expected.start) << pos;
            ASSERT_EQ(line.end, expected.end) << pos;
            ASSERT_EQ(walk.number(line), expected.index) << pos;
            pos = line.end;
        }
        ASSERT_EQ(walk.lineEnds(), NaiveCountLineEnds(data));
        ASSERT_EQ(CountLineEnds(data), NaiveCountLineEnds(data));
    }
}

// A Key that begins with the "\n" of a "\r\n" starts its line after the "\r": once that line's
// number is asked for (twice here, counted once), it and the later lines count the "\r" as a line
// end of its own; unasked, it changes no number. The text's count takes the pair once either way.
TEST(LineWalkTest, LineStartingInsideACrLfPair) {
    const std::string_view data = "a\r\nb\nc\r\nd";
    for (const bool asked : {true, false}) {
        SCOPED_TRACE(asked);
        LineWalk walk(data);
        const LineWalk::Line split = walk.lineAt(2);
        EXPECT_EQ(split.start, 2u);
        EXPECT_EQ(split.end, 3u);
        if (asked) {
            EXPECT_EQ(walk.number(split), 1u);
            EXPECT_EQ(walk.number(split), 1u);
        }
        const LineWalk::Line later = walk.lineAt(8);
        EXPECT_EQ(later.start, 8u);
        EXPECT_EQ(later.end, 9u);
        EXPECT_EQ(walk.number(later), asked ? 4u : 3u);
        EXPECT_EQ(walk.lineEnds(), 3u);
    }
}

// Long runs: the walk and the count sum their per-lane counters every few thousand bytes, and a lane
// may see a line end in every block.
TEST(LineWalkTest, CountsLineEndsOverLongData) {
    std::mt19937 random(11);
    for (const char* alphabet : {"\n", "\r", "\r\n", "ab\r\n", "abcdefgh\n"}) {
        const std::string_view letters(alphabet);
        std::string data(100000 + random() % 5000, 'x');
        for (char& c : data) {
            c = letters[random() % letters.size()];
        }
        SCOPED_TRACE(testing::PrintToString(std::string(alphabet)));
        EXPECT_EQ(CountLineEnds(data), NaiveCountLineEnds(data));
        EXPECT_EQ(CountLineEnds(std::string_view(data).substr(3)),
                  NaiveCountLineEnds(std::string_view(data).substr(3)));
        LineWalk walk(data);
        const LineWalk::Line line = walk.lineAt(data.size() / 2);
        EXPECT_EQ(walk.number(line), NaiveLineAt(data, data.size() / 2, 0).index);
        EXPECT_EQ(walk.lineEnds(), NaiveCountLineEnds(data));
    }
}

TEST(LineWalkTest, LongLinesWithoutLineEnds) {
    std::string data(100000, 'M');
    LineWalk whole(data);
    const LineWalk::Line only = whole.lineAt(99999);
    EXPECT_EQ(only.start, 0u);
    EXPECT_EQ(only.end, 100000u);
    EXPECT_EQ(whole.lineEnds(), 0u);
    data[70000] = '\n';
    LineWalk walk(data);
    const LineWalk::Line second = walk.lineAt(80000);
    EXPECT_EQ(second.start, 70001u);
    EXPECT_EQ(second.end, 100000u);
    EXPECT_EQ(second.index, 1u);
    EXPECT_EQ(walk.lineEnds(), 1u);
}

} // namespace
} // namespace tarvex
