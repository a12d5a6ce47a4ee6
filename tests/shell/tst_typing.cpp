// Help while typing, through the real main window (offscreen): the edited
// line is recoloured and corrected at once, and typing a qualified name
// offers its members in the completion box.
#include "completion/objecttree.h"
#include "settings/convert.h"
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "shell/completionbox.h"
#include "shell/editorstate.h"
#include "shell/frmedit.h"
#include "formatting/typingassist.h"
#include "support/scriptedprompter.h"
#include "support/testenv.h"
#include "surface/surface.h"
#include "surface/surfaceview.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QCoreApplication>
#include <QTest>

using namespace qln;
using qln::test::ScriptedPrompter;

namespace {
constexpr BgrColor kKeyword = 255, kString = 4227072, kComment = 8355711;

void setPref(const char *key, const QString &value)
{
    settingsStore().save(kPrefs, QLatin1String(key), value);
}
} // namespace

class TstTyping : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void keywordColouredOnceTheLineEnds();
    void lineInsideBlockCommentLosesCommentColour();
    void correctionKeepsCaretAfterWord();
    void correctionAfterCaretLeavesCaret();
    void allSwitchesOffOnlyMarksModified();
    void completionOffersMembersAndEnterInserts();
    void arrowsMoveInTheBoxAndEscapeEmptiesIt();
    void completionOnLastLineWithoutBreak();
    void altAndCtrlShortcuts();
    void clickHidesTheBox();
    void droppedListLetsTypingThrough();
    void insertKeyOverwrites();

private:
    std::unique_ptr<frmedit> start(const QString &spelling = QString());
    void type(const QString &text) { QTest::keyClicks(m_w->rtfedit(), text); }
    std::unique_ptr<test::TestEnv> m_env;
    ScriptedPrompter m_prompter;
    std::unique_ptr<frmedit> m_w;
};

void TstTyping::init()
{
    m_env = std::make_unique<test::TestEnv>();
    m_prompter.clear();
    QVERIFY(test::installFactorySettings(m_prompter));
    // The factory tree lies next to the program, as it does when installed.
    const QString tree = QCoreApplication::applicationDirPath()
                         + QStringLiteral("/JDK1.3.1TreeSorted.txt");
    QVERIFY2(QFile::exists(tree), qPrintable(tree));
    setPref("tree", tree);
    setPref("dropdowncbo", QStringLiteral("0")); // no popup list in these tests
}

void TstTyping::cleanup()
{
    if (m_w) {
        m_w->surface()->setClean(); // nothing to save
        m_w->close();
        m_w.reset();
    }
    QCOMPARE(m_prompter.pending(), 0);
    editorState() = EditorState{};
}

std::unique_ptr<frmedit> TstTyping::start(const QString &spelling)
{
    if (!spelling.isEmpty()) {
        const QStringList pair = spelling.split(QLatin1Char('='));
        setPref("fromtocount", QStringLiteral("1"));
        setPref("lstsfrom1", pair[0]);
        setPref("lststo1", pair[1]);
    }
    auto w = std::make_unique<frmedit>(QString(), &m_prompter, ProbePlaces{});
    if (!QTest::qWaitForWindowExposed(w.get()))
        return nullptr;
    w->rtfedit()->setFocus();
    return w;
}

void TstTyping::keywordColouredOnceTheLineEnds()
{
    m_w = start();
    Surface *s = m_w->surface();
    s->setText(QStringLiteral("\r\n"));
    s->setSelStart(0);
    type(QStringLiteral("int interface"));
    QCOMPARE(s->text(), QStringLiteral("int interface\r\n"));
    QCOMPARE(s->formatAt(0).color, kKeyword);
    QCOMPARE(s->formatAt(4).color, kKeyword); // interface
    QVERIFY(m_w->windowTitle().endsWith(QLatin1Char('*')));
    QCOMPARE(s->selStart(), 13);
    QCOMPARE(m_w->rtfedit()->textCursor().position(), 13);

    // The last line has no line break after it: nothing is coloured yet.
    s->setSelStart(s->length());
    type(QStringLiteral("int"));
    const int last = s->lineIndex(1);
    QCOMPARE(s->formatAt(last).color, 0u);
    // A line break after it, then one more keystroke on that line colours it.
    QTest::keyClick(m_w->rtfedit(), Qt::Key_Return);
    QTest::keyClick(m_w->rtfedit(), Qt::Key_Up);
    QTest::keyClick(m_w->rtfedit(), Qt::Key_End);
    type(QStringLiteral(" "));
    QCOMPARE(s->text(), QStringLiteral("int interface\r\nint \r\n"));
    QCOMPARE(s->formatAt(s->lineIndex(1)).color, kKeyword);
}

void TstTyping::lineInsideBlockCommentLosesCommentColour()
{
    m_w = start();
    Surface *s = m_w->surface();
    s->setText(QStringLiteral("/*\r\nint x\r\n*/\r\n"));
    s->setSelection(0, s->length());
    s->setSelColor(kComment);
    s->setSelStart(s->lineIndex(1) + 5);
    type(QStringLiteral("y"));
    QCOMPARE(s->text(), QStringLiteral("/*\r\nint xy\r\n*/\r\n"));
    QCOMPARE(s->formatAt(s->lineIndex(1)).color, kKeyword);
    QCOMPARE(s->formatAt(s->lineIndex(1) + 4).color, 0u);
    QCOMPARE(s->formatAt(0).color, kComment); // other lines keep their colour
}

void TstTyping::correctionKeepsCaretAfterWord()
{
    m_w = start(QStringLiteral("teh=the"));
    Surface *s = m_w->surface();
    s->setText(QStringLiteral("\r\n"));
    s->setSelStart(0);
    type(QStringLiteral("String teh"));
    // At the end of the line teh already stands as a whole word.
    QCOMPARE(s->text(), QStringLiteral("String the\r\n"));
    QCOMPARE(s->selStart(), 10);
    // In front of other text it waits until it is a whole word.
    s->setSelStart(0);
    type(QStringLiteral("Teh"));
    QCOMPARE(s->text(), QStringLiteral("TehString the\r\n"));
    type(QStringLiteral(" "));
    QCOMPARE(s->text(), QStringLiteral("the String the\r\n"));
    QCOMPARE(s->selStart(), 4);

    // A correction that changes the length before the caret moves it.
    m_w->surface()->setClean();
    m_w->close();
    m_w.reset();
    m_w = start(QStringLiteral("adress=address"));
    s = m_w->surface();
    s->setText(QStringLiteral("\r\n"));
    s->setSelStart(0);
    type(QStringLiteral("adress "));
    QCOMPARE(s->text(), QStringLiteral("address \r\n"));
    QCOMPARE(s->selStart(), 8);
    QCOMPARE(m_w->rtfedit()->textCursor().position(), 8);
}

void TstTyping::correctionAfterCaretLeavesCaret()
{
    m_w = start(QStringLiteral("adress=address"));
    Surface *s = m_w->surface();
    s->setText(QStringLiteral("a  adress\r\n"));
    s->setSelStart(1);
    type(QStringLiteral("b"));
    QCOMPARE(s->text(), QStringLiteral("ab  address\r\n"));
    QCOMPARE(s->selStart(), 2); // right after the typed b, not moved by the correction
}

void TstTyping::allSwitchesOffOnlyMarksModified()
{
    setPref("chksautosc", QStringLiteral("0"));
    setPref("chkautosyntaxcolor", QStringLiteral("0"));
    setPref("autotreesearch", QStringLiteral("0"));
    m_w = start(QStringLiteral("teh=the"));
    Surface *s = m_w->surface();
    s->setText(QStringLiteral("\r\n"));
    s->setSelection(0, 0);
    s->setSelColor(kString); // typed text would be green
    s->setClean();
    QCOMPARE(m_w->windowTitle(), QStringLiteral("Document [] - Quillon"));
    type(QStringLiteral("int teh "));
    QCOMPARE(s->text(), QStringLiteral("int teh \r\n"));
    QCOMPARE(s->formatAt(0).color, 0u); // the line takes the text colour only
    QVERIFY(m_w->windowTitle().endsWith(QLatin1Char('*')));
    QVERIFY(m_w->cbotree()->isHidden());
}

void TstTyping::completionOffersMembersAndEnterInserts()
{
    m_w = start();
    QVERIFY(m_w->objectTree().treecount > 1000);
    Surface *s = m_w->surface();
    s->setText(QStringLiteral("\r\n"));
    s->setSelStart(0);
    type(QStringLiteral("x = java.awt.Co"));
    CompletionBox *box = m_w->cbotree();
    QVERIFY(box->isVisible());
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
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

void TstTyping::arrowsMoveInTheBoxAndEscapeEmptiesIt()
{
    m_w = start();
    Surface *s = m_w->surface();
    s->setText(QStringLiteral("\r\n"));
    s->setSelStart(0);
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

void TstTyping::completionOnLastLineWithoutBreak()
{
    m_w = start();
    Surface *s = m_w->surface();
    type(QStringLiteral("java.io.F"));
    QCOMPARE(s->text(), QStringLiteral("java.io.F"));
    QVERIFY(m_w->cbotree()->isVisible());
    QVERIFY(m_w->cbotree()->currentText().startsWith(QLatin1Char('F')));
}

void TstTyping::altAndCtrlShortcuts()
{
    m_w = start();
    Surface *s = m_w->surface();
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

void TstTyping::clickHidesTheBox()
{
    m_w = start();
    type(QStringLiteral("java.util."));
    QVERIFY(m_w->cbotree()->isVisible());
    QTest::mouseClick(m_w->rtfedit()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(m_w->cbotree()->isHidden());
}

void TstTyping::droppedListLetsTypingThrough()
{
    setPref("dropdowncbo", QStringLiteral("1"));
    m_w = start();
    Surface *s = m_w->surface();
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

void TstTyping::insertKeyOverwrites()
{
    setPref("autotreesearch", QStringLiteral("0"));
    m_w = start();
    Surface *s = m_w->surface();
    s->setText(QStringLiteral("abcd\r\n"));
    s->setSelStart(1);
    QTest::keyClick(m_w->rtfedit(), Qt::Key_Insert);
    QVERIFY(!m_w->statusPanel(6)->isEnabled());
    type(QStringLiteral("XYZW"));
    QCOMPARE(s->text(), QStringLiteral("aXYZW\r\n")); // the line break is never overwritten
    QTest::keyClick(m_w->rtfedit(), Qt::Key_Insert);
    QVERIFY(m_w->statusPanel(6)->isEnabled());
    type(QStringLiteral("!"));
    QCOMPARE(s->text(), QStringLiteral("aXYZW!\r\n"));
}

QTEST_MAIN(TstTyping)
#include "tst_typing.moc"
