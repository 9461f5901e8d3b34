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

Result<void> Differs(const char* what, std::string_view input, double got, double expected) {
    if (SameDouble(got, expected)) {
        return {};
    }
    return Fail(std::string(what) + " of " + Quote(input) + " is " + Describe(got) + ", expected " +
                Describe(expected));
}

Result<void> CheckFormatG(double value) {
    const std::string got = FormatG(value);
    const std::string expected = ReferenceFormatG(value);
    if (got != expected) {
        return Fail("FormatG(" + Describe(value) + ") is " + Quote(got) + ", printf %g gives " +
                    Quote(expected));
    }
    return {};
}

// A finite, non-zero bound shown in a field and read back shows the same text again.
Result<void> CheckRoundTrip(double value) {
    if (!std::isfinite(value) || value == 0.0) {
        return {};
    }
    const std::string shown = ShowFieldValue(value);
    const FieldValue read = ParseFieldValue(shown);
    if (!read.present) {
        return Fail("ShowFieldValue(" + Describe(value) + ") = " + Quote(shown) + " reads back as absent");
    }
    const std::string again = ShowFieldValue(read.value);
    if (again != shown) {
        return Fail("round trip of " + Describe(value) + ": " + Quote(shown) + " reads as " +
                    Describe(read.value) + " which shows as " + Quote(again));
    }
    if (!SameDouble(ParseFieldValue(again).value, read.value)) {
        return Fail("round trip of " + Describe(value) + " does not settle after one step");
    }
    return {};
}

} // namespace

Result<void> CheckEngineeringValue(Bytes data) {
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());

    if (Result<void> same =
            Differs("ParseLeadingNumber", text, ParseLeadingNumber(text), ReferenceAtof(text));
        !same) {
        return same;
    }
    if (Result<void> same =
            Differs("ParseNetlistValue", text, ParseNetlistValue(text), ReferenceNetlistValue(text));
        !same) {
        return same;
    }
    // The netlist rewriter hands the parser at most 20 bytes; check that cut as well.
    const std::string_view token = text.substr(0, kNetlistTokenLength);
    if (Result<void> same =
            Differs("ParseNetlistValue", token, ParseNetlistValue(token), ReferenceNetlistValue(token));
        !same) {
        return same;
    }

    const FieldValue field = ParseFieldValue(text);
    const FieldValue expected = ReferenceFieldValue(text);
    if (field.present != expected.present) {
        return Fail("ParseFieldValue of " + Quote(text) + (field.present ? " is present" : " is absent") +
                    ", expected the opposite");
    }
    if (Result<void> same = Differs("ParseFieldValue", text, field.value, expected.value); !same) {
        return same;
    }

    // The parsed values and the first eight bytes read as a double (any bit pattern) are printed
    // and round-tripped.
    FuzzInput input(data);
    const double raw = data.size() >= 8 ? input.rawDouble() : 0.0;
    for (const double value : {field.value, ParseNetlistValue(text), raw}) {
        if (Result<void> printed = CheckFormatG(value); !printed) {
            return printed;
        }
        if (Result<void> kept = CheckRoundTrip(value); !kept) {
            return kept;
        }
    }
    return {};
}

} // namespace tarvex::fuzz
