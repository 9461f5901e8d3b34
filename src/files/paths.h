// SPDX-License-Identifier: MIT
// Path text rules shared by Process and the settings file: extensions, folders, file moves.
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace tarvex {

// The platform's folder separators: '/' everywhere, and '\' as well on Windows.
bool IsFolderSeparator(std::filesystem::path::value_type c);

// Replaces the extension of the file name: scans back from the last character for a '.', stopping
// at a folder separator or before index 0 (a leading '.' is never taken); when found, the text from
// it on becomes ext (which includes its dot). Without one the path is returned unchanged.
std::filesystem::path ChangeExtension(const std::filesystem::path& path, std::string_view ext);

// The folder part of path: the text before its last separator, scanning back to index 1. Nothing
// when there is no separator there (a bare file name or "/x": the working directory stays).
std::optional<std::filesystem::path> FolderOf(const std::filesystem::path& path);

// True when both paths are the same text without regard to ASCII letter case.
bool SamePathIgnoringCase(const std::filesystem::path& a, const std::filesystem::path& b);

// True when a and b name the same file, existing or not: the same file on disk (through links, hard
// links, "./" and "..", and letter case where the file system ignores it), or, for a name that does
// not exist yet, the same place once links and dots are resolved.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The name under which the system opens path: Windows drops the trailing dots and spaces of a file
// name ("amp.net." opens "amp.net"), so the names derived from it must start from the same name;
// elsewhere the path itself.
std::filesystem::path OpenedName(const std::filesystem::path& path);

// Whether an open file and another open file, or a path, are one regular file on disk: a filter
// whose output is its own input would read what it writes until the disk is full. Devices and pipes
// are never the same as anything ("/dev/null" may be read and written at once).
bool SameRegularFile(std::FILE* a, std::FILE* b);
bool SameRegularFile(std::FILE* a, const std::filesystem::path& b);

// The place of path as one text, for remembering files and locking them: absolute, with the links
// and dots of its folders resolved, and in lower case where file names ignore case (Windows).
std::string PathKey(const std::filesystem::path& path);

// Renames from to to, replacing an existing to in one step where the platform allows.
std::error_code MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// The path as text for messages: UTF-8 on Windows, the file system's own bytes elsewhere.
std::string DisplayPath(const std::filesystem::path& path);

// The path in double quotes, as messages name files.
std::string QuotedPath(const std::filesystem::path& path);

// The reason for a failed file operation, in the same portable words on every platform
// (EIO's when the C library left errno at 0).
std::string ErrorText(int error);
std::string ErrorText(const std::error_code& error);

// The reverse: a path from text in that form (a window title, a command-line argument).
std::filesystem::path PathFromText(std::string_view text);

} // namespace tarvex
