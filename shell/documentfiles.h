#pragma once
// The document commands of the File and Insert menus: New, New Window,
// Open, Save, Save As, Insert File and Exit, the save-first prompt, the
// modified marker and the disk-space check. DocumentFiles owns the document
// path and the format of the file the document came from; it reaches the
// main window only through DocumentHost.

#include "base/prompter.h"
#include "shell/backgroundload.h"
#include "shell/diskchange.h"
#include "surface/textfile.h"

#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qln {

class Surface;
struct Preferences;
struct RecoveryRecord;

// What happened to the document, for those who keep a copy of it.
enum class DocumentEvent {
    Opened,       // it now holds a file as that file is on disk
    Saved,        // it was written to its file
    Cleared,      // New: it is empty, with no file
    Discarded,    // the user answered No to saving its changes, and the way out happened
    KeptModified, // its text is the only copy (its file was deleted, or it was recovered)
    Closed,       // the window is closing for good, past the save question
};

// What the document commands need from the main window.
class DocumentHost {
public:
    virtual ~DocumentHost() = default;
    virtual QString caption() const = 0;
    virtual void setCaption(const QString &caption) = 0;
    virtual QString statusText() const = 0;              // status panel 1
    virtual void setStatusText(const QString &text) = 0; // shown at once
    virtual void setHourglass(bool on) = 0;
    // Stops (false) or starts again (true) painting the document's view
    // while a file is read into it.
    virtual void setSurfacePainted(bool painted) = 0;
    virtual QString dialogFontName() const = 0;
    virtual QString fontListText() const = 0; // cbofontlist
    virtual QString fontSizeText() const = 0; // cbofontsize
    virtual double windowTopTwips() const = 0;
    virtual void SaveWindowSettings() = 0;
    // Closes the window; its close sequence runs.
    virtual void closeWindow() = 0;
    // A file was read into the document or inserted into it: the window
    // colours the whole document when it colours while typing.
    virtual void documentLoaded() {}
    // How a file read in the background is coloured there, on the loading
    // thread: nothing when the window does not colour while typing. The
    // job may use only what it holds (its own copy of the preferences).
    virtual std::function<void(Surface &)> colouringForLoad() { return {}; }
    // A file is being read in the background (true) or no longer (false):
    // the window offers to cancel it and keeps its text as it is meanwhile.
    virtual void setLoading(bool on) { Q_UNUSED(on); }
};

// The filter every document dialog offers, in the program's own notation.
inline const QString kDocumentFilter =
    QStringLiteral("Java Files(*.java)|*.java|Text Files(*.txt)|*.txt|All Files(*.*)|*.*");

// Disk space of the file system holding a folder, in bytes.
struct DiskSpace {
    qint64 total = 0;
    qint64 free = 0;      // total free bytes
    qint64 available = 0; // free bytes this user may use
};
std::optional<DiskSpace> queryDiskSpace(const QString &folder);

// True when the save may go on: either the disk has room for text (counted
// in characters), or the user answers Yes to the warning. An unknown disk
// (no answer from the query) lets the save go on.
bool CheckDiskSpace(const QString &text, const QString &folder, Prompter &prompter);
bool CheckDiskSpace(const QString &text, const std::optional<DiskSpace> &space, Prompter &prompter);

class DocumentFiles {
public:
    DocumentFiles(DocumentHost &host, Prompter &prompter, Surface &rtfedit, Surface &rtftemp,
                  const Preferences &preferences);

    // The document path: "" or a folder followed by "*.java" both mean no
    // file yet (then Save asks for a name). It is always absolute: a path
    // given relative is taken against the current folder when it is given.
    QString path() const { return m_path; }
    void setPath(const QString &path);
    // The encoding and line breaks of the file the document was read from;
    // nothing for a new document, which is written as CR LF UTF-8.
    std::optional<TextFileFormat> format() const { return m_format; }
    // The document has unsaved changes: its text differs from what was
    // last opened or saved (the surface's clean point). The caption's "*"
    // shows this state.
    bool isModified() const;

    // The one guard of every way out of the document (Close, Exit, New,
    // Open, Recent Files, an error link, Load Defaults, the session
    // ending). When the document is modified it asks "Do you wish to save
    // the file?" (Yes / No / Cancel).
    // Stay: Cancel, or Yes and the save did not write the file (cancelled
    // Save As, a failed write); text, path and "*" are kept.
    // Discarded: No, now or before for this same text (which is then not
    // asked about again). The No is final only when the way out happens:
    // the caller calls left() once it has (the file read, the settings
    // removed, the window closing), or stayed() when it failed or was
    // cancelled, and the document keeps its text, "*", recovery copy and
    // question as if nothing had been asked.
    enum class Leave { Unmodified, Saved, Discarded, Stay };
    Leave offerToSave();
    // offerToSave() != Leave::Stay.
    bool mayLeave() { return offerToSave() != Leave::Stay; }
    // The way out that offerToSave() let through is happening now: a text
    // the user declined to save is given up (DocumentEvent::Discarded).
    void left();
    // The way out did not happen: a decline given on the way is forgotten.
    void stayed();

    // Tells `listener` what happens to the document (see DocumentEvent).
    void addListener(std::function<void(DocumentEvent)> listener);
    // The main window calls this when it closes for good (past the
    // guard): a declined text is given up, then DocumentEvent::Closed.
    void closing();

    // The commands.
    void New();
    // A second instance of the program, below this window; on `file`
    // when one is given (a file dropped with others on the window).
    void NewWindow(const QString &file = QString());
    void Open();
    // Both answer whether the file was written.
    bool Save();
    bool SaveAs();
    void InsertFile();
    void Exit();

    // The window was activated: when the document's file was changed,
    // replaced or deleted by another program, asks to reload an unedited
    // document, warns about an edited one, and keeps the text of a deleted
    // file as an unsaved document.
    void checkFileOnDisk();
    // Shows a recovered document: its text, with its path and format, as
    // unsaved changes.
    void openRecovered(const RecoveryRecord &record);
    // The document's file as it was when last opened or saved here.
    FileStamp fileStamp() const { return m_disk.stamp(); }

    // Reads a file into the document: on success the document is that
    // file, titled with its name, caret at 0. The file is read before the
    // document is touched, so a file that cannot be read (missing, not a
    // regular file, unreadable, holding NUL bytes) leaves the document, its
    // path and caption as they were, and false comes back. Only regular
    // files are read, never blocking on a named pipe or a device. No
    // message is shown.
    bool load(const QString &path);
    // load(), saying "Error opening file" when the file cannot be read
    // (naming what is there when it is not a regular file). No save
    // question: for the start-up file.
    bool openFile(const QString &path);
    // The start-up file when nothing is at its path: an empty, unmodified
    // document with that name, which the first Save creates.
    void startNamed(const QString &path);

    // Opens the file at path as Open does after its file dialog: the save
    // question first when the document is modified (Cancel, or a save that
    // fails, keeps everything), then the file; "Error opening file" when it
    // cannot be read, and then the document stays guarded as it was.
    // Answers whether the document is now that file.
    // largeInBackground false: even a large file is read before this
    // returns (for callers that go on with the file at once).
    bool openPath(const QString &path, bool largeInBackground = true);

    // A file of at least this many bytes is read, decoded and coloured in
    // the background: load, openFile, openPath and Open come back at once
    // (load and openPath answer false: the document is not that file yet),
    // the status bar shows the progress, the document is locked, and the
    // file is shown when it is ready. A failure is said as when reading in
    // the foreground; a cancel leaves the document as it was.
    static constexpr qint64 kBackgroundFrom = qint64(2) << 20;
    void setBackgroundFrom(qint64 bytes) { m_backgroundFrom = bytes; }
    bool isLoading() const { return m_load != nullptr; }
    // Stops reading the file; the document stays as it was before.
    void cancelLoading();
    // Told the path of every file read into the document or written from it.
    void setFileUsed(std::function<void(const QString &path)> fileUsed)
    {
        m_fileUsed = std::move(fileUsed);
    }

    // How New Window starts the second instance; by default the running
    // executable, detached. Tests replace it.
    using Launcher = std::function<bool(const QString &program, const QStringList &arguments)>;
    void setLauncher(Launcher launcher) { m_launcher = std::move(launcher); }

private:
    // A file read and decoded for the document, not shown yet.
    struct LoadedFile {
        QString path; // absolute
        DecodedText decoded;
        FileStamp stamp;
        std::unique_ptr<Surface> ready; // made ready in the background
        bool coloured = false;          // ready, and coloured there
    };
    // Whether path is read in the background; starts it when it is.
    bool startsInBackground(const QString &path, bool replacing);
    void pollLoad();
    void finishLoad();
    // The document takes edits again and the window no longer offers to
    // cancel a load.
    void unlockDocument();
    // Reads path for the document with the hourglass up; on failure the
    // status panel is given back and *problem (when asked for) says what
    // the path names when it is not a regular file.
    std::optional<LoadedFile> readForDocument(const QString &path, QString *problem);
    std::optional<LoadedFile> readOrSay(const QString &path);
    // "Error opening file", with the problem below it when there is one.
    void sayNotOpened(const QString &problem);
    // Makes the document the file read.
    void show(LoadedFile &&file);
    // Reads path and, only once it is read, gives the current document up
    // for it; otherwise says so, and the document stays guarded.
    bool replaceWith(const QString &path, bool largeInBackground = true);
    void clearDocument();
    QString chooseFile(bool save);
    quint32 textColour() const;
    void showSaveError();
    void markModified();
    void notify(DocumentEvent event);

    DocumentHost &m_host;
    Prompter &m_prompter;
    Surface &m_rtfedit;
    Surface &m_rtftemp;
    const Preferences &m_preferences;
    QString m_path;
    std::optional<TextFileFormat> m_format;
    Launcher m_launcher;
    DiskChangeCheck m_disk;
    std::vector<std::function<void(DocumentEvent)>> m_listeners;
    // The surface's revision when the user last declined to save, and
    // whether the way out of that decline happened.
    std::optional<quint64> m_declinedAt;
    bool m_declineFinal = false;
    std::function<void(const QString &)> m_fileUsed;
    qint64 m_backgroundFrom = kBackgroundFrom;
    // Polls the load (and is told when it ends); it outlives the loads.
    std::unique_ptr<QTimer> m_loadPoll;
    std::unique_ptr<BackgroundLoad> m_load;
    bool m_loadReplacing = false; // over a document the user agreed to leave
    bool m_loadColoured = false;
    QString m_statusBeforeLoad;
    // Loads cancelled while still colouring: they end on their own.
    std::vector<std::unique_ptr<BackgroundLoad>> m_abandoned;
};

} // namespace qln
