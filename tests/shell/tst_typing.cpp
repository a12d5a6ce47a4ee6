// Help while typing, through the real main window (offscreen): the edited
// line is recoloured and corrected at once, and typing a qualified name
// offers its members in the completion box.
#include "base/editorstate.h"
#include "completion/objecttree.h"
#include "formatting/colorizeall.h"
#include "formatting/typingassist.h"
#include "settings/convert.h"
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "shell/documentfiles.h"
#include "shell/ui/completionbox.h"
#include "shell/ui/frmedit.h"
#include "support/datarow.h"
#include "support/files.h"
#include "support/javatext.h"
#include "support/windowtest.h"
#include "surface/surface.h"
#include "surface/ui/surfaceview.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace qln;

namespace {
constexpr BgrColor kKeyword = 255, kString = 4227072, kComment = 8355711;

// Every character's colour and styles, one text per character.
QStringList coloursOf(const Surface &s)
{
    QStringList out;
    for (int i = 0; i < s.length(); ++i) {
        const CharFormat &f = s.formatAt(i);
        out << QStringLiteral("%1:%2%3%4%5")
                   .arg(i)
                   .arg(f.color)
                   .arg(f.bold ? "b" : "")
                   .arg(f.italic ? "i" : "")
                   .arg(f.underline ? "u" : "");
    }
    return out;
}

// The colours colouring the whole text at once gives, as on opening it.
QStringList wholeDocumentColours(frmedit &w, const QString &text)
{
    Surface fresh;
    fresh.setText(text);
    ColorizeDocument(fresh, w.preferences());
    return coloursOf(fresh);
}

} // namespace

class TstTyping : public QObject, test::WindowTest {
    Q_OBJECT
private slots:
    void init()
    {
        initWindowTest();
        // The factory tree lies next to the program, as it does when installed.
        const QString tree =
            QCoreApplication::applicationDirPath() + QStringLiteral("/JDK1.3.1TreeSorted.txt");
        QVERIFY2(QFile::exists(tree), qPrintable(tree));
        setPref("tree", tree);
        setPref("dropdowncbo", QStringLiteral("0")); // no popup list in these tests
    }
    void cleanup()
    {
        if (m_w) {
            m_w->surface()->setClean(); // nothing to save
            m_w->close();
            m_w.reset();
        }
        cleanupWindowTest();
    }
    void keywordColouredAsTyped()
    {
        Surface *s = startOn(QStringLiteral("|\r\n"));
        type(QStringLiteral("int interface"));
        QCOMPARE(s->text(), QStringLiteral("int interface\r\n"));
        QCOMPARE(s->formatAt(0).color, kKeyword);
        QCOMPARE(s->formatAt(4).color, kKeyword); // interface
        QVERIFY(m_w->windowTitle().endsWith(QLatin1Char('*')));
        QCOMPARE(s->selStart(), 13);
        QCOMPARE(m_w->rtfedit()->positionAt(m_w->rtfedit()->caretRect().center()), 13);

        // The last line has no line break after it: it is coloured as typed.
        s->setSelStart(s->length());
        type(QStringLiteral("int"));
        const int last = s->lineIndex(1);
        QCOMPARE(s->formatAt(last).color, kKeyword);
        type(QStringLiteral(" \"s\""));
        QCOMPARE(s->formatAt(last + 5).color, kString);
    }
    void typedTopToBottomIsColouredLineByLine()
    {
        Surface *s = start();
        QVERIFY(s->text().isEmpty());
        auto line = [&](int n) { return s->lineIndex(n); };
        type(QStringLiteral("int a = 1;"));
        QCOMPARE(s->formatAt(line(0)).color, kKeyword); // the last line, as it is typed
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Return);
        type(QStringLiteral("String t = \"int\";"));
        QCOMPARE(s->formatAt(line(0)).color, kKeyword); // Enter kept the line it ended
        QCOMPARE(s->formatAt(line(1) + 12).color, kString);
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Return);
        type(QStringLiteral("/* int"));
        QCOMPARE(s->formatAt(line(2)).color, 0u); // an unclosed comment is no comment yet
        QCOMPARE(s->formatAt(line(2) + 3).color, kKeyword);
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Return);
        type(QStringLiteral("x */ int b;"));
        QCOMPARE(s->text(),
                 QStringLiteral("int a = 1;\r\nString t = \"int\";\r\n/* int\r\nx */ int b;"));
        // Closing the comment coloured it from its start, and not the code after it.
        for (int pos = line(2); pos < line(3) + 4; ++pos)
            QVERIFY2(s->formatAt(pos).color == kComment, qPrintable(QString::number(pos)));
        QCOMPARE(s->formatAt(line(3) + 5).color, kKeyword);
        // What typing left is what colouring the whole document gives.
        QCOMPARE(coloursOf(*s), wholeDocumentColours(*m_w, s->text()));
    }
    void blockCommentKeepsItsColourThroughEdits_data()
    {
        QTest::addColumn<QString>("document"); // "|" marks the caret
        QTest::addColumn<QString>("typed");    // "<" is Backspace
        row("inside", "int a;\r\n/*\r\nint |x\r\n*/\r\nint b;\r\n", "y int");
        row("on the opening line", "int a; /* one|\r\ntwo\r\n*/ int b;\r\n", " int");
        row("on the closing line", "/*\r\none\r\n*/ int |b;\r\n", "x");
        row("closing it early", "/*\r\none\r\n|two int\r\nthree */\r\nint c;\r\n", "*/");
        row("opening a comment", "int a;\r\n|int b;\r\nint c; /* x */\r\nint d;\r\n", "/*");
        row("removing its end", "/* a\r\nb */| int c;\r\nint d; /* e */\r\n", "<<");
        row("removing its start", "int a;\r\n/*| b\r\nint c; */\r\nint d;\r\n", "<");
        row("string inside", "/*\r\n|\r\n*/\r\nint x = \"a\";\r\n", "\"int\"");
        row("end marker behind a line comment", "/* a // b */\r\n|\r\nint c; */\r\nint d;\r\n",
            "x");
    }
    void blockCommentKeepsItsColourThroughEdits()
    {
        QFETCH(QString, document);
        QFETCH(QString, typed);
        Surface *s = start();
        const int caret = int(document.indexOf(QLatin1Char('|')));
        document.remove(caret, 1);
        s->setText(document);
        ColorizeDocument(*s, m_w->preferences());
        QCOMPARE(coloursOf(*s), wholeDocumentColours(*m_w, s->text()));
        s->setSelStart(caret);
        for (const QChar c : typed) {
            if (c == QLatin1Char('<'))
                QTest::keyClick(m_w->rtfedit(), Qt::Key_Backspace);
            else
                type(QString(c));
            QCOMPARE(coloursOf(*s), wholeDocumentColours(*m_w, s->text()));
        }
    }
    void typingInsideALongCommentTouchesOnlyItsLine()
    {
        Surface *s = start();
        const QString text = QStringLiteral("/*\r\n")
                             + test::numbered(QStringLiteral("int line %1\r\n"), 2000)
                             + QStringLiteral("*/\r\nint end;\r\n");
        s->setText(text);
        ColorizeDocument(*s, m_w->preferences());
        // Two characters of the comment in the wrong colour: one on the line
        // typed on, one far from it.
        const int near = s->lineIndex(1000) + 6, far = s->lineIndex(10) + 2;
        s->setFormat(near, 1, CharFormat{kKeyword, false, false, false, QString(), 0});
        s->setFormat(far, 1, CharFormat{kKeyword, false, false, false, QString(), 0});
        s->setSelStart(s->lineIndex(1000) + 3);
        type(QStringLiteral("x"));
        QCOMPARE(s->formatAt(s->lineIndex(1000)).color, kComment);
        QCOMPARE(s->formatAt(s->lineIndex(1000) + 3).color, kComment);
        QCOMPARE(s->formatAt(near + 1).color, kComment); // the typed line was coloured again
        QCOMPARE(s->formatAt(far).color, kKeyword);      // the rest of the comment was not touched
        QCOMPARE(s->formatAt(int(s->text().lastIndexOf(QStringLiteral("int end")))).color,
                 kKeyword);
    }
    void commentsInTheTextColourStayCheap()
    {
        // Comments as black as the text: a line feed tells nothing about
        // comments, and typing must not colour the whole document again.
        setPref("ccommentscolor", QStringLiteral("0"));
        Surface *s = start();
        QString text = test::numbered(QStringLiteral("qq%1 zz\r\n"), 2000); // nothing to colour
        s->setText(text);
        ColorizeDocument(*s, m_w->preferences());
        const int far = s->lineIndex(10);
        s->setFormat(far, 1,
                     CharFormat{kString, false, false, false, QString(),
                                0});            // a wrong colour far from the typing
        s->setSelStart(s->lineIndex(1000) + 9); // after "qq1000 zz"
        type(QStringLiteral(" int"));
        QCOMPARE(s->formatAt(s->lineIndex(1000) + 10).color, kKeyword);
        QCOMPARE(s->formatAt(far).color, kString); // not coloured again
    }
    void openingColoursTheDocument()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("A.java"));
        QVERIFY(test::writeFile(
            path, "/* head */\nclass A {\n  String s = \"x\"; // c\n}\nint last = 1; \"y\""));
        Surface *s = start();
        QVERIFY(m_w->documents().load(path));
        QCOMPARE(m_prompter.pending(), 0);
        QCOMPARE(s->formatAt(0).color, kComment);
        QCOMPARE(s->formatAt(s->lineIndex(1)).color, kKeyword); // class
        QCOMPARE(s->formatAt(s->lineIndex(2) + 14).color, kString);
        QCOMPARE(s->formatAt(s->lineIndex(2) + 20).color, kComment);
        QCOMPARE(s->formatAt(s->lineIndex(4)).color, kKeyword); // the last line too
        QCOMPARE(s->formatAt(s->lineIndex(4) + 15).color, kString);
        QCOMPARE(s->selStart(), 0);
        QVERIFY(!m_w->windowTitle().endsWith(QLatin1Char('*')));

        // Unticked: the document opens in the text colour.
        m_w->chkautosyntaxcolor()->setChecked(false);
        QVERIFY(m_w->documents().load(path));
        QCOMPARE(s->formatAt(s->lineIndex(1)).color, 0u);
    }
    void documentOnTheCommandLineIsColoured()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("C.java"));
        QVERIFY(test::writeFile(path, "/* a */\nint b;"));
        m_w = std::make_unique<frmedit>(path, &m_prompter, ProbePlaces{});
        Surface *s = m_w->surface();
        QCOMPARE(s->text(), QStringLiteral("/* a */\r\nint b;"));
        QCOMPARE(s->formatAt(0).color, kComment);
        QCOMPARE(s->formatAt(s->lineIndex(1)).color, kKeyword);
    }
    void insertFileColoursTheDocument()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("B.java"));
        QVERIFY(test::writeFile(path, "int x;\n/* a\nb */"));
        Surface *s = startOn(QStringLiteral("|class Z {\r\n"));
        m_prompter.answerText(path);
        m_w->documents().InsertFile();
        QCOMPARE(s->text(), QStringLiteral("int x;\r\n/* a\r\nb */class Z {\r\n"));
        QCOMPARE(s->formatAt(0).color, kKeyword);
        QCOMPARE(s->formatAt(s->lineIndex(2)).color, kComment);
        QCOMPARE(s->formatAt(s->lineIndex(2) + 4).color, kKeyword); // class
    }
    void correctsFinishedWordsOnly_data()
    {
        QTest::addColumn<QString>("before"); // the caret at "|"
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after"); // the caret at "|"
        // With the pairs teh -> the and recieve -> receive.
        row("blank finishes", "|\r\n", "String teh ", "String the |\r\n");
        row("at the line's end", "|\r\n", "x = teh", "x = teh|\r\n");
        row("longer name", "|\r\n", "int tehName = 1;", "int tehName = 1;|\r\n");
        row("tehran", "|\r\n", "tehran ", "tehran |\r\n");
        row("underscore", "|\r\n", "teh_count++;", "teh_count++;|\r\n");
        row("dollar", "|\r\n", "teh$ $teh ", "teh$ $teh |\r\n");
        row("recieveData", "|\r\n", "void recieveData() {", "void recieveData() {|\r\n");
        row("member", "|\r\n", "obj.teh();", "obj.teh();|\r\n");
        row("capitals", "|\r\n", "TEH ", "THE |\r\n");
        row("capitalised", "|\r\n", "Teh, teh(", "The, the(|\r\n");
        row("comment", "|\r\n", "// recieve it", "// receive it|\r\n");
        row("last line", "|", "teh;", "the;|");
        row("line break", "|\r\n", "teh\n", "teh\r\n|\r\n");
        // A blank typed inside a name splits it: the first part is finished.
        row("split", "teh|String\r\n", " ", "the |String\r\n");
        // Typing elsewhere on a line leaves its other words alone.
        row("elsewhere", "a| teh recieve\r\n", "b ", "ab | teh recieve\r\n");
        // The caret follows a correction that changes the length before it.
        row("longer", "|\r\n", "recieve ", "receive |\r\n");
    }
    void correctsFinishedWordsOnly()
    {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, after);
        Surface *s = startOn(before, QStringLiteral("teh=the;recieve=receive"));
        for (const QChar c : typed) {
            if (c == QLatin1Char('\n'))
                QTest::keyClick(m_w->rtfedit(), Qt::Key_Return);
            else
                type(QString(c));
            // The box would take Enter: these tests are about words.
            QTest::keyClick(m_w->rtfedit(), Qt::Key_Escape);
        }
        QCOMPARE(s->text(), QString(after).remove(QLatin1Char('|')));
        QCOMPARE(s->selStart(), int(after.indexOf(QLatin1Char('|'))));
        QCOMPARE(m_w->rtfedit()->positionAt(m_w->rtfedit()->caretRect().center()), s->selStart());
    }
    void correctionUndoneByOneStepAndSpellCorrectAll()
    {
        Surface *s = startOn(QStringLiteral("|\r\n"), QStringLiteral("teh=the"));
        type(QStringLiteral("Teh "));
        QCOMPARE(s->text(), QStringLiteral("The \r\n"));
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s->text(), QStringLiteral("Teh \r\n"));
        QCOMPARE(s->selStart(), 3);
        // Another character right after it, and typing on, leave it alone.
        type(QStringLiteral(","));
        QTest::keyClick(m_w->rtfedit(), Qt::Key_End);
        type(QStringLiteral("x "));
        QCOMPARE(s->text(), QStringLiteral("Teh, x \r\n"));

        // The menu command follows the same rule over the whole document.
        s->setText(QStringLiteral("TEH teh.teh tehName teh_x teh\r\nobj.teh(Teh);"));
        s->setClean(); // nothing to save first
        QAction *all = m_w->menuItem(QStringLiteral("spellcorrectallrtf"));
        QVERIFY(all);
        all->trigger();
        QCOMPARE(s->text(), QStringLiteral("THE the.teh tehName teh_x the\r\nobj.teh(The);"));
    }
    void allSwitchesOffOnlyMarksModified()
    {
        setPref("chksautosc", QStringLiteral("0"));
        setPref("chkautosyntaxcolor", QStringLiteral("0"));
        setPref("autotreesearch", QStringLiteral("0"));
        Surface *s = startOn(QStringLiteral("|\r\n"), QStringLiteral("teh=the"));
        s->setSelColor(kString); // typed text would be green
        s->setClean();
        QCOMPARE(m_w->windowTitle(), QStringLiteral("Document [] - Quillon"));
        type(QStringLiteral("int teh "));
        QCOMPARE(s->text(), QStringLiteral("int teh \r\n"));
        QCOMPARE(s->formatAt(0).color, 0u); // the line takes the text colour only
        QVERIFY(m_w->windowTitle().endsWith(QLatin1Char('*')));
        QVERIFY(m_w->cbotree()->isHidden());
    }
    void completionOffersMembersAndEnterInserts()
    {
        Surface *s = startOn(QStringLiteral("|\r\n"));
        QVERIFY(m_w->objectTree().treecount > 1000);
        type(QStringLiteral("x = java.awt.Co"));
        CompletionBox *box = m_w->cbotree();
        QVERIFY(box->isVisible());
        const QStringList items = itemsOf(box);
        QVERIFY(items.contains(QStringLiteral("Color")));
        QVERIFY(items.contains(QStringLiteral("event")));
        QVERIFY(!items.contains(QStringLiteral("RED"))); // deeper descendants are not offered
        // Pre-selected: the first name that begins with "Co", in any case.
        QVERIFY(box->currentText().startsWith(QStringLiteral("Co"), Qt::CaseInsensitive));
        const QString chosen = m_w->typing().arrmatch().at(box->currentIndex() + 1);
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Return);
        QCOMPARE(s->text(), QStringLiteral("x = java.awt.") + chosen + QStringLiteral("\r\n"));
        QCOMPARE(s->selStart(), 13 + int(chosen.size()));
        QVERIFY(box->isHidden());
        // The box stays closed after the insertion, so Enter now breaks the line.
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Return);
        QCOMPARE(s->lineCount(), 3);
        // Undo takes the line break back, then the whole completion in one step,
        // leaving what was typed; the box does not open for it.
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s->text(), QStringLiteral("x = java.awt.Co\r\n"));
        QVERIFY(box->isHidden());
    }
    void arrowsMoveInTheBoxAndEscapeEmptiesIt()
    {
        Surface *s = startOn(QStringLiteral("|\r\n"));
        type(QStringLiteral("java.lang.String."));
        CompletionBox *box = m_w->cbotree();
        QVERIFY(box->isVisible());
        QVERIFY(box->count() > 10);
        const int caret = s->selStart();
        QCOMPARE(box->currentIndex(), -1); // nothing typed after the dot: nothing chosen
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Down);
        QCOMPARE(box->currentIndex(), 0);
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Down);
        QCOMPARE(box->currentIndex(), 1);
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Up);
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Up); // past the top: stays on the first
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(s->selStart(), caret); // the caret did not move
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Escape);
        QVERIFY(box->isHidden());
        QCOMPARE(box->count(), 0);
        // The next character fills it again.
        type(QStringLiteral("v"));
        QVERIFY(box->isVisible());
        QVERIFY(box->currentIndex() >= 0);
        QVERIFY(m_w->typing().arrmatch().at(box->currentIndex() + 1).startsWith(QLatin1Char('v')));
    }
    void completionOnLastLineWithoutBreak()
    {
        Surface *s = start();
        type(QStringLiteral("java.io.F"));
        QCOMPARE(s->text(), QStringLiteral("java.io.F"));
        QVERIFY(m_w->cbotree()->isVisible());
        QVERIFY(m_w->cbotree()->currentText().startsWith(QLatin1Char('F')));
    }
    void altAndCtrlShortcuts()
    {
        Surface *s = start();
        s->setText(QStringLiteral("word\r\n"));
        s->setSelection(0, 4);
        int changes = 0;
        connect(s, &Surface::changed, this, [&] {
            if (!editorState().suppressChange)
                ++changes;
        });
        QTest::keyClick(m_w->rtfedit(), Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(s->selBold(), std::optional<bool>(true));
        QVERIFY(m_w->toolbarItem(13)->isChecked());
        QCOMPARE(changes, 0);
        QTest::keyClick(m_w->rtfedit(), Qt::Key_I, Qt::ControlModifier);
        QCOMPARE(s->selItalic(), std::optional<bool>(true));
        QCOMPARE(s->text(), QStringLiteral("word\r\n")); // no tab typed
    }
    void clickHidesTheBox()
    {
        start();
        type(QStringLiteral("java.util."));
        QVERIFY(m_w->cbotree()->isVisible());
        QTest::mouseClick(m_w->rtfedit()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(m_w->cbotree()->isHidden());
    }
    void droppedListLetsTypingThrough()
    {
        setPref("dropdowncbo", QStringLiteral("1"));
        Surface *s = start();
        type(QStringLiteral("java."));
        CompletionBox *box = m_w->cbotree();
        QVERIFY(box->view()->isVisible()); // the list dropped down for the new key
        // Typing into the open list goes on in the document.
        QTest::keyClicks(box->view(), QStringLiteral("awt.Co"));
        QCOMPARE(s->text(), QStringLiteral("java.awt.Co"));
        QVERIFY(m_w->rtfedit()->hasFocus());
        QVERIFY(box->isVisible());
        // In the open list, Down moves and Enter chooses the lit item.
        type(QStringLiteral("l"));
        QCOMPARE(s->text(), QStringLiteral("java.awt.Col"));
        box->showPopup();
        QTest::keyClick(box->view(), Qt::Key_Return);
        const QString chosen = m_w->typing().arrmatch().at(box->currentIndex() + 1);
        QVERIFY(chosen.startsWith(QStringLiteral("Col")));
        QCOMPARE(s->text(), QStringLiteral("java.awt.") + chosen);
    }
    void insertKeyOverwrites()
    {
        setPref("autotreesearch", QStringLiteral("0"));
        Surface *s = startOn(QStringLiteral("a|bcd\r\n"));
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Insert);
        QVERIFY(!m_w->statusPanel(6)->isEnabled());
        type(QStringLiteral("XYZW"));
        QCOMPARE(s->text(), QStringLiteral("aXYZW\r\n")); // the line break is never overwritten
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Insert);
        QVERIFY(m_w->statusPanel(6)->isEnabled());
        type(QStringLiteral("!"));
        QCOMPARE(s->text(), QStringLiteral("aXYZW!\r\n"));
    }
    void simpleNamesComplete()
    {
        Surface *s = start();
        CompletionBox *box = m_w->cbotree();
        auto items = [&] { return itemsOf(box); };
        // (Escape closes the box the package names opened, so Enter breaks the line.)
        type(QStringLiteral("import java.awt.*;"));
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Escape);
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Return);
        type(QStringLiteral("import java.util.List;"));
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Escape);
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Return);
        type(QStringLiteral("Color c; c.br"));
        QVERIFY(box->isVisible());
        QCOMPARE(m_w->typing().key1(), QStringLiteral("java.awt.Color."));
        QVERIFY(items().contains(QStringLiteral("Color brighter()")));
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Return);
        QVERIFY(s->text().endsWith(QStringLiteral("Color c; c.brighter()")));
        QVERIFY(box->isHidden());

        QTest::keyClick(m_w->rtfedit(), Qt::Key_Return);
        type(QStringLiteral("System.out.printl"));
        QVERIFY(box->isVisible());
        QCOMPARE(m_w->typing().key1(), QStringLiteral("java.io.PrintStream."));
        QVERIFY(box->currentText().contains(QStringLiteral("println(")));

        QTest::keyClick(m_w->rtfedit(), Qt::Key_Escape);
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Return);
        type(QStringLiteral("List<String> list = null; list.si"));
        QVERIFY(box->isVisible());
        QVERIFY(box->currentText().contains(QStringLiteral("size()")));

        QTest::keyClick(m_w->rtfedit(), Qt::Key_Escape);
        QTest::keyClick(m_w->rtfedit(), Qt::Key_Return);
        type(QStringLiteral("nothing.x"));
        QVERIFY(box->isHidden());
        QVERIFY(m_w->typing().key1().isEmpty());
    }
    void boxOpensBelowTheCaretLine()
    {
        Surface *s = start();
        SurfaceView *view = m_w->rtfedit();
        CompletionBox *box = m_w->cbotree();
        const QRect screen = box->screen()->availableGeometry();
        // The caret's line and the box, on the screen.
        auto rects = [&] {
            const QRect caret(view->viewport()->mapToGlobal(view->caretRect().topLeft()),
                              view->caretRect().size());
            const QRect shown(box->mapToGlobal(QPoint(0, 0)), box->size());
            return std::make_pair(caret, shown);
        };
        QWidget *client = box->parentWidget();
        const QRect bounds = screen & QRect(client->mapToGlobal(QPoint(0, 0)), client->size());
        s->setText(QStringLiteral("\r\n\r\n\r\n"));
        s->setSelStart(s->lineIndex(2));
        type(QStringLiteral("  x = java.awt."));
        QVERIFY(box->isVisible());
        auto [caret, shown] = rects();
        QVERIFY(bounds.contains(shown));
        QCOMPARE(shown.top(), caret.bottom() + 1); // right below the line
        QCOMPARE(shown.left(), caret.left());      // at the caret's x
        // Long names: the box is as wide as the longest, its list at most 12 rows.
        const QFontMetrics metrics(box->view()->font());
        int longest = 0;
        for (int i = 0; i < box->count(); ++i)
            longest = std::max(longest, metrics.horizontalAdvance(box->itemText(i)));
        QVERIFY(box->width() >= longest);
        QVERIFY(box->count() > 12);
        box->showPopup();
        QVERIFY(box->view()->width() >= longest);
        const int row = box->view()->sizeHintForRow(0);
        QVERIFY(box->view()->height() <= 13 * row);
        box->hidePopup();

        // At the right edge of the window the box moves left to stay inside.
        QTest::keyClick(view, Qt::Key_Escape);
        QTest::keyClick(view, Qt::Key_End);
        QTest::keyClick(view, Qt::Key_Return);
        type(QString(150, QLatin1Char(' ')) + QStringLiteral("javax.swing.JComponent."));
        QVERIFY(box->isVisible());
        std::tie(caret, shown) = rects();
        QVERIFY(bounds.contains(shown));
        QVERIFY(shown.top() > caret.bottom() || shown.bottom() == bounds.bottom());
    }
    void focusOnTheBoxKeepsEveryCharacter()
    {
        setPref("setfocusontreebox", QStringLiteral("1"));
        start();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        Surface *s = m_w->surface();
        const QString typed = QStringLiteral("x = java.awt.Co");
        for (const QChar c : typed) {
            QWidget *target = QApplication::focusWidget();
            QVERIFY(target);
            QTest::keyClick(target, c.toLatin1());
        }
        QCOMPARE(s->text(), typed);
        CompletionBox *box = m_w->cbotree();
        QVERIFY(box->isVisible());
        QVERIFY(box->hasFocus());
        QVERIFY(box->currentText().startsWith(QStringLiteral("Co"), Qt::CaseInsensitive));
        // Backspace goes to the document as well; Enter in the box inserts.
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(s->text(), QStringLiteral("x = java.awt.C"));
        QTest::keyClick(QApplication::focusWidget(), 'O');
        QCOMPARE(s->text(), QStringLiteral("x = java.awt.CO"));
    }
    void completionInsertsWhatCompiles()
    {
        Surface *s = startOn(QStringLiteral("|\r\n"));
        SurfaceView *view = m_w->rtfedit();
        CompletionBox *box = m_w->cbotree();
        auto items = [&] { return itemsOf(box); };
        auto status = [&] { return m_w->statusPanel(1)->text(); };
        auto line = [&] { return s->lineText(s->lineFromChar(s->selStart())); };
        auto column = [&] { return s->selStart() - s->lineIndex(s->lineFromChar(s->selStart())); };

        // A method without parameters: its name and "()", the caret after them.
        // The ";" typed next keeps the box shut, so Enter breaks the line.
        type(QStringLiteral("String field = null; field.le"));
        QVERIFY(box->isVisible());
        QCOMPARE(box->currentText(), QStringLiteral("int length()"));
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(line(), QStringLiteral("String field = null; field.length()"));
        QCOMPARE(column(), int(line().size()));
        type(QStringLiteral(";"));
        QVERIFY(box->isHidden());
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(s->text(), QStringLiteral("String field = null; field.length();\r\n\r\n"));

        // After a value its type's constructors are not offered; a method with
        // parameters leaves the caret between its parentheses and shows them in
        // the status bar until the caret leaves.
        type(QStringLiteral("System.out.pr"));
        QVERIFY(box->isVisible());
        QVERIFY(!items().isEmpty());
        for (const QString &item : items())
            QVERIFY2(!item.startsWith(QStringLiteral("PrintStream(")), qPrintable(item));
        const QString chosen = box->currentText();
        QVERIFY2(chosen.startsWith(QStringLiteral("void print(")), qPrintable(chosen));
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(line(), QStringLiteral("System.out.print()"));
        QCOMPARE(column(), 17);
        QVERIFY2(status().contains(chosen), qPrintable(status()));
        type(QStringLiteral("x"));
        QCOMPARE(line(), QStringLiteral("System.out.print(x)"));
        QVERIFY2(status().contains(chosen), qPrintable(status()));
        QTest::keyClick(view, Qt::Key_End);
        QVERIFY2(!status().contains(chosen), qPrintable(status()));
        QTest::keyClick(view, Qt::Key_Left);
        QVERIFY2(!status().contains(chosen), qPrintable(status())); // the hint has ended

        QTest::keyClick(view, Qt::Key_End);
        QTest::keyClick(view, Qt::Key_Return);
        type(QStringLiteral("StringBuilder sb = null; sb.ind"));
        QVERIFY(box->isVisible());
        QCOMPARE(box->currentText(), QStringLiteral("int indexOf(String)"));
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(line(), QStringLiteral("StringBuilder sb = null; sb.indexOf()"));
        QCOMPARE(column(), int(line().size()) - 1);
        QVERIFY2(status().contains(QStringLiteral("int indexOf(String)")), qPrintable(status()));
        // Undo takes the whole choice back.
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(line(), QStringLiteral("StringBuilder sb = null; sb.ind"));

        // A type named as such still offers its constructors, and a field or
        // type goes in as its name.
        QTest::keyClick(view, Qt::Key_Escape);
        QTest::keyClick(view, Qt::Key_End);
        QTest::keyClick(view, Qt::Key_Return);
        type(QStringLiteral("java.awt.Color."));
        QVERIFY(items().contains(QStringLiteral("Color(int, int, int)")));
        type(QStringLiteral("BLA"));
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(line(), QStringLiteral("java.awt.Color.BLACK"));
        type(QStringLiteral("; java.awt.Color c = null; c."));
        QVERIFY(box->isVisible());
        QVERIFY(items().contains(QStringLiteral("Color brighter()")));
        for (const QString &item : items())
            QVERIFY2(!item.startsWith(QStringLiteral("Color(")), qPrintable(item));

        // The box opens only while a name is typed after the dot.
        for (const QString &after :
             {QStringLiteral(" "), QStringLiteral(")"), QStringLiteral(";")}) {
            type(QStringLiteral("br") + after);
            QVERIFY2(box->isHidden(), qPrintable(after));
            type(QStringLiteral(" c."));
        }
        // With nothing chosen Enter closes the box and breaks the line.
        QVERIFY(box->isVisible());
        QCOMPARE(box->currentIndex(), -1);
        const int lines = s->lineCount();
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(s->lineCount(), lines + 1);
        QVERIFY(box->isHidden());
    }
    void everyNonNameKeyReachesTheDocument_data()
    {
        QTest::addColumn<QString>("focus"); // where the keys go while the box shows
        row("text", "text");
        row("box", "box");
        row("dropped list", "list");
    }
    void everyNonNameKeyReachesTheDocument()
    {
        QFETCH(QString, focus);
        setPref("setfocusontreebox", QLatin1String(focus == QLatin1String("box") ? "1" : "0"));
        start();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        Surface *s = m_w->surface();
        CompletionBox *box = m_w->cbotree();
        const QString keys = QStringLiteral(";,)(. +-*/=<>!&|^%?:[]{}\"'@#~\\\n");
        for (const QChar c : keys) {
            const QString what = c == QLatin1Char('\n') ? QStringLiteral("Enter") : QString(c);
            s->setText(QStringLiteral("\r\n"));
            s->setSelStart(0);
            m_w->rtfedit()->setFocus();
            for (const QChar k : QStringLiteral("java.awt.Co"))
                QTest::keyClick(QApplication::focusWidget(), k.toLatin1());
            QVERIFY2(box->isVisible(), qPrintable(what));
            QWidget *target = QApplication::focusWidget();
            if (focus == QLatin1String("list")) {
                box->showPopup();
                target = box->view();
            }
            QCOMPARE(target == box || target == box->view(), focus != QLatin1String("text"));
            const QString chosen = m_w->typing().arrmatch().at(box->currentIndex() + 1);
            QVERIFY2(chosen.startsWith(QStringLiteral("Co")), qPrintable(chosen));

            if (c == QLatin1Char('\n'))
                QTest::keyClick(target, Qt::Key_Return);
            else
                QTest::keyClick(target, c.toLatin1());
            QString expected = QStringLiteral("java.awt.Co") + c;
            if (c == QLatin1Char('\n'))
                expected = QStringLiteral("java.awt.") + chosen; // chosen, no line break
            else if (c == QLatin1Char(' ') && focus != QLatin1String("text"))
                expected = QStringLiteral("java.awt.") + chosen + c; // chosen, then the blank
            QCOMPARE(s->text(), expected + QStringLiteral("\r\n"));
            QVERIFY2(box->isHidden(), qPrintable(what));
        }
    }

private:
    // The window started (see start()) on a document in which "|" marks the
    // caret; its surface.
    Surface *startOn(const QString &document, const QString &spelling = QString())
    {
        Surface *s = start(spelling);
        s->setText(QString(document).remove(QLatin1Char('|')));
        s->setSelStart(int(document.indexOf(QLatin1Char('|'))));
        return s;
    }
    // The window (m_w), shown and focused, with the spelling pairs given;
    // its surface.
    Surface *start(const QString &spelling = QString())
    {
        // "wrong=right;wrong=right..."
        const QStringList pairs = spelling.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (int i = 0; i < pairs.size(); ++i) {
            const QStringList pair = pairs[i].split(QLatin1Char('='));
            setPref(qPrintable(QStringLiteral("lstsfrom%1").arg(i + 1)), pair[0]);
            setPref(qPrintable(QStringLiteral("lststo%1").arg(i + 1)), pair[1]);
        }
        if (!pairs.isEmpty())
            setPref("fromtocount", QString::number(pairs.size()));
        m_w = open();
        if (!QTest::qWaitForWindowExposed(m_w.get()))
            return nullptr;
        m_w->rtfedit()->setFocus();
        return m_w->surface();
    }
    void type(const QString &text) { QTest::keyClicks(m_w->rtfedit(), text); }
    std::unique_ptr<frmedit> m_w;
};

QTEST_MAIN(TstTyping)
#include "tst_typing.moc"
