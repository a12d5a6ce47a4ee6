// Find and replace: both search directions, Replace, Replace All with its
// count and stop rule (checked against a one-replacement-at-a-time
// reference), the shared history, and the frmFind window offscreen.
#include "base/editorstate.h"
#include "dialogs/findreplace.h"
#include "dialogs/ui/frmfind.h"
#include "support/scriptedprompter.h"
#include "surface/surface.h"
#include "surface/ui/surfaceview.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTest>
#include <tuple>

using namespace qln;
using qln::test::ScriptedPrompter;

namespace {

// Records whether the surface's view was painted when each message came up.
struct WatchingPrompter : ScriptedPrompter {
    explicit WatchingPrompter(const bool &painted) : painted(painted) {}
    MsgAnswer message(const MessageRequest &r) override
    {
        visible.push_back(painted);
        return ScriptedPrompter::message(r);
    }
    using ScriptedPrompter::message;
    const bool &painted;
    std::vector<bool> visible;
};

const QString kNotFound = QStringLiteral("The search string was not found.");
const QString kEnterValue = QStringLiteral("Please enter a value in Find field");

// The messages shown: a plain one (no title, no icon, OK) as its text alone.
QStringList said(const ScriptedPrompter &p)
{
    QStringList out;
    for (const auto &a : p.asked()) {
        const MessageRequest &m = a.message;
        const bool plain =
            m.title.isEmpty() && m.icon == MsgIcon::None && m.buttons == MsgButtons::Ok;
        out << (plain ? m.text
                      : QStringLiteral("%1|%2|%3|%4")
                            .arg(m.text, m.title)
                            .arg(int(m.icon))
                            .arg(int(m.buttons)));
    }
    return out;
}

// Replace All from the rule, one find and one replacement at a time: a selection
// equal to the find text goes first and its new text is never searched; an empty
// selection means find from the end of what the last replacement put in (a lone
// line feed of the replacement goes in as a CR LF pair); a selected text other
// than the find text ends the run.
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
        }
        if (s.selText() != findText)
            break;
        const int at = s.selStart();
        const int before = s.length();
        s.setSelText(replaceText);
        ++count;
        if (count == 1 && startedWithSelection) {
            // The search still starts at the top.
            guardStart = s.selStart() - int(Surface::normalizeLineBreaks(replaceText).size());
            guardEnd = s.selStart();
            continue;
        }
        searchPos = s.selStart();
        if (guardStart >= 0 && at < guardStart) {
            guardStart += s.length() - before;
            guardEnd += s.length() - before;
        }
    }
    return count;
}

// Text, every character's format and the selection.
auto snapshot(const Surface &s)
{
    std::vector<CharFormat> formats;
    for (int i = 0; i < s.length(); ++i)
        formats.push_back(s.formatAt(i));
    return std::tuple{s.text(), formats, s.selStart(), s.selLength()};
}

struct FindWindow {
    QWidget owner;
    Surface surface;
    SurfaceView view{&surface, &owner};
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

const int W = FindWholeWord, C = FindMatchCase;

// A surface, a prompter and the model set up as the dialog would be.
struct Engine {
    Surface s;
    bool painted = true; // whether the surface's view paints
    WatchingPrompter p{painted};
    FindReplace fr{s, p};
    Engine(const QString &text, int selStart, int selLength, const QString &find,
           const QString &repl = {}, int options = 0, bool up = false)
    {
        fr.setPaintSurface([this](bool on) { painted = on; });
        s.setText(text);
        s.setSelection(selStart, selLength);
        fr.setFindText(find), fr.setReplaceText(repl), fr.setUp(up);
        fr.setWholeWord(options & W), fr.setMatchCase(options & C);
    }
};

} // namespace

class TstFindReplace : public QObject {
    Q_OBJECT
private slots:
    void init() { editorState() = EditorState{}; }

    void search()
    {
        // "var" inside my_var at 7, the word var at 13, Var at 19; -1: not found, selection kept.
        const QString t = QStringLiteral("int my_var = var;\r\nVar x;");
        const struct {
            const char *name;
            QString text;
            bool up;
            int selStart, selLength;
            QString needle;
            int options, expected;
        } rows[] = {
            {"down after caret", t, false, 0, 0, "var", 0, 7},
            {"down no wrap", t, false, 17, 0, "my_var", 0, -1},
            {"down past current match", t, false, 7, 3, "var", 0, 13},
            {"down whole word", t, false, 0, 0, "var", W, 13},
            {"down any case", t, false, 14, 0, "var", 0, 19},
            {"down match case", t, false, 14, 0, "var", C, -1},
            {"up nearest", t, true, 17, 0, "var", 0, 13},
            {"up before selection", t, true, 14, 2, "var", 0, 7},
            {"up _ boundary", t, true, 13, 0, "var", W, 7},
            {"up whole word none", t, true, 5, 2, "var", W, -1},
            {"up passes non-words", "ab abc xab cab", true, 14, 0, "ab", W, 0},
            {"up dot boundary", "java.lang x", true, 11, 0, "lang", W, 5},
            // Overlapping occurrences: the one at 2 is no whole word, the one at 1 is.
            {"up whole word overlapping", "$$$$$$1$$", true, 9, 0, "$$$$", W, 1},
        };
        for (const auto &r : rows) {
            Engine e(r.text, r.selStart, r.selLength, r.needle, {}, r.options, r.up);
            e.p.answer(MsgAnswer::Ok);
            QVERIFY2(e.fr.find(), r.name);
            const bool miss = r.expected < 0; // the message comes up over the shown surface
            QCOMPARE(QStringLiteral("%1: %2 %3 %4 %5")
                         .arg(r.name, said(e.p).join(','))
                         .arg(e.s.selStart())
                         .arg(e.s.selLength())
                         .arg(e.painted),
                     QStringLiteral("%1: %2 %3 %4 1")
                         .arg(r.name, miss ? kNotFound : QString())
                         .arg(miss ? r.selStart : r.expected)
                         .arg(miss ? r.selLength : int(r.needle.size())));
            QCOMPARE(e.p.visible, std::vector<bool>(miss ? 1 : 0, true));
        }
    }

    void backwardSearchAgreesWithLastIndexOf()
    {
        // Long enough that the search goes back through several windows.
        QRandomGenerator rng(7);
        QString text;
        for (int i = 0; i < 20000; ++i)
            text += QLatin1Char("aAbB  "[rng.bounded(6)]);
        Engine e(text, 0, 0, {}, {}, 0, true);
        for (const char *needle : {"ab", "aBa", "bbbb", "ab ab"}) {
            e.fr.setFindText(QLatin1String(needle));
            const int n = int(strlen(needle));
            for (bool matchCase : {false, true}) {
                e.fr.setMatchCase(matchCase);
                const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
                for (int pos = text.size(); pos >= 0; pos -= int(rng.bounded(1, 900))) {
                    const QStringView before = QStringView(text).left(pos);
                    const qsizetype expected =
                        before.lastIndexOf(QLatin1String(needle), before.size() - n, cs);
                    e.s.setSelStart(pos);
                    e.p.answer(MsgAnswer::Ok);
                    e.fr.searchBackward();
                    const bool miss = expected < 0 || pos < n;
                    QVERIFY2(miss ? e.s.selStart() == pos && e.s.selLength() == 0
                                  : e.s.selStart() == int(expected),
                             (QByteArray(needle) + " from " + QByteArray::number(pos)).constData());
                }
            }
        }
    }

    void emptyFindAsksForAValue()
    {
        Engine e("alpha beta", 6, 0, QString());
        e.p.answer(MsgAnswer::Ok);
        e.p.answer(MsgAnswer::Ok);
        QVERIFY(!e.fr.find());
        QCOMPARE(e.fr.replaceAll(), -1);
        QCOMPARE(said(e.p), (QStringList{kEnterValue, kEnterValue}));
        QCOMPARE(e.s.text(), QStringLiteral("alpha beta"));
    }

    void replace()
    {
        // The middle occurrence selected, or the caret just before it.
        const struct {
            bool up;
            int selStart, selLength;
            QString before, find, repl, text;
            int sel;
        } rows[] = {
            {false, 3, 0, "cat cat cat", "cat", "tiger", "cat cat cat", 4},
            {false, 4, 3, "cat cat cat", "cat", "tiger", "cat tiger cat", 10},
            {true, 4, 3, "cat cat cat", "cat", "tiger", "cat tiger cat", 0},
            // The line feed goes in as CR LF; going up, the search starts
            // before all of the new text, so its own ";" is not found.
            {true, 3, 1, "x;y;z", ";", ";\n", "x;y;\r\nz", 1},
            {false, 3, 1, "x;y;z;", ";", "\n;", "x;y\r\n;z;", 7},
        };
        for (const auto &r : rows) {
            Engine e(r.before, r.selStart, r.selLength, r.find, r.repl, 0, r.up);
            QVERIFY(e.fr.replace());
            QCOMPARE((std::tuple{e.s.text(), e.s.selStart(), e.s.selLength()}),
                     (std::tuple{r.text, r.sel, int(r.find.size())}));
            QVERIFY(e.p.asked().empty());
        }
    }

    void replaceAll()
    {
        const struct {
            const char *name;
            QString text;
            int selStart, selLength;
            QString find, repl;
            int options;
            QString want;
            int count, wantStart, wantLength;
        } rows[] = {
            {"x by xx", "x = x + x;", 0, 0, "x", "xx", 0, "xx = xx + xx;", 3, 12, 0},
            {"from the top", "ab ab ab", 8, 0, "ab", "c", 0, "c c c", 3, 5, 0},
            {"other selection", "ab ab ab", 0, 2, "b", "c", 0, "ab ab ab", 0, 0, 2},
            {"matching selection", "x x x", 2, 1, "x", "xx", 0, "xx xx xx", 3, 8, 0},
            {"other case stops", "ab AB ab", 0, 0, "ab", "z", 0, "z AB ab", 1, 2, 2},
            {"match case", "ab AB ab", 0, 0, "ab", "z", C, "z AB z", 2, 6, 0},
            {"whole word", "my_x x x1", 0, 0, "x", "y", W, "my_x y x1", 1, 6, 0},
            {"not present", "abc", 1, 0, "zz", "y", 0, "abc", 0, 1, 0},
            // Each lone line feed goes in as CR LF: the search goes on after
            // all of it, never into the ";" just put in.
            {"line feed in replacement", "foo();\r\nfoo();\r\n", 0, 0, ";", "\n;", 0,
             "foo()\r\n;\r\nfoo()\r\n;\r\n", 2, 18, 0},
            {"carriage return in replacement", "a;b;", 0, 0, ";", ";\r", 0, "a;\r\nb;\r\n", 2, 8,
             0},
        };
        // Suspended: one edit, unless a text holds a line break; declined: the
        // change handler stays live and sees one edit per replacement. Either
        // way, the surface is hidden meanwhile.
        for (const auto &r : rows) {
            for (bool suspend : {true, false}) {
                Engine e(r.text, r.selStart, r.selLength, r.find, r.repl, r.options);
                int offers = 0, changes = 0;
                bool flagsHeld = true;
                e.fr.setSuspendOffer([&] { return ++offers, suspend; });
                connect(&e.s, &Surface::changed, this, [&] {
                    ++changes;
                    flagsHeld = flagsHeld && editorState().suppressChange == suspend
                                && editorState().suppressSelChange && !e.painted;
                });
                e.p.answer(MsgAnswer::Ok);
                const int count = e.fr.replaceAll();
                QCOMPARE(QStringLiteral("%1: %2 %3 %4 %5 %6 %7")
                             .arg(r.name)
                             .arg(count)
                             .arg(e.s.text())
                             .arg(e.s.selStart())
                             .arg(e.s.selLength())
                             .arg(said(e.p).join(','))
                             .arg(e.painted),
                         QStringLiteral("%1: %2 %3 %4 %5 %2 items replaced 1")
                             .arg(r.name)
                             .arg(r.count)
                             .arg(r.want)
                             .arg(r.wantStart)
                             .arg(r.wantLength));
                if (r.selLength == 0) // rows without a starting selection
                    QCOMPARE(
                        (std::tuple{QString(r.name), changes}),
                        (std::tuple{QString(r.name), suspend && !r.repl.contains(QLatin1Char('\r'))
                                                             && !r.repl.contains(QLatin1Char('\n'))
                                                         ? std::min(count, 1)
                                                         : count}));
                QCOMPARE((std::tuple{QString(r.name), offers, flagsHeld}),
                         (std::tuple{QString(r.name), 1, true}));
                QVERIFY(!editorState().suppressChange && !editorState().suppressSelChange);
            }
        }
    }

    void replaceAllMatchesOneAtATimeReference()
    {
        // Small alphabets make adjacent, overlapping and case-differing matches
        // and word boundaries next to replacements common.
        const QStringList pieces{"a", "b", "a", "b", "ab",   "ba", "A",
                                 "B", "_", " ", "x", "\r\n", "$",  "-"};
        const QStringList tight{"a", " ", "a ", "b", "-", "ab"};
        const QStringList finds{"a", "ab", "ba", "aa", "Ab", " a", "a_", "b$", "a ", "b-"};
        const QStringList replaces{"",  "a", "b",   "ab",  "aab", "x", "_",
                                   "A", " ", "bab", "\na", "a\r", "\n"};
        const BgrColor colors[] = {0, 255, 16711680, 4227072};
        QRandomGenerator rng(20261205);
        int nonTrivial = 0;
        for (int round = 0; round < 6000; ++round) {
            QString text;
            const QStringList &alphabet = rng.bounded(2) ? pieces : tight;
            for (int i = 0, parts = int(rng.bounded(1, 40)); i < parts; ++i)
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
                    s->setSelection(int(colourRng.bounded(text.size() + 1)),
                                    int(colourRng.bounded(6)));
                    s->setSelColor(colors[colourRng.bounded(4)]);
                    s->setSelBold(colourRng.bounded(2));
                }
            }
            // The starting selection: empty, an occurrence, or something else.
            const int draw = int(rng.bounded(10));
            int selStart = int(rng.bounded(text.size() + 1)), selLength = 0;
            const int p = ref.indexOf(findText, 0, -1, FindMatchCase);
            if (draw >= 6 && draw < 9 && p >= 0)
                selStart = p, selLength = int(findText.size());
            else if (draw == 9)
                selLength = int(rng.bounded(3));
            for (Surface *s : {&ref, &one, &batched})
                s->setSelection(selStart, selLength);
            const int refCount = referenceReplaceAll(ref, findText, replaceText, options);
            const int oneCount =
                replaceEvery(one, findText, replaceText, options, ReplaceMode::OneAtATime);
            const int batchedCount =
                replaceEvery(batched, findText, replaceText, options, ReplaceMode::Batched);
            const QByteArray where =
                QStringLiteral("round %1: \"%2\" find \"%3\" by \"%4\" options %5")
                    .arg(round)
                    .arg(text, findText, replaceText)
                    .arg(options)
                    .toUtf8();
            QVERIFY2(oneCount == refCount && snapshot(one) == snapshot(ref), where.constData());
            QVERIFY2(batchedCount == refCount && snapshot(batched) == snapshot(ref),
                     where.constData());
            if (refCount > 1)
                ++nonTrivial;
        }
        QVERIFY2(nonTrivial > 800, "generated inputs rarely replace anything");
    }

    void historyRefill()
    {
        const struct {
            QStringList entries;
            QString find, repl;
            QStringList want;
        } rows[] = {
            {{}, "a", "", {"a"}},
            {{"a"}, "b", "c", {"c", "b", "a"}},           // new texts appended, list reversed
            {{"c", "b", "a"}, "a", "b", {"a", "b", "c"}}, // known texts only reverse
            {{"a"}, "x", "x", {"x", "a"}},                // added once
            {{"a"}, "A", "", {"A", "a"}},                 // exact comparison
            {{"", "a"}, "", "", {"a"}},                   // empty entries dropped
        };
        for (const auto &r : rows)
            QCOMPARE(refilledHistory(r.entries, r.find, r.repl), r.want);
    }

    void dialogFindAndReplaceAllByMouse()
    {
        FindWindow w;
        QVERIFY(!w.dialog.isVisible() && !w.dialog.isModal());
        QStringList captions{w.dialog.windowTitle()};
        for (const char *name : {"cmdFind", "cmdReplace", "cmdReplaceAll", "cmdCancel"})
            captions << w.control<QPushButton>(name)->text();
        for (const char *name : {"chkWholeWord", "chkMatchCase"})
            captions << w.control<QCheckBox>(name)->text();
        QCOMPARE(captions, (QStringList{"Find - Replace", "&Find", "&Replace", "Replace &All",
                                        "&Cancel", "Find W&hole Word Only", "Match Ca&se"}));
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

        // The view paints nothing while the search moves the selection, and
        // again afterwards.
        std::vector<bool> paintedAtMove;
        connect(&w.surface, &Surface::selChanged, &w.dialog,
                [&] { paintedAtMove.push_back(w.view.isPainted()); });
        QTest::mouseClick(w.control<QPushButton>("cmdFind"), Qt::LeftButton);
        QCOMPARE((std::tuple{w.surface.selStart(), w.surface.selLength(), cboFind->count()}),
                 (std::tuple{14, 3, 1}));
        QCOMPARE(paintedAtMove, std::vector<bool>{false});
        QVERIFY(w.view.isPainted());
        w.surface.disconnect(&w.dialog);

        cboReplace->lineEdit()->setFocus();
        QTest::keyClicks(cboReplace->lineEdit(), QStringLiteral("count"));
        w.prompter.answer(MsgAnswer::Ok);
        QTest::mouseClick(w.control<QPushButton>("cmdReplaceAll"), Qt::LeftButton);
        QCOMPARE(said(w.prompter), QStringList{"3 items replaced"});
        QCOMPARE(w.surface.text(), QStringLiteral("int count = 1;\r\ncount = count + 1;"));
        QCOMPARE((QStringList{cboFind->currentText(), cboReplace->currentText()}),
                 (QStringList{"var", "count"}));
        // Both boxes offer the same history, newest on top.
        for (QComboBox *combo : {cboFind, cboReplace})
            QCOMPARE((QStringList{combo->itemText(0), combo->itemText(1),
                                  QString::number(combo->count())}),
                     (QStringList{"count", "var", "2"}));
    }

    void dialogPastedLineFeedReplacesEachOnce()
    {
        // A box keeps a pasted line feed; Replace All puts it in as a line
        // break and goes on after it.
        FindWindow w;
        w.surface.setText(QStringLiteral("foo();\r\nfoo();\r\n"));
        w.dialog.showFromMenu();
        w.send(QEvent::WindowActivate);
        w.control<QComboBox>("cboFind")->setEditText(QStringLiteral(";"));
        QLineEdit *replaceEdit = w.control<QComboBox>("cboReplace")->lineEdit();
        QGuiApplication::clipboard()->setText(QStringLiteral("\n;"));
        replaceEdit->setFocus();
        QTest::keyClick(replaceEdit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(replaceEdit->text(), QStringLiteral("\n;"));
        w.prompter.answer(MsgAnswer::Ok);
        QTest::mouseClick(w.control<QPushButton>("cmdReplaceAll"), Qt::LeftButton);
        QCOMPARE(said(w.prompter), QStringList{"2 items replaced"});
        QCOMPARE(w.surface.text(), QStringLiteral("foo()\r\n;\r\nfoo()\r\n;\r\n"));
        w.surface.undo();
        QCOMPARE(w.surface.text(), QStringLiteral("foo();\r\nfoo();\r\n"));
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

        // The selection is not taken when there is a last find text.
        w.surface.setSelection(4, 2);
        w.dialog.showFromMenu();
        w.send(QEvent::WindowActivate);
        QCOMPARE(cboFind->currentText(), QStringLiteral("abc"));
        QVERIFY(w.control<QCheckBox>("chkMatchCase")->isChecked()
                && w.control<QRadioButton>("optUp")->isChecked());
        QTest::keyClick(cboFind->lineEdit(), Qt::Key_Escape);
        QVERIFY(!w.dialog.isVisible());
    }

    void dialogFindNextWithoutShowing()
    {
        FindWindow w;
        w.surface.setText(QStringLiteral("x = 1; x = 2;"));
        w.prompter.answer(MsgAnswer::Ok);
        w.dialog.findNext();
        w.control<QComboBox>("cboFind")->setEditText(QStringLiteral("x"));
        w.dialog.findNext();
        QCOMPARE(w.surface.selStart(), 0);
        w.dialog.findNext();
        QCOMPARE(w.surface.selStart(), 7);
        w.prompter.answer(MsgAnswer::Ok);
        w.dialog.findNext();
        QCOMPARE(said(w.prompter), (QStringList{kEnterValue, kNotFound}));
        QCOMPARE(w.surface.selStart(), 7);
        QVERIFY(!w.dialog.isVisible());
    }
};

QTEST_MAIN(TstFindReplace)
#include "tst_findreplace.moc"
