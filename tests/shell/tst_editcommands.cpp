// The Edit and Format menu commands: goto line, select all, clipboard,
// font and background choices, and the enabling of the two menus.
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "shell/editcommands.h"
#include "shell/editorstate.h"
#include "shell/frmedit.h"
#include "support/scriptedprompter.h"
#include "support/testenv.h"
#include "surface/surface.h"
#include "surface/surfaceview.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QTest>

using namespace qln;
using qln::test::ScriptedPrompter;

class TstEditCommands : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void gotoLineSelectsLineAndCr();
    void gotoLineOnLastLineSelectsNothing();
    void gotoLineZeroOrTextDoesNothing_data();
    void gotoLineZeroOrTextDoesNothing();
    void gotoLineBeyondEndAsksAgain();
    void selectAllReportsAndSuppressesSelChange();
    void clipboardCommandsNeedSelection();
    void fontDialogAppliesToSelection();
    void backgroundDialogCancelledChangesNothing();
    void menusEnableOnOpening();
    void statusTextFollowsCaret();

private:
    std::unique_ptr<frmedit> startWindow();
    std::unique_ptr<test::TestEnv> m_env;
    ScriptedPrompter m_prompter;
};

void TstEditCommands::init()
{
    m_env = std::make_unique<test::TestEnv>();
    m_prompter.clear();
    QGuiApplication::clipboard()->clear();
}

void TstEditCommands::cleanup()
{
    QCOMPARE(m_prompter.pending(), 0);
    editorState() = EditorState{};
}

std::unique_ptr<frmedit> TstEditCommands::startWindow()
{
    test::installFactorySettings(m_prompter);
    return std::make_unique<frmedit>(QString(), &m_prompter, ProbePlaces{});
}

void TstEditCommands::gotoLineSelectsLineAndCr()
{
    Surface s;
    s.setText(QStringLiteral("one\r\ntwo\r\nthree"));
    m_prompter.answerText(QStringLiteral("2"));
    gotoLine(s, m_prompter);
    QCOMPARE(m_prompter.asked().at(0).prompt, QStringLiteral("Goto "));
    QCOMPARE(m_prompter.asked().at(0).title, QStringLiteral("Goto line"));
    QCOMPARE(s.selStart(), 5);
    QCOMPARE(s.selText(), QStringLiteral("two\r"));
}

void TstEditCommands::gotoLineOnLastLineSelectsNothing()
{
    Surface s;
    s.setText(QStringLiteral("one\r\ntwo\r\nthree"));
    m_prompter.answerText(QStringLiteral("3"));
    gotoLine(s, m_prompter);
    QCOMPARE(s.selStart(), 10);
    QCOMPARE(s.selLength(), 0);
}

void TstEditCommands::gotoLineZeroOrTextDoesNothing_data()
{
    QTest::addColumn<QVariant>("answer");
    QTest::newRow("zero") << QVariant(QStringLiteral("0"));
    QTest::newRow("not a number") << QVariant(QStringLiteral("abc"));
    QTest::newRow("empty") << QVariant(QString());
    QTest::newRow("cancelled") << QVariant();
}

void TstEditCommands::gotoLineZeroOrTextDoesNothing()
{
    QFETCH(QVariant, answer);
    Surface s;
    s.setText(QStringLiteral("a\r\nb"));
    s.setSelection(1, 2);
    if (answer.isValid())
        m_prompter.answerText(answer.toString());
    else
        m_prompter.cancel();
    gotoLine(s, m_prompter);
    QCOMPARE(s.selStart(), 1);
    QCOMPARE(s.selLength(), 2);
    QCOMPARE(m_prompter.asked().size(), size_t(1)); // no second question
}

void TstEditCommands::gotoLineBeyondEndAsksAgain()
{
    Surface s;
    s.setText(QStringLiteral("a\r\nb\r\nc"));
    m_prompter.answerText(QStringLiteral("9"));
    m_prompter.answer(MsgAnswer::Yes);
    m_prompter.answerText(QStringLiteral("2 lines"));
    gotoLine(s, m_prompter);
    const auto &asked = m_prompter.asked();
    QCOMPARE(asked.size(), size_t(3));
    QCOMPARE(asked[1].message.text,
             QStringLiteral("Line doesn't existWould you like to try another line?"));
    QCOMPARE(asked[1].message.title, QStringLiteral("Line not found"));
    QCOMPARE(asked[1].message.icon, MsgIcon::Question);
    QCOMPARE(asked[1].message.buttons, MsgButtons::YesNo);
    QCOMPARE(s.selText(), QStringLiteral("b\r"));

    // Answered No, the search ends where it was.
    m_prompter.clear();
    s.setSelStart(0);
    m_prompter.answerText(QStringLiteral("-1"));
    m_prompter.answer(MsgAnswer::No);
    gotoLine(s, m_prompter);
    QCOMPARE(s.selStart(), 0);
    QCOMPARE(s.selLength(), 0);
}

void TstEditCommands::selectAllReportsAndSuppressesSelChange()
{
    Surface s;
    s.setText(QStringLiteral("abc\r\ndef"));
    QStringList status;
    int selChangesWhileSuppressed = 0;
    connect(&s, &Surface::selChanged, this, [&] {
        if (editorState().suppressSelChange)
            ++selChangesWhileSuppressed;
    });
    bool focused = false;
    selectAll(s, StatusHooks{[&](const QString &t) { status << t; }, [](bool) {},
                             [&] { focused = true; }});
    QCOMPARE(status, (QStringList{QStringLiteral("Please wait"), QStringLiteral("Done")}));
    QCOMPARE(s.selStart(), 0);
    QCOMPARE(s.selLength(), s.length());
    QVERIFY(focused);
    QVERIFY(selChangesWhileSuppressed > 0);
    QVERIFY(!editorState().suppressSelChange);
}

void TstEditCommands::clipboardCommandsNeedSelection()
{
    Surface s;
    s.setText(QStringLiteral("copy me"));
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    editCopy(s, m_prompter); // nothing selected: the clipboard stays
    editCut(s, m_prompter);
    plainTextCut(s);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    QCOMPARE(s.text(), QStringLiteral("copy me"));

    s.setSelection(0, 4);
    s.setSelColor(255);
    editCut(s, m_prompter);
    QCOMPARE(s.text(), QStringLiteral(" me"));
    s.setSelStart(3);
    editPaste(s, m_prompter);
    QCOMPARE(s.text(), QStringLiteral(" mecopy"));
    QCOMPARE(s.formatAt(3).color, 255u); // pasted with its colour
    s.setSelStart(0);
    plainTextPaste(s);
    QCOMPARE(s.formatAt(0).color, 0u); // plain text takes the format at the caret
    QVERIFY(m_prompter.asked().empty());
}

void TstEditCommands::fontDialogAppliesToSelection()
{
    Surface s;
    s.setText(QStringLiteral("abcd"));
    s.setSelection(1, 2);
    m_prompter.answerFont(FontChoice{QStringLiteral("Serif"), 14, true, true});
    chooseSelectionFont(s, m_prompter);
    QCOMPARE(s.selFontName(), std::optional<QString>(QStringLiteral("Serif")));
    QCOMPARE(s.selFontSize(), std::optional<double>(14));
    QCOMPARE(s.selBold(), std::optional<bool>(true));
    QCOMPARE(s.selItalic(), std::optional<bool>(true));
    QVERIFY(!s.formatAt(0).bold);
    // Cancelled, nothing changes.
    s.setSelection(0, 1);
    m_prompter.cancel();
    chooseSelectionFont(s, m_prompter);
    QVERIFY(s.formatAt(0).fontName.isEmpty());
    QVERIFY(!s.formatAt(0).bold);
}

void TstEditCommands::backgroundDialogCancelledChangesNothing()
{
    Surface s;
    s.setBackColor(0xFFFFFF);
    m_prompter.cancel();
    QVERIFY(!chooseBackground(s, m_prompter));
    QCOMPARE(s.backColor(), 0xFFFFFFu);
    m_prompter.answerColor(QColor(0, 0, 128));
    QVERIFY(chooseBackground(s, m_prompter));
    QCOMPARE(s.backColor(), 0x800000u);
}

void TstEditCommands::menusEnableOnOpening()
{
    auto w = startWindow();
    w->surface()->setText(QStringLiteral("some text"));
    QGuiApplication::clipboard()->setText(QStringLiteral("on the clipboard"));
    auto *edit = w->findChild<QMenu *>(QStringLiteral("Edit"));
    auto *format = w->findChild<QMenu *>(QStringLiteral("format"));
    QVERIFY(edit && format);

    w->surface()->setSelStart(2);
    emit edit->aboutToShow();
    for (const char *name : {"Cut", "Copy", "plaintextcut", "plaintextcopy"})
        QVERIFY2(!w->menuItem(QLatin1String(name))->isEnabled(), name);
    for (const char *name : {"Paste", "plaintextpaste"})
        QVERIFY2(w->menuItem(QLatin1String(name))->isEnabled(), name);
    emit format->aboutToShow();
    for (const char *name : {"lowercase", "uppercase", "invertcase", "capitalize"})
        QVERIFY2(!w->menuItem(QLatin1String(name))->isEnabled(), name);

    w->surface()->setSelection(0, 4);
    QGuiApplication::clipboard()->clear();
    emit edit->aboutToShow();
    QVERIFY(w->menuItem(QStringLiteral("Cut"))->isEnabled());
    QVERIFY(w->menuItem(QStringLiteral("plaintextcopy"))->isEnabled());
    QVERIFY(!w->menuItem(QStringLiteral("Paste"))->isEnabled());
    emit format->aboutToShow();
    QVERIFY(w->menuItem(QStringLiteral("capitalize"))->isEnabled());

    // Goto line through the menu.
    w->surface()->setText(QStringLiteral("x\r\ny"));
    m_prompter.answerText(QStringLiteral("2"));
    w->menuItem(QStringLiteral("gotoline"))->trigger();
    QCOMPARE(w->surface()->selStart(), 3);
    w->menuItem(QStringLiteral("selectall"))->trigger();
    QCOMPARE(w->surface()->selLength(), 4);
    QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Done"));
    m_prompter.answer(MsgAnswer::No); // the text was changed: do not save it
    w->close();
}

void TstEditCommands::statusTextFollowsCaret()
{
    auto w = startWindow();
    Surface *s = w->surface();
    s->setText(QStringLiteral("l1\r\nl2\r\nl3\r\nl4\r\nabcdef"));
    s->setSelection(s->lineIndex(4) + 2, 2);
    QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Line: 5  Col: 3  Sel: 2"));
    // Select All keeps the status it reported while the selection moved.
    w->menuItem(QStringLiteral("selectall"))->trigger();
    QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Done"));
    s->setSelStart(4);
    QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Line: 2  Col: 1  Sel: 0"));
    m_prompter.answer(MsgAnswer::No);
    w->close();
}

QTEST_MAIN(TstEditCommands)
#include "tst_editcommands.moc"
