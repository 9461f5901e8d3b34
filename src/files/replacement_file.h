// SPDX-License-Identifier: MIT
// The new content of a file, written beside it and renamed over it only once complete, so that a
// failed or interrupted run leaves the old file as it was.
#pragma once

#include "files/byte_stream.h"
#include "files/file_moves.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace tarvex {

class ReplacementFile {
public:
    // Creates the new file in target's folder under a name nobody can predict, of fixed length
    // (".tarvex-<16 hex digits>.tmp"), exclusively and never through a link, so a file or a
    // link planted there and a second run at the same time are never written through. The new file
    // takes the permissions of modeFrom when it is given and exists (usually the file it replaces),
    // else those of any new file. On failure file() is null and error() says why.
    explicit ReplacementFile(const std::filesystem::path& target, const std::filesystem::path& modeFrom = {});
    // Closes and removes the new file unless it has been moved into place.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    std::FILE* file() const { return m_file.get(); }
    const std::error_code& error() const { return m_error; }

    // Flushes and closes the new file; the error when any of it could not be written.
    std::error_code close();
    // Renames the closed file over the target in one step; on failure the target is left as it was.
    std::error_code moveIntoPlace();
    // Puts the closed file in place as PlaceFile does: over the target only while it is as expected
    // (absent, when expected is empty), else beside it as a numbered backup; with keepOld the old
    // target is kept as a numbered backup.
    Placement commit(const std::optional<FileStamp>& expected, bool keepOld);

private:
    std::filesystem::path m_target;
    std::filesystem::path m_path;
    FilePtr m_file;
    std::error_code m_error;
    bool m_created = false;
    bool m_moved = false;
};

// Platform services behind ReplacementFile, one source per platform.

// Creates path as a new file open for writing; fails (error set, nothing returned) when anything,
// a link included, already has that name. With modeFrom, the file gets its permission bits (on
// Windows, its read-only attribute).
FilePtr CreateNewFile(const std::filesystem::path& path, const std::filesystem::path& modeFrom,
                      std::error_code& error);

// 64 bits from the system's source of randomness.
std::uint64_t UnpredictableBits();

} // namespace tarvex
