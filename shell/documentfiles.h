#pragma once
// The document commands of the File and Insert menus: New, New Window,
// Open, Save, Save As, Insert File and Exit, the save-first prompt, the
// modified marker and the disk-space check. DocumentFiles owns the document
// path and the format of the file the document came from; it reaches the
// main window only through DocumentHost.

#include "shell/diskchange.h"
#include "base/prompter.h"
#include "surface/textfile.h"

#include <QString>
#include <functional>
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
    Discarded,    // the user answered No to saving its changes
    KeptModified, // its text is the only copy (its file was deleted, or it was recovered)
    Closed,       // the window is closing for good, past the save question
};

// What the document commands need from the main window.
class DocumentHost {
public:
    virtual ~DocumentHost() = default;
    virtual QString caption() const = 0;
    virtual void setCaption(const QString &caption) = 0;
    virtual QString statusText() const = 0;          // status panel 1
    virtual void setStatusText(const QString &text) = 0; // shown at once
    virtual void setHourglass(bool on) = 0;
    virtual QString dialogFontName() const = 0;
    virtual QString fontListText() const = 0;  // cbofontlist
    virtual QString fontSizeText() const = 0;  // cbofontsize
    virtual double windowTopTwips() const = 0;
    virtual void SaveWindowSettings() = 0;
    // Closes the window; its close sequence runs.
    virtual void closeWindow() = 0;
    // A file was read into the document or inserted into it: the window
    // colours the whole document when it colours while typing.
    virtual void documentLoaded() {}
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
    // file yet (then Save asks for a name).
    QString path() const { return m_path; }
    void setPath(const QString &path) { m_path = path; }
    // The encoding and line breaks of the file the document was read from;
    // nothing for a new document, which is written as CR LF UTF-8.
    std::optional<TextFileFormat> format() const { return m_format; }
    // The document has unsaved changes: its text differs from what was
    // last opened or saved (the surface's clean point). The caption's "*"
    // shows this state.
    bool isModified() const;

    // The one guard of every way out of the document (Close, Exit, New,
    // Open, Load Defaults, the session ending). When the document is
    // modified it asks "Do you wish to save the file?" (Yes / No / Cancel).
    // Stay: Cancel, or Yes and the save did not write the file (cancelled
    // Save As, a failed write); text, path and "*" are kept. A document
    // the user already declined to save, unchanged since, is not asked
    // about again.
    enum class Leave { Unmodified, Saved, Discarded, Stay };
    Leave offerToSave();
    // offerToSave() != Leave::Stay.
    bool mayLeave() { return offerToSave() != Leave::Stay; }

    // Tells `listener` what happens to the document (see DocumentEvent).
    void addListener(std::function<void(DocumentEvent)> listener);
    // The main window calls this when it closes for good.
    void closing();

    // The commands.
    void New();
    void NewWindow();
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
    // document is touched, so a file that cannot be read (missing, a
    // folder, unreadable, holding NUL bytes) leaves the document, its path
    // and caption as they were, and false comes back. No message is shown.
    bool load(const QString &path);

    // Opens the file at path as Open does after its file dialog: the save
    // question first when the document is modified (Cancel, or a save that
    // fails, keeps everything), then the file; "Error opening file" when it
    // cannot be read. Answers whether the document is now that file.
    bool openPath(const QString &path);
    // Told the path of every file read into the document or written from it.
    void setFileUsed(std::function<void(const QString &path)> fileUsed)
    {
        m_fileUsed = std::move(fileUsed);
    }

    // How New Window starts the second instance; by default the running
    // executable, detached. Tests replace it.
    using Launcher = std::function<bool(const QString &program)>;
    void setLauncher(Launcher launcher) { m_launcher = std::move(launcher); }

private:
    void clearDocument();
    QString chooseFile(bool save);
    quint32 textColour() const;
    void showSaveError();
    // load(), saying "Error opening file" when the file cannot be read.
    bool loadOrSay(const QString &path);
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
    // The surface's revision when the user last declined to save.
    std::optional<quint64> m_declinedAt;
    std::function<void(const QString &)> m_fileUsed;
};

} // namespace qln
