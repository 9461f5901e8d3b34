// SPDX-License-Identifier: MIT
// What both windows make of their command line: which action, which file, and texts that agree
// with one another (a usage error is its reason and then the help), whatever the help says.
#include "form/start_options.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tarvex::form {
namespace {

using Action = StartOptions::Action;

TEST(StartOptions, ActionsAndSettingsFile) {
    const struct {
        std::vector<std::string> arguments;
        Action action;
        std::string file;
    } cases[] = {
        {{}, Action::Run, ""},
        {{"tech/c35.amd"}, Action::Run, "tech/c35.amd"},
        {{"-"}, Action::Run, "-"}, // a lone dash is a file name
        {{"-h"}, Action::Help, ""},
        {{"c35.amd", "--help"}, Action::Help, ""},
        {{"-v"}, Action::Version, ""},
        {{"--version"}, Action::Version, ""},
        {{"a.amd", "b.amd"}, Action::UsageError, ""},
        {{"x.amd", "--bogus", "-h"}, Action::UsageError, ""}, // an unknown option wins over help
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const StartOptions options = ParseStartOptions(c.arguments, "2.5");
        EXPECT_EQ(options.action, c.action);
        EXPECT_EQ(options.settingsFile.value_or(""), c.file);
        EXPECT_EQ(options.text.empty(), c.action == Action::Run);
    }
}

// The help is the same for -h and --help, names every option the parser takes, and follows the
// reason of every usage error; the version names the program and the version it was given.
TEST(StartOptions, TextsAgree) {
    const std::string help = ParseStartOptions({"--help"}, "2.5").text;
    EXPECT_EQ(ParseStartOptions({"-h"}, "2.5").text, help);
    EXPECT_TRUE(help.starts_with("Usage: tarvex [FILE.amd]\n")) << help;
    std::istringstream words(help);
    int options = 0;
    for (std::string word; words >> word;) {
        if (word.size() > 1 && word.front() == '-') {
            const std::string option = word.back() == ',' ? word.substr(0, word.size() - 1) : word;
            SCOPED_TRACE(option);
            EXPECT_NE(ParseStartOptions({option}, "2.5").action, Action::UsageError);
            ++options;
        }
    }
    EXPECT_EQ(options, 4);

    EXPECT_EQ(ParseStartOptions({"--version"}, "2.5").text, "tarvex 2.5\n");
    EXPECT_EQ(ParseStartOptions({"x.amd", "--bogus", "-h"}, "2.5").text,
              "tarvex: unknown option --bogus\n" + help);
    EXPECT_EQ(ParseStartOptions({"a.amd", "b.amd"}, "2.5").text,
              "tarvex: only one settings file can be opened\n" + help);
}

} // namespace
} // namespace tarvex::form
