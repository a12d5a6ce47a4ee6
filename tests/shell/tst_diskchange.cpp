// Files changed by another program while they are open, through the main
// window offscreen with every prompt scripted: Save asks before writing over
// a file that changed since it was opened or saved; activating the window
// offers to reload an unedited document, warns about an edited one and keeps
// the text of a deleted file. An atomic replace (a new file under the same
// name, same size and time) and an in-place change that puts size and time
// back (`touch -r`) are noticed too; a change of mode alone is not a change.

#include "shell/backgroundload.h"
#include "shell/diskchange.h"
#include "shell/documentfiles.h"
#include "support/windowtest.h"

#include <QAction>
#include <QSignalSpy>
#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>

using namespace qln;
using qln::test::readFile;
using qln::test::ScriptedPrompter;
using qln::test::writeFile;

namespace {

using Asked = ScriptedPrompter::Asked;

bool setModifiedTime(const QString &path, const timespec &when)
{
    const timespec times[2] = {when, when};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

timespec modifiedTime(const QString &path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mtim;
}

// How another program changes the file; the file holds `before` (5 bytes).
enum class Change {
    None,
    Append,
    SameSizeNewTime,
    AtomicReplace,
    InPlaceTimeKept,
    ModeOnly,
    Delete
};

// Leaves the file changed as `how` says. The atomic replace keeps size and
// modification time to the nanosecond, so only the file's identity differs.
bool changeFile(const QString &path, Change how)
{
    const timespec before = modifiedTime(path);
    switch (how) {
    case Change::None: return true;
    case Change::Append: {
        QFile f(path);
        return f.open(QIODevice::Append) && f.write("// more\n") == 8;
    }
    case Change::SameSizeNewTime: {
        timespec later = before;
        later.tv_sec += 7;
        return writeFile(path, "other") && setModifiedTime(path, later);
    }
    case Change::AtomicReplace: {
        const QString temp = path + QStringLiteral(".new");
        return writeFile(temp, "other") && setModifiedTime(temp, before)
               && ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData())
                      == 0;
    }
    case Change::InPlaceTimeKept: // the same file, same size, its time put back
        return writeFile(path, "other") && setModifiedTime(path, before);
    case Change::ModeOnly:
        return QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadGroup
                                               | QFile::ReadOther);
    case Change::Delete: return QFile::remove(path);
    }
    return false;
}

QString describe(const Asked &a)
{
    if (a.kind != Asked::Message)
        return QStringLiteral("<not a message>");
    return QStringLiteral("%1|%2|%3")
        .arg(a.message.title)
        .arg(int(a.message.icon))
        .arg(int(a.message.buttons));
}

} // namespace

Q_DECLARE_METATYPE(Change)

class TestDiskChange : public QObject, test::WindowTest {
    Q_OBJECT

    // A window on the file with its start-up file check run.
    std::unique_ptr<frmedit> openSettled(const QString &file)
    {
        auto w = open(file);
        QCoreApplication::sendPostedEvents(w.get(), QEvent::MetaCall);
        return w;
    }
    // Runs the file check that activating the window queues.
    static void activate(frmedit &w)
    {
        w.Form_Activate();
        QCoreApplication::sendPostedEvents(&w, QEvent::MetaCall);
    }
    static void edit(frmedit &w) { append(w, QStringLiteral("!")); }

    QString m_file;

private slots:
    void init()
    {
        initWindowTest();
        m_file = m_env->path(QStringLiteral("A.java"));
        QVERIFY(writeFile(m_file, "class"));
    }
    void cleanup() { cleanupWindowTest(); }

    void stampsTellVersionsApart()
    {
        const FileStamp first = FileStamp::of(m_file);
        QVERIFY(first.exists && first.size == 5 && first.inode != 0);
        QCOMPARE(FileStamp::of(m_file), first);
        QCOMPARE(FileStamp::fromText(first.toText()), first);
        QCOMPARE(FileStamp::fromText(QStringLiteral("none")), FileStamp{});
        QCOMPARE(FileStamp::fromText(QStringLiteral("1 2 x 4")), FileStamp{});
        // A stamp of an older editor's recovery file still reads.
        const FileStamp old = FileStamp::fromText(QStringLiteral("5 2 3 4"));
        QVERIFY(old.exists && old.sameVersion(FileStamp{true, 5, 2, 3, 4, 9, 1}) && !old.digest);

        // The bytes read come with their digest (XXH64, as the reference
        // implementation gives it).
        QCOMPARE(contentDigest(""), Q_UINT64_C(0xEF46DB3751D8E999));
        QCOMPARE(contentDigest("abc"), Q_UINT64_C(0x44BC2CF5AD770999));
        const FileRead read = readRegularFile(m_file);
        QCOMPARE(read.result, FileRead::Read);
        QCOMPARE(read.bytes, QByteArray("class"));
        QVERIFY(read.stamp.sameVersion(first) && read.stamp.digest == contentDigest("class"));
        QCOMPARE(FileStamp::fromText(read.stamp.toText()), read.stamp);
        QCOMPARE(readRegularFile(m_env->configHome()).result, FileRead::Special);
        QCOMPARE(readRegularFile(m_env->path(QStringLiteral("missing"))).result, FileRead::Missing);
        QVERIFY(!FileStamp::of(m_env->path(QStringLiteral("missing"))).exists);
        QVERIFY(!FileStamp::of(m_env->configHome()).exists); // a folder is no document
        QVERIFY(changeFile(m_file, Change::AtomicReplace));
        const FileStamp replaced = FileStamp::of(m_file);
        QCOMPARE(replaced.size, first.size);
        QCOMPARE(replaced.modifiedNs, first.modifiedNs);
        QVERIFY(replaced != first);
    }

    // The file is read to its end as it is then: grown, deleted or of a
    // size its file system does not tell (a /proc file says 0 and comes
    // in short reads); the progress stops it at once.
    void readingFollowsTheFileAsItChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("steady") << "";
        QTest::newRow("grows") << "grow";
        QTest::newRow("deleted") << "delete";
        QTest::newRow("cancelled") << "cancel";
    }
    void readingFollowsTheFileAsItChanges()
    {
        QFETCH(QString, change);
        const QByteArray piece(int(kReadPiece), 'x');
        const QByteArray bytes = piece + piece + "tail";
        QVERIFY(writeFile(m_file, bytes));
        int calls = 0;
        const FileRead read = readRegularFile(m_file, [&](qint64 done, qint64 expected) {
            ++calls;
            if (expected != bytes.size() || done > expected + 5)
                return false;
            if (calls == 1 && change == QLatin1String("grow")) {
                QFile f(m_file);
                return f.open(QIODevice::Append) && f.write("more") == 4;
            }
            if (calls == 1 && change == QLatin1String("delete"))
                return QFile::remove(m_file);
            return change != QLatin1String("cancel");
        });
        if (change == QLatin1String("cancel")) {
            QCOMPARE(read.result, FileRead::Cancelled);
            QCOMPARE(calls, 1);
            QVERIFY(read.bytes.isEmpty());
            return;
        }
        QCOMPARE(read.result, FileRead::Read);
        QVERIFY(calls >= 3); // one per piece
        const QByteArray expected = change == QLatin1String("grow") ? bytes + "more" : bytes;
        QCOMPARE(read.bytes, expected);
        QCOMPARE(read.stamp.size, qint64(bytes.size())); // as it was opened
        QCOMPARE(read.stamp.digest, contentDigest(expected));

        const FileRead proc = readRegularFile(QStringLiteral("/proc/self/cmdline"));
        QCOMPARE(proc.result, FileRead::Read);
        QCOMPARE(proc.stamp.size, 0);
        QVERIFY(
            proc.bytes.startsWith(QFile::encodeName(QCoreApplication::applicationFilePath()) + '\0')
            || proc.bytes.contains("tst_diskchange"));
    }

    // A file made ready in the background: read, decoded and prepared on
    // the loading thread; a cancel while reading or while preparing gives
    // nothing; refusals say why.
    void backgroundLoadTakesTheFileOverOrNothing()
    {
        const QByteArray piece(int(kReadPiece), ' ');
        QVERIFY(writeFile(m_file, "class A {}\n" + piece + "\n}\n"));
        auto colourAll = [](Surface &s, QString &&text) {
            s.setText(std::move(text));
            s.setStyleRanges({{0, s.length()}}, {0x0000FF, true, false, false});
        };
        std::atomic<int> notified{0};
        BackgroundLoad done(m_file, kMaxFileBytes, colourAll, [&] { ++notified; });
        QTRY_VERIFY(done.isFinished());
        QCOMPARE(notified.load(), 1);
        BackgroundLoad::Result r = done.take();
        QVERIFY(r.ok());
        QCOMPARE(r.read.result, FileRead::Read);
        QCOMPARE(r.surface->text(), "class A {}\r\n" + QString(piece) + "\r\n}\r\n");
        QCOMPARE(r.surface->formatAt(r.surface->length() - 1).color, 0x0000FFu);
        QCOMPARE(r.read.stamp.digest, contentDigest(readFile(m_file)));

        // Taken over by the document in one edit it cannot undo.
        Surface document;
        document.setText(QStringLiteral("old"));
        QVERIFY(document.replace(0, 0, QStringLiteral("an ")) && document.canUndo());
        document.setLocked(true, QStringLiteral("busy"));
        QSignalSpy refused(&document, &Surface::textRefused);
        QVERIFY(!document.replace(0, 0, QStringLiteral("typed")));
        document.undo();
        QCOMPARE(refused.size(), 2);
        QCOMPARE(refused.at(0).at(0).toString(), QStringLiteral("busy"));
        document.takeContent(*r.surface);
        QCOMPARE(document.length(), int(piece.size()) + 17);
        QVERIFY(document.formatAt(0).bold && !document.canUndo());
        QCOMPARE(r.surface->length(), 0);
        QCOMPARE(document.text(), "class A {}\r\n" + QString(piece) + "\r\n}\r\n");

        // Cancelled while preparing: the preparation runs out, nothing comes.
        std::atomic<bool> preparing{false};
        BackgroundLoad whilePreparing(m_file, kMaxFileBytes, [&](Surface &s, QString &&text) {
            preparing = true;
            s.setText(std::move(text));
            while (!whilePreparing.isCancelled())
                std::this_thread::yield();
        });
        QTRY_VERIFY(preparing.load());
        QVERIFY(!whilePreparing.isFinished());
        whilePreparing.cancel();
        QTRY_VERIFY(whilePreparing.isFinished());
        r = whilePreparing.take();
        QVERIFY(!r.ok());
        QCOMPARE(r.read.result, FileRead::Cancelled);

        // Cancelled at once: reading stops after its first piece at most.
        BackgroundLoad atOnce(m_file, kMaxFileBytes, colourAll);
        atOnce.cancel();
        r = atOnce.take();
        QVERIFY(!r.ok());
        QCOMPARE(r.read.result, FileRead::Cancelled);

        // Too large for the limit, or not text at all.
        BackgroundLoad large(m_file, 1000, colourAll);
        r = large.take();
        QVERIFY(!r.ok() && r.tooLarge && r.size > 1000);
        QVERIFY(writeFile(m_file, QByteArray("\xCA\xFE\0\0", 4)));
        BackgroundLoad binary(m_file, kMaxFileBytes, colourAll);
        r = binary.take();
        QVERIFY(!r.ok() && r.notText && !r.tooLarge);
    }

    void saveAsksBeforeOverwritingAChangedFile_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<int>("answer"); // -1: no question expected
        const int yes = int(MsgAnswer::Yes), no = int(MsgAnswer::No);
        QTest::newRow("unchanged") << Change::None << -1;
        QTest::newRow("grown, Yes") << Change::Append << yes;
        QTest::newRow("grown, No") << Change::Append << no;
        QTest::newRow("same size, new time, No") << Change::SameSizeNewTime << no;
        QTest::newRow("atomic replace, Yes") << Change::AtomicReplace << yes;
        QTest::newRow("atomic replace, No") << Change::AtomicReplace << no;
        QTest::newRow("in place, size and time kept, No") << Change::InPlaceTimeKept << no;
        QTest::newRow("in place, size and time kept, Yes") << Change::InPlaceTimeKept << yes;
        QTest::newRow("mode only") << Change::ModeOnly << -1;
        QTest::newRow("deleted: saved again") << Change::Delete << -1;
    }

    void saveAsksBeforeOverwritingAChangedFile()
    {
        QFETCH(Change, change);
        QFETCH(int, answer);
        auto w = openSettled(m_file);
        edit(*w);
        QVERIFY(changeFile(m_file, change));
        const QByteArray other = readFile(m_file);
        if (answer >= 0)
            m_prompter.answer(MsgAnswer(answer));
        w->menuItem(QStringLiteral("Save"))->trigger();

        const bool asked = answer >= 0;
        QCOMPARE(m_prompter.asked().size(), size_t(asked ? 1 : 0));
        if (asked) {
            const Asked &a = m_prompter.asked().front();
            QCOMPARE(describe(a), QStringLiteral("File changed on disk|%1|%2")
                                      .arg(int(MsgIcon::Exclamation))
                                      .arg(int(MsgButtons::YesNo)));
            QVERIFY(a.message.text.contains(m_file));
        }
        const bool written = answer != int(MsgAnswer::No);
        QCOMPARE(readFile(m_file), written ? QByteArray("class!") : other);
        QCOMPARE(marked(*w), !written);
        QCOMPARE(w->surface()->text(), QStringLiteral("class!"));

        // After a save the file is known again: the next save asks nothing.
        if (written) {
            edit(*w);
            w->menuItem(QStringLiteral("Save"))->trigger();
            QCOMPARE(readFile(m_file), QByteArray("class!!"));
            QCOMPARE(m_prompter.asked().size(), size_t(asked ? 1 : 0));
        }
    }

    void saveAsOntoTheChangedFileAsksOnlyOnce()
    {
        auto w = openSettled(m_file);
        edit(*w);
        QVERIFY(changeFile(m_file, Change::Append));
        m_prompter.answerText(m_file);     // Save As: the same file
        m_prompter.answer(MsgAnswer::Yes); // "Do you wish to overwrite the file?"
        w->menuItem(QStringLiteral("Save_as"))->trigger();
        QCOMPARE(m_prompter.messages(),
                 QStringList{QStringLiteral("Do you wish to overwrite the file?")});
        QCOMPARE(readFile(m_file), QByteArray("class!"));
    }

    void activationLooksAtTheFile_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<bool>("edited");
        QTest::addColumn<int>("answer");    // -1: an OK box, -2: nothing asked
        QTest::addColumn<QString>("title"); // of the box
        QTest::addColumn<QString>("text");  // the document afterwards
        QTest::addColumn<bool>("modified"); // afterwards
        const int yes = int(MsgAnswer::Yes), no = int(MsgAnswer::No);
        QTest::newRow("unchanged") << Change::None << false << -2 << ""
                                   << "class" << false;
        QTest::newRow("unedited, reload Yes")
            << Change::SameSizeNewTime << false << yes << "File changed on disk"
            << "other" << false;
        QTest::newRow("unedited, reload No")
            << Change::Append << false << no << "File changed on disk"
            << "class" << false;
        QTest::newRow("unedited, atomic replace, reload Yes")
            << Change::AtomicReplace << false << yes << "File changed on disk"
            << "other" << false;
        QTest::newRow("unedited, in place with size and time kept, reload Yes")
            << Change::InPlaceTimeKept << false << yes << "File changed on disk"
            << "other" << false;
        QTest::newRow("edited, in place with size and time kept: a warning")
            << Change::InPlaceTimeKept << true << -1 << "File changed on disk"
            << "class!" << true;
        QTest::newRow("mode only") << Change::ModeOnly << false << -2 << ""
                                   << "class" << false;
        QTest::newRow("edited: a warning only")
            << Change::Append << true << -1 << "File changed on disk"
            << "class!" << true;
        QTest::newRow("unedited, deleted: kept as unsaved")
            << Change::Delete << false << -1 << "File deleted"
            << "class" << true;
        QTest::newRow("edited, deleted") << Change::Delete << true << -1 << "File deleted"
                                         << "class!" << true;
    }

    void activationLooksAtTheFile()
    {
        QFETCH(Change, change);
        QFETCH(bool, edited);
        QFETCH(int, answer);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(bool, modified);
        auto w = openSettled(m_file);
        if (edited)
            edit(*w);
        QVERIFY(changeFile(m_file, change));
        if (answer >= 0)
            m_prompter.answer(MsgAnswer(answer));
        else if (answer == -1)
            m_prompter.answer(MsgAnswer::Ok);
        activate(*w);

        QCOMPARE(m_prompter.asked().size(), size_t(answer == -2 ? 0 : 1));
        if (answer != -2) {
            const MessageRequest &m = m_prompter.asked().front().message;
            QCOMPARE(m.title, title);
            QCOMPARE(m.buttons, answer >= 0 ? MsgButtons::YesNo : MsgButtons::Ok);
            QVERIFY(m.text.contains(m_file));
        }
        QCOMPARE(w->surface()->text(), text);
        QCOMPARE(marked(*w), modified);
        QCOMPARE(w->documentPath(), m_file);

        // Told once: activating again asks nothing until the file changes again.
        activate(*w);
        QCOMPARE(m_prompter.asked().size(), size_t(answer == -2 ? 0 : 1));
    }

    void declinedReloadStillGuardsTheSave()
    {
        auto w = openSettled(m_file);
        QVERIFY(changeFile(m_file, Change::Append));
        m_prompter.answer(MsgAnswer::No); // do not reload
        activate(*w);
        edit(*w);
        m_prompter.answer(MsgAnswer::No); // do not overwrite
        w->menuItem(QStringLiteral("Save"))->trigger();
        QCOMPARE(m_prompter.asked().size(), size_t(2));
        QCOMPARE(m_prompter.asked().back().message.buttons, MsgButtons::YesNo);
        QCOMPARE(readFile(m_file), QByteArray("class// more\n"));
        QVERIFY(marked(*w));
    }

    void newDocumentForgetsTheFile()
    {
        auto w = openSettled(m_file);
        w->menuItem(QStringLiteral("new"))->trigger();
        QVERIFY(changeFile(m_file, Change::Delete));
        activate(*w);
        QVERIFY(m_prompter.asked().empty());
        QVERIFY(!marked(*w));
    }
};

QTEST_MAIN(TestDiskChange)
#include "tst_diskchange.moc"
