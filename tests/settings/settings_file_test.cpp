// SPDX-License-Identifier: MIT
// Settings files on disk: the 1348-byte layout at its documented offsets, byte-exact Load and Save,
// short and long files, and the errors Load and Save report. Hostile sizes, capability-dropped
// permission faults and odd bounds are in tests/faults.
#include "settings/settings_file.h"

#include "support/failure_of.h"
#include "support/param_name.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// File offsets, written out here rather than taken from the code under test.
constexpr std::size_t kTableN = 0;
constexpr std::size_t kTableP = 624;
constexpr std::size_t kKeyN = 1248;
constexpr std::size_t kKeyP = 1298;
constexpr std::size_t kLengthBounds = 48;
constexpr std::size_t kFiller = 621;

std::size_t Cell(std::size_t table, std::size_t w, std::size_t l) {
    return table + 96 + 105 * w + 21 * l;
}

std::uint64_t Bits(double value) {
    return std::bit_cast<std::uint64_t>(value);
}

void PutDouble(std::string& file, std::size_t offset, double value) {
    for (std::size_t i = 0; i < 8; ++i) {
        file[offset + i] = static_cast<char>(Bits(value) >> (8 * i));
    }
}

void PutText(std::string& file, std::size_t offset, std::string_view text) {
    file.replace(offset, text.size(), text);
}

// A complete file as another tool would write it, with junk after every NUL and in the fillers.
std::string HandWrittenFile() {
    std::string file(kSettingsFileSize, '\0');
    for (std::size_t i = 0; i < file.size(); ++i) {
        file[i] = static_cast<char>(0x80 | (i * 37 % 127)); // no NUL anywhere yet
    }
    const double widthN[6] = {1e-6, 2e-6, 5e-6, 0, 0, 0};
    const double lengthN[6] = {1.8e-7, 5e-7, 0, 0, 0, 0};
    const double widthP[6] = {2e-6, 4e-6, 8e-6, 1.6e-5, 0, 0};
    const double lengthP[6] = {3.5e-7, 1e-6, 2e-6, 0, 0, 0};
    for (std::size_t i = 0; i < 6; ++i) {
        PutDouble(file, kTableN + 8 * i, widthN[i]);
        PutDouble(file, kTableN + kLengthBounds + 8 * i, lengthN[i]);
        PutDouble(file, kTableP + 8 * i, widthP[i]);
        PutDouble(file, kTableP + kLengthBounds + 8 * i, lengthP[i]);
    }
    for (std::size_t w = 0; w < 5; ++w) {
        for (std::size_t l = 0; l < 5; ++l) {
            PutText(file, Cell(kTableN, w, l), std::string(1, '\0')); // empty, junk after it
            PutText(file, Cell(kTableP, w, l), std::string(1, '\0'));
        }
    }
    PutText(file, Cell(kTableN, 0, 0), std::string("NCH_SS\0", 7));
    PutText(file, Cell(kTableN, 2, 1), std::string("NCH_LW\0", 7));
    PutText(file, Cell(kTableP, 3, 2), std::string("P_NAME_OF_19_CHARS_\0", 20));
    PutText(file, kKeyN, std::string("nch_ph\0", 7));
    PutText(file, kKeyP, std::string("pch_ph\0", 7));
    return file;
}

std::string Image(const SettingsFile& settings) {
    std::string bytes(kSettingsFileSize, '\0');
    WriteSettings(settings, std::span<unsigned char, kSettingsFileSize>(
                                reinterpret_cast<unsigned char*>(bytes.data()), kSettingsFileSize));
    return bytes;
}

TEST(SettingsFileTest, FileFromAnotherToolLoadsIntoTheRightFields) {
    const TempDir dir;
    const std::string file = HandWrittenFile();
    WriteFileBytes(dir / "tech.amd", file);

    const Result<LoadedSettings> loaded = LoadSettings(dir / "tech.amd");

    ASSERT_TRUE(loaded.ok()) << loaded.error();
    EXPECT_FALSE(loaded->created);
    EXPECT_FALSE(loaded->readOnly);
    const SettingsFile& s = loaded->settings;
    EXPECT_EQ(s.tableN.widthBounds, (Bounds{1e-6, 2e-6, 5e-6, 0, 0, 0}));
    EXPECT_EQ(s.tableN.lengthBounds, (Bounds{1.8e-7, 5e-7, 0, 0, 0, 0}));
    EXPECT_EQ(s.tableP.widthBounds, (Bounds{2e-6, 4e-6, 8e-6, 1.6e-5, 0, 0}));
    EXPECT_EQ(s.tableP.lengthBounds, (Bounds{3.5e-7, 1e-6, 2e-6, 0, 0, 0}));
    EXPECT_EQ(PartName(s.tableN, 0, 0), "NCH_SS");
    EXPECT_EQ(PartName(s.tableN, 2, 1), "NCH_LW"); // width bin is the major index
    EXPECT_EQ(PartName(s.tableN, 1, 2), "");
    EXPECT_EQ(PartName(s.tableP, 3, 2), "P_NAME_OF_19_CHARS_");
    EXPECT_EQ(KeyText(s.keyN), "nch_ph");
    EXPECT_EQ(KeyText(s.keyP), "pch_ph");
    EXPECT_EQ(s.tableN.filler[0], static_cast<unsigned char>(file[kTableN + kFiller]));
    EXPECT_EQ(s.tableP.filler[2], static_cast<unsigned char>(file[kTableP + kFiller + 2]));
}

TEST(SettingsFileTest, LoadThenSaveWritesBackEveryByteItRead) {
    const TempDir dir;
    const std::string file = HandWrittenFile();
    WriteFileBytes(dir / "tech.amd", file);
    const Result<LoadedSettings> loaded = LoadSettings(dir / "tech.amd");
    ASSERT_TRUE(loaded.ok()) << loaded.error();

    ASSERT_TRUE(SaveSettings(dir / "copy.amd", loaded->settings));
    ASSERT_TRUE(SaveSettings(dir / "tech.amd", loaded->settings));

    EXPECT_TRUE(ReadFileBytes(dir / "copy.amd") == file);
    EXPECT_TRUE(ReadFileBytes(dir / "tech.amd") == file);
}

TEST(SettingsFileTest, SavedFromFieldsLoadsBackEqual) {
    const TempDir dir;
    SettingsFile settings;
    settings.tableN.widthBounds = {1e-6, 2.5e-6, 1e-5, 0, 0, 0};
    settings.tableP.lengthBounds = {0.18e-6, 1e300, 0, 0, 0, 0};
    SetPartName(settings.tableN, 4, 3, "N43");
    SetPartName(settings.tableP, 0, 4, "A_PART_NAME_LONGER_THAN_19");
    SetKeyText(settings.keyN, "");
    SetKeyText(settings.keyP, "MY_P");

    ASSERT_TRUE(SaveSettings(dir / "s.amd", settings));
    const std::string bytes = ReadFileBytes(dir / "s.amd");
    ASSERT_EQ(bytes.size(), kSettingsFileSize);
    EXPECT_EQ(bytes.substr(Cell(kTableN, 4, 3), 4), std::string("N43\0", 4));
    EXPECT_EQ(bytes.substr(Cell(kTableP, 0, 4), 20), std::string("A_PART_NAME_LONGER_\0", 20));
    EXPECT_EQ(bytes.substr(kKeyP, 5), std::string("MY_P\0", 5));

    const Result<LoadedSettings> loaded = LoadSettings(dir / "s.amd");
    ASSERT_TRUE(loaded.ok()) << loaded.error();
    EXPECT_EQ(loaded->settings.tableN.widthBounds, settings.tableN.widthBounds);
    EXPECT_EQ(loaded->settings.tableP.lengthBounds, settings.tableP.lengthBounds);
    EXPECT_EQ(PartName(loaded->settings.tableP, 0, 4), "A_PART_NAME_LONGER_");
    EXPECT_EQ(KeyText(loaded->settings.keyN), ""); // the caller shows the default Key for it
    EXPECT_EQ(Image(loaded->settings), bytes);
}

// A 700-byte file fills the N table and the first 76 bytes of the P table: its width bounds, three
// length bounds and the low half of the fourth. A 2000-byte file loads its first 1348 bytes, and a
// Save of changed tables keeps bytes 1348 on as they were.
TEST(SettingsFileTest, ShortFileLeavesTheRestZero) {
    const TempDir dir;
    const std::string full = HandWrittenFile();
    WriteFileBytes(dir / "short.amd", full.substr(0, 700));

    const Result<LoadedSettings> loaded = LoadSettings(dir / "short.amd");

    ASSERT_TRUE(loaded.ok()) << loaded.error();
    std::string expected = full.substr(0, 700);
    expected.resize(kSettingsFileSize, '\0');
    EXPECT_TRUE(Image(loaded->settings) == expected);
    EXPECT_EQ(loaded->settings.tableP.widthBounds, (Bounds{2e-6, 4e-6, 8e-6, 1.6e-5, 0, 0}));
    EXPECT_EQ(loaded->settings.tableP.lengthBounds[2], 2e-6);
    EXPECT_EQ(PartName(loaded->settings.tableP, 3, 2), "");
    EXPECT_EQ(KeyText(loaded->settings.keyN), "");
    EXPECT_EQ(ReadFileBytes(dir / "short.amd").size(), 700u); // Load writes nothing
}

TEST(SettingsFileTest, ShortFileCutInsideADoubleKeepsItsLowBytes) {
    const TempDir dir;
    std::string file(kSettingsFileSize, '\0');
    PutDouble(file, kTableP + kLengthBounds + 24, 1.25e-6); // P length bound 3, bytes 696..703
    WriteFileBytes(dir / "short.amd", file.substr(0, 700));

    const Result<LoadedSettings> loaded = LoadSettings(dir / "short.amd");

    ASSERT_TRUE(loaded.ok()) << loaded.error();
    EXPECT_EQ(Bits(loaded->settings.tableP.lengthBounds[3]), Bits(1.25e-6) & 0xffffffffu);
}

TEST(SettingsFileTest, LongFileLoadsItsHeadAndSaveKeepsItsTail) {
    const TempDir dir;
    std::string file = HandWrittenFile();
    for (std::size_t i = kSettingsFileSize; i < 2000; ++i) {
        file += static_cast<char>(i % 251);
    }
    WriteFileBytes(dir / "long.amd", file);

    Result<LoadedSettings> loaded = LoadSettings(dir / "long.amd");
    ASSERT_TRUE(loaded.ok()) << loaded.error();
    EXPECT_TRUE(Image(loaded->settings) == file.substr(0, kSettingsFileSize));

    SetPartName(loaded.value().settings.tableN, 0, 0, "CHANGED");
    ASSERT_TRUE(SaveSettings(dir / "long.amd", loaded->settings));

    const std::string saved = ReadFileBytes(dir / "long.amd");
    ASSERT_EQ(saved.size(), 2000u);
    EXPECT_TRUE(saved.substr(0, kSettingsFileSize) == Image(loaded->settings));
    EXPECT_TRUE(saved.substr(kSettingsFileSize) == file.substr(kSettingsFileSize));
    EXPECT_EQ(saved.substr(Cell(kTableN, 0, 0), 8), std::string("CHANGED\0", 8));
}

TEST(SettingsFileTest, MissingFileIsCreatedEmptyAndLoadsEmptyTables) {
    const TempDir dir;

    const Result<LoadedSettings> loaded = LoadSettings(dir / "new.amd");

    ASSERT_TRUE(loaded.ok()) << loaded.error();
    EXPECT_TRUE(loaded->created);
    EXPECT_TRUE(fs::is_regular_file(dir / "new.amd"));
    EXPECT_EQ(fs::file_size(dir / "new.amd"), 0u);
    EXPECT_TRUE(Image(loaded->settings) == std::string(kSettingsFileSize, '\0'));
}

TEST(SettingsFileTest, MissingFolderIsReportedAndNothingIsCreated) {
    const TempDir dir;
    const fs::path path = dir / "no" / "such.amd";

    const Result<LoadedSettings> loaded = LoadSettings(path);
    EXPECT_FALSE(loaded.ok());
    EXPECT_EQ(loaded.error(),
              "Error: Cannot open settings file \"" + path.string() + "\": No such file or directory.");

    EXPECT_EQ(test::FailureOf(SaveSettings(path, SettingsFile{})).value_or(""),
              "Error: Cannot open settings file \"" + path.string() + "\": No such file or directory.");
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(SettingsFileTest, SaveReportsAFullDevice) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "needs /dev/full";
    }
    const std::optional<std::string> error = test::FailureOf(SaveSettings("/dev/full", SettingsFile{}));
    EXPECT_EQ(error.value_or(""),
              "Error: Cannot write settings file \"/dev/full\": No space left on device.");
}

TEST(SettingsFileTest, ReadSettingsFileNeitherCreatesNorWrites) {
    const TempDir dir;
    const Result<LoadedSettings> missing = ReadSettingsFile(dir / "typo.amd");
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(missing.error(), "Error: Cannot open settings file \"" + (dir / "typo.amd").string() +
                                   "\": No such file or directory.");
    EXPECT_TRUE(fs::is_empty(dir.path()));

    const std::string file = HandWrittenFile();
    WriteFileBytes(dir / "tech.amd", file.substr(0, 900));
    const Result<LoadedSettings> read = ReadSettingsFile(dir / "tech.amd");
    ASSERT_TRUE(read.ok()) << read.error();
    std::string expected = file.substr(0, 900);
    expected.resize(kSettingsFileSize, '\0');
    EXPECT_TRUE(Image(read->settings) == expected);
    EXPECT_EQ(ReadFileBytes(dir / "tech.amd").size(), 900u);

    fs::create_directory(dir / "folder.amd");
#ifdef _WIN32
    const std::string verb = "open"; // Windows refuses a folder at the open
#else
    const std::string verb = "read"; // Linux opens a folder for reading and fails at the read
#endif
    EXPECT_EQ(ReadSettingsFile(dir / "folder.amd").error(), "Error: Cannot " + verb + " settings file \"" +
                                                                (dir / "folder.amd").string() +
                                                                "\": Is a directory.");
}

struct KeyCase {
    std::string name;
    std::string before; // the 50-byte field before SetKeyText, padded with '#'
    std::string key;
    std::string after; // the field afterwards, padded with '#'
    std::string text;  // KeyText afterwards
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

class KeyFieldTest : public testing::TestWithParam<KeyCase> {};

TEST_P(KeyFieldTest, StoresAtMost49BytesAndANulAndLeavesTheRest) {
    const KeyCase& c = GetParam();
    KeyField field{};
    std::string before = c.before;
    before.resize(kKeyFieldSize, '#');
    std::copy(before.begin(), before.end(), field.begin());

    SetKeyText(field, c.key);

    std::string after = c.after;
    after.resize(kKeyFieldSize, '#');
    EXPECT_EQ(std::string(field.begin(), field.end()), after);
    EXPECT_EQ(KeyText(field), c.text);
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyFieldTest,
                         testing::Values(KeyCase{"ShortKeyKeepsBytesAfterItsNul", "", "MODxyN",
                                                 std::string("MODxyN\0", 7), "MODxyN"},
                                         KeyCase{"EmptyKey", "OLD", "", std::string("\0LD", 3), ""},
                                         KeyCase{"LongKeyIsCutAt49", "", std::string(60, 'k'),
                                                 std::string(49, 'k') + '\0', std::string(49, 'k')},
                                         KeyCase{"EmbeddedNulEndsTheKey", "", std::string("ab\0cd", 5),
                                                 std::string("ab\0", 3), "ab"}),
                         test::RowName());

TEST(KeyFieldTest, FieldWithoutNulReadsAllFiftyBytes) {
    KeyField field;
    field.fill('K');
    EXPECT_EQ(KeyText(field), std::string(50, 'K'));
}

} // namespace
} // namespace tarvex
