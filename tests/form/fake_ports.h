// SPDX-License-Identifier: MIT
// The form's ports for tests: a view that holds field texts as bytes, prompts that answer file
// dialogs from a queue and record what they were asked and shown, and a profile in memory.
#pragma once

#include "form/form_layout.h"
#include "form/form_ports.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarvex::test {

class FakeView final : public form::FormView {
public:
    FakeView() {
        for (const form::GroupLayout* group : form::kGroups) {
            for (int i = 0; i < kBoundCount; ++i) {
                fields[group->widthBoundIds[i]];
                fields[group->lengthBoundIds[i]];
            }
            for (const auto& column : group->nameIds) {
                for (const int id : column) {
                    fields[id];
                }
            }
            fields[group->keyId];
        }
    }

    std::map<int, std::string> fields; // every field of the layout, and no other id
    struct Hint {
        std::string toolTip;
        bool tinted = false;
    };
    std::map<int, Hint> hints; // name fields whose hint was set
    int focused = 0;
    int selected = 0; // the field last focused with its text selected
    std::string title;
    std::optional<bool> ended; // how the dialog was ended: accepted or not

    std::string fieldText(int id, std::size_t maxBytes) const override {
        return fields.at(id).substr(0, maxBytes);
    }
    void setFieldText(int id, std::string_view bytes) override { fields.at(id) = bytes; }
    bool showsText(int id, std::string_view bytes) const override { return fields.at(id) == bytes; }
    void setFieldHint(int id, std::string_view toolTip, bool tinted) override {
        (void)fields.at(id); // only fields of the layout
        hints[id] = {std::string(toolTip), tinted};
    }
    void focusControl(int id) override { focused = id; }
    void selectField(int id) override {
        (void)fields.at(id);
        focused = id;
        selected = id;
    }
    void setTitle(std::string_view shown) override { title = shown; }
    void endDialog(bool accepted) override { ended = accepted; }
};

class FakePrompts final : public form::UserPrompts {
public:
    std::deque<std::optional<std::filesystem::path>> answers; // one per file dialog; none left: Cancel
    std::vector<form::FileRequest> requests;
    std::vector<std::string> messages;
    std::vector<std::string> details; // one per message
    std::vector<bool> savable;        // one per stop message: it offered Save Details
    int saveDetailsPresses = 0;
    int progressStarted = 0;
    int progressUpdates = 0;
    int cancelAfterUpdates = -1; // the progress display's Cancel is pressed after this many updates
    std::deque<std::optional<std::size_t>> choices; // one per list to choose from; none left: Cancel
    std::vector<std::vector<std::string>> choiceItems;
    std::vector<std::string> infos;
    std::vector<std::string> warnings;
    std::vector<std::string> questions;
    std::deque<form::Answer> replies; // one per question; none left: Cancel (No without Cancel)

    std::optional<std::filesystem::path> askFile(const form::FileRequest& request) override {
        requests.push_back(request);
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }

    void showStop(std::string_view message, std::string_view shownDetails) override {
        messages.emplace_back(message);
        details.emplace_back(shownDetails);
        savable.push_back(false);
    }

    // Presses Save Details saveDetailsPresses times while the box is open.
    void showStopWithSave(std::string_view message, std::string_view shownDetails,
                          const std::function<void()>& saveDetails) override {
        messages.emplace_back(message);
        details.emplace_back(shownDetails);
        savable.push_back(true);
        for (int i = 0; i < saveDetailsPresses; ++i) {
            saveDetails();
        }
    }

    std::unique_ptr<form::Progress> startProgress(std::string_view /*label*/,
                                                  std::uint64_t /*total*/) override {
        ++progressStarted;
        return std::make_unique<CountingProgress>(*this);
    }

    std::optional<std::size_t> chooseItem(std::string_view /*prompt*/,
                                          const std::vector<std::string>& items) override {
        choiceItems.push_back(items);
        if (choices.empty()) {
            return std::nullopt;
        }
        auto choice = choices.front();
        choices.pop_front();
        return choice;
    }

    void showInfo(std::string_view message) override { infos.emplace_back(message); }

    void showWarning(std::string_view message, std::string_view shownDetails) override {
        warnings.emplace_back(message);
        details.emplace_back(shownDetails);
    }

    form::Answer ask(std::string_view question, bool withCancel) override {
        questions.emplace_back(question);
        if (replies.empty()) {
            return withCancel ? form::Answer::Cancel : form::Answer::No;
        }
        const form::Answer reply = replies.front();
        replies.pop_front();
        return reply;
    }

private:
    class CountingProgress final : public form::Progress {
    public:
        explicit CountingProgress(FakePrompts& owner) : m_owner(owner) {}
        bool update(std::uint64_t /*done*/) override {
            ++m_owner.progressUpdates;
            return m_owner.cancelAfterUpdates < 0 || m_owner.progressUpdates < m_owner.cancelAfterUpdates;
        }

    private:
        FakePrompts& m_owner;
    };
};

class FakeProfile final : public form::Profile {
public:
    std::optional<std::filesystem::path> stored; // nothing: never written
    std::filesystem::path state;                 // the state folder; empty: none
    std::optional<bool> spiceSizes;              // nothing: never written

    std::filesystem::path settingsPath() override { return stored.value_or(std::filesystem::path()); }
    void setSettingsPath(const std::filesystem::path& path) override { stored = path; }
    std::filesystem::path stateFolder() override { return state; }
    bool readsSizesAsSpice() override { return spiceSizes.value_or(false); }
    void setReadsSizesAsSpice(bool spice) override { spiceSizes = spice; }
};

// A viewer that records the files it was asked to open; open() answers as told.
// A request's filters as one line: label|patterns joined by ';'| per entry.
inline std::string Filters(const form::FileRequest& request) {
    std::string line;
    for (const form::FileFilter& filter : request.filters) {
        line += filter.label + "|";
        for (std::size_t i = 0; i < filter.patterns.size(); ++i) {
            line += (i == 0 ? "" : ";") + filter.patterns[i];
        }
        line += "|";
    }
    return line;
}

class FakeViewer final : public form::FileViewer {
public:
    std::filesystem::path folder;
    bool opens = true;
    std::vector<std::filesystem::path> opened;

    std::filesystem::path privateFolder() override { return folder; }
    bool open(const std::filesystem::path& file) override {
        opened.push_back(file);
        return opens;
    }
    std::filesystem::path helpPage() override { return folder / "help.html"; }
    bool showHelp(const std::filesystem::path& page) override { return open(page); }
};

} // namespace tarvex::test
