#pragma once
// Notices when the document's file is changed, replaced or deleted by
// another program. DiskChangeCheck remembers the file as it was when the
// document was opened or last saved, and asks before Save writes over a
// file that changed since; on activation it offers to reload an unedited
// document, warns about an edited one, and reports a deleted file.

#include "base/prompter.h"

#include <QString>

namespace qln {

// What identifies one version of a file: size, modification time (to the
// nanosecond) and the file's identity on its device, so that a file
// replaced by another program's atomic save (a new inode) is noticed even
// when size and time happen to agree.
struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0; // since the epoch
    quint64 inode = 0;
    quint64 device = 0;

    static FileStamp of(const QString &path);
    bool operator==(const FileStamp &other) const = default;
    // One line of text and back, for the recovery file.
    QString toText() const;
    static FileStamp fromText(const QString &text);
};

class DiskChangeCheck {
public:
    // The document now holds the file at path as it is on disk (opened,
    // reloaded or just saved).
    void remember(const QString &path);
    // The document holds a copy of path made when the file had `stamp`
    // (a recovered document).
    void remember(const QString &path, const FileStamp &stamp);
    // The document has no file (New), or the user agreed to overwrite it.
    void forget();

    QString path() const { return m_path; }
    // The file as the document last read or wrote it.
    FileStamp stamp() const { return m_known; }

    // Save is about to write path: true when it may. When the file changed
    // since it was opened or last saved, the user is asked (Yes/No).
    bool confirmOverwrite(const QString &path, Prompter &prompter) const;

    enum class Outcome {
        Nothing,       // unchanged, or the user kept the document as it is
        Reload,        // the user asked to read the file again
        KeepModified,  // the file is gone: the document alone holds the text
    };
    // The window was activated: looks at the file once. Each change is
    // reported once; the next activation stays quiet until the file
    // changes again.
    Outcome checkOnActivation(bool documentModified, Prompter &prompter);

private:
    QString m_path;
    FileStamp m_known; // at open or last save
    FileStamp m_seen;  // the last state the user was told about
};

} // namespace qln
