// The name resolver as the completion uses it while the user types: one
// NameResolver kept over a surface under random edits (its cached head
// and type index) must resolve every key exactly as a fresh resolution
// over a copy of the text does. The declaration scan over the surface
// (which reads only some lines) agrees with the scan over the plain text
// for any window, and preparing the imports changes no answer.
#include "completion/nameresolve.h"
#include "fuzzsupport.h"
#include "surface/surface.h"

#include <algorithm>

using namespace qln;

namespace {

QStringList treeFrom(QStringList entries)
{
    std::sort(entries.begin(), entries.end());
    entries.prepend(QString());
    return entries;
}

const QStringList &fullList()
{
    static const QStringList tree = treeFrom({
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
        "java.lang.Thread.-p-c",
        "java.lang.Thread.State.-p-c",
        "java.lang.Thread.State.State NEW.-pfv",
        "java.util.-p-p",
        "java.util.List.-p-i",
        "java.util.List.int size().-p-m",
        "java.util.Map.-p-i",
        "java.util.Map.Entry.-p-i",
        "java.util.Map.Entry.Object getKey().-p-m",
        "org.-p-p",
        "org.demo.-p-p",
        "org.demo.Helper.-p-c",
        "org.demo.Helper.Color tint.-pfv",
    });
    return tree;
}

const TreeEntries &fullTree()
{
    static const TreeEntries tree(fullList());
    return tree;
}

// Pieces of Java the document is made of.
const QStringList kPieces{"package org.demo;",
                          "import java.util.*;",
                          "import java.util.List;",
                          "import java.awt.*;",
                          "import static java.lang.Math.*;",
                          "import java . util . Map;",
                          "\r\n",
                          "\n",
                          " ",
                          "  ",
                          ";",
                          ".",
                          "=",
                          "(",
                          ")",
                          "{",
                          "}",
                          "[]",
                          "<String>",
                          ",",
                          "//",
                          "/*",
                          "*/",
                          "\"",
                          "String",
                          "List",
                          "Color",
                          "System",
                          "Map.Entry",
                          "Thread.State",
                          "Helper",
                          "java.awt.Color",
                          "s",
                          "list",
                          "c",
                          "e",
                          "h",
                          "out",
                          "tint",
                          "new ",
                          "return ",
                          "final ",
                          "for (",
                          " : ",
                          "class A",
                          "int",
                          "x",
                          "var ",
                          "this",
                          "super",
                          " extends Thread",
                          "enum ",
                          ".trim()",
                          "\"a\"",
                          "get(0)",
                          "/ *",
                          "'",
                          "\\"};

const QStringList kKeys{".",
                        "this.",
                        "super.",
                        "String.",
                        "list.",
                        "System.out.",
                        "c.",
                        "Map.Entry.",
                        "java.lang.",
                        "s.",
                        "e.",
                        "h.tint.",
                        "Thread.State.",
                        "List.",
                        "Color.",
                        "x.",
                        "h.",
                        "org.demo.Helper.",
                        "s.parts.",
                        "",
                        "s"};

QString piecesText(fuzz::Input &in, int count)
{
    QString t;
    for (int i = 0; i < count && !in.atEnd(); ++i)
        t += kPieces.at(in.below(int(kPieces.size())));
    return t;
}

// A resolution from nothing kept: the head read and prepared now, the type
// index built now, in the resolver's order (without the index first).
QString freshResolve(const QString &text, int keyStart, const QString &key1,
                     const TreeEntries &tree)
{
    if (key1.isEmpty() || !key1.endsWith(QLatin1Char('.')))
        return QString();
    JavaImports imports = readJavaImports(text);
    prepareJavaImports(imports, tree);
    const QString plain =
        ResolveTreeKey(text, keyStart, key1, tree, imports, nullptr, kDeclarationWindow);
    if (!plain.isEmpty())
        return plain;
    const TreeTypeIndex types(tree);
    return ResolveTreeKey(text, keyStart, key1, tree, imports, &types, kDeclarationWindow);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    fuzz::Input in(data, size);
    // Now and then a tree without some of its entries (another tree loaded).
    QStringList partialList = fullList();
    for (int i = in.below(4); i > 0; --i)
        partialList.removeAt(1 + in.below(int(partialList.size()) - 1));
    const TreeEntries partial(partialList);
    const TreeEntries *tree = &fullTree();

    Surface s;
    s.setText(piecesText(in, 30));
    NameResolver cached;
    for (int step = 0; step < 40 && !in.atEnd(); ++step) {
        const int len = s.length();
        switch (in.below(5)) {
        case 0:
        case 1:
            s.replace(in.below(len + 1), 0, piecesText(in, 1 + in.below(3)), in.flag());
            s.notifyChanged();
            break;
        case 2: {
            const int at = in.below(len + 1);
            s.replace(at, in.below(std::min(12, len - at) + 1), QString());
            break;
        }
        case 3: s.undo(); break;
        default:
            tree = tree == &fullTree() ? &partial : &fullTree();
            cached.reset();
            break;
        }
        const QString text = s.text();
        const int keyStart = in.below(int(text.size()) + 1);
        const QString key1 = kKeys.at(in.below(int(kKeys.size())));
        const QString got = cached.resolve(s, keyStart, key1, *tree);
        FUZZ_CHECK(got == freshResolve(text, keyStart, key1, *tree));
        NameResolver fresh;
        FUZZ_CHECK(got == fresh.resolve(s, keyStart, key1, *tree));

        // The declaration scan over the surface against the plain one.
        const QString name = QStringList{"s", "list", "c", "e", "h", "x"}.at(in.below(6));
        const int window = in.flag() ? kDeclarationWindow : in.below(int(text.size()) + 8);
        FUZZ_CHECK(findDeclaredType(s, keyStart, name, window)
                   == findDeclaredType(QStringView(text), keyStart, name, window));

        // Preparing the imports only makes the lookups quicker.
        const JavaImports plain = readJavaImports(text);
        JavaImports prepared = plain;
        prepareJavaImports(prepared, *tree);
        const QString type = QStringList{"String", "List",         "Color",          "Map.Entry",
                                         "Helper", "Thread.State", "java.awt.Color", "Entry"}
                                 .at(in.below(8));
        FUZZ_CHECK(qualifyTypeName(type, plain, *tree) == qualifyTypeName(type, prepared, *tree));
    }
    return 0;
}
