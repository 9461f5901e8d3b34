// SPDX-License-Identifier: MIT
// The rewrite of a netlist into a file that takes the place of the old one only once complete:
// the one replacing write that Process and the command line's rewrite share.
#pragma once

#include "files/file_moves.h"
#include "files/file_stamp.h"
#include "rewrite/netlist_rewrite.h"
#include "text/result.h"

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

// Where the new file goes and what it may replace.
struct ReplaceTarget {
    std::filesystem::path path;
    std::filesystem::path modeFrom; // the file whose permissions it takes, when given and existing
    // The target as a check found it: the new file replaces it only while it is still so; empty: the
    // target must not exist. A target that changed or appeared is left alone (see PlaceFile).
    std::optional<FileStamp> expected;
    bool keepOld = false;               // the old target is kept as a numbered backup
    const InputWatch* input = nullptr;  // checked once the run is read: a changed input gives no output
    std::size_t bufferSize = 0;         // with it, the new file is written through a stdio buffer this size
};

struct ReplaceResult {
    StreamStatus status = StreamStatus::Completed;
    RunReport report;
    std::optional<std::string> error; // the message of a failed run; none when completed or cancelled
    bool created = false;             // the new file could be created (the run began)
    Placement placement;              // where the new file went, once completed
};

// Fails with "Error: Cannot read|write <name>: <reason>.<note>" for a run that failed reading or
// writing; a run that completed or was cancelled did not fail.
Result<void> StreamFailure(const StreamResult& result, const ReplaceNames& names);

// Rewrites in into a new file beside the target and puts it in place as target says, through
// WriteFileReplacing. A failed or cancelled run, or one whose input changed while it was read, leaves the
// target as it was. A target that appeared or changed during the run is left alone, the new file
// kept as its numbered backup, and that is an error that names it.
ReplaceResult RewriteReplacing(ByteReader& in, const ReplaceTarget& target, std::span<const RewriteRules> families,
                               const StreamOptions& options, const ReplaceNames& names);

} // namespace tarvex
