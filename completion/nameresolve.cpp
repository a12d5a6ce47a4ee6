#include "completion/nameresolve.h"

#include "completion/javatokens.h"

#include "completion/treesearch.h"
#include "surface/surface.h"

#include <QSet>

#include <algorithm>
#include <functional>
#include <limits>

namespace qln {

using namespace javatokens;

bool hasStructuralChar(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '{' || u == '}' || u == '"' || u == '\'' || u == '/' || u == '*' || u == '\\'
            || u == '\n' || u == '\r')
            return true;
    }
    return false;
}

JavaImports readJavaImports(QStringView t)
{
    JavaImports out;
    qsizetype i = 0;
    const qsizetype n = t.size();
    for (;;) {
        i = skipSpaceAndComments(t, i);
        // The keyword test reads "package" and the character after it.
        out.reach = int(std::min<qsizetype>(i + 8, std::numeric_limits<int>::max()));
        const bool isPackage = keywordAt(t, i, QLatin1String("package"));
        if (!isPackage && !keywordAt(t, i, QLatin1String("import")))
            break;
        const qsizetype semicolon = t.indexOf(QLatin1Char(';'), i);
        if (semicolon < 0) {
            out.reach = std::numeric_limits<int>::max(); // a ';' typed anywhere counts
            break;
        }
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

namespace {

// findDeclaration; firstLineCommented (may be empty) tells whether the
// part of text's first line that lies before text holds "//". Positions in
// the result count in text.
JavaDeclaration findDeclarationIn(QStringView text, int before, QStringView name, int window,
                                  const std::function<bool()> &firstLineCommented)
{
    if (name.isEmpty() || before <= 0)
        return {};
    before = std::min<int>(before, int(text.size()));
    const qsizetype lower = std::max(0, before - std::max(window, 0));
    qsizetype from = before - name.size();
    while (from >= lower) {
        const qsizetype at = text.lastIndexOf(name, from);
        if (at < lower)
            break;
        from = at - 1;
        const qsizetype after = at + name.size();
        if ((at > 0 && isIdentChar(text[at - 1]))
            || (after < text.size() && isIdentChar(text[after])))
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
        QStringView args;
        if (p - 1 >= lower && text[p - 1] == u'>') {
            const qsizetype close = p - 1;
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
            args = text.mid(p + 1, close - p - 1);
            skipBack();
        }
        const qsizetype typeEnd = p;
        while (p > lower && (isIdentChar(text[p - 1]) || text[p - 1] == u'.'))
            --p;
        QStringView type = text.mid(p, typeEnd - p);
        if (type.isEmpty() || type.startsWith(u'.') || type.endsWith(u'.')
            || (type[0] >= u'0' && type[0] <= u'9'))
            continue;
        const bool isVar = type == u"var" && !array && args.isEmpty();
        if (isVar ? next != u'=' && next != u':' : isNonTypeWord(type))
            continue;
        // Words of a comment at the end of a line above ("f(); // reset
        // it" before "c = null;") are no type.
        const qsizetype lineStart = text.lastIndexOf(u'\n', p) + 1;
        if (text.mid(lineStart, p - lineStart).contains(u"//"))
            continue;
        if (lineStart == 0 && firstLineCommented && firstLineCommented())
            continue;
        // "a.b name" after a dot-less expression is a type; "x.y name"
        // after an operator is not Java and is taken as a type too.
        JavaDeclaration d;
        d.type = type.toString();
        if (array)
            d.type += QStringLiteral("[]");
        d.typeArgs = args.trimmed().toString();
        d.at = int(at);
        if (isVar) {
            d.initialiser = int(k + 1);
            d.forEach = next == u':';
        }
        return d;
    }
    return {};
}

} // namespace

JavaDeclaration findDeclaration(QStringView text, int before, QStringView name, int window)
{
    return findDeclarationIn(text, before, name, window, {});
}

QString findDeclaredType(QStringView text, int before, QStringView name, int window)
{
    return findDeclaration(text, before, name, window).type;
}

JavaDeclaration findDeclaration(const Surface &surface, int before, QStringView name, int window)
{
    if (name.isEmpty() || before <= 0)
        return {};
    before = std::min(before, surface.length());
    const int lower = std::max(0, before - std::max(window, 0));
    // The comment test looks back to the start of the line a type is on:
    // the view starts there, unless that line is very long; then it starts
    // at the window and the rest of its first line is searched only when
    // a declaration is found on it.
    const int lineStart = surface.lineIndex(surface.lineFromChar(lower));
    const int from = lower - lineStart > 4096 ? lower : lineStart;
    const int end = std::min(surface.length(), before + 1);
    std::function<bool()> commented;
    if (from > lineStart)
        commented = [&] {
            // A copy: reading through span() again would end the view in use.
            return surface.mid(lineStart, from + 1 - lineStart).contains(QLatin1String("//"));
        };
    JavaDeclaration d =
        findDeclarationIn(surface.span(from, end - from), before - from, name, window, commented);
    if (d.at >= 0)
        d.at += from;
    if (d.initialiser >= 0)
        d.initialiser += from;
    return d;
}

QString findDeclaredType(const Surface &surface, int before, QStringView name, int window)
{
    return findDeclaration(surface, before, name, window).type;
}

void prepareJavaImports(JavaImports &imports, const TreeEntries &arrtree)
{
    imports.singleBySimple.clear();
    for (const QString &single : imports.singleTypes) {
        const QString simple = single.mid(single.lastIndexOf(QLatin1Char('.')) + 1);
        if (!imports.singleBySimple.contains(simple))
            imports.singleBySimple.insert(simple, single);
    }
    // A package holds a type only when some entry starts with its name and
    // a dot; the tree is sorted, so the first such entry follows at once.
    QStringList kept;
    for (const QString &pkg : std::as_const(imports.onDemand)) {
        const QString prefix = pkg + QLatin1Char('.');
        const qsizetype first = arrtree.lowerBound(prefix);
        if (first < arrtree.size() && arrtree.startsWith(first, prefix))
            kept.append(pkg);
    }
    imports.onDemand = kept;
    imports.prepared = true;
}

TreeTypeIndex::TreeTypeIndex(const TreeEntries &arrtree)
{
    m_bySimple.reserve(16384);
    for (qsizetype i = 1; i < arrtree.size(); ++i) {
        const QString e = arrtree.text(i);
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

bool treeHasType(const TreeEntries &arrtree, const QString &qualified)
{
    return typeEntry(arrtree, qualified) > 0;
}

QString qualifyTypeName(const QString &name, const JavaImports &imports, const TreeEntries &arrtree)
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
    if (imports.prepared) {
        const auto single = imports.singleBySimple.constFind(name);
        if (single != imports.singleBySimple.cend())
            return treeHasType(arrtree, *single) ? *single : QString();
    } else {
        for (const QString &single : imports.singleTypes) {
            if (single.endsWith(tail) || single == name)
                return treeHasType(arrtree, single) ? single : QString();
        }
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

namespace {

// ---- Expressions

// What evaluating an expression reads of the document.
class DocumentReader {
public:
    virtual ~DocumentReader() = default;
    virtual QString text(int pos, int length) = 0;
    virtual JavaDeclaration declaration(const QString &name, int before) = 0;
    virtual const ClassOutline &outline(int pos) = 0;
    virtual QStringList ownTree(const ClassOutline &outline, const TreeEntries &arrtree,
                                const QString &superQualified)
    {
        return ownClassTree(outline, arrtree, superQualified);
    }
};

class TextReader final : public DocumentReader {
public:
    TextReader(QStringView text, int window, const QString &package)
        : m_text(text), m_window(window), m_package(package)
    {
    }
    QString text(int pos, int length) override
    {
        pos = std::clamp<int>(pos, 0, int(m_text.size()));
        return m_text.mid(pos, std::clamp<int>(length, 0, int(m_text.size()) - pos)).toString();
    }
    JavaDeclaration declaration(const QString &name, int before) override
    {
        return findDeclaration(m_text, before, name, m_window);
    }
    const ClassOutline &outline(int pos) override
    {
        if (pos != m_outlinePos) {
            m_outline = outlineClassAt(m_text, pos, m_package);
            m_outlinePos = pos;
        }
        return m_outline;
    }

private:
    QStringView m_text;
    int m_window;
    QString m_package;
    ClassOutline m_outline;
    int m_outlinePos = -1;
};

// A type an expression has.
struct JType {
    enum Kind : quint8 { None, Tree, Own, Package, Primitive };
    Kind kind = None;
    QString name;     // Tree: the qualified type; Own: the class; Package: the package
    QStringList args; // generic arguments as written
    int dims = 0;
};

// Limits on one resolution: nesting of parentheses and `var` initialisers
// followed, and declarations looked up.
constexpr int kMaxDepth = 16;
constexpr int kMaxLookups = 32;

// The type of the tree's member text "Type name" or "Type name(...)".
QString treeMemberType(const TreeEntries &arrtree, const QString &owner, const QString &name,
                       bool call, int argc)
{
    const int parent = typeEntry(arrtree, owner);
    if (parent < 0)
        return QString();
    const QString prefix = owner + QLatin1Char('.');
    QString first;
    for (qsizetype i = parent + 1; i < arrtree.size(); ++i) {
        if (!arrtree.startsWith(i, prefix))
            break;
        const QString e = arrtree.text(i);
        const TreeMember member = treeMember(e, prefix.size());
        if (member.kind != (call ? u'm' : u'v') || member.text.contains(u'.'))
            continue;
        const QStringView text = member.text;
        const qsizetype end = call ? text.indexOf(u'(') : text.size();
        if (end < 0 || (!call && text.contains(u'(')))
            continue;
        const qsizetype nameAt = end - name.size();
        if (nameAt < 2 || text.mid(nameAt, name.size()) != name || text[nameAt - 1] != u' ')
            continue;
        QStringView type = text.left(nameAt - 1).trimmed();
        type = type.mid(type.lastIndexOf(u' ') + 1);
        if (!call)
            return type.toString();
        const QStringView params = text.mid(end + 1);
        const int count = params.startsWith(u')') ? 0 : int(params.count(u',')) + 1;
        if (count == argc)
            return type.toString();
        if (first.isEmpty())
            first = type.toString();
    }
    return first;
}

int stripDims(QString &type)
{
    int dims = 0;
    while (type.endsWith(QLatin1String("[]"))) {
        type.chop(2);
        ++dims;
    }
    return dims;
}

class Evaluator {
public:
    Evaluator(DocumentReader &doc, const TreeEntries &tree, const JavaImports &imports,
              const TreeTypeIndex *types, int ownPos)
        : m_doc(doc), m_tree(tree), m_imports(imports), m_types(types), m_ownPos(ownPos)
    {
    }
    JType evaluate(QStringView expr, int before)
    {
        const Tokens t = tokenize(expr);
        return evalRange(t, 0, int(t.list.size()), before);
    }
    const ClassOutline &own() { return m_doc.outline(m_ownPos); }
    JType ownType()
    {
        const ClassOutline &o = own();
        return o.isValid() ? JType{JType::Own, o.qualified, {}, 0} : JType{};
    }
    JType superType();
    // Set when a member's type was left unplaced for want of the index.
    bool neededIndex = false;

private:
    JType evalRange(const Tokens &t, int b, int e, int before);
    JType written(const QString &type, const QString &args);
    JType typeOrPackage(const QString &name);
    JType variable(const QString &name, int before, bool &found);
    JType member(const JType &owner, const QString &name, bool call, int argc);

    DocumentReader &m_doc;
    const TreeEntries &m_tree;
    const JavaImports &m_imports;
    const TreeTypeIndex *m_types;
    int m_ownPos;
    int m_depth = 0;
    int m_lookups = 0;
};

JType Evaluator::written(const QString &type, const QString &args)
{
    QString base = type;
    const int dims = stripDims(base);
    if (base.isEmpty())
        return {};
    if (isPrimitive(base))
        return {JType::Primitive, base, {}, dims};
    const QString q = qualifyTypeName(base, m_imports, m_tree);
    if (!q.isEmpty())
        return {JType::Tree, q, splitTypeArgs(args), dims};
    // The class the key lies in, by its own name.
    const ClassOutline &o = own();
    if (o.isValid() && (base == o.name || base == o.qualified))
        return {JType::Own, o.qualified, {}, dims};
    return {};
}

JType Evaluator::typeOrPackage(const QString &name)
{
    const JType t = written(name, QString());
    if (t.kind != JType::None)
        return t;
    if (FindTreeEntry(m_tree, name + QStringLiteral(".-p-p")) > 0)
        return {JType::Package, name, {}, 0};
    return {};
}

JType Evaluator::superType()
{
    const ClassOutline &o = own();
    if (!o.isValid())
        return {};
    if (!o.superName.isEmpty()) {
        const JType t = written(o.superName, o.superArgs);
        if (t.kind == JType::Tree && t.dims == 0)
            return t;
    }
    // What every class of its kind extends.
    const QString base = o.kind == QLatin1String("enum")     ? QStringLiteral("java.lang.Enum")
                         : o.kind == QLatin1String("record") ? QStringLiteral("java.lang.Record")
                                                             : QStringLiteral("java.lang.Object");
    return treeHasType(m_tree, base) ? JType{JType::Tree, base, {}, 0} : JType{};
}

// The type of the expression that starts a var's initialiser: up to the
// first ";" or "," outside brackets, or a bracket it did not open.
int initialiserEnd(const Tokens &t)
{
    const int n = int(t.list.size());
    for (int k = 0; k < n; ++k) {
        const Token &tok = t.list[k];
        if (tok.kind != Token::Punct)
            continue;
        if (t.match[k] > k) {
            k = t.match[k];
            continue;
        }
        if (tok.is(u';') || tok.is(u',') || tok.is(u')') || tok.is(u']') || tok.is(u'}')
            || tok.is(u'(') || tok.is(u'[') || tok.is(u'{'))
            return k;
    }
    return -1; // it runs past what was read
}

JType Evaluator::variable(const QString &name, int before, bool &found)
{
    found = true;
    if (++m_lookups > kMaxLookups)
        return {};
    const JavaDeclaration d = m_doc.declaration(name, before);
    if (d.type.isEmpty()) {
        found = false;
        return {};
    }
    if (d.type != QLatin1String("var"))
        return written(d.type, d.typeArgs);
    if (m_depth >= kMaxDepth || d.initialiser < 0)
        return {};
    const QString init = m_doc.text(d.initialiser, kChainWindow);
    const Tokens t = tokenize(init);
    const int end = initialiserEnd(t);
    if (end <= 0)
        return {};
    ++m_depth;
    // Names in the initialiser were declared before the variable.
    JType v = evalRange(t, 0, end, d.at);
    --m_depth;
    if (!d.forEach)
        return v;
    // The element of an array or of an Iterable with one type argument.
    if (v.dims > 0) {
        --v.dims;
        return v;
    }
    if (v.kind == JType::Tree && v.args.size() == 1) {
        QString type, args;
        splitWritten(v.args.first(), type, args);
        return written(type, args);
    }
    return {};
}

JType Evaluator::member(const JType &owner, const QString &name, bool call, int argc)
{
    if (owner.dims > 0) {
        if (!call && name == QLatin1String("length"))
            return {JType::Primitive, QStringLiteral("int"), {}, 0};
        return {};
    }
    switch (owner.kind) {
    case JType::Package: {
        if (call)
            return {};
        const QString q = owner.name + QLatin1Char('.') + name;
        if (treeHasType(m_tree, q))
            return {JType::Tree, q, {}, 0};
        if (FindTreeEntry(m_tree, q + QStringLiteral(".-p-p")) > 0)
            return {JType::Package, q, {}, 0};
        return {};
    }
    case JType::Own: {
        const OwnMember *found = nullptr;
        for (const OwnMember &m : own().members)
            if (m.method == call && m.name == name
                && (!found || (m.params == argc && found->params != argc)))
                found = &m;
        if (found)
            return written(found->type, found->typeArgs);
        const JType base = superType();
        return base.kind == JType::Tree ? member(base, name, call, argc) : JType{};
    }
    case JType::Tree: {
        if (!call) {
            const QString nested = owner.name + QLatin1Char('.') + name;
            if (treeHasType(m_tree, nested))
                return {JType::Tree, nested, {}, 0};
        }
        QString type = treeMemberType(m_tree, owner.name, name, call, argc);
        if (type.isEmpty())
            return {};
        const int dims = stripDims(type);
        if (dims == 0 && type == QLatin1String("Object") && !owner.args.isEmpty()) {
            // An erased type argument: the one the owner was declared with,
            // where it is plain which (the only one; of two, a key's first).
            const qsizetype n = owner.args.size();
            const qsizetype which = n == 1   ? 0
                                    : n == 2 ? (name.contains(QLatin1String("Key")) ? 0 : 1)
                                             : -1;
            if (which >= 0 && !owner.args.at(which).isEmpty()) {
                QString argType, argArgs;
                splitWritten(owner.args.at(which), argType, argArgs);
                const JType t = written(argType, argArgs);
                if (t.kind != JType::None)
                    return t;
            }
        }
        if (isPrimitive(type))
            return {JType::Primitive, type, {}, dims};
        const QString q = qualifyMemberType(type, owner.name, m_imports, m_tree, m_types);
        if (q.isEmpty()) {
            neededIndex = neededIndex || !m_types;
            return {};
        }
        return {JType::Tree, q, {}, dims};
    }
    default: return {};
    }
}

bool startsOperand(const Token &t)
{
    return (t.kind == Token::Ident && t.text != u"instanceof") || t.kind == Token::Text
           || t.kind == Token::Char || t.kind == Token::Number || t.is(u'(') || t.is(u'!')
           || t.is(u'~');
}

// Whether tokens [b, e) write a type: names and dots, generic arguments,
// array brackets.
bool isTypeRange(const std::vector<Token> &tok, int b, int e)
{
    if (b >= e || tok[b].kind != Token::Ident
        || (isJavaKeyword(tok[b].text) && !isPrimitive(tok[b].text)))
        return false;
    for (int j = b; j < e; ++j) {
        const Token &t = tok[j];
        if (t.kind == Token::Ident
                ? isJavaKeyword(t.text) && !isPrimitive(t.text) && t.text != u"extends"
                      && t.text != u"super"
                : t.kind != Token::Punct
                      || !(t.is(u'.') || t.is(u'<') || t.is(u'>') || t.is(u',') || t.is(u'?')
                           || t.is(u'[') || t.is(u']') || t.is(u'&')))
            return false;
    }
    return true;
}

int argCount(const Tokens &t, int open, int close)
{
    if (close == open + 1)
        return 0;
    int count = 1;
    for (int j = open + 1; j < close; ++j) {
        if (t.match[j] > j)
            j = t.match[j];
        else if (t.list[j].is(u','))
            ++count;
    }
    return count;
}

JType Evaluator::evalRange(const Tokens &t, int b, int e, int before)
{
    if (b >= e || m_depth > kMaxDepth)
        return {};
    const std::vector<Token> &tok = t.list;
    const auto close = [&](int k) {
        const int m = t.match[k];
        return m > k && m < e ? m : -1;
    };
    int k = b;
    JType cur;
    const Token &first = tok[k];
    if (first.kind == Token::Text) {
        cur = written(QStringLiteral("String"), QString());
        ++k;
    } else if (first.kind == Token::Char || first.kind == Token::Number) {
        cur.kind = JType::Primitive;
        ++k;
    } else if (first.is(u'(')) {
        const int m = close(k);
        if (m < 0)
            return {};
        if (m + 1 < e && startsOperand(tok[m + 1]) && isTypeRange(tok, k + 1, m)) {
            // A cast: what follows it is cast as a whole.
            QString type, args;
            splitWritten(spanOf(tok, k + 1, m), type, args);
            return written(type, args);
        }
        ++m_depth;
        cur = evalRange(t, k + 1, m, before);
        --m_depth;
        k = m + 1;
    } else if (first.kind == Token::Ident) {
        const QString w = first.text.toString();
        if (w == QLatin1String("new")) {
            int j = k + 1;
            const int typeFrom = j;
            while (j < e && tok[j].kind == Token::Ident) {
                ++j;
                if (j + 1 < e && tok[j].is(u'.') && tok[j + 1].kind == Token::Ident)
                    ++j;
                else
                    break;
            }
            if (j == typeFrom)
                return {};
            QString type = withoutBlanks(spanOf(tok, typeFrom, j));
            QString args;
            if (j < e && tok[j].is(u'<')) {
                const int gt = angleEnd(tok, j, e);
                if (gt < 0)
                    return {};
                if (gt > j + 1)
                    args = spanOf(tok, j + 1, gt).toString();
                j = gt + 1;
            }
            if (j < e && tok[j].is(u'[')) {
                while (j < e && tok[j].is(u'[')) {
                    const int m = close(j);
                    if (m < 0)
                        return {};
                    type += QStringLiteral("[]");
                    j = m + 1;
                }
                if (j < e && tok[j].is(u'{')) {
                    const int m = close(j);
                    if (m < 0)
                        return {};
                    j = m + 1;
                }
            } else {
                if (j >= e || !tok[j].is(u'('))
                    return {};
                const int m = close(j);
                if (m < 0)
                    return {};
                j = m + 1;
                if (j < e && tok[j].is(u'{')) { // an anonymous class
                    const int body = close(j);
                    if (body < 0)
                        return {};
                    j = body + 1;
                }
            }
            cur = written(type, args);
            k = j;
        } else if (w == QLatin1String("this")) {
            cur = ownType();
            ++k;
        } else if (w == QLatin1String("super")) {
            cur = superType();
            ++k;
        } else if (isJavaKeyword(w)) {
            return {};
        } else if (k + 1 < e && tok[k + 1].is(u'(')) {
            // A method of the class the key lies in.
            const int m = close(k + 1);
            if (m < 0)
                return {};
            cur = member(ownType(), w, true, argCount(t, k + 1, m));
            k = m + 1;
        } else {
            bool found = false;
            cur = variable(w, before, found);
            if (!found)
                cur = typeOrPackage(w);
            ++k;
        }
    } else {
        return {};
    }

    while (k < e && cur.kind != JType::None) {
        if (tok[k].is(u'.')) {
            ++k;
            if (k < e && tok[k].is(u'<')) { // explicit type arguments of a call
                const int gt = angleEnd(tok, k, e);
                if (gt < 0)
                    return {};
                k = gt + 1;
            }
            if (k >= e || tok[k].kind != Token::Ident)
                return {};
            const QString name = tok[k].text.toString();
            if (name == QLatin1String("class")) {
                cur = written(QStringLiteral("java.lang.Class"), QString());
                ++k;
            } else if (name == QLatin1String("this")) {
                cur = ownType();
                ++k;
            } else if (k + 1 < e && tok[k + 1].is(u'(')) {
                const int m = close(k + 1);
                if (m < 0)
                    return {};
                cur = member(cur, name, true, argCount(t, k + 1, m));
                k = m + 1;
            } else {
                cur = member(cur, name, false, 0);
                ++k;
            }
        } else if (tok[k].is(u'[')) {
            const int m = close(k);
            if (m < 0 || cur.dims == 0)
                return {};
            --cur.dims;
            k = m + 1;
        } else {
            break;
        }
    }
    if (cur.kind == JType::None || k >= e)
        return cur;
    // An operator follows: a "+" with a string on either side makes a
    // string; anything else is not followed.
    bool plus = false;
    bool text =
        cur.kind == JType::Tree && cur.dims == 0 && cur.name == QLatin1String("java.lang.String");
    for (int j = k; j < e; ++j) {
        if (t.match[j] > j) {
            j = t.match[j];
            continue;
        }
        if (tok[j].is(u'+'))
            plus = true;
        else if (tok[j].kind == Token::Text)
            text = true;
        else if (tok[j].is(u'?') || tok[j].is(u'=') || tok[j].is(u'<') || tok[j].is(u'>')
                 || tok[j].is(u'!') || tok[j].is(u'&') || tok[j].is(u'|')
                 || tok[j].word(QLatin1String("instanceof")))
            return {};
    }
    return plus && text ? written(QStringLiteral("String"), QString()) : JType{};
}

// ---- Reading a chain back from the key

// Where the string or character literal that ends with the quote at close
// starts, or -1 (not on that line).
qsizetype literalStart(QStringView p, qsizetype close)
{
    const QChar q = p[close];
    for (qsizetype j = close - 1; j >= 0; --j) {
        if (p[j] == u'\n')
            return -1;
        if (p[j] != q)
            continue;
        qsizetype b = j;
        while (b > 0 && p[b - 1] == u'\\')
            --b;
        if ((j - b) % 2 == 0)
            return j;
    }
    return -1;
}

// The opening bracket of the one at close, or -1.
qsizetype matchBack(QStringView p, qsizetype close)
{
    int depth = 0;
    for (qsizetype i = close; i >= 0; --i) {
        const QChar c = p[i];
        if (c == u')' || c == u']' || c == u'}') {
            ++depth;
        } else if (c == u'(' || c == u'[' || c == u'{') {
            if (--depth == 0)
                return i;
        } else if (c == u'"' || c == u'\'') {
            i = literalStart(p, i);
            if (i < 0)
                return -1;
        }
    }
    return -1;
}

qsizetype angleBack(QStringView p, qsizetype close)
{
    int depth = 0;
    for (qsizetype i = close; i >= 0; --i) {
        const QChar c = p[i];
        if (c == u'>')
            ++depth;
        else if (c == u'<' && --depth == 0)
            return i;
        else if (c == u';' || c == u'{' || c == u'}' || c == u'(' || c == u')' || c == u'=')
            return -1;
    }
    return -1;
}

// Where the chain of names, calls, indexes and literals that ends at the
// end of p starts (`s.trim()`, `list.get(0)`, `new Foo(1)`, `"a"`), or -1
// when there is none or it may go on before p (atStart: p starts the text).
qsizetype chainStart(QStringView p, bool atStart)
{
    qsizetype i = p.size();
    const auto skipBlanks = [&] {
        while (i > 0 && isSpace(p[i - 1]))
            --i;
    };
    const auto wordBefore = [&](qsizetype at) {
        qsizetype s = at;
        while (s > 0 && isIdentChar(p[s - 1]))
            --s;
        return p.mid(s, at - s);
    };
    const auto isName = [](QStringView w) {
        return !w.isEmpty() && (!isJavaKeyword(w) || w == u"this" || w == u"super");
    };
    for (;;) {
        skipBlanks();
        if (i == 0)
            return -1;
        const QChar c = p[i - 1];
        if (c == u')' || c == u']') {
            const qsizetype open = matchBack(p, i - 1);
            if (open < 0)
                return -1;
            i = open;
            if (c == u']')
                continue; // an index: the array before it
            skipBlanks();
            if (i > 0 && p[i - 1] == u'>') { // new Foo<Bar>(
                const qsizetype lt = angleBack(p, i - 1);
                if (lt < 0)
                    return -1;
                i = lt;
                skipBlanks();
            }
            const QStringView w = wordBefore(i);
            if (!isName(w))
                return open; // a parenthesised expression or a cast
            i -= w.size();
        } else if (c == u'"' || c == u'\'') {
            return literalStart(p, i - 1);
        } else if (isIdentChar(c)) {
            const QStringView w = wordBefore(i);
            if (!isName(w))
                return -1;
            i -= w.size();
        } else {
            return -1;
        }
        // After a name: a dot continues the chain backwards, `new` starts it.
        const qsizetype name = i;
        skipBlanks();
        if (i > 0 && p[i - 1] == u'.') {
            --i;
            continue;
        }
        if (wordBefore(i) == u"new")
            return i - 3;
        if (i == 0 && !atStart)
            return -1;
        return name;
    }
}

QString resolveWith(DocumentReader &doc, int keyStart, const QString &key1,
                    const TreeEntries &arrtree, const JavaImports &imports,
                    const TreeTypeIndex *types, bool &neededIndex, QStringList *ownTree)
{
    neededIndex = false;
    if (ownTree)
        ownTree->clear();
    if (key1.isEmpty() || !key1.endsWith(QLatin1Char('.')))
        return QString();
    // A key the tree knows as it stands: the qualified completion of old.
    for (const TreeTag &t : kTreeTags)
        if (FindTreeEntry(arrtree, key1 + QLatin1String(t.tag)) > 0)
            return key1;

    QString expr;
    int before = keyStart;
    if (key1.startsWith(QLatin1Char('.'))) {
        // The key goes on from calls or an index before it.
        const int lower = std::max(0, keyStart - kChainWindow);
        const QString piece = doc.text(lower, keyStart - lower);
        const qsizetype start = chainStart(piece, lower == 0);
        if (start < 0)
            return QString();
        expr = piece.mid(start) + key1.chopped(1);
        before = lower + int(start);
    } else {
        expr = key1.chopped(1);
    }
    Evaluator ev(doc, arrtree, imports, types, keyStart);
    const JType t = ev.evaluate(expr, before);
    neededIndex = ev.neededIndex;
    if (t.dims != 0)
        return QString();
    if (t.kind == JType::Tree)
        return t.name + QLatin1Char('.');
    if (t.kind == JType::Own) {
        if (ownTree) {
            const JType base = ev.superType();
            *ownTree =
                doc.ownTree(ev.own(), arrtree, base.kind == JType::Tree ? base.name : QString());
        }
        return t.name + QLatin1Char('.');
    }
    return QString();
}

// The surface as the resolver reads it: declarations looked up once per
// resolution, the outline kept by the resolver.
class SurfaceReader final : public DocumentReader {
public:
    SurfaceReader(const Surface &surface, NameResolver &resolver, const QString &package)
        : m_surface(surface), m_resolver(resolver), m_package(package)
    {
    }
    QString text(int pos, int length) override
    {
        pos = std::clamp(pos, 0, m_surface.length());
        return m_surface.mid(pos, std::clamp(length, 0, m_surface.length() - pos));
    }
    JavaDeclaration declaration(const QString &name, int before) override
    {
        const auto key = std::make_pair(name, before);
        const auto it = m_declared.constFind(key);
        if (it != m_declared.cend())
            return *it;
        return *m_declared.insert(key,
                                  findDeclaration(m_surface, before, name, kDeclarationWindow));
    }
    const ClassOutline &outline(int pos) override
    {
        return m_resolver.outline(m_surface, pos, m_package);
    }
    QStringList ownTree(const ClassOutline &outline, const TreeEntries &arrtree,
                        const QString &superQualified) override
    {
        return m_resolver.ownTree(outline, arrtree, superQualified);
    }

private:
    const Surface &m_surface;
    NameResolver &m_resolver;
    const QString &m_package;
    QHash<std::pair<QString, int>, JavaDeclaration> m_declared;
};

} // namespace

QString ResolveTreeKey(QStringView text, int keyStart, const QString &key1,
                       const TreeEntries &arrtree, const JavaImports &imports,
                       const TreeTypeIndex *types, int window, QStringList *ownTree)
{
    TextReader doc(text, window, imports.package);
    bool neededIndex = false;
    return resolveWith(doc, keyStart, key1, arrtree, imports, types, neededIndex, ownTree);
}

NameResolver::~NameResolver()
{
    QObject::disconnect(m_edits);
    QObject::disconnect(m_aboutToEdit);
}

QString NameResolver::resolve(const Surface &surface, int keyStart, const QString &key1,
                              const TreeEntries &arrtree)
{
    watch(surface);
    m_ownTree.clear();
    if (key1.isEmpty() || !key1.endsWith(QLatin1Char('.')))
        return QString();
    const JavaImports &heads = imports(surface, arrtree);
    SurfaceReader doc(surface, *this, heads.package);
    bool neededIndex = false;
    const QString resolved =
        resolveWith(doc, keyStart, key1, arrtree, heads, nullptr, neededIndex, &m_ownTree);
    // The index places a member's type found nowhere nearer; it is built
    // the first time a resolution needs it.
    if (!resolved.isEmpty() || !neededIndex)
        return resolved;
    return resolveWith(doc, keyStart, key1, arrtree, heads, &types(arrtree), neededIndex,
                       &m_ownTree);
}

void NameResolver::membersEdited(int pos, int removed, int added)
{
    const bool inBody = m_editInBody;
    m_editInBody = false;
    if (!m_membersValid || pos > m_membersClose)
        return;
    if (!inBody || added > 1024 || hasStructuralChar(m_surface->mid(pos, added))) {
        m_membersValid = false;
        return;
    }
    const int delta = added - removed;
    const auto move = [&](int &p) {
        if (p >= pos)
            p += delta;
    };
    for (auto &b : m_bodies) {
        move(b.first);
        move(b.second);
    }
    move(m_membersClose);
}

QStringList NameResolver::ownTree(const ClassOutline &outline, const TreeEntries &arrtree,
                                  const QString &superQualified)
{
    // Kept while the members read, the class and the tree are the same.
    const QString key = QString::number(m_memberReads) + QLatin1Char(' ') + outline.qualified
                        + QLatin1Char(' ') + superQualified + QLatin1Char(' ')
                        + QString::number(outline.members.size());
    if (key != m_ownTreeKey || m_ownTreeData != arrtree.identity()
        || m_ownTreeSize != arrtree.size()) {
        m_ownTreeKept = ownClassTree(outline, arrtree, superQualified);
        m_ownTreePacked = TreeEntries(m_ownTreeKept);
        m_ownTreeKey = key;
        m_ownTreeData = arrtree.identity();
        m_ownTreeSize = arrtree.size();
    }
    return m_ownTreeKept;
}

const ClassOutline &NameResolver::outline(const Surface &surface, int pos, const QString &package)
{
    if (m_outlinePos == pos && m_outlineRevision == surface.revision())
        return m_outline;
    // From the last state kept before pos: the text before it is as it was.
    const auto after =
        std::upper_bound(m_scans.begin(), m_scans.end(), pos,
                         [](int p, const OutlineScan &scan) { return p < scan.pos; });
    OutlineScan scan = after == m_scans.begin() ? OutlineScan{} : *(after - 1);
    const QStringView text = surface.span(0, surface.length());
    advanceOutlineScan(text, pos, scan, kOutlineStep, [this](const OutlineScan &kept) {
        if (m_scans.empty() || kept.pos > m_scans.back().pos)
            m_scans.push_back(kept);
    });
    if (scan.classes.empty()) {
        m_outline = ClassOutline();
    } else {
        // The members of the class are read again only when its body
        // changed other than inside one of its methods (see watch()).
        const OutlineScan::Open &top = scan.classes.back();
        if (!m_membersValid || m_membersOpen != top.open) {
            ClassOutline bare = top.outline;
            bare.members.clear();
            m_bodies.clear();
            collectMembers(text, top.open, bare, &m_bodies, &m_membersClose);
            m_members = std::move(bare.members);
            m_membersOpen = top.open;
            m_membersValid = true;
            ++m_memberReads;
        }
        QStringList names;
        if (!package.isEmpty())
            names.append(package);
        for (const OutlineScan::Open &c : scan.classes)
            names.append(c.outline.name);
        m_outline = top.outline;
        m_outline.qualified = names.join(QLatin1Char('.'));
        m_outline.members.insert(m_outline.members.end(), m_members.begin(), m_members.end());
    }
    m_outlinePos = pos;
    m_outlineRevision = surface.revision();
    ++m_outlineReads;
    return m_outline;
}

void NameResolver::reset()
{
    m_haveImports = false;
    m_types = TreeTypeIndex();
    m_treeData = nullptr;
    m_treeSize = -1;
    m_ownTree.clear();
    m_outlinePos = -1;
    m_scans.clear();
    m_membersValid = false;
    m_ownTreeKey.clear();
}

void NameResolver::watch(const Surface &surface)
{
    if (m_surface == &surface && m_edits)
        return;
    QObject::disconnect(m_edits);
    m_surface = const_cast<Surface *>(&surface);
    m_haveImports = false;
    m_outlinePos = -1;
    m_scans.clear();
    m_membersValid = false;
    QObject::disconnect(m_aboutToEdit);
    // The members read stay true through an edit inside one of the bodies
    // at the class's level that neither removes nor adds a character that
    // could open or close a brace, string, character or comment, next to
    // none that could (so "/ *" losing its blank counts); they move with
    // it. Edits after the class's end leave them too; any other edit
    // drops them.
    m_aboutToEdit = QObject::connect(
        &surface, &Surface::textAboutToBeReplaced, &surface, [this](int pos, int removed) {
            m_editInBody = false;
            if (!m_membersValid || pos > m_membersClose)
                return;
            const auto body =
                std::upper_bound(m_bodies.begin(), m_bodies.end(), pos,
                                 [](int p, const std::pair<int, int> &b) { return p <= b.first; });
            if (body == m_bodies.begin() || pos + removed > (body - 1)->second)
                return;
            // A neighbour matters where it could make a comment marker or an
            // escape with what the edit brings.
            const auto joins = [](QChar c) { return c == u'/' || c == u'*' || c == u'\\'; };
            m_editInBody = !hasStructuralChar(m_surface->mid(pos, removed))
                           && !joins(m_surface->at(pos - 1))
                           && !joins(m_surface->at(pos + removed));
        });
    // An edit that starts within what reading the head looked at may
    // change it; later edits leave it as it is. The states of the outline
    // scan kept before an edit stay true.
    m_edits = QObject::connect(&surface, &Surface::textReplaced, &surface,
                               [this](int pos, int removed, int, int added, bool) {
                                   if (m_haveImports && pos < m_imports.reach)
                                       m_haveImports = false;
                                   const auto from = std::lower_bound(
                                       m_scans.begin(), m_scans.end(), pos,
                                       [](const OutlineScan &scan, int p) { return scan.pos < p; });
                                   m_scans.erase(from, m_scans.end());
                                   membersEdited(pos, removed, added);
                               });
}

const JavaImports &NameResolver::imports(const Surface &surface, const TreeEntries &arrtree)
{
    if (!m_haveImports) {
        // The head is read from a growing prefix until reading it stopped
        // short of the prefix's end: what follows cannot change it.
        const int length = surface.length();
        for (int prefix = 64 * 1024;; prefix = prefix > length / 4 ? length : prefix * 4) {
            const int n = std::min(prefix, length);
            m_imports = readJavaImports(surface.span(0, n));
            if (n >= length || m_imports.reach <= n)
                break;
        }
        ++m_headReads;
        m_haveImports = true;
        m_importsTree = nullptr;
    }
    if (m_importsTree != arrtree.identity() || m_importsTreeSize != arrtree.size()) {
        // Reading drops nothing; preparing for this tree drops packages of
        // which it holds nothing, so start again from the whole list.
        if (m_importsTree != nullptr) {
            m_haveImports = false;
            return imports(surface, arrtree);
        }
        prepareJavaImports(m_imports, arrtree);
        m_importsTree = arrtree.identity();
        m_importsTreeSize = arrtree.size();
    }
    return m_imports;
}

const TreeTypeIndex &NameResolver::types(const TreeEntries &arrtree)
{
    const void *data = arrtree.identity();
    if (data != m_treeData || arrtree.size() != m_treeSize) {
        m_types = TreeTypeIndex(arrtree);
        m_treeData = data;
        m_treeSize = arrtree.size();
    }
    return m_types;
}

} // namespace qln
