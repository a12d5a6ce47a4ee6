// The surface against input it must not trust or cannot hold: formatted
// clipboard data from other programs, pastes onto either half of a line
// break, more distinct formats than a 16-bit index holds, bulk edits with
// pieces outside the text or a result beyond the int positions.
#include "support/datarow.h"
#include "surface/surface.h"

#include <QDataStream>
#include <QMimeData>
#include <QTest>
#include <cmath>
#include <limits>

using namespace qln;

namespace {

const QString kFormatted = QStringLiteral("application/x-quillon-formatted");

struct Run {
    qint32 length;
    bool bold = true;
    double size = 12;
};

// Formatted data as the surface writes it, with any runs and sizes.
QMimeData *formatted(const QString &text, const std::vector<Run> &runs, bool withText = true,
                     int claimedRuns = -1)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << text << quint32(claimedRuns >= 0 ? claimedRuns : int(runs.size()));
    for (const Run &r : runs)
        out << r.length << quint32(0x0000FF) << r.bold << false << false << QStringLiteral("Mono")
            << r.size;
    auto *data = new QMimeData;
    data->setData(kFormatted, bytes);
    if (withText)
        data->setText(text);
    return data;
}

// One letter per character: B bold, . not bold.
QString boldMap(const Surface &s)
{
    QString out;
    for (int i = 0; i < s.length(); ++i)
        out += s.formatAt(i).bold ? QLatin1Char('B') : QLatin1Char('.');
    return out;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<Run>)
Q_DECLARE_METATYPE(std::vector<Surface::Piece>)

class TstSurfaceLimits : public QObject {
    Q_OBJECT
private slots:
    void untrustedFormattedPaste_data()
    {
        columns<QString, std::vector<Run>, int, bool>("text", "runs", "claimedRuns",
                                                      "formatsTaken");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        const qint32 big = std::numeric_limits<qint32>::max();
        row("well formed", "hello", std::vector<Run>{{2}, {3, false}}, -1, true);
        row("empty runs", "hello", std::vector<Run>{{0}, {5}, {0}}, -1, true);
        row("negative then long run", "hello", std::vector<Run>{{-100000}, {100005}}, -1, false);
        row("run past the text", "hello", std::vector<Run>{{6}}, -1, false);
        row("runs short of the text", "hello", std::vector<Run>{{4}}, -1, false);
        row("sum wraps the int range", "hello", std::vector<Run>{{big}, {big}, {2}, {5}}, -1,
            false);
        row("NaN size", "hello", std::vector<Run>{{5, true, nan}}, -1, false);
        row("infinite size", "hello", std::vector<Run>{{5, true, inf}}, -1, false);
        row("negative size", "hello", std::vector<Run>{{5, true, -3}}, -1, false);
        row("huge size", "hello", std::vector<Run>{{5, true, 1e300}}, -1, false);
        row("zero size", "hello", std::vector<Run>{{5, true, 0}}, -1, false);
        row("fewer runs than claimed", "hello", std::vector<Run>{{5}}, 3, false);
        row("bare line feed", "a\nb", std::vector<Run>{{3}}, -1, false);
    }
    void untrustedFormattedPaste()
    {
        QFETCH(QString, text);
        QFETCH(std::vector<Run>, runs);
        QFETCH(int, claimedRuns);
        QFETCH(bool, formatsTaken);
        for (bool withText : {true, false}) {
            Surface s;
            s.setText(QStringLiteral("[]"));
            s.setSelStart(1);
            std::unique_ptr<QMimeData> data(formatted(text, runs, withText, claimedRuns));
            s.insertMimeData(data.get(), true);
            if (formatsTaken) {
                QCOMPARE(s.text(), QStringLiteral("[hello]"));
                QCOMPARE(boldMap(s), runs.front().length == 2 ? QStringLiteral(".BB....")
                                                              : QStringLiteral(".BBBBB."));
                QCOMPARE(s.formatAt(1).fontSize, 12.0);
            } else if (withText) {
                // Pasted as plain text, in the format for typed text.
                QCOMPARE(s.text(), QStringLiteral("[") + Surface::normalizeLineBreaks(text)
                                       + QStringLiteral("]"));
                QVERIFY(!boldMap(s).contains(QLatin1Char('B')));
            } else {
                QCOMPARE(s.text(), QStringLiteral("[]")); // nothing usable on the clipboard
            }
        }
    }

    void formattedPasteOnLineBreak_data()
    {
        columns<QString, int, int>("text", "selStart", "selLength");
        row("the LF selected, line break last", "a\r\n", 2, 1);
        row("the LF selected, text after", "a\r\nbc", 2, 1);
        row("caret on the LF", "a\r\nbc", 2, 0);
        row("the CR selected", "a\r\nbc", 1, 1);
        row("from the LF on", "a\r\nbc", 2, 3);
        row("up to the CR", "xa\r\nbc", 1, 2);
    }
    void formattedPasteOnLineBreak()
    {
        QFETCH(QString, text);
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        // The plain paste shows where the text goes; the formatted one must
        // put the same text there with its formats on exactly those characters.
        Surface plain, rich;
        for (Surface *s : {&plain, &rich}) {
            s->setText(text);
            s->setSelection(selStart, selLength);
        }
        std::unique_ptr<QMimeData> data(formatted(QStringLiteral("XY"), {{2}}));
        plain.insertMimeData(data.get(), false);
        rich.insertMimeData(data.get(), true);
        QCOMPARE(rich.text(), plain.text());
        QCOMPARE(rich.selStart(), plain.selStart());
        const int at = plain.selStart() - 2;
        QCOMPARE(plain.text().mid(at, 2), QStringLiteral("XY"));
        QString expected(rich.length(), QLatin1Char('.'));
        expected[at] = expected[at + 1] = QLatin1Char('B');
        QCOMPARE(boldMap(rich), expected);
        // Undo gives the text back.
        rich.undo();
        QCOMPARE(rich.text(), text);
    }

    void manyDistinctFormats_data()
    {
        columns<int, bool>("count", "bySelection");
        row("66,000 by selection", 66000, true);
        row("70,000 by style ranges", 70000, false);
    }
    void manyDistinctFormats()
    {
        QFETCH(int, count);
        QFETCH(bool, bySelection);
        Surface s;
        s.setText(QString(count, QLatin1Char('x')));
        for (int i = 0; i < count; ++i) {
            if (bySelection) {
                s.setSelection(i, 1);
                s.setSelColor(BgrColor(i + 1));
            } else {
                s.setStyleRanges({{i, 1}}, Surface::TextStyle{BgrColor(i + 1), i % 2 == 0});
            }
        }
        int wrong = 0;
        for (int i = 0; i < count; ++i)
            wrong += s.formatAt(i).color != BgrColor(i + 1);
        QCOMPARE(wrong, 0);
        // Undo keeps formats by index too: an edit and its undo leave every
        // colour as it was.
        s.setSelection(10, 5);
        s.setSelText(QString());
        s.undo();
        for (int i = 0; i < 20; ++i)
            QCOMPARE(s.formatAt(i).color, BgrColor(i + 1));
    }

    void bulkEditRefusesBadPieces_data()
    {
        using Piece = Surface::Piece;
        QTest::addColumn<std::vector<Piece>>("pieces");
        const int max = std::numeric_limits<int>::max();
        row("negative length", std::vector<Piece>{{0, -1, {}, -1}});
        row("very negative length", std::vector<Piece>{{2, -2000000000, {}, -1}});
        row("huge length", std::vector<Piece>{{0, max, {}, -1}});
        row("past the end", std::vector<Piece>{{3, 8, {}, -1}});
        row("source at the int limit", std::vector<Piece>{{max, 1, {}, -1}});
        row("good piece then bad", std::vector<Piece>{{0, 2, {}, -1}, {1, -1, {}, -1}});
    }
    void bulkEditRefusesBadPieces()
    {
        QFETCH(std::vector<Surface::Piece>, pieces);
        Surface s;
        s.setText(QStringLiteral("abc\r\ndef"));
        s.setSelStart(1);
        s.setSelText(QStringLiteral("!"));
        const QString before = s.text();
        QVERIFY(!s.replacePieces(0, 4, pieces));
        QCOMPARE(s.text(), before);
        s.undo();
        QCOMPARE(s.text(), QStringLiteral("abc\r\ndef"));
    }

    void editsBeyondIntPositionsAreRefused()
    {
        // 2,100 copies of a 1 MB text would pass 2^31 characters: refused
        // before anything is built.
        Surface s;
        const QString mb(1 << 20, QLatin1Char('a'));
        s.setText(mb);
        std::vector<Surface::Piece> pieces(2100, Surface::Piece{0, int(mb.size()), {}, -1});
        QVERIFY(!s.replacePieces(0, s.length(), pieces));
        QCOMPARE(s.length(), int(mb.size()));
        QVERIFY(!s.canUndo());
        // Within the limit the same kind of edit works.
        pieces.resize(3);
        QVERIFY(s.replacePieces(0, s.length(), pieces));
        QCOMPARE(s.length(), 3 * int(mb.size()));
        QCOMPARE(s.lineCount(), 1);
    }
};

QTEST_GUILESS_MAIN(TstSurfaceLimits)
#include "tst_surfacelimits.moc"
