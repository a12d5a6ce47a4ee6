// The surface model without a view: positions in CR LF counting, find,
// selection formats, edits, undo and the clipboard.
#include "surface/surface.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

using namespace qln;

class TstSurface : public QObject {
    Q_OBJECT
private slots:
    void lineArithmetic_data();
    void lineArithmetic();
    void lineBreaksNormalised();
    void find_data();
    void find();
    void findSelectsMatch();
    void findLineFeed();
    void mixedSelectionReadsNoValue();
    void emptySelectionFormatsTypedText();
    void selTextReplacesAndMovesCaret();
    void editsNeverSplitLineBreak();
    void lineTableSurvivesRandomEdits();
    void viewPositionsRoundTrip();
    void undoRestoresTextAndFormats();
    void typedCharactersUndoTogether();
    void baseFontAppliesToWholeText();
    void clipboardKeepsFormatting();
    void plainPasteTakesFormatAtCaret();
    void changeSignalsSeeCaretAfterEdit();
};

void TstSurface::lineArithmetic_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pos");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("lineStart");
    QTest::newRow("char after break") << "ab\r\nc" << 4 << 1 << 4;
    QTest::newRow("on CR") << "ab\r\nc" << 2 << 0 << 0;
    QTest::newRow("on LF") << "ab\r\nc" << 3 << 0 << 0;
    QTest::newRow("end of text") << "ab\r\nc" << 5 << 1 << 4;
    QTest::newRow("after final break") << "ab\r\n" << 4 << 1 << 4;
    QTest::newRow("empty text") << "" << 0 << 0 << 0;
    QTest::newRow("empty lines") << "\r\n\r\n\r\n" << 4 << 2 << 4;
    QTest::newRow("beyond end") << "a\r\nb" << 99 << 1 << 3;
}

void TstSurface::lineArithmetic()
{
    QFETCH(QString, text);
    QFETCH(int, pos);
    QFETCH(int, line);
    QFETCH(int, lineStart);
    Surface s;
    s.setText(text);
    QCOMPARE(s.lineFromChar(pos), line);
    QCOMPARE(s.lineIndex(line), lineStart);
    QCOMPARE(s.lineCount(), int(text.count(QLatin1Char('\n'))) + 1);
    QCOMPARE(s.lineIndex(s.lineCount()), -1);
    QCOMPARE(s.lineIndex(-1), -1);
}

void TstSurface::lineBreaksNormalised()
{
    Surface s;
    s.setText(QStringLiteral("a\nb\rc\r\nd\n\re"));
    QCOMPARE(s.text(), QStringLiteral("a\r\nb\r\nc\r\nd\r\n\r\ne"));
    s.setSelStart(1);
    s.setSelText(QStringLiteral("x\ny"));
    QCOMPARE(s.text().left(8), QStringLiteral("ax\r\ny\r\nb"));
    QCOMPARE(s.lineCount(), 7);
}

void TstSurface::find_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("expected");
    const QString t = QStringLiteral("int x = interface; int_y $int int");
    QTest::newRow("plain") << t << "int" << 0 << -1 << 0 << 0;
    QTest::newRow("from start") << t << "int" << 1 << -1 << 0 << 8;
    QTest::newRow("whole word skips inside words") << t << "int" << 1 << -1 << 2 << 30;
    QTest::newRow("underscore joins words") << "int_y int" << "int" << 0 << -1 << 2 << 6;
    QTest::newRow("dollar joins words") << "$int int" << "int" << 0 << -1 << 2 << 5;
    QTest::newRow("case ignored by default") << "Foo foo" << "foo" << 0 << -1 << 0 << 0;
    QTest::newRow("match case") << "Foo foo" << "foo" << 0 << -1 << 4 << 4;
    QTest::newRow("match must end by end") << "abcdef" << "cde" << 0 << 4 << 0 << -1;
    QTest::newRow("match ending at end") << "abcdef" << "cde" << 0 << 5 << 0 << 2;
    QTest::newRow("start after match") << "abcdef" << "bc" << 2 << -1 << 0 << -1;
    QTest::newRow("negative start from 0") << "abc" << "a" << -1 << -1 << 0 << 0;
    QTest::newRow("start past end") << "abc" << "c" << 9 << -1 << 0 << -1;
    QTest::newRow("empty needle") << "abc" << "" << 0 << -1 << 0 << -1;
    QTest::newRow("overlap from next char") << "{{" << "{" << 1 << -1 << 0 << 1;
    QTest::newRow("punctuation whole word") << "a{b" << "{" << 0 << -1 << 2 << 1;
    QTest::newRow("across line break") << "ab\r\ncd" << "b\r\nc" << 0 << -1 << 0 << 1;
    QTest::newRow("word at text end") << "x int" << "int" << 0 << -1 << 6 << 2;
    QTest::newRow("non-latin letters join words") << "äint int" << "int" << 0 << -1 << 2 << 5;
}

void TstSurface::find()
{
    QFETCH(QString, text);
    QFETCH(QString, needle);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, options);
    QFETCH(int, expected);
    Surface s;
    s.setText(text);
    QCOMPARE(s.find(needle, start, end, options), expected);
}

void TstSurface::findSelectsMatch()
{
    Surface s;
    s.setText(QStringLiteral("one two three"));
    s.setSelection(0, 3);
    QCOMPARE(s.find(QStringLiteral("two"), 0), 4);
    QCOMPARE(s.selStart(), 4);
    QCOMPARE(s.selLength(), 3);
    QCOMPARE(s.selText(), QStringLiteral("two"));
    // A failed search leaves the selection alone.
    QCOMPARE(s.find(QStringLiteral("four"), 0), -1);
    QCOMPARE(s.selStart(), 4);
    QCOMPARE(s.selLength(), 3);
}

void TstSurface::findLineFeed()
{
    Surface s;
    s.setText(QStringLiteral("ab\r\ncd\r\nef"));
    QCOMPARE(s.find(QStringLiteral("\n"), 0), 3);
    QCOMPARE(s.find(QStringLiteral("\n"), s.lineIndex(1)), 7);
    QCOMPARE(s.find(QStringLiteral("\n"), s.lineIndex(2)), -1);
}

void TstSurface::mixedSelectionReadsNoValue()
{
    Surface s;
    s.setText(QStringLiteral("abcdef"));
    s.setSelection(0, 3);
    s.setSelColor(255);
    s.setSelBold(true);
    s.setSelection(3, 3);
    s.setSelColor(16711680);
    s.setSelection(0, 3);
    QCOMPARE(s.selColor(), std::optional<BgrColor>(255));
    QCOMPARE(s.selBold(), std::optional<bool>(true));
    s.setSelection(2, 2);
    QVERIFY(!s.selColor().has_value());
    QVERIFY(!s.selBold().has_value());
    QCOMPARE(s.selItalic(), std::optional<bool>(false)); // all of it is upright
    s.setSelection(0, 6);
    s.setSelItalic(true);
    QCOMPARE(s.selItalic(), std::optional<bool>(true));
    QVERIFY(!s.selColor().has_value());
    // Font name and size: mixed reads nothing, base font reads its name.
    s.setFontName(QStringLiteral("Mono"));
    s.setSelection(0, 2);
    s.setSelFontName(QStringLiteral("Serif"));
    s.setSelection(0, 4);
    QVERIFY(!s.selFontName().has_value());
    s.setSelection(2, 4);
    QCOMPARE(s.selFontName(), std::optional<QString>(QStringLiteral("Mono")));
    s.setSelFontSize(14);
    s.setSelection(1, 3);
    QVERIFY(!s.selFontSize().has_value());
}

void TstSurface::emptySelectionFormatsTypedText()
{
    Surface s;
    s.setText(QStringLiteral("ab"));
    s.setSelStart(2);
    s.setSelColor(255);
    s.setSelUnderline(true);
    s.setSelText(QStringLiteral("cd"));
    QCOMPARE(s.text(), QStringLiteral("abcd"));
    QCOMPARE(s.formatAt(1).color, 0u);
    QCOMPARE(s.formatAt(2).color, 255u);
    QVERIFY(s.formatAt(3).underline);
    // Moving the caret takes the format of the character before it.
    s.setSelStart(1);
    QCOMPARE(s.selColor(), std::optional<BgrColor>(0));
    s.setSelStart(3);
    QCOMPARE(s.selColor(), std::optional<BgrColor>(255));
}

void TstSurface::selTextReplacesAndMovesCaret()
{
    Surface s;
    s.setText(QStringLiteral("hello world"));
    s.setSelection(6, 5);
    s.setSelText(QStringLiteral("there\r\nfriend"));
    QCOMPARE(s.text(), QStringLiteral("hello there\r\nfriend"));
    QCOMPARE(s.selStart(), s.length());
    QCOMPARE(s.selLength(), 0);
    QCOMPARE(s.lineCount(), 2);
    // A negative length is refused; a length past the end is cut.
    s.setSelStart(2);
    s.setSelLength(-1);
    QCOMPARE(s.selLength(), 0);
    s.setSelLength(1000);
    QCOMPARE(s.selLength(), s.length() - 2);
}

void TstSurface::editsNeverSplitLineBreak()
{
    Surface s;
    s.setText(QStringLiteral("ab\r\ncd"));
    s.setSelStart(3); // on the LF
    s.setSelText(QStringLiteral("x"));
    QCOMPARE(s.text(), QStringLiteral("abx\r\ncd"));
    s.setSelection(4, 1); // the LF alone
    s.setSelText(QString());
    QCOMPARE(s.text(), QStringLiteral("abxcd"));
    s.setText(QStringLiteral("ab\r\ncd"));
    s.setSelection(1, 2); // "b" and the CR
    s.setSelText(QString());
    QCOMPARE(s.text(), QStringLiteral("acd"));
    QCOMPARE(s.lineCount(), 1);
}

void TstSurface::lineTableSurvivesRandomEdits()
{
    // Many mixed edits; afterwards every line query must agree with a plain
    // count over the text.
    Surface s;
    auto *rng = QRandomGenerator::global();
    const QStringList pieces{"a", "\r\n", "bc\r\nd", "", "\r\n\r\n", "xyz", "\n", "\r"};
    for (int round = 0; round < 2000; ++round) {
        const int pos = int(rng->bounded(s.length() + 1));
        const int len = int(rng->bounded(std::min(6, s.length() - pos) + 1));
        s.replace(pos, len, pieces[int(rng->bounded(pieces.size()))]);
    }
    const QString &t = s.text();
    QVERIFY(!t.contains(QRegularExpression(QStringLiteral("\r(?!\n)|(?<!\r)\n"))));
    QList<int> starts{0};
    for (int i = 0; i < t.size(); ++i)
        if (t.at(i) == QLatin1Char('\n'))
            starts << i + 1;
    QCOMPARE(s.lineCount(), starts.size());
    for (int line = 0; line < starts.size(); ++line) {
        QCOMPARE(s.lineIndex(line), starts[line]);
        QCOMPARE(s.lineFromChar(starts[line]), line);
    }
}

void TstSurface::viewPositionsRoundTrip()
{
    Surface s;
    s.setText(QStringLiteral("ab\r\n\r\ncd\r\ne"));
    // The view counts one character per line break.
    QCOMPARE(s.toViewPosition(4), 3);
    QCOMPARE(s.toViewPosition(6), 4);
    QCOMPARE(s.toViewPosition(3), 2); // LF shows at the line's end
    for (int p = 0; p <= s.length(); ++p) {
        if (p > 0 && s.text().at(p - 1) == QLatin1Char('\r'))
            continue; // between CR and LF has no view position of its own
        QCOMPARE(s.fromViewPosition(s.toViewPosition(p)), p);
    }
}

void TstSurface::undoRestoresTextAndFormats()
{
    Surface s;
    s.setText(QStringLiteral("keep this"));
    s.setSelection(0, 4);
    s.setSelColor(255);
    s.setSelection(0, 9);
    s.setSelText(QStringLiteral("gone"));
    QCOMPARE(s.text(), QStringLiteral("gone"));
    QVERIFY(s.canUndo());
    s.undo();
    QCOMPARE(s.text(), QStringLiteral("keep this"));
    QCOMPARE(s.formatAt(0).color, 255u);
    QCOMPARE(s.formatAt(5).color, 0u);
    s.redo();
    QCOMPARE(s.text(), QStringLiteral("gone"));
    s.undo();
    // Edits made with recording off cannot be undone.
    const bool was = s.setUndoRecording(false);
    s.setSelStart(0);
    s.setSelText(QStringLiteral(">"));
    s.setUndoRecording(was);
    s.undo(); // undoes nothing further: the stack is empty
    QCOMPARE(s.text(), QStringLiteral(">keep this"));
}

void TstSurface::typedCharactersUndoTogether()
{
    Surface s;
    s.setText(QStringLiteral("x"));
    s.setSelStart(1);
    for (QChar c : QStringLiteral("abc"))
        s.replace(s.selStart(), 0, QString(c), true);
    s.notifyChanged();
    s.replace(s.selStart(), 0, QStringLiteral("\r\n"), true);
    s.replace(s.selStart(), 0, QStringLiteral("d"), true);
    QCOMPARE(s.text(), QStringLiteral("xabc\r\nd"));
    s.undo();
    QCOMPARE(s.text(), QStringLiteral("xabc\r\n"));
    s.undo();
    QCOMPARE(s.text(), QStringLiteral("xabc"));
    s.undo();
    QCOMPARE(s.text(), QStringLiteral("x"));
}

void TstSurface::baseFontAppliesToWholeText()
{
    Surface s;
    s.setText(QStringLiteral("abc"));
    s.setSelection(0, 1);
    s.setSelFontName(QStringLiteral("Serif"));
    s.setSelFontSize(20);
    s.setFontName(QStringLiteral("Mono"));
    s.setFontSize(12);
    s.setSelection(0, 3);
    QCOMPARE(s.selFontName(), std::optional<QString>(QStringLiteral("Mono")));
    QCOMPARE(s.selFontSize(), std::optional<double>(12));
}

void TstSurface::clipboardKeepsFormatting()
{
    Surface a;
    a.setText(QStringLiteral("red\r\nplain"));
    a.setSelection(0, 3);
    a.setSelColor(255);
    a.setSelBold(true);
    a.setSelection(0, 7);
    QVERIFY(a.copy());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("red\npl"));

    Surface b;
    b.setText(QStringLiteral("[]"));
    b.setSelStart(1);
    QVERIFY(b.paste());
    QCOMPARE(b.text(), QStringLiteral("[red\r\npl]"));
    QCOMPARE(b.formatAt(1).color, 255u);
    QVERIFY(b.formatAt(3).bold);
    QCOMPARE(b.formatAt(6).color, 0u);
    QCOMPARE(b.selStart(), 8);

    // Cut and copy need a selection.
    b.setSelStart(0);
    QVERIFY(!b.cut());
    QVERIFY(!b.copyPlain());
    b.setSelection(1, 3);
    QVERIFY(b.cut());
    QCOMPARE(b.text(), QStringLiteral("[\r\npl]"));
}

void TstSurface::plainPasteTakesFormatAtCaret()
{
    Surface a;
    a.setText(QStringLiteral("blue"));
    a.setSelection(0, 4);
    a.setSelColor(16711680);
    QVERIFY(a.copyPlain());
    QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasFormat(
        QStringLiteral("application/x-quillon-formatted")));

    Surface b;
    b.setText(QStringLiteral("xy"));
    b.setSelection(0, 1);
    b.setSelColor(255);
    b.setSelStart(1);
    QVERIFY(b.pastePlain());
    QCOMPARE(b.text(), QStringLiteral("xbluey"));
    QCOMPARE(b.formatAt(1).color, 255u); // the format at the caret
    QCOMPARE(b.formatAt(5).color, 0u);
}

void TstSurface::changeSignalsSeeCaretAfterEdit()
{
    Surface s;
    s.setText(QStringLiteral("ab"));
    s.setSelStart(1);
    int changes = 0, caretSeen = -1;
    connect(&s, &Surface::changed, this, [&] {
        ++changes;
        caretSeen = s.selStart();
    });
    s.setSelText(QStringLiteral("xyz"));
    QCOMPARE(changes, 1);
    QCOMPARE(caretSeen, 4);
    // Edits from a view report when the view says its step is over.
    s.replace(0, 0, QStringLiteral("q"), true);
    QCOMPARE(changes, 1);
    s.notifyChanged();
    QCOMPARE(changes, 2);
    s.notifyChanged();
    QCOMPARE(changes, 2);
}

QTEST_MAIN(TstSurface)
#include "tst_surface.moc"
