// The surface shown in its view: whatever the user does in the view lands
// in the surface, whatever the program does to the surface (its text, its
// colours, its marks) is shown, and the view lays out only what it must.
#include "support/contrast.h"
#include "support/datarow.h"
#include "support/javatext.h"
#include "support/viewtest.h"
#include "surface/ui/surfaceview.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <cmath>

using namespace qln;

namespace {

// Collects the region each paint event of the widget it watches covers.
struct PaintSpy : QObject {
    explicit PaintSpy(QRegion *region) : region(region) {}
    QRegion *region;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            *region += static_cast<QPaintEvent *>(e)->region();
        return false;
    }
};

// Pixels of an image (taken of the viewport) inside a rectangle of the
// viewport that are close to a colour.
int countNear(const QImage &image, const QRect &r, const QColor &want)
{
    const double ratio = image.devicePixelRatio();
    int n = 0;
    for (int x = r.left(); x <= r.right(); ++x)
        for (int y = r.top(); y <= r.bottom(); ++y) {
            const QColor c = image.pixelColor(int(x * ratio), int(y * ratio));
            n += std::abs(c.red() - want.red()) < 40 && std::abs(c.green() - want.green()) < 40
                 && std::abs(c.blue() - want.blue()) < 40;
        }
    return n;
}

using test::wordyLine;

// Lines wrap at three printed inches (narrower than the test's view).
void wrapAtThreeInches(Surface *s)
{
    s->setRightMargin(1440 * 3);
}

} // namespace

using qln::test::contrast;
using qln::test::luminance;

class TstSurfaceView : public QObject, public test::ViewTest {
    Q_OBJECT
private slots:
    void init() { QVERIFY(openView(400, 300)); }
    void cleanup() { closeView(); }
    void editsRepaintOnlyTheirLine()
    {
        // A line coloured by the program, a key typed into a line, and a key
        // typed while the typing-time handlers hide the surface to colour and
        // correct the caret's line: each repaints that line only (and the
        // caret), the last one lays out that line once.
        Surface *s = m_view->surface();
        s->setText(test::numbered(QStringLiteral("int x%1 = %1;\r\n"), 100));
        s->setSelStart(s->lineIndex(5) + 3);
        paintNow();
        const QRect line3 = m_view->caretRect(s->lineIndex(3));
        const QRect line5 = m_view->caretRect(s->lineIndex(5));
        QRegion painted = paintedBy([s] {
            CharFormat red;
            red.color = 255;
            s->setFormat(s->lineIndex(3), 3, red);
        });
        QVERIFY(painted.boundingRect().intersects(line3));
        QVERIFY2(painted.boundingRect().height() < 3 * line3.height(),
                 "only the coloured line is repainted");
        painted = paintedBy([this] { QTest::keyClicks(m_view, QStringLiteral("q")); });
        QVERIFY(painted.boundingRect().intersects(line5));
        QVERIFY(painted.boundingRect().height() < 3 * line5.height());

        connect(s, &Surface::changed, this, [this, s] {
            const int caret = s->selStart();
            m_view->setPainted(false);
            const int line = s->lineFromChar(caret);
            // From the line feed before the line to the one ending it.
            s->setSelection(s->lineIndex(line) - 1, s->lineLength(line) + 2);
            s->setSelColor(255);
            m_view->setPainted(true);
            s->setSelStart(caret);
        });
        const quint64 before = m_view->layoutsBuilt();
        painted = paintedBy([this] { QTest::keyClicks(m_view, QStringLiteral("y")); });
        QCOMPARE(m_view->layoutsBuilt(), before + 1);
        QVERIFY(painted.boundingRect().intersects(line5));
        QVERIFY(painted.boundingRect().height() <= 3 * line5.height());
    }
    void manyHiddenChangesArePaintedWhenShown()
    {
        // A bulk command colours line after line of the hidden surface; past a
        // number of changes the view stops following them one by one and lays
        // out afresh when shown, the last change on a visible line included.
        Surface *s = show(test::numbered(QStringLiteral("int x%1 = %1;\r\n"), 100));
        m_view->clearFocus(); // no caret in the picture
        paintNow();
        auto redPixels = [&] {
            const QImage image = m_view->viewport()->grab().toImage();
            const QRect a = m_view->caretRect(s->lineIndex(1));
            const QRect b = m_view->caretRect(s->lineIndex(1) + 3);
            int n = 0;
            for (int x = a.left() + 1; x < b.left(); ++x)
                for (int y = a.top(); y <= a.bottom(); ++y) {
                    const QColor c = image.pixelColor(x * image.devicePixelRatio(),
                                                      y * image.devicePixelRatio());
                    n += c.red() > 160 && c.green() < 90 && c.blue() < 90;
                }
            return n;
        };
        QCOMPARE(redPixels(), 0);
        CharFormat red;
        red.color = 255;
        m_view->setPainted(false);
        const quint64 before = m_view->layoutsBuilt();
        for (int line = 99; line >= 30; --line)
            s->setFormat(s->lineIndex(line), 3, red);
        s->setFormat(s->lineIndex(1), 3, red);
        QCOMPARE(m_view->layoutsBuilt(), before);
        m_view->setPainted(true);
        paintNow();
        QVERIFY(redPixels() > 5);
    }
    void replacingManyLinesRedrawsTheChangedOnes()
    {
        // One edit over many lines that leaves most of them as they were (a
        // Replace All, hidden while it runs): only the lines that changed are
        // laid out and painted again, and they show their new text.
        Surface *s = m_view->surface();
        QStringList lines;
        for (int i = 0; i < 100; ++i)
            lines << QStringLiteral("int x%1 = %1;").arg(i);
        s->setText(lines.join(QStringLiteral("\r\n")));
        paintNow();
        const int first = s->lineIndex(1);
        const int end = s->lineIndex(12) + s->lineLength(12);
        QStringList replaced = lines.mid(1, 12);
        replaced[2] = QStringLiteral("int y3 = 3;");    // line 3
        replaced[9] = QStringLiteral("long x10 = 10;"); // line 10
        const quint64 before = m_view->layoutsBuilt();
        const QRegion painted = paintedBy([&] {
            m_view->setPainted(false);
            s->replace(first, end - first, replaced.join(QStringLiteral("\r\n")));
            s->setSelStart(0);
            m_view->setPainted(true);
        });
        QCOMPARE(m_view->layoutsBuilt(), before + 2);
        const int lineHeight = m_view->caretRect(s->lineIndex(3)).height();
        // (Lines 0 and 12 hold the caret before and after.)
        for (int line = 1; line < 12; ++line) {
            const QRect r = m_view->caretRect(s->lineIndex(line)).adjusted(0, 1, 0, -1);
            QCOMPARE(painted.intersects(r), line == 3 || line == 10);
        }
        // Four lines at most: the two changed ones and the caret's two.
        int paintedHeight = 0;
        for (const QRect &r : painted)
            paintedHeight += r.height();
        QVERIFY2(paintedHeight <= 5 * lineHeight, qPrintable(QString::number(paintedHeight)));
        // The new text is what shows: the caret at the end of line 10 stands
        // further right than at the end of line 9.
        QVERIFY(m_view->caretRect(s->lineIndex(10) + s->lineLength(10)).x()
                > m_view->caretRect(s->lineIndex(9) + s->lineLength(9)).x());
    }
    void keyDownCanConsume()
    {
        connect(m_view, &SurfaceView::keyDown, this, [](KeyEventInfo *info) {
            if (info->key == Qt::Key_Return)
                info->consumed = true;
        });
        QTest::keyClicks(m_view, QStringLiteral("a"));
        QTest::keyClick(m_view, Qt::Key_Return);
        QCOMPARE(m_view->surface()->text(), QStringLiteral("a"));
    }
    void changeHandlerMayEditWhileTyping()
    {
        // A handler that corrects "teh" as it is typed, the way the typing-time
        // assistance does: the view must follow the surface's correction.
        Surface *s = m_view->surface();
        connect(s, &Surface::changed, this, [s] {
            const int p = s->indexOf(QStringLiteral("teh "), 0);
            if (p < 0)
                return;
            const int caret = s->selStart();
            s->setSelection(p, 3);
            s->setSelText(QStringLiteral("the"));
            s->setSelStart(caret);
        });
        QTest::keyClicks(m_view, QStringLiteral("teh cat"));
        QCOMPARE(s->text(), QStringLiteral("the cat"));
        QCOMPARE(s->selStart(), 7);
        QTest::keyClick(m_view, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(s->selText(), QStringLiteral("t"));
    }
    void narrowMarginWrapsAtItsWidth()
    {
        Surface *s = m_view->surface();
        s->setText(QString(300, QLatin1Char('x')) + QStringLiteral("\r\nshort"));
        // Two hundred inches: one long line.
        s->setRightMargin(1440 * 200);
        paintNow();
        QCOMPARE(m_view->caretRect(299).top(), m_view->caretRect(0).top());
        // Two inches: the line wraps at that width, narrower than the window.
        s->setRightMargin(1440 * 2);
        m_view->resize(600, 300);
        QCoreApplication::processEvents();
        paintNow();
        QVERIFY(m_view->caretRect(299).top() > m_view->caretRect(0).top());
        const double dpi = m_view->logicalDpiX();
        int widest = 0;
        for (int p = 0; p <= 300; p += 10)
            widest = std::max(widest, m_view->caretRect(p).left() - m_view->caretRect(0).left());
        QVERIFY(widest <= 2 * dpi + 1);
        QVERIFY(widest > dpi); // not the window's 600 pixels either way
        // The second line starts below all of the first.
        QVERIFY(m_view->caretRect(s->lineIndex(1)).top() > m_view->caretRect(299).top());
        QCOMPARE(m_view->horizontalScrollBar()->maximum(), 0);
    }
    void longLineIsLaidOutInPieces_data()
    {
        columns<bool, QString, int, QString>("wrapped", "line", "typedAt", "typed");
        QTest::addColumn<int>("mostBuilt"); // layouts the typing may build
        row("two million characters", false, QString(2 * 1024 * 1024, QLatin1Char('w')), 0, "abc",
            6);
        row("sixty thousand, wrapping", true, wordyLine(60000), 30001, "q", 3);
    }
    void longLineIsLaidOutInPieces()
    {
        QFETCH(bool, wrapped);
        QFETCH(QString, line);
        QFETCH(int, typedAt);
        QFETCH(QString, typed);
        QFETCH(int, mostBuilt);
        Surface *s = m_view->surface();
        if (wrapped)
            wrapAtThreeInches(s);
        s->setText(line + QStringLiteral("\r\nafter"));
        s->setSelStart(0);
        quint64 before = m_view->layoutsBuilt();
        paintNow();
        // The view shows a few hundred characters: a piece or two is laid
        // out, not the whole line; a keystroke lays out the piece it lands in.
        QVERIFY2(m_view->layoutsBuilt() - before <= 3,
                 qPrintable(QString::number(m_view->layoutsBuilt() - before)));
        s->setSelStart(typedAt);
        m_view->ensureCursorVisible();
        paintNow();
        before = m_view->layoutsBuilt();
        QTest::keyClicks(m_view, typed);
        paintNow();
        QVERIFY2(m_view->layoutsBuilt() - before <= quint64(mostBuilt),
                 qPrintable(QString::number(m_view->layoutsBuilt() - before)));
        QCOMPARE(s->mid(typedAt, typed.size()), typed);
        QVERIFY(m_view->viewport()->rect().contains(m_view->caretRect().center()));
        before = m_view->layoutsBuilt();
        m_view->viewport()->repaint();
        QCOMPARE(m_view->layoutsBuilt(), before);
        // The far end (End twice where the line wraps): reachable, on screen,
        // its position found again; the line scrolls sideways only unwrapped.
        QTest::keyClick(m_view, Qt::Key_End);
        QTest::keyClick(m_view, Qt::Key_End);
        paintNow();
        QCOMPARE(s->selStart(), s->lineLength(0));
        const QRect caret = m_view->caretRect();
        QVERIFY(m_view->viewport()->rect().contains(caret.center()));
        QCOMPARE(m_view->positionAt(caret.center()), s->lineLength(0));
        if (wrapped)
            QCOMPARE(m_view->horizontalScrollBar()->maximum(), 0);
        else
            QVERIFY(m_view->horizontalScrollBar()->maximum() > 1000000);
        QTest::keyClicks(m_view, QStringLiteral("!"));
        QCOMPARE(s->at(s->lineLength(0) - 1), QLatin1Char('!'));
    }
    void coloursArePainted()
    {
        Surface *s = m_view->surface();
        s->setBackColor(0xFFFFFF);
        s->setText(QStringLiteral("public class A {\r\n// WWWWWWWWWWWW\r\n}"));
        s->setSelection(0, 6);
        s->setSelStyle(0xFF0000, true, false, false); // blue, bold
        s->setSelection(s->lineIndex(1), s->lineLength(1));
        s->setSelStyle(0x00AA00, false, false, false); // green
        s->setSelStart(s->length());
        m_view->clearFocus(); // no caret in the picture
        paintNow();
        const QImage image = m_view->viewport()->grab().toImage();
        auto countColour = [&](int from, int to, int line, QColor want) {
            const QRect a = m_view->caretRect(s->lineIndex(line) + from);
            const QRect b = m_view->caretRect(s->lineIndex(line) + to);
            return countNear(image, QRect(a.topLeft(), QPoint(b.left() - 1, a.bottom())), want);
        };
        QVERIFY(countColour(0, 6, 0, QColor(0, 0, 255)) > 5);  // the keyword is blue
        QCOMPARE(countColour(7, 12, 0, QColor(0, 0, 255)), 0); // "class" is not
        QVERIFY(countColour(7, 12, 0, QColor(0, 0, 0)) > 5);   // but black
        QVERIFY(countColour(0, 15, 1, QColor(0, 170, 0)) > 5); // the comment is green
        QCOMPARE(countColour(0, 15, 1, QColor(0, 0, 255)), 0);
        // A selection paints in the highlight colour.
        s->setSelection(s->lineIndex(1) + 3, 6);
        paintNow();
        const QImage selected = m_view->viewport()->grab().toImage();
        const QRect at = m_view->caretRect(s->lineIndex(1) + 5);
        const QColor highlight = m_view->palette().color(QPalette::Highlight);
        int n = 0;
        for (int y = at.top(); y <= at.bottom(); ++y)
            if (selected.pixelColor(at.left() + 1, y) == highlight)
                ++n;
        QVERIFY(n > 0);
    }
    void marksArePaintedAndFollowEdits()
    {
        // A wave underline under its characters, a background behind its
        // characters, a band across its whole line, a sign in a margin that
        // comes and goes with it; each moved by edits and painted where it went,
        // each repainted where it changed; a note shown over its characters.
        Surface *s = m_view->surface();
        Marks &marks = s->marks();
        s->setBackColor(0xFFFFFF);
        s->setText(QStringLiteral("int alpha = beta;\r\nreturn gamma;\r\nlast line"));
        m_view->clearFocus(); // no caret in the picture
        paintNow();
        const int left0 = m_view->caretRect(0).left();
        const QColor red(255, 0, 0), yellow(255, 220, 0), green(150, 230, 150),
            white(255, 255, 255);
        MarkStyle wave;
        wave.underline = MarkStyle::Underline::Wave;
        wave.underlineColor = red;
        wave.note = QStringLiteral("alpha is never read");
        MarkStyle back;
        back.background = yellow;
        MarkStyle band;
        band.background = green;
        band.wholeLines = true;
        const MarkId alpha = marks.add(4, 5, wave);
        marks.add(12, 4, back);
        const MarkId bandId = marks.add(s->lineIndex(1) + 2, 1, band);
        // Characters from..to (positions) and a strip across a whole line.
        auto chars = [&](int from, int to) {
            const QRect a = m_view->caretRect(from), b = m_view->caretRect(to);
            return QRect(a.topLeft() + QPoint(1, 0), QPoint(b.left() - 1, a.bottom()));
        };
        auto strip = [&](int line) {
            const QRect a = m_view->caretRect(s->lineIndex(line));
            return QRect(m_view->viewport()->width() - 40, a.top() + 1, 30, a.height() - 2);
        };
        auto check = [&](const QImage &image) {
            const int a = marks.find(alpha)->start, b = a + 8;
            QVERIFY(countNear(image, chars(a, a + 5), red) > 5);     // under "alpha"
            QCOMPARE(countNear(image, chars(a - 4, a - 1), red), 0); // not under "int"
            QVERIFY(countNear(image, chars(b, b + 4), yellow) > 40); // behind "beta"
            QCOMPARE(countNear(image, chars(a, a + 5), yellow), 0);
            const int banded = s->lineFromChar(marks.find(bandId)->start);
            for (int line = 0; line < s->lineCount(); ++line)
                QCOMPARE(countNear(image, strip(line), line == banded ? green : white),
                         strip(line).width() * strip(line).height());
        };
        paintNow();
        check(m_view->viewport()->grab().toImage());
        if (QTest::currentTestFailed())
            return;
        // Edits before them move them, and they are painted where they went.
        s->setSelStart(0);
        s->setSelText(QStringLiteral("final "));
        s->setSelStart(s->lineIndex(1));
        s->setSelText(QStringLiteral("// moved down\r\n"));
        QCOMPARE(s->lineFromChar(marks.find(bandId)->start), 2);
        paintNow();
        check(m_view->viewport()->grab().toImage());
        if (QTest::currentTestFailed())
            return;

        // A mark moved by the program repaints the lines it left and reached.
        const QRegion painted = paintedBy([&] { marks.setRange(bandId, s->lineIndex(3), 2); });
        QVERIFY(painted.intersects(strip(2)) && painted.intersects(strip(3)));
        QVERIFY(!painted.intersects(strip(0)));

        // A note shows over the mark's characters, not beside them.
        const QPoint over = m_view->caretRect(marks.find(alpha)->start + 2).center();
        const QPoint beside = m_view->caretRect(1).center();
        QHelpEvent overTip(QEvent::ToolTip, over, m_view->viewport()->mapToGlobal(over));
        QApplication::sendEvent(m_view->viewport(), &overTip);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), wave.note);
        QHelpEvent besideTip(QEvent::ToolTip, beside, m_view->viewport()->mapToGlobal(beside));
        QApplication::sendEvent(m_view->viewport(), &besideTip);
        QTRY_VERIFY(!QToolTip::isVisible());

        // A sign widens the left margin while it exists, with its note there.
        MarkStyle error;
        error.sign = MarkStyle::Sign::Error;
        error.note = QStringLiteral("';' expected");
        const MarkId sign = marks.add(s->lineIndex(3) + 1, 3, error);
        paintNow();
        const QRect line3 = m_view->caretRect(s->lineIndex(3));
        QVERIFY(line3.left() >= left0 + line3.height());
        const QImage signed_ = m_view->viewport()->grab().toImage();
        const QRect margin(0, line3.top(), line3.left() - 2, line3.height());
        QVERIFY(countNear(signed_, margin, QColor(0xd3, 0x2f, 0x2f)) > 10);
        const QRect twoAbove = margin.translated(0, -2 * line3.height());
        QCOMPARE(countNear(signed_, twoAbove, QColor(0xd3, 0x2f, 0x2f)), 0);
        QCOMPARE(m_view->positionAt(m_view->caretRect(5).center()), 5);
        const QPoint onSign = margin.center();
        QHelpEvent signTip(QEvent::ToolTip, onSign, m_view->viewport()->mapToGlobal(onSign));
        QApplication::sendEvent(m_view->viewport(), &signTip);
        QTRY_COMPARE(QToolTip::text(), error.note);
        marks.remove(sign);
        paintNow();
        QCOMPARE(m_view->caretRect(0).left(), left0);
    }
    void currentLineBandFollowsTheCaret()
    {
        // Off unless asked for; then a band on the caret's line that goes where
        // the caret goes, in a tint that keeps text as readable as beside it in
        // a light and in a dark palette.
        Surface *s = m_view->surface();
        s->setBackColor(0xFFFFFF);
        s->setText(QStringLiteral("WWWW one\r\nWWWW two\r\n\r\nWWWW four"));
        s->setSelStart(s->lineIndex(1) + 2);
        m_view->flush();
        QVERIFY(!m_view->currentLineBand());
        QCOMPARE(s->marks().count(), 0);
        m_view->setCurrentLineBand(true);
        QCOMPARE(s->marks().count(), 1);
        const QColor base = m_view->palette().color(QPalette::Base);
        auto bandedLines = [&] {
            m_view->flush();
            paintNow();
            const QImage image = m_view->viewport()->grab().toImage();
            std::vector<int> lines;
            for (int line = 0; line < s->lineCount(); ++line) {
                const QRect a = m_view->caretRect(s->lineIndex(line));
                const QPoint right(m_view->viewport()->width() - 3, a.center().y());
                if (image.pixelColor(right) != base)
                    lines.push_back(line);
            }
            return lines;
        };
        QCOMPARE(bandedLines(), std::vector<int>{1});
        QTest::keyClick(m_view, Qt::Key_Down);
        QCOMPARE(bandedLines(), std::vector<int>{2}); // an empty line too
        QTest::keyClick(m_view, Qt::Key_Return);
        QCOMPARE(bandedLines(), std::vector<int>{3});
        QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(bandedLines(), std::vector<int>{2});
        // Taking all of its line's text ends its mark: a new one takes over.
        QTest::keyClick(m_view, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(m_view, Qt::Key_Home, Qt::ShiftModifier);
        QTest::keyClick(m_view, Qt::Key_Delete);
        QCOMPARE(bandedLines(), std::vector<int>{3});
        QCOMPARE(s->marks().count(), 1);
        QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s->marks().count(), 1);

        // Black text on the band reads as well as on the background, in the
        // default palette and in a dark one.
        const QPalette light = QApplication::palette();
        QPalette dark(QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::Base, QColor(0x23, 0x23, 0x23));
        dark.setColor(QPalette::Text, Qt::white);
        dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
        for (const QPalette &palette : {light, dark}) {
            QApplication::setPalette(palette);
            QCOMPARE(bandedLines(), std::vector<int>{3});
            const QImage image = m_view->viewport()->grab().toImage();
            const QRect text = m_view->caretRect(s->lineIndex(3));
            const QColor band =
                image.pixelColor(m_view->viewport()->width() - 3, text.center().y());
            QColor darkest = band;
            for (int x = text.left(); x < text.left() + 40; ++x)
                for (int y = text.top(); y <= text.bottom(); ++y)
                    if (luminance(image.pixelColor(x, y)) < luminance(darkest))
                        darkest = image.pixelColor(x, y);
            QVERIFY2(contrast(darkest, band) >= 4.5, qPrintable(band.name() + darkest.name()));
            QVERIFY(contrast(band, base) < 1.3); // a tint, not a new background
        }
        QApplication::setPalette(light);
        m_view->setCurrentLineBand(false);
        QCOMPARE(s->marks().count(), 0);
        QCOMPARE(bandedLines(), std::vector<int>{});
    }
    void pageDownScrollsByLines()
    {
        Surface *s = show(test::numbered(QStringLiteral("line %1\r\n"), 1000));
        QCOMPARE(m_view->verticalScrollBar()->value(), 0);
        QTest::keyClick(m_view, Qt::Key_PageDown);
        const int first = m_view->verticalScrollBar()->value();
        QVERIFY(first > 0);
        const int caretLine = s->lineFromChar(s->selStart());
        QVERIFY(caretLine > 0);
        QVERIFY(m_view->viewport()->rect().contains(m_view->caretRect().center()));
        QCOMPARE(m_view->firstVisibleLine(), first);
        // A selection set far down by the program scrolls into view.
        s->setSelection(s->lineIndex(400), 3);
        QCoreApplication::processEvents();
        QVERIFY(m_view->viewport()->rect().contains(m_view->caretRect().center()));
        QCOMPARE(m_view->positionAt(m_view->caretRect().center()), s->lineIndex(400) + 3);
        QTest::keyClick(m_view, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(s->lineFromChar(s->selStart()), 1000);
        QVERIFY(m_view->viewport()->rect().contains(m_view->caretRect().center()));
        QTest::keyClick(m_view, Qt::Key_PageUp);
        QVERIFY(s->lineFromChar(s->selStart()) < 1000);
        // Ctrl+Down scrolls a line and leaves the caret where it is.
        QTest::keyClick(m_view, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(m_view->verticalScrollBar()->value(), 0);
        QTest::keyClick(m_view, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(m_view->verticalScrollBar()->value(), 1);
        QCOMPARE(s->selStart(), 0);
    }
    void randomEditingKeepsPositionsWhole_data()
    {
        QTest::addColumn<bool>("wrapped");
        row("lines as they are", false);
        row("lines wrapping, the long one in pieces", true);
    }
    void randomEditingKeepsPositionsWhole()
    {
        QFETCH(bool, wrapped);
        // Keys, clicks and program edits in a fixed random order over text with
        // line breaks, surrogate pairs, marks, tabs and a long line: the caret
        // and the selection's ends never fall inside a pair, and the surface's
        // lines stay consistent with its text.
        Surface *s = m_view->surface();
        if (wrapped)
            s->setRightMargin(1440 * 3);
        const QString pair = QString::fromUcs4(U"\U0001F600");
        const QString longLine =
            wrapped ? QStringLiteral("ab cd\t").repeated(1500) : QString(5000, QLatin1Char('x'));
        s->setText(QStringLiteral("int a;\r\n\tb") + pair + QStringLiteral("e\u0301\r\n") + longLine
                   + QStringLiteral("\r\n\u05e9\u05dc\u05d5\u05dd"));
        paintNow();
        QRandomGenerator rng(7);
        const Qt::Key keys[] = {Qt::Key_Left,      Qt::Key_Right,  Qt::Key_Up,     Qt::Key_Down,
                                Qt::Key_Home,      Qt::Key_End,    Qt::Key_PageUp, Qt::Key_PageDown,
                                Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Return, Qt::Key_Tab};
        const QString typed[] = {QStringLiteral("q"), pair, QStringLiteral("\u0302"),
                                 QStringLiteral(" ")};
        auto inside = [s](int pos) {
            return pos > 0 && pos < s->length()
                   && ((s->at(pos - 1) == QLatin1Char('\r') && s->at(pos) == QLatin1Char('\n'))
                       || (s->at(pos - 1).isHighSurrogate() && s->at(pos).isLowSurrogate()));
        };
        for (int i = 0; i < 1500; ++i) {
            const int what = rng.bounded(10);
            if (what < 6) {
                Qt::KeyboardModifiers mods;
                if (rng.bounded(3) == 0)
                    mods |= Qt::ShiftModifier;
                if (rng.bounded(4) == 0)
                    mods |= Qt::ControlModifier;
                const Qt::Key key = keys[rng.bounded(int(std::size(keys)))];
                if (key == Qt::Key_Tab && (mods & Qt::ControlModifier))
                    continue;
                QTest::keyClick(m_view, key, mods);
            } else if (what < 8) {
                QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier,
                              typed[rng.bounded(int(std::size(typed)))]);
                QApplication::sendEvent(m_view, &key);
            } else if (what < 9) {
                const QPoint at(rng.bounded(m_view->viewport()->width()),
                                rng.bounded(m_view->viewport()->height()));
                QTest::mouseClick(m_view->viewport(), Qt::LeftButton,
                                  rng.bounded(2) ? Qt::ShiftModifier : Qt::KeyboardModifiers(), at);
            } else {
                QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
            }
            if (i % 50 == 0)
                paintNow();
            const int a = s->selStart(), b = s->selStart() + s->selLength();
            QVERIFY2(!inside(a) && !inside(b),
                     qPrintable(QStringLiteral("step %1: %2..%3").arg(i).arg(a).arg(b)));
        }
        // Line starts still follow the line feeds.
        int lines = 1;
        for (int p = 0; p < s->length(); ++p)
            if (s->at(p) == QLatin1Char('\n'))
                QCOMPARE(s->lineIndex(lines++), p + 1);
        QCOMPARE(s->lineCount(), lines);
    }
    void downWalksEveryWrappedRow()
    {
        const int length = 12000;
        Surface *s = show(wordyLine(length) + QStringLiteral("\r\nafter"), true);
        // From part way along the first row, each Down goes one row down
        // (never two at a piece's border), never further right.
        s->setSelStart(20);
        m_view->flush();
        const int rowHeight = m_view->caretRect(0).height();
        const int x0 = m_view->caretRect(20).left();
        int presses = 0;
        int caret = 20;
        while (s->lineFromChar(caret) == 0 && presses < 5000) {
            QTest::keyClick(m_view, Qt::Key_Down);
            ++presses;
            const int now = s->selStart();
            QVERIFY2(now > caret,
                     qPrintable(QStringLiteral("Down %1 stayed at %2").arg(presses).arg(now)));
            const QRect at = m_view->caretRect();
            QVERIFY2(at.top() - m_view->caretRect(caret).top() == rowHeight,
                     qPrintable(
                         QStringLiteral("Down %1 from %2 to %3").arg(presses).arg(caret).arg(now)));
            QVERIFY(at.left() <= x0 + rowHeight);
            caret = now;
            if (presses % 25 == 0) {
                paintNow();
                QVERIFY(m_view->viewport()->rect().contains(m_view->caretRect().center()));
            }
        }
        QCOMPARE(s->lineFromChar(caret), 1);
        // Every row was a stop: as many presses as the line has rows, about
        // its width over the wrap width.
        const double chars = double(length) / presses;
        QVERIFY2(chars > 20 && chars < 60, qPrintable(QString::number(chars)));
        // Up walks back through them to the line's start.
        for (int i = 0; i < presses; ++i)
            QTest::keyClick(m_view, Qt::Key_Up);
        QCOMPARE(m_view->caretRect().top(), m_view->caretRect(0).top());
        QVERIFY(m_view->viewport()->rect().contains(m_view->caretRect().center()));
        // End goes to the row's end first, and pressed again takes the rest of
        // the line, all of its pieces; Home the same way back.
        QTest::keyClick(m_view, Qt::Key_End);
        QCOMPARE(m_view->caretRect().top(), m_view->caretRect(0).top());
        QVERIFY(s->selStart() > 0 && s->selStart() < length);
        QTest::keyClick(m_view, Qt::Key_End);
        QCOMPARE(s->selStart(), length);
        paintNow();
        QVERIFY(m_view->viewport()->rect().contains(m_view->caretRect().center()));
        QCOMPARE(m_view->positionAt(m_view->caretRect().center()), length);
        QTest::keyClick(m_view, Qt::Key_Home, Qt::ShiftModifier);
        QVERIFY(s->selLength() > 0 && s->selLength() < length);
        QTest::keyClick(m_view, Qt::Key_Home, Qt::ShiftModifier);
        QCOMPARE(s->selLength(), length);
    }
    void sidewaysRangeFollowsTheWidestLine_data()
    {
        QTest::addColumn<QString>("action");
        row("widest line deleted", QStringLiteral("delete"));
        row("widest line shortened", QStringLiteral("shorten"));
        row("short document set", QStringLiteral("settext"));
        row("widest line replaced by the program", QStringLiteral("replace"));
    }
    void sidewaysRangeFollowsTheWidestLine()
    {
        QFETCH(QString, action);
        Surface *s = m_view->surface();
        QString text;
        for (int i = 0; i < 20; ++i)
            text += i == 5 ? wordyLine(600) + QStringLiteral("\r\n")
                           : QStringLiteral("int x%1;\r\n").arg(i);
        s->setText(text);
        s->setSelStart(s->lineIndex(5) + s->lineLength(5));
        paintNow();
        QScrollBar *h = m_view->horizontalScrollBar();
        QVERIFY(h->maximum() > 0);
        if (action == QLatin1String("delete")) {
            s->setSelection(s->lineIndex(5), s->lineIndex(6) - s->lineIndex(5));
            m_view->flush();
            QTest::keyClick(m_view, Qt::Key_Delete);
        } else if (action == QLatin1String("shorten")) {
            s->setSelection(s->lineIndex(5) + 20, s->lineLength(5) - 20);
            m_view->flush();
            QTest::keyClick(m_view, Qt::Key_Backspace);
        } else if (action == QLatin1String("settext")) {
            s->setText(QStringLiteral("class A {}\r\n"));
        } else {
            s->setSelection(s->lineIndex(5), s->lineLength(5));
            s->setSelText(QStringLiteral("short"));
        }
        QCoreApplication::processEvents();
        paintNow();
        QCOMPARE(h->maximum(), 0);
        QCOMPARE(h->value(), 0);
        // A wide line typed anew brings the range back.
        QTest::keyClick(m_view, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(m_view, wordyLine(200));
        paintNow();
        QVERIFY(h->maximum() > 0);
        QVERIFY(m_view->viewport()->rect().contains(m_view->caretRect().center()));
    }
    void sidewaysRangeMovesInSteps()
    {
        // Typing at the end of the widest line (also after it was shortened)
        // changes the range at most once per 256 pixels the line grows.
        Surface *s = m_view->surface();
        s->setText(QStringLiteral("int a;\r\n") + wordyLine(300) + QStringLiteral("\r\nint b;"));
        s->setSelStart(s->lineIndex(1) + s->lineLength(1));
        paintNow();
        QScrollBar *h = m_view->horizontalScrollBar();
        QSignalSpy ranges(h, &QAbstractSlider::rangeChanged);
        for (int round = 0; round < 2; ++round) {
            ranges.clear();
            const int x0 = m_view->caretRect().left() + h->value();
            for (int i = 0; i < 150; ++i) {
                QTest::keyClick(m_view, Qt::Key_W);
                if (i % 10 == 0)
                    paintNow();
            }
            paintNow();
            const int grown = m_view->caretRect().left() + h->value() - x0;
            QVERIFY(grown > 512);
            QVERIFY2(
                ranges.count() >= 1 && ranges.count() <= grown / 256 + 1,
                qPrintable(QStringLiteral("%1 changes over %2 px").arg(ranges.count()).arg(grown)));
            // Shortened again: the range follows it down.
            const int max = h->maximum();
            for (int i = 0; i < 150; ++i)
                QTest::keyClick(m_view, Qt::Key_Backspace);
            paintNow();
            QVERIFY(h->maximum() < max);
        }
    }
    void wrappedLinesFarBelowComeIntoView()
    {
        // Many lines that wrap into many rows each: a caret set far below,
        // Ctrl+End and Page Down all show the caret's row, and Page Down skips
        // no rows.
        QString text;
        for (int i = 0; i < 300; ++i)
            text += QStringLiteral("// %1 ").arg(i) + wordyLine(i % 3 == 0 ? 900 : 40)
                    + QStringLiteral("\r\n");
        Surface *s = show(text, true);
        QWidget *vp = m_view->viewport();
        const int target = s->lineIndex(249) + 700;
        s->setSelection(target, 0);
        QCoreApplication::processEvents();
        paintNow();
        QVERIFY(vp->rect().contains(m_view->caretRect().center()));
        QCOMPARE(m_view->positionAt(m_view->caretRect().center()), target);
        QTest::keyClick(m_view, Qt::Key_End, Qt::ControlModifier);
        paintNow();
        QVERIFY(vp->rect().contains(m_view->caretRect().center()));
        QTest::keyClick(m_view, Qt::Key_Home, Qt::ControlModifier);
        paintNow();
        const int rowHeight = m_view->caretRect(0).height();
        for (int page = 0; page < 40; ++page) {
            // The last whole row on screen is still on screen after Page Down.
            const int bottomRow = (vp->height() - 2) / rowHeight * rowHeight - rowHeight / 2;
            const int lastShown = m_view->positionAt(QPoint(10, bottomRow));
            QTest::keyClick(m_view, Qt::Key_PageDown);
            paintNow();
            QVERIFY2(vp->rect().contains(m_view->caretRect().center()),
                     qPrintable(QString::number(page)));
            QVERIFY2(m_view->caretRect(lastShown).top() >= 0, qPrintable(QString::number(page)));
            QVERIFY(m_view->caretRect(lastShown).top() < 3 * rowHeight);
        }
        QVERIFY(s->lineFromChar(s->selStart()) > 20);
        // A page in the scroll bar's trough is a page of rows too.
        for (int page = 0; page < 5; ++page) {
            const int bottomRow = (vp->height() - 2) / rowHeight * rowHeight - rowHeight / 2;
            const int lastShown = m_view->positionAt(QPoint(10, bottomRow));
            m_view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
            paintNow();
            QVERIFY(m_view->caretRect(lastShown).top() >= 0);
            QVERIFY(m_view->caretRect(lastShown).top() < 3 * rowHeight);
        }
        // The wheel scrolls through a tall line row by row.
        s->setSelStart(s->lineIndex(3));
        paintNow();
        const QRect before = m_view->caretRect(s->lineIndex(3) + 300);
        QWheelEvent wheel(QPointF(50, 50), vp->mapToGlobal(QPointF(50, 50)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(vp, &wheel);
        paintNow();
        const int moved = before.top() - m_view->caretRect(s->lineIndex(3) + 300).top();
        QCOMPARE(moved, QApplication::wheelScrollLines() * rowHeight);
    }
    void scrollBarMovesThroughATallWrappedLine()
    {
        // One wrapped line many times taller than the view: the scroll bar's
        // thumb is small, and moving it shows rows inside that line.
        const int length = 20000;
        Surface *s = show(wordyLine(length) + QStringLiteral("\r\nafter"), true);
        QScrollBar *v = m_view->verticalScrollBar();
        QVERIFY(v->pageStep() * 10 < v->maximum());
        const int firstRow = m_view->caretRect(0).top();
        const QPoint topLeft(m_view->caretRect(0).left(), firstRow + 2); // where rows start
        QCOMPARE(m_view->positionAt(topLeft), 0);
        v->setValue(v->maximum() / 2); // half way into the first of two lines
        paintNow();
        const int middle = m_view->positionAt(topLeft);
        QVERIFY2(middle > length / 3 && middle < 2 * length / 3,
                 qPrintable(QString::number(middle)));
        QCOMPARE(m_view->caretRect(middle).top(), firstRow); // a whole row at the top
        // Typing there keeps the view where it is.
        s->setSelStart(middle);
        m_view->flush();
        QTest::keyClicks(m_view, QStringLiteral("q"));
        paintNow();
        QCOMPARE(m_view->positionAt(topLeft), middle);
        v->setValue(v->maximum()); // the second line's row at the bottom
        paintNow();
        const QRect end = m_view->caretRect(s->length());
        QVERIFY(end.bottom() <= m_view->viewport()->height());
        QVERIFY(end.bottom() > m_view->viewport()->height() - 2 * end.height());
        v->setValue(0);
        paintNow();
        QCOMPARE(m_view->positionAt(topLeft), 0);

        // Wrapping switched on and off keeps the same line at the top.
        s->setRightMargin(1440 * 200);
        s->setText(test::numbered(QStringLiteral("int x%1;\r\n"), 300));
        paintNow();
        v->setValue(150);
        QCOMPARE(m_view->firstVisibleLine(), 150);
        wrapAtThreeInches(s);
        paintNow();
        QCOMPARE(m_view->firstVisibleLine(), 150);
        s->setRightMargin(1440 * 200);
        paintNow();
        QCOMPARE(m_view->firstVisibleLine(), 150);
        QCOMPARE(v->value(), 150);
    }
    void wrappedScrollBarAgreesWithTheView_data()
    {
        QTest::addColumn<QString>("text");
        QString shortFile;
        for (int i = 0; i < 60; ++i)
            shortFile +=
                QStringLiteral("    int value%1 = count + %1; // and a comment to wrap\r\n").arg(i);
        row("short file", shortFile + QStringLiteral("}"));
        row("10,500-character line", wordyLine(10500));
        QString big;
        big.reserve(10 * 1024 * 1024 + 100);
        const QString line = wordyLine(70) + QStringLiteral("\r\n");
        while (big.size() < 10 * 1024 * 1024)
            big += line;
        row("10 MB file", big + QStringLiteral("last"));
    }
    void wrappedScrollBarAgreesWithTheView()
    {
        // Where lines wrap, the thumb dragged to the bottom shows the last rows
        // at the bottom of the view (not a blank view, not the top), the thumb
        // at the top shows the first, and the caret taken to the end puts the
        // thumb at the bottom.
        QFETCH(QString, text);
        Surface *s = show(text, true);
        QScrollBar *v = m_view->verticalScrollBar();
        const QRect area = m_view->viewport()->rect();
        const int row = m_view->caretRect(0).height();
        const auto showsEnd = [&] {
            const QRect end = m_view->caretRect(s->length());
            // The last row sits at the bottom of the view, whole.
            return end.top() >= 0 && end.bottom() <= area.bottom()
                   && area.bottom() - end.bottom() <= 2 * row;
        };
        const auto topRowShown = [&] {
            // The top of the view shows text: a position whose row is there.
            const QPoint topLeft(m_view->caretRect(0).left(), 3);
            const QRect at = m_view->caretRect(m_view->positionAt(topLeft));
            return at.top() <= 3 && at.bottom() >= 3;
        };
        QVERIFY(v->maximum() > 0);

        v->setSliderDown(true); // a drag of the thumb
        v->setSliderPosition(v->maximum() / 2);
        v->setSliderPosition(v->maximum());
        v->setSliderDown(false);
        paintNow();
        QVERIFY2(showsEnd(), qPrintable(QStringLiteral("end at %1 in a view %2 high")
                                            .arg(m_view->caretRect(s->length()).top())
                                            .arg(area.height())));
        QVERIFY(topRowShown());
        QCOMPARE(v->value(), v->maximum());

        v->setValue(0);
        paintNow();
        QCOMPARE(m_view->positionAt(QPoint(m_view->caretRect(0).left(), 3)), 0);

        QTest::keyClick(m_view, Qt::Key_End, Qt::ControlModifier);
        paintNow();
        QVERIFY(showsEnd());
        QVERIFY(topRowShown());
        QCOMPARE(v->value(), v->maximum());
        // Page Down at the end moves neither the thumb nor the view.
        const int endTop = m_view->caretRect(s->length()).top();
        QTest::keyClick(m_view, Qt::Key_PageDown);
        paintNow();
        QCOMPARE(v->value(), v->maximum());
        QCOMPARE(m_view->caretRect(s->length()).top(), endTop);
    }
    void upwardDragSelectKeepsItsEndInView()
    {
        // A selection dragged above the view scrolls up with the mouse; its
        // end stays on the top line in sight, never on the line above.
        Surface *s = show(test::numbered(QStringLiteral("line %1\r\n"), 200));
        m_view->verticalScrollBar()->setValue(100);
        paintNow();
        QWidget *vp = m_view->viewport();
        const int press = s->lineIndex(105) + 2;
        QTest::mousePress(vp, Qt::LeftButton, {}, m_view->caretRect(press).center());
        const QPoint above(20, -15);
        QTest::mouseMove(vp, above);
        QCOMPARE(s->selStart() + s->selLength(), press);
        QVERIFY2(s->lineFromChar(s->selStart()) >= m_view->firstVisibleLine(),
                 qPrintable(QStringLiteral("end on line %1, view from %2")
                                .arg(s->lineFromChar(s->selStart()))
                                .arg(m_view->firstVisibleLine())));
        // Held there, the view scrolls up; the end follows the top line.
        QCursor::setPos(vp->mapToGlobal(above));
        QTRY_VERIFY(m_view->firstVisibleLine() < 97);
        QVERIFY(vp->rect().contains(m_view->caretRect(s->selStart()).center()));
        QVERIFY(s->lineFromChar(s->selStart()) >= m_view->firstVisibleLine());
        QTest::mouseRelease(vp, Qt::LeftButton, {}, above);
        QVERIFY(vp->rect().contains(m_view->caretRect(s->selStart()).center()));
        QCOMPARE(s->selStart() + s->selLength(), press);
    }

private:
    void paintNow()
    {
        m_view->flush();
        m_view->viewport()->repaint();
    }
    // The view's surface holding `text`, the caret at its start, painted;
    // `wrapped` wraps its lines at three inches first.
    Surface *show(const QString &text, bool wrapped = false)
    {
        Surface *s = m_view->surface();
        if (wrapped)
            wrapAtThreeInches(s);
        s->setText(text);
        s->setSelStart(0);
        paintNow();
        return s;
    }
    // The region the viewport paints while `act` runs and just after.
    template <typename Act> QRegion paintedBy(Act act)
    {
        QTest::qWait(20);
        QRegion painted;
        PaintSpy spy(&painted);
        m_view->viewport()->installEventFilter(&spy);
        act();
        m_view->flush();
        QTest::qWait(20);
        m_view->viewport()->removeEventFilter(&spy);
        return painted;
    }
};

QTEST_MAIN(TstSurfaceView)
#include "tst_surfaceview.moc"
