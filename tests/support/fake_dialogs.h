// Answers the viewer's message boxes and file dialogs without a modal loop: every message is
// recorded, and each Open or Save dialog takes the next prepared answer ("" = cancelled).
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <QString>

#include "app/dialogs.h"

namespace pixvue::testing {

struct ShownMessage {
    std::string text;
    std::string title;
    MessageIcon icon;
};

class FakeDialogs final : public Dialogs {
  public:
    void showMessage(QWidget*, const Message& message) override {
        messages.push_back({std::string(message.text), std::string(message.title), message.icon});
        if (onMessage) onMessage();
    }
    QString chooseFile(QWidget*, const QString& filter, const QString& folder) override {
        filters.push_back(filter);
        folders.push_back(folder);
        if (answers.empty()) return {};
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    }

    QString chooseSaveFile(QWidget* parent, const QString& filter, const QString& folder) override {
        return chooseFile(parent, filter, folder);
    }

    // Texts of the messages shown so far, oldest first.
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& m : messages) out.push_back(m.text);
        return out;
    }

    std::vector<ShownMessage> messages;
    std::deque<QString> answers;
    std::vector<QString> filters;
    std::vector<QString> folders;
    // Runs while each box is up, to see what the windows show behind it.
    std::function<void()> onMessage;
};

}  // namespace pixvue::testing
