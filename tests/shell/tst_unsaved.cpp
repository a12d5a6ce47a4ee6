// No edit is lost: the main window offscreen, every prompt scripted. The
// caption's "*" follows the document through every kind of edit, Undo and
// Redo; every way out asks to save and goes on only after No or a save that
// wrote the file.

#include "dialogs/ui/frmfind.h"
#include "settings/ui/frmpref.h"
#include "shell/documentfiles.h"
#include "shell/recentfiles.h"
#include "shell/recovery.h"
#include "shell/ui/recentmenu.h"
#include "support/datarow.h"
#include "support/windowtest.h"
#include "surface/ui/surfaceview.h"
#include "tools/ui/frmjavax.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPointer>

using namespace qln;
using qln::test::readFile;
using qln::test::writeFile;

namespace {

const QString kSaveFirst = QStringLiteral("Do you wish to save the file?");
const QString kSuspend = QStringLiteral(
    "Would you like to turn off the autotreesearch, autocolorize and autospellcorrect features "
    "during the process?\r\nIf you choose yes, it will speed up the process significantly");

} // namespace

class TestUnsaved : public QObject, test::WindowTest {
    Q_OBJECT

    // A shown main window on the file that launches no other program.
    std::unique_ptr<frmedit> start(const QString &file = QString())
    {
        auto w = open(file);
        w->documents().setLauncher([](const QString &, const QStringList &) { return false; });
        w->show();
        return w;
    }
    // The names of the document events from now on, as they happen.
    static const QStringList &recordEvents(frmedit &w)
    {
        auto *events = new QStringList;
        QObject::connect(&w, &QObject::destroyed, [events] { delete events; });
        w.documents().addListener([events](DocumentEvent e) {
            static const char *names[] = {"Opened",    "Saved",        "Cleared",
                                          "Discarded", "KeptModified", "Closed"};
            *events << QLatin1String(names[int(e)]);
        });
        return *events;
    }

private slots:
    void init() { initWindowTest(); }
    void cleanup() { cleanupWindowTest(); }

    // Replace All and the case walks with the automatic features suspended
    // used to leave no "*", and the close asked nothing.
    void suspendedCommandsMarkTheDocument_data()
    {
        columns<QString, QString>("command", "result");
        row("Replace All", "replaceall", "z z z");
        row("Capitalize (Alt+C)", "C", "X X X");
        row("Invert Case (Alt+I)", "I", "X X X");
    }
    void suspendedCommandsMarkTheDocument()
    {
        QFETCH(QString, command);
        QFETCH(QString, result);
        const QString file = path(QStringLiteral("X.java"));
        QVERIFY(writeFile(file, "x x x"));
        auto w = start(file);
        QVERIFY(!marked(*w));
        m_prompter.answer(MsgAnswer::Yes); // turn the automatic features off
        if (command == QLatin1String("replaceall")) {
            w->menuItem(QStringLiteral("replace"))->trigger();
            auto *find = w->findChild<frmFind *>();
            QVERIFY(find);
            find->findChild<QComboBox *>(QStringLiteral("cboFind"))->setCurrentText("x");
            find->findChild<QComboBox *>(QStringLiteral("cboReplace"))->setCurrentText("z");
            m_prompter.answer(MsgAnswer::Ok);
            find->cmdReplaceAll_Click();
            QCOMPARE(m_prompter.messages().last(), QStringLiteral("3 items replaced"));
            find->hide();
        } else {
            w->surface()->setSelection(0, w->surface()->length());
            QTest::keyClick(w->rtfedit(), command == QLatin1String("C") ? Qt::Key_C : Qt::Key_I,
                            Qt::AltModifier);
        }
        QCOMPARE(m_prompter.messages().first(), kSuspend);
        QCOMPARE(w->surface()->text(), result);
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [X.java] - Quillon*"));

        // One Undo takes the whole command back, and with it the "*".
        w->menuItem(QStringLiteral("undo"))->trigger();
        QCOMPARE(w->surface()->text(), QStringLiteral("x x x"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [X.java] - Quillon"));
        w->menuItem(QStringLiteral("redo"))->trigger();
        QVERIFY(marked(*w));

        // Closing asks, and Yes writes the file.
        m_prompter.answer(MsgAnswer::Yes);
        QVERIFY(w->close());
        QCOMPARE(m_prompter.messages().last(), kSaveFirst);
        QCOMPARE(readFile(file), result.toUtf8());
    }

    // Yes to the close question, then a save that does not write the file:
    // the window, its text and its "*" stay.
    void closeWithAFailedSaveKeepsTheWindow_data()
    {
        QTest::addColumn<QString>("item"); // how the user leaves
        QTest::addColumn<bool>("named");   // false: a new document, Save As is cancelled
        row("Exit (Alt+Backspace), Save As cancelled", "Exit", false);
        row("window box, Save As cancelled", "", false);
        row("New, write fails", "new", true);
        row("Exit, write fails", "Exit", true);
        row("window box, write fails", "", true);
    }
    void closeWithAFailedSaveKeepsTheWindow()
    {
        QFETCH(QString, item);
        QFETCH(bool, named);
        const QString file = path(QStringLiteral("Small.java"));
        QVERIFY(writeFile(file, "class Small {}\n"));
        auto w = start(named ? file : QString());
        const QString big = QStringLiteral("    int field = 1;\r\n").repeated(20000);
        w->surface()->setSelText(named ? big : QStringLiteral("typed"));
        const QString text = w->surface()->text();
        m_prompter.answer(MsgAnswer::Yes);
        if (named)
            m_prompter.answer(MsgAnswer::Ok); // the disk message
        else
            m_prompter.cancel(); // the Save As dialog
        {
            test::FileSizeLimit limit(64 * 1024);
            QVERIFY(limit.ok());
            if (item.isEmpty())
                QVERIFY(!w->close());
            else
                w->menuItem(item)->trigger();
        }
        QCOMPARE(m_prompter.messages().first(), kSaveFirst);
        QVERIFY(w->isVisible());
        QCOMPARE(w->surface()->text(), text);
        QVERIFY(marked(*w));
        QCOMPARE(readFile(file), QByteArray("class Small {}\n"));
        // With room on the disk the same way out saves and goes on.
        if (named) {
            m_prompter.answer(MsgAnswer::Yes);
            QVERIFY(w->close());
            QCOMPARE(readFile(file), text.toUtf8().replace("\r\n", "\n"));
        } else {
            m_prompter.answer(MsgAnswer::No);
            QVERIFY(w->close());
        }
    }

    // Load Defaults offers to save first; Cancel leaves everything, and so
    // does No followed by No to the program's own question.
    void loadDefaultsAsksToSaveFirst()
    {
        auto w = start();
        w->surface()->setSelText(QStringLiteral("unsaved"));
        const QStringList &events = recordEvents(*w);
        w->menuItem(QStringLiteral("preferences"))->trigger();
        frmpref *prefs = shownWindow<frmpref>();
        QVERIFY(prefs);
        m_prompter.answer(MsgAnswer::Cancel);
        m_settings->clearWrites();
        prefs->cmddefaults_Click();
        QCOMPARE(m_prompter.messages(), QStringList{kSaveFirst});
        QVERIFY(!m_settings->sections().isEmpty());
        QVERIFY(m_settings->writes().empty());

        m_prompter.answer(MsgAnswer::No);
        m_prompter.answer(MsgAnswer::No); // "Confirm Deletion": the settings stay
        prefs->cmddefaults_Click();
        QCOMPARE(m_prompter.asked().back().message.title, QStringLiteral("Confirm Deletion"));
        QVERIFY(!m_settings->sections().isEmpty());
        QApplication::processEvents();
        QVERIFY(w->isVisible() && marked(*w));
        QVERIFY(events.isEmpty()); // nothing was given up

        // No, then Yes: the settings go, and the program ends without
        // asking again.
        m_prompter.answer(MsgAnswer::No);
        m_prompter.answer(MsgAnswer::Yes); // "Confirm Deletion"
        m_prompter.answer(MsgAnswer::Ok);  // "The program must be closed"
        prefs->cmddefaults_Click();
        QTRY_VERIFY(!w->isVisible());
        QCOMPARE(m_prompter.messages().count(kSaveFirst), 3);
        QCOMPARE(m_prompter.asked().size(), size_t(6));
        QVERIFY(m_settings->sections().isEmpty());
        QCOMPARE(events, (QStringList{"Discarded", "Closed"}));
    }

    // A No to "Do you wish to save the file?" gives the text up only when
    // the way out then happens. A file that cannot be opened (from Recent
    // Files, an error link or Open) or a cancelled Open dialog leaves the
    // text, its "*", its recovery copy and the close question.
    void aNoThatLeadsNowhereKeepsTheDocument_data()
    {
        QTest::addColumn<QString>("way");  // how the user leaves
        QTest::addColumn<QString>("file"); // what is chosen: "bad" holds a NUL byte
        QTest::addColumn<bool>("leaves");  // the way out happens
        row("Recent Files, unreadable", "recent", "bad", false);
        row("error link, unreadable", "link", "bad", false);
        row("Open, unreadable", "Open", "bad", false);
        row("Open, dialog cancelled", "Open", "", false);
        row("Recent Files, readable", "recent", "good", true);
        row("Open, readable", "Open", "good", true);
    }
    void aNoThatLeadsNowhereKeepsTheDocument()
    {
        QFETCH(QString, way);
        QFETCH(QString, file);
        QFETCH(bool, leaves);
        const QString doc = path(QStringLiteral("Doc.java"));
        const QString other = path(file + QStringLiteral(".java"));
        QVERIFY(writeFile(doc, "class Doc {}\n"));
        QVERIFY(writeFile(other, file == QLatin1String("bad") ? QByteArray("class\0Bad {}\n", 13)
                                                              : QByteArray("class Good {}\n")));
        auto w = start(doc);
        w->surface()->setSelText(QStringLiteral("typed "));
        const QString text = w->surface()->text();
        const QStringList &events = recordEvents(*w);
        w->recovery().writeNow();
        w->recovery().waitForWrites();
        const QString copy = w->recovery().sessionFile();
        QVERIFY(QFile::exists(copy));

        m_prompter.answer(MsgAnswer::No);
        if (way == QLatin1String("Open")) {
            if (file.isEmpty())
                m_prompter.cancel();
            else
                m_prompter.answerText(other);
        }
        if (!leaves && !file.isEmpty())
            m_prompter.answer(MsgAnswer::Ok); // "Error opening file"
        if (way == QLatin1String("recent")) {
            w->recentFiles().add(other);
            w->recentFilesMenu()->refresh();
            w->recentFilesMenu()->menu()->actions().at(0)->trigger();
        } else if (way == QLatin1String("link")) {
            QVERIFY(!w->openToolLocation(other, 1, -1));
        } else {
            w->menuItem(way)->trigger();
        }
        w->recovery().waitForWrites();
        QCOMPARE(m_prompter.messages().first(), kSaveFirst);
        if (leaves) {
            QCOMPARE(w->surface()->text(), QStringLiteral("class Good {}\r\n"));
            QCOMPARE(events, (QStringList{"Discarded", "Opened"}));
            QVERIFY(!QFile::exists(copy));
            QVERIFY(w->close()); // nothing left to ask about
            QCOMPARE(m_prompter.messages().count(kSaveFirst), 1);
            return;
        }
        if (!file.isEmpty())
            QVERIFY(
                m_prompter.messages().last().startsWith(QStringLiteral("Error opening file\r\n")));
        QCOMPARE(w->surface()->text(), text);
        QCOMPARE(w->documentPath(), doc);
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [Doc.java] - Quillon*"));
        QVERIFY(events.isEmpty());
        QVERIFY(QFile::exists(copy));

        // Closing asks again; only the No that ends the window gives the
        // text up.
        m_prompter.answer(MsgAnswer::Cancel);
        QVERIFY(!w->close());
        m_prompter.answer(MsgAnswer::No);
        QVERIFY(w->close());
        QCOMPARE(m_prompter.messages().count(kSaveFirst), 3);
        QCOMPARE(events, (QStringList{"Discarded", "Closed"}));
        QCOMPARE(readFile(doc), QByteArray("class Doc {}\n"));
    }

    // Typing with a correction, then Ctrl+Z and Ctrl+Y through the window.
    void undoAfterACorrectionIsExact()
    {
        settingsStore().save(kPrefs, QStringLiteral("fromtocount"), QStringLiteral("1"));
        settingsStore().save(kPrefs, QStringLiteral("lstsfrom1"), QStringLiteral("wich"));
        settingsStore().save(kPrefs, QStringLiteral("lststo1"), QStringLiteral("which"));
        settingsStore().save(kPrefs, QStringLiteral("chksautosc"), QStringLiteral("1"));
        settingsStore().save(kPrefs, QStringLiteral("autotreesearch"), QStringLiteral("0"));
        auto w = start();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        Surface *s = w->surface();
        {
            SuppressGuard quiet;
            s->setText(QStringLiteral("\r\n"));
        }
        s->setClean();
        QAction *undo = w->menuItem(QStringLiteral("undo"));
        QAction *redo = w->menuItem(QStringLiteral("redo"));
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());
        w->rtfedit()->setFocus();
        QTest::keyClicks(w->rtfedit(), QStringLiteral("a wich b"));
        QCOMPARE(s->text(), QStringLiteral("a which b\r\n"));
        QVERIFY(marked(*w) && undo->isEnabled() && !redo->isEnabled());

        QStringList seen;
        while (s->canUndo()) {
            QTest::keyClick(w->rtfedit(), Qt::Key_Z, Qt::ControlModifier);
            seen << s->text();
        }
        QCOMPARE(seen, (QStringList{"a which \r\n", "a wich \r\n", "a \r\n", "\r\n"}));
        QCOMPARE(w->rtfedit()->surface()->text(), QStringLiteral("\r\n"));
        QVERIFY(!marked(*w) && !undo->isEnabled() && redo->isEnabled());
        for (const auto &key :
             {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)})
            for (int i = 0; i < 2; ++i)
                QTest::keySequence(w->rtfedit(), key);
        QCOMPARE(s->text(), QStringLiteral("a which b\r\n"));
        QCOMPARE(w->rtfedit()->surface()->text(), QStringLiteral("a which b\r\n"));
        QVERIFY(marked(*w) && undo->isEnabled() && !redo->isEnabled());
        s->setClean();
    }

    // Spell correct all on a short document is one step that Undo takes
    // back whole, and it stays taken back.
    void spellCorrectAllUndoes()
    {
        settingsStore().save(kPrefs, QStringLiteral("fromtocount"), QStringLiteral("1"));
        settingsStore().save(kPrefs, QStringLiteral("lstsfrom1"), QStringLiteral("teh"));
        settingsStore().save(kPrefs, QStringLiteral("lststo1"), QStringLiteral("the"));
        const QString file = path(QStringLiteral("S.java"));
        QVERIFY(writeFile(file, "teh a\nb teh\nteh"));
        auto w = start(file);
        w->menuItem(QStringLiteral("spellcorrectallrtf"))->trigger(); // unmodified: no question
        QCOMPARE(w->surface()->text(), QStringLiteral("the a\r\nb the\r\nthe"));
        QVERIFY(marked(*w));
        w->menuItem(QStringLiteral("undo"))->trigger();
        QCOMPARE(w->surface()->text(), QStringLiteral("teh a\r\nb teh\r\nteh"));
        QVERIFY(!marked(*w) && !w->surface()->canUndo());
    }

    // A tool dialog open when the main window closes: one question, and
    // the window does not come back when the dialog goes.
    void closingWithAToolDialogAsksOnce()
    {
        auto w = start();
        w->menuItem(QStringLiteral("run"))->trigger();
        QPointer<frmJavaX> tool = frmJavaX::instance();
        QVERIFY(tool);
        m_prompter.clear(); // whatever opening the dialog asked
        w->surface()->setSelText(QStringLiteral("typed"));
        m_prompter.answer(MsgAnswer::No);
        QVERIFY(w->close());
        QTRY_VERIFY(!tool);
        QApplication::processEvents();
        QVERIFY(!w->isVisible());
        QCOMPARE(m_prompter.messages(), QStringList{kSaveFirst});
    }

    void redoSitsUnderUndo()
    {
        auto w = start();
        const QList<QAction *> items = w->findChild<QMenu *>(QStringLiteral("Edit"))->actions();
        QCOMPARE(items.value(0)->text(), QStringLiteral("&Undo"));
        QCOMPARE(items.value(1)->text(), QStringLiteral("Re&do"));
        QCOMPARE(items.value(1)->shortcuts(),
                 (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Y")),
                                      QKeySequence(QStringLiteral("Ctrl+Shift+Z"))}));
    }

    // The session ending asks once; a later close of the same text does not
    // ask again. Cancel keeps the session from ending.
    void sessionEndAsksOnce()
    {
        auto w = start();
        w->surface()->setSelText(QStringLiteral("typed"));
        QVERIFY(w->commitData(false)); // nothing can be asked
        m_prompter.answer(MsgAnswer::Cancel);
        QVERIFY(!w->commitData(true));
        m_prompter.answer(MsgAnswer::No);
        QVERIFY(w->commitData(true));
        QVERIFY(w->close());
        QCOMPARE(m_prompter.messages(), (QStringList{kSaveFirst, kSaveFirst}));
    }

    // What the document commands tell those that keep something about the
    // document.
    void documentEventsFollowTheCommands()
    {
        const QString file = path(QStringLiteral("E.java"));
        QVERIFY(writeFile(file, "class E {}\n"));
        auto w = start();
        const QStringList &events = recordEvents(*w);
        m_prompter.answerText(file);
        w->menuItem(QStringLiteral("Open"))->trigger();
        w->surface()->setSelText(QStringLiteral("x"));
        w->menuItem(QStringLiteral("Save"))->trigger();
        w->surface()->setSelText(QStringLiteral("y"));
        m_prompter.answer(MsgAnswer::No);
        w->menuItem(QStringLiteral("new"))->trigger();
        QVERIFY(w->close());
        QCOMPARE(events, (QStringList{"Opened", "Saved", "Discarded", "Cleared", "Closed"}));
    }
};

QTEST_MAIN(TestUnsaved)
#include "tst_unsaved.moc"
