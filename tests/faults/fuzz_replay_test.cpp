// SPDX-License-Identifier: MIT
// Replays every committed fuzz input (the seed corpora in fuzz/corpus/<target>/ and the inputs of
// past findings in tests/data/fuzz-regressions/<target>/) through the same checks the fuzzers run.
// A regression input whose file name starts with "open-" belongs to a finding that is not fixed
// yet: it is registered as a DISABLED_ test, so it shows in every run without failing the suite,
// and is enabled by renaming the file once the fix is in.
#include "targets.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::fuzz {
namespace {

namespace fs = std::filesystem;

using Check = Result<void> (*)(Bytes);

struct Target {
    const char* name;
    Check check;
};

constexpr Target kTargets[] = {
    {"engineering_value", CheckEngineeringValue},
    {"model_library", CheckModelLibrary},
    {"rewrite_stream", CheckRewriteStream},
    {"settings", CheckSettings},
    {"spice_sizes", CheckSpiceSizes},
};

class ReplayTest : public testing::Test {
public:
    ReplayTest(Check check, fs::path file) : m_check(check), m_file(std::move(file)) {}

    void TestBody() override {
        const std::string bytes = test::ReadFileBytes(m_file);
        const Result<void> checked =
            m_check({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
        if (!checked) {
            ADD_FAILURE() << m_file.string() << ": " << checked.error();
        }
    }

private:
    Check m_check;
    fs::path m_file;
};

// Stands for a folder of inputs that is missing or empty, and fails saying so.
class MissingFolderTest : public testing::Test {
public:
    explicit MissingFolderTest(std::string why) : m_why(std::move(why)) {}
    void TestBody() override { ADD_FAILURE() << "no fuzz inputs to replay: " << m_why; }

private:
    std::string m_why;
};

// Test names may hold letters, digits and underscores only.
std::string TestName(const std::string& fileName) {
    std::string name;
    for (const char c : fileName) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

void RegisterReplays() {
    const std::pair<const char*, fs::path> sources[] = {
        {"Seed", fs::path(TARVEX_FUZZ_DIR) / "corpus"},
        {"Regression", fs::path(TARVEX_TEST_DATA_DIR) / "fuzz-regressions"},
    };
    for (const Target& target : kTargets) {
        for (const auto& [kind, root] : sources) {
            const std::string suite = std::string(kind) + "Replay_" + target.name;
            const fs::path folder = root / target.name;
            std::vector<fs::path> files;
            std::error_code missing;
            for (const auto& entry : fs::directory_iterator(folder, missing)) {
                if (entry.is_regular_file()) {
                    files.push_back(entry.path());
                }
            }
            // A moved or emptied folder would otherwise replay nothing, silently. Every target has
            // seeds; a target without findings has no regression folder of its own.
            const bool required = std::string_view(kind) == "Seed" || !fs::is_directory(root);
            if (required && (missing || files.empty())) {
                const std::string why =
                    folder.string() + (missing ? ": " + missing.message() : " holds no input");
                testing::RegisterTest(suite.c_str(), "FolderHoldsInputs", nullptr, nullptr, __FILE__,
                                      __LINE__,
                                      [why]() -> testing::Test* { return new MissingFolderTest(why); });
                continue;
            }
            std::sort(files.begin(), files.end());
            for (const fs::path& file : files) {
                const std::string fileName = file.filename().string();
                const std::string name =
                    (fileName.starts_with("open-") ? "DISABLED_" : "") + TestName(fileName);
                const Check check = target.check;
                testing::RegisterTest(
                    suite.c_str(), name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                    [check, file]() -> testing::Test* { return new ReplayTest(check, file); });
            }
        }
    }
}

// Registered before main runs, so that test discovery lists every input as its own test.
[[maybe_unused]] const bool kRegistered = (RegisterReplays(), true);

} // namespace
} // namespace tarvex::fuzz
