// SPDX-License-Identifier: MIT
// A deliberately plain line rewrite, step by step as designers describe it, used as the reference
// that the optimised rewriter is compared against.
#pragma once

#include "netlist/line_rewriter.h"

#include <string>
#include <string_view>

namespace tarvex::test {

std::string LiteralRewriteLine(std::string line, const RewriteRules& rules);

// The netlist split at "\n", "\r\n" and lone "\r", each line rewritten the literal way.
std::string ReferenceRewrite(std::string_view netlist, const RewriteRules& rules);

} // namespace tarvex::test
