// SPDX-License-Identifier: MIT
// The form's Import Bins from Model Library command, driven through the fake ports.
#include "form/form_presenter.h"

#include "fake_ports.h"
#include "files/paths.h"
#include "form/form_layout.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarvex {
namespace {

using form::kGroupN;
using form::kGroupP;
using test::WriteFileBytes;

const std::filesystem::path kModels = std::filesystem::path(TARVEX_TEST_DATA_DIR) / "models";

class ImportBinsTest : public testing::Test {
protected:
    void SetUp() override {
        m_presenter.StartUp();
        m_view.fields[kGroupN.keyId] = "myN";
        m_view.fields[kGroupP.nameId(0, 0)] = "typed";
        m_view.fields[kGroupP.widthBoundIds[0]] = "1u";
    }

    // Imports library, answering the file dialogs with it and then with target (nothing: the save
    // dialog is cancelled).
    void Import(const std::filesystem::path& library, const std::optional<std::filesystem::path>& target) {
        m_prompts.answers = {library, target};
        m_presenter.ImportBins();
    }

    SettingsFile Stored(const std::filesystem::path& path) {
        const Result<LoadedSettings> loaded = ReadSettingsFile(path);
        EXPECT_TRUE(loaded.ok()) << loaded.error();
        return loaded ? loaded->settings : SettingsFile{};
    }

    test::TempDir m_dir;
    test::FakeView m_view;
    test::FakePrompts m_prompts;
    test::FakeProfile m_profile;
    form::FormPresenter m_presenter{m_view, m_prompts, m_profile, [] { return TitleHint{}; }};
};

// The tables go into a new settings file with the form's Keys, which is then loaded as Load loads a
// file: the fields show it, it is the current settings file, and Exit remembers it.
TEST_F(ImportBinsTest, WritesTheTablesToANewSettingsFileAndLoadsIt) {
    const std::filesystem::path target = m_dir / "gf.amd";
    WriteFileBytes(target, std::string(2000, 'x')); // replaced whole, as the save dialog agreed

    Import(kModels / "gf180mcu-fet_03v3.spice", target);

    ASSERT_EQ(m_prompts.requests.size(), 2u);
    EXPECT_FALSE(m_prompts.requests[0].save);
    EXPECT_EQ(test::Filters(m_prompts.requests[0]),
              "Model Libraries (*.lib *.spice *.sp *.mod *.ngspice)|"
              "*.lib;*.spice;*.sp;*.mod;*.ngspice|All Files (*.*)|*.*|");
    const form::FileRequest& save = m_prompts.requests[1];
    EXPECT_TRUE(save.save);
    EXPECT_EQ(test::Filters(save), "MODxy Files (*.amd)|*.amd|All Files (*.*)|*.*|");
    EXPECT_EQ(save.defaultExtension, "amd");
    EXPECT_EQ(save.initialName, "gf180mcu-fet_03v3.amd");
    // The library's folder, with its drive on Windows.
    EXPECT_TRUE(std::filesystem::equivalent(save.startFolder, kModels)) << save.startFolder;
    EXPECT_TRUE(m_prompts.messages.empty()) << m_prompts.messages.front();

    // The file holds the tables exactly as imported, not as the fields round them, and the Keys.
    EXPECT_EQ(std::filesystem::file_size(target), kSettingsFileSize);
    const SettingsFile stored = Stored(target);
    EXPECT_EQ(stored.tableN.widthBounds[4], 1.00001e-4);
    EXPECT_EQ(PartName(stored.tableP, 3, 3), "pfet_03v3.15");
    EXPECT_EQ(KeyText(stored.keyN), "myN");
    EXPECT_EQ(KeyText(stored.keyP), "MODxyP");

    ASSERT_EQ(m_prompts.infos.size(), 1u);
    // The path as the working folder makes it (with its drive on Windows), then each table's group
    // and the file written.
    const std::string& info = m_prompts.infos[0];
    EXPECT_EQ(info.rfind("Imported from \"", 0), 0u) << info;
    EXPECT_NE(info.find("gf180mcu-fet_03v3.spice\":\n"), std::string::npos) << info;
    EXPECT_NE(info.find(":\nMODxyN table: nfet_03v3, 16 cards, 4 length × 4 width bins\n"
                        "MODxyP table: pfet_03v3, 16 cards, 4 length × 4 width bins\n"
                        "Saved in " +
                        QuotedPath(target) + ", now the current settings file."),
              std::string::npos)
        << info;
    EXPECT_EQ(m_view.fields[kGroupN.nameId(0, 1)], "nfet_03v3.1");
    EXPECT_EQ(m_view.fields[kGroupP.nameId(3, 3)], "pfet_03v3.15");
    EXPECT_EQ(m_view.fields[kGroupP.nameId(0, 0)], "pfet_03v3.0");
    EXPECT_EQ(m_view.fields[kGroupN.lengthBoundIds[0]], "2.8e-07");
    EXPECT_EQ(m_view.fields[kGroupN.widthBoundIds[4]], "0.000100001");
    EXPECT_EQ(m_view.fields[kGroupN.widthBoundIds[5]], "");
    EXPECT_EQ(m_view.hints[kGroupN.nameId(0, 1)].toolTip, "N, width bin 1, length bin 2: nfet_03v3.1");
    // The field cuts the bound's last digits; its tooltip has them.
    EXPECT_EQ(m_view.hints[kGroupN.widthBoundIds[4]].toolTip, "N, width bound 5: 0.000100001");
    // The file written is the file loaded: nothing to ask about on the way out.
    EXPECT_FALSE(m_presenter.HasUnsavedChanges());
    EXPECT_EQ(m_view.title, "gf.amd - Tarvex");
    EXPECT_EQ(m_view.fields[kGroupN.keyId], "myN");
    EXPECT_EQ(m_view.fields[kGroupP.keyId], "MODxyP");
    EXPECT_EQ(m_presenter.model().currentSettingsPath, target);
    EXPECT_EQ(m_presenter.model().workingFolder, m_dir.path());

    m_presenter.Exit();
    EXPECT_EQ(m_profile.stored, target);
    EXPECT_EQ(m_view.ended, true);
}

TEST_F(ImportBinsTest, AsksForTheGroupWhenATypeHasSeveralAndKeepsTheOtherTable) {
    WriteFileBytes(m_dir / "two.lib", ".model a.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n"
                                      ".model b.0 nmos lmin=1u lmax=3u wmin=1u wmax=2u\n"
                                      ".model b.1 nmos lmin=3u lmax=4u wmin=1u wmax=2u\n");
    Import(m_dir / "two.lib", m_dir / "two.amd"); // the list is cancelled
    ASSERT_EQ(m_prompts.choiceItems.size(), 1u);
    EXPECT_EQ(m_prompts.choiceItems[0],
              (std::vector<std::string>{"a (nmos): 1 card, 1 length × 1 width bins, fits a table",
                                        "b (nmos): 2 cards, 2 length × 1 width bins, fits a table"}));
    EXPECT_EQ(m_prompts.requests.size(), 1u); // no save dialog
    EXPECT_EQ(m_view.fields[kGroupN.nameId(0, 0)], "");
    EXPECT_TRUE(m_prompts.infos.empty());
    EXPECT_FALSE(std::filesystem::exists(m_dir / "two.amd"));

    m_prompts.choices = {1};
    Import(m_dir / "two.lib", m_dir / "two.amd");
    EXPECT_EQ(m_view.fields[kGroupN.nameId(0, 1)], "b.1");
    EXPECT_EQ(m_view.fields[kGroupN.lengthBoundIds[2]], "4e-06");
    // No pmos group: the P table keeps what its fields show, in the file too.
    EXPECT_EQ(m_view.fields[kGroupP.nameId(0, 0)], "typed");
    EXPECT_EQ(m_view.fields[kGroupP.widthBoundIds[0]], "1e-06");
    EXPECT_EQ(m_prompts.infos.size(), 1u);
    const SettingsFile stored = Stored(m_dir / "two.amd");
    EXPECT_EQ(PartName(stored.tableP, 0, 0), "typed");
    EXPECT_EQ(stored.tableP.widthBounds[0], 1e-6);
    EXPECT_EQ(PartName(stored.tableN, 0, 1), "b.1");
}

// A long list of reasons is summed up in one line with the list under Show Details; a short one is
// shown whole. Either way the message ends by saying what was left alone.
TEST_F(ImportBinsTest, StopsWithEveryReasonAndLeavesTheFieldsAlone) {
    const std::map<int, std::string> before = m_view.fields;
    WriteFileBytes(m_dir / "expr.lib", ".model n.0 nmos lmin={a} lmax=2u wmin=1u wmax=2u\n");
    const std::filesystem::path sky = kModels / "sky130-nfet_01v8-discrete.spice";
    const struct {
        std::filesystem::path library;
        std::vector<std::string> parts; // in the message or its details
        std::string summary;            // the whole message when the reasons are summed up
        std::string ending;             // of the message
    } rows[] = {
        {sky,
         {"25 length bins × 39 width bins", "not a grid", "name of 32 bytes", "local to subcircuit"},
         "sky130-nfet_01v8-discrete.spice\": 14 reasons, listed under Show Details. The tables were not "
         "changed.",
         "The tables were not changed."},
        {m_dir / "expr.lib",
         {"Cannot import bins from", "No binned nmos or pmos cards", "n.0: lmin={a} not evaluated"},
         "",
         "\nThe tables were not changed."},
        {m_dir / "absent.lib", {"Cannot read the model library", "absent.lib"}, "", "\nNothing was changed."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.library.string());
        m_prompts.messages.clear();
        m_prompts.details.clear();
        m_prompts.requests.clear();
        Import(row.library, m_dir / "x.amd");
        ASSERT_EQ(m_prompts.messages.size(), 1u);
        const std::string& message = m_prompts.messages[0];
        const std::string& details = m_prompts.details[0];
        if (!row.summary.empty()) {
            // The library's path as the presenter joins it to the working folder.
            EXPECT_TRUE(message.starts_with("Cannot import bins from \"")) << message;
            EXPECT_TRUE(message.ends_with(row.summary)) << message;
            EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 0);
            EXPECT_EQ(std::count(details.begin(), details.end(), '\n'), 13) << details;
        } else {
            EXPECT_EQ(details, "");
        }
        EXPECT_TRUE(message.ends_with(row.ending)) << message;
        for (const std::string& part : row.parts) {
            EXPECT_NE((message + details).find(part), std::string::npos) << message << details;
        }
        EXPECT_EQ(m_prompts.requests.size(), 1u); // no save dialog
        EXPECT_EQ(m_view.fields, before);
        EXPECT_TRUE(m_prompts.infos.empty());
        EXPECT_FALSE(std::filesystem::exists(m_dir / "x.amd"));
    }
}

// Cancelling the save dialog, naming a file the library was read from, and a failed write: no file
// is written or changed, and the form, its current file and its folder stay as they were.
TEST_F(ImportBinsTest, NothingChangesWhenTheSaveIsCancelledRefusedOrFails) {
    std::filesystem::create_directory(m_dir / "pdk");
    const std::filesystem::path library = m_dir / "pdk" / "top.lib";
    WriteFileBytes(library, ".include cards.inc\n.lib 'corners.lib' tt\n");
    WriteFileBytes(m_dir / "pdk" / "cards.inc", ".model n.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n");
    WriteFileBytes(m_dir / "pdk" / "corners.lib",
                   ".lib tt\n.model p.0 pmos lmin=1u lmax=2u wmin=1u wmax=2u\n.endl\n");
    const auto folder = [this] {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir.path())) {
            files[entry.path().string()] =
                entry.is_regular_file() ? test::ReadFileBytes(entry.path()) : "<dir>";
        }
        return files;
    };
    const std::map<std::string, std::string> filesBefore = folder();
    const std::map<int, std::string> fieldsBefore = m_view.fields;
    const std::filesystem::path folderBefore = m_presenter.model().workingFolder;
    const struct {
        const char* name;
        std::optional<std::filesystem::path> target;
        std::string message; // empty: none
    } rows[] = {
        {"cancelled", std::nullopt, ""},
        {"the library", library,
         "Error: The settings file " + QuotedPath(library) + " would overwrite the model library " +
             QuotedPath(library) + ". Nothing was written."},
        {"its include", m_dir / "pdk" / "." / "cards.inc",
         "Error: The settings file " + QuotedPath(m_dir / "pdk" / "." / "cards.inc") +
             " would overwrite the included model file " + QuotedPath(m_dir / "pdk" / "cards.inc") +
             ". Nothing was written."},
        {"its section file", m_dir / "pdk" / ".." / "pdk" / "corners.lib",
         "Error: The settings file " + QuotedPath(m_dir / "pdk" / ".." / "pdk" / "corners.lib") +
             " would overwrite the included model file " + QuotedPath(m_dir / "pdk" / "corners.lib") +
             ". Nothing was written."},
        {"a missing folder", m_dir / "gone" / "x.amd",
         "Error: Cannot create " + QuotedPath(m_dir / "gone" / "x.amd") + ": No such file or directory."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        m_prompts.messages.clear();
        m_prompts.requests.clear();
        Import(library, row.target);
        ASSERT_EQ(m_prompts.requests.size(), 2u);
        EXPECT_EQ(m_prompts.requests[1].initialName, "top.amd");
        EXPECT_EQ(m_prompts.requests[1].startFolder, m_dir / "pdk");
        EXPECT_EQ(m_prompts.messages,
                  row.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.message});
        EXPECT_TRUE(m_prompts.infos.empty());
        EXPECT_EQ(m_view.fields, fieldsBefore);
        EXPECT_EQ(folder(), filesBefore);
        EXPECT_TRUE(m_presenter.model().currentSettingsPath.empty());
        EXPECT_EQ(m_presenter.model().workingFolder, folderBefore);
    }
}

} // namespace
} // namespace tarvex
