// SPDX-License-Identifier: MIT
// Process as a user runs it in tests: with a state folder of the test's own, where the record of
// earlier runs lives, and files remembered as an earlier run of Tarvex would have left them.
#pragma once

#include "support/temp_dir.h"

#include "files/file_stamp.h"
#include "process/output_records.h"
#include "process/process.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarvex::test {

class ProcessMemory {
public:
    // Safety with this memory; goOn answers every doubt with yes (as --backup does).
    ProcessSafety safety(bool goOn = false) const {
        ProcessSafety safety;
        safety.stateFolder = m_state.path();
        if (goOn) {
            safety.goOn = [](const Doubt&) { return true; };
        }
        return safety;
    }

    const std::filesystem::path& folder() const { return m_state.path(); }

    // Remembers the ".net" at net (when it exists) as Tarvex's output binned from the backup ant
    // (when it exists) with the default Keys, as if an earlier run had written them.
    void rememberOutput(const std::filesystem::path& net, const std::filesystem::path& ant,
                        std::vector<std::string> keys = {"MODxyN", "MODxyP"}) const {
        OutputRecords(m_state.path())
            .remember(net, {StampOf(net).value_or(FileStamp{}), StampOf(ant), std::move(keys)});
    }

    // Remembers only the backup ant, as Tarvex moved it aside for the netlist net: a newer export
    // at net may then supersede it.
    void rememberBackup(const std::filesystem::path& net, const std::filesystem::path& ant) const {
        OutputRecords(m_state.path()).remember(net, {FileStamp{}, StampOf(ant), {"MODxyN", "MODxyP"}});
    }

private:
    TempDir m_state;
};

} // namespace tarvex::test
