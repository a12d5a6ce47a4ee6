// Crash recovery: the recovery file format and its damage checks, the copy
// written once edits pause and removed when the document is settled, the
// offer at start-up through the scripted prompter, two editors that keep
// apart, and an editor killed with SIGKILL whose text the next start
// offers back.

#include "settings/prefloader.h"
#include "shell/documentfiles.h"
#include "base/editorstate.h"
#include "shell/frmedit.h"
#include "shell/recovery.h"
#include "support/scriptedprompter.h"
#include "support/testenv.h"
#include "surface/surface.h"

#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStatusBar>
#include <QTest>

using namespace qln;
using qln::test::ScriptedPrompter;

namespace {

const QString kRecoverTitle = QStringLiteral("Recover Document");

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString question(const QString &path)
{
    return QStringLiteral("Unsaved changes to %1 were found from a session that did not end "
                          "normally. Recover them?")
        .arg(path);
}

RecoveryRecord record(const QString &path, const QString &text,
                      std::optional<TextFileFormat> format = TextFileFormat{})
{
    return RecoveryRecord{path, format, FileStamp::of(path), text};
}

bool sameRecord(const RecoveryRecord &a, const RecoveryRecord &b)
{
    auto formatKey = [](const std::optional<TextFileFormat> &f) {
        return f ? QStringLiteral("%1%2%3").arg(f->encoding).arg(f->byteOrderMark).arg(f->lineBreak)
                 : QStringLiteral("none");
    };
    return a.path == b.path && a.text == b.text && a.stamp == b.stamp
        && formatKey(a.format) == formatKey(b.format);
}

QStringList copiesIn(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.qrec")}, QDir::Files, QDir::Name);
}

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmedit> open(const QString &file = QString())
    {
        return std::make_unique<frmedit>(file, &m_prompter, ProbePlaces{});
    }
    static void type(frmedit &w, const QString &text)
    {
        w.surface()->setSelStart(w.surface()->length());
        w.surface()->setSelText(text);
    }
    // The copy a window keeps, read back; nothing when there is none.
    static std::optional<RecoveryRecord> copyOf(frmedit &w)
    {
        w.recovery().waitForWrites();
        return readRecoveryFile(w.recovery().sessionFile());
    }
    static QString copyText(frmedit &w)
    {
        const std::optional<RecoveryRecord> r = copyOf(w);
        return r ? r->text : QStringLiteral("<no copy>");
    }
    static QString fileText(const QString &file)
    {
        const std::optional<RecoveryRecord> r = readRecoveryFile(file);
        return r ? r->text : QStringLiteral("<no copy>");
    }
    // A copy left by an editor that is gone: a recovery file nobody locks.
    QString leaveOrphan(const QString &name, const RecoveryRecord &r)
    {
        QDir().mkpath(m_folder);
        const QString file = m_folder + QLatin1Char('/') + name + QStringLiteral(".qrec");
        return writeRecoveryFile(file, r) ? file : QString();
    }

    std::unique_ptr<test::TestEnv> m_env;
    ScriptedPrompter m_prompter;
    QString m_folder; // the recovery folder
    QString m_file;   // a document on disk

private slots:
    void init()
    {
        m_env = std::make_unique<test::TestEnv>();
        m_prompter.clear();
        QVERIFY(test::installFactorySettings(m_prompter));
        m_folder = m_env->stateHome() + QStringLiteral("/QLN/recovery");
        m_file = m_env->path(QStringLiteral("Doc.java"));
        QVERIFY(writeFile(m_file, "class Doc {}\n"));
    }

    void cleanup()
    {
        QCOMPARE(m_prompter.pending(), 0); // every scripted answer was asked for
        editorState() = EditorState{};
    }

    void folderFollowsTheStateHome()
    {
        QCOMPARE(defaultRecoveryFolder(), m_folder);
        const QByteArray old = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", "relative/path"); // not absolute: ignored
        QCOMPARE(defaultRecoveryFolder(), QDir::homePath() + QStringLiteral("/.local/state/QLN/recovery"));
        qunsetenv("XDG_STATE_HOME");
        QCOMPARE(defaultRecoveryFolder(), QDir::homePath() + QStringLiteral("/.local/state/QLN/recovery"));
        qputenv("XDG_STATE_HOME", old);
    }

    void recordsRoundTrip_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("format"); // -1 none, else encoding*100 + bom*10 + break
        QTest::newRow("new document") << "" << "class A {\r\n}" << -1;
        QTest::newRow("empty text") << "/tmp/E.java" << "" << 0;
        QTest::newRow("Latin-1, LF") << "/tmp/L.java" << QStringLiteral("gr\u00fc\u00df\r\n") << 101;
        QTest::newRow("UTF-8 BOM, CR") << "/tmp/B.java" << QStringLiteral("\u20ac \U0001F600") << 12;
        QTest::newRow("odd path") << QStringLiteral("/tmp/a b/%41\n\u00e9.java") << "x\r\n\r\n" << 0;
        QTest::newRow("header-like text") << "/p" << "QLN recovery 1\nlength 3\n\n" << 0;
    }

    void recordsRoundTrip()
    {
        QFETCH(QString, path);
        QFETCH(QString, text);
        QFETCH(int, format);
        std::optional<TextFileFormat> f;
        if (format >= 0)
            f = TextFileFormat{TextFileFormat::Encoding(format / 100), bool(format / 10 % 10),
                               TextFileFormat::LineBreak(format % 10)};
        RecoveryRecord r{path, f, FileStamp::of(m_file), text};
        const std::optional<RecoveryRecord> back = decodeRecovery(encodeRecovery(r));
        QVERIFY(back);
        QVERIFY(sameRecord(*back, r));
    }

    void damagedCopiesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString doc = QStringLiteral("/tmp/D.java");
        const QByteArray good = encodeRecovery(record(doc, QStringLiteral("class Doc {}\r\nint x;\r\n")));
        QVERIFY(decodeRecovery(good));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated body") << good.chopped(1);
        QTest::newRow("truncated header") << good.left(good.indexOf("length"));
        QTest::newRow("extra bytes") << good + "x";
        QByteArray flipped = good;
        flipped[flipped.size() - 3] = 'Y';
        QTest::newRow("changed byte") << flipped;
        QTest::newRow("not ours") << QByteArray("class Doc {}\n");
        QTest::newRow("binary") << QByteArray("QLN recovery 1\n\0\x01\x02\xff", 19);
        QByteArray badFormat = good;
        badFormat.replace("format UTF-8 nobom CRLF", "format EBCDIC nobom CRLF");
        QTest::newRow("unknown encoding") << badFormat;
        QByteArray noSum = good;
        noSum.remove(noSum.indexOf("sha1"), 46);
        QTest::newRow("no checksum") << noSum;
        // A body that is not UTF-8, with a matching checksum and length.
        RecoveryRecord r = record(doc, QString());
        QByteArray latin = encodeRecovery(r);
        latin.replace("length 0", "length 2");
        latin.replace("sha1 da39a3ee5e6b4b0d3255bfef95601890afd80709",
                      "sha1 " + QCryptographicHash::hash("\xfc\xfc", QCryptographicHash::Sha1).toHex());
        QTest::newRow("not UTF-8") << latin + "\xfc\xfc";
    }

    void damagedCopiesAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!decodeRecovery(bytes));
        const QString file = m_env->path(QStringLiteral("bad.qrec"));
        QVERIFY(writeFile(file, bytes));
        QVERIFY(!readRecoveryFile(file));
    }

    void copyIsWrittenOnceEditsPause()
    {
        // A bare surface with the recovery attached the way the window does it.
        Surface surface;
        DocumentRecovery recovery(m_folder);
        QVERIFY(recovery.start());
        bool modified = true;
        recovery.setSource({[&] { return modified; }, [&] { return surface.revision(); },
                            [&] { return record(m_file, surface.text()); }});
        recovery.setDelay(200);
        connect(&surface, &Surface::changed, &recovery, &DocumentRecovery::noteEdit);
        for (int i = 0; i < 30; ++i)
            surface.replace(surface.length(), 0, QStringLiteral("k"));
        // Nothing is written while typing goes on.
        QCOMPARE(recovery.writesDone(), 0);
        QVERIFY(!QFile::exists(recovery.sessionFile()));
        QTRY_COMPARE_WITH_TIMEOUT(recovery.writesDone(), 1, 20000);
        QCOMPARE(fileText(recovery.sessionFile()), QString(30, QLatin1Char('k')));
        // Thirty edits, one write; with no new edit nothing more is written.
        QTest::qWait(3 * recovery.delay());
        QCOMPARE(recovery.writesDone(), 1);
        recovery.writeNow();
        recovery.waitForWrites();
        QCOMPARE(recovery.writesDone(), 1);

        // Back at the saved text: the copy goes at the next pause.
        surface.replace(0, 1, QString());
        modified = false;
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(recovery.sessionFile()), 20000);
        recovery.finish();
        QVERIFY(copiesIn(m_folder).isEmpty());
    }

    void copyGoesAwayWhenTheDocumentIsSettled_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("kept");
        QTest::newRow("saved") << "Save" << false;
        QTest::newRow("New, answered No") << "new" << false;
        QTest::newRow("window closed, answered No") << "close No" << false;
        QTest::newRow("window closed, answered Cancel") << "close Cancel" << true;
        QTest::newRow("window ended without asking") << "end" << true;
    }

    void copyGoesAwayWhenTheDocumentIsSettled()
    {
        QFETCH(QString, how);
        QFETCH(bool, kept);
        auto w = open(m_file);
        type(*w, QStringLiteral("// one"));
        w->recovery().writeNow();
        QCOMPARE(copyText(*w), QStringLiteral("class Doc {}\r\n// one"));
        const QString copy = w->recovery().sessionFile();
        type(*w, QStringLiteral(" two")); // not yet written when the window goes

        if (how == QLatin1String("Save")) {
            w->menuItem(how)->trigger();
        } else if (how == QLatin1String("new")) {
            m_prompter.answer(MsgAnswer::No);
            w->menuItem(how)->trigger();
        } else if (how.startsWith(QLatin1String("close"))) {
            m_prompter.answer(how.endsWith(QLatin1String("No")) ? MsgAnswer::No : MsgAnswer::Cancel);
            w->close();
        }
        w->recovery().waitForWrites();
        QCOMPARE(QFile::exists(copy), kept);
        w.reset(); // the editor ends
        QCOMPARE(QFile::exists(copy), kept);
        if (kept) // the latest text, written as the editor ended
            QCOMPARE(fileText(copy), QStringLiteral("class Doc {}\r\n// one two"));
    }

    void recoveredAtStart_data()
    {
        QTest::addColumn<bool>("named");
        QTest::addColumn<int>("answer");
        QTest::newRow("Yes") << true << int(MsgAnswer::Yes);
        QTest::newRow("No") << true << int(MsgAnswer::No);
        QTest::newRow("a new document, Yes") << false << int(MsgAnswer::Yes);
    }

    void recoveredAtStart()
    {
        QFETCH(bool, named);
        QFETCH(int, answer);
        const QString text = QStringLiteral("class Doc {\r\n  // gr\u00fc\u00df\r\n}");
        const TextFileFormat latin1{TextFileFormat::Latin1, false, TextFileFormat::Lf};
        const QString orphan =
            leaveOrphan(QStringLiteral("4242-1-0"), record(named ? m_file : QString(), text, latin1));
        QVERIFY(!orphan.isEmpty());
        m_prompter.answer(MsgAnswer(answer));
        auto w = open();

        QCOMPARE(m_prompter.asked().size(), size_t(1));
        const MessageRequest &asked = m_prompter.asked().front().message;
        QCOMPARE(asked.text, question(named ? m_file : QStringLiteral("a new document")));
        QCOMPARE(asked.title, kRecoverTitle);
        QCOMPARE(asked.buttons, MsgButtons::YesNo);
        QVERIFY(!QFile::exists(orphan)); // taken over or deleted
        if (answer == int(MsgAnswer::No)) {
            QCOMPARE(w->surface()->text(), QString());
            QVERIFY(copiesIn(m_folder).isEmpty());
            return;
        }
        QCOMPARE(w->surface()->text(), text);
        QCOMPARE(w->documentPath(), named ? m_file : QString());
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [%1] - Quillon*")
                                       .arg(named ? QStringLiteral("Doc.java") : QString()));
        // The text stays safe in this editor's own copy until it is saved.
        QCOMPARE(copiesIn(m_folder), QStringList{QFileInfo(w->recovery().sessionFile()).fileName()});
        QCOMPARE(copyText(*w), text);
        if (!named)
            return;
        // Saved in the file's own format; the copy goes.
        w->menuItem(QStringLiteral("Save"))->trigger();
        QCOMPARE(readFile(m_file), QByteArray("class Doc {\n  // gr\xfc\xdf\n}"));
        w->recovery().waitForWrites();
        QVERIFY(copiesIn(m_folder).isEmpty());
    }

    void recoveredDocumentStillGuardsItsFile()
    {
        leaveOrphan(QStringLiteral("4242-1-0"), record(m_file, QStringLiteral("mine")));
        QVERIFY(writeFile(m_file, "changed by another program since the crash"));
        m_prompter.answer(MsgAnswer::Yes); // recover
        auto w = open();
        m_prompter.answer(MsgAnswer::No); // do not overwrite
        w->menuItem(QStringLiteral("Save"))->trigger();
        QCOMPARE(m_prompter.asked().back().message.title, QStringLiteral("File changed on disk"));
        QCOMPARE(readFile(m_file), QByteArray("changed by another program since the crash"));
    }

    void oneDocumentPerStart()
    {
        const QString first = leaveOrphan(QStringLiteral("1-1-0"), record(m_file, QStringLiteral("one")));
        QTest::qWait(20); // the second copy is the newer one
        const QString second = leaveOrphan(QStringLiteral("2-1-0"), record(QString(), QStringLiteral("two")));
        m_prompter.answer(MsgAnswer::Yes);
        auto w = open();
        QCOMPARE(m_prompter.messages(), QStringList{question(m_file)}); // the oldest first
        QCOMPARE(w->surface()->text(), QStringLiteral("one"));
        QVERIFY(!QFile::exists(first) && QFile::exists(second));

        // The next editor offers the other one.
        m_prompter.answer(MsgAnswer::Yes);
        auto next = open();
        QCOMPARE(m_prompter.messages().last(), question(QStringLiteral("a new document")));
        QCOMPARE(next->surface()->text(), QStringLiteral("two"));
    }

    void damagedCopiesAreLeftInPlaceAndNamed()
    {
        QDir().mkpath(m_folder);
        const QString damaged = m_folder + QStringLiteral("/7-1-0.qrec");
        QVERIFY(writeFile(damaged, encodeRecovery(record(m_file, QStringLiteral("long text"))).chopped(4)));
        const QString good = leaveOrphan(QStringLiteral("8-1-0"), record(m_file, QStringLiteral("good")));
        m_prompter.answer(MsgAnswer::No);
        m_prompter.answer(MsgAnswer::Ok);
        auto w = open();
        const QStringList shown = m_prompter.messages();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0], question(m_file));
        QVERIFY2(shown[1].contains(damaged), qPrintable(shown[1]));
        QCOMPARE(m_prompter.asked()[1].message.title, kRecoverTitle);
        QCOMPARE(m_prompter.asked()[1].message.buttons, MsgButtons::Ok);
        QVERIFY(QFile::exists(damaged) && !QFile::exists(good));
        QCOMPARE(w->surface()->text(), QString());
    }

    void twoWindowsKeepTheirOwnCopies()
    {
        auto first = open(m_file);
        type(*first, QStringLiteral("// first"));
        first->recovery().writeNow();
        QVERIFY(copyOf(*first));
        auto second = open(); // asks nothing: the first editor is still running
        QVERIFY(m_prompter.asked().empty());
        type(*second, QStringLiteral("second"));
        second->recovery().writeNow();
        QCOMPARE(copyText(*second), QStringLiteral("second"));
        QCOMPARE(copyText(*first), QStringLiteral("class Doc {}\r\n// first"));
        QVERIFY(first->recovery().sessionFile() != second->recovery().sessionFile());
        QCOMPARE(copiesIn(m_folder).size(), 2);
    }

    void killedEditorIsOfferedBack()
    {
        const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/recoverychild");
        QVERIFY(QFile::exists(program));
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(program, {m_env->stateHome(), m_file, QStringLiteral("// typed")});
        QVERIFY(child.waitForStarted());
        QByteArray line;
        while (!line.endsWith('\n') && child.waitForReadyRead(30000))
            line += child.readAll();
        QVERIFY2(line.startsWith("written "), line.constData());
        const QString copy = QString::fromLocal8Bit(line.mid(8).trimmed());
        QVERIFY(QFile::exists(copy));

        // While the other editor runs, its copy is not offered.
        auto meanwhile = open();
        QVERIFY(m_prompter.asked().empty());
        meanwhile.reset();
        QVERIFY(QFile::exists(copy));

        child.kill(); // SIGKILL: no chance to clean up
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY(QFile::exists(copy));

        m_prompter.answer(MsgAnswer::Yes);
        auto w = open();
        QCOMPARE(m_prompter.messages(), QStringList{question(m_file)});
        QCOMPARE(w->surface()->text(), QStringLiteral("class Doc {}\r\n// typed"));
        QCOMPARE(w->documentPath(), m_file);
        QVERIFY(w->windowTitle().endsWith(QLatin1Char('*')));
        QVERIFY(!QFile::exists(copy));
    }

    void unusableFolderTurnsRecoveryOff()
    {
        // The state home is a file, so no folder can be made under it.
        const QString blocker = m_env->path(QStringLiteral("blocker"));
        QVERIFY(writeFile(blocker, "x"));
        qputenv("XDG_STATE_HOME", blocker.toLocal8Bit());
        auto w = open(m_file);
        QVERIFY(!w->recovery().isEnabled());
        const QString message = w->findChild<QStatusBar *>(QStringLiteral("stb"))->currentMessage();
        QVERIFY2(message.startsWith(QStringLiteral("Crash recovery is off")), qPrintable(message));
        QVERIFY(message.contains(blocker));
        for (int i = 0; i < 5; ++i) {
            type(*w, QStringLiteral("x"));
            w->recovery().writeNow();
        }
        w->recovery().waitForWrites();
        QCOMPARE(w->recovery().writesDone(), 0);
        QVERIFY(m_prompter.asked().empty()); // no box, ever
    }
};

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
