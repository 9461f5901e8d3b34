// SPDX-License-Identifier: MIT
// The new content of a file, written beside it and renamed over it only once complete, so that a
// failed or interrupted run leaves the old file as it was.
#pragma once

#include "files/byte_stream.h"
#include "files/file_moves.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
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

// How a replacing write puts its new file in place.
struct ReplaceOptions {
    std::filesystem::path modeFrom; // the file whose permissions the new one takes, when it exists
    // Without a check the new file replaces whatever is at the target. With one it is put in place as
    // ReplacementFile::commit does: over the target only while it is as expected, keepOld keeping
    // the old one as a numbered backup.
    struct Check {
        std::optional<FileStamp> expected;
        bool keepOld = false;
    };
    std::optional<Check> check;
};

// The step at which a replacing write stopped; Done when the new file is in place (or, with a
// check, kept beside a target that changed: placement.targetChanged).
enum class ReplaceStep { Create, Write, Close, Place, Done };

struct ReplaceOutcome {
    ReplaceStep stopped = ReplaceStep::Done;
    std::error_code error; // why that step failed
    Placement placement;   // where the new file went; with a check only
};

// Writes the whole new content of target through a ReplacementFile and puts it in place as options
// say, so that the target is either as it was or wholly new. write gets the open new file; an
// error it returns stops the write at ReplaceStep::Write, and the target is left as it was.
ReplaceOutcome WriteFileReplacing(const std::filesystem::path& target,
                                  const std::function<std::error_code(std::FILE*)>& write,
                                  const ReplaceOptions& options = {});
// The same with bytes as the content.
ReplaceOutcome WriteFileReplacing(const std::filesystem::path& target, std::string_view bytes,
                                  const ReplaceOptions& options = {});

// Platform services behind ReplacementFile, one source per platform.

// Creates path as a new file open for writing; fails (error set, nothing returned) when anything,
// a link included, already has that name. With modeFrom, the file gets its permission bits (on
// Windows, its read-only attribute).
FilePtr CreateNewFile(const std::filesystem::path& path, const std::filesystem::path& modeFrom,
                      std::error_code& error);

// 64 bits from the system's source of randomness.
std::uint64_t UnpredictableBits();

} // namespace tarvex
