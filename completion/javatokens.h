#pragma once
// The Java source reading that name resolution and class outlines share:
// characters, words, comments skipped, and the tokens of a stretch of code.
// Internal to the completion folder.

#include "completion/nameresolve.h"
#include "completion/treesearch.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

namespace qln::javatokens {

inline bool isIdentChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_'
           || u == '$' || (u > 127 && c.isLetterOrNumber());
}

inline bool isSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\r' || u == '\n' || u == '\f';
}

// Words that can stand before a name without being its type.
inline bool isNonTypeWord(QStringView w)
{
    static const char *const words[] = {
        "return",       "new",       "throw",     "case",     "else",    "instanceof", "import",
        "package",      "goto",      "assert",    "yield",    "break",   "continue",   "do",
        "try",          "finally",   "this",      "super",    "null",    "true",       "false",
        "public",       "private",   "protected", "static",   "final",   "abstract",   "native",
        "synchronized", "transient", "volatile",  "strictfp", "default", "extends",    "implements",
        "throws",       "class",     "interface", "enum",     "record",  "var"};
    for (const char *k : words)
        if (w == QLatin1String(k))
            return true;
    return false;
}

inline bool isPrimitive(QStringView w)
{
    static const char *const words[] = {"int",   "long",   "short",   "byte", "char",
                                        "float", "double", "boolean", "void"};
    for (const char *k : words)
        if (w == QLatin1String(k))
            return true;
    return false;
}

// Skips blanks and comments from i; the position of the next other
// character (or the end).
inline qsizetype skipSpaceAndComments(QStringView t, qsizetype i)
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
inline bool keywordAt(QStringView t, qsizetype i, QLatin1String word)
{
    const qsizetype end = i + word.size();
    return t.mid(i).startsWith(word) && end < t.size() && !isIdentChar(t[end]);
}

// The entry of a class or interface of this qualified name, or -1.
inline int typeEntry(const TreeEntries &arrtree, const QString &qualified)
{
    for (const char *tag : {".-p-c", ".-p-i", ".-r-c", ".-r-i"}) {
        const int at = FindTreeEntry(arrtree, qualified + QLatin1String(tag));
        if (at > 0)
            return at;
    }
    return -1;
}

// A tree entry "Owner.text.-xyK" seen from its owner's prefix ("Owner."):
// the member's text and its kind K, 'm' for a method and 'v' for a
// variable; kind 0 for any other entry.
struct TreeMember {
    QStringView text;
    char16_t kind = 0;
};
inline TreeMember treeMember(QStringView entry, qsizetype prefixSize)
{
    const qsizetype n = entry.size();
    if (n < prefixSize + 6 || entry.at(n - 5) != u'.' || entry.at(n - 4) != u'-')
        return {};
    const char16_t kind = entry.at(n - 1).unicode();
    if (kind != u'm' && kind != u'v')
        return {};
    return {entry.mid(prefixSize, n - 5 - prefixSize), kind};
}

// The package part of a qualified type name: the longest prefix the tree
// holds as a package.
inline QString packageOf(const TreeEntries &arrtree, const QString &qualified)
{
    for (qsizetype dot = qualified.lastIndexOf(QLatin1Char('.')); dot > 0;
         dot = qualified.lastIndexOf(QLatin1Char('.'), dot - 1)) {
        const QString prefix = qualified.left(dot);
        if (FindTreeEntry(arrtree, prefix + QStringLiteral(".-p-p")) > 0)
            return prefix;
    }
    return QString();
}

// A field's type, given by its simple name, seen from the type that has
// the field: a type nested in it or in a type enclosing it, a type of its
// package, java.lang, the document's imports, then the one type of that
// name in the whole tree (or the first of several).
inline QString qualifyMemberType(const QString &simple, const QString &owner,
                                 const JavaImports &imports, const TreeEntries &arrtree,
                                 const TreeTypeIndex *types)
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

// ---- Tokens

inline bool isJavaKeyword(QStringView w)
{
    static const char *const words[] = {
        "abstract", "assert", "boolean",    "break",     "byte",       "case",      "catch",
        "char",     "class",  "const",      "continue",  "default",    "do",        "double",
        "else",     "enum",   "extends",    "final",     "finally",    "float",     "for",
        "goto",     "if",     "implements", "import",    "instanceof", "int",       "interface",
        "long",     "native", "new",        "package",   "private",    "protected", "public",
        "return",   "short",  "static",     "strictfp",  "super",      "switch",    "synchronized",
        "this",     "throw",  "throws",     "transient", "try",        "void",      "volatile",
        "while",    "true",   "false",      "null"};
    for (const char *k : words)
        if (w == QLatin1String(k))
            return true;
    return false;
}

inline bool isModifier(QStringView w)
{
    static const char *const words[] = {
        "public",       "protected", "private",  "static",   "final",   "abstract", "native",
        "synchronized", "transient", "volatile", "strictfp", "default", "sealed"};
    for (const char *k : words)
        if (w == QLatin1String(k))
            return true;
    return false;
}

struct Token {
    enum Kind : quint8 { Ident, Punct, Text, Char, Number };
    Kind kind = Punct;
    QStringView text;
    qsizetype pos = 0;
    bool is(char16_t c) const { return kind == Punct && !text.isEmpty() && text.front() == c; }
    bool word(QLatin1String w) const { return kind == Ident && text == w; }
};

// Java's tokens of a text, blanks and comments passed over. A string, a
// text block or a character literal is one token; an unclosed one ends at
// the line's end (a text block at the text's end).
class Lexer {
public:
    explicit Lexer(QStringView t, qsizetype from = 0) : m_t(t), m_i(from) {}
    bool next(Token &tok);

private:
    QStringView m_t;
    qsizetype m_i;
};

inline bool Lexer::next(Token &tok)
{
    const QStringView t = m_t;
    const qsizetype n = t.size();
    qsizetype i = skipSpaceAndComments(t, m_i);
    if (i >= n) {
        m_i = n;
        return false;
    }
    const qsizetype start = i;
    const QChar c = t[i];
    const auto isDigit = [](QChar d) { return d >= u'0' && d <= u'9'; };
    if (isDigit(c) || (c == u'.' && i + 1 < n && isDigit(t[i + 1]))) {
        for (++i; i < n; ++i) {
            const QChar d = t[i];
            const QChar p = t[i - 1];
            const bool exponentSign =
                (d == u'+' || d == u'-') && (p == u'e' || p == u'E' || p == u'p' || p == u'P');
            if (!isIdentChar(d) && d != u'.' && !exponentSign)
                break;
        }
        tok.kind = Token::Number;
    } else if (isIdentChar(c)) {
        while (i < n && isIdentChar(t[i]))
            ++i;
        tok.kind = Token::Ident;
    } else if (c == u'"' && t.mid(i, 3) == u"\"\"\"") {
        i += 3;
        for (;;) {
            const qsizetype close = t.indexOf(u"\"\"\"", i);
            if (close < 0) {
                i = n;
                break;
            }
            qsizetype b = close;
            while (b > i && t[b - 1] == u'\\')
                --b;
            if ((close - b) % 2 == 0) {
                i = close + 3;
                break;
            }
            i = close + 1; // an escaped quote closes nothing
        }
        tok.kind = Token::Text;
    } else if (c == u'"' || c == u'\'') {
        for (++i; i < n && t[i] != c && t[i] != u'\n'; ++i)
            if (t[i] == u'\\')
                ++i;
        i = std::min(i + (i < n && t[i] == c ? 1 : 0), n);
        tok.kind = c == u'"' ? Token::Text : Token::Char;
    } else {
        ++i;
        tok.kind = Token::Punct;
    }
    tok.text = t.mid(start, i - start);
    tok.pos = start;
    m_i = i;
    return true;
}

// The tokens of an expression, each bracket with the index of its partner
// (-1 when it has none).
struct Tokens {
    std::vector<Token> list;
    std::vector<int> match;
};

inline Tokens tokenize(QStringView t)
{
    Tokens out;
    Lexer lex(t);
    Token tok;
    std::vector<int> open;
    while (lex.next(tok)) {
        const int k = int(out.list.size());
        out.list.push_back(tok);
        out.match.push_back(-1);
        if (tok.kind != Token::Punct)
            continue;
        const char16_t c = tok.text.front().unicode();
        if (c == u'(' || c == u'[' || c == u'{') {
            open.push_back(k);
        } else if (c == u')' || c == u']' || c == u'}') {
            const char16_t want = c == u')' ? u'(' : c == u']' ? u'[' : u'{';
            if (!open.empty() && out.list[open.back()].text.front() == want) {
                out.match[open.back()] = k;
                out.match[k] = open.back();
                open.pop_back();
            }
        }
    }
    return out;
}

// The text from token b up to and including token e - 1 (b < e).
inline QStringView spanOf(const std::vector<Token> &tok, int b, int e)
{
    const QChar *from = tok[b].text.data();
    const QChar *to = tok[e - 1].text.data() + tok[e - 1].text.size();
    return QStringView(from, to - from);
}

inline QString withoutBlanks(QStringView t)
{
    QString out;
    out.reserve(t.size());
    for (const QChar c : t)
        if (!isSpace(c))
            out += c;
    return out;
}

// The ">" that closes the "<" at lt, or -1 (a bracket, brace, ";" or "="
// before it ends the search).
inline int angleEnd(const std::vector<Token> &tok, int lt, int e)
{
    int depth = 0;
    for (int j = lt; j < e; ++j) {
        const Token &t = tok[j];
        if (t.kind != Token::Punct)
            continue;
        if (t.is(u'<'))
            ++depth;
        else if (t.is(u'>') && --depth == 0)
            return j;
        else if (t.is(u'(') || t.is(u')') || t.is(u'{') || t.is(u'}') || t.is(u';') || t.is(u'='))
            return -1;
    }
    return -1;
}

// The generic arguments of a type as written, at their top level: "?" and
// "? super X" give "", "? extends X" gives X.
inline QStringList splitTypeArgs(QStringView args)
{
    QStringList out;
    if (args.trimmed().isEmpty())
        return out;
    int depth = 0;
    qsizetype from = 0;
    auto add = [&](QStringView a) {
        a = a.trimmed();
        if (a.startsWith(u'?')) {
            a = a.mid(1).trimmed();
            a = a.startsWith(u"extends") ? a.mid(7).trimmed() : QStringView();
        }
        out.append(a.toString());
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QChar c = args[i];
        if (c == u'<')
            ++depth;
        else if (c == u'>')
            --depth;
        else if (c == u',' && depth == 0) {
            add(args.mid(from, i - from));
            from = i + 1;
        }
    }
    add(args.mid(from));
    return out;
}

// "List<Integer>[]" -> type "List[]", args "Integer".
inline void splitWritten(QStringView written, QString &type, QString &args)
{
    const qsizetype lt = written.indexOf(u'<');
    const qsizetype gt = written.lastIndexOf(u'>');
    if (lt < 0 || gt < lt) {
        type = withoutBlanks(written);
        args.clear();
        return;
    }
    type = withoutBlanks(written.left(lt)) + withoutBlanks(written.mid(gt + 1));
    args = written.mid(lt + 1, gt - lt - 1).trimmed().toString();
}

// The members declared in the body that opens at `open`, added to o's.
// bodies (may be null) receives the braces within it at its own level
// (those of methods, initialisers and nested types: "{" and "}" positions,
// the text's end for one left open), close where it ends.
void collectMembers(QStringView text, qsizetype open, ClassOutline &o,
                    std::vector<std::pair<int, int>> *bodies = nullptr, int *close = nullptr);

} // namespace qln::javatokens
