#pragma once
// A Prompter that answers from a script and records every question, so
// that tests drive prompt flows without a modal window.

#include "base/prompter.h"

#include <QVariant>
#include <deque>
#include <vector>

namespace qln::test {

class ScriptedPrompter : public Prompter {
public:
    struct Asked {
        enum Kind { Message, Input, File, Color, Font, Folder } kind;
        MessageRequest message; // Message
        QString prompt, title;  // Input, Folder
        FileDialogRequest file; // File
    };

    // Queue answers in the order they will be asked. A message answer is a
    // MsgAnswer; input/file/folder answers are a QString or a cancel.
    void answer(MsgAnswer a) { m_answers.push_back(QVariant::fromValue(int(a))); }
    void answerText(const QString &text) { m_answers.push_back(text); }
    void answerColor(const QColor &c) { m_answers.push_back(c); }
    void answerFont(const FontChoice &f);
    void cancel() { m_answers.push_back(QVariant()); }

    const std::vector<Asked> &asked() const { return m_asked; }
    // Texts of the messages shown, in order.
    QStringList messages() const;
    int pending() const { return int(m_answers.size()); }
    void clear()
    {
        m_answers.clear();
        m_asked.clear();
    }

    MsgAnswer message(const MessageRequest &request) override;
    using Prompter::message;
    std::optional<QString> input(const QString &prompt, const QString &title,
                                 const QString &initial) override;
    std::optional<QString> file(const FileDialogRequest &request) override;
    std::optional<QColor> color(const QColor &initial) override;
    std::optional<FontChoice> font(const FontChoice &initial) override;
    std::optional<QString> folder(const QString &title, const QString &start) override;

private:
    QVariant next(const char *what);
    std::deque<QVariant> m_answers;
    std::vector<Asked> m_asked;
    std::vector<FontChoice> m_fonts;
};

} // namespace qln::test
