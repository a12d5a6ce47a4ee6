#include "completion/nameresolve.h"

#include "completion/treesearch.h"

#include <algorithm>

namespace qln {

namespace {

bool isIdentChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_'
           || u == '$' || (u > 127 && c.isLetterOrNumber());
}

bool isSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\r' || u == '\n' || u == '\f';
}

// Words that can stand before a name without being its type.
bool isNonTypeWord(QStringView w)
{
    static const char *const words[] = {
        "return", "new",     "throw",  "case",    "else",       "instanceof", "import",
        "package", "goto",   "assert", "yield",   "break",      "continue",   "do",
        "try",     "finally", "this",  "super",   "null",       "true",       "false",
        "public",  "private", "protected", "static", "final",   "abstract",   "native",
        "synchronized", "transient", "volatile", "strictfp", "default", "extends",
        "implements", "throws", "class", "interface", "enum", "record", "var"};
    for (const char *k : words)
        if (w == QLatin1String(k))
            return true;
    return false;
}

bool isPrimitive(QStringView w)
{
    static const char *const words[] = {"int",  "long",   "short", "byte", "char",
                                        "float", "double", "boolean", "void"};
    for (const char *k : words)
        if (w == QLatin1String(k))
            return true;
    return false;
}

// Skips blanks and comments from i; the position of the next other
// character (or the end).
qsizetype skipSpaceAndComments(QStringView t, qsizetype i)
{
    const qsizetype n = t.size();
    for (;;) {
        while (i < n && isSpace(t[i]))
            ++i;
        if (i + 1 < n && t[i] == u'/' && t[i + 1] == u'/') {
            while (i < n && t[i] != u'\n')
                ++i;
        } else if (i + 1 < n && t[i] == u'/' && t[i + 1] == u'*') {
            const qsizetype close = t.indexOf(u"*/", i + 2);
            if (close < 0)
                return n;
            i = close + 2;
        } else {
            return i;
        }
    }
}

// The keyword at i followed by a blank or comment.
bool keywordAt(QStringView t, qsizetype i, QLatin1String word)
{
    const qsizetype end = i + word.size();
    return t.mid(i).startsWith(word) && end < t.size() && !isIdentChar(t[end]);
}

// The entry of a class or interface of this qualified name, or -1.
int typeEntry(const QStringList &arrtree, const QString &qualified)
{
    for (const char *tag : {".-p-c", ".-p-i", ".-r-c", ".-r-i"}) {
        const int at = FindTreeEntry(arrtree, qualified + QLatin1String(tag));
        if (at > 0)
            return at;
    }
    return -1;
}

// The package part of a qualified type name: the longest prefix the tree
// holds as a package.
QString packageOf(const QStringList &arrtree, const QString &qualified)
{
    for (qsizetype dot = qualified.lastIndexOf(QLatin1Char('.')); dot > 0;
         dot = qualified.lastIndexOf(QLatin1Char('.'), dot - 1)) {
        const QString prefix = qualified.left(dot);
        if (FindTreeEntry(arrtree, prefix + QStringLiteral(".-p-p")) > 0)
            return prefix;
    }
    return QString();
}

// The type of field `name` of the type `owner` as the tree writes it (a
// simple name, maybe with "[]"), or "".
QString fieldTypeText(const QStringList &arrtree, const QString &owner, const QString &name)
{
    const int parent = typeEntry(arrtree, owner);
    if (parent < 0)
        return QString();
    const QString prefix = owner + QLatin1Char('.');
    const QString suffix = QLatin1Char(' ') + name;
    for (qsizetype i = parent + 1; i < arrtree.size(); ++i) {
        const QString &e = arrtree.at(i);
        if (!e.startsWith(prefix))
            break;
        if (e.size() < prefix.size() + 6 || !e.endsWith(QLatin1Char('v'))
            || e.at(e.size() - 5) != QLatin1Char('.'))
            continue;
        const QStringView text = QStringView(e).mid(prefix.size(), e.size() - 5 - prefix.size());
        if (text.contains(QLatin1Char('.')) || !text.endsWith(suffix))
            continue;
        return text.left(text.size() - suffix.size()).trimmed().toString();
    }
    return QString();
}

// A field's type, given by its simple name, seen from the type that has
// the field: a type nested in it or in a type enclosing it, a type of its
// package, java.lang, the document's imports, then the one type of that
// name in the whole tree (or the first of several).
QString qualifyMemberType(const QString &simple, const QString &owner, const JavaImports &imports,
                          const QStringList &arrtree, const TreeTypeIndex *types)
{
    const QString pkg = packageOf(arrtree, owner);
    for (QString scope = owner; scope.size() > pkg.size();
         scope = scope.left(std::max<qsizetype>(0, scope.lastIndexOf(QLatin1Char('.'))))) {
        const QString nested = scope + QLatin1Char('.') + simple;
        if (typeEntry(arrtree, nested) > 0)
            return nested;
    }
    if (!pkg.isEmpty() && typeEntry(arrtree, pkg + QLatin1Char('.') + simple) > 0)
        return pkg + QLatin1Char('.') + simple;
    const QString viaDocument = qualifyTypeName(simple, imports, arrtree);
    if (!viaDocument.isEmpty())
        return viaDocument;
    if (types) {
        const QStringList all = types->qualified(simple);
        if (!all.isEmpty())
            return all.first();
    }
    return QString();
}

} // namespace

JavaImports readJavaImports(QStringView t)
{
    JavaImports out;
    qsizetype i = 0;
    const qsizetype n = t.size();
    for (;;) {
        i = skipSpaceAndComments(t, i);
        const bool isPackage = keywordAt(t, i, QLatin1String("package"));
        if (!isPackage && !keywordAt(t, i, QLatin1String("import")))
            break;
        const qsizetype semicolon = t.indexOf(QLatin1Char(';'), i);
        if (semicolon < 0)
            break;
        // The name, without blanks and comments between its parts.
        QString name;
        qsizetype j = i + (isPackage ? 7 : 6);
        bool isStatic = false;
        while (j < semicolon) {
            j = skipSpaceAndComments(t.left(semicolon), j);
            if (j >= semicolon)
                break;
            if (!isPackage && name.isEmpty() && keywordAt(t, j, QLatin1String("static"))) {
                isStatic = true;
                j += 6;
                continue;
            }
            name += t[j];
            ++j;
        }
        if (isPackage)
            out.package = name;
        else if (!isStatic && name.endsWith(QLatin1String(".*")))
            out.onDemand.append(name.chopped(2));
        else if (!isStatic && !name.isEmpty())
            out.singleTypes.append(name);
        i = semicolon + 1;
    }
    out.end = int(std::min(i, n));
    return out;
}

QString findDeclaredType(QStringView text, int before, QStringView name, int window)
{
    if (name.isEmpty() || before <= 0)
        return QString();
    before = std::min<int>(before, int(text.size()));
    const qsizetype lower = std::max(0, before - std::max(window, 0));
    qsizetype from = before - name.size();
    while (from >= lower) {
        const qsizetype at = text.lastIndexOf(name, from);
        if (at < lower)
            break;
        from = at - 1;
        const qsizetype after = at + name.size();
        if ((at > 0 && isIdentChar(text[at - 1])) || (after < text.size() && isIdentChar(text[after])))
            continue;
        // What follows a declared name: an initialiser, the end of the
        // declaration, the next declarator, a parameter list's end, a
        // for-each colon or old-style array brackets.
        qsizetype k = after;
        while (k < before && isSpace(text[k]))
            ++k;
        if (k >= before)
            continue;
        const QChar next = text[k];
        if (next == u'=' && k + 1 < text.size() && text[k + 1] == u'=')
            continue;
        if (next != u'=' && next != u';' && next != u',' && next != u')' && next != u':'
            && next != u'[')
            continue;

        // Backwards over the type: blanks, "..." or "[]" pairs, generic
        // arguments, then a (qualified) name.
        qsizetype p = at;
        auto skipBack = [&] {
            while (p > lower && isSpace(text[p - 1]))
                --p;
        };
        skipBack();
        if (p == at)
            continue; // no blank between type and name: not a declaration
        bool array = false;
        for (;;) {
            if (p - 3 >= lower && text.mid(p - 3, 3) == u"...") {
                p -= 3;
                array = true;
            } else if (p - 1 > lower && text[p - 1] == u']') {
                --p;
                skipBack();
                if (p - 1 < lower || text[p - 1] != u'[')
                    break;
                --p;
                array = true;
            } else {
                break;
            }
            skipBack();
        }
        if (p - 1 >= lower && text[p - 1] == u'>') {
            int depth = 0;
            while (p > lower) {
                const QChar c = text[--p];
                if (c == u'>')
                    ++depth;
                else if (c == u'<' && --depth == 0)
                    break;
                else if (c == u';' || c == u'{' || c == u'}' || c == u'=')
                    break;
            }
            if (depth != 0)
                continue;
            skipBack();
        }
        const qsizetype typeEnd = p;
        while (p > lower && (isIdentChar(text[p - 1]) || text[p - 1] == u'.'))
            --p;
        QStringView type = text.mid(p, typeEnd - p);
        if (type.isEmpty() || type.startsWith(u'.') || type.endsWith(u'.')
            || (type[0] >= u'0' && type[0] <= u'9'))
            continue;
        if (isNonTypeWord(type))
            continue;
        // Words of a comment at the end of a line above ("f(); // reset
        // it" before "c = null;") are no type.
        const qsizetype lineStart = text.lastIndexOf(u'\n', p) + 1;
        if (text.mid(lineStart, p - lineStart).contains(u"//"))
            continue;
        // "a.b name" after a dot-less expression is a type; "x.y name"
        // after an operator is not Java and is taken as a type too.
        QString result = type.toString();
        if (array)
            result += QStringLiteral("[]");
        return result;
    }
    return QString();
}

TreeTypeIndex::TreeTypeIndex(const QStringList &arrtree)
{
    m_bySimple.reserve(16384);
    for (qsizetype i = 1; i < arrtree.size(); ++i) {
        const QString &e = arrtree.at(i);
        const qsizetype n = e.size();
        // Classes and interfaces only: ".-p-c", ".-p-i", ".-r-c", ".-r-i".
        if (n < 6 || e.at(n - 5) != u'.' || e.at(n - 4) != u'-' || e.at(n - 2) != u'-')
            continue;
        const QChar access = e.at(n - 3), kind = e.at(n - 1);
        if ((access != u'p' && access != u'r') || (kind != u'c' && kind != u'i'))
            continue;
        const QStringView qualified = QStringView(e).left(n - 5);
        const qsizetype dot = qualified.lastIndexOf(u'.');
        m_bySimple[qualified.mid(dot + 1).toString()].append(qualified.toString());
    }
}

bool treeHasType(const QStringList &arrtree, const QString &qualified)
{
    return typeEntry(arrtree, qualified) > 0;
}

QString qualifyTypeName(const QString &name, const JavaImports &imports,
                        const QStringList &arrtree)
{
    if (name.isEmpty())
        return QString();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        if (treeHasType(arrtree, name))
            return name;
        const QString head = qualifyTypeName(name.left(dot), imports, arrtree);
        if (head.isEmpty())
            return QString();
        const QString whole = head + name.mid(dot);
        return treeHasType(arrtree, whole) ? whole : QString();
    }
    const QString tail = QLatin1Char('.') + name;
    for (const QString &single : imports.singleTypes) {
        if (single.endsWith(tail) || single == name)
            return treeHasType(arrtree, single) ? single : QString();
    }
    for (const QString &pkg : imports.onDemand) {
        if (treeHasType(arrtree, pkg + tail))
            return pkg + tail;
    }
    if (treeHasType(arrtree, QStringLiteral("java.lang") + tail))
        return QStringLiteral("java.lang") + tail;
    if (!imports.package.isEmpty() && treeHasType(arrtree, imports.package + tail))
        return imports.package + tail;
    return QString();
}

QString ResolveTreeKey(QStringView text, int keyStart, const QString &key1,
                       const QStringList &arrtree, const JavaImports &imports,
                       const TreeTypeIndex *types, int window)
{
    if (key1.isEmpty() || !key1.endsWith(QLatin1Char('.')))
        return QString();
    // A key the tree knows as it stands: the qualified completion of old.
    for (const TreeTag &t : kTreeTags)
        if (FindTreeEntry(arrtree, key1 + QLatin1String(t.tag)) > 0)
            return key1;

    const QStringList parts = key1.chopped(1).split(QLatin1Char('.'));
    for (const QString &part : parts)
        if (part.isEmpty())
            return QString();

    QString current;
    const QString declared = findDeclaredType(text, keyStart, parts.first(), window);
    if (!declared.isEmpty()) {
        if (declared.endsWith(QLatin1String("[]")) || isPrimitive(declared))
            return QString(); // arrays and primitives have no members in the tree
        current = qualifyTypeName(declared, imports, arrtree);
    } else {
        current = qualifyTypeName(parts.first(), imports, arrtree);
    }
    if (current.isEmpty())
        return QString();

    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString nested = current + QLatin1Char('.') + parts.at(i);
        if (treeHasType(arrtree, nested)) {
            current = nested;
            continue;
        }
        const QString fieldType = fieldTypeText(arrtree, current, parts.at(i));
        if (fieldType.isEmpty() || fieldType.endsWith(QLatin1String("[]"))
            || isPrimitive(fieldType))
            return QString();
        current = qualifyMemberType(fieldType, current, imports, arrtree, types);
        if (current.isEmpty())
            return QString();
    }
    return current + QLatin1Char('.');
}

QString NameResolver::resolve(const QString &text, int keyStart, const QString &key1,
                              const QStringList &arrtree)
{
    const JavaImports &heads = imports(text);
    const QString resolved =
        ResolveTreeKey(text, keyStart, key1, arrtree, heads, nullptr, kDeclarationWindow);
    // The index places a field's type found nowhere nearer; it is built the
    // first time a chain of names needs it.
    if (!resolved.isEmpty() || key1.count(QLatin1Char('.')) < 2)
        return resolved;
    return ResolveTreeKey(text, keyStart, key1, arrtree, heads, &types(arrtree),
                          kDeclarationWindow);
}

void NameResolver::reset()
{
    m_head.clear();
    m_haveImports = false;
    m_types = TreeTypeIndex();
    m_treeData = nullptr;
    m_treeSize = -1;
}

const JavaImports &NameResolver::imports(const QString &text)
{
    // The head is read again only when the text up to where it ended, and
    // the character after it, are no longer the same.
    const qsizetype n = m_head.size();
    bool same = m_haveImports && text.size() >= n && QStringView(text).left(n) == QStringView(m_head);
    if (same) {
        // The head ended where something other than a declaration began;
        // it still does unless a declaration was typed there.
        const qsizetype next = skipSpaceAndComments(text, n);
        same = !keywordAt(text, next, QLatin1String("import"))
               && !keywordAt(text, next, QLatin1String("package"));
    }
    if (!same) {
        m_imports = readJavaImports(text);
        m_head = text.left(m_imports.end);
        m_haveImports = true;
    }
    return m_imports;
}

const TreeTypeIndex &NameResolver::types(const QStringList &arrtree)
{
    const void *data = arrtree.constData();
    if (data != m_treeData || arrtree.size() != m_treeSize) {
        m_types = TreeTypeIndex(arrtree);
        m_treeData = data;
        m_treeSize = arrtree.size();
    }
    return m_types;
}

} // namespace qln
