#pragma once
// Crash recovery: a copy of an unsaved document kept on disk, so that a
// crash, a kill or a power loss loses nothing. Two seconds after the last
// edit the document's text is copied (cheaply: the text is shared, not
// duplicated) and written on a worker thread to one file per running
// editor under $XDG_STATE_HOME/QLN/recovery/. The copy goes away when the
// document is saved, cleared, or its changes are thrown away on purpose.
// A file left behind by an editor that is no longer running is offered
// back at the next start. Each running editor holds a lock on its own
// files, so two editors never take each other's copies.

#include "shell/diskchange.h"
#include "base/prompter.h"
#include "surface/textfile.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLockFile;

namespace qln {

// One unsaved document as kept for recovery.
struct RecoveryRecord {
    QString path;                         // "" for a document never saved
    std::optional<TextFileFormat> format; // the encoding the file is written in
    FileStamp stamp;                      // the file when the document last read or wrote it
    QString text;                         // CR LF text
};

// The file's bytes: a text header (path, format, stamp, length and a
// checksum of the body), a blank line, then the text as UTF-8.
QByteArray encodeRecovery(const RecoveryRecord &record);
// Nothing when the bytes are not a complete, intact recovery file.
std::optional<RecoveryRecord> decodeRecovery(const QByteArray &bytes);
std::optional<RecoveryRecord> readRecoveryFile(const QString &file);
// Replaces file atomically.
bool writeRecoveryFile(const QString &file, const RecoveryRecord &record, QString *error = nullptr);

// $XDG_STATE_HOME/QLN/recovery, or ~/.local/state/QLN/recovery when the
// variable is unset (or not an absolute path).
QString defaultRecoveryFolder();

// What the recovery reads from the document.
struct RecoverySource {
    std::function<bool()> modified;
    std::function<quint64()> revision;       // changes with every edit
    std::function<RecoveryRecord()> snapshot; // a copy of the document
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
    // The pause after the last edit before a copy is written (ms).
    void setDelay(int ms) { m_timer.setInterval(ms); }
    int delay() const { return m_timer.interval(); }

    // The text changed: a copy is written once edits pause for delay().
    void noteEdit();
    // The document was saved, cleared or its changes thrown away: no copy
    // is kept.
    void discard();
    // Writes a copy now (on the worker thread) when the document is
    // modified.
    void writeNow();
    // Blocks until the worker has written or removed everything asked of it.
    void waitForWrites();
    // Copies written so far.
    int writesDone() const { return m_writesDone; }
    // The editor ends normally: an unsaved document that the user did not
    // throw away keeps its copy (written before this returns), anything
    // else is removed; the session's lock is released.
    void finish();

    // A recovery file of an editor that is no longer running, locked by
    // this session until it is released.
    struct Orphan {
        QString file;
        std::shared_ptr<QLockFile> lock;
    };
    // Every such file in the folder, oldest first. Files of running
    // editors are left alone.
    std::vector<Orphan> claimOrphans();
    // The orphan's document was opened here: its copy becomes this
    // session's copy, so the text stays safe until it is saved.
    void adopt(Orphan &orphan);
    // Unlocks the orphan, removing its file or leaving it where it is.
    void release(Orphan &orphan, bool removeFile);

signals:
    // Recovery cannot work as it should (folder, lock, a failed write);
    // reported once per session.
    void problem(const QString &message);

private:
    void snapshotAndWrite();
    void removeCopy();
    void writeDone(bool ok, const QString &error);
    void report(const QString &message);

    QString m_folder;
    QString m_id;
    std::unique_ptr<QLockFile> m_lock;
    RecoverySource m_source;
    QTimer m_timer;
    QThreadPool m_worker; // one thread: writes and removals stay in order
    bool m_enabled = false;
    bool m_finished = false;
    bool m_discarded = false;
    bool m_busy = false;
    bool m_again = false;
    bool m_fileMayExist = false;
    bool m_reported = false;
    std::optional<quint64> m_writtenRevision;
    int m_writesDone = 0;
};

// Start-up: offers each recovery file left by an editor that did not end
// normally ("Recover Document", Yes/No). Yes opens its text through open()
// as a modified document with its path; No deletes the file. One document
// is recovered per window; further files wait for the next start. Files
// that cannot be read are left in place, and the user is told where.
void offerRecovery(DocumentRecovery &recovery, Prompter &prompter,
                   const std::function<void(const RecoveryRecord &)> &open);

} // namespace qln
