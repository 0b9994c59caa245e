// Answers to the window's questions from a script, and a log of what was asked, so that the
// logic of a command runs without any dialog.
#pragma once

#include <QDialog>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "engine/password.h"
#include "ui/prompts.h"

namespace tavelix::ui::test {

class TScriptedPrompts : public TPrompts {
public:
    // The window's password, which an answered password request writes as the dialog would.
    explicit TScriptedPrompts(TSecret& password) : FPassword(password) {}

    // Answers, taken in order; a question without one is answered "Cancel".
    std::deque<QStringList> Open;
    std::deque<QString> Save;
    std::deque<std::optional<std::string>> Password;  // bytes for OK, none for Cancel
    std::deque<bool> Question;
    std::deque<int> Choice;  // the index of the button; none: the last (the way out)
    // Every question, in order: "open: TITLE", "save: TITLE | PROPOSED", "password",
    // "message: TEXT", "question: TEXT", "choice: TEXT [BUTTON|BUTTON...]", "modal: OBJECTNAME".
    QStringList Log;
    // Runs inside every question, as events run while a real box is open (timer ticks).
    std::function<void()> WhileAsking;

    QStringList Messages() const {
        QStringList messages;
        for (const QString& entry : Log)
            if (entry.startsWith("message: ")) messages.append(entry.mid(9));
        return messages;
    }

    QStringList PicturesToOpen(const QString& title) override {
        Asked("open: " + title);
        return Take(Open).value_or(QStringList());
    }
    QString SaveName(const QString& title, const QString& proposedName) override {
        Asked("save: " + title + " | " + proposedName);
        return Take(Save).value_or(QString());
    }
    bool PasswordRequest() override {
        Asked("password");
        const std::optional<std::optional<std::string>> answer = Take(Password);
        if (!answer || !*answer) return false;
        FPassword.Assign(**answer);
        return true;
    }
    void Message(const QString& text) override { Asked("message: " + text); }
    bool OkCancel(const QString& text) override {
        Asked("question: " + text);
        return Take(Question).value_or(false);
    }
    int Choose(const QString& text, const QStringList& buttons) override {
        Asked("choice: " + text + " [" + buttons.join('|') + "]");
        return Take(Choice).value_or(static_cast<int>(buttons.size()) - 1);
    }
    void ShowModal(QDialog& dialog) override { Asked("modal: " + dialog.objectName()); }

private:
    void Asked(const QString& entry) {
        Log.append(entry);
        if (WhileAsking) WhileAsking();
    }
    template <typename T>
    static std::optional<T> Take(std::deque<T>& answers) {
        if (answers.empty()) return std::nullopt;
        T answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }

    TSecret& FPassword;
};

}  // namespace tavelix::ui::test
