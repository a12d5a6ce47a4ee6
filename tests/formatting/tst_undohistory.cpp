// The undo history with the typing-time handlers attached to a headless
// surface: corrections made while typing are steps of their own and stay
// undone, and random mixes of typing, Replace All, case changes, indenting
// and templates undo to the original text and redo to the final one, byte
// for byte.
#include "enginesupport.h"
#include "fakehost.h"
#include "support/datarow.h"
#include "typingsupport.h"

#include "base/editorstate.h"
#include "dialogs/findreplace.h"
#include "formatting/casechange.h"
#include "formatting/indenter.h"
#include "formatting/templates.h"
#include "formatting/typingassist.h"
#include "support/testenv.h"

#include <QRandomGenerator>
#include <QTest>

using namespace qln;
using namespace qln::test;

class TstUndoHistory : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;

private slots:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        ScriptedPrompter quiet;
        QVERIFY(installFactorySettings(quiet)); // the templates
        editorState() = EditorState{};
    }

    void correctionIsAStepOfItsOwn_data()
    {
        QTest::addColumn<QString>("start"); // the caret at "|"
        columns<QString, QString, QStringList>("typed", "typedResult", "undos");
        // One step per word (a blank stays with the word before it), the
        // correction right after the character that finished the word.
        row("a wich b", "|\r\n", "a wich b", "a which b\r\n",
            QStringList{"a which \r\n", "a wich \r\n", "a \r\n", "\r\n"});
        row("teh unfinished", "|\r\n", "teh", "teh\r\n", QStringList{"\r\n"});
        row("two on one line", "x |\r\n", "adn teh.", "x and the.\r\n",
            QStringList{"x and teh.\r\n", "x and \r\n", "x adn \r\n", "x \r\n"});
        // The last line is corrected like any other; a line break leaves the
        // word at the end of its line as it was typed.
        row("last line", "|", "teh;", "the;", QStringList{"teh;", ""});
        row("line breaks", "|", "int\nteh\n", "int\r\nteh\r\n",
            QStringList{"int\r\nteh", "int\r\n", "int", ""});
    }
    void correctionIsAStepOfItsOwn()
    {
        QFETCH(QString, start);
        QFETCH(QString, typed);
        QFETCH(QString, typedResult);
        QFETCH(QStringList, undos);
        Editor e;
        {
            SuppressGuard quiet;
            e.s().setText(QString(start).remove(QLatin1Char('|')));
        }
        e.s().setClean();
        e.s().setSelStart(int(start.indexOf(QLatin1Char('|'))));
        e.type(typed);
        QCOMPARE(e.s().text(), typedResult);
        QVERIFY(e.s().isModified());
        QCOMPARE(e.undoAll(), undos);
        QVERIFY(!e.s().isModified());
        while (e.s().canRedo())
            e.s().redo();
        QCOMPARE(e.s().text(), typedResult);
    }

    void undoneCorrectionIsKeptUntilTheWordIsTyped()
    {
        Editor e;
        e.s().setText(QStringLiteral("\r\n"));
        e.type(QStringLiteral("teh "));
        QCOMPARE(e.s().text(), QStringLiteral("the \r\n"));
        e.s().undo();
        QCOMPARE(e.s().text(), QStringLiteral("teh \r\n"));
        // Another character that ends a word, right after it, and typing
        // elsewhere on the line leave it as it is.
        e.s().setSelStart(3);
        e.type(QStringLiteral(","));
        e.s().setSelStart(e.s().length() - 2);
        e.type(QStringLiteral("x adn "));
        QCOMPARE(e.s().text(), QStringLiteral("teh, x and \r\n"));
        // Typing on the word itself releases it.
        e.s().setSelStart(3);
        e.backspace();
        e.type(QStringLiteral("h"));
        QCOMPARE(e.s().text(), QStringLiteral("teh, x and \r\n"));
        e.type(QStringLiteral(";"));
        QCOMPARE(e.s().text(), QStringLiteral("the;, x and \r\n"));
    }

    void randomEditsUndoAndRedoExactly_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 40; ++seed)
            row(qPrintable(QStringLiteral("seed %1").arg(seed)), seed);
    }
    void randomEditsUndoAndRedoExactly()
    {
        QFETCH(quint32, seed);
        QRandomGenerator rng(seed);
        Editor e;
        Surface &s = e.s();
        const QString original =
            QStringLiteral("class A {\r\nint teh;\r\n  void f() { wich(adn); }\r\n}\r\n");
        s.setText(original);
        s.setClean();
        const QStringList words{"teh", "wich", "adn", "int", "x", "Foo", "{", "}", "if"};
        const QStringList ends{" ", "\n", ";", "", "("};
        int steps = 0;
        for (int op = 0; op < 60; ++op) {
            const int len = s.length();
            switch (rng.bounded(9)) {
            case 0:
            case 1: // typing at a random place
                s.setSelStart(rng.bounded(len + 1));
                e.type(words[rng.bounded(int(words.size()))] + ends[rng.bounded(int(ends.size()))]);
                break;
            case 2:
                s.setSelStart(rng.bounded(len + 1));
                e.backspace();
                break;
            case 3: { // Replace All, the automatic features kept or suspended
                FindReplace fr(s, e.host.prompts);
                fr.setFindText(words[rng.bounded(int(words.size()))]);
                fr.setReplaceText(words[rng.bounded(int(words.size()))] + QStringLiteral("_"));
                const bool suspend = rng.bounded(2) == 0;
                fr.setSuspendOffer([suspend] { return suspend; });
                s.setSelStart(0);
                e.host.prompts.answer(MsgAnswer::Ok);
                fr.replaceAll();
                break;
            }
            case 4: { // a case change of a random selection
                const int a = rng.bounded(len + 1);
                s.setSelection(a, rng.bounded(len - a + 1));
                const int which = rng.bounded(4);
                if (which >= 2 && s.selLength() > 0)
                    e.host.prompts.answer(rng.bounded(2) ? MsgAnswer::Yes : MsgAnswer::No);
                switch (which) {
                case 0: lowercase(e.host); break;
                case 1: uppercase(e.host); break;
                case 2: invertcase(e.host, e.typingHost.sw); break;
                default: capitalize(e.host, e.typingHost.sw); break;
                }
                break;
            }
            case 5: // indent all
                indentallrtf(e.host);
                e.host.m_caption =
                    QStringLiteral("Document [A.java] - Quillon"); // no save question
                break;
            case 6:
                s.setSelStart(rng.bounded(len + 1));
                insertTemplate(e.host, 1 + rng.bounded(kTemplateCount));
                break;
            case 7: s.undo(); break;
            default: s.redo(); break;
            }
            QCOMPARE(e.host.prompts.pending(), 0);
            ++steps;
        }
        QVERIFY(steps > 0);
        // Undo everything, then redo as many steps (steps the run undid
        // itself may wait on the redo stack beyond them).
        const QString final = s.text();
        const bool finalModified = s.isModified();
        int undos = 0;
        for (; s.canUndo(); ++undos)
            s.undo();
        QCOMPARE(s.text(), original);
        QVERIFY(!s.isModified());
        for (int i = 0; i < undos; ++i) {
            QVERIFY(s.canRedo());
            s.redo();
        }
        QCOMPARE(s.text(), final);
        QCOMPARE(s.isModified(), finalModified);
    }
};

QTEST_MAIN(TstUndoHistory)
#include "tst_undohistory.moc"
