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

// Under the SPICE rule the output is the input with Keys replaced: putting each Key back where a
// part name went gives the input again.
std::optional<std::string> CheckRoundTrip(std::string_view text, const SizeOptions& sizes) {
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
    std::string output;
    MemoryReader in(text);
    StringWriter out(output);
    StreamOptions options;
    options.sizes = sizes;
    RewriteStream(in, out, rules, options);
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
    if (auto failed = CheckRoundTrip(text, sizes)) {
        return Fail(*failed);
    }
    return {};
}

} // namespace tarvex::fuzz
