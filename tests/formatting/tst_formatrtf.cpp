// The colouring engine on the cases that show its rules: escaped quotes,
// apostrophes in comments, URLs in strings, block comment markers, braces,
// whole words, mixed-colour markers and masking. Every case runs on the
// production engine and on the plain reference engine alike.
#include "formatting/colorizeall.h"
#include "formatting/enginesupport.h"
#include "formatting/formatrtf.h"
#include "formatting/reference_formatrtf.h"
#include "surface/surface.h"

#include <QHash>
#include <QSignalSpy>
#include <QTest>

using namespace qln;
using namespace qln::enginetest;

namespace {

enum class Engine { Production, Reference };

// One letter per character: K keyword, O other, M more, S string,
// C comment, . text; line breaks are left out and lines joined by "|".
QString tags(const Surface &s)
{
    static const QHash<BgrColor, char> letters{
        {255, 'K'}, {16711680, 'O'}, {16711935, 'M'}, {4227072, 'S'}, {8355711, 'C'}, {0, '.'}};
    QString out;
    for (int i = 0; i < s.length(); ++i) {
        const QChar ch = s.text().at(i);
        if (ch != QLatin1Char('\r'))
            out += ch == QLatin1Char('\n') ? '|' : letters.value(s.formatAt(i).color, '?');
    }
    return out;
}

int wordList(Engine e, const QStringList &words, const FontStyleTable &fs, int category,
             int &start, int end, Surface &s, BgrColor color, ProgressSink *progress = nullptr,
             double factor = 0, int done = 0)
{
    const auto f = e == Engine::Production ? &ColorWordList : &ref::ColorWordList;
    return f(words, int(words.size()) - 1, fs, category, start, end, s, color, progress, factor,
             done);
}

void colorLine(Engine e, int &start, int &end, Surface &s, const Preferences &p)
{
    const auto f = e == Engine::Production ? &ColorLine : &ref::ColorLine;
    f(start, end, s, p.string1, p.string2, p.ignoreString, kIgnorePlaceholder,
      p.singleLineComment, 4227072, 8355711, p.fontstyle, 4, 5);
}

// Block comments over the whole text, which is first reset to the default format.
QString blockComments(Engine e, Surface &s, const Preferences &p, const QString &text,
                      int colourFrom = 0, int colourLength = 0, BgrColor colour = 0)
{
    s.setText(text);
    s.setFormat(0, s.length(), CharFormat{});
    s.setFormat(colourFrom, colourLength, CharFormat{colour});
    int start = -1, end = s.length();
    const auto f = e == Engine::Production ? &ColorBlockComments : &ref::ColorBlockComments;
    f(start, end, s, p.fontstyle, 5, 4227072, 8355711, p.multiLineCommentStart,
      p.multiLineCommentEnd);
    return start == -1 ? tags(s) : QStringLiteral("start moved");
}

} // namespace

class TstFormatRtf : public QObject {
    Q_OBJECT
    Preferences m_prefs;

    void engines()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("production") << int(Engine::Production);
        QTest::newRow("reference") << int(Engine::Reference);
    }

private slots:
    void initTestCase() { m_prefs = factoryPreferences(); }

    void colourizeCases_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ignoreEscapes");
        QTest::addColumn<QString>("expected");
        const QString dots12(12, QLatin1Char('.'));
        struct Case {
            const char *name;
            QString text, expected;
            bool ignoreEscapes = true;
        };
        const Case cases[] = {
            {"escaped quote is one string", "String s = \"a\\\"b\";\r\n", dots12 + "SSSS.M|"},
            // Without the ignore string the string ends at the escaped quote.
            {"escaped quote without ignore string", "String s = \"a\\\"b\";\r\n",
             dots12 + "SS...M|", false},
            {"apostrophe in a comment starts no string", "int x; // it's here\r\n",
             "KKK..M." + QString(12, 'C') + "|"},
            {"URL in a string", "String u = \"http://x.org\";\r\n", dots12 + QString(12, 'S') + ".M|"},
            {"slash star slash does not close itself", "x /*/ y\r\nint z; */ int w;\r\n",
             "..CCCCC|" + QString(9, 'C') + ".KKK..M|"},
            {"slash star star slash is a comment", "x /**/ int y;\r\n", "..CCCC.KKK..M|"},
            {"comment swallowed through a single-line marker",
             "/* start // note */\r\nint a;\r\n/* second */\r\nint b;\r\n",
             QString(19, 'C') + "|CCCCCC|" + QString(12, 'C') + "|KKK..M|"},
            {"two braces in a row", "{{ }}\r\n", "MM.MM|"},
            {"interface does not colour int", "interface I {}\r\n", "KKKKKKKKK...MM|"},
            {"whole word keeps keywords inside identifiers", "int_x $int int2 int\r\n",
             "................KKK|"},
            {"char literal then string", "char c = 'x'; String s = \"y\";\r\n",
             "KKKK......S.M" + dots12 + ".S.M|"},
            {"unterminated string then apostrophe string", "x = \"abc + 'd';\r\n", dots12 + "S.M|"},
            {"no strings or comments on a last line without a break", "int a;\r\nint \"s\" x;",
             "KKK..M|KKK......M"},
            {"comment marker inside a block comment's string", "/* \"//\" */ x\r\n",
             "CCCCCCCCCC..|"},
        };
        for (const Case &c : cases)
            for (Engine e : {Engine::Production, Engine::Reference})
                QTest::addRow("%s (%s)", c.name, e == Engine::Production ? "production" : "reference")
                    << int(e) << c.text << c.ignoreEscapes << c.expected;
    }
    void colourizeCases()
    {
        QFETCH(int, engine);
        QFETCH(QString, text);
        QFETCH(bool, ignoreEscapes);
        QFETCH(QString, expected);
        Preferences p = m_prefs;
        if (!ignoreEscapes)
            p.ignoreString.clear();
        Surface s;
        s.setText(text);
        if (Engine(engine) == Engine::Production)
            ColorizeAllStages(s, p, nullptr);
        else
            ref::ColorizeAllStages(s, p, nullptr);
        QCOMPARE(tags(s), expected);
        QCOMPARE(s.text(), text);
        // Comments are italic, strings plain.
        for (int i = 0; i < s.length(); ++i)
            QCOMPARE(s.formatAt(i).italic, s.formatAt(i).color == 8355711);
    }

    void masking_data() { engines(); }
    void masking()
    {
        QFETCH(int, engine);
        const Engine e = Engine(engine);
        const bool prod = e == Engine::Production;
        Surface s;
        s.setText(QStringLiteral("a\\\"b\\\"c\r\n\\\"d"));
        const int endLf = s.text().indexOf('\n');
        const int end = prod ? MaskIgnoreText(0, endLf, s, "\\\"", kIgnorePlaceholder)
                             : ref::MaskIgnoreText(0, endLf, s, "\\\"", kIgnorePlaceholder);
        QCOMPARE(end, endLf + 22);
        QCOMPARE(s.text(), QStringLiteral("a_QLNSpecChar_b_QLNSpecChar_c\r\n\\\"d"));
        const int back = prod ? UnmaskIgnoreText(0, end, s, "\\\"", kIgnorePlaceholder)
                              : ref::UnmaskIgnoreText(0, end, s, "\\\"", kIgnorePlaceholder);
        QCOMPARE(back, endLf);
        QCOMPARE(s.text(), QStringLiteral("a\\\"b\\\"c\r\n\\\"d"));

        // A line holding the placeholder text itself (in either case): only
        // the masked escapes come back, nothing is undoable or signalled.
        const QString line =
            QStringLiteral("s = \"_QLNSpecChar_ \\\" _qlnspecchar_\" + '\\\"'; // \\\" end");
        s.setText(QStringLiteral("int a;\r\n") + line + QStringLiteral("\r\nx"));
        const QString before = s.text();
        int start = 7, lineEnd = s.text().lastIndexOf('\n');
        const int endBefore = lineEnd;
        QSignalSpy changes(&s, &Surface::changed);
        colorLine(e, start, lineEnd, s, m_prefs);
        QCOMPARE(s.text(), before);
        QCOMPARE(start, 7);
        QCOMPARE(lineEnd, endBefore);
        QVERIFY(!s.canUndo());
        if (prod)
            QCOMPARE(changes.count(), 0);
        QCOMPARE(tags(s).section('|', 1, 1),
                 "....." + QString(30, 'S') + "....." + "SS..." + QString(9, 'C'));

        // The escape takes the format of its first character.
        s.setText(QStringLiteral("x \\\" y\r\n"));
        s.setFormat(2, 1, CharFormat{111, true, false, false, QStringLiteral("Mono"), 12});
        s.setFormat(3, 1, CharFormat{222, false, true, false, QString(), 0});
        start = -1;
        lineEnd = s.text().indexOf('\n');
        colorLine(e, start, lineEnd, s, m_prefs);
        QCOMPARE(start, 0);
        QCOMPARE(lineEnd, 7);
        QCOMPARE(s.formatAt(3), s.formatAt(2));
        QCOMPARE(s.formatAt(3).fontName, QStringLiteral("Mono"));

        // A last line without a break is left alone.
        s.setText(QStringLiteral("'a' // c"));
        s.setFormat(0, s.length(), CharFormat{});
        start = lineEnd = -1;
        colorLine(e, start, lineEnd, s, m_prefs);
        QCOMPARE(start, -1);
        QCOMPARE(tags(s), "........");
    }

    void wordLists_data() { engines(); }
    void wordLists()
    {
        QFETCH(int, engine);
        const Engine e = Engine(engine);
        FontStyleTable fs{};
        Surface s;
        s.setText(QStringLiteral("aaaa b"));
        const QStringList words{QString(), "aa", QString(), "b"};
        int start = -1;
        QCOMPARE(wordList(e, words, fs, 1, start, -1, s, 255), 0);
        QCOMPARE(start, -1); // no end: nothing, not even the start changes
        QCOMPARE(tags(s), "......");
        // Overlapping occurrences are all coloured; the empty entry is none.
        QCOMPARE(wordList(e, words, fs, 1, start, s.length(), s, 255), 3);
        QCOMPARE(start, 0);
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
        QVERIFY(s.formatAt(5).bold);
        QVERIFY(!s.formatAt(4).bold);

        // Whole words use identifier characters; punctuation matches anywhere.
        fs[2][4] = true;
        s.setText(QStringLiteral("null _null null$ null1 (null) -null-"));
        s.setFormat(0, s.length(), CharFormat{});
        start = 0;
        wordList(e, {QString(), "null", "-"}, fs, 2, start, s.length(), s, 16711680);
        QCOMPARE(tags(s), "OOOO" + QString(20, '.') + "OOOO..OOOOOO");

        // Progress: a hidden bar is not written; (1 + 3) * 12.5 = 50, 62.5
        // rounds half to even = 62, 75.
        s.setText(QStringLiteral("a b c"));
        start = 0;
        RecordingProgress hidden, bar;
        wordList(e, {QString(), "a", "b"}, fs, 1, start, s.length(), s, 255, &hidden, 12.5, 3);
        QVERIFY(hidden.values.empty());
        bar.setVisible(true);
        wordList(e, {QString(), "a", "b", "c"}, fs, 1, start, s.length(), s, 255, &bar, 12.5, 3);
        QCOMPARE(bar.values, (std::vector<int>{50, 62, 75}));
    }

    void markers_data() { engines(); }
    void markers()
    {
        QFETCH(int, engine);
        const Engine e = Engine(engine);
        // A single-line marker whose two characters differ in colour is not a comment.
        Surface s;
        s.setText(QStringLiteral("a // b\r\n"));
        s.setFormat(2, 1, CharFormat{255});
        int start = -1, end = 7;
        colorLine(e, start, end, s, m_prefs);
        QCOMPARE(tags(s), "..K...|");
        // A block start of mixed colours counts as not coloured, even with
        // one character in the comments colour; one wholly in the strings
        // colour is skipped.
        QCOMPARE(blockComments(e, s, m_prefs, "/* a */", 0, 1, 8355711), "CCCCCCC");
        QCOMPARE(blockComments(e, s, m_prefs, "/* a */", 0, 2, 4227072), "SS.....");
        // The end is searched two past the start; no end marker: nothing.
        QCOMPARE(blockComments(e, s, m_prefs, "/*/ x"), ".....");
        // A start sharing its slash with the first end reads as not coloured.
        QCOMPARE(blockComments(e, s, m_prefs, "a /* b */* c */ d"), ".." + QString(13, 'C') + "..");
    }

    void stringSpanReturns_data() { engines(); }
    void stringSpanReturns()
    {
        QFETCH(int, engine);
        const auto span = Engine(engine) == Engine::Production ? &ColorStringSpan : &ref::ColorStringSpan;
        FontStyleTable fs{};
        Surface s;
        s.setText(QStringLiteral("x 'ab' 'c"));
        int scan = -1;
        QCOMPARE(span(fs, 4, "'", 4227072, scan, 9, s), 5);
        QCOMPARE(scan, -1);
        QCOMPARE(tags(s), "...SS....");
        scan = 5;
        QCOMPARE(span(fs, 4, "'", 4227072, scan, 9, s), 7); // unterminated
        scan = 7;
        QCOMPARE(span(fs, 4, "'", 4227072, scan, 9, s), 7); // none left
        // A delimiter already in the strings colour: its position, nothing coloured.
        s.setFormat(2, 1, CharFormat{4227072});
        s.setFormat(3, 2, CharFormat{});
        scan = 0;
        QCOMPARE(span(fs, 4, "'", 4227072, scan, 9, s), 2);
        QCOMPARE(tags(s), "..S......");
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
        const Surface::TextStyle style{0xFF0000, true, false, false};
        s.setStyleRanges({{6, 2}, {3, 2}, {4, 3}, {9, 5}, {-3, 1}},
                         Surface::TextStyle{0x1FF0000, true, false, false}); // 24 bits kept
        QCOMPARE(formats.count(), 1);
        QCOMPARE(formats.at(0), (QVariantList{3, 7}));
        QCOMPARE(sel.count(), 0);
        QCOMPARE(tags(s), "..?OOOOO.O");
        QVERIFY(s.formatAt(9).bold && !s.formatAt(8).bold);
        QCOMPARE(s.formatAt(2), (CharFormat{7, false, false, true, QStringLiteral("Mono"), 14}));
        QCOMPARE(s.formatAt(3), (CharFormat{0xFF0000, true, false, false, QStringLiteral("Mono"), 14}));
        // Writing what is there already changes nothing.
        s.setStyleRanges({{3, 5}}, style);
        QCOMPARE(formats.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TstFormatRtf)
#include "tst_formatrtf.moc"
