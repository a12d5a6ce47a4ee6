// Crash recovery: the journal format and its damage checks, random edit
// sequences replayed through the journal, the copy kept up while typing
// goes on and removed when the document is settled, the offer at start-up
// through the scripted prompter (damaged journals, symbolic links and other
// odd entries included), failed writes, two editors that keep apart, and
// editors ended by signals, a fatal error, exit() or their window
// destroyed, whose text the next start offers back, and editors killed
// amid random edits, whose copy holds a text they had.

#include "scriptededits.h"
#include "shell/documentfiles.h"
#include "shell/recovery.h"
#include "support/datarow.h"
#include "support/windowtest.h"

#include <QAction>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStatusBar>
#include <QUrl>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace qln;
using qln::test::readFile;
using qln::test::writeFile;

namespace {

const QString kRecoverTitle = QStringLiteral("Recover Document");

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

QString fileText(const QString &file)
{
    const std::optional<RecoveryReading> r = readRecoveryFile(file);
    return r && r->complete ? r->record.text : QStringLiteral("<no copy>");
}

// A full copy as the first version of the program wrote it.
QByteArray version1File(const QString &path, const QByteArray &body)
{
    return "QLN recovery 1\npath " + QUrl::toPercentEncoding(path, "/")
           + "\nformat UTF-8 nobom CRLF\n" + "stamp none\nlength " + QByteArray::number(body.size())
           + "\nsha1 " + QCryptographicHash::hash(body, QCryptographicHash::Sha1).toHex() + "\n\n"
           + body;
}

// Pieces of random text: ASCII, accents, a euro sign, a character outside
// the 16-bit range, every line-break style, a byte-order mark and a lone
// surrogate.
QString randomText(QRandomGenerator &rng, int pieces)
{
    static const QString kPieces[] = {
        QStringLiteral("a"),          QStringLiteral("Zq"),     QStringLiteral(" "),
        QStringLiteral("{"),          QStringLiteral("\u00e9"), QStringLiteral("\u20ac"),
        QStringLiteral("\U0001F600"), QStringLiteral("\r\n"),   QStringLiteral("\n"),
        QStringLiteral("\r"),         QStringLiteral("\uFEFF"), QString(QChar(0xD83D)),
        QStringLiteral("\t")};
    QString out;
    for (int i = 0; i < pieces; ++i)
        out += kPieces[rng.bounded(int(std::size(kPieces)))];
    return out;
}

// One random edit of the surface: an insertion, a removal, a replacement
// (now and then of most of the text), an undo or a redo.
void randomEdit(Surface &surface, QRandomGenerator &rng)
{
    const int length = surface.length();
    switch (rng.bounded(10)) {
    case 0:
        if (surface.canUndo())
            surface.undo();
        return;
    case 1:
        if (surface.canRedo())
            surface.redo();
        return;
    default: break;
    }
    const int pos = rng.bounded(length + 1);
    int removed = rng.bounded(qMin(length - pos, 12) + 1);
    if (rng.bounded(40) == 0)
        removed = length - pos;
    surface.replace(pos, removed, randomText(rng, rng.bounded(rng.bounded(8) == 0 ? 200 : 6)));
}

} // namespace

class TestRecovery : public QObject, test::WindowTest {
    Q_OBJECT

    // The copy a window keeps, brought up to date and read back; "<no
    // copy>" when there is none.
    static QString copyText(frmedit &w)
    {
        w.recovery().writeNow();
        w.recovery().waitForWrites();
        return fileText(w.recovery().sessionFile());
    }
    // A copy left by an editor that is gone: a recovery file nobody locks.
    QString leaveOrphan(const QString &name, const QByteArray &bytes)
    {
        const QString file = m_folder + QLatin1Char('/') + name + QStringLiteral(".qrec");
        return writeFile(file, bytes) ? file : QString();
    }
    QString leaveOrphan(const QString &name, const RecoveryRecord &r)
    {
        return leaveOrphan(name, encodeRecovery(r));
    }
    QString statusMessage(frmedit &w) const
    {
        return w.findChild<QStatusBar *>(QStringLiteral("stb"))->currentMessage();
    }
    // A second editor (recoverychild, see there) on m_file typing `text`.
    void startChild(QProcess &child, const QString &text, const QStringList &options)
    {
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/recoverychild"),
                    QStringList{m_env->stateHome(), m_file, text} + options);
        QVERIFY(child.waitForStarted());
    }
    // Reads what the child prints until it has printed `what`.
    static QByteArray waitForOutput(QProcess &child, const char *what)
    {
        QByteArray out;
        while (!out.contains(what) && child.waitForReadyRead(30000))
            out += child.readAll();
        return out;
    }
    // A bare surface with recovery attached the way the window does it;
    // the copy is written only when asked for.
    struct Followed {
        Surface surface;
        RecoveryRecord details;
        DocumentRecovery recovery;
        explicit Followed(const QString &folder) : recovery(folder)
        {
            recovery.start();
            recovery.setSource({[] { return true; }, [this] { return details; }});
            recovery.setDelay(3600000);
            recovery.setMaxDelay(3600000);
            recovery.follow(surface);
        }
        std::optional<RecoveryReading> flush()
        {
            recovery.writeNow();
            recovery.waitForWrites();
            return readRecoveryFile(recovery.sessionFile());
        }
    };

    QString m_folder; // the recovery folder
    QString m_file;   // a document on disk

private slots:
    void init()
    {
        initWindowTest();
        m_folder = m_env->stateHome() + QStringLiteral("/QLN/recovery");
        m_file = m_env->path(QStringLiteral("Doc.java"));
        QVERIFY(writeFile(m_file, "class Doc {}\n"));
    }
    void cleanup() { cleanupWindowTest(); }

    void folderFollowsTheStateHome()
    {
        QCOMPARE(defaultRecoveryFolder(), m_folder);
        const QByteArray old = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", "relative/path"); // not absolute: ignored
        QCOMPARE(defaultRecoveryFolder(),
                 QDir::homePath() + QStringLiteral("/.local/state/QLN/recovery"));
        qunsetenv("XDG_STATE_HOME");
        QCOMPARE(defaultRecoveryFolder(),
                 QDir::homePath() + QStringLiteral("/.local/state/QLN/recovery"));
        qputenv("XDG_STATE_HOME", old);
    }

    void recordsRoundTrip_data()
    {
        columns<QString, QString>("path", "text");
        QTest::addColumn<int>("format"); // -1 none, else encoding*100 + bom*10 + break
        row("new document", "", "class A {\r\n}", -1);
        row("empty text", "/tmp/E.java", "", 0);
        row("Latin-1, LF", "/tmp/L.java", QStringLiteral("gr\u00fc\u00df\r\n"), 101);
        row("UTF-8 BOM, CR", "/tmp/B.java", QStringLiteral("\u20ac \U0001F600"), 12);
        row("leading U+FEFF", "/tmp/F.java", QStringLiteral("\uFEFF\uFEFFclass F {}"), 0);
        row("lone surrogates, NUL", "/tmp/S.java",
            QStringLiteral("a") + QChar(0xDC00) + QChar(0xD800) + QChar(0) + "b", 0);
        row("odd path", QStringLiteral("/tmp/a b/%41\n\u00e9.java"), "x\r\n\r\n", 0);
        row("header-like text", "/p", "QLN recovery 2\nlength 3\n\n", 0);
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
        const RecoveryRecord r{path, f, FileStamp::of(m_file), text};
        const std::optional<RecoveryRecord> back = decodeRecovery(encodeRecovery(r));
        QVERIFY(back);
        QVERIFY(sameRecord(*back, r));
        // The same text reached through records after a full copy of
        // something else, the details changed on the way.
        RecoveryRecord start{QStringLiteral("/old"), std::nullopt, FileStamp{},
                             QStringLiteral("old\r\ntext")};
        const QByteArray journal = encodeRecovery(start) + encodeRecoveryEdit({0, 3, text.left(2)})
                                   + encodeRecoveryDetails(r)
                                   + encodeRecoveryEdit({int(text.left(2).size()), 6, text.mid(2)});
        const std::optional<RecoveryReading> replayed = readRecovery(journal);
        QVERIFY(replayed && replayed->complete);
        QVERIFY(sameRecord(replayed->record, r));
    }

    void earlierFullCopiesAreRead()
    {
        // Every character, a leading U+FEFF included.
        const QByteArray body = "\xef\xbb\xbf"
                                "class A {}\r\n";
        const std::optional<RecoveryRecord> r = decodeRecovery(version1File(m_file, body));
        QVERIFY(r);
        QCOMPARE(r->text, QStringLiteral("\uFEFFclass A {}\r\n"));
        QCOMPARE(r->path, m_file);
    }

    void damagedCopiesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString doc = QStringLiteral("/tmp/D.java");
        const QByteArray good =
            encodeRecovery(record(doc, QStringLiteral("class Doc {}\r\nint x;\r\n")));
        QVERIFY(decodeRecovery(good));
        // Cut short anywhere: journalCutAnywhereKeepsTheWholeRecords.
        QByteArray flipped = good;
        flipped[flipped.size() - 3] = 'Y';
        row("changed byte", flipped);
        row("not ours", QByteArray("class Doc {}\n"));
        row("binary", QByteArray("QLN recovery 2\n\0\x01\x02\xff", 19));
        QByteArray badFormat = good;
        badFormat.replace("format UTF-8 nobom CRLF", "format EBCDIC nobom CRLF");
        row("unknown encoding", badFormat);
        QByteArray noSum = good;
        noSum.remove(noSum.indexOf("crc32"), 15);
        row("no checksum", noSum);
        // A body that is not UTF-8, with a matching checksum and length.
        row("not UTF-8", version1File(doc, "\xfc\xfc"));
        row("earlier version, cut short", version1File(doc, "class A {}").chopped(1));
    }
    void damagedCopiesAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!readRecovery(bytes));
        const QString file = m_env->path(QStringLiteral("bad.qrec"));
        QVERIFY(writeFile(file, bytes));
        QString why;
        QVERIFY(!readRecoveryFile(file, &why));
        QVERIFY(!why.isEmpty());
    }

    // Random edits, now and then brought to the copy: the copy read back is
    // the document, character for character, every time.
    void journalFollowsRandomEdits_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u})
            QTest::addRow("seed %u", seed) << seed;
    }
    void journalFollowsRandomEdits()
    {
        QFETCH(quint32, seed);
        QRandomGenerator rng(seed);
        Followed f(m_folder);
        f.details = record(m_file, QString());
        f.surface.setText(randomText(rng, 600));
        for (int step = 0; step < 600; ++step) {
            randomEdit(f.surface, rng);
            if (rng.bounded(50) == 0) // a Save As somewhere else
                f.details.path = m_env->path(QStringLiteral("D%1.java").arg(step));
            if (rng.bounded(4) != 0)
                continue;
            const std::optional<RecoveryReading> copy = f.flush();
            QVERIFY2(copy && copy->complete, qPrintable(QStringLiteral("step %1").arg(step)));
            QCOMPARE(copy->record.text, f.surface.text());
            QCOMPARE(copy->record.path, f.details.path);
        }
        // Records were appended, and the journal was compacted on the way.
        QVERIFY(f.recovery.writesDone() > 2 * f.recovery.fullCopiesDone());
        QVERIFY(f.recovery.fullCopiesDone() > 1);
    }

    // Small edits all over the text until the records outgrow it: the
    // journal is compacted into a full copy of itself, with nothing after
    // it. When the journal was damaged meanwhile (cut inside its last
    // record), compacting it fails: that is said once, and the next copy is
    // a full one of the text, so the copy never holds a wrong text.
    void journalIsCompactedFromItself()
    {
        Followed f(m_folder);
        f.details = record(m_file, QString());
        QSignalSpy problems(&f.recovery, &DocumentRecovery::problem);
        f.surface.setText(QString(300, QLatin1Char('.')));
        QVERIFY(f.flush());
        QCOMPARE(f.recovery.fullCopiesDone(), 1);
        auto plainCopySize = [&] {
            RecoveryRecord r = f.details;
            r.text = f.surface.text();
            return qint64(encodeRecovery(r).size());
        };
        int step = 0;
        auto edit = [&] {
            ++step;
            f.surface.replace((step * 37) % 290, 1, QStringLiteral("x%1").arg(step % 10));
            const std::optional<RecoveryReading> copy = f.flush();
            QVERIFY(copy && copy->complete);
            QCOMPARE(copy->record.text, f.surface.text());
        };
        while (f.recovery.fullCopiesDone() == 1 && step < 100)
            edit();
        QCOMPARE(f.recovery.fullCopiesDone(), 2);
        QCOMPARE(QFileInfo(f.recovery.sessionFile()).size(), plainCopySize());

        edit(); // one record after the new full copy
        const QString file = f.recovery.sessionFile();
        QVERIFY(::truncate(QFile::encodeName(file).constData(), QFileInfo(file).size() - 2) == 0);
        const int full = f.recovery.fullCopiesDone();
        while (f.recovery.fullCopiesDone() == full && step < 200) {
            ++step;
            f.surface.replace((step * 37) % 290, 1, QStringLiteral("y"));
            f.flush();
        }
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.front().front().toString().contains(QLatin1String("damaged")),
                 qPrintable(problems.front().front().toString()));
        edit(); // the full copy of the text, then records again
        QCOMPARE(f.recovery.fullCopiesDone(), full + 1);
    }

    // A copy cut at any byte (an editor killed while appending, a full
    // disk) or torn (a power loss): the full copy and every whole record
    // are read, the rest is reported as damage; a cut inside the full copy
    // is refused.
    void journalCutAnywhereKeepsTheWholeRecords()
    {
        QRandomGenerator rng(11);
        Followed f(m_folder);
        f.surface.setText(randomText(rng, 3000));
        QVERIFY(f.flush());
        const qint64 base = QFileInfo(f.recovery.sessionFile()).size();
        std::vector<std::pair<qint64, QString>> states{{base, f.surface.text()}};
        for (int i = 0; i < 60; ++i) {
            randomEdit(f.surface, rng);
            QVERIFY(f.flush());
            states.emplace_back(QFileInfo(f.recovery.sessionFile()).size(), f.surface.text());
        }
        QCOMPARE(f.recovery.fullCopiesDone(), 1); // one record per edit after it
        const QByteArray bytes = readFile(f.recovery.sessionFile());
        QCOMPARE(qint64(bytes.size()), states.back().first);
        for (qint64 cut = 0; cut <= bytes.size(); ++cut) {
            const std::optional<RecoveryReading> r = readRecovery(QByteArrayView(bytes).first(cut));
            if (cut < base) {
                QVERIFY2(!r, qPrintable(QStringLiteral("cut at %1").arg(cut)));
                continue;
            }
            auto whole =
                std::prev(std::upper_bound(states.begin(), states.end(), cut,
                                           [](qint64 c, const auto &s) { return c < s.first; }));
            QVERIFY2(r, qPrintable(QStringLiteral("cut at %1").arg(cut)));
            QCOMPARE(r->intactBytes, whole->first);
            QCOMPARE(r->complete, cut == whole->first);
            QCOMPARE(r->record.text, whole->second);
        }
        // A torn append: the file grew, but what follows a whole record is
        // zeros, or the next record with one byte changed. That record
        // alone is lost.
        for (size_t i = 0; i + 1 < states.size(); ++i) {
            const qint64 at = states[i].first, next = states[i + 1].first;
            if (next == at)
                continue; // an undo with nothing to undo
            QByteArray zeros = bytes;
            zeros.replace(at, bytes.size() - at, QByteArray(bytes.size() - at, '\0'));
            QByteArray flipped = bytes.first(next);
            flipped[at + rng.bounded(next - at)] ^= char(1 << rng.bounded(8));
            for (const QByteArray &torn : {zeros, flipped}) {
                const std::optional<RecoveryReading> r = readRecovery(torn);
                QVERIFY2(r && !r->complete, qPrintable(QStringLiteral("torn at %1").arg(at)));
                QCOMPARE(r->intactBytes, at);
                QCOMPARE(r->record.text, states[i].second);
            }
        }
    }

    // Steady typing with never a pause: the copy still follows, at most
    // maxDelay() behind; after the pause it holds everything, and only the
    // first copy was a full one.
    void copyKeepsUpWithSteadyTyping()
    {
        Surface surface;
        DocumentRecovery recovery(m_folder);
        QVERIFY(recovery.start());
        bool modified = true;
        recovery.setSource({[&] { return modified; }, [&] { return record(m_file, QString()); }});
        recovery.setDelay(300);
        recovery.setMaxDelay(800);
        recovery.follow(surface);
        const QString start(2000, QLatin1Char('='));
        surface.setText(start);
        QElapsedTimer typing;
        typing.start();
        QString typed;
        while (typing.elapsed() < 3000) {
            typed += QLatin1Char('k');
            surface.replace(surface.length(), 0, QStringLiteral("k"));
            QTest::qWait(50);
        }
        QVERIFY(recovery.writesDone() >= 2);
        const QString during = fileText(recovery.sessionFile());
        QVERIFY2(during.startsWith(start + QLatin1Char('k')) && (start + typed).startsWith(during),
                 qPrintable(during.mid(start.size())));
        QTRY_COMPARE_WITH_TIMEOUT(fileText(recovery.sessionFile()), start + typed, 20000);
        recovery.waitForWrites();
        QCOMPARE(recovery.fullCopiesDone(), 1);
        // With no new edit nothing more is written.
        const int writes = recovery.writesDone();
        QTest::qWait(3 * recovery.delay());
        recovery.writeNow();
        recovery.waitForWrites();
        QCOMPARE(recovery.writesDone(), writes);

        // Back at the saved text: the copy goes at the next pause.
        surface.replace(0, 1, QString());
        modified = false;
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(recovery.sessionFile()), 20000);
        recovery.finish();
        QVERIFY(copiesIn(m_folder).isEmpty());
    }

    void copyGoesAwayWhenTheDocumentIsSettled_data()
    {
        columns<QString, bool>("how", "kept");
        row("saved", "Save", false);
        row("New, answered No", "new", false);
        row("window closed, answered No", "close No", false);
        row("window closed, answered Cancel", "close Cancel", true);
        row("window ended without asking", "end", true);
    }
    void copyGoesAwayWhenTheDocumentIsSettled()
    {
        QFETCH(QString, how);
        QFETCH(bool, kept);
        auto w = open(m_file);
        append(*w, QStringLiteral("// one"));
        QCOMPARE(copyText(*w), QStringLiteral("class Doc {}\r\n// one"));
        const QString copy = w->recovery().sessionFile();
        append(*w, QStringLiteral(" two")); // not yet written when the window goes

        if (how == QLatin1String("Save")) {
            w->menuItem(how)->trigger();
        } else if (how == QLatin1String("new")) {
            m_prompter.answer(MsgAnswer::No);
            w->menuItem(how)->trigger();
        } else if (how.startsWith(QLatin1String("close"))) {
            m_prompter.answer(how.endsWith(QLatin1String("No")) ? MsgAnswer::No
                                                                : MsgAnswer::Cancel);
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
        columns<bool, int>("named", "answer");
        row("Yes", true, int(MsgAnswer::Yes));
        row("No", true, int(MsgAnswer::No));
        row("a new document, Yes", false, int(MsgAnswer::Yes));
    }
    void recoveredAtStart()
    {
        QFETCH(bool, named);
        QFETCH(int, answer);
        const QString text = QStringLiteral("class Doc {\r\n  // gr\u00fc\u00df\r\n}");
        const TextFileFormat latin1{TextFileFormat::Latin1, false, TextFileFormat::Lf};
        const QString orphan = leaveOrphan(QStringLiteral("4242-1-0"),
                                           record(named ? m_file : QString(), text, latin1));
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
        // Coloured as an opened file is: "class" a keyword, "Doc" plain.
        QVERIFY(w->surface()->formatAt(0).color != w->surface()->formatAt(6).color);
        QCOMPARE(w->documentPath(), named ? m_file : QString());
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [%1] - Quillon*")
                                       .arg(named ? QStringLiteral("Doc.java") : QString()));
        // The text stays safe in this editor's own copy until it is saved.
        QCOMPARE(copiesIn(m_folder),
                 QStringList{QFileInfo(w->recovery().sessionFile()).fileName()});
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
        const QString first =
            leaveOrphan(QStringLiteral("1-1-0"), record(m_file, QStringLiteral("one")));
        QTest::qWait(20); // the second copy is the newer one
        const QString second =
            leaveOrphan(QStringLiteral("2-1-0"), record(QString(), QStringLiteral("two")));
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

    // A journal damaged after its full copy offers what is intact, names
    // the file and leaves it in place; one damaged in its full copy is
    // named and left in place.
    void damagedJournalsOfferWhatIsIntact_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("intact"); // "" when nothing can be read
        const QByteArray base = encodeRecovery(record(m_file, QStringLiteral("class Doc {}\r\n")));
        const QByteArray one = encodeRecoveryEdit({14, 0, QStringLiteral("int a;")});
        const QByteArray two = encodeRecoveryEdit({20, 0, QStringLiteral(" int b;")});
        const QString afterOne = QStringLiteral("class Doc {}\r\nint a;");
        row("cut short in a record", base + one + two.chopped(3), afterOne);
        row("cut short in a record's head", base + one + two.left(9), afterOne);
        row("a record past the end", base + one + encodeRecoveryEdit({900, 0, "x"}) + two,
            afterOne);
        row("a record removing past the end", base + one + encodeRecoveryEdit({10, 11, ""}),
            afterOne);
        QByteArray flipped = base + one + two;
        flipped[flipped.size() - 2] = 'X';
        row("a changed record", flipped, afterOne);
        row("garbage after the records", base + one + QByteArray("\0garbage\xff", 9), afterOne);
        row("full copy cut short", base.chopped(2) + one, QString());
    }
    void damagedJournalsOfferWhatIsIntact()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, intact);
        const QString damaged = leaveOrphan(QStringLiteral("7-1-0"), bytes);
        if (!intact.isEmpty())
            m_prompter.answer(MsgAnswer::Yes);
        else
            m_prompter.answer(MsgAnswer::Ok);
        auto w = open();
        const MessageRequest &shown = m_prompter.asked().front().message;
        QCOMPARE(m_prompter.asked().size(), size_t(1));
        QCOMPARE(shown.title, kRecoverTitle);
        QVERIFY2(shown.text.contains(damaged), qPrintable(shown.text));
        QVERIFY(shown.text.contains(QStringLiteral("damaged")));
        QCOMPARE(readFile(damaged), bytes); // left in place, as it was
        if (intact.isEmpty()) {
            QCOMPARE(shown.buttons, MsgButtons::Ok);
            QCOMPARE(w->surface()->text(), QString());
            return;
        }
        QCOMPARE(shown.buttons, MsgButtons::YesNo);
        QCOMPARE(w->surface()->text(), intact);
        QVERIFY(w->windowTitle().endsWith(QLatin1Char('*')));
        QCOMPARE(copyText(*w), intact); // safe in this editor's own copy too
    }

    // Entries named like recovery files that are not regular files are
    // neither read nor written: a symbolic link (to a valid copy, to the
    // user's file), a pipe, a folder. This session's own copy replaced by
    // a link is not written through either.
    void oddEntriesAreSkippedAndNamed()
    {
        QVERIFY(QDir().mkpath(m_folder));
        const QString elsewhere = m_env->path(QStringLiteral("elsewhere.qrec"));
        QVERIFY(writeFile(elsewhere, encodeRecovery(record(m_file, QStringLiteral("planted")))));
        const QString link = m_folder + QStringLiteral("/5-1-0.qrec");
        QVERIFY(QFile::link(elsewhere, link));
        const QString pipe = m_folder + QStringLiteral("/6-1-0.qrec");
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const QString folder = m_folder + QStringLiteral("/8-1-0.qrec");
        QVERIFY(QDir().mkpath(folder));
        m_prompter.answer(MsgAnswer::Ok);
        auto w = open(m_file);
        QCOMPARE(m_prompter.asked().size(), size_t(1)); // nothing offered
        const MessageRequest &shown = m_prompter.asked().front().message;
        QCOMPARE(shown.buttons, MsgButtons::Ok);
        for (const QString &entry : {link, pipe, folder})
            QVERIFY2(shown.text.contains(entry), qPrintable(shown.text));
        QVERIFY(QFileInfo(link).isSymLink() && QFileInfo::exists(pipe));

        // This session's copy swapped for a link to the user's file.
        const QString victim = m_env->path(QStringLiteral("Victim.java"));
        QVERIFY(writeFile(victim, "class Victim {}\n"));
        append(*w, QStringLiteral("// one"));
        QCOMPARE(copyText(*w), QStringLiteral("class Doc {}\r\n// one"));
        QVERIFY(QFile::remove(w->recovery().sessionFile()));
        QVERIFY(QFile::link(victim, w->recovery().sessionFile()));
        append(*w, QStringLiteral(" two"));
        w->recovery().writeNow(); // an appended record: refused
        w->recovery().waitForWrites();
        const QString refused = statusMessage(*w);
        QVERIFY2(refused.startsWith(QStringLiteral(
                     "Crash recovery could not write its copy (it is a symbolic link)")),
                 qPrintable(refused));
        append(*w, QStringLiteral(" three"));
        QCOMPARE(copyText(*w), QStringLiteral("class Doc {}\r\n// one two three")); // a full copy
        QVERIFY(!QFileInfo(w->recovery().sessionFile()).isSymLink());
        QCOMPARE(readFile(victim), QByteArray("class Victim {}\n"));
        QCOMPARE(readFile(elsewhere), encodeRecovery(record(m_file, QStringLiteral("planted"))));
    }

    // A write that fails (the disk full, a file size limit), a full copy or
    // an appended record, says so once in the status bar and never in a
    // box; the editor goes on (it ignores SIGXFSZ), a failed append is
    // taken back, and the copy comes back whole once writing works again.
    void failedWritesAreSaidOnce()
    {
        auto w = open(m_file);
        QSignalSpy problems(&w->recovery(), &DocumentRecovery::problem);
        const QString copy = w->recovery().sessionFile();
        append(*w, QStringLiteral("// one"));
        {
            test::FileSizeLimit limit(8); // less than a full copy
            QVERIFY(limit.ok());
            QCOMPARE(copyText(*w), QStringLiteral("<no copy>"));
        }
        QCOMPARE(statusMessage(*w),
                 QStringLiteral("Crash recovery could not write its copy (%1): %2")
                     .arg(QString::fromLocal8Bit(std::strerror(EFBIG)), copy));
        QCOMPARE(copyText(*w), QStringLiteral("class Doc {}\r\n// one"));
        {
            test::FileSizeLimit limit(rlim_t(QFileInfo(copy).size() + 4));
            for (int i = 0; i < 3; ++i) {
                append(*w, QStringLiteral(" more"));
                w->recovery().writeNow();
                w->recovery().waitForWrites();
            }
        }
        QCOMPARE(problems.count(), 1);
        QVERIFY(m_prompter.asked().empty()); // no box, ever
        // The failed append was taken back: the copy is still intact.
        const std::optional<RecoveryReading> kept = readRecoveryFile(copy);
        QVERIFY(kept && kept->complete);
        QCOMPARE(kept->record.text, QStringLiteral("class Doc {}\r\n// one"));
        QCOMPARE(w->surface()->text(), QStringLiteral("class Doc {}\r\n// one more more more"));
        append(*w, QStringLiteral("!"));
        QCOMPARE(copyText(*w), w->surface()->text());
    }

    void twoWindowsKeepTheirOwnCopies()
    {
        auto first = open(m_file);
        append(*first, QStringLiteral("// first"));
        QCOMPARE(copyText(*first), QStringLiteral("class Doc {}\r\n// first"));
        auto second = open(); // asks nothing: the first editor is still running
        QVERIFY(m_prompter.asked().empty());
        append(*second, QStringLiteral("second"));
        QCOMPARE(copyText(*second), QStringLiteral("second"));
        QCOMPARE(copyText(*first), QStringLiteral("class Doc {}\r\n// first"));
        QVERIFY(first->recovery().sessionFile() != second->recovery().sessionFile());
        QCOMPARE(copiesIn(m_folder).size(), 2);
    }

    // Another editor types steadily, with no pause, and is ended: a signal,
    // a fatal error, exit() or its window destroyed write every character it
    // typed before it ends; after SIGKILL the copy lacks at most what was
    // typed in the last maxDelay() (and the time a write takes).
    void endedEditorIsOfferedBack_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("signal"); // 0: the editor ends by itself
        QTest::addColumn<int>("maxDelay");
        row("SIGKILL", "stay", int(SIGKILL), 400);
        row("SIGTERM", "stay", int(SIGTERM), 300);
        row("SIGHUP", "stay", int(SIGHUP), 300);
        row("SIGINT", "stay", int(SIGINT), 300);
        row("SIGQUIT", "stay", int(SIGQUIT), 300);
        // Nothing written before: the end alone writes the copy.
        row("SIGTERM, no copy yet", "stay", int(SIGTERM), 3600000);
        row("fatal error", "fatal", 0, 3600000);
        row("exit()", "exit", 0, 3600000);
        row("window destroyed", "destroy", 0, 3600000);
    }
    void endedEditorIsOfferedBack()
    {
        QFETCH(QString, how);
        QFETCH(int, signal);
        QFETCH(int, maxDelay);
        QString text;
        for (int i = 0; text.size() < (signal ? 1000 : 60); ++i)
            text += QStringLiteral("w%1 ").arg(i);
        QProcess child;
        child.setChildProcessModifier([] {
            struct rlimit none = {0, 0}; // SIGQUIT leaves no core file
            ::setrlimit(RLIMIT_CORE, &none);
        });
        startChild(child, text,
                   {QStringLiteral("--interval=10"), QStringLiteral("--delay=3600000"),
                    QStringLiteral("--max-delay=%1").arg(maxDelay),
                    QStringLiteral("--then=") + how});

        // What it typed, and when the line saying so arrived.
        QElapsedTimer clock;
        clock.start();
        std::vector<std::pair<qint64, int>> typed{{0, 0}};
        qint64 firstTyped = -1;
        QString copy;
        qint64 killedAt = -1;
        auto readLines = [&] {
            while (child.canReadLine()) {
                const QString line = QString::fromLocal8Bit(child.readLine()).trimmed();
                if (line.startsWith(QLatin1String("typed "))) {
                    typed.emplace_back(clock.elapsed(), line.mid(6).toInt());
                    if (firstTyped < 0)
                        firstTyped = clock.elapsed();
                } else if (line.startsWith(QLatin1String("session ")))
                    copy = line.mid(8);
            }
        };
        while (child.state() == QProcess::Running && clock.elapsed() < 60000) {
            child.waitForReadyRead(100);
            readLines();
            // Killed after some seconds of typing, mid-word.
            if (signal && killedAt < 0 && firstTyped >= 0 && clock.elapsed() - firstTyped >= 2500) {
                killedAt = clock.elapsed();
                QVERIFY(typed.back().second < text.size());
                ::kill(pid_t(child.processId()), signal);
            }
        }
        QVERIFY(child.state() == QProcess::NotRunning || child.waitForFinished(30000));
        readLines();
        QVERIFY(!copy.isEmpty());
        if (signal) {
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        } else if (how == QLatin1String("fatal")) {
            QCOMPARE(child.exitStatus(), QProcess::CrashExit); // aborted, as before
        } else {
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), how == QLatin1String("exit") ? 1 : 0);
        }
        const int total = typed.back().second;
        QVERIFY(total > 0);

        m_prompter.answer(MsgAnswer::Yes);
        auto w = open();
        QCOMPARE(m_prompter.messages(), QStringList{question(m_file)});
        const QString base = QStringLiteral("class Doc {}\r\n");
        const QString recovered = w->surface()->text();
        QVERIFY2(recovered.startsWith(base), qPrintable(recovered));
        const QString got = recovered.mid(base.size());
        if (signal != SIGKILL) {
            QCOMPARE(got, text.left(total)); // every character
        } else {
            // Everything typed a maxDelay() (and a second for the write, on
            // a busy machine) before the kill.
            int sure = 0;
            for (const auto &[when, count] : typed)
                if (when <= killedAt - maxDelay - 1000)
                    sure = count;
            QVERIFY(sure > 0);
            QVERIFY2(text.left(total).startsWith(got) && got.size() >= sure,
                     qPrintable(QStringLiteral("%1 of %2 typed, %3 sure")
                                    .arg(got.size())
                                    .arg(total)
                                    .arg(sure)));
        }
        QCOMPARE(w->documentPath(), m_file);
        QVERIFY(!QFile::exists(copy));
    }

    // Another editor makes a stream of random edits (small ones, blocks
    // pasted, most of the text removed), its copy written every few of
    // them, and is killed with SIGKILL at a random moment: the text offered
    // back is exactly one the editor went through (the edits replayed on a
    // plain string say which), made no earlier than maxDelay() (and a
    // second for the write) before the kill.
    void killedAmidRandomEditsRecoversATextItHad_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {21u, 22u, 23u, 24u, 25u})
            QTest::addRow("seed %u", seed) << seed;
    }
    void killedAmidRandomEditsRecoversATextItHad()
    {
        QFETCH(quint32, seed);
        const int maxDelay = 60;
        QProcess child;
        startChild(child, QString(),
                   {QStringLiteral("--edits=%1").arg(seed), QStringLiteral("--interval=3"),
                    QStringLiteral("--delay=15"), QStringLiteral("--max-delay=%1").arg(maxDelay)});
        const qint64 killAfter = 1500 + QRandomGenerator(seed).bounded(2000);
        QElapsedTimer clock;
        clock.start();
        std::vector<std::pair<qint64, int>> edited{{0, 0}};
        qint64 firstEdit = -1, killedAt = -1;
        QByteArray rest;
        while (child.state() == QProcess::Running && clock.elapsed() < 60000) {
            child.waitForReadyRead(50);
            rest += child.readAll();
            qsizetype nl;
            while ((nl = rest.indexOf('\n')) >= 0) {
                const QByteArray line = rest.left(nl);
                rest.remove(0, nl + 1);
                QVERIFY2(line != "diverged", "the surface changed an edit");
                if (line.startsWith("edited ")) {
                    edited.emplace_back(clock.elapsed(), line.mid(7).toInt());
                    if (firstEdit < 0)
                        firstEdit = clock.elapsed();
                }
            }
            if (killedAt < 0 && firstEdit >= 0 && clock.elapsed() - firstEdit >= killAfter) {
                killedAt = clock.elapsed();
                ::kill(pid_t(child.processId()), SIGKILL);
            }
        }
        if (killedAt < 0) {
            child.kill();
            child.waitForFinished();
            QFAIL("the editor made no edit");
        }
        QVERIFY(child.state() == QProcess::NotRunning || child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        const int last = edited.back().second;
        int sure = 0;
        for (const auto &[when, count] : edited)
            if (when <= killedAt - maxDelay - 1000)
                sure = count;

        // Every text the editor had, from its first to one edit past the
        // last it reported (it may have been killed before saying so).
        QRandomGenerator script(seed);
        QString model = QStringLiteral("class Doc {}\r\n");
        std::vector<QString> states{model};
        for (int i = 0; i <= last; ++i) {
            test::nextScriptedEdit(script, model).applyTo(model);
            states.push_back(model);
        }

        m_prompter.answer(MsgAnswer::Yes);
        auto w = open();
        QCOMPARE(m_prompter.messages(), QStringList{question(m_file)});
        const QString recovered = w->surface()->text();
        int which = -1;
        for (int k = int(states.size()) - 1; k >= 0 && which < 0; --k)
            if (states[k] == recovered)
                which = k;
        QVERIFY2(which >= sure,
                 qPrintable(QStringLiteral("recovered the text after edit %1 of %2, %3 sure")
                                .arg(which)
                                .arg(last)
                                .arg(sure)));
        QVERIFY(sure > 0);
        QVERIFY(w->recovery().fullCopiesDone() >= 1); // taken over as this editor's own copy
    }

    // The copy is written from the event loop; when that is held up, a
    // second signal still ends the editor at once.
    void secondSignalEndsAtOnce()
    {
        QProcess child;
        startChild(child, QStringLiteral("x"), {QStringLiteral("--then=block")});
        const QByteArray out = waitForOutput(child, "blocking\n");
        QVERIFY2(out.contains("blocking\n"), out.constData());
        ::kill(pid_t(child.processId()), SIGTERM);
        QVERIFY(!child.waitForFinished(500)); // waits for the event loop
        ::kill(pid_t(child.processId()), SIGTERM);
        QVERIFY(child.waitForFinished(30000)); // not the minute the loop is held for
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(child.exitCode(), SIGTERM);
    }

    // An editor ended by a signal with nothing unsaved leaves nothing in
    // the folder, not even its lock; with unsaved text, the copy alone.
    void signalEndLeavesOnlyTheCopy_data()
    {
        QTest::addColumn<QString>("typed");
        row("nothing typed", QString());
        row("text typed", QStringLiteral("x"));
    }
    void signalEndLeavesOnlyTheCopy()
    {
        QFETCH(QString, typed);
        QProcess child;
        startChild(child, typed,
                   {QStringLiteral("--delay=3600000"), QStringLiteral("--then=wait")});
        const QByteArray out = waitForOutput(child, "typed ");
        QVERIFY2(out.contains("typed "), out.constData());
        QVERIFY(!QDir(m_folder).entryList(QDir::Files | QDir::Hidden).isEmpty()); // the lock
        ::kill(pid_t(child.processId()), SIGTERM);
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), SIGTERM);
        const QStringList left = QDir(m_folder).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left.size(), typed.isEmpty() ? 0 : 1);
        if (!typed.isEmpty())
            QVERIFY(left.front().endsWith(QLatin1String(".qrec")));
    }

    void unusableFolderTurnsRecoveryOff()
    {
        // The state home is a file, so no folder can be made under it.
        const QString blocker = m_env->path(QStringLiteral("blocker"));
        QVERIFY(writeFile(blocker, "x"));
        qputenv("XDG_STATE_HOME", blocker.toLocal8Bit());
        auto w = open(m_file);
        QVERIFY(!w->recovery().isEnabled());
        const QString message = statusMessage(*w);
        QVERIFY2(message.startsWith(QStringLiteral("Crash recovery is off")), qPrintable(message));
        QVERIFY(message.contains(blocker));
        for (int i = 0; i < 5; ++i) {
            append(*w, QStringLiteral("x"));
            w->recovery().writeNow();
        }
        w->recovery().waitForWrites();
        QCOMPARE(w->recovery().writesDone(), 0);
        QVERIFY(m_prompter.asked().empty()); // no box, ever
    }
};

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
