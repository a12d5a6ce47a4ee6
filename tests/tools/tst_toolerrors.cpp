// From a tool's output to the code, with the installed Java kit and the
// main window: a compile error and the frames of a real stack trace are
// links, double-click opens them (through the save question), F4 and
// Shift+F4 walk them; a real Scanner program reads lines typed into the
// dialog.
#include "shell/documentfiles.h"
#include "support/requirekit.h"
#include "support/windowtest.h"
#include "surface/surfaceview.h"
#include "toolsupport.h"
#include "tools/frmjavax.h"
#include "tools/toollocations.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace qln;
using qln::test::readFile;
using qln::test::writeFile;

namespace {

constexpr int kGenerous = 120000;

// Compiles with the kit's javac outside the program.
bool compile(const QString &javac, const QString &source)
{
    QProcess p;
    p.setWorkingDirectory(QFileInfo(source).absolutePath());
    p.start(javac, {QFileInfo(source).fileName()});
    return p.waitForFinished(kGenerous) && p.exitCode() == 0;
}

// The text of the selection and the line it starts on (1-based).
QString selectedLine(const frmedit &w)
{
    const Surface &s = *w.surface();
    return QString::number(s.lineFromChar(s.selStart()) + 1) + ": " + s.selText();
}

const char *const kThrower = "public class Thrower {\n"
                             "    static void deep(int n) {\n"
                             "        if (n == 0)\n"
                             "            throw new IllegalStateException(\"deep enough\");\n"
                             "        deep(n - 1);\n"
                             "    }\n"
                             "    public static void main(String[] args) {\n"
                             "        deep(1);\n"
                             "    }\n"
                             "}\n";

} // namespace

class TstToolErrors : public QObject, test::WindowTest {
    Q_OBJECT

    QString m_bin;

    frmJavaX *runTool(frmedit &w, const char *command)
    {
        w.menuItem(QLatin1String(command))->trigger();
        return frmJavaX::instance();
    }
    bool runAndWait(frmJavaX *d)
    {
        d->findChild<QPushButton *>("cmdJavaX")->click();
        return QTest::qWaitFor([&] { return !d->isRunning(); }, kGenerous);
    }
    void closeDialog(frmJavaX *d)
    {
        QPointer<frmJavaX> gone = d;
        d->close();
        QTRY_VERIFY(!gone);
    }

private slots:
    void init()
    {
        m_bin = test::kitBin();
        QLN_REQUIRE_KIT(!m_bin.isEmpty(), "a Java development kit with javac, java and jar");
        initWindowTest();
        settingsStore().save("JavaX-Compile", "exe", m_bin + "javac");
        settingsStore().save("JavaX-Run", "exe", m_bin + "java");
    }

    void cleanup() { cleanupWindowTest(); }

    void compileErrorAndF4()
    {
        QTemporaryDir tmp;
        const QString bad = tmp.filePath("My Sources/Bad.java");
        QVERIFY(writeFile(bad, "public class Bad {\n    void f() {\n        int x = ;\n    }\n}\n"));
        frmedit w(bad, &m_prompter, ProbePlaces{});
        w.show();
        QCOMPARE(w.menuItem("nexterror")->shortcut(), QKeySequence(Qt::Key_F4));
        QCOMPARE(w.menuItem("previouserror")->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F4));
        frmJavaX *d = runTool(w, "compile");
        QVERIFY(d && runAndWait(d));
        const QString out = d->commandLineBox().text();
        QVERIFY2(out.contains("Bad.java:3: error:") && out.contains("[Done, exit code 1]"), qPrintable(out));
        // The error line is a link.
        const int at = int(out.indexOf("Bad.java:3: error:"));
        QVERIFY(d->commandLineBox().formatAt(at).underline);
        QCOMPARE(d->locations().count(), 1);
        closeDialog(d);

        w.surface()->setSelStart(0);
        w.menuItem("nexterror")->trigger();
        QCOMPARE(selectedLine(w), QStringLiteral("3:         int x = ;"));
        QCOMPARE(w.statusPanel(1)->text(), QStringLiteral("Error 1 of 1"));
        QVERIFY(m_prompter.asked().empty());
    }

    // The frames of a real exception: double-click opens the file through
    // the save question, F4 and Shift+F4 walk the frames, a file that has
    // gone is said and nothing opens.
    void stackTraceFrames()
    {
        QTemporaryDir tmp;
        const QString thrower = tmp.filePath("Thrower.java"), other = tmp.filePath("Other.java");
        QVERIFY(writeFile(thrower, kThrower));
        QVERIFY(writeFile(other, "class Other {}\n"));
        QVERIFY(compile(m_bin + "javac", thrower));
        frmedit w(other, &m_prompter, ProbePlaces{});
        w.show();
        w.surface()->setSelStart(0);
        QTest::keyClicks(w.rtfedit(), "// edited");
        QTest::keyClick(w.rtfedit(), Qt::Key_Return);
        QVERIFY(w.windowTitle().endsWith('*'));

        frmJavaX *d = runTool(w, "run");
        QVERIFY(d);
        auto *input = d->findChild<QLineEdit *>("txtInFIle");
        input->setText(tmp.filePath("Thrower.class"));
        emit input->textEdited(input->text());
        QVERIFY(runAndWait(d));
        const Surface &box = d->commandLineBox();
        QVERIFY2(box.text().contains("\tat Thrower.deep(Thrower.java:4)\r\n\tat Thrower.deep(Thrower.java:5)\r\n"
                                     "\tat Thrower.main(Thrower.java:8)\r\n[Done, exit code 1]"),
                 qPrintable(box.text()));
        QCOMPARE(d->locations().count(), 3);

        // Double-click on the second frame; the modified document asks first.
        auto *view = d->findChild<SurfaceView *>("rtfCommandLine");
        const int line = box.lineFromChar(int(box.text().indexOf("Thrower.java:5")));
        const QPoint where = view->caretRect(box.lineIndex(line)).center() + QPoint(40, 0);
        m_prompter.answer(MsgAnswer::No);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, where);
        QCOMPARE(m_prompter.messages(), QStringList{"Do you wish to save the file?"});
        QCOMPARE(w.documents().path(), thrower);
        QCOMPARE(selectedLine(w), QStringLiteral("5:         deep(n - 1);"));
        QCOMPARE(w.statusPanel(1)->text(), QStringLiteral("Error 2 of 3"));
        QCOMPARE(readFile(other), QByteArray("class Other {}\n")); // not saved

        // A file that has gone: said, nothing opened.
        QVERIFY(QFile::rename(thrower, thrower + ".away"));
        m_prompter.answer(MsgAnswer::Ok);
        QVERIFY(d->openLinkOnLine(line));
        QCOMPARE(m_prompter.messages().last(), QStringLiteral("The file Thrower.java was not found."));
        QCOMPARE(selectedLine(w), QStringLiteral("5:         deep(n - 1);"));
        QVERIFY(QFile::rename(thrower + ".away", thrower));
        QVERIFY(!d->openLinkOnLine(box.lineFromChar(int(box.text().indexOf("[Done")))));
        closeDialog(d);

        // F4 from the second frame, on around; Shift+F4 back.
        QStringList walk;
        for (const char *item : {"nexterror", "nexterror", "previouserror", "previouserror"}) {
            w.menuItem(QLatin1String(item))->trigger();
            walk << selectedLine(w).section(':', 0, 0) + " " + w.statusPanel(1)->text();
        }
        QCOMPARE(walk, (QStringList{"8 Error 3 of 3", "4 Error 1 of 3", "8 Error 3 of 3", "5 Error 2 of 3"}));
        QCOMPARE(m_prompter.asked().size(), size_t(2));
    }

    void scannerReadsTypedLines()
    {
        QTemporaryDir tmp;
        const QString ask = tmp.filePath("Ask.java");
        QVERIFY(writeFile(ask, "import java.util.Scanner;\n"
                               "public class Ask {\n"
                               "    public static void main(String[] args) {\n"
                               "        Scanner in = new Scanner(System.in);\n"
                               "        System.out.print(\"Name? \");\n"
                               "        String name = in.nextLine();\n"
                               "        System.out.print(\"Town? \");\n"
                               "        String town = in.nextLine();\n"
                               "        System.out.println(name + \" from \" + town);\n"
                               "    }\n"
                               "}\n"));
        QVERIFY(compile(m_bin + "javac", ask));
        frmedit w(ask, &m_prompter, ProbePlaces{});
        w.show();
        frmJavaX *d = runTool(w, "run");
        QVERIFY(d);
        QCOMPARE(d->findChild<QLineEdit *>("txtInFIle")->text(), tmp.filePath("Ask.class"));
        d->findChild<QPushButton *>("cmdJavaX")->click();
        auto *typed = d->findChild<QLineEdit *>("txtInput");
        QTRY_VERIFY_WITH_TIMEOUT(d->commandLineBox().text().endsWith("Name? "), kGenerous);
        QTest::keyClicks(typed, "Ann");
        QTest::keyClick(typed, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(d->commandLineBox().text().endsWith("Town? "), kGenerous);
        QTest::keyClicks(typed, QStringLiteral("Oslo"));
        QTest::keyClick(typed, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(!d->isRunning(), kGenerous);
        QVERIFY2(d->commandLineBox().text().endsWith(
                     QStringLiteral("[Executing]\r\nName? Ann\r\nTown? Oslo\r\nAnn from Oslo\r\n[Done]\r\n")),
                 qPrintable(d->commandLineBox().text()));
        closeDialog(d);
        QVERIFY(m_prompter.asked().empty());
    }
};

QTEST_MAIN(TstToolErrors)
#include "tst_toolerrors.moc"
