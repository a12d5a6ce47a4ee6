#include "tools/javapackage.h"

#include "base/pathutil.h"
#include "tools/commandlanguage.h"
#include "tools/toolmodes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <vector>

namespace qln {

namespace {

// How much of a source file is read for its package declaration: far more
// than any licence comment in front of it.
constexpr qint64 kSourceHead = 256 * 1024;
// A class file larger than this is not read.
constexpr qint64 kLargestClassFile = 64 * 1024 * 1024;
// The "-C" entries of one archive run stay well below what one argument of
// /bin/sh -c may hold (128 KB); beyond that the input goes in as typed.
constexpr qsizetype kLongestJarInputs = 100 * 1000;

bool identifierStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

bool identifierPart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// A reader of the tokens in front of a package declaration.
struct HeadReader {
    QStringView s;
    qsizetype i = 0;

    bool atEnd() const { return i >= s.size(); }
    QChar at(qsizetype k) const { return k < s.size() ? s[k] : QChar(); }

    // Blanks, line and block comments (an unterminated one runs to the end).
    void skipBlanks()
    {
        while (!atEnd()) {
            const QChar c = s[i];
            if (c.isSpace() || c == QChar(0xFEFF)) {
                ++i;
            } else if (c == QLatin1Char('/') && at(i + 1) == QLatin1Char('/')) {
                while (!atEnd() && s[i] != QLatin1Char('\n'))
                    ++i;
            } else if (c == QLatin1Char('/') && at(i + 1) == QLatin1Char('*')) {
                const qsizetype end = s.indexOf(QStringLiteral("*/"), i + 2);
                i = end < 0 ? s.size() : end + 2;
            } else {
                return;
            }
        }
    }

    QStringView identifier()
    {
        const qsizetype start = i;
        if (!atEnd() && identifierStart(s[i])) {
            ++i;
            while (!atEnd() && identifierPart(s[i]))
                ++i;
        }
        return s.mid(start, i - start);
    }

    // "(" ... ")" with nested parentheses, strings and characters skipped.
    void skipParenthesised()
    {
        int depth = 0;
        while (!atEnd()) {
            const QChar c = s[i++];
            if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                while (!atEnd() && s[i] != c && s[i] != QLatin1Char('\n'))
                    i += s[i] == QLatin1Char('\\') ? 2 : 1;
                ++i;
            } else if (c == QLatin1Char('(')) {
                ++depth;
            } else if (c == QLatin1Char(')') && --depth == 0) {
                return;
            }
        }
    }

    // Annotations of the declaration ("@Deprecated", "@a.B(x = 1)").
    void skipAnnotations()
    {
        skipBlanks();
        while (at(i) == QLatin1Char('@')) {
            ++i;
            skipBlanks();
            do {
                skipBlanks();
                if (identifier().isEmpty())
                    return;
                skipBlanks();
            } while (at(i) == QLatin1Char('.') && ++i);
            if (at(i) == QLatin1Char('('))
                skipParenthesised();
            skipBlanks();
        }
    }
};

quint32 bigEndian(const QByteArray &b, qsizetype at, int bytes)
{
    quint32 v = 0;
    for (int k = 0; k < bytes; ++k)
        v = (v << 8) | quint8(b[at + k]);
    return v;
}

// Whether a file or folder name matches a pattern of "*" and "?" as the
// shell's globbing would: names starting with "." only by a pattern that does.
bool globMatch(QStringView name, QStringView pattern)
{
    if (name.startsWith(QLatin1Char('.')) && !pattern.startsWith(QLatin1Char('.')))
        return false;
    return wildcardMatch(name, pattern);
}

bool hasWildcard(QStringView text)
{
    return text.contains(QLatin1Char('*')) || text.contains(QLatin1Char('?'));
}

QString withSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

OptionSlot *slotOf(JavaXState &state, const char *switchText)
{
    for (OptionSlot &s : state.options)
        if (s.def.switchText == QLatin1String(switchText))
            return &s;
    return nullptr;
}

// The root goes on a path-list option: ticked, it is added to the user's
// list unless the list names it already; unticked, it becomes the option.
void addToPathList(JavaXState &state, const char *switchText, const QString &root,
                   const QString &base)
{
    OptionSlot *s = slotOf(state, switchText);
    if (!s)
        return;
    if (!s->ticked || s->argument.trimmed().isEmpty()) {
        s->ticked = true;
        s->argument = root;
        return;
    }
    const QString wanted = QDir::cleanPath(root);
    for (const QString &entry : s->argument.split(QDir::listSeparator(), Qt::SkipEmptyParts))
        if (QDir::cleanPath(QDir(base).absoluteFilePath(entry.trimmed())) == wanted)
            return;
    s->argument += QDir::listSeparator() + root;
}

bool ticked(const JavaXState &state, const char *switchText)
{
    for (const OptionSlot &s : state.options)
        if (s.ticked && s.def.switchText == QLatin1String(switchText))
            return true;
    return false;
}

bool modeIs(const QString &mode, const char *name)
{
    return mode.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// The entries of folder that a pattern names, in name order.
QStringList matching(const QString &folder, const QString &pattern)
{
    QStringList names;
    const QStringList entries = QDir(folder).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &e : entries)
        if (globMatch(e, pattern))
            names << e;
    return names;
}

// The file a Compile or Run looks at for the package: the input itself, or
// for a pattern the first file it matches.
QString representativeInput(const QString &input)
{
    if (input.isEmpty())
        return QString();
    if (!namesNoFile(input))
        return input;
    const qsizetype slash = input.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QString() : input.left(slash + 1);
    const QString pattern = input.mid(slash + 1);
    if (hasWildcard(folder))
        return QString();
    for (const QString &name : matching(folder.isEmpty() ? QStringLiteral(".") : folder, pattern))
        if (QFileInfo(folder + name).isFile())
            return folder + name;
    return QString();
}

// The archive tool's inputs relative to their folder, or to their package's
// root; unset when the input is left as typed.
void deriveJarInputs(DerivedArguments &d, const QString &input, const QString &workingFolder)
{
    const qsizetype slash = input.lastIndexOf(QLatin1Char('/'));
    const QString written = slash < 0 ? QString() : input.left(slash + 1);
    const QString name = input.mid(slash + 1);
    if (hasWildcard(written))
        return;
    const QDir work(workingFolder);
    const QString folder = withSlash(work.absoluteFilePath(written.isEmpty() ? "." : written));

    QStringList names;
    if (name.isEmpty())
        names << QStringLiteral(".");
    else if (QFileInfo::exists(folder + name) || !hasWildcard(name))
        names << name;
    else
        names = matching(folder, name);
    if (names.isEmpty()
        || (names.first() != QLatin1String(".") && !QFileInfo::exists(folder + names.first())))
        return; // the tool says the file is missing

    // Files of a package go in under its folders.
    QString changeTo = written;
    QString under;
    for (const QString &n : names) {
        if (n == QLatin1String(".") || !QFileInfo(folder + n).isFile())
            continue;
        const PackagePlace place = locatePackage(folder + n);
        if (place.kind == PackagePlace::Kind::Matches) {
            changeTo = place.root;
            under = place.packagePath;
        }
        break;
    }
    if (changeTo.isEmpty())
        return; // already relative to where the tool runs

    QString out;
    const QString prefix = QStringLiteral("-C ") + shellPath(changeTo, false) + QLatin1Char(' ');
    for (const QString &n : names) {
        if (!out.isEmpty())
            out += QLatin1Char(' ');
        out += prefix + shellPath(n == QLatin1String(".") ? n : under + n, false);
        if (out.size() > kLongestJarInputs)
            return;
    }
    d.jarInputs = out;
    d.jarInputsSet = true;
}

} // namespace

QString declaredPackage(QStringView source)
{
    HeadReader r{source};
    r.skipAnnotations();
    if (r.identifier() != QLatin1String("package"))
        return QString();
    QStringList parts;
    for (;;) {
        r.skipBlanks();
        const QStringView part = r.identifier();
        if (part.isEmpty())
            return QString();
        parts << part.toString();
        r.skipBlanks();
        if (r.at(r.i) == QLatin1Char(';'))
            return parts.join(QLatin1Char('.'));
        if (r.at(r.i) != QLatin1Char('.'))
            return QString();
        ++r.i;
    }
}

QString classFileName(const QByteArray &b)
{
    const qsizetype n = b.size();
    auto has = [n](qsizetype at, qsizetype bytes) { return at >= 0 && bytes <= n - at; };
    if (!has(0, 10) || bigEndian(b, 0, 4) != 0xCAFEBABEu)
        return QString();
    const quint32 count = bigEndian(b, 8, 2);
    // Each entry: its tag and where its data starts.
    std::vector<std::pair<quint8, qsizetype>> pool(count, {0, 0});
    qsizetype at = 10;
    for (quint32 k = 1; k < count; ++k) {
        if (!has(at, 1))
            return QString();
        const quint8 tag = quint8(b[at++]);
        pool[k] = {tag, at};
        qsizetype size = 0;
        switch (tag) {
        case 1: // Utf8
            if (!has(at, 2))
                return QString();
            size = 2 + bigEndian(b, at, 2);
            break;
        case 7:
        case 8:
        case 16:
        case 19:
        case 20: size = 2; break;
        case 15: size = 3; break;
        case 3:
        case 4:
        case 9:
        case 10:
        case 11:
        case 12:
        case 17:
        case 18: size = 4; break;
        case 5:
        case 6: // Long, Double: two entries
            size = 8;
            ++k;
            break;
        default: return QString();
        }
        if (!has(at, size))
            return QString();
        at += size;
    }
    if (!has(at, 4))
        return QString();
    const quint32 thisClass = bigEndian(b, at + 2, 2);
    if (thisClass == 0 || thisClass >= count || pool[thisClass].first != 7)
        return QString();
    const quint32 nameIndex = bigEndian(b, pool[thisClass].second, 2);
    if (nameIndex == 0 || nameIndex >= count || pool[nameIndex].first != 1)
        return QString();
    const qsizetype from = pool[nameIndex].second;
    return QString::fromUtf8(b.mid(from + 2, bigEndian(b, from, 2)));
}

PackagePlace locatePackage(const QString &path)
{
    PackagePlace place;
    if (path.isEmpty())
        return place;
    place.file = absolutePath(path);
    place.folder = SplitPath(place.file, 2);
    place.simpleName = SplitPath(place.file, 5);
    QFile f(place.file);
    if (!QFileInfo(place.file).isFile() || !f.open(QIODevice::ReadOnly))
        return place;

    if (place.file.endsWith(QLatin1String(".class"))) {
        if (f.size() > kLargestClassFile)
            return place;
        const QString binary = classFileName(f.readAll());
        if (binary.isEmpty())
            return place;
        const qsizetype slash = binary.lastIndexOf(QLatin1Char('/'));
        place.simpleName = binary.mid(slash + 1);
        place.package = slash < 0 ? QString() : binary.left(slash).replace(QLatin1Char('/'), '.');
    } else {
        place.package = declaredPackage(QString::fromUtf8(f.read(kSourceHead)));
    }
    if (place.package.isEmpty())
        return place;

    place.packagePath = QString(place.package).replace(QLatin1Char('.'), '/') + QLatin1Char('/');
    if (!place.folder.endsWith(QLatin1Char('/') + place.packagePath)) {
        place.kind = PackagePlace::Kind::Mismatch;
        return place;
    }
    place.root = place.folder.left(place.folder.size() - place.packagePath.size());
    const QFileInfo root(place.root);
    place.kind = root.isReadable() && root.isExecutable() ? PackagePlace::Kind::Matches
                                                          : PackagePlace::Kind::Unreadable;
    return place;
}

QString packagePlaceMessage(const PackagePlace &place)
{
    switch (place.kind) {
    case PackagePlace::Kind::Mismatch:
        return QStringLiteral("%1 is in package %2, but its folder %3 does not end with %4")
            .arg(SplitPath(place.file, 3), place.package, place.folder, place.packagePath);
    case PackagePlace::Kind::Unreadable:
        return QStringLiteral("The folder %1 that holds package %2 cannot be read")
            .arg(place.root, place.package);
    default: return QString();
    }
}

DerivedArguments deriveArguments(const JavaXState &state)
{
    DerivedArguments d;
    d.optionState = state;
    const QString input = state.boxes.inFile.trimmed();
    if (input.isEmpty())
        return d;
    const QString &mode = state.mode;
    const bool compile = modeIs(mode, "Compile"), run = modeIs(mode, "Run");
    if (compile || run) {
        d.place = locatePackage(representativeInput(input));
        if (!d.place.derivable())
            return d;
        const QString base = d.place.folder;
        if (compile) {
            addToPathList(d.optionState, "-sourcepath", d.place.root, base);
            if (!ticked(state, "-d")) {
                if (OptionSlot *out = slotOf(d.optionState, "-d")) {
                    out->ticked = true;
                    out->argument = d.place.root;
                }
            }
        } else {
            addToPathList(d.optionState, "-classpath", d.place.root, base);
            d.className = d.place.qualifiedName();
        }
    } else if (isJarMode(mode) && (ticked(state, "-c") || ticked(state, "-u"))
               && !ticked(state, "-x")) {
        const QString work = runFolderOf(state);
        deriveJarInputs(d, input, work.isEmpty() ? QDir::currentPath() : work);
    }
    return d;
}

bool kitLacksAppletviewer(const QString &executable)
{
    const QString exe = executable.trimmed();
    if (exe.isEmpty())
        return true;
    if (FileExists(exe))
        return false;
    const QString folder = SplitPath(exe, 2);
    return QFileInfo(folder + QStringLiteral("java")).isFile()
           || QFileInfo(folder + QStringLiteral("javac")).isFile();
}

} // namespace qln
