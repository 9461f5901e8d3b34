// SPDX-License-Identifier: MIT
#include "files/file_stamp.h"

#include <utility>

namespace tarvex {

InputWatch::InputWatch(std::FILE* file, std::filesystem::path path)
    : m_file(file), m_path(std::move(path)), m_start(StampOf(file)) {
    if (m_start) {
        m_position = FilePosition(file).value_or(0);
    }
}

bool InputWatch::changed(std::uint64_t bytesRead) const {
    if (!m_start) {
        return false;
    }
    if (StampOf(m_file) != m_start || m_position + bytesRead != m_start->size) {
        return true;
    }
    if (m_path.empty()) {
        return false;
    }
    const std::optional<FileStamp> named = StampOf(m_path);
    return !named || !named->sameWrite(*m_start);
}

} // namespace tarvex
