// Surface::replacePieces, the one-edit rebuild of a range that the bulk
// commands use: kept text keeps its formats, new text takes the format of
// the named character, it is one undo step, and line breaks stay whole.
#include "surface/surface.h"

#include <QSignalSpy>
#include <QTest>

using namespace qln;
using Piece = Surface::Piece;

namespace {

CharFormat colour(BgrColor c)
{
    CharFormat f;
    f.color = c;
    return f;
}

std::vector<BgrColor> colours(const Surface &s)
{
    std::vector<BgrColor> out;
    for (int i = 0; i < s.length(); ++i)
        out.push_back(s.formatAt(i).color);
    return out;
}

} // namespace

class TestReplacePieces : public QObject {
    Q_OBJECT
private slots:
    void keepsAndInsertsWithFormats()
    {
        Surface s;
        s.setText(QStringLiteral("abc\r\ndef"));
        s.setFormat(0, 3, colour(1));
        s.setFormat(3, 2, colour(2));
        s.setFormat(5, 3, colour(3));
        QSignalSpy replaced(&s, &Surface::textReplaced);
        QSignalSpy changed(&s, &Surface::changed);
        // "a" + "XY" (format of "c") + "\r\nd" + "Z" (format of the CR) + "f"
        s.replacePieces(0, 8,
                        {Piece{0, 1, {}, -1}, Piece{-1, 0, QStringLiteral("XY"), 2},
                         Piece{3, 3, {}, -1}, Piece{-1, 0, QStringLiteral("Z"), 3},
                         Piece{7, 1, {}, -1}});
        QCOMPARE(s.text(), QStringLiteral("aXY\r\ndZf"));
        QCOMPARE(colours(s), (std::vector<BgrColor>{1, 1, 1, 2, 2, 3, 2, 3}));
        QCOMPARE(replaced.count(), 1);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(s.selStart(), 8);
        QCOMPARE(s.lineCount(), 2);
        QCOMPARE(s.lineIndex(1), 5);

        // One undo step brings text and formats back; redo repeats it.
        s.undo();
        QCOMPARE(s.text(), QStringLiteral("abc\r\ndef"));
        QCOMPARE(colours(s), (std::vector<BgrColor>{1, 1, 1, 2, 2, 3, 3, 3}));
        QVERIFY(!s.canUndo());
        s.redo();
        QCOMPARE(s.text(), QStringLiteral("aXY\r\ndZf"));
        QCOMPARE(colours(s), (std::vector<BgrColor>{1, 1, 1, 2, 2, 3, 2, 3}));
    }

    void lineBreaksStayWhole()
    {
        Surface s;
        s.setText(QStringLiteral("ab\r\ncd"));
        for (int i = 0; i < s.length(); ++i)
            s.setFormat(i, 1, colour(BgrColor(10 + i)));
        // A range ending between CR and LF keeps the pair and its formats.
        s.replacePieces(1, 2, {Piece{-1, 0, QStringLiteral("B"), 1}, Piece{2, 1, {}, -1}});
        QCOMPARE(s.text(), QStringLiteral("aB\r\ncd"));
        QCOMPARE(colours(s), (std::vector<BgrColor>{10, 11, 12, 13, 14, 15}));
        // A range starting between them takes the CR along.
        s.replacePieces(3, 2, {Piece{3, 1, {}, -1}, Piece{-1, 0, QStringLiteral("C"), 4}});
        QCOMPARE(s.text(), QStringLiteral("aB\r\nCd"));
        QCOMPARE(colours(s), (std::vector<BgrColor>{10, 11, 12, 13, 14, 15}));
        // New text with bare line feeds is normalised like any edit.
        s.replacePieces(0, 1, {Piece{-1, 0, QStringLiteral("x\ny"), 0}});
        QCOMPARE(s.text(), QStringLiteral("x\r\nyB\r\nCd"));
        QCOMPARE(s.lineCount(), 3);
    }
};

QTEST_GUILESS_MAIN(TestReplacePieces)
#include "tst_replacepieces.moc"
