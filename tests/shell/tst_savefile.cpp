// Saving keeps the file as the user had it: owner and group survive the
// atomic replacement, a writable file in a folder that is not writable is
// written in place after a question, bytes the user did not edit stay as
// they were, a Latin-1 document becomes UTF-8 only when the user agrees,
// and nothing that Open would refuse (NUL) gets into the document.

#include "shell/documentfiles.h"
#include "shell/savefile.h"
#include "support/datarow.h"
#include "support/windowtest.h"
#include "surface/ui/surfaceview.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>

#include <sys/stat.h>
#include <unistd.h>

using namespace qln;
using qln::test::readFile;
using qln::test::writeFile;

namespace {

struct stat statOf(const QString &path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

} // namespace

class TestSaveFile : public QObject, test::WindowTest {
    Q_OBJECT

private slots:
    void init() { initWindowTest(); }
    void cleanup() { cleanupWindowTest(); }

    void savingAsRootKeepsOwnerGroupAndMode()
    {
        if (::geteuid() != 0)
            QSKIP("Only root can give a file to another user");
        const QString file = path("Theirs.java");
        QVERIFY(writeFile(file, "class T {}\n"));
        QCOMPARE(::chown(QFile::encodeName(file).constData(), 4321, 4322), 0);
        QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0640), 0);
        const ino_t inode = statOf(file).st_ino;

        frmedit w(file, &m_prompter, ProbePlaces{});
        append(w, QStringLiteral("// root was here\r\n"));
        QVERIFY(w.documents().Save());
        QCOMPARE(readFile(file), QByteArray("class T {}\n// root was here\n"));
        const struct stat after = statOf(file);
        QCOMPARE(int(after.st_uid), 4321);
        QCOMPARE(int(after.st_gid), 4322);
        QCOMPARE(int(after.st_mode & 07777), 0640);
        // The file was replaced, not rewritten: a new inode.
        QVERIFY(after.st_ino != inode);
        w.close();
    }

    void unwritableFolderAsksThenWritesInPlace_data()
    {
        QTest::addColumn<bool>("yes");
        row("Yes writes over the file", true);
        row("No leaves it", false);
    }
    void unwritableFolderAsksThenWritesInPlace()
    {
        QFETCH(bool, yes);
        const QString file = path("InPlace.java");
        QVERIFY(writeFile(file, "old\n"));
        const QString link = path("Link.java");
        QCOMPARE(::link(QFile::encodeName(file).constData(), QFile::encodeName(link).constData()),
                 0);
        const ino_t inode = statOf(file).st_ino;

        // The folder's writability is what the caller found; here it is told
        // "not writable", which root cannot otherwise be shown.
        m_prompter.answer(yes ? MsgAnswer::Yes : MsgAnswer::No);
        const SaveFileResult result = saveDocumentFile(
            file, QStringLiteral("new\r\n"),
            TextFileFormat{TextFileFormat::Utf8, false, TextFileFormat::Lf}, m_prompter, false);
        QCOMPARE(result, yes ? SaveFileResult::Saved : SaveFileResult::Declined);
        const MessageRequest &asked = m_prompter.asked().back().message;
        QCOMPARE(asked.title, "Save [" + file + "]");
        QCOMPARE(int(asked.buttons), int(MsgButtons::YesNo));
        QVERIFY(asked.text.contains("cannot be written to"));
        QCOMPARE(readFile(file), QByteArray(yes ? "new\n" : "old\n"));
        // Written in place, so the same inode, and a hard link sees the change.
        QCOMPARE(statOf(file).st_ino, inode);
        QCOMPARE(readFile(link), readFile(file));

        // A writable folder replaces the file: the hard link keeps the old text.
        QCOMPARE(saveDocumentFile(file, QStringLiteral("newer\r\n"),
                                  TextFileFormat{TextFileFormat::Utf8, false, TextFileFormat::Lf},
                                  m_prompter, true),
                 SaveFileResult::Saved);
        QCOMPARE(readFile(file), QByteArray("newer\n"));
        QCOMPARE(readFile(link), QByteArray(yes ? "new\n" : "old\n"));
        QVERIFY(folderIsWritable(m_dir->path()));
    }

    // A file that is UTF-8 but for some stray bytes opens as UTF-8 and says
    // how many bytes are not; an edit on the first line changes no byte of
    // any other line, the stray bytes and a byte-order mark included.
    void strayBytesStayAsTheyWere_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("secondLine"); // as shown
        QTest::addColumn<QString>("note");
        row("a stray byte", QByteArray("class A {\n  // caf\xc3\xa9\n  // \xff\n}\n"),
            QStringLiteral("  // café"),
            QStringLiteral("1 byte is not UTF-8; it is kept as it is"));
        row("a mark and Latin-1 bytes, crlf",
            QByteArray("\xEF\xBB\xBF"
                       "class A {\r\n  // caf\xE9 na\xEFve\r\n  // \xC3\xA9t\xE9\r\n}\r\n"),
            QStringLiteral("  // caf\uF7E9 na\uF7EFve"),
            QStringLiteral("3 bytes are not UTF-8; they are kept as they are"));
    }
    void strayBytesStayAsTheyWere()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, secondLine);
        QFETCH(QString, note);
        const QString file = path("S.java");
        QVERIFY(writeFile(file, bytes));
        {
            const frmedit started(file, &m_prompter, ProbePlaces{});
            QCOMPARE(started.statusPanel(1)->text(), note);
        }
        frmedit w(QString(), &m_prompter, ProbePlaces{});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        m_prompter.answerText(file);
        w.menuItem(QStringLiteral("Open"))->trigger();
        QCOMPARE(w.statusPanel(1)->text(), note);
        QCOMPARE(w.surface()->lineText(1), secondLine);
        QCOMPARE(w.documentFormat()->encoding, TextFileFormat::Utf8);

        // Typed at the end of the first line.
        w.rtfedit()->setFocus();
        QTest::keyClick(w.rtfedit(), Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(w.rtfedit(), Qt::Key_End);
        QTest::sendKeyEvent(QTest::Click, w.rtfedit(), Qt::Key_unknown, QStringLiteral("\u20AC"),
                            Qt::NoModifier);
        QCOMPARE(w.surface()->lineText(0), QStringLiteral("class A {\u20AC"));
        w.menuItem(QStringLiteral("Save"))->trigger();
        QVERIFY(!w.documents().isModified());

        const QList<QByteArray> before = bytes.split('\n');
        const QList<QByteArray> after = readFile(file).split('\n');
        QCOMPARE(after.size(), before.size());
        QByteArray first = before[0];
        first.insert(first.endsWith('\r') ? first.size() - 1 : first.size(), "\xE2\x82\xAC");
        QCOMPARE(after[0], first);
        for (qsizetype line = 1; line < before.size(); ++line)
            QCOMPARE(after[line], before[line]);
        w.close();
    }

    // A Latin-1 document that gains a character Latin-1 cannot store
    // becomes UTF-8 only when the user says so.
    void latin1DocumentAsksBeforeBecomingUtf8()
    {
        const QString file = path("L.java");
        QVERIFY(writeFile(file, "// gr\xFC\xDF\n"));
        frmedit w(file, &m_prompter, ProbePlaces{});
        QCOMPARE(w.documentFormat()->encoding, TextFileFormat::Latin1);
        // Saving what Latin-1 can hold: Latin-1 stays, nothing is asked. A
        // stand-in of a stray byte is that byte.
        append(w, QStringLiteral("// \u00E9\uF7A4\r\n"));
        QVERIFY(w.documents().Save());
        QCOMPARE(w.statusPanel(1)->text(), QStringLiteral("Done"));
        const QByteArray latin1 = "// gr\xFC\xDF\n// \xE9\xA4\n";
        QCOMPARE(readFile(file), latin1);

        // No: nothing is written, the document stays modified and Latin-1,
        // also when the save was the answer to leaving.
        w.surface()->setSelText(QStringLiteral("// \u20AC\r\n"));
        const QString status = w.statusPanel(1)->text();
        m_prompter.answer(MsgAnswer::No);
        QVERIFY(!w.documents().Save());
        const MessageRequest &asked = m_prompter.asked().back().message;
        QCOMPARE(
            asked.text,
            QStringLiteral("Save as UTF-8? Every non-ASCII character will be written in UTF-8."));
        QCOMPARE(asked.title, "Save [" + file + "]");
        QCOMPARE(int(asked.buttons), int(MsgButtons::YesNo));
        QCOMPARE(int(asked.icon), int(MsgIcon::Question));
        QCOMPARE(readFile(file), latin1);
        QVERIFY(w.documents().isModified());
        QVERIFY(w.windowTitle().endsWith(QLatin1Char('*')));
        QCOMPARE(w.documentFormat()->encoding, TextFileFormat::Latin1);
        QCOMPARE(w.statusPanel(1)->text(), status); // not left at "Please wait"
        m_prompter.answer(MsgAnswer::Yes);          // "Do you wish to save the file?"
        m_prompter.answer(MsgAnswer::No);           // "Save as UTF-8? ..."
        QCOMPARE(w.documents().offerToSave(), DocumentFiles::Leave::Stay);
        QCOMPARE(readFile(file), latin1);

        // Yes: every non-ASCII character in UTF-8, the stray byte as it was.
        m_prompter.answer(MsgAnswer::Yes);
        QVERIFY(w.documents().Save());
        QCOMPARE(w.statusPanel(1)->text(),
                 QStringLiteral("Saved as UTF-8: the text holds characters Latin-1 cannot store"));
        QCOMPARE(readFile(file),
                 QByteArray("// gr\xC3\xBC\xC3\x9F\n// \xC3\xA9\xA4\n// \xE2\x82\xAC\n"));
        QCOMPARE(w.documentFormat()->encoding, TextFileFormat::Utf8);
        // The next save is a plain UTF-8 save.
        w.surface()->setSelText("x");
        QVERIFY(w.documents().Save());
        QCOMPARE(w.statusPanel(1)->text(), QStringLiteral("Done"));
        w.close();
    }

    // Open refuses a file holding NUL, so pasting one is refused with a
    // note and nothing reaches the document, whichever paste is used.
    void pastedNulIsRefusedWithANote()
    {
        const QString file = path("N.java");
        QVERIFY(writeFile(file, "class N {}\n"));
        frmedit w(file, &m_prompter, ProbePlaces{});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QGuiApplication::clipboard()->setText(QStringLiteral("int") + QChar(0)
                                              + QStringLiteral("x;"));
        for (const char *item : {"Paste", "plaintextpaste"}) {
            w.statusPanel(1)->clear();
            w.surface()->setSelStart(w.surface()->length());
            w.menuItem(QLatin1String(item))->trigger();
            QCOMPARE(w.surface()->text(), QStringLiteral("class N {}\r\n"));
            QVERIFY(!w.documents().isModified());
            QCOMPARE(w.statusPanel(1)->text(),
                     QStringLiteral("Not inserted: the text holds a NUL character, which a text "
                                    "file cannot hold"));
        }
        QVERIFY(m_prompter.asked().empty()); // no "Error pasting"
        w.close();
    }
};

QTEST_MAIN(TestSaveFile)
#include "tst_savefile.moc"
