// Class outlines: the members a class of the document declares, read
// from its text, and the tree lines they give the completion box.

#include "completion/javatokens.h"
#include "completion/nameresolve.h"
#include "completion/treesearch.h"

#include <QSet>

#include <algorithm>
#include <functional>

namespace qln {

using namespace javatokens;

namespace {

// ---- Class outlines

// A type as a head of tokens writes it: modifiers and annotations, then
// the type and the declared name.
struct HeadParse {
    bool ok = false;
    QString type;     // as written, "[]" for arrays
    QString simple;   // its last name, "[]" for arrays
    QString typeArgs; // as written
    QString name;
    bool isFinal = false;
    bool isProtected = false;
};

HeadParse parseHead(const std::vector<Token> &h, bool wantName)
{
    HeadParse out;
    const int n = int(h.size());
    int i = 0;
    while (i < n) {
        if (h[i].is(u'@')) {
            i += 2; // the annotation's name and its arguments
            while (i + 1 < n && h[i].is(u'.') && h[i + 1].kind == Token::Ident)
                i += 2;
            if (i < n && h[i].is(u'(')) {
                for (int depth = 0; i < n; ++i) {
                    depth += h[i].is(u'(') ? 1 : h[i].is(u')') ? -1 : 0;
                    if (depth == 0)
                        break;
                }
                ++i;
            }
        } else if (h[i].kind == Token::Ident && isModifier(h[i].text)) {
            out.isFinal = out.isFinal || h[i].text == u"final";
            out.isProtected = out.isProtected || h[i].text == u"protected";
            ++i;
        } else if (h[i].is(u'<')) {
            const int gt = angleEnd(h, i, n); // a method's type parameters
            if (gt < 0)
                return out;
            i = gt + 1;
        } else {
            break;
        }
    }
    if (i >= n || h[i].kind != Token::Ident)
        return out;
    const int typeFrom = i;
    ++i;
    while (i + 1 < n && h[i].is(u'.') && h[i + 1].kind == Token::Ident)
        i += 2;
    const QString base = withoutBlanks(spanOf(h, typeFrom, i));
    if (i < n && h[i].is(u'<')) {
        const int gt = angleEnd(h, i, n);
        if (gt < 0)
            return out;
        if (gt > i + 1)
            out.typeArgs = spanOf(h, i + 1, gt).toString();
        i = gt + 1;
    }
    int dims = 0;
    auto readDims = [&] {
        for (;;) {
            if (i + 1 < n && h[i].is(u'[') && h[i + 1].is(u']')) {
                i += 2;
                ++dims;
            } else if (i + 2 < n && h[i].is(u'.') && h[i + 1].is(u'.') && h[i + 2].is(u'.')) {
                i += 3;
                ++dims;
            } else {
                return;
            }
        }
    };
    readDims();
    if (wantName) {
        if (i >= n || h[i].kind != Token::Ident || isJavaKeyword(h[i].text))
            return out;
        out.name = h[i].text.toString();
        ++i;
        readDims();
    }
    if (i != n || isJavaKeyword(base) != isPrimitive(base))
        return out;
    const QString brackets = QStringLiteral("[]").repeated(dims);
    out.type = base + brackets;
    out.simple = base.mid(base.lastIndexOf(QLatin1Char('.')) + 1) + brackets;
    out.ok = true;
    return out;
}

// The parameters between two parentheses: each as a head of a type and a
// name, split at the commas of the top level.
std::vector<HeadParse> parseParameters(const std::vector<Token> &tokens)
{
    std::vector<HeadParse> out;
    std::vector<Token> one;
    int depth = 0;
    auto flush = [&] {
        if (!one.empty())
            out.push_back(parseHead(one, true));
        one.clear();
    };
    for (const Token &t : tokens) {
        if (t.is(u'<') || t.is(u'('))
            ++depth;
        else if (t.is(u'>') || t.is(u')'))
            --depth;
        if (t.is(u',') && depth == 0)
            flush();
        else
            one.push_back(t);
    }
    flush();
    return out;
}

// Reads tokens up to the ")" that closes an already read "(": the tokens
// between, or false when the text ends first.
bool readParenthesised(Lexer &lex, std::vector<Token> &inside)
{
    inside.clear();
    int depth = 1;
    Token tok;
    while (lex.next(tok)) {
        if (tok.is(u'('))
            ++depth;
        else if (tok.is(u')') && --depth == 0)
            return true;
        inside.push_back(tok);
    }
    return false;
}

void addMethod(ClassOutline &o, const HeadParse &head, const std::vector<HeadParse> &params)
{
    OwnMember m;
    m.name = head.name;
    m.type = head.type;
    m.typeArgs = head.typeArgs;
    m.method = true;
    m.isFinal = head.isFinal;
    m.isProtected = head.isProtected;
    m.params = int(params.size());
    QStringList types;
    for (const HeadParse &p : params)
        types.append(p.ok ? p.simple : QStringLiteral("Object"));
    m.text = head.simple + QLatin1Char(' ') + head.name + QLatin1Char('(')
             + types.join(QStringLiteral(", ")) + QLatin1Char(')');
    o.members.push_back(m);
}

void addField(ClassOutline &o, const HeadParse &head)
{
    if (!head.ok)
        return;
    OwnMember m;
    m.name = head.name;
    m.type = head.type;
    m.typeArgs = head.typeArgs;
    m.isFinal = head.isFinal;
    m.isProtected = head.isProtected;
    m.text = head.simple + QLatin1Char(' ') + head.name;
    o.members.push_back(m);
}

} // namespace

void javatokens::collectMembers(QStringView text, qsizetype open, ClassOutline &o,
                                std::vector<std::pair<int, int>> *bodies, int *close)
{
    if (close)
        *close = int(text.size());
    Lexer lex(text, open + 1);
    Token tok;
    std::vector<Token> head, inside;
    int depth = 0;  // braces within the body
    int parens = 0; // parentheses within an initialiser or enum constant
    bool constants = o.kind == QLatin1String("enum");
    bool expectConstant = true;
    bool annotation = false;
    bool initialiser = false; // after a field's "="
    bool toBody = false;      // after a method's parameters
    HeadParse field;          // the declaration a "," continues
    auto reset = [&] {
        head.clear();
        initialiser = toBody = false;
        parens = 0;
        field = HeadParse{};
    };
    auto angles = [&] {
        int n = 0;
        for (const Token &t : head)
            n += t.is(u'<') ? 1 : t.is(u'>') ? -1 : 0;
        return n;
    };
    while (lex.next(tok)) {
        if (depth > 0) {
            if (tok.is(u'{'))
                ++depth;
            else if (tok.is(u'}') && --depth == 0 && bodies)
                bodies->back().second = int(tok.pos);
            continue;
        }
        if (tok.is(u'}') && parens == 0) {
            if (close)
                *close = int(tok.pos);
            return; // the end of the class
        }
        if (tok.is(u'{')) {
            depth = 1;
            if (bodies)
                bodies->emplace_back(int(tok.pos), int(text.size()));
            if (!initialiser && !constants)
                reset(); // a method's body, a nested type, an initialiser block
            continue;
        }
        if (constants) {
            if (tok.is(u'('))
                ++parens;
            else if (tok.is(u')'))
                --parens;
            else if (parens == 0 && tok.is(u';'))
                constants = false;
            else if (parens == 0 && tok.is(u','))
                expectConstant = true;
            else if (tok.is(u'@'))
                annotation = true; // its name is no constant
            else if (tok.kind == Token::Ident && parens == 0 && annotation)
                annotation = false;
            else if (tok.kind == Token::Ident && parens == 0 && expectConstant) {
                HeadParse c;
                c.ok = c.isFinal = true;
                c.type = c.simple = o.name;
                c.name = tok.text.toString();
                addField(o, c);
                expectConstant = false;
            }
            continue;
        }
        if (toBody) {
            if (tok.is(u';'))
                reset();
            continue;
        }
        if (initialiser) {
            if (tok.is(u'('))
                ++parens;
            else if (tok.is(u')'))
                --parens;
            else if (parens == 0 && tok.is(u';'))
                reset();
            else if (parens == 0 && tok.is(u',')) {
                // The next declarator of the same type.
                initialiser = false;
                head.clear();
            }
            continue;
        }
        if (tok.is(u'(') && !head.empty() && head.back().kind == Token::Ident) {
            const bool annotation = head.size() >= 2 && head[head.size() - 2].is(u'@');
            if (!readParenthesised(lex, inside))
                return;
            if (annotation)
                continue;
            const bool typeHeader = std::any_of(head.begin(), head.end(), [](const Token &t) {
                return t.word(QLatin1String("class")) || t.word(QLatin1String("interface"))
                       || t.word(QLatin1String("enum")) || t.word(QLatin1String("record"));
            });
            const HeadParse h = parseHead(head, true);
            if (h.ok && !typeHeader)
                addMethod(o, h, parseParameters(inside));
            toBody = true; // what follows up to its body or ";" is no member
            continue;
        }
        const bool ends = tok.is(u';') || tok.is(u'=') || (tok.is(u',') && angles() == 0);
        if (!ends) {
            head.push_back(tok);
            continue;
        }
        if (!field.ok || !head.empty()) {
            // The first declarator has the type; later ones a name and
            // perhaps brackets of their own ("int a, b[];").
            HeadParse h = field.ok ? field : parseHead(head, true);
            if (field.ok) {
                h.ok = head[0].kind == Token::Ident && head.size() % 2 == 1;
                for (size_t k = 1; h.ok && k + 1 < head.size(); k += 2) {
                    h.ok = head[k].is(u'[') && head[k + 1].is(u']');
                    h.type += QStringLiteral("[]");
                    h.simple += QStringLiteral("[]");
                }
                h.name = head[0].text.toString();
            }
            addField(o, h);
            if (h.ok && !field.ok)
                field = h;
        }
        head.clear();
        if (tok.is(u';'))
            reset();
        else if (tok.is(u'='))
            initialiser = true;
    }
}

void advanceOutlineScan(QStringView text, int pos, OutlineScan &scan, int every,
                        const std::function<void(const OutlineScan &)> &keep)
{
    pos = std::clamp<int>(pos, 0, int(text.size()));
    Lexer lex(text, scan.pos);
    Token tok;
    std::vector<Token> inside;
    qsizetype nextKeep = scan.pos + every;
    while (lex.next(tok)) {
        if (tok.pos >= pos) {
            scan.pos = int(tok.pos);
            return;
        }
        if (keep && tok.pos >= nextKeep) {
            scan.pos = int(tok.pos);
            keep(scan);
            nextKeep = tok.pos + every;
        }
        const bool afterDot = scan.afterDot;
        scan.afterDot = tok.is(u'.');
        if (tok.is(u'{')) {
            ++scan.depth;
        } else if (tok.is(u'}')) {
            if (!scan.classes.empty() && scan.classes.back().depth == scan.depth)
                scan.classes.pop_back();
            scan.depth = std::max(0, scan.depth - 1);
        } else if (tok.kind == Token::Ident && !afterDot
                   && (tok.text == u"class" || tok.text == u"interface" || tok.text == u"enum"
                       || tok.text == u"record")) {
            Lexer header = lex;
            Token name;
            if (!header.next(name) || name.kind != Token::Ident || isJavaKeyword(name.text))
                continue;
            ClassOutline o;
            o.kind = tok.text.toString();
            o.name = name.text.toString();
            // The header up to its "{": the class it extends, a record's
            // components.
            bool opened = false, first = true;
            int angle = 0;
            Token h;
            while (header.next(h) && h.pos < pos) {
                if (h.is(u'{')) {
                    opened = true;
                    break;
                }
                if (h.is(u';') || h.is(u'}') || h.is(u'=') || h.is(u')'))
                    break;
                if (o.kind == QLatin1String("record") && first && !h.is(u'(') && !h.is(u'<'))
                    break; // "record" used as a name
                first = false;
                if (h.is(u'(')) {
                    if (o.kind != QLatin1String("record") || !readParenthesised(header, inside))
                        break;
                    for (HeadParse c : parseParameters(inside)) {
                        if (!c.ok)
                            continue;
                        c.isFinal = true;
                        addField(o, c);
                        addMethod(o, c, {});
                    }
                } else if (h.is(u'<')) {
                    ++angle;
                } else if (h.is(u'>')) {
                    --angle;
                } else if (angle == 0 && h.word(QLatin1String("extends"))
                           && o.kind == QLatin1String("class")) {
                    // The class extended: names and dots, then its arguments.
                    std::vector<Token> type, args;
                    Token t;
                    Lexer ahead = header;
                    while (ahead.next(t) && t.kind == Token::Ident) {
                        type.push_back(t);
                        header = ahead;
                        if (!ahead.next(t) || !t.is(u'.'))
                            break;
                        type.push_back(t);
                        header = ahead;
                    }
                    ahead = header;
                    if (!type.empty() && ahead.next(t) && t.is(u'<')) {
                        for (int d = 1; ahead.next(t);) {
                            d += t.is(u'<') ? 1 : t.is(u'>') ? -1 : 0;
                            if (d == 0)
                                break;
                            args.push_back(t);
                        }
                    }
                    if (!type.empty())
                        o.superName = withoutBlanks(spanOf(type, 0, int(type.size())));
                    if (!args.empty())
                        o.superArgs = spanOf(args, 0, int(args.size())).toString();
                }
            }
            if (opened) {
                ++scan.depth;
                scan.classes.push_back(OutlineScan::Open{std::move(o), scan.depth, int(h.pos)});
                lex = header;
                scan.afterDot = false;
            }
        }
    }
    scan.pos = int(text.size());
}

ClassOutline outlineOf(QStringView text, const OutlineScan &scan, const QString &package)
{
    if (scan.classes.empty())
        return {};
    QStringList names;
    if (!package.isEmpty())
        names.append(package);
    for (const OutlineScan::Open &c : scan.classes)
        names.append(c.outline.name);
    ClassOutline out = scan.classes.back().outline;
    out.qualified = names.join(QLatin1Char('.'));
    collectMembers(text, scan.classes.back().open, out);
    return out;
}

ClassOutline outlineClassAt(QStringView text, int pos, const QString &package)
{
    OutlineScan scan;
    advanceOutlineScan(text, pos, scan);
    return outlineOf(text, scan, package);
}

QStringList ownClassTree(const ClassOutline &outline, const TreeEntries &arrtree,
                         const QString &superQualified)
{
    QStringList out;
    if (!outline.isValid())
        return out;
    const QString key = outline.qualified + QLatin1Char('.');
    out.append(key + QStringLiteral("-p-c"));
    QSet<QString> own;
    for (const OwnMember &m : outline.members) {
        const QString tag = QStringLiteral("-") + QLatin1Char(m.isProtected ? 'r' : 'p')
                            + QLatin1Char(m.isFinal ? 'f' : '-')
                            + QLatin1Char(m.method ? 'm' : 'v');
        out.append(key + m.text + QLatin1Char('.') + tag);
        own.insert(m.text);
    }
    const int parent = superQualified.isEmpty() ? -1 : typeEntry(arrtree, superQualified);
    if (parent > 0) {
        const QString prefix = superQualified + QLatin1Char('.');
        const QString constructor =
            superQualified.mid(superQualified.lastIndexOf(QLatin1Char('.')) + 1) + QLatin1Char('(');
        for (qsizetype i = parent + 1; i < arrtree.size(); ++i) {
            if (!arrtree.startsWith(i, prefix))
                break;
            const QString e = arrtree.text(i);
            const TreeMember member = treeMember(e, prefix.size());
            if (!member.kind || member.text.contains(u'.') || member.text.startsWith(constructor)
                || own.contains(member.text.toString()))
                continue;
            out.append(key + e.mid(prefix.size()));
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    out.prepend(QString());
    return out;
}

} // namespace qln
