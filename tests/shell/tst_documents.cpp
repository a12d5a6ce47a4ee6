// The document commands driven through the main window offscreen, every
// prompt answered from a script: New, New Window, Open, Save, Save As,
// Insert File and Exit; byte-for-byte round trips; failed saves and refused
// opens leave files and the current document as they were.

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
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QString pref(const char *key)
{
    return settingsStore().get(kPrefs, QLatin1String(key));
}

#define QCOMPARE_MESSAGE(asked, TEXT, TITLE, ICON, BUTTONS)                                        \
    do {                                                                                           \
        QCOMPARE((asked).kind, ScriptedPrompter::Asked::Message);                                  \
        QCOMPARE((asked).message.text, QString(TEXT));                                             \
        QCOMPARE((asked).message.title, QString(TITLE));                                           \
        QCOMPARE((asked).message.icon, ICON);                                                      \
        QCOMPARE((asked).message.buttons, BUTTONS);                                                \
    } while (0)

#define QCOMPARE_SAVE_FIRST(asked)                                                                 \
    QCOMPARE_MESSAGE(asked, kSaveFirst, "File not saved", MsgIcon::Question,                       \
                     MsgButtons::YesNoCancel)

#define QCOMPARE_FILE_DIALOG(asked, MODE)                                                          \
    do {                                                                                           \
        QCOMPARE((asked).kind, ScriptedPrompter::Asked::File);                                     \
        QCOMPARE((asked).file.mode, MODE);                                                         \
        QCOMPARE((asked).file.filter, kQtFilter);                                                  \
    } while (0)

} // namespace

class TestDocuments : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void checkDiskSpaceMessage();
    void newWindowWritesSettingsThenStartsASecondInstance();
    void newAnswers_data();
    void newAnswers();
    void openWithUnsavedChanges_data();
    void openWithUnsavedChanges();
    void openHidesAndSuppressesWhileLoading();
    void openRefusesWhatIsNotText_data();
    void openRefusesWhatIsNotText();
    void saveAsksForANameThenAboutOverwriting();
    void readOnlyTarget_data();
    void readOnlyTarget();
    void roundTripIsByteForByte_data();
    void roundTripIsByteForByte();
    void failedSaveLeavesTheOldFile();
    void insertFileThenSaveWritesTheDocumentsOwnFile();
    void exitRunsTheCloseSequence();
    void typedDocumentSavedWithCtrlSAndReopened();

private:
    // A window on a new file holding bytes, with "// edit" appended when modified.
    std::unique_ptr<frmedit> start(const QString &file = QString(), const QByteArray &bytes = {},
                                   bool modified = false);
    void modify(frmedit &w, const QString &text = QStringLiteral("// edit\r\n"));
    QString path(const QString &name) const { return m_dir->filePath(name); }
    static void run(frmedit &w, const char *item) { w.menuItem(QLatin1String(item))->trigger(); }

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

std::unique_ptr<frmedit> TestDocuments::start(const QString &file, const QByteArray &bytes,
                                              bool modified)
{
    if (!file.isEmpty())
        writeFile(file, bytes);
    auto w = std::make_unique<frmedit>(file, &m_prompter, ProbePlaces{});
    w->documents().setLauncher([](const QString &) {
        qFatal("a test must not start a second instance");
        return false;
    });
    if (modified)
        modify(*w);
    return w;
}

void TestDocuments::modify(frmedit &w, const QString &text)
{
    w.surface()->setSelStart(w.surface()->length());
    w.surface()->setSelText(text);
    QVERIFY(w.windowTitle().endsWith(QLatin1Char('*')));
}

void TestDocuments::checkDiskSpaceMessage()
{
    const QString text(5000, QLatin1Char('x'));
    QVERIFY(CheckDiskSpace(text, DiskSpace{1 << 20, 8000, 8000}, m_prompter));
    QVERIFY(CheckDiskSpace(text, std::nullopt, m_prompter)); // an unknown disk lets it go on
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
    QVERIFY(queryDiskSpace(m_dir->path()).value_or(DiskSpace{}).total > 0);
}

void TestDocuments::newWindowWritesSettingsThenStartsASecondInstance()
{
    auto w = start();
    w->move(100, 200);
    QStringList started;
    QString ftopAtLaunch, fleftAtLaunch;
    w->documents().setLauncher([&](const QString &program) {
        started << program;
        ftopAtLaunch = pref("ftop");
        fleftAtLaunch = pref("fleft");
        return true;
    });
    const QString before = w->windowTitle();
    run(*w, "newwindow");
    QCOMPARE(started, QStringList{QCoreApplication::applicationFilePath()});
    // The new window opens 400 twips lower than this one.
    QCOMPARE(ftopAtLaunch.toDouble(), std::round(w->geometryTwips().top + 400));
    QCOMPARE(fleftAtLaunch.toDouble(), std::round(w->geometryTwips().left));
    QCOMPARE(w->windowTitle(), before);
}

void TestDocuments::newAnswers_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("named"); // false: Yes opens Save As, which is cancelled
    QTest::addColumn<bool>("cleared");
    QTest::newRow("Yes") << int(MsgAnswer::Yes) << true << true;
    QTest::newRow("No") << int(MsgAnswer::No) << true << true;
    QTest::newRow("Cancel") << int(MsgAnswer::Cancel) << true << false;
    QTest::newRow("Yes, Save As cancelled") << int(MsgAnswer::Yes) << false << false;
}

void TestDocuments::newAnswers()
{
    QFETCH(int, answer);
    QFETCH(bool, named);
    QFETCH(bool, cleared);
    const QString file = path(QStringLiteral("A.java"));
    auto w = start(named ? file : QString(), "class A {}\n", true);
    const QString title = w->windowTitle();
    m_prompter.answer(MsgAnswer(answer));
    if (!named)
        m_prompter.cancel();
    run(*w, "new");
    QCOMPARE_SAVE_FIRST(m_prompter.asked().at(0));
    QCOMPARE(m_prompter.asked().size(), size_t(named ? 1 : 2));
    if (!named)
        QCOMPARE_FILE_DIALOG(m_prompter.asked()[1], FileDialogRequest::Save);
    else
        QCOMPARE(readFile(file), answer == int(MsgAnswer::Yes) ? QByteArray("class A {}\n// edit\n")
                                                                : QByteArray("class A {}\n"));
    if (cleared) {
        QCOMPARE(w->surface()->text(), QString());
        QCOMPARE(w->documentPath(), QString());
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon"));
        QCOMPARE(w->surface()->selColor(), std::optional<BgrColor>(0));
        QVERIFY(!w->documentFormat());
    } else {
        QVERIFY(w->surface()->text().endsWith(QStringLiteral("// edit\r\n")));
        QCOMPARE(w->windowTitle(), title);
    }
}

void TestDocuments::openWithUnsavedChanges_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("chosen"); // false: the Open dialog is cancelled
    QTest::newRow("Yes saves, then opens") << int(MsgAnswer::Yes) << true;
    QTest::newRow("No opens") << int(MsgAnswer::No) << true;
    QTest::newRow("No, then Cancel leaves an empty document") << int(MsgAnswer::No) << false;
    QTest::newRow("Cancel stops") << int(MsgAnswer::Cancel) << false;
}

void TestDocuments::openWithUnsavedChanges()
{
    QFETCH(int, answer);
    QFETCH(bool, chosen);
    const QString a = path(QStringLiteral("A.java"));
    const QString b = path(QStringLiteral("B.java"));
    writeFile(b, "class B {}\r\n");
    auto w = start(a, "class A {}\r\n", true);

    m_prompter.answer(MsgAnswer(answer));
    if (chosen)
        m_prompter.answerText(b);
    else if (answer != int(MsgAnswer::Cancel))
        m_prompter.cancel();
    run(*w, "Open");
    QCOMPARE_SAVE_FIRST(m_prompter.asked().at(0));
    QCOMPARE(readFile(a), answer == int(MsgAnswer::Yes) ? QByteArray("class A {}\r\n// edit\r\n")
                                                        : QByteArray("class A {}\r\n"));
    if (chosen) {
        QCOMPARE_FILE_DIALOG(m_prompter.asked().at(1), FileDialogRequest::Open);
        QCOMPARE(w->surface()->text(), QStringLiteral("class B {}\r\n"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [B.java] - Quillon"));
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Done"));
    } else if (answer == int(MsgAnswer::Cancel)) {
        QCOMPARE(m_prompter.asked().size(), size_t(1));
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [A.java] - Quillon*"));
    } else {
        QCOMPARE(w->surface()->text(), QString());
        QCOMPARE(w->documentPath(), QString());
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon"));
        QVERIFY(w->rtfedit()->isVisible());
        QVERIFY(!QApplication::overrideCursor());
    }
}

void TestDocuments::openHidesAndSuppressesWhileLoading()
{
    const QString file = path(QStringLiteral("Big.java"));
    writeFile(file, "class Big {\n    int x;\n}\n");
    auto w = start();
    QStringList seen; // one line per change of the surface
    connect(w->surface(), &Surface::changed, w.get(), [&] {
        seen << QStringLiteral("%1%2 visible=%3 hourglass=%4 %5")
                    .arg(editorState().suppressChange).arg(editorState().suppressSelChange)
                    .arg(w->surface()->isVisible()).arg(QApplication::overrideCursor() != nullptr)
                    .arg(w->statusPanel(1)->text());
    });
    m_prompter.answerText(file);
    run(*w, "Open");
    QVERIFY(!seen.isEmpty());
    for (const QString &line : seen)
        QCOMPARE(line, QStringLiteral("11 visible=0 hourglass=1 Please wait"));
    QVERIFY(w->rtfedit()->isVisible());
    QVERIFY(!editorState().suppressChange && !editorState().suppressSelChange);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Done"));
    QCOMPARE(w->surface()->text(), QStringLiteral("class Big {\r\n    int x;\r\n}\r\n"));
    QVERIFY(!w->surface()->canUndo());
}

void TestDocuments::openRefusesWhatIsNotText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // null: nothing is created
    QTest::addColumn<bool>("unreadable");
    QTest::newRow("NUL bytes") << "Tool.class" << QByteArray("\xCA\xFE\xBA\xBE\0\0\0\x34", 8)
                               << false;
    QTest::newRow("folder") << "src" << QByteArray() << false;
    QTest::newRow("missing") << "Missing.java" << QByteArray() << false;
    QTest::newRow("unreadable") << "Secret.java" << QByteArray("class S {}\n") << true;
}

void TestDocuments::openRefusesWhatIsNotText()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, unreadable);
    if (unreadable && geteuid() == 0)
        QSKIP("root reads every file");
    const QString bad = path(name);
    if (name == QLatin1String("src"))
        QVERIFY(QDir(m_dir->path()).mkdir(name));
    if (!content.isNull())
        writeFile(bad, content);
    if (unreadable)
        QVERIFY(QFile::setPermissions(bad, QFile::WriteOwner));
    const QString good = path(QStringLiteral("Good.java"));
    auto w = start(good, "class Good {}\n", true);
    const QString text = w->surface()->text();

    m_prompter.answer(MsgAnswer::Yes); // save first
    m_prompter.answerText(bad);
    m_prompter.answer(MsgAnswer::Ok);
    run(*w, "Open");
    QCOMPARE(m_prompter.asked().size(), size_t(3));
    QCOMPARE_MESSAGE(m_prompter.asked()[2], "Error opening file", "Error", MsgIcon::Critical,
                     MsgButtons::Ok);
    // The saved document is still there, named and unmodified.
    QCOMPARE(w->surface()->text(), text);
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [Good.java] - Quillon"));
    QVERIFY(w->rtfedit()->isVisible());

    // A later Save writes the good file, never the refused one.
    modify(*w, QStringLiteral("more"));
    m_prompter.clear();
    run(*w, "Save");
    QVERIFY(m_prompter.asked().empty());
    QCOMPARE(readFile(good), QByteArray("class Good {}\n// edit\nmore"));
    if (!content.isNull() && !unreadable)
        QCOMPARE(readFile(bad), content);
}

void TestDocuments::saveAsksForANameThenAboutOverwriting()
{
    auto w = start();
    // After start-up the path is the last folder + "*.java": still no file.
    w->setDocumentPath(m_dir->path() + QStringLiteral("/*.java"));
    modify(*w, QStringLiteral("class N {\r\n}"));
    const QString file = path(QStringLiteral("N.java"));
    m_prompter.answerText(file);
    run(*w, "Save");
    QCOMPARE_FILE_DIALOG(m_prompter.asked().at(0), FileDialogRequest::Save);
    QCOMPARE(m_prompter.asked()[0].file.startPath, m_dir->path() + QStringLiteral("/*.java"));
    QCOMPARE(readFile(file), QByteArray("class N {\r\n}")); // CR LF UTF-8, nothing appended
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [N.java] - Quillon"));
    QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Done"));
    m_prompter.cancel(); // Save As cancelled changes nothing
    run(*w, "Save_as");
    QCOMPARE(w->documentPath(), file);

    // Save As onto an existing file: Cancel empties the path and writes nothing.
    const QString existing = path(QStringLiteral("E.java"));
    const QString other = path(QStringLiteral("F.java"));
    writeFile(existing, "old\n");
    m_prompter.clear();
    m_prompter.answerText(existing);
    m_prompter.answer(MsgAnswer::Cancel);
    run(*w, "Save_as");
    QCOMPARE(m_prompter.asked().size(), size_t(2));
    QCOMPARE_MESSAGE(m_prompter.asked()[1], "Do you wish to overwrite the file?",
                     "File already exists", MsgIcon::Question, MsgButtons::YesNoCancel);
    QCOMPARE(w->documentPath(), QString());
    QCOMPARE(readFile(existing), QByteArray("old\n"));

    // No: asked for a name again, the second one is used.
    m_prompter.clear();
    m_prompter.answerText(existing);
    m_prompter.answer(MsgAnswer::No);
    m_prompter.answerText(other);
    run(*w, "Save_as");
    QCOMPARE(m_prompter.asked().size(), size_t(3));
    QCOMPARE_FILE_DIALOG(m_prompter.asked()[2], FileDialogRequest::Save);
    QCOMPARE(readFile(existing), QByteArray("old\n"));
    QCOMPARE(readFile(other), QByteArray("class N {\r\n}"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [F.java] - Quillon"));

    // Yes: overwritten.
    m_prompter.answerText(existing);
    m_prompter.answer(MsgAnswer::Yes);
    run(*w, "Save_as");
    QCOMPARE(readFile(existing), QByteArray("class N {\r\n}"));
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
    auto w = start(file, "class RO {}\n", true);
    // chmod 444: read-only for everyone; root too is asked.
    QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    m_prompter.answer(yes ? MsgAnswer::Yes : MsgAnswer::No);
    if (yes)
        m_prompter.answerText(copy);
    run(*w, "Save");
    QCOMPARE_MESSAGE(m_prompter.asked().at(0), kReadOnly, "Error saving file [" + file + "]",
                     MsgIcon::Critical, MsgButtons::YesNo);
    QCOMPARE(m_prompter.asked().size(), size_t(yes ? 2 : 1));
    QCOMPARE(readFile(file), QByteArray("class RO {}\n"));
    if (yes) {
        QCOMPARE_FILE_DIALOG(m_prompter.asked()[1], FileDialogRequest::Save);
        QCOMPARE(readFile(copy), QByteArray("class RO {}\n// edit\n"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [Copy.java] - Quillon"));
    } else {
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [RO.java] - Quillon*"));
        QVERIFY(!QFile::exists(copy));
    }
    QVERIFY(!QApplication::overrideCursor());
}

void TestDocuments::roundTripIsByteForByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("CR LF") << QByteArray("class A {\r\n    int x;\r\n}\r\n");
    QTest::newRow("LF, no final break") << QByteArray("class A {\n    int x;\n}");
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF// gr\xC3\xBC\nclass \xC3\xA9 {}\n");
    QTest::newRow("UTF-8, no BOM") << QByteArray("// \xE2\x82\xAC \xF0\x9F\x98\x80\r\nclass U {}");
    QTest::newRow("Latin-1") << QByteArray("// gr\xFC\xDF \xE9t\xE9\nclass L {}\n");
    QTest::newRow("empty file") << QByteArray("");
}

void TestDocuments::roundTripIsByteForByte()
{
    QFETCH(QByteArray, bytes);
    const QString file = path(QStringLiteral("R.java"));
    writeFile(file, bytes);
    auto w = start();
    m_prompter.answerText(file);
    run(*w, "Open");
    writeFile(file, "overwritten");
    run(*w, "Save");
    QCOMPARE(readFile(file), bytes);
    // Save As to another name keeps the format as well.
    const QString other = path(QStringLiteral("R2.java"));
    m_prompter.answerText(other);
    run(*w, "Save_as");
    QCOMPARE(readFile(other), bytes);
}

void TestDocuments::failedSaveLeavesTheOldFile()
{
    const QString file = path(QStringLiteral("Small.java"));
    const QByteArray old("class Small {}\n");
    auto w = start(file, old);
    QString big;
    for (int i = 0; big.size() < 2 * 1024 * 1024; ++i)
        big += QStringLiteral("    int field%1 = %1;\r\n").arg(i);
    w->surface()->setSelection(0, w->surface()->length());
    w->surface()->setSelText(big);

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
    run(*w, "Save");
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    QCOMPARE(sigaction(SIGXFSZ, &oldAction, nullptr), 0);

    QCOMPARE(m_prompter.asked().size(), size_t(1));
    QCOMPARE_MESSAGE(m_prompter.asked()[0], kDiskError, "Error saving file [" + file + "]",
                     MsgIcon::Critical, MsgButtons::Ok);
    QCOMPARE(readFile(file), old);
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [Small.java] - Quillon*"));
    QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Error"));
    // No half-written temporary file is left behind.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Small.java"});

    // With the limit lifted the same Save succeeds.
    run(*w, "Save");
    QCOMPARE(m_prompter.asked().size(), size_t(1));
    QCOMPARE(readFile(file), big.toUtf8().replace("\r\n", "\n"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [Small.java] - Quillon"));
}

void TestDocuments::insertFileThenSaveWritesTheDocumentsOwnFile()
{
    const QString doc = path(QStringLiteral("Doc.java"));
    const QString part = path(QStringLiteral("Part.java"));
    writeFile(part, "    int inserted;\n");
    auto w = start(doc, "class Doc {\n}\n");
    w->surface()->setSelStart(w->surface()->lineIndex(1)); // before "}"

    m_prompter.answerText(part);
    run(*w, "infile");
    QCOMPARE_FILE_DIALOG(m_prompter.asked().at(0), FileDialogRequest::Open);
    const QString joined = QStringLiteral("class Doc {\r\n    int inserted;\r\n}\r\n");
    QCOMPARE(w->surface()->text(), joined);
    QCOMPARE(w->surface()->selStart(), joined.size() - 3); // after the inserted text
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [Doc.java] - Quillon*"));

    run(*w, "Save");
    QCOMPARE(m_prompter.asked().size(), size_t(1));
    QCOMPARE(readFile(doc), QByteArray("class Doc {\n    int inserted;\n}\n"));
    QCOMPARE(readFile(part), QByteArray("    int inserted;\n"));

}

void TestDocuments::exitRunsTheCloseSequence()
{
    const QString file = path(QStringLiteral("X.java"));
    auto w = start(file, "x\n", true);
    m_prompter.answer(MsgAnswer::Cancel);
    run(*w, "Exit");
    QCOMPARE_SAVE_FIRST(m_prompter.asked().at(0));
    QVERIFY(w->isVisible());

    // Yes runs the real Save command, then the window closes.
    m_prompter.answer(MsgAnswer::Yes);
    run(*w, "Exit");
    QVERIFY(!w->isVisible());
    QCOMPARE(readFile(file), QByteArray("x\n// edit\n"));
    QCOMPARE(pref("lastfilename"), file);
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
    QCOMPARE_FILE_DIALOG(m_prompter.asked().at(0), FileDialogRequest::Save);
    QCOMPARE(readFile(file), typed.toUtf8());
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [Typed.java] - Quillon"));

    // Ctrl+N empties the window; Ctrl+O reads the file back.
    QTest::keyClick(w->rtfedit(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(w->surface()->text(), QString());
    m_prompter.answerText(file);
    QTest::keyClick(w->rtfedit(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(w->surface()->text(), typed);
    QCOMPARE(w->rtfedit()->toPlainText(), QStringLiteral("class Typed {\n    int x;\n}"));
}

QTEST_MAIN(TestDocuments)
#include "tst_documents.moc"
