// From a tool's output to the code, with the installed Java kit and the
// main window: a compile error and the frames of a real stack trace are
// links, double-click opens them (through the save question), F4 and
// Shift+F4 walk them; the compiler's errors and warnings are marked in the
// document; a real Scanner program reads lines typed into the dialog.
#include "shell/documentfiles.h"
#include "support/requirekit.h"
#include "support/windowtest.h"
#include "surface/ui/surfaceview.h"
#include "tools/compilermarkers.h"
#include "tools/toollocations.h"
#include "tools/ui/frmjavax.h"
#include "toolsupport.h"

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
// Where a jump landed: the caret's line number and that line from the
// caret on (a jump selects nothing).
QString landedAt(const frmedit &w)
{
    const Surface &s = *w.surface();
    const int line = s.lineFromChar(s.selStart());
    return QString::number(line + 1) + ": " + s.lineText(line).mid(s.selStart() - s.lineIndex(line))
           + (s.selLength() > 0 ? QStringLiteral(" (selected)") : QString());
}

// Each marker in the document: its text, the colour of its wave and its
// sign ("E" or "W").
QStringList markers(const frmedit &w)
{
    const Surface &s = *w.surface();
    QStringList out;
    for (const Mark &m : s.marks().all()) {
        if (m.style.sign == MarkStyle::Sign::None)
            continue;
        const bool error = m.style.sign == MarkStyle::Sign::Error;
        out << QStringLiteral("%1:%2 %3 %4")
                   .arg(s.lineFromChar(m.start) + 1)
                   .arg(m.start - s.lineIndex(s.lineFromChar(m.start)))
                   .arg(s.mid(m.start, m.length))
                   .arg(error ? "E" : "W");
        if (m.style.underline != MarkStyle::Underline::Wave || m.style.underlineColor.red() < 0xc0
            || (error ? m.style.underlineColor.green() > 0x60
                      : m.style.underlineColor.green() < 0x80))
            out.last() += QStringLiteral(" (not a red or amber wave)");
    }
    return out;
}

// Three errors and a warning for javac, each a line of its own.
const char *const kMarked = "public class Marked {\n"
                            "    void f() {\n"
                            "        int a = undefinedName;\n"
                            "        String s = 42;\n"
                            "        Integer boxed = new Integer(5);\n"
                            "        int b = \"text\".lenth();\n"
                            "    }\n"
                            "}\n";

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
        QVERIFY(
            writeFile(bad, "public class Bad {\n    void f() {\n        int x = ;\n    }\n}\n"));
        frmedit w(bad, &m_prompter, ProbePlaces{});
        w.show();
        QCOMPARE(w.menuItem("nexterror")->shortcut(), QKeySequence(Qt::Key_F4));
        QCOMPARE(w.menuItem("previouserror")->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F4));
        frmJavaX *d = runTool(w, "compile");
        QVERIFY(d && runAndWait(d));
        const QString out = d->commandLineBox().text();
        QVERIFY2(out.contains("Bad.java:3: error:") && out.contains("[Done, exit code 1]"),
                 qPrintable(out));
        // The error line is a link.
        const int at = int(out.indexOf("Bad.java:3: error:"));
        QVERIFY(d->commandLineBox().formatAt(at).underline);
        QCOMPARE(d->locations().count(), 1);
        closeDialog(d);

        w.surface()->setSelStart(0);
        w.menuItem("nexterror")->trigger();
        QCOMPARE(landedAt(w), QStringLiteral("3: ;")); // at javac's caret
        QCOMPARE(w.statusPanel(1)->text(), QStringLiteral("Error 1 of 1"));
        QVERIFY(m_prompter.asked().empty());
    }

    // Every error and warning of a real compile is marked where javac
    // points; the markers follow an edit above them, tell their message
    // where the caret stands, have a sign in the margin that lands on them
    // when clicked, and go at the next compile and when another file
    // opens. F4 counts errors and warnings apart.
    void compilerMarkers()
    {
        const QString marked = path("Marked.java");
        QVERIFY(writeFile(marked, kMarked));
        frmedit w(marked, &m_prompter, ProbePlaces{});
        w.show();
        frmJavaX *d = runTool(w, "compile");
        QVERIFY(d && runAndWait(d));
        QVERIFY2(d->commandLineBox().text().contains("3 errors\r\n1 warning"),
                 qPrintable(d->commandLineBox().text()));
        const QStringList placed{"3:16 undefinedName E", "4:19 42 E", "5:24 new W",
                                 "6:22 .lenth E"};
        QCOMPARE(markers(w), placed);

        // F4 and Shift+F4 count errors and warnings apart.
        QStringList walk;
        for (const char *item :
             {"nexterror", "nexterror", "nexterror", "nexterror", "nexterror", "previouserror"}) {
            w.menuItem(QLatin1String(item))->trigger();
            walk << landedAt(w).section(':', 0, 0) + " " + w.statusPanel(1)->text();
        }
        QCOMPARE(walk, (QStringList{"3 Error 1 of 3", "4 Error 2 of 3", "5 Warning 1 of 1",
                                    "6 Error 3 of 3", "3 Error 1 of 3", "6 Error 3 of 3"}));

        // A line typed above them: they move with their text, and Undo
        // brings them back where they were.
        w.surface()->setSelStart(w.surface()->lineIndex(1));
        QTest::keyClicks(w.rtfedit(), "int added;");
        QTest::keyClick(w.rtfedit(), Qt::Key_Return);
        QCOMPARE(markers(w),
                 (QStringList{"4:16 undefinedName E", "5:19 42 E", "6:24 new W", "7:22 .lenth E"}));
        // The caret on a marker (or just after it) shows its message.
        const Surface &s = *w.surface();
        w.surface()->setSelStart(s.lineIndex(3) + 20);
        QVERIFY2(w.statusPanel(1)->text().endsWith(
                     "error: cannot find symbol; symbol: variable undefinedName; "
                     "location: class Marked"),
                 qPrintable(w.statusPanel(1)->text()));
        w.surface()->setSelStart(s.lineIndex(5) + 27);
        QVERIFY2(w.statusPanel(1)->text().endsWith(
                     "warning: [removal] Integer(int) in Integer has been deprecated and "
                     "marked for removal"),
                 qPrintable(w.statusPanel(1)->text()));
        w.surface()->setSelStart(s.lineIndex(5) + 2);
        QVERIFY(!w.statusPanel(1)->text().contains("warning"));

        // The sign beside the fifth line's error lands on it.
        SurfaceView *view = w.rtfedit();
        QVERIFY(view->lineNumbers());
        QVERIFY(view->leftMargin() > 20);
        const int y = view->caretRect(s.lineIndex(4)).center().y();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(3, y));
        QCOMPARE(landedAt(w), QStringLiteral("5: 42;"));
        QVERIFY(view->showsLanding());
        QVERIFY(w.statusPanel(1)->text().endsWith(
            "error: incompatible types: int cannot be converted to String"));
        // A click on a number, where no sign is, only puts the caret there.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          QPoint(int(view->leftMargin()) - 4, view->caretRect(0).center().y()));
        QCOMPARE(s.lineFromChar(s.selStart()), 0);
        QCOMPARE(w.compilerMarkers().count(), 4);

        // The next compile (the edit saved first) marks anew: the first
        // error fixed, none of the old markers stays.
        w.surface()->setSelection(s.lineIndex(3), s.lineLength(3));
        w.surface()->setSelText("        int a = 0;");
        m_prompter.answer(MsgAnswer::Yes); // save before compiling
        d->findChild<QPushButton *>("cmdJavaX")->click();
        QCOMPARE(w.compilerMarkers().count(), 0); // gone as the compile starts
        QTRY_VERIFY_WITH_TIMEOUT(!d->isRunning(), kGenerous);
        QCOMPARE(markers(w), (QStringList{"5:19 42 E", "6:24 new W", "7:22 .lenth E"}));
        closeDialog(d);
        w.menuItem("nexterror")->trigger();
        QCOMPARE(w.statusPanel(1)->text(), QStringLiteral("Error 1 of 2"));

        // Another file opened: its document has none of them.
        const QString other = path("Other.java");
        QVERIFY(writeFile(other, "class Other {\n}\n"));
        QVERIFY(w.documents().openPath(other));
        QCOMPARE(markers(w), QStringList{});
        QCOMPARE(w.compilerMarkers().count(), 0);
        // F4 opens the compiled file again, marked as the compile left it.
        w.menuItem("nexterror")->trigger();
        QCOMPARE(w.documents().path(), marked);
        QCOMPARE(markers(w), (QStringList{"5:19 42 E", "6:24 new W", "7:22 .lenth E"}));
        QCOMPARE(w.statusPanel(1)->text(), QStringLiteral("Warning 1 of 1"));
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
        QVERIFY2(box.text().contains(
                     "\tat Thrower.deep(Thrower.java:4)\r\n\tat Thrower.deep(Thrower.java:5)\r\n"
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
        QCOMPARE(landedAt(w), QStringLiteral("5: deep(n - 1);"));
        QCOMPARE(w.statusPanel(1)->text(), QStringLiteral("Error 2 of 3"));
        QCOMPARE(readFile(other), QByteArray("class Other {}\n")); // not saved

        // A file that has gone: said, nothing opened.
        QVERIFY(QFile::rename(thrower, thrower + ".away"));
        m_prompter.answer(MsgAnswer::Ok);
        QVERIFY(d->openLinkOnLine(line));
        QCOMPARE(m_prompter.messages().last(),
                 QStringLiteral("The file Thrower.java was not found."));
        QCOMPARE(landedAt(w), QStringLiteral("5: deep(n - 1);"));
        QVERIFY(QFile::rename(thrower + ".away", thrower));
        QVERIFY(!d->openLinkOnLine(box.lineFromChar(int(box.text().indexOf("[Done")))));
        closeDialog(d);

        // F4 from the second frame, on around; Shift+F4 back.
        QStringList walk;
        for (const char *item : {"nexterror", "nexterror", "previouserror", "previouserror"}) {
            w.menuItem(QLatin1String(item))->trigger();
            walk << landedAt(w).section(':', 0, 0) + " " + w.statusPanel(1)->text();
        }
        QCOMPARE(walk, (QStringList{"8 Error 3 of 3", "4 Error 1 of 3", "8 Error 3 of 3",
                                    "5 Error 2 of 3"}));
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
        QVERIFY2(d->commandLineBox().text().endsWith(QStringLiteral(
                     "[Executing]\r\nName? Ann\r\nTown? Oslo\r\nAnn from Oslo\r\n[Done]\r\n")),
                 qPrintable(d->commandLineBox().text()));
        closeDialog(d);
        QVERIFY(m_prompter.asked().empty());
    }
};

QTEST_MAIN(TstToolErrors)
#include "tst_toolerrors.moc"
