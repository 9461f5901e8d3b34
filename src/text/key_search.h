// SPDX-License-Identifier: MIT
// The search of a text for a set of Keys, by the standard library's substring search.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace tarvex {

// Keys that begin with the same byte are looked for together, by the longest start they share
// ("MODxy" for "MODxyN" and "MODxyP"), and each place it occurs is checked against each of them.
// Built once for a run; the Keys' bytes are kept by the caller.
class KeySet {
public:
    explicit KeySet(std::span<const std::string_view> keys);

    // The search of one text, for positions that only grow: the next occurrence of each group is
    // looked for once and kept until the position passes it, so the text is searched once per
    // group however many times it is asked.
    class Cursor {
    public:
        // The first position at or after from where a Key begins and fits in the text, or the
        // text's size when none does. An empty Key begins everywhere. from never decreases.
        std::size_t next(std::size_t from);

    private:
        friend class KeySet;
        Cursor(const KeySet& keys, std::string_view text);

        const KeySet& m_keys;
        std::string_view m_text;
        std::vector<std::size_t> m_next; // per group: the occurrence found, or npos before any search
    };

    // A cursor keeps the set: it cannot be made from a set about to end.
    Cursor in(std::string_view text) const& { return Cursor(*this, text); }
    Cursor in(std::string_view text) const&& = delete;

private:
    struct Group {
        std::string_view shared; // the start all its Keys share
        std::vector<std::string_view> keys;
    };

    // The first occurrence of a Key of group at or after from in text, or text.size().
    static std::size_t find(const Group& group, std::string_view text, std::size_t from);

    std::vector<Group> m_groups;
    bool m_anyEmpty = false;
};

} // namespace tarvex
