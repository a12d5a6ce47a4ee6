// The editing view as assistive technology sees it: one editable text with
// "\n" line breaks and offsets counted that way, whose text, caret,
// selection and edits are the surface's.
#include "support/datarow.h"
#include "support/javatext.h"
#include "support/viewtest.h"
#include "surface/ui/surfaceaccessible.h"
#include "surface/ui/surfaceview.h"

#include <QAccessible>
#include <QTest>
#include <functional>
#include <utility>

using namespace qln;

namespace {

// What the view reported to assistive technology, one line an event.
struct Reports {
    QStringList lines;
    Reports()
    {
        SurfaceAccessible::setReportSink([this](QAccessibleEvent *e) { lines << describe(e); });
    }
    static QString describe(QAccessibleEvent *e)
    {
        switch (e->type()) {
        case QAccessible::TextInserted: {
            auto *i = static_cast<QAccessibleTextInsertEvent *>(e);
            return QStringLiteral("insert %1 '%2'").arg(i->changePosition()).arg(i->textInserted());
        }
        case QAccessible::TextRemoved: {
            auto *r = static_cast<QAccessibleTextRemoveEvent *>(e);
            return QStringLiteral("remove %1 '%2'").arg(r->changePosition()).arg(r->textRemoved());
        }
        case QAccessible::TextUpdated: {
            auto *u = static_cast<QAccessibleTextUpdateEvent *>(e);
            return QStringLiteral("replace %1 '%2' by '%3'")
                .arg(u->changePosition())
                .arg(u->textRemoved(), u->textInserted());
        }
        case QAccessible::TextSelectionChanged: {
            auto *sel = static_cast<QAccessibleTextSelectionEvent *>(e);
            return QStringLiteral("select %1-%2")
                .arg(sel->selectionStart())
                .arg(sel->selectionEnd());
        }
        case QAccessible::TextCaretMoved:
            return QStringLiteral("caret %1")
                .arg(static_cast<QAccessibleTextCursorEvent *>(e)->cursorPosition());
        default: return QStringLiteral("event %1").arg(int(e->type()));
        }
    }
    // The reports so far, emptied.
    QStringList take()
    {
        QCoreApplication::processEvents();
        return std::exchange(lines, {});
    }
};

QString newlines(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

} // namespace

class TstSurfaceAccessible : public QObject, public test::ViewTest {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        SurfaceAccessible::install();
        SurfaceAccessible::install(); // twice does no harm
    }
    void init() { QVERIFY(openView(600, 400)); }
    void cleanup()
    {
        SurfaceAccessible::setReportSink({});
        closeView();
    }
    void viewIsAnEditableText()
    {
        m_view->surface()->setText(QStringLiteral("class A {\r\n}\r\n"));
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(m_view);
        QVERIFY(iface);
        QVERIFY(iface->isValid());
        QVERIFY(dynamic_cast<SurfaceAccessible *>(iface));
        QCOMPARE(iface->role(), QAccessible::EditableText);
        QVERIFY(iface->textInterface());
        QVERIFY(iface->editableTextInterface());
        QCOMPARE(iface->object(), m_view);
        const QAccessible::State st = iface->state();
        QVERIFY(st.editable);
        QVERIFY(st.multiLine);
        QVERIFY(st.selectableText);
        QVERIFY(st.focusable);
        QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("class A {\n}\n"));
        // The same interface answers every time.
        QCOMPARE(QAccessible::queryAccessibleInterface(m_view), iface);
    }
    void textInViewCounting_data()
    {
        QTest::addColumn<QString>("surfaceText");
        row("one line", QStringLiteral("int x;"));
        row("CR LF breaks", QStringLiteral("ab\r\ncd\r\n\r\nef"));
        row("ends with a break", QStringLiteral("a\r\n"));
        row("surrogate pair before a break", QStringLiteral("x\U0001F600\r\n\U0001F600y"));
        row("empty", QString());
    }
    void textInViewCounting()
    {
        QFETCH(QString, surfaceText);
        Surface *s = m_view->surface();
        s->setText(surfaceText);
        QAccessibleTextInterface *t = text();
        QVERIFY(t);
        const QString expected = newlines(surfaceText);
        QCOMPARE(t->characterCount(), int(expected.size()));
        QCOMPARE(t->text(0, t->characterCount()), expected);
        for (int k = 0; k < expected.size(); ++k) {
            QCOMPARE(t->text(k, k + 1), expected.mid(k, 1));
            QCOMPARE(t->text(k, int(expected.size())), expected.mid(k));
            QCOMPARE(t->text(0, k), expected.left(k));
        }
        QCOMPARE(t->text(-5, 1000), expected); // clamped
    }
    void caretRoundTrip()
    {
        Surface *s = m_view->surface();
        s->setText(QStringLiteral("ab\r\ncd\r\nef"));
        QAccessibleTextInterface *t = text();
        QVERIFY(t);
        // View offsets 0..8 over "ab\ncd\nef"; offset 3 is the start of "cd".
        const int surfacePos[] = {0, 1, 2, 4, 5, 6, 8, 9, 10};
        for (int k = 0; k <= 8; ++k) {
            t->setCursorPosition(k);
            QCOMPARE(s->selStart(), surfacePos[k]);
            QCOMPARE(s->selLength(), 0);
            QCOMPARE(t->cursorPosition(), k);
            QCOMPARE(m_view->caretRect(), m_view->caretRect(surfacePos[k]));
        }
        // Keys move the caret the interface reports.
        t->setCursorPosition(3);
        QTest::keyClick(m_view, Qt::Key_End);
        QCOMPARE(t->cursorPosition(), 5);
        QTest::keyClick(m_view, Qt::Key_Right);
        QCOMPARE(t->cursorPosition(), 6);
        QTest::keyClicks(m_view, QStringLiteral("z"));
        QCOMPARE(t->cursorPosition(), 7);
        QCOMPARE(t->text(6, 7), QStringLiteral("z"));
    }
    void selectionRoundTrip()
    {
        Surface *s = m_view->surface();
        s->setText(QStringLiteral("ab\r\ncd\r\nef"));
        QAccessibleTextInterface *t = text();
        QVERIFY(t);
        QCOMPARE(t->selectionCount(), 0);
        // The first selection as a pair of view offsets.
        auto selection = [t] {
            int start = -1, end = -1;
            t->selection(0, &start, &end);
            return std::pair(start, end);
        };
        QCOMPARE(selection(), std::pair(0, 0));

        // Across a line break: "b\nc" in view offsets is "b\r\nc" on the surface.
        t->setSelection(0, 1, 4);
        QCOMPARE(s->selStart(), 1);
        QCOMPARE(s->selLength(), 4);
        QCOMPARE(s->selText(), QStringLiteral("b\r\nc"));
        QCOMPARE(t->selectionCount(), 1);
        QCOMPARE(selection(), std::pair(1, 4));
        QCOMPARE(t->cursorPosition(), 4);

        // Selections made in the view read back in view counting.
        s->setSelStart(0);
        m_view->flush();
        QTest::keyClick(m_view, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(m_view, Qt::Key_End, Qt::ShiftModifier);
        QCOMPARE(selection(), std::pair(0, 5));
        QCOMPARE(t->text(0, 5), QStringLiteral("ab\ncd"));

        // A new selection replaces the old, in either direction.
        t->addSelection(8, 6);
        QCOMPARE(s->selText(), QStringLiteral("ef"));
        QCOMPARE(selection(), std::pair(6, 8));
        t->removeSelection(0);
        QCOMPARE(t->selectionCount(), 0);
        QCOMPARE(t->cursorPosition(), 8);
        QCOMPARE(s->text(), QStringLiteral("ab\r\ncd\r\nef")); // selecting never edits
    }
    void editsAreOneUndoStepEach_data()
    {
        columns<QString, int, int, QString, QString>("op", "from", "to", "newText", "result");
        QTest::addColumn<int>("caret"); // view offset after the edit
        // View text "ab\ncd\nef".
        row("insert at a line start", "insert", 3, 3, "X\nY", "ab\r\nX\r\nYcd\r\nef", 6);
        row("insert at the end", "insert", 8, 8, "!", "ab\r\ncd\r\nef!", 9);
        row("delete a line break", "delete", 2, 3, QString(), "abcd\r\nef", 2);
        row("delete across breaks", "delete", 1, 7, QString(), "af", 1);
        row("delete backwards range", "delete", 5, 3, QString(), "ab\r\n\r\nef", 3);
        row("replace across a break", "replace", 1, 4, "--", "a--d\r\nef", 3);
        row("replace with lines", "replace", 6, 8, "e\r\nf\rg", "ab\r\ncd\r\ne\r\nf\r\ng", 11);
    }
    void editsAreOneUndoStepEach()
    {
        QFETCH(QString, op);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, newText);
        QFETCH(QString, result);
        QFETCH(int, caret);
        Surface *s = m_view->surface();
        const QString base = QStringLiteral("ab\r\ncd\r\nef");
        s->setText(base);
        s->clearUndo();
        QAccessibleEditableTextInterface *e = editable();
        QVERIFY(e);
        if (op == QLatin1String("insert"))
            e->insertText(from, newText);
        else if (op == QLatin1String("delete"))
            e->deleteText(from, to);
        else
            e->replaceText(from, to, newText);
        QCOMPARE(s->text(), result);
        QCOMPARE(text()->cursorPosition(), caret);
        QCOMPARE(text()->text(0, text()->characterCount()), newlines(result));
        QVERIFY(s->canUndo());
        s->undo();
        QCOMPARE(s->text(), base);
        QVERIFY(!s->canUndo());
        // The view shows the edit: typing lands where the interface says.
        s->redo();
        text()->setCursorPosition(0);
        QTest::keyClicks(m_view, QStringLiteral("#"));
        QCOMPARE(s->text(), QStringLiteral("#") + result);
    }
    void unitsTileTheText_data()
    {
        QTest::addColumn<int>("boundary");
        row("character", int(QAccessible::CharBoundary));
        row("word", int(QAccessible::WordBoundary));
        row("sentence", int(QAccessible::SentenceBoundary));
        row("line", int(QAccessible::LineBoundary));
        row("paragraph", int(QAccessible::ParagraphBoundary));
    }
    void unitsTileTheText()
    {
        // Walking unit after unit covers the text exactly; every offset inside
        // a unit answers that unit, and the unit before it the one walked last.
        QFETCH(int, boundary);
        const auto type = QAccessible::TextBoundaryType(boundary);
        const QString doc = QStringLiteral("package a.b; // First line. Second?\r\n"
                                           "\r\n"
                                           "  ;;\r\n"
                                           "int x\U0001F600y = 1; e\u0301t\u00E9\r\n"
                                           "\tString s = \"Hi. There\";\r\n"
                                           "((\r\n"
                                           "last");
        m_view->surface()->setText(doc);
        QAccessibleTextInterface *t = text();
        QVERIFY(t);
        const QString whole = newlines(doc);
        const int count = t->characterCount();
        QCOMPARE(count, int(whole.size()));
        const bool lines =
            type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary;

        int start = -1, end = -1;
        QString unit = t->textAtOffset(0, type, &start, &end);
        QCOMPARE(start, 0);
        QString joined;
        int previousStart = -1, previousEnd = -1;
        int units = 0;
        while (true) {
            const QByteArray where = QStringLiteral("unit [%1, %2)").arg(start).arg(end).toUtf8();
            QVERIFY2(end > start, where.constData());
            QCOMPARE(unit, whole.mid(start, end - start));
            // A unit never crosses a line break: it ends with one, or is one.
            const int lf = int(unit.indexOf(QLatin1Char('\n')));
            QVERIFY2(lf < 0 || lf == unit.size() - 1, where.constData());
            if (!lines)
                QVERIFY2(lf < 0 || unit.size() == 1, where.constData());
            for (int k = start; k < end; ++k) {
                int s = -1, e = -1;
                QCOMPARE(t->textAtOffset(k, type, &s, &e), unit);
                QCOMPARE(s, start);
                QCOMPARE(e, end);
                const QString before = t->textBeforeOffset(k, type, &s, &e);
                QCOMPARE(s, previousStart);
                QCOMPARE(e, previousEnd);
                QCOMPARE(before, previousStart < 0 ? QString() : whole.mid(s, e - s));
            }
            joined += unit;
            ++units;
            previousStart = start;
            previousEnd = end;
            unit = t->textAfterOffset(previousStart, type, &start, &end);
            if (start < 0)
                break;
            QCOMPARE(start, previousEnd);
        }
        QCOMPARE(joined, whole);
        QCOMPARE(previousEnd, count);
        QVERIFY(unit.isEmpty());
        // At the end of the text there is nothing; before it, the last unit.
        QCOMPARE(t->textAtOffset(count, type, &start, &end), QString());
        QCOMPARE(start, -1);
        t->textBeforeOffset(count, type, &start, &end);
        QCOMPARE(start, previousStart);
        QCOMPARE(end, count);
        if (lines)
            QCOMPARE(units, m_view->surface()->lineCount());
        else
            QVERIFY(units > m_view->surface()->lineCount());
    }
    void boundariesByExample_data()
    {
        QTest::addColumn<int>("boundary");
        QTest::addColumn<int>("direction"); // -1 before, 0 at, 1 after
        columns<int, QString, int>("offset", "expected", "start");
        // View text: "alpha beta\nx\U0001F600y\ngamma" (offsets 0..10, 11..15, 16..20).
        const int word = QAccessible::WordBoundary, line = QAccessible::LineBoundary,
                  chr = QAccessible::CharBoundary;
        row("word at", word, 0, 8, "beta", 6);
        row("word after", word, 1, 2, " ", 5);
        row("line at first", line, 0, 3, "alpha beta\n", 0);
        row("line at the break", line, 0, 10, "alpha beta\n", 0);
        row("line at second", line, 0, 11, "x\U0001F600y\n", 11);
        row("line after first", line, 1, 3, "x\U0001F600y\n", 11);
        row("line before last", line, -1, 18, "x\U0001F600y\n", 11);
        row("last line has no break", line, 0, 18, "gamma", 16);
        row("character: the pair whole", chr, 0, 12, "\U0001F600", 12);
        row("character: the break", chr, 0, 10, "\n", 10);
        row("character before y: the pair", chr, -1, 14, "\U0001F600", 12);
        row("character after the pair", chr, 1, 12, "y", 14);
        row("word before", word, -1, 8, " ", 5);
        row("word at the break", word, 0, 10, "\n", 10);
        // A picture character is no letter: it parts the word.
        row("word after the break", word, 1, 10, "x", 11);
        row("whole text", int(QAccessible::NoBoundary), 0, 4, "alpha beta\nx\U0001F600y\ngamma", 0);
    }
    void boundariesByExample()
    {
        QFETCH(int, boundary);
        QFETCH(int, direction);
        QFETCH(int, offset);
        QFETCH(QString, expected);
        QFETCH(int, start);
        m_view->surface()->setText(QStringLiteral("alpha beta\r\nx\U0001F600y\r\ngamma"));
        QAccessibleTextInterface *t = text();
        const auto type = QAccessible::TextBoundaryType(boundary);
        int s = -1, e = -1;
        const QString got = direction < 0   ? t->textBeforeOffset(offset, type, &s, &e)
                            : direction > 0 ? t->textAfterOffset(offset, type, &s, &e)
                                            : t->textAtOffset(offset, type, &s, &e);
        QCOMPARE(got, expected);
        QCOMPARE(s, start);
        QCOMPARE(e, start + int(expected.size()));
    }
    void geometryFollowsCaretRects()
    {
        Surface *s = m_view->surface();
        s->setText(QStringLiteral("first line\r\nsecond\r\nthird"));
        m_view->flush();
        QAccessibleTextInterface *t = text();
        QWidget *vp = m_view->viewport();
        // View offsets of "f", "l", the first break, "s", "d" of "second", "t".
        const int offsets[] = {0, 6, 10, 11, 16, 18};
        for (int k : offsets) {
            const int pos = s->fromViewPosition(k);
            const QRect r = t->characterRect(k);
            QVERIFY(r.isValid());
            const QRect caret = m_view->caretRect(pos);
            QCOMPARE(r.topLeft(), vp->mapToGlobal(caret.topLeft()));
            QCOMPARE(r.height(), caret.height());
            if (s->at(pos) != QLatin1Char('\r'))
                QCOMPARE(r.right() + 1, vp->mapToGlobal(m_view->caretRect(pos + 1).topLeft()).x());
            // A point inside the character's left half is at that character.
            const QPoint inside = r.topLeft() + QPoint(std::max(0, r.width() / 4), r.height() / 2);
            QCOMPARE(t->offsetAtPoint(inside), k);
        }
        QVERIFY(t->characterRect(11).top() > t->characterRect(0).top());
        QCOMPARE(t->characterRect(-1), QRect());
        QCOMPARE(t->offsetAtPoint(vp->mapToGlobal(QPoint(-50, -50))), -1);
    }
    void scrollToSubstringShowsIt()
    {
        Surface *s = m_view->surface();
        QString doc = test::numbered(QStringLiteral("line %1 of the document\r\n"), 300);
        s->setText(doc);
        m_view->flush();
        const int line = 250;
        const int pos = s->lineIndex(line) + 5;
        QVERIFY(!m_view->viewport()->rect().contains(m_view->caretRect(pos).center()));
        const int offset = s->toViewPosition(pos);
        text()->scrollToSubstring(offset, offset + 3);
        QCoreApplication::processEvents();
        QVERIFY(m_view->viewport()->rect().contains(m_view->caretRect(pos).center()));
        QVERIFY(m_view->viewport()->rect().contains(m_view->caretRect(pos + 3).center()));
        QCOMPARE(s->selText(), QStringLiteral("250"));
    }
    void attributesDescribeFormatRuns()
    {
        Surface *s = m_view->surface();
        s->setText(QStringLiteral("plain\r\nint x;"));
        CharFormat keyword;
        keyword.color = 0x0000FF; // red
        keyword.bold = true;
        s->setFormat(s->lineIndex(1), 3, keyword);
        QAccessibleTextInterface *t = text();
        int start = -1, end = -1;
        // "int" is view offsets 6..8.
        const QString inKeyword = t->attributes(7, &start, &end);
        QCOMPARE(start, 6);
        QCOMPARE(end, 9);
        QVERIFY2(inKeyword.contains(QLatin1String("color:rgb(255,0,0);")), qPrintable(inKeyword));
        QVERIFY2(inKeyword.contains(QLatin1String("font-weight:700;")), qPrintable(inKeyword));
        const QString after = t->attributes(10, &start, &end);
        QCOMPARE(start, 9);
        QCOMPARE(end, 12);
        QVERIFY2(after.contains(QLatin1String("color:rgb(0,0,0);")), qPrintable(after));
        QVERIFY2(after.contains(QLatin1String("font-weight:400;")), qPrintable(after));
        // The line break is a character of its own.
        t->attributes(5, &start, &end);
        QCOMPARE(start, 5);
        QCOMPARE(end, 6);
    }
    void editEventsCarryTheChangedText()
    {
        // Insertions, removals and replacements are reported with the text
        // they took away and put in, line breaks as "\n", at view offsets.
        Surface *s = m_view->surface();
        s->setText(QStringLiteral("abc\r\ndef"));
        Reports reports;
        s->setSelection(1, 1);
        reports.take();
        QTest::keyClick(m_view, Qt::Key_Delete);
        QCOMPARE(reports.take(),
                 QStringList({QStringLiteral("remove 1 'b'"), QStringLiteral("select 0-0"),
                              QStringLiteral("caret 1")}));
        QTest::keyClick(m_view, Qt::Key_End);
        reports.take();
        QTest::keyClick(m_view, Qt::Key_Delete); // the line break
        QCOMPARE(reports.take(), QStringList({QStringLiteral("remove 2 '\n'")}));
        s->setSelection(1, 3);
        reports.take();
        QTest::keyClicks(m_view, QStringLiteral("Z"));
        QCOMPARE(reports.take(),
                 QStringList({QStringLiteral("replace 1 'cde' by 'Z'"),
                              QStringLiteral("select 0-0"), QStringLiteral("caret 2")}));
        QTest::keyClick(m_view, Qt::Key_Return);
        QCOMPARE(reports.take(),
                 QStringList({QStringLiteral("insert 2 '\n'"), QStringLiteral("caret 3")}));
        s->undo();
        QCOMPARE(reports.take(),
                 QStringList({QStringLiteral("remove 2 '\n'"), QStringLiteral("caret 2")}));
    }
    void caretEventsFollowOnlyTheUsersCaret()
    {
        // The typing-time handlers select what they work on and put the caret
        // back: assistive technology hears of the user's caret only, once a
        // move, never of the handler's selections.
        Surface *s = m_view->surface();
        s->setText(QStringLiteral("int a;\r\nint b;"));
        s->setSelStart(3);
        QObject::connect(s, &Surface::changed, m_view, [s] {
            const int caret = s->selStart();
            const int line = s->lineFromChar(caret);
            s->setSelection(s->lineIndex(line), s->lineLength(line)); // colours the line
            s->setSelection(0, 1);
            s->setSelStart(caret);
        });
        Reports reports;
        QTest::keyClicks(m_view, QStringLiteral("x"));
        QCOMPARE(reports.take(),
                 QStringList({QStringLiteral("insert 3 'x'"), QStringLiteral("caret 4")}));
        QTest::keyClick(m_view, Qt::Key_Right);
        QCOMPARE(reports.take(), QStringList({QStringLiteral("caret 5")}));
        QTest::keyClick(m_view, Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClick(m_view, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(reports.take(), QStringList({QStringLiteral("select 3-5")}));
        // A caret put back where it was tells nothing.
        s->setSelection(0, 2);
        s->setSelection(3, 2);
        QCOMPARE(reports.take(), QStringList());
    }

private:
    QAccessibleTextInterface *text() const
    {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(m_view);
        return iface ? iface->textInterface() : nullptr;
    }
    QAccessibleEditableTextInterface *editable() const
    {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(m_view);
        return iface ? iface->editableTextInterface() : nullptr;
    }
};

QTEST_MAIN(TstSurfaceAccessible)
#include "tst_surfaceaccessible.moc"
