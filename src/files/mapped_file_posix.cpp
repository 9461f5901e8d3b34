// SPDX-License-Identifier: MIT
// The map, and the SIGBUS handler that keeps a file shrinking under it from killing the process:
// the touched page past the new end is replaced by a page of zeros and the map is marked lost.
#include "files/mapped_file.h"

#include <array>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex {
namespace {

// The maps a fault may belong to. A fixed table, read lock-free by the signal handler: a slot is
// in use while its begin is not 0.
struct Slot {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<std::atomic<bool>*> lost{nullptr};
};
std::array<Slot, 32> g_slots;
std::atomic<std::uintptr_t> g_pageSize{4096};
struct sigaction g_previous {};
std::once_flag g_installed;
// Where a taken slot's flag points until its map points it at its own.
std::atomic<bool> g_claimed{false};

bool ReplaceWithZeros(std::uintptr_t address) {
    for (Slot& slot : g_slots) {
        const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
        if (begin == 0 || address < begin || address >= slot.end.load(std::memory_order_acquire)) {
            continue;
        }
        const std::uintptr_t page = address & ~(g_pageSize.load(std::memory_order_relaxed) - 1);
        void* const zeros = mmap(reinterpret_cast<void*>(page), g_pageSize.load(std::memory_order_relaxed),
                                 PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros == MAP_FAILED) {
            return false;
        }
        if (std::atomic<bool>* const lost = slot.lost.load(std::memory_order_acquire)) {
            lost->store(true, std::memory_order_release);
        }
        return true;
    }
    return false;
}

void OnBusError(int signal, siginfo_t* info, void* context) {
    if (ReplaceWithZeros(reinterpret_cast<std::uintptr_t>(info->si_addr))) {
        return; // the access is made again and reads zeros
    }
    // Not a page of ours: whatever was there before decides.
    if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction != nullptr) {
        g_previous.sa_sigaction(signal, info, context);
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN &&
               g_previous.sa_handler != nullptr) {
        g_previous.sa_handler(signal);
    } else {
        // The default action: the faulting access is made again and ends the process.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(SIGBUS, &fallback, nullptr);
    }
}

void InstallHandler() {
    g_pageSize.store(static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE)), std::memory_order_relaxed);
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &g_previous);
}

class PosixMappedFile final : public MappedFile {
public:
    // base[0, length) maps the file from offset start; the bytes wanted begin skip bytes in.
    PosixMappedFile(int fd, char* base, std::size_t length, std::uintmax_t start, std::size_t skip,
                    Slot& slot)
        : m_fd(fd), m_base(base), m_length(length), m_mappedEnd(start + length), m_slot(slot) {
        m_bytes = {base + skip, length - skip};
        m_slot.lost.store(&m_lost, std::memory_order_release);
        m_slot.end.store(reinterpret_cast<std::uintptr_t>(base) + length, std::memory_order_release);
        m_slot.begin.store(reinterpret_cast<std::uintptr_t>(base), std::memory_order_release);
    }

    ~PosixMappedFile() override {
        m_slot.begin.store(0, std::memory_order_release);
        munmap(m_base, m_length);
        m_slot.lost.store(nullptr, std::memory_order_release);
        close(m_fd);
    }

    std::error_code lost() const override {
        return m_lost.load(std::memory_order_acquire) ? FileShrankError() : std::error_code();
    }

    std::error_code verify() const override {
        if (const std::error_code error = lost()) {
            return error;
        }
        struct stat status {};
        if (fstat(m_fd, &status) == 0 && static_cast<std::uintmax_t>(status.st_size) < m_mappedEnd) {
            return FileShrankError();
        }
        return {};
    }

    // Pages go back in batches: each call costs the other cores a flush of their address
    // translations, so a few MiB at a time keep memory flat without a flush per chunk.
    void release(std::size_t end) override {
        constexpr std::size_t kBatch = std::size_t{4} << 20;
        const std::size_t page = g_pageSize.load(std::memory_order_relaxed);
        const auto upTo = (static_cast<std::size_t>(m_bytes.data() - m_base) + end) / page * page;
        if (upTo >= m_released + kBatch) {
            madvise(m_base + m_released, upTo - m_released, MADV_DONTNEED);
            m_released = upTo;
        }
    }

private:
    int m_fd;
    char* m_base;
    std::size_t m_length;
    std::uintmax_t m_mappedEnd; // the file's size when it was mapped
    Slot& m_slot;
    std::size_t m_released = 0;
    std::atomic<bool> m_lost{false};
};

Slot* TakeSlot() {
    for (Slot& slot : g_slots) {
        std::atomic<bool>* expected = nullptr;
        if (slot.begin.load(std::memory_order_acquire) == 0 &&
            slot.lost.compare_exchange_strong(expected, &g_claimed, std::memory_order_acq_rel)) {
            return &slot;
        }
    }
    return nullptr;
}

} // namespace

std::unique_ptr<MappedFile> MappedFile::Map(std::FILE* file) {
    const int fd = fileno(file);
    struct stat status {};
    if (fd < 0 || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        return nullptr;
    }
    const off_t position = ftello(file);
    if (position < 0 || position >= status.st_size) {
        return nullptr;
    }
    std::call_once(g_installed, InstallHandler);
    const auto page = static_cast<off_t>(g_pageSize.load(std::memory_order_relaxed));
    const off_t start = position / page * page;
    const auto length = static_cast<std::size_t>(status.st_size - start);
    Slot* const slot = TakeSlot();
    if (slot == nullptr) {
        return nullptr;
    }
    const int own = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    void* const base = own < 0 ? MAP_FAILED : mmap(nullptr, length, PROT_READ, MAP_SHARED, own, start);
    if (base == MAP_FAILED) {
        if (own >= 0) {
            close(own);
        }
        slot->lost.store(nullptr, std::memory_order_release);
        return nullptr;
    }
    madvise(base, length, MADV_SEQUENTIAL);
    return std::make_unique<PosixMappedFile>(own, static_cast<char*>(base), length,
                                             static_cast<std::uintmax_t>(start),
                                             static_cast<std::size_t>(position - start), *slot);
}

} // namespace tarvex
