// Indentation that follows the keys, through the real main window: keys go
// into its text, and the text, caret and selection come out. Enter keeps
// the indentation (a unit more after an opening brace), a closing brace
// lines up with its opening one, Home goes to the first non-blank, Tab and
// Shift+Tab shift whole lines, and the templates sit at the caret's
// indentation; each of these is one undo step, and Shift+Tab never takes
// the focus away from the text.
#include "base/editorstate.h"
#include "support/datarow.h"
#include "support/windowtest.h"
#include "surface/ui/surfaceview.h"

#include <QCheckBox>
#include <QVBoxLayout>

using namespace qln;
using qln::test::readFile;
using qln::test::writeFile;

namespace {

// A document as the rows write it: "\n" for a line break (CR LF in the
// document), "^" for the caret, "[" and "]" around a selection.
struct Marked {
    QString text;
    int start = 0;
    int length = 0;
};

Marked parse(QString written)
{
    written.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    Marked m;
    const qsizetype caret = written.indexOf(QLatin1Char('^'));
    if (caret >= 0) {
        m.start = int(caret);
        written.remove(caret, 1);
    } else {
        m.start = int(written.indexOf(QLatin1Char('[')));
        written.remove(m.start, 1);
        const qsizetype end = written.indexOf(QLatin1Char(']'));
        m.length = int(end) - m.start;
        written.remove(end, 1);
    }
    m.text = written;
    return m;
}

QString shown(const Surface &s)
{
    QString text = s.text();
    const int start = s.selStart(), end = start + s.selLength();
    if (start == end) {
        text.insert(start, QLatin1Char('^'));
    } else {
        text.insert(end, QLatin1Char(']'));
        text.insert(start, QLatin1Char('['));
    }
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString plain(const Surface &s)
{
    return s.text().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// The unit as the preferences dialog sets it: "tab", or a number of blanks.
void setUnit(const QString &unit)
{
    const bool tabs = unit == QLatin1String("tab");
    setPref("opta1", tabs ? QStringLiteral("True") : QStringLiteral("False"));
    setPref("opta2", tabs ? QStringLiteral("False") : QStringLiteral("True"));
    setPref("txtaindnum", tabs ? QStringLiteral("1") : unit);
}

// Keys as the rows write them: "<Name>" for a key, any other character typed.
void press(QWidget *view, const QString &keys)
{
    struct Named {
        const char *name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    static const Named named[] = {
        {"<Enter>", Qt::Key_Return, Qt::NoModifier},       {"<Tab>", Qt::Key_Tab, Qt::NoModifier},
        {"<BackTab>", Qt::Key_Backtab, Qt::ShiftModifier}, {"<Home>", Qt::Key_Home, Qt::NoModifier},
        {"<ShiftHome>", Qt::Key_Home, Qt::ShiftModifier},  {"<End>", Qt::Key_End, Qt::NoModifier},
        {"<Undo>", Qt::Key_Z, Qt::ControlModifier},        {"<F1>", Qt::Key_F1, Qt::ShiftModifier},
        {"<F3>", Qt::Key_F3, Qt::ShiftModifier},           {"<F5>", Qt::Key_F5, Qt::ShiftModifier},
    };
    for (qsizetype i = 0; i < keys.size();) {
        bool found = false;
        for (const Named &n : named) {
            const QLatin1String name(n.name);
            if (QStringView(keys).mid(i).startsWith(name)) {
                QTest::keyClick(view, n.key, n.modifiers);
                i += name.size();
                found = true;
                break;
            }
        }
        if (!found)
            QTest::keyClicks(view, keys.mid(i++, 1));
    }
}

} // namespace

class TstIndentKeys : public QObject, public test::WindowTest {
    Q_OBJECT
private slots:
    void init() { initWindowTest(); }
    void cleanup() { cleanupWindowTest(); }

    void keys_data()
    {
        QTest::addColumn<QString>("unit");     // "tab" or a number of blanks
        QTest::addColumn<bool>("keep");        // "Keep indentation"
        QTest::addColumn<QString>("document"); // as parse() reads it
        QTest::addColumn<QString>("keys");     // as press() reads them
        QTest::addColumn<QString>("expected"); // as shown() writes it
        QTest::addColumn<QString>("undone");   // the text after one Ctrl+Z more

        struct Row {
            const char *name, *unit;
            bool keep;
            const char *document, *keys, *expected, *undone;
        };
        static const Row rows[] = {
            // Enter.
            {"Enter keeps the blanks", "4", true, "        int alpha = 1;^", "<Enter>",
             "        int alpha = 1;\n        ^", "        int alpha = 1;"},
            {"Enter keeps tabs where the unit is blanks", "4", true, "\t\tx();^", "<Enter>",
             "\t\tx();\n\t\t^", "\t\tx();"},
            {"Enter after a brace adds a tab", "tab", true, "\tif (a) {^", "<Enter>",
             "\tif (a) {\n\t\t^", "\tif (a) {"},
            {"Enter after a brace adds blanks", "4", true, "    if (a) {^", "<Enter>",
             "    if (a) {\n        ^", "    if (a) {"},
            {"Enter after a brace on a line of its own", "2", true, "  {^", "<Enter>", "  {\n    ^",
             "  {"},
            {"a line comment after the brace", "4", true, "    void f() { // starts^", "<Enter>",
             "    void f() { // starts\n        ^", "    void f() { // starts"},
            {"a block comment and blanks after the brace", "4", true, "void f() { /* } */  ^",
             "<Enter>", "void f() { /* } */  \n    ^", "void f() { /* } */  "},
            {"a brace in a string is no code", "4", true, "    s = \"{\";^", "<Enter>",
             "    s = \"{\";\n    ^", "    s = \"{\";"},
            {"a brace in a character literal is no code", "4", true, "    c = '{';^", "<Enter>",
             "    c = '{';\n    ^", "    c = '{';"},
            {"a brace in a line comment is no code", "4", true, "    x(); // {^", "<Enter>",
             "    x(); // {\n    ^", "    x(); // {"},
            {"a brace inside a block comment is no code", "4", true, "/**\n * a {^", "<Enter>",
             "/**\n * a {\n ^", "/**\n * a {"},
            {"Enter in mid-line takes the blanks after the caret away", "4", true,
             "    foo();^  bar();", "<Enter>", "    foo();\n    ^bar();", "    foo();  bar();"},
            {"Enter replaces a selection", "4", true, "    int [x] = 1;", "<Enter>",
             "    int \n    ^= 1;", "    int x = 1;"},
            {"Enter in the leading blanks", "4", true, "  ^  x();", "<Enter>", "  \n  ^x();",
             "    x();"},
            {"Enter with the switch off is plain", "4", false, "        int alpha = 1;^", "<Enter>",
             "        int alpha = 1;\n^", "        int alpha = 1;"},
            {"Enter keeps the indentation of a CR LF document's middle line", "4", true,
             "class A {\n    int a;^\n}\n", "<Enter>", "class A {\n    int a;\n    ^\n}\n",
             "class A {\n    int a;\n}\n"},

            // Closing braces.
            {"nested braces typed out", "4", true, "^",
             "class A {<Enter>void f() {<Enter>x();<Enter>}<Enter>}",
             "class A {\n    void f() {\n        x();\n    }\n}^",
             "class A {\n    void f() {\n        x();\n    }\n    "},
            {"a closing brace typed in tabs", "tab", true, "\tif (a) {\n\t\tx();\n\t\t^", "}",
             "\tif (a) {\n\t\tx();\n\t}^", "\tif (a) {\n\t\tx();\n\t\t"},
            {"braces in strings and comments are passed over", "4", true,
             "    if (a) { // {\n        s = \"}\"; /* { */\n        ^", "}",
             "    if (a) { // {\n        s = \"}\"; /* { */\n    }^",
             "    if (a) { // {\n        s = \"}\"; /* { */\n        "},
            {"a closing brace already in place is typed as usual", "4", true,
             "    if (a) {\n        x();\n    ^", "}", "    if (a) {\n        x();\n    }^",
             "    if (a) {\n        x();\n    "},
            {"a closing brace after code stays where it is typed", "4", true,
             "    if (a) {\n        x(); ^", "}", "    if (a) {\n        x(); }^",
             "    if (a) {\n        x(); "},
            {"a closing brace with the switch off", "4", false, "    if (a) {\n        ^", "}",
             "    if (a) {\n        }^", "    if (a) {\n        "},

            // Home.
            {"Home goes to the first non-blank, then to the start", "4", true, "    foo();^",
             "<Home>x<Home><Home>y", "y^    xfoo();", "    xfoo();"},
            {"Home from the start goes to the first non-blank", "4", true, "^  foo();", "<Home>x",
             "  x^foo();", "  foo();"},
            {"Shift+Home selects to the first non-blank", "4", true, "\t  foo();^", "<ShiftHome>",
             "\t  [foo();]", "\t  foo();"},

            // Tab and Shift+Tab.
            {"Tab indents every line of the selection", "4", true, "class A {\n[int a;\nint b;]\n}",
             "<Tab>", "class A {\n[    int a;\n    int b;]\n}", "class A {\nint a;\nint b;\n}"},
            {"Tab leaves a line the selection only reaches", "tab", true, "[a();\nb();\n]c();",
             "<Tab>", "[\ta();\n\tb();]\nc();", "a();\nb();\nc();"},
            {"Tab takes in partly selected lines and blank ones", "2", true, "x([);\n\ny]();",
             "<Tab>", "[  x();\n  \n  y();]", "x();\n\ny();"},
            {"Tab within one line types a tab", "4", true, "a[bc]d", "<Tab>", "a\t^d", "abcd"},
            {"Shift+Tab takes a unit or the blanks there are", "4", true,
             "[        a();\n  b();\n\tc();\nd();]", "<BackTab>", "[    a();\nb();\nc();\nd();]",
             "        a();\n  b();\n\tc();\nd();"},
            {"Shift+Tab with a tab unit", "tab", true, "[\t\ta();\n    b();]", "<BackTab>",
             "[\ta();\nb();]", "\t\ta();\n    b();"},
            {"Shift+Tab without a selection", "4", true, "        a(^);", "<BackTab>", "    a(^);",
             "        a();"},
            {"Shift+Tab with the caret in the blanks that go", "4", true, "  ^      a();",
             "<BackTab>", "^    a();", "        a();"},
            {"Tab then Shift+Tab gives the lines back", "4", true, "[a\n  b]", "<Tab><BackTab>",
             "[a\n  b]", "    a\n      b"},

            // Templates.
            {"the if template at the caret's indentation", "4", true, "    ^", "<F1>",
             "\n    if ( [<>=] ) { }\n", "    "},
            {"the switch template in tabs", "tab", true, "\tx();\n\t^", "<F3>",
             "\tx();\n\n\tswitch ( )\n\t{\n\n\tcase :\n\n\t  break;\n\tcase :\n\n\t  "
             "break;\n\tcase :\n\n\t}\n^",
             "\tx();\n\t"},
            {"the while template after code", "4", true, "    foo();^", "<F5>",
             "    foo();\n    while ( [<>=] )\n    {\n\n    }\n", "    foo();"},
            {"the while template in the middle of a line", "2", true, "  a();^b();", "<F5>",
             "  a();\n  while ( [<>=] )\n  {\n\n  }\n  b();", "  a();b();"},
            {"a template with the switch off", "4", false, "    ^", "<F1>",
             "    \nif ( <>= ) { }\n^", "    "},
        };
        for (const Row &r : rows)
            row(r.name, QString::fromUtf8(r.unit), r.keep, QString::fromUtf8(r.document),
                QString::fromUtf8(r.keys), QString::fromUtf8(r.expected),
                QString::fromUtf8(r.undone));
    }
    void keys()
    {
        QFETCH(QString, unit);
        QFETCH(bool, keep);
        QFETCH(QString, document);
        QFETCH(QString, keys);
        QFETCH(QString, expected);
        QFETCH(QString, undone);
        auto w = start(unit, keep);
        QVERIFY(w);
        const Marked m = parse(document);
        w->surface()->setText(m.text);
        w->surface()->setSelection(m.start, m.length);
        w->rtfedit()->flush();

        press(w->rtfedit(), keys);
        w->rtfedit()->flush();
        QCOMPARE(shown(*w->surface()), expected);
        press(w->rtfedit(), QStringLiteral("<Undo>"));
        QCOMPARE(plain(*w->surface()), undone);
        finish(*w);
    }
    void homeAndEndOnWrappedRows()
    {
        auto w = start(QStringLiteral("4"), true);
        QVERIFY(w);
        w->resize(800, 600);
        Surface &s = *w->surface();
        // Words that wrap over several rows at about 150 pixels.
        QString words;
        for (int i = 0; i < 12; ++i)
            words += QStringLiteral("word%1 ").arg(i, 2, 10, QLatin1Char('0'));
        s.setText(QStringLiteral("    ") + words.trimmed() + QStringLiteral("\r\nnext"));
        s.setRightMargin(2250);
        QApplication::processEvents();
        SurfaceView *view = w->rtfedit();
        const int lineEnd = s.lineLength(0);
        const int middle = 4 + 7 * 6 + 2; // within "word06"
        s.setSelStart(middle);
        view->flush();
        const int rowTop = view->caretRect().top();
        QVERIFY(rowTop > view->caretRect(0).top()); // the caret is below the first row

        // End goes to its row's end, then the line's.
        press(view, QStringLiteral("<End>"));
        const int rowEnd = s.selStart();
        QVERIFY2(rowEnd > middle && rowEnd < lineEnd, qPrintable(QString::number(rowEnd)));
        QCOMPARE(view->caretRect().top(), rowTop);
        press(view, QStringLiteral("<End>"));
        QCOMPARE(s.selStart(), lineEnd);

        // Home from there goes to the last row's start, then the first
        // non-blank, then the line's start.
        s.setSelStart(middle);
        view->flush();
        press(view, QStringLiteral("<Home>"));
        const int rowStart = s.selStart();
        QVERIFY2(rowStart > 4 && rowStart <= middle, qPrintable(QString::number(rowStart)));
        QCOMPARE(view->caretRect().top(), rowTop);
        QVERIFY(s.at(rowStart - 1) == QLatin1Char(' ')); // a word's start
        press(view, QStringLiteral("<Home>"));
        QCOMPARE(s.selStart(), 4);
        press(view, QStringLiteral("<Home>"));
        QCOMPARE(s.selStart(), 0);
        finish(*w);
    }
    void shiftTabNeverMovesTheFocus()
    {
        auto w = start(QStringLiteral("4"), true);
        QVERIFY(w);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        SurfaceView *view = w->rtfedit();
        view->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), view);
        w->surface()->setText(QStringLiteral("    a"));
        w->surface()->setSelStart(5);
        view->flush();
        // The focus stays, so the next Space is typed rather than switching
        // colouring off; with nothing left to unindent as well.
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(view, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), view);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(shown(*w->surface()), QStringLiteral("a ^"));
        QVERIFY(w->chkautosyntaxcolor()->isChecked());
        finish(*w);

        // A view on its own, whose Tab types, keeps Shift+Tab too.
        Surface surface; // outlives the view the holder owns
        QWidget holder;
        auto *layout = new QVBoxLayout(&holder);
        auto *alone = new SurfaceView(&surface, &holder);
        auto *box = new QCheckBox(QStringLiteral("next"), &holder);
        layout->addWidget(alone);
        layout->addWidget(box);
        holder.show();
        holder.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&holder));
        alone->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), alone);
        QTest::keyClick(alone, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), alone);
    }
    void documentsKeepTheirLineBreaks_data()
    {
        QTest::addColumn<QByteArray>("breakBytes");
        row("CR LF", QByteArray("\r\n"));
        row("LF", QByteArray("\n"));
    }
    void documentsKeepTheirLineBreaks()
    {
        QFETCH(QByteArray, breakBytes);
        const QByteArray lines[] = {"class A {", "    void f() {", "    }", "}", ""};
        const QString file = path(QStringLiteral("A.java"));
        writeFile(file, QList<QByteArray>(std::begin(lines), std::end(lines)).join(breakBytes));
        setUnit(QStringLiteral("4"));
        auto w = open(file);
        Surface &s = *w->surface();
        s.setSelStart(s.lineIndex(1) + s.lineLength(1));
        press(w->rtfedit(), QStringLiteral("<Enter>x();"));
        w->menuItem(QStringLiteral("Save"))->trigger();
        const QByteArray want[] = {"class A {", "    void f() {", "        x();", "    }", "}", ""};
        QCOMPARE(readFile(file),
                 QList<QByteArray>(std::begin(want), std::end(want)).join(breakBytes));
        w->close();
    }

private:
    // A shown main window with the text focused, on the preferences given.
    std::unique_ptr<frmedit> start(const QString &unit, bool keep)
    {
        setUnit(unit);
        setPref("keepindent", keep ? QStringLiteral("1") : QStringLiteral("0"));
        auto w = open();
        if (!QTest::qWaitForWindowExposed(w.get()))
            return nullptr;
        w->rtfedit()->setFocus();
        return w;
    }
    static void finish(frmedit &w)
    {
        w.surface()->setClean();
        w.close();
    }
};

QTEST_MAIN(TstIndentKeys)
#include "tst_indentkeys.moc"
