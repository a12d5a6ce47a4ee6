// The text of the main window as a Linux user meets it: jumps to a line land
// the caret without selecting, the margin of line numbers and its
// preference, the X primary selection and the middle click, files dropped
// on the text, and what assistive technology calls the text.
// The window is driven offscreen (the primary selection where the platform
// has one: run under X too), every prompt scripted.

#include "settings/ui/frmpref.h"
#include "shell/documentfiles.h"
#include "support/windowtest.h"
#include "surface/ui/surfaceaccessible.h"
#include "surface/ui/surfaceview.h"
#include "tools/toollocations.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QUrl>

using namespace qln;
using qln::test::writeFile;

namespace {

const QString kSaveFirst = QStringLiteral("Do you wish to save the file?");

// The lines under a whole-line band.
QList<int> bandedLines(const Surface &s)
{
    QList<int> lines;
    for (const Mark &m : s.marks().all())
        if (m.style.wholeLines && m.style.background.isValid())
            lines << s.lineFromChar(m.start);
    return lines;
}

// Drags data over the text and drops it at a point, as a drag from another
// program does.
void dropOn(SurfaceView *view, QMimeData *data, const QPoint &at)
{
    QWidget *vp = view->viewport();
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &drop);
    QVERIFY(drop.isAccepted());
}

// The columns of a band of rows [top, bottom) of an image between x0 and
// x1 that hold a pixel of another colour than `background`: first and last,
// or {-1, -1}.
std::pair<int, int> inkColumns(const QImage &image, int x0, int x1, int top, int bottom,
                               QRgb background)
{
    int first = -1, last = -1;
    for (int x = x0; x < x1; ++x)
        for (int y = top; y < bottom; ++y)
            if (image.pixel(x, y) != background) {
                first = first < 0 ? x : first;
                last = x;
                break;
            }
    return {first, last};
}

} // namespace

class TstWindowView : public QObject, test::WindowTest {
    Q_OBJECT

    // A shown window on a file of 300 indented lines ("" for a new one).
    std::unique_ptr<frmedit> start(const QString &file = QString())
    {
        if (!file.isEmpty()) {
            QByteArray text;
            for (int i = 1; i <= 300; ++i)
                text += "        int value" + QByteArray::number(i) + " = " + QByteArray::number(i)
                        + ";\n";
            if (!writeFile(file, text))
                qFatal("cannot write %s", qPrintable(file));
        }
        auto w = open(file);
        w->documents().setLauncher([this](const QString &program, const QStringList &arguments) {
            m_started << (QFileInfo(program).fileName() + QLatin1Char(' ')
                          + arguments.join(QLatin1Char(' ')))
                             .trimmed();
            return true;
        });
        w->resize(700, 500);
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            qFatal("the window did not show");
        return w;
    }

    // Where the caret's row sits in the view, as a fraction of its height.
    static double caretHeight(frmedit &w)
    {
        QApplication::processEvents();
        return double(w.rtfedit()->caretRect().center().y()) / w.rtfedit()->viewport()->height();
    }

    // A jump has landed on a line: the caret at its code, nothing selected,
    // the line banded and in sight.
    static void checkLanded(frmedit &w, int line, int caret)
    {
        const Surface &s = *w.surface();
        QCOMPARE(s.lineFromChar(s.selStart()), line);
        QCOMPARE(s.selStart(), caret);
        QCOMPARE(s.selLength(), 0);
        QCOMPARE(bandedLines(s), QList<int>{line});
        QVERIFY(w.rtfedit()->viewport()->rect().contains(w.rtfedit()->caretRect().center()));
    }

    QStringList m_started; // the programs New Window started, with their arguments

// A failed landing ends the test there.
#define CHECK_LANDED(...)               \
    do {                                \
        checkLanded(__VA_ARGS__);       \
        if (QTest::currentTestFailed()) \
            return;                     \
    } while (false)

private slots:
    void initTestCase()
    {
        SurfaceAccessible::install();
    }
    void init()
    {
        initWindowTest();
        m_started.clear();
        QGuiApplication::clipboard()->clear();
    }
    void cleanup()
    {
        cleanupWindowTest();
    }

    void goToLineLandsOnTheCodeAndBandsTheLine()
    {
        auto w = start(path(QStringLiteral("Lines.java")));
        Surface &s = *w->surface();
        const int codeAt = 8; // the lines are indented by eight blanks

        // Far below: the line comes to the middle of the view.
        m_prompter.answerText(QStringLiteral("200"));
        w->menuItem(QStringLiteral("gotoline"))->trigger();
        CHECK_LANDED(*w, 199, s.lineIndex(199) + codeAt);
        QVERIFY2(std::abs(caretHeight(*w) - 0.5) < 0.1,
                 qPrintable(QString::number(caretHeight(*w))));
        // The band goes as soon as the caret moves; nothing was replaced.
        QTest::keyClick(w->rtfedit(), Qt::Key_Right);
        QCOMPARE(bandedLines(s), QList<int>());
        QCOMPARE(s.selStart(), s.lineIndex(199) + codeAt + 1);

        // A line in sight: the view stays where it is.
        const int top = w->rtfedit()->firstVisibleLine();
        m_prompter.answerText(QStringLiteral("203"));
        w->menuItem(QStringLiteral("gotoline"))->trigger();
        CHECK_LANDED(*w, 202, s.lineIndex(202) + codeAt);
        QCOMPARE(w->rtfedit()->firstVisibleLine(), top);
        // Typing goes in before the code, which stays: one Ctrl+Z undoes it.
        QTest::keyClicks(w->rtfedit(), QStringLiteral("final "));
        QCOMPARE(s.lineText(202), QStringLiteral("        final int value203 = 203;"));
        QCOMPARE(bandedLines(s), QList<int>());
        s.undo();
        QCOMPARE(s.lineText(202), QStringLiteral("        int value203 = 203;"));

        // Back up near the start: in the middle as far as the text allows.
        m_prompter.answerText(QStringLiteral("2"));
        w->menuItem(QStringLiteral("gotoline"))->trigger();
        CHECK_LANDED(*w, 1, s.lineIndex(1) + codeAt);
        QCOMPARE(w->rtfedit()->firstVisibleLine(), 0);
        // A click elsewhere ends the band too.
        QTest::mouseClick(w->rtfedit()->viewport(), Qt::LeftButton, {},
                          w->rtfedit()->caretRect(s.lineIndex(4) + 3).center());
        QCOMPARE(bandedLines(s), QList<int>());
        QCOMPARE(s.selLength(), 0);
    }

    void errorJumpsLandOnTheCode()
    {
        // F4 and Shift+F4 walk a tool run's locations, in this file and
        // another, landing the caret as Go To Line does.
        const QString lines = path(QStringLiteral("Lines.java"));
        const QString other = path(QStringLiteral("Other.java"));
        QVERIFY(writeFile(other, "class Other {\n\n    void f() {\n        g( );\n    }\n}\n"));
        auto w = start(lines);
        Surface &s = *w->surface();
        ToolLocations &locations = w->toolLocations();
        locations.begin(LocationContext{m_dir->path(), m_dir->path(), {}});
        for (const auto &[file, line] : {std::pair{lines, 250}, {lines, 3}, {other, 4}}) {
            ToolLocation at;
            at.file = file;
            at.line = line;
            locations.add(at);
        }
        s.setSelection(5, 10);

        w->menuItem(QStringLiteral("nexterror"))->trigger();
        CHECK_LANDED(*w, 249, s.lineIndex(249) + 8);
        QVERIFY(std::abs(caretHeight(*w) - 0.5) < 0.1);
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Error 1 of 3"));
        w->menuItem(QStringLiteral("nexterror"))->trigger();
        CHECK_LANDED(*w, 2, s.lineIndex(2) + 8);
        QCOMPARE(w->rtfedit()->firstVisibleLine(), 0);
        w->menuItem(QStringLiteral("nexterror"))
            ->trigger(); // the other file, unedited: no question
        QCOMPARE(w->documents().path(), other);
        CHECK_LANDED(*w, 3, s.lineIndex(3) + 8);
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Error 3 of 3"));
        QTest::keyClick(w->rtfedit(), Qt::Key_Delete);
        QCOMPARE(s.lineText(3), QStringLiteral("        ( );"));
        QCOMPARE(bandedLines(s), QList<int>());
        // Back to the first file: the edited one asks first.
        m_prompter.answer(MsgAnswer::No);
        w->menuItem(QStringLiteral("previouserror"))->trigger();
        QCOMPARE(m_prompter.messages(), QStringList{kSaveFirst});
        QCOMPARE(w->documents().path(), lines);
        CHECK_LANDED(*w, 2, s.lineIndex(2) + 8);
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Error 2 of 3"));
    }

    // The margin shows each line's number, right-aligned, left of the
    // text; it widens when the line count gains a digit. "Line numbers" in
    // the preferences takes it away and brings it back, and the choice is
    // kept for the next window.
    void lineNumberMargin()
    {
        auto w = start(path(QStringLiteral("Lines.java")));
        SurfaceView *view = w->rtfedit();
        Surface &s = *w->surface();
        QVERIFY(view->lineNumbers());
        const double margin = view->leftMargin();
        QVERIFY(margin > 20);
        QVERIFY(view->caretRect(0).left() > margin);

        // Ink in the numbers' column on the rows of lines 1, 9 and 10, none
        // in the sign's place of a line without a sign; the numbers end at
        // the same column, and "10" is wider than "9".
        QApplication::processEvents();
        const QImage image = view->viewport()->grab().toImage();
        const QRgb background = image.pixel(int(margin) - 2, view->height() - 6);
        auto ink = [&](int line, int x0, int x1) {
            const QRect row = view->caretRect(s.lineIndex(line));
            return inkColumns(image, x0, x1, row.top(), row.bottom() + 1, background);
        };
        const int signs = int(view->caretRect(0).height()) + 2;
        const auto one = ink(0, signs, int(margin) - 1), nine = ink(8, signs, int(margin) - 1),
                   ten = ink(9, signs, int(margin) - 1);
        QVERIFY(one.first > 0 && nine.first > 0 && ten.first > 0);
        QVERIFY(std::abs(one.second - ten.second) <= 1 && std::abs(nine.second - ten.second) <= 1);
        QVERIFY2(ten.second - ten.first > nine.second - nine.first,
                 qPrintable(QStringLiteral("%1-%2 %3-%4")
                                .arg(nine.first)
                                .arg(nine.second)
                                .arg(ten.first)
                                .arg(ten.second)));
        QCOMPARE(ink(0, 0, signs - 2), (std::pair{-1, -1}));

        // A new document has room for two digits, and gets a third at 100.
        auto fresh = start();
        const double two = fresh->rtfedit()->leftMargin();
        QVERIFY(two < margin);
        append(*fresh, QString(98, QLatin1Char('\n')));
        QCOMPARE(fresh->surface()->lineCount(), 99);
        QCOMPARE(fresh->rtfedit()->leftMargin(), two);
        append(*fresh, QStringLiteral("\n"));
        QCOMPARE(fresh->rtfedit()->leftMargin(), margin);
        fresh->surface()->undo();
        QCOMPARE(fresh->rtfedit()->leftMargin(), two);

        // Off in the preferences: the text starts at the left edge again.
        w->menuItem(QStringLiteral("preferences"))->trigger();
        frmpref *prefs = shownWindow<frmpref>();
        QVERIFY(prefs);
        auto *box = prefs->findChild<QCheckBox *>(QStringLiteral("chklinenumbers"));
        QVERIFY(box && box->isChecked());
        QCOMPARE(box->text(), QStringLiteral("L&ine numbers"));
        box->click();
        QVERIFY(view->lineNumbers()); // until applied
        prefs->findChild<QPushButton *>(QStringLiteral("cmdapply"))->click();
        QVERIFY(!view->lineNumbers());
        QCOMPARE(view->leftMargin(), 0.0);
        QVERIFY(view->caretRect(0).left() < 10);
        QCOMPARE(settingsStore().get(QStringLiteral("Preferences"), QStringLiteral("linenumbers")),
                 QStringLiteral("0"));
        prefs->close();

        // Kept: the next window starts without the margin.
        auto next = start();
        QVERIFY(!next->rtfedit()->lineNumbers());
        QCOMPARE(next->rtfedit()->leftMargin(), 0.0);
    }

    void primarySelectionAndMiddleClick()
    {
        auto w = start();
        Surface &s = *w->surface();
        SurfaceView *view = w->rtfedit();
        s.setText(QStringLiteral("int alpha = beta;\r\nreturn ;"));
        s.setSelStart(0);
        QApplication::processEvents();
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (!clipboard->supportsSelection()) {
            // Without one, a middle click changes nothing.
            QTest::mouseClick(view->viewport(), Qt::MiddleButton, {},
                              view->caretRect(s.lineIndex(1) + 7).center());
            QCOMPARE(s.text(), QStringLiteral("int alpha = beta;\r\nreturn ;"));
            QSKIP("this platform has no primary selection (run the test under X)");
        }
        clipboard->setText(QStringLiteral("from the clipboard"));
        // Selected with the mouse: the selection is offered, the clipboard
        // stays as it was.
        const QPoint from = view->caretRect(12).center(), to = view->caretRect(16).center();
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, from);
        QTest::mouseMove(view->viewport(), to);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, to);
        QCOMPARE(s.selText(), QStringLiteral("beta"));
        QTRY_COMPARE(clipboard->text(QClipboard::Selection), QStringLiteral("beta"));
        QCOMPARE(clipboard->text(QClipboard::Clipboard), QStringLiteral("from the clipboard"));
        // A middle click pastes it at the click, caret after it, one undo step.
        QTest::mouseClick(view->viewport(), Qt::MiddleButton, {},
                          view->caretRect(s.lineIndex(1) + 7).center());
        QCOMPARE(s.lineText(1), QStringLiteral("return beta;"));
        QCOMPARE(s.selStart(), s.lineIndex(1) + 11);
        QCOMPARE(s.selLength(), 0);
        QCOMPARE(s.lineText(0), QStringLiteral("int alpha = beta;"));
        s.undo();
        QCOMPARE(s.text(), QStringLiteral("int alpha = beta;\r\nreturn ;"));
        // Selected with the keyboard: offered too.
        s.setSelStart(4);
        QTest::keyClick(view, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(clipboard->text(QClipboard::Selection), QStringLiteral("alpha "));
    }

    void droppedFilesOpenThroughTheSaveQuestion()
    {
        const QString first = path(QStringLiteral("First.java"));
        const QString second = path(QStringLiteral("Second Name.java"));
        const QString third = path(QStringLiteral("Third.java"));
        QVERIFY(writeFile(first, "class First {}\n"));
        QVERIFY(writeFile(second, "class Second {}\n"));
        QVERIFY(writeFile(third, "class Third {}\n"));
        auto w = start();
        Surface &s = *w->surface();
        QTest::keyClicks(w->rtfedit(), QStringLiteral("// typed"));
        const QPoint at = w->rtfedit()->caretRect(0).center();

        // Cancelled at the question: nothing opens here, the others still do.
        auto *files = new QMimeData;
        files->setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)});
        m_prompter.answer(MsgAnswer::Cancel);
        dropOn(w->rtfedit(), files, at);
        QTRY_COMPARE(m_started.size(), 1);
        QCOMPARE(m_prompter.messages(), QStringList{kSaveFirst});
        QCOMPARE(s.text(), QStringLiteral("// typed"));
        const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        QCOMPARE(m_started, QStringList{program + QLatin1Char(' ') + second});
        delete files;

        // Declined: the first file is the document, each other one starts a
        // window of its own. A list that also comes as text is files still.
        m_started.clear();
        files = new QMimeData;
        const QList<QUrl> urls{QUrl::fromLocalFile(first), QUrl::fromLocalFile(second),
                               QUrl::fromLocalFile(third)};
        files->setUrls(urls);
        files->setText(urls[0].toString() + QStringLiteral("\r\n") + urls[1].toString()
                       + QStringLiteral("\r\n") + urls[2].toString() + QStringLiteral("\r\n"));
        m_prompter.answer(MsgAnswer::No);
        dropOn(w->rtfedit(), files, at);
        QTRY_COMPARE(w->documents().path(), first);
        QCOMPARE(s.text(), QStringLiteral("class First {}\r\n"));
        QCOMPARE(m_started, (QStringList{program + QLatin1Char(' ') + second,
                                         program + QLatin1Char(' ') + third}));
        delete files;

        // Text goes in as text, links that are not files too.
        m_started.clear();
        auto *text = new QMimeData;
        text->setText(QStringLiteral("int dropped;"));
        dropOn(w->rtfedit(), text, w->rtfedit()->caretRect(0).center());
        delete text;
        auto *web = new QMimeData;
        web->setUrls({QUrl(QStringLiteral("https://example.org/A.java"))});
        web->setText(QStringLiteral("https://example.org/A.java"));
        dropOn(w->rtfedit(), web, w->rtfedit()->caretRect(0).center());
        delete web;
        QApplication::processEvents();
        QCOMPARE(s.text(),
                 QStringLiteral("https://example.org/A.javaint dropped;class First {}\r\n"));
        QCOMPARE(w->documents().path(), first);
        QCOMPARE(m_started, QStringList());
        m_prompter.answer(MsgAnswer::No); // leaving the edited text
        w->close();
    }

    void textIsNamedForAssistiveTechnology()
    {
        const QString file = path(QStringLiteral("Named.java"));
        QVERIFY(writeFile(file, "class Named {}\n"));
        auto w = start();
        QAccessibleInterface *text = QAccessible::queryAccessibleInterface(w->rtfedit());
        QVERIFY(text);
        QCOMPARE(text->text(QAccessible::Name), QStringLiteral("Document"));
        QCOMPARE(text->text(QAccessible::Description), QString());
        QVERIFY(w->documents().openPath(file));
        QCOMPARE(text->text(QAccessible::Name), QStringLiteral("Document"));
        QCOMPARE(text->text(QAccessible::Description), QStringLiteral("Named.java"));
        w->menuItem(QStringLiteral("new"))->trigger();
        QCOMPARE(text->text(QAccessible::Description), QString());
    }
};

QTEST_MAIN(TstWindowView)
#include "tst_windowview.moc"
