// Colourize-all through the window interface: the save question, the time
// estimate and its question, the prepare / stages / finish sequence as the
// window sees it, and empty word lists; colouring ahead span by span against
// colouring the whole. The colouring itself is tst_formatrtf's.
#include "base/editorstate.h"
#include "formatting/colorizeall.h"
#include "formatting/commandhost.h"
#include "formatting/enginesupport.h"
#include "support/scriptedprompter.h"
#include "support/seed.h"
#include "surface/surface.h"

#include <QTest>

using namespace qln;
using namespace qln::enginetest;

namespace {

class FakeHost : public CommandHost {
public:
    explicit FakeHost(const QString &text) : prefs(factoryPreferences())
    {
        doc.setText(text);
        doc.setFormat(0, doc.length(), CharFormat{0x333333, false, false, false, QString(), 0});
    }
    Surface doc;
    test::ScriptedPrompter asker;
    Preferences prefs;
    RecordingProgress bar;
    QString title = QStringLiteral("Document [A.java] - Quillon");
    QStringList events, statuses;
    // What the window looked like at each status text: surface painted,
    // window enabled, both suppress flags, bar visible.
    QList<QList<bool>> atStatus;
    bool enabled = true;
    bool painted = true;

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
        atStatus.append({painted, enabled, editorState().suppressChange,
                         editorState().suppressSelChange, bar.isVisible()});
    }
    void setBusy(bool busy) override { events << (busy ? "busy" : "idle"); }
    void setWindowEnabled(bool on) override
    {
        enabled = on;
        events << (on ? "enable" : "disable");
    }
    void setSurfacePainted(bool on) override { painted = on; }
    void focusSurface() override { events << QStringLiteral("focus"); }
    bool saveDocument() override
    {
        events << QStringLiteral("save");
        return false; // a failed save does not stop the run
    }
};

// A document of exactly n characters of Java-like text.
QString javaOfLength(int n)
{
    QString t;
    while (t.size() < n)
        t += QStringLiteral("int x = \"s\"; // c\r\n");
    return t.left(n);
}

// A message box in one string: title, icon, buttons and text.
QString box(const MessageRequest &m)
{
    return QStringLiteral("%1|%2|%3|%4")
        .arg(m.title)
        .arg(int(m.icon))
        .arg(int(m.buttons))
        .arg(m.text);
}

void expectNoRun(FakeHost &h, const QString &text)
{
    QVERIFY(h.statuses.isEmpty());
    QVERIFY(!h.events.contains("busy"));
    QCOMPARE(h.doc.text(), text);
    QCOMPARE(h.doc.formatAt(0).color, BgrColor(0x333333)); // untouched
    QVERIFY(h.painted);
}

} // namespace

class TstColorizeAll : public QObject {
    Q_OBJECT
private slots:
    void estimatesAndLongDocuments()
    {
        QCOMPARE(EstimateText(75.0), QStringLiteral("1 minutes 15 seconds"));
        QCOMPARE(EstimateText(120.0), QStringLiteral("2 minutes 0 seconds"));
        QCOMPARE(EstimateText(90.5), QStringLiteral("1 minutes 30.5 seconds"));
        // No question below 10 seconds at the low end.
        QCOMPARE(ColorizeTimeQuestion(53333), QString()); // 9.9999375 seconds
        QVERIFY(!ColorizeTimeQuestion(53334).isEmpty());  // 10.000125 seconds

        const QString text = javaOfLength(60000);
        FakeHost h(text);
        h.asker.answer(MsgAnswer::No);
        QVERIFY(!colorizeallrtf(h));
        QCOMPARE(int(h.asker.asked().size()), 1);
        QCOMPARE(box(h.asker.asked().front().message),
                 box({QStringLiteral("Approximately 0 minutes 11.25 seconds to 0 minutes 33.75 "
                                     "seconds needed on a 933 MHz computer for the process"),
                      QStringLiteral("Do you wish to continue?"), MsgIcon::Question,
                      MsgButtons::YesNo}));
        expectNoRun(h, text);
        h.asker.answer(MsgAnswer::Yes);
        QVERIFY(colorizeallrtf(h));
        QCOMPARE(h.statuses.last(), QStringLiteral("Done"));
        QCOMPARE(h.doc.formatAt(0).color, BgrColor(255));

        // 50,000 characters (9.375 seconds) and an empty document do not ask.
        for (int length : {50000, 0}) {
            FakeHost s(javaOfLength(length));
            QVERIFY(colorizeallrtf(s));
            QVERIFY(s.asker.asked().empty());
            QCOMPARE(s.statuses.last(), QStringLiteral("Done"));
        }
    }

    void saveFirst()
    {
        const QString text = QStringLiteral("int a;\r\n");
        const QString plain = QStringLiteral("Document [A.java] - Quillon"), modified = plain + "*";
        struct Row {
            QString caption;
            int answer;
            bool saved, runs;
        }; // answer -1: no question
        const Row rows[] = {{plain, -1, false, true},
                            {QStringLiteral("Document [A*.java] - Quillon"), -1, false, true},
                            {modified, int(MsgAnswer::Yes), true, true},
                            {modified, int(MsgAnswer::No), false, true},
                            {modified, int(MsgAnswer::Cancel), false, false}};
        for (const Row &r : rows) {
            FakeHost h(text);
            h.title = r.caption;
            if (r.answer >= 0)
                h.asker.answer(MsgAnswer(r.answer));
            QCOMPARE(colorizeallrtf(h), r.runs);
            QCOMPARE(int(h.asker.asked().size()), r.answer < 0 ? 0 : 1);
            if (r.answer >= 0)
                QCOMPARE(box(h.asker.asked().front().message),
                         box({QStringLiteral("Would you like to save the file?"),
                              QStringLiteral("Save file first?"), MsgIcon::Question,
                              MsgButtons::YesNoCancel}));
            QCOMPARE(h.events.contains("save"), r.saved);
            if (r.saved)
                QCOMPARE(h.events.first(), QStringLiteral("save"));
            if (!r.runs)
                expectNoRun(h, text);
            QCOMPARE(h.title, r.caption); // the modified marker is left as it was
        }
    }

    void runSequence()
    {
        FakeHost h(QStringLiteral("class A {\r\n  int b; /* c */\r\n}\r\n"));
        h.doc.setSelection(12, 5);
        h.bar.setValue(37);
        h.bar.values.clear();
        QVERIFY(colorizeallrtf(h));

        QCOMPARE(h.statuses, (QStringList{"Please wait. Stage 1 of 3", "Please wait. Stage 2 of 3",
                                          "Please wait. Stage 3 of 3", "Done"}));
        // Prepared before the first stage, undone before "Done".
        QCOMPARE(h.events, (QStringList{"busy", "disable", "status", "status", "status", "enable",
                                        "idle", "focus", "status"}));
        const QList<bool> during{false, false, true, true, true},
            after{true, true, false, false, false};
        QCOMPARE(h.atStatus, (QList<QList<bool>>{during, during, during, after}));
        QCOMPARE(QPair(h.doc.selStart(), h.doc.selLength()), QPair(0, 0));

        // Stage 1 runs the bar up to 100 over the 54 words; stage 2 goes
        // line by line (4 lines: 25, 50, 75); stage 3 is 0 then 100.
        const std::vector<int> &v = h.bar.values;
        QVERIFY(v.size() > 6);
        QCOMPARE(v[0], 2); // first keyword: 1 * 100 / 54
        QCOMPARE(std::vector<int>(v.end() - 6, v.end()),
                 (std::vector<int>{100, 25, 50, 75, 0, 100}));
        for (size_t i = 1; i + 5 < v.size(); ++i)
            QVERIFY(v[i] > v[i - 1]);

        QCOMPARE(h.doc.formatAt(0).color, BgrColor(255));      // class
        QCOMPARE(h.doc.formatAt(20).color, BgrColor(8355711)); // /* c */
    }

    void emptyListsStillRun()
    {
        FakeHost h(QStringLiteral("int a = \"s\";\r\n"));
        h.prefs.ckeywordcount = h.prefs.cothercount = h.prefs.cmorecount = 0;
        h.bar.setValue(37);
        QVERIFY(colorizeallrtf(h));
        // No word moves the bar in stage 1; stage 2 has two lines.
        QCOMPARE(h.bar.values, (std::vector<int>{37, 50, 0, 100}));
        QCOMPARE(h.doc.formatAt(0).color, BgrColor(0));
        QCOMPARE(h.doc.formatAt(9).color, BgrColor(4227072));
    }

    // A document coloured ahead, a span at a time as a view reads on, ends
    // with every character as colouring it whole gives it, and each step
    // leaves everything before its frontier final: text blocks, comments
    // and strings may run across any span.
    void colouringAheadMatchesColouringTheWhole()
    {
        test::SeededRandom rnd;
        const Preferences prefs = factoryPreferences();
        const QStringList pieces{"class",  " ",  "int",    "String",     "\r\n",   "\r\n",
                                 "/*",     "*/", "//",     "\"",         "\"\"\"", "\\",
                                 "'",      "x",  "return", "\"\"\"\r\n", "/**/",   ";",
                                 "\t\r\n", "{",  "}",      " \"s\" ",    "//c\r\n"};
        for (int round = 0; round < 400; ++round) {
            QString text;
            for (int i = rnd.bounded(1, 90); i > 0; --i)
                text += pieces.at(rnd.bounded(int(pieces.size())));
            Surface whole, ahead;
            whole.setText(text);
            ColorizeDocument(whole, prefs);
            ahead.setText(text);
            const int span = rnd.bounded(1, 40);
            ahead.colourAheadWith(
                [&](Surface &s, int from, int upTo) {
                    return ColorizeAhead(s, prefs, from, upTo, span);
                },
                0);
            auto sameUpTo = [&](int end) {
                for (int i = 0; i < end; ++i)
                    if (!(ahead.formatAt(i) == whole.formatAt(i)))
                        return false;
                return true;
            };
            while (ahead.colouredTo() < ahead.length()) {
                const int before = ahead.colouredTo();
                ahead.colourAhead(before + rnd.bounded(1, 30));
                const int now = ahead.colouredTo();
                QVERIFY2(now > before, qPrintable(text));
                QVERIFY(now == ahead.length() || ahead.at(now - 1) == QLatin1Char('\n'));
                QVERIFY2(sameUpTo(now), qPrintable(text));
            }
            // Reading past the frontier colours on first.
            Surface read;
            read.setText(text);
            read.colourAheadWith(
                [&](Surface &s, int from, int upTo) {
                    return ColorizeAhead(s, prefs, from, upTo, span);
                },
                0);
            const auto runs = read.formatRuns(0, read.length());
            QCOMPARE(read.colouredTo(), read.length());
            QCOMPARE(runs.size(), whole.formatRuns(0, whole.length()).size());
        }
    }
};

QTEST_GUILESS_MAIN(TstColorizeAll)
#include "tst_colorizeall.moc"
