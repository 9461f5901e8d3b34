// SPDX-License-Identifier: MIT
// The form's decisions, driven through fake ports as the window would drive them: field texts set
// by id, file dialogs answered from a queue, messages and profile writes recorded.
#include "form/form_presenter.h"

#include "fake_ports.h"
#include "files/paths.h"
#include "form/form_layout.h"
#include "support/param_name.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvex {
namespace {

using test::Filters;
using test::ReadFileBytes;
using test::WriteFileBytes;

std::string LittleEndian(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    std::string bytes;
    for (int i = 0; i < 8; ++i) {
        bytes += static_cast<char>((bits >> (8 * i)) & 0xFF);
    }
    return bytes;
}

std::string SettingsBytes(const SettingsFile& settings) {
    std::array<unsigned char, kSettingsFileSize> bytes{};
    WriteSettings(settings, bytes);
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Tables with every bound and every name filled, Keys "NX" and "PX".
SettingsFile FullSettings() {
    SettingsFile settings;
    for (BinTable* table : {&settings.tableN, &settings.tableP}) {
        table->widthBounds = {1e-6, 2e-6, 3e-6, 4e-6, 5e-6, 6e-6};
        table->lengthBounds = {1e-7, 2e-7, 3e-7, 4e-7, 5e-7, 6e-7};
        for (int w = 0; w < kBinCount; ++w) {
            for (int l = 0; l < kBinCount; ++l) {
                SetPartName(*table, w, l, "C" + std::to_string(w) + std::to_string(l));
            }
        }
    }
    SetKeyText(settings.keyN, "NX");
    SetKeyText(settings.keyP, "PX");
    return settings;
}

class FormPresenterTest : public testing::Test {
protected:
    void SetUp() override {
        m_profile.state = m_state.path();
        m_presenter.StartUp();
    }

    // No command may move the process's current directory.
    void TearDown() override { EXPECT_EQ(std::filesystem::current_path(), m_startDir); }

    std::string& Field(int id) { return m_view.fields.at(id); }

    // The working folder as the next file dialog sees it.
    std::filesystem::path DialogFolder() {
        m_prompts.requests.clear();
        m_presenter.Load();
        return m_prompts.requests.at(0).startFolder;
    }

    const std::filesystem::path m_startDir = std::filesystem::current_path();
    test::TempDir m_dir;
    test::TempDir m_state; // the record of the runs, shared with the command line
    test::FakeView m_view;
    test::FakePrompts m_prompts;
    test::FakeProfile m_profile;
    TitleHint m_hint{"design/amp.net", std::nullopt};
    int m_probeCalls = 0;
    form::FormPresenter m_presenter{m_view, m_prompts, m_profile, [this] {
                                        ++m_probeCalls;
                                        return m_hint;
                                    }};
};

struct TypedRow {
    std::string name;
    int id;
    std::string typed;
    std::size_t offset;
    std::string stored;
    std::string shown; // after Clear and Load
};

class TypedField : public FormPresenterTest, public testing::WithParamInterface<TypedRow> {};

TEST_P(TypedField, ReachesItsBytesAndComesBack) {
    const TypedRow& row = GetParam();
    Field(row.id) = row.typed;
    m_prompts.answers = {m_dir / "typed.amd", m_dir / "typed.amd"};
    m_presenter.Save();

    const std::string bytes = ReadFileBytes(m_dir / "typed.amd");
    ASSERT_EQ(bytes.size(), kSettingsFileSize);
    EXPECT_EQ(bytes.substr(row.offset, row.stored.size()), row.stored);
    EXPECT_TRUE(m_prompts.messages.empty());

    m_presenter.Clear();
    m_prompts.replies = {form::Answer::No}; // the cleared tables are not saved
    m_presenter.Load();
    EXPECT_EQ(Field(row.id), row.shown);

    ASSERT_EQ(m_prompts.requests.size(), 2u);
    const form::FileRequest& save = m_prompts.requests[0];
    EXPECT_TRUE(save.save);
    EXPECT_TRUE(save.initialName.empty());
    EXPECT_TRUE(save.patternAsName); // "*.amd" in the name box where the dialog takes a pattern
    EXPECT_EQ(save.defaultExtension, "amd");
    EXPECT_EQ(Filters(save), "MODxy Files (*.amd)|*.amd|All Files (*.*)|*.*|");
    const form::FileRequest& load = m_prompts.requests[1];
    EXPECT_FALSE(load.save);
    EXPECT_FALSE(load.mustExist);
    EXPECT_TRUE(load.initialName.empty());
    EXPECT_FALSE(load.patternAsName);
    EXPECT_EQ(load.defaultExtension, "amd");
    EXPECT_EQ(Filters(load), Filters(save));
}

const std::string kName25 = "ABCDEFGHIJKLMNOPQRSTUVWXY";

INSTANTIATE_TEST_SUITE_P(
    Fields, TypedField,
    testing::Values(
        TypedRow{"NWidthBound0", 1060, "1u", 0, LittleEndian(1e-6), "1e-06"},
        TypedRow{"NLengthBound0", 1023, "2meg", 48, LittleEndian(2e6), "2e+06"},
        TypedRow{"PWidthBound5", 1101, "0.25m", 624 + 40, LittleEndian(0.25e-3), "0.00025"},
        TypedRow{"NNameLength0Width4", 1074, "NW4", 96 + 105 * 4, std::string("NW4", 4), "NW4"},
        TypedRow{"NName1085Length2Width4", 1085, "NL2", 96 + 105 * 4 + 21 * 2, std::string("NL2", 4), "NL2"},
        TypedRow{"PNameLength4Width0", 1128, "PL4", 624 + 96 + 21 * 4, std::string("PL4", 4), "PL4"},
        TypedRow{"NameOf25CharactersKeeps19", 1068, kName25, 96, kName25.substr(0, 19) + '\0',
                 kName25.substr(0, 19)},
        TypedRow{"PKey", 1029, "myKey", 1298, std::string("myKey", 6), "myKey"}),
    test::RowName());

TEST_F(FormPresenterTest, ClearEmptiesTheTablesButNotTheKeys) {
    const std::string file = SettingsBytes(FullSettings());
    WriteFileBytes(m_dir / "full.amd", file);
    m_prompts.answers = {m_dir / "full.amd"};
    m_presenter.Load();
    Field(1028) = "myN";
    m_presenter.Clear();

    int tableFields = 0;
    for (const auto& [id, text] : m_view.fields) {
        if (id == 1028 || id == 1029) {
            continue;
        }
        ++tableFields;
        EXPECT_EQ(text, "") << id;
    }
    EXPECT_EQ(tableFields, 74);
    EXPECT_EQ(Field(1028), "myN");
    EXPECT_EQ(Field(1029), "PX");
    EXPECT_EQ(ReadFileBytes(m_dir / "full.amd"), file);
    EXPECT_TRUE(m_prompts.messages.empty());
}

// The remembered file is loaded after the probe has moved the working folder (so a relative path
// is found there), its tables shown with the default Keys; only an explicit Load shows its Keys.
TEST_F(FormPresenterTest, StartUpShowsRememberedTablesWithDefaultKeys) {
    std::filesystem::create_directory(m_dir / "tech");
    WriteFileBytes(m_dir / "tech" / "c35.amd", SettingsBytes(FullSettings()));
    m_profile.stored = std::filesystem::path("tech") / "c35.amd";
    m_hint = {"amp.net", DisplayPath(m_dir.path())};
    form::FormPresenter presenter(m_view, m_prompts, m_profile, [this] {
        ++m_probeCalls;
        return m_hint;
    });
    m_probeCalls = 0;
    m_view.focused = 0;
    presenter.StartUp();

    EXPECT_EQ(Field(1060), "1e-06");
    EXPECT_EQ(Field(1055), "6e-07");
    EXPECT_EQ(Field(1095), "C44");
    EXPECT_EQ(Field(1109), "C10"); // P: length bin 0, width bin 1
    EXPECT_EQ(Field(1028), "MODxyN");
    EXPECT_EQ(Field(1029), "MODxyP");
    EXPECT_EQ(m_view.focused, 1060);
    EXPECT_EQ(m_probeCalls, 1);
    EXPECT_EQ(presenter.model().defaultNetlistName, "amp.net");
    EXPECT_EQ(presenter.model().currentSettingsPath, m_dir / "tech" / "c35.amd");
    EXPECT_EQ(presenter.model().workingFolder, m_dir / "tech");
    EXPECT_TRUE(m_prompts.messages.empty());

    m_prompts.answers = {m_dir / "tech" / "c35.amd"};
    presenter.Load();
    EXPECT_EQ(Field(1028), "NX");
    EXPECT_EQ(Field(1029), "PX");
    EXPECT_TRUE(m_prompts.messages.empty());
}

// A file named on the command line replaces the remembered one and shows its own Keys; a name
// that cannot be read is reported and, unlike Load, never created.
TEST_F(FormPresenterTest, StartUpOpensTheFileGivenInsteadOfTheRememberedOne) {
    std::filesystem::create_directory(m_dir / "tech");
    WriteFileBytes(m_dir / "tech" / "c35.amd", SettingsBytes(FullSettings()));
    WriteFileBytes(m_dir / "remembered.amd", "");
    m_profile.stored = m_dir / "remembered.amd";
    form::FormPresenter presenter(m_view, m_prompts, m_profile, [] { return TitleHint{}; });
    presenter.StartUp(m_dir / "tech" / "c35.amd");
    EXPECT_EQ(Field(1095), "C44");
    EXPECT_EQ(Field(1028), "NX");
    EXPECT_EQ(Field(1029), "PX");
    EXPECT_EQ(presenter.model().currentSettingsPath, m_dir / "tech" / "c35.amd");
    EXPECT_EQ(presenter.model().workingFolder, m_dir / "tech");
    EXPECT_TRUE(m_prompts.messages.empty());

    form::FormPresenter mistyped(m_view, m_prompts, m_profile, [] { return TitleHint{}; });
    Field(1095) = "";
    mistyped.StartUp(m_dir / "tech" / "c53.amd");
    ASSERT_EQ(m_prompts.messages.size(), 1u);
    EXPECT_NE(m_prompts.messages[0].find("c53.amd"), std::string::npos) << m_prompts.messages[0];
    EXPECT_FALSE(std::filesystem::exists(m_dir / "tech" / "c53.amd"));
    EXPECT_TRUE(mistyped.model().currentSettingsPath.empty());
    EXPECT_EQ(Field(1028), "MODxyN");
    EXPECT_EQ(Field(1095), "");
}

TEST_F(FormPresenterTest, StartsInTheCurrentDirectoryWithNothingRemembered) {
    EXPECT_EQ(m_presenter.model().workingFolder, m_startDir);
    EXPECT_TRUE(m_presenter.model().currentSettingsPath.empty());
    EXPECT_EQ(m_view.focused, 1060);
    EXPECT_EQ(Field(1028), "MODxyN");
    EXPECT_EQ(Field(1029), "MODxyP");
    EXPECT_EQ(Field(1060), "");
}

TEST_F(FormPresenterTest, SettingsFileErrorsAreReportedOnlyWhenAsked) {
    const auto unreachable = m_dir / "no-such-folder" / "x.amd";
    m_profile.stored = unreachable;
    form::FormPresenter presenter(m_view, m_prompts, m_profile, [] { return TitleHint{}; });
    presenter.StartUp();
    EXPECT_TRUE(m_prompts.messages.empty());

    m_prompts.answers = {unreachable, unreachable, m_dir / "new.amd"};
    presenter.Load();
    ASSERT_EQ(m_prompts.messages.size(), 1u);
    EXPECT_EQ(m_prompts.messages[0].rfind("Error: Cannot open settings file", 0), 0u)
        << m_prompts.messages[0];
    presenter.Save();
    EXPECT_EQ(m_prompts.messages.size(), 2u);
    EXPECT_TRUE(presenter.model().currentSettingsPath.empty());
    EXPECT_EQ(presenter.model().workingFolder, m_startDir);

    // A new name is no error: it creates an empty settings file and shows empty tables.
    Field(1060) = "1u";
    m_prompts.replies = {form::Answer::No};
    presenter.Load();
    EXPECT_EQ(m_prompts.messages.size(), 2u);
    EXPECT_EQ(ReadFileBytes(m_dir / "new.amd"), "");
    EXPECT_EQ(Field(1060), "");
    EXPECT_EQ(presenter.model().currentSettingsPath, m_dir / "new.amd");
}

TEST_F(FormPresenterTest, UntouchedFileSavesBackByteForByte) {
    SettingsFile settings = FullSettings();
    settings.tableN.widthBounds[0] = 1.23456789e-6; // shown rounded as "1.23457e-06"
    std::memcpy(settings.tableN.partNames[2][3], "AB\0junk after NUL\0xy", kNameCellSize);
    std::memcpy(settings.tableP.partNames[4][4], "twenty-one chars wide", kNameCellSize); // no NUL
    settings.tableN.filler[0] = 0x7F;
    settings.tableP.filler[2] = 0xA5;
    std::memcpy(settings.keyN.data(), "NX\0garbage", 10);
    const std::string original = SettingsBytes(settings) + "tail beyond 1348 bytes";
    WriteFileBytes(m_dir / "junk.amd", original);

    m_prompts.answers = {m_dir / "junk.amd", m_dir / "junk.amd"};
    m_presenter.Load();
    EXPECT_EQ(Field(1060), "1.23457e-06");
    m_presenter.Save();
    EXPECT_EQ(ReadFileBytes(m_dir / "junk.amd"), original);
    EXPECT_TRUE(m_prompts.messages.empty());
}

// Exit remembers the current settings file, even an empty path; Cancel leaves the profile alone.
TEST_F(FormPresenterTest, ExitRemembersTheSettingsFileAndCancelDoesNot) {
    m_presenter.Command(form::kExitId);
    EXPECT_EQ(m_profile.stored, std::filesystem::path());
    EXPECT_EQ(m_view.ended, true);

    WriteFileBytes(m_dir / "now.amd", SettingsBytes(FullSettings()));
    m_prompts.answers = {m_dir / "now.amd"};
    m_presenter.Command(form::kLoadId);
    m_profile.stored = m_dir / "previous.amd";
    m_presenter.Cancel();
    EXPECT_EQ(m_profile.stored, m_dir / "previous.amd");
    EXPECT_EQ(m_view.ended, false);

    m_presenter.Exit();
    EXPECT_EQ(m_profile.stored, m_dir / "now.amd");
    EXPECT_EQ(m_view.ended, true);
    EXPECT_TRUE(m_presenter.Command(form::kHelpId)); // without a viewer, nothing to show
    EXPECT_FALSE(m_presenter.Command(1084));         // no such control
}

// Every way out of the form asks about a typed table before dropping it: Yes saves into the file
// and goes on, No goes on without saving, Cancel stays with the fields as typed. Enter is Exit and
// the close box is Cancel in both windows; Load asks before its dialog.
enum class WayOut { Exit, Cancel, Load };

struct LeaveRow {
    std::string name;
    WayOut way;
    form::Answer answer;
};

class LeavingTypedTables : public FormPresenterTest, public testing::WithParamInterface<LeaveRow> {};

TEST_P(LeavingTypedTables, AsksFirst) {
    const LeaveRow& row = GetParam();
    const std::string original = SettingsBytes(FullSettings());
    WriteFileBytes(m_dir / "mine.amd", original);
    WriteFileBytes(m_dir / "other.amd", "");
    m_prompts.answers = {m_dir / "mine.amd"};
    m_presenter.Load();
    EXPECT_EQ(m_view.title, "mine.amd - Tarvex");
    Field(1060) = "0.5u";
    m_prompts.requests.clear();
    m_prompts.answers = {m_dir / "other.amd"};
    m_prompts.replies = {row.answer};
    switch (row.way) {
    case WayOut::Exit:
        m_presenter.Command(form::kExitId);
        break;
    case WayOut::Cancel:
        m_presenter.Cancel();
        break;
    case WayOut::Load:
        m_presenter.Command(form::kLoadId);
        break;
    }

    EXPECT_EQ(m_prompts.questions, std::vector<std::string>{"Save changes to mine.amd?"});
    const bool goesOn = row.answer != form::Answer::Cancel;
    const std::string stored = ReadFileBytes(m_dir / "mine.amd");
    if (row.answer == form::Answer::Yes) {
        EXPECT_EQ(stored.substr(0, 8), LittleEndian(0.5e-6));
        EXPECT_EQ(stored.substr(8), original.substr(8));
    } else {
        EXPECT_EQ(stored, original);
    }
    EXPECT_EQ(m_view.ended.has_value(), goesOn && row.way != WayOut::Load);
    if (m_view.ended) {
        EXPECT_EQ(*m_view.ended, row.way == WayOut::Exit);
    }
    EXPECT_EQ(m_prompts.requests.size(), goesOn && row.way == WayOut::Load ? 1u : 0u);
    if (!goesOn) {
        EXPECT_EQ(Field(1060), "0.5u");
        EXPECT_EQ(m_view.title, "mine.amd - Tarvex");
    }
    if (goesOn && row.way == WayOut::Load) {
        EXPECT_EQ(Field(1060), "");
        EXPECT_EQ(m_view.title, "other.amd - Tarvex");
    }
    EXPECT_EQ(m_profile.stored.has_value(), goesOn && row.way == WayOut::Exit);
    EXPECT_TRUE(m_prompts.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, LeavingTypedTables,
                         testing::Values(LeaveRow{"ExitYes", WayOut::Exit, form::Answer::Yes},
                                         LeaveRow{"ExitNo", WayOut::Exit, form::Answer::No},
                                         LeaveRow{"ExitCancel", WayOut::Exit, form::Answer::Cancel},
                                         LeaveRow{"CloseBoxYes", WayOut::Cancel, form::Answer::Yes},
                                         LeaveRow{"CloseBoxNo", WayOut::Cancel, form::Answer::No},
                                         LeaveRow{"CloseBoxCancel", WayOut::Cancel, form::Answer::Cancel},
                                         LeaveRow{"LoadYes", WayOut::Load, form::Answer::Yes},
                                         LeaveRow{"LoadNo", WayOut::Load, form::Answer::No},
                                         LeaveRow{"LoadCancel", WayOut::Load, form::Answer::Cancel}),
                         test::RowName());

// Only a change asks: a bound retyped as the same number, or a Key shown as the default at start,
// is none. Clear asks nothing itself but is a change; so is a Key. Without a file, Yes asks where to
// save, and cancelling that dialog keeps the form open; a save names the window after its file.
TEST_F(FormPresenterTest, OnlyChangesAreAskedAbout) {
    EXPECT_EQ(m_view.title, "Tarvex");
    EXPECT_FALSE(m_presenter.HasUnsavedChanges());

    SettingsFile settings = FullSettings();
    WriteFileBytes(m_dir / "keys.amd", SettingsBytes(settings));
    m_profile.stored = m_dir / "keys.amd";
    form::FormPresenter started(m_view, m_prompts, m_profile, [] { return TitleHint{}; });
    started.StartUp(); // the file's Keys NX and PX are not shown at start
    EXPECT_EQ(m_view.title, "keys.amd - Tarvex");
    Field(1060) = "1u"; // shown as "1e-06"
    EXPECT_FALSE(started.HasUnsavedChanges());
    started.Clear();
    EXPECT_TRUE(m_prompts.questions.empty());
    EXPECT_TRUE(started.HasUnsavedChanges());

    // The cleared fields are what the first form started with; only its Key is changed.
    EXPECT_FALSE(m_presenter.HasUnsavedChanges());
    Field(1028) = "myN";
    EXPECT_TRUE(m_presenter.HasUnsavedChanges());
    m_prompts.replies = {form::Answer::Yes};
    m_presenter.Exit(); // no file yet: Yes asks where, and the dialog is cancelled
    EXPECT_EQ(m_prompts.questions, std::vector<std::string>{"Save changes to the tables?"});
    ASSERT_EQ(m_prompts.requests.size(), 1u);
    EXPECT_TRUE(m_prompts.requests[0].save);
    EXPECT_FALSE(m_view.ended.has_value());
    EXPECT_EQ(m_profile.stored, m_dir / "keys.amd");

    m_prompts.replies = {form::Answer::Yes};
    m_prompts.answers = {m_dir / "new.amd"};
    m_presenter.Exit();
    EXPECT_EQ(m_view.title, "new.amd - Tarvex");
    EXPECT_EQ(m_view.ended, true);
    EXPECT_EQ(m_profile.stored, m_dir / "new.amd");
    EXPECT_EQ(ReadFileBytes(m_dir / "new.amd").substr(1248, 4), std::string("myN\0", 4));
    EXPECT_FALSE(m_presenter.HasUnsavedChanges());
}

// Sets the bounds and names of a small N and P table as a user would type them.
void TypeTables(test::FakeView& view) {
    for (const auto& [id, text] : std::vector<std::pair<int, std::string>>{{1060, "1u"},
                                                                           {1063, "5u"},
                                                                           {1064, "10u"},
                                                                           {1023, "0.5u"},
                                                                           {1056, "2u"},
                                                                           {1068, "NCH_S"},
                                                                           {1096, "1u"},
                                                                           {1097, "5u"},
                                                                           {1102, "0.5u"},
                                                                           {1103, "2u"}}) {
        view.fields.at(id) = text;
    }
}

TEST_F(FormPresenterTest, ProcessWritesBackupAndNetlist) {
    const std::string netlist = "* amp\n"
                                "M1 d g s b MODxyN L=1u W=2u\n"
                                "M2 d g s b MODxyN L=1u W=6u\n"
                                "M3 d g s b MODxyP L=1u W=2u\n"
                                ".end\n";
    WriteFileBytes(m_dir / "amp.net", netlist);
    TypeTables(m_view);
    m_probeCalls = 0;
    m_prompts.answers = {m_dir / "amp.net"};
    m_presenter.Command(form::kProcessId);

    // Two devices meet empty cells (N width bin 1, P width bin 0): one message for the run, both
    // devices in its details.
    EXPECT_EQ(m_prompts.messages, std::vector<std::string>{"Error: Missing MODxyN part name!"});
    EXPECT_EQ(m_prompts.details, std::vector<std::string>{"amp.net written, amp.ant kept; 2 of 3 devices kept their "
                                                          "placeholder\n"
                                                          "amp.net:3: N L=1e-06 W=6e-06 missing part name\n"
                                                          "amp.net:4: P L=1e-06 W=2e-06 missing part name"});
    EXPECT_EQ(ReadFileBytes(m_dir / "amp.ant"), netlist);
    std::string expected = netlist;
    expected.replace(expected.find("MODxyN"), 6, "NCH_S");
    EXPECT_EQ(ReadFileBytes(m_dir / "amp.net"), expected);
    EXPECT_EQ(m_prompts.progressStarted, 1);

    EXPECT_EQ(m_probeCalls, 1);
    ASSERT_EQ(m_prompts.requests.size(), 1u);
    const form::FileRequest& request = m_prompts.requests[0];
    EXPECT_FALSE(request.save);
    EXPECT_TRUE(request.mustExist);
    EXPECT_EQ(request.initialName, std::filesystem::path("design") / "amp.net");
    EXPECT_EQ(request.defaultExtension, "NET");
    EXPECT_FALSE(request.patternAsName);
    EXPECT_EQ(Filters(request), "Net Files (*.net)|*.net|Backup Files (*.ant)|*.ant|All Files (*.*)|*.*|");
    EXPECT_EQ(request.startFolder, m_startDir);
}

// "Read Sizes as SPICE Does" comes from the profile at start-up and is stored as soon as it flips.
// Under the classic rule, the first problem of a run says how many devices the entry would read;
// with the entry chosen, Process reads them.
TEST_F(FormPresenterTest, SpiceSizesChoiceIsRememberedAndReadsTheSizes) {
    const std::string netlist = "M1 d g s b MODxyN l=1u w=2u\n"
                                "M2 d g s b MODxyN\n"
                                "+ L=1u W=2u\n"
                                "M3 d g s b MODxyN L={lp} W=2u\n"
                                "M4 d g s b MODxyN L=1u W=2u\n";
    WriteFileBytes(m_dir / "amp.net", netlist);
    EXPECT_FALSE(m_presenter.ReadsSizesAsSpice());
    EXPECT_FALSE(m_profile.spiceSizes);
    TypeTables(m_view);
    m_prompts.answers = {m_dir / "amp.net"};
    m_presenter.Command(form::kProcessId);
    ASSERT_EQ(m_prompts.messages.size(), 1u);
    EXPECT_EQ(m_prompts.messages[0], "Error: MODxyN device has no readable L= or W=!\n\n"
                                     "2 devices give their sizes as SPICE does (l=, + lines, {expressions}): "
                                     "try \"Read Sizes as SPICE Does\"");

    m_presenter.ToggleSpiceSizes();
    EXPECT_TRUE(m_presenter.ReadsSizesAsSpice());
    EXPECT_EQ(m_profile.spiceSizes, true);
    m_prompts.messages.clear();
    m_prompts.answers = {m_dir / "amp.ant"};
    m_presenter.Command(form::kProcessId);
    // M3's length is a parameter no line defines: the only device kept, and no hint under this rule.
    EXPECT_EQ(
        m_prompts.messages,
        std::vector<std::string>{"Error: MODxyN device has no readable size: L={lp}: lp is not defined!"});
    std::string expected = netlist;
    for (const std::string_view device : {"M1 d g s b ", "M2 d g s b ", "M4 d g s b "}) {
        expected.replace(expected.find(std::string(device) + "MODxyN") + device.size(), 6, "NCH_S");
    }
    EXPECT_EQ(ReadFileBytes(m_dir / "amp.net"), expected);

    form::FormPresenter next(m_view, m_prompts, m_profile, [this] { return m_hint; });
    next.StartUp();
    EXPECT_TRUE(next.ReadsSizesAsSpice());
    next.ToggleSpiceSizes();
    EXPECT_EQ(m_profile.spiceSizes, false);
}

// After a run each name field tells its whole name and how many devices fell into its cell, and
// cells that got devices are tinted; the message's details list the kept devices, at most 50.
// Editing a name keeps the count; Clear and Load go back to the names alone.
TEST_F(FormPresenterTest, RunLeavesItsDevicesInTheNameHintsAndDetails) {
    std::string netlist = "M1 d g s b MODxyN L=1u W=2u\n"
                          "M2 d g s b MODxyN L=0.5u W=2u\n"
                          "M3 d g s b MODxyN L=1u W=7u\n"
                          "M4 d g s b MODxyP L=1u W=2u\n";
    for (int i = 0; i < 52; ++i) {
        netlist += "MX d g s b MODxyN L=1u W=20u\n"; // wider than every bin
    }
    WriteFileBytes(m_dir / "wide.net", netlist);
    TypeTables(m_view);
    Field(1068) = "NCH_S_LONGER_NAME19";
    const auto hint = [this](int id) {
        const auto& shown = m_view.hints.at(id);
        return shown.toolTip + (shown.tinted ? " [tinted]" : "");
    };
    m_presenter.ReadTablesFromForm();
    m_presenter.WriteTablesToForm();
    EXPECT_EQ(hint(1068), "N, width bin 1, length bin 1: NCH_S_LONGER_NAME19");
    EXPECT_EQ(hint(1071), "");
    EXPECT_EQ(hint(1063), "N, width bound 2: 5e-06");
    EXPECT_EQ(hint(1102), "P, length bound 1: 5e-07");
    EXPECT_EQ(hint(1065), "");

    m_prompts.answers = {m_dir / "wide.net"};
    m_presenter.Process();

    ASSERT_EQ(m_prompts.messages, std::vector<std::string>{"Error: Missing MODxyN part name!"});
    std::vector<std::string> lines;
    std::istringstream details(m_prompts.details.at(0));
    for (std::string line; std::getline(details, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 52u);
    EXPECT_EQ(lines[0], "wide.net written, wide.ant kept; 54 of 56 devices kept their placeholder");
    EXPECT_EQ(lines[1], "wide.net:3: N L=1e-06 W=7e-06 missing part name");
    EXPECT_EQ(lines[2], "wide.net:4: P L=1e-06 W=2e-06 missing part name");
    EXPECT_EQ(lines[3], "wide.net:5: N L=1e-06 W=2e-05 no bin");
    EXPECT_EQ(lines[50], "wide.net:52: N L=1e-06 W=2e-05 no bin");
    EXPECT_EQ(lines[51], "and 4 more");
    EXPECT_EQ(m_prompts.savable, std::vector<bool>{true});
    EXPECT_EQ(hint(1068),
              "N, width bin 1, length bin 1: NCH_S_LONGER_NAME19\n2 devices in the last run [tinted]");
    EXPECT_EQ(
        hint(1071),
        "N, width bin 2, length bin 1: no part name\n1 device of the last run kept its placeholder [tinted]");
    EXPECT_EQ(
        hint(1108),
        "P, width bin 1, length bin 1: no part name\n1 device of the last run kept its placeholder [tinted]");
    EXPECT_EQ(hint(1075), "");
    EXPECT_EQ(m_presenter.model().lastRun.keptCount, 54u);
    EXPECT_EQ(m_presenter.model().lastRun.usage.n[0][0], 2u);

    Field(1068) = "NCH_NEW";
    m_presenter.FieldEdited(1068);
    EXPECT_EQ(hint(1068), "N, width bin 1, length bin 1: NCH_NEW\n2 devices in the last run [tinted]");
    Field(1075) = "NCH_L1";
    m_presenter.FieldEdited(1075);
    EXPECT_EQ(hint(1075), "N, width bin 1, length bin 2: NCH_L1\nNo device in the last run");
    Field(1097) = "5.0001e-05"; // wider than the field
    m_presenter.FieldEdited(1097);
    EXPECT_EQ(hint(1097), "P, width bound 2: 5.0001e-05");
    m_presenter.FieldEdited(1028); // a Key has no hint
    EXPECT_EQ(m_view.hints.count(1028), 0u);

    m_presenter.Clear();
    EXPECT_EQ(hint(1068), "");
    EXPECT_EQ(hint(1071), "");
    WriteFileBytes(m_dir / "full.amd", SettingsBytes(FullSettings()));
    m_prompts.answers = {m_dir / "wide.ant", m_dir / "full.amd"};
    TypeTables(m_view);
    m_presenter.Process();
    EXPECT_EQ(hint(1068), "N, width bin 1, length bin 1: NCH_S\n2 devices in the last run [tinted]");
    m_prompts.replies = {form::Answer::No};
    m_presenter.Load();
    EXPECT_EQ(hint(1068), "N, width bin 1, length bin 1: C00");
    EXPECT_FALSE(m_view.hints.at(1068).tinted);
}

// Save Details writes every kept device, not only those listed, as the CSV report, beside the
// netlist by default; never over the netlist or its backup. A run that keeps no device offers none.
TEST_F(FormPresenterTest, SaveDetailsWritesEveryKeptDevice) {
    std::string netlist = "M1 d g s b MODxyN L=1u W=2u\nM2 d g s b MODxyP L=1u W=2u\n";
    for (int i = 0; i < 60; ++i) {
        netlist += "MX d g s b MODxyN L=1u W=20u\n";
    }
    WriteFileBytes(m_dir / "amp.net", netlist);
    TypeTables(m_view);
    m_prompts.saveDetailsPresses = 3;
    m_prompts.answers = {m_dir / "amp.net", m_dir / "amp.ant", m_dir / "kept.csv", std::nullopt};
    m_presenter.Process();

    ASSERT_EQ(m_prompts.requests.size(), 4u);
    const form::FileRequest& save = m_prompts.requests[1];
    EXPECT_EQ(m_prompts.requests[0].title, "Process Netlist");
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.title, "Save Details");
    EXPECT_EQ(save.initialName, "amp-kept.csv");
    EXPECT_EQ(save.startFolder, m_dir.path());
    EXPECT_EQ(save.defaultExtension, "csv");
    ASSERT_EQ(m_prompts.messages.size(), 2u);
    EXPECT_EQ(m_prompts.messages[0], "Error: Missing MODxyP part name!");
    EXPECT_EQ(m_prompts.messages[1], "Error: The details " + QuotedPath(m_dir / "amp.ant") +
                                         " would overwrite the netlist " + QuotedPath(m_dir / "amp.ant") +
                                         ". No file was changed.");
    EXPECT_EQ(m_prompts.details[0].substr(0, m_prompts.details[0].find('\n')),
              "amp.net written, amp.ant kept; 61 of 62 devices kept their placeholder");
    EXPECT_EQ(ReadFileBytes(m_dir / "amp.ant"), netlist);
    const std::string report = ReadFileBytes(m_dir / "kept.csv");
    EXPECT_TRUE(report.starts_with("file,line,polarity,L,W,width_bin,length_bin,part_name,problem\n"
                                   "amp.net,2,P,1e-06,2e-06,0,0,,missing part name\n"
                                   "amp.net,3,N,1e-06,2e-05,,0,,no bin\n"))
        << report;
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 62);
    EXPECT_TRUE(report.ends_with("amp.net,62,N,1e-06,2e-05,,0,,no bin\n"));

    // Every device binned: no problem, nothing to save.
    WriteFileBytes(m_dir / "ok.net", "M1 d g s b MODxyN L=1u W=2u\n");
    m_prompts.messages.clear();
    m_prompts.answers = {m_dir / "ok.net"};
    m_presenter.Process();
    EXPECT_TRUE(m_prompts.messages.empty());
}

struct RefusalRow {
    std::string name;
    std::vector<std::pair<int, std::string>> typed;
    std::string chosen; // empty: the dialog is cancelled
    std::string message;
    bool asksForFile;
    int selected = 0; // the field focused with its text selected
};

class ProcessRefusal : public FormPresenterTest, public testing::WithParamInterface<RefusalRow> {};

TEST_P(ProcessRefusal, TouchesNoFile) {
    const RefusalRow& row = GetParam();
    const std::string netlist = "M1 d g s b MODxyN L=1u W=2u\n";
    WriteFileBytes(m_dir / "amp.net", netlist);
    WriteFileBytes(m_dir / "amp", netlist);
    for (const auto& [id, text] : row.typed) {
        Field(id) = text;
    }
    if (!row.chosen.empty()) {
        m_prompts.answers = {m_dir / row.chosen};
    }
    m_presenter.Process();

    EXPECT_EQ(m_prompts.requests.size(), row.asksForFile ? 1u : 0u);
    EXPECT_EQ(m_view.selected, row.selected);
    if (row.message.empty()) {
        EXPECT_TRUE(m_prompts.messages.empty());
    } else {
        ASSERT_EQ(m_prompts.messages.size(), 1u);
        EXPECT_NE(m_prompts.messages[0].find(row.message), std::string::npos) << m_prompts.messages[0];
    }
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.path())) {
        files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"amp", "amp.net"}));
    EXPECT_EQ(ReadFileBytes(m_dir / "amp.net"), netlist);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, ProcessRefusal,
    testing::Values(RefusalRow{"ZeroWidthBoundBeforeAPositiveOne",
                               {{1063, "1u"}},
                               "amp.net",
                               "Bad w value 0!\nMODxyN table, width bound 1.",
                               false,
                               1060},
                    RefusalRow{"DescendingLengthBounds",
                               {{1023, "0.5u"}, {1056, "2u"}, {1057, "1u"}},
                               "amp.net",
                               "Bad l value 2e-06!\nMODxyN table, length bound 2.",
                               false,
                               1056},
                    RefusalRow{"PWidthBoundsOutOfOrder",
                               {{1096, "1u"}, {1097, "0.5u"}, {1098, "5u"}},
                               "amp.net",
                               "Bad w value 1e-06!\nMODxyP table, width bound 1.",
                               false,
                               1096},
                    RefusalRow{"PLengthBoundAfterAGap",
                               {{1102, "1u"}, {1104, "2u"}},
                               "amp.net",
                               "Bad l value 0!\nMODxyP table, length bound 2.",
                               false,
                               1103},
                    RefusalRow{"NBoundsBeforeP",
                               {{1096, "2u"}, {1097, "1u"}, {1059, "3u"}},
                               "amp.net",
                               "Bad l value 0!\nMODxyN table, length bound 4.",
                               false,
                               1058},
                    RefusalRow{"EmptyNKey", {{1028, ""}}, "amp.net", "Error: Empty MODxyN key!", false, 0},
                    RefusalRow{"EmptyPKey", {{1029, ""}}, "amp.net", "Error: Empty MODxyP key!", false, 0},
                    RefusalRow{
                        "NameWithoutExtension", {}, "amp", "Input file cannot have .OUT extension!", true, 0},
                    RefusalRow{"NetlistThatDoesNotExist",
                               {},
                               "gone.net",
                               "gone.net\" does not exist. No file was changed.",
                               true,
                               0},
                    RefusalRow{"DialogCancelled", {}, "", "", true, 0}),
    test::RowName());

// The bin map is offered only after a run read its netlist to the end, and shows that run's
// devices over that run's tables, whatever the fields hold since. Each map is a new file that only
// the user may read; the one before it is removed, no other file is touched. Failures are told.
TEST_F(FormPresenterTest, BinMapOfTheLastRunOpensInTheViewer) {
    test::FakeViewer viewer;
    viewer.folder = m_dir.path();
    EXPECT_FALSE(m_presenter.BinMapAvailable());
    m_presenter.setFileViewer(viewer);
    EXPECT_FALSE(m_presenter.BinMapAvailable());
    m_presenter.ShowBinMap();
    EXPECT_TRUE(viewer.opened.empty());

    WriteFileBytes(m_dir / "amp.net", "M1 d g s b MODxyN L=1u W=2u\nM2 d g s b MODxyN L=1u W=6u\n");
    WriteFileBytes(m_dir / "tarvex-bin-map.svg", "another user's map");
    TypeTables(m_view);
    m_prompts.answers = {m_dir / "amp.net"};
    m_presenter.Process();
    ASSERT_TRUE(m_presenter.BinMapAvailable());
    Field(1068) = "RENAMED";
    m_prompts.messages.clear();
    m_presenter.ShowBinMap();

    ASSERT_EQ(viewer.opened.size(), 1u);
    const std::filesystem::path map = viewer.opened[0];
    EXPECT_EQ(map.parent_path(), m_dir.path());
    const std::string name = map.filename().string();
    EXPECT_EQ(name.size(), std::string_view("tarvex-bin-map-0123456789abcdef.svg").size()) << name;
    EXPECT_TRUE(name.starts_with("tarvex-bin-map-") && name.ends_with(".svg")) << name;
    EXPECT_TRUE(m_prompts.messages.empty());
    const std::string svg = ReadFileBytes(map);
    EXPECT_NE(svg.find("<title>amp.net:1: N L=1e-06 W=2e-06 NCH_S</title></circle>"), std::string::npos);
    EXPECT_NE(svg.find("<title>amp.net:2: N L=1e-06 W=6e-06 missing part name</title></path>"),
              std::string::npos);
    EXPECT_EQ(svg.find("RENAMED"), std::string::npos);
#ifndef _WIN32
    EXPECT_EQ(std::filesystem::status(map).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif

    // No viewer opens the second map: the user is told where it is. The first one is gone.
    viewer.opens = false;
    m_presenter.ShowBinMap();
    ASSERT_EQ(viewer.opened.size(), 2u);
    const std::filesystem::path second = viewer.opened[1];
    EXPECT_NE(second, map);
    EXPECT_FALSE(std::filesystem::exists(map));
    EXPECT_EQ(ReadFileBytes(second), svg);
    EXPECT_TRUE(m_prompts.messages.empty());
    EXPECT_EQ(m_prompts.warnings,
              std::vector<std::string>{"The bin map was written to " + QuotedPath(second) +
                                       ", but no program opened it. Open it in a web "
                                       "browser."});

    viewer.folder = m_dir / "gone";
    m_presenter.ShowBinMap();
    ASSERT_EQ(m_prompts.messages.size(), 1u);
    EXPECT_TRUE(m_prompts.messages[0].starts_with("Error: Cannot write the bin map \"" +
                                                  DisplayPath(m_dir / "gone" / "tarvex-bin-map-")))
        << m_prompts.messages[0];
    EXPECT_EQ(viewer.opened.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(second)); // kept while no new map replaces it
    EXPECT_EQ(ReadFileBytes(m_dir / "tarvex-bin-map.svg"), "another user's map");

    m_presenter.Clear();
    EXPECT_FALSE(m_presenter.BinMapAvailable());
}

TEST_F(FormPresenterTest, CancelledProcessKeepsTheBackupOnly) {
    std::string netlist;
    while (netlist.size() < 3 * 1024 * 1024) {
        netlist += "M1 d g s b MODxyN L=1u W=2u AS=1p AD=1p PS=4u PD=4u\n";
    }
    WriteFileBytes(m_dir / "big.net", netlist);
    TypeTables(m_view);
    m_prompts.cancelAfterUpdates = 1;
    m_prompts.answers = {m_dir / "big.net"};
    m_presenter.Process();

    EXPECT_EQ(m_prompts.progressUpdates, 1);
    // The user is told where the netlist went: only the backup remains.
    ASSERT_EQ(m_prompts.messages.size(), 1u);
    EXPECT_TRUE(m_prompts.messages[0].starts_with("Cancelled. The original netlist is kept as "))
        << m_prompts.messages[0];
    // The devices counted before the Cancel are not shown as the run's.
    EXPECT_EQ(m_view.hints.at(1068).toolTip, "N, width bin 1, length bin 1: NCH_S");
    EXPECT_FALSE(m_view.hints.at(1068).tinted);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.path())) {
        files.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(files, std::vector<std::string>{"big.ant"});
    EXPECT_EQ(ReadFileBytes(m_dir / "big.ant"), netlist);
}

// The probe moves the working folder only into a folder that exists (a relative one taken from
// the working folder); Load moves it to the loaded file's folder; Save leaves it.
TEST_F(FormPresenterTest, WorkingFolderFollowsTheProbeAndLoad) {
    std::filesystem::create_directories(m_dir / "design" / "sub");
    std::filesystem::create_directory(m_dir / "tech");
    const auto probe = [this](std::optional<std::string> folder) {
        m_hint = {"amp.net", std::move(folder)};
        m_presenter.Process(); // the file dialog is cancelled
    };
    probe(DisplayPath(m_dir / "design"));
    EXPECT_EQ(m_prompts.requests.back().startFolder, m_dir / "design");
    probe(DisplayPath(m_dir / "missing"));
    EXPECT_EQ(DialogFolder(), m_dir / "design");
    probe("sub");
    EXPECT_EQ(DialogFolder(), m_dir / "design" / "sub");
    probe(std::nullopt);
    EXPECT_EQ(DialogFolder(), m_dir / "design" / "sub");

    m_prompts.answers = {m_dir / "tech" / "t.amd"};
    m_presenter.Load();
    EXPECT_EQ(DialogFolder(), m_dir / "tech");
    m_prompts.answers = {m_dir / "design" / "s.amd"};
    m_presenter.Save();
    EXPECT_EQ(DialogFolder(), m_dir / "tech");
    EXPECT_TRUE(m_prompts.messages.empty());
}

// Help goes to the viewer, and a page it cannot show is told. A command forwarded while another
// runs is dropped (a progress display lets events in), and an exception ends the command with a
// message instead of crossing the window's event handling.
TEST_F(FormPresenterTest, HelpBusyGuardAndExceptions) {
    test::FakeViewer viewer;
    viewer.folder = m_dir.path();
    m_presenter.setFileViewer(viewer);
    m_presenter.Run([](form::FormPresenter& presenter) { presenter.Command(form::kHelpId); });
    EXPECT_EQ(viewer.opened, std::vector<std::filesystem::path>{m_dir / "help.html"});
    EXPECT_TRUE(m_prompts.messages.empty());
    viewer.opens = false;
    m_presenter.Help();
    EXPECT_EQ(m_prompts.messages, std::vector<std::string>{"Error: Cannot open the help page " +
                                                           QuotedPath(m_dir / "help.html") + "."});

    m_prompts.messages.clear();
    int inner = 0;
    m_presenter.Run([&](form::FormPresenter& presenter) {
        EXPECT_TRUE(presenter.Busy());
        presenter.Run([&](form::FormPresenter&) { ++inner; });
        throw std::runtime_error("out of memory");
    });
    EXPECT_EQ(inner, 0);
    EXPECT_FALSE(m_presenter.Busy());
    EXPECT_EQ(m_prompts.messages, std::vector<std::string>{"out of memory"});
    m_presenter.Run([&](form::FormPresenter&) { ++inner; });
    EXPECT_EQ(inner, 1);
}

} // namespace
} // namespace tarvex
