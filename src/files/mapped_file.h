// SPDX-License-Identifier: MIT
// A regular file read through a read-only memory map instead of copies into a buffer: the streaming
// rewrite works on the file's pages in the page cache as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>
#include <system_error>

namespace tarvex {

// The error of a mapped file that became shorter while it was being read: the bytes past its new
// end are gone, so what was read from them is not the file.
std::error_code FileShrankError();

// A file mapped from a read position to the end it had when it was mapped. A file that shrinks
// under the map cannot crash the process: a page past the new end reads as zeros, and lost()
// says so from then on. Whoever reads the bytes checks lost() before trusting what they read.
class MappedFile {
public:
    // Maps file from its current position; nothing when it is not a regular file, is empty from
    // there, or cannot be mapped (the platform has no map, or the call failed), and then the
    // caller reads it instead.
    static std::unique_ptr<MappedFile> Map(std::FILE* file);

    virtual ~MappedFile() = default;

    std::string_view bytes() const { return m_bytes; }

    // FileShrankError() once a page past the file's new end has been touched; none before. Cheap
    // enough to ask for every chunk.
    virtual std::error_code lost() const = 0;

    // lost(), or FileShrankError() when the file is now shorter than the map although no page past
    // its end has been touched yet: one system call, for the end of a run or a failed write.
    virtual std::error_code verify() const = 0;

    // Gives back the pages of bytes()[0, end) once they have been read for good: the page cache
    // keeps them, but they no longer count towards this process's memory.
    virtual void release(std::size_t end) = 0;

protected:
    std::string_view m_bytes;
};

} // namespace tarvex
