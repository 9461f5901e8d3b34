// SPDX-License-Identifier: MIT
#include "process/output_records.h"

#include "files/byte_stream.h"
#include "files/paths.h"
#include "files/replacement_file.h"

#include <charconv>
#include <cstdint>
#include <sstream>
#include <string_view>

namespace tarvex {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kVersion = "tarvex-outputs-1";
constexpr auto kStoreWait = std::chrono::milliseconds(5000);

std::string Hex(std::string_view bytes) {
    std::string text;
    text.reserve(2 * bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += "0123456789abcdef"[byte >> 4];
        text += "0123456789abcdef"[byte & 0xF];
    }
    return text.empty() ? "-" : text;
}

std::optional<std::string> Unhex(std::string_view text) {
    if (text == "-") {
        return std::string();
    }
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (error != std::errc() || end != text.data() + i + 2) {
            return std::nullopt;
        }
        bytes += static_cast<char>(value);
    }
    return bytes;
}

void WriteStamp(std::ostream& out, const FileStamp& stamp) {
    out << ' ' << stamp.device << ' ' << stamp.inode << ' ' << stamp.size << ' ' << stamp.modified << ' '
        << stamp.changed;
}

bool ReadStamp(std::istream& in, FileStamp& stamp) {
    return static_cast<bool>(in >> stamp.device >> stamp.inode >> stamp.size >> stamp.modified >> stamp.changed);
}

// One record line: the file's key, the output's stamp, "1" and the source's stamp or "0", the Keys.
std::string FormatLine(const std::string& key, const OutputRecord& record) {
    std::ostringstream line;
    line.imbue(std::locale::classic());
    line << Hex(key);
    WriteStamp(line, record.written);
    line << (record.source ? " 1" : " 0");
    if (record.source) {
        WriteStamp(line, *record.source);
    }
    line << ' ' << record.keys.size();
    for (const std::string& binned : record.keys) {
        line << ' ' << Hex(binned);
    }
    line << '\n';
    return line.str();
}

struct Entry {
    std::string key;
    OutputRecord record;
    std::string line;
};

std::optional<Entry> ParseLine(const std::string& line) {
    std::istringstream in(line);
    in.imbue(std::locale::classic());
    Entry entry;
    std::string hexKey;
    int hasSource = 0;
    if (!(in >> hexKey) || !ReadStamp(in, entry.record.written) || !(in >> hasSource)) {
        return std::nullopt;
    }
    const auto key = Unhex(hexKey);
    if (!key) {
        return std::nullopt;
    }
    entry.key = *key;
    if (hasSource == 1) {
        entry.record.source.emplace();
        if (!ReadStamp(in, *entry.record.source)) {
            return std::nullopt;
        }
    }
    std::size_t keys = 0;
    if (!(in >> keys) || keys > 1000) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < keys; ++i) {
        std::string hexText;
        if (!(in >> hexText)) {
            return std::nullopt;
        }
        auto text = Unhex(hexText);
        if (!text) {
            return std::nullopt;
        }
        entry.record.keys.push_back(std::move(*text));
    }
    entry.line = line + '\n';
    return entry;
}

// Every well-formed record of the file, oldest first; a file from another version, or damaged
// lines, count as no records.
std::vector<Entry> ReadEntries(const fs::path& file) {
    std::vector<Entry> entries;
    const FilePtr in = OpenFile(file, "r");
    if (!in) {
        return entries;
    }
    std::string text;
    char buffer[1 << 14];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, in.get())) > 0;) {
        text.append(buffer, got);
    }
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != kVersion) {
        return entries;
    }
    while (std::getline(lines, line)) {
        if (auto entry = ParseLine(line)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

// The state folder, made private to the user on first use: the records name the user's files.
std::error_code EnsureFolder(const fs::path& folder) {
    std::error_code error;
    if (fs::create_directories(folder, error)) {
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, error);
    }
    return error;
}

std::string LockName(std::string_view key) {
    std::uint64_t hash = 14695981039346656037u;
    for (const char c : key) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
    }
    std::string name(16, '0');
    for (std::size_t i = name.size(); i-- > 0; hash >>= 4) {
        name[i] = "0123456789abcdef"[hash & 0xF];
    }
    return name + ".lock";
}

} // namespace

std::optional<OutputRecord> OutputRecords::find(const fs::path& path) const {
    if (!enabled()) {
        return std::nullopt;
    }
    const std::string key = PathKey(path);
    std::optional<OutputRecord> found;
    for (Entry& entry : ReadEntries(m_folder / "outputs")) {
        if (entry.key == key) {
            found = std::move(entry.record);
        }
    }
    return found;
}

std::error_code OutputRecords::remember(const fs::path& path, const OutputRecord& record) const {
    if (!enabled()) {
        return {};
    }
    bool busy = false;
    std::error_code error = EnsureFolder(m_folder);
    if (error) {
        return error;
    }
    const std::unique_ptr<RunLock> held = RunLock::Acquire(m_folder / "outputs.lock", kStoreWait, busy, error);
    if (!held) {
        return busy ? std::make_error_code(std::errc::resource_unavailable_try_again) : error;
    }
    const fs::path file = m_folder / "outputs";
    const std::string key = PathKey(path);
    std::vector<Entry> entries = ReadEntries(file);
    std::string text(kVersion);
    text += '\n';
    std::size_t kept = 0;
    for (const Entry& entry : entries) {
        kept += entry.key != key ? 1 : 0;
    }
    // The oldest go first once the file holds the most it keeps.
    std::size_t skip = kept + 1 > kMaxRecords ? kept + 1 - kMaxRecords : 0;
    for (const Entry& entry : entries) {
        if (entry.key == key) {
            continue;
        }
        if (skip > 0) {
            --skip;
            continue;
        }
        text += entry.line;
    }
    text += FormatLine(key, record);
    return WriteFileReplacing(file, text).error;
}

std::unique_ptr<RunLock> OutputRecords::lock(const fs::path& target, std::chrono::milliseconds wait, bool& busy,
                                             std::error_code& error) const {
    busy = false;
    error.clear();
    if (!enabled()) {
        return nullptr;
    }
    if ((error = EnsureFolder(m_folder))) {
        return nullptr;
    }
    return RunLock::Acquire(m_folder / "locks" / LockName(PathKey(target)), wait, busy, error);
}

} // namespace tarvex
