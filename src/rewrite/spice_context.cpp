// SPDX-License-Identifier: MIT
#include "rewrite/spice_context.h"

#include "bins/spice_number.h"
#include "rewrite/chunk_rewrite.h"
#include "rewrite/logical_lines.h"
#include "text/byte_scan.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <set>

namespace tarvex {
namespace {

// Parameters defined through more parameters than this are refused, so no chain exhausts the stack.
constexpr int kMaxParameterDepth = 64;

// What each byte is to the tokenizer, looked up in one table: a branch per byte instead of several.
enum : std::uint8_t { kBlank = 1, kNameStart = 2, kNameChar = 4, kGroups = 8 };

constexpr std::array<std::uint8_t, 256> kByteClass = [] {
    std::array<std::uint8_t, 256> table{};
    for (const unsigned char c : {' ', '\t', '\f', '\v', '\r', '\n'}) {
        table[c] = kBlank;
    }
    for (int c = 0; c < 256; ++c) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_') {
            table[static_cast<std::size_t>(c)] = kNameStart | kNameChar;
        } else if (c >= '0' && c <= '9') {
            table[static_cast<std::size_t>(c)] = kNameChar;
        }
    }
    for (const unsigned char c : {'{', '}', '\'', '"'}) {
        table[c] = kGroups;
    }
    return table;
}();

bool Is(char c, std::uint8_t what) {
    return (kByteClass[static_cast<unsigned char>(c)] & what) != 0;
}

bool IsBlank(char c) {
    return Is(c, kBlank);
}

bool IsNameStart(char c) {
    return Is(c, kNameStart);
}

bool IsNameChar(char c) {
    return Is(c, kNameChar);
}

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    return at;
}

// The end of the value or token that starts at at: a brace group (nested) or a quoted text runs to
// its close, blanks included; anything else to the next blank.
std::size_t ValueEnd(std::string_view text, std::size_t at) {
    std::size_t i = at;
    // A plain token, the usual case, ends at its first blank.
    while (i < text.size() && !Is(text[i], kBlank | kGroups)) {
        ++i;
    }
    int braces = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '{') {
            ++braces;
        } else if (c == '}' && braces > 0) {
            --braces;
        } else if ((c == '\'' || c == '"') && braces == 0) {
            const std::size_t close = text.find(c, i + 1);
            i = close == std::string_view::npos ? text.size() : close + 1;
            continue;
        } else if (braces == 0 && IsBlank(c)) {
            break;
        }
        ++i;
    }
    return i;
}

// One scope's definitions as written, before they are evaluated.
using Definitions = std::map<std::string, std::string, std::less<>>;

// Evaluates each definition once, on demand, in the scope that defines it.
class Resolver {
public:
    Resolver(std::vector<SpiceContext::Scope>& scopes, const std::vector<Definitions>& definitions)
        : m_scopes(scopes), m_definitions(definitions) {}

    const Result<double>* resolve(int scope, const std::string& name) {
        auto& values = m_scopes[static_cast<std::size_t>(scope)].values;
        if (const auto found = values.find(name); found != values.end()) {
            return &found->second;
        }
        const auto key = std::make_pair(scope, name);
        if (m_inProgress.count(key) > 0 || m_depth >= kMaxParameterDepth) {
            const std::string why = m_depth >= kMaxParameterDepth ? " is defined through too many parameters"
                                                                  : " is defined through itself";
            return &m_failures.emplace(key, Fail(name + why)).first->second;
        }
        m_inProgress.insert(key);
        ++m_depth;
        bool parameter = false;
        const std::string& text = m_definitions[static_cast<std::size_t>(scope)].find(name)->second;
        Result<double> value = EvaluateValue(text, Lookup(*this, scope), parameter);
        --m_depth;
        m_inProgress.erase(key);
        return &values.insert_or_assign(name, std::move(value)).first->second;
    }

    void resolveAll() {
        for (std::size_t scope = 0; scope < m_definitions.size(); ++scope) {
            for (const auto& [name, text] : m_definitions[scope]) {
                resolve(static_cast<int>(scope), name);
            }
        }
    }

    class Lookup final : public ParameterScope {
    public:
        Lookup(Resolver& resolver, int scope) : m_resolver(resolver), m_scope(scope) {}
        const Result<double>* find(std::string_view lowerName) const override {
            for (int s = m_scope; s >= 0; s = m_resolver.m_scopes[static_cast<std::size_t>(s)].parent) {
                const Definitions& here = m_resolver.m_definitions[static_cast<std::size_t>(s)];
                if (const auto found = here.find(lowerName); found != here.end()) {
                    return m_resolver.resolve(s, found->first);
                }
            }
            return nullptr;
        }

    private:
        Resolver& m_resolver;
        int m_scope;
    };

private:
    std::vector<SpiceContext::Scope>& m_scopes;
    const std::vector<Definitions>& m_definitions;
    std::set<std::pair<int, std::string>> m_inProgress;
    std::map<std::pair<int, std::string>, Result<double>> m_failures;
    int m_depth = 0;
};

} // namespace

std::vector<Assignment> ReadAssignments(std::string_view text) {
    std::vector<Assignment> assignments;
    ReadAssignments(text, assignments);
    return assignments;
}

void ReadAssignments(std::string_view text, std::vector<Assignment>& assignments) {
    assignments.clear();
    std::size_t i = SkipBlanks(text, 0);
    while (i < text.size()) {
        if (IsNameStart(text[i])) {
            std::size_t j = i + 1;
            while (j < text.size() && IsNameChar(text[j])) {
                ++j;
            }
            std::size_t k = SkipBlanks(text, j);
            if (k < text.size() && text[k] == '=' && (k + 1 >= text.size() || text[k + 1] != '=')) {
                k = SkipBlanks(text, k + 1);
                const std::size_t end = ValueEnd(text, k);
                std::string_view value = text.substr(k, end - k);
                // "W= AD=1p": W has no value, and AD is the next assignment.
                if (value.find('=') != std::string_view::npos && value.front() != '{' && value.front() != '\'' &&
                    value.front() != '"') {
                    assignments.push_back({text.substr(i, j - i), {}});
                    i = k;
                    continue;
                }
                assignments.push_back({text.substr(i, j - i), value});
                i = SkipBlanks(text, end);
                continue;
            }
        }
        i = SkipBlanks(text, ValueEnd(text, i + 1));
    }
}

Result<double> EvaluateValue(std::string_view value, const ParameterScope& scope, bool& parameter) {
    parameter = false;
    if (value.empty()) {
        return Fail("no value");
    }
    if (const std::optional<double> number = ParseSpiceNumber(value)) {
        return *number;
    }
    parameter = true;
    const char open = value.front();
    if (open == '{' || open == '\'' || open == '"') {
        const char close = open == '{' ? '}' : open;
        if (value.size() < 2 || value.back() != close) {
            return Fail(std::string("the closing ") + close + " is missing");
        }
        return EvaluateExpression(value.substr(1, value.size() - 2), scope);
    }
    return EvaluateExpression(value, scope);
}

int SpiceContext::scopeAt(std::uint64_t offset) const {
    const auto after = std::upper_bound(m_changes.begin(), m_changes.end(), offset,
                                        [](std::uint64_t at, const auto& change) { return at < change.first; });
    return after == m_changes.begin() ? 0 : std::prev(after)->second;
}

const Result<double>* SpiceContext::View::find(std::string_view lowerName) const {
    for (int s = m_scope; s >= 0; s = m_context.m_scopes[static_cast<std::size_t>(s)].parent) {
        const auto& values = m_context.m_scopes[static_cast<std::size_t>(s)].values;
        if (const auto found = values.find(lowerName); found != values.end()) {
            return &found->second;
        }
    }
    return nullptr;
}

// Reads the directive lines of netlist text, which starts at offset in the whole netlist and ends
// between devices, into the scopes, definitions and scale collected so far.
class SpiceContextBuilder {
public:
    SpiceContextBuilder() {
        m_context.m_scopes.emplace_back();
    }

    void add(std::string_view text, std::uint64_t offset) {
        for (std::size_t at = NextLineStartingWith(text, 0, '.'); at < text.size();
             at = NextLineStartingWith(text, at, '.')) {
            const std::size_t first = SkipLineBlanks(text, at);
            if (first >= text.size() || text[first] != '.') {
                at = LineEndAfter(text, first);
                continue;
            }
            ReadLogicalLine(text, at, m_line);
            directive(text, first, offset);
            at = m_line.end;
        }
    }

    SpiceContext finish() {
        Resolver resolver(m_context.m_scopes, m_definitions);
        resolver.resolveAll();
        if (m_scaleText) {
            bool parameter = false;
            m_context.m_scale = EvaluateValue(*m_scaleText, Resolver::Lookup(resolver, 0), parameter);
        }
        return std::move(m_context);
    }

private:
    static std::size_t SkipLineBlanks(std::string_view text, std::size_t at) {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\f' || text[at] == '\v')) {
            ++at;
        }
        return at;
    }

    // The directive whose first line is m_line, its '.' at first.
    void directive(std::string_view netlist, std::size_t first, std::uint64_t offset) {
        JoinPieces(netlist, m_line, m_joined);
        const std::string_view text = std::string_view(m_joined).substr(first - m_line.begin);
        const std::size_t wordEnd = std::min(text.find_first_of(" \t\f\v"), text.size());
        const std::string directive = LowerAscii(text.substr(0, wordEnd));
        const std::string_view rest = text.substr(wordEnd);
        const int scope = m_open.back();
        if (directive == ".subckt") {
            const int inner = static_cast<int>(m_context.m_scopes.size());
            SpiceContext::Scope& created = m_context.m_scopes.emplace_back();
            created.parent = scope;
            const std::size_t nameStart = SkipBlanks(rest, 0);
            created.name = LowerAscii(rest.substr(nameStart, ValueEnd(rest, nameStart) - nameStart));
            m_definitions.emplace_back();
            for (const Assignment& assignment : ReadAssignments(rest)) {
                m_definitions.back().insert_or_assign(LowerAscii(assignment.name), std::string(assignment.value));
            }
            m_open.push_back(inner);
            m_context.m_changes.emplace_back(offset + m_line.begin, inner);
        } else if (directive == ".ends") {
            if (m_open.size() > 1) {
                m_open.pop_back();
            }
            m_context.m_changes.emplace_back(offset + m_line.end, m_open.back());
        } else if (directive == ".param") {
            for (const Assignment& assignment : ReadAssignments(rest)) {
                m_definitions[static_cast<std::size_t>(scope)].insert_or_assign(LowerAscii(assignment.name),
                                                                                std::string(assignment.value));
            }
        } else if (directive == ".option" || directive == ".options") {
            for (const Assignment& assignment : ReadAssignments(rest)) {
                if (LowerAscii(assignment.name) == "scale") {
                    m_scaleText = std::string(assignment.value);
                }
            }
        }
    }

    SpiceContext m_context;
    std::vector<Definitions> m_definitions = std::vector<Definitions>(1);
    std::vector<int> m_open{0};
    std::optional<std::string> m_scaleText;
    LogicalLine m_line;
    std::string m_joined;
};

SpiceContext CollectSpiceContext(std::string_view netlist) {
    SpiceContextBuilder builder;
    builder.add(netlist, 0);
    return builder.finish();
}

Result<SpiceContext> CollectSpiceContext(ByteReader& in, std::size_t chunkSize) {
    SpiceContextBuilder builder;
    ChunkReader reader(in, chunkSize, true);
    Chunk chunk;
    do {
        if (const Result<void> read = reader.fill(chunk); !read) {
            return Fail(read.code());
        }
        builder.add(chunk.text(), chunk.offset);
    } while (!chunk.last);
    return builder.finish();
}

} // namespace tarvex
