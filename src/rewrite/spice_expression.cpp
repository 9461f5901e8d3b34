// SPDX-License-Identifier: MIT
#include "rewrite/spice_expression.h"

#include "bins/spice_number.h"

#include <cmath>
#include <string>

namespace tarvex {
namespace {

// Nesting deeper than this is refused rather than followed, so that no input can exhaust the stack.
constexpr int kMaxDepth = 100;

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9');
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// A recursive-descent reader: sum := product {(+|-) product}; product := unary {(*|/) unary};
// unary := (-|+) unary | power; power := primary [(**|^) unary]; primary := number | name |
// function "(" arguments ")" | "(" sum ")". So -2**2 is -4 and 2**3**2 is 2**9.
class Evaluator {
public:
    Evaluator(std::string_view text, const ParameterScope& scope) : m_text(text), m_scope(scope) {}

    Result<double> run() {
        double value = sum();
        skipBlanks();
        if (m_error.empty() && m_at < m_text.size()) {
            fail(unexpected());
        }
        if (m_error.empty() && !std::isfinite(value)) {
            fail("the value is too large");
        }
        if (!m_error.empty()) {
            return Fail(m_error);
        }
        return value;
    }

private:
    void skipBlanks() {
        while (m_at < m_text.size() && IsBlank(m_text[m_at])) {
            ++m_at;
        }
    }

    // Takes op (one or two bytes) when it comes next; "*" is not taken from "**".
    bool take(std::string_view op) {
        skipBlanks();
        if (m_text.substr(m_at, op.size()) != op) {
            return false;
        }
        if (op == "*" && m_text.substr(m_at, 2) == "**") {
            return false;
        }
        m_at += op.size();
        return true;
    }

    double fail(std::string message) {
        if (m_error.empty()) {
            m_error = std::move(message);
        }
        return 0.0;
    }

    std::string unexpected() const {
        if (m_at >= m_text.size()) {
            return "the expression ends too soon";
        }
        return "cannot read '" + std::string(1, m_text[m_at]) + "' at " + std::to_string(m_at + 1);
    }

    double sum() {
        double value = product();
        while (m_error.empty()) {
            if (take("+")) {
                value += product();
            } else if (take("-")) {
                value -= product();
            } else {
                break;
            }
        }
        return value;
    }

    double product() {
        double value = unary();
        while (m_error.empty()) {
            if (take("*")) {
                value *= unary();
            } else if (take("/")) {
                const double divisor = unary();
                if (m_error.empty() && divisor == 0.0) {
                    return fail("division by zero");
                }
                value /= divisor;
            } else {
                break;
            }
        }
        return value;
    }

    double unary() {
        if (++m_depth > kMaxDepth) {
            return fail("the expression is nested too deeply");
        }
        double value = 0.0;
        if (take("-")) {
            value = -unary();
        } else if (take("+")) {
            value = unary();
        } else {
            value = power();
        }
        --m_depth;
        return value;
    }

    double power() {
        const double base = primary();
        if (m_error.empty() && (take("**") || take("^"))) {
            const double exponent = unary();
            return m_error.empty() ? checked(std::pow(base, exponent), "pow") : 0.0;
        }
        return base;
    }

    double checked(double value, std::string_view function) {
        if (std::isnan(value)) {
            return fail(std::string(function) + " has no value there");
        }
        return value;
    }

    double primary() {
        skipBlanks();
        if (m_at >= m_text.size()) {
            return fail(unexpected());
        }
        if (take("(")) {
            const double value = sum();
            if (m_error.empty() && !take(")")) {
                return fail(m_at >= m_text.size() ? "a ')' is missing" : unexpected());
            }
            return value;
        }
        const std::string_view rest = m_text.substr(m_at);
        if (const std::size_t length = SpiceNumberLength(rest); length > 0 && rest[0] != '+' && rest[0] != '-') {
            const std::optional<double> number = ParseSpiceNumber(rest.substr(0, length));
            if (!number) {
                return fail("cannot read the number '" + std::string(rest.substr(0, length)) + "'");
            }
            m_at += length;
            return *number;
        }
        if (!IsNameStart(rest[0])) {
            return fail(unexpected());
        }
        std::size_t length = 1;
        while (length < rest.size() && IsNameChar(rest[length])) {
            ++length;
        }
        const std::string name = LowerAscii(rest.substr(0, length));
        m_at += length;
        if (take("(")) {
            return function(name);
        }
        const Result<double>* value = m_scope.find(name);
        if (value == nullptr) {
            return fail(name + " is not defined");
        }
        if (!value->ok()) {
            return fail(name + ": " + value->error());
        }
        return value->value();
    }

    // After "name(": the arguments and the closing ')'.
    double function(const std::string& name) {
        double args[2] = {0.0, 0.0};
        int count = 0;
        if (!take(")")) {
            do {
                const double value = sum();
                if (count < 2) {
                    args[count] = value;
                }
                ++count;
            } while (m_error.empty() && take(","));
            if (m_error.empty() && !take(")")) {
                return fail(m_at >= m_text.size() ? "a ')' is missing" : unexpected());
            }
        }
        if (!m_error.empty()) {
            return 0.0;
        }
        const int wanted = (name == "min" || name == "max" || name == "pow") ? 2 : 1;
        const bool known = wanted == 2 || name == "abs" || name == "sqrt" || name == "exp" || name == "log";
        if (!known) {
            return fail(name + "() is not a function here");
        }
        if (count != wanted) {
            return fail(name + "() takes " + (wanted == 2 ? "two arguments" : "one argument"));
        }
        const double x = args[0];
        if (name == "min") {
            return std::fmin(x, args[1]);
        }
        if (name == "max") {
            return std::fmax(x, args[1]);
        }
        if (name == "pow") {
            return checked(std::pow(x, args[1]), "pow");
        }
        if (name == "abs") {
            return std::fabs(x);
        }
        if (name == "sqrt") {
            return x < 0.0 ? fail("sqrt of a negative number") : std::sqrt(x);
        }
        if (name == "exp") {
            return std::exp(x);
        }
        return x <= 0.0 ? fail("log of a number not above 0") : std::log(x);
    }

    std::string_view m_text;
    const ParameterScope& m_scope;
    std::size_t m_at = 0;
    int m_depth = 0;
    std::string m_error;
};

} // namespace

Result<double> EvaluateExpression(std::string_view text, const ParameterScope& scope) {
    return Evaluator(text, scope).run();
}

std::string LowerAscii(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

} // namespace tarvex
