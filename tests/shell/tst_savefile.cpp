// Saving keeps the file as the user had it: owner and group survive the
// atomic replacement, a writable file in a folder that is not writable is
// written in place after a question, and a Latin-1 document that has to
// become UTF-8 says so once.

#include "settings/settingsstore.h"
#include "shell/documentfiles.h"
#include "base/editorstate.h"
#include "shell/frmedit.h"
#include "shell/savefile.h"
#include "support/scriptedprompter.h"
#include "support/testenv.h"
#include "surface/surface.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace qln;
using qln::test::ScriptedPrompter;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

struct stat statOf(const QString &path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

} // namespace

class TestSaveFile : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnv> m_env;
    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;

private slots:
    void init()
    {
        m_env = std::make_unique<test::TestEnv>();
        m_dir = std::make_unique<QTemporaryDir>();
        m_prompter.clear();
        test::installFactorySettings(m_prompter);
    }

    void cleanup()
    {
        QCOMPARE(m_prompter.pending(), 0);
        editorState() = EditorState{};
    }

    void savingAsRootKeepsOwnerGroupAndMode()
    {
        if (::geteuid() != 0)
            QSKIP("Only root can give a file to another user");
        const QString file = m_dir->filePath("Theirs.java");
        writeFile(file, "class T {}\n");
        QCOMPARE(::chown(QFile::encodeName(file).constData(), 4321, 4322), 0);
        QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0640), 0);
        const ino_t inode = statOf(file).st_ino;

        frmedit w(file, &m_prompter, ProbePlaces{});
        w.surface()->setSelStart(w.surface()->length());
        w.surface()->setSelText("// root was here\r\n");
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
        QTest::newRow("Yes writes over the file") << true;
        QTest::newRow("No leaves it") << false;
    }

    void unwritableFolderAsksThenWritesInPlace()
    {
        QFETCH(bool, yes);
        const QString file = m_dir->filePath("InPlace.java");
        writeFile(file, "old\n");
        const QString link = m_dir->filePath("Link.java");
        QCOMPARE(::link(QFile::encodeName(file).constData(), QFile::encodeName(link).constData()), 0);
        const ino_t inode = statOf(file).st_ino;

        // The folder's writability is what the caller found; here it is told
        // "not writable", which root cannot otherwise be shown.
        m_prompter.answer(yes ? MsgAnswer::Yes : MsgAnswer::No);
        const SaveFileResult result =
            saveDocumentFile(file, QStringLiteral("new\r\n"), TextFileFormat{TextFileFormat::Utf8, false,
                                                                              TextFileFormat::Lf},
                             m_prompter, false);
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

    void latin1DocumentThatNeedsUtf8SaysSoOnce()
    {
        const QString file = m_dir->filePath("L.java");
        writeFile(file, "// gr\xFC\xDF\n");
        frmedit w(file, &m_prompter, ProbePlaces{});
        QCOMPARE(w.documentFormat()->encoding, TextFileFormat::Latin1);
        // Saving what Latin-1 can hold: Latin-1 stays, no note.
        w.surface()->setSelStart(w.surface()->length());
        w.surface()->setSelText(QStringLiteral("// \u00E9\r\n"));
        QVERIFY(w.documents().Save());
        QCOMPARE(w.statusPanel(1)->text(), QStringLiteral("Done"));
        QCOMPARE(readFile(file), QByteArray("// gr\xFC\xDF\n// \xE9\n"));

        w.surface()->setSelText(QStringLiteral("// \u20AC\r\n"));
        QVERIFY(w.documents().Save());
        QCOMPARE(w.statusPanel(1)->text(),
                 QStringLiteral("Saved as UTF-8: the text holds characters Latin-1 cannot store"));
        QCOMPARE(readFile(file), QByteArray("// gr\xC3\xBC\xC3\x9F\n// \xC3\xA9\n// \xE2\x82\xAC\n"));
        QCOMPARE(w.documentFormat()->encoding, TextFileFormat::Utf8);
        // The next save is a plain UTF-8 save.
        w.surface()->setSelText("x");
        QVERIFY(w.documents().Save());
        QCOMPARE(w.statusPanel(1)->text(), QStringLiteral("Done"));
        QVERIFY(!mustSaveAsUtf8(QStringLiteral("\u00FF"), TextFileFormat{TextFileFormat::Latin1}));
        QVERIFY(mustSaveAsUtf8(QStringLiteral("\u0100"), TextFileFormat{TextFileFormat::Latin1}));
        w.close();
    }
};

QTEST_MAIN(TestSaveFile)
#include "tst_savefile.moc"
