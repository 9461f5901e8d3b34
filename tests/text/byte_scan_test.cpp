// SPDX-License-Identifier: MIT
#include "text/byte_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {
namespace {

std::size_t NaiveFind(std::string_view data, std::string_view keyN, std::string_view keyP) {
    const std::size_t hit = std::min(data.find(keyN), data.find(keyP));
    return hit == std::string_view::npos ? data.size() : hit;
}

std::size_t NaiveLineStart(std::string_view data, std::size_t floor, std::size_t pos) {
    while (pos > floor && data[pos - 1] != '\n' && data[pos - 1] != '\r') {
        --pos;
    }
    return pos;
}

std::uint64_t NaiveCountLineEnds(std::string_view data) {
    std::uint64_t count = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        count += data[i] == '\n' || (data[i] == '\r' && (i + 1 == data.size() || data[i + 1] != '\n'));
    }
    return count;
}

// Short alphabets make Keys, near misses and line ends frequent; lengths cross the 16-byte blocks.
TEST(ByteScanTest, AgreesWithNaiveSearchesOnRandomData) {
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
        const std::size_t pos = data.empty() ? 0 : from + random() % (data.size() - from + 1);
        ASSERT_EQ(LineStartBefore(data, from, pos), NaiveLineStart(data, from, pos)) << data;
        ASSERT_EQ(CountLineEnds(std::string_view(data).substr(from)),
                  NaiveCountLineEnds(std::string_view(data).substr(from)))
            << data;
    }
}

// Long runs: the line-end count sums its per-lane counters every few thousand bytes, and a lane
// may see a line end in every block.
TEST(ByteScanTest, CountsLineEndsOverLongData) {
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
    }
}

TEST(ByteScanTest, EmptyKeyBeginsEverywhere) {
    EXPECT_EQ(KeyScanner("", "MODxyP").find("abc"), 0u);
    EXPECT_EQ(KeyScanner("MODxyN", "MODxyP").find(""), 0u);
    EXPECT_EQ(KeySetScanner({"MODxyN", ""}).find("abc"), 0u);
    EXPECT_EQ(KeySetScanner({"MODxyN"}).find(""), 0u);
    EXPECT_EQ(KeySetScanner({}).find("MODxyN"), 6u);
}

// Up to six Keys of up to 20 bytes, sharing first bytes, lengths and last bytes or repeated, from a
// short alphabet: the set scan finds the first position where any of them begins.
TEST(ByteScanTest, KeySetAgreesWithNaiveSearch) {
    std::mt19937 random(17);
    for (int round = 0; round < 20000; ++round) {
        std::string data(random() % 100, 'a');
        for (char& c : data) {
            c = "ABCab\n"[random() % 6];
        }
        std::vector<std::string> keys(random() % 7);
        for (std::string& key : keys) {
            key.assign(1 + (random() % 4 == 0 ? random() % 20 : random() % 4), 'A');
            for (char& c : key) {
                c = "ABC"[random() % 3];
            }
        }
        const std::vector<std::string_view> views(keys.begin(), keys.end());
        std::size_t expected = data.size();
        for (const std::string& key : keys) {
            expected = std::min(expected, std::min(data.find(key), data.size()));
        }
        std::string shown;
        for (const std::string& key : keys) {
            shown += " / " + key;
        }
        ASSERT_EQ(KeySetScanner(views).find(data), expected) << data << shown;
    }
}

TEST(ByteScanTest, FindsKeysFarIntoLongData) {
    std::string data(100000, 'M');
    data += "MODxyP";
    EXPECT_EQ(KeyScanner("MODxyN", "MODxyP").find(data), 100000u);
    EXPECT_EQ(LineStartBefore(data, 0, data.size()), 0u);
    data[70000] = '\n';
    EXPECT_EQ(LineStartBefore(data, 0, data.size()), 70001u);
    EXPECT_EQ(LineStartBefore(data, 80000, data.size()), 80000u);
}

} // namespace
} // namespace tarvex
