// SPDX-License-Identifier: MIT
// The import service that tarvex-cli import and the window share: groups and their grids, the
// choice by name or glob, the tables with every reason once, the check and the write.
#include "models/bin_import.h"

#include "files/paths.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// Two nmos groups ("a" fits, "b" overlaps) and one pmos group ("p" fits).
constexpr const char* kLibrary = ".model a.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n"
                                 ".model a.1 nmos lmin=2u lmax=3u wmin=1u wmax=2u\n"
                                 ".model b.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n"
                                 ".model b.1 nmos lmin=1.5u lmax=3u wmin=1u wmax=2u\n"
                                 ".model p.0 pmos lmin=1u lmax=2u wmin=1u wmax=2u\n";

std::string Names(const std::vector<ImportGroup>& groups) {
    std::string names;
    for (const ImportGroup& group : groups) {
        names += group.group->name + " ";
    }
    return names;
}

TEST(BinImportTest, OffersEachGroupWithItsGridBuiltOnce) {
    const ModelLibrary library = ReadModelLibraryText(kLibrary, "lib.spice");
    BinImport import(library);

    EXPECT_EQ(Names(import.groups()), "a b p ");
    const std::vector<ImportGroup> nmos = import.ofType(ModelType::Nmos);
    EXPECT_EQ(Names(nmos), "a b ");
    EXPECT_EQ(Names(import.ofType(ModelType::Pmos)), "p ");
    ASSERT_EQ(nmos.size(), 2u);
    EXPECT_TRUE(nmos[0].grid->table);
    EXPECT_FALSE(nmos[1].grid->table);
    EXPECT_EQ(nmos[0].grid->lengthBins, BuildBinTable(*nmos[0].group, library).lengthBins);

    // A pick by name is the group offered, grid and all, not a copy built again.
    const ImportGroup named = import.pick(ModelType::Nmos, "A");
    EXPECT_EQ(named.group, nmos[0].group);
    EXPECT_EQ(named.grid, nmos[0].grid);
    EXPECT_FALSE(import.pick(ModelType::Pmos, "a"));
    EXPECT_FALSE(import.pick(ModelType::Nmos, "x*"));

    // Groups gathered by a glob stay in place while more are gathered.
    const ImportGroup first = import.pick(ModelType::Nmos, "a.?");
    const ImportGroup second = import.pick(ModelType::Nmos, "*.0");
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_EQ(first.group->name, "a.?");
    EXPECT_EQ(first.group->cards.size(), 2u);
    EXPECT_TRUE(first.grid->table);
    EXPECT_EQ(second.group->cards.size(), 2u); // a.0 and b.0: the same bounds, so no grid
    EXPECT_FALSE(second.grid->table);
    EXPECT_EQ(Names(import.groups()), "a b p "); // gathered groups are not offered
}

TEST(BinImportTest, TablesComeWithEveryReasonOnceAndKeepTheOtherTable) {
    const ModelLibrary library =
        ReadModelLibraryText(std::string(".option scale=1u\n") + kLibrary, "lib.spice");
    BinImport import(library);
    const ImportedTables both =
        BuildImportedTables(import.pick(ModelType::Nmos, "a"), import.pick(ModelType::Pmos, "p"));
    EXPECT_FALSE(both.n);
    EXPECT_FALSE(both.p);
    // The scale option stands against both tables and is said once.
    EXPECT_EQ(both.reasons,
              std::vector<std::string>{
                  "lib.spice:1: .option scale=1u: the bounds are in another unit than L= and W="});

    const ModelLibrary plain = ReadModelLibraryText(kLibrary, "lib.spice");
    BinImport plainImport(plain);
    const ImportedTables nOnly = BuildImportedTables(plainImport.pick(ModelType::Nmos, "a"), ImportGroup{});
    ASSERT_TRUE(nOnly.n);
    EXPECT_FALSE(nOnly.p);
    EXPECT_TRUE(nOnly.reasons.empty());
    SettingsFile settings;
    SetPartName(settings.tableP, 0, 0, "typed");
    nOnly.applyTo(settings);
    EXPECT_EQ(PartName(settings.tableN, 0, 1), "a.1");
    EXPECT_EQ(PartName(settings.tableP, 0, 0), "typed");
}

TEST(BinImportTest, RefusesToWriteOverAFileTheLibraryWasReadFrom) {
    const TempDir dir;
    WriteFileBytes(dir / "top.lib", ".include \"cards.lib\"\n");
    WriteFileBytes(dir / "cards.lib", ".model a.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n");
    const ModelLibrary library = ReadModelLibrary({dir / "top.lib"});

    EXPECT_TRUE(CheckNotReadFrom(dir / "out.amd", library, {dir / "top.lib"}).ok());
    const Result<void> given = CheckNotReadFrom(dir / "." / "top.lib", library, {dir / "top.lib"});
    ASSERT_FALSE(given.ok());
    EXPECT_NE(given.error().find(" would overwrite the model library "), std::string::npos) << given.error();
    const Result<void> included = CheckNotReadFrom(dir / "cards.lib", library, {dir / "top.lib"});
    ASSERT_FALSE(included.ok());
    EXPECT_NE(included.error().find(" would overwrite the included model file "), std::string::npos)
        << included.error();
}

TEST(BinImportTest, WritesTheWholeFileOrSaysWhyNot) {
    const TempDir dir;
    SettingsFile settings;
    SetKeyText(settings.keyN, "NKEY");
    WriteFileBytes(dir / "s.amd", std::string(2000, 'x')); // replaced whole, tail and all

    ASSERT_TRUE(WriteImportedSettings(dir / "s.amd", settings).ok());
    EXPECT_EQ(ReadFileBytes(dir / "s.amd").size(), kSettingsFileSize);

    const Result<void> missing = WriteImportedSettings(dir / "no" / "s.amd", settings);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error(),
              "Error: Cannot create " + QuotedPath(dir / "no" / "s.amd") + ": No such file or directory.");

    // Checked as absent, but there by the time it is put in place: the other file is kept.
    WriteFileBytes(dir / "new.amd", "another program's");
    const Result<void> raced = WriteImportedSettings(dir / "new.amd", settings, ReplaceOptions::Check{});
    ASSERT_FALSE(raced.ok());
    EXPECT_EQ(raced.error(),
              "Error: " + QuotedPath(dir / "new.amd") +
                  " was written by another program meanwhile; it was kept, and the settings were "
                  "written to " +
                  QuotedPath(dir / "new.amd.~1~") + " instead.");
    EXPECT_EQ(ReadFileBytes(dir / "new.amd"), "another program's");
    EXPECT_EQ(ReadFileBytes(dir / "new.amd.~1~").size(), kSettingsFileSize);
}

} // namespace
} // namespace tarvex
