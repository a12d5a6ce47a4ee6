// Names before the caret: imports, java.lang, the document's own package,
// declared variables (`var` ones by their initialisers), chains of calls
// and fields, and `this.` resolve to the qualified key the tree search
// takes; what cannot be resolved gives "".
#include "completion/nameresolve.h"
#include "completion/objecttree.h"
#include "completion/treesearch.h"
#include "formatting/typingassist.h"
#include "settings/settingsstore.h"
#include "shell/ui/completionbox.h"
#include "shell/ui/frmedit.h"
#include "support/datarow.h"
#include "support/javatext.h"
#include "support/windowtest.h"
#include "surface/surface.h"
#include "surface/ui/surfaceview.h"

#include <QFile>
#include <QTest>
#include <algorithm>

using namespace qln;

namespace {

// A small tree in the loader's order, entry 0 empty.
TreeEntries smallTree()
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
    return TreeEntries(entries);
}

// The tree shipped with the program, as the loader keeps it.
const TreeEntries &shippedTree()
{
    static const TreeEntries tree = [] {
        QFile f(QCoreApplication::applicationDirPath() + QStringLiteral("/JDK1.3.1TreeSorted.txt"));
        if (!f.open(QIODevice::ReadOnly))
            return TreeEntries();
        QStringList entries = readTreeFields(QString::fromUtf8(f.readAll()));
        entries.prepend(QString());
        return TreeEntries(entries);
    }();
    return tree;
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
QString resolveAtCaret(const QString &document, const TreeEntries &tree)
{
    const int caret = int(document.indexOf(QLatin1Char('|')));
    const QString text = QString(document).remove(caret, 1);
    const Key key = keyBefore(text, caret);
    const TreeTypeIndex index(tree);
    return ResolveTreeKey(text, key.start, key.key1, tree, readJavaImports(text), &index,
                          kDeclarationWindow);
}

// The same through a resolver reading a surface (CR LF line breaks).
QString resolveOnSurface(NameResolver &resolver, const Surface &surface, const TreeEntries &tree)
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
    return test::numbered(QStringLiteral("import com.nowhere%1.*;\n"), n);
}

} // namespace

// The document around the rows below: a class in package demo that
// extends a JDK class, with fields, methods and a nested class of its own.
const QString kMain =
    QStringLiteral("package demo;\n"
                   "import java.util.*;\n"
                   "import javax.swing.JFrame;\n"
                   "/** class Fake extends Thread { } */\n"
                   "public class Main extends JFrame {\n"
                   "    private List<String> items = new ArrayList<>();\n"
                   "    protected final int count = 0, limit;\n"
                   "    static String label = \"class Other extends Thread {\";\n"
                   "    @Override public String toString() { return label; }\n"
                   "    String helper(int a, Map<String, List<Integer>> b) { return \"\"; }\n"
                   "    Main() { }\n"
                   "    static class Node { int value; Node next; }\n"
                   "    void run() {\n"
                   "        @@\n"
                   "    }\n"
                   "}\n");

QString inMain(const QString &code)
{
    return QString(kMain).replace(QStringLiteral("@@"), code);
}

class TstNameResolve : public QObject, test::WindowTest {
    Q_OBJECT
private slots:
    void init() { initWindowTest(); }
    void cleanup() { cleanupWindowTest(); }
    void resolves_data()
    {
        columns<QString, QString>("document", "expected");
        const QString awtColor = QStringLiteral("java.awt.Color.");

        // Qualified names stay as they are.
        row("qualified package", "x = java.awt.Co|", "java.awt.");
        row("qualified class", "java.awt.Color.br|", awtColor);
        row("qualified javax", "javax.swing.J|", "javax.swing.");
        // java.lang, and a field of a known type.
        row("java.lang class", "String.|", "java.lang.String.");
        row("field of java.lang class", "  System.out.pr|", "java.io.PrintStream.");
        row("nested type of java.lang class", "Thread.State.|", "java.lang.Thread.State.");
        // Imports.
        row("single-type import", "import java.awt.Color;\nclass A {\n Color.b|", awtColor);
        row("on-demand import", "import java.awt.*;\nclass A {\n Color.|", awtColor);
        row("single-type beats on-demand", "import java.awt.*;\nimport java.util.List;\n List.|",
            "java.util.List.");
        row("first on-demand package that has it",
            "import java.util.*;\nimport java.awt.*;\n List.|", "java.util.List.");
        row("static import is no type import", "import static java.awt.Color.*;\n Color.|", "");
        row("import of a missing package hides nothing", "import com.nowhere.*;\n String.|",
            "java.lang.String.");
        row("imported type missing from the tree", "import com.nowhere.Thing;\n Thing.|", "");
        row("own package", "package org.demo;\nclass A {\n Helper.|", "org.demo.Helper.");
        row("import beats own package", "package org.demo;\nimport java.awt.List;\n List.|",
            "java.awt.List.");
        row("imports behind comments",
            "/* header */\n// note\npackage org.demo; // x\nimport java.awt . Color;\n Color.|",
            awtColor);
        // Declarations.
        row("local with generics",
            "import java.util.*;\nvoid f() {\n List<String> list = new ArrayList<>();\n list.|",
            "java.util.List.");
        row("field", "import java.awt.Color;\nclass A {\n private Color c;\n void f() {\n  c.br|",
            awtColor);
        row("parameter", "import java.awt.*;\nclass A { void f(int n, Color c) {\n c.|", awtColor);
        row("for-each", "import java.util.*;\n for (List<String> item : items) {\n  item.|",
            "java.util.List.");
        row("generics nested deep",
            "import java.util.*;\n Map<String, List<Map<String, List<Map<String, List<Map<String, "
            "List<Map<String, List<String>>>>>>>>>> m = null;\n m.|",
            "java.util.Map.");
        row("qualified declared type", "java.awt.Color c;\n c.|", awtColor);
        row("nested declared type", "import java.util.Map;\n Map.Entry e;\n e.|",
            "java.util.Map.Entry.");
        row("nested type through an import", "import java.util.Map;\n Map.Entry.|",
            "java.util.Map.Entry.");
        row("declared variable, then its field", "import java.lang.*;\n System sys;\n sys.out.|",
            "java.io.PrintStream.");
        row("nearest declaration wins (shadowing)",
            "import java.awt.*;\nclass A {\n Color x;\n void f() {\n  String x = \"\";\n  x.|",
            "java.lang.String.");
        row("a variable obscures a type of its name",
            "import java.awt.*;\n Color String;\n String.|", awtColor);
        row("return is no type", "import java.awt.Color;\n Color c;\n return c;\n c.|", awtColor);
        row("words in a comment are no type",
            "import java.awt.Color;\n Color c;\n f(); // reset it\n c = null;\n c.|", awtColor);
        row("comparison is no initialiser",
            "import java.awt.Color;\n Color c;\n if (c == null) { }\n c.|", awtColor);
        // Unresolvable.
        row("unknown name", "foo.|", "");
        row("primitive variable", "int n = 1;\n n.|", "");
        row("array variable", "String[] a;\n a.|", "");
        row("varargs parameter", "void f(String... names) {\n names.|", "");
        row("primitive field", "System.count.|", "");
        row("array field", "String.parts.|", "");
        row("field type not in the tree", "System.in.|", "");
        row("unknown member", "String.nothing.|", "");
        row("declared type unknown", "Widget w;\n w.|", "");
        row("after a call", "String.valueOf(1).|", "");
        row("method declaration is no variable", "Color c() {\n}\n c.|", "");
        // Many imports, most of them of packages that do not exist.
        row("10,000 imports, the type in the last",
            nowhereImports(10000) + "import java.awt.Color;\n Color c;\n c.|", awtColor);
        row("10,000 imports, on demand after them",
            nowhereImports(10000) + "import java.awt.*;\n Color.|", awtColor);
        row("10,000 imports, java.lang", nowhereImports(10000) + " String.|", "java.lang.String.");
        row("10,000 imports, unresolvable", nowhereImports(10000) + " Color.|", "");
        row("the first single-type import of a name wins",
            "import java.awt.List;\nimport java.util.List;\n List.|", "java.awt.List.");
        row("first of them missing from the tree",
            "import com.nowhere.List;\nimport java.util.List;\n List.|", "");
        row("package name that is a prefix of a real one", "import java.aw.*;\n Color.|", "");
        row("unfinished import at the end of the head",
            "import java.awt.Color;\nimport java.util\n Color c;\n c.|", awtColor);
        // A declaration on a line longer than the scan's window: a "//"
        // before the window still makes the rest of the line a comment.
        row("long line, declaration",
            "import java.awt.Color;\n" + QString(200000, QLatin1Char('x')) + " Color c;\n c.|",
            awtColor);
        row("long line, declaration inside a line comment",
            "import java.awt.Color;\n// " + QString(200000, QLatin1Char('x')) + " Color c;\n c.|",
            "");
    }
    void resolves()
    {
        QFETCH(QString, document);
        QFETCH(QString, expected);
        const TreeEntries tree = smallTree();
        QVERIFY(IsTreeSorted(tree));
        QCOMPARE(resolveAtCaret(document, tree), expected);
        // The resolver over a surface answers the same, also a second time.
        Surface surface;
        setDocument(surface, document);
        NameResolver resolver;
        QCOMPARE(resolveOnSurface(resolver, surface, tree), expected);
        QCOMPARE(resolveOnSurface(resolver, surface, tree), expected);
    }
    void importsAreRead()
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
    void resolverFollowsEditedImports()
    {
        const TreeEntries tree = smallTree();
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
    void headIsReadOnlyWhenItMayChange()
    {
        const TreeEntries tree = smallTree();
        NameResolver resolver;
        Surface surface;
        setDocument(surface,
                    nowhereImports(10000)
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
    void largeInputs()
    {
        const TreeEntries tree = smallTree();
        // 10,000 import lines, many of packages that do not exist.
        QString text = test::numbered(QStringLiteral("import com.nowhere%1.*;\r\n"), 10000);
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
        QCOMPARE(resolver.resolve(surface, surface.length() - 2, QStringLiteral("c."), tree),
                 QString());
        surface.replace(surface.length() - 3, 0, QStringLiteral("Color c;"));
        QCOMPARE(resolver.resolve(surface, surface.length() - 2, QStringLiteral("c."), tree),
                 QStringLiteral("java.awt.Color."));
        // An unbalanced generic argument list and an unclosed comment in the head.
        QCOMPARE(findDeclaredType(u"a>>>>>>>>>>>>> x;", 16, u"x", 1000), QString());
        QCOMPARE(readJavaImports(u"import a.B;\n/* never closed import c.D;").singleTypes,
                 QStringList{QStringLiteral("a.B")});
    }
    void followsTheCode_data()
    {
        columns<QString, QString>("document", "expected");
        const QString string = QStringLiteral("java.lang.String.");
        const QString builder = QStringLiteral("java.lang.StringBuilder.");
        const QString head =
            QStringLiteral("import java.util.*;\nclass A {\n void f(Object o) {\n");

        // var: the initialiser gives the type.
        row("var new", head + "  var list = new ArrayList<String>();\n  list.|",
            "java.util.ArrayList.");
        row("var new qualified", head + "  var c = new java.awt.Color(1, 2, 3);\n  c.br|",
            "java.awt.Color.");
        row("var new anonymous", head + "  var r = new Thread() { };\n  r.|", "java.lang.Thread.");
        row("var string literal", head + "  var s = \"a;b\";\n  s.|", string);
        row("var text block", head + "  var s = \"\"\"\n   x;\"\"\";\n  s.|", string);
        row("var concatenation", head + "  int n = 1;\n  var s = n + \"\";\n  s.|", string);
        row("var call chain", head + "  String s = null;\n  var t = s.trim();\n  t.|", string);
        row("var static call", head + "  var m = Map.of();\n  m.|", "java.util.Map.");
        row("var of var", head + "  var a = new StringBuilder();\n  var b = a;\n  b.|", builder);
        row("var cast", head + "  var s = (String) o;\n  s.|", string);
        row("var among declarators", head + "  var a = new StringBuilder(), ignored = 1;\n  a.|",
            builder);
        row("var for-each over a list",
            head + "  List<String> names = null;\n  for (var n : names) {\n   n.|", string);
        row("var for-each over an array",
            head + "  StringBuilder[] all = {};\n  for (var b : all)\n   b.|", builder);
        row("var element of a map",
            head + "  Map<String, List<Integer>> m = null;\n  var v = m.get(\"k\");\n  v.|",
            "java.util.List.");
        row("var number", head + "  var n = 1;\n  n.|", "");
        row("var comparison", head + "  var b = o == null;\n  b.|", "");
        row("var of an unknown class", head + "  var w = new Widget();\n  w.|", "");
        row("var without initialiser", head + "  var w;\n  w.|", "");
        row("var unfinished initialiser", head + "  var w = new StringBuilder(\n  w.|", "");

        // Chains of calls, fields and indexes.
        row("call on a variable", head + "  String s = \" \";\n  s.trim().le|", string);
        row("calls in a row", head + "  String s = null; s.trim().toUpperCase().|", string);
        row("erased element of a list", head + "  List<String> list = null;\n  list.get(0).|",
            string);
        row("value of a map", head + "  Map<String, Integer> m = null; m.get(\"a\").|",
            "java.lang.Integer.");
        row("key of a sorted map", head + "  TreeMap<String, Integer> m = null; m.firstKey().|",
            string);
        row("wildcard argument", head + "  List<? extends StringBuilder> l = null; l.get(0).|",
            builder);
        row("raw list element", head + "  List l = null; l.get(0).|", "java.lang.Object.");
        row("return type from another package",
            head + "  List<String> list = null; list.stream().|", "java.util.stream.Stream.");
        row("field then call", head + "  System.out.checkError().|", "");
        row("static call then call", head + "  Thread.currentThread().getName().|", string);
        row("overload chosen by its arguments", head + "  String s = null; s.split(\",\", 2)[0].|",
            string);
        row("string literal", head + "  \"abc\".|", string);
        row("new object", head + "  new StringBuilder().append(1).|", builder);
        row("new generic object", head + "  new ArrayList<String>(4).get(0).|", string);
        row("cast in parentheses", head + "  ((String) o).|", string);
        row("parenthesised", head + "  String s = null; (s).|", string);
        row("array element", head + "  String[] args = null;\n  args[0].|", string);
        row("class literal", head + "  String.class.|", "java.lang.Class.");
        row("chain over lines", head + "  StringBuilder sb = null;\n  sb\n   .append(1)\n   .|",
            builder);
        row("inside an argument list", head + "  String s = null; f(1, s.trim().|", string);
        row("call on a primitive", head + "  String s = null; s.length().|", "");
        row("void call", head + "  System.out.println().|", "");
        row("unknown method", head + "  String s = null; s.nothing().|", "");
        row("unknown variable", head + "  nothing.get(0).|", "");
        row("index of no array", head + "  String s = null; s[0].|", "");
        row("operator before the dot", head + "  x = 1 + .|", "");

        // this, super and the methods of the document's own class.
        row("this", inMain("this.|"), "demo.Main.");
        row("this, field", inMain("this.items.|"), "java.util.List.");
        row("this, field, erased element", inMain("this.items.get(0).|"), string);
        row("this, own method", inMain("this.helper(1, null).|"), string);
        row("this, inherited method", inMain("this.getContentPane().|"), "java.awt.Container.");
        row("own method without object", inMain("helper(1, null).to|"), string);
        row("inherited method without object", inMain("getRootPane().|"), "javax.swing.JRootPane.");
        row("super", inMain("super.|"), "javax.swing.JFrame.");
        row("own class by name", inMain("Main other = null; other.|"), "demo.Main.");
        row("var of own class", inMain("var other = new Main(); other.|"), "demo.Main.");
        row("this outside any class", "int x;\n this.|", "");
        row("this in a nested class",
            "package p;\nclass Outer {\n int a;\n class Inner {\n  void f() { this.|",
            "p.Outer.Inner.");
        row("this after a nested class", "class Outer {\n class Inner { }\n void f() { this.|",
            "Outer.");
    }
    void followsTheCode()
    {
        QFETCH(QString, document);
        QFETCH(QString, expected);
        const TreeEntries &tree = shippedTree();
        QVERIFY(tree.size() > 100000);
        QCOMPARE(resolveAtCaret(document, tree), expected);
        Surface surface;
        setDocument(surface, document);
        NameResolver resolver;
        QCOMPARE(resolveOnSurface(resolver, surface, tree), expected);
    }
    void thisOffersOwnAndInheritedMembers_data()
    {
        columns<QString, QStringList, QStringList>("document", "offered", "notOffered");
        row("class extending a JDK class", inMain("this.|"),
            QStringList{"List items", "int count", "int limit", "String label", "String toString()",
                        "String helper(int, Map)", "void run()", "Container getContentPane()",
                        "void setTitle(String)", "int hashCode()"},
            QStringList{"Main()", "JFrame()", "Fake", "Other", "Node", "int value",
                        "String toString()#2"});
        row("class extending nothing",
            "class Plain {\n int[] data;\n void f(String... rest) { this.|",
            QStringList{"int[] data", "void f(String[])", "int hashCode()", "Class getClass()"},
            QStringList{"Object()", "void setTitle(String)"});
        row("enum",
            "enum Colour {\n RED, @Deprecated GREEN(2), BLUE { int x; };\n int v;\n"
            " Colour() { }\n Colour(int v) { this.|",
            QStringList{"Colour RED", "Colour GREEN", "Colour BLUE", "int v", "int ordinal()"},
            QStringList{"Deprecated", "int x"});
        row("record", "record Point(int x, java.util.List<String> names) {\n double len() { this.|",
            QStringList{"int x", "int x()", "List names", "List names()", "double len()"},
            QStringList{"Point(int, List)"});
    }
    void thisOffersOwnAndInheritedMembers()
    {
        QFETCH(QString, document);
        QFETCH(QStringList, offered);
        QFETCH(QStringList, notOffered);
        const TreeEntries &tree = shippedTree();
        Surface surface;
        setDocument(surface, document);
        NameResolver resolver;
        const QString key = resolveOnSurface(resolver, surface, tree);
        QVERIFY(!key.isEmpty());
        // The box is searched in the resolver's tree, as the typing assistance does.
        TreeBoxModel box;
        QStringList arrmatch;
        SearchTree(box, resolver.searchTree(tree), key, arrmatch, 12000);
        QStringList texts;
        for (const TreeBoxItem &item : box.items)
            texts.append(item.text);
        for (const QString &text : offered)
            QVERIFY2(texts.contains(text), qPrintable(text + " missing from " + texts.join('|')));
        for (const QString &text : notOffered) {
            // "text#2": offered at most once.
            const QStringList parts = text.split(QLatin1Char('#'));
            QVERIFY2(texts.count(parts[0]) < (parts.size() > 1 ? 2 : 1), qPrintable(text));
        }
        // The plain function gives the same members.
        const int caret = int(document.indexOf(QLatin1Char('|')));
        const QString text = QString(document).remove(caret, 1);
        const Key k = keyBefore(text, caret);
        QStringList own;
        QCOMPARE(ResolveTreeKey(text, k.start, k.key1, tree, readJavaImports(text), nullptr,
                                kDeclarationWindow, &own),
                 key);
        QVERIFY(TreeEntries(own) == resolver.searchTree(tree));
        // Another key afterwards searches the object tree again.
        QVERIFY(resolver.resolve(surface, 0, QStringLiteral("java.lang.String."), tree)
                == QStringLiteral("java.lang.String."));
        QCOMPARE(&resolver.searchTree(tree), &tree);
    }
    void badInputStaysBounded()
    {
        const TreeEntries &tree = shippedTree();
        // Over the plain text and over a surface, with the same answer.
        auto resolveBoth = [&](const QString &document, QString &got) {
            got = resolveAtCaret(document, tree);
            Surface surface;
            setDocument(surface, document);
            NameResolver resolver;
            const QString onSurface = resolveOnSurface(resolver, surface, tree);
            QCOMPARE(onSurface, got);
        };
        const QString head = QStringLiteral("class A {\n void f() {\n  String s = null;\n  ");
        QString got;
        // A chain of 300 calls resolves; one of 5,000 reaches beyond what is read
        // back and resolves to nothing.
        resolveBoth(head + QStringLiteral(".trim()").repeated(300).prepend("s") + ".|", got);
        QCOMPARE(got, QStringLiteral("java.lang.String."));
        resolveBoth(head + QStringLiteral(".trim()").repeated(5000).prepend("s") + ".|", got);
        QCOMPARE(got, QString());
        // 10,000 nested parentheses, 1,000 (within reach, deeper than followed).
        for (const int depth : {10000, 1000}) {
            resolveBoth(head + QString(depth, QLatin1Char('(')) + "s"
                            + QString(depth, QLatin1Char(')')) + ".|",
                        got);
            QCOMPARE(got, QString());
        }
        resolveBoth(head + QString(10000, QLatin1Char('(')) + "s.|", got);
        QCOMPARE(got, QStringLiteral("java.lang.String."));
        // var following var: a short line resolves, a long one stops.
        QString vars = head + QStringLiteral("var v0 = s;\n");
        for (int i = 1; i < 5; ++i)
            vars += QStringLiteral("var v%1 = v%2.trim();\n").arg(i).arg(i - 1);
        resolveBoth(vars + QStringLiteral("v4.|"), got);
        QCOMPARE(got, QStringLiteral("java.lang.String."));
        for (int i = 5; i < 200; ++i)
            vars += QStringLiteral("var v%1 = v%2.trim();\n").arg(i).arg(i - 1);
        resolveBoth(vars + QStringLiteral("v199.|"), got);
        QCOMPARE(got, QString());
        // A var that names itself, and two that name each other.
        resolveBoth(head + QStringLiteral("var x = x.trim();\n x.|"), got);
        QCOMPARE(got, QString());
        resolveBoth(head + QStringLiteral("var a = b; var b = a;\n b.|"), got);
        QCOMPARE(got, QString());
        // Unclosed literals, brackets and comments before the key.
        for (const char *broken : {"String t = \"abc;\n t.trim().|", "\"\"\"\n s.trim().|",
                                   "f(]).|", "s.trim(.|", "/* s.trim().|", "'\\''.|", "new .|",
                                   "new X<(.|", "(String).|", "this..|", "super().|"}) {
            resolveBoth(head + QLatin1String(broken), got);
            QVERIFY2(got.isEmpty() || got == QLatin1String("java.lang.String."), broken);
        }
        // Only closing braces, and unknown types all the way.
        resolveBoth(QString(5000, QLatin1Char('}')) + "this.|", got);
        QCOMPARE(got, QString());
        resolveBoth(head + "Widget w = null; w.parts().get(0).|", got);
        QCOMPARE(got, QString());

        // `this.` at the end of 1 MB of class body: its members all found.
        QString big = QStringLiteral("class Big extends Thread {\n");
        for (int i = 0; big.size() < 1024 * 1024; ++i)
            big +=
                QStringLiteral(
                    "  int f%1; String m%1(int a) { if (a > 0) { return \"}\"; } return null; }\n")
                    .arg(i);
        const int fields = int(big.count(QStringLiteral("  int f")));
        big += QStringLiteral("  void last() { this.|");
        Surface surface;
        setDocument(surface, big);
        NameResolver resolver;
        QCOMPARE(resolveOnSurface(resolver, surface, tree), QStringLiteral("Big."));
        const QStringList own = resolver.searchTree(tree).mid(1);
        QVERIFY(own.contains(QStringLiteral("Big.int f0.-p-v")));
        QVERIFY(own.contains(QStringLiteral("Big.String m%1(int).-p-m").arg(fields - 1)));
        QVERIFY(own.contains(QStringLiteral("Big.void start().-p-m"))); // from Thread
        const auto count = [&](const QString &prefix) {
            return std::count_if(own.begin(), own.end(),
                                 [&](const QString &e) { return e.startsWith(prefix); });
        };
        QCOMPARE(count(QStringLiteral("Big.int f")), fields);
        QCOMPARE(count(QStringLiteral("Big.String m")), fields);
    }
    void keptOutlineFollowsEdits()
    {
        const TreeEntries &tree = shippedTree();
        // Long enough for the resolver to keep states of its scan on the way.
        QString filler = test::numbered(QStringLiteral("    int f%1() { return %1 / 2; }\n"), 1000);
        QString document = inMain(QStringLiteral("int y = 2 * 3; this.|"));
        document.insert(document.indexOf(QStringLiteral("    void run()")), filler);
        Surface surface;
        setDocument(surface, document);
        NameResolver resolver;
        // The resolver after each edit answers as the plain function over the
        // whole text does, members included.
        auto check = [&](const char *step) {
            const QString text = surface.text();
            const Key k = keyBefore(text, surface.selStart());
            QStringList plain;
            const QString expected =
                ResolveTreeKey(text, k.start, k.key1, tree, readJavaImports(text), nullptr,
                               kDeclarationWindow, &plain);
            QVERIFY2(resolver.resolve(surface, k.start, k.key1, tree) == expected, step);
            QVERIFY2(resolver.searchTree(tree) == (plain.isEmpty() ? tree : TreeEntries(plain)),
                     step);
        };
        auto edit = [&](int pos, int removed, const QString &text) {
            int caret = surface.selStart();
            surface.replace(pos, removed, text);
            if (pos < caret)
                caret += int(text.size()) - removed;
            surface.setSelStart(caret);
        };
        auto before = [&](const QString &what) {
            const int at = int(surface.text().indexOf(what));
            [&] { QVERIFY2(at >= 0, qPrintable(what)); }();
            return at;
        };
        check("first");
        QCOMPARE(resolver.outlineReads(), 1);
        QCOMPARE(resolver.memberReads(), 1);
        QVERIFY(
            resolver.searchTree(tree).mid(1).contains(QStringLiteral("demo.Main.int f999().-p-m")));

        // Again on the same text, and keys that need no class: nothing read.
        check("again");
        QCOMPARE(resolver.resolve(surface, 0, QStringLiteral("System.out."), tree),
                 QStringLiteral("java.io.PrintStream."));
        QCOMPARE(resolver.outlineReads(), 1);

        // Typing and taking back inside a method: the members are kept.
        for (const QChar c : QStringLiteral("int local = f1(); ")) {
            edit(surface.selStart() - 5, 0, QString(c));
            check("typing in the method");
        }
        edit(surface.selStart() - 7, 2, QString());
        check("taking back in the method");
        edit(before(QStringLiteral("return 7 /")), 6, QStringLiteral("return"));
        check("typing in another method");
        QCOMPARE(resolver.memberReads(), 1);
        QVERIFY(resolver.outlineReads() > 10);

        // A field typed at the class's level is read and offered.
        edit(before(QStringLiteral("    private")), 0, QStringLiteral("int added; "));
        check("field added");
        QCOMPARE(resolver.memberReads(), 2);
        QVERIFY(
            resolver.searchTree(tree).mid(1).contains(QStringLiteral("demo.Main.int added.-p-v")));

        // Characters that can open or close a block or a comment, in a method
        // or next to where a blank goes: read again, still right.
        const int reads = resolver.memberReads();
        edit(before(QStringLiteral("return 5 /")), 0, QStringLiteral("} int g() { "));
        check("brace typed in a method");
        QVERIFY(
            resolver.searchTree(tree).mid(1).contains(QStringLiteral("demo.Main.int g().-p-m")));
        edit(before(QStringLiteral("* 3;")) + 1, 1, QString()); // "2 *3"
        check("blank after a star taken");
        const int nine = before(QStringLiteral("return 9 / 2;")) + 9;
        edit(nine, 3, QStringLiteral("/2"));    // "9 /2": no comment yet
        edit(nine + 1, 1, QStringLiteral("*")); // "9 /*"
        check("comment opened in a method");
        QVERIFY(
            !resolver.searchTree(tree).mid(1).contains(QStringLiteral("demo.Main.int f10().-p-m")));
        edit(nine, 2, QStringLiteral("/ 2"));
        check("comment closed again");
        QVERIFY(
            resolver.searchTree(tree).mid(1).contains(QStringLiteral("demo.Main.int f10().-p-m")));
        QVERIFY(resolver.memberReads() > reads);

        // A class added after this one's end leaves its members as read.
        const int kept = resolver.memberReads();
        edit(surface.length(), 0, QStringLiteral("class After { int a; }\r\n"));
        check("class after the end");
        QCOMPARE(resolver.memberReads(), kept);
    }
    void outlinesOfDeclarations_data()
    {
        // The class around "|": "qualified kind super", then its members' texts.
        columns<QString, QString, QStringList>("document", "header", "members");
        row("bounds are no superclass",
            "class Box<T extends Comparable<T>> extends java.util.AbstractList<T> implements "
            "Runnable {\n T item; public <R> R map(java.util.function.Function<T, R> f) { } |",
            "Box class java.util.AbstractList", QStringList{"T item", "R map(Function)"});
        row("interface extends interfaces",
            "interface Shape extends Comparable<Shape>, Cloneable {\n double area();\n"
            " default String name() { return \"\"; } |",
            "Shape interface ", QStringList{"double area()", "String name()"});
        row("class literals, record and enum as names",
            "class A {\n Object k = String.class; int record = 1; Object enumValue;\n"
            " void f() { record = 2; } |",
            "A class ", QStringList{"Object k", "int record", "Object enumValue", "void f()"});
        row("annotations, arrays and declarators",
            "class A {\n @SuppressWarnings(\"x\") private static final int[] a = {1, 2}, b[];\n"
            " @Deprecated(since = \"1\") protected java.util.Map<String, int[]> m;\n"
            " void g(final @SuppressWarnings(\"y\") String... s) throws Exception { } |",
            "A class ", QStringList{"int[] a", "int[][] b", "Map m", "void g(String[])"});
        row("initialisers with braces, lambdas and anonymous classes",
            "class A {\n Runnable r = () -> { int inner; };\n Object o = new Object() { int x; "
            "};\n static { int s; }\n { int i; }\n int after; |",
            "A class ", QStringList{"Runnable r", "Object o", "int after"});
        row("braces and class words in strings and comments",
            "class A {\n String s = \"} class B {\"; char c = '}'; // }\n /* } */ int n; "
            "String t = \"\"\"\n }\n \"\"\"; |",
            "A class ", QStringList{"String s", "char c", "int n", "String t"});
        row("local class in a method",
            "package p;\nclass A {\n void f() {\n  class Local extends Thread { int l; |",
            "p.A.Local class Thread", QStringList{"int l"});
        row("nothing open", "class A { }\n|", " ", QStringList{});
    }
    void outlinesOfDeclarations()
    {
        QFETCH(QString, document);
        QFETCH(QString, header);
        QFETCH(QStringList, members);
        const int caret = int(document.indexOf(QLatin1Char('|')));
        const QString text = QString(document).remove(caret, 1);
        const ClassOutline o = outlineClassAt(text, caret, readJavaImports(text).package);
        QCOMPARE(QStringList({o.qualified, o.kind, o.superName}).join(' ').trimmed(),
                 header.trimmed());
        QStringList texts;
        for (const OwnMember &m : o.members)
            texts.append(m.text);
        QCOMPARE(texts, members);
    }
    void windowCompletesChainsAndThis()
    {
        setPref("tree", QCoreApplication::applicationDirPath() + "/JDK1.3.1TreeSorted.txt");
        setPref("dropdowncbo", QStringLiteral("0"));
        const std::unique_ptr<frmedit> w = open();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->rtfedit()->setFocus();
        QVERIFY(w->objectTree().treecount > 100000);
        Surface *s = w->surface();
        CompletionBox *box = w->cbotree();
        auto items = [&] { return itemsOf(box); };
        s->setText(inMain(QStringLiteral("\n")));
        s->setSelStart(int(s->text().indexOf(QStringLiteral("\r\n\r\n    }"))) + 2);
        const QString typed = QStringLiteral("String s = \"\"; s.trim().le");
        QTest::keyClicks(w->rtfedit(), typed);
        QVERIFY(box->isVisible());
        QCOMPARE(w->typing().key1(), QStringLiteral("java.lang.String."));
        QVERIFY(items().contains(QStringLiteral("int length()")));
        QVERIFY(box->currentText().startsWith(QStringLiteral("int le")));
        QTest::keyClick(w->rtfedit(), Qt::Key_Escape);

        QTest::keyClick(w->rtfedit(), Qt::Key_Return);
        QTest::keyClicks(w->rtfedit(), QStringLiteral("var b = new StringBuilder(); b.appe"));
        QVERIFY(box->isVisible());
        QCOMPARE(w->typing().key1(), QStringLiteral("java.lang.StringBuilder."));
        QTest::keyClick(w->rtfedit(), Qt::Key_Escape);

        QTest::keyClick(w->rtfedit(), Qt::Key_Return);
        QTest::keyClicks(w->rtfedit(), QStringLiteral("this.hel"));
        QVERIFY(box->isVisible());
        QCOMPARE(w->typing().key1(), QStringLiteral("demo.Main."));
        const QStringList offered = items();
        QVERIFY(offered.contains(QStringLiteral("String helper(int, Map)")));
        QVERIFY(offered.contains(QStringLiteral("List items")));
        QVERIFY(offered.contains(QStringLiteral("Container getContentPane()")));
        QVERIFY(box->currentText().startsWith(QStringLiteral("String helper")));
        // Enter inserts the chosen member.
        const int before = s->selStart();
        QTest::keyClick(w->rtfedit(), Qt::Key_Return);
        QVERIFY(box->isHidden());
        QVERIFY(s->mid(before - 8, 30).startsWith(QStringLiteral("this.helper(")));

        // Back to the object tree for the next key.
        QTest::keyClick(w->rtfedit(), Qt::Key_Return);
        QTest::keyClicks(w->rtfedit(), QStringLiteral("System.out.printl"));
        QVERIFY(box->isVisible());
        QVERIFY(box->currentText().contains(QStringLiteral("println(")));
        s->setClean();
    }
};

QTEST_MAIN(TstNameResolve)
#include "tst_nameresolve.moc"
