// The auto-indenter: Java constructs as Java is written, the indentation
// Enter gives a new line, input made to be hard, the whole-document run
// against line-by-line indenting (and run twice) on generated and real
// Java, and the "Auto&Indent all" command's prompts and window handling.
#include "fakehost.h"
#include "javasource.h"
#include "support/datarow.h"
#include "support/requirekit.h"

#include "base/editorstate.h"
#include "formatting/indenter.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

using namespace qln;
using namespace qln::test;

namespace {

const QString kTab = QStringLiteral("\t");
const QString kFour = QStringLiteral("    ");

QString lines(const QStringList &l)
{
    return l.join(QStringLiteral("\r\n"));
}

// The lines of a construct as written, each indented line given some
// other indentation (none, a blank, a tab, six blanks) to be re-indented.
QStringList scrambled(const QStringList &expected)
{
    static const char *const other[] = {"", " ", "\t", "      "};
    QStringList out;
    for (int i = 0; i < expected.size(); ++i) {
        const QString &l = expected.at(i);
        int b = 0;
        while (b < l.size() && (l.at(b) == QLatin1Char(' ') || l.at(b) == QLatin1Char('\t')))
            ++b;
        out << (b == 0 ? l : QString::fromLatin1(other[i % 4]) + l.mid(b));
    }
    return out;
}

QString reindented(const QString &text, const QString &unit, int *changed = nullptr)
{
    Surface s;
    s.setText(text);
    const int n = IndentAllLines(s, IndentSyntax::java(unit));
    if (changed)
        *changed = n;
    return s.text();
}

// Runs a text through the whole-document run, the plan, and IndentLine
// line after line, and checks they agree, that a second run changes
// nothing, that only indentation changed and that one undo gives it back.
void checkRun(const QString &text, const IndentSyntax &syntax)
{
    Surface whole, byLine;
    whole.setText(text);
    byLine.setText(text);
    const QString before = whole.text();
    const IndentPlan plan = PlanIndentAll(before, syntax);
    IndentAllLines(whole, syntax);
    QCOMPARE(plan.length, qint64(whole.length()));
    LineIndenter indenter(syntax);
    for (int previous = -1, next;
         (next = byLine.indexOf(QStringLiteral("\n"), previous + 1)) != -1;) {
        int start = previous + 1;
        previous = IndentLine(start, next, byLine, indenter);
    }
    QCOMPARE(byLine.text(), whole.text());
    QCOMPARE(whole.lineCount(), Surface(/*empty*/).lineCount() + int(before.count('\n')));
    auto content = [](const QString &t) {
        QStringList out;
        for (const QString &l : t.split(QLatin1Char('\n')))
            out << QString(l).remove(QRegularExpression(QStringLiteral("^[ \\t]+")));
        return out;
    };
    QCOMPARE(content(whole.text()), content(before));
    Surface again;
    again.setText(whole.text());
    QCOMPARE(IndentAllLines(again, syntax), 0);
    whole.undo();
    QCOMPARE(whole.text(), before);
}

QString randomSource(QRandomGenerator &rng, int lineCount)
{
    const QStringList parts{"{",
                            "}",
                            "(",
                            ")",
                            "[",
                            "]",
                            " ",
                            "\t",
                            "x",
                            "if (a)",
                            "else",
                            "for (;;)",
                            ";",
                            "+",
                            ".f()",
                            "case 1:",
                            "switch (k) {",
                            "\"s{\"",
                            "'}'",
                            "// {",
                            "/*",
                            "*/",
                            "*",
                            "\"\"\"",
                            "\\",
                            "do",
                            "->",
                            "= ",
                            "new X() {",
                            "throws E",
                            "default ->",
                            "@A"};
    QStringList out;
    for (int i = 0; i < lineCount; ++i) {
        QString line;
        for (int k = rng.bounded(7); k > 0; --k)
            line += parts[rng.bounded(int(parts.size()))];
        out << line;
    }
    return lines(out) + (rng.bounded(2) ? QStringLiteral("\r\n") : QString());
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

} // namespace

class TestIndenter : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { editorState() = EditorState{}; }

    // Each construct as Java is written (4-blank unit unless said): its
    // lines with their indentation mixed up come back as written. Where
    // the input is given, it is re-indented instead.
    void constructs_data()
    {
        columns<QString, QString, QString>("unit", "input", "expected");
        struct Case {
            const char *name;
            QStringList expected;
            QStringList input = {}; // empty: the expected lines, scrambled
            QString unit = QStringLiteral("    ");
        };
        const Case cases[] = {
            {"blocks",
             {"class A {", "    int x;", "    void f(int a) {", "        x = a;", "    }", "}"}},
            {"closing lines that open again",
             {"void f() {", "    if (a) {", "        x();", "    } else if (b) {", "        y();",
              "    } else {", "        z();", "    }", "    try {", "        x();",
              "    } catch (IOException e) {", "        y();", "    } finally {", "        z();",
              "    }", "    do {", "        x();", "    } while (a);", "}"}},
            {"switch labels",
             {"switch (k) {", "    case 1:", "    case 2:", "        x();", "        break;",
              "    case 3: {", "        y();", "        break;", "    }",
              "    default:", "        z();", "}"}},
            {"switch rules and expressions",
             {"int v = switch (k) {", "    case 1 -> 10;", "    case 2 -> {", "        yield 20;",
              "    }", "    default -> 0;", "};"}},
            {"bodies without braces",
             {"if (a)", "    x();", "else if (b)", "    y();", "else", "    z();",
              "for (int i = 0; i < n; i++)", "    if (i > 0)", "        w(i);", "    else",
              "        v(i);", "while (a)", "    a = f(a);", "done();"}},
            {"parentheses",
             {"int r = compute(first,", "                second(x,", "                       y),",
              "                third);", "call(", "    a,", "    b", ");"}},
            {"continued statements",
             {"String s = \"a\" +", "    \"b\";", "boolean ok = first", "    && second",
              "    || third;", "list.stream()", "    .map(f)", "    .count();", "next();"}},
            {"declarations continued",
             {"public class A extends B", "    implements C {", "    void f()",
              "        throws E {", "        x();", "    }", "}"}},
            {"comments and literals hold no structure",
             {"/**", " * Doc { with a brace.", " */", "class A {", "    /*", "     * Block (.",
              "     */", "    int x; // trailing { brace", "    /* a { */ int y;",
              "// in the first column", "    String s = \"} not a brace {\";",
              "    char c = '{', d = '\\'', e = '\\\\';", "    String p = \"C:\\\\\";", "}"}},
            {"comment lines move with the comment",
             {"class A {", "    /*", "      two", "    */", "}"},
             {"class A {", "        /*", "          two", "        */", "}"}},
            {"text blocks keep their lines",
             {"class A {", "    String s = \"\"\"", "      keep { this", "  as it is // here",
              "      \"\"\";", "    int y;", "}"},
             {"class A {", "String s = \"\"\"", "      keep { this", "  as it is // here",
              "      \"\"\";", "int y;", "}"}},
            {"blank lines are left empty",
             {"class A {", "", "", "    int x;", "}"},
             {"class A {", "   ", "\t", "int x;", "}"}},
            {"lambdas, anonymous classes, arrays, annotations",
             {"@Override", "public void run() {", "    executor.submit(() -> {", "        work();",
              "    });", "    Runnable r = new Runnable() {", "        public void run() {",
              "        }", "    };", "    int[] a = {", "        1, 2,", "        3,", "    };",
              "}"}},
            {"enums and labels",
             {"enum E {", "    A,", "    B;", "    void f() {", "        outer:",
              "        for (;;) {", "            break outer;", "        }", "    }", "}"}},
            {"tab unit",
             {"class A {", "\tvoid f(int a,", "\t       int b) {", "\t\tx();", "\t}", "}"},
             {},
             QStringLiteral("\t")},
        };
        for (const Case &c : cases) {
            const QStringList input = c.input.isEmpty() ? scrambled(c.expected) : c.input;
            row(c.name, c.unit, lines(input) + QStringLiteral("\r\n"),
                lines(c.expected) + QStringLiteral("\r\n"));
        }
        // A last line without a line break stays as it is.
        row("last line unbroken", kFour, lines({"class A {", "int x;", "  }"}),
            lines({"class A {", "    int x;", "  }"}));
    }
    void constructs()
    {
        QFETCH(QString, unit);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        int changed = 0;
        QCOMPARE(reindented(input, unit, &changed), expected);
        QVERIFY(changed > 0);
        QCOMPARE(reindented(expected, unit, &changed), expected);
        QCOMPARE(changed, 0);
    }

    // Enter at "^" with a 2-blank unit: the indentation the new line gets.
    void newLineIndent_data()
    {
        columns<QString, QString>("text", "expected");
        const struct {
            const char *name, *text, *expected;
        } rows[] = {
            {"after an opening brace", "class A {^", "  "},
            {"before a closing brace", "class A {\r\n  void f() {^}", "  "},
            {"after a header", "class A {\r\n  void f() {\r\n    if (a)^", "      "},
            {"after its one statement", "class A {\r\n  void f() {\r\n    if (a)\r\n      x();^",
             "    "},
            {"in parentheses", "  foo(a,^", "      "},
            {"in the middle of a line", "  foo(a, ^b);", "      "},
            {"after an opening parenthesis", "  foo(^", "    "},
            {"after an operator", "  int x = a +^", "    "},
            {"after a case label", "  switch (k) {\r\n    case 1:^", "      "},
            {"after a javadoc's start", "  /**^", "   "},
            {"in a javadoc", "  /**\r\n   * Text^", "   "},
            {"in a comment's free text", "  /*\r\n     free text^", "     "},
            {"in a text block", "  s = \"\"\"\r\n      text^", "      "},
            {"after a statement", "class A {\r\n  s = \"a {\"; // (^", "  "},
            {"empty text", "^", ""},
        };
        for (const auto &r : rows)
            row(r.name, QString::fromUtf8(r.text), QString::fromUtf8(r.expected));
    }
    void newLineIndent()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const int at = int(text.indexOf(QLatin1Char('^')));
        Surface s;
        s.setText(QString(text).remove(at, 1) + QStringLiteral("\r\nnext();"));
        QCOMPARE(NewLineIndent(s, at, IndentSyntax::java(QStringLiteral("  "))), expected);
    }

    // Input made to be hard: it is indented (or refused) quickly, and
    // what follows an unclosed construct is read as part of it.
    void hardInput()
    {
        // An unterminated text block: every line after it is its text.
        QCOMPARE(
            reindented(lines({"class A {", "String s = \"\"\"", "  x {", "int y;", ""}), kFour),
            lines({"class A {", "    String s = \"\"\"", "  x {", "int y;", ""}));
        // Text block quotes in comments open nothing.
        QCOMPARE(reindented(lines({"class A {", " // \"\"\"", "/* \"\"\" */", "int y;", "}", ""}),
                            kFour),
                 lines({"class A {", "    // \"\"\"", "    /* \"\"\" */", "    int y;", "}", ""}));
        // A colon that starts a line after a lone word is no statement label
        // (the word is on the line before): the line continues the statement.
        QCOMPARE(reindented(lines({"class A {", "y", ": x;", "}", ""}), kFour),
                 lines({"class A {", "    y", "        : x;", "}", ""}));
        // A file of closing braces only.
        QCOMPARE(reindented(QStringLiteral("  }\r\n}\r\n\t}\r\n"), kFour),
                 QStringLiteral("}\r\n}\r\n}\r\n"));

        // 10,000 nested parentheses on one line: what follows lines up
        // after the last one.
        const QString deep =
            QStringLiteral("f") + QString(10000, QLatin1Char('(')) + QStringLiteral("a,");
        const QString out =
            reindented(lines({deep, "b", QString(10000, QLatin1Char(')')) + ";", ""}), kFour);
        QCOMPARE(out.section(QStringLiteral("\r\n"), 1, 1), QString(10001, QLatin1Char(' ')) + 'b');
        // Each on a line of its own: too deep to indent, refused unchanged.
        Surface s;
        const QString nested = QString(QStringLiteral("(\r\n")).repeated(10000);
        s.setText(nested);
        bool tooLarge = false;
        IndentAllLines(s, IndentSyntax::java(kFour), nullptr, &tooLarge);
        QVERIFY(tooLarge);
        QCOMPARE(s.text(), nested);
        QVERIFY(!s.canUndo());
    }

    // A result past 64 MB is refused before anything changes, by the routine
    // and by the command, which says why.
    void refusesTooLargeResult_data()
    {
        columns<QString, QString>("text", "unit");
        QTest::addColumn<qint64>("length"); // -1: too large
        const QString braces20000 = QString(QStringLiteral("{\r\n")).repeated(20000);
        row("20,000 nested braces", braces20000, kTab, qint64(-1));
        row("400 braces, wide unit", QString(QStringLiteral("{\r\n")).repeated(400),
            QString(1000, QLatin1Char(' ')), qint64(-1));
        row("400 braces, tab", QString(QStringLiteral("{\r\n")).repeated(400), kTab,
            qint64(400 * 3 + 399 * 400 / 2));
        row("blanks go", QStringLiteral("  x\r\n\ty"), kTab, qint64(5));
    }
    void refusesTooLargeResult()
    {
        QFETCH(QString, text);
        QFETCH(QString, unit);
        QFETCH(qint64, length);
        QCOMPARE(IndentedLength(text, IndentSyntax::java(unit)), length);
        Surface s;
        s.setText(text);
        bool tooLarge = true;
        IndentAllLines(s, IndentSyntax::java(unit), nullptr, &tooLarge);
        QCOMPARE(tooLarge, length < 0);
        QCOMPARE(qint64(s.length()), length < 0 ? qint64(text.size()) : length);
        QCOMPARE(s.canUndo(), length >= 0);

        // The command says so and leaves the window as it was (a long
        // document asks about the time first, as command() shows).
        if (text.size() > 10000)
            return;
        FakeHost host;
        host.prefs.indentstring = unit;
        host.prefs.blockBeginning = QStringLiteral("{");
        host.prefs.blockEnding = QStringLiteral("}");
        host.m_surface.setText(text);
        const QString caption = host.caption();
        if (length < 0)
            host.prompts.answer(MsgAnswer::Ok);
        indentallrtf(host);
        QCOMPARE(host.prompts.messages(),
                 length < 0 ? QStringList{indentTooLargeMessage()} : QStringList{});
        QCOMPARE(qint64(host.m_surface.length()), length < 0 ? qint64(text.size()) : length);
        if (length < 0) {
            QCOMPARE(host.m_surface.text(), text);
            QCOMPARE(host.caption(), caption);
            QVERIFY(!host.m_surface.canUndo());
            QVERIFY(!host.log.contains(QStringLiteral("status Please wait")));
            QVERIFY(!host.busy && host.windowEnabled);
        }
    }

    // Whole document, plan and line by line agree; a second run changes
    // nothing; only indentation changes; one undo step gives the text back.
    void wholeRunAgreesAndIsStable()
    {
        QRandomGenerator rng(20240611);
        for (int round = 0; round < 150 && !QTest::currentTestFailed(); ++round) {
            IndentSyntax syntax = IndentSyntax::java(round % 3 == 0 ? QStringLiteral("  ") : kTab);
            if (round % 5 == 4) {
                syntax.blockBegin = QStringLiteral("begin");
                syntax.blockEnd = QStringLiteral("END");
            }
            checkRun(randomSource(rng, 1 + rng.bounded(40)), syntax);
            if (QTest::currentTestFailed())
                qWarning("round %d", round);
        }
        const QString src = kitJavaSource(300000);
        QLN_REQUIRE_KIT(!src.isEmpty(), "a Java kit with lib/src.zip");
        checkRun(src, IndentSyntax::java(kTab));
        checkRun(src, IndentSyntax::java(kFour));
    }

    void command()
    {
        FakeHost host;
        host.prefs.indentstring = kTab;
        host.prefs.blockBeginning = QStringLiteral("{");
        host.prefs.blockEnding = QStringLiteral("}");
        host.m_surface.setText(lines({"{", "x;", "}", ""}));
        host.m_surface.setSelStart(5);
        bool hiddenDuringRun = false, flagsDuringRun = false;
        QString captionDuringRun;
        connect(&host.m_surface, &Surface::changed, this, [&] {
            hiddenDuringRun = !host.surfacePainted;
            flagsDuringRun = editorState().suppressChange && editorState().suppressSelChange;
            captionDuringRun = host.caption();
        });
        indentallrtf(host);
        // No notice: an unmodified document is indented without a question.
        QCOMPARE(host.prompts.asked().size(), size_t(0));
        QCOMPARE(host.m_surface.text(), lines({"{", "\tx;", "}", ""}));
        QVERIFY(hiddenDuringRun && flagsDuringRun);
        QCOMPARE(captionDuringRun, QStringLiteral("Autoindenting"));
        QCOMPARE(host.caption(), QStringLiteral("Document [A.java] - Quillon*"));
        QCOMPARE(host.m_surface.selStart(), 0);
        QVERIFY(!editorState().suppressChange && !editorState().suppressSelChange);
        QVERIFY(!host.bar.isVisible() && host.windowEnabled && !host.busy && host.surfacePainted);
        // The hourglass is on from when the lines are worked out, before the
        // run shows, until after it.
        QCOMPARE(host.log.mid(0, 2),
                 (QStringList{QStringLiteral("busy"), QStringLiteral("status Please wait")}));
        QCOMPARE(host.log.mid(host.log.size() - 2),
                 (QStringList{QStringLiteral("status Done"), QStringLiteral("idle")}));
        QVERIFY(host.log.contains(QStringLiteral("disabled"))
                && host.log.contains(QStringLiteral("focus")));
        // Progress: 4 lines, the three with a break reach 25, 50 and 75.
        QCOMPARE(host.bar.given, (std::vector<int>{25, 50, 75}));
        // One undo step gives the text back.
        host.m_surface.undo();
        QCOMPARE(host.m_surface.text(), lines({"{", "x;", "}", ""}));
        host.m_surface.redo();

        // Now modified: Cancel at the save question changes nothing.
        host.log.clear();
        host.prompts.clear();
        host.prompts.answer(MsgAnswer::Cancel);
        indentallrtf(host);
        QCOMPARE(
            box(host.prompts.asked()[0].message),
            box({QStringLiteral("Would you like to save the file?"),
                 QStringLiteral("Save file first?"), MsgIcon::Question, MsgButtons::YesNoCancel}));
        QVERIFY(host.log.isEmpty());

        // Yes saves and goes on; a 60000-character document asks about the
        // time, and No stops.
        host.prompts.clear();
        QString big = lines({"{", "x;", "}", ""});
        big += QString(60000 - big.size(), QLatin1Char('a'));
        host.m_surface.setText(big);
        for (MsgAnswer a : {MsgAnswer::Yes, MsgAnswer::No})
            host.prompts.answer(a);
        indentallrtf(host);
        QCOMPARE(host.log, QStringList{QStringLiteral("save")});
        QCOMPARE(box(host.prompts.asked()[1].message),
                 box({QStringLiteral("Approximately 0 minutes 11.25 seconds to 0 minutes 33.75 "
                                     "seconds needed on a 933 MHz computer for the process"),
                      QStringLiteral("Do you wish to continue?"), MsgIcon::Question,
                      MsgButtons::YesNo}));
        QCOMPARE(host.m_surface.text(), big);
    }
};

QTEST_GUILESS_MAIN(TestIndenter)
#include "tst_indenter.moc"
