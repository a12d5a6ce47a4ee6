// The completion search: keys before the caret, members of key 1, the names
// they insert and their order, pre-selection, insertion and placement.
#include "completion/treesearch.h"
#include "surface/surface.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>

using namespace qln;

namespace {

QStringList treeOf(QStringList entries)
{
    entries.prepend(QString());
    return entries;
}

QStringList texts(const TreeBoxModel &box)
{
    QStringList out;
    for (const auto &item : box.items)
        out << item.text;
    return out;
}

QList<int> images(const TreeBoxModel &box)
{
    QList<int> out;
    for (const auto &item : box.items)
        out << item.image;
    return out;
}

} // namespace

class TstTreeSearch : public QObject {
    Q_OBJECT
private slots:
    void tagTable()
    {
        const QStringList expected{"-p-p", "-p-c", "-p-i", "-r-c", "-r-i", "-p-m", "-pfm",
                                   "-p-v", "-pfv", "-r-m", "-rfm", "-r-v", "-rfv"};
        QSet<QString> captions;
        for (int i = 0; i < 13; ++i) {
            QCOMPARE(QString::fromLatin1(kTreeTags[i].tag), expected[i]);
            QCOMPARE(kTreeTags[i].image, i + 1);
            captions.insert(QString::fromLatin1(kTreeTags[i].caption));
            QCOMPARE(treeTagImage("a.b." + expected[i]), i + 1);
        }
        QCOMPARE(captions.size(), 13);
        QCOMPARE(QString::fromLatin1(kTreeTags[0].caption), QStringLiteral("Package"));
        QCOMPARE(QString::fromLatin1(kTreeTags[12].caption),
                 QStringLiteral("Protected final variable"));
        QCOMPARE(treeTagImage("a.b-p-c"), 0); // no dot before the tag
        QCOMPARE(treeTagImage("a.b.-x-c"), 0);
        QCOMPARE(treeTagImage("-p-c"), 0);
    }

    void getTreeKey_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key1");
        QTest::addColumn<QString>("key2");
        QTest::newRow("after an assignment") << "x = y + java.awt.Co" << "java.awt." << "Co";
        QTest::newRow("inside a call") << "this.foo(java.lang.Str" << "java.lang." << "Str";
        QTest::newRow("ends with the dot") << "a=java.util." << "java.util." << "";
        QTest::newRow("after a parenthesis") << "(java.io.File" << "java.io." << "File";
        QTest::newRow("after an operator") << "x+Math.ab" << "Math." << "ab";
        QTest::newRow("after a bracket") << "a[i.j" << "i." << "j";
        QTest::newRow("underscore and digits") << "!a_b.c1.d" << "a_b.c1." << "d";
        QTest::newRow("whole text is a name") << "java.lang.String.val" << "java.lang.String."
                                              << "val";
        QTest::newRow("parameters typed") << "s = java.lang.String.valueOf(x"
                                          << "java.lang.String." << "valueOf(x";
        QTest::newRow("dollar is no name character") << "$x.y" << "x." << "y";
        QTest::newRow("accented letter ends the name") << "\u00e9java.x" << "java." << "x";
        QTest::newRow("no dot") << "int x = 5" << "" << "";
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("lone dot") << "." << "." << "";
    }
    void getTreeKey()
    {
        QFETCH(QString, text);
        QFETCH(QString, key1);
        QFETCH(QString, key2);
        QCOMPARE(GetTreeKey(text, 1), key1);
        QCOMPARE(GetTreeKey(text, 2), key2);
        QCOMPARE(GetTreeKey(text, 3), QString());
        QCOMPARE(GetTreeKey(text, 0), QString());
    }

    void findTreeEntry()
    {
        // Every entry of trees of 1..40 entries is found; texts between and
        // around them are not, nor is entry 0.
        for (int n = 1; n <= 40; ++n) {
            QStringList arr{QStringLiteral("m")}; // entry 0 must never be looked at
            for (int i = 1; i <= n; ++i)
                arr << QStringLiteral("k%1").arg(i * 2, 3, 10, QLatin1Char('0'));
            for (int i = 1; i <= n; ++i) {
                QCOMPARE(FindTreeEntry(arr, arr[i]), i);
                QCOMPARE(FindTreeEntry(arr, QStringLiteral("k%1").arg(i * 2 + 1, 3, 10,
                                                                     QLatin1Char('0'))),
                         -1);
            }
            QCOMPARE(FindTreeEntry(arr, QStringLiteral("k000")), -1);
            QCOMPARE(FindTreeEntry(arr, QStringLiteral("m")), -1);
        }
        QCOMPARE(FindTreeEntry(QStringList{QString()}, QString()), -1);
        QCOMPARE(FindTreeEntry(QStringList{}, QStringLiteral("a")), -1);
        // Binary comparison: capitals before small letters.
        const QStringList arr = treeOf({"Zeta", "alpha", "beta"});
        QCOMPARE(FindTreeEntry(arr, "Zeta"), 1);
        QCOMPARE(FindTreeEntry(arr, "zeta"), -1);
    }

    void searchOffersDirectMembers()
    {
        const QStringList tree = treeOf({"java.awt.-p-p", "java.awt.Color.-p-c",
                                         "java.awt.Color.RED.-p-v", "java.awt.event.-p-p"});
        TreeBoxModel box;
        box.visible = true;
        QStringList arrmatch{"", "stale"};
        SearchTree(box, tree, "java.awt.", arrmatch, 100000);
        QCOMPARE(texts(box), QStringList({"Color", "event"}));
        QCOMPARE(images(box), QList<int>({2, 1}));
        QCOMPARE(arrmatch, QStringList({"", "Color", "event"}));
        QCOMPARE(box.text, QStringLiteral("java.awt."));
        QVERIFY(!box.visible);
        QCOMPARE(box.selected, 0);
        // The longest text is key 1 itself here: 85 * 9 + 615.
        QCOMPARE(box.width, 85 * 9 + 615);
    }

    void searchFindsParentUnderEveryTag_data()
    {
        QTest::addColumn<QString>("tag");
        for (const TreeTag &t : kTreeTags)
            QTest::newRow(t.tag) << QString::fromLatin1(t.tag);
    }
    void searchFindsParentUnderEveryTag()
    {
        QFETCH(QString, tag);
        const QStringList tree = treeOf({"a.B." + tag, "a.B.int size().-p-m", "a.C.-p-c"});
        TreeBoxModel box;
        QStringList arrmatch;
        SearchTree(box, tree, "a.B.", arrmatch, 100000);
        QCOMPARE(texts(box), QStringList{"int size()"});
        QCOMPARE(images(box), QList<int>{6});
        QCOMPARE(arrmatch, QStringList({"", "size()"}));
    }

    void searchSkipsWhatCannotBeOffered()
    {
        const QStringList tree = treeOf({
            "java.lang.String.-p-c",
            "java.lang.String.String valueOf(char).-p-m",
            "java.lang.String.boolean equals(java.lang.Object).-p-m", // dotted member text
            "java.lang.String.CASE.Inner.-p-v",                        // deeper descendant
            "java.lang.String.int hash.-x-v",                          // unknown tag
            "java.lang.String.untagged",
            "java.lang.String.int length().-p-m",
            "java.lang.StringBuilder.-p-c", // outside key 1: the scan ends here
        });
        TreeBoxModel box;
        QStringList arrmatch;
        SearchTree(box, tree, "java.lang.String.", arrmatch, 100000);
        QCOMPARE(texts(box), QStringList({"int length()", "String valueOf(char)"}));
        QCOMPARE(arrmatch, QStringList({"", "length()", "valueOf(char)"}));
        QCOMPARE(images(box), QList<int>({6, 6}));
        QCOMPARE(box.width, 85 * 20 + 615); // "String valueOf(char)"
    }

    void searchStopsAtTheEndOfTheRun()
    {
        // An entry after the first one outside key 1 is never reached.
        const QStringList tree = treeOf({"p.-p-p", "p.A.-p-c", "q.-p-p", "p.Z.-p-c"});
        TreeBoxModel box;
        QStringList arrmatch;
        SearchTree(box, tree, "p.", arrmatch, 100000);
        QCOMPARE(texts(box), QStringList{"A"});
    }

    void searchWithNothingToSearch()
    {
        const QStringList tree = treeOf({"p.-p-p", "p.A.-p-c"});
        TreeBoxModel box;
        box.items.push_back({"old", 1});
        box.selected = 1;
        QStringList arrmatch{"", "old"};
        SearchTree(box, tree, "r.", arrmatch, 100000); // no parent
        QVERIFY(box.items.empty());
        QCOMPARE(arrmatch, QStringList{QString()});
        QCOMPARE(box.selected, 0);
        SearchTree(box, tree, QString(), arrmatch, 100000);
        QVERIFY(box.items.empty());
        SearchTree(box, QStringList{QString()}, "p.", arrmatch, 100000);
        QVERIFY(box.items.empty());
        QCOMPARE(arrmatch, QStringList{QString()});
    }

    void boxNeverWiderThanTheSurface()
    {
        const QString longName(200, QLatin1Char('x'));
        const QStringList tree = treeOf({"p.-p-p", "p." + longName + ".-p-c"});
        TreeBoxModel box;
        QStringList arrmatch;
        SearchTree(box, tree, "p.", arrmatch, 6000);
        QCOMPARE(box.width, 6000);
        SearchTree(box, tree, "p.", arrmatch, 100000);
        QCOMPARE(box.width, 85 * 200 + 615);
    }

    void matchName_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("name");
        QTest::newRow("method") << "Color brighter()" << "brighter()";
        QTest::newRow("no return type") << "valueOf(char c)" << "valueOf(char c)";
        QTest::newRow("blanks in parameters") << "String valueOf(char[], int, int)"
                                              << "valueOf(char[], int, int)";
        QTest::newRow("text after the list") << "int f() throws X" << "f()";
        QTest::newRow("two lists") << "int f(a) g(b)" << "f(a)";
        QTest::newRow("blank before the parenthesis") << "void run (int)" << "(int)";
        QTest::newRow("class") << "Color" << "Color";
        QTest::newRow("field") << "Color black" << "black";
        QTest::newRow("final field") << "final Color black" << "black";
        QTest::newRow("open parenthesis only") << "int f(" << "f(";
        QTest::newRow("closing before opening") << "a) b(c" << "b(c";
        QTest::newRow("empty") << "" << "";
    }
    void matchName()
    {
        QFETCH(QString, display);
        QFETCH(QString, name);
        QStringList arrmatch{QString()};
        MatchName(arrmatch, 1, display);
        QCOMPARE(arrmatch, QStringList({QString(), name}));
    }

    void sortMovesImagesWithTheirItems()
    {
        TreeBoxModel box;
        box.items = {{"int b", 6}, {"Color a", 8}, {"B", 2}, {"final int a", 9}, {"A", 3}};
        QStringList arrmatch{"", "b", "a", "B", "a", "A"};
        SortTreeMatches(arrmatch, box);
        QCOMPARE(arrmatch, QStringList({"", "A", "B", "a", "a", "b"}));
        // Equal names keep their order: "Color a" came before "final int a".
        QCOMPARE(texts(box), QStringList({"A", "B", "Color a", "final int a", "int b"}));
        QCOMPARE(images(box), QList<int>({3, 2, 8, 9, 6}));
    }

    void sortAgreesWithExchangeSort()
    {
        // The order of an exchange sort on the names, for random lists with
        // many equal names.
        auto *rng = QRandomGenerator::global();
        for (int round = 0; round < 50; ++round) {
            const int n = 1 + int(rng->bounded(30));
            TreeBoxModel box;
            QStringList arrmatch{QString()};
            for (int i = 0; i < n; ++i) {
                const QString name = QString(QChar(u'A' + rng->bounded(4))) +
                                     QString(QChar(u'a' + rng->bounded(3)));
                arrmatch << name;
                box.items.push_back({QStringLiteral("%1 #%2").arg(name).arg(i), i + 1});
            }
            QStringList names = arrmatch;
            std::vector<TreeBoxItem> items = box.items;
            for (bool swapped = true; swapped;) {
                swapped = false;
                for (int j = 1; j < n; ++j) {
                    if (names[j + 1] < names[j]) {
                        names.swapItemsAt(j, j + 1);
                        std::swap(items[j - 1], items[j]);
                        swapped = true;
                    }
                }
            }
            SortTreeMatches(arrmatch, box);
            QCOMPARE(arrmatch, names);
            for (int i = 0; i < n; ++i) {
                QCOMPARE(box.items[i].text, items[i].text);
                QCOMPARE(box.items[i].image, items[i].image);
            }
        }
    }

    void selection()
    {
        TreeBoxModel box;
        box.items = {{"Color", 2}, {"Color color()", 6}, {"Cursor", 2}, {"Color cyan", 9}};
        const QStringList arrmatch{"", "Color", "color()", "Cursor", "cyan"};
        QCOMPARE(SelectTreeItem(box, arrmatch, "co"), 1); // any letter case
        QCOMPARE(SelectTreeItem(box, arrmatch, " CU "), 3);
        QCOMPARE(SelectTreeItem(box, arrmatch, "cy"), 4);
        QCOMPARE(SelectTreeItem(box, arrmatch, "zz"), 4); // no match keeps the selection
        QCOMPARE(SelectTreeItem(box, arrmatch, ""), 4);
        QCOMPARE(SelectTreeItem(box, arrmatch, "color("), 2);

        TreeBoxModel fresh = box;
        fresh.selected = 0;
        QCOMPARE(PreselectTreeItem(fresh, arrmatch, "cO"), 1);
        fresh.selected = 0;
        QCOMPARE(PreselectTreeItem(fresh, arrmatch, "color("), 0); // typing parameters
        QCOMPARE(PreselectTreeItem(fresh, arrmatch, "cu"), 3);
    }

    void insertReplacesKey2BeforeTheCaret()
    {
        Surface s;
        s.setText(QStringLiteral("c = java.awt.Color.br;\r\nnext"));
        const int caret = int(QStringLiteral("c = java.awt.Color.br").size());
        const QStringList arrmatch{"", "darker()", "brighter()"};
        s.setVisible(false);
        QVERIFY(InsertTreeChoice(s, 2, arrmatch, "br", caret));
        QCOMPARE(s.text(), QStringLiteral("c = java.awt.Color.brighter();\r\nnext"));
        QCOMPARE(s.selStart(), caret - 2 + 10);
        QCOMPARE(s.selLength(), 0);
        QVERIFY(s.isVisible());
    }

    void insertNothing()
    {
        Surface s;
        const QString text = QStringLiteral("java.awt.Color.br");
        s.setText(text);
        const QStringList arrmatch{"", "", "brighter()"};
        s.setVisible(false);
        QVERIFY(!InsertTreeChoice(s, 0, arrmatch, "br", text.size())); // no selection
        QVERIFY(s.isVisible());
        QVERIFY(!InsertTreeChoice(s, 1, arrmatch, "br", text.size())); // empty name
        QVERIFY(!InsertTreeChoice(s, 3, arrmatch, "br", text.size())); // past the list
        QVERIFY(!InsertTreeChoice(s, 2, arrmatch, "br", text.size() + 5)); // caret outside
        QVERIFY(!InsertTreeChoice(s, 2, arrmatch, "java.awt.Color.brr", text.size()));
        QCOMPARE(s.text(), text);
        // An empty key 2 inserts at the caret.
        QVERIFY(InsertTreeChoice(s, 2, arrmatch, QString(), text.size() - 2));
        QCOMPARE(s.text(), QStringLiteral("java.awt.Color.brighter()br"));
    }

    void placeTreeBox_data()
    {
        QTest::addColumn<int>("textLength");
        QTest::addColumn<int>("f");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("boxLeft");
        QTest::addColumn<int>("boxWidth");
        QTest::addColumn<int>("clientWidth");
        QTest::addColumn<int>("clientHeight");
        QTest::addColumn<QPoint>("pos");
        // Surface top 400, height 6000: the middle is (400 + 6000) / 2 = 3200;
        // box height 1500.
        QTest::newRow("near the caret, upper half")
            << 10 << 10 << 2 << 0 << 2000 << 12000 << 9000 << QPoint(1000, 400 + 400 + 300);
        QTest::newRow("lower half drops further")
            << 10 << 10 << 15 << 0 << 2000 << 12000 << 9000 << QPoint(1000, 400 + 3000 + 600);
        QTest::newRow("font size 8") << 4 << 8 << 1 << 0 << 2000 << 12000 << 9000
                                     << QPoint(4 * 8 * 10 + 2, 400 + 160 + 240);
        QTest::newRow("would leave the right edge")
            << 110 << 10 << 2 << 0 << 2000 << 12000 << 9000 << QPoint(10000, 1100);
        QTest::newRow("already beyond the right edge")
            << 1 << 10 << 2 << 11000 << 2000 << 12000 << 9000 << QPoint(10000, 1100);
        QTest::newRow("wider than the client") << 10 << 10 << 2 << 0 << 15000 << 12000 << 9000
                                               << QPoint(0, 1100);
        QTest::newRow("large font at line start") << 0 << 14 << 0 << 0 << 2000 << 12000 << 9000
                                                  << QPoint(0, 400 + 420);
        QTest::newRow("below the client bottom")
            << 10 << 10 << 30 << 0 << 2000 << 12000 << 6000 << QPoint(1000, 4500);
        QTest::newRow("client lower than the box")
            << 10 << 10 << 2 << 0 << 2000 << 12000 << 1000 << QPoint(1000, 400);
        QTest::newRow("a line far to the right")
            << 50000000 << 72 << 2 << 0 << 2000 << 12000 << 90000 << QPoint(10000, 400 + 2880 + 4320);
    }
    void placeTreeBox()
    {
        QFETCH(int, textLength);
        QFETCH(int, f);
        QFETCH(int, lines);
        QFETCH(int, boxLeft);
        QFETCH(int, boxWidth);
        QFETCH(int, clientWidth);
        QFETCH(int, clientHeight);
        QFETCH(QPoint, pos);
        TreeBoxPlacement p;
        p.textLength = textLength;
        p.fontSize = f;
        p.lines = lines;
        p.boxLeft = boxLeft;
        p.boxWidth = boxWidth;
        p.boxHeight = 1500;
        p.surfaceTop = 400;
        p.surfaceHeight = 6000;
        p.clientWidth = clientWidth;
        p.clientHeight = clientHeight;
        QCOMPARE(PlaceTreeBox(p), pos);
    }

    void boxStaysInsideTheClientArea()
    {
        // Whatever the caret, a box sized by the search (never wider than
        // the surface, itself inside the client area) is never left of the
        // client area nor past its right edge.
        auto *rng = QRandomGenerator::global();
        for (int round = 0; round < 2000; ++round) {
            const int clientWidth = 3000 + int(rng->bounded(20000));
            const int surfaceWidth = clientWidth - int(rng->bounded(300));
            const QString name(1 + int(rng->bounded(400)), QLatin1Char('n'));
            const QStringList tree = treeOf({"p.-p-p", "p." + name + ".-p-c"});
            TreeBoxModel box;
            QStringList arrmatch;
            SearchTree(box, tree, "p.", arrmatch, surfaceWidth);
            QVERIFY(box.width <= surfaceWidth);

            TreeBoxPlacement p;
            p.textLength = int(rng->bounded(3000));
            p.fontSize = 1 + int(rng->bounded(72));
            p.lines = int(rng->bounded(80));
            p.boxLeft = int(rng->bounded(clientWidth));
            p.boxWidth = box.width;
            p.boxHeight = 300 + int(rng->bounded(4000));
            p.surfaceTop = int(rng->bounded(1000));
            p.surfaceHeight = 2000 + int(rng->bounded(10000));
            p.clientWidth = clientWidth;
            p.clientHeight = p.surfaceTop + p.surfaceHeight + int(rng->bounded(500));
            const QPoint at = PlaceTreeBox(p);
            QVERIFY2(at.x() >= 0, qPrintable(QString::number(at.x())));
            QVERIFY2(at.x() + box.width <= clientWidth,
                     qPrintable(QStringLiteral("%1 + %2 > %3").arg(at.x()).arg(box.width).arg(clientWidth)));
        }
    }

    void fixedPosition()
    {
        QCOMPARE(FixedTreeBoxPosition("X", "Y"), QPoint(0, 0));
        QCOMPARE(FixedTreeBoxPosition("1200", "300"), QPoint(1200, 300));
        QCOMPARE(FixedTreeBoxPosition(" 15 twips", "abc"), QPoint(15, 0));
        QCOMPARE(FixedTreeBoxPosition("7", "-40"), QPoint(7, -40));
    }
};

QTEST_GUILESS_MAIN(TstTreeSearch)
#include "tst_treesearch.moc"
