// The host of a captured run: the tool's output lands at the end of the
// output box in the caller's style, in order; a long output keeps only its
// end; lines naming a place in the source become links; typed input shows
// and reaches the tool.
#include "support/scriptedprompter.h"
#include "tools/frmdosx.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace qln;

namespace {

constexpr int kGenerous = 120000;
const Surface::TextStyle kOlive{356435, true, false, false};

// Runs the command into the box and waits for its end.
RunEnd runInto(frmDosX &host, Surface &box, const QString &command,
               const QString &folder = QString())
{
    QSignalSpy done(&host, &frmDosX::finished);
    if (!host.DosExecute(command, &box, kOlive, folder))
        return RunEnd{};
    if (!done.wait(kGenerous))
        return RunEnd{};
    return done.at(0).at(1).value<RunEnd>();
}

// A tool host that collects the error locations of its output.
struct LinkingHost {
    test::ScriptedPrompter prompter;
    frmDosX host{prompter};
    ToolLocations locations;
    LinkingHost()
    {
        locations.begin(LocationContext{});
        host.setLocations(&locations);
    }
};

} // namespace

namespace {

// What the box, its underlines and the locations show after the output
// arrived in the given chunks; `shown` puts the output into the box after
// every chunk, as when the event loop comes round between two reads.
struct Shown {
    QString text;
    QString underlines; // 'u' or '-' per character
    QStringList locations;
    bool operator==(const Shown &o) const
    {
        return text == o.text && underlines == o.underlines && locations == o.locations;
    }
};

Shown replay(const QStringList &chunks, bool shown)
{
    LinkingHost linking;
    frmDosX &host = linking.host;
    ToolLocations &locations = linking.locations;
    Surface box;
    box.setText(QStringLiteral("[Executing]\r\n"));
    host.beginOutput(&box, kOlive);
    for (const QString &chunk : chunks) {
        host.receiveOutput(chunk);
        if (shown)
            QCoreApplication::sendPostedEvents(&host, QEvent::MetaCall);
    }
    host.endOutput();
    Shown result;
    result.text = box.text();
    for (int i = 0; i < box.length(); ++i)
        result.underlines += box.formatAt(i).underline ? QLatin1Char('u') : QLatin1Char('-');
    for (int i = 0; i < locations.count(); ++i)
        result.locations << locations.at(i).file + QLatin1Char(' ') + locations.at(i).className
                                + QLatin1Char(':') + QString::number(locations.at(i).line);
    return result;
}

} // namespace

class TstFrmDosX : public QObject {
    Q_OBJECT
private slots:
    // An empty command starts nothing and leaves the box alone; a real one
    // lands after what the box held.
    void outputArrivesStyledAtTheEnd()
    {
        test::ScriptedPrompter prompter;
        frmDosX host(prompter);
        Surface box;
        box.setText(QStringLiteral("javac A.java\r\n[Executing]\r\n"));
        const int before = box.length();
        QSignalSpy done(&host, &frmDosX::finished);
        prompter.answer(MsgAnswer::Ok);
        QVERIFY(!host.DosExecute(QStringLiteral("   "), &box, Surface::TextStyle{}));
        QCOMPARE(prompter.messages(), QStringList{QStringLiteral("Command Line empty")});
        QCOMPARE(box.length(), before);
        QCOMPARE(done.count(), 0);
        // Standard output and error both arrive; more than 256 bytes in all.
        const QString command = QStringLiteral(
            "  printf 'out\\n'; printf 'err\\n' 1>&2; yes x | head -n 1000 | tr -d '\\n'  ");
        QVERIFY(host.DosExecute(command, &box, Surface::TextStyle{356435, true, false, false}));
        QVERIFY(done.wait(20000));
        const QString expected = QStringLiteral("out\nerr\n") + QString(1000, QLatin1Char('x'));
        QCOMPARE(host.text(), expected);
        QCOMPARE(done.at(0).at(0).toString(), expected);
        // The box holds it after what was there, in CR LF, coloured and bold.
        QCOMPARE(box.text().mid(before),
                 QStringLiteral("out\r\nerr\r\n") + QString(1000, QLatin1Char('x')));
        QCOMPARE(box.formatAt(before).color, 356435u);
        QVERIFY(box.formatAt(box.length() - 1).bold);
        QCOMPARE(box.formatAt(0).color, 0u);
        QCOMPARE(box.selStart(), box.length());
    }
    // 12 MB of numbered lines: the box and Text1 keep the last 4 MB (and at
    // most half a megabyte more), say once that older output went, and the box
    // records no undo step; what stays is the true end of the output.
    void endlessOutputIsBounded()
    {
        test::ScriptedPrompter prompter;
        frmDosX host(prompter);
        Surface box; // recording undo steps, as a fresh surface does
        box.setText(QStringLiteral("tool\r\n[Executing]\r\n"));
        const int before = box.length();
        const RunEnd end =
            runInto(host, box, QStringLiteral("seq 1 600000 | sed 's/$/ a line of output/'"));
        QVERIFY(end.started && end.exitCode == 0);
        QVERIFY(host.dropped());
        const qsizetype kept = frmDosX::kKeptOutput, slack = 512 * 1024;
        QVERIFY2(host.text().size() >= kept && host.text().size() <= kept + slack,
                 qPrintable(QString::number(host.text().size())));
        QVERIFY(host.text().endsWith(QStringLiteral("\n600000 a line of output\n")));

        const QString text = box.text();
        QVERIFY(
            text.startsWith(QStringLiteral("tool\r\n[Executing]\r\n[Earlier output dropped]\r\n")));
        QCOMPARE(text.count(QStringLiteral("[Earlier output dropped]")), 1);
        const int outputStart = before + int(kDroppedMarker.size());
        QVERIFY(box.length() - outputStart <= kept + slack);
        QVERIFY(box.length() - outputStart >= kept);
        // Whole lines only, in order, up to the last.
        const QStringList lines =
            text.mid(outputStart).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        const int first = lines.first().section(' ', 0, 0).toInt();
        QCOMPARE(lines.last(), QStringLiteral("600000 a line of output"));
        QCOMPARE(lines.size(), 600000 - first + 1);
        QCOMPARE(lines.first(), QString::number(first) + QStringLiteral(" a line of output"));
        QCOMPARE(box.formatAt(before).color, BgrColor(16711680)); // the marker, blue
        QVERIFY(box.formatAt(before).bold);
        QCOMPARE(box.formatAt(outputStart).color, 356435u);
        QVERIFY(!box.canUndo());
    }
    // Compiler messages and stack frames become underlined links and are
    // collected in order, also when a line arrives in pieces; other lines are
    // left alone.
    void linksAreUnderlinedAndCollected()
    {
        LinkingHost linking;
        frmDosX &host = linking.host;
        ToolLocations &locations = linking.locations;
        Surface box;
        const QString script = QStringLiteral(
            "printf 'src/Bad.java:2: error: illegal start\\n        int x = ;\\n'; "
            "printf 'A.java:5: warn'; sleep 0.2; printf 'ing: deprecated\\n1 error\\n'; "
            "printf 'Exception in thread \"main\" java.lang.IllegalStateException\\n'; "
            "printf '\\tat Thrower.deep(Thrower.java:7)\\n\\tat Thrower.main(Thrower.java:3)'");
        const RunEnd end = runInto(host, box, script);
        QVERIFY(end.started);
        QCOMPARE(locations.count(), 4);
        QCOMPARE(locations.at(0).file + ":" + QString::number(locations.at(0).line),
                 QStringLiteral("src/Bad.java:2"));
        QCOMPARE(locations.at(1).kind, ToolLocation::Warning);
        QCOMPARE(locations.at(2).className + ":" + QString::number(locations.at(2).line),
                 QStringLiteral("Thrower:7"));
        QCOMPARE(locations.at(3).line, 3); // the last line, without a line break
        auto underlined = [&](const QString &part) {
            const int at = int(box.text().indexOf(part));
            if (at < 0)
                return QStringLiteral("missing");
            QString flags;
            for (int i = at; i < at + part.size(); ++i)
                flags += box.formatAt(i).underline ? QLatin1Char('u') : QLatin1Char('-');
            return flags;
        };
        QCOMPARE(underlined("src/Bad.java:2: error: illegal start"), QString(36, 'u'));
        QCOMPARE(underlined("A.java:5: warning: deprecated"), QString(29, 'u'));
        QCOMPARE(underlined("\tat Thrower.deep(Thrower.java:7)"), "-" + QString(31, 'u'));
        QCOMPARE(underlined("int x = ;"), QString(9, '-'));
        QCOMPARE(underlined("1 error"), QString(7, '-'));
        QCOMPARE(box.formatAt(int(box.text().indexOf("src/Bad"))).color, 356435u);
    }
    // A line typed for the tool shows in the box after the output so far and
    // reaches the tool; without open input nothing is sent.
    void typedInputIsShownAndSent()
    {
        test::ScriptedPrompter prompter;
        frmDosX host(prompter);
        Surface box;
        const Surface::TextStyle typed{0, false, false, false};
        QVERIFY(host.DosExecute(QStringLiteral("cat"), &box, kOlive));
        QVERIFY(!host.sendInput(QStringLiteral("nobody reads this"), typed));
        QSignalSpy closedRun(&host, &frmDosX::finished);
        QVERIFY(closedRun.wait(kGenerous));

        host.objDOS().setInputOpen(true);
        QSignalSpy done(&host, &frmDosX::finished);
        QVERIFY(host.DosExecute(QStringLiteral("printf 'Name: '; read n; echo \"Hello, $n\""), &box,
                                kOlive));
        QTRY_VERIFY_WITH_TIMEOUT(box.text().endsWith(QStringLiteral("Name: ")), kGenerous);
        QVERIFY(host.sendInput(QStringLiteral("Ann"), typed));
        QVERIFY(done.wait(kGenerous));
        QCOMPARE(box.text(), QStringLiteral("Name: Ann\r\nHello, Ann\r\n"));
        QCOMPARE(box.formatAt(6).color, 0u);
        QVERIFY(!box.formatAt(6).bold);
        QCOMPARE(box.formatAt(11).color, 356435u);
    }
    // A line break is CR LF, CR or LF, and a CR LF pair cut between two reads
    // of the tool's output is still one line break: every cut into two
    // chunks, and one chunk per character, with the box filled between chunks
    // or not, shows the same lines, links and locations as the whole output at
    // once. Through a real run too.
    void anyCutOfTheOutputGivesTheSameLinesAndLinks()
    {
        const QString output = QStringLiteral("Bad.java:2: error: x\r\n\tat P.m(P.java:7)\rplain\n"
                                              "A.java:3: warning: w\r\n\r\nlast\r");
        const Shown whole = replay({output}, true);
        QCOMPARE(
            whole.text,
            QStringLiteral("[Executing]\r\nBad.java:2: error: x\r\n\tat P.m(P.java:7)\r\nplain\r\n"
                           "A.java:3: warning: w\r\n\r\nlast\r\n"));
        QCOMPARE(whole.locations, (QStringList{"Bad.java :2", "P.java P:7", "A.java :3"}));
        QCOMPARE(whole.underlines.count(QLatin1Char('u')),
                 20 + 16 + 20); // the frame without its tab
        for (int cut = 1; cut < output.size(); ++cut)
            for (const bool shown : {true, false}) {
                const Shown twoChunks = replay({output.left(cut), output.mid(cut)}, shown);
                QVERIFY2(twoChunks == whole,
                         qPrintable(QStringLiteral("cut at %1: %2").arg(cut).arg(twoChunks.text)));
            }
        QStringList characters;
        for (const QChar c : output)
            characters << QString(c);
        QVERIFY(replay(characters, true) == whole);

        // A line too long to be a message is neither a link nor a location,
        // even when its end, arriving alone, reads like one.
        const QString longLine =
            QString(70000, QLatin1Char('x')) + QStringLiteral("A.java:1: error: x\r\n");
        const Shown tooLong =
            replay({longLine.left(35000), longLine.mid(35000, 35000), longLine.mid(70000),
                    QStringLiteral("B.java:2: error: y\r\n")},
                   true);
        QCOMPARE(tooLong.locations, QStringList{"B.java :2"});
        QCOMPARE(tooLong.underlines.count(QLatin1Char('u')), 18);

        // The LF of a CR LF written a moment after its CR.
        test::ScriptedPrompter prompter;
        frmDosX host(prompter);
        Surface box;
        const RunEnd end =
            runInto(host, box, QStringLiteral("printf 'one\\r'; sleep 0.3; printf '\\ntwo\\r\\n'"));
        QVERIFY(end.started);
        QCOMPARE(box.text(), QStringLiteral("one\r\ntwo\r\n"));
        QCOMPARE(host.text(), QStringLiteral("one\r\ntwo\r\n"));
    }
};

QTEST_MAIN(TstFrmDosX)
#include "tst_frmdosx.moc"
