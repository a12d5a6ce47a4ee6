// Typing on very long lines: the handlers colour only around each edit
// once they have coloured the line whole. Whatever the edits (corrections
// of finished words among them), the text and every character's format
// must be what colouring the whole line gives, so each test runs the same keys on two editors, one
// treating every line whole, and compares them after every key.
#include "enginesupport.h"
#include "support/datarow.h"
#include "typingsupport.h"

#include "base/editorstate.h"
#include "support/testenv.h"

#include <QRandomGenerator>
#include <QTest>

#include <climits>

using namespace qln;
using namespace qln::test;

namespace {

// Java-like statements joined by blanks into one line of at least `length`
// characters, with strings holding comment markers and escaped quotes,
// character literals, block comments and misspellings.
QString javaLine(QRandomGenerator &rng, int length, bool lineComment)
{
    static const QStringList tokens = {"int",
                                       "return",
                                       "String",
                                       "value",
                                       "x",
                                       "=",
                                       "(",
                                       ")",
                                       "{",
                                       "}",
                                       ";",
                                       "12",
                                       "if",
                                       "\"text // not a comment\"",
                                       "\"a /* b\"",
                                       "'c'",
                                       "'\\''",
                                       "\"esc \\\" quote\"",
                                       "/* block */",
                                       "/** doc \"x\" */",
                                       ".",
                                       "teh",
                                       "adn",
                                       "wich",
                                       "q",
                                       "void",
                                       "new",
                                       "\"\"",
                                       "a.b.c",
                                       "\t",
                                       "System.out.println"};
    QString line;
    while (line.size() < length) {
        line += tokens.at(int(rng.bounded(quint32(tokens.size()))));
        line += rng.bounded(8) == 0 ? QString() : QStringLiteral(" ");
    }
    if (lineComment) {
        const int at = int(line.size()) * 2 / 3;
        line.insert(at, QStringLiteral(" // the rest \"is\" a comment "));
    }
    return line;
}

struct Pair {
    Editor whole;    // every line coloured whole
    Editor windowed; // long lines around the edits

    Pair(int windowedLength)
    {
        for (Editor *e : {&whole, &windowed}) {
            e->host.prefs.arrsfrom = QStringList{QString(), "adn", "teh", "wich", "qq"};
            e->host.prefs.arrsto = QStringList{QString(), "and", "the", "which", "q"};
            e->host.prefs.fromtocount = 4;
        }
        whole.assist.setWindowedLineLength(INT_MAX);
        windowed.assist.setWindowedLineLength(windowedLength);
    }
    template <typename F> void both(F f)
    {
        f(whole);
        f(windowed);
    }
    QString differences() const
    {
        return enginetest::compareFormats(whole.host.m_surface, windowed.host.m_surface);
    }
};

} // namespace

class TstLongLines : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;

private slots:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        editorState() = EditorState{};
    }

    // Random keys, deletions, pastes, jumps, undos, hand-made formats and
    // switches turned off and on, on a document of short and long lines.
    void randomEditsMatchWholeLines_data()
    {
        columns<quint32, bool>("seed", "lineComment");
        QTest::addColumn<bool>("openComment"); // a block comment left open above
        row("plain", 1u, false, false);
        row("line comment", 2u, true, false);
        row("open block comment", 3u, false, true);
        row("both", 4u, true, true);
        row("plain again", 5u, false, false);
    }
    void randomEditsMatchWholeLines()
    {
        QFETCH(quint32, seed);
        QFETCH(bool, lineComment);
        QFETCH(bool, openComment);
        QRandomGenerator rng(seed);
        const QString text = QStringLiteral("class A {\r\n") + javaLine(rng, 3000, lineComment)
                             + QStringLiteral("\r\n  int teh = 1; // x\r\n")
                             + (openComment ? QStringLiteral("/* open\r\n") : QString())
                             + javaLine(rng, 2500, false) + QStringLiteral("\r\n}\r\n");
        Pair p(256);
        p.both([&](Editor &e) {
            e.s().setText(text);
            e.s().setSelection(20, 0);
        });

        static const QString keys =
            QStringLiteral("aaaeeeiiooouttnnsrrlhdcqqw      ..();\"'/*\\\n\t{}=xyz");
        auto longLineCaret = [&](Editor &e) {
            // Somewhere on one of the long lines (typed line breaks split them).
            std::vector<int> longLines;
            for (int line = 0; line < e.s().lineCount(); ++line)
                if (e.s().lineLength(line) >= 300)
                    longLines.push_back(line);
            const int line =
                longLines.empty() ? 0 : longLines[size_t(rng.bounded(quint32(longLines.size())))];
            const int from = e.s().lineIndex(line);
            return from + int(rng.bounded(quint32(e.s().lineLength(line) + 1)));
        };
        for (int step = 0; step < 2500; ++step) {
            const quint32 op = rng.bounded(100);
            if (op < 60) {
                const QChar c = keys.at(int(rng.bounded(quint32(keys.size()))));
                p.both([&](Editor &e) { e.type(QString(c)); });
            } else if (op < 72) {
                p.both([](Editor &e) { e.backspace(); });
            } else if (op < 80) {
                const int at = longLineCaret(p.whole);
                p.both([&](Editor &e) { e.s().setSelection(at, 0); });
            } else if (op < 84) {
                const int at = longLineCaret(p.whole);
                const int n = int(rng.bounded(12));
                p.both([&](Editor &e) {
                    e.s().setSelection(at, 0);
                    e.s().setSelLength(std::min(n, e.s().length() - at));
                    e.s().replace(e.s().selStart(), e.s().selLength(), QString(), true);
                    e.s().notifyChanged();
                });
            } else if (op < 88) {
                static const QStringList pastes = {"int wich = 2;", " adn ",       "\"str\"",
                                                   "// c",          "x /* y */ z", "a\r\nb"};
                const QString t = pastes.at(int(rng.bounded(quint32(pastes.size()))));
                p.both([&](Editor &e) {
                    e.s().replace(e.s().selStart(), e.s().selLength(), t, true);
                    e.s().notifyChanged();
                });
            } else if (op < 91) {
                p.both([](Editor &e) { e.s().undo(); });
            } else if (op < 94) {
                // A word made bold by hand, as Ctrl+B does it.
                const int at = longLineCaret(p.whole);
                p.both([&](Editor &e) {
                    const int caret = e.s().selStart();
                    editorState().suppressChange = true;
                    e.s().setSelection(at, std::min(5, e.s().length() - at));
                    e.s().setSelBold(true);
                    editorState().suppressChange = false;
                    e.s().setSelection(caret, 0);
                });
            } else if (op < 95) {
                const bool colour = rng.bounded(2) == 0;
                const bool spell = rng.bounded(2) == 0;
                p.both([&](Editor &e) {
                    e.typingHost.sw.autoSyntaxColor = colour;
                    e.typingHost.sw.autoSpellCorrect = spell;
                });
            } else {
                p.both([](Editor &e) {
                    e.typingHost.sw.autoSyntaxColor = true;
                    e.typingHost.sw.autoSpellCorrect = true;
                });
            }
            const QString diff = p.differences();
            if (!diff.isEmpty())
                QFAIL(qPrintable(QStringLiteral("step %1: %2").arg(step).arg(diff)));
            QCOMPARE(p.windowed.s().selStart(), p.whole.s().selStart());
        }
        // The comparison above means something only if the windowed editor
        // did work around the edits.
        QVERIFY2(p.windowed.assist.colouredAround() > 200,
                 qPrintable(QString::number(p.windowed.assist.colouredAround())));
        QCOMPARE(p.whole.assist.colouredAround(), 0);
    }

    // Where the line's formats are not what colouring gives (a file opened
    // without colours, formats set by hand, colouring switched off while
    // typing), the next key still colours the whole line.
    void foreignFormatsAreRecolouredWhole_data()
    {
        QTest::addColumn<QString>("what");
        row("opened uncoloured", "open");
        row("bold by hand", "bold");
        row("typed with colouring off", "off");
    }
    void foreignFormatsAreRecolouredWhole()
    {
        QFETCH(QString, what);
        QRandomGenerator rng(7);
        const QString line = javaLine(rng, 3000, false);
        Pair p(256);
        p.both([&](Editor &e) {
            e.s().setText(line + QStringLiteral("\r\n"));
            e.s().setSelection(1500, 0);
            if (what != QLatin1String("open"))
                e.type(QStringLiteral("a")); // coloured whole once
            if (what == QLatin1String("bold")) {
                editorState().suppressChange = true;
                e.s().setSelection(10, 20);
                e.s().setSelBold(true);
                editorState().suppressChange = false;
                e.s().setSelection(1501, 0);
            } else if (what == QLatin1String("off")) {
                e.typingHost.sw.autoSyntaxColor = false;
                e.type(QStringLiteral(" int "));
                e.typingHost.sw.autoSyntaxColor = true;
            }
            e.type(QStringLiteral("b"));
        });
        QCOMPARE(p.differences(), QString());
        // The first character of the line wears its colour again.
        QVERIFY(!p.windowed.s().formatAt(12).bold);
        // Typing on, the line is followed around each edit.
        const int before = p.windowed.assist.colouredAround();
        p.both([](Editor &e) { e.type(QStringLiteral("cdef")); });
        QCOMPARE(p.differences(), QString());
        QCOMPARE(p.windowed.assist.colouredAround(), before + 4);
    }
};

QTEST_GUILESS_MAIN(TstLongLines)
#include "tst_longlines.moc"
