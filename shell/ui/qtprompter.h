#pragma once
// The program's Prompter: real Qt message boxes, input boxes and common
// dialogs, modal to the given parent window.

#include "base/prompter.h"

#include <QPointer>
#include <QWidget>

class QDialog;

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

    // A message of many lines (a tool's usage text) would make a box taller
    // than the screen: it is shown in a window of its own instead, the text
    // in a scrolling box, the window fitting the screen of `parent`.
    static bool isLongMessage(const QString &text);
    // That window, not yet shown; exec() answers the QDialogButtonBox
    // standard button clicked (0 when closed otherwise).
    static QDialog *longMessageWindow(const MessageRequest &request, QWidget *parent);

private:
    QPointer<QWidget> m_parent;
};

} // namespace qln
