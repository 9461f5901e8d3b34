// SPDX-License-Identifier: MIT
// New files on POSIX systems: open(2) with O_EXCL and O_NOFOLLOW, the permissions copied with fchmod.
#include "files/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

namespace tarvex {

FilePtr CreateNewFile(const std::filesystem::path& path, const std::filesystem::path& modeFrom,
                      std::error_code& error) {
    struct stat reference {};
    const bool copyMode = !modeFrom.empty() && ::stat(modeFrom.c_str(), &reference) == 0;
    // Private until the mode is copied; without a file to copy from, the usual 0666 less the umask.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, copyMode ? 0600 : 0666);
    if (fd < 0) {
        error = {errno, std::generic_category()};
        return nullptr;
    }
    // A file system without permission bits refuses this; the file then stays private, which is safe.
    if (copyMode) {
        (void)::fchmod(fd, reference.st_mode & 0777);
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

std::uint64_t UnpredictableBits() {
    std::random_device entropy;
    return (std::uint64_t{entropy()} << 32) ^ entropy();
}

} // namespace tarvex
