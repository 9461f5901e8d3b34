// SPDX-License-Identifier: MIT
// The CSV report of a run's devices, one row per device, as the window's Save Details writes it.
#pragma once

#include "rewrite/rules.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex {

// The report's first line: its column names, ending in a line end.
inline constexpr std::string_view kDeviceReportHeader =
    "file,line,polarity,L,W,width_bin,length_bin,part_name,problem\n";

// Appends one row for a device: where it stands, its polarity and sizes ("%g"), its bins (empty
// when none), its part name and ProblemLabel; fields holding a comma, a quote or a line end are
// quoted. The row ends in a line end.
void AppendDeviceReportRow(std::string& report, std::string_view file, std::uint64_t line,
                           const DeviceEvent& event);

// The row's fields without its line end, for reports with more columns after them.
void AppendDeviceReportFields(std::string& report, std::string_view file, std::uint64_t line,
                              const DeviceEvent& event);

// Appends field as a CSV field, quoted (its quotes doubled) when it holds a comma, a quote or a line
// end.
void AppendCsvField(std::string& row, std::string_view field);

} // namespace tarvex
