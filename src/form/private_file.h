// SPDX-License-Identifier: MIT
// Files the window writes for the user alone to look at (the bin map): new, under a name nobody
// can predict, readable by their owner only.
#pragma once

#include "files/byte_stream.h"

#include <filesystem>
#include <string_view>
#include <system_error>

namespace tarvex::form {

// Where a private file went: its path, or the error that stopped it (path then names the file
// that could not be made or written).
struct PrivateFile {
    std::filesystem::path path;
    std::error_code error;
};

// Writes bytes to a new file in folder named prefix, 16 hex digits and extension. The file is
// created exclusively and never through a link, so a file or link planted there is never written
// through, and only its owner may read it. A file that could not be written whole is removed.
PrivateFile WritePrivateFile(const std::filesystem::path& folder, std::string_view prefix,
                             std::string_view extension, std::string_view bytes);

// The platform's part, one source per platform: creates path as a new file open for writing that
// only its owner can read (mode 0600 on POSIX; on Windows, the user's temporary folder already
// keeps others out). Fails (error set, nothing returned) when anything, a link included, has that
// name.
FilePtr CreatePrivateFile(const std::filesystem::path& path, std::error_code& error);

} // namespace tarvex::form
