// SPDX-License-Identifier: MIT
// The form's Import Bins from Model Library command, driven through the fake ports.
#include "form/form_presenter.h"

#include "fake_ports.h"
#include "form/form_layout.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

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

    // Imports library, answering the file dialog with it.
    void Import(const std::filesystem::path& library) {
        m_prompts.answers = {library};
        m_presenter.ImportBins();
    }

    test::TempDir m_dir;
    test::FakeView m_view;
    test::FakePrompts m_prompts;
    test::FakeProfile m_profile;
    form::FormPresenter m_presenter{m_view, m_prompts, m_profile, [] { return TitleHint{}; }};
};

TEST_F(ImportBinsTest, FillsBothTablesAsLoadDoesAndSavesNothing) {
    Import(kModels / "gf180mcu-fet_03v3.spice");

    ASSERT_EQ(m_prompts.requests.size(), 1u);
    EXPECT_FALSE(m_prompts.requests[0].save);
    EXPECT_EQ(test::Filters(m_prompts.requests[0]),
              "Model Libraries (*.lib *.spice *.sp *.mod *.ngspice)|"
              "*.lib;*.spice;*.sp;*.mod;*.ngspice|All Files (*.*)|*.*|");
    EXPECT_TRUE(m_prompts.messages.empty()) << m_prompts.messages.front();
    ASSERT_EQ(m_prompts.infos.size(), 1u);
    // The path as the working folder makes it (with its drive on Windows), then each table's group.
    const std::string& info = m_prompts.infos[0];
    EXPECT_EQ(info.rfind("Imported from \"", 0), 0u) << info;
    EXPECT_NE(info.find("gf180mcu-fet_03v3.spice\":\n"), std::string::npos) << info;
    EXPECT_NE(info.find(":\nMODxyN table: nfet_03v3, 16 cards, 4 length × 4 width bins\n"
                        "MODxyP table: pfet_03v3, 16 cards, 4 length × 4 width bins\n"
                        "Save keeps them in a settings file."),
              std::string::npos)
        << info;
    EXPECT_EQ(m_view.fields[kGroupN.nameId(0, 1)], "nfet_03v3.1");
    EXPECT_EQ(m_view.fields[kGroupP.nameId(3, 3)], "pfet_03v3.15");
    EXPECT_EQ(m_view.fields[kGroupP.nameId(0, 0)], "pfet_03v3.0");
    EXPECT_EQ(m_view.fields[kGroupN.lengthBoundIds[0]], "2.8e-07");
    EXPECT_EQ(m_view.fields[kGroupN.widthBoundIds[4]], "0.000100001");
    EXPECT_EQ(m_view.fields[kGroupN.widthBoundIds[5]], "");
    EXPECT_EQ(m_view.hints[kGroupN.nameId(0, 1)].toolTip, "nfet_03v3.1");
    EXPECT_EQ(m_view.fields[kGroupN.keyId], "myN");
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.path()));
    EXPECT_TRUE(m_presenter.model().currentSettingsPath.empty());

    // Save keeps the bounds exactly as imported, not as the fields round them.
    m_prompts.answers = {m_dir / "gf.amd"};
    m_presenter.Save();
    const LoadResult saved = ReadSettingsFile(m_dir / "gf.amd");
    ASSERT_TRUE(saved.loaded);
    EXPECT_EQ(saved.settings.tableN.widthBounds[4], 1.00001e-4);
    EXPECT_EQ(KeyText(saved.settings.keyN), "myN");
}

TEST_F(ImportBinsTest, AsksForTheGroupWhenATypeHasSeveralAndKeepsTheOtherTable) {
    WriteFileBytes(m_dir / "two.lib", ".model a.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n"
                                      ".model b.0 nmos lmin=1u lmax=3u wmin=1u wmax=2u\n"
                                      ".model b.1 nmos lmin=3u lmax=4u wmin=1u wmax=2u\n");
    Import(m_dir / "two.lib"); // the list is cancelled
    ASSERT_EQ(m_prompts.choiceItems.size(), 1u);
    EXPECT_EQ(m_prompts.choiceItems[0],
              (std::vector<std::string>{"a (nmos): 1 card, 1 length × 1 width bins, fits a table",
                                        "b (nmos): 2 cards, 2 length × 1 width bins, fits a table"}));
    EXPECT_EQ(m_view.fields[kGroupN.nameId(0, 0)], "");
    EXPECT_TRUE(m_prompts.infos.empty());

    m_prompts.choices = {1};
    Import(m_dir / "two.lib");
    EXPECT_EQ(m_view.fields[kGroupN.nameId(0, 1)], "b.1");
    EXPECT_EQ(m_view.fields[kGroupN.lengthBoundIds[2]], "4e-06");
    // No pmos group: the P table keeps what its fields show.
    EXPECT_EQ(m_view.fields[kGroupP.nameId(0, 0)], "typed");
    EXPECT_EQ(m_view.fields[kGroupP.widthBoundIds[0]], "1e-06");
    EXPECT_EQ(m_prompts.infos.size(), 1u);
}

TEST_F(ImportBinsTest, StopsWithEveryReasonAndLeavesTheFieldsAlone) {
    const std::map<int, std::string> before = m_view.fields;
    WriteFileBytes(m_dir / "expr.lib", ".model n.0 nmos lmin={a} lmax=2u wmin=1u wmax=2u\n");
    const struct {
        std::filesystem::path library;
        std::vector<std::string> parts;
    } rows[] = {
        {kModels / "sky130-nfet_01v8-discrete.spice",
         {"Cannot import bins from", "25 length bins × 39 width bins", "not a grid", "name of 32 bytes",
          "local to subcircuit"}},
        {m_dir / "expr.lib", {"No binned nmos or pmos cards", "n.0: lmin={a} not evaluated"}},
        {m_dir / "absent.lib", {"absent.lib"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.library.string());
        m_prompts.messages.clear();
        Import(row.library);
        ASSERT_EQ(m_prompts.messages.size(), 1u);
        for (const std::string& part : row.parts) {
            EXPECT_NE(m_prompts.messages[0].find(part), std::string::npos) << m_prompts.messages[0];
        }
        EXPECT_EQ(m_view.fields, before);
        EXPECT_TRUE(m_prompts.infos.empty());
    }
}

} // namespace
} // namespace tarvex
