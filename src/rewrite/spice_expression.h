// SPDX-License-Identifier: MIT
// Arithmetic on SPICE parameters, as in "{W/2}", "'w1*nf'" or a bare parameter name: numbers with
// scale factors, + - * / ** ^, unary minus, parentheses, and min max abs sqrt pow exp log.
#pragma once

#include "text/result.h"

#include <string>
#include <string_view>

namespace tarvex {

// The parameters an expression may name. Names are matched without regard to letter case: find is
// given the name in lower case.
class ParameterScope {
public:
    virtual ~ParameterScope() = default;
    // The parameter's value, its failure ("division by zero") when its own expression fails, or
    // nullptr when no parameter of that name is defined.
    virtual const Result<double>* find(std::string_view lowerName) const = 0;
};

// The value of an expression: the text inside "{...}" or "'...'", or a bare number or name. A
// failure says why in words a designer reads after the size, e.g. "lp is not defined", "division
// by zero", "sqrt of a negative number", "cannot read ')' at 4". A result that is not a finite
// number fails too; nothing is ever read as 0 in its place.
Result<double> EvaluateExpression(std::string_view text, const ParameterScope& scope);

// The lower-case form of an ASCII name; other bytes are kept.
std::string LowerAscii(std::string_view name);

} // namespace tarvex
