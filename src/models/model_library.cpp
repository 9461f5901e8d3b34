// SPDX-License-Identifier: MIT
#include "models/model_library.h"

#include "files/byte_stream.h"
#include "files/paths.h"

#include <cstdio>
#include <map>
#include <set>
#include <tuple>
#include <utility>

namespace tarvex {
namespace {

constexpr int kMaxIncludeDepth = 64;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// A physical line without its inline comment: ';' anywhere, '$' at the start or after white space.
std::string_view WithoutInlineComment(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ';' || (line[i] == '$' && (i == 0 || IsSpace(line[i - 1])))) {
            return line.substr(0, i);
        }
    }
    return line;
}

struct LogicalLine {
    int number = 0; // of its first physical line
    std::string text;
};

// Joins "+" continuation lines to the line they continue; comment and blank lines in between are
// skipped, as simulators do.
std::vector<LogicalLine> LogicalLines(std::string_view text) {
    std::vector<LogicalLine> lines;
    int number = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(pos, end - pos);
        pos = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
        ++number;
        std::size_t first = 0;
        while (first < line.size() && IsSpace(line[first])) {
            ++first;
        }
        line.remove_prefix(first);
        if (line.empty() || line[0] == '*') {
            continue;
        }
        line = WithoutInlineComment(line);
        if (line[0] == '+') {
            if (!lines.empty()) {
                lines.back().text += ' ';
                lines.back().text += line.substr(1);
            }
            continue;
        }
        lines.push_back({number, std::string(line)});
    }
    return lines;
}

// Splits a card or directive into words: white space, commas and parentheses separate, '=' is a
// word of its own, and text in braces or quotes stays one word ("{a * b}", "'x + 1'").
std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    int braces = 0;
    char quote = 0;
    auto flush = [&] {
        if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    };
    for (const char c : text) {
        if (quote != 0) {
            word += c;
            if (c == quote) {
                quote = 0;
            }
        } else if (braces > 0) {
            word += c;
            braces += c == '{' ? 1 : c == '}' ? -1 : 0;
        } else if (c == '{') {
            word += c;
            braces = 1;
        } else if (c == '\'' || c == '"') {
            word += c;
            quote = c;
        } else if (IsSpace(c) || c == ',' || c == '(' || c == ')') {
            flush();
        } else if (c == '=') {
            flush();
            words.emplace_back("=");
        } else {
            word += c;
        }
    }
    flush();
    return words;
}

std::string_view Unquoted(std::string_view word) {
    if (word.size() >= 2 && (word.front() == '"' || word.front() == '\'') && word.back() == word.front()) {
        return word.substr(1, word.size() - 2);
    }
    return word;
}

// name = value pairs of a card or a .param line, from words[from] on.
std::vector<std::pair<std::string, std::string>> Assignments(const std::vector<std::string>& words,
                                                             std::size_t from) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t i = from; i + 2 < words.size(); ++i) {
        if (words[i + 1] == "=" && words[i] != "=" && words[i + 2] != "=") {
            pairs.emplace_back(LowerName(words[i]), words[i + 2]);
            i += 2;
        }
    }
    return pairs;
}

struct FileKey {
    std::string path;
    std::string section;
    bool operator<(const FileKey& other) const {
        return std::tie(path, section) < std::tie(other.path, other.section);
    }
};

class Reader {
public:
    Reader(ModelLibrary& library, std::vector<std::string> sections, const LibraryFileSource& source)
        : m_library(library), m_source(source) {
        for (const std::string& section : sections) {
            m_sections.insert(LowerName(section));
        }
    }

    // Reads path; with onlySection, only the lines of that ".lib" section.
    void readFile(const std::filesystem::path& path, const std::string& onlySection,
                  const std::string& inherited, const LibraryNote& from, int depth) {
        std::error_code error;
        std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
        if (error) {
            canonical = path;
        }
        if (!m_read.insert({canonical.generic_string(), LowerName(onlySection)}).second) {
            return; // read already, or being read: an include of itself
        }
        if (depth > kMaxIncludeDepth) {
            m_library.errors.push_back(
                {from.file, from.line, "includes nested too deeply: " + QuotedPath(path)});
            return;
        }
        const Result<std::string> text = m_source(path);
        if (!text) {
            const std::string what = "Cannot read " + QuotedPath(path) + ": " + text.error();
            m_library.errors.push_back({from.file.empty() ? path : from.file, from.line, what});
            return;
        }
        // A file entered again for another section is listed once.
        if (m_filesRead.insert(canonical.generic_string()).second) {
            m_library.filesRead.push_back(path);
        }
        readText(*text, path, onlySection, inherited, depth);
    }

    void readText(std::string_view text, const std::filesystem::path& path, const std::string& onlySection,
                  const std::string& inherited, int depth) {
        std::string section; // the ".lib NAME" being read in this file
        bool inSection = false;
        // An include is read in place, so a card it holds inside a ".subckt" of the includer is local
        // to it; a file that leaves a ".subckt" open does not carry it past its end.
        std::vector<std::string>& subcircuits = m_subcircuits;
        const std::size_t enclosing = subcircuits.size();
        for (const LogicalLine& line : LogicalLines(text)) {
            const std::vector<std::string> words = Words(line.text);
            if (words.empty()) {
                continue;
            }
            const std::string directive = LowerName(words[0]);
            const LibraryNote here{path, line.number, {}};
            if (directive == ".lib" && words.size() == 2) {
                section = std::string(Unquoted(words[1]));
                inSection = true;
                continue;
            }
            if (directive == ".endl") {
                section.clear();
                inSection = false;
                continue;
            }
            // Lines outside a section asked for, or inside one not asked for, are skipped.
            const bool wanted = onlySection.empty() ? (!inSection || m_sections.empty() ||
                                                       m_sections.count(LowerName(section)) > 0)
                                                    : (inSection && SameName(section, onlySection));
            if (!wanted) {
                continue;
            }
            const std::string& cardSection = inSection ? section : inherited;
            if (directive == ".include" || directive == ".inc" ||
                (directive == ".lib" && words.size() >= 3)) {
                if (words.size() < 2) {
                    continue;
                }
                const std::filesystem::path named = PathFromText(Unquoted(words[1]));
                const std::filesystem::path target = named.is_absolute() ? named : path.parent_path() / named;
                const std::string only =
                    directive == ".lib" ? std::string(Unquoted(words[2])) : std::string();
                readFile(target, only, cardSection, here, depth + 1);
            } else if (directive == ".subckt") {
                subcircuits.push_back(words.size() > 1 ? words[1] : std::string());
            } else if (directive == ".ends") {
                if (subcircuits.size() > enclosing) {
                    subcircuits.pop_back();
                }
            } else if (directive == ".param") {
                const std::string scope = subcircuits.empty() ? std::string() : LowerName(subcircuits.back());
                for (const auto& [name, value] : Assignments(words, 1)) {
                    if (const auto number = evaluate(value, scope)) {
                        m_params[{scope, name}] = *number;
                    }
                }
            } else if (directive == ".option" || directive == ".options" || directive == ".opt") {
                for (const auto& [name, value] : Assignments(words, 1)) {
                    if (name == "scale") {
                        m_library.scaleOptions.push_back({path, line.number, ".option scale=" + value});
                    }
                }
            } else if (directive == ".model" && words.size() >= 3) {
                readCard(words, here, cardSection, subcircuits);
            }
        }
        subcircuits.resize(enclosing);
    }

private:
    void readCard(const std::vector<std::string>& words, const LibraryNote& where, const std::string& section,
                  const std::vector<std::string>& subcircuits) {
        const std::string type = LowerName(words[2]);
        if (type != "nmos" && type != "pmos") {
            return;
        }
        ModelCard card;
        card.name = words[1];
        card.type = type == "nmos" ? ModelType::Nmos : ModelType::Pmos;
        card.file = where.file;
        card.line = where.line;
        card.section = section;
        card.subcircuit = subcircuits.empty() ? std::string() : subcircuits.back();
        const std::string scope = LowerName(card.subcircuit);
        for (const auto& [name, value] : Assignments(words, 3)) {
            std::optional<ModelBound>* bound = name == "lmin"   ? &card.lmin
                                               : name == "lmax" ? &card.lmax
                                               : name == "wmin" ? &card.wmin
                                               : name == "wmax" ? &card.wmax
                                                                : nullptr;
            if (bound != nullptr) {
                *bound = ModelBound{evaluate(value, scope), value};
            }
        }
        m_library.cards.push_back(std::move(card));
    }

    // A number, or a plain parameter (in braces or quotes or not) whose value is a number.
    std::optional<double> evaluate(std::string_view text, const std::string& scope) const {
        if (text.size() >= 2 && text.front() == '{' && text.back() == '}') {
            text = text.substr(1, text.size() - 2);
        } else {
            text = Unquoted(text);
        }
        while (!text.empty() && IsSpace(text.front())) {
            text.remove_prefix(1);
        }
        while (!text.empty() && IsSpace(text.back())) {
            text.remove_suffix(1);
        }
        if (const auto number = ParseSpiceNumber(text)) {
            return number;
        }
        const std::string name = LowerName(text);
        for (const std::string& where : {scope, std::string()}) {
            const auto found = m_params.find({where, name});
            if (found != m_params.end()) {
                return found->second;
            }
        }
        return std::nullopt;
    }

    ModelLibrary& m_library;
    const LibraryFileSource& m_source;
    std::set<std::string> m_sections;
    std::set<FileKey> m_read;
    std::set<std::string> m_filesRead;      // canonical paths of library.filesRead
    std::vector<std::string> m_subcircuits; // the ".subckt" being read, innermost last
    std::map<std::pair<std::string, std::string>, double> m_params; // (subcircuit, name), both lower case
};

} // namespace

std::string_view TypeName(ModelType type) {
    return type == ModelType::Nmos ? "nmos" : "pmos";
}

bool ModelCard::binned() const {
    return lmin && lmin->value && lmax && lmax->value && wmin && wmin->value && wmax && wmax->value;
}

std::string LowerName(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) {
        c = Lower(c);
    }
    return lower;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

Result<std::string> ReadLibraryFile(const std::filesystem::path& path) {
    std::error_code statusError;
    const std::filesystem::file_status status = std::filesystem::status(path, statusError);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        return Fail(std::filesystem::is_directory(status) ? "it is a folder" : "it is not a regular file");
    }
    std::error_code openError;
    const FilePtr file = OpenFile(path, "rb", openError);
    if (!file) {
        return Fail(ErrorText(openError.value()));
    }
    std::string text;
    char buffer[1 << 14];
    FileReader reader(file.get());
    for (;;) {
        const ReadResult read = reader.read(buffer);
        if (read.error) {
            return Fail(ErrorText(read.error));
        }
        if (read.size == 0) {
            return text;
        }
        text.append(buffer, read.size);
    }
}

ModelLibrary ReadModelLibrary(const std::vector<std::filesystem::path>& files,
                              const std::vector<std::string>& sections, const LibraryFileSource& source) {
    ModelLibrary library;
    Reader reader(library, sections, source);
    for (const std::filesystem::path& file : files) {
        reader.readFile(file, {}, {}, {}, 0);
    }
    return library;
}

ModelLibrary ReadModelLibraryText(std::string_view text, const std::filesystem::path& path,
                                  const std::vector<std::string>& sections, const LibraryFileSource& source) {
    ModelLibrary library;
    Reader reader(library, sections, source);
    reader.readText(text, path, {}, {}, 0);
    return library;
}

} // namespace tarvex
