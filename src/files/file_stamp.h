// SPDX-License-Identifier: MIT
// What tells one version of a file from another without reading it: which file it is on disk, its
// size and the times of its last write and its last change.
#pragma once

#include <compare>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>

namespace tarvex {

// A file's identity (device and inode, or volume and file index) with its size and the times of its
// last content write and last change (of content, permissions, links or name), in nanoseconds. Any
// write, truncation, rename over it or replacement gives another stamp, so a file whose stamp is
// what it was when Tarvex wrote it has not been touched since.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;

    bool operator==(const FileStamp&) const = default;
    // The same file with the same content, whatever happened to its name: a rename changes the
    // change time, but not the identity, the size or the time of the last write.
    bool sameWrite(const FileStamp& other) const {
        return device == other.device && inode == other.inode && size == other.size && modified == other.modified;
    }
};

// The stamp of the regular file at path (links followed); nothing when there is none or it is not a
// regular file.
std::optional<FileStamp> StampOf(const std::filesystem::path& path);

// The stamp of an open regular file; nothing for a pipe, a device or a console.
std::optional<FileStamp> StampOf(std::FILE* file);

// The read position of an open file; nothing for a pipe or a console.
std::optional<std::uint64_t> FilePosition(std::FILE* file);

// Notes an input file as a run starts reading it, to tell afterwards whether what was read is the
// file: a netlister still writing, an editor saving over it, or a new export renamed onto its name
// all make a run's output a mix of versions that no version holds.
class InputWatch {
public:
    // file is about to be read from its current position; path is its name, empty for standard
    // input. A pipe or a console is never found changed: nothing can be checked.
    InputWatch(std::FILE* file, std::filesystem::path path);

    // True when the file is not as it was at the start: written, grown or shrunk, or another file
    // now has its name; bytesRead is what the run read.
    bool changed(std::uint64_t bytesRead) const;

private:
    std::FILE* m_file;
    std::filesystem::path m_path;
    std::optional<FileStamp> m_start;
    std::uint64_t m_position = 0;
};

} // namespace tarvex
