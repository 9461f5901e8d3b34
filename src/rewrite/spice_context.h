// SPDX-License-Identifier: MIT
// What the SPICE rule needs to know about a netlist before it reads any device: the parameters of
// ".param" lines and of ".subckt" defaults with their scopes, where each subcircuit begins and
// ends, and ".option scale". Collected in one pass over the whole netlist.
#pragma once

#include "files/byte_stream.h"
#include "rewrite/spice_expression.h"
#include "text/result.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvex {

// One "name=value" of an element, ".param" or ".subckt" line: the name as written, the value's text
// (a number, "{expr}", "'expr'" or a bare name), and where the value starts in the joined text.
struct Assignment {
    std::string_view name;
    std::string_view value;
};

// The "name=value" tokens of a line's text, in order: blanks may stand around '=', a name must
// start a token ("VAL=" is no "L="), "PARAMS:" and other tokens are passed over, and a value in
// braces or quotes runs to its closing brace or quote, blanks included.
std::vector<Assignment> ReadAssignments(std::string_view text);
// The same into assignments, whose memory is kept from call to call.
void ReadAssignments(std::string_view text, std::vector<Assignment>& assignments);

// The value of a size or parameter as written: a SPICE number, or an expression in braces or
// quotes, or a bare expression; parameter tells whether it was not a plain number.
Result<double> EvaluateValue(std::string_view value, const ParameterScope& scope, bool& parameter);

class SpiceContext {
public:
    struct Scope {
        int parent = -1;
        std::string name; // the subcircuit's, lower case; empty for the netlist
        // Each name's value in this scope, evaluated in it. A name defined twice in one scope takes
        // its last definition (a ".param" inside a subcircuit after its ".subckt" defaults).
        std::map<std::string, Result<double>, std::less<>> values;
    };

    // The scope of the netlist at offset: the innermost subcircuit whose lines hold it, else 0.
    int scopeAt(std::uint64_t offset) const;
    const std::vector<Scope>& scopes() const { return m_scopes; }
    // ".option scale=" (or ".options"), the last one in the netlist; its failure when unreadable.
    const std::optional<Result<double>>& scale() const { return m_scale; }

    // A view of one scope and those around it, for the evaluator.
    class View final : public ParameterScope {
    public:
        View(const SpiceContext& context, int scope) : m_context(context), m_scope(scope) {}
        const Result<double>* find(std::string_view lowerName) const override;

    private:
        const SpiceContext& m_context;
        int m_scope;
    };

    friend class SpiceContextBuilder;

private:
    std::vector<Scope> m_scopes;
    std::vector<std::pair<std::uint64_t, int>> m_changes; // from offset on, scope; sorted
    std::optional<Result<double>> m_scale;
};

// Reads the netlist's ".param", ".subckt", ".ends" and ".option" lines (with their "+" lines,
// names in any letter case) and evaluates every parameter, each in its own scope: a subcircuit sees
// its defaults, its own ".param" lines and those of the subcircuits and netlist around it, an inner
// definition hiding an outer one. A parameter that names itself, directly or through others, fails.
SpiceContext CollectSpiceContext(std::string_view netlist);

// The same over all of in, read in chunks of about chunkSize bytes cut between devices, so that
// memory stays small; the failure of a read.
Result<SpiceContext> CollectSpiceContext(ByteReader& in, std::size_t chunkSize);

} // namespace tarvex
