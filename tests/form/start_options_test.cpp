// SPDX-License-Identifier: MIT
// What both windows tell for their command line: one usage text, the version, the reason of a
// usage error.
#include "form/start_options.h"

#include <gtest/gtest.h>

namespace tarvex::form {
namespace {

TEST(StartOptions, TextsOfHelpVersionAndUsageErrors) {
    const std::string usage =
        "Usage: tarvex [FILE.amd]\n"
        "Edits MOSFET bin tables and bins the placeholder models of SPICE netlists.\n"
        "\n"
        "  FILE.amd       open this settings file instead of the one remembered at Exit\n"
        "  -h, --help     show this help\n"
        "  -v, --version  show the version\n";
    const struct {
        std::vector<std::string> arguments;
        std::string text;
    } cases[] = {
        {{"-h"}, usage},
        {{"-v"}, "tarvex 2.5\n"},
        {{"x.amd", "--bogus", "-h"}, "tarvex: unknown option --bogus\n" + usage},
        {{"a.amd", "b.amd"}, "tarvex: only one settings file can be opened\n" + usage},
        {{"-"}, ""}, // a lone dash is a file name
    };
    for (const auto& c : cases) {
        const StartOptions options = ParseStartOptions(c.arguments, "2.5");
        EXPECT_EQ(options.text, c.text) << c.arguments.front();
    }
}

} // namespace
} // namespace tarvex::form
