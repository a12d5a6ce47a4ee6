// Spell correction: SpellCorrectRange against a reference made of the
// surface's own find and replace, its progress steps and range rules, and
// the "&Spell correct all" command.
#include "fakehost.h"
#include "javasource.h"
#include "support/requirekit.h"

#include "base/editorstate.h"
#include "formatting/spellcorrect.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>

using namespace qln;
using namespace qln::test;

namespace {

// Search by search on the surface, as the routine is described, passing
// over matches right after a "." and keeping the replaced word's case.
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
        int at, caret = start;
        while ((at = s.find(wrong[i], s.selStart(), end, FindWholeWord)) >= 0) {
            if (at > 0 && s.at(at - 1) == QLatin1Char('.')) {
                s.setSelStart(at + int(wrong[i].size()));
                continue;
            }
            const QString put = CasePatterned(s.selText(), right[i]);
            change += int(put.size() - wrong[i].size());
            s.setSelText(put);
            caret = s.selStart();
        }
        s.setSelStart(caret); // after the last replacement, or at start
    }
}

// Wrong and right forms, 1-based as the routine takes them.
struct Pairs {
    Pairs(std::initializer_list<std::pair<QString, QString>> pairs = {})
    {
        for (const auto &[w, r] : pairs)
            add(w, r);
    }
    void add(const QString &w, const QString &r) { from << w, to << r; }
    int count() const { return int(from.size()) - 1; }
    QStringList from{QString()}, to{QString()};
};

// Corrects text[start, end) (end -2: the whole text); returns the text.
QString correct(const QString &text, const Pairs &p, int *change = nullptr, int start = 0,
                int end = -2)
{
    Surface s;
    s.setText(text);
    int delta = 0;
    SpellCorrectRange(p.from, p.to, p.count(), delta, start, end == -2 ? s.length() : end, s,
                      nullptr);
    if (change)
        *change = delta;
    return s.text();
}

// Runs both on copies of text and compares everything they leave behind.
void compareWithReference(const QString &text, const Pairs &p, int start, int end,
                          bool barVisible = true)
{
    Surface ref, fast;
    for (Surface *s : {&ref, &fast}) {
        s->setText(text);
        for (int i = 0; i < s->length(); i += 2)
            s->setFormat(i, 1,
                         CharFormat{BgrColor((i % 251) * 40503u & 0xFFFFFF), false,
                                    (i / 2) % 3 == 0, false, QString(), 0});
    }
    RecordingProgress refBar, fastBar;
    refBar.setVisible(barVisible);
    fastBar.setVisible(barVisible);
    int refChange = 7, fastChange = 7, refStart = start, fastStart = start;
    referenceSpell(p.from, p.to, p.count(), refChange, refStart, end, ref, &refBar);
    SpellCorrectRange(p.from, p.to, p.count(), fastChange, fastStart, end, fast, &fastBar);
    QCOMPARE(fastChange, refChange);
    QCOMPARE(fastStart, refStart);
    QCOMPARE(fastBar.given, refBar.given);
    QCOMPARE(fast.text(), ref.text());
    for (int i = 0; i < fast.length(); ++i)
        if (!(fast.formatAt(i) == ref.formatAt(i)))
            QFAIL(qPrintable(QStringLiteral("format differs at %1").arg(i)));
    QCOMPARE(fast.selStart(), ref.selStart());
    QCOMPARE(fast.selLength(), ref.selLength());
}

QString pick(QRandomGenerator &rng, const QStringList &from)
{
    return from[rng.bounded(int(from.size()))];
}

QString randomText(QRandomGenerator &rng, int words)
{
    const QStringList vocab{"teh", "Teh",     "TEH", "tehran", "x",   "X",   "xx",     "p", "q",
                            "r",   "foo_bar", "$x",  "a",      "int", "Int", "retrun", "é", "ab1"};
    const QStringList gaps{" ", "  ", ".", "(", ");\r\n", "\r\n", "\t", " + ", "é ", "-"};
    QString t;
    for (int i = 0; i < words; ++i)
        t += pick(rng, vocab) + pick(rng, gaps);
    return t;
}

} // namespace

class TestSpellCorrect : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { editorState() = EditorState{}; }

    void wordsAndRanges()
    {
        // Whole Java names only, in the case they were written, never a
        // member after a ".".
        QCOMPARE(correct("TEH Teh teh tehran teh_count $teh tehName", {{"teh", "the"}}),
                 QStringLiteral("THE The the tehran teh_count $teh tehName"));
        QCOMPARE(correct("obj.teh(teh); a. teh", {{"teh", "the"}}),
                 QStringLiteral("obj.teh(the); a. the"));
        QCOMPARE(correct("u U tEH i I", {{"i", "I"}, {"u", "you"}, {"teh", "the"}}),
                 QStringLiteral("you You the I I"));
        // Pairs apply in order: a later pair sees what an earlier one wrote.
        QCOMPARE(correct("p", {{"p", "q"}, {"q", "r"}}), QStringLiteral("r"));
        // A right form holding its wrong form does not loop.
        int change = 0;
        QCOMPARE(correct("a", {{"a", "a a"}}, &change), QStringLiteral("a a"));
        QCOMPARE(change, 2);

        // The end stays where it was passed: longer right forms push the
        // last words out of the range, shorter ones bring more in.
        QCOMPARE(correct("a a a", {{"a", "bbb"}}, &change, 0, 5), QStringLiteral("bbb bbb a"));
        QCOMPARE(change, 4);
        QCOMPARE(correct("bbb bbb bbb", {{"bbb", "a"}}, nullptr, 0, 7), QStringLiteral("a a a"));
        // The start moves one back: start 3 becomes 2, whose word is corrected.
        QCOMPARE(correct("x x x", {{"x", "y"}}, nullptr, 3, 5), QStringLiteral("x y y"));
        // End -1 or no pairs: nothing at all.
        QCOMPARE(correct("x x x", {{"x", "y"}}, nullptr, 3, -1), QStringLiteral("x x x"));
        QCOMPARE(correct("x x x", {}, nullptr, 3, 5), QStringLiteral("x x x"));
    }

    // The wrong forms are remembered from call to call: a list changed in
    // place between two calls, or grown, is read again.
    void listChangedBetweenCalls()
    {
        Pairs p{{"teh", "the"}};
        QCOMPARE(correct("teh adn wich", p), QStringLiteral("the adn wich"));
        p.from[1] = QStringLiteral("adn");
        p.to[1] = QStringLiteral("and");
        QCOMPARE(correct("teh adn wich", p), QStringLiteral("teh and wich"));
        p.add(QStringLiteral("wich"), QStringLiteral("which"));
        QCOMPARE(correct("teh adn wich", p), QStringLiteral("teh and which"));
        // A pair that is no plain word is searched for as it stands.
        p.add(QStringLiteral("teh adn"), QStringLiteral("x"));
        QCOMPARE(correct("teh adn", p), QStringLiteral("teh and"));
        QCOMPARE(correct("teh  adn", Pairs{{"teh  adn", "x"}}), QStringLiteral("x"));
    }

    void progressSteps()
    {
        QCOMPARE(spellProgressStep(200), 0); // 0.5: halves go to the even number
        QCOMPARE(spellProgressStep(40), 2);  // 2.5
        QCOMPARE(spellProgressStep(1), 100);
        // 150 pairs step by 1 past 100; a hidden bar is not touched.
        Pairs p;
        for (int i = 0; i < 150; ++i)
            p.add(QStringLiteral("w%1").arg(i), QStringLiteral("v"));
        compareWithReference(QStringLiteral("w1 w2 w3"), p, 0, 8);
        compareWithReference(QStringLiteral("w1 w2 w3"), p, 0, 8, false);
    }

    void equalsTheReference()
    {
        QRandomGenerator rng(77);
        const QStringList wrong{"teh", "x",  "p",       "q",  "int", "retrun",
                                "A",   "XX", "foo_bar", "$x", "é"};
        const QStringList right{"the", "xx", "q",   "r",       "Integer", "return", "",
                                "x x", "p",  "a.b", "teh teh", "é",       "X"};
        for (int round = 0; round < 150 && !QTest::currentTestFailed(); ++round) {
            // Long texts go through the word index, short ones search by search.
            const QString text = randomText(rng, round % 5 == 0 ? 20 : 400 + rng.bounded(800));
            Pairs p;
            for (int i = 1 + rng.bounded(12); i > 0; --i)
                p.add(pick(rng, wrong), pick(rng, right));
            const int len = int(text.size());
            const int start = round % 3 == 0 ? rng.bounded(len / 2 + 1) : 0;
            const int end = round % 4 == 0 ? len - rng.bounded(len / 3 + 1) : len;
            // A hidden bar (typing) lets a range without wrong forms be
            // passed over without a search per pair.
            compareWithReference(text, p, start, end, round % 2 == 0);
        }
        // Wrong forms that are not plain words are searched for one by one.
        compareWithReference(randomText(rng, 1000), {{"teh ", "the "}, {"(x", "[y"}}, 0, -2);

        const QString src = kitJavaSource(150000);
        QLN_REQUIRE_KIT(!src.isEmpty(), "a Java kit with lib/src.zip");
        Pairs p{{"int", "Integer"}, {"return", "retrun"}, {"retrun", "return x"},
                {"THE", "a"},       {"null", ""},         {"E", "T"},
                {"i", "index"},     {"Integer", "int"}};
        for (int i = 0; i < 60; ++i)
            p.add(QStringLiteral("nosuchword%1").arg(i), QStringLiteral("x"));
        compareWithReference(src, p, 0, int(src.size()));
        compareWithReference(src, p, 1234, int(src.size()) - 5000);
    }

    // The window handling is BulkRun's, whose checks are in tst_indenter.
    void command()
    {
        FakeHost host;
        host.prefs.arrsfrom << QStringLiteral("teh");
        host.prefs.arrsto << QStringLiteral("the");
        host.prefs.fromtocount = 1;
        host.m_surface.setText(QStringLiteral("teh end\r\nTeh"));
        QString captionDuringRun;
        connect(&host.m_surface, &Surface::changed, this,
                [&] { captionDuringRun = host.caption(); });
        spellcorrectallrtf(host);
        QVERIFY(host.prompts.asked().empty());
        QCOMPARE(host.m_surface.text(), QStringLiteral("the end\r\nThe"));
        QCOMPARE(captionDuringRun, QStringLiteral("Spellcorrecting words"));
        QCOMPARE(host.bar.given, std::vector<int>{100});
        // Now modified, it asks first; Cancel stops before anything.
        host.log.clear();
        host.prompts.answer(MsgAnswer::Cancel);
        spellcorrectallrtf(host);
        QCOMPARE(host.prompts.messages(),
                 QStringList{QStringLiteral("Would you like to save the file?")});
        QVERIFY(host.log.isEmpty());
        // An empty caption stays empty.
        host.m_caption.clear();
        spellcorrectallrtf(host);
        QCOMPARE(host.caption(), QString());
    }
};

QTEST_GUILESS_MAIN(TestSpellCorrect)
#include "tst_spellcorrect.moc"
