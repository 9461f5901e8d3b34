// SPDX-License-Identifier: MIT
#include "text/key_search.h"

#include <algorithm>

namespace tarvex {

KeySet::KeySet(std::span<const std::string_view> keys) {
    for (const std::string_view key : keys) {
        if (key.empty()) {
            m_anyEmpty = true;
            continue;
        }
        const auto group = std::find_if(m_groups.begin(), m_groups.end(),
                                        [&](const Group& g) { return g.shared.front() == key.front(); });
        if (group == m_groups.end()) {
            m_groups.push_back({key, {key}});
            continue;
        }
        const auto shared =
            std::mismatch(group->shared.begin(), group->shared.end(), key.begin(), key.end()).first;
        group->shared = group->shared.substr(0, static_cast<std::size_t>(shared - group->shared.begin()));
        group->keys.push_back(key);
    }
}

std::size_t KeySet::find(const Group& group, std::string_view text, std::size_t from) {
    for (std::size_t at = text.find(group.shared, from); at != std::string_view::npos;
         at = text.find(group.shared, at + 1)) {
        const std::string_view rest = text.substr(at);
        if (std::any_of(group.keys.begin(), group.keys.end(),
                        [&](std::string_view key) { return rest.starts_with(key); })) {
            return at;
        }
    }
    return text.size();
}

KeySet::Cursor::Cursor(const KeySet& keys, std::string_view text)
    : m_keys(keys), m_text(text), m_next(keys.m_groups.size(), std::string_view::npos) {}

std::size_t KeySet::Cursor::next(std::size_t from) {
    if (m_keys.m_anyEmpty) {
        return std::min(from, m_text.size());
    }
    std::size_t first = m_text.size();
    for (std::size_t i = 0; i < m_next.size(); ++i) {
        if (m_next[i] == std::string_view::npos || m_next[i] < from) {
            m_next[i] = find(m_keys.m_groups[i], m_text, from);
        }
        first = std::min(first, m_next[i]);
    }
    return first;
}

} // namespace tarvex
