// Find and replace: the searches in both directions, Replace, Replace All
// with its count and stop rule, the shared history, and the frmFind window
// driven offscreen. Replace All's single-edit path is checked against a
// literal one-replacement-at-a-time run on generated documents.
#include "dialogs/findreplace.h"
#include "dialogs/frmfind.h"
#include "shell/editorstate.h"
#include "support/scriptedprompter.h"
#include "surface/surface.h"
#include "surface/surfaceview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTest>

using namespace qln;
using qln::test::ScriptedPrompter;

namespace {

// Records whether the surface was visible when each message came up.
class WatchingPrompter : public ScriptedPrompter {
public:
    explicit WatchingPrompter(const Surface &surface) : m_surface(surface) {}
    MsgAnswer message(const MessageRequest &request) override
    {
        visibleAtMessage.push_back(m_surface.isVisible());
        return ScriptedPrompter::message(request);
    }
    using ScriptedPrompter::message;
    std::vector<bool> visibleAtMessage;

private:
    const Surface &m_surface;
};

const QString kNotFound = QStringLiteral("The search string was not found.");
const QString kEnterValue = QStringLiteral("Please enter a value in Find field");

// Replace All as one find and one replacement at a time, written straight
// from the rule: a selection equal to the find text is replaced first and
// the text it put in is never searched; an empty selection means find from
// the search position (the match position plus the replacement's length);
// a selected text that is not exactly the find text ends the run.
int referenceReplaceAll(Surface &s, const QString &findText, const QString &replaceText,
                        int options)
{
    const int n = int(findText.size());
    int searchPos = 0, count = 0;
    int guardStart = -1, guardEnd = -1;
    const bool startedWithSelection = s.selLength() > 0;
    for (;;) {
        if (s.selLength() == 0) {
            int p = s.indexOf(findText, searchPos, -1, options);
            if (p >= 0 && guardStart >= 0 && p < guardEnd && p + n > guardStart)
                p = s.indexOf(findText, guardEnd, -1, options);
            if (p < 0)
                break;
            s.find(findText, p, -1, options);
            searchPos = p + int(replaceText.size());
        }
        if (s.selText() != findText)
            break;
        const int at = s.selStart();
        const int before = s.length();
        s.setSelText(replaceText);
        ++count;
        if (count == 1 && startedWithSelection) {
            guardStart = at;
            guardEnd = at + int(replaceText.size());
        } else if (guardStart >= 0 && at < guardStart) {
            guardStart += s.length() - before;
            guardEnd += s.length() - before;
        }
    }
    return count;
}

struct Snapshot {
    QString text;
    std::vector<CharFormat> formats;
    int selStart, selLength;
    bool operator==(const Snapshot &) const = default;
};

Snapshot snapshot(const Surface &s)
{
    Snapshot snap{s.text(), {}, s.selStart(), s.selLength()};
    for (int i = 0; i < s.length(); ++i)
        snap.formats.push_back(s.formatAt(i));
    return snap;
}

} // namespace

class TstFindReplace : public QObject {
    Q_OBJECT
private slots:
    void init();

    void forwardSearch_data();
    void forwardSearch();
    void backwardSearch_data();
    void backwardSearch();
    void backwardSearchAgreesWithLastIndexOf();
    void notFoundShowsTheSurfaceDuringTheMessage();
    void emptyFindBoxAsksForAValue();

    void replaceWithEmptySelectionOnlyFinds();
    void replaceReplacesSelectionAndFindsNext_data();
    void replaceReplacesSelectionAndFindsNext();

    void replaceAll_data();
    void replaceAll();
    void replaceAllSuspendOffer_data();
    void replaceAllSuspendOffer();
    void replaceAllMatchesOneAtATimeReference();

    void historyRefill_data();
    void historyRefill();
    void historyAfterSeveralSearches();
    void activationTakesLastTextsOrSelection();

    void dialogControlsAndCaption();
    void dialogFindAndReplaceAllByMouse();
    void dialogEscapeHidesAndKeepsState();
    void dialogFindNextWithoutShowing();
};

void TstFindReplace::init()
{
    editorState() = EditorState{};
}

void TstFindReplace::forwardSearch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("expected"); // -1: not found, selection unchanged

    const QString t = QStringLiteral("int my_var = var;\r\nVar x;");
    QTest::newRow("finds after the caret") << t << 0 << 0 << "var" << 0 << 7;
    QTest::newRow("match after caret only before: not found, no wrap")
        << t << 17 << 0 << "my_var" << 0 << -1;
    QTest::newRow("current match is not found again") << t << 7 << 3 << "var" << 0 << 13;
    QTest::newRow("whole word: my_var is one word") << t << 0 << 0 << "var" << 2 << 13;
    QTest::newRow("case-insensitive reaches Var") << t << 14 << 0 << "var" << 0 << 19;
    QTest::newRow("match case skips Var") << t << 14 << 0 << "var" << 4 << -1;
    QTest::newRow("at the very end") << t << t.size() << 0 << "x" << 0 << -1;
}

void TstFindReplace::forwardSearch()
{
    QFETCH(QString, text);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, needle);
    QFETCH(int, options);
    QFETCH(int, expected);
    Surface s;
    s.setText(text);
    s.setSelection(selStart, selLength);
    ScriptedPrompter prompter;
    FindReplace fr(s, prompter);
    fr.setFindText(needle);
    fr.setWholeWord(options & FindWholeWord);
    fr.setMatchCase(options & FindMatchCase);
    prompter.answer(MsgAnswer::Ok);
    QVERIFY(fr.find());
    if (expected < 0) {
        QCOMPARE(prompter.messages(), QStringList{kNotFound});
        QCOMPARE(s.selStart(), selStart);
        QCOMPARE(s.selLength(), selLength);
    } else {
        QVERIFY(prompter.messages().isEmpty());
        QCOMPARE(s.selStart(), expected);
        QCOMPARE(s.selLength(), int(needle.size()));
    }
    QVERIFY(s.isVisible());
}

void TstFindReplace::backwardSearch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<int>("expectedStart");
    QTest::addColumn<int>("expectedLength");
    QTest::addColumn<bool>("notFound");

    // "var" inside my_var at 7, the word var at 13, Var at 19.
    const QString t = QStringLiteral("int my_var = var;\r\nVar x;");
    QTest::newRow("plain: nearest occurrence before the caret") << t << 17 << 0 << "var" << false
                                                                << false << 13 << 3 << false;
    QTest::newRow("plain: must end at or before the selection start")
        << t << 14 << 2 << "var" << false << false << 7 << 3 << false;
    QTest::newRow("plain: case-insensitive finds Var") << t << 25 << 0 << "var" << false
                                                       << false << 19 << 3 << false;
    QTest::newRow("plain: match case passes Var") << t << 25 << 0 << "var" << false << true
                                                  << 13 << 3 << false;
    QTest::newRow("plain: from position 0 nothing") << t << 0 << 0 << "int" << false << false
                                                    << 0 << 0 << true;
    QTest::newRow("whole word: second var when before the caret")
        << t << 16 << 0 << "var" << true << false << 13 << 3 << false;
    QTest::newRow("whole word: var of my_var counts, _ is a boundary")
        << t << 13 << 0 << "var" << true << false << 7 << 3 << false;
    QTest::newRow("whole word: none before, selection comes back")
        << t << 5 << 2 << "var" << true << false << 5 << 2 << true;
    QTest::newRow("whole word: non-words passed over")
        << QStringLiteral("ab abc xab cab") << 14 << 0 << "ab" << true << false << 0 << 2 << false;
    QTest::newRow("whole word: all non-words, selection comes back")
        << QStringLiteral("xab cab dabd") << 12 << 0 << "ab" << true << false << 12 << 0 << true;
    QTest::newRow("whole word: dot is a boundary backwards")
        << QStringLiteral("java.lang x") << 11 << 0 << "lang" << true << false << 5 << 4 << false;
}

void TstFindReplace::backwardSearch()
{
    QFETCH(QString, text);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, needle);
    QFETCH(bool, wholeWord);
    QFETCH(bool, matchCase);
    QFETCH(int, expectedStart);
    QFETCH(int, expectedLength);
    QFETCH(bool, notFound);
    Surface s;
    s.setText(text);
    s.setSelection(selStart, selLength);
    ScriptedPrompter prompter;
    FindReplace fr(s, prompter);
    fr.setFindText(needle);
    fr.setUp(true);
    fr.setWholeWord(wholeWord);
    fr.setMatchCase(matchCase);
    prompter.answer(MsgAnswer::Ok);
    fr.find();
    QCOMPARE(prompter.messages(), notFound ? QStringList{kNotFound} : QStringList{});
    QCOMPARE(s.selStart(), expectedStart);
    QCOMPARE(s.selLength(), expectedLength);
}

void TstFindReplace::backwardSearchAgreesWithLastIndexOf()
{
    // Long enough that the search goes back through several windows.
    QRandomGenerator rng(7);
    QString text;
    for (int i = 0; i < 20000; ++i)
        text += QLatin1Char("aAbB  "[rng.bounded(6)]);
    Surface s;
    s.setText(text);
    ScriptedPrompter prompter;
    FindReplace fr(s, prompter);
    fr.setUp(true);
    for (const char *needle : {"ab", "aBa", "bbbb", "ab ab"}) {
        fr.setFindText(QLatin1String(needle));
        for (bool matchCase : {false, true}) {
            fr.setMatchCase(matchCase);
            const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
            for (int pos = text.size(); pos >= 0; pos -= int(rng.bounded(1, 900))) {
                const QStringView before = QStringView(text).left(pos);
                const qsizetype expected =
                    before.lastIndexOf(QLatin1String(needle), before.size() - qsizetype(strlen(needle)), cs);
                s.setSelStart(pos);
                prompter.answer(MsgAnswer::Ok);
                fr.searchBackward();
                const QByteArray where = QByteArray(needle) + " from " + QByteArray::number(pos);
                if (expected < 0 || pos < int(strlen(needle)))
                    QVERIFY2(s.selStart() == pos && s.selLength() == 0, where.constData());
                else
                    QVERIFY2(s.selStart() == int(expected), where.constData());
            }
        }
    }
}

void TstFindReplace::notFoundShowsTheSurfaceDuringTheMessage()
{
    Surface s;
    s.setText(QStringLiteral("alpha beta"));
    s.setSelStart(6);
    WatchingPrompter prompter(s);
    FindReplace fr(s, prompter);
    fr.setFindText(QStringLiteral("alpha"));
    prompter.answer(MsgAnswer::Ok);
    fr.find();
    QCOMPARE(prompter.asked().size(), size_t(1));
    const MessageRequest &m = prompter.asked().front().message;
    QCOMPARE(m.text, kNotFound);
    QCOMPARE(m.title, QString());
    QCOMPARE(m.icon, MsgIcon::None);
    QCOMPARE(m.buttons, MsgButtons::Ok);
    QCOMPARE(prompter.visibleAtMessage, std::vector<bool>{true});
}

void TstFindReplace::emptyFindBoxAsksForAValue()
{
    Surface s;
    s.setText(QStringLiteral("abc"));
    ScriptedPrompter prompter;
    FindReplace fr(s, prompter);
    prompter.answer(MsgAnswer::Ok);
    prompter.answer(MsgAnswer::Ok);
    QVERIFY(!fr.find());
    QCOMPARE(fr.replaceAll(), -1);
    QCOMPARE(prompter.messages(), (QStringList{kEnterValue, kEnterValue}));
    for (const auto &asked : prompter.asked()) {
        QCOMPARE(asked.message.title, QString());
        QCOMPARE(asked.message.icon, MsgIcon::None);
        QCOMPARE(asked.message.buttons, MsgButtons::Ok);
    }
    QCOMPARE(s.text(), QStringLiteral("abc"));
    QVERIFY(fr.history().isEmpty());
}

void TstFindReplace::replaceWithEmptySelectionOnlyFinds()
{
    Surface s;
    s.setText(QStringLiteral("a cat, a cat"));
    s.setSelStart(1);
    ScriptedPrompter prompter;
    FindReplace fr(s, prompter);
    fr.setFindText(QStringLiteral("cat"));
    fr.setReplaceText(QStringLiteral("dog"));
    QVERIFY(fr.replace());
    QCOMPARE(s.text(), QStringLiteral("a cat, a cat"));
    QCOMPARE(s.selStart(), 2);
    QCOMPARE(s.selLength(), 3);
}

void TstFindReplace::replaceReplacesSelectionAndFindsNext_data()
{
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<int>("expectedSel");
    // "cat cat cat": replace the middle one by "tiger".
    QTest::newRow("down: next match after the new text")
        << false << 4 << QStringLiteral("cat tiger cat") << 10;
    QTest::newRow("up: previous match before the new text")
        << true << 4 << QStringLiteral("cat tiger cat") << 0;
}

void TstFindReplace::replaceReplacesSelectionAndFindsNext()
{
    QFETCH(bool, up);
    QFETCH(int, selStart);
    QFETCH(QString, expectedText);
    QFETCH(int, expectedSel);
    Surface s;
    s.setText(QStringLiteral("cat cat cat"));
    s.setSelection(selStart, 3);
    ScriptedPrompter prompter;
    FindReplace fr(s, prompter);
    fr.setFindText(QStringLiteral("cat"));
    fr.setReplaceText(QStringLiteral("tiger"));
    fr.setUp(up);
    fr.replace();
    QCOMPARE(s.text(), expectedText);
    QCOMPARE(s.selStart(), expectedSel);
    QCOMPARE(s.selLength(), 3);
    QVERIFY(prompter.messages().isEmpty());
}

void TstFindReplace::replaceAll_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<QString>("findText");
    QTest::addColumn<QString>("replaceText");
    QTest::addColumn<int>("options");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<int>("expectedCount");
    QTest::addColumn<int>("expectedSelStart");
    QTest::addColumn<int>("expectedSelLength");

    QTest::newRow("x by xx: each occurrence once")
        << "x = x + x;" << 0 << 0 << "x" << "xx" << 0 << "xx = xx + xx;" << 3 << 12 << 0;
    QTest::newRow("from the top whatever the caret")
        << "ab ab ab" << 8 << 0 << "ab" << "c" << 0 << "c c c" << 3 << 5 << 0;
    QTest::newRow("non-matching selection: nothing, count 0")
        << "ab ab ab" << 0 << 2 << "b" << "c" << 0 << "ab ab ab" << 0 << 0 << 2;
    QTest::newRow("matching selection first, x by xx still once each")
        << "x x x" << 2 << 1 << "x" << "xx" << 0 << "xx xx xx" << 3 << 8 << 0;
    QTest::newRow("other case ends the run and stays selected")
        << "ab AB ab" << 0 << 0 << "ab" << "z" << 0 << "z AB ab" << 1 << 2 << 2;
    QTest::newRow("match case passes the other case")
        << "ab AB ab" << 0 << 0 << "ab" << "z" << 4 << "z AB z" << 2 << 6 << 0;
    QTest::newRow("whole word leaves my_x alone")
        << "my_x x x1" << 0 << 0 << "x" << "y" << 2 << "my_x y x1" << 1 << 6 << 0;
    QTest::newRow("whole word looks at the text just put in")
        << "a a a " << 0 << 0 << "a " << "x" << 2 << "xa x" << 2 << 4 << 0;
    QTest::newRow("empty replacement deletes")
        << "a-b-c" << 0 << 0 << "-" << "" << 0 << "abc" << 2 << 2 << 0;
    QTest::newRow("not present: count 0, caret stays")
        << "abc" << 1 << 0 << "zz" << "y" << 0 << "abc" << 0 << 1 << 0;
    QTest::newRow("across lines")
        << "ab\r\nab\r\n" << 0 << 0 << "ab" << "abc" << 0 << "abc\r\nabc\r\n" << 2 << 8 << 0;
}

void TstFindReplace::replaceAll()
{
    QFETCH(QString, text);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, findText);
    QFETCH(QString, replaceText);
    QFETCH(int, options);
    QFETCH(QString, expectedText);
    QFETCH(int, expectedCount);
    QFETCH(int, expectedSelStart);
    QFETCH(int, expectedSelLength);
    for (bool suspend : {true, false}) {
        Surface s;
        s.setText(text);
        s.setSelection(selStart, selLength);
        ScriptedPrompter prompter;
        FindReplace fr(s, prompter);
        fr.setSuspendOffer([suspend] { return suspend; });
        fr.setFindText(findText);
        fr.setReplaceText(replaceText);
        fr.setWholeWord(options & FindWholeWord);
        fr.setMatchCase(options & FindMatchCase);
        prompter.answer(MsgAnswer::Ok);
        QCOMPARE(fr.replaceAll(), expectedCount);
        QCOMPARE(s.text(), expectedText);
        QCOMPARE(s.selStart(), expectedSelStart);
        QCOMPARE(s.selLength(), expectedSelLength);
        QCOMPARE(prompter.asked().size(), size_t(1));
        const MessageRequest &m = prompter.asked().front().message;
        QCOMPARE(m.text, QString::number(expectedCount) + QStringLiteral(" items replaced"));
        QCOMPARE(m.title, QString());
        QCOMPARE(m.icon, MsgIcon::None);
        QCOMPARE(m.buttons, MsgButtons::Ok);
        QVERIFY(s.isVisible());
        QCOMPARE(fr.findText(), findText);
        QCOMPARE(fr.replaceText(), replaceText);
    }
}

void TstFindReplace::replaceAllSuspendOffer_data()
{
    QTest::addColumn<bool>("suspend");
    QTest::addColumn<int>("expectedChanges");
    // Declining keeps the change handler live for every replacement.
    QTest::newRow("suspended: one edit") << true << 1;
    QTest::newRow("declined: one edit per replacement") << false << 3;
}

void TstFindReplace::replaceAllSuspendOffer()
{
    QFETCH(bool, suspend);
    QFETCH(int, expectedChanges);
    Surface s;
    s.setText(QStringLiteral("a a a"));
    ScriptedPrompter prompter;
    FindReplace fr(s, prompter);
    int offers = 0;
    fr.setSuspendOffer([&] {
        ++offers;
        return suspend;
    });
    int changes = 0;
    bool flagsHeld = true;
    connect(&s, &Surface::changed, this, [&] {
        ++changes;
        flagsHeld = flagsHeld && editorState().suppressChange == suspend
                    && editorState().suppressSelChange && !s.isVisible();
    });
    fr.setFindText(QStringLiteral("a"));
    fr.setReplaceText(QStringLiteral("b"));
    prompter.answer(MsgAnswer::Ok);
    QCOMPARE(fr.replaceAll(), 3);
    QCOMPARE(offers, 1);
    QCOMPARE(changes, expectedChanges);
    QVERIFY(flagsHeld);
    QVERIFY(!editorState().suppressChange);
    QVERIFY(!editorState().suppressSelChange);
    QVERIFY(s.isVisible());
}

void TstFindReplace::replaceAllMatchesOneAtATimeReference()
{
    // Small alphabets make adjacent, overlapping and case-differing matches
    // and word boundaries next to replacements common.
    const QStringList pieces{"a", "b", "a", "b", "ab", "ba", "A", "B", "_", " ", "x", "\r\n", "$", "-"};
    const QStringList tight{"a", " ", "a ", "b", "-", "ab"};
    const QStringList finds{"a", "ab", "ba", "aa", "Ab", " a", "a_", "b$", "a ", "b-"};
    const QStringList replaces{"", "a", "b", "ab", "aab", "x", "_", "A", " ", "bab"};
    const BgrColor colors[] = {0, 255, 16711680, 4227072};
    QRandomGenerator rng(20261205);
    int compared = 0, nonTrivial = 0;
    for (int round = 0; round < 6000; ++round) {
        QString text;
        // Half the rounds use few letters, so matches touch each other.
        const QStringList &alphabet = rng.bounded(2) ? pieces : tight;
        const int parts = int(rng.bounded(1, 40));
        for (int i = 0; i < parts; ++i)
            text += alphabet.at(int(rng.bounded(alphabet.size())));
        // Capitals end a case-insensitive run early: only in some rounds.
        if (rng.bounded(4) != 0)
            text = text.toLower();
        const QString findText = finds.at(int(rng.bounded(finds.size())));
        const QString replaceText = replaces.at(int(rng.bounded(replaces.size())));
        const int options = int(rng.bounded(4)) * 2;

        Surface ref, one, batched;
        for (Surface *s : {&ref, &one, &batched}) {
            s->setText(text);
            // A few coloured stretches, so inserted text shows whose format
            // it took.
            QRandomGenerator colourRng{quint32(round)};
            for (int k = 0; k < 4; ++k) {
                const int at = int(colourRng.bounded(text.size() + 1));
                s->setSelection(at, int(colourRng.bounded(6)));
                s->setSelColor(colors[colourRng.bounded(4)]);
                s->setSelBold(colourRng.bounded(2));
            }
        }
        // The starting selection: empty, an occurrence, or something else.
        const int draw = int(rng.bounded(10));
        const int kind = draw < 6 ? 0 : draw < 9 ? 1 : 2;
        int selStart = int(rng.bounded(text.size() + 1)), selLength = 0;
        if (kind == 1) {
            const int p = ref.indexOf(findText, 0, -1, FindMatchCase);
            if (p >= 0) {
                selStart = p;
                selLength = int(findText.size());
            }
        } else if (kind == 2) {
            selLength = int(rng.bounded(3));
        }
        for (Surface *s : {&ref, &one, &batched})
            s->setSelection(selStart, selLength);
        const int refCount = referenceReplaceAll(ref, findText, replaceText, options);
        const int oneCount =
            replaceEvery(one, findText, replaceText, options, ReplaceMode::OneAtATime);
        const int batchedCount =
            replaceEvery(batched, findText, replaceText, options, ReplaceMode::Batched);
        const Snapshot expected = snapshot(ref);
        const QByteArray where = QStringLiteral("round %1: \"%2\" find \"%3\" by \"%4\" options %5")
                                     .arg(round)
                                     .arg(text, findText, replaceText)
                                     .arg(options)
                                     .toUtf8();
        QVERIFY2(oneCount == refCount && snapshot(one) == expected, where.constData());
        QVERIFY2(batchedCount == refCount, where.constData());
        QVERIFY2(snapshot(batched).text == expected.text, where.constData());
        QVERIFY2(snapshot(batched).formats == expected.formats, where.constData());
        QVERIFY2(batched.selStart() == ref.selStart() && batched.selLength() == ref.selLength(),
                 where.constData());
        ++compared;
        if (refCount > 1)
            ++nonTrivial;
    }
    QCOMPARE(compared, 6000);
    qInfo("%d of %d runs replaced more than once", nonTrivial, compared);
    QVERIFY2(nonTrivial > 800, "generated inputs rarely replace anything");
}

void TstFindReplace::historyRefill_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("findText");
    QTest::addColumn<QString>("replaceText");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("first search") << QStringList{} << "a" << "" << QStringList{"a"};
    QTest::newRow("new texts appended, then the list reversed")
        << QStringList{"a"} << "b" << "c" << QStringList{"c", "b", "a"};
    QTest::newRow("known texts only reverse the list")
        << QStringList{"c", "b", "a"} << "a" << "b" << QStringList{"a", "b", "c"};
    QTest::newRow("replace equal to find is added once")
        << QStringList{"a"} << "x" << "x" << QStringList{"x", "a"};
    QTest::newRow("exact comparison: case differs")
        << QStringList{"a"} << "A" << "" << QStringList{"A", "a"};
    QTest::newRow("empty entries dropped") << QStringList{"", "a"} << "" << "" << QStringList{"a"};
}

void TstFindReplace::historyRefill()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, findText);
    QFETCH(QString, replaceText);
    QFETCH(QStringList, expected);
    QCOMPARE(refilledHistory(entries, findText, replaceText), expected);
}

void TstFindReplace::historyAfterSeveralSearches()
{
    Surface s;
    s.setText(QStringLiteral("one two three one"));
    ScriptedPrompter prompter;
    for (int i = 0; i < 10; ++i)
        prompter.answer(MsgAnswer::Ok);
    FindReplace fr(s, prompter);
    auto search = [&](const char *findText, const char *replaceText) {
        fr.setFindText(QLatin1String(findText));
        fr.setReplaceText(QLatin1String(replaceText));
        fr.find();
    };
    search("one", "");
    QCOMPARE(fr.history(), QStringList{"one"});
    search("two", "");
    QCOMPARE(fr.history(), (QStringList{"two", "one"}));
    search("three", "1");
    QCOMPARE(fr.history(), (QStringList{"1", "three", "one", "two"}));
    search("one", "");
    QCOMPARE(fr.history(), (QStringList{"two", "one", "three", "1"}));
    fr.setFindText(QStringLiteral("two"));
    fr.setReplaceText(QStringLiteral("2"));
    s.setSelStart(0);
    fr.replaceAll();
    QCOMPARE(fr.history(), (QStringList{"2", "1", "three", "one", "two"}));
    QCOMPARE(s.text(), QStringLiteral("one 2 three one"));
}

void TstFindReplace::activationTakesLastTextsOrSelection()
{
    Surface s;
    s.setText(QStringLiteral("alpha beta"));
    s.setSelection(6, 4);
    ScriptedPrompter prompter;
    FindReplace fr(s, prompter);
    fr.activate();
    QCOMPARE(fr.findText(), QStringLiteral("beta"));
    QCOMPARE(fr.replaceText(), QString());
    fr.setFindText(QStringLiteral("alp"));
    fr.setReplaceText(QStringLiteral("omega"));
    fr.deactivate();
    fr.setFindText(QString());
    s.setSelection(0, 5);
    fr.activate();
    QCOMPARE(fr.findText(), QStringLiteral("alp"));
    QCOMPARE(fr.replaceText(), QStringLiteral("omega"));
}

// --- the window ------------------------------------------------------------

namespace {

struct FindWindow {
    QWidget owner;
    SurfaceView view{&owner};
    Surface &surface = *view.surface();
    ScriptedPrompter prompter;
    frmFind dialog{surface, &view, prompter, &owner};

    template <typename T> T *control(const char *name)
    {
        return dialog.findChild<T *>(QLatin1String(name));
    }
    void activate()
    {
        QEvent event(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&dialog, &event);
    }
    void deactivate()
    {
        QEvent event(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(&dialog, &event);
    }
};

} // namespace

void TstFindReplace::dialogControlsAndCaption()
{
    FindWindow w;
    QCOMPARE(w.dialog.windowTitle(), QStringLiteral("Find - Replace"));
    QVERIFY(!w.dialog.isVisible());
    QVERIFY(!w.dialog.isModal());
    QVERIFY(w.control<QRadioButton>("optdown")->isChecked());
    QVERIFY(!w.control<QRadioButton>("optUp")->isChecked());
    QCOMPARE(w.control<QRadioButton>("optUp")->text(), QStringLiteral("Up"));
    QCOMPARE(w.control<QCheckBox>("chkWholeWord")->text(), QStringLiteral("Find &Whole Word Only"));
    QCOMPARE(w.control<QCheckBox>("chkMatchCase")->text(), QStringLiteral("Match Ca&se"));
    QCOMPARE(w.control<QPushButton>("cmdFind")->text(), QStringLiteral("&Find"));
    QCOMPARE(w.control<QPushButton>("cmdReplace")->text(), QStringLiteral("&Replace"));
    QCOMPARE(w.control<QPushButton>("cmdReplaceAll")->text(), QStringLiteral("Replace &All"));
    QCOMPARE(w.control<QPushButton>("cmdCancel")->text(), QStringLiteral("&Cancel"));
    QVERIFY(w.control<QComboBox>("cboFind")->isEditable());
    QVERIFY(w.control<QComboBox>("cboReplace")->isEditable());
}

void TstFindReplace::dialogFindAndReplaceAllByMouse()
{
    FindWindow w;
    w.owner.resize(500, 300);
    w.owner.show();
    w.surface.setText(QStringLiteral("int var = 1;\r\nvar = var + 1;"));
    w.surface.setSelection(4, 3);
    w.dialog.showFromMenu();
    QVERIFY(w.dialog.isVisible());
    w.activate();
    auto *cboFind = w.control<QComboBox>("cboFind");
    auto *cboReplace = w.control<QComboBox>("cboReplace");
    QCOMPARE(cboFind->currentText(), QStringLiteral("var"));

    QTest::mouseClick(w.control<QPushButton>("cmdFind"), Qt::LeftButton);
    QCOMPARE(w.surface.selStart(), 14);
    QCOMPARE(w.surface.selLength(), 3);
    QCOMPARE(cboFind->count(), 1);

    cboReplace->lineEdit()->setFocus();
    QTest::keyClicks(cboReplace->lineEdit(), QStringLiteral("count"));
    w.prompter.answer(MsgAnswer::Ok);
    QTest::mouseClick(w.control<QPushButton>("cmdReplaceAll"), Qt::LeftButton);
    QCOMPARE(w.prompter.messages(), QStringList{"3 items replaced"});
    QCOMPARE(w.surface.text(), QStringLiteral("int count = 1;\r\ncount = count + 1;"));
    QCOMPARE(cboFind->currentText(), QStringLiteral("var"));
    QCOMPARE(cboReplace->currentText(), QStringLiteral("count"));
    // Both boxes offer the same history, newest on top.
    for (QComboBox *combo : {cboFind, cboReplace}) {
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QStringLiteral("count"));
        QCOMPARE(combo->itemText(1), QStringLiteral("var"));
    }
}

void TstFindReplace::dialogEscapeHidesAndKeepsState()
{
    FindWindow w;
    w.surface.setText(QStringLiteral("abc abc"));
    w.dialog.showFromMenu();
    w.activate();
    auto *cboFind = w.control<QComboBox>("cboFind");
    cboFind->setEditText(QStringLiteral("abc"));
    w.control<QCheckBox>("chkMatchCase")->setChecked(true);
    w.control<QRadioButton>("optUp")->setChecked(true);
    QTest::keyClick(w.control<QPushButton>("cmdReplace"), Qt::Key_Escape);
    QVERIFY(!w.dialog.isVisible());
    w.deactivate();
    QCOMPARE(w.dialog.model().lastFindText(), QStringLiteral("abc"));

    // The selection is not taken when there is a last find text.
    w.surface.setSelection(4, 2);
    w.dialog.showFromMenu();
    w.activate();
    QCOMPARE(cboFind->currentText(), QStringLiteral("abc"));
    QVERIFY(w.control<QCheckBox>("chkMatchCase")->isChecked());
    QVERIFY(w.control<QRadioButton>("optUp")->isChecked());
    QTest::keyClick(cboFind->lineEdit(), Qt::Key_Escape);
    QVERIFY(!w.dialog.isVisible());
}

void TstFindReplace::dialogFindNextWithoutShowing()
{
    FindWindow w;
    w.surface.setText(QStringLiteral("x = 1; x = 2;"));
    w.prompter.answer(MsgAnswer::Ok);
    w.dialog.findNext();
    QCOMPARE(w.prompter.messages(), QStringList{kEnterValue});
    QVERIFY(!w.dialog.isVisible());

    w.control<QComboBox>("cboFind")->setEditText(QStringLiteral("x"));
    w.dialog.findNext();
    QCOMPARE(w.surface.selStart(), 0);
    w.dialog.findNext();
    QCOMPARE(w.surface.selStart(), 7);
    w.prompter.answer(MsgAnswer::Ok);
    w.dialog.findNext();
    QCOMPARE(w.prompter.messages().size(), 2);
    QCOMPARE(w.prompter.messages().last(), kNotFound);
    QCOMPARE(w.surface.selStart(), 7);
    QVERIFY(!w.dialog.isVisible());
}

QTEST_MAIN(TstFindReplace)
#include "tst_findreplace.moc"
