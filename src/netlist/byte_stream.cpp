// SPDX-License-Identifier: MIT
#include "netlist/byte_stream.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tarvex {

FilePtr OpenFile(const std::filesystem::path& path, const char* mode) {
    std::string binaryMode(mode);
    if (binaryMode.find('b') == std::string::npos) {
        binaryMode += 'b';
    }
#ifdef _WIN32
    const std::wstring wideMode(binaryMode.begin(), binaryMode.end());
    return FilePtr(_wfopen(path.c_str(), wideMode.c_str()));
#else
    return FilePtr(std::fopen(path.c_str(), binaryMode.c_str()));
#endif
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
