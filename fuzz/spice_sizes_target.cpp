// SPDX-License-Identifier: MIT
#include "describe.h"
#include "fuzz_input.h"
#include "targets.h"

#include "rewrite/reader_rewrite.h"
#include "rewrite/spice_context.h"

#include <cmath>
#include <optional>
#include <string>

namespace tarvex::fuzz {
namespace {

class OneParameter final : public ParameterScope {
public:
    const Result<double>* find(std::string_view name) const override { return name == "p" ? &m_p : nullptr; }

private:
    Result<double> m_p{3.0};
};

std::optional<std::string> CheckExpression(std::string_view text) {
    const Result<double> value = EvaluateExpression(text, OneParameter());
    if (value && !std::isfinite(*value)) {
        return "EvaluateExpression(" + Quote(text) + ") gave a value that is not finite";
    }
    if (!value && value.error().empty()) {
        return "EvaluateExpression(" + Quote(text) + ") failed without a reason";
    }
    return std::nullopt;
}

// Every physical line leads back to the start of its logical line, whose pieces lie in order inside it.
std::optional<std::string> CheckLogicalLines(std::string_view text) {
    LogicalLine line;
    for (std::size_t start = 0; start < text.size();) {
        ReadLogicalLine(text, start, line);
        if (line.end <= start || line.end > text.size() || line.pieces.empty()) {
            return "logical line at " + std::to_string(start) + " of " + Quote(text) + " ends at " +
                   std::to_string(line.end);
        }
        std::size_t previous = start;
        for (const LinePiece& piece : line.pieces) {
            if (piece.begin < previous || piece.end < piece.begin || piece.end > line.end) {
                return "a piece of the logical line at " + std::to_string(start) + " of " + Quote(text) +
                       " lies outside it";
            }
            previous = piece.end;
        }
        for (std::size_t at = start; at < line.end;) {
            std::size_t next = 0;
            PhysicalLineEnd(text, at, next);
            const std::size_t back = LogicalLineStart(text, start, at);
            if (back > at || back < start) {
                return "line at " + std::to_string(at) + " of " + Quote(text) + " leads back to " +
                       std::to_string(back);
            }
            at = next;
        }
        start = line.end;
    }
    return std::nullopt;
}

// Reads as a pipe does: it cannot go back, so the SPICE rule holds the input in memory.
class PipeReader final : public ByteReader {
public:
    PipeReader(std::string_view data, std::size_t chunkSize) : m_in(data, chunkSize) {}
    ReadResult read(std::span<char> buffer) override { return m_in.read(buffer); }

private:
    MemoryReader m_in;
};

// What a run gave: its output, and each device as line, outcome, part name and problem.
struct SpiceRun {
    std::string output;
    std::string devices;
    RunReport report;
};

SpiceRun RunSpice(ByteReader& in, const RewriteRules& rules, const SizeOptions& sizes, unsigned threads,
                  std::size_t chunkSize) {
    SpiceRun run;
    StringWriter out(run.output);
    StreamOptions options;
    options.sizes = sizes;
    options.threads = threads;
    options.tuning.chunkSize = chunkSize;
    options.onDevice = [&run](std::uint64_t line, const DeviceEvent& event) {
        run.devices += std::to_string(line) + ' ' + std::to_string(static_cast<int>(event.outcome)) + ' ' +
                       std::string(event.partName) + ' ' + (event.sizes ? event.sizes->problem : "?") + '\n';
    };
    run.report = RewriteStream(in, out, rules, options).report;
    return run;
}

// Under the SPICE rule the output is the input with Keys replaced: putting each Key back where a
// part name went gives the input again. Cut into small chunks (between devices), read from a pipe
// and rewritten on one or two threads, the run is the run of the whole text at once.
std::optional<std::string> CheckRoundTrip(std::string_view text, const SizeOptions& sizes, std::size_t chunkSize,
                                          unsigned threads) {
    RewriteRules rules;
    rules.keyN = "NK";
    rules.keyP = "PK";
    for (BinTable* table : {&rules.tableN, &rules.tableP}) {
        table->widthBounds = {1e-9, 1e-6, 1e-3, 1, 1e3, 1e9};
        table->lengthBounds = {1e-9, 1e-6, 1e-3, 1, 1e3, 1e9};
        for (int w = 0; w < kBinCount; ++w) {
            for (int l = 0; l < kBinCount; ++l) {
                SetPartName(*table, w, l, std::string(table == &rules.tableN ? "\x01n" : "\x01p") +
                                              static_cast<char>('0' + w) + static_cast<char>('0' + l));
            }
        }
    }
    if (text.find('\x01') != std::string_view::npos) {
        return std::nullopt;
    }
    MemoryReader in(text);
    const SpiceRun whole = RunSpice(in, rules, sizes, 1, text.size() + 1);
    // A file read twice (its context in small chunks too), or a pipe held in memory.
    MemoryReader file(text, 1 + chunkSize / 2);
    PipeReader pipe(text, 1 + chunkSize / 2);
    ByteReader& source = (chunkSize & 1) != 0 ? static_cast<ByteReader&>(pipe) : file;
    const SpiceRun cut = RunSpice(source, rules, sizes, threads, chunkSize);
    if (cut.output != whole.output || cut.devices != whole.devices) {
        return "cut into chunks of " + std::to_string(chunkSize) + " bytes, the SPICE rule gave another " +
               (cut.output != whole.output ? "output" : "device list") + " for " + Quote(text);
    }
    const RunReport& a = whole.report;
    const RunReport& b = cut.report;
    if (a.lines != b.lines || a.devicesReplaced != b.devicesReplaced || a.devicesNoBin != b.devicesNoBin ||
        a.devicesMissingName != b.devicesMissingName || a.keysNotOnDevice != b.keysNotOnDevice ||
        a.firstProblem != b.firstProblem) {
        return "cut into chunks, the SPICE rule counted otherwise for " + Quote(text);
    }
    const std::string& output = whole.output;
    std::string restored;
    for (std::size_t i = 0; i < output.size(); ++i) {
        if (output[i] == '\x01' && i + 3 < output.size()) {
            restored += output[i + 1] == 'n' ? "NK" : "PK";
            i += 3;
        } else {
            restored += output[i];
        }
    }
    if (restored != text) {
        return "the SPICE rule changed more than the Keys of " + Quote(text);
    }
    return std::nullopt;
}

} // namespace

Result<void> CheckSpiceSizes(Bytes data) {
    FuzzInput input(data);
    const std::uint8_t choice = input.byte();
    const std::string text(input.rest());
    if (auto failed = CheckExpression(text)) {
        return Fail(*failed);
    }
    if (auto failed = CheckLogicalLines(text)) {
        return Fail(*failed);
    }
    SizeOptions sizes;
    sizes.rule = SizeRule::Spice;
    sizes.perFinger = (choice & 1) != 0;
    if ((choice & 2) != 0) {
        sizes.scale = 1e-6;
    }
    // Chunks of 1 to 64 bytes, on two threads one time in four.
    const std::size_t chunkSize = 1 + ((choice >> 2) & 63);
    const unsigned threads = (choice & 0xC0) == 0xC0 ? 2 : 1;
    if (auto failed = CheckRoundTrip(text, sizes, chunkSize, threads)) {
        return Fail(*failed);
    }
    return {};
}

} // namespace tarvex::fuzz
