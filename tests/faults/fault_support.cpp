// SPDX-License-Identifier: MIT
#include "fault_support.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace tarvex::test {
namespace {

bool CapGet(__user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capget, &header, data) == 0;
}

bool CapSet(__user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capset, &header, data) == 0;
}

// True when a file that only its owner may read cannot be opened for writing.
bool WriteToReadOnlyFileRefused() {
    std::string probe = (std::filesystem::temp_directory_path() / "tarvex-perm-XXXXXX").string();
    const int created = mkstemp(probe.data());
    if (created < 0) {
        return false;
    }
    fchmod(created, S_IRUSR);
    close(created);
    const int opened = open(probe.c_str(), O_WRONLY);
    const bool refused = opened < 0 && errno == EACCES;
    if (opened >= 0) {
        close(opened);
    }
    unlink(probe.c_str());
    return refused;
}

} // namespace

PermissionBitsHonoured::PermissionBitsHonoured() {
    __user_cap_data_struct data[2]{};
    if (CapGet(data)) {
        m_saved[0] = data[0].effective;
        m_saved[1] = data[1].effective;
        for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
            data[cap / 32].effective &= ~(1u << (cap % 32));
        }
        m_dropped = CapSet(data);
    }
    if (!WriteToReadOnlyFileRefused()) {
        m_skipReason = "permission bits are not enforced for this process (root whose CAP_DAC_OVERRIDE "
                       "could not be dropped), so a read-only file or folder cannot be simulated";
    }
}

PermissionBitsHonoured::~PermissionBitsHonoured() {
    if (!m_dropped) {
        return;
    }
    __user_cap_data_struct data[2]{};
    if (CapGet(data)) {
        data[0].effective = m_saved[0];
        data[1].effective = m_saved[1];
        CapSet(data);
    }
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &m_savedAction);
    getrlimit(RLIMIT_FSIZE, &m_saved);
    rlimit lowered = m_saved;
    lowered.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lowered);
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_saved);
    sigaction(SIGXFSZ, &m_savedAction, nullptr);
}

SmallFileSystem::SmallFileSystem(const std::filesystem::path& mountPoint, std::size_t bytes)
    : m_mountPoint(mountPoint) {
    std::filesystem::create_directories(mountPoint);
    // In a mount namespace of this process alone, so that the mount vanishes with the process even
    // if the test dies before unmounting.
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
    if (unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
        mount("tarvex-test", mountPoint.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) {
        m_mounted = true;
    } else {
        m_skipReason = "cannot mount a small tmpfs (" + std::string(std::strerror(errno)) +
                       "); mounting needs root with CAP_SYS_ADMIN";
    }
}

SmallFileSystem::~SmallFileSystem() {
    if (m_mounted) {
        umount2(m_mountPoint.c_str(), MNT_DETACH);
    }
}

std::set<std::string> EntriesOf(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

RewriteRules SmallRules() {
    RewriteRules rules;
    for (BinTable* table : {&rules.tableN, &rules.tableP}) {
        table->widthBounds = {1e-6, 5e-6, 0, 0, 0, 0};
        table->lengthBounds = {5e-7, 2e-6, 0, 0, 0, 0};
    }
    SetPartName(rules.tableN, 0, 0, "NCH");
    SetPartName(rules.tableP, 0, 0, "PCH");
    return rules;
}

std::string OlderBinnedCopy(std::string netlist) {
    for (const auto& [key, name] : {std::pair{"MODxyN", "NCH_V1"}, std::pair{"MODxyP", "PCH_V1"}}) {
        for (std::size_t at = 0; (at = netlist.find(key, at)) != std::string::npos; at += 6) {
            netlist.replace(at, 6, name);
        }
    }
    return netlist;
}

} // namespace tarvex::test
