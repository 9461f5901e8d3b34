// SPDX-License-Identifier: MIT
#include "form/private_file.h"

#include "files/paths.h"
#include "files/replacement_file.h"

#include <cstdint>
#include <string>

namespace tarvex::form {
namespace {

constexpr int kAttempts = 100;

std::string HexDigits(std::uint64_t bits) {
    std::string text(16, '0');
    for (std::size_t i = text.size(); i-- > 0; bits >>= 4) {
        text[i] = "0123456789abcdef"[bits & 0xF];
    }
    return text;
}

} // namespace

PrivateFile WritePrivateFile(const std::filesystem::path& folder, std::string_view prefix,
                             std::string_view extension, std::string_view bytes) {
    PrivateFile result;
    FilePtr file;
    // A name that exists already is someone else's, or a link planted there: draw another.
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        result.path = folder / PathFromText(std::string(prefix) + HexDigits(UnpredictableBits()) +
                                            std::string(extension));
        result.error.clear();
        file = CreatePrivateFile(result.path, result.error);
        if (file || result.error != std::errc::file_exists) {
            break;
        }
    }
    if (!file) {
        return result;
    }
    result.error = FileWriter(file.get()).write(bytes);
    if (const std::error_code closed = CloseFile(std::move(file)); !result.error) {
        result.error = closed;
    }
    if (result.error) {
        std::error_code ignored;
        std::filesystem::remove(result.path, ignored);
    }
    return result;
}

} // namespace tarvex::form
