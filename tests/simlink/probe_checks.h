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

// The title the simulator's message viewer shows for a design.
inline std::string ViewerTitle(const std::filesystem::path& design) {
    return "PSpice Message Viewer - [" + DisplayPath(design) + "]";
}

// The probe took the viewer of design: it offers design's netlist and names its folder, and
// leaves the process's current directory where it was.
inline void ExpectProbeTook(const ProbeResult& result, const std::filesystem::path& design) {
    ASSERT_TRUE(result.found());
    EXPECT_EQ(*result.title, ViewerTitle(design));
    EXPECT_EQ(result.hint.netlistName, DisplayPath(design) + ".net");
    EXPECT_EQ(result.hint.folder, DisplayPath(design.parent_path()));
    std::error_code missing;
    EXPECT_FALSE(std::filesystem::equivalent(std::filesystem::current_path(), design.parent_path(), missing));
}

} // namespace tarvex::test
