// The completion search: keys before the caret, members of key 1, the names
// they insert and their order, pre-selection, insertion and placement.
#include "completion/treesearch.h"
#include "surface/surface.h"

#include <QRandomGenerator>
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

// Searches `tree` for the members of `key1` on a wide surface.
TreeBoxModel search(const QStringList &tree, const QString &key1, QStringList &arrmatch,
                    int surfaceWidth = 100000)
{
    TreeBoxModel box;
    SearchTree(box, tree, key1, arrmatch, surfaceWidth);
    return box;
}

} // namespace

class TstTreeSearch : public QObject {
    Q_OBJECT
private slots:
    void tagImages()
    {
        QCOMPARE(treeTagImage("a.b.-p-c"), 2);
        QCOMPARE(treeTagImage("a.b.-rfv"), 13);
        QCOMPARE(QString::fromLatin1(kTreeTags[12].caption), QStringLiteral("Protected final variable"));
        QCOMPARE(treeTagImage("a.b-p-c"), 0); // no dot before the tag
        QCOMPARE(treeTagImage("a.b.-x-c"), 0);
    }

    void getTreeKey_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key1");
        QTest::addColumn<QString>("key2");
        QTest::newRow("after an assignment") << "x = y + java.awt.Co" << "java.awt." << "Co";
        QTest::newRow("ends with the dot") << "a=java.util." << "java.util." << "";
        QTest::newRow("underscore and digits") << "!a_b.c1.d" << "a_b.c1." << "d";
        QTest::newRow("parameters typed") << "s = java.lang.String.valueOf(x"
                                          << "java.lang.String." << "valueOf(x";
        QTest::newRow("dollar is no name character") << "$x.y" << "x." << "y";
        QTest::newRow("accented letter ends the name") << "\u00e9java.x" << "java." << "x";
        QTest::newRow("no dot") << "int x = 5" << "" << "";
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
    }

    void findTreeEntry()
    {
        // The parent search finds every entry of trees of 1..40 entries and
        // nothing between them, nor entry 0; capitals sort first.
        for (int n = 1; n <= 40; ++n) {
            QStringList arr{QStringLiteral("m")};
            for (int i = 1; i <= n; ++i)
                arr << QStringLiteral("k%1").arg(i * 2, 3, 10, QLatin1Char('0'));
            for (int i = 1; i <= n; ++i) {
                QCOMPARE(FindTreeEntry(arr, arr[i]), i);
                QCOMPARE(FindTreeEntry(arr, "k" + QString::number(i * 2 - 1).rightJustified(3, '0')), -1);
            }
            QCOMPARE(FindTreeEntry(arr, QStringLiteral("m")), -1);
        }
        QCOMPARE(FindTreeEntry(treeOf({"Zeta", "alpha"}), "zeta"), -1);
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
        QCOMPARE(box.width, 85 * 9 + 615); // the longest text is key 1 itself

        // Dotted member texts, deeper descendants, unknown tags and untagged
        // entries are skipped; the scan ends at the first entry outside key 1.
        const QStringList strings = treeOf({
            "java.lang.String.-p-c",
            "java.lang.String.String valueOf(char).-p-m",
            "java.lang.String.boolean equals(java.lang.Object).-p-m",
            "java.lang.String.CASE.Inner.-p-v",
            "java.lang.String.int hash.-x-v",
            "java.lang.String.untagged",
            "java.lang.String.int length().-p-m",
            "java.lang.StringBuilder.-p-c",
            "java.lang.String.int late().-p-m",
        });
        box = search(strings, "java.lang.String.", arrmatch);
        QCOMPARE(texts(box), QStringList({"int length()", "String valueOf(char)"}));
        QCOMPARE(arrmatch, QStringList({"", "length()", "valueOf(char)"}));
        QCOMPARE(box.width, 85 * 20 + 615); // "String valueOf(char)"

        // Nothing to search: the old items go.
        box.selected = 1;
        SearchTree(box, tree, "r.", arrmatch, 100000); // no parent
        QVERIFY(box.items.empty());
        QCOMPARE(arrmatch, QStringList{QString()});
        QCOMPARE(box.selected, 0);
        QVERIFY(search(tree, QString(), arrmatch).items.empty());
        QVERIFY(search(QStringList{QString()}, "java.awt.", arrmatch).items.empty());
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
        QStringList arrmatch;
        const TreeBoxModel box =
            search(treeOf({"a.B." + tag, "a.B.int size().-p-m", "a.C.-p-c"}), "a.B.", arrmatch);
        QCOMPARE(texts(box), QStringList{"int size()"});
        QCOMPARE(images(box), QList<int>{6});
        QCOMPARE(arrmatch, QStringList({"", "size()"}));
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
        QTest::newRow("blank before the parenthesis") << "void run (int)" << "(int)";
        QTest::newRow("class") << "Color" << "Color";
        QTest::newRow("final field") << "final Color black" << "black";
        QTest::newRow("open parenthesis only") << "int f(" << "f(";
        QTest::newRow("closing before opening") << "a) b(c" << "b(c";
    }
    void matchName()
    {
        QFETCH(QString, display);
        QFETCH(QString, name);
        QStringList arrmatch{QString()};
        MatchName(arrmatch, 1, display);
        QCOMPARE(arrmatch, QStringList({QString(), name}));
    }

    void sortAgreesWithExchangeSort()
    {
        // The order of an exchange sort on the names (equal names keep their
        // order, images move with their items), for random lists.
        auto *rng = QRandomGenerator::global();
        for (int round = 0; round < 50; ++round) {
            const int n = 1 + int(rng->bounded(30));
            TreeBoxModel box;
            QStringList arrmatch{QString()};
            for (int i = 0; i < n; ++i) {
                arrmatch << QString(QChar(u'A' + rng->bounded(4))) + QChar(u'a' + rng->bounded(3));
                box.items.push_back({QStringLiteral("%1 #%2").arg(arrmatch.last()).arg(i), i + 1});
            }
            QStringList names = arrmatch;
            TreeBoxModel expected = box;
            for (bool swapped = true; swapped;) {
                swapped = false;
                for (int j = 1; j < n; ++j) {
                    if (names[j + 1] < names[j]) {
                        names.swapItemsAt(j, j + 1);
                        std::swap(expected.items[j - 1], expected.items[j]);
                        swapped = true;
                    }
                }
            }
            SortTreeMatches(arrmatch, box);
            QCOMPARE(arrmatch, names);
            QCOMPARE(texts(box), texts(expected));
            QCOMPARE(images(box), images(expected));
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
        const QStringList arrmatch{"", "", "brighter()"};
        s.setVisible(false);
        QVERIFY(!InsertTreeChoice(s, 0, arrmatch, "br", caret)); // no selection
        QVERIFY(s.isVisible());
        QVERIFY(!InsertTreeChoice(s, 1, arrmatch, "br", caret)); // empty name
        QVERIFY(!InsertTreeChoice(s, 3, arrmatch, "br", caret)); // past the list
        QVERIFY(!InsertTreeChoice(s, 2, arrmatch, "br", 999));   // caret outside
        QVERIFY(!InsertTreeChoice(s, 2, arrmatch, "c = java.awt.Color.brr", caret)); // key 2 too long
        s.setVisible(false);
        QVERIFY(InsertTreeChoice(s, 2, arrmatch, "br", caret));
        QCOMPARE(s.text(), QStringLiteral("c = java.awt.Color.brighter();\r\nnext"));
        QCOMPARE(s.selStart(), caret - 2 + 10);
        QCOMPARE(s.selLength(), 0);
        QVERIFY(s.isVisible());
        // An empty key 2 inserts at the caret.
        QVERIFY(InsertTreeChoice(s, 2, arrmatch, QString(), 4));
        QCOMPARE(s.text(), QStringLiteral("c = brighter()java.awt.Color.brighter();\r\nnext"));
    }

    void placeTreeBox_data()
    {
        // Surface top 400, height 6000 (middle 3200); box height 1500;
        // client width 12000.
        QTest::addColumn<QList<int>>("textLength_font_lines_boxLeft_boxWidth_clientHeight");
        QTest::addColumn<QPoint>("pos");
        QTest::newRow("near the caret, upper half")
            << QList<int>{10, 10, 2, 0, 2000, 9000} << QPoint(1000, 400 + 400 + 300);
        QTest::newRow("lower half drops further")
            << QList<int>{10, 10, 15, 0, 2000, 9000} << QPoint(1000, 400 + 3000 + 600);
        QTest::newRow("would leave the right edge")
            << QList<int>{110, 10, 2, 0, 2000, 9000} << QPoint(10000, 1100);
        QTest::newRow("wider than the client")
            << QList<int>{10, 10, 2, 0, 15000, 9000} << QPoint(0, 1100);
        QTest::newRow("below the client bottom")
            << QList<int>{10, 10, 30, 0, 2000, 6000} << QPoint(1000, 4500);
        QTest::newRow("a line far to the right")
            << QList<int>{50000000, 72, 2, 0, 2000, 90000} << QPoint(10000, 400 + 2880 + 4320);
    }
    void placeTreeBox()
    {
        QFETCH(QList<int>, textLength_font_lines_boxLeft_boxWidth_clientHeight);
        QFETCH(QPoint, pos);
        const QList<int> &v = textLength_font_lines_boxLeft_boxWidth_clientHeight;
        TreeBoxPlacement p;
        p.textLength = v[0];
        p.fontSize = v[1];
        p.lines = v[2];
        p.boxLeft = v[3];
        p.boxWidth = v[4];
        p.boxHeight = 1500;
        p.surfaceTop = 400;
        p.surfaceHeight = 6000;
        p.clientWidth = 12000;
        p.clientHeight = v[5];
        QCOMPARE(PlaceTreeBox(p), pos);
    }

    void boxStaysInsideTheClientArea()
    {
        // The box is never wider than the surface; wherever the caret, it is
        // placed within the client area's width.
        QStringList arrmatch;
        const QStringList wide = treeOf({"p.-p-p", "p." + QString(200, 'x') + ".-p-c"});
        QCOMPARE(search(wide, "p.", arrmatch, 6000).width, 6000);
        QCOMPARE(search(wide, "p.", arrmatch).width, 85 * 200 + 615);

        auto *rng = QRandomGenerator::global();
        auto upTo = [rng](int n) { return int(rng->bounded(n)); };
        for (int round = 0; round < 2000; ++round) {
            TreeBoxPlacement p;
            p.clientWidth = 3000 + upTo(20000);
            const int surfaceWidth = p.clientWidth - upTo(300);
            const QString name(1 + upTo(400), QLatin1Char('n'));
            p.boxWidth = search(treeOf({"p.-p-p", "p." + name + ".-p-c"}), "p.", arrmatch,
                                surfaceWidth).width;
            QVERIFY(p.boxWidth <= surfaceWidth);
            p.textLength = upTo(3000);
            p.fontSize = 1 + upTo(72);
            p.lines = upTo(80);
            p.boxLeft = upTo(p.clientWidth);
            p.boxHeight = 300 + upTo(4000);
            p.surfaceTop = upTo(1000);
            p.surfaceHeight = 2000 + upTo(10000);
            p.clientHeight = p.surfaceTop + p.surfaceHeight + upTo(500);
            const QPoint at = PlaceTreeBox(p);
            QVERIFY(at.x() >= 0 && at.x() + p.boxWidth <= p.clientWidth);
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
