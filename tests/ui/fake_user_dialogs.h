// SPDX-License-Identifier: MIT
// UserDialogs for tests: answers file dialogs from a queue, records requests and messages, and
// can press Cancel on the progress display.
#pragma once

#include "ui/user_dialogs.h"

#include <QStringList>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace tarvex::test {

class FakeUserDialogs final : public ui::UserDialogs {
public:
    std::deque<std::optional<QString>> answers; // one per file dialog; nothing left means Cancel
    std::vector<ui::FileRequest> requests;
    QStringList errors;
    int progressStarted = 0;
    int progressUpdates = 0;
    int cancelAfterUpdates = -1; // the progress display's Cancel is pressed after this many updates

    std::optional<QString> askFile(QWidget* /*parent*/, const ui::FileRequest& request) override {
        requests.push_back(request);
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }

    void showError(QWidget* /*parent*/, const QString& text) override { errors << text; }

    std::unique_ptr<ui::ProgressReport> startProgress(QWidget* /*parent*/, const QString& /*label*/,
                                                      qint64 /*total*/) override {
        ++progressStarted;
        return std::make_unique<Progress>(*this);
    }

private:
    class Progress final : public ui::ProgressReport {
    public:
        explicit Progress(FakeUserDialogs& owner) : m_owner(owner) {}
        bool update(qint64 /*done*/) override {
            ++m_owner.progressUpdates;
            return m_owner.cancelAfterUpdates < 0 || m_owner.progressUpdates < m_owner.cancelAfterUpdates;
        }

    private:
        FakeUserDialogs& m_owner;
    };
};

} // namespace tarvex::test
