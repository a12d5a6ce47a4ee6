#include "shell/documentfiles.h"

#include "base/editorstate.h"
#include "base/heapuse.h"
#include "base/pathutil.h"
#include "settings/convert.h"
#include "settings/preferences.h"
#include "settings/settingsstore.h"
#include "shell/documenttitle.h"
#include "shell/recovery.h"
#include "shell/savefile.h"
#include "surface/surface.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStorageInfo>
#include <cmath>

namespace qln {

namespace {

const QString kPleaseWait = QStringLiteral("Please wait");
const QString kDone = QStringLiteral("Done");
const QString kErrorOpening = QStringLiteral("Error opening file");
const QString kSavedAsUtf8 =
    QStringLiteral("Saved as UTF-8: the text holds characters Latin-1 cannot store");

// Said at Open when a UTF-8 file holds bytes that are not UTF-8.
QString strayBytesNote(qsizetype count)
{
    return count == 1
               ? QStringLiteral("1 byte is not UTF-8; it is kept as it is")
               : QStringLiteral("%1 bytes are not UTF-8; they are kept as they are").arg(count);
}

QString kiloBytes(qint64 bytes)
{
    // Rounded up, so a document of a few characters does not read as 0.
    return QString::number((std::max<qint64>(bytes, 0) + 1023) / 1024);
}

// The second paragraph of a message about a path that is not a regular file.
QString notRegularFile(const QString &path, const QString &kind)
{
    return QStringLiteral("%1 is %2, not a regular file.").arg(path, kind);
}

// Why a file could not be opened as a document, naming it.
QString readProblem(const QString &path, const FileRead &read)
{
    switch (read.result) {
    case FileRead::Missing: return QStringLiteral("%1 does not exist.").arg(path);
    case FileRead::Special: return notRegularFile(path, read.detail);
    case FileRead::Failed:
        return read.detail.isEmpty()
                   ? QStringLiteral("%1 cannot be read.").arg(path)
                   : QStringLiteral("%1 cannot be read: %2.").arg(path, read.detail);
    case FileRead::Cancelled: return QStringLiteral("Reading %1 was cancelled.").arg(path);
    case FileRead::Read: break;
    }
    // Read, but not text: a NUL byte is never part of a text file.
    return QStringLiteral("%1 holds NUL bytes: it is not a text file.").arg(path);
}

} // namespace

std::optional<DiskSpace> queryDiskSpace(const QString &folder)
{
    const QStorageInfo info(folder);
    if (!info.isValid() || !info.isReady())
        return std::nullopt;
    return DiskSpace{info.bytesTotal(), info.bytesFree(), info.bytesAvailable()};
}

bool CheckDiskSpace(const QString &text, const QString &folder, Prompter &prompter)
{
    return CheckDiskSpace(text, queryDiskSpace(folder), prompter);
}

bool CheckDiskSpace(const QString &text, const std::optional<DiskSpace> &space, Prompter &prompter)
{
    // A disk that cannot be asked lets the save go on.
    if (!space)
        return true;
    const qint64 size = text.size();
    if (space->free >= size)
        return true;
    const QString message =
        QStringLiteral("There's not ehough space to save this file\r\n")
        + QStringLiteral("Total Disk Space ~") + kiloBytes(space->total)
        + QStringLiteral(" KBytes\r\n") + QStringLiteral("Free Space ~ ") + kiloBytes(space->free)
        + QStringLiteral(" KBytes\r\n") + QStringLiteral("Code Size ~ ") + kiloBytes(size)
        + QStringLiteral(" KBytes\r\n") +
        // The save is all or nothing: Yes tries it, and a failed try leaves
        // the file on disk as it was.
        QStringLiteral("If you choose yes the file will be saved if it fits; if it does not, the "
                       "file stays unchanged");
    return prompter.message(message, QStringLiteral("Do you wish to continue?"), MsgIcon::Critical,
                            MsgButtons::YesNo)
           == MsgAnswer::Yes;
}

DocumentFiles::DocumentFiles(DocumentHost &host, Prompter &prompter, Surface &rtfedit,
                             Surface &rtftemp, const Preferences &preferences)
    : m_host(host), m_prompter(prompter), m_rtfedit(rtfedit), m_rtftemp(rtftemp),
      m_preferences(preferences)
{
    m_launcher = [](const QString &program, const QStringList &arguments) {
        return QProcess::startDetached(program, arguments);
    };
    m_loadPoll = std::make_unique<QTimer>();
    m_loadPoll->setInterval(50);
    QObject::connect(m_loadPoll.get(), &QTimer::timeout, [this] { pollLoad(); });
}

bool DocumentFiles::isModified() const
{
    return m_rtfedit.isModified();
}

quint32 DocumentFiles::textColour() const
{
    return quint32(leadingNumber(m_preferences.ctextcolor)) & 0xFFFFFF;
}

void DocumentFiles::addListener(std::function<void(DocumentEvent)> listener)
{
    m_listeners.push_back(std::move(listener));
}

void DocumentFiles::notify(DocumentEvent event)
{
    for (const auto &listener : m_listeners)
        listener(event);
}

void DocumentFiles::setPath(const QString &path)
{
    m_path = absolutePath(path);
}

void DocumentFiles::closing()
{
    left();
    notify(DocumentEvent::Closed);
}

DocumentFiles::Leave DocumentFiles::offerToSave()
{
    if (!isModified())
        return Leave::Unmodified;
    if (m_declinedAt == m_rtfedit.revision())
        return Leave::Discarded;
    switch (m_prompter.message(QStringLiteral("Do you wish to save the file?"),
                               QStringLiteral("File not saved"), MsgIcon::Question,
                               MsgButtons::YesNoCancel)) {
    case MsgAnswer::Yes:
        // Only a save that really wrote the file lets the caller go on.
        return Save() ? Leave::Saved : Leave::Stay;
    case MsgAnswer::No:
        // Final only once the way out has happened (left()).
        m_declinedAt = m_rtfedit.revision();
        m_declineFinal = false;
        return Leave::Discarded;
    default: return Leave::Stay;
    }
}

void DocumentFiles::left()
{
    if (m_declineFinal || !m_declinedAt || m_declinedAt != m_rtfedit.revision())
        return;
    m_declineFinal = true;
    notify(DocumentEvent::Discarded);
}

void DocumentFiles::stayed()
{
    if (!m_declineFinal)
        m_declinedAt.reset();
}

QString DocumentFiles::chooseFile(bool save)
{
    FileDialogRequest request;
    request.mode = save ? FileDialogRequest::Save : FileDialogRequest::Open;
    request.startPath = m_path;
    request.filter = qtFileFilter(kDocumentFilter);
    const std::optional<QString> chosen = m_prompter.file(request);
    return chosen ? *chosen : QString();
}

void DocumentFiles::clearDocument()
{
    m_path.clear();
    m_format.reset();
    m_rtfedit.setText(QString());
    m_rtfedit.setClean();
    m_rtfedit.setSelColor(0);
    m_host.setHourglass(false);
    m_host.setCaption(documentCaption(QString()));
    m_disk.forget();
    notify(DocumentEvent::Cleared);
}

void DocumentFiles::New()
{
    if (!mayLeave())
        return;
    cancelLoading();
    left();
    clearDocument();
}

void DocumentFiles::NewWindow(const QString &file)
{
    m_host.SaveWindowSettings();
    SettingsStore &store = settingsStore();
    store.save(kPrefs, QStringLiteral("ftop"),
               twipsText(float(std::round(m_host.windowTopTwips() + 400))));
    // The new instance reads the store as soon as it starts.
    store.sync();
    if (m_launcher)
        m_launcher(QCoreApplication::applicationFilePath(),
                   file.isEmpty() ? QStringList() : QStringList{file});
}

void DocumentFiles::Open()
{
    if (!mayLeave())
        return;
    // The document stays as it is until the chosen file has been read: a
    // cancelled dialog leaves it exactly as it was, "*" and question too.
    const QString chosen = chooseFile(false);
    if (chosen.isEmpty()) {
        stayed();
        return;
    }
    replaceWith(chosen);
}

bool DocumentFiles::openPath(const QString &path, bool largeInBackground)
{
    if (!mayLeave())
        return false;
    return replaceWith(path, largeInBackground);
}

bool DocumentFiles::replaceWith(const QString &path, bool largeInBackground)
{
    cancelLoading();
    if (largeInBackground && startsInBackground(path, true))
        return false;
    std::optional<LoadedFile> file = readOrSay(path);
    if (!file) {
        stayed();
        return false;
    }
    left();
    show(std::move(*file));
    return true;
}

std::optional<DocumentFiles::LoadedFile> DocumentFiles::readOrSay(const QString &path)
{
    QString problem;
    std::optional<LoadedFile> file = readForDocument(path, &problem);
    if (!file)
        sayNotOpened(problem);
    return file;
}

void DocumentFiles::sayNotOpened(const QString &problem)
{
    m_prompter.message(problem.isEmpty() ? kErrorOpening
                                         : kErrorOpening + QStringLiteral("\r\n\r\n") + problem,
                       QStringLiteral("Error"), MsgIcon::Critical, MsgButtons::Ok);
}

bool DocumentFiles::openFile(const QString &path)
{
    cancelLoading();
    if (startsInBackground(path, false))
        return true;
    std::optional<LoadedFile> file = readOrSay(path);
    if (file)
        show(std::move(*file));
    return file.has_value();
}

void DocumentFiles::startNamed(const QString &path)
{
    clearDocument();
    m_path = absolutePath(path);
    m_host.setCaption(documentCaption(SplitPath(m_path, 3)));
    m_host.setStatusText(QStringLiteral("New file: %1 is made at the first Save").arg(m_path));
}

bool DocumentFiles::load(const QString &path)
{
    cancelLoading();
    if (startsInBackground(path, false))
        return false;
    std::optional<LoadedFile> file = readForDocument(path, nullptr);
    if (file)
        show(std::move(*file));
    return file.has_value();
}

std::optional<DocumentFiles::LoadedFile> DocumentFiles::readForDocument(const QString &given,
                                                                        QString *problem)
{
    const QString path = absolutePath(given);
    const QString statusBefore = m_host.statusText();
    m_host.setStatusText(kPleaseWait);
    m_host.setHourglass(true);

    // Read first: a file that cannot be read leaves the document alone. One
    // too large for the surface is not read at all; one that grew past that
    // while it was read is refused after.
    const FileStamp before = FileStamp::of(path);
    FileRead read;
    bool tooLarge = before.size > kMaxFileBytes;
    if (!tooLarge)
        read = readRegularFile(path);
    std::optional<DecodedText> decoded;
    if (read.result == FileRead::Read)
        decoded = decodeText(read.bytes, &tooLarge);
    if (!decoded) {
        if (problem && tooLarge)
            *problem = fileTooLargeText(std::max(before.size, qint64(read.bytes.size())));
        else if (problem)
            *problem = readProblem(path, read);
        m_host.setHourglass(false);
        m_host.setStatusText(statusBefore);
        return std::nullopt;
    }
    return LoadedFile{path, std::move(*decoded), read.stamp, nullptr, false};
}

void DocumentFiles::show(LoadedFile &&file)
{
    {
        SuppressGuard quiet(true, true);
        const QString fontName = m_host.dialogFontName();
        m_host.setSurfacePainted(false);
        m_rtfedit.setText(QString());
        m_rtfedit.setSelStart(0);
        if (!fontName.isEmpty())
            m_rtfedit.setSelFontName(fontName);
        m_rtfedit.setSelStyle(textColour(), false, false, false);
        if (!fontName.isEmpty())
            m_rtfedit.setFontName(fontName);
        if (file.ready)
            m_rtfedit.takeContent(*file.ready);
        else
            m_rtfedit.setText(std::move(file.decoded.text)); // the surface's own now
        m_rtfedit.setClean();
        if (!file.coloured)
            m_host.documentLoaded();
        m_rtfedit.setSelStart(0);
    }
    m_host.setSurfacePainted(true);

    m_path = file.path;
    m_format = file.decoded.format;
    m_host.setCaption(documentCaption(SplitPath(m_path, 3)));
    m_host.setHourglass(false);
    m_host.setStatusText(file.decoded.strayBytes > 0 ? strayBytesNote(file.decoded.strayBytes)
                                                     : kDone);
    m_disk.remember(m_path, file.stamp);
    notify(DocumentEvent::Opened);
    if (m_fileUsed)
        m_fileUsed(m_path);
}

namespace {

// A surface filled on the loading thread as show() fills the window's: the
// text colour, no font name of its own.
void fillAsShown(Surface &s, QString &&text, quint32 colour)
{
    s.setSelStyle(colour, false, false, false);
    s.setText(std::move(text));
}

} // namespace

bool DocumentFiles::startsInBackground(const QString &given, bool replacing)
{
    const QString path = absolutePath(given);
    const FileStamp stamp = FileStamp::of(path);
    if (!stamp.exists || stamp.size < m_backgroundFrom || stamp.size > kMaxFileBytes)
        return false;
    m_statusBeforeLoad = m_host.statusText();
    m_loadReplacing = replacing;
    std::function<void(Surface &)> colouring = m_host.colouringForLoad();
    m_loadColoured = bool(colouring);
    const quint32 colour = textColour();
    m_load = std::make_unique<BackgroundLoad>(
        path, kMaxFileBytes,
        [colour, colouring = std::move(colouring)](Surface &s, QString &&text) {
            fillAsShown(s, std::move(text), colour);
            if (colouring)
                colouring(s);
        },
        [timer = m_loadPoll.get(), this] {
            QMetaObject::invokeMethod(
                timer, [this] { pollLoad(); }, Qt::QueuedConnection);
        });
    m_rtfedit.setLocked(
        true,
        QStringLiteral("Not changed: %1 is being read into the document").arg(SplitPath(path, 3)));
    m_host.setLoading(true);
    pollLoad();
    m_loadPoll->start();
    return true;
}

void DocumentFiles::unlockDocument()
{
    m_rtfedit.setLocked(false);
    m_host.setLoading(false);
}

void DocumentFiles::pollLoad()
{
    // Cancelled loads still colouring end here once they are done.
    std::erase_if(m_abandoned, [](const auto &load) { return load->isFinished(); });
    if (!m_load) {
        if (m_abandoned.empty())
            m_loadPoll->stop();
        return;
    }
    if (m_load->isFinished()) {
        finishLoad();
        return;
    }
    const QString name = SplitPath(m_load->path(), 3);
    const int percent = m_load->percent();
    m_host.setStatusText(percent <= 100
                             ? QStringLiteral("Reading %1: %2%").arg(name).arg(percent)
                             : (m_loadColoured ? QStringLiteral("Colouring %1").arg(name)
                                               : QStringLiteral("Reading %1: 100%").arg(name)));
}

void DocumentFiles::cancelLoading()
{
    if (!m_load)
        return;
    m_load->cancel();
    const QString name = SplitPath(m_load->path(), 3);
    if (!m_load->isFinished())
        m_abandoned.push_back(std::move(m_load));
    m_load.reset();
    unlockDocument();
    m_host.setStatusText(QStringLiteral("Not opened: reading %1 was cancelled").arg(name));
    if (m_loadReplacing)
        stayed();
}

void DocumentFiles::finishLoad()
{
    std::unique_ptr<BackgroundLoad> load = std::move(m_load);
    const QString path = load->path();
    BackgroundLoad::Result r = load->take();
    load.reset();
    if (m_abandoned.empty())
        m_loadPoll->stop();
    unlockDocument();
    if (r.ok()) {
        if (m_loadReplacing)
            left();
        LoadedFile file{path, DecodedText{QString(), r.format, r.strayBytes}, r.read.stamp,
                        std::move(r.surface), m_loadColoured};
        show(std::move(file));
        releaseFreedHeap();
        return;
    }
    m_host.setStatusText(m_statusBeforeLoad);
    sayNotOpened(r.tooLarge ? fileTooLargeText(r.size) : readProblem(path, r.read));
    if (m_loadReplacing)
        stayed();
}

void DocumentFiles::markModified()
{
    m_rtfedit.markModified();
    m_declinedAt.reset();
    m_declineFinal = false;
}

void DocumentFiles::checkFileOnDisk()
{
    switch (m_disk.checkOnActivation(isModified(), m_prompter)) {
    case DiskChangeCheck::Outcome::Reload: replaceWith(m_path); break;
    case DiskChangeCheck::Outcome::KeepModified:
        markModified();
        notify(DocumentEvent::KeptModified);
        break;
    case DiskChangeCheck::Outcome::Nothing: break;
    }
}

void DocumentFiles::openRecovered(const RecoveryRecord &record)
{
    cancelLoading();
    {
        SuppressGuard quiet(true, true);
        m_rtfedit.setSelStart(0);
        m_rtfedit.setSelStyle(textColour(), false, false, false);
        m_rtfedit.setText(record.text);
        m_host.documentLoaded(); // coloured as an opened file is
        m_rtfedit.setSelStart(0);
        m_rtfedit.clearUndo();
    }
    // A relative path (kept by an older editor) says nothing of the folder
    // it was relative to: Save then asks for a name rather than guess one.
    m_path = QDir::isAbsolutePath(record.path) ? absolutePath(record.path) : QString();
    m_format = record.format;
    if (m_path.isEmpty())
        m_disk.forget();
    else
        m_disk.remember(m_path, record.stamp); // Save asks if the file changed since
    m_host.setCaption(documentCaption(SplitPath(m_path, 3)));
    markModified();
    notify(DocumentEvent::KeptModified);
}

void DocumentFiles::showSaveError()
{
    m_host.setHourglass(false);
    m_prompter.message(
        QStringLiteral("The disk seems to be either write protected or there's not enough space to "
                       "save the file"),
        QStringLiteral("Error saving file [") + m_path + QLatin1Char(']'), MsgIcon::Critical,
        MsgButtons::Ok);
    m_host.setStatusText(QStringLiteral("Error"));
}

bool DocumentFiles::Save()
{
    if (namesNoFile(m_path))
        return SaveAs();

    if (isReadOnlyFile(m_path)) {
        const MsgAnswer answer = m_prompter.message(
            QStringLiteral("The file you are trying to save is read only\r\n"
                           "Would you like to save the file under different name?"),
            QStringLiteral("Error saving file [") + m_path + QLatin1Char(']'), MsgIcon::Critical,
            MsgButtons::YesNo);
        return answer == MsgAnswer::Yes && SaveAs();
    }
    if (!m_disk.confirmOverwrite(m_path, m_prompter))
        return false;

    const QString statusBefore = m_host.statusText();
    m_host.setStatusText(kPleaseWait);
    m_host.setHourglass(true);
    const QString text = m_rtfedit.text(); // one copy, the file's content
    // A Latin-1 document that gained a character Latin-1 cannot store
    // becomes UTF-8 only when the user agrees; No keeps it unsaved.
    TextFileFormat format = m_format.value_or(TextFileFormat{});
    const bool becomesUtf8 = mustSaveAsUtf8(text, format);
    if ((becomesUtf8 && !confirmSaveAsUtf8(m_path, m_prompter))
        || !CheckDiskSpace(text, SplitPath(m_path, 2), m_prompter)) {
        m_host.setHourglass(false);
        m_host.setStatusText(statusBefore); // not left at "Please wait"
        return false;
    }
    if (becomesUtf8)
        format.encoding = TextFileFormat::Utf8;
    // All or nothing: the old file stays as it was unless the whole new
    // content reached the disk (writing in place is asked about first).
    switch (saveDocumentFile(m_path, text, format, m_prompter,
                             folderIsWritable(QFileInfo(m_path).absolutePath()))) {
    case SaveFileResult::Saved: break;
    case SaveFileResult::Declined:
        m_host.setHourglass(false);
        m_host.setStatusText(statusBefore);
        return false;
    case SaveFileResult::Failed: showSaveError(); return false;
    }
    m_rtfedit.setClean();
    m_host.setCaption(documentCaption(SplitPath(m_path, 3)));
    m_host.setHourglass(false);
    if (becomesUtf8) {
        // The file is UTF-8 from now on; say so this once.
        if (m_format)
            m_format->encoding = TextFileFormat::Utf8;
        m_host.setStatusText(kSavedAsUtf8);
    } else {
        m_host.setStatusText(kDone);
    }
    m_disk.remember(m_path);
    notify(DocumentEvent::Saved);
    if (m_fileUsed)
        m_fileUsed(m_path);
    return true;
}

bool DocumentFiles::SaveAs()
{
    const QString chosen = absolutePath(chooseFile(true));
    if (chosen.isEmpty())
        return false;
    if (QFileInfo::exists(chosen)) {
        const MsgAnswer answer = m_prompter.message(
            QStringLiteral("Do you wish to overwrite the file?"),
            QStringLiteral("File already exists"), MsgIcon::Question, MsgButtons::YesNoCancel);
        if (answer == MsgAnswer::Cancel) {
            m_path.clear();
            return false;
        }
        if (answer == MsgAnswer::No) {
            m_path.clear();
            return SaveAs();
        }
        // The user chose to overwrite it, whatever another program did to it.
        if (chosen == m_disk.path())
            m_disk.forget();
    }
    m_path = chosen;
    return Save();
}

void DocumentFiles::InsertFile()
{
    const QString chosen = chooseFile(false);
    if (chosen.isEmpty())
        return;
    // A failure leaves the document untouched. Only a regular file is
    // read (a named pipe would never end), and only text is inserted.
    const FileRead read = readRegularFile(chosen);
    if (read.result == FileRead::Special) {
        m_prompter.message(QStringLiteral("Error inserting file\r\n\r\n")
                               + notRegularFile(absolutePath(chosen), read.detail),
                           QStringLiteral("Error"), MsgIcon::Critical, MsgButtons::Ok);
        return;
    }
    if (read.result != FileRead::Read)
        return;
    bool tooLarge = false;
    std::optional<DecodedText> decoded = decodeText(read.bytes, &tooLarge);
    if (tooLarge) {
        m_host.setStatusText(
            QStringLiteral("Not inserted: %1 is too large").arg(SplitPath(chosen, 3)));
        return;
    }
    if (!decoded) {
        m_host.setStatusText(QStringLiteral("Not inserted: %1 holds NUL bytes, so it is not a "
                                            "text file")
                                 .arg(SplitPath(chosen, 3)));
        return;
    }

    m_rtftemp.setText(QString());
    m_rtftemp.setSelStart(0);
    m_rtftemp.setSelStyle(textColour(), false, false, false);
    const QString dialogFont = m_host.dialogFontName();
    if (!dialogFont.isEmpty())
        m_rtftemp.setSelFontName(dialogFont);
    m_rtftemp.setText(decoded->text);
    m_rtftemp.setSelection(0, m_rtftemp.length());
    const QString listFont = m_host.fontListText();
    if (!listFont.isEmpty())
        m_rtftemp.setSelFontName(listFont);
    const double size = leadingNumber(m_host.fontSizeText());
    if (size > 0)
        m_rtftemp.setSelFontSize(size);

    m_rtfedit.setSelStyle(textColour(), false, false, false);
    Surface::UndoGroup step(m_rtfedit);
    m_rtfedit.setSelText(m_rtftemp.text());
    const int caret = m_rtfedit.selStart();
    {
        SuppressGuard quiet(true, true);
        m_host.documentLoaded();
    }
    m_rtfedit.setSelStart(caret);
}

void DocumentFiles::Exit()
{
    m_host.closeWindow();
}

} // namespace qln
