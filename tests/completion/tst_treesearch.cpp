// The completion search: keys before the caret, members of key 1, the names
// they insert and their order, pre-selection, insertion and placement.
#include "completion/treesearch.h"
#include "support/datarow.h"
#include "support/seed.h"
#include "surface/surface.h"

#include <QTest>
#include <numeric>

using namespace qln;

namespace {

TreeEntries treeOf(QStringList entries)
{
    entries.prepend(QString());
    return TreeEntries(entries);
}

// The box's items as "text/image".
QStringList shown(const TreeBoxModel &box)
{
    QStringList out;
    for (const auto &item : box.items)
        out << item.text + "/" + QString::number(item.image);
    return out;
}

TreeBoxModel search(const TreeEntries &tree, const QString &key1, QStringList &arrmatch,
                    int width = 100000)
{
    TreeBoxModel box;
    SearchTree(box, tree, key1, arrmatch, width);
    return box;
}

} // namespace

class TstTreeSearch : public QObject {
    Q_OBJECT
private slots:
    void tagImages()
    {
        QCOMPARE(treeTagImage(u"a.b.-rfv"), 13);
        QCOMPARE(QString::fromLatin1(kTreeTags[12].caption),
                 QStringLiteral("Protected final variable"));
        QCOMPARE(treeTagImage(u"a.b-p-c"), 0); // no dot before the tag
    }

    void getTreeKey_data()
    {
        columns<QString, QString, QString>("text", "key1", "key2");
        row("assignment", "x = y + java.awt.Co", "java.awt.", "Co");
        row("ends with dot", "a=java.util.", "java.util.", "");
        row("underscore, digits", "!a_b.c1.d", "a_b.c1.", "d");
        row("parameters", "s = java.lang.String.valueOf(x", "java.lang.String.", "valueOf(x");
        row("dollar", "$x.y", "x.", "y");
        row("accented", "\u00e9java.x", "java.", "x");
        row("no dot", "int x = 5", "", "");
        row("lone dot", ".", ".", "");
    }
    void getTreeKey()
    {
        QFETCH(QString, text);
        QFETCH(QString, key1);
        QFETCH(QString, key2);
        QCOMPARE(GetTreeKey(text, 1) + "|" + GetTreeKey(text, 2) + "|" + GetTreeKey(text, 3),
                 key1 + "|" + key2 + "|");
    }

    void findTreeEntry()
    {
        // Every entry of trees of 1..40 entries, nothing between them, nor
        // entry 0; capitals sort first.
        for (int n = 1; n <= 40; ++n) {
            QStringList list{QStringLiteral("m")};
            for (int i = 1; i <= n; ++i)
                list << QStringLiteral("k%1").arg(i * 2, 3, 10, QLatin1Char('0'));
            const TreeEntries arr(list);
            for (int i = 1; i <= n; ++i) {
                QCOMPARE(FindTreeEntry(arr, list[i]), i);
                QCOMPARE(
                    FindTreeEntry(arr, "k" + QString::number(i * 2 - 1).rightJustified(3, '0')),
                    -1);
            }
            QCOMPARE(FindTreeEntry(arr, QStringLiteral("m")), -1);
        }
        QCOMPARE(FindTreeEntry(treeOf({"Zeta", "alpha"}), "zeta"), -1);

        // Names beyond Latin-1 (the first one turns the whole tree to
        // UTF-16) read back, sort and are found as given, before and after it.
        const QStringList wide{"a.-p-p", "a.b.-p-c", "é.-p-p", "λ.-p-p", "λ.μ.-p-c", "ω.-p-p"};
        const TreeEntries w = treeOf(wide);
        QCOMPARE(w.mid(1), wide);
        for (int i = 0; i < wide.size(); ++i)
            QCOMPARE(FindTreeEntry(w, wide[i]), i + 1);
        QCOMPARE(FindTreeEntry(w, QStringLiteral("μ.-p-p")), -1);
        QCOMPARE(w.lowerBound(u"λ"), 4);
        QVERIFY(w.lessThan(3, 4) && !w.lessThan(6, 5));
        QVERIFY(w == treeOf(wide) && !(w == treeOf(wide.mid(0, 5))));
        QStringList arrmatch;
        QCOMPARE(shown(search(w, QStringLiteral("λ."), arrmatch)), QStringList{"μ/2"});
        QCOMPARE(shown(search(w, QStringLiteral("a."), arrmatch)), QStringList{"b/2"});
    }

    void searchOffersDirectMembers()
    {
        const TreeEntries tree = treeOf({"java.awt.-p-p", "java.awt.Color.-p-c",
                                         "java.awt.Color.RED.-p-v", "java.awt.event.-p-p"});
        TreeBoxModel box;
        box.visible = true;
        QStringList arrmatch{"", "stale"};
        SearchTree(box, tree, "java.awt.", arrmatch, 100000);
        QCOMPARE(shown(box), QStringList({"Color/2", "event/1"}));
        QCOMPARE(arrmatch, QStringList({"", "Color", "event"}));
        QCOMPARE(box.text, QStringLiteral("java.awt."));
        QVERIFY(!box.visible);
        QCOMPARE(box.width, 85 * 9 + 615); // the longest text is key 1 itself

        // Dotted member texts, deeper descendants, unknown tags and untagged
        // entries are skipped; the scan ends at the first entry outside key 1.
        const TreeEntries strings =
            treeOf({"java.lang.String.-p-c", "java.lang.String.String valueOf(char).-p-m",
                    "java.lang.String.boolean equals(java.lang.Object).-p-m",
                    "java.lang.String.CASE.Inner.-p-v", "java.lang.String.int hash.-x-v",
                    "java.lang.String.untagged", "java.lang.String.int length().-p-m",
                    "java.lang.StringBuilder.-p-c", "java.lang.String.int late().-p-m"});
        box = search(strings, "java.lang.String.", arrmatch);
        QCOMPARE(shown(box), QStringList({"int length()/6", "String valueOf(char)/6"}));
        QCOMPARE(arrmatch, QStringList({"", "length()", "valueOf(char)"}));
        QCOMPARE(box.width, 85 * 20 + 615); // "String valueOf(char)"

        // Nothing to search: the old items go.
        box.selected = 1;
        SearchTree(box, tree, "r.", arrmatch, 100000); // no parent
        QVERIFY(box.items.empty() && box.selected == 0);
        QCOMPARE(arrmatch, QStringList{QString()});
        QVERIFY(search(tree, QString(), arrmatch).items.empty());
        QVERIFY(search(TreeEntries(), "java.awt.", arrmatch).items.empty());
    }

    void searchFindsParentUnderEveryTag_data()
    {
        QTest::addColumn<QString>("tag");
        for (const TreeTag &t : kTreeTags)
            row(t.tag, QString::fromLatin1(t.tag));
    }
    void searchFindsParentUnderEveryTag()
    {
        QFETCH(QString, tag);
        QStringList arrmatch;
        const TreeBoxModel box =
            search(treeOf({"a.B." + tag, "a.B.int size().-p-m", "a.C.-p-c"}), "a.B.", arrmatch);
        QCOMPARE(shown(box), QStringList{"int size()/6"});
        QCOMPARE(arrmatch, QStringList({"", "size()"}));
    }

    void matchName_data()
    {
        columns<QString, QString>("display", "name");
        row("method", "Color brighter()", "brighter()");
        row("no return type", "valueOf(char c)", "valueOf(char c)");
        row("after the list", "int f() throws X", "f()");
        row("blank before (", "void run (int)", "(int)");
        row("class", "Color", "Color");
        row("final field", "final Color black", "black");
        row("open ( only", "int f(", "f(");
        row(") before (", "a) b(c", "b(c");
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
        // A stable sort on the names (as an exchange sort: equal names keep
        // their order, images move with their items), for random lists.
        qln::test::SeededRandom rng;
        for (int round = 0; round < 50; ++round) {
            const int n = 1 + int(rng.bounded(30));
            TreeBoxModel box;
            QStringList arrmatch{QString()};
            for (int i = 0; i < n; ++i) {
                arrmatch << QString(QChar(u'A' + rng.bounded(4))) + QChar(u'a' + rng.bounded(3));
                box.items.push_back({QStringLiteral("%1 #%2").arg(arrmatch.last()).arg(i), i + 1});
            }
            std::vector<int> order(n);
            std::iota(order.begin(), order.end(), 1);
            std::stable_sort(order.begin(), order.end(),
                             [&](int a, int b) { return arrmatch[a] < arrmatch[b]; });
            QStringList names{QString()};
            TreeBoxModel expected;
            for (int i : order)
                names << arrmatch[i], expected.items.push_back(box.items[i - 1]);
            SortTreeMatches(arrmatch, box);
            QCOMPARE(arrmatch, names);
            QCOMPARE(shown(box), shown(expected));
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
        box.selected = 0;
        QCOMPARE(PreselectTreeItem(box, arrmatch, "cO"), 1);
        box.selected = 0;
        QCOMPARE(PreselectTreeItem(box, arrmatch, "color("), 0); // typing parameters
        QCOMPARE(PreselectTreeItem(box, arrmatch, "cu"), 3);
    }

    void insertReplacesKey2BeforeTheCaret()
    {
        Surface s;
        s.setText(QStringLiteral("c = java.awt.Color.br;\r\nnext"));
        const int caret = int(QStringLiteral("c = java.awt.Color.br").size());
        const QStringList arrmatch{"", "", "brighter()"};
        QVERIFY(!InsertTreeChoice(s, 0, arrmatch, "br", caret)); // no selection
        QVERIFY(!InsertTreeChoice(s, 1, arrmatch, "br", caret)); // empty name
        QVERIFY(!InsertTreeChoice(s, 3, arrmatch, "br", caret)); // past the list
        QVERIFY(!InsertTreeChoice(s, 2, arrmatch, "br", 999));   // caret outside
        QVERIFY(
            !InsertTreeChoice(s, 2, arrmatch, "c = java.awt.Color.brr", caret)); // key 2 too long
        QVERIFY(InsertTreeChoice(s, 2, arrmatch, "br", caret));
        QCOMPARE(s.text(), QStringLiteral("c = java.awt.Color.brighter();\r\nnext"));
        QCOMPARE(s.selStart(), caret - 2 + 10);
        QCOMPARE(s.selLength(), 0);
        QVERIFY(InsertTreeChoice(s, 2, arrmatch, QString(), 4)); // empty key 2: at the caret
        QCOMPARE(s.text(), QStringLiteral("c = brighter()java.awt.Color.brighter();\r\nnext"));
    }

    // What a choice inserts compiles: a method its name and "()", the caret
    // between them when it takes parameters; a field or type its name.
    void insertedChoiceCompiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("line"); // after the choice, the caret at "|"
        QTest::addColumn<QString>("parameters");
        row("no parameters", "length()", "s.length()|;", "");
        row("parameters", "indexOf(String)", "s.indexOf(|);", "(String)");
        row("named", "valueOf(char c)", "s.valueOf(|);", "(char c)");
        row("blank list", "f( )", "s.f()|;", "");
        row("unclosed", "g(int", "s.g(|);", "(int");
        row("field", "CASE_INSENSITIVE_ORDER", "s.CASE_INSENSITIVE_ORDER|;", "");
    }
    void insertedChoiceCompiles()
    {
        QFETCH(QString, name);
        QFETCH(QString, line);
        QFETCH(QString, parameters);
        Surface s;
        s.setText(QStringLiteral("s.le;"));
        TreeChoiceText inserted;
        QVERIFY(InsertTreeChoice(s, 1, QStringList{QString(), name}, "le", 4, &inserted));
        QCOMPARE(s.text(), QString(line).remove(QLatin1Char('|')));
        QCOMPARE(s.selStart(), int(line.indexOf(QLatin1Char('|'))));
        QCOMPARE(inserted.parameters, parameters);
    }

    // After a value ("sb.", "System.out.") the box holds no constructors;
    // after a type or package named as such it does.
    void constructorsOnlyAfterATypeName()
    {
        QVERIFY(KeyNamesValue("sb.", "java.lang.StringBuilder."));
        QVERIFY(KeyNamesValue("System.out.", "java.io.PrintStream."));
        QVERIFY(!KeyNamesValue("String.", "java.lang.String."));
        QVERIFY(!KeyNamesValue("java.awt.", "java.awt."));
        QVERIFY(!KeyNamesValue("Map.Entry.", "java.util.Map.Entry."));
        QVERIFY(!KeyNamesValue("nothing.", ""));

        const TreeEntries tree =
            treeOf({"java.io.PrintStream.-p-c", "java.io.PrintStream.PrintStream append(char).-p-m",
                    "java.io.PrintStream.PrintStream(File).-p-m",
                    "java.io.PrintStream.OutputStream out.-r-v",
                    "java.io.PrintStream.PrintStream(String).-p-m",
                    "java.io.PrintStream.void print(int).-p-m"});
        QStringList arrmatch;
        TreeBoxModel box = search(tree, "java.io.PrintStream.", arrmatch);
        QCOMPARE(arrmatch.size(), 6);
        QCOMPARE(SelectTreeItem(box, arrmatch, "pr"), 1); // PrintStream(File) sorts first
        DropConstructors(box, arrmatch, "java.io.PrintStream.");
        QCOMPARE(shown(box), QStringList({"PrintStream append(char)/6", "OutputStream out/12",
                                          "void print(int)/6"}));
        QCOMPARE(arrmatch, QStringList({"", "append(char)", "out", "print(int)"}));
        QCOMPARE(box.selected, 0); // the chosen constructor went
        QCOMPARE(SelectTreeItem(box, arrmatch, "pr"), 3);
        DropConstructors(box, arrmatch, "java.io.PrintStream.");
        QCOMPARE(box.selected, 3); // kept with its item
    }

    // Surface top 400, height 6000 (middle 3200); box height 1500; client
    // width 12000. v: text length, font size, lines, box width, client height.
    void placeTreeBox_data()
    {
        columns<QList<int>, QPoint>("v", "pos");
        row("upper half", QList<int>{10, 10, 2, 2000, 9000}, QPoint(1000, 400 + 400 + 300));
        row("lower half", QList<int>{10, 10, 15, 2000, 9000}, QPoint(1000, 400 + 3000 + 600));
        row("right edge", QList<int>{110, 10, 2, 2000, 9000}, QPoint(10000, 1100));
        row("too wide", QList<int>{10, 10, 2, 15000, 9000}, QPoint(0, 1100));
        row("below bottom", QList<int>{10, 10, 30, 2000, 6000}, QPoint(1000, 4500));
        row("far right", QList<int>{50000000, 72, 2, 2000, 90000},
            QPoint(10000, 400 + 2880 + 4320));
    }
    void placeTreeBox()
    {
        QFETCH(QList<int>, v);
        QFETCH(QPoint, pos);
        QCOMPARE(
            PlaceTreeBox(TreeBoxPlacement{v[0], v[1], v[2], 0, v[3], 1500, 400, 6000, 12000, v[4]}),
            pos);
    }

    void boxStaysInsideTheClientArea()
    {
        // Never wider than the surface; wherever the caret, placed within
        // the client area's width.
        QStringList arrmatch;
        const TreeEntries wide = treeOf({"p.-p-p", "p." + QString(200, 'x') + ".-p-c"});
        QCOMPARE(search(wide, "p.", arrmatch, 6000).width, 6000);
        QCOMPARE(search(wide, "p.", arrmatch).width, 85 * 200 + 615);

        qln::test::SeededRandom rng;
        auto upTo = [&rng](int n) { return int(rng.bounded(n)); };
        for (int round = 0; round < 2000; ++round) {
            const int cw = 3000 + upTo(20000), sw = cw - upTo(300), top = upTo(1000),
                      sh = 2000 + upTo(10000);
            const QString name(1 + upTo(400), QLatin1Char('n'));
            const int bw =
                search(treeOf({"p.-p-p", "p." + name + ".-p-c"}), "p.", arrmatch, sw).width;
            QVERIFY(bw <= sw);
            const QPoint at = PlaceTreeBox({upTo(3000), 1 + upTo(72), upTo(80), upTo(cw), bw,
                                            300 + upTo(4000), top, sh, cw, top + sh + upTo(500)});
            QVERIFY(at.x() >= 0 && at.x() + bw <= cw);
        }
    }

    // The box beside the caret: bounds (0,0)-(1000x800); caret line 20 high.
    void boxBelowCaret_data()
    {
        columns<QRect, QSize, QRect>("line", "box", "expected");
        const QSize box(300, 25);
        row("below the line at the caret", QRect(100, 200, 2, 20), box, QRect(100, 220, 300, 25));
        row("right edge: left as far as needed", QRect(900, 200, 2, 20), box,
            QRect(700, 220, 300, 25));
        row("bottom edge: up as far as needed", QRect(100, 770, 2, 20), box,
            QRect(100, 775, 300, 25));
        row("both edges", QRect(990, 790, 2, 20), box, QRect(700, 775, 300, 25));
        row("left of the bounds", QRect(-50, 10, 2, 20), box, QRect(0, 30, 300, 25));
        row("wider than the bounds", QRect(400, 10, 2, 20), QSize(1500, 25),
            QRect(0, 30, 1500, 25));
    }
    void boxBelowCaret()
    {
        QFETCH(QRect, line);
        QFETCH(QSize, box);
        QFETCH(QRect, expected);
        const QRect bounds(0, 0, 1000, 800);
        const QRect placed = PlaceBoxBelowCaret(line, box, bounds);
        QCOMPARE(placed, expected);
        // Shifted bounds shift the answer alike.
        QCOMPARE(PlaceBoxBelowCaret(line.translated(-300, 500), box, bounds.translated(-300, 500)),
                 expected.translated(-300, 500));
    }

    void fixedPosition()
    {
        QCOMPARE(FixedTreeBoxPosition("1200", "300"), QPoint(1200, 300));
        QCOMPARE(FixedTreeBoxPosition(" 15 twips", "abc"), QPoint(15, 0));
        QCOMPARE(FixedTreeBoxPosition("7", "-40"), QPoint(7, -40));
    }
};

QTEST_GUILESS_MAIN(TstTreeSearch)
#include "tst_treesearch.moc"
