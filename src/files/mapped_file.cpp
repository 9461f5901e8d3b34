// SPDX-License-Identifier: MIT
#include "files/mapped_file.h"

#include <string>

namespace tarvex {
namespace {

class FileShrankCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "tarvex.mapped_file"; }
    std::string message(int) const override { return "The file became shorter while it was being read"; }
};

} // namespace

std::error_code FileShrankError() {
    static const FileShrankCategory category;
    return {1, category};
}

#if defined(_WIN32)
// Windows reads netlists through the C library: nothing is mapped.
std::unique_ptr<MappedFile> MappedFile::Map(std::FILE*) {
    return nullptr;
}
#endif

} // namespace tarvex
