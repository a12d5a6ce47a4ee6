// One typed character, until the view has painted, in a shown 1 MB Java
// document with colouring, spelling correction and completion all on,
// through the real main window: plain typing, a blank that corrects the
// word before it, qualified and simple names, and typing in and near block
// comments. Min, median and 99th percentile.
#include "benchsupport.h"
#include "formatting/colorizeall.h"
#include "formatting/typingassist.h"
#include "settings/prefloader.h"
#include "shell/ui/frmedit.h"
#include "surface/ui/surfaceview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {
void typeKey(QWidget *w, Qt::Key key, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString src = reportedJavaSource(1024 * 1024);
    if (src.isEmpty())
        return 0;
    BenchPrompter prompter{MsgAnswer::No};
    assistantsOn(prompter);

    frmedit w(QString(), &prompter, ProbePlaces{});
    if (!QTest::qWaitForWindowExposed(&w))
        std::printf("the window was not shown; figures leave out painting\n");
    std::printf("object tree entries: %d\n", w.objectTree().treecount);
    Surface *s = w.surface();
    s->setText(src);
    s->setSelStart(s->lineIndex(s->lineCount() / 2));
    w.rtfedit()->flush();
    QApplication::processEvents();

    // Until the view has painted what the key changed.
    PaintCounter paints(w.rtfedit()->viewport());
    auto settle = [&] {
        waitPainted(paints);
        paints.reset();
    };
    // Min, median and 99th percentile over the keys, with the limits.
    auto print = [](const QString &label, const Figures &f, const char *limits) {
        printFigures(label, f, "ms", true);
        summary(QStringLiteral("%1, 1 MB: min %2 median %3 p99 %4 ms (limits %5)")
                    .arg(label)
                    .arg(f.min, 0, 'f', 3)
                    .arg(f.median, 0, 'f', 3)
                    .arg(f.p99, 0, 'f', 3)
                    .arg(QLatin1String(limits)));
    };
    auto keys = [](int runs, const std::function<void()> &f) { return measureRuns(runs, {}, f); };
    // One typed "a", painted, over `runs` keys.
    auto typeA = [&] {
        typeKey(w.rtfedit(), Qt::Key_A, QStringLiteral("a"));
        settle();
    };
    auto reportTyping = [&](const QString &label, int runs) {
        print(label, keys(runs, typeA), "median 2 ms, p99 10 ms");
    };
    reportTyping(QStringLiteral("typed character, three assistants on"), 301);

    // The blank that finishes a misspelt word: the word is corrected as one
    // step of its own (the letters before it are typed unmeasured).
    const Figures correcting = measureRuns(
        301,
        [&] {
            for (const QChar c : QStringLiteral("qlnwrong7"))
                typeKey(w.rtfedit(), Qt::Key_unknown, QString(c));
            settle();
        },
        [&] {
            typeKey(w.rtfedit(), Qt::Key_Space, QStringLiteral(" "));
            settle();
        });
    print(QStringLiteral("typed blank correcting the word before it"), correcting,
          "median 2 ms, p99 10 ms");
    std::printf("  (corrected: %s)\n",
                s->span(s->selStart() - 7, 7) == QLatin1String("right7 ") ? "yes" : "NO");

    // Enter keeping the indentation at the end of a line that opens a block
    // (its blanks and a unit more), and a closing brace typed first on the
    // new line, lined up with its opening brace; each taken back, untimed,
    // before the next.
    {
        const int open = s->indexOf(QStringLiteral("{\r\n"), s->lineIndex(s->lineCount() / 2));
        s->clearUndo();
        auto atBlock = [&] {
            while (s->canUndo())
                s->undo();
            s->setSelStart(open + 1);
            w.rtfedit()->flush();
            settle();
        };
        const Figures enter = measureRuns(301, atBlock, [&] {
            typeKey(w.rtfedit(), Qt::Key_Return, QStringLiteral("\r"));
            settle();
        });
        std::printf("  (new line: \"%s\")\n",
                    qPrintable(s->lineText(s->lineFromChar(open) + 1).replace('\t', "\\t")));
        print(QStringLiteral("Enter keeping the indentation after {"), enter,
              "median 2 ms, p99 10 ms");
        const Figures brace = measureRuns(
            301,
            [&] {
                atBlock();
                typeKey(w.rtfedit(), Qt::Key_Return, QStringLiteral("\r"));
                settle();
            },
            [&] {
                typeKey(w.rtfedit(), Qt::Key_BraceRight, QStringLiteral("}"));
                settle();
            });
        std::printf("  (line: \"%s\")\n",
                    qPrintable(s->lineText(s->lineFromChar(open) + 1).replace('\t', "\\t")));
        print(QStringLiteral("closing brace lined up"), brace, "median 2 ms, p99 10 ms");
        atBlock();
    }

    // Typing a qualified name: the completion box is searched and shown.
    typeKey(w.rtfedit(), Qt::Key_Return, QStringLiteral("\r"));
    const QString name = QStringLiteral("java.awt.Co");
    int at = 0;
    const Figures completing = keys(301, [&] {
        const QChar c = name.at(at % name.size());
        if (at % name.size() == 0 && at > 0)
            typeKey(w.rtfedit(), Qt::Key_Space, QStringLiteral(" "));
        typeKey(w.rtfedit(), Qt::Key_unknown, QString(c));
        settle();
        ++at;
    });
    print(QStringLiteral("typed character of java.awt.Co (completion)"), completing,
          "median 2 ms, p99 10 ms");

    // Simple names: the declaration before the caret and the imports at the
    // top are found for each new name; typing after the dot reuses them.
    auto typeText = [&](const QString &text) {
        for (const QChar c : text)
            typeKey(w.rtfedit(), c == QLatin1Char(' ') ? Qt::Key_Space : Qt::Key_unknown,
                    QString(c));
    };
    auto simpleNames = [&](const QString &label, const QStringList &names) {
        int n = 0, k = 0;
        const Figures f = keys(301, [&] {
            const QString &name = names.at(n % names.size());
            if (k == name.size()) {
                typeKey(w.rtfedit(), Qt::Key_Escape, QString());
                typeKey(w.rtfedit(), Qt::Key_Space, QStringLiteral(" "));
                k = 0;
                ++n;
                return;
            }
            typeKey(w.rtfedit(), Qt::Key_unknown, QString(name.at(k++)));
            settle();
        });
        print(label, f, "median 2 ms, p99 10 ms");
    };
    auto prepare = [&](const QString &text, int caretLine) {
        s->setText(text);
        ColorizeDocument(*s, w.preferences());
        s->setSelStart(s->lineIndex(caretLine));
        w.rtfedit()->flush();
        QApplication::processEvents();
        settle();
    };
    {
        QString text = QStringLiteral("import java.util.*;\r\nimport java.awt.Color;\r\n") + src;
        const int middle = int(text.count(QLatin1Char('\n'))) / 2;
        prepare(text, middle);
        typeText(QStringLiteral("List<String> list = null; Color c = null; "));
        typeKey(w.rtfedit(), Qt::Key_Return, QStringLiteral("\r"));
        simpleNames(QStringLiteral("typed character of list.si / c.br / String.va / System.out.pr"),
                    {QStringLiteral("list.si"), QStringLiteral("c.br"), QStringLiteral("String.va"),
                     QStringLiteral("System.out.pr")});
        std::printf("  (last key: %s)\n", qPrintable(w.typing().key1()));
    }
    {
        // var, chains of calls and this. in the middle of the 1 MB source:
        // the key's dot reads back the chain, the var's initialiser or the
        // outline of the class around it; typing after the dot reuses it.
        QString text = QStringLiteral("import java.util.*;\r\n") + src;
        prepare(text, int(text.count(QLatin1Char('\n'))) / 2);
        typeText(QStringLiteral("String s = null; List<String> list = null; "
                                "var sb = new StringBuilder(); "));
        typeKey(w.rtfedit(), Qt::Key_Return, QStringLiteral("\r"));
        simpleNames(QStringLiteral("typed character of s.trim().le / list.get(0).is / sb.ap / "
                                   "this.ha"),
                    {QStringLiteral("s.trim().le"), QStringLiteral("list.get(0).is"),
                     QStringLiteral("sb.ap"), QStringLiteral("this.ha")});
        std::printf("  (last key: %s)\n", qPrintable(w.typing().key1()));
    }
    {
        // 10,000 import lines above the 1 MB source.
        QString text;
        for (int i = 0; i < 10000; ++i)
            text += QStringLiteral("import com.nowhere%1.*;\r\n").arg(i);
        text += QStringLiteral("import java.awt.Color;\r\n") + src;
        prepare(text, int(text.count(QLatin1Char('\n'))) / 2);
        typeText(QStringLiteral("Color c = null; "));
        simpleNames(QStringLiteral("the same below 10,000 imports"),
                    {QStringLiteral("c.br"), QStringLiteral("String.va")});
    }
    {
        // Inside a block comment of 2,000 lines in the middle of 1 MB.
        QStringList lines = src.split(QStringLiteral("\r\n"));
        const int middle = int(lines.size()) / 2;
        lines.insert(middle + 1000, QStringLiteral("*/"));
        lines.insert(middle - 1000, QStringLiteral("/*"));
        prepare(lines.join(QStringLiteral("\r\n")), middle);
        reportTyping(QStringLiteral("typed character inside a 2,000-line comment"), 301);
        // Next to its end marker: the whole comment is coloured again.
        s->setSelStart(s->lineIndex(middle + 1001));
        print(QStringLiteral("typed character on the comment's closing line"), keys(51, typeA),
              "median 10 ms");
    }
    {
        // An unbalanced start marker at the top of 1 MB.
        prepare(QStringLiteral("/*\r\n") + src, int(src.count(QLatin1Char('\n'))) / 2);
        reportTyping(QStringLiteral("typed character below an unclosed /* at the top"), 301);
    }
    w.setWindowTitle(QStringLiteral("Document [] - Quillon"));
    return 0;
}
