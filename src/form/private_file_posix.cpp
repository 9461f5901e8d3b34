// SPDX-License-Identifier: MIT
// Private files on POSIX systems: open(2) with O_EXCL and O_NOFOLLOW, mode 0600 from the start, so
// the file is never readable by others, not even while empty.
#include "form/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarvex::form {

FilePtr CreatePrivateFile(const std::filesystem::path& path, std::error_code& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = {errno, std::generic_category()};
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        error = {errno, std::generic_category()};
        ::close(fd);
        ::unlink(path.c_str());
        return nullptr;
    }
    return FilePtr(file);
}

} // namespace tarvex::form
