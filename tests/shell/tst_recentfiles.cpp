// The File menu's "Recent Files": the list in the store (order, limit,
// repeats, clearing) and the submenu as the user drives it (opening, a
// file that has gone, "Clear List").

#include "shell/documentfiles.h"
#include "shell/recentfiles.h"
#include "shell/ui/recentmenu.h"
#include "support/datarow.h"
#include "support/windowtest.h"

#include <QAction>
#include <QMenu>

using namespace qln;

namespace {

// "/p/from.java" to "/p/to.java", counting down when to < from.
QStringList names(int from, int to)
{
    QStringList out;
    for (int i = from; from <= to ? i <= to : i >= to; i += from <= to ? 1 : -1)
        out << QStringLiteral("/p/%1.java").arg(i);
    return out;
}

QStringList menuTexts(QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

} // namespace

class TestRecentFiles : public QObject, test::WindowTest {
    Q_OBJECT

    QString makeFile(const QString &name)
    {
        return test::writeFile(path(name), "class A {}\n") ? path(name) : QString();
    }

private slots:
    void init() { initWindowTest(); }
    void cleanup() { cleanupWindowTest(); }

    void listKeepsTheNewestEightOnce_data()
    {
        columns<QStringList, QStringList>("added", "expected");
        row("newest first", names(1, 3), names(3, 1));
        row("eight kept", names(1, 10), names(10, 3));
        row("repeat moves to the top", QStringList{"/p/a", "/p/b", "/p/c", "/p/a"},
            QStringList{"/p/a", "/p/c", "/p/b"});
        row("no name, no start pattern", QStringList{"/p/a", "", "/p/*.java"}, QStringList{"/p/a"});
        row("relative: made absolute", QStringList{"R.java", "./s/../T.java"},
            QStringList{QDir::currentPath() + "/T.java", QDir::currentPath() + "/R.java"});
    }
    void listKeepsTheNewestEightOnce()
    {
        QFETCH(QStringList, added);
        QFETCH(QStringList, expected);
        RecentFiles recent(settingsStore());
        for (const QString &p : added)
            recent.add(p);
        QCOMPARE(recent.paths(), expected);
        // Stored in its own section; a second reader sees the same list.
        QCOMPARE(settingsStore().get("RECENT", "count"), QString::number(expected.size()));
        QCOMPARE(RecentFiles(settingsStore()).paths(), expected);
    }

    void removeClearAndAHandEditedStore()
    {
        RecentFiles recent(settingsStore());
        for (const QString &p : names(1, 4))
            recent.add(p);
        recent.remove("/p/3.java");
        recent.remove("/p/none.java");
        QCOMPARE(recent.paths(), (QStringList{"/p/4.java", "/p/2.java", "/p/1.java"}));
        recent.clear();
        QVERIFY(recent.paths().isEmpty());
        // No old path is left behind in the store.
        for (int i = 1; i <= RecentFiles::kMaxEntries; ++i)
            QCOMPARE(settingsStore().get("Recent", QStringLiteral("file%1").arg(i)), QString());

        // A count beyond the limit, a repeat, a hole and a relative path (it
        // names no file for sure) read as the list they mean.
        settingsStore().save("Recent", "count", "12");
        for (int i = 1; i <= 12; ++i)
            settingsStore().save("Recent", QStringLiteral("file%1").arg(i),
                                 i == 2   ? QString()
                                 : i == 3 ? QStringLiteral("/p/1")
                                 : i == 5 ? QStringLiteral("R.java")
                                          : QStringLiteral("/p/%1").arg(i));
        QCOMPARE(recent.paths(), (QStringList{"/p/1", "/p/4", "/p/6", "/p/7", "/p/8"}));
        settingsStore().save("Recent", "count", "x");
        QVERIFY(recent.paths().isEmpty());
    }

    void menuOpensSavesAndForgets()
    {
        frmedit w(QString(), &m_prompter, ProbePlaces{});
        QMenu *menu = w.recentFilesMenu()->menu();
        // Under "File", just above the separator before "E&xit".
        QMenu *file = w.findChild<QMenu *>("file");
        const QList<QAction *> items = file->actions();
        const qsizetype at = items.indexOf(menu->menuAction());
        QCOMPARE(menu->title(), QStringLiteral("Recent &Files"));
        QVERIFY(items[at - 1]->isSeparator() && items[at + 1]->isSeparator());
        QCOMPARE(items[at + 2], w.menuItem("Exit"));
        QCOMPARE(menuTexts(menu), QStringList{"&Clear List"});
        QVERIFY(!menu->actions().last()->isEnabled());

        // Opening (here through the command used by the list) and saving
        // put the paths on the list, newest first.
        const QString a = makeFile("A&B.java"), b = makeFile("B.java"), c = path("C.java");
        QVERIFY(w.documents().openPath(a));
        QVERIFY(w.documents().openPath(b));
        m_prompter.answerText(c);
        QVERIFY(w.documents().SaveAs());
        w.recentFilesMenu()->refresh();
        QCOMPARE(menuTexts(menu),
                 (QStringList{"&1 " + c, "&2 " + b, "&3 " + QString(a).replace("&", "&&"), "-",
                              "&Clear List"}));

        // Choosing an entry opens it (asking to save a modified document first).
        w.surface()->setSelText("x");
        QVERIFY(w.windowTitle().endsWith('*'));
        m_prompter.answer(MsgAnswer::No);
        menu->actions().at(2)->trigger();
        QCOMPARE(w.documentPath(), a);
        QCOMPARE(w.surface()->text(), QStringLiteral("class A {}\r\n"));
        w.recentFilesMenu()->refresh();
        QCOMPARE(menu->actions().at(0)->data().toString(), a);

        // A file that has gone is taken off the list with a message; the
        // document stays as it was.
        QVERIFY(QFile::remove(b));
        m_prompter.answer(MsgAnswer::Ok);
        w.recentFilesMenu()->choose(b);
        QCOMPARE(m_prompter.asked().back().message.title, QStringLiteral("Recent Files"));
        QVERIFY(m_prompter.asked().back().message.text.contains(b));
        QCOMPARE(w.recentFiles().paths(), (QStringList{a, c}));
        QCOMPARE(w.documentPath(), a);

        // "Clear List" empties it.
        menu->actions().last()->trigger();
        QVERIFY(w.recentFiles().paths().isEmpty());
        QCOMPARE(menuTexts(menu), QStringList{"&Clear List"});
        w.close();
    }
};

QTEST_MAIN(TestRecentFiles)
#include "tst_recentfiles.moc"
