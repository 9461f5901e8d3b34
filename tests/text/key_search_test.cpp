// SPDX-License-Identifier: MIT
#include "text/key_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {
namespace {

std::size_t NaiveNext(std::string_view data, const std::vector<std::string>& keys, std::size_t from) {
    std::size_t first = data.size();
    for (const std::string& key : keys) {
        first = std::min(first, std::min(data.find(key, from), data.size()));
    }
    return first;
}

// Up to six Keys of up to 20 bytes from a short alphabet: Keys that share first bytes (and so a
// search), that begin one another or repeat, and Keys of other first bytes. The cursor is asked
// from positions that grow by small and large steps, past found Keys and short of them.
TEST(KeySetTest, AgreesWithANaiveSearchOnRandomData) {
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
                c = "ABCb"[random() % 4];
            }
        }
        const std::vector<std::string_view> views(keys.begin(), keys.end());
        const KeySet set(views);
        KeySet::Cursor cursor = set.in(data);
        SCOPED_TRACE(data + " / " + testing::PrintToString(keys));
        for (std::size_t from = 0; from <= data.size(); from += 1 + random() % 12) {
            ASSERT_EQ(cursor.next(from), NaiveNext(data, keys, from)) << from;
        }
    }
}

TEST(KeySetTest, EmptyKeyBeginsEverywhereAndNoKeyNowhere) {
    const std::vector<std::string_view> withEmpty{"MODxyN", ""};
    const KeySet emptyKey(withEmpty);
    KeySet::Cursor empty = emptyKey.in("abc");
    EXPECT_EQ(empty.next(0), 0u);
    EXPECT_EQ(empty.next(2), 2u);
    EXPECT_EQ(empty.next(3), 3u);
    const KeySet none(std::vector<std::string_view>{});
    EXPECT_EQ(none.in("MODxyN").next(0), 6u);
    const KeySet one(std::vector<std::string_view>{"MODxyN"});
    EXPECT_EQ(one.in("").next(0), 0u);
}

// A Key must fit in the text; a shared start that runs off its end is no Key.
TEST(KeySetTest, KeysFarIntoLongDataAndAtItsEnd) {
    const KeySet keys(std::vector<std::string_view>{"MODxyN", "MODxyP", "HVxyN"});
    std::string data(100000, 'M');
    data += "MODxyP";
    KeySet::Cursor cursor = keys.in(data);
    EXPECT_EQ(cursor.next(0), 100000u);
    EXPECT_EQ(cursor.next(100001), data.size());
    EXPECT_EQ(keys.in("xx MODxy").next(0), 8u);
    EXPECT_EQ(keys.in("xx HVxyN").next(0), 3u);
}

} // namespace
} // namespace tarvex
