// SPDX-License-Identifier: MIT
#include "files/file_moves.h"

#include "files/byte_stream.h"
#include "files/paths.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace tarvex {
namespace {

namespace fs = std::filesystem;

// The N of a file name "<stem>.~N~" whose stem is prefix, or nothing.
std::optional<unsigned long long> BackupNumber(const std::string& name, const std::string& prefix) {
    if (name.size() < prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(prefix.size(), 2, ".~") != 0 || !name.ends_with('~')) {
        return std::nullopt;
    }
    const std::string digits = name.substr(prefix.size() + 2, name.size() - prefix.size() - 3);
    if (digits.empty() || digits.size() > 18 || digits.front() == '0' ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return std::stoull(digits);
}

fs::path NumberedName(const fs::path& path, unsigned long long number) {
    fs::path name = path;
    name += PathFromText(".~" + std::to_string(number) + "~");
    return name;
}

bool Exists(const fs::path& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

// Removes the file at path; a leftover is harmless, so a failure is not reported.
void RemoveQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

// Moves from to target when target is exactly as expected, found by swapping the two names and
// looking at what was swapped out; the swap is undone when it was not. operation_not_supported
// when the names cannot be swapped.
Placement SwapIntoPlace(const fs::path& from, const fs::path& target, const FileStamp& expected, bool keepOld) {
    Placement placed;
    if (const std::error_code error = ExchangeNames(from, target)) {
        placed.error = error;
        return placed;
    }
    // from now names the old target, whose change time the swap itself has moved on.
    const std::optional<FileStamp> swapped = StampOf(from);
    if (!swapped || !swapped->sameWrite(expected)) {
        if (ExchangeNames(from, target)) {
            // The swap cannot be undone: keep the old target beside it rather than lose it.
            std::error_code error;
            if (auto kept = MoveToNumberedBackup(from, target, error)) {
                placed.keptOld = *kept;
            }
            return placed;
        }
        placed.targetChanged = true;
        std::error_code error;
        if (auto kept = MoveToNumberedBackup(from, target, error)) {
            placed.keptNew = *kept;
        } else {
            placed.error = error;
        }
        return placed;
    }
    std::error_code compareError;
    if (keepOld && !SameContent(from, target, compareError)) {
        std::error_code error;
        if (auto kept = MoveToNumberedBackup(from, target, error)) {
            placed.keptOld = *kept;
            return placed;
        }
    }
    RemoveQuietly(from);
    return placed;
}

} // namespace

bool IsNumberedBackup(const fs::path& path) {
    const std::string name = DisplayPath(path.filename());
    const std::size_t mark = name.rfind(".~");
    return mark != std::string::npos && mark > 0 && BackupNumber(name, name.substr(0, mark)).has_value();
}

fs::path NextNumberedBackup(const fs::path& path) {
    const std::string prefix = DisplayPath(path.filename());
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    unsigned long long highest = 0;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        if (const auto number = BackupNumber(DisplayPath(entry->path().filename()), prefix)) {
            highest = std::max(highest, *number);
        }
    }
    return NumberedName(path, highest + 1);
}

std::optional<fs::path> MoveToNumberedBackup(const fs::path& from, const fs::path& of, std::error_code& error) {
    fs::path name = NextNumberedBackup(of);
    // Another program may take a number between the look and the move: take the next one then.
    for (int attempt = 0; attempt < 100; ++attempt) {
        error = MoveNoReplace(from, name);
        if (error != std::errc::file_exists) {
            return error ? std::nullopt : std::optional<fs::path>(name);
        }
        name = NextNumberedBackup(of);
    }
    return std::nullopt;
}

bool SameContent(const fs::path& a, const fs::path& b, std::error_code& error) {
    const FilePtr first = OpenFile(a, "r", error);
    if (!first) {
        return false;
    }
    const FilePtr second = OpenFile(b, "r", error);
    if (!second) {
        return false;
    }
    std::array<char, 1 << 16> left{};
    std::array<char, 1 << 16> right{};
    for (;;) {
        const std::size_t got = std::fread(left.data(), 1, left.size(), first.get());
        const std::size_t other = std::fread(right.data(), 1, right.size(), second.get());
        if (std::ferror(first.get()) || std::ferror(second.get())) {
            error = std::make_error_code(std::errc::io_error);
            return false;
        }
        if (got != other || std::memcmp(left.data(), right.data(), got) != 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
    }
}

Placement PlaceFile(const fs::path& from, const fs::path& target, const std::optional<FileStamp>& expected,
                    bool keepOld) {
    Placement placed;
    if (!expected) {
        placed.error = MoveNoReplace(from, target);
        if (placed.error == std::errc::file_exists) {
            placed.error.clear();
            placed.targetChanged = true;
            if (auto kept = MoveToNumberedBackup(from, target, placed.error)) {
                placed.keptNew = *kept;
            }
        }
        return placed;
    }
    placed = SwapIntoPlace(from, target, *expected, keepOld);
    if (placed.error != std::errc::operation_not_supported && placed.error != std::errc::no_such_file_or_directory) {
        return placed;
    }
    // Without a swap: look, then move. The target vanished: take its place without replacing.
    placed = {};
    if (!Exists(target)) {
        return PlaceFile(from, target, std::nullopt, keepOld);
    }
    if (StampOf(target) != expected) {
        placed.targetChanged = true;
        if (auto kept = MoveToNumberedBackup(from, target, placed.error)) {
            placed.keptNew = *kept;
        }
        return placed;
    }
    std::error_code compareError;
    if (keepOld && !SameContent(target, from, compareError)) {
        std::error_code error;
        if (auto kept = MoveToNumberedBackup(target, target, error)) {
            placed.keptOld = *kept;
            placed.error = MoveNoReplace(from, target);
            return placed;
        }
        placed.error = error;
        return placed;
    }
    placed.error = MoveReplacing(from, target);
    return placed;
}

} // namespace tarvex
