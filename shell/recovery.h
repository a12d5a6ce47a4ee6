#pragma once
// Crash recovery: a copy of an unsaved document kept on disk, so that a
// crash, a kill or a power loss loses nothing. The copy is a journal: a
// full copy of the text, then the edits made since, appended as records, so
// that keeping up with typing costs what the edits cost, not what the
// document costs. It is brought up to date two seconds after the last edit,
// and at the latest ten seconds after the first edit it does not hold yet;
// the files are written on a worker thread, one per running editor under
// $XDG_STATE_HOME/QLN/recovery/. When the program is told to end
// (SIGTERM, SIGHUP, SIGINT, SIGQUIT), loses its display or its window, the
// copy is brought up to date before it ends. The copy goes away when the
// document is saved, cleared, or its changes are thrown away on purpose.
// A file left behind by an editor that is no longer running is offered
// back at the next start. Each running editor holds a lock on its own
// files, so two editors never take each other's copies.

#include "base/prompter.h"
#include "shell/diskchange.h"
#include "surface/textfile.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLockFile;

namespace qln {

class Surface;

// One unsaved document as kept for recovery.
struct RecoveryRecord {
    QString path;                         // "" for a document never saved
    std::optional<TextFileFormat> format; // the encoding the file is written in
    FileStamp stamp;                      // the file when the document last read or wrote it
    QString text;                         // CR LF text
};

// One edit as the journal keeps it: [pos, pos + removed) of the text
// (counted in UTF-16 units) replaced by text.
struct RecoveryEdit {
    int pos = 0;
    int removed = 0;
    QString text;
};

// The journal's bytes. A full copy is a text header (path, format, stamp,
// length and a checksum of the body), a blank line and the text; each
// record after it is an edit, or new details (path, format, stamp) for the
// document, with its own length and checksum. Text is UTF-8 (a lone
// surrogate is kept as its own three bytes, so every text comes back as it
// was).
QByteArray encodeRecovery(const RecoveryRecord &record);
QByteArray encodeRecoveryEdit(const RecoveryEdit &edit);
QByteArray encodeRecoveryDetails(const RecoveryRecord &details); // the text is not used

// A recovery file read back: the full copy with every intact record after
// it applied. A file that goes on past its intact part (cut short, a
// record that does not fit the text, garbage) is not complete; what came
// before the damage is still there.
struct RecoveryReading {
    RecoveryRecord record;
    bool complete = false;
    qsizetype intactBytes = 0; // the length of the part that was read
};
// Nothing when the bytes are not a recovery file or its full copy is not
// intact. Full copies written by earlier versions (no records) are read too.
std::optional<RecoveryReading> readRecovery(QByteArrayView bytes);
// Nothing unless the bytes are a complete, intact recovery file.
std::optional<RecoveryRecord> decodeRecovery(QByteArrayView bytes);
// Reads a regular file, never through a symbolic link; nothing (and the
// reason in error) otherwise.
std::optional<RecoveryReading> readRecoveryFile(const QString &file, QString *error = nullptr);
// Replaces file atomically by a full copy (a symbolic link of that name is
// replaced, never written through).
bool writeRecoveryFile(const QString &file, const RecoveryRecord &record, QString *error = nullptr);
// Appends records to the regular file (never through a symbolic link). A
// write that fails is taken back, so the file stays a valid journal.
bool appendRecoveryFile(const QString &file, const QByteArray &records, QString *error = nullptr);

// $XDG_STATE_HOME/QLN/recovery, or ~/.local/state/QLN/recovery when the
// variable is unset (or not an absolute path).
QString defaultRecoveryFolder();

// What the recovery reads from the document besides the surface's text.
struct RecoverySource {
    std::function<bool()> modified;
    std::function<RecoveryRecord()> details; // path, format and stamp; no text
};

class DocumentRecovery : public QObject {
    Q_OBJECT
public:
    explicit DocumentRecovery(const QString &folder = defaultRecoveryFolder(),
                              QObject *parent = nullptr);
    // Waits for a write in progress; the files stay as they are.
    ~DocumentRecovery() override;

    // Creates the folder and locks this session's files. False (and one
    // problem() report) when that is impossible: recovery is then off.
    bool start();
    bool isEnabled() const { return m_enabled; }
    QString folder() const { return m_folder; }
    // This session's copy of the document.
    QString sessionFile() const;

    void setSource(RecoverySource source) { m_source = std::move(source); }
    // The document's text: its edits go to the journal, and each change
    // schedules a copy.
    void follow(Surface &surface);
    // The pause after the last edit before the copy is brought up to date
    // (ms), and the longest an edit waits for it while edits go on.
    void setDelay(int ms) { m_delay = ms; }
    int delay() const { return m_delay; }
    void setMaxDelay(int ms) { m_maxDelay = ms; }
    int maxDelay() const { return m_maxDelay; }

    // The text changed: the copy follows once edits pause for delay(), or
    // maxDelay() after the first edit it does not hold.
    void noteEdit();
    // The document was saved, cleared or its changes thrown away: no copy
    // is kept.
    void discard();
    // Brings the copy up to date now (on the worker thread) when the
    // document is modified.
    void writeNow();
    // Blocks until the worker has written or removed everything asked of it.
    void waitForWrites();
    // Writes (full copies and appended records) finished so far.
    int writesDone() const { return m_writesDone; }
    // Full copies among them.
    int fullCopiesDone() const { return m_fullCopiesDone; }
    // The program is about to end abruptly: the copy is brought up to date
    // on this thread before this returns. Recovery goes on afterwards.
    void writeBeforeEnd();
    // The editor ends normally: an unsaved document that the user did not
    // throw away keeps its copy (written before this returns), anything
    // else is removed; the session's lock is released.
    void finish();

    // Makes every running DocumentRecovery finish() (its copy written, its
    // lock released) before the
    // program ends on SIGTERM, SIGHUP, SIGINT or SIGQUIT (the signals'
    // default action then follows; a second signal ends the program at
    // once), on a fatal error (Qt's fatal messages, such as a lost display
    // connection) or at exit(); a file size limit (SIGXFSZ) makes a write
    // fail instead of ending the program. Safe to call again.
    static void installEndHandlers();

    // A recovery file of an editor that is no longer running, locked by
    // this session until it is released.
    struct Orphan {
        QString file;
        std::shared_ptr<QLockFile> lock;
    };
    // Every such file in the folder, oldest first. Files of running
    // editors are left alone; entries named like recovery files that are
    // not regular files (symbolic links among them) are neither read nor
    // claimed, only listed in skipped.
    std::vector<Orphan> claimOrphans(QStringList *skipped = nullptr);
    // The orphan's document was opened here: this session writes its own
    // copy of it, and then removes the orphan's file when removeFile.
    void adopt(Orphan &orphan, bool removeFile);
    // Unlocks the orphan, removing its file or leaving it where it is.
    void release(Orphan &orphan, bool removeFile);

signals:
    // Recovery cannot work as it should (folder, lock, a failed write);
    // reported once per session.
    void problem(const QString &message);

private:
    struct Disk;
    void schedule();
    void onReplaced(int pos, int removed, int added);
    void writePending();
    // The records that bring the journal from the last write to now.
    QByteArray pendingRecords(const RecoveryRecord &details) const;
    bool upToDate() const;
    void removeCopy();
    void writeDone(bool ok, bool full, const QString &error);
    void report(const QString &message);

    QString m_folder;
    QString m_id;
    std::unique_ptr<QLockFile> m_lock;
    RecoverySource m_source;
    QPointer<Surface> m_surface;
    QTimer m_timer;
    int m_delay = 2000;
    int m_maxDelay = 10000;
    QElapsedTimer m_firstUncopied; // running while an edit waits for the copy
    QThreadPool m_worker;          // one thread: writes and removals stay in order
    std::shared_ptr<Disk> m_disk;  // the file as the worker left it
    bool m_enabled = false;
    bool m_finished = false;
    bool m_discarded = false;
    bool m_busy = false;
    bool m_again = false;
    bool m_fileMayExist = false;
    bool m_reported = false;
    // The journal on disk (or queued for it) holds a full copy that the
    // pending edits follow on from.
    bool m_haveBase = false;
    qint64 m_journalBytes = 0;           // records after the full copy
    std::vector<RecoveryEdit> m_pending; // edits since the last write
    qint64 m_pendingChars = 0;
    RecoveryRecord m_writtenDetails;
    std::optional<quint64> m_writtenRevision;
    int m_writesDone = 0;
    int m_fullCopiesDone = 0;
};

// Start-up: offers each recovery file left by an editor that did not end
// normally ("Recover Document", Yes/No). Yes opens its text through open()
// as a modified document with its path; No deletes the file. One document
// is recovered per window; further files wait for the next start. Files
// that cannot be read are left in place, and the user is told where; so
// are damaged files, whose intact part is offered; entries that are not
// regular files are named and left alone.
void offerRecovery(DocumentRecovery &recovery, Prompter &prompter,
                   const std::function<void(const RecoveryRecord &)> &open);

// Calls gone() when the window system destroys a native window of the
// program that the program did not destroy itself (another program did):
// the window can neither be shown nor closed any more. windowId gives the
// watched window's native id as it is now (0 while it has none). Install
// it with QCoreApplication::installNativeEventFilter.
class WindowDestroyedWatch : public QAbstractNativeEventFilter {
public:
    WindowDestroyedWatch(std::function<quintptr()> windowId, std::function<void()> gone);
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    std::function<quintptr()> m_windowId;
    std::function<void()> m_gone;
};

} // namespace qln
