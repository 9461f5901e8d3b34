// SPDX-License-Identifier: MIT
// Run locks on Windows: LockFileEx on a file in the user's local application data.
#include "files/run_lock.h"

#include <cstdlib>
#include <thread>

#include <windows.h>

namespace tarvex {
namespace {

constexpr auto kPoll = std::chrono::milliseconds(20);

class FileLock final : public RunLock {
public:
    explicit FileLock(HANDLE handle) : m_handle(handle) {}
    ~FileLock() override { CloseHandle(m_handle); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    HANDLE m_handle;
};

} // namespace

std::unique_ptr<RunLock> RunLock::Acquire(const std::filesystem::path& path, std::chrono::milliseconds wait,
                                          bool& busy, std::error_code& error) {
    busy = false;
    std::filesystem::create_directories(path.parent_path(), error);
    if (error) {
        return nullptr;
    }
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = {static_cast<int>(GetLastError()), std::system_category()};
        return nullptr;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        OVERLAPPED whole{};
        if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
            return std::make_unique<FileLock>(handle);
        }
        const DWORD reason = GetLastError();
        if (reason != ERROR_LOCK_VIOLATION && reason != ERROR_IO_PENDING) {
            error = {static_cast<int>(reason), std::system_category()};
            CloseHandle(handle);
            return nullptr;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            busy = true;
            CloseHandle(handle);
            return nullptr;
        }
        std::this_thread::sleep_for(kPoll);
    }
}

std::filesystem::path UserStateFolder() {
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (local == nullptr || local[0] == L'\0') {
        return {};
    }
    return std::filesystem::path(local) / L"Quendale" / L"tarvex";
}

} // namespace tarvex
