// SPDX-License-Identifier: MIT
// What Tarvex remembers of the files it wrote, so that it can tell its own unedited output from a
// file of the user's (a new export, an edit) without reading either, and the locks that keep two
// runs off one netlist. Both live in the user's state folder.
#pragma once

#include "files/file_stamp.h"
#include "files/run_lock.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace tarvex {

// One file Tarvex wrote, as it left it.
struct OutputRecord {
    FileStamp written;
    // For a netlist Process wrote: the backup it was binned from, as Tarvex last left that.
    std::optional<FileStamp> source;
    // The Keys that were binned, every family's in order.
    std::vector<std::string> keys;

    bool operator==(const OutputRecord&) const = default;
};

// The record file ("outputs" in the state folder): one line per file, the most recent kMaxRecords.
// Every change is made under a lock and written through a replacing write, so that runs at the same
// time and a crash leave it whole. An empty folder remembers nothing and forgets every change.
class OutputRecords {
public:
    static constexpr std::size_t kMaxRecords = 2000;

    explicit OutputRecords(std::filesystem::path folder) : m_folder(std::move(folder)) {}

    bool enabled() const { return !m_folder.empty(); }

    // The record of the file at path (by its place, see PathKey), if any.
    std::optional<OutputRecord> find(const std::filesystem::path& path) const;

    // Remembers record for the file at path, replacing an older one; the error when it cannot be
    // kept (the run goes on: only the memory is lost, and the next run asks where it would guess).
    std::error_code remember(const std::filesystem::path& path, const OutputRecord& record) const;

    // Takes the lock of the netlist whose output is target, waiting up to wait for another run;
    // nothing, with busy or error set, when it cannot. Without a folder there is no lock and no
    // error: a run then holds nothing.
    std::unique_ptr<RunLock> lock(const std::filesystem::path& target, std::chrono::milliseconds wait, bool& busy,
                                  std::error_code& error) const;

private:
    std::filesystem::path m_folder;
};

} // namespace tarvex
