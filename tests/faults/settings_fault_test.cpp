// SPDX-License-Identifier: MIT
// Settings files from anywhere: odd sizes, unreadable or unwritable places, bounds that are not
// ordinary numbers and fields without a NUL. Nothing may crash, and no byte of the file may change
// unless a Save succeeds.
#include "fault_support.h"

#include "process/process.h"
#include "settings/settings_file.h"
#include "support/failure_of.h"
#include "support/param_name.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <random>
#include <string>

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kDenormal = std::numeric_limits<double>::denorm_min();

// File offsets of the format: N table at 0, P table at 624, KeyN at 1248, KeyP at 1298; in a
// table the width bounds at 0, the length bounds at 48 and cell (w, l) at 96 + 105 w + 21 l.
constexpr std::size_t kTableP = 624;
constexpr std::size_t kKeyN = 1248;

std::string Q(const fs::path& path) {
    return "\"" + path.string() + "\"";
}

void PutDouble(std::string& file, std::size_t offset, double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    for (std::size_t i = 0; i < 8; ++i) {
        file[offset + i] = static_cast<char>(bits >> (8 * i));
    }
}

void PutBounds(std::string& file, std::size_t offset, const Bounds& bounds) {
    for (std::size_t i = 0; i < bounds.size(); ++i) {
        PutDouble(file, offset + 8 * i, bounds[i]);
    }
}

void PutText(std::string& file, std::size_t offset, std::string_view text) {
    file.replace(offset, text.size(), text);
}

std::size_t Cell(std::size_t table, std::size_t w, std::size_t l) {
    return table + 96 + 105 * w + 21 * l;
}

std::string Image(const SettingsFile& settings) {
    std::string bytes(kSettingsFileSize, '\0');
    WriteSettings(settings, std::span<unsigned char, kSettingsFileSize>(
                                reinterpret_cast<unsigned char*>(bytes.data()), kSettingsFileSize));
    return bytes;
}

RewriteRules RulesFrom(const SettingsFile& settings) {
    RewriteRules rules;
    rules.tableN = settings.tableN;
    rules.tableP = settings.tableP;
    rules.keyN = std::string(KeyText(settings.keyN));
    rules.keyP = std::string(KeyText(settings.keyP));
    return rules;
}

// A file of any size loads as its first 1348 bytes (zeros where it is shorter), and saving what was
// loaded leaves a file that is at least that long byte for byte as it was.
struct SizeCase {
    std::string name;
    std::size_t size;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsSizeTest : public testing::TestWithParam<SizeCase> {};

TEST_P(SettingsSizeTest, LoadsItsFirst1348BytesAndSavesThemBack) {
    const TempDir dir;
    std::mt19937 random(7);
    std::string content(GetParam().size, '\0');
    for (char& c : content) {
        c = static_cast<char>(random() % 255 + 1); // no NUL, so every name and Key runs to its field's end
    }
    WriteFileBytes(dir / "s.amd", content);

    const Result<LoadedSettings> loaded = LoadSettings(dir / "s.amd");

    ASSERT_TRUE(loaded.ok()) << loaded.error();
    EXPECT_FALSE(loaded->created);
    std::string expected = content.substr(0, kSettingsFileSize);
    expected.resize(kSettingsFileSize, '\0');
    EXPECT_TRUE(Image(loaded->settings) == expected);
    EXPECT_EQ(KeyText(loaded->settings.keyN).size(), content.size() >= kKeyN + 50 ? 50u : 0u);

    ASSERT_TRUE(SaveSettings(dir / "s.amd", loaded->settings));
    const std::string saved = ReadFileBytes(dir / "s.amd");
    EXPECT_EQ(saved.size(), std::max(content.size(), kSettingsFileSize));
    EXPECT_TRUE(saved.substr(0, kSettingsFileSize) == expected);
    EXPECT_TRUE(saved.substr(std::min(saved.size(), kSettingsFileSize)) ==
                content.substr(std::min(content.size(), kSettingsFileSize)));
}

INSTANTIATE_TEST_SUITE_P(Sizes, SettingsSizeTest,
                         testing::Values(SizeCase{"Empty", 0}, SizeCase{"OneByteShort", 1347},
                                         SizeCase{"OneMegabyteOfRandomBytes", 1 << 20}),
                         test::RowName());

// A settings file where a user may point, read-only or not a file: Load and Save say what stops
// them, and nothing on disk changes.
enum class Place { File, MissingInReadOnlyFolder, Folder };

struct PlaceCase {
    std::string name;
    Place place;
    fs::perms filePermissions; // of the file at s.amd
    std::string loadError;     // with {path}; empty: the file loads, marked read-only
    std::string saveError;     // with {path}: saving what was loaded, or an empty file when nothing was
};

void PrintTo(const PlaceCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsPlaceTest : public testing::TestWithParam<PlaceCase> {};

TEST_P(SettingsPlaceTest, LoadAndSaveSayWhyAndChangeNothing) {
    const PlaceCase& c = GetParam();
    std::optional<test::PermissionBitsHonoured> honoured;
    if (c.place != Place::Folder) {
        honoured.emplace();
        if (honoured->skipReason()) {
            GTEST_SKIP() << *honoured->skipReason();
        }
    }
    const TempDir dir;
    const fs::path path = dir / "s.amd";
    std::string content(kSettingsFileSize, '\0');
    PutBounds(content, 0, {1e-6, 2e-6, 0, 0, 0, 0});
    PutText(content, Cell(0, 0, 0), "NCH");
    if (c.place == Place::File) {
        WriteFileBytes(path, content);
        fs::permissions(path, c.filePermissions);
    } else if (c.place == Place::Folder) {
        fs::create_directory(path);
        WriteFileBytes(path / "inside.txt", "keep");
    } else {
        fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    }
    const auto withPath = [&](std::string text) { return text.replace(text.find("{path}"), 6, Q(path)); };

    const Result<LoadedSettings> loaded = LoadSettings(path);
    SettingsFile toSave;
    if (c.loadError.empty()) {
        ASSERT_TRUE(loaded.ok()) << loaded.error();
        EXPECT_TRUE(loaded->readOnly);
        EXPECT_EQ(Image(loaded->settings), content);
        toSave = loaded->settings;
        SetPartName(toSave.tableN, 0, 0, "OTHER");
    } else {
        EXPECT_FALSE(loaded.ok());
        EXPECT_EQ(loaded.error(), withPath(c.loadError));
    }
    EXPECT_EQ(test::FailureOf(SaveSettings(path, toSave)).value_or(""), withPath(c.saveError));

    if (c.place == Place::File) {
        EXPECT_EQ(ReadFileBytes(path), content);
    } else if (c.place == Place::Folder) {
        EXPECT_TRUE(fs::is_directory(path));
        EXPECT_EQ(ReadFileBytes(path / "inside.txt"), "keep");
    } else {
        EXPECT_TRUE(test::EntriesOf(dir.path()).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsPlaceTest,
    testing::Values(PlaceCase{"ReadOnlyFile", Place::File, fs::perms::owner_read, "",
                              "Error: Cannot open settings file {path}: Permission denied."},
                    PlaceCase{"ReadOnlyFileSharedWithTheGroup", Place::File,
                              fs::perms::owner_read | fs::perms::group_read, "",
                              "Error: Cannot open settings file {path}: Permission denied."},
                    PlaceCase{"MissingFileInReadOnlyFolderIsNotCreated", Place::MissingInReadOnlyFolder,
                              fs::perms::none, "Error: Cannot open settings file {path}: Permission denied.",
                              "Error: Cannot open settings file {path}: Permission denied."},
                    PlaceCase{"FolderInsteadOfFile", Place::Folder, fs::perms::none,
                              "Error: Cannot read settings file {path}: Is a directory.",
                              "Error: Cannot open settings file {path}: Is a directory."}),
    test::RowName());

// Bounds that a file may hold but the form would rarely produce, loaded and then used by Process.
struct BoundsCase {
    std::string name;
    Bounds widthN;
    Bounds widthP;
    std::string netlist;
    std::string error;   // the refusal, or empty when the run completes
    std::string output;  // the new ".net" when the run completes
    std::string problem; // the first device problem reported, or empty
};

void PrintTo(const BoundsCase& c, std::ostream* os) {
    *os << c.name;
}

class SpecialBoundsTest : public testing::TestWithParam<BoundsCase> {};

TEST_P(SpecialBoundsTest, LoadByteExactAndProcessAsValidated) {
    const BoundsCase& c = GetParam();
    const TempDir dir;
    std::string content(kSettingsFileSize, '\0');
    PutBounds(content, 0, c.widthN);
    PutBounds(content, 48, {5e-7, 2e-6, 0, 0, 0, 0});
    PutBounds(content, kTableP, c.widthP);
    PutBounds(content, kTableP + 48, {5e-7, 2e-6, 0, 0, 0, 0});
    for (std::size_t w = 0; w < 3; ++w) {
        PutText(content, Cell(0, w, 0), "N" + std::to_string(w));
        PutText(content, Cell(kTableP, w, 0), "P" + std::to_string(w));
    }
    PutText(content, kKeyN, "MODxyN");
    PutText(content, kKeyN + 50, "MODxyP");
    WriteFileBytes(dir / "s.amd", content);
    WriteFileBytes(dir / "amp.net", c.netlist);

    const Result<LoadedSettings> loaded = LoadSettings(dir / "s.amd");
    ASSERT_TRUE(loaded.ok()) << loaded.error();
    EXPECT_EQ(Image(loaded->settings), content);
    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.net", RulesFrom(loaded->settings));

    EXPECT_EQ(outcome.error.value_or(""), c.error);
    if (c.error.empty()) {
        EXPECT_EQ(ReadFileBytes(dir / "amp.ant"), c.netlist);
        EXPECT_EQ(ReadFileBytes(dir / "amp.net"), c.output);
        EXPECT_EQ(outcome.report.firstProblem.value_or(""), c.problem);
    } else {
        EXPECT_EQ(test::EntriesOf(dir.path()), (std::set<std::string>{"amp.net", "s.amd"}));
        EXPECT_EQ(ReadFileBytes(dir / "amp.net"), c.netlist);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpecialBoundsTest,
    testing::Values(BoundsCase{"NaNWidthBoundIsRefused",
                               {kNaN, 1e-6, 0, 0, 0, 0},
                               {1e-6, 5e-6, 0, 0, 0, 0},
                               "M1 MODxyN L=1U W=2U\n",
                               "Bad w value nan!\nMODxyN table, width bound 1.",
                               "",
                               ""},
                    BoundsCase{"NegativeNaNIsNamedWithItsSign",
                               {-kNaN, 1e-6, 0, 0, 0, 0},
                               {1e-6, 5e-6, 0, 0, 0, 0},
                               "M1 MODxyN L=1U W=2U\n",
                               "Bad w value -nan!\nMODxyN table, width bound 1.",
                               "",
                               ""},
                    // An infinite last bound is a bin without upper end: it rises above every finite bound.
                    BoundsCase{"InfiniteLastBoundIsAnOpenBin",
                               {1e-6, 5e-6, kInf, 0, 0, 0},
                               {1e-6, 5e-6, 0, 0, 0, 0},
                               "M1 MODxyN L=1U W=2U\nM2 MODxyN L=1U W=1e300\n",
                               "",
                               "M1 N0 L=1U W=2U\nM2 N1 L=1U W=1e300\n",
                               ""},
                    BoundsCase{"InfiniteBoundBeforeFiniteIsRefused",
                               {1e-6, kInf, 5e-6, 0, 0, 0},
                               {1e-6, 5e-6, 0, 0, 0, 0},
                               "M1 MODxyN L=1U W=2U\n",
                               "Bad w value inf!\nMODxyN table, width bound 2.",
                               "",
                               ""},
                    BoundsCase{"DenormalFirstBound",
                               {kDenormal, 1e-6, 5e-6, 0, 0, 0},
                               {1e-6, 5e-6, 0, 0, 0, 0},
                               "M1 MODxyN L=1U W=0.1U\nM2 MODxyN L=1U W=2U\n",
                               "",
                               "M1 N0 L=1U W=0.1U\nM2 N1 L=1U W=2U\n",
                               ""},
                    // The P table is validated as the N table is.
                    BoundsCase{"NaNInPTableIsRefused",
                               {1e-6, 5e-6, 0, 0, 0, 0},
                               {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN},
                               "M1 MODxyN L=1U W=2U\nM2 MODxyP L=1U W=2U\n",
                               "Bad w value nan!\nMODxyP table, width bound 1.",
                               "",
                               ""}),
    test::RowName());

TEST(SettingsFaultTest, FieldsWithoutNulStayInsideTheirField) {
    const TempDir dir;
    std::string content(kSettingsFileSize, '\0');
    PutBounds(content, 0, {1e-6, 5e-6, 0, 0, 0, 0});
    PutBounds(content, 48, {5e-7, 2e-6, 0, 0, 0, 0});
    PutText(content, Cell(0, 0, 0), "ABCDEFGHIJKLMNOPQRSTU"); // all 21 bytes, no NUL
    PutText(content, Cell(0, 0, 1), "ZZ_NEXT_CELL");
    const std::string keyN(50, 'K'); // all 50 bytes, running into KeyP's field
    PutText(content, kKeyN, keyN);
    PutText(content, kKeyN + 50, "MODxyP");
    WriteFileBytes(dir / "s.amd", content);
    const std::string netlist = "M1 d g s b " + keyN + " L=1U W=2U\n";
    WriteFileBytes(dir / "amp.net", netlist);

    const Result<LoadedSettings> loaded = LoadSettings(dir / "s.amd");
    ASSERT_TRUE(loaded.ok()) << loaded.error();
    EXPECT_EQ(PartName(loaded->settings.tableN, 0, 0), "ABCDEFGHIJKLMNOPQRSTU");
    EXPECT_EQ(KeyText(loaded->settings.keyN), keyN);
    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.net", RulesFrom(loaded->settings));

    EXPECT_FALSE(outcome.error) << *outcome.error;
    EXPECT_EQ(ReadFileBytes(dir / "amp.net"), "M1 d g s b ABCDEFGHIJKLMNOPQRSTU L=1U W=2U\n");
    ASSERT_TRUE(SaveSettings(dir / "s.amd", loaded->settings));
    EXPECT_EQ(ReadFileBytes(dir / "s.amd"), content);
}

} // namespace
} // namespace tarvex
