// SPDX-License-Identifier: MIT
// Moves that never lose a file: renames that refuse to replace, numbered backups ("amp.net.~1~", as
// GNU tools and editors keep them), and putting a finished file in place only over the version of
// the target that was checked.
#pragma once

#include "files/file_stamp.h"

#include <filesystem>
#include <optional>
#include <system_error>

namespace tarvex {

// Renames from to to in one step unless something (a file, a folder, a link) is named to already:
// then std::errc::file_exists, and nothing is moved.
std::error_code MoveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// Swaps the names of two existing entries in one step; std::errc::operation_not_supported where the
// platform or the file system cannot.
std::error_code ExchangeNames(const std::filesystem::path& a, const std::filesystem::path& b);

// True when path's file name ends in ".~N~" for a number N: a numbered backup, which Tarvex never
// replaces, moves or deletes.
bool IsNumberedBackup(const std::filesystem::path& path);

// The name that the next numbered backup of path gets: "path.~N~" with N one more than the highest
// number in use beside it, 1 when there is none.
std::filesystem::path NextNumberedBackup(const std::filesystem::path& path);

// Moves from to the next free numbered backup of of (which may be from itself), never replacing
// anything; the name it got, or the error with nothing moved.
std::optional<std::filesystem::path> MoveToNumberedBackup(const std::filesystem::path& from,
                                                          const std::filesystem::path& of, std::error_code& error);

// Whether the two files hold the same bytes; false when either cannot be read (error then says why).
bool SameContent(const std::filesystem::path& a, const std::filesystem::path& b, std::error_code& error);

// Where PlaceFile put things.
struct Placement {
    std::error_code error;           // nothing could be moved; from stays where it was
    bool targetChanged = false;      // the target was not as expected: it was left alone
    std::filesystem::path keptNew;   // where from went instead of the target, when it changed
    std::filesystem::path keptOld;   // the numbered backup the old target was kept as
};

// Puts the finished file from at target. With expected empty the target must not exist; otherwise
// it must still carry the stamp expected, which a check made earlier found. A target that appeared
// or changed meanwhile is left as it is, and from goes to a numbered backup of target instead. With
// keepOld, the old target is kept as a numbered backup, unless it holds the same bytes as from.
Placement PlaceFile(const std::filesystem::path& from, const std::filesystem::path& target,
                    const std::optional<FileStamp>& expected, bool keepOld);

} // namespace tarvex
