// The production engine against the plain reference engine: generated
// documents and settings (custom lists with overlapping and punctuation
// words, empty lists, whole word on and off, custom markers and delimiters,
// escapes, text blocks, equal colours, pre-existing formats), single routine calls with odd
// positions, and real Java source from the installed kit. Every character's
// format, the text, the returned and the by-reference positions and the
// progress values must be the same.
#include "formatting/colorizeall.h"
#include "formatting/enginesupport.h"
#include "formatting/formatrtf.h"
#include "formatting/reference_formatrtf.h"
#include "javasource.h"
#include "support/datarow.h"
#include "support/requirekit.h"
#include "surface/surface.h"

#include <QRandomGenerator>
#include <QTest>

using namespace qln;
using namespace qln::enginetest;

namespace {

const BgrColor kColours[] = {255, 16711680, 16711935, 4227072, 8355711, 0, 0x123456};

template <typename T, size_t N> const T &pick(QRandomGenerator &rng, const T (&items)[N])
{
    return items[rng.bounded(int(N))];
}
QString pickOf(QRandomGenerator &rng, const QStringList &items)
{
    return items.at(rng.bounded(int(items.size())));
}

const QStringList kExtraWords = {"a", "aa",      "aaa",    "in", "int", "/",  "*",  "//", "\"",
                                 "'", "\\",      "{",      "}",  "{{",  ";",  "->", "$x", "_",
                                 "",  "e\u00e9", "String", "x1", "*/",  "/*", "ab", "ba"};

QStringList randomList(QRandomGenerator &rng, const QStringList &factory, int &count)
{
    QStringList list{QString()};
    const int n = rng.bounded(8) == 0 ? 0 : rng.bounded(1, 14);
    for (int i = 0; i < n; ++i) {
        if (!factory.isEmpty() && rng.bounded(2))
            list << factory.at(rng.bounded(1, int(factory.size())));
        else
            list << pickOf(rng, kExtraWords);
    }
    count = n;
    return list;
}

Preferences randomPrefs(QRandomGenerator &rng, const Preferences &factory)
{
    Preferences p = factory;
    if (rng.bounded(3) == 0)
        return p; // the factory settings themselves
    if (rng.bounded(2)) {
        p.arrckeyword = randomList(rng, factory.arrckeyword, p.ckeywordcount);
        p.arrcother = randomList(rng, factory.arrcother, p.cothercount);
        p.arrcmore = randomList(rng, factory.arrcmore, p.cmorecount);
    }
    auto colourText = [&] { return QString::number(pick(rng, kColours)); };
    p.ckeywordcolor = colourText();
    p.cothercolor = colourText();
    p.cmorecolor = colourText();
    p.cstringscolor = colourText();
    p.ccommentscolor = colourText();
    p.ctextcolor = colourText();
    for (int c = 1; c <= 5; ++c)
        for (int a = 1; a <= 4; ++a)
            p.fontstyle[c][a] = rng.bounded(2);
    if (rng.bounded(2)) {
        p.singleLineComment = pickOf(rng, {"//", "#", "--", "/", ""});
        const QStringList starts{"/*", "(*", "<!--", "{", "/*"};
        const QStringList ends{"*/", "*)", "-->", "}", "/"};
        const int b = rng.bounded(int(starts.size()));
        p.multiLineCommentStart = starts.at(b);
        p.multiLineCommentEnd = ends.at(b);
        p.string1 = pickOf(rng, {"\"", "'", "`", "''", ""});
        p.string2 = pickOf(rng, {"'", "\"", "`", "$"});
        p.ignoreString = pickOf(rng, {"\\\"", "\\'", "\"\"", "", "\\", "Q"});
    }
    return p;
}

QString randomText(QRandomGenerator &rng, const Preferences &p, int approxLength)
{
    const QStringList idents{"x",      "count", "_int", "int_", "$int", "interface_x", "e\u00e9",
                             "String", "ab",    "aaaa", "in2",  "Int",  "NULL",        "nullx"};
    QString t;
    while (t.size() < approxLength) {
        switch (rng.bounded(16)) {
        case 0: t += pickOf(rng, p.arrckeyword.mid(1) + QStringList{"int"}); break;
        case 1: t += pickOf(rng, idents); break;
        case 2: t += pickOf(rng, p.arrcother.mid(1) + p.arrcmore.mid(1) + QStringList{"{"}); break;
        case 3: {
            const QString d = rng.bounded(2) ? p.string1 : p.string2;
            t +=
                d + pickOf(rng, {"abc", "a\\\"b", "\\\\", "it's", "http://x", "/*", "", "\\'"}) + d;
            break;
        }
        case 4: t += QStringLiteral("'x'"); break;
        case 5: t += p.singleLineComment + pickOf(rng, {" it's", " \"q\"", " */", " x"}); break;
        case 6: t += p.multiLineCommentStart; break;
        case 7: t += p.multiLineCommentEnd; break;
        case 8: t += QStringLiteral("\r\n"); break;
        case 9: t += pickOf(rng, {"\n", "\r"}); break;
        case 10: t += p.ignoreString; break;
        case 11: t += pickOf(rng, {"_QLNSpecChar_", "_qlnspecchar_", "\\\"", "\\"}); break;
        case 12:
            t += pickOf(rng, {"\"", "'", "\"\"", "'''", "\"\"\"", p.string1.repeated(3), "\\\\\"",
                              "'\\''"});
            break;
        case 13: t += pickOf(rng, {"/*/", "/**/", "*/*", "//", "{{", "}}"}); break;
        default: t += pickOf(rng, {" ", "  ", "\t", " = ", "(", ")", ";", ".", "+"}); break;
        }
    }
    if (rng.bounded(2))
        t += QStringLiteral("\r\n");
    return t;
}

// The same random formats on both surfaces, so that colour tests see
// strings-, comments- and mixed-coloured markers, and fonts that must stay.
void randomFormats(QRandomGenerator &rng, Surface &a, Surface &b)
{
    const int n = a.length();
    if (n == 0)
        return;
    const int runs = rng.bounded(0, 1 + n / 8);
    for (int i = 0; i < runs; ++i) {
        const int start = rng.bounded(n);
        const int len = rng.bounded(1, 12);
        CharFormat f;
        f.color = pick(rng, kColours);
        f.bold = rng.bounded(2);
        f.italic = rng.bounded(2);
        f.underline = rng.bounded(2);
        if (rng.bounded(4) == 0) {
            f.fontName = QStringLiteral("Mono");
            f.fontSize = 14;
        }
        a.setFormat(start, len, f);
        b.setFormat(start, len, f);
    }
}

// Formats including font name and size: the engine must keep them.
QString compareAll(const Surface &a, const Surface &b)
{
    const QString d = compareFormats(a, b);
    if (!d.isEmpty())
        return d;
    for (int i = 0; i < a.length(); ++i)
        if (!(a.formatAt(i) == b.formatAt(i)))
            return QStringLiteral("font differs at %1").arg(i);
    return QString();
}

int randomPosition(QRandomGenerator &rng, const Surface &s, const std::vector<int> &lfs)
{
    switch (rng.bounded(7)) {
    case 0: return -1;
    case 1: return 0;
    case 2: return s.length();
    case 3: return s.length() + rng.bounded(1, 5);
    case 4: return rng.bounded(s.length() + 1);
    default: return lfs.empty() ? -1 : lfs[size_t(rng.bounded(int(lfs.size())))];
    }
}

} // namespace

class TstFormatRtfDiff : public QObject {
    Q_OBJECT
    Preferences m_factory;

    void compareColourizeAll(const QString &text, const Preferences &p, QRandomGenerator *rng)
    {
        Surface a, b;
        a.setText(text);
        b.setText(text);
        if (rng)
            randomFormats(*rng, a, b);
        RecordingProgress pa, pb;
        pa.setVisible(true);
        pb.setVisible(true);
        ColorizeAllStages(a, p, &pa);
        ref::ColorizeAllStages(b, p, &pb);
        const QString diff = compareAll(a, b);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
        QCOMPARE(a.text(), Surface::normalizeLineBreaks(text));
        QCOMPARE(pa.values, pb.values);
    }

private slots:
    void initTestCase() { m_factory = factoryPreferences(); }

    void colourizeAllOnGeneratedDocuments()
    {
        for (quint32 seed = 1; seed <= 400; ++seed) {
            QRandomGenerator rng(seed);
            const Preferences p = randomPrefs(rng, m_factory);
            const QString text = randomText(rng, p, rng.bounded(0, 2500));
            compareColourizeAll(text, p, rng.bounded(2) ? &rng : nullptr);
            if (QTest::currentTestFailed()) {
                qWarning("seed %u", seed);
                return;
            }
        }
    }

    void singleRoutinesOnGeneratedDocuments()
    {
        for (quint32 seed = 1; seed <= 400; ++seed) {
            QRandomGenerator rng(seed * 7919);
            const Preferences p = randomPrefs(rng, m_factory);
            const QString text = randomText(rng, p, rng.bounded(0, 1500));
            Surface a, b;
            a.setText(text);
            b.setText(text);
            randomFormats(rng, a, b);
            std::vector<int> lfs;
            for (int i = 0; i < a.length(); ++i)
                if (a.text().at(i) == QLatin1Char('\n'))
                    lfs.push_back(i);
            const BgrColor strings = pick(rng, kColours), comments = pick(rng, kColours);
            for (int call = 0; call < 6; ++call) {
                const int kind = rng.bounded(6);
                int s1 = randomPosition(rng, a, lfs), e1 = randomPosition(rng, a, lfs);
                if (kind == 1 && rng.bounded(3)) {
                    // A real line: the line feed before it and the one after.
                    const int i = lfs.empty() ? -1 : rng.bounded(int(lfs.size()) + 1);
                    s1 = i <= 0 ? -1 : lfs[size_t(i - 1)];
                    e1 = i < 0 || i >= int(lfs.size()) ? -1 : lfs[size_t(i)];
                }
                int s2 = s1, e2 = e1;
                const QString textBefore = a.text();
                int ra = 0, rb = 0;
                const QString what = QStringLiteral("seed %1 call %2 kind %3 start %4 end %5")
                                         .arg(seed)
                                         .arg(call)
                                         .arg(kind)
                                         .arg(s1)
                                         .arg(e1);
                switch (kind) {
                case 0: {
                    const int cat = rng.bounded(1, 4);
                    int count = 0;
                    const QStringList words = randomList(rng, m_factory.arrckeyword, count);
                    const BgrColor c = pick(rng, kColours);
                    RecordingProgress pa, pb;
                    pa.setVisible(true);
                    pb.setVisible(true);
                    ra = ColorWordList(words, count, p.fontstyle, cat, s1, e1, a, c, &pa, 2.5, 3);
                    rb = ref::ColorWordList(words, count, p.fontstyle, cat, s2, e2, b, c, &pb, 2.5,
                                            3);
                    QVERIFY2(pa.values == pb.values, qPrintable(what));
                    break;
                }
                case 1:
                    ColorLine(s1, e1, a, p.string1, p.string2, p.ignoreString, kIgnorePlaceholder,
                              p.singleLineComment, strings, comments, p.fontstyle, 4, 5);
                    ref::ColorLine(s2, e2, b, p.string1, p.string2, p.ignoreString,
                                   kIgnorePlaceholder, p.singleLineComment, strings, comments,
                                   p.fontstyle, 4, 5);
                    break;
                case 2: {
                    const QString d = rng.bounded(2) ? p.string1 : p.string2;
                    ra = ColorStringSpan(p.fontstyle, 4, d, strings, s1, e1, a);
                    rb = ref::ColorStringSpan(p.fontstyle, 4, d, strings, s2, e2, b);
                    break;
                }
                case 3:
                    ColorBlockComments(s1, e1, a, p.fontstyle, 5, strings, comments,
                                       p.multiLineCommentStart, p.multiLineCommentEnd);
                    ref::ColorBlockComments(s2, e2, b, p.fontstyle, 5, strings, comments,
                                            p.multiLineCommentStart, p.multiLineCommentEnd);
                    break;
                case 4:
                    if (s1 < 0 || e1 < 0)
                        continue; // the exchange routines take real positions
                    ra = MaskIgnoreText(s1, e1, a, p.ignoreString, kIgnorePlaceholder);
                    rb = ref::MaskIgnoreText(s2, e2, b, p.ignoreString, kIgnorePlaceholder);
                    QVERIFY2(ra == rb, qPrintable(what));
                    ra = UnmaskIgnoreText(s1, ra, a, p.ignoreString, kIgnorePlaceholder);
                    rb = ref::UnmaskIgnoreText(s2, rb, b, p.ignoreString, kIgnorePlaceholder);
                    break;
                case 5: {
                    // The rest of each closing line is handed back: both
                    // engines must hand back the same pieces.
                    QList<int> pa, pb;
                    auto mark = [](Surface &s, QList<int> &pieces) {
                        return [&s, &pieces](int from, int lineFeed) {
                            pieces << from << lineFeed;
                            s.setFormat(from, (lineFeed < 0 ? s.length() : lineFeed) - from,
                                        CharFormat{0x654321, true, false, false, QString(), 0});
                        };
                    };
                    ColorTextBlocks(a, p.string1, p.string2, p.ignoreString, p.fontstyle, 4,
                                    strings, comments, p.multiLineCommentStart,
                                    p.multiLineCommentEnd, mark(a, pa));
                    ref::ColorTextBlocks(b, p.string1, p.string2, p.ignoreString, p.fontstyle, 4,
                                         strings, comments, p.multiLineCommentStart,
                                         p.multiLineCommentEnd, mark(b, pb));
                    QVERIFY2(pa == pb, qPrintable(what + QStringLiteral(": lines handed back")));
                    break;
                }
                }
                QVERIFY2(ra == rb,
                         qPrintable(what + QStringLiteral(": returned %1 vs %2").arg(ra).arg(rb)));
                QVERIFY2(s1 == s2 && e1 == e2,
                         qPrintable(what
                                    + QStringLiteral(": by reference %1,%2 vs %3,%4")
                                          .arg(s1)
                                          .arg(e1)
                                          .arg(s2)
                                          .arg(e2)));
                const QString diff = compareAll(a, b);
                QVERIFY2(diff.isEmpty(), qPrintable(what + QStringLiteral(": ") + diff));
                // Only the exchange routines change the text.
                if (kind != 4)
                    QVERIFY2(a.text() == textBefore,
                             qPrintable(what + QStringLiteral(": text changed")));
            }
        }
    }

    void colourizeAllOnRealJava_data()
    {
        QTest::addColumn<int>("variant");
        row("factory settings", 0);
        row("keywords not whole words, equal string and comment colours", 1);
    }
    void colourizeAllOnRealJava()
    {
        QFETCH(int, variant);
        const QString src = test::kitJavaSource(variant == 0 ? 400000 : 150000);
        QLN_REQUIRE_KIT(!src.isEmpty(), "a Java kit with lib/src.zip");
        Preferences p = m_factory;
        if (variant == 1) {
            p.fontstyle[1][4] = false;
            p.ccommentscolor = p.cstringscolor;
            p.arrcmore << QStringLiteral("(") << QStringLiteral("*");
            p.cmorecount += 2;
        }
        compareColourizeAll(src, p, nullptr);
    }
};

QTEST_GUILESS_MAIN(TstFormatRtfDiff)
#include "tst_formatrtf_diff.moc"
