// The colouring engine on the cases that show its rules: escaped quotes,
// apostrophes in comments, URLs in strings, the block comment markers, the
// comment swallowed through a single-line marker, braces, whole words,
// mixed-colour markers, masking that leaves the text as it was. Every
// colouring case runs on the production engine and on the plain reference
// engine, which must agree with the expectation alike.
#include "formatting/colorizeall.h"
#include "formatting/enginesupport.h"
#include "formatting/formatrtf.h"
#include "formatting/reference_formatrtf.h"
#include "surface/surface.h"

#include <QSignalSpy>
#include <QTest>

using namespace qln;
using namespace qln::enginetest;

namespace {

enum class Engine { Production, Reference };

// One letter per character: K keyword, O other, M more, S string,
// C comment, . text (factory colours, which are all distinct); line breaks
// are left out and lines joined by "|".
QString tags(const Surface &s)
{
    QString out;
    for (int i = 0; i < s.length(); ++i) {
        const QChar ch = s.text().at(i);
        if (ch == QLatin1Char('\r'))
            continue;
        if (ch == QLatin1Char('\n')) {
            out += QLatin1Char('|');
            continue;
        }
        switch (s.formatAt(i).color) {
        case 255: out += QLatin1Char('K'); break;
        case 16711680: out += QLatin1Char('O'); break;
        case 16711935: out += QLatin1Char('M'); break;
        case 4227072: out += QLatin1Char('S'); break;
        case 8355711: out += QLatin1Char('C'); break;
        case 0: out += QLatin1Char('.'); break;
        default: out += QLatin1Char('?'); break;
        }
    }
    return out;
}

void colorizeWith(Engine engine, Surface &s, const Preferences &prefs)
{
    if (engine == Engine::Production)
        ColorizeAllStages(s, prefs, nullptr);
    else
        ref::ColorizeAllStages(s, prefs, nullptr);
}

// The same call on either engine.
int wordList(Engine e, const QStringList &words, const FontStyleTable &fs, int category,
             int &start, int end, Surface &s, BgrColor color, ProgressSink *progress = nullptr,
             double factor = 0, int done = 0)
{
    return e == Engine::Production
               ? ColorWordList(words, int(words.size()) - 1, fs, category, start, end, s, color,
                               progress, factor, done)
               : ref::ColorWordList(words, int(words.size()) - 1, fs, category, start, end, s,
                                    color, progress, factor, done);
}

void colorLine(Engine e, int &start, int &end, Surface &s, const Preferences &p,
               const QString &ignore)
{
    const auto f = e == Engine::Production ? &ColorLine : &ref::ColorLine;
    f(start, end, s, p.string1, p.string2, ignore, kIgnorePlaceholder, p.singleLineComment,
      4227072, 8355711, p.fontstyle, 4, 5);
}

void blockComments(Engine e, Surface &s, const Preferences &p)
{
    int start = -1, end = s.length();
    const auto f = e == Engine::Production ? &ColorBlockComments : &ref::ColorBlockComments;
    f(start, end, s, p.fontstyle, 5, 4227072, 8355711, p.multiLineCommentStart,
      p.multiLineCommentEnd);
    QCOMPARE(start, -1);
}

// New text in the default format (setText alone gives it the format for
// typed text, which the previous colouring may have left anywhere).
void fresh(Surface &s, const QString &text)
{
    s.setText(text);
    s.setFormat(0, s.length(), CharFormat{});
}

QString crlf(QStringList lines)
{
    return lines.join(QStringLiteral("\r\n"));
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
    void initTestCase()
    {
        m_prefs = factoryPreferences();
        QCOMPARE(m_prefs.ckeywordcount, 48);
        QCOMPARE(m_prefs.ignoreString, QStringLiteral("\\\""));
        QVERIFY(m_prefs.fontstyle[1][4]); // keywords are whole words
        QVERIFY(!m_prefs.fontstyle[3][4]);
        QVERIFY(m_prefs.fontstyle[5][2]); // comments are italic
    }

    // --- whole documents with the factory lists and markers -------------

    void colourizeCases_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString dots12(12, QLatin1Char('.'));
        struct Case {
            const char *name;
            QString text, expected;
        };
        const Case cases[] = {
            {"escaped quote is one string", "String s = \"a\\\"b\";\r\n",
             dots12 + "SSSS.M|"},
            {"apostrophe in a comment starts no string", "int x; // it's here\r\n",
             "KKK..M." + QString(12, 'C') + "|"},
            {"apostrophes pair up inside a comment, the comment wins",
             "// it's Bob's\r\n", QString(13, 'C') + "|"},
            {"URL in a string", "String u = \"http://x.org\";\r\n",
             dots12 + QString(12, 'S') + ".M|"},
            {"slash star slash does not close itself",
             crlf({"x /*/ y", "int z; */ int w;", ""}),
             "..CCCCC|" + QString(9, 'C') + ".KKK..M|"},
            {"slash star star slash is a comment", "x /**/ int y;\r\n", "..CCCC.KKK..M|"},
            {"comment swallowed through a single-line marker",
             crlf({"/* start // note */", "int a;", "/* second */", "int b;", ""}),
             QString(19, 'C') + "|CCCCCC|" + QString(12, 'C') + "|KKK..M|"},
            {"two braces in a row", "{{ }}\r\n", "MM.MM|"},
            {"interface does not colour int", "interface I {}\r\n", "KKKKKKKKK...MM|"},
            {"whole word keeps keywords inside identifiers", "int_x $int int2 int\r\n",
             "................KKK|"},
            {"char literal then string", "char c = 'x'; String s = \"y\";\r\n",
             "KKKK......S.M" + dots12 + ".S.M|"},
            {"unterminated string then apostrophe string", "x = \"abc + 'd';\r\n",
             dots12 + "S.M|"},
            {"string on the last line without a break", "int a;\r\nint \"s\" x;",
             "KKK..M|KKK......M"},
            {"string keeps keyword delimiters apart", "\"if\" if\r\n", ".SS..KK|"},
            {"adjacent strings", "\"a\"\"b\"\r\n", ".S..S.|"},
            {"comment marker inside a block comment's string", "/* \"//\" */ x\r\n",
             "CCCCCCCCCC..|"},
        };
        for (const Case &c : cases) {
            for (Engine e : {Engine::Production, Engine::Reference})
                QTest::addRow("%s (%s)", c.name, e == Engine::Production ? "production" : "reference")
                    << int(e) << c.text << c.expected;
        }
    }
    void colourizeCases()
    {
        QFETCH(int, engine);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        Surface s;
        s.setText(text);
        colorizeWith(Engine(engine), s, m_prefs);
        QCOMPARE(tags(s), expected);
        QCOMPARE(s.text(), text);
        // Comments are italic, strings plain.
        for (int i = 0; i < s.length(); ++i)
            QCOMPARE(s.formatAt(i).italic, s.formatAt(i).color == 8355711);
    }

    void escapedQuoteWithoutIgnoreString_data() { engines(); }
    void escapedQuoteWithoutIgnoreString()
    {
        // Without the ignore string the string ends at the escaped quote and
        // the rest is scanned as new text: b is plain, the last quote opens
        // an unterminated string.
        QFETCH(int, engine);
        Preferences p = m_prefs;
        p.ignoreString.clear();
        Surface s;
        s.setText(QStringLiteral("String s = \"a\\\"b\";\r\n"));
        colorizeWith(Engine(engine), s, p);
        QCOMPARE(tags(s), QString(12, '.') + "SS...M|");
    }

    void escapeTakesFormatOfItsFirstCharacter_data() { engines(); }
    void escapeTakesFormatOfItsFirstCharacter()
    {
        // While masked, the escape is one placeholder in the format of its
        // first character; unmasked, both characters have that format.
        QFETCH(int, engine);
        Surface s;
        s.setText(QStringLiteral("x \\\" y\r\n"));
        s.setFormat(2, 1, CharFormat{111, true, false, false, QStringLiteral("Mono"), 12});
        s.setFormat(3, 1, CharFormat{222, false, true, false, QString(), 0});
        int start = -1, end = s.text().indexOf('\n');
        colorLine(Engine(engine), start, end, s, m_prefs, m_prefs.ignoreString);
        QCOMPARE(start, 0);
        QCOMPARE(end, 7);
        QCOMPARE(s.formatAt(3), s.formatAt(2));
        QCOMPARE(s.formatAt(3).fontName, QStringLiteral("Mono"));
        QCOMPARE(s.formatAt(3).color, BgrColor(111));
    }

    // --- masking -----------------------------------------------------------

    void lineTextIsRestoredExactly_data() { engines(); }
    void lineTextIsRestoredExactly()
    {
        // The line holds the placeholder text itself (in another letter
        // case too): only the escapes that were masked come back as
        // escapes, the rest of the line is untouched, nothing is undoable.
        QFETCH(int, engine);
        const QString line =
            QStringLiteral("s = \"_QLNSpecChar_ \\\" _qlnspecchar_\" + '\\\"'; // \\\" end");
        Surface s;
        s.setText(QStringLiteral("int a;\r\n") + line + QStringLiteral("\r\nx"));
        const QString before = s.text();
        int start = 7, end = s.text().lastIndexOf('\n');
        const int endBefore = end;
        QSignalSpy changes(&s, &Surface::changed);
        colorLine(Engine(engine), start, end, s, m_prefs, m_prefs.ignoreString);
        QCOMPARE(s.text(), before);
        QCOMPARE(start, 7);
        QCOMPARE(end, endBefore);
        QVERIFY(!s.canUndo());
        if (Engine(engine) == Engine::Production)
            QCOMPARE(changes.count(), 0);
        // The double-quoted string holds both placeholder texts and the
        // escape; the apostrophe string holds the escape alone.
        QCOMPARE(tags(s).section('|', 1, 1),
                 "....." + QString(30, 'S') + "....." + "SS..." + QString(9, 'C'));
    }

    void maskAndUnmaskRoutines_data() { engines(); }
    void maskAndUnmaskRoutines()
    {
        QFETCH(int, engine);
        const bool prod = Engine(engine) == Engine::Production;
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
        QVERIFY(!s.canUndo());
    }

    // --- word lists -----------------------------------------------------------

    void wordListPositionsAndCount_data() { engines(); }
    void wordListPositionsAndCount()
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
        QCOMPARE(wordList(e, words, fs, 1, start, s.length(), s, 255), 3);
        QCOMPARE(start, 0);
        // Overlapping occurrences are all coloured; the empty entry is none.
        QCOMPARE(tags(s), "KKKK.K");
        // A range that ends before the last match.
        s.setFormat(0, s.length(), CharFormat{});
        start = 1;
        wordList(e, words, fs, 1, start, 5, s, 255);
        QCOMPARE(tags(s), ".KKK..");
    }

    void laterListsOverwriteEarlier_data() { engines(); }
    void laterListsOverwriteEarlier()
    {
        QFETCH(int, engine);
        const Engine e = Engine(engine);
        FontStyleTable fs{};
        fs[1][4] = false;
        fs[3][1] = true;
        Surface s;
        s.setText(QStringLiteral("x = a->b; // y"));
        int start = 0;
        wordList(e, {QString(), "->", "a-"}, fs, 1, start, s.length(), s, 255);
        wordList(e, {QString(), "-", "/"}, fs, 3, start, s.length(), s, 16711935);
        QCOMPARE(tags(s), "....KMK...MM..");
        QVERIFY(s.formatAt(5).bold);
        QVERIFY(!s.formatAt(4).bold);
    }

    void wholeWordUsesIdentifierCharacters_data() { engines(); }
    void wholeWordUsesIdentifierCharacters()
    {
        QFETCH(int, engine);
        const Engine e = Engine(engine);
        FontStyleTable fs{};
        fs[2][4] = true;
        Surface s;
        s.setText(QStringLiteral("null _null null$ null1 (null) -null-"));
        int start = 0;
        wordList(e, {QString(), "null", "-"}, fs, 2, start, s.length(), s, 16711680);
        // Punctuation words match anywhere even in whole-word mode.
        QCOMPARE(tags(s), "OOOO" + QString(20, '.') + "OOOO..OOOOOO");
    }

    void wordListProgress_data() { engines(); }
    void wordListProgress()
    {
        QFETCH(int, engine);
        const Engine e = Engine(engine);
        FontStyleTable fs{};
        Surface s;
        s.setText(QStringLiteral("a b c"));
        RecordingProgress hidden;
        int start = 0;
        wordList(e, {QString(), "a", "b"}, fs, 1, start, s.length(), s, 255, &hidden, 12.5, 3);
        QVERIFY(hidden.values.empty()); // a hidden bar is not written
        RecordingProgress bar;
        bar.setVisible(true);
        wordList(e, {QString(), "a", "b", "c"}, fs, 1, start, s.length(), s, 255, &bar, 12.5, 3);
        // (1 + 3) * 12.5 = 50, 62.5 rounds half to even = 62, 75.
        QCOMPARE(bar.values, (std::vector<int>{50, 62, 75}));
    }

    // --- colour tests on markers -------------------------------------------

    void mixedColourMarkers_data() { engines(); }
    void mixedColourMarkers()
    {
        QFETCH(int, engine);
        const Engine e = Engine(engine);
        // A single-line marker whose two characters differ in colour is not
        // a comment.
        Surface s;
        s.setText(QStringLiteral("a // b\r\n"));
        s.setFormat(2, 1, CharFormat{255});
        int start = -1, end = 7;
        colorLine(e, start, end, s, m_prefs, m_prefs.ignoreString);
        QCOMPARE(tags(s), "..K...|");

        // A block start marker of mixed colours counts as not coloured, even
        // when one of its characters has the comments colour.
        fresh(s, QStringLiteral("/* a */"));
        s.setFormat(0, 1, CharFormat{8355711});
        blockComments(e, s, m_prefs);
        QCOMPARE(tags(s), "CCCCCCC");

        // A start marker wholly in the strings colour is skipped.
        fresh(s, QStringLiteral("/* a */"));
        s.setFormat(0, 2, CharFormat{4227072});
        blockComments(e, s, m_prefs);
        QCOMPARE(tags(s), "SS.....");
    }

    void blockEndSearchedTwoPastStart_data() { engines(); }
    void blockEndSearchedTwoPastStart()
    {
        QFETCH(int, engine);
        const Engine e = Engine(engine);
        Surface s;
        s.setText(QStringLiteral("/*/ x"));
        blockComments(e, s, m_prefs);
        QCOMPARE(tags(s), "....."); // no end marker: nothing
        fresh(s, QStringLiteral("a /* b */* c */ d"));
        blockComments(e, s, m_prefs);
        // The second start marker shares its slash with the first end
        // marker: half comment-coloured, it reads as not coloured.
        QCOMPARE(tags(s), ".." + QString(13, 'C') + "..");
    }

    void stringSpanReturns_data() { engines(); }
    void stringSpanReturns()
    {
        QFETCH(int, engine);
        const Engine e = Engine(engine);
        const auto span = e == Engine::Production ? &ColorStringSpan : &ref::ColorStringSpan;
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
        // A delimiter already in the strings colour: its position, nothing
        // coloured.
        s.setFormat(2, 1, CharFormat{4227072});
        s.setFormat(3, 2, CharFormat{});
        scan = 0;
        QCOMPARE(span(fs, 4, "'", 4227072, scan, 9, s), 2);
        QCOMPARE(tags(s), "..S......");
    }

    void lastLineWithoutBreakIsLeftAlone_data() { engines(); }
    void lastLineWithoutBreakIsLeftAlone()
    {
        QFETCH(int, engine);
        Surface s;
        s.setText(QStringLiteral("'a' // c"));
        int start = -1, end = -1;
        colorLine(Engine(engine), start, end, s, m_prefs, m_prefs.ignoreString);
        QCOMPARE(start, -1);
        QCOMPARE(tags(s), "........");
    }

    // --- the bulk style write the engine uses -------------------------------

    void setStyleRanges()
    {
        Surface s;
        s.setText(QStringLiteral("0123456789"));
        s.setFormat(2, 3, CharFormat{7, false, false, true, QStringLiteral("Mono"), 14});
        s.setSelection(1, 2);
        QSignalSpy formats(&s, &Surface::formatsChanged);
        QSignalSpy sel(&s, &Surface::selChanged);
        s.setStyleRanges({{6, 2}, {3, 2}, {4, 3}, {9, 5}, {-3, 1}},
                         Surface::TextStyle{0x1FF0000, true, false, false});
        QCOMPARE(formats.count(), 1);
        QCOMPARE(formats.at(0).at(0).toInt(), 3);
        QCOMPARE(formats.at(0).at(1).toInt(), 7);
        QCOMPARE(sel.count(), 0);
        QCOMPARE(s.selStart(), 1);
        for (int i = 0; i < 10; ++i) {
            const bool styled = (i >= 3 && i < 8) || i == 9;
            QCOMPARE(s.formatAt(i).bold, styled);
            QCOMPARE(s.formatAt(i).color, styled ? BgrColor(0xFF0000) : (i >= 2 && i < 5 ? 7u : 0u));
        }
        // Font name and size stay; underline is replaced.
        QCOMPARE(s.formatAt(3).fontName, QStringLiteral("Mono"));
        QCOMPARE(s.formatAt(3).fontSize, 14.0);
        QVERIFY(!s.formatAt(3).underline);
        QVERIFY(s.formatAt(2).underline);
        // Writing what is there already changes nothing.
        s.setStyleRanges({{3, 5}}, Surface::TextStyle{0xFF0000, true, false, false});
        QCOMPARE(formats.count(), 1);
        QVERIFY(Surface::isWordCharacter(QLatin1Char('$')));
        QVERIFY(Surface::isWordCharacter(QChar(0xE9)));
        QVERIFY(!Surface::isWordCharacter(QLatin1Char('-')));
    }
};

QTEST_GUILESS_MAIN(TstFormatRtf)
#include "tst_formatrtf.moc"
