// Colourize-all through the window interface: the save question, the time
// estimate and its question, the prepare / stages / finish sequence as the
// window sees it, and the colouring of the last line.
#include "formatting/colorizeall.h"
#include "formatting/commandhost.h"
#include "formatting/enginesupport.h"
#include "shell/editorstate.h"
#include "support/scriptedprompter.h"
#include "surface/surface.h"

#include <QTest>

using namespace qln;
using namespace qln::enginetest;

namespace {

class FakeHost : public CommandHost {
public:
    Surface doc;
    test::ScriptedPrompter asker;
    Preferences prefs;
    RecordingProgress bar;
    QString title = QStringLiteral("Document [A.java] - Quillon");
    QStringList events;
    QStringList statuses;
    // What the window looked like at each status text.
    struct Snapshot {
        bool surfaceVisible, windowEnabled, suppressChange, suppressSelChange, barVisible;
    };
    std::vector<Snapshot> atStatus;
    bool enabled = true;

    Surface &surface() override { return doc; }
    Prompter &prompter() override { return asker; }
    const Preferences &preferences() const override { return prefs; }
    ProgressSink &progress() override { return bar; }
    QString caption() const override { return title; }
    void setCaption(const QString &c) override { title = c; }
    void setStatusText(const QString &text) override
    {
        statuses << text;
        events << QStringLiteral("status");
        atStatus.push_back(Snapshot{doc.isVisible(), enabled, editorState().suppressChange,
                                    editorState().suppressSelChange, bar.isVisible()});
    }
    void setBusy(bool busy) override { events << (busy ? "busy" : "idle"); }
    void setWindowEnabled(bool on) override
    {
        enabled = on;
        events << (on ? "enable" : "disable");
    }
    void focusSurface() override { events << QStringLiteral("focus"); }
    bool saveDocument() override
    {
        events << QStringLiteral("save");
        return false; // a failed save does not stop the run
    }
};

const QString kStages[] = {QStringLiteral("Please wait. Stage 1 of 3"),
                           QStringLiteral("Please wait. Stage 2 of 3"),
                           QStringLiteral("Please wait. Stage 3 of 3")};

// A document of exactly n characters of Java-like text.
QString javaOfLength(int n)
{
    const QString line = QStringLiteral("int x = \"s\"; // c\r\n");
    QString t;
    while (t.size() < n)
        t += line;
    t.truncate(n);
    return t;
}

} // namespace

class TstColorizeAll : public QObject {
    Q_OBJECT
    Preferences m_prefs;

    void expectNoRun(FakeHost &h, const QString &text)
    {
        QVERIFY(h.statuses.isEmpty());
        QVERIFY(!h.events.contains("busy"));
        QCOMPARE(h.doc.text(), text);
        QCOMPARE(h.doc.formatAt(0).color, BgrColor(0x333333)); // untouched
        QVERIFY(h.doc.isVisible());
    }

private slots:
    void initTestCase() { m_prefs = factoryPreferences(); }

    void estimateTexts_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("60000 low") << 11.25 << "0 minutes 11.25 seconds";
        QTest::newRow("60000 high") << 33.75 << "0 minutes 33.75 seconds";
        QTest::newRow("400000 low") << 75.0 << "1 minutes 15 seconds";
        QTest::newRow("400000 high") << 225.0 << "3 minutes 45 seconds";
        QTest::newRow("whole minutes") << 120.0 << "2 minutes 0 seconds";
        QTest::newRow("fraction") << 9.375 << "0 minutes 9.375 seconds";
        QTest::newRow("half seconds") << 90.5 << "1 minutes 30.5 seconds";
    }
    void estimateTexts()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(EstimateText(seconds), text);
    }

    void timeQuestion()
    {
        QCOMPARE(ColorizeTimeQuestion(60000),
                 QStringLiteral("Approximately 0 minutes 11.25 seconds to 0 minutes 33.75 seconds "
                                "needed on a 933 MHz computer for the process"));
        QCOMPARE(ColorizeTimeQuestion(400000),
                 QStringLiteral("Approximately 1 minutes 15 seconds to 3 minutes 45 seconds "
                                "needed on a 933 MHz computer for the process"));
        QCOMPARE(ColorizeTimeQuestion(50000), QString()); // 9.375 seconds
        QCOMPARE(ColorizeTimeQuestion(45000), QString());
        QCOMPARE(ColorizeTimeQuestion(53333), QString()); // 9.9999375 seconds
        QVERIFY(!ColorizeTimeQuestion(53334).isEmpty());  // 10.000125 seconds
    }

    void longDocumentAsks_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("low");
        QTest::addColumn<QString>("high");
        QTest::newRow("60,000") << 60000 << "0 minutes 11.25 seconds" << "0 minutes 33.75 seconds";
        QTest::newRow("400,000") << 400000 << "1 minutes 15 seconds" << "3 minutes 45 seconds";
    }
    void longDocumentAsks()
    {
        QFETCH(int, length);
        QFETCH(QString, low);
        QFETCH(QString, high);
        FakeHost h;
        h.prefs = m_prefs;
        h.doc.setText(javaOfLength(length));
        h.doc.setFormat(0, h.doc.length(), CharFormat{0x333333});
        h.asker.answer(MsgAnswer::No);
        QVERIFY(!colorizeallrtf(h));
        QCOMPARE(int(h.asker.asked().size()), 1);
        const MessageRequest &q = h.asker.asked().front().message;
        QCOMPARE(q.text, "Approximately " + low + " to " + high
                             + " needed on a 933 MHz computer for the process");
        QCOMPARE(q.title, QStringLiteral("Do you wish to continue?"));
        QCOMPARE(q.icon, MsgIcon::Question);
        QCOMPARE(q.buttons, MsgButtons::YesNo);
        expectNoRun(h, javaOfLength(length));

        if (length == 60000) {
            h.asker.answer(MsgAnswer::Yes);
            QVERIFY(colorizeallrtf(h));
            QCOMPARE(h.statuses.last(), QStringLiteral("Done"));
            QCOMPARE(h.doc.formatAt(0).color, BgrColor(255));
        }
    }

    void shortDocumentsDoNotAsk_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("50,000 (9.375 seconds)") << 50000;
        QTest::newRow("exactly 45,000") << 45000;
        QTest::newRow("empty") << 0;
    }
    void shortDocumentsDoNotAsk()
    {
        QFETCH(int, length);
        FakeHost h;
        h.prefs = m_prefs;
        h.doc.setText(javaOfLength(length));
        QVERIFY(colorizeallrtf(h));
        QVERIFY(h.asker.asked().empty());
        QCOMPARE(h.statuses.last(), QStringLiteral("Done"));
    }

    void saveFirst_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("answer"); // -1: no question expected
        QTest::addColumn<bool>("saved");
        QTest::addColumn<bool>("runs");
        const QString modified = QStringLiteral("Document [A.java] - Quillon*");
        QTest::newRow("unmodified") << "Document [A.java] - Quillon" << -1 << false << true;
        QTest::newRow("star inside the name") << "Document [A*.java] - Quillon" << -1 << false << true;
        QTest::newRow("Yes") << modified << int(MsgAnswer::Yes) << true << true;
        QTest::newRow("No") << modified << int(MsgAnswer::No) << false << true;
        QTest::newRow("Cancel") << modified << int(MsgAnswer::Cancel) << false << false;
    }
    void saveFirst()
    {
        QFETCH(QString, caption);
        QFETCH(int, answer);
        QFETCH(bool, saved);
        QFETCH(bool, runs);
        FakeHost h;
        h.prefs = m_prefs;
        h.title = caption;
        const QString text = QStringLiteral("int a;\r\n");
        h.doc.setText(text);
        h.doc.setFormat(0, h.doc.length(), CharFormat{0x333333});
        if (answer >= 0)
            h.asker.answer(MsgAnswer(answer));
        QCOMPARE(colorizeallrtf(h), runs);
        if (answer < 0) {
            QVERIFY(h.asker.asked().empty());
        } else {
            QCOMPARE(int(h.asker.asked().size()), 1);
            const MessageRequest &q = h.asker.asked().front().message;
            QCOMPARE(q.text, QStringLiteral("Would you like to save the file?"));
            QCOMPARE(q.title, QStringLiteral("Save file first?"));
            QCOMPARE(q.icon, MsgIcon::Question);
            QCOMPARE(q.buttons, MsgButtons::YesNoCancel);
        }
        QCOMPARE(h.events.contains("save"), saved);
        if (saved)
            QCOMPARE(h.events.first(), QStringLiteral("save"));
        if (!runs)
            expectNoRun(h, text);
        else
            QCOMPARE(h.doc.formatAt(0).color, BgrColor(255));
        // The modified marker is left as it was.
        QCOMPARE(h.title, caption);
    }

    void runSequence()
    {
        FakeHost h;
        h.prefs = m_prefs;
        h.doc.setText(QStringLiteral("class A {\r\n  int b; /* c */\r\n}\r\n"));
        h.doc.setSelection(12, 5);
        h.bar.setValue(37);
        h.bar.values.clear();
        QVERIFY(colorizeallrtf(h));

        QCOMPARE(h.statuses, (QStringList{kStages[0], kStages[1], kStages[2], "Done"}));
        // Prepared before the first stage, undone before "Done".
        QCOMPARE(h.events, (QStringList{"busy", "disable", "status", "status", "status", "enable",
                                        "idle", "focus", "status"}));
        for (int i = 0; i < 3; ++i) {
            const auto &snap = h.atStatus[size_t(i)];
            QVERIFY(!snap.surfaceVisible);
            QVERIFY(!snap.windowEnabled);
            QVERIFY(snap.suppressChange);
            QVERIFY(snap.suppressSelChange);
            QVERIFY(snap.barVisible);
        }
        const auto &done = h.atStatus.back();
        QVERIFY(done.surfaceVisible);
        QVERIFY(done.windowEnabled);
        QVERIFY(!done.suppressChange);
        QVERIFY(!done.suppressSelChange);
        QVERIFY(!done.barVisible);
        QCOMPARE(h.doc.selStart(), 0);
        QCOMPARE(h.doc.selLength(), 0);

        // Stage 1 runs the bar up to 100 over the 54 words; stage 2 goes
        // line by line (4 lines: 25, 50, 75); stage 3 is 0 then 100.
        const std::vector<int> &v = h.bar.values;
        QVERIFY(v.size() > 6);
        QCOMPARE(v[0], 2); // first keyword: 1 * 100 / 54
        const std::vector<int> tail(v.end() - 6, v.end());
        QCOMPARE(tail, (std::vector<int>{100, 25, 50, 75, 0, 100}));
        for (size_t i = 1; i + 5 < v.size(); ++i)
            QVERIFY(v[i] > v[i - 1]);

        // The colours themselves.
        QCOMPARE(h.doc.formatAt(0).color, BgrColor(255));       // class
        QCOMPARE(h.doc.formatAt(8).color, BgrColor(16711935));  // {
        QCOMPARE(h.doc.formatAt(20).color, BgrColor(8355711));  // /* c */
        QVERIFY(h.doc.formatAt(20).italic);
        QCOMPARE(h.doc.formatAt(6).color, BgrColor(0));         // A
    }

    void lastLineWithoutBreak()
    {
        FakeHost h;
        h.prefs = m_prefs;
        const QString text = QStringLiteral("int a = 1;\r\nString s = \"x int\"; int b; // d");
        h.doc.setText(text);
        QVERIFY(colorizeallrtf(h));
        const int last = text.indexOf(QLatin1Char('\n')) + 1;
        auto colourAt = [&](const QString &what, int from) {
            return h.doc.formatAt(int(text.indexOf(what, from))).color;
        };
        QCOMPARE(colourAt("int", 0), BgrColor(255));
        QCOMPARE(colourAt("x int", last), BgrColor(0));              // no string colour
        QCOMPARE(colourAt("int\"", last), BgrColor(255));            // keyword inside it
        QCOMPARE(colourAt("int b", last), BgrColor(255));
        QCOMPARE(colourAt("// d", last), BgrColor(0));               // no comment either
        QCOMPARE(colourAt(";", last), BgrColor(16711935));
    }

    void emptyListsStillRun()
    {
        FakeHost h;
        h.prefs = m_prefs;
        h.prefs.ckeywordcount = h.prefs.cothercount = h.prefs.cmorecount = 0;
        h.doc.setText(QStringLiteral("int a = \"s\";\r\n"));
        h.bar.setValue(37);
        QVERIFY(colorizeallrtf(h));
        // No word moves the bar in stage 1; stage 2 has two lines.
        QCOMPARE(h.bar.values, (std::vector<int>{37, 50, 0, 100}));
        QCOMPARE(h.doc.formatAt(0).color, BgrColor(0));
        QCOMPARE(h.doc.formatAt(9).color, BgrColor(4227072));
    }
};

QTEST_GUILESS_MAIN(TstColorizeAll)
#include "tst_colorizeall.moc"
