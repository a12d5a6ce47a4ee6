#pragma once
// The program's Prompter: real Qt message boxes, input boxes and common
// dialogs, modal to the given parent window.

#include "shell/prompter.h"

#include <QPointer>
#include <QWidget>

namespace qln {

class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParentWidget(QWidget *parent) { m_parent = parent; }

    MsgAnswer message(const MessageRequest &request) override;
    using Prompter::message;
    std::optional<QString> input(const QString &prompt, const QString &title,
                                 const QString &initial = QString()) override;
    std::optional<QString> file(const FileDialogRequest &request) override;
    std::optional<QColor> color(const QColor &initial) override;
    std::optional<FontChoice> font(const FontChoice &initial) override;
    std::optional<QString> folder(const QString &title, const QString &start) override;

    // A box or dialog without a title of its own is captioned with this.
    static QString defaultTitle() { return QStringLiteral("QLN"); }

private:
    QPointer<QWidget> m_parent;
};

} // namespace qln
