// Case changes: the word-character test, the offer to suspend the automatic
// features, lowercase/UPPERCASE as single edits, and Invert Case and
// Capitalize against a character-by-character reference on the surface.
#include "fakehost.h"

#include "base/editorstate.h"
#include "formatting/casechange.h"

#include <QRandomGenerator>
#include <QTest>

using namespace qln;
using namespace qln::test;

namespace {

const QString kSuspendQuestion = QStringLiteral(
    "Would you like to turn off the autotreesearch, autocolorize and autospellcorrect features "
    "during the process?\r\nIf you choose yes, it will speed up the process significantly");

enum class Walk { Invert, Capitalize };

// The other case of one character when it and the result are both single
// Latin-1 characters; otherwise the character itself.
QString latin1Case(const QString &c, bool toUpper)
{
    const QString other = toUpper ? c.toUpper() : c.toLower();
    const bool fits =
        other.size() == 1 && c.size() == 1 && c[0].unicode() <= 0xFF && other[0].unicode() <= 0xFF;
    return fits ? other : c;
}

// The walk as described, one selection and one replacement per character
// on the surface, over the selection only.
void referenceWalk(Surface &surface, Walk walk)
{
    int s = surface.selStart();
    const int e = s + surface.selLength();
    bool prev = true;
    if (walk == Walk::Capitalize && s > 0) {
        s -= 1;
        prev = false;
    }
    for (int i = s; i < e; ++i) {
        surface.setSelection(i, 1);
        const QString c = surface.selText();
        if (walk == Walk::Invert) {
            const QString u = latin1Case(c, true);
            if (!IsWordDelimiter(u))
                surface.setSelText(c == u ? latin1Case(c, false) : u);
        } else {
            if (!IsWordDelimiter(c) && prev) {
                surface.setSelText(latin1Case(c, true));
                surface.setSelection(i, 1);
            }
            prev = IsWordDelimiter(surface.selText());
        }
    }
}

using Command = void (*)(CommandHost &, const AutoFeatureSwitches &);

QString randomText(QRandomGenerator &rng, int n)
{
    const QString alphabet = QStringLiteral("aBzZ09._ -$\té\u00DFxY(\r\n\u0131\u017F\uFB01\u03A9");
    QString t;
    for (int i = 0; i < n; ++i)
        t += alphabet[rng.bounded(int(alphabet.size()))];
    return Surface::normalizeLineBreaks(t);
}

} // namespace

class TestCaseChange : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { editorState() = EditorState{}; }

    void wordDelimitersAndTheSuspendQuestion()
    {
        // Only ASCII letters, digits, '.' and '_' are word characters; the
        // neighbours of each range and letters outside ASCII are not.
        QVERIFY(IsWordDelimiter(QString()));
        for (const char *word : {"0", "9", "A", "Z", "a", "z", ".", "_", "abc"})
            QVERIFY2(!IsWordDelimiter(QString::fromLatin1(word)), word);
        for (const QChar c : QStringLiteral(" $-/@[`{:\té"))
            QVERIFY2(IsWordDelimiter(QString(c)), qPrintable(QString(c)));

        ScriptedPrompter p;
        QVERIFY(AskSuspendAutoFeatures(p, AutoFeatureSwitches{}));
        QVERIFY(p.asked().empty());
        // Each feature alone asks; Yes suspends them, No does not.
        for (int which = 0; which < 4; ++which) {
            AutoFeatureSwitches on;
            on.autoSyntaxColor = which == 0 || which == 3;
            on.autoSpellCorrect = which == 1;
            on.autoTreeSearch = which == 2;
            p.answer(which == 3 ? MsgAnswer::No : MsgAnswer::Yes);
            QCOMPARE(AskSuspendAutoFeatures(p, on), which != 3);
        }
        QCOMPARE(p.asked().size(), size_t(4));
        const MessageRequest &m = p.asked()[0].message;
        QCOMPARE(QStringList({m.title, QString::number(int(m.icon)),
                              QString::number(int(m.buttons)), m.text}),
                 QStringList({QString(), QString::number(int(MsgIcon::Question)),
                              QString::number(int(MsgButtons::YesNo)), kSuspendQuestion}));
    }

    void lowerAndUpperCaseAreSingleEdits()
    {
        FakeHost host;
        host.m_surface.setText(QStringLiteral("Hello World"));
        host.m_surface.setSelection(0, 5);
        int changes = 0;
        bool flagsClear = false;
        connect(&host.m_surface, &Surface::changed, this, [&] {
            ++changes;
            flagsClear = !editorState().suppressChange && !editorState().suppressSelChange;
        });
        uppercase(host);
        QCOMPARE(host.m_surface.text(), QStringLiteral("HELLO World"));
        QCOMPARE(changes, 1);
        QVERIFY(flagsClear);
        QCOMPARE(host.log, (QStringList{"status Please wait", "busy", "idle", "status Done"}));
        host.m_surface.setSelection(0, 11);
        lowercase(host);
        QCOMPARE(host.m_surface.text(), QStringLiteral("hello world"));
        // An empty selection: nothing, not even the status bar.
        host.log.clear();
        host.m_surface.setSelStart(3);
        lowercase(host);
        uppercase(host);
        QVERIFY(host.log.isEmpty());
        QCOMPARE(changes, 2);
    }

    void walkFlagsAndQuestion()
    {
        FakeHost host;
        bool change = false, sel = false, hidden = false;
        int edits = 0;
        connect(&host.m_surface, &Surface::changed, this, [&] {
            ++edits;
            change = editorState().suppressChange;
            sel = editorState().suppressSelChange;
            hidden = !host.surfacePainted;
        });
        const auto walk = [&](Command command, const AutoFeatureSwitches &on,
                              const char *expected) {
            host.m_surface.setText(QStringLiteral("ab cd"));
            host.m_surface.setSelection(0, 5);
            edits = 0;
            command(host, on);
            QCOMPARE(host.m_surface.text(), QString::fromLatin1(expected));
        };
        // All features off: no question, and suppressChange is set for the walk.
        walk(invertcase, AutoFeatureSwitches{}, "AB CD");
        QVERIFY(host.prompts.asked().empty());
        QVERIFY(change && sel && hidden);
        QVERIFY(!editorState().suppressChange && !editorState().suppressSelChange);
        QVERIFY(host.surfacePainted);
        // A feature on and the answer No: suppressChange stays clear, so the
        // change handler sees every character's edit.
        AutoFeatureSwitches on;
        on.autoSpellCorrect = true;
        host.prompts.answer(MsgAnswer::No);
        walk(capitalize, on, "Ab Cd");
        QCOMPARE(host.prompts.messages(), QStringList{kSuspendQuestion});
        QVERIFY(!change && sel);
        QCOMPARE(edits, 2);
        // Yes: one edit with the handler suppressed.
        host.prompts.answer(MsgAnswer::Yes);
        walk(invertcase, on, "AB CD");
        QCOMPARE(edits, 1);
        QVERIFY(change);
    }

    void walksEqualTheReference()
    {
        // Fixed cases first: dotted names and digits, a start inside a word,
        // and letters whose other case is no single Latin-1 letter ("ß", dotless
        // i, long s, the "fi" ligature, Greek, the Kelvin sign) or that are no
        // word characters (accented Latin-1); then random text and selections.
        struct Case {
            QString text;
            int start, length;
        };
        std::vector<Case> cases;
        for (const QString &t :
             {QStringLiteral("java.lang.String x1 2b"), QStringLiteral("aB1"),
              QStringLiteral("straße"), QStringLiteral("éa"), QStringLiteral("\u0131x b"),
              QStringLiteral("\u017Fa"), QStringLiteral("\uFB01b \uFB01 b"),
              QStringLiteral("\u03B1\u0391a"), QStringLiteral("\u212Ak"), QStringLiteral("ßa x")})
            cases.push_back({t, 0, int(t.size())});
        cases.push_back({QStringLiteral("abc def"), 1, 6});
        QRandomGenerator rng(4711);
        for (int round = 0; round < 200; ++round) {
            const QString text = randomText(rng, 1 + rng.bounded(120));
            const int start = rng.bounded(int(text.size()));
            cases.push_back({text, start, 1 + rng.bounded(int(text.size()) - start)});
        }
        for (const Case &c : cases) {
            for (const Walk walk : {Walk::Invert, Walk::Capitalize}) {
                // Both ways of running the command: in one edit (features
                // suspended) and edit by edit (features kept on).
                for (bool suspend : {true, false}) {
                    Surface ref;
                    FakeHost host;
                    for (Surface *s : {&ref, &host.m_surface}) {
                        s->setText(c.text);
                        for (int i = 0; i < s->length(); ++i)
                            s->setFormat(i, 1,
                                         CharFormat{BgrColor((i % 251) * 40503u & 0xFFFFFF), false,
                                                    false, i % 4 == 0, QString(), 0});
                        s->setSelection(c.start, c.length);
                    }
                    referenceWalk(ref, walk);
                    AutoFeatureSwitches on;
                    on.autoTreeSearch = true;
                    host.prompts.answer(suspend ? MsgAnswer::Yes : MsgAnswer::No);
                    (walk == Walk::Invert ? invertcase : capitalize)(host, on);
                    QCOMPARE(host.m_surface.text(), ref.text());
                    for (int i = 0; i < ref.length(); ++i)
                        QVERIFY2(host.m_surface.formatAt(i) == ref.formatAt(i), "format differs");
                    QCOMPARE(QPair(host.m_surface.selStart(), host.m_surface.selLength()),
                             QPair(ref.selStart(), ref.selLength()));
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestCaseChange)
#include "tst_casechange.moc"
