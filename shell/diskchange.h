#pragma once
// Notices when the document's file is changed, replaced or deleted by
// another program. DiskChangeCheck remembers the file as it was when the
// document was opened or last saved, and asks before Save writes over a
// file that changed since; on activation it offers to reload an unedited
// document, warns about an edited one, and reports a deleted file.
// readRegularFile reads a document's file without ever blocking on it.

#include "base/prompter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <optional>

namespace qln {

// What identifies one version of a file: size, modification time (to the
// nanosecond) and the file's identity on its device, so that a file
// replaced by another program's atomic save (a new inode) is noticed even
// when size and time happen to agree. The status change time moves with
// every write and cannot be set back, so an in-place change that restores
// size and modification time (`touch -r`) shows there; the digest of the
// bytes read or written tells such a change from a mere chmod.
struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0; // since the epoch
    quint64 inode = 0;
    quint64 device = 0;
    qint64 changedNs = 0; // status change time, since the epoch
    // The bytes as this program last read or wrote them; nothing when only
    // the file's status was looked at.
    std::optional<quint64> digest;

    // The file's status only (no digest); a path that is not a regular
    // file has no stamp.
    static FileStamp of(const QString &path);
    // Both name the same version as far as the status tells: existence,
    // size, modification time and identity (not the status change time,
    // which a chmod moves too, nor the digest).
    bool sameVersion(const FileStamp &other) const;
    // sameVersion, and nothing at all was done to the file since.
    bool untouchedSince(const FileStamp &other) const
    {
        return sameVersion(other) && changedNs == other.changedNs;
    }
    bool operator==(const FileStamp &other) const = default;
    // One line of text and back, for the recovery file (a line of an older
    // editor, without status change time and digest, still reads).
    QString toText() const;
    static FileStamp fromText(const QString &text);
};

// A 64-bit hash of bytes (XXH64, seed 0): cheap enough to take of every
// file read or written, and never the same for two contents by accident.
quint64 contentDigest(QByteArrayView bytes);

// A whole file read for the document.
struct FileRead {
    enum Result {
        Read,      // bytes and stamp hold the file
        Missing,   // nothing is there
        Special,   // something other than a regular file is there (detail says what)
        Failed,    // it could not be opened or read (detail: the system's reason)
        Cancelled, // the progress callback stopped the reading
    } result = Failed;
    QByteArray bytes;
    FileStamp stamp; // Read: the file as it was opened, with the digest of bytes
    QString detail;
};
// Reads path without ever blocking: only a regular file is opened (a folder,
// named pipe, socket or device is refused before it is opened), and it is
// opened non-blocking, so that one swapped in meanwhile is refused too.
// The file is read to its end, however long that is when reading gets
// there (a file that grows meanwhile comes whole, short reads are read on,
// one deleted meanwhile is read through the open descriptor). progress,
// when given, is told the bytes read and the size the file had when it
// was opened after every piece (at most kReadPiece bytes); false from it
// stops the reading (Cancelled, no bytes).
using ReadProgress = std::function<bool(qint64 done, qint64 expected)>;
inline constexpr qint64 kReadPiece = qint64(1) << 20;
FileRead readRegularFile(const QString &path, const ReadProgress &progress = {});

class DiskChangeCheck {
public:
    // The document now holds the file at path as it is on disk (reloaded
    // or just saved); the file is read once for its digest.
    void remember(const QString &path);
    // The document holds a copy of path made when the file had `stamp`
    // (just read, or a recovered document).
    void remember(const QString &path, const FileStamp &stamp);
    // The document has no file (New), or the user agreed to overwrite it.
    void forget();

    QString path() const { return m_path; }
    // The file as the document last read or wrote it.
    FileStamp stamp() const { return m_known; }

    // Save is about to write path: true when it may. When the file changed
    // since it was opened or last saved (its status, or else its bytes),
    // the user is asked (Yes/No).
    bool confirmOverwrite(const QString &path, Prompter &prompter) const;

    enum class Outcome {
        Nothing,      // unchanged, or the user kept the document as it is
        Reload,       // the user asked to read the file again
        KeepModified, // the file is gone: the document alone holds the text
    };
    // The window was activated: looks at the file once. Each change is
    // reported once; the next activation stays quiet until the file
    // changes again. The file is read only when its status says something
    // was done to it but not whether its bytes changed.
    Outcome checkOnActivation(bool documentModified, Prompter &prompter);

private:
    // Whether the file at m_path, with status `now`, holds other bytes than
    // `than` describes; *digest gets the file's digest when it was read.
    bool bytesDiffer(const FileStamp &now, const FileStamp &than,
                     std::optional<quint64> *digest = nullptr) const;

    QString m_path;
    FileStamp m_known; // at open or last save
    FileStamp m_seen;  // the last state the user was told about
};

} // namespace qln
