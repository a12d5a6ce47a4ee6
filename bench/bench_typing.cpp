// One typed character in a shown 1 MB and 10 MB Java document with
// colouring, spelling correction and completion all on, through the real
// main window (the undo history and the modified state are kept as usual).
#include "benchsupport.h"
#include "support/testenv.h"
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "shell/frmedit.h"
#include "surface/surfaceview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
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

namespace {

void measure(Prompter &prompter, const QString &src, const QString &size)
{
    frmedit w(QString(), &prompter, ProbePlaces{});
    QTest::qWaitForWindowExposed(&w);
    Surface *s = w.surface();
    s->setText(src);
    s->setClean();
    s->setSelStart(s->lineIndex(s->lineCount() / 2));
    w.rtfedit()->flush();
    QApplication::processEvents();

    double p99 = 0;
    const double plain = medianMs(
        301,
        [&] {
            typeKey(w.rtfedit(), Qt::Key_A, QStringLiteral("a"));
            w.rtfedit()->viewport()->repaint();
        },
        &p99);
    report(size + QStringLiteral(": typed character, three assistants on, median"), plain,
           QStringLiteral("2 ms"));
    report(size + QStringLiteral(": typed character, three assistants on, 99th percentile"), p99,
           QStringLiteral("10 ms"));

    // Typing a qualified name: the completion box is searched and shown.
    typeKey(w.rtfedit(), Qt::Key_Return, QStringLiteral("\r"));
    const QString name = QStringLiteral("java.awt.Co");
    int at = 0;
    const double completing = medianMs(
        301,
        [&] {
            const QChar c = name.at(at % name.size());
            if (at % name.size() == 0 && at > 0)
                typeKey(w.rtfedit(), Qt::Key_Space, QStringLiteral(" "));
            typeKey(w.rtfedit(), Qt::Key_unknown, QString(c));
            w.rtfedit()->viewport()->repaint();
            ++at;
        },
        &p99);
    report(size + QStringLiteral(": typed character of java.awt.Co (completion), median"),
           completing, QStringLiteral("2 ms"));
    report(size + QStringLiteral(": typed character of java.awt.Co (completion), 99th percentile"),
           p99, QStringLiteral("10 ms"));
    std::printf("%s: undo steps kept: %s\n", qPrintable(size), s->canUndo() ? "yes" : "no");
    s->setClean(); // nothing to save
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString src = reportedJavaSource(1024 * 1024);
    if (src.isEmpty())
        return 0;
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    BenchPrompter prompter{MsgAnswer::No};
    test::installFactorySettings(prompter);
    auto save = [](const char *key, const QString &v) {
        settingsStore().save(kPrefs, QLatin1String(key), v);
    };
    save("tree", QCoreApplication::applicationDirPath() + QStringLiteral("/JDK1.3.1TreeSorted.txt"));
    save("dropdowncbo", QStringLiteral("0"));
    // A spelling list of 50 pairs, none of which occurs.
    save("fromtocount", QStringLiteral("50"));
    for (int i = 1; i <= 50; ++i) {
        save(qPrintable(QStringLiteral("lstsfrom%1").arg(i)), QStringLiteral("qlnwrong%1").arg(i));
        save(qPrintable(QStringLiteral("lststo%1").arg(i)), QStringLiteral("right%1").arg(i));
    }
    {
        frmedit probe(QString(), &prompter, ProbePlaces{});
        std::printf("object tree entries: %d\n", probe.objectTree().treecount);
    }
    measure(prompter, src, QStringLiteral("1 MB"));
    measure(prompter, reportedJavaSource(10 * 1024 * 1024), QStringLiteral("10 MB"));
    return 0;
}
