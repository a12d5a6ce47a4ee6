// Find and replace: both search directions, Replace, Replace All with its
// count and stop rule (checked against a one-replacement-at-a-time
// reference), the shared history, and the frmFind window offscreen.
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

// Every message of these searches is a plain one: no title, no icon, OK.
bool plainMessages(const ScriptedPrompter &p)
{
    for (const auto &asked : p.asked())
        if (!asked.message.title.isEmpty() || asked.message.icon != MsgIcon::None
            || asked.message.buttons != MsgButtons::Ok)
            return false;
    return true;
}

// Replace All written straight from the rule, one find and one replacement
// at a time: a selection equal to the find text is replaced first and the
// text it put in is never searched; an empty selection means find from the
// match position plus the replacement's length; a selected text that is not
// exactly the find text ends the run.
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
    void send(QEvent::Type type)
    {
        QEvent event(type);
        QCoreApplication::sendEvent(&dialog, &event);
    }
};

} // namespace

class TstFindReplace : public QObject {
    Q_OBJECT
private slots:
    void init() { editorState() = EditorState{}; }

    void search_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selLength");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<int>("options");
        QTest::addColumn<int>("expected"); // -1: not found, selection unchanged

        // "var" inside my_var at 7, the word var at 13, Var at 19.
        const QString t = QStringLiteral("int my_var = var;\r\nVar x;");
        const int W = FindWholeWord, C = FindMatchCase;
        QTest::newRow("down: after the caret") << t << false << 0 << 0 << "var" << 0 << 7;
        QTest::newRow("down: no wrap") << t << false << 17 << 0 << "my_var" << 0 << -1;
        QTest::newRow("down: current match not found again") << t << false << 7 << 3 << "var" << 0 << 13;
        QTest::newRow("down: whole word, my_var is one word") << t << false << 0 << 0 << "var" << W << 13;
        QTest::newRow("down: case-insensitive reaches Var") << t << false << 14 << 0 << "var" << 0 << 19;
        QTest::newRow("down: match case skips Var") << t << false << 14 << 0 << "var" << C << -1;
        QTest::newRow("up: nearest before the caret") << t << true << 17 << 0 << "var" << 0 << 13;
        QTest::newRow("up: ends at or before the selection start") << t << true << 14 << 2 << "var" << 0 << 7;
        QTest::newRow("up: whole word, _ is a boundary") << t << true << 13 << 0 << "var" << W << 7;
        QTest::newRow("up: whole word, none before") << t << true << 5 << 2 << "var" << W << -1;
        QTest::newRow("up: whole word passes non-words")
            << QStringLiteral("ab abc xab cab") << true << 14 << 0 << "ab" << W << 0;
        QTest::newRow("up: whole word, dot is a boundary")
            << QStringLiteral("java.lang x") << true << 11 << 0 << "lang" << W << 5;
    }

    void search()
    {
        QFETCH(QString, text);
        QFETCH(bool, up);
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
        fr.setUp(up);
        fr.setWholeWord(options & FindWholeWord);
        fr.setMatchCase(options & FindMatchCase);
        prompter.answer(MsgAnswer::Ok);
        QVERIFY(fr.find());
        QCOMPARE(prompter.messages(), expected < 0 ? QStringList{kNotFound} : QStringList{});
        QCOMPARE(s.selStart(), expected < 0 ? selStart : expected);
        QCOMPARE(s.selLength(), expected < 0 ? selLength : int(needle.size()));
        QVERIFY(s.isVisible());
    }

    void backwardSearchAgreesWithLastIndexOf()
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
            const int n = int(strlen(needle));
            for (bool matchCase : {false, true}) {
                fr.setMatchCase(matchCase);
                const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
                for (int pos = text.size(); pos >= 0; pos -= int(rng.bounded(1, 900))) {
                    const QStringView before = QStringView(text).left(pos);
                    const qsizetype expected = before.lastIndexOf(QLatin1String(needle), before.size() - n, cs);
                    s.setSelStart(pos);
                    prompter.answer(MsgAnswer::Ok);
                    fr.searchBackward();
                    const QByteArray where = QByteArray(needle) + " from " + QByteArray::number(pos);
                    if (expected < 0 || pos < n)
                        QVERIFY2(s.selStart() == pos && s.selLength() == 0, where.constData());
                    else
                        QVERIFY2(s.selStart() == int(expected), where.constData());
                }
            }
        }
    }

    void messagesOfFind()
    {
        // Not found: the surface is shown while the message is up.
        Surface s;
        s.setText(QStringLiteral("alpha beta"));
        s.setSelStart(6);
        WatchingPrompter prompter(s);
        FindReplace fr(s, prompter);
        fr.setFindText(QStringLiteral("alpha"));
        prompter.answer(MsgAnswer::Ok);
        fr.find();
        QCOMPARE(prompter.messages(), QStringList{kNotFound});
        QCOMPARE(prompter.visibleAtMessage, std::vector<bool>{true});
        QVERIFY(plainMessages(prompter));

        // An empty find box asks for a value, for Find and for Replace All.
        prompter.clear();
        fr.setFindText(QString());
        prompter.answer(MsgAnswer::Ok);
        prompter.answer(MsgAnswer::Ok);
        QVERIFY(!fr.find());
        QCOMPARE(fr.replaceAll(), -1);
        QCOMPARE(prompter.messages(), (QStringList{kEnterValue, kEnterValue}));
        QVERIFY(plainMessages(prompter));
        QCOMPARE(s.text(), QStringLiteral("alpha beta"));
    }

    void replace_data()
    {
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("selLength");
        QTest::addColumn<QString>("expectedText");
        QTest::addColumn<int>("expectedSel");
        // "cat cat cat", the middle one selected or the caret just before it.
        QTest::newRow("empty selection only finds") << false << 0 << "cat cat cat" << 4;
        QTest::newRow("down: next match after the new text") << false << 3 << "cat tiger cat" << 10;
        QTest::newRow("up: previous match before the new text") << true << 3 << "cat tiger cat" << 0;
    }

    void replace()
    {
        QFETCH(bool, up);
        QFETCH(int, selLength);
        QFETCH(QString, expectedText);
        QFETCH(int, expectedSel);
        Surface s;
        s.setText(QStringLiteral("cat cat cat"));
        s.setSelection(selLength ? 4 : 3, selLength);
        ScriptedPrompter prompter;
        FindReplace fr(s, prompter);
        fr.setFindText(QStringLiteral("cat"));
        fr.setReplaceText(QStringLiteral("tiger"));
        fr.setUp(up);
        QVERIFY(fr.replace());
        QCOMPARE(s.text(), expectedText);
        QCOMPARE(s.selStart(), expectedSel);
        QCOMPARE(s.selLength(), 3);
        QVERIFY(prompter.messages().isEmpty());
    }

    void replaceAll_data()
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
        QTest::newRow("not present: count 0, caret stays")
            << "abc" << 1 << 0 << "zz" << "y" << 0 << "abc" << 0 << 1 << 0;
    }

    void replaceAll()
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
            QCOMPARE(prompter.messages(), QStringList{QString::number(expectedCount) + " items replaced"});
            QVERIFY(plainMessages(prompter));
            QVERIFY(s.isVisible());
        }
    }

    void replaceAllSuspendOffer()
    {
        // Suspended: one edit; declined: the change handler stays live and
        // sees one edit per replacement.
        for (const bool suspend : {true, false}) {
            const int expectedChanges = suspend ? 1 : 3;
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
            QVERIFY(!editorState().suppressChange && !editorState().suppressSelChange);
            QVERIFY(s.isVisible());
        }
    }

    void replaceAllMatchesOneAtATimeReference()
    {
        // Small alphabets make adjacent, overlapping and case-differing matches
        // and word boundaries next to replacements common.
        const QStringList pieces{"a", "b", "a", "b", "ab", "ba", "A", "B", "_", " ", "x", "\r\n", "$", "-"};
        const QStringList tight{"a", " ", "a ", "b", "-", "ab"};
        const QStringList finds{"a", "ab", "ba", "aa", "Ab", " a", "a_", "b$", "a ", "b-"};
        const QStringList replaces{"", "a", "b", "ab", "aab", "x", "_", "A", " ", "bab"};
        const BgrColor colors[] = {0, 255, 16711680, 4227072};
        QRandomGenerator rng(20261205);
        int nonTrivial = 0;
        for (int round = 0; round < 6000; ++round) {
            QString text;
            const QStringList &alphabet = rng.bounded(2) ? pieces : tight;
            const int parts = int(rng.bounded(1, 40));
            for (int i = 0; i < parts; ++i)
                text += alphabet.at(int(rng.bounded(alphabet.size())));
            if (rng.bounded(4) != 0) // capitals end a case-insensitive run early
                text = text.toLower();
            const QString findText = finds.at(int(rng.bounded(finds.size())));
            const QString replaceText = replaces.at(int(rng.bounded(replaces.size())));
            const int options = int(rng.bounded(4)) * 2;

            // Coloured stretches show whose format inserted text took.
            Surface ref, one, batched;
            for (Surface *s : {&ref, &one, &batched}) {
                s->setText(text);
                QRandomGenerator colourRng{quint32(round)};
                for (int k = 0; k < 4; ++k) {
                    s->setSelection(int(colourRng.bounded(text.size() + 1)), int(colourRng.bounded(6)));
                    s->setSelColor(colors[colourRng.bounded(4)]);
                    s->setSelBold(colourRng.bounded(2));
                }
            }
            // The starting selection: empty, an occurrence, or something else.
            const int draw = int(rng.bounded(10));
            int selStart = int(rng.bounded(text.size() + 1)), selLength = 0;
            if (draw >= 6 && draw < 9) {
                const int p = ref.indexOf(findText, 0, -1, FindMatchCase);
                if (p >= 0) {
                    selStart = p;
                    selLength = int(findText.size());
                }
            } else if (draw == 9) {
                selLength = int(rng.bounded(3));
            }
            for (Surface *s : {&ref, &one, &batched})
                s->setSelection(selStart, selLength);
            const int refCount = referenceReplaceAll(ref, findText, replaceText, options);
            const int oneCount = replaceEvery(one, findText, replaceText, options, ReplaceMode::OneAtATime);
            const int batchedCount =
                replaceEvery(batched, findText, replaceText, options, ReplaceMode::Batched);
            const QByteArray where = QStringLiteral("round %1: \"%2\" find \"%3\" by \"%4\" options %5")
                                         .arg(round)
                                         .arg(text, findText, replaceText)
                                         .arg(options)
                                         .toUtf8();
            QVERIFY2(oneCount == refCount && snapshot(one) == snapshot(ref), where.constData());
            QVERIFY2(batchedCount == refCount && snapshot(batched) == snapshot(ref), where.constData());
            if (refCount > 1)
                ++nonTrivial;
        }
        QVERIFY2(nonTrivial > 800, "generated inputs rarely replace anything");
    }

    void historyRefill_data()
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

    void historyRefill()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, findText);
        QFETCH(QString, replaceText);
        QFETCH(QStringList, expected);
        QCOMPARE(refilledHistory(entries, findText, replaceText), expected);
    }

    void dialogFindAndReplaceAllByMouse()
    {
        FindWindow w;
        QCOMPARE(w.dialog.windowTitle(), QStringLiteral("Find - Replace"));
        QVERIFY(!w.dialog.isVisible() && !w.dialog.isModal());
        QStringList captions;
        for (const char *name : {"cmdFind", "cmdReplace", "cmdReplaceAll", "cmdCancel"})
            captions << w.control<QPushButton>(name)->text();
        QCOMPARE(captions, (QStringList{"&Find", "&Replace", "Replace &All", "&Cancel"}));
        QCOMPARE(w.control<QCheckBox>("chkWholeWord")->text(), QStringLiteral("Find &Whole Word Only"));
        QCOMPARE(w.control<QCheckBox>("chkMatchCase")->text(), QStringLiteral("Match Ca&se"));
        QVERIFY(w.control<QRadioButton>("optdown")->isChecked());

        w.owner.resize(500, 300);
        w.owner.show();
        w.surface.setText(QStringLiteral("int var = 1;\r\nvar = var + 1;"));
        w.surface.setSelection(4, 3);
        w.dialog.showFromMenu();
        QVERIFY(w.dialog.isVisible());
        w.send(QEvent::WindowActivate);
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

    void dialogEscapeHidesAndKeepsState()
    {
        FindWindow w;
        w.surface.setText(QStringLiteral("abc abc"));
        w.dialog.showFromMenu();
        w.send(QEvent::WindowActivate);
        auto *cboFind = w.control<QComboBox>("cboFind");
        cboFind->setEditText(QStringLiteral("abc"));
        w.control<QCheckBox>("chkMatchCase")->setChecked(true);
        w.control<QRadioButton>("optUp")->setChecked(true);
        QTest::keyClick(w.control<QPushButton>("cmdReplace"), Qt::Key_Escape);
        QVERIFY(!w.dialog.isVisible());
        w.send(QEvent::WindowDeactivate);
        QCOMPARE(w.dialog.model().lastFindText(), QStringLiteral("abc"));

        // The selection is not taken when there is a last find text.
        w.surface.setSelection(4, 2);
        w.dialog.showFromMenu();
        w.send(QEvent::WindowActivate);
        QCOMPARE(cboFind->currentText(), QStringLiteral("abc"));
        QVERIFY(w.control<QCheckBox>("chkMatchCase")->isChecked());
        QVERIFY(w.control<QRadioButton>("optUp")->isChecked());
        QTest::keyClick(cboFind->lineEdit(), Qt::Key_Escape);
        QVERIFY(!w.dialog.isVisible());
    }

    void dialogFindNextWithoutShowing()
    {
        FindWindow w;
        w.surface.setText(QStringLiteral("x = 1; x = 2;"));
        w.prompter.answer(MsgAnswer::Ok);
        w.dialog.findNext();
        QCOMPARE(w.prompter.messages(), QStringList{kEnterValue});

        w.control<QComboBox>("cboFind")->setEditText(QStringLiteral("x"));
        w.dialog.findNext();
        QCOMPARE(w.surface.selStart(), 0);
        w.dialog.findNext();
        QCOMPARE(w.surface.selStart(), 7);
        w.prompter.answer(MsgAnswer::Ok);
        w.dialog.findNext();
        QCOMPARE(w.prompter.messages(), (QStringList{kEnterValue, kNotFound}));
        QCOMPARE(w.surface.selStart(), 7);
        QVERIFY(!w.dialog.isVisible());
    }
};

QTEST_MAIN(TstFindReplace)
#include "tst_findreplace.moc"
