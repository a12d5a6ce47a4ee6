// Simple names before the caret: imports, java.lang, the document's own
// package, declared variables and fields of known types resolve to the
// qualified key the tree search takes; what cannot be resolved gives "".
#include "completion/nameresolve.h"
#include "completion/objecttree.h"
#include "completion/treesearch.h"
#include "surface/surface.h"

#include <QTest>
#include <algorithm>

using namespace qln;

namespace {

// A small tree in the loader's order, entry 0 empty.
QStringList smallTree()
{
    QStringList entries{
        "java.-p-p",
        "java.awt.-p-p",
        "java.awt.Color.-p-c",
        "java.awt.Color.Color brighter().-p-m",
        "java.awt.Color.Color black.-pfv",
        "java.awt.List.-p-c",
        "java.awt.List.void add(String).-p-m",
        "java.io.-p-p",
        "java.io.PrintStream.-p-c",
        "java.io.PrintStream.void println(String).-p-m",
        "java.lang.-p-p",
        "java.lang.String.-p-c",
        "java.lang.String.int length().-p-m",
        "java.lang.String.String[] parts.-p-v",
        "java.lang.System.-p-c",
        "java.lang.System.PrintStream out.-pfv",
        "java.lang.System.InputStream in.-pfv",
        "java.lang.System.int count.-pfv",
        "java.lang.Thread.-p-c",
        "java.lang.Thread.State.-p-c",
        "java.lang.Thread.State NEW.-pfv",
        "java.lang.Thread.State.State NEW.-pfv",
        "java.util.-p-p",
        "java.util.HashMap.-p-c",
        "java.util.List.-p-i",
        "java.util.List.int size().-p-m",
        "java.util.Map.-p-i",
        "java.util.Map.Entry.-p-i",
        "java.util.Map.Entry.Object getKey().-p-m",
        "javax.-p-p",
        "javax.swing.-p-p",
        "javax.swing.JButton.-p-c",
        "org.-p-p",
        "org.demo.-p-p",
        "org.demo.Helper.-p-c",
    };
    std::sort(entries.begin(), entries.end());
    entries.prepend(QString());
    return entries;
}

// The keys before a caret: key 1 and where it starts.
struct Key {
    QString key1;
    int start = 0;
};
Key keyBefore(const QString &text, int caret)
{
    const int lineStart = int(text.lastIndexOf(QLatin1Char('\n'), caret - 1)) + 1;
    const QString before = text.mid(lineStart, caret - lineStart);
    const QString key1 = GetTreeKey(before, 1);
    const QString key2 = GetTreeKey(before, 2);
    return {key1, caret - int(key2.size() + key1.size())};
}

// Resolves the key before the caret, marked "|" in the document, over the
// plain text.
QString resolveAtCaret(const QString &document, const QStringList &tree)
{
    const int caret = int(document.indexOf(QLatin1Char('|')));
    const QString text = QString(document).remove(caret, 1);
    const Key key = keyBefore(text, caret);
    const TreeTypeIndex index(tree);
    return ResolveTreeKey(text, key.start, key.key1, tree, readJavaImports(text), &index,
                          kDeclarationWindow);
}

// The same through a resolver reading a surface (CR LF line breaks).
QString resolveOnSurface(NameResolver &resolver, const Surface &surface, const QStringList &tree)
{
    const Key key = keyBefore(surface.mid(0, surface.selStart()), surface.selStart());
    return resolver.resolve(surface, key.start, key.key1, tree);
}

void setDocument(Surface &surface, const QString &document)
{
    const int caret = int(document.indexOf(QLatin1Char('|')));
    surface.setText(QString(document).remove(caret, 1));
    surface.setSelStart(int(Surface::normalizeLineBreaks(document.left(caret)).size()));
}

// n import lines of packages that do not exist, one a line.
QString nowhereImports(int n)
{
    QString text;
    for (int i = 0; i < n; ++i)
        text += QStringLiteral("import com.nowhere%1.*;\n").arg(i);
    return text;
}

} // namespace

class TstNameResolve : public QObject {
    Q_OBJECT
private slots:
    void resolves_data();
    void resolves();
    void importsAreRead();
    void resolverFollowsEditedImports();
    void headIsReadOnlyWhenItMayChange();
    void largeInputs();
};

void TstNameResolve::resolves_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("expected");
    const QString awtColor = QStringLiteral("java.awt.Color.");

    // Qualified names stay as they are.
    QTest::newRow("qualified package") << "x = java.awt.Co|" << "java.awt.";
    QTest::newRow("qualified class") << "java.awt.Color.br|" << awtColor;
    QTest::newRow("qualified javax") << "javax.swing.J|" << "javax.swing.";
    // java.lang, and a field of a known type.
    QTest::newRow("java.lang class") << "String.|" << "java.lang.String.";
    QTest::newRow("field of java.lang class") << "  System.out.pr|" << "java.io.PrintStream.";
    QTest::newRow("nested type of java.lang class") << "Thread.State.|" << "java.lang.Thread.State.";
    // Imports.
    QTest::newRow("single-type import") << "import java.awt.Color;\nclass A {\n Color.b|" << awtColor;
    QTest::newRow("on-demand import") << "import java.awt.*;\nclass A {\n Color.|" << awtColor;
    QTest::newRow("single-type beats on-demand")
        << "import java.awt.*;\nimport java.util.List;\n List.|" << "java.util.List.";
    QTest::newRow("first on-demand package that has it")
        << "import java.util.*;\nimport java.awt.*;\n List.|" << "java.util.List.";
    QTest::newRow("static import is no type import")
        << "import static java.awt.Color.*;\n Color.|" << "";
    QTest::newRow("import of a missing package hides nothing")
        << "import com.nowhere.*;\n String.|" << "java.lang.String.";
    QTest::newRow("imported type missing from the tree")
        << "import com.nowhere.Thing;\n Thing.|" << "";
    QTest::newRow("own package") << "package org.demo;\nclass A {\n Helper.|" << "org.demo.Helper.";
    QTest::newRow("import beats own package")
        << "package org.demo;\nimport java.awt.List;\n List.|" << "java.awt.List.";
    QTest::newRow("imports behind comments")
        << "/* header */\n// note\npackage org.demo; // x\nimport java.awt . Color;\n Color.|" << awtColor;
    // Declarations.
    QTest::newRow("local with generics")
        << "import java.util.*;\nvoid f() {\n List<String> list = new ArrayList<>();\n list.|"
        << "java.util.List.";
    QTest::newRow("field") << "import java.awt.Color;\nclass A {\n private Color c;\n void f() {\n  c.br|"
                           << awtColor;
    QTest::newRow("parameter") << "import java.awt.*;\nclass A { void f(int n, Color c) {\n c.|"
                               << awtColor;
    QTest::newRow("for-each") << "import java.util.*;\n for (List<String> item : items) {\n  item.|"
                              << "java.util.List.";
    QTest::newRow("generics nested deep")
        << "import java.util.*;\n Map<String, List<Map<String, List<Map<String, List<Map<String, "
           "List<Map<String, List<String>>>>>>>>>> m = null;\n m.|"
        << "java.util.Map.";
    QTest::newRow("qualified declared type") << "java.awt.Color c;\n c.|" << awtColor;
    QTest::newRow("nested declared type") << "import java.util.Map;\n Map.Entry e;\n e.|"
                                          << "java.util.Map.Entry.";
    QTest::newRow("nested type through an import") << "import java.util.Map;\n Map.Entry.|"
                                                   << "java.util.Map.Entry.";
    QTest::newRow("declared variable, then its field")
        << "import java.lang.*;\n System sys;\n sys.out.|" << "java.io.PrintStream.";
    QTest::newRow("nearest declaration wins (shadowing)")
        << "import java.awt.*;\nclass A {\n Color x;\n void f() {\n  String x = \"\";\n  x.|"
        << "java.lang.String.";
    QTest::newRow("a variable obscures a type of its name")
        << "import java.awt.*;\n Color String;\n String.|" << awtColor;
    QTest::newRow("return is no type") << "import java.awt.Color;\n Color c;\n return c;\n c.|"
                                       << awtColor;
    QTest::newRow("words in a comment are no type")
        << "import java.awt.Color;\n Color c;\n f(); // reset it\n c = null;\n c.|" << awtColor;
    QTest::newRow("comparison is no initialiser")
        << "import java.awt.Color;\n Color c;\n if (c == null) { }\n c.|" << awtColor;
    // Unresolvable.
    QTest::newRow("unknown name") << "foo.|" << "";
    QTest::newRow("primitive variable") << "int n = 1;\n n.|" << "";
    QTest::newRow("array variable") << "String[] a;\n a.|" << "";
    QTest::newRow("varargs parameter") << "void f(String... names) {\n names.|" << "";
    QTest::newRow("primitive field") << "System.count.|" << "";
    QTest::newRow("array field") << "String.parts.|" << "";
    QTest::newRow("field type not in the tree") << "System.in.|" << "";
    QTest::newRow("unknown member") << "String.nothing.|" << "";
    QTest::newRow("declared type unknown") << "Widget w;\n w.|" << "";
    QTest::newRow("after a call") << "String.valueOf(1).|" << "";
    QTest::newRow("method declaration is no variable") << "Color c() {\n}\n c.|" << "";
    // Many imports, most of them of packages that do not exist.
    QTest::newRow("10,000 imports, the type in the last")
        << nowhereImports(10000) + "import java.awt.Color;\n Color c;\n c.|" << awtColor;
    QTest::newRow("10,000 imports, on demand after them")
        << nowhereImports(10000) + "import java.awt.*;\n Color.|" << awtColor;
    QTest::newRow("10,000 imports, java.lang") << nowhereImports(10000) + " String.|"
                                               << "java.lang.String.";
    QTest::newRow("10,000 imports, unresolvable") << nowhereImports(10000) + " Color.|" << "";
    QTest::newRow("the first single-type import of a name wins")
        << "import java.awt.List;\nimport java.util.List;\n List.|" << "java.awt.List.";
    QTest::newRow("first of them missing from the tree")
        << "import com.nowhere.List;\nimport java.util.List;\n List.|" << "";
    QTest::newRow("package name that is a prefix of a real one")
        << "import java.aw.*;\n Color.|" << "";
    QTest::newRow("unfinished import at the end of the head")
        << "import java.awt.Color;\nimport java.util\n Color c;\n c.|" << awtColor;
    // A declaration on a line longer than the scan's window: a "//"
    // before the window still makes the rest of the line a comment.
    QTest::newRow("long line, declaration")
        << "import java.awt.Color;\n" + QString(200000, QLatin1Char('x')) + " Color c;\n c.|"
        << awtColor;
    QTest::newRow("long line, declaration inside a line comment")
        << "import java.awt.Color;\n// " + QString(200000, QLatin1Char('x')) + " Color c;\n c.|"
        << "";
}

void TstNameResolve::resolves()
{
    QFETCH(QString, document);
    QFETCH(QString, expected);
    const QStringList tree = smallTree();
    QVERIFY(IsTreeSorted(tree));
    QCOMPARE(resolveAtCaret(document, tree), expected);
    // The resolver over a surface answers the same, also a second time.
    Surface surface;
    setDocument(surface, document);
    NameResolver resolver;
    QCOMPARE(resolveOnSurface(resolver, surface, tree), expected);
    QCOMPARE(resolveOnSurface(resolver, surface, tree), expected);
}

void TstNameResolve::importsAreRead()
{
    const QString text = QStringLiteral(
        "package a.b;\r\nimport java.util.List;\r\nimport java.awt.*;\r\n"
        "import static java.lang.Math.PI;\r\n@Deprecated\r\nclass X { import y.Z; }");
    const JavaImports im = readJavaImports(text);
    QCOMPARE(im.package, QStringLiteral("a.b"));
    QCOMPARE(im.singleTypes, QStringList{QStringLiteral("java.util.List")});
    QCOMPARE(im.onDemand, QStringList{QStringLiteral("java.awt")});
    QCOMPARE(im.end, int(text.indexOf(QLatin1Char('@')))); // nothing after it is read
}

void TstNameResolve::resolverFollowsEditedImports()
{
    const QStringList tree = smallTree();
    NameResolver resolver;
    Surface surface;
    setDocument(surface, QStringLiteral("class A {\n Color c;\n c.|"));
    QCOMPARE(resolveOnSurface(resolver, surface, tree), QString());

    // An import added at the top is seen by the next resolution.
    const int caret = surface.selStart();
    const QString import = QStringLiteral("import java.awt.Color;\r\n");
    surface.replace(0, 0, import);
    surface.setSelStart(caret + int(import.size()));
    QCOMPARE(resolveOnSurface(resolver, surface, tree), QStringLiteral("java.awt.Color."));

    // One typed below the last import, where the head ended.
    setDocument(surface, QStringLiteral("import java.awt.Color;\nclass A {\n List l;\n l.|"));
    QCOMPARE(resolveOnSurface(resolver, surface, tree), QString());
    const QString onDemand = QStringLiteral("import java.util.*;\r\n");
    const int end = surface.selStart();
    surface.replace(24, 0, onDemand);
    surface.setSelStart(end + int(onDemand.size()));
    QCOMPARE(resolveOnSurface(resolver, surface, tree), QStringLiteral("java.util.List."));

    // Removed again: the name no longer resolves.
    surface.replace(24, int(onDemand.size()), QString());
    surface.setSelStart(end);
    QCOMPARE(resolveOnSurface(resolver, surface, tree), QString());

    // An import that becomes another by an edit inside its name.
    setDocument(surface, QStringLiteral("import java.awt.List;\n List.|"));
    QCOMPARE(resolveOnSurface(resolver, surface, tree), QStringLiteral("java.awt.List."));
    const int caretAfter = surface.selStart();
    surface.replace(12, 3, QStringLiteral("util")); // java.awt -> java.util
    surface.setSelStart(caretAfter + 1);
    QCOMPARE(resolveOnSurface(resolver, surface, tree), QStringLiteral("java.util.List."));

    // The missing semicolon of an import typed.
    setDocument(surface, QStringLiteral("import java.awt.Color\nclass A {\n Color c;\n c.|"));
    QCOMPARE(resolveOnSurface(resolver, surface, tree), QString());
    surface.replace(21, 0, QStringLiteral(";"));
    surface.setSelStart(surface.length());
    QCOMPARE(resolveOnSurface(resolver, surface, tree), QStringLiteral("java.awt.Color."));

    // Another surface is another document.
    Surface other;
    setDocument(other, QStringLiteral(" Color.|"));
    QCOMPARE(resolveOnSurface(resolver, other, tree), QString());
}

void TstNameResolve::headIsReadOnlyWhenItMayChange()
{
    const QStringList tree = smallTree();
    NameResolver resolver;
    Surface surface;
    setDocument(surface, nowhereImports(10000)
                             + QStringLiteral("import java.awt.Color;\nclass A {\n Color c;\n c.|"));
    QCOMPARE(resolveOnSurface(resolver, surface, tree), QStringLiteral("java.awt.Color."));
    QCOMPARE(resolver.headReads(), 1);
    // Typing below the head: the head is kept.
    for (int i = 0; i < 5; ++i) {
        surface.replace(surface.selStart() - 3, 0, QStringLiteral("x"));
        surface.setSelStart(surface.length());
        QCOMPARE(resolveOnSurface(resolver, surface, tree), QStringLiteral("java.awt.Color."));
    }
    QCOMPARE(resolver.headReads(), 1);
    // A blank typed among the imports: read again, same answer.
    surface.replace(7, 0, QStringLiteral(" "));
    surface.setSelStart(surface.length());
    QCOMPARE(resolveOnSurface(resolver, surface, tree), QStringLiteral("java.awt.Color."));
    QCOMPARE(resolver.headReads(), 2);
    // A new text is a new head.
    setDocument(surface, QStringLiteral(" Color c;\n c.|"));
    QCOMPARE(resolveOnSurface(resolver, surface, tree), QString());
    QCOMPARE(resolver.headReads(), 3);
}

void TstNameResolve::largeInputs()
{
    const QStringList tree = smallTree();
    // 10,000 import lines, many of packages that do not exist.
    QString text;
    for (int i = 0; i < 10000; ++i)
        text += QStringLiteral("import com.nowhere%1.*;\r\n").arg(i);
    text += QStringLiteral("import java.awt.Color;\r\nclass A {\r\n Color c;\r\n");
    // A 10 MB body in which c is used but not declared again.
    const QString filler = QStringLiteral("  c = c.brighter(); int i = 0; // filler line\r\n");
    const int repeat = 10 * 1024 * 1024 / int(filler.size());
    text.reserve(text.size() + filler.size() * repeat + 16);
    for (int i = 0; i < repeat; ++i)
        text += filler;
    text += QStringLiteral(" c.");
    const JavaImports im = readJavaImports(text);
    QCOMPARE(im.onDemand.size(), 10000);
    // The declaration lies 10 MB back: beyond the bounded scan.
    QCOMPARE(ResolveTreeKey(text, int(text.size()) - 2, QStringLiteral("c."), tree, im, nullptr,
                            kDeclarationWindow),
             QString());
    // Within reach it is found, past the many uses of c.
    QCOMPARE(ResolveTreeKey(text, int(text.size()) - 2, QStringLiteral("c."), tree, im, nullptr,
                            int(text.size())),
             QStringLiteral("java.awt.Color."));
    // The resolver over the same text in a surface: as bounded, as right.
    Surface surface;
    surface.setText(text);
    NameResolver resolver;
    QCOMPARE(resolver.resolve(surface, surface.length() - 2, QStringLiteral("c."), tree), QString());
    surface.replace(surface.length() - 3, 0, QStringLiteral("Color c;"));
    QCOMPARE(resolver.resolve(surface, surface.length() - 2, QStringLiteral("c."), tree),
             QStringLiteral("java.awt.Color."));
    // An unbalanced generic argument list and an unclosed comment in the head.
    QCOMPARE(findDeclaredType(u"a>>>>>>>>>>>>> x;", 16, u"x", 1000), QString());
    QCOMPARE(readJavaImports(u"import a.B;\n/* never closed import c.D;").singleTypes,
             QStringList{QStringLiteral("a.B")});
}

QTEST_MAIN(TstNameResolve)
#include "tst_nameresolve.moc"
