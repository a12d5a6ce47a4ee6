#pragma once
// Every message box, input box and common dialog the program needs is asked
// through Prompter, so that tests can answer from a script and record what
// was asked. The widgets layer provides the real implementation.

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <optional>

namespace qln {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };

// Button sets as the program uses them.
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };

enum class MsgAnswer { Ok, Cancel, Yes, No };

struct MessageRequest {
    QString text;
    QString title; // empty: the box is titled "QLN"
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
};

struct FileDialogRequest {
    enum Mode { Open, Save } mode = Open;
    QString title;
    QString startPath; // folder or file name the dialog starts at
    QString filter;    // Qt filter list, e.g. "Java Files(*.java);;All Files(*)"
};

struct FontChoice {
    QString family;
    double pointSize = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false; // strikeout is not offered: the document cannot show it
};

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual MsgAnswer message(const MessageRequest &request) = 0;
    // Empty optional when the user cancels.
    virtual std::optional<QString> input(const QString &prompt, const QString &title,
                                         const QString &initial = QString()) = 0;
    virtual std::optional<QString> file(const FileDialogRequest &request) = 0;
    virtual std::optional<QColor> color(const QColor &initial) = 0;
    virtual std::optional<FontChoice> font(const FontChoice &initial) = 0;
    // Returns a folder path that ends with "/".
    virtual std::optional<QString> folder(const QString &title, const QString &start) = 0;

    // Convenience wrapper for the common call shape.
    MsgAnswer message(const QString &text, const QString &title, MsgIcon icon = MsgIcon::None,
                      MsgButtons buttons = MsgButtons::Ok)
    {
        return message(MessageRequest{text, title, icon, buttons});
    }
};

// Converts a filter written as "Desc(*.a)|*.a|All Files(*.*)|*.*" to the Qt
// form "Desc(*.a);;All Files(*)".
QString qtFileFilter(const QString &pipeFilter);

} // namespace qln
