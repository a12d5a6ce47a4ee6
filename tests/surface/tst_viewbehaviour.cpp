// What a user does in the editing view, checked on the surface it shows:
// keys, mouse, drops, input methods, the clipboard and awkward text. Only
// the view's public face is used (its surface, caret rectangles, positions
// at points, its viewport and signals), so any view of a surface must pass.
#include "support/datarow.h"
#include "support/viewtest.h"
#include "surface/ui/surfaceview.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTextBoundaryFinder>

using namespace qln;

namespace {

// A position the caret may stand on: not inside a CR LF pair, a surrogate
// pair or a character with its combining marks.
bool onBoundary(const Surface &s, int pos, QString *why)
{
    if (pos < 0 || pos > s.length()) {
        *why = QStringLiteral("%1 lies outside the text").arg(pos);
        return false;
    }
    const QChar before = s.at(pos - 1), after = s.at(pos);
    if (before == QLatin1Char('\r') && after == QLatin1Char('\n')) {
        *why = QStringLiteral("%1 splits a CR LF pair").arg(pos);
        return false;
    }
    if (before.isHighSurrogate() && after.isLowSurrogate()) {
        *why = QStringLiteral("%1 splits a surrogate pair").arg(pos);
        return false;
    }
    const int line = s.lineFromChar(pos);
    const QString text = s.lineText(line);
    const int column = pos - s.lineIndex(line);
    if (column > 0 && column < text.size()) {
        QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
        graphemes.setPosition(column);
        if (!graphemes.isAtBoundary()) {
            *why = QStringLiteral("%1 splits a character from its marks").arg(pos);
            return false;
        }
    }
    return true;
}

// Line starts counted straight from the text: after every CR LF.
std::vector<int> lineStartsOf(const QString &text)
{
    std::vector<int> starts{0};
    for (int i = 0; i + 1 < text.size(); ++i)
        if (text.at(i) == QLatin1Char('\r') && text.at(i + 1) == QLatin1Char('\n'))
            starts.push_back(i + 2);
    return starts;
}

const QString kSmile = QStringLiteral("\U0001F600"); // a surrogate pair

} // namespace

class TstViewBehaviour : public QObject, public test::ViewTest {
    Q_OBJECT
private slots:
    void init() { QVERIFY(openView(600, 400)); }
    void cleanup() { closeView(); }
    // --- keyboard --------------------------------------------------------------
    void keyboardMovesAndSelects_data()
    {
        columns<QString, int, QTestEventList, int, int>("text", "caret", "keys", "selStart",
                                                        "selLength");

        // Lines 0..2 start at 0, 12 and 25; all begin "al", so Up and Down
        // keep the column whatever the font.
        const QString t = QStringLiteral("alpha beta\r\nalpha gamma\r\nalp");
        auto keys = [](std::initializer_list<std::pair<Qt::Key, Qt::KeyboardModifiers>> list) {
            QTestEventList events;
            for (const auto &[key, mods] : list)
                events.addKeyClick(key, mods);
            return events;
        };
        const auto shift = Qt::ShiftModifier;
        const auto ctrl = Qt::ControlModifier;
        const auto none = Qt::NoModifier;
        row("shift+right", t, 2, keys({{Qt::Key_Right, shift}}), 2, 1);
        row("shift+left", t, 2, keys({{Qt::Key_Left, shift}}), 1, 1);
        row("shift+end", t, 2, keys({{Qt::Key_End, shift}}), 2, 8);
        row("shift+home", t, 2, keys({{Qt::Key_Home, shift}}), 0, 2);
        row("shift+down", t, 2, keys({{Qt::Key_Down, shift}}), 2, 12);
        row("shift+up", t, 14, keys({{Qt::Key_Up, shift}}), 2, 12);
        row("shift+down twice", t, 2, keys({{Qt::Key_Down, shift}, {Qt::Key_Down, shift}}), 2, 25);
        row("down on the last line goes to its end", t, 14,
            keys({{Qt::Key_Down, none}, {Qt::Key_Down, none}}), 28, 0);
        row("ctrl+shift+right, a word", t, 0, keys({{Qt::Key_Right, ctrl | shift}}), 0, 6);
        row("ctrl+shift+left, a word", t, 8, keys({{Qt::Key_Left, ctrl | shift}}), 6, 2);
        row("ctrl+home", t, 14, keys({{Qt::Key_Home, ctrl}}), 0, 0);
        row("ctrl+end", t, 14, keys({{Qt::Key_End, ctrl}}), 28, 0);
        row("ctrl+shift+home", t, 14, keys({{Qt::Key_Home, ctrl | shift}}), 0, 14);
        row("ctrl+shift+end", t, 14, keys({{Qt::Key_End, ctrl | shift}}), 14, 14);
        row("end stops before CR LF", t, 12, keys({{Qt::Key_End, none}}), 23, 0);
        row("home of second line", t, 23, keys({{Qt::Key_Home, none}}), 12, 0);
        row("right passes CR LF", t, 10, keys({{Qt::Key_Right, none}}), 12, 0);
        row("left passes CR LF", t, 12, keys({{Qt::Key_Left, none}}), 10, 0);
        row("shift+right selects CR LF", t, 10, keys({{Qt::Key_Right, shift}}), 10, 2);
        row("shift+left selects CR LF", t, 12, keys({{Qt::Key_Left, shift}}), 10, 2);
        row("shift+left shrinks from the caret's end", t, 2,
            keys({{Qt::Key_Right, shift}, {Qt::Key_Right, shift}, {Qt::Key_Left, shift}}), 2, 1);
        row("ctrl+shift+home keeps the anchor", t, 14,
            keys({{Qt::Key_Right, ctrl | shift}, {Qt::Key_Home, ctrl | shift}}), 0, 14);
        row("left ends a selection at its start", t, 2,
            keys({{Qt::Key_End, shift}, {Qt::Key_Left, none}}), 2, 0);

        const QString longLine = QString(50000, QLatin1Char('x')) + QStringLiteral("\r\nshort");
        row("end of a long line", longLine, 0, keys({{Qt::Key_End, none}}), 50000, 0);
        row("home of a long line", longLine, 49000, keys({{Qt::Key_Home, none}}), 0, 0);
        row("shift+end of a long line", longLine, 10, keys({{Qt::Key_End, shift}}), 10, 49990);
        row("down from a long line's end", longLine, 0,
            keys({{Qt::Key_End, none}, {Qt::Key_Down, none}}), 50007, 0);

        // "a", a surrogate pair, CR LF, "b": the pair is positions 1 and 2.
        const QString pair = QStringLiteral("a") + kSmile + QStringLiteral("\r\nb");
        row("end before a pair at line end", pair, 0, keys({{Qt::Key_End, none}}), 3, 0);
        row("home from after a pair", pair, 3, keys({{Qt::Key_Home, none}}), 0, 0);
        row("right over a pair", pair, 1, keys({{Qt::Key_Right, none}}), 3, 0);
        row("left over a pair", pair, 3, keys({{Qt::Key_Left, none}}), 1, 0);
        row("shift+left selects a pair", pair, 3, keys({{Qt::Key_Left, shift}}), 1, 2);
        row("right over a pair then CR LF", pair, 1,
            keys({{Qt::Key_Right, none}, {Qt::Key_Right, none}}), 5, 0);

        // "e" with an acute accent as a combining mark, then "x".
        const QString marks = QStringLiteral("e\u0301x\u0302\u0323y");
        row("right over a combining sequence", marks, 0, keys({{Qt::Key_Right, none}}), 2, 0);
        row("left over a combining sequence", marks, 2, keys({{Qt::Key_Left, none}}), 0, 0);
        row("right over two marks", marks, 2, keys({{Qt::Key_Right, none}}), 5, 0);
        row("shift+left over two marks", marks, 5, keys({{Qt::Key_Left, shift}}), 2, 3);
    }
    void keyboardMovesAndSelects()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QTestEventList, keys);
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        load(text, caret);
        keys.simulate(m_view);
        QCOMPARE(surface()->selStart(), selStart);
        QCOMPARE(surface()->selLength(), selLength);
        QCOMPARE(surface()->text(), text); // moving never edits
    }
    void editingKeys_data()
    {
        columns<QString, int, int, QTestEventList, QString, int>("text", "start", "length", "keys",
                                                                 "result", "caret");

        auto key = [](Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
            QTestEventList events;
            events.addKeyClick(k, mods);
            return events;
        };
        auto typed = [](const QString &s) {
            QTestEventList events;
            events.addKeyClicks(s);
            return events;
        };
        const QString lines = QStringLiteral("ab\r\ncd");
        const QString pair = QStringLiteral("a") + kSmile + QStringLiteral("b");
        row("typing", lines, 1, 0, typed(QStringLiteral("xyz")), "axyzb\r\ncd", 4);
        row("typing over a selection", lines, 0, 2, typed(QStringLiteral("q")), "q\r\ncd", 1);
        row("typing over a selection with CR LF", lines, 1, 4, typed(QStringLiteral("-")), "a-d",
            2);
        row("enter makes CR LF", QStringLiteral("ab"), 1, 0, key(Qt::Key_Return), "a\r\nb", 3);
        row("shift+enter makes CR LF", QStringLiteral("ab"), 1, 0,
            key(Qt::Key_Return, Qt::ShiftModifier), "a\r\nb", 3);
        row("keypad enter makes CR LF", QStringLiteral("ab"), 2, 0,
            key(Qt::Key_Enter, Qt::KeypadModifier), "ab\r\n", 4);
        row("enter at a line end", lines, 2, 0, key(Qt::Key_Return), "ab\r\n\r\ncd", 4);
        row("backspace after CR LF", lines, 4, 0, key(Qt::Key_Backspace), "abcd", 2);
        row("delete before CR LF", lines, 2, 0, key(Qt::Key_Delete), "abcd", 2);
        row("backspace over a selection with CR LF", lines, 1, 4, key(Qt::Key_Backspace), "ad", 1);
        row("delete over a selection with CR LF", lines, 2, 2, key(Qt::Key_Delete), "abcd", 2);
        row("backspace after a pair", pair, 3, 0, key(Qt::Key_Backspace), "ab", 1);
        row("delete before a pair", pair, 1, 0, key(Qt::Key_Delete), "ab", 1);
        row("backspace at the start", lines, 0, 0, key(Qt::Key_Backspace), lines, 0);
        row("delete at the end", lines, 6, 0, key(Qt::Key_Delete), lines, 6);
        row("backspace takes the last mark", QStringLiteral("e\u0301x"), 2, 0,
            key(Qt::Key_Backspace), "ex", 1);
        row("delete takes a character with its marks", QStringLiteral("e\u0301x"), 0, 0,
            key(Qt::Key_Delete), "x", 0);
        row("tab", lines, 0, 0, key(Qt::Key_Tab), "\tab\r\ncd", 1);
        const QString words = QStringLiteral("alpha beta\r\ngamma");
        const auto ctrl = Qt::ControlModifier;
        row("ctrl+backspace takes a word", words, 17, 0, key(Qt::Key_Backspace, ctrl),
            "alpha beta\r\n", 12);
        row("ctrl+backspace at a line's start takes the break", words, 12, 0,
            key(Qt::Key_Backspace, ctrl), "alpha betagamma", 10);
        row("ctrl+backspace leaves the blank before the word", words, 10, 0,
            key(Qt::Key_Backspace, ctrl), "alpha \r\ngamma", 6);
        row("ctrl+delete takes a word and the blank after it", words, 0, 0,
            key(Qt::Key_Delete, ctrl), "beta\r\ngamma", 0);
        row("ctrl+delete over a selection takes the selection", words, 2, 3,
            key(Qt::Key_Delete, ctrl), "al beta\r\ngamma", 2);
    }
    void editingKeys()
    {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(QTestEventList, keys);
        QFETCH(QString, result);
        QFETCH(int, caret);
        load(text, start, length);
        keys.simulate(m_view);
        QCOMPARE(surface()->text(), result);
        QCOMPARE(surface()->selStart(), caret);
        QCOMPARE(surface()->selLength(), 0);
        QCOMPARE(surface()->lineCount(), int(lineStartsOf(result).size()));
    }
    void insertTogglesOverwrite()
    {
        load(QStringLiteral("abc\r\nd") + kSmile + QStringLiteral("e"));
        QSignalSpy toggled(m_view, &SurfaceView::overwriteModeToggled);
        QTest::keyClick(m_view, Qt::Key_Insert);
        QCOMPARE(toggled.size(), 1);
        QCOMPARE(toggled.at(0).at(0).toBool(), true);
        QVERIFY(m_view->overwriteMode());

        QTest::keyClicks(m_view, QStringLiteral("xy"));
        QCOMPARE(surface()->text(), QStringLiteral("xyc\r\nd") + kSmile + QStringLiteral("e"));
        QCOMPARE(surface()->selStart(), 2);
        // At the line end the break stays: the character is added before it.
        QTest::keyClicks(m_view, QStringLiteral("zw"));
        QCOMPARE(surface()->text(), QStringLiteral("xyzw\r\nd") + kSmile + QStringLiteral("e"));
        QCOMPARE(surface()->lineCount(), 2);
        // Over a surrogate pair the whole character is replaced.
        surface()->setSelStart(surface()->lineIndex(1) + 1);
        m_view->flush();
        QTest::keyClicks(m_view, QStringLiteral("q"));
        QCOMPARE(surface()->text(), QStringLiteral("xyzw\r\ndqe"));
        QCOMPARE(surface()->selStart(), 8);

        QTest::keyClick(m_view, Qt::Key_Insert);
        QCOMPARE(toggled.size(), 2);
        QCOMPARE(toggled.at(1).at(0).toBool(), false);
        QVERIFY(!m_view->overwriteMode());
        QTest::keyClicks(m_view, QStringLiteral("r"));
        QCOMPARE(surface()->text(), QStringLiteral("xyzw\r\ndqre"));
    }
    void caretFollowsUndoAndRedo()
    {
        Surface *s = surface();
        load(QStringLiteral("first\r\nsecond\r\nthird"), 5);
        QTest::keyClicks(m_view, QStringLiteral("ly"));
        QCOMPARE(s->text(), QStringLiteral("firstly\r\nsecond\r\nthird"));
        // The caret goes elsewhere; undo brings it back to the edit.
        QTest::keyClick(m_view, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(s->selStart(), s->length());
        QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s->text(), QStringLiteral("first\r\nsecond\r\nthird"));
        QCOMPARE(s->selStart(), 5);
        QCOMPARE(m_view->caretRect(), m_view->caretRect(5));
        QTest::keyClick(m_view, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(s->text(), QStringLiteral("firstly\r\nsecond\r\nthird"));
        QCOMPARE(s->selStart(), 7);
        QCOMPARE(m_view->caretRect(), m_view->caretRect(7));
        // Ctrl+Shift+Z redoes too.
        QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(s->text(), QStringLiteral("firstly\r\nsecond\r\nthird"));
        // Typing goes where the surface says the caret is.
        QTest::keyClicks(m_view, QStringLiteral("!"));
        QCOMPARE(s->text(), QStringLiteral("firstly!\r\nsecond\r\nthird"));

        // Undoing a deletion across a line break puts the text back.
        s->setSelection(3, 7); // "stly!" and the CR LF after it
        m_view->flush();
        const QString removed = s->selText();
        QTest::keyClick(m_view, Qt::Key_Delete);
        QCOMPARE(s->lineCount(), 2);
        QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s->mid(3, removed.size()), removed);
        QCOMPARE(s->lineCount(), 3);
        QCOMPARE(m_view->caretRect(), m_view->caretRect(s->selStart() + s->selLength()));
        QString why;
        QVERIFY2(onBoundary(*s, s->selStart(), &why), qPrintable(why));
        const int caret = s->selStart();
        QTest::keyClicks(m_view, QStringLiteral("#"));
        QCOMPARE(s->at(caret), QLatin1Char('#'));
    }
    // --- mouse ------------------------------------------------------------------
    void clickPutsCaret_data()
    {
        QTest::addColumn<int>("pos");
        // Over "alpha beta\r\nalpha gamma\r\nend" (lines at 0, 12, 25).
        row("start", 0);
        row("inside a word", 3);
        row("line end before CR LF", 10);
        row("start of the second line", 12);
        row("inside the second line", 18);
        row("start of the last line", 25);
        row("end of the text", 28);
    }
    void clickPutsCaret()
    {
        QFETCH(int, pos);
        load(QStringLiteral("alpha beta\r\nalpha gamma\r\nend"), 26, 2);
        QSignalSpy clicked(m_view, &SurfaceView::clicked);
        QCOMPARE(m_view->positionAt(pointAt(pos)), pos);
        click(pos);
        QCOMPARE(surface()->selStart(), pos);
        QCOMPARE(surface()->selLength(), 0);
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(m_view->caretRect(), m_view->caretRect(pos));
        // Right of the line's end: before its line break.
        Surface *s = surface();
        const int line = s->lineFromChar(pos);
        const int end = s->lineIndex(line) + s->lineLength(line);
        QCOMPARE(m_view->positionAt(pointAt(pos) + QPoint(400, 0)), end);
        // The input method's answers follow the caret, also as it types; the
        // rectangle is in the view's own coordinates, not the viewport's.
        QVERIFY(m_view->testAttribute(Qt::WA_InputMethodEnabled));
        for (const int typed : {0, 2}) {
            if (typed)
                QTest::keyClicks(m_view, QStringLiteral("ab"));
            QCOMPARE(m_view->inputMethodQuery(Qt::ImSurroundingText).toString(), s->lineText(line));
            QCOMPARE(m_view->inputMethodQuery(Qt::ImCursorPosition).toInt(),
                     pos - s->lineIndex(line) + typed);
            QCOMPARE(m_view->inputMethodQuery(Qt::ImCursorRectangle).toRect(),
                     m_view->caretRect().translated(m_view->viewport()->pos()));
        }
        QVERIFY(m_view->caretRect().left() > m_view->caretRect(pos).left());
    }
    void mouseSelects_data()
    {
        columns<QString, QString>("text", "gesture");
        QTest::addColumn<QList<int>>("at"); // positions the gesture goes through
        columns<int, int>("selStart", "selLength");
        // Lines at 0, 12 and 25; the last one has no break after it.
        const QString t = QStringLiteral("alpha beta\r\nalpha gamma\r\nend");
        row("drag within a line", t, "drag", QList<int>{1, 4}, 1, 3);
        row("drag backwards within a line", t, "drag", QList<int>{9, 6}, 6, 3);
        row("drag across a line break", t, "drag", QList<int>{7, 15}, 7, 8);
        row("drag backwards across two breaks", t, "drag", QList<int>{27, 2}, 2, 25);
        // A line is selected with its line break.
        row("triple click, middle line", t, "triple", QList<int>{15}, 12, 13);
        row("triple click, last line", t, "triple", QList<int>{26}, 25, 3);
        // Extending again keeps the first end where the selection began.
        row("shift+click extends", t, "shift", QList<int>{2, 15}, 2, 13);
        row("shift+click extends again", t, "shift", QList<int>{2, 15, 26}, 2, 24);
        row("shift+click back past the anchor", t, "shift", QList<int>{2, 15, 26, 1}, 1, 1);
        const QString w = QStringLiteral("int count = a1b2;\r\nfoo_bar x$y $z");
        // Line 1 starts at 19: "foo_bar" 19..25, "x$y" 27..29, "$z" 31..32.
        row("double click, plain word", w, "double", QList<int>{6}, 4, 5);
        row("double click, letters and digits", w, "double", QList<int>{14}, 12, 4);
        row("double click, underscore joins", w, "double", QList<int>{21}, 19, 7);
        row("double click, dollar inside a word", w, "double", QList<int>{28}, 27, 3);
        row("double click, dollar starts a word", w, "double", QList<int>{32}, 31, 2);
    }
    void mouseSelects()
    {
        QFETCH(QString, text);
        QFETCH(QString, gesture);
        QFETCH(QList<int>, at);
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        load(text);
        QWidget *vp = m_view->viewport();
        if (gesture == QLatin1String("drag")) {
            const QPoint a = pointAt(at[0]), b = pointAt(at[1]);
            QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, a);
            // A few steps on the way, as a real drag goes.
            for (int i = 1; i <= 4; ++i)
                QTest::mouseMove(vp, a + (b - a) * i / 4);
            QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, b);
        } else if (gesture == QLatin1String("shift")) {
            click(at[0]);
            for (int i = 1; i < at.size(); ++i)
                click(at[i], Qt::ShiftModifier);
        } else {
            QTest::mouseDClick(vp, Qt::LeftButton, Qt::NoModifier, pointAt(at[0]));
            if (gesture == QLatin1String("triple"))
                QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, pointAt(at[0]));
        }
        QCOMPARE(surface()->selStart(), selStart);
        QCOMPARE(surface()->selLength(), selLength);
        QCOMPARE(surface()->selText(), surface()->mid(selStart, selLength));
    }
    // --- drop -------------------------------------------------------------------
    void dropInsertsAtPoint_data()
    {
        QTest::addColumn<bool>("formatted");
        row("plain text", false);
        row("the program's formatted data", true);
    }
    void dropInsertsAtPoint()
    {
        QFETCH(bool, formatted);
        Surface *s = surface();
        // "red" on the first line is coloured; the drop goes into line 1.
        load(QStringLiteral("red plain\r\nsecond line"), 0);
        CharFormat red;
        red.color = 0x0000FF;
        s->setFormat(0, 3, red);
        std::unique_ptr<QMimeData> data;
        if (formatted) {
            data.reset(s->mimeData(0, 3));
        } else {
            data = std::make_unique<QMimeData>();
            data->setText(QStringLiteral("red"));
        }
        const int target = s->lineIndex(1) + 6; // "second| line"
        const QPoint point = pointAt(target);
        QCOMPARE(m_view->positionAt(point), target);

        QWidget *vp = m_view->viewport();
        QDragEnterEvent enter(point, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(vp, &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(point, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(vp, &move);
        QVERIFY(move.isAccepted());
        QDropEvent drop(QPointF(point), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(vp, &drop);
        QVERIFY(drop.isAccepted());
        m_view->flush();

        QCOMPARE(s->text(), QStringLiteral("red plain\r\nsecondred line"));
        QCOMPARE(s->formatAt(target).color, formatted ? red.color : BgrColor(0));
        QCOMPARE(s->formatAt(target + 2).color, formatted ? red.color : BgrColor(0));
        QCOMPARE(s->formatAt(target + 3).color, BgrColor(0));
    }
    // --- input methods ----------------------------------------------------------
    void inputMethodCommits_data()
    {
        columns<QString, int, QString>("text", "caret", "commit");
        QTest::addColumn<int>("replaceFrom"); // relative to the caret
        columns<int, QString, int>("replaceLength", "result", "caretAfter");
        row("composed character", QStringLiteral("caf"), 3, QStringLiteral("é"), 0, 0,
            QStringLiteral("café"), 4);
        row("on the second line", QStringLiteral("a\r\nb"), 4, QStringLiteral("ü"), 0, 0,
            QStringLiteral("a\r\nbü"), 5);
        row("replaces the previous character", QStringLiteral("x\r\nmu"), 5, QStringLiteral("ü"),
            -1, 1, QStringLiteral("x\r\nmü"), 5);
        row("replaces inside the line", QStringLiteral("x\r\nuber"), 4, QStringLiteral("Ü"), -1, 1,
            QStringLiteral("x\r\nÜber"), 4);
        row("a character outside the basic plane", QStringLiteral("a"), 1, kSmile, 0, 0,
            QStringLiteral("a") + kSmile, 3);
    }
    void inputMethodCommits()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QString, commit);
        QFETCH(int, replaceFrom);
        QFETCH(int, replaceLength);
        QFETCH(QString, result);
        QFETCH(int, caretAfter);
        load(text, caret);
        // Composition first: nothing reaches the surface yet; what is composed
        // shows at the caret, which stands after it.
        const int x0 = m_view->caretRect().left();
        QInputMethodEvent preedit(QStringLiteral("'"), {});
        QApplication::sendEvent(m_view, &preedit);
        QCOMPARE(surface()->text(), text);
        m_view->viewport()->repaint();
        QVERIFY(m_view->caretRect().left() > x0);
        QVERIFY(m_view->inputMethodQuery(Qt::ImEnabled).toBool());
        QInputMethodEvent event;
        event.setCommitString(commit, replaceFrom, replaceLength);
        QApplication::sendEvent(m_view, &event);
        QCOMPARE(surface()->text(), result);
        QCOMPARE(surface()->selStart(), caretAfter);
        QCOMPARE(m_view->caretRect(), m_view->caretRect(caretAfter));
    }
    // --- clipboard --------------------------------------------------------------
    void clipboardKeepsOrDropsColour_data()
    {
        columns<bool, bool, bool>("copyByKey", "pasteByKey", "coloured");
        row("ctrl+c, ctrl+v", true, true, true);
        row("ctrl+c, paste plain", true, false, false);
        row("copy plain, ctrl+v", false, true, false);
        row("copy plain, paste plain", false, false, false);
    }
    void clipboardKeepsOrDropsColour()
    {
        QFETCH(bool, copyByKey);
        QFETCH(bool, pasteByKey);
        QFETCH(bool, coloured);
        QClipboard *clipboard = QGuiApplication::clipboard();
        QVERIFY(clipboard);
        Surface *s = surface();
        load(QStringLiteral("int x;\r\nplain "));
        CharFormat keyword;
        keyword.color = 0xFF0000;
        keyword.bold = true;
        s->setFormat(0, 3, keyword);
        s->setSelection(0, 3);
        m_view->flush();
        if (copyByKey)
            QTest::keyClick(m_view, Qt::Key_C, Qt::ControlModifier);
        else
            QVERIFY(s->copyPlain());
        QCOMPARE(clipboard->text(), QStringLiteral("int"));
        QTest::keyClick(m_view, Qt::Key_End, Qt::ControlModifier); // after "plain "
        const int at = s->selStart();
        if (pasteByKey)
            QTest::keyClick(m_view, Qt::Key_V, Qt::ControlModifier);
        else
            QVERIFY(s->pastePlain());
        QCOMPARE(s->text(), QStringLiteral("int x;\r\nplain int"));
        QCOMPARE(s->selStart(), at + 3);
        for (int i = at; i < at + 3; ++i) {
            QCOMPARE(s->formatAt(i).color, coloured ? keyword.color : BgrColor(0));
            QCOMPARE(s->formatAt(i).bold, coloured);
        }
    }
    // A file holding NUL is not text to Open, so no way in may put one into
    // the document: the text stays as it was and the surface says why.
    void nulIsRefusedOnEveryWayIn_data()
    {
        columns<QString, bool>("way", "formatted");
        row("ctrl+v, plain text", QStringLiteral("ctrl+v"), false);
        row("ctrl+v, the program's formatted data", QStringLiteral("ctrl+v"), true);
        row("paste plain", QStringLiteral("paste plain"), false);
        row("drop, plain text", QStringLiteral("drop"), false);
        row("drop, the program's formatted data", QStringLiteral("drop"), true);
        row("input method commit", QStringLiteral("commit"), false);
    }
    void nulIsRefusedOnEveryWayIn()
    {
        QFETCH(QString, way);
        QFETCH(bool, formatted);
        const QString withNul = QStringLiteral("a") + QChar(0) + QStringLiteral("b");
        auto data = std::make_unique<QMimeData>();
        if (formatted) {
            // Formatted data whose own text holds the NUL, beside a clean plain
            // text: what would be inserted is what is checked.
            Surface source;
            source.setText(withNul);
            data.reset(source.mimeData(0, source.length()));
            data->setText(QStringLiteral("ab"));
        } else {
            data->setText(withNul);
        }
        Surface *s = surface();
        load(QStringLiteral("keep\r\nthis"), 2, 2); // "ep" selected
        QSignalSpy refused(s, &Surface::textRefused);
        QSignalSpy changed(s, &Surface::changed);

        if (way == QLatin1String("commit")) {
            QInputMethodEvent event;
            event.setCommitString(withNul);
            QApplication::sendEvent(m_view, &event);
        } else if (way == QLatin1String("drop")) {
            const QPoint point = pointAt(s->lineIndex(1) + 2);
            QWidget *vp = m_view->viewport();
            QDragEnterEvent enter(point, Qt::CopyAction, data.get(), Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(vp, &enter);
            QDragMoveEvent move(point, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(vp, &move);
            QDropEvent drop(QPointF(point), Qt::CopyAction, data.get(), Qt::LeftButton,
                            Qt::NoModifier);
            QApplication::sendEvent(vp, &drop);
            QVERIFY(!drop.isAccepted());
        } else {
            QGuiApplication::clipboard()->setMimeData(data.release());
            if (way == QLatin1String("ctrl+v"))
                QTest::keyClick(m_view, Qt::Key_V, Qt::ControlModifier);
            else
                QVERIFY(s->pastePlain());
        }
        m_view->flush();

        QCOMPARE(s->text(), QStringLiteral("keep\r\nthis"));
        QCOMPARE(changed.count(), 0);
        QVERIFY(!s->canUndo());
        QCOMPARE(refused.count(), 1);
        QVERIFY(refused.at(0).at(0).toString().contains(QLatin1String("NUL")));
        if (way != QLatin1String("drop")) {
            QCOMPARE(s->selStart(), 2);
            QCOMPARE(s->selLength(), 2);
        }
    }
    // --- awkward text -----------------------------------------------------------
    void awkwardTextKeepsBoundaries_data()
    {
        QTest::addColumn<QString>("text");
        row("300,000 of one character",
            QString(300000, QLatin1Char('x')) + QStringLiteral("\r\nend"));
        row("100,000 tabs", QString(100000, QLatin1Char('\t')) + QStringLiteral("\r\nx\t"));
        row("100,000 surrogate pairs", kSmile.repeated(100000) + QStringLiteral("\r\nend"));
        const QString marks = QStringLiteral("e\u0301o\u0308\u0304");
        row("combining characters",
            marks.repeated(15000) + QStringLiteral("\r\n\u0301\u0301a\r\n"));
        const QString hebrew =
            QStringLiteral("abc \u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD def ");
        row("right to left",
            hebrew.repeated(2000)
                + QStringLiteral("\r\n\u0645\u0631\u062D\u0628\u0627 123 "
                                 "\u0628\u0627\u0644\u0639\u0627\u0644\u0645\r\nx"));
        row("surrogate pairs at line ends", QStringLiteral("abc") + kSmile + QStringLiteral("\r\n")
                                                + kSmile + QStringLiteral("\r\nx") + kSmile);
    }
    void awkwardTextKeepsBoundaries()
    {
        QFETCH(QString, text);
        Surface *s = surface();
        load(text);
        const std::vector<int> starts = lineStartsOf(text);
        QCOMPARE(s->lineCount(), int(starts.size()));

        QString why;
        auto checkCaret = [&](const char *after) {
            const int a = s->selStart(), b = s->selStart() + s->selLength();
            if (!onBoundary(*s, a, &why) || !onBoundary(*s, b, &why))
                QFAIL(qPrintable(QStringLiteral("after %1: %2").arg(QLatin1String(after), why)));
        };
        struct Step {
            const char *name;
            Qt::Key key;
            Qt::KeyboardModifiers mods;
        };
        const Step steps[] = {
            {"End", Qt::Key_End, Qt::NoModifier},
            {"Left", Qt::Key_Left, Qt::NoModifier},
            {"Left", Qt::Key_Left, Qt::NoModifier},
            {"Home", Qt::Key_Home, Qt::NoModifier},
            {"Right", Qt::Key_Right, Qt::NoModifier},
            {"Right", Qt::Key_Right, Qt::NoModifier},
            {"Shift+Right", Qt::Key_Right, Qt::ShiftModifier},
            {"Ctrl+Right", Qt::Key_Right, Qt::ControlModifier},
            {"End", Qt::Key_End, Qt::NoModifier},
            {"Right", Qt::Key_Right, Qt::NoModifier},
            {"Left", Qt::Key_Left, Qt::NoModifier},
            {"Down", Qt::Key_Down, Qt::NoModifier},
            {"End", Qt::Key_End, Qt::NoModifier},
            {"Left", Qt::Key_Left, Qt::NoModifier},
            {"Shift+Home", Qt::Key_Home, Qt::ShiftModifier},
            {"Ctrl+End", Qt::Key_End, Qt::ControlModifier},
            {"Left", Qt::Key_Left, Qt::NoModifier},
            {"Up", Qt::Key_Up, Qt::NoModifier},
            {"Right", Qt::Key_Right, Qt::NoModifier},
        };
        for (const Step &step : steps) {
            QTest::keyClick(m_view, step.key, step.mods);
            checkCaret(step.name);
        }
        // The middle of the first line (on a whole character of every row's
        // pattern), scrolled to, and a click just right of the caret there.
        s->setSelection(starts[1] / 20 * 10, 0);
        m_view->flush();
        m_view->viewport()->repaint();
        checkCaret("a caret set in the middle");
        QTest::keyClick(m_view, Qt::Key_Right);
        checkCaret("Right in the middle");
        QTest::keyClick(m_view, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
        checkCaret("Ctrl+Shift+Left in the middle");
        const int near = m_view->positionAt(m_view->caretRect().center() + QPoint(3, 0));
        QVERIFY2(onBoundary(*s, near, &why), qPrintable(why));
        // Clicks: at points inside the text, and beyond its right edge.
        const QPoint points[] = {QPoint(40, 5), QPoint(m_view->viewport()->width() / 2, 5),
                                 QPoint(m_view->viewport()->width() - 3, 30), QPoint(7, 22)};
        for (const QPoint &p : points) {
            QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, p);
            checkCaret("a click");
            QCOMPARE(s->selStart(), m_view->positionAt(p));
            QString why2;
            QVERIFY2(onBoundary(*s, m_view->positionAt(p), &why2), qPrintable(why2));
        }
        // Typing between the awkward characters edits only where the caret is.
        QTest::keyClick(m_view, Qt::Key_Home, Qt::ControlModifier); // back in sight
        click(s->lineIndex(1));
        QTest::keyClicks(m_view, QStringLiteral("k"));
        QCOMPARE(s->at(starts[1]), QLatin1Char('k'));
        QTest::keyClick(m_view, Qt::Key_Backspace);
        // And at the end of the first line, before its line break.
        QTest::keyClick(m_view, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(m_view, Qt::Key_End);
        QTest::keyClicks(m_view, QStringLiteral("z"));
        QCOMPARE(s->at(s->lineLength(0) - 1), QLatin1Char('z'));
        QTest::keyClick(m_view, Qt::Key_Backspace);

        QCOMPARE(s->text(), text);
        QCOMPARE(s->lineCount(), int(starts.size()));
        for (int line = 0; line < int(starts.size()); ++line)
            QCOMPARE(s->lineIndex(line), starts[size_t(line)]);
        QCOMPARE(s->lineIndex(int(starts.size())), -1);
    }
    // --- hidden surface ---------------------------------------------------------
    void shownOrHiddenKeepsInStep_data()
    {
        QTest::addColumn<QString>("hidden");
        row("shown", QString());
        row("painting off", QStringLiteral("painting"));
        row("widget hidden", QStringLiteral("widget"));
    }
    void shownOrHiddenKeepsInStep()
    {
        // Edits by the program and keys typed land whether the view is shown,
        // its painting is off (nothing is laid out meanwhile) or its widget is
        // hidden; shown again, every line and the caret are where the surface
        // has them.
        QFETCH(QString, hidden);
        Surface *s = surface();
        load(QStringLiteral("one\r\ntwo"), 8);
        m_view->viewport()->repaint();
        const quint64 before = m_view->layoutsBuilt();
        if (hidden == QLatin1String("painting"))
            m_view->setPainted(false);
        else if (hidden == QLatin1String("widget"))
            m_view->hide();
        s->setSelText(QStringLiteral("\r\nthree\r\nfour"));
        QTest::keyClicks(m_view, QStringLiteral("teen"));
        QTest::keyClick(m_view, Qt::Key_Return);
        s->setSelection(0, 3);
        s->setSelText(QStringLiteral("zero"));
        s->setSelection(0, 1);
        s->setSelColor(255);
        s->setSelection(s->lineIndex(3) + 4, 0);
        QCOMPARE(s->text(), QStringLiteral("zero\r\ntwo\r\nthree\r\nfourteen\r\n"));
        QCoreApplication::processEvents();
        if (hidden == QLatin1String("painting")) {
            QVERIFY(m_view->hasFocus()); // hiding does not take the focus away
            QCOMPARE(m_view->layoutsBuilt(), before);
            m_view->setPainted(true);
        } else if (hidden == QLatin1String("widget")) {
            m_view->show();
            QVERIFY(QTest::qWaitForWindowExposed(m_view));
        }
        m_view->flush();
        m_view->viewport()->repaint();
        QVERIFY(m_view->layoutsBuilt() > before);
        for (int line = 0; line < s->lineCount(); ++line) {
            const int start = s->lineIndex(line);
            const int end = start + s->lineLength(line);
            QCOMPARE(m_view->positionAt(pointAt(start)), start);
            QCOMPARE(m_view->positionAt(pointAt(end)), end);
            if (line > 0)
                QVERIFY(pointAt(start).y() > pointAt(s->lineIndex(line - 1)).y());
        }
        QCOMPARE(m_view->caretRect(), m_view->caretRect(s->lineIndex(3) + 4));
        QVERIFY(m_view->caretRect(s->lineIndex(3) + 8).left()
                > m_view->caretRect(s->lineIndex(3)).left());
        QTest::keyClicks(m_view, QStringLiteral("-"));
        QCOMPARE(s->text(), QStringLiteral("zero\r\ntwo\r\nthree\r\nfour-teen\r\n"));
    }

private:
    Surface *surface() const { return m_view->surface(); }
    void load(const QString &text, int start = 0, int length = 0)
    {
        surface()->setText(text);
        surface()->setSelection(start, length);
        m_view->flush();
        QCoreApplication::processEvents();
    }
    QPoint pointAt(int pos) const { return m_view->caretRect(pos).center(); }
    void click(int pos, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(m_view->viewport(), Qt::LeftButton, mods, pointAt(pos));
    }
};

QTEST_MAIN(TstViewBehaviour)
#include "tst_viewbehaviour.moc"
