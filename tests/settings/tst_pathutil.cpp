// The path helpers: splitting, wildcards, read-only files, program folder.
// ShortPath and ShortFolderPath keep paths as they are: the object tree's
// and the tool dialog's stored paths show it (tst_objecttree, tst_toolmodes).
#include "base/pathutil.h"
#include "support/datarow.h"
#include "support/files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace qln;

class TstPathUtil : public QObject {
    Q_OBJECT
private slots:
    void splitPath_data()
    {
        columns<QString, QString, QString, QString, QString>("path", "folder", "name", "ext",
                                                             "title");
        row("two dots", "/a/b.c.java", "/a/", "b.c.java", ".java", "b.c");
        row("no dot", "/src/Makefile", "/src/", "Makefile", "", "Makefile");
        row("no folder", "A.java", "/", "A.java", ".java", "A");
        row("folder only", "/a/b/", "/a/b/", "", "", "");
        row("dot in folder", "/x.y/z", "/x.y/", "z", "", "z");
        row("trailing dot", "/a/b.", "/a/", "b.", ".", "b");
        row("empty", "", "", "", "", "");
    }
    void splitPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, ext);
        QFETCH(QString, title);
        QCOMPARE(SplitPath(path, 2), folder);
        QCOMPARE(SplitPath(path, 3), name);
        QCOMPARE(SplitPath(path, 4), ext);
        QCOMPARE(SplitPath(path, 5), title);
        QCOMPARE(SplitPath(path, 1), QString());
        QCOMPARE(SplitPath(path, 6), QString());
    }

    void fileExistsWithWildcards()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        QDir(d).mkdir("sub");
        for (const char *n : {"Main.java", "Other.txt", "[x].java"})
            QVERIFY(test::writeFile(d + "/" + n));
        // A folder counts; brackets in a pattern are plain characters.
        for (const char *found : {"/Main.java", "/sub", "/*.java", "/M?in.*", "/*", "/s*", "/[x]*"})
            QVERIFY2(FileExists(d + found), found);
        for (const char *missing :
             {"/main.java", "/nothing", "/*.class", "/M?n.java", "/nowhere/*.java"})
            QVERIFY2(!FileExists(d + missing), missing);
        QVERIFY(!FileExists(""));
        // A star of the pattern is never a literal one, even facing a star.
        QVERIFY(wildcardMatch(u"*ba", u"*a") && wildcardMatch(u"a*b", u"a*")
                && !wildcardMatch(u"*b", u"*a"));

        QTemporaryDir empty;
        QVERIFY(!FileExists(empty.path() + "/*"));
    }

    void readOnlyFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("ro.java");
        QVERIFY(test::writeFile(path));
        QVERIFY(!isReadOnlyFile(path));
        QVERIFY(!isReadOnlyFile(dir.filePath("absent.java")));
        // chmod 444: read-only for everyone, root included (root could
        // write it, but the file says no one should).
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup
                                                | QFile::ReadOther));
        QVERIFY(isReadOnlyFile(path));
        // Writable by its group only: the owner may not write it unless root.
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser | QFile::WriteGroup));
        QCOMPARE(isReadOnlyFile(path), geteuid() != 0);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser
                                                | QFile::WriteUser));
        QVERIFY(!isReadOnlyFile(path));
        // A folder is not a read-only file unless its bits say so.
        QVERIFY(!isReadOnlyFile(dir.path()));
    }

    void programFolderAndManifest()
    {
        QCOMPARE(programFolder(), QCoreApplication::applicationDirPath());
        QCOMPARE(manifestPath(),
                 QCoreApplication::applicationDirPath() + "/tst_pathutil.exe.manifest");
    }
};

QTEST_GUILESS_MAIN(TstPathUtil)
#include "tst_pathutil.moc"
