// SPDX-License-Identifier: MIT
// Run locks on POSIX systems: flock(2) on a file in the user's state folder.
#include "files/run_lock.h"

#include <cerrno>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tarvex {
namespace {

constexpr auto kPoll = std::chrono::milliseconds(20);

class FlockLock final : public RunLock {
public:
    explicit FlockLock(int fd) : m_fd(fd) {}
    ~FlockLock() override { ::close(m_fd); }
    FlockLock(const FlockLock&) = delete;
    FlockLock& operator=(const FlockLock&) = delete;

private:
    int m_fd;
};

} // namespace

std::unique_ptr<RunLock> RunLock::Acquire(const std::filesystem::path& path, std::chrono::milliseconds wait,
                                          bool& busy, std::error_code& error) {
    busy = false;
    std::filesystem::create_directories(path.parent_path(), error);
    if (error) {
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = {errno, std::generic_category()};
        return nullptr;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = {errno, std::generic_category()};
            ::close(fd);
            return nullptr;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            busy = true;
            ::close(fd);
            return nullptr;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return std::make_unique<FlockLock>(fd);
}

std::filesystem::path UserStateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::filesystem::path(state) / "Quendale" / "tarvex";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::filesystem::path(home) / ".local" / "state" / "Quendale" / "tarvex";
    }
    return {};
}

} // namespace tarvex
