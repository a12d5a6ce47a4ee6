// The document commands driven through the main window offscreen: New,
// New Window, Open, Save, Save As, Insert File and Exit with their prompts
// answered from a script; byte-for-byte round trips; saves that fail
// (read-only targets, a file-size limit hit half way) leave the old file
// as it was; refused opens leave the current document alone.

#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "shell/documentfiles.h"
#include "shell/editorstate.h"
#include "shell/frmedit.h"
#include "support/scriptedprompter.h"
#include "support/testenv.h"
#include "surface/surface.h"
#include "surface/surfaceview.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace qln;
using qln::test::ScriptedPrompter;

namespace {

const QString kQtFilter = QStringLiteral("Java Files(*.java);;Text Files(*.txt);;All Files(*)");
const QString kSaveFirst = QStringLiteral("Do you wish to save the file?");
const QString kReadOnly = QStringLiteral("The file you are trying to save is read only\r\n"
                                         "Would you like to save the file under different name?");
const QString kOverwrite = QStringLiteral("Do you wish to overwrite the file?");
const QString kDiskError = QStringLiteral(
    "The disk seems to be either write protected or there's not enough space to save the file");

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

QString pref(const char *key)
{
    return settingsStore().get(kPrefs, QLatin1String(key));
}

// The message asked at index i, compared field by field.
#define QCOMPARE_MESSAGE(asked, TEXT, TITLE, ICON, BUTTONS)                                        \
    do {                                                                                           \
        QCOMPARE((asked).kind, ScriptedPrompter::Asked::Message);                                  \
        QCOMPARE((asked).message.text, QString(TEXT));                                             \
        QCOMPARE((asked).message.title, QString(TITLE));                                           \
        QCOMPARE((asked).message.icon, ICON);                                                      \
        QCOMPARE((asked).message.buttons, BUTTONS);                                                \
    } while (0)

#define QCOMPARE_FILE_DIALOG(asked, MODE)                                                          \
    do {                                                                                           \
        QCOMPARE((asked).kind, ScriptedPrompter::Asked::File);                                     \
        QCOMPARE((asked).file.mode, MODE);                                                         \
        QCOMPARE((asked).file.filter, kQtFilter);                                                  \
    } while (0)

// A stand-in main window for the core-level checks.
class FakeHost : public DocumentHost {
public:
    QString caption() const override { return m_caption; }
    void setCaption(const QString &c) override { m_caption = c; }
    QString statusText() const override { return m_status; }
    void setStatusText(const QString &t) override { m_status = t; }
    void setHourglass(bool on) override { m_hourglass = on; }
    QString dialogFontName() const override { return QStringLiteral("Monospace"); }
    QString fontListText() const override { return QStringLiteral("Monospace"); }
    QString fontSizeText() const override { return QStringLiteral("12"); }
    double windowTopTwips() const override { return 1500; }
    void SaveWindowSettings() override { ++m_saved; }
    void closeWindow() override { ++m_closed; }

    QString m_caption = QStringLiteral("Document [] - Quillon");
    QString m_status;
    bool m_hourglass = false;
    int m_saved = 0;
    int m_closed = 0;
};

} // namespace

class TestDocuments : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void checkDiskSpaceMessage();
    void newWindowStartsASecondInstance();
    void newAnswers_data();
    void newAnswers();
    void newYesButSaveCancelledKeepsTheDocument();
    void openWithUnsavedChanges_data();
    void openWithUnsavedChanges();
    void openNoThenCancelLeavesAnEmptyDocument();
    void openSuppressesAndHidesWhileLoading();
    void openRefusesWhatIsNotText_data();
    void openRefusesWhatIsNotText();
    void saveOfANewDocumentAsksForAName();
    void saveAsOverwriteAnswers();
    void readOnlyTarget_data();
    void readOnlyTarget();
    void roundTripIsByteForByte_data();
    void roundTripIsByteForByte();
    void failedSaveLeavesTheOldFile();
    void saveIntoAMissingFolderReportsAnError();
    void insertFileThenSaveWritesTheDocumentsOwnFile();
    void exitRunsTheCloseSequence();
    void toolbarRunsTheCommands();
    void typedDocumentSavedWithCtrlSAndReopened();

private:
    std::unique_ptr<frmedit> start(const QString &commandLine = QString());
    void modify(frmedit &w, const QString &text = QStringLiteral("// edit\r\n"));
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<test::TestEnv> m_env;
    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;
};

void TestDocuments::init()
{
    m_env = std::make_unique<test::TestEnv>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompter.clear();
    QVERIFY(test::installFactorySettings(m_prompter));
}

void TestDocuments::cleanup()
{
    QCOMPARE(m_prompter.pending(), 0); // every scripted answer was asked for
    editorState() = EditorState{};
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

std::unique_ptr<frmedit> TestDocuments::start(const QString &commandLine)
{
    auto w = std::make_unique<frmedit>(commandLine, &m_prompter, ProbePlaces{});
    w->documents().setLauncher([](const QString &) {
        qFatal("a test must not start a second instance");
        return false;
    });
    return w;
}

void TestDocuments::modify(frmedit &w, const QString &text)
{
    w.surface()->setSelStart(w.surface()->length());
    w.surface()->setSelText(text);
    QVERIFY(w.windowTitle().endsWith(QLatin1Char('*')));
}

// --- core --------------------------------------------------------------------

void TestDocuments::checkDiskSpaceMessage()
{
    const QString text(5000, QLatin1Char('x'));
    // Room enough: no question.
    QVERIFY(CheckDiskSpace(text, DiskSpace{1 << 20, 8000, 8000}, m_prompter));
    // An unknown disk lets the save go on.
    QVERIFY(CheckDiskSpace(text, std::nullopt, m_prompter));
    QVERIFY(m_prompter.asked().empty());

    m_prompter.answer(MsgAnswer::No);
    QVERIFY(!CheckDiskSpace(text, DiskSpace{10240 * 1024, 2048, 1024}, m_prompter));
    m_prompter.answer(MsgAnswer::Yes);
    QVERIFY(CheckDiskSpace(text, DiskSpace{10240 * 1024, 2048, 1024}, m_prompter));
    QCOMPARE(m_prompter.asked().size(), size_t(2));
    QCOMPARE_MESSAGE(m_prompter.asked()[0],
                     "There's not ehough space to save this file\r\n"
                     "Total Disk Space ~10240 KBytes\r\n"
                     "Free Space ~ 2 KBytes\r\n"
                     "Code Size ~ 5 KBytes\r\n"
                     "If you choose yes the file will be saved partially",
                     "Do you wish to continue?", MsgIcon::Critical, MsgButtons::YesNo);

    // The real query answers for an existing folder.
    const auto space = queryDiskSpace(m_dir->path());
    QVERIFY(space);
    QVERIFY(space->total > 0);
}

void TestDocuments::newWindowStartsASecondInstance()
{
    auto w = start();
    w->move(100, 200);
    QStringList started;
    w->documents().setLauncher([&](const QString &program) {
        started << program;
        return true;
    });
    const QString before = w->windowTitle();
    w->menuItem(QStringLiteral("newwindow"))->trigger();
    QCOMPARE(started, QStringList{QCoreApplication::applicationFilePath()});
    QCOMPARE(pref("ftop").toDouble(), std::round(w->geometryTwips().top + 400));
    // The window settings were written first.
    QCOMPARE(pref("fleft").toDouble(), std::round(w->geometryTwips().left));
    QCOMPARE(w->windowTitle(), before);

    // Core: SaveWindowSettings, then ftop, then the launch.
    FakeHost host;
    Surface edit, temp;
    Preferences prefs;
    DocumentFiles docs(host, m_prompter, edit, temp, prefs);
    QString ftopAtLaunch;
    int savedAtLaunch = -1;
    docs.setLauncher([&](const QString &) {
        ftopAtLaunch = pref("ftop");
        savedAtLaunch = host.m_saved;
        return true;
    });
    docs.NewWindow();
    QCOMPARE(ftopAtLaunch, QStringLiteral("1900"));
    QCOMPARE(savedAtLaunch, 1);
}

void TestDocuments::newAnswers_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("cleared");
    QTest::addColumn<bool>("saved");
    QTest::newRow("Yes") << int(MsgAnswer::Yes) << true << true;
    QTest::newRow("No") << int(MsgAnswer::No) << true << false;
    QTest::newRow("Cancel") << int(MsgAnswer::Cancel) << false << false;
}

void TestDocuments::newAnswers()
{
    QFETCH(int, answer);
    QFETCH(bool, cleared);
    QFETCH(bool, saved);
    const QString file = path(QStringLiteral("A.java"));
    writeFile(file, "class A {}\n");
    auto w = start(file);
    modify(*w);

    m_prompter.answer(MsgAnswer(answer));
    w->menuItem(QStringLiteral("new"))->trigger();
    QCOMPARE_MESSAGE(m_prompter.asked().at(0), kSaveFirst, "File not saved", MsgIcon::Question,
                     MsgButtons::YesNoCancel);
    QCOMPARE(m_prompter.asked().size(), size_t(1));
    QCOMPARE(readFile(file), saved ? QByteArray("class A {}\n// edit\n") : QByteArray("class A {}\n"));
    if (cleared) {
        QCOMPARE(w->surface()->text(), QString());
        QCOMPARE(w->documentPath(), QString());
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon"));
        QCOMPARE(w->surface()->selColor(), std::optional<BgrColor>(0));
        QVERIFY(!w->documentFormat());
    } else {
        QCOMPARE(w->surface()->text(), QStringLiteral("class A {}\r\n// edit\r\n"));
        QCOMPARE(w->documentPath(), file);
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [A.java] - Quillon*"));
    }
}

void TestDocuments::newYesButSaveCancelledKeepsTheDocument()
{
    auto w = start();
    modify(*w, QStringLiteral("keep me"));
    m_prompter.answer(MsgAnswer::Yes);
    m_prompter.cancel(); // the Save As dialog
    w->menuItem(QStringLiteral("new"))->trigger();
    QCOMPARE(m_prompter.asked().size(), size_t(2));
    QCOMPARE_FILE_DIALOG(m_prompter.asked()[1], FileDialogRequest::Save);
    QCOMPARE(w->surface()->text(), QStringLiteral("keep me"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon*"));

    // Without changes there is no question at all.
    m_prompter.clear();
    auto fresh = start();
    fresh->menuItem(QStringLiteral("new"))->trigger();
    QVERIFY(m_prompter.asked().empty());
}

void TestDocuments::openWithUnsavedChanges_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("opened");
    QTest::newRow("Yes saves, then opens") << int(MsgAnswer::Yes) << true;
    QTest::newRow("No opens") << int(MsgAnswer::No) << true;
    QTest::newRow("Cancel stops") << int(MsgAnswer::Cancel) << false;
}

void TestDocuments::openWithUnsavedChanges()
{
    QFETCH(int, answer);
    QFETCH(bool, opened);
    const QString a = path(QStringLiteral("A.java"));
    const QString b = path(QStringLiteral("B.java"));
    writeFile(a, "class A {}\r\n");
    writeFile(b, "class B {}\r\n");
    auto w = start(a);
    modify(*w);

    m_prompter.answer(MsgAnswer(answer));
    if (opened)
        m_prompter.answerText(b);
    w->menuItem(QStringLiteral("Open"))->trigger();
    QCOMPARE_MESSAGE(m_prompter.asked().at(0), kSaveFirst, "File not saved", MsgIcon::Question,
                     MsgButtons::YesNoCancel);
    QCOMPARE(readFile(a), MsgAnswer(answer) == MsgAnswer::Yes ? QByteArray("class A {}\r\n// edit\r\n")
                                                              : QByteArray("class A {}\r\n"));
    if (opened) {
        QCOMPARE_FILE_DIALOG(m_prompter.asked().at(1), FileDialogRequest::Open);
        QCOMPARE(w->surface()->text(), QStringLiteral("class B {}\r\n"));
        QCOMPARE(w->documentPath(), b);
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [B.java] - Quillon"));
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Done"));
    } else {
        QCOMPARE(m_prompter.asked().size(), size_t(1));
        QCOMPARE(w->documentPath(), a);
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [A.java] - Quillon*"));
    }
}

void TestDocuments::openNoThenCancelLeavesAnEmptyDocument()
{
    const QString a = path(QStringLiteral("A.java"));
    writeFile(a, "class A {}\r\n");
    auto w = start(a);
    modify(*w);
    m_prompter.answer(MsgAnswer::No);
    m_prompter.cancel();
    w->menuItem(QStringLiteral("Open"))->trigger();
    QCOMPARE(w->surface()->text(), QString());
    QCOMPARE(w->documentPath(), QString());
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon"));
    QVERIFY(w->rtfedit()->isVisible());
    QVERIFY(!editorState().suppressChange && !editorState().suppressSelChange);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(readFile(a), QByteArray("class A {}\r\n"));
}

void TestDocuments::openSuppressesAndHidesWhileLoading()
{
    const QString file = path(QStringLiteral("Big.java"));
    writeFile(file, "class Big {\n    int x;\n}\n");
    auto w = start();
    w->surface()->setSelText(QStringLiteral("old"));
    w->surface()->setSelStart(2);

    struct Seen {
        bool change, selChange, visible, hourglass;
        QString status;
    };
    QList<Seen> seen;
    connect(w->surface(), &Surface::changed, w.get(), [&] {
        seen << Seen{editorState().suppressChange, editorState().suppressSelChange,
                     w->surface()->isVisible(), QApplication::overrideCursor() != nullptr,
                     w->statusPanel(1)->text()};
    });
    m_prompter.answer(MsgAnswer::No); // "old" is unsaved
    m_prompter.answerText(file);
    w->menuItem(QStringLiteral("Open"))->trigger();

    // The first change is New's clearing (after No), the rest the load.
    QVERIFY(seen.size() >= 2);
    for (qsizetype i = 1; i < seen.size(); ++i) {
        QVERIFY(seen[i].change);
        QVERIFY(seen[i].selChange);
        QVERIFY(!seen[i].visible);
        QVERIFY(seen[i].hourglass);
        QCOMPARE(seen[i].status, QStringLiteral("Please wait"));
    }
    QVERIFY(w->surface()->isVisible());
    QVERIFY(w->rtfedit()->isVisible());
    QVERIFY(!editorState().suppressChange && !editorState().suppressSelChange);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(w->surface()->selStart(), 0);
    QCOMPARE(w->surface()->selLength(), 0);
    QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Done"));
    QCOMPARE(w->surface()->text(), QStringLiteral("class Big {\r\n    int x;\r\n}\r\n"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [Big.java] - Quillon"));
    QVERIFY(!w->surface()->canUndo());
}

void TestDocuments::openRefusesWhatIsNotText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // null: nothing is created
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("unreadable");
    QTest::newRow("NUL bytes") << "Tool.class" << QByteArray("\xCA\xFE\xBA\xBE\0\0\0\x34", 8) << false
                               << false;
    QTest::newRow("NUL in text") << "Nul.java" << QByteArray("class N {}\0\n", 12) << false << false;
    QTest::newRow("folder") << "src" << QByteArray() << true << false;
    QTest::newRow("missing") << "Missing.java" << QByteArray() << false << false;
    QTest::newRow("unreadable") << "Secret.java" << QByteArray("class S {}\n") << false << true;
}

void TestDocuments::openRefusesWhatIsNotText()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, folder);
    QFETCH(bool, unreadable);
    if (unreadable && geteuid() == 0)
        QSKIP("root reads every file");
    const QString bad = path(name);
    if (folder)
        QVERIFY(QDir(m_dir->path()).mkdir(name));
    if (!content.isNull())
        writeFile(bad, content);
    if (unreadable)
        QVERIFY(QFile::setPermissions(bad, QFile::WriteOwner));

    const QString good = path(QStringLiteral("Good.java"));
    writeFile(good, "class Good {}\n");
    auto w = start(good);
    modify(*w);
    const QString text = w->surface()->text();
    const QString caption = w->windowTitle();
    const auto format = w->documentFormat();

    m_prompter.answer(MsgAnswer::Yes); // save first
    m_prompter.answerText(bad);
    m_prompter.answer(MsgAnswer::Ok);
    w->menuItem(QStringLiteral("Open"))->trigger();
    QCOMPARE(m_prompter.asked().size(), size_t(3));
    QCOMPARE_MESSAGE(m_prompter.asked()[2], "Error opening file", "Error", MsgIcon::Critical,
                     MsgButtons::Ok);
    // The saved document is still there, named and unmodified.
    QCOMPARE(w->surface()->text(), text);
    QCOMPARE(w->documentPath(), good);
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [Good.java] - Quillon"));
    QVERIFY(w->rtfedit()->isVisible());
    QVERIFY(!QApplication::overrideCursor());

    // Without saving first: the modified document keeps its marker too.
    modify(*w, QStringLiteral("more"));
    m_prompter.clear();
    m_prompter.answer(MsgAnswer::Cancel);
    w->menuItem(QStringLiteral("Open"))->trigger();
    QCOMPARE(w->windowTitle(), caption);
    QCOMPARE(w->documentFormat()->lineBreak, format->lineBreak);

    // A later Save writes the good file, never the refused one.
    m_prompter.clear();
    w->menuItem(QStringLiteral("Save"))->trigger();
    QVERIFY(m_prompter.asked().empty());
    QCOMPARE(readFile(good), QByteArray("class Good {}\n// edit\nmore"));
    if (!content.isNull() && !unreadable)
        QCOMPARE(readFile(bad), content);
}

void TestDocuments::saveOfANewDocumentAsksForAName()
{
    auto w = start();
    // After start-up the path is the last folder + "*.java": still no file.
    w->setDocumentPath(m_dir->path() + QStringLiteral("/*.java"));
    modify(*w, QStringLiteral("class N {\r\n}"));
    const QString file = path(QStringLiteral("N.java"));
    m_prompter.answerText(file);
    w->menuItem(QStringLiteral("Save"))->trigger();
    QCOMPARE(m_prompter.asked().size(), size_t(1));
    QCOMPARE_FILE_DIALOG(m_prompter.asked()[0], FileDialogRequest::Save);
    QCOMPARE(m_prompter.asked()[0].file.startPath, m_dir->path() + QStringLiteral("/*.java"));
    // A new document is CR LF UTF-8, nothing appended.
    QCOMPARE(readFile(file), QByteArray("class N {\r\n}"));
    QCOMPARE(w->documentPath(), file);
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [N.java] - Quillon"));
    QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Done"));
    QVERIFY(!QApplication::overrideCursor());

    // Save As with the dialog cancelled changes nothing.
    m_prompter.clear();
    m_prompter.cancel();
    w->menuItem(QStringLiteral("Save_as"))->trigger();
    QCOMPARE(w->documentPath(), file);
}

void TestDocuments::saveAsOverwriteAnswers()
{
    const QString existing = path(QStringLiteral("E.java"));
    const QString other = path(QStringLiteral("F.java"));
    writeFile(existing, "old\n");
    auto w = start();
    modify(*w, QStringLiteral("new text"));

    // Cancel: the path is emptied and nothing is written.
    m_prompter.answerText(existing);
    m_prompter.answer(MsgAnswer::Cancel);
    w->menuItem(QStringLiteral("Save_as"))->trigger();
    QCOMPARE(m_prompter.asked().size(), size_t(2));
    QCOMPARE_MESSAGE(m_prompter.asked()[1], kOverwrite, "File already exists", MsgIcon::Question,
                     MsgButtons::YesNoCancel);
    QCOMPARE(w->documentPath(), QString());
    QCOMPARE(readFile(existing), QByteArray("old\n"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon*"));

    // No: asked for a name again, the second one is used.
    m_prompter.clear();
    m_prompter.answerText(existing);
    m_prompter.answer(MsgAnswer::No);
    m_prompter.answerText(other);
    w->menuItem(QStringLiteral("Save_as"))->trigger();
    QCOMPARE(m_prompter.asked().size(), size_t(3));
    QCOMPARE_FILE_DIALOG(m_prompter.asked()[2], FileDialogRequest::Save);
    QCOMPARE(readFile(existing), QByteArray("old\n"));
    QCOMPARE(readFile(other), QByteArray("new text"));
    QCOMPARE(w->documentPath(), other);
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [F.java] - Quillon"));

    // Yes: overwritten.
    m_prompter.clear();
    m_prompter.answerText(existing);
    m_prompter.answer(MsgAnswer::Yes);
    w->menuItem(QStringLiteral("Save_as"))->trigger();
    QCOMPARE(readFile(existing), QByteArray("new text"));
    QCOMPARE(w->documentPath(), existing);
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [E.java] - Quillon"));
}

void TestDocuments::readOnlyTarget_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("No") << false;
    QTest::newRow("Yes") << true;
}

void TestDocuments::readOnlyTarget()
{
    QFETCH(bool, yes);
    const QString file = path(QStringLiteral("RO.java"));
    const QString copy = path(QStringLiteral("Copy.java"));
    writeFile(file, "class RO {}\n");
    // chmod 444: read-only for everyone; root too is asked.
    QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup
                                            | QFile::ReadOther));
    auto w = start(file);
    modify(*w);

    m_prompter.answer(yes ? MsgAnswer::Yes : MsgAnswer::No);
    if (yes)
        m_prompter.answerText(copy);
    w->menuItem(QStringLiteral("Save"))->trigger();
    QCOMPARE_MESSAGE(m_prompter.asked().at(0), kReadOnly, "Error saving file [" + file + "]",
                     MsgIcon::Critical, MsgButtons::YesNo);
    QCOMPARE(readFile(file), QByteArray("class RO {}\n"));
    if (yes) {
        QCOMPARE(m_prompter.asked().size(), size_t(2));
        QCOMPARE_FILE_DIALOG(m_prompter.asked()[1], FileDialogRequest::Save);
        QCOMPARE(readFile(copy), QByteArray("class RO {}\n// edit\n"));
        QCOMPARE(w->documentPath(), copy);
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [Copy.java] - Quillon"));
    } else {
        QCOMPARE(m_prompter.asked().size(), size_t(1));
        QCOMPARE(w->documentPath(), file);
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [RO.java] - Quillon*"));
        QVERIFY(!QFile::exists(copy));
    }
    QVERIFY(!QApplication::overrideCursor());
}

void TestDocuments::roundTripIsByteForByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("CR LF") << QByteArray("class A {\r\n    int x;\r\n}\r\n");
    QTest::newRow("LF") << QByteArray("class A {\n    int x;\n}\n");
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF// gr\xC3\xBC\xC3\x9F\n class \xC3\xA9 {}\n");
    QTest::newRow("UTF-8 without BOM") << QByteArray("// \xE2\x82\xAC and \xF0\x9F\x98\x80\r\nclass U {}\r\n");
    QTest::newRow("Latin-1") << QByteArray("// gr\xFC\xDF \xE9t\xE9\nclass L {}\n");
    QTest::newRow("no final line break") << QByteArray("class A {\n}");
    QTest::newRow("empty file") << QByteArray("");
}

void TestDocuments::roundTripIsByteForByte()
{
    QFETCH(QByteArray, bytes);
    const QString file = path(QStringLiteral("R.java"));
    writeFile(file, bytes);
    auto w = start();
    m_prompter.answerText(file);
    w->menuItem(QStringLiteral("Open"))->trigger();
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [R.java] - Quillon"));
    writeFile(file, "overwritten");
    w->menuItem(QStringLiteral("Save"))->trigger();
    QCOMPARE(readFile(file), bytes);

    // Save As to another name keeps the format as well.
    const QString other = path(QStringLiteral("R2.java"));
    m_prompter.answerText(other);
    w->menuItem(QStringLiteral("Save_as"))->trigger();
    QCOMPARE(readFile(other), bytes);
}

void TestDocuments::failedSaveLeavesTheOldFile()
{
    const QString file = path(QStringLiteral("Small.java"));
    const QByteArray old("class Small {}\n");
    writeFile(file, old);
    auto w = start(file);
    QString big;
    for (int i = 0; big.size() < 2 * 1024 * 1024; ++i)
        big += QStringLiteral("    int field%1 = %1;\r\n").arg(i);
    w->surface()->setSelection(0, w->surface()->length());
    w->surface()->setSelText(big);
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [Small.java] - Quillon*"));

    // Writing more than 256 KB now fails half way through the write.
    struct sigaction ignore = {}, oldAction = {};
    ignore.sa_handler = SIG_IGN;
    QCOMPARE(sigaction(SIGXFSZ, &ignore, &oldAction), 0);
    rlimit oldLimit = {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    rlimit low = oldLimit;
    low.rlim_cur = 256 * 1024;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &low), 0);
    m_prompter.answer(MsgAnswer::Ok);
    w->menuItem(QStringLiteral("Save"))->trigger();
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    QCOMPARE(sigaction(SIGXFSZ, &oldAction, nullptr), 0);

    QCOMPARE(m_prompter.asked().size(), size_t(1));
    QCOMPARE_MESSAGE(m_prompter.asked()[0], kDiskError, "Error saving file [" + file + "]",
                     MsgIcon::Critical, MsgButtons::Ok);
    QCOMPARE(readFile(file), old);
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [Small.java] - Quillon*"));
    QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Error"));
    QVERIFY(!QApplication::overrideCursor());
    // No half-written temporary file is left behind.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Small.java"});

    // With the limit lifted the same Save succeeds.
    m_prompter.clear();
    w->menuItem(QStringLiteral("Save"))->trigger();
    QVERIFY(m_prompter.asked().empty());
    QCOMPARE(readFile(file), big.toUtf8().replace("\r\n", "\n"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [Small.java] - Quillon"));
}

void TestDocuments::saveIntoAMissingFolderReportsAnError()
{
    auto w = start();
    modify(*w, QStringLiteral("x"));
    const QString file = path(QStringLiteral("gone/X.java"));
    m_prompter.answerText(file);
    m_prompter.answer(MsgAnswer::Ok);
    w->menuItem(QStringLiteral("Save_as"))->trigger();
    QCOMPARE_MESSAGE(m_prompter.asked().at(1), kDiskError, "Error saving file [" + file + "]",
                     MsgIcon::Critical, MsgButtons::Ok);
    QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Error"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon*"));
    QVERIFY(!QFile::exists(file));
}

void TestDocuments::insertFileThenSaveWritesTheDocumentsOwnFile()
{
    const QString doc = path(QStringLiteral("Doc.java"));
    const QString part = path(QStringLiteral("Part.java"));
    writeFile(doc, "class Doc {\n}\n");
    writeFile(part, "    int inserted;\n");
    auto w = start(doc);
    w->surface()->setSelStart(w->surface()->lineIndex(1)); // before "}"

    m_prompter.answerText(part);
    w->menuItem(QStringLiteral("infile"))->trigger();
    QCOMPARE_FILE_DIALOG(m_prompter.asked().at(0), FileDialogRequest::Open);
    QCOMPARE(w->surface()->text(), QStringLiteral("class Doc {\r\n    int inserted;\r\n}\r\n"));
    QCOMPARE(w->surface()->selStart(), int(QStringLiteral("class Doc {\r\n    int inserted;\r\n").size()));
    QCOMPARE(w->documentPath(), doc);
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [Doc.java] - Quillon*"));
    // The scratch surface holds the file with the font of the font boxes.
    QCOMPARE(w->rtftemp()->surface()->text(), QStringLiteral("    int inserted;\r\n"));
    QVERIFY(!w->rtftemp()->isVisible());

    w->menuItem(QStringLiteral("Save"))->trigger();
    QCOMPARE(m_prompter.asked().size(), size_t(1));
    QCOMPARE(readFile(doc), QByteArray("class Doc {\n    int inserted;\n}\n"));
    QCOMPARE(readFile(part), QByteArray("    int inserted;\n"));

    // A file that cannot be read inserts nothing and says nothing.
    const QString nul = path(QStringLiteral("Nul.bin"));
    writeFile(nul, QByteArray("a\0b", 3));
    m_prompter.clear();
    m_prompter.answerText(nul);
    w->menuItem(QStringLiteral("infile"))->trigger();
    QCOMPARE(m_prompter.asked().size(), size_t(1));
    QCOMPARE(w->surface()->text(), QStringLiteral("class Doc {\r\n    int inserted;\r\n}\r\n"));
    // Cancelled: nothing.
    m_prompter.cancel();
    w->menuItem(QStringLiteral("infile"))->trigger();
    QCOMPARE(w->documentPath(), doc);
}

void TestDocuments::exitRunsTheCloseSequence()
{
    const QString file = path(QStringLiteral("X.java"));
    writeFile(file, "x\n");
    auto w = start(file);
    modify(*w);
    QVERIFY(w->isVisible());

    m_prompter.answer(MsgAnswer::Cancel);
    w->menuItem(QStringLiteral("Exit"))->trigger();
    QCOMPARE_MESSAGE(m_prompter.asked().at(0), kSaveFirst, "File not saved", MsgIcon::Question,
                     MsgButtons::YesNoCancel);
    QVERIFY(w->isVisible());

    // Yes runs the real Save command, then the window closes.
    m_prompter.answer(MsgAnswer::Yes);
    w->menuItem(QStringLiteral("Exit"))->trigger();
    QVERIFY(!w->isVisible());
    QCOMPARE(readFile(file), QByteArray("x\n// edit\n"));
    QCOMPARE(pref("lastfilename"), file);
}

void TestDocuments::toolbarRunsTheCommands()
{
    const QString file = path(QStringLiteral("T.java"));
    writeFile(file, "class T {}\n");
    auto w = start();
    m_prompter.answerText(file);
    w->toolbarButton(QStringLiteral("Open"))->trigger();
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [T.java] - Quillon"));
    modify(*w);
    w->toolbarButton(QStringLiteral("Save"))->trigger();
    QCOMPARE(readFile(file), QByteArray("class T {}\n// edit\n"));
    const QString other = path(QStringLiteral("T2.java"));
    m_prompter.answerText(other);
    w->toolbarButton(QStringLiteral("SaveAs"))->trigger();
    QCOMPARE(readFile(other), QByteArray("class T {}\n// edit\n"));
    w->toolbarButton(QStringLiteral("New"))->trigger();
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon"));
    QCOMPARE(m_prompter.asked().size(), size_t(2));
}

void TestDocuments::typedDocumentSavedWithCtrlSAndReopened()
{
    auto w = start();
    QApplication::setActiveWindow(w.get());
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    w->rtfedit()->setFocus();

    QTest::keyClicks(w->rtfedit(), QStringLiteral("class Typed {"));
    QTest::keyClick(w->rtfedit(), Qt::Key_Return);
    QTest::keyClicks(w->rtfedit(), QStringLiteral("    int x;"));
    QTest::keyClick(w->rtfedit(), Qt::Key_Return);
    QTest::keyClicks(w->rtfedit(), QStringLiteral("}"));
    const QString typed = QStringLiteral("class Typed {\r\n    int x;\r\n}");
    QCOMPARE(w->surface()->text(), typed);
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon*"));

    const QString file = path(QStringLiteral("Typed.java"));
    m_prompter.answerText(file);
    QTest::keyClick(w->rtfedit(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(m_prompter.asked().size(), size_t(1));
    QCOMPARE_FILE_DIALOG(m_prompter.asked()[0], FileDialogRequest::Save);
    QCOMPARE(readFile(file), typed.toUtf8());
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [Typed.java] - Quillon"));

    // Ctrl+N empties the window; Ctrl+O reads the file back.
    QTest::keyClick(w->rtfedit(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(w->surface()->text(), QString());
    m_prompter.answerText(file);
    QTest::keyClick(w->rtfedit(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(w->surface()->text(), typed);
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [Typed.java] - Quillon"));
    QCOMPARE(w->rtfedit()->toPlainText(), QStringLiteral("class Typed {\n    int x;\n}"));
}

QTEST_MAIN(TestDocuments)
#include "tst_documents.moc"
