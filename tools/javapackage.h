#pragma once
// Java packages as the tools need them. A source file that declares
// `package a.b;` and lies in `.../src/a/b/` belongs to the source root
// `.../src/`; a class file names its own package. From this the tool
// dialog derives, each time it builds a command line, what the user would
// otherwise type by hand: the compiler's -sourcepath and -d, the
// interpreter's -classpath and qualified class name, and the archive
// tool's "-C folder" entries. The stored command code is never changed.

#include "tools/javaxmodel.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qln {

// The package a Java source text declares: the dotted name after
// "package", comments, blanks and annotations skipped; "" when the text
// declares none. A declaration that does not parse (a missing ";", an
// empty or invalid part) counts as none: the compiler says what is wrong.
QString declaredPackage(QStringView source);

// The binary name ("a/b/Foo") a class file gives for its own class, or ""
// when the bytes are not a class file that can be read that far.
QString classFileName(const QByteArray &bytes);

// Where a source or class file sits in its package tree.
struct PackagePlace {
    enum class Kind {
        None,       // no package (or the file could not be read): nothing to derive
        Matches,    // the folder ends with the package's folders: root is known
        Mismatch,   // the folder does not end with the package's folders
        Unreadable, // the folders match, but the root cannot be read
    };
    Kind kind = Kind::None;
    QString file;        // absolute
    QString package;     // "a.b"
    QString folder;      // the file's folder, absolute, ending with "/"
    QString root;        // Matches and Unreadable: the source root, ending with "/"
    QString simpleName;  // the class's own name ("Foo")
    QString packagePath; // "a/b/" ("" without a package)
    QString qualifiedName() const
    {
        return package.isEmpty() ? simpleName : package + QLatin1Char('.') + simpleName;
    }
    bool derivable() const { return kind == Kind::Matches || kind == Kind::Unreadable; }
};

// The place of a file from what it declares: a ".class" file by its own
// name, any other file by its package declaration. Only the head of a
// source file is read; a file that cannot be read gives None.
PackagePlace locatePackage(const QString &path);

// The message the run button shows for a place it cannot derive from
// (Mismatch) or whose root cannot be read (Unreadable); "" otherwise.
QString packagePlaceMessage(const PackagePlace &place);
inline const QString kPackageMessageTitle = QStringLiteral("Package folder");

// What the package of the input adds to a command line of the mode.
struct DerivedArguments {
    PackagePlace place;     // the place of the input file (None for a pattern)
    JavaXState optionState; // the state whose option string goes in
    QString className;      // Run: the qualified name for the class operand, else ""
    QString jarInputs;      // Jar, creating or updating: the input as "-C" entries
    bool jarInputsSet = false;
};

// Works the derived arguments out from the state and the files on disk:
// - Compile, when the input's package matches its folder: the root is
//   added to -sourcepath (ticked: appended to its list unless there) and
//   is the -d output folder unless -d is ticked.
// - Run, when the input class's package matches its folder: the root is on
//   the -classpath the same way, and the class operand is the qualified name.
// - Jar, while -c or -u is ticked and -x is not: every input file goes in as
//   "-C folder name", folder being the input's folder or, for files of a
//   package that matches its folder, the package's root with the name
//   under it ("a/b/Foo.class"). A pattern is matched here, "*" and "?" only,
//   in name order; a folder ("dir/") gives "-C dir .". A relative input is
//   taken from the folder the archive tool runs in (runFolderOf).
DerivedArguments deriveArguments(const JavaXState &state);

// The message the Appletviewer run shows when the executable box names no
// file and the kit it points into has none (or the box is empty).
inline const QString kNoAppletviewerMessage =
    QStringLiteral("This Java kit has no appletviewer (removed in Java 11).");
// True when the appletviewer box names no file and either is empty or
// points into a folder holding the kit's "java" or "javac".
bool kitLacksAppletviewer(const QString &executable);

} // namespace qln
