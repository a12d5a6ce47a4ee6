// Places a tool's output names: which lines are links and what they name,
// where their files are found, and the walk through them with F4.
#include "support/datarow.h"
#include "support/files.h"
#include "tools/toollocations.h"
#include "toolsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace qln;

Q_DECLARE_METATYPE(ToolLocation::Kind)

namespace {

void touch(const QString &path)
{
    QVERIFY(test::writeFile(path, "class X {}\n"));
}

ToolLocation message(const QString &file, int line, ToolLocation::Kind kind = ToolLocation::Error)
{
    ToolLocation l;
    l.kind = kind;
    l.file = file;
    l.line = line;
    return l;
}

ToolLocation frame(const QString &className, const QString &file, int line)
{
    ToolLocation l;
    l.kind = ToolLocation::Frame;
    l.className = className;
    l.file = file;
    l.line = line;
    return l;
}

} // namespace

class TstToolLocations : public QObject {
    Q_OBJECT
private slots:
    void parse_data()
    {
        columns<QString, bool, ToolLocation::Kind, QString, QString, int, QString>(
            "line", "link", "kind", "file", "className", "number", "linkText");
        const auto E = ToolLocation::Error, W = ToolLocation::Warning, F = ToolLocation::Frame;
        row("error, absolute path", "/home/me/src/Bad.java:2: error: illegal start of expression",
            true, E, "/home/me/src/Bad.java", "", 2,
            "/home/me/src/Bad.java:2: error: illegal start of expression");
        row("error, blanks and a colon in the path",
            "My Project/a:b/My Class.java:117: error: ';' expected", true, E,
            "My Project/a:b/My Class.java", "", 117,
            "My Project/a:b/My Class.java:117: error: ';' expected");
        row("warning", "A.java:5: warning: [removal] Integer(int) is deprecated", true, W, "A.java",
            "", 5, "A.java:5: warning: [removal] Integer(int) is deprecated");
        row("a note names no line", "Note: A.java uses unchecked or unsafe operations.", false, E,
            "", "", 0, "");
        row("javac's summary", "1 error", false, E, "", "", 0, "");
        row("the source line quoted", "        int x = ;", false, E, "", "", 0, "");
        row("not an error word", "A.java:3: note: something", false, E, "", "", 0, "");
        row("line 0", "A.java:0: error: x", false, E, "", "", 0, "");
        row("frame", "\tat Thrower.deep(Thrower.java:7)", true, F, "Thrower.java", "Thrower", 7,
            "at Thrower.deep(Thrower.java:7)");
        row("frame in a package, a module first",
            "\tat java.base/java.util.ArrayList.get(ArrayList.java:427)", true, F, "ArrayList.java",
            "java.util.ArrayList", 427, "at java.base/java.util.ArrayList.get(ArrayList.java:427)");
        row("frame with a class loader, an inner class and a lambda",
            "    at app//com.acme.Outer$Inner.lambda$run$0(Outer.java:31) ", true, F, "Outer.java",
            "com.acme.Outer$Inner", 31, "at app//com.acme.Outer$Inner.lambda$run$0(Outer.java:31)");
        row("constructor frame", "\tat p.A.<init>(A.java:4)", true, F, "A.java", "p.A", 4,
            "at p.A.<init>(A.java:4)");
        row("native method", "\tat java.base/jdk.internal.misc.Unsafe.park(Native Method)", false,
            F, "", "", 0, "");
        row("unknown source", "\tat A.main(Unknown Source)", false, F, "", "", 0, "");
        row("exception line",
            "Exception in thread \"main\" java.lang.IllegalStateException: A.java:3", false, F, "",
            "", 0, "");
        row("more frames", "\t... 3 more", false, F, "", "", 0, "");
    }
    void parse()
    {
        QFETCH(QString, line);
        QFETCH(bool, link);
        const std::optional<ToolLocation> loc = parseToolLocation(line);
        QCOMPARE(bool(loc), link);
        if (!link)
            return;
        QFETCH(ToolLocation::Kind, kind);
        QFETCH(QString, file);
        QFETCH(QString, className);
        QFETCH(int, number);
        QFETCH(QString, linkText);
        QCOMPARE(loc->kind, kind);
        QCOMPARE(loc->file, file);
        QCOMPARE(loc->className, className);
        QCOMPARE(loc->line, number);
        QCOMPARE(line.mid(loc->linkStart, loc->linkLength), linkText);
    }

    // Messages: as printed, else from the working folder, else beside the
    // document. Frames: beside the document, in the working folder, along
    // the search folders, each directly and below the package's folders.
    void resolve()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path();
        touch(root + "/work/src/Bad.java");
        touch(root + "/doc/Main.java");
        touch(root + "/doc/Only Beside.java");
        touch(root + "/lib src/com/acme/Util.java");
        touch(root + "/work/com/acme/Here.java");
        const LocationContext c{root + "/work", root + "/doc", {root + "/lib src"}};

        QCOMPARE(resolveLocation(message(root + "/work/src/Bad.java", 2), c),
                 root + "/work/src/Bad.java");
        QCOMPARE(resolveLocation(message("src/Bad.java", 2), c), root + "/work/src/Bad.java");
        QCOMPARE(resolveLocation(message("Only Beside.java", 2), c),
                 root + "/doc/Only Beside.java");
        QCOMPARE(resolveLocation(message("../work/src/./Bad.java", 2), c),
                 root + "/work/src/Bad.java");
        QCOMPARE(resolveLocation(message(root + "/gone/Bad.java", 2), c), QString());
        QCOMPARE(resolveLocation(message("src", 2), c), QString()); // a folder is not a file

        QCOMPARE(resolveLocation(frame("Main", "Main.java", 3), c), root + "/doc/Main.java");
        QCOMPARE(resolveLocation(frame("other.Main", "Main.java", 3), c), root + "/doc/Main.java");
        QCOMPARE(resolveLocation(frame("com.acme.Here$1", "Here.java", 3), c),
                 root + "/work/com/acme/Here.java");
        QCOMPARE(resolveLocation(frame("com.acme.Util", "Util.java", 9), c),
                 root + "/lib src/com/acme/Util.java");
        QCOMPARE(resolveLocation(frame("java.util.ArrayList", "ArrayList.java", 427), c),
                 QString());
    }

    void searchFoldersFromTheOptions()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path();
        for (const char *d : {"/cp1", "/cp 2", "/src", "/work/rel"})
            QDir().mkpath(root + d);
        touch(root + "/lib.jar");
        JavaXState s = test::stateFor("Compile");
        s.options[0].ticked = true; // -classpath
        s.options[0].argument =
            root + "/cp1:" + root + "/cp 2;" + root + "/lib.jar:" + root + "/none";
        s.options[1].ticked = true; // -sourcepath
        s.options[1].argument = root + "/src:rel";
        QCOMPARE(searchFoldersOf(s, root + "/work"),
                 (QStringList{root + "/src", root + "/work/rel", root + "/cp1", root + "/cp 2"}));
        s.options[1].ticked = false;
        QCOMPARE(searchFoldersOf(s, root + "/work"), (QStringList{root + "/cp1", root + "/cp 2"}));
        JavaXState run = test::stateFor("Run");
        run.options[0].ticked = true;
        run.options[0].argument = "../cp1";
        QCOMPARE(searchFoldersOf(run, root + "/work"), QStringList{root + "/cp1"});
    }

    // F4 and Shift+F4: forward and back, wrapping, over locations whose
    // file is not there; "Error i of n".
    void stepping()
    {
        QTemporaryDir tmp;
        touch(tmp.filePath("A.java"));
        touch(tmp.filePath("B.java"));
        ToolLocations list;
        QCOMPARE(list.step(1), -1);
        list.begin(LocationContext{tmp.path(), tmp.path(), {}});
        list.add(message("A.java", 1));
        list.add(frame("java.util.List", "List.java", 9)); // not there
        list.add(message("B.java", 2, ToolLocation::Warning));
        list.add(frame("A", "A.java", 7));
        QStringList walk;
        for (int i = 0; i < 5; ++i)
            walk << QString::number(list.step(1));
        for (int i = 0; i < 4; ++i)
            walk << QString::number(list.step(-1));
        QCOMPARE(walk.join(' '), QStringLiteral("0 2 3 0 2 0 3 2 0"));
        QCOMPARE(list.resolve(1), QString());
        QCOMPARE(list.resolve(3), tmp.filePath("A.java"));
        // Errors, warnings and frames are counted apart.
        QCOMPARE(locationStatus(list, list.current()), QStringLiteral("Error 1 of 1"));
        QCOMPARE(locationStatus(list, 2), QStringLiteral("Warning 1 of 1"));
        QCOMPARE(locationStatus(list, 3), QStringLiteral("Error 2 of 2"));
        QCOMPARE(list.indexOf(frame("A", "A.java", 7)), 3);
        QCOMPARE(list.indexOf(frame("A", "A.java", 8)), -1);

        // Back from the start goes to the last; a new run starts over.
        list.setCurrent(-1);
        QCOMPARE(list.step(-1), 3);
        list.begin(LocationContext{});
        QCOMPARE(list.count(), 0);
        QCOMPARE(list.current(), -1);

        // Nothing there at all.
        list.begin(LocationContext{tmp.path(), tmp.path(), {}});
        list.add(message("Gone.java", 1));
        QCOMPARE(list.step(1), -1);
        QCOMPARE(list.current(), -1);
    }

    // The compiler's caret line, two lines below its message, gives the
    // message its column (tabs copied from the source count as one each);
    // a message without one, and a frame, have none. The message's words
    // are kept with the indented detail lines below its caret line.
    void columnsFromCaretLines()
    {
        ToolLocations list;
        list.begin(LocationContext{});
        const auto output = [&list](const QStringList &lines) {
            for (const QString &line : lines)
                if (std::optional<ToolLocation> loc = parseToolLocation(line))
                    list.add(*loc);
                else
                    list.addOtherLine(line);
        };
        output({"A.java:3: error: ';' expected",
                "        int x = 1",
                "                 ^",
                "B.java:7: warning: [unchecked] unchecked call",
                "\tlist.add(item);",
                "\t        ^  ",
                "C.java:1: error: class, interface, enum, or record expected",
                "x",
                "1 error ^",
                "^",
                "\tat A.main(A.java:5)",
                "",
                "    ^",
                "D.java:2: error: no caret",
                "E.java:4: error: cannot find symbol",
                "        y = 2;",
                "        ^",
                "  symbol:   variable y",
                "  location: class E",
                "Note: E.java uses unchecked or unsafe operations.",
                "  not: after a line that is none",
                "2 errors"});
        QStringList columns;
        for (int i = 0; i < list.count(); ++i)
            columns << QString::number(list.at(i).column);
        QCOMPARE(columns.join(' '), QStringLiteral("17 9 -1 -1 -1 8"));
        QCOMPARE(list.at(0).message, QStringLiteral("';' expected"));
        QCOMPARE(list.at(1).message, QStringLiteral("[unchecked] unchecked call"));
        QCOMPARE(list.at(3).message, QString());
        QCOMPARE(list.at(5).message,
                 QStringLiteral("cannot find symbol; symbol: variable y; location: class E"));
        QCOMPARE(locationStatus(list, 5), QStringLiteral("Error 4 of 4"));
        QCOMPARE(locationStatus(list, 1), QStringLiteral("Warning 1 of 1"));
    }

    // A run that names more places than are kept keeps the newest, and
    // counts those it keeps.
    void boundedList()
    {
        ToolLocations list;
        list.begin(LocationContext{});
        for (int i = 1; i <= ToolLocations::kMaxLocations + 10; ++i)
            list.add(
                message("A.java", i, i % 4 == 0 ? ToolLocation::Warning : ToolLocation::Error));
        const int n = ToolLocations::kMaxLocations;
        QCOMPARE(list.count(), n);
        QCOMPARE(list.at(0).line, 11);
        QCOMPARE(list.at(n - 1).line, n + 10);
        QCOMPARE(list.countOf(ToolLocation::Warning) + list.countOf(ToolLocation::Error), n);
        // Lines 12, 16, ... n + 8 are warnings; the first kept (11) and the
        // last (n + 10) are errors.
        QCOMPARE(list.countOf(ToolLocation::Warning), n / 4);
        QCOMPARE(locationStatus(list, 0), QStringLiteral("Error 1 of %1").arg(n - n / 4));
        QCOMPARE(locationStatus(list, 1), QStringLiteral("Warning 1 of %1").arg(n / 4));
        QCOMPARE(locationStatus(list, n - 3), QStringLiteral("Warning %1 of %1").arg(n / 4));
        QCOMPARE(locationStatus(list, n - 1), QStringLiteral("Error %1 of %1").arg(n - n / 4));
        list.begin(LocationContext{});
        list.add(message("A.java", 1, ToolLocation::Warning));
        QCOMPARE(locationStatus(list, 0), QStringLiteral("Warning 1 of 1"));
    }
};

QTEST_GUILESS_MAIN(TstToolLocations)
#include "tst_toollocations.moc"
