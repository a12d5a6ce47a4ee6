// The colouring engine on the cases that show its rules and that the
// golden files (tst_golden) cannot: colourize-all without the ignore
// string or the last line, each routine alone, mixed-colour markers and
// masking. Every case runs on the production engine and on the plain
// reference engine alike.
#include "formatting/colorizeall.h"
#include "formatting/enginesupport.h"
#include "formatting/formatrtf.h"
#include "formatting/reference_formatrtf.h"
#include "support/datarow.h"
#include "surface/surface.h"

#include <QHash>
#include <QSignalSpy>
#include <QTest>

using namespace qln;
using namespace qln::enginetest;

namespace {

enum class Engine { Production, Reference };
// The settings colourize-all runs with.
enum { Factory, NoIgnoreString, HashComments };

// One letter per character: K keyword, O other, M more, S string,
// C comment, . text; line breaks are left out and lines joined by "|".
QString tags(const Surface &s)
{
    static const QHash<BgrColor, char> letters{{255, 'K'},     {16711680, 'O'}, {16711935, 'M'},
                                               {4227072, 'S'}, {8355711, 'C'},  {0, '.'}};
    QString out;
    for (int i = 0; i < s.length(); ++i) {
        const QChar ch = s.text().at(i);
        if (ch != QLatin1Char('\r'))
            out += ch == QLatin1Char('\n') ? '|' : letters.value(s.formatAt(i).color, '?');
    }
    return out;
}

int wordList(Engine e, const QStringList &words, const FontStyleTable &fs, int category, int &start,
             int end, Surface &s, BgrColor color, ProgressSink *progress = nullptr,
             double factor = 0, int done = 0)
{
    const auto f = e == Engine::Production ? &ColorWordList : &ref::ColorWordList;
    return f(words, int(words.size()) - 1, fs, category, start, end, s, color, progress, factor,
             done);
}

void colorLine(Engine e, int &start, int &end, Surface &s, const Preferences &p)
{
    const auto f = e == Engine::Production ? &ColorLine : &ref::ColorLine;
    f(start, end, s, p.string1, p.string2, p.ignoreString, kIgnorePlaceholder, p.singleLineComment,
      4227072, 8355711, p.fontstyle, 4, 5);
}

// Block comments over the whole text, which is first reset to the default format.
QString blockComments(Engine e, Surface &s, const Preferences &p, const QString &text,
                      int colourFrom = 0, int colourLength = 0, BgrColor colour = 0)
{
    s.setText(text);
    s.setFormat(0, s.length(), CharFormat{});
    s.setFormat(colourFrom, colourLength, CharFormat{colour, false, false, false, QString(), 0});
    int start = -1, end = s.length();
    if (e == Engine::Production)
        ColorBlockComments(start, end, s, p.fontstyle, 5, 4227072, 8355711, p.multiLineCommentStart,
                           p.multiLineCommentEnd);
    else
        ref::ColorBlockComments(start, end, s, p.fontstyle, 5, 4227072, 8355711,
                                p.multiLineCommentStart, p.multiLineCommentEnd);
    return start == -1 ? tags(s) : QStringLiteral("start moved");
}

} // namespace

class TstFormatRtf : public QObject {
    Q_OBJECT
    Preferences m_prefs;

private slots:
    void initTestCase() { m_prefs = factoryPreferences(); }

    void routines_data()
    {
        QTest::addColumn<int>("engine");
        row("production", int(Engine::Production));
        row("reference", int(Engine::Reference));
    }
    void routines()
    {
        QFETCH(int, engine);
        const Engine e = Engine(engine);
        // A line holding the placeholder text itself (in either case): only
        // the masked escapes come back, nothing is undoable or signalled.
        Surface s;
        s.setText(QStringLiteral(
            "int a;\r\ns = \"_QLNSpecChar_ \\\" _qlnspecchar_\" + '\\\"'; // \\\" end\r\nx"));
        const QString before = s.text();
        const int endBefore = s.text().lastIndexOf('\n');
        int start = 7, lineEnd = endBefore;
        QSignalSpy changes(&s, &Surface::changed);
        colorLine(e, start, lineEnd, s, m_prefs);
        QCOMPARE(s.text(), before);
        QCOMPARE(start, 7);
        QCOMPARE(lineEnd, endBefore);
        QVERIFY(!s.canUndo());
        if (e == Engine::Production)
            QCOMPARE(changes.count(), 0);
        QCOMPARE(tags(s).section('|', 1, 1),
                 "....." + QString(30, 'S') + "....." + "SS..." + QString(9, 'C'));

        // An escape outside strings keeps the formats it had.
        s.setText(QStringLiteral("x \\\" y\r\n"));
        s.setFormat(2, 1, CharFormat{111, true, false, false, QStringLiteral("Mono"), 12});
        s.setFormat(3, 1, CharFormat{222, false, true, false, QString(), 0});
        start = -1, lineEnd = 7;
        colorLine(e, start, lineEnd, s, m_prefs);
        QCOMPARE(s.formatAt(2), (CharFormat{111, true, false, false, QStringLiteral("Mono"), 12}));
        QCOMPARE(s.formatAt(3).color, BgrColor(222));

        // A single-line marker whose two characters differ in colour is not a comment.
        s.setText(QStringLiteral("a // b\r\n"));
        s.setFormat(0, s.length(), CharFormat{});
        s.setFormat(2, 1, CharFormat{255, false, false, false, QString(), 0});
        start = -1, lineEnd = 7;
        colorLine(e, start, lineEnd, s, m_prefs);
        QCOMPARE(tags(s), "..K...|");
        // A block start of mixed colours counts as not coloured; one wholly
        // in the strings colour is skipped.
        QCOMPARE(blockComments(e, s, m_prefs, "/* a */", 0, 1, 8355711), "CCCCCCC");
        QCOMPARE(blockComments(e, s, m_prefs, "/* a */", 0, 2, 4227072), "SS.....");
        // The end is searched two past the start; no end marker: nothing.
        QCOMPARE(blockComments(e, s, m_prefs, "/*/ x"), ".....");

        // A string delimiter already in the strings colour is passed over.
        const auto span = e == Engine::Production ? &ColorStringSpan : &ref::ColorStringSpan;
        s.setText(QStringLiteral("x 'ab' 'c"));
        s.setFormat(0, s.length(), CharFormat{});
        s.setFormat(2, 1, CharFormat{4227072, false, false, false, QString(), 0});
        int scan = 0;
        QCOMPARE(span(FontStyleTable{}, 4, "'", 4227072, scan, 9, s), 2);
        QCOMPARE(tags(s), "..S......");

        FontStyleTable fs{};
        s.setText(QStringLiteral("aaaa b"));
        s.setFormat(0, s.length(), CharFormat{});
        const QStringList words{QString(), "aa", QString(), "b"};
        start = -1;
        QCOMPARE(wordList(e, words, fs, 1, start, -1, s, 255), 0);
        QCOMPARE(tags(s), "......"); // no end: nothing
        // Overlapping occurrences are all coloured; the empty entry is none.
        QCOMPARE(wordList(e, words, fs, 1, start, s.length(), s, 255), 3);
        QCOMPARE(tags(s), "KKKK.K");
        s.setFormat(0, s.length(), CharFormat{});
        start = 1;
        wordList(e, words, fs, 1, start, 5, s, 255); // a range ending before the last match
        QCOMPARE(tags(s), ".KKK..");

        // Later lists overwrite earlier ones, with their own style.
        fs[3][1] = true;
        s.setText(QStringLiteral("x = a->b; // y"));
        s.setFormat(0, s.length(), CharFormat{});
        start = 0;
        wordList(e, {QString(), "->", "a-"}, fs, 1, start, s.length(), s, 255);
        wordList(e, {QString(), "-", "/"}, fs, 3, start, s.length(), s, 16711935);
        QCOMPARE(tags(s), "....KMK...MM..");
        QVERIFY(s.formatAt(5).bold && !s.formatAt(4).bold);

        // Whole words use identifier characters; punctuation matches anywhere.
        fs[2][4] = true; // whole word on
        s.setText(QStringLiteral("null _null null$ null1 (null) -null-"));
        s.setFormat(0, s.length(), CharFormat{});
        start = 0;
        wordList(e, {QString(), "null", "-"}, fs, 2, start, s.length(), s, 16711680);
        QCOMPARE(tags(s), "OOOO" + QString(20, '.') + "OOOO..OOOOOO");

        // A hidden bar is not written; (1 + 3) * 12.5 = 50, 62.5 rounds to 62, 75.
        RecordingProgress hidden, bar;
        wordList(e, {QString(), "a", "b"}, fs, 1, start, s.length(), s, 255, &hidden, 12.5, 3);
        QVERIFY(hidden.values.empty());
        bar.setVisible(true);
        wordList(e, {QString(), "a", "b", "c"}, fs, 1, start, s.length(), s, 255, &bar, 12.5, 3);
        QCOMPARE(bar.values, (std::vector<int>{50, 62, 75}));
    }

    // Colourize-all on whole texts, "|" a line break in text and result.
    // Java as javac reads it: a backslash in a literal takes the next
    // character along, text blocks run across lines and hold no comments,
    // and the factory list knows the newer keywords. Without an ignore string
    // escapes are plain text; a last line needs no break. With "\\#" as the
    // ignore string and "#" as comment marker, a marker inside the ignore
    // string is ordinary text once the masking is undone, so the comment runs
    // from the marker itself.
    void colourizeAll_data()
    {
        columns<int, int, QString, QString>("engine", "settings", "text", "expected");
        const struct {
            const char *name;
            int settings;
            const char *text, *expected;
        } rows[] = {
            {"no ignore string", NoIgnoreString, "String s = \"a\\\"b\";|", "............SS...M|"},
            {"last line unbroken", Factory, "int a;|int \"s\" x;", "KKK..M|KKK......M"},
            {"marker after the escape character", HashComments, "a \\# b|", "...CCC|"},
            {"escape alone on its line", HashComments, "\\#|", ".C|"},
            {"escape in a string, then one outside", HashComments, "x = \"\\#\"; \\# c|",
             ".....SS....CCC|"},
            {"string ending in a backslash", Factory,
             "String p = \"C:\\\\\"; int x = 1; String q = \"ok\";|",
             "............SSSS.M.KKK......M.............SS.M|"},
            {"character literals", Factory, "c = '\\\\'; d = '\\''; e = '\"'; s = \"x\";|",
             ".....SS.M......SS.M......S.M......S.M|"},
            {"newer keywords", Factory,
             "enum E { A } record R(int v) { assert v > 0; } sealed interface I permits R {}|"
             "var v = switch (k) { default -> { yield 1; } }; strictfp strictftp|",
             "KKKK...M...M.KKKKKK...KKK....M.KKKKKK......M.M.KKKKKK.KKKKKKKKK...KKKKKKK...MM|"
             "KKK.....KKKKKK.....M.KKKKKKK....M.KKKKK..M.M.MM.KKKKKKKK.KKKKKKKKK|"},
            {"text block holding comment markers", Factory,
             "String s = \"\"\"|  it's // here|  /* x */ \"q\"|  \"\"\";|int y;|",
             "..............|SSSSSSSSSSSSSS|SSSSSSSSSSSSS|SS...M|KKK..M|"},
            {"code after a text block on its line", Factory,
             "s = \"\"\"|a|\"\"\".formatted(\"b\" + 'c'); // d|",
             ".......|S|...............S.....S..M.CCCC|"},
            {"escaped quotes in a text block", Factory, "s = \"\"\"|a \\\"\"\" b|\"\"\";|int c;|",
             ".......|SSSSSSSS|...M|KKK..M|"},
            {"text block quotes in comments", Factory,
             "// \"\"\"|int a; /* \"\"\" */ int b;|\"x\";|",
             "CCCCCC|KKK..M.CCCCCCCCC.KKK..M|.S.M|"},
            {"unterminated text block", Factory, "s = \"\"\"|int a; // c|", ".......|KKK..M.CCCC|"},
            {"three quotes with text after them", Factory, "x = \"\"\"a\"\"\" + \"// b\";|int c;|",
             ".......S.......SSSS.M|KKK..M|"},
        };
        for (const auto &r : rows)
            for (Engine e : {Engine::Production, Engine::Reference})
                QTest::addRow("%s (%s)", r.name,
                              e == Engine::Production ? "production" : "reference")
                    << int(e) << r.settings
                    << QString::fromUtf8(r.text).replace('|', QStringLiteral("\r\n"))
                    << QString::fromUtf8(r.expected);
    }
    void colourizeAll()
    {
        QFETCH(int, engine);
        QFETCH(int, settings);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        Preferences p = m_prefs;
        if (settings == NoIgnoreString) {
            p.ignoreString.clear();
        } else if (settings == HashComments) {
            p.ignoreString = QStringLiteral("\\#");
            p.singleLineComment = QStringLiteral("#");
            p.arrcmore = QStringList{QString()};
            p.cmorecount = 0;
        }
        Surface s;
        s.setText(text);
        Engine(engine) == Engine::Production ? ColorizeAllStages(s, p, nullptr)
                                             : ref::ColorizeAllStages(s, p, nullptr);
        QCOMPARE(tags(s), expected);
        for (int i = 0; i < s.length(); ++i)
            QCOMPARE(s.formatAt(i).italic, s.formatAt(i).color == 8355711);
    }

    // Masking edits the text without recording undo; the pair must leave an
    // undo history that still describes the text.
    void maskingKeepsUndoTrue_data()
    {
        columns<QString, QString, bool, bool>("text", "ignore", "unmaskOnly", "textComesBack");
        row("escapes only", "s = \"a\\\"b\";", "\\\"", false, true);
        row("placeholder already in the text", "s = \"_QLNSpecChar_ \\\"\";", "\\\"", false, false);
        row("escape in another letter case", "aqa", "Q", false, false);
        row("unmask without a mask", "_QLNSpecChar_!", "\\\"", true, false);
    }
    void maskingKeepsUndoTrue()
    {
        QFETCH(QString, text);
        QFETCH(QString, ignore);
        QFETCH(bool, unmaskOnly);
        QFETCH(bool, textComesBack);
        Surface s;
        s.setText(text);
        s.setSelStart(s.length());
        s.setSelText(QStringLiteral("\r\nmore text")); // one undo step
        const QString before = s.text();
        int end = s.length();
        if (!unmaskOnly)
            end = MaskIgnoreText(0, end, s, ignore, kIgnorePlaceholder);
        UnmaskIgnoreText(0, end, s, ignore, kIgnorePlaceholder);
        QCOMPARE(s.text() == before, textComesBack);
        QCOMPARE(s.canUndo(), textComesBack);
        const QString after = s.text();
        s.undo();
        QCOMPARE(s.text(), textComesBack ? text : after);
        s.redo();
        QCOMPARE(s.text(), after);
        int covered = 0;
        for (const auto &run : s.formatRuns(0, s.length()))
            covered += run.length;
        QCOMPARE(covered, s.length());
    }

    // The bulk style write the production engine uses: overlapping and
    // out-of-range pieces are merged and clipped into one change, the
    // selection, font name and size stay, underline is replaced.
    void setStyleRanges()
    {
        Surface s;
        s.setText(QStringLiteral("0123456789"));
        s.setFormat(2, 3, CharFormat{7, false, false, true, QStringLiteral("Mono"), 14});
        s.setSelection(1, 2);
        QSignalSpy formats(&s, &Surface::formatsChanged);
        QSignalSpy sel(&s, &Surface::selChanged);
        s.setStyleRanges({{6, 2}, {3, 2}, {4, 3}, {9, 5}, {-3, 1}},
                         Surface::TextStyle{0x1FF0000, true, false, false}); // 24 bits kept
        QCOMPARE(formats.at(0), (QVariantList{3, 7}));
        QCOMPARE(sel.count(), 0);
        QCOMPARE(tags(s), "..?OOOOO.O");
        QCOMPARE(s.formatAt(3),
                 (CharFormat{0xFF0000, true, false, false, QStringLiteral("Mono"), 14}));
        // Writing what is there already changes nothing.
        s.setStyleRanges({{3, 5}}, Surface::TextStyle{0xFF0000, true, false, false});
        QCOMPARE(formats.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TstFormatRtf)
#include "tst_formatrtf.moc"
