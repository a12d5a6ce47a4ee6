// The Edit and Format menu commands: goto line, select all, clipboard,
// font and background choices, and the enabling of the two menus.
#include "base/editorstate.h"
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "shell/editcommands.h"
#include "shell/ui/frmedit.h"
#include "support/datarow.h"
#include "support/scriptedprompter.h"
#include "support/testenv.h"
#include "surface/surface.h"
#include "surface/ui/surfaceview.h"

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

    std::unique_ptr<test::TestEnv> m_env;
    ScriptedPrompter m_prompter;

private slots:
    void init()
    {
        m_env = std::make_unique<test::TestEnv>();
        m_prompter.clear();
        QGuiApplication::clipboard()->clear();
    }

    void cleanup()
    {
        QCOMPARE(m_prompter.pending(), 0);
        editorState() = EditorState{};
    }

    void gotoLine_data()
    {
        QTest::addColumn<QStringList>("answers"); // "?Y"/"?N": a message answer, "!": cancel
        QTest::addColumn<int>("landing");         // where the caret is to land; -1: nowhere
        row("2: its code", QStringList{"2"}, 9);
        row("last line", QStringList{"3"}, 14);
        row("blank line: its end", QStringList{"4"}, 24);
        row("0", QStringList{"0"}, -1);
        row("text", QStringList{"abc"}, -1);
        row("empty", QStringList{""}, -1);
        row("cancelled", QStringList{"!"}, -1);
        row("9, again: 2 lines", QStringList{"9", "?Y", "2 lines"}, 9);
        row("-1, not again", QStringList{"-1", "?N"}, -1);
    }
    void gotoLine()
    {
        QFETCH(QStringList, answers);
        QFETCH(int, landing);
        Surface s;
        s.setText(QStringLiteral("one\r\n \t  two\r\nthree\r\n \t "));
        s.setSelection(1, 2);
        for (const QString &a : answers) {
            if (a.startsWith('?'))
                m_prompter.answer(a == QLatin1String("?Y") ? MsgAnswer::Yes : MsgAnswer::No);
            else if (a == QLatin1String("!"))
                m_prompter.cancel();
            else
                m_prompter.answerText(a);
        }
        QCOMPARE(qln::gotoLine(s, m_prompter), landing);
        QCOMPARE(s.selStart(), 1); // the window lands the caret, not the command
        QCOMPARE(s.selLength(), 2);
        const auto &asked = m_prompter.asked();
        QCOMPARE(asked.size(), size_t(answers.size()));
        QCOMPARE(asked[0].prompt + '|' + asked[0].title, QStringLiteral("Goto |Goto line"));
        if (answers.size() > 1) {
            const MessageRequest &m = asked[1].message;
            QCOMPARE(m.text + '|' + m.title, QStringLiteral("Line doesn't existWould you like to "
                                                            "try another line?|Line not found"));
            QVERIFY(m.icon == MsgIcon::Question && m.buttons == MsgButtons::YesNo);
        }
    }

    void selectAllReportsAndSuppressesSelChange()
    {
        Surface s;
        s.setText(QStringLiteral("abc\r\ndef"));
        QStringList status;
        int selChangesWhileSuppressed = 0;
        connect(&s, &Surface::selChanged, this,
                [&] { selChangesWhileSuppressed += editorState().suppressSelChange; });
        bool focused = false;
        selectAll(s, StatusHooks{[&](const QString &t) { status << t; }, [](bool) {},
                                 [&] { focused = true; }});
        QCOMPARE(status.join(' '), QStringLiteral("Please wait Done"));
        QCOMPARE(s.selStart(), 0);
        QCOMPARE(s.selLength(), s.length());
        QVERIFY(focused && selChangesWhileSuppressed > 0 && !editorState().suppressSelChange);
    }

    void clipboardCommandsNeedSelection()
    {
        Surface s;
        s.setText(QStringLiteral("copy me"));
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        editCopy(s, m_prompter); // nothing selected: the clipboard stays
        editCut(s, m_prompter);
        plainTextCut(s);
        QCOMPARE(QGuiApplication::clipboard()->text() + '|' + s.text(),
                 QStringLiteral("before|copy me"));

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

    void fontAndBackgroundDialogs()
    {
        Surface s;
        s.setText(QStringLiteral("abcd"));
        s.setSelection(1, 2);
        m_prompter.answerFont(FontChoice{QStringLiteral("Serif"), 14, true, true});
        chooseSelectionFont(s, m_prompter);
        QCOMPARE(s.selFontName(), std::optional<QString>(QStringLiteral("Serif")));
        QCOMPARE(s.selFontSize(), std::optional<double>(14));
        QVERIFY(s.selBold() == true && s.selItalic() == true && !s.formatAt(0).bold);
        QVERIFY(s.selUnderline() == false);
        // Underline ticked applies; untouched styles stay as chosen.
        m_prompter.answerFont(FontChoice{QStringLiteral("Serif"), 14, true, false, true});
        chooseSelectionFont(s, m_prompter);
        QVERIFY(s.selUnderline() == true && s.selBold() == true && s.selItalic() == false);
        QVERIFY(!s.formatAt(0).underline && !s.formatAt(3).underline);
        // Unticked, it comes off again.
        m_prompter.answerFont(FontChoice{QStringLiteral("Serif"), 14, true, false, false});
        chooseSelectionFont(s, m_prompter);
        QVERIFY(s.selUnderline() == false);
        // Cancelled, nothing changes.
        s.setSelection(0, 1);
        m_prompter.cancel();
        chooseSelectionFont(s, m_prompter);
        QVERIFY(s.formatAt(0).fontName.isEmpty() && !s.formatAt(0).bold);

        s.setBackColor(0xFFFFFF);
        m_prompter.cancel();
        QVERIFY(!chooseBackground(s, m_prompter));
        QCOMPARE(s.backColor(), 0xFFFFFFu);
        m_prompter.answerColor(QColor(0, 0, 128));
        QVERIFY(chooseBackground(s, m_prompter));
        QCOMPARE(s.backColor(), 0x800000u);
    }

    void menusEnableOnOpening()
    {
        test::installFactorySettings(m_prompter);
        frmedit w(QString(), &m_prompter, ProbePlaces{});
        w.surface()->setText(QStringLiteral("some text"));
        QGuiApplication::clipboard()->setText(QStringLiteral("on the clipboard"));
        auto *edit = w.findChild<QMenu *>(QStringLiteral("Edit"));
        auto *format = w.findChild<QMenu *>(QStringLiteral("format"));
        QVERIFY(edit && format);
        const auto enabled = [&] {
            emit edit->aboutToShow();
            emit format->aboutToShow();
            QString out;
            for (const char *name :
                 {"Cut", "Copy", "plaintextcut", "plaintextcopy", "Paste", "plaintextpaste",
                  "lowercase", "uppercase", "invertcase", "capitalize"})
                out += QLatin1Char(w.menuItem(QLatin1String(name))->isEnabled() ? '1' : '0');
            return out;
        };
        w.surface()->setSelStart(2);
        QCOMPARE(enabled(), QStringLiteral("0000110000"));
        w.surface()->setSelection(0, 4);
        QGuiApplication::clipboard()->clear();
        QCOMPARE(enabled(), QStringLiteral("1111001111"));

        // Goto line and Select All through the menu.
        w.surface()->setText(QStringLiteral("x\r\ny"));
        m_prompter.answerText(QStringLiteral("2"));
        w.menuItem(QStringLiteral("gotoline"))->trigger();
        QCOMPARE(w.surface()->selStart(), 3);
        QCOMPARE(w.surface()->selLength(), 0);
        w.menuItem(QStringLiteral("selectall"))->trigger();
        QCOMPARE(w.surface()->selLength(), 4);
        QCOMPARE(w.statusPanel(1)->text(), QStringLiteral("Done"));
        w.surface()->setSelStart(3);
        QCOMPARE(w.statusPanel(1)->text(), QStringLiteral("Line: 2  Col: 1  Sel: 0"));
        m_prompter.answer(MsgAnswer::No); // the text was changed: do not save it
        w.close();
    }
};

QTEST_MAIN(TstEditCommands)
#include "tst_editcommands.moc"
