#pragma once
// Simple names before the caret: turns the name the user typed ("String.",
// "list.", "System.out.") into the qualified key the tree search takes
// ("java.lang.String.", "java.util.List.", "java.io.PrintStream."), from
// the document's package and imports, its `Type name` declarations and the
// object tree itself. Plain functions over a text snapshot; NameResolver
// keeps what stays the same from one keystroke to the next.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace qln {

// The package and import declarations at the head of a Java document.
struct JavaImports {
    QString package;         // "" in the default package
    QStringList singleTypes; // import java.util.List;   -> "java.util.List"
    QStringList onDemand;    // import java.util.*;      -> "java.util"
    int end = 0;             // where the head ends: the first other text
};

// Reads the head of text: blanks, comments, one package declaration and
// import declarations, up to the first text that is none of these. Static
// imports name members, not types, and are left out. Blanks inside a name
// ("java . util") are dropped.
JavaImports readJavaImports(QStringView text);

// The declared type of the variable `name` whose `Type name` declaration
// lies nearest before position `before` (a field, local variable, parameter
// or for-each variable), looking back at most `window` characters: the type
// as written without its generic arguments ("List", "Map.Entry",
// "java.awt.Color"), with "[]" appended for an array, or "" when no
// declaration is found. A word such as return or new in front of the name
// makes no declaration.
QString findDeclaredType(QStringView text, int before, QStringView name, int window);

// The classes and interfaces of a tree by their simple names.
class TreeTypeIndex {
public:
    TreeTypeIndex() = default;
    explicit TreeTypeIndex(const QStringList &arrtree);
    // Qualified names of the types called `simple`, in tree order.
    QStringList qualified(const QString &simple) const { return m_bySimple.value(simple); }
    bool isEmpty() const { return m_bySimple.isEmpty(); }

private:
    QHash<QString, QStringList> m_bySimple;
};

// Whether the tree holds a class or interface of this qualified name.
bool treeHasType(const QStringList &arrtree, const QString &qualified);

// The qualified name of a type named in the document: a single-type import
// ending in it, then a type of an on-demand imported package, then
// java.lang, then the document's own package; a dotted name resolves its
// first part so and appends the rest ("Map.Entry"), unless it is already a
// qualified name of the tree. "" when none is in the tree.
QString qualifyTypeName(const QString &name, const JavaImports &imports,
                        const QStringList &arrtree);

// Resolves key 1 (the name before the caret up to its last dot, starting at
// position keyStart of text): a key the tree already holds as a package,
// class or member comes back as it is; otherwise its first part is taken as
// a variable declared before keyStart (see findDeclaredType) or as a type
// name (qualifyTypeName), and each further part as a nested type or a field
// of the type reached so far. Returns the qualified key ending in ".", or
// "" when a part cannot be resolved. `types` (may be null) finds the
// package of a field's type that the tree gives by its simple name only.
QString ResolveTreeKey(QStringView text, int keyStart, const QString &key1,
                       const QStringList &arrtree, const JavaImports &imports,
                       const TreeTypeIndex *types, int window);

// How far back the declaration scan looks, in characters.
inline constexpr int kDeclarationWindow = 128 * 1024;

// ResolveTreeKey for one document as it is typed: the imports are read
// again only when the head of the document changed, and the type index is
// built once per tree.
class NameResolver {
public:
    QString resolve(const QString &text, int keyStart, const QString &key1,
                    const QStringList &arrtree);
    // Forget everything (another tree was loaded).
    void reset();

private:
    const JavaImports &imports(const QString &text);
    const TreeTypeIndex &types(const QStringList &arrtree);

    QString m_head;
    JavaImports m_imports;
    bool m_haveImports = false;
    TreeTypeIndex m_types;
    const void *m_treeData = nullptr;
    qsizetype m_treeSize = -1;
};

} // namespace qln
