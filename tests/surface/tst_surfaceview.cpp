// The surface shown in a widget: whatever the user does in the widget, the
// surface holds the same text; whatever the program does to the surface,
// the widget shows.
#include "surface/surfaceview.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QPaintEvent>
#include <QTest>
#include <QTextBlock>
#include <QAbstractTextDocumentLayout>
#include <QTextLayout>

using namespace qln;

class TstSurfaceView : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void typingKeepsSurfaceExact();
    void enterAndBackspaceHandleLineBreaks();
    void programEditsReachWidget();
    void widgetOwnEditsAreMirrored();
    void undoComesFromSurface();
    void formatsReachLayoutWithoutEditing();
    void hiddenSurfaceShowsAllAtOnce();
    void hiddenWidgetCatchesUpWhenShown();
    void inputMethodCommitsText();
    void keyDownCanConsume();
    void changeHandlerMayEditWhileTyping();
    void caretFollowsSelectionByProgram();
    void narrowMarginWrapsAtItsWidth();
    void colouringALineRepaintsThatLine();

private:
    QString viewText() const;
    SurfaceView *m_view = nullptr;
};

void TstSurfaceView::init()
{
    m_view = new SurfaceView;
    m_view->resize(400, 300);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view));
    m_view->setFocus();
}

void TstSurfaceView::cleanup()
{
    delete m_view;
    m_view = nullptr;
}

QString TstSurfaceView::viewText() const
{
    QString t = m_view->document()->toRawText();
    t.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    return t;
}

void TstSurfaceView::typingKeepsSurfaceExact()
{
    QTest::keyClicks(m_view, QStringLiteral("int x;"));
    QCOMPARE(m_view->surface()->text(), QStringLiteral("int x;"));
    QCOMPARE(m_view->surface()->selStart(), 6);
    QTest::keyClick(m_view, Qt::Key_Home);
    QCOMPARE(m_view->surface()->selStart(), 0);
    QTest::keyClick(m_view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(m_view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(m_view, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(m_view->surface()->selText(), QStringLiteral("int"));
    QTest::keyClicks(m_view, QStringLiteral("long"));
    QCOMPARE(m_view->surface()->text(), QStringLiteral("long x;"));
    QCOMPARE(viewText(), m_view->surface()->text());
}

void TstSurfaceView::enterAndBackspaceHandleLineBreaks()
{
    QTest::keyClicks(m_view, QStringLiteral("ab"));
    QTest::keyClick(m_view, Qt::Key_Return);
    QTest::keyClick(m_view, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(m_view, QStringLiteral("c"));
    Surface *s = m_view->surface();
    QCOMPARE(s->text(), QStringLiteral("ab\r\n\r\nc"));
    QCOMPARE(s->selStart(), 7);
    QCOMPARE(s->lineFromChar(s->selStart()), 2);
    QTest::keyClick(m_view, Qt::Key_Backspace);
    QTest::keyClick(m_view, Qt::Key_Backspace);
    QCOMPARE(s->text(), QStringLiteral("ab\r\n"));
    QTest::keyClick(m_view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(m_view, Qt::Key_End);
    QTest::keyClick(m_view, Qt::Key_Delete);
    QCOMPARE(s->text(), QStringLiteral("ab"));
    QCOMPARE(viewText(), s->text());
}

void TstSurfaceView::programEditsReachWidget()
{
    Surface *s = m_view->surface();
    s->setText(QStringLiteral("line one\r\nline two\r\n"));
    QCOMPARE(viewText(), s->text());
    s->setSelection(5, 3);
    s->setSelText(QStringLiteral("1\r\nand a half"));
    QCOMPARE(viewText(), s->text());
    QCOMPARE(m_view->document()->blockCount(), s->lineCount());
    m_view->flush();
    QCOMPARE(m_view->textCursor().position(), s->toViewPosition(s->selStart()));
}

void TstSurfaceView::widgetOwnEditsAreMirrored()
{
    Surface *s = m_view->surface();
    s->setText(QStringLiteral("alpha beta\r\ngamma"));
    m_view->flush();
    QTest::keyClick(m_view, Qt::Key_End, Qt::ControlModifier);
    // Word deletion is the widget's own editing.
    QTest::keyClick(m_view, Qt::Key_Backspace, Qt::ControlModifier);
    QCOMPARE(s->text(), QStringLiteral("alpha beta\r\n"));
    QTest::keyClick(m_view, Qt::Key_Backspace, Qt::ControlModifier);
    QCOMPARE(viewText(), s->text());
    QCOMPARE(s->lineCount(), m_view->document()->blockCount());
}

void TstSurfaceView::undoComesFromSurface()
{
    QTest::keyClicks(m_view, QStringLiteral("abc"));
    QTest::keyClick(m_view, Qt::Key_Return);
    QTest::keyClicks(m_view, QStringLiteral("d"));
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_view->surface()->text(), QStringLiteral("abc\r\n"));
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_view->surface()->text(), QString());
    QCOMPARE(viewText(), QString());
}

void TstSurfaceView::formatsReachLayoutWithoutEditing()
{
    Surface *s = m_view->surface();
    s->setText(QStringLiteral("plain\r\nint x"));
    s->setSelection(7, 3);
    s->setSelColor(255);
    s->setSelBold(true);
    m_view->flush();
    const QTextBlock block = m_view->document()->findBlockByNumber(1);
    const auto formats = block.layout()->formats();
    QCOMPARE(formats.size(), 1);
    QCOMPARE(formats[0].start, 0);
    QCOMPARE(formats[0].length, 3);
    QCOMPARE(formats[0].format.foreground().color(), QColor(255, 0, 0));
    QCOMPARE(formats[0].format.fontWeight(), int(QFont::Bold));
    // Colouring is not an edit of the widget's document.
    QVERIFY(!m_view->document()->isModified());
    QCOMPARE(viewText(), s->text());
}

void TstSurfaceView::hiddenSurfaceShowsAllAtOnce()
{
    Surface *s = m_view->surface();
    s->setText(QStringLiteral("a\r\nb\r\nc"));
    m_view->flush();
    m_view->setFocus();
    s->setVisible(false);
    QVERIFY(!m_view->viewport()->updatesEnabled()); // not repainted while hidden
    s->setSelStart(2);
    s->setSelText(QStringLiteral("\r\nnew"));
    s->setSelection(0, 1);
    s->setSelColor(16711680);
    s->setSelection(s->lineIndex(1), 3); // the inserted "new"
    s->setSelColor(255);
    QCoreApplication::processEvents();
    // The text keeps in step; formats wait for the surface to show.
    QCOMPARE(viewText(), s->text());
    QVERIFY(m_view->document()->firstBlock().layout()->formats().isEmpty());
    QVERIFY(m_view->hasFocus()); // hiding does not take the focus away
    s->setVisible(true);
    QVERIFY(m_view->viewport()->updatesEnabled());
    const auto first = m_view->document()->firstBlock().layout()->formats();
    QCOMPARE(first.size(), 1);
    QCOMPARE(first[0].format.foreground().color(), QColor(0, 0, 255));
    const auto second = m_view->document()->findBlockByNumber(1).layout()->formats();
    QCOMPARE(second.size(), 1);
    QCOMPARE(second[0].length, 3);
    QCOMPARE(second[0].format.foreground().color(), QColor(255, 0, 0));
}

void TstSurfaceView::hiddenWidgetCatchesUpWhenShown()
{
    // A widget hidden for good (a scratch surface) is not fed every edit.
    m_view->hide();
    Surface *s = m_view->surface();
    s->setText(QStringLiteral("x\r\ny"));
    s->setSelStart(1);
    s->setSelText(QStringLiteral("z"));
    QVERIFY(m_view->document()->toPlainText().isEmpty());
    m_view->show();
    QCOMPARE(viewText(), s->text());
}

void TstSurfaceView::inputMethodCommitsText()
{
    QTest::keyClicks(m_view, QStringLiteral("x"));
    QInputMethodEvent preedit(QStringLiteral("ni"), {});
    QApplication::sendEvent(m_view, &preedit);
    QCOMPARE(m_view->surface()->text(), QStringLiteral("x")); // still composing
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("你"));
    QApplication::sendEvent(m_view, &commit);
    QCOMPARE(m_view->surface()->text(), QStringLiteral("x你"));
    QCOMPARE(viewText(), m_view->surface()->text());
}

void TstSurfaceView::keyDownCanConsume()
{
    connect(m_view, &SurfaceView::keyDown, this, [](KeyEventInfo *info) {
        if (info->key == Qt::Key_Return)
            info->consumed = true;
    });
    QTest::keyClicks(m_view, QStringLiteral("a"));
    QTest::keyClick(m_view, Qt::Key_Return);
    QCOMPARE(m_view->surface()->text(), QStringLiteral("a"));
}

void TstSurfaceView::changeHandlerMayEditWhileTyping()
{
    // A handler that corrects "teh" as it is typed, the way the typing-time
    // assistance does: the widget must follow the surface's correction.
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
    QCOMPARE(viewText(), s->text());
    QCOMPARE(m_view->textCursor().position(), 7);
}

void TstSurfaceView::caretFollowsSelectionByProgram()
{
    Surface *s = m_view->surface();
    s->setText(QStringLiteral("one\r\ntwo\r\nthree"));
    s->setSelection(5, 3);
    m_view->flush();
    QCOMPARE(m_view->textCursor().selectedText(), QStringLiteral("two"));
    QTest::keyClicks(m_view, QStringLiteral("2"));
    QCOMPARE(s->text(), QStringLiteral("one\r\n2\r\nthree"));
}

void TstSurfaceView::narrowMarginWrapsAtItsWidth()
{
    Surface *s = m_view->surface();
    s->setText(QString(300, QLatin1Char('x')) + QStringLiteral("\r\nshort"));
    auto lines = [this] {
        const QTextBlock block = m_view->document()->firstBlock();
        m_view->document()->documentLayout()->blockBoundingRect(block); // lays it out
        return block.layout()->lineCount();
    };
    // Five screen widths: one long line.
    s->setRightMargin(1440 * 200);
    m_view->viewport()->repaint();
    QCOMPARE(lines(), 1);
    // Two inches: the line wraps at that width, narrower than the window.
    s->setRightMargin(1440 * 2);
    m_view->resize(600, 300);
    QCoreApplication::processEvents();
    QVERIFY(lines() > 1);
    const QTextLine first = m_view->document()->firstBlock().layout()->lineAt(0);
    const double dpi = m_view->logicalDpiX();
    QVERIFY(first.naturalTextWidth() <= 2 * dpi + 1);
    QVERIFY(first.naturalTextWidth() > dpi); // not the window's 600 pixels either way
    QCOMPARE(viewText(), s->text());
}

void TstSurfaceView::colouringALineRepaintsThatLine()
{
    Surface *s = m_view->surface();
    QString text;
    for (int i = 0; i < 100; ++i)
        text += QStringLiteral("int x%1 = %1;\r\n").arg(i);
    s->setText(text);
    m_view->flush();
    QTest::qWait(20);
    // Record what the widget paints after one line gets a colour.
    QRegion painted;
    struct Spy : QObject {
        QRegion *region;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Paint)
                *region += static_cast<QPaintEvent *>(e)->region();
            return false;
        }
    } spy;
    spy.region = &painted;
    m_view->viewport()->installEventFilter(&spy);
    CharFormat red;
    red.color = 255;
    s->setFormat(s->lineIndex(3), 3, red);
    m_view->flush();
    QTest::qWait(20);
    m_view->viewport()->removeEventFilter(&spy);
    const QRect line = m_view->cursorRect(QTextCursor(m_view->document()->findBlockByNumber(3)));
    QVERIFY(painted.boundingRect().intersects(line));
    QVERIFY2(painted.boundingRect().height() < 3 * line.height(),
             "only the coloured line is repainted");
    const auto formats = m_view->document()->findBlockByNumber(3).layout()->formats();
    QCOMPARE(formats.size(), 1);
}

QTEST_MAIN(TstSurfaceView)
#include "tst_surfaceview.moc"
