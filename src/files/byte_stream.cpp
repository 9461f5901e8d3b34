// SPDX-License-Identifier: MIT
#include "files/byte_stream.h"

#include "files/errno_error.h"
#include "files/file_stamp.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tarvex {

std::string BinaryMode(const char* mode) {
    std::string binary(mode);
    if (binary.find('b') == std::string::npos) {
        binary += 'b';
    }
    return binary;
}

FilePtr OpenFile(const std::filesystem::path& path, const char* mode) {
    return FilePtr(OpenPlatformFile(path, BinaryMode(mode)));
}

FilePtr OpenFile(const std::filesystem::path& path, const char* mode, std::error_code& error) {
    errno = 0;
    FilePtr file = OpenFile(path, mode);
    // errno as the C library left it (0 when it gave no reason); callers choose their own fallback.
    error = file ? std::error_code() : std::error_code(errno, std::generic_category());
    return file;
}

std::error_code CloseFile(FilePtr file) {
    errno = 0;
    if (std::fclose(file.release()) != 0) {
        return ErrnoError();
    }
    return {};
}

std::error_code WriteAndFlush(std::FILE* file, std::string_view bytes) {
    FileWriter writer(file);
    if (const std::error_code error = writer.write(bytes)) {
        return error;
    }
    errno = 0;
    if (std::fflush(file) != 0) {
        return ErrnoError();
    }
    return {};
}

FileReader::FileReader(std::FILE* file) : m_file(file) {
    std::fpos_t start{};
    if (StampOf(file) && std::fgetpos(file, &start) == 0) {
        m_start = start;
    }
}

bool FileReader::rewind() {
    if (!m_start) {
        return false;
    }
    std::clearerr(m_file);
    return std::fsetpos(m_file, &*m_start) == 0;
}

ReadResult FileReader::read(std::span<char> buffer) {
    errno = 0;
    const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), m_file);
    if (count < buffer.size() && std::ferror(m_file)) {
        return {count, ErrnoError()};
    }
    return {count, {}};
}

std::error_code FileWriter::write(std::string_view bytes) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        return ErrnoError();
    }
    return {};
}

std::error_code FileWriter::flush() {
    errno = 0;
    if (std::fflush(m_file) != 0 || std::ferror(m_file)) {
        return ErrnoError();
    }
    return {};
}

ReadResult MemoryReader::read(std::span<char> buffer) {
    const std::size_t count = std::min({buffer.size(), m_data.size(), m_chunkSize});
    if (count > 0) {
        std::memcpy(buffer.data(), m_data.data(), count);
    }
    m_data.remove_prefix(count);
    return {count, {}};
}

} // namespace tarvex
