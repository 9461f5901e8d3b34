// SPDX-License-Identifier: MIT
// The rewrite of a netlist into a file that takes the place of the old one only once complete:
// the one replacing write that Process and the command line's rewrite share.
#pragma once

#include "netlist/netlist_rewrite.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace tarvex {

// How the messages of a replacing write name the files, and what they add about what survives.
struct ReplaceNames {
    std::string source;     // the input as messages name it ("standard input", a quoted path)
    std::string target;     // the output as messages name it
    std::string createNote; // added when the new file cannot be created
    std::string note;       // added to every later failure
};

struct ReplaceResult {
    StreamStatus status = StreamStatus::Completed;
    RunReport report;
    std::optional<std::string> error; // the message of a failed run; none when completed or cancelled
    bool created = false;             // the new file could be created (the run began)
};

// "Error: Cannot read|write <name>: <reason>.<note>" for a run that failed reading or writing;
// nothing for one that completed or was cancelled.
std::optional<std::string> StreamFailure(const StreamResult& result, const ReplaceNames& names);

// Rewrites in into a ReplacementFile beside target (with the permissions of modeFrom when given),
// closes it and moves it into place. A failed or cancelled run leaves target as it was. With
// bufferSize, the new file is written through a stdio buffer of that size.
ReplaceResult RewriteReplacing(ByteReader& in, const std::filesystem::path& target,
                               const std::filesystem::path& modeFrom, const RewriteRules& rules,
                               const StreamOptions& options, const ReplaceNames& names,
                               std::size_t bufferSize = 0);

} // namespace tarvex
