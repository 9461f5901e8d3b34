// SPDX-License-Identifier: MIT
// Shared by the probe's tests: viewer titles for a design path, and the checks after a probe.
#pragma once

#include "files/paths.h"
#include "simlink/simulator_probe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace tarvex::test {

// Puts the working directory back when the test ends, since the probe moves it.
class WorkingDirectoryGuard {
public:
    WorkingDirectoryGuard() : m_saved(std::filesystem::current_path()) {}
    ~WorkingDirectoryGuard() {
        std::error_code error;
        std::filesystem::current_path(m_saved, error);
    }
    WorkingDirectoryGuard(const WorkingDirectoryGuard&) = delete;
    WorkingDirectoryGuard& operator=(const WorkingDirectoryGuard&) = delete;

private:
    std::filesystem::path m_saved;
};

// The title the simulator's message viewer shows for a design.
inline std::string ViewerTitle(const std::filesystem::path& design) {
    return "PSpice Message Viewer - [" + DisplayPath(design) + "]";
}

// The probe took the viewer of design: it offers design's netlist and moved into its folder.
inline void ExpectProbeTook(const ProbeResult& result, const std::filesystem::path& design) {
    ASSERT_TRUE(result.found());
    EXPECT_EQ(*result.title, ViewerTitle(design));
    EXPECT_EQ(result.hint.netlistName, DisplayPath(design) + ".net");
    EXPECT_TRUE(result.enteredFolder);
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), design.parent_path()))
        << "working directory: " << std::filesystem::current_path();
}

} // namespace tarvex::test
