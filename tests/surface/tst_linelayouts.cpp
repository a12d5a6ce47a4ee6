// The line-layout cache without a window (this test links the core library
// only): a surface's lines laid out at a width, their heights, where each
// position shows and which position lies at a point, wrapping, long lines
// in pieces and the seams between them, and what an edit lays out again.
#include "support/datarow.h"
#include "support/javatext.h"
#include "support/seed.h"
#include "surface/linelayouts.h"
#include "surface/surface.h"
#include "surface/surfacerenderer.h"

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QTest>

using namespace qln;

namespace {

using test::wordyLine;

// A cache that follows its surface's edits as a view's does.
struct Follower {
    explicit Follower(Surface &s) : layouts(s)
    {
        QObject::connect(&s, &Surface::textReplaced, &s,
                         [this](int pos, int removed, int breaks, int added, bool) {
                             layouts.textReplaced(pos, removed, breaks, added, true);
                         });
        QObject::connect(&s, &Surface::formatsChanged, &s,
                         [this](int start, int length) { layouts.formatsChanged(start, length); });
    }
    LineLayouts layouts;
};

// The caret positions of a line, first to last.
std::vector<int> positionsOf(const Surface &s, const LineLayouts &l, int line)
{
    std::vector<int> out{s.lineIndex(line)};
    const int end = s.lineIndex(line) + s.lineLength(line);
    while (out.back() < end)
        out.push_back(l.nextPosition(out.back()));
    return out;
}

} // namespace

// Where each row of a line starts, wrapped at `width` as one layout.
std::vector<int> rowStartsOfOneLayout(const QString &text, const QFont &font, int width)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setTabStopDistance(LineLayouts::kTabStop);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    std::vector<int> starts;
    layout.beginLayout();
    for (QTextLine tl = layout.createLine(); tl.isValid(); tl = layout.createLine()) {
        tl.setLineWidth(width);
        starts.push_back(tl.textStart());
    }
    layout.endLayout();
    return starts;
}

// Where each row of the cache's line 0 starts, walking down its rows.
std::vector<int> rowStartsOf(const LineLayouts &l)
{
    std::vector<int> starts;
    int line = 0;
    size_t piece = 0;
    int row = 0;
    do
        starts.push_back(l.positionInLine(0, 0, int(piece), row));
    while (l.stepRow(line, piece, row, 1) && line == 0);
    return starts;
}

class TstLineLayouts : public QObject {
    Q_OBJECT
private slots:
    void positionsCountLineBreaksAsTwo()
    {
        Surface s;
        const QString pair = QString::fromUcs4(U"\U0001F600");
        s.setText(QStringLiteral("int a;\r\n\tb = 1;\r\n\r\nx") + pair
                  + QStringLiteral("e\u0301y"));
        LineLayouts l(s);
        QCOMPARE(s.lineIndex(1), 8);
        for (int line = 0; line < s.lineCount(); ++line) {
            // Unlaid lines count as one row; laid out, they are one row still
            // (the emoji's font may make its line a little taller).
            QCOMPARE(l.lineHeight(line), l.lineSpacing());
            QVERIFY(l.lineWidth(line) >= 0);
            if (line < 3)
                QCOMPARE(l.lineHeight(line), l.lineSpacing());
            QVERIFY(l.lineHeight(line) < 2 * l.lineSpacing());
            const std::vector<int> at = positionsOf(s, l, line);
            double last = -1;
            for (int pos : at) {
                const LineLayouts::Place place = l.placeOf(pos);
                QCOMPARE(place.y, 0.0);
                QCOMPARE(place.row, 0);
                QVERIFY2(place.x > last, qPrintable(QString::number(pos)));
                last = place.x;
                // The point where a position shows finds it again.
                QCOMPARE(l.positionInLine(line, place.x), pos);
            }
            QVERIFY(std::abs(last - l.lineWidth(line)) < 1);
            // Left of the text and far right of it: its ends, the line break
            // never included.
            QCOMPARE(l.positionInLine(line, -20), at.front());
            QCOMPARE(l.positionInLine(line, 1e6), at.back());
        }
        // A tab ends on a tab stop.
        QCOMPARE(l.xOfPosition(9), LineLayouts::kTabStop);
        // Inside CR LF the caret stands before the pair; steps go over it whole.
        QCOMPARE(s.lineFromChar(7), 0);
        QCOMPARE(l.snapPosition(7), 6);
        QCOMPARE(l.nextPosition(6), 8);
        QCOMPARE(l.previousPosition(8), 6);
        QCOMPARE(l.nextPosition(15), 17); // a line's end to the next line's start
        QCOMPARE(l.nextPosition(17), 19); // over an empty line
        // A surrogate pair and a letter with its accent are one step each.
        const int x = s.lineIndex(3);
        QCOMPARE(l.nextPosition(x + 1), x + 3);
        QCOMPARE(l.snapPosition(x + 2), x + 1);
        QCOMPARE(l.nextPosition(x + 3), x + 5);
        QCOMPARE(l.previousPosition(x + 5), x + 3);
    }
    void wrappedRowsStackAndRoundTrip()
    {
        Surface s;
        s.setText(wordyLine(600) + QStringLiteral("\r\nshort"));
        LineLayouts l(s);
        l.setWrapWidth(200);
        const double spacing = l.lineSpacing();
        QCOMPARE(l.lineHeight(1), spacing);
        QVERIFY(l.lineWidth(0) <= 200);
        // Positions go on rightwards along a row, then to the next row's start.
        std::vector<double> rowY;
        LineLayouts::Place before;
        for (int pos : positionsOf(s, l, 0)) {
            const LineLayouts::Place at = l.placeOf(pos);
            QVERIFY(at.x <= 200);
            if (pos == 0 || at.row != before.row) {
                QCOMPARE(at.row, int(rowY.size()));
                QVERIFY(rowY.empty() || at.y >= rowY.back() + before.height);
                rowY.push_back(at.y);
            } else {
                QVERIFY(at.x > before.x);
                QCOMPARE(at.y, rowY.back());
            }
            QCOMPARE(l.positionInLine(0, at.x, int(at.piece), at.row), pos);
            QCOMPARE(l.rowAtY(0, at.y + at.height / 2).row, at.row);
            before = at;
        }
        const int rows = int(rowY.size());
        QVERIFY2(rows > 3, qPrintable(QString::number(rows)));
        QCOMPARE(l.lineHeight(0), std::max(spacing, std::ceil(rowY.back() + before.height)));
        // Far right of a row that is not the last: the caret stays on it.
        for (int row = 0; row < rows - 1; ++row)
            QCOMPARE(l.placeOf(l.positionInLine(0, 1e6, 0, row)).row, row);
        // Row by row down through the line and on to the next one.
        int line = 0, row = 0;
        size_t piece = 0;
        for (int r = 1; r < rows; ++r) {
            QVERIFY(l.stepRow(line, piece, row, 1));
            QCOMPARE(l.rowTop(line, piece, row), rowY[size_t(r)]);
        }
        QVERIFY(l.stepRow(line, piece, row, 1));
        QCOMPARE(line, 1);
        QVERIFY(!l.stepRow(line, piece, row, 1));
        QVERIFY(l.stepRow(line, piece, row, -1));
        QCOMPARE(row, rows - 1);
        // No wrapping again: one row, everything laid out afresh.
        const quint64 built = l.layoutsBuilt();
        l.setWrapWidth(0);
        QCOMPARE(l.lineHeight(0), spacing);
        QVERIFY(l.lineWidth(0) > 1000);
        QCOMPARE(l.layoutsBuilt(), built + 1);
    }
    void tabsLineUpAcrossPieces()
    {
        // "ab" and a tab, again and again: every tab ends on the tab grid, also
        // where the line is laid out in separate pieces.
        Surface s;
        const QString line = QStringLiteral("ab\t").repeated(3000);
        s.setText(line);
        LineLayouts l(s);
        const LineLayouts::Line &entry = l.line(0);
        QVERIFY(entry.chunked);
        QVERIFY(entry.pieces.size() >= 4);
        for (const LineLayouts::Piece &p : entry.pieces) {
            QVERIFY(p.length <= LineLayouts::kChunk);
            // Pieces end just after a tab, so the next starts on a stop.
            QCOMPARE(s.at(p.start + p.length - 1), QLatin1Char('\t'));
        }
        const double grid = l.xOfPosition(3);
        QCOMPARE(grid, LineLayouts::kTabStop);
        // Walking along the line (so the pieces before are measured), each tab
        // ends one grid step after the one before it.
        for (int unit = 1; unit < 3000; unit += unit < 600 || unit > 1500 ? 97 : 1)
            QCOMPARE(l.xOfPosition(3 * unit) - l.xOfPosition(3 * unit - 3), grid);
        // Text before a piece's first tab does not push it off the grid.
        QString mixed;
        for (int i = 0; i < 3000; ++i)
            mixed += i % 200 == 0 ? QStringLiteral("ab\t") : QStringLiteral("abc");
        s.setText(mixed);
        l.clear();
        for (int unit = 0; unit < 3000; unit += 50)
            l.xOfPosition(3 * unit); // measured in order
        for (int unit = 200; unit < 3000; unit += 200) {
            const double x = l.xOfPosition(3 * unit + 3);
            QVERIFY2(std::abs(x - grid * std::round(x / grid)) < 0.01,
                     qPrintable(QStringLiteral("unit %1 x %2").arg(unit).arg(x)));
        }
    }
    void seamsKeepCharactersWhole()
    {
        // Surrogate pairs and letters with two accents, no tab or blank to cut
        // at: pieces still begin on a whole character, and across every seam
        // positions go on rightwards and are found again at their x.
        Surface s;
        QString line;
        for (int i = 0; i < 2500; ++i)
            line += i % 3 ? QString::fromUcs4(U"\U0001F600") : QStringLiteral("e\u0301\u0302");
        s.setText(line + QStringLiteral("\r\nnext"));
        LineLayouts l(s);
        const LineLayouts::Line &entry = l.line(0);
        QVERIFY(entry.pieces.size() >= 3);
        QCOMPARE(entry.pieces.back().start + entry.pieces.back().length, int(line.size()));
        for (size_t i = 1; i < entry.pieces.size(); ++i) {
            const int seam = entry.pieces[i].start;
            QCOMPARE(entry.pieces[i - 1].start + entry.pieces[i - 1].length, seam);
            QVERIFY(!s.at(seam).isLowSurrogate() && !s.at(seam).isMark());
            int pos = seam;
            for (int k = 0; k < 6; ++k)
                pos = l.previousPosition(pos);
            double last = -1;
            for (int k = 0; k < 12; ++k, pos = l.nextPosition(pos)) {
                const double x = l.xOfPosition(pos);
                QVERIFY2(x > last, qPrintable(QStringLiteral("%1 at %2").arg(pos).arg(x)));
                last = x;
                QCOMPARE(l.positionInLine(0, x + 0.4), pos);
            }
        }
        QCOMPARE(l.positionInLine(0, 1e6), int(line.size()));
    }
    void wrappedPiecesFollowOneAnother()
    {
        // Across the first few piece borders of a wrapped long line every
        // position shows after the one before it (later on its row or on a row
        // below, never back over earlier text), and its point finds it again.
        Surface s;
        s.setText(wordyLine(20000) + QStringLiteral("\r\nafter"));
        LineLayouts l(s);
        l.setWrapWidth(300);
        QVERIFY(l.line(0).pieces.size() > 5);
        LineLayouts::Place last;
        last.y = -1;
        int rows = 0;
        for (int pos = 1500; pos < 7000; ++pos) {
            const LineLayouts::Place at = l.placeOf(pos);
            QCOMPARE(l.positionInLine(0, at.x, int(at.piece), at.row), pos);
            if (last.y >= 0) {
                const bool later = at.y == last.y ? at.x > last.x : at.y >= last.y + at.height;
                QVERIFY2(later, qPrintable(QStringLiteral("%1 at %2,%3 after %4,%5")
                                               .arg(pos)
                                               .arg(at.x)
                                               .arg(at.y)
                                               .arg(last.x)
                                               .arg(last.y)));
                rows += at.y > last.y;
            }
            last = at;
        }
        QVERIFY(rows > 50);
        // The line is as tall as its pieces' rows together.
        double height = 0;
        for (const LineLayouts::Piece &p : l.line(0).pieces)
            height += p.height;
        QCOMPARE(l.lineHeight(0), height);
    }
    void wrappedLongLineBreaksAsOneLayout_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lookFirst"); // a position laid out before the walk
        row("words", wordyLine(10500), 0);
        row("words, the middle laid out first", wordyLine(10500), 6000);
        QString tabs;
        while (tabs.size() < 9000)
            tabs += QStringLiteral("\tif (a) {\tb = c;\t} ");
        row("tabs", tabs, 0);
        row("one long word", QString(9000, QLatin1Char('x')), 4500);
    }
    void wrappedLongLineBreaksAsOneLayout()
    {
        // A long line comes in pieces, but where it wraps no row ends early at
        // a piece's border: its rows start where those of the whole line laid
        // out at once start, before and after edits near the borders.
        QFETCH(QString, text);
        QFETCH(int, lookFirst);
        Surface s;
        s.setText(text + QStringLiteral("\r\nafter"));
        Follower f(s);
        LineLayouts &l = f.layouts;
        const int width = 300;
        l.setWrapWidth(width);
        QVERIFY(l.line(0).chunked);
        l.placeOf(lookFirst);
        QCOMPARE(rowStartsOf(l), rowStartsOfOneLayout(s.lineText(0), l.font(), width));
        for (int at : {2048, 4090, 100, 6150}) {
            s.replace(at, 0, QStringLiteral("ab "));
            l.placeOf(at);
            QCOMPARE(rowStartsOf(l), rowStartsOfOneLayout(s.lineText(0), l.font(), width));
            s.replace(at + 1, 5, QString());
            QCOMPARE(rowStartsOf(l), rowStartsOfOneLayout(s.lineText(0), l.font(), width));
        }
        // A word typed a letter at a time near a border, rows followed as the
        // view follows them.
        const int at = int(l.line(0).pieces[1].start) - 3;
        for (int i = 0; i < 60; ++i) {
            s.replace(at + i, 0, QStringLiteral("a"));
            l.placeOf(at + i + 1);
        }
        QCOMPARE(rowStartsOf(l), rowStartsOfOneLayout(s.lineText(0), l.font(), width));
        // Each row's text shows at the left edge, one row below the last.
        double y = -1;
        for (int start : rowStartsOf(l)) {
            const LineLayouts::Place at = l.placeOf(start);
            QCOMPARE(at.x, 0.0);
            QVERIFY(at.y > y);
            y = at.y;
        }
    }
    void editsLayOutOnlyWhatChanged()
    {
        Surface s;
        QString text = test::numbered(QStringLiteral("int value%1 = %1;\r\n"), 200);
        s.setText(text + wordyLine(10000));
        Follower f(s);
        LineLayouts &l = f.layouts;
        QImage image(600, 20 * int(l.lineSpacing()), QImage::Format_RGB32);
        SurfaceRenderer renderer(l);
        SurfaceRenderer::Frame frame;
        frame.width = image.width();
        frame.height = image.height();
        auto paint = [&] {
            QPainter painter(&image);
            renderer.paint(painter, QRegion(image.rect()), frame);
        };
        for (int line = 0; line < 45; ++line)
            l.lineWidth(line);
        quint64 before = l.layoutsBuilt();
        QCOMPARE(before, quint64(45));
        paint(); // painting lines laid out lays out nothing
        QCOMPARE(l.layoutsBuilt(), before);

        // A character typed into a line: that line.
        const double end4 = l.xOfPosition(s.lineIndex(4) + s.lineLength(4));
        s.replace(s.lineIndex(4) + 3, 0, QStringLiteral("x"));
        paint();
        QCOMPARE(l.layoutsBuilt(), before + 1);
        QVERIFY(l.xOfPosition(s.lineIndex(4) + s.lineLength(4)) > end4);
        // A line split in two: those two; the lines below keep theirs.
        before = l.layoutsBuilt();
        s.replace(s.lineIndex(8) + 5, 0, QStringLiteral("\r\n"));
        paint();
        QCOMPARE(l.layoutsBuilt(), before + 2);
        // Two lines joined: the joined one.
        before = l.layoutsBuilt();
        s.replace(s.lineIndex(10) + 2, s.lineIndex(12) - s.lineIndex(10), QString());
        paint();
        QCOMPARE(l.layoutsBuilt(), before + 1);
        // One line coloured bold: that line, now wider.
        before = l.layoutsBuilt();
        const double width = l.lineWidth(14);
        CharFormat bold;
        bold.bold = true;
        s.setFormat(s.lineIndex(14), s.lineLength(14), bold);
        paint();
        QCOMPARE(l.layoutsBuilt(), before + 1);
        QVERIFY(l.lineWidth(14) > width);
        // A keystroke in the middle of a long line: the piece it lands in.
        const int lng = s.lineCount() - 1;
        const int mid = s.lineIndex(lng) + 5000;
        l.xOfPosition(mid);
        before = l.layoutsBuilt();
        const double after = l.xOfPosition(mid + 300);
        s.replace(mid, 0, QStringLiteral("WW"));
        QVERIFY(l.xOfPosition(mid + 302) > after);
        QCOMPARE(l.layoutsBuilt(), before + 1);
        // Text being composed shows at its place and moves what follows it.
        const int at = s.lineIndex(2) + 4;
        const double x = l.xOfPosition(at), next = l.xOfPosition(at + 1);
        before = l.layoutsBuilt();
        l.setPreedit(at, QStringLiteral("ni"), 2, {});
        QVERIFY(l.xOfPosition(at) > x); // the caret after the composed text
        QVERIFY(l.xOfPosition(at + 1) > next);
        QCOMPARE(l.layoutsBuilt(), before + 1);
        l.setPreedit(-1, QString(), 0, {});
        QCOMPARE(l.xOfPosition(at + 1), next);
        // The whole text replaced: nothing kept.
        s.setText(QStringLiteral("short"));
        QVERIFY(!l.has(0) && !l.has(4));
        QCOMPARE(l.widest(), 0.0);
    }
    void randomEditsMatchAFreshCache_data()
    {
        QTest::addColumn<int>("wrap");
        row("lines as they are", 0);
        row("lines wrapping", 240);
    }
    void randomEditsMatchAFreshCache()
    {
        // Edits of every kind at random places (typed characters, line breaks
        // added and removed, lines replaced by as many, colours, a long line
        // edited): after each, the lines the cache kept measure and place text
        // exactly as a cache built afresh does.
        QFETCH(int, wrap);
        Surface s;
        QString text;
        for (int i = 0; i < 60; ++i)
            text += (i == 30 ? wordyLine(9000) : QStringLiteral("int v%1 = %1;").arg(i))
                    + QStringLiteral("\r\n");
        s.setText(text);
        Follower f(s);
        LineLayouts &l = f.layouts;
        l.setWrapWidth(wrap);
        test::SeededRandom rng;
        auto check = [&](int step) {
            LineLayouts fresh(s);
            fresh.setWrapWidth(wrap);
            for (int line = 0; line < s.lineCount(); line += 3) {
                const int start = s.lineIndex(line), end = start + s.lineLength(line);
                const QString where = QStringLiteral("step %1 line %2").arg(step).arg(line);
                const LineLayouts::Line &entry = l.line(line);
                if (entry.chunked) {
                    // A long line's pieces, however edits cut them, tile it.
                    QCOMPARE(entry.length, s.lineLength(line));
                    int col = 0;
                    for (const LineLayouts::Piece &p : entry.pieces) {
                        QCOMPARE(p.start, col);
                        col += p.length;
                    }
                    QCOMPARE(col, entry.length);
                } else {
                    QVERIFY2(std::abs(l.lineWidth(line) - fresh.lineWidth(line)) < 0.01,
                             qPrintable(where));
                    QVERIFY2(std::abs(l.lineHeight(line) - fresh.lineHeight(line)) < 0.01,
                             qPrintable(where));
                }
                for (int pos : {start, (start + end) / 2, end}) {
                    pos = l.snapPosition(pos);
                    const LineLayouts::Place a = l.placeOf(pos), b = fresh.placeOf(pos);
                    QVERIFY2(l.positionInLine(line, a.x, int(a.piece), a.row) == pos,
                             qPrintable(where + QStringLiteral(" pos %1").arg(pos)));
                    const bool same = std::abs(a.x - b.x) < 0.01 && std::abs(a.y - b.y) < 0.01;
                    QVERIFY2(entry.chunked || same,
                             qPrintable(where + QStringLiteral(" pos %1").arg(pos)));
                }
            }
        };
        for (int step = 0; step < 120; ++step) {
            const int line = rng.bounded(s.lineCount());
            const int start = s.lineIndex(line);
            const int at = start + rng.bounded(s.lineLength(line) + 1);
            switch (rng.bounded(6)) {
            case 0: s.replace(at, 0, QStringLiteral("q")); break;
            case 1: s.replace(at, 0, QStringLiteral("\r\n")); break;
            case 2: // to some way into the line below
                s.replace(at, std::min(s.length(), at + rng.bounded(40)) - at, QString());
                break;
            case 3: { // three lines by three others, one changed
                const int last = std::min(s.lineCount() - 1, line + 2);
                QStringList lines;
                for (int k = line; k <= last; ++k)
                    lines << s.lineText(k) + (k == line + 1 ? QStringLiteral("!") : QString());
                s.replace(start, s.lineIndex(last) + s.lineLength(last) - start,
                          lines.join(QStringLiteral("\r\n")));
                break;
            }
            case 4: {
                CharFormat format;
                format.bold = rng.bounded(2);
                format.color = rng.bounded(2) ? 255 : 0;
                s.setFormat(at, rng.bounded(30), format);
                break;
            }
            default: {
                const int found = s.indexOf(QStringLiteral("value = count"), 0);
                const int longLine = found >= 0 ? s.lineFromChar(found) : 0;
                if (found >= 0 && s.lineLength(longLine) > LineLayouts::kLongLine)
                    s.replace(s.lineIndex(longLine) + rng.bounded(s.lineLength(longLine)), 0,
                              QStringLiteral("zz "));
                break;
            }
            }
            if (step % 8 == 0)
                check(step);
            if (QTest::currentTestFailed())
                return;
        }
        check(120);
    }
};

QTEST_MAIN(TstLineLayouts)
#include "tst_linelayouts.moc"
