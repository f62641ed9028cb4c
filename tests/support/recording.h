#pragma once
// Prompts and file dialogs that record what they are asked (the transport is in frames.h).

#include "support/frames.h"
#include "ui/file_dialogs.h"
#include "ui/prompts.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace talvex::testing {

// Answers questions from a queue (no answer left: "no"); keeps every text shown.
class RecordingPrompts : public Prompts {
public:
    void message(const QString& text) override { messages << text; }
    bool question(const QString& text) override
    {
        questions << text;
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool warningQuestion(const QString& text) override { return warnings << text, question(text); }
    void detailedMessage(const QString& text, const QString& detail) override
    {
        messages << text;
        details << detail;
    }
    // Answers with the button named first in `buttonAnswers` (none left: the
    // last button, which cancels), and with the item at the front of
    // `itemAnswers` (none left: cancels).
    int choose(const QString& text, const QStringList& buttons) override
    {
        questions << text;
        return int(buttons.indexOf(buttonAnswers.empty() ? buttons.back() : take(buttonAnswers)));
    }
    int chooseItem(const QString& text, const QStringList&) override
    {
        questions << text;
        return itemAnswers.empty() ? -1 : take(itemAnswers);
    }
    template <typename T>
    static T take(std::deque<T>& queue)
    {
        T front = queue.front();
        queue.pop_front();
        return front;
    }
    QStringList messages;
    std::deque<QString> buttonAnswers;
    std::deque<int> itemAnswers;
    QStringList details; // of the detailed messages
    QStringList questions;
    QStringList warnings; // the questions asked with the warning icon
    std::deque<bool> answers;
};

// Answers file dialogs from a queue of paths; an empty path (or an empty queue)
// cancels. Every dialog asked for is kept.
class RecordingFileDialogs : public FileDialogs {
public:
    QString openFile(const FileDialogOptions& options) override { return answer(options, false); }
    QString saveFile(const FileDialogOptions& options) override { return answer(options, true); }
    struct Asked {
        FileDialogOptions options;
        bool save;
    };
    std::vector<Asked> asked;
    std::deque<QString> answers;
    std::function<void()> whileOpen; // runs while each dialog is open

private:
    QString answer(const FileDialogOptions& options, bool save)
    {
        asked.push_back({options, save});
        if (whileOpen)
            whileOpen();
        if (answers.empty())
            return {};
        const QString path = answers.front();
        answers.pop_front();
        return path;
    }
};

} // namespace talvex::testing
