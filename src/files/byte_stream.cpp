// SPDX-License-Identifier: MIT
#include "files/byte_stream.h"

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

std::optional<std::size_t> FileReader::read(std::span<char> buffer) {
    const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), m_file);
    if (count < buffer.size() && std::ferror(m_file)) {
        return std::nullopt;
    }
    return count;
}

bool FileWriter::write(std::string_view bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size();
}

bool FileWriter::flush() { return std::fflush(m_file) == 0 && !std::ferror(m_file); }

std::optional<std::size_t> MemoryReader::read(std::span<char> buffer) {
    const std::size_t count = std::min({buffer.size(), m_data.size(), m_chunkSize});
    if (count > 0) {
        std::memcpy(buffer.data(), m_data.data(), count);
    }
    m_data.remove_prefix(count);
    return count;
}

} // namespace tarvex
