// SPDX-License-Identifier: MIT
#include "support/xml_check.h"

#include <cctype>
#include <vector>

namespace tarvex::test {
namespace {

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-' || c == '.' || c == ':';
}

// The characters XML 1.0 allows, decoded from strict UTF-8.
std::string EncodingProblem(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        char32_t code = c;
        if (c >= 0x80) {
            length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
            if (length == 0 || i + length > text.size()) {
                return "bad UTF-8 at byte " + std::to_string(i);
            }
            code = c & (0x7Fu >> length);
            for (std::size_t k = 1; k < length; ++k) {
                const auto next = static_cast<unsigned char>(text[i + k]);
                if ((next & 0xC0) != 0x80) {
                    return "bad UTF-8 at byte " + std::to_string(i);
                }
                code = (code << 6) | (next & 0x3Fu);
            }
            const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
            if (code < least[length]) {
                return "overlong UTF-8 at byte " + std::to_string(i);
            }
        }
        const bool allowed = code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
                             (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
        if (!allowed) {
            return "character not allowed at byte " + std::to_string(i);
        }
        i += length;
    }
    return {};
}

// Character data or an attribute value: '&' must start a reference, '<' may not appear.
std::string DataProblem(std::string_view data, std::size_t at) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] == '<') {
            return "'<' in text at byte " + std::to_string(at + i);
        }
        if (data[i] != '&') {
            continue;
        }
        const std::size_t end = data.find(';', i);
        if (end == std::string_view::npos) {
            return "unterminated reference at byte " + std::to_string(at + i);
        }
        const std::string_view name = data.substr(i + 1, end - i - 1);
        const bool named = name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos";
        bool numeric = name.size() > 1 && name[0] == '#';
        for (std::size_t k = 1; numeric && k < name.size(); ++k) {
            numeric = std::isxdigit(static_cast<unsigned char>(name[k])) != 0 || (k == 1 && name[k] == 'x');
        }
        if (!named && !numeric) {
            return "unknown reference at byte " + std::to_string(at + i);
        }
        i = end;
    }
    return {};
}

} // namespace

std::string XmlProblem(std::string_view text) {
    if (std::string problem = EncodingProblem(text); !problem.empty()) {
        return problem;
    }
    std::vector<std::string_view> open;
    bool rootSeen = false;
    std::size_t i = 0;
    if (text.substr(0, 5) == "<?xml") {
        i = text.find("?>");
        if (i == std::string_view::npos) {
            return "unterminated declaration";
        }
        i += 2;
    }
    while (i < text.size()) {
        const std::size_t lt = text.find('<', i);
        const std::string_view data = text.substr(i, lt == std::string_view::npos ? text.size() - i : lt - i);
        if (open.empty() && data.find_first_not_of(" \t\r\n") != std::string_view::npos) {
            return "text outside the root element at byte " + std::to_string(i);
        }
        if (std::string problem = DataProblem(data, i); !problem.empty()) {
            return problem;
        }
        if (lt == std::string_view::npos) {
            break;
        }
        if (text.substr(lt, 4) == "<!--") {
            const std::size_t end = text.find("-->", lt + 4);
            if (end == std::string_view::npos) {
                return "unterminated comment";
            }
            i = end + 3;
            continue;
        }
        const bool closing = text.substr(lt, 2) == "</";
        std::size_t p = lt + (closing ? 2 : 1);
        const std::size_t nameStart = p;
        while (p < text.size() && IsNameChar(text[p])) {
            ++p;
        }
        const std::string_view name = text.substr(nameStart, p - nameStart);
        if (name.empty()) {
            return "tag without a name at byte " + std::to_string(lt);
        }
        if (closing) {
            while (p < text.size() && text[p] == ' ') {
                ++p;
            }
            if (p >= text.size() || text[p] != '>' || open.empty() || open.back() != name) {
                return "unmatched </" + std::string(name) + "> at byte " + std::to_string(lt);
            }
            open.pop_back();
            i = p + 1;
            continue;
        }
        if (open.empty() && rootSeen) {
            return "second root element at byte " + std::to_string(lt);
        }
        rootSeen = true;
        std::vector<std::string_view> attributes;
        for (;;) {
            const std::size_t before = p;
            while (p < text.size() && (text[p] == ' ' || text[p] == '\n' || text[p] == '\t')) {
                ++p;
            }
            if (p >= text.size()) {
                return "unterminated tag at byte " + std::to_string(lt);
            }
            if (text[p] == '>' || text.substr(p, 2) == "/>") {
                const bool empty = text[p] == '/';
                if (!empty) {
                    open.push_back(name);
                }
                i = p + (empty ? 2 : 1);
                break;
            }
            if (p == before) {
                return "no space before an attribute at byte " + std::to_string(p);
            }
            const std::size_t attributeStart = p;
            while (p < text.size() && IsNameChar(text[p])) {
                ++p;
            }
            const std::string_view attribute = text.substr(attributeStart, p - attributeStart);
            if (attribute.empty() || p + 1 >= text.size() || text[p] != '=' ||
                (text[p + 1] != '"' && text[p + 1] != '\'')) {
                return "bad attribute at byte " + std::to_string(attributeStart);
            }
            for (const std::string_view seen : attributes) {
                if (seen == attribute) {
                    return "repeated attribute at byte " + std::to_string(attributeStart);
                }
            }
            attributes.push_back(attribute);
            const char quote = text[p + 1];
            const std::size_t end = text.find(quote, p + 2);
            if (end == std::string_view::npos) {
                return "unterminated attribute at byte " + std::to_string(attributeStart);
            }
            if (std::string problem = DataProblem(text.substr(p + 2, end - p - 2), p + 2); !problem.empty()) {
                return problem;
            }
            p = end + 1;
        }
    }
    if (!rootSeen) {
        return "no root element";
    }
    if (!open.empty()) {
        return "<" + std::string(open.back()) + "> is never closed";
    }
    return {};
}

} // namespace tarvex::test
