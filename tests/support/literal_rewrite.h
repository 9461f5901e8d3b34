// SPDX-License-Identifier: MIT
// A deliberately plain line rewrite, step by step as designers describe it, used as the reference
// that the optimised rewriter is compared against.
#pragma once

#include "rewrite/line_rewriter.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::test {

std::string LiteralRewriteLine(std::string line, const RewriteRules& rules);

// The same with several families of Keys: a line holding any Key gets L and W from the line as
// read, then each family's N Key and P Key in turn replace their first occurrence in the line as
// it stands by then.
std::string LiteralRewriteLine(std::string line, std::span<const RewriteRules> families);

// The netlist split after "\n", "\r\n" and lone "\r"; a last piece without a line end is a line too.
std::vector<std::string_view> SplitLines(std::string_view netlist);

// The netlist's lines each rewritten the literal way.
std::string ReferenceRewrite(std::string_view netlist, const RewriteRules& rules);
std::string ReferenceRewrite(std::string_view netlist, std::span<const RewriteRules> families);

} // namespace tarvex::test
