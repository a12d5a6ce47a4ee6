#pragma once
// Names before the caret: turns what the user typed before a dot
// ("String.", "list.", "System.out.", "s.trim().", "list.get(0).",
// "this.") into the qualified key the tree search takes
// ("java.lang.String.", "java.util.List.", "java.io.PrintStream."), from
// the document's package and imports, its declarations (`Type name` and
// `var name = ...`), the class the caret is in and the object tree itself.
// Plain functions over a text snapshot; NameResolver reads a Surface in
// parts and keeps what stays the same from one keystroke to the next.

#include "completion/treeentries.h"

#include <QHash>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <vector>

namespace qln {

class Surface;

// The package and import declarations at the head of a Java document.
struct JavaImports {
    QString package;         // "" in the default package
    QStringList singleTypes; // import java.util.List;   -> "java.util.List"
    QStringList onDemand;    // import java.util.*;      -> "java.util"
    int end = 0;             // where the head ends: the first other text
    // How far reading looked: an edit that starts after this position
    // leaves the head as it is.
    int reach = 0;
    // Set by prepareJavaImports: the first single-type import of each simple
    // name, and onDemand without the packages the tree has nothing of.
    QHash<QString, QString> singleBySimple;
    bool prepared = false;
};

// Reads the head of text: blanks, comments, one package declaration and
// import declarations, up to the first text that is none of these. Static
// imports name members, not types, and are left out. Blanks inside a name
// ("java . util") are dropped.
JavaImports readJavaImports(QStringView text);

// Makes the lookups of qualifyTypeName quick for a long list of imports,
// with the same answers: single-type imports by their simple names, and
// on-demand packages of which the tree holds no entry left out.
void prepareJavaImports(JavaImports &imports, const TreeEntries &arrtree);

// The declaration of a variable as findDeclaration finds it.
struct JavaDeclaration {
    // The type as written without its generic arguments ("List",
    // "Map.Entry", "java.awt.Color"), with "[]" appended for an array;
    // "var" for a local variable whose initialiser gives its type; "" when
    // no declaration was found.
    QString type;
    // The generic arguments as written, without the outer "<>" ("String,
    // List<Integer>"); "" for none.
    QString typeArgs;
    // Where the declared name starts.
    int at = -1;
    // For "var": where the initialiser (after "=") or the expression a
    // for-each loop runs over (after ":") starts.
    int initialiser = -1;
    bool forEach = false;
};

// The declaration of the variable `name` that lies nearest before position
// `before` (a field, local variable, parameter or for-each variable,
// `var` ones included), looking back at most `window` characters. A word
// such as return or new in front of the name makes no declaration.
JavaDeclaration findDeclaration(QStringView text, int before, QStringView name, int window);
// Its type alone.
QString findDeclaredType(QStringView text, int before, QStringView name, int window);

// The classes and interfaces of a tree by their simple names.
class TreeTypeIndex {
public:
    TreeTypeIndex() = default;
    explicit TreeTypeIndex(const TreeEntries &arrtree);
    // Qualified names of the types called `simple`, in tree order.
    QStringList qualified(const QString &simple) const { return m_bySimple.value(simple); }
    bool isEmpty() const { return m_bySimple.isEmpty(); }

private:
    QHash<QString, QStringList> m_bySimple;
};

// Whether the tree holds a class or interface of this qualified name.
bool treeHasType(const TreeEntries &arrtree, const QString &qualified);

// The qualified name of a type named in the document: a single-type import
// ending in it, then a type of an on-demand imported package, then
// java.lang, then the document's own package; a dotted name resolves its
// first part so and appends the rest ("Map.Entry"), unless it is already a
// qualified name of the tree. "" when none is in the tree.
QString qualifyTypeName(const QString &name, const JavaImports &imports,
                        const TreeEntries &arrtree);

// A member of the class a position lies in, as the document declares it.
struct OwnMember {
    QString name;
    QString text;     // as the tree writes members: "int count", "void add(String, int)"
    QString type;     // the type as written, without generic arguments; "[]" for arrays
    QString typeArgs; // its generic arguments as written
    int params = 0;
    bool method = false;
    bool isFinal = false;
    bool isProtected = false;
};

// The class, interface, enum or record whose body holds a position.
struct ClassOutline {
    QString name;                   // "" when the position lies in no class
    QString qualified;              // with the package and the classes around it
    QString kind;                   // "class", "interface", "enum" or "record"
    QString superName;              // the class named after `extends` as written; "" for none
    QString superArgs;              // its generic arguments as written
    std::vector<OwnMember> members; // fields and methods, constructors left out
    bool isValid() const { return !name.isEmpty(); }
};

// Reads the text up to pos for the innermost type declaration whose body
// holds pos, and that body for the members it declares (enum constants and
// record components included). Anonymous classes are not told apart from
// the code around them.
ClassOutline outlineClassAt(QStringView text, int pos, const QString &package);

// outlineClassAt in two steps, so that reading the text can stop and go on:
// the type declarations open where the reading got to.
struct OutlineScan {
    struct Open {
        ClassOutline outline; // without members and qualified name
        int depth = 0;        // braces open inside its body
        int open = 0;         // where its body's "{" is
    };
    int pos = 0; // where reading goes on: a token's start or the text's end
    int depth = 0;
    bool afterDot = false;
    std::vector<Open> classes;
};
// Reads on from scan.pos up to pos. With keep, hands over the state at a
// token's start about every `every` characters.
void advanceOutlineScan(QStringView text, int pos, OutlineScan &scan, int every = 0,
                        const std::function<void(const OutlineScan &)> &keep = {});
// The innermost class open in scan, with the members its body declares.
ClassOutline outlineOf(QStringView text, const OutlineScan &scan, const QString &package);

// Resolves key 1 (the name before the caret up to its last dot, starting at
// position keyStart of text): a key the tree already holds as a package,
// class or member comes back as it is. Otherwise the expression it ends is
// read: a key that starts with its dot continues the calls, fields and
// indexes before keyStart on the text (`s.trim().`, `list.get(0).`), read
// back at most kChainWindow characters; its first name is a variable
// declared before it (see findDeclaration; a `var` takes the type of its
// initialiser), a type name (qualifyTypeName), a package, `this`, `super`
// or a method of the class the key lies in, and each further part a nested
// type, a field or a method of the type reached so far, through the type
// the tree gives the member (an erased type argument becomes the variable's
// declared one where that is plain). Returns the qualified key ending in
// ".", or "" when a part cannot be resolved. `types` (may be null) finds
// the package of a member's type that the tree gives by its simple name
// only. A key that names the document's own class (`this.`) comes back as
// that class's qualified name; ownTree (may be null) then receives the
// members to offer for it (see ownClassTree), and is emptied otherwise.
QString ResolveTreeKey(QStringView text, int keyStart, const QString &key1,
                       const TreeEntries &arrtree, const JavaImports &imports,
                       const TreeTypeIndex *types, int window, QStringList *ownTree = nullptr);

// The members a class of the document offers after `this.`: those it
// declares and those it inherits from superQualified (a class of the tree;
// "" for none), constructors left out, as a small tree in the loader's order
// (entry 0 empty) under the class's qualified name. A member the class
// declares hides an inherited one of the same text.
QStringList ownClassTree(const ClassOutline &outline, const TreeEntries &arrtree,
                         const QString &superQualified);

// How far back the declaration scan looks, in characters.
inline constexpr int kDeclarationWindow = 128 * 1024;
// How far back a chain of calls before the caret is read, in characters.
inline constexpr int kChainWindow = 4096;
// How far apart NameResolver keeps states of the outline scan.
inline constexpr int kOutlineStep = 16 * 1024;

// findDeclaration and findDeclaredType over a surface, reading only the
// lines the scan can reach.
JavaDeclaration findDeclaration(const Surface &surface, int before, QStringView name, int window);
QString findDeclaredType(const Surface &surface, int before, QStringView name, int window);

// ResolveTreeKey for one surface as it is typed. The head of the document
// is read once and kept until an edit starts within what reading it looked
// at; the type index is built once per tree; the outline of the class
// around the key is read only for keys that need it (`this.`, `super.`, a
// call without an object), kept while the text stays the same, and read on
// from the last state of the scan kept before the key (one every
// kOutlineStep characters, dropped from an edit on), so typing in a long
// document reads only the stretch before the key and the class's body.
// The document is read through the surface's parts, never as a whole copy.
class NameResolver {
public:
    NameResolver() = default;
    ~NameResolver();
    NameResolver(const NameResolver &) = delete;
    NameResolver &operator=(const NameResolver &) = delete;

    QString resolve(const Surface &surface, int keyStart, const QString &key1,
                    const TreeEntries &arrtree);
    // The tree to search the last resolved key in: the members of the
    // document's own class after `this.` (see ownClassTree), else arrtree.
    const TreeEntries &searchTree(const TreeEntries &arrtree) const
    {
        return m_ownTree.isEmpty() ? arrtree : m_ownTreePacked;
    }
    // Forget everything (another tree was loaded).
    void reset();
    // outlineClassAt over the surface, kept while its text and pos stay.
    const ClassOutline &outline(const Surface &surface, int pos, const QString &package);
    // ownClassTree for the outline, kept while it stays the same.
    QStringList ownTree(const ClassOutline &outline, const TreeEntries &arrtree,
                        const QString &superQualified);
    // How often the document was read for a class outline, and for the
    // members of a class's body.
    int outlineReads() const { return m_outlineReads; }
    int memberReads() const { return m_memberReads; }
    // How often the head was read since the resolver was made.
    int headReads() const { return m_headReads; }

private:
    const JavaImports &imports(const Surface &surface, const TreeEntries &arrtree);
    const TreeTypeIndex &types(const TreeEntries &arrtree);
    void watch(const Surface &surface);
    void membersEdited(int pos, int removed, int added);

    QPointer<Surface> m_surface;
    QMetaObject::Connection m_edits;
    JavaImports m_imports;
    bool m_haveImports = false;
    int m_headReads = 0;
    const void *m_importsTree = nullptr;
    qsizetype m_importsTreeSize = -1;
    TreeTypeIndex m_types;
    const void *m_treeData = nullptr;
    qsizetype m_treeSize = -1;
    QStringList m_ownTree; // m_ownTreeKept when the last key named the own class
    ClassOutline m_outline;
    quint64 m_outlineRevision = 0;
    int m_outlinePos = -1;
    int m_outlineReads = 0;
    std::vector<OutlineScan> m_scans; // by position
    // The members of the class body that opens at m_membersOpen, the
    // braces at its level and its end, kept across edits in its methods.
    QMetaObject::Connection m_aboutToEdit;
    std::vector<OwnMember> m_members;
    std::vector<std::pair<int, int>> m_bodies;
    int m_membersOpen = -1;
    int m_membersClose = -1;
    bool m_membersValid = false;
    bool m_editInBody = false;
    int m_memberReads = 0;
    QStringList m_ownTreeKept;
    TreeEntries m_ownTreePacked; // m_ownTreeKept packed for the search
    QString m_ownTreeKey;
    const void *m_ownTreeData = nullptr;
    qsizetype m_ownTreeSize = -1;
};

// Whether text holds a character that may open or close a brace, a string,
// a character literal or a comment, or end a line comment.
bool hasStructuralChar(QStringView text);

} // namespace qln
