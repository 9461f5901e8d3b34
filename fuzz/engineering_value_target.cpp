// SPDX-License-Identifier: MIT
#include "bins/engineering_value.h"
#include "describe.h"
#include "fuzz_input.h"
#include "reference.h"
#include "targets.h"

#include <cmath>
#include <string_view>

namespace tarvex::fuzz {
namespace {

std::optional<std::string> Differs(const char* what, std::string_view input, double got, double expected) {
    if (SameDouble(got, expected)) {
        return std::nullopt;
    }
    return std::string(what) + " of " + Quote(input) + " is " + Describe(got) + ", expected " +
           Describe(expected);
}

std::optional<std::string> CheckFormatG(double value) {
    const std::string got = FormatG(value);
    const std::string expected = ReferenceFormatG(value);
    if (got != expected) {
        return "FormatG(" + Describe(value) + ") is " + Quote(got) + ", printf %g gives " + Quote(expected);
    }
    return std::nullopt;
}

// A finite, non-zero bound shown in a field and read back shows the same text again.
std::optional<std::string> CheckRoundTrip(double value) {
    if (!std::isfinite(value) || value == 0.0) {
        return std::nullopt;
    }
    const std::string shown = ShowFieldValue(value);
    const FieldValue read = ParseFieldValue(shown);
    if (!read.present) {
        return "ShowFieldValue(" + Describe(value) + ") = " + Quote(shown) + " reads back as absent";
    }
    const std::string again = ShowFieldValue(read.value);
    if (again != shown) {
        return "round trip of " + Describe(value) + ": " + Quote(shown) + " reads as " +
               Describe(read.value) + " which shows as " + Quote(again);
    }
    if (!SameDouble(ParseFieldValue(again).value, read.value)) {
        return "round trip of " + Describe(value) + " does not settle after one step";
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> CheckEngineeringValue(Bytes data) {
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());

    if (auto failure = Differs("ParseLeadingNumber", text, ParseLeadingNumber(text), ReferenceAtof(text))) {
        return failure;
    }
    if (auto failure =
            Differs("ParseNetlistValue", text, ParseNetlistValue(text), ReferenceNetlistValue(text))) {
        return failure;
    }
    // The netlist rewriter hands the parser at most 20 bytes; check that cut as well.
    const std::string_view token = text.substr(0, kNetlistTokenLength);
    if (auto failure =
            Differs("ParseNetlistValue", token, ParseNetlistValue(token), ReferenceNetlistValue(token))) {
        return failure;
    }

    const FieldValue field = ParseFieldValue(text);
    const FieldValue expected = ReferenceFieldValue(text);
    if (field.present != expected.present) {
        return "ParseFieldValue of " + Quote(text) + (field.present ? " is present" : " is absent") +
               ", expected the opposite";
    }
    if (auto failure = Differs("ParseFieldValue", text, field.value, expected.value)) {
        return failure;
    }

    // The parsed values and the first eight bytes read as a double (any bit pattern) are printed
    // and round-tripped.
    FuzzInput input(data);
    const double raw = data.size() >= 8 ? input.rawDouble() : 0.0;
    for (const double value : {field.value, ParseNetlistValue(text), raw}) {
        if (auto failure = CheckFormatG(value)) {
            return failure;
        }
        if (auto failure = CheckRoundTrip(value)) {
            return failure;
        }
    }
    return std::nullopt;
}

} // namespace tarvex::fuzz
