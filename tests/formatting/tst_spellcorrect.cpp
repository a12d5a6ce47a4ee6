// Spell correction: SpellCorrectRange against a reference made of the
// surface's own find and replace, its progress steps and range rules, and
// the "&Spell correct all" command.
#include "fakehost.h"
#include "javasource.h"

#include "formatting/spellcorrect.h"
#include "shell/editorstate.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>

using namespace qln;
using namespace qln::test;

namespace {

// Search by search on the surface, as the routine is described.
void referenceSpell(const QStringList &wrong, const QStringList &right, int count, int &change,
                    int &start, int end, Surface &s, ProgressSink *progress)
{
    if (end == -1 || count <= 0)
        return;
    const int step = int(std::nearbyint(100.0 / count));
    if (start > 0)
        start -= 1;
    if (start == -1)
        start = 0;
    for (int i = 1; i <= count; ++i) {
        s.setSelStart(start);
        if (progress && progress->isVisible())
            progress->setValue(step * i);
        while (s.find(wrong[i], s.selStart(), end, FindWholeWord) >= 0) {
            change += int(right[i].size() - wrong[i].size());
            s.setSelText(right[i]);
        }
    }
}

struct Pairs {
    QStringList from{QString()}, to{QString()};
    Pairs &add(const QString &w, const QString &r)
    {
        from << w;
        to << r;
        return *this;
    }
    int count() const { return int(from.size()) - 1; }
};

QString correct(const QString &text, const Pairs &pairs, int *change = nullptr)
{
    Surface s;
    s.setText(text);
    int delta = 0, start = 0;
    SpellCorrectRange(pairs.from, pairs.to, pairs.count(), delta, start, s.length(), s, nullptr);
    if (change)
        *change = delta;
    return s.text();
}

void paint(Surface &s)
{
    for (int i = 0; i < s.length(); i += 2) {
        CharFormat f;
        f.color = BgrColor((i % 251) * 40503u & 0xFFFFFF);
        f.italic = (i / 2) % 3 == 0;
        s.setFormat(i, 1, f);
    }
}

void compareSurfaces(const Surface &a, const Surface &b)
{
    QCOMPARE(a.text(), b.text());
    for (int i = 0; i < a.length(); ++i)
        if (!(a.formatAt(i) == b.formatAt(i)))
            QFAIL(qPrintable(QStringLiteral("format differs at %1").arg(i)));
    QCOMPARE(a.selStart(), b.selStart());
    QCOMPARE(a.selLength(), b.selLength());
}

// Runs both on copies of text and compares everything they leave behind.
void compareWithReference(const QString &text, const Pairs &p, int start, int end)
{
    Surface ref, fast;
    ref.setText(text);
    fast.setText(text);
    paint(ref);
    paint(fast);
    RecordingProgress refBar, fastBar;
    refBar.setVisible(true);
    fastBar.setVisible(true);
    int refChange = 7, fastChange = 7, refStart = start, fastStart = start;
    referenceSpell(p.from, p.to, p.count(), refChange, refStart, end, ref, &refBar);
    SpellCorrectRange(p.from, p.to, p.count(), fastChange, fastStart, end, fast, &fastBar);
    QCOMPARE(fastChange, refChange);
    QCOMPARE(fastStart, refStart);
    QCOMPARE(fastBar.given, refBar.given);
    compareSurfaces(fast, ref);
}

QString randomText(QRandomGenerator &rng, int words)
{
    const QStringList vocab{"teh", "Teh", "TEH", "tehran", "x", "X", "xx", "p", "q", "r",
                            "foo_bar", "$x", "a", "int", "Int", "retrun", "é", "ab1"};
    const QStringList gaps{" ", "  ", ".", "(", ");\r\n", "\r\n", "\t", " + ", "é ", "-"};
    QString t;
    for (int i = 0; i < words; ++i)
        t += vocab[rng.bounded(int(vocab.size()))] + gaps[rng.bounded(int(gaps.size()))];
    return t;
}

Pairs randomPairs(QRandomGenerator &rng)
{
    const QStringList wrong{"teh", "x", "p", "q", "int", "retrun", "A", "XX", "foo_bar", "$x", "é"};
    const QStringList right{"the", "xx", "q", "r", "Integer", "return", "", "x x", "p",
                            "a.b", "teh teh", "é", "X"};
    Pairs p;
    const int n = 1 + rng.bounded(12);
    for (int i = 0; i < n; ++i)
        p.add(wrong[rng.bounded(int(wrong.size()))], right[rng.bounded(int(right.size()))]);
    return p;
}

} // namespace

class TestSpellCorrect : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { editorState() = EditorState{}; }

    void wholeWordsInAnyCase()
    {
        Pairs teh;
        teh.add(QStringLiteral("teh"), QStringLiteral("the"));
        QCOMPARE(correct(QStringLiteral("TEH Teh teh tehran"), teh),
                 QStringLiteral("the the the tehran"));
        int change = 0;
        Pairs x;
        x.add(QStringLiteral("x"), QStringLiteral("xx"));
        QCOMPARE(correct(QStringLiteral("x = x;"), x, &change), QStringLiteral("xx = xx;"));
        QCOMPARE(change, 2);
        // The end stays at the old length: a word that growth pushes past it
        // is not corrected.
        QCOMPARE(correct(QStringLiteral("x + x"), x, &change), QStringLiteral("xx + x"));
        // Pairs apply in order: a later pair sees what an earlier one wrote.
        Pairs chain;
        chain.add(QStringLiteral("p"), QStringLiteral("q")).add(QStringLiteral("q"), QStringLiteral("r"));
        QCOMPARE(correct(QStringLiteral("p"), chain), QStringLiteral("r"));
        // A right form holding its wrong form does not loop.
        Pairs grow;
        grow.add(QStringLiteral("a"), QStringLiteral("a a"));
        QCOMPARE(correct(QStringLiteral("a"), grow, &change), QStringLiteral("a a"));
        QCOMPARE(change, 2);
    }

    void rangeRules()
    {
        // The start moves one back; the end stays where it was passed, so
        // longer right forms push the last words out of the range.
        Surface s;
        s.setText(QStringLiteral("a a a"));
        Pairs p;
        p.add(QStringLiteral("a"), QStringLiteral("bbb"));
        int change = 0, start = 0;
        SpellCorrectRange(p.from, p.to, 1, change, start, 5, s, nullptr);
        QCOMPARE(s.text(), QStringLiteral("bbb bbb a"));
        QCOMPARE(change, 4);
        QCOMPARE(s.selStart(), 7);
        // Shorter right forms bring text beyond the end into the range.
        s.setText(QStringLiteral("bbb bbb bbb"));
        Pairs q;
        q.add(QStringLiteral("bbb"), QStringLiteral("a"));
        change = 0;
        start = 0;
        SpellCorrectRange(q.from, q.to, 1, change, start, 7, s, nullptr);
        QCOMPARE(s.text(), QStringLiteral("a a a"));
        // start 3 becomes 2: the word at 2 is found from there.
        s.setText(QStringLiteral("x x x"));
        start = 3;
        Pairs r;
        r.add(QStringLiteral("x"), QStringLiteral("y"));
        SpellCorrectRange(r.from, r.to, 1, change, start, 5, s, nullptr);
        QCOMPARE(start, 2);
        QCOMPARE(s.text(), QStringLiteral("x y y"));
        // end -1 or no pairs: nothing at all.
        start = 3;
        SpellCorrectRange(r.from, r.to, 1, change, start, -1, s, nullptr);
        SpellCorrectRange(r.from, r.to, 0, change, start, 5, s, nullptr);
        QCOMPARE(start, 3);
        QCOMPARE(s.text(), QStringLiteral("x y y"));
    }

    void insertedTextTakesTheFormatOfTheReplacedWord()
    {
        Surface s;
        s.setText(QStringLiteral("say teh end"));
        CharFormat red;
        red.color = 255;
        red.bold = true;
        s.setFormat(4, 1, red);
        Pairs p;
        p.add(QStringLiteral("teh"), QStringLiteral("thee"));
        int change = 0, start = 0;
        SpellCorrectRange(p.from, p.to, 1, change, start, s.length(), s, nullptr);
        QCOMPARE(s.text(), QStringLiteral("say thee end"));
        for (int i = 4; i < 8; ++i)
            QVERIFY(s.formatAt(i) == red);
        QVERIFY(s.formatAt(8) == CharFormat{});
    }

    void progressSteps()
    {
        QCOMPARE(spellProgressStep(300), 0);
        QCOMPARE(spellProgressStep(150), 1);
        QCOMPARE(spellProgressStep(200), 0); // 0.5: halves go to the even number
        QCOMPARE(spellProgressStep(40), 2);  // 2.5
        QCOMPARE(spellProgressStep(8), 12);  // 12.5
        QCOMPARE(spellProgressStep(1), 100);

        for (int count : {300, 150}) {
            Pairs p;
            for (int i = 0; i < count; ++i)
                p.add(QStringLiteral("w%1").arg(i), QStringLiteral("v"));
            Surface s;
            s.setText(QStringLiteral("w1 w2 w3"));
            RecordingProgress bar;
            bar.setVisible(true);
            bar.setValue(0);
            bar.given.clear();
            int change = 0, start = 0;
            SpellCorrectRange(p.from, p.to, count, change, start, s.length(), s, &bar);
            QCOMPARE(int(bar.given.size()), count);
            QCOMPARE(bar.given.back(), count == 300 ? 0 : 150);
            QCOMPARE(bar.value(), count == 300 ? 0 : 100);
            QCOMPARE(s.text(), QStringLiteral("v v v"));
        }
        // A hidden bar is not touched.
        Pairs one;
        one.add(QStringLiteral("a"), QStringLiteral("b"));
        RecordingProgress hidden;
        Surface s;
        s.setText(QStringLiteral("a"));
        int change = 0, start = 0;
        SpellCorrectRange(one.from, one.to, 1, change, start, 1, s, &hidden);
        QVERIFY(hidden.given.empty());
    }

    void equalsTheReferenceOnGeneratedText()
    {
        QRandomGenerator rng(77);
        for (int round = 0; round < 150; ++round) {
            // Long texts go through the word index, short ones search by search.
            const QString text = randomText(rng, round % 5 == 0 ? 20 : 400 + rng.bounded(800));
            const Pairs p = randomPairs(rng);
            const int len = int(text.size());
            const int start = round % 3 == 0 ? rng.bounded(len / 2 + 1) : 0;
            const int end = round % 4 == 0 ? len - rng.bounded(len / 3 + 1) : len;
            compareWithReference(text, p, start, end);
            if (QTest::currentTestFailed()) {
                qDebug() << "round" << round << p.from << p.to << start << end;
                return;
            }
        }
        // Wrong forms that are not plain words are searched for one by one.
        Pairs odd;
        odd.add(QStringLiteral("teh "), QStringLiteral("the ")).add(QStringLiteral("(x"), QStringLiteral("[y"));
        compareWithReference(randomText(rng, 1000), odd, 0, -2);
    }

    void equalsTheReferenceOnRealSource()
    {
        const QString src = kitJavaSource(150000);
        if (src.isEmpty())
            QSKIP("no Java kit with lib/src.zip");
        Pairs p;
        p.add(QStringLiteral("int"), QStringLiteral("Integer"))
            .add(QStringLiteral("return"), QStringLiteral("retrun"))
            .add(QStringLiteral("retrun"), QStringLiteral("return x"))
            .add(QStringLiteral("THE"), QStringLiteral("a"))
            .add(QStringLiteral("null"), QString())
            .add(QStringLiteral("E"), QStringLiteral("T"))
            .add(QStringLiteral("i"), QStringLiteral("index"))
            .add(QStringLiteral("Integer"), QStringLiteral("int"));
        for (int i = 0; i < 60; ++i)
            p.add(QStringLiteral("nosuchword%1").arg(i), QStringLiteral("x"));
        compareWithReference(src, p, 0, int(src.size()));
        compareWithReference(src, p, 1234, int(src.size()) - 5000);
    }

    void commandCorrectsTheWholeDocument()
    {
        FakeHost host;
        host.prefs.arrsfrom << QStringLiteral("teh");
        host.prefs.arrsto << QStringLiteral("the");
        host.prefs.fromtocount = 1;
        host.m_surface.setText(QStringLiteral("teh end\r\nTeh"));
        host.m_surface.setSelStart(4);
        QString captionDuringRun;
        bool flags = false, hidden = false;
        connect(&host.m_surface, &Surface::changed, this, [&] {
            captionDuringRun = host.caption();
            flags = editorState().suppressChange && editorState().suppressSelChange;
            hidden = !host.m_surface.isVisible();
        });
        spellcorrectallrtf(host);
        QVERIFY(host.prompts.asked().empty());
        QCOMPARE(host.m_surface.text(), QStringLiteral("the end\r\nthe"));
        QCOMPARE(captionDuringRun, QStringLiteral("Spellcorrecting words"));
        QVERIFY(flags && hidden);
        QCOMPARE(host.caption(), QStringLiteral("Document [A.java] - Quillon*"));
        QCOMPARE(host.m_surface.selStart(), 0);
        QCOMPARE(host.status, QStringLiteral("Done"));
        QVERIFY(!editorState().suppressChange && !editorState().suppressSelChange);
        QVERIFY(host.windowEnabled && !host.bar.isVisible() && host.m_surface.isVisible());
        QCOMPARE(host.bar.given, std::vector<int>{100});
    }

    void commandWithAnEmptyListOnlyMarksTheDocument()
    {
        FakeHost host;
        host.m_surface.setText(QStringLiteral("teh"));
        spellcorrectallrtf(host);
        QCOMPARE(host.m_surface.text(), QStringLiteral("teh"));
        QCOMPARE(host.caption(), QStringLiteral("Document [A.java] - Quillon*"));
        QCOMPARE(host.status, QStringLiteral("Done"));
        QVERIFY(!host.m_surface.canUndo());
        // An empty caption stays empty.
        host.m_caption.clear();
        spellcorrectallrtf(host);
        QCOMPARE(host.caption(), QString());

        // A modified document asks first; Cancel stops before anything.
        host.m_caption = QStringLiteral("Document [A.java] - Quillon*");
        host.log.clear();
        host.prompts.answer(MsgAnswer::Cancel);
        spellcorrectallrtf(host);
        QCOMPARE(host.prompts.messages(), QStringList{QStringLiteral("Would you like to save the file?")});
        QVERIFY(host.log.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSpellCorrect)
#include "tst_spellcorrect.moc"
