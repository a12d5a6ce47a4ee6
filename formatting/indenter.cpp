#include "formatting/indenter.h"

#include "base/editorstate.h"
#include "base/prompter.h"
#include "formatting/colorizeall.h"
#include "formatting/commandhost.h"
#include "formatting/formatrtf.h"
#include "settings/preferences.h"
#include "surface/surface.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace qln {

IndentSyntax IndentSyntax::fromPreferences(const Preferences &prefs)
{
    IndentSyntax s;
    s.unit = prefs.indentstring;
    s.blockBegin = prefs.blockBeginning;
    s.blockEnd = prefs.blockEnding;
    s.lineComment = prefs.singleLineComment;
    s.commentStart = prefs.multiLineCommentStart;
    s.commentEnd = prefs.multiLineCommentEnd;
    s.string1 = prefs.string1;
    s.string2 = prefs.string2;
    s.ignore = prefs.ignoreString;
    return s;
}

IndentSyntax IndentSyntax::java(const QString &unit)
{
    IndentSyntax s;
    s.unit = unit;
    return s;
}

namespace {

// --- reading a line ------------------------------------------------------------

enum class Lex : quint8 { Code, Comment, TextBlock };

enum class Sym : quint8 {
    Word,
    Number,
    Literal,
    LineComment,
    Comment,
    CommentOpen, // comments: not significant
    BlockOpen,
    BlockClose,
    ParenOpen,
    ParenClose,
    BracketOpen,
    BracketClose,
    Semicolon,
    Comma,
    Colon,
    Question,
    Dot,
    Arrow,
    Assign,
    Binary,
    Lt,
    Gt,
    IncDec,
    At,
    Other,
    If,
    Else,
    For,
    While,
    Do,
    Switch,
    Case,
    Default,
    Try,
    Catch,
    Finally,
    Synchronized,
    Return,
    New,
    Extends,
    Implements,
    Throws,
    Permits,
    Instanceof,
    // What a statement is, besides its first keyword.
    None,
    Label,
    Arrowed,
};

struct Token {
    int pos; // in the line
    int len;
    Sym sym;
};

bool significant(Sym s)
{
    return s != Sym::LineComment && s != Sym::Comment && s != Sym::CommentOpen;
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r')
           || c == QLatin1Char('\f');
}

bool isWordChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 128)
        return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')
               || u == '_' || u == '$';
    return c.isLetterOrNumber() || c.isMark() || c.isSurrogate();
}

Sym keywordOf(QStringView w)
{
    struct Entry {
        QLatin1StringView text;
        Sym sym;
    };
    static const Entry table[] = {
        {QLatin1StringView("if"), Sym::If},
        {QLatin1StringView("else"), Sym::Else},
        {QLatin1StringView("for"), Sym::For},
        {QLatin1StringView("while"), Sym::While},
        {QLatin1StringView("do"), Sym::Do},
        {QLatin1StringView("switch"), Sym::Switch},
        {QLatin1StringView("case"), Sym::Case},
        {QLatin1StringView("default"), Sym::Default},
        {QLatin1StringView("try"), Sym::Try},
        {QLatin1StringView("catch"), Sym::Catch},
        {QLatin1StringView("finally"), Sym::Finally},
        {QLatin1StringView("synchronized"), Sym::Synchronized},
        {QLatin1StringView("return"), Sym::Return},
        {QLatin1StringView("new"), Sym::New},
        {QLatin1StringView("extends"), Sym::Extends},
        {QLatin1StringView("implements"), Sym::Implements},
        {QLatin1StringView("throws"), Sym::Throws},
        {QLatin1StringView("permits"), Sym::Permits},
        {QLatin1StringView("instanceof"), Sym::Instanceof},
    };
    // Keywords are lower-case ASCII of 2 to 12 letters.
    if (w.size() < 2 || w.size() > 12 || w.front().unicode() < 'a' || w.front().unicode() > 'z')
        return Sym::Word;
    for (const Entry &e : table)
        if (e.text.size() == w.size() && e.text.front() == w.front() && w == e.text)
            return e.sym;
    return Sym::Word;
}

// Java's operators, longest first within each first character.
int operatorAt(QStringView s, int i, Sym &sym)
{
    const int n = int(s.size());
    auto at = [&](int k) { return i + k < n ? s[i + k].unicode() : char16_t(0); };
    const char16_t c = at(0), c1 = at(1), c2 = at(2), c3 = at(3);
    switch (c) {
    case '(': sym = Sym::ParenOpen; return 1;
    case ')': sym = Sym::ParenClose; return 1;
    case '[': sym = Sym::BracketOpen; return 1;
    case ']': sym = Sym::BracketClose; return 1;
    case '{': sym = Sym::BlockOpen; return 1;
    case '}': sym = Sym::BlockClose; return 1;
    case ';': sym = Sym::Semicolon; return 1;
    case ',': sym = Sym::Comma; return 1;
    case '@': sym = Sym::At; return 1;
    case '?': sym = Sym::Question; return 1;
    case '~': sym = Sym::Other; return 1;
    case ':':
        if (c1 == ':') {
            sym = Sym::Other;
            return 2;
        }
        sym = Sym::Colon;
        return 1;
    case '.':
        if (c1 == '.' && c2 == '.') {
            sym = Sym::Other;
            return 3;
        }
        sym = Sym::Dot;
        return 1;
    case '=': sym = c1 == '=' ? Sym::Binary : Sym::Assign; return c1 == '=' ? 2 : 1;
    case '!': sym = c1 == '=' ? Sym::Binary : Sym::Other; return c1 == '=' ? 2 : 1;
    case '-':
        if (c1 == '>') {
            sym = Sym::Arrow;
            return 2;
        }
        [[fallthrough]];
    case '+':
        if (c1 == c) {
            sym = Sym::IncDec;
            return 2;
        }
        sym = Sym::Binary;
        return c1 == '=' ? 2 : 1;
    case '&':
    case '|': sym = Sym::Binary; return c1 == c || c1 == '=' ? 2 : 1;
    case '*':
    case '/':
    case '%':
    case '^': sym = Sym::Binary; return c1 == '=' ? 2 : 1;
    case '<':
        if (c1 == '<') {
            sym = Sym::Binary;
            return c2 == '=' ? 3 : 2;
        }
        sym = c1 == '=' ? Sym::Binary : Sym::Lt;
        return c1 == '=' ? 2 : 1;
    case '>':
        if (c1 == '>' && c2 == '>') {
            sym = c3 == '=' ? Sym::Binary : Sym::Gt;
            return c3 == '=' ? 4 : 3;
        }
        if (c1 == '>') {
            sym = c2 == '=' ? Sym::Binary : Sym::Gt;
            return c2 == '=' ? 3 : 2;
        }
        sym = c1 == '=' ? Sym::Binary : Sym::Gt;
        return c1 == '=' ? 2 : 1;
    default: sym = Sym::Other; return 1;
    }
}

bool startsWithAt(QStringView s, int i, const QString &needle)
{
    return !needle.isEmpty() && i + needle.size() <= s.size()
           && s.mid(i, needle.size()) == QStringView(needle);
}

bool startsWithAnyCase(QStringView s, int i, const QString &needle)
{
    return !needle.isEmpty() && i + needle.size() <= s.size()
           && s.mid(i, needle.size()).compare(needle, Qt::CaseInsensitive) == 0;
}

// Splits lines into tokens with the syntax's strings and Java's operators.
struct Lexer {
    IndentSyntax syntax;
    QString escape, textBlock;

    explicit Lexer(const IndentSyntax &s)
        : syntax(s), escape(EscapeOf(s.ignore, s.string1, s.string2)),
          textBlock(s.string1.repeated(3))
    {
        if (syntax.ignore.contains(QLatin1Char('\r')) || syntax.ignore.contains(QLatin1Char('\n')))
            syntax.ignore.clear();
    }

    // The length of the inert run (ignore string, or escape and the
    // character after it) at i, or 0.
    int inertAt(QStringView s, int i) const
    {
        if (startsWithAnyCase(s, i, syntax.ignore))
            return int(syntax.ignore.size());
        if (!escape.isEmpty() && i + escape.size() < s.size() && startsWithAnyCase(s, i, escape))
            return int(escape.size()) + 1;
        return 0;
    }
    // Where `close` ends a literal or text block from i, outside inert
    // runs: the position just after it, or -1.
    int closeOf(QStringView s, int i, const QString &close) const
    {
        const int n = int(s.size());
        while (i < n) {
            if (const int run = inertAt(s, i)) {
                i += run;
            } else if (startsWithAt(s, i, close)) {
                return i + int(close.size());
            } else {
                ++i;
            }
        }
        return -1;
    }
    // A block string matches anywhere in code, in any letter case, but one
    // made of word characters only as a whole word.
    bool blockStringAt(QStringView s, int i, const QString &b) const
    {
        if (!startsWithAnyCase(s, i, b))
            return false;
        if (!isWordChar(b.back()))
            return true;
        const int after = i + int(b.size());
        return after >= s.size() || !isWordChar(s[after]);
    }

    // Reads s from i in `state`; appends the tokens, returns the state at
    // the end of the line.
    Lex read(QStringView s, int i, Lex state, std::vector<Token> &out) const
    {
        const int n = int(s.size());
        while (i < n) {
            if (state == Lex::Comment) {
                const qsizetype e =
                    syntax.commentEnd.isEmpty() ? -1 : s.indexOf(syntax.commentEnd, i);
                if (e < 0)
                    return state;
                i = int(e + syntax.commentEnd.size());
                state = Lex::Code;
                continue;
            }
            if (state == Lex::TextBlock) {
                const int e = closeOf(s, i, textBlock);
                if (e < 0)
                    return state;
                i = e;
                state = Lex::Code;
                continue;
            }
            const QChar c = s[i];
            if (isBlank(c)) {
                ++i;
                continue;
            }
            if (startsWithAt(s, i, syntax.lineComment)) {
                out.push_back(Token{i, n - i, Sym::LineComment});
                return state;
            }
            if (startsWithAt(s, i, syntax.commentStart) && !syntax.commentEnd.isEmpty()) {
                const qsizetype e = s.indexOf(syntax.commentEnd, i + syntax.commentStart.size());
                if (e < 0) {
                    out.push_back(Token{i, n - i, Sym::CommentOpen});
                    return Lex::Comment;
                }
                const int end = int(e + syntax.commentEnd.size());
                out.push_back(Token{i, end - i, Sym::Comment});
                i = end;
                continue;
            }
            if (blockStringAt(s, i, syntax.blockBegin)) {
                out.push_back(Token{i, int(syntax.blockBegin.size()), Sym::BlockOpen});
                i += int(syntax.blockBegin.size());
                continue;
            }
            if (blockStringAt(s, i, syntax.blockEnd)) {
                out.push_back(Token{i, int(syntax.blockEnd.size()), Sym::BlockClose});
                i += int(syntax.blockEnd.size());
                continue;
            }
            // A text block opens where only blanks follow its delimiter.
            if (!syntax.string1.isEmpty() && startsWithAt(s, i, textBlock)
                && std::all_of(s.begin() + i + textBlock.size(), s.end(), isBlank)) {
                out.push_back(Token{i, int(textBlock.size()), Sym::Literal});
                i += int(textBlock.size());
                state = Lex::TextBlock;
                continue;
            }
            const QString *delimiter = startsWithAt(s, i, syntax.string1)   ? &syntax.string1
                                       : startsWithAt(s, i, syntax.string2) ? &syntax.string2
                                                                            : nullptr;
            if (delimiter) {
                const int e = closeOf(s, i + int(delimiter->size()), *delimiter);
                const int end = e < 0 ? n : e; // a literal ends with its line
                out.push_back(Token{i, end - i, Sym::Literal});
                i = end;
                continue;
            }
            const char16_t u = c.unicode();
            const bool digit = u >= '0' && u <= '9';
            if (digit || (u == '.' && i + 1 < n && s[i + 1].isDigit())) {
                int j = i + 1;
                while (j < n && (isWordChar(s[j]) || s[j] == QLatin1Char('.')))
                    ++j;
                out.push_back(Token{i, j - i, Sym::Number});
                i = j;
                continue;
            }
            if (isWordChar(c)) {
                int j = i + 1;
                while (j < n && isWordChar(s[j]))
                    ++j;
                out.push_back(Token{i, j - i, keywordOf(s.mid(i, j - i))});
                i = j;
                continue;
            }
            Sym sym;
            const int len = operatorAt(s, i, sym);
            out.push_back(Token{i, len, sym});
            i += len;
        }
        return state;
    }
};

// The tokens that end a line in mid-statement, and those that start a line
// continuing one.
bool endsUnfinished(Sym s)
{
    switch (s) {
    case Sym::Binary:
    case Sym::Assign:
    case Sym::Lt:
    case Sym::Question:
    case Sym::Colon:
    case Sym::Dot:
    case Sym::Arrow:
    case Sym::Instanceof: return true;
    default: return false;
    }
}

bool startsContinuation(Sym s)
{
    switch (s) {
    case Sym::Binary:
    case Sym::Assign:
    case Sym::Gt:
    case Sym::Question:
    case Sym::Colon:
    case Sym::Dot:
    case Sym::Arrow:
    case Sym::Instanceof:
    case Sym::ParenOpen:
    case Sym::Extends:
    case Sym::Implements:
    case Sym::Throws:
    case Sym::Permits: return true;
    default: return false;
    }
}

bool isHeader(Sym s)
{
    switch (s) {
    case Sym::If:
    case Sym::For:
    case Sym::While:
    case Sym::Switch:
    case Sym::Catch:
    case Sym::Synchronized:
    case Sym::Try: return true;
    default: return false;
    }
}

bool isWordSym(Sym s)
{
    return s == Sym::Word || (s >= Sym::If && s <= Sym::Instanceof);
}

// The text a column of a line lies under: the line's first `count`
// characters after its indentation, each a blank but for tabs.
QString blanksUnder(QStringView content, int count)
{
    QString out(count, QLatin1Char(' '));
    for (int i = 0; i < count && i < content.size(); ++i)
        if (content[i] == QLatin1Char('\t'))
            out[i] = QLatin1Char('\t');
    return out;
}

} // namespace

// --- the indenter's state ---------------------------------------------------------

struct LineIndenter::State {
    // A header without braces (if, else, for, while, do) whose one
    // statement is still to come.
    struct Header {
        QString indent;
        Sym kw;
    };
    // An if whose statement has ended: an else may still follow it.
    struct EndedIf {
        QString indent;
        std::vector<Header> outside; // the headers pending around it
    };
    // The statement being read in one block.
    struct Statement {
        std::vector<Header> pending;
        bool open = false; // a statement has started and not ended
        QString indent;    // of its first line
        Sym kw = Sym::None;
        int tokens = 0;
        bool headerParen = false; // its header's parenthesis has opened
        bool headerDone = false;  // its header is complete
        bool continues = false;   // the line ended in mid-expression
        bool expression = false;  // a brace here opens a value, not a block
    };
    struct Bracket {
        Sym kind;       // ParenOpen, BracketOpen or BlockOpen
        QString indent; // of the line the bracket opened on (a block: its statement's)
        // Level with the first token after it: that many columns of the
        // line's content, as blanks (alignHead, with the tabs, when the
        // content before it holds tabs).
        int alignColumns = -1;
        QString alignHead;
        bool header = false;     // the parenthesis of an if, for, ... header
        bool switchHead = false; // the parenthesis after "switch"
        bool isSwitch = false;
        bool expression = false;
        Sym kw = Sym::None;
        Statement saved;             // the statement around a block
        std::vector<Header> outside; // its pending headers when the block opened
    };

    explicit State(const IndentSyntax &syntax) : lexer(syntax), unit(syntax.unit) {}

    Lexer lexer;
    QString unit;
    Lex lex = Lex::Code;
    std::vector<Bracket> stack;
    Statement st;
    std::optional<EndedIf> endedIf; // the innermost if just ended
    bool afterSwitchHead = false;   // the last token closed a switch's parenthesis
    // The block comment being read: the indentation its first line had and
    // now has, each with what lies before the comment's "/" on that line.
    QString commentBefore, commentNow;
    std::vector<Token> tokens, sig; // reused from line to line

    const Bracket *top() const { return stack.empty() ? nullptr : &stack.back(); }
    bool inParens() const
    {
        const Bracket *t = top();
        return t && t->kind != Sym::BlockOpen;
    }

    void endStatement(const EndedIf *own)
    {
        endedIf.reset();
        if (own) {
            endedIf = *own;
        } else {
            for (size_t k = st.pending.size(); k-- > 0;) {
                if (st.pending[k].kw == Sym::If) {
                    st.pending.resize(k + 1);
                    const QString indent = st.pending.back().indent;
                    st.pending.pop_back();
                    endedIf = EndedIf{indent, std::move(st.pending)};
                    break;
                }
            }
        }
        st = Statement{};
    }

    // Where a code line goes whose significant tokens are `sig`.
    QString indentFor(const std::vector<Token> &sig) const
    {
        const Sym first = sig.empty() ? Sym::None : sig.front().sym;
        const Bracket *t = top();
        if (t && t->kind != Sym::BlockOpen) {
            if (first == Sym::ParenClose || first == Sym::BracketClose)
                return t->indent;
            if (t->alignColumns >= 0)
                return t->indent
                       + (t->alignHead.isNull() ? QString(t->alignColumns, QLatin1Char(' '))
                                                : t->alignHead);
            return t->indent + unit;
        }
        if (first == Sym::BlockClose && t)
            return t->indent;
        const bool label = first == Sym::Case
                           || (first == Sym::Default && sig.size() > 1
                               && (sig[1].sym == Sym::Colon || sig[1].sym == Sym::Arrow));
        if (t && t->isSwitch && !st.open && label)
            return t->indent + unit;
        if (first == Sym::Else && endedIf && !st.open)
            return endedIf->indent;
        if (first == Sym::BlockOpen && !st.pending.empty() && !st.open)
            return st.pending.back().indent;
        if (st.open && (st.continues || startsContinuation(first)))
            return st.indent + unit;
        const QString block = t ? t->indent + (t->isSwitch ? unit + unit : unit) : QString();
        return st.pending.empty() ? block : block + unit.repeated(qsizetype(st.pending.size()));
    }

    // Moves on past a line placed at `indent` whose content (after the
    // indentation) is `content`, with these tokens (positions in content).
    void feed(QStringView content, const std::vector<Token> &all, const std::vector<Token> &sig,
              const QString &indent)
    {
        const qsizetype firstTab = content.indexOf(QLatin1Char('\t'));
        for (size_t idx = 0; idx < sig.size(); ++idx) {
            const Token &tok = sig[idx];
            const Sym sym = tok.sym;
            const bool parens = inParens();
            const bool switchBlock = afterSwitchHead;
            afterSwitchHead = false;
            if (!parens) {
                if (!st.open && sym != Sym::BlockClose && sym != Sym::Semicolon) {
                    std::vector<Header> pending = std::move(st.pending);
                    if (sym == Sym::Else && endedIf)
                        pending = std::move(endedIf->outside);
                    else if (sym == Sym::BlockOpen && !pending.empty())
                        pending.pop_back();
                    endedIf.reset();
                    st = Statement{};
                    st.pending = std::move(pending);
                    st.open = true;
                    st.indent = indent;
                    st.kw = isWordSym(sym) ? sym : Sym::None;
                    if (sym == Sym::Else) {
                        if (idx + 1 < sig.size() && sig[idx + 1].sym == Sym::If)
                            st.kw = Sym::If;
                        else
                            st.headerDone = true;
                    } else if (sym == Sym::Do) {
                        st.headerDone = true;
                    } else if ((sym == Sym::Case || sym == Sym::Default) && top()
                               && top()->isSwitch) {
                        st.kw = Sym::Label;
                    }
                } else if (st.headerDone && sym != Sym::BlockOpen && sym != Sym::Semicolon
                           && sym != Sym::BlockClose) {
                    st.headerDone = false; // the header's statement is on its line
                }
                ++st.tokens;
            }
            switch (sym) {
            case Sym::ParenOpen:
            case Sym::BracketOpen: {
                Bracket b;
                b.kind = sym;
                b.indent = indent;
                // Level with the first thing after it on the line, unless
                // that is a line comment.
                const auto next =
                    std::upper_bound(all.begin(), all.end(), tok.pos,
                                     [](int pos, const Token &t) { return pos < t.pos; });
                if (next != all.end() && next->sym != Sym::LineComment) {
                    b.alignColumns = next->pos;
                    if (firstTab >= 0 && firstTab < next->pos)
                        b.alignHead = blanksUnder(content, next->pos);
                }
                b.switchHead = sym == Sym::ParenOpen && idx > 0 && sig[idx - 1].sym == Sym::Switch;
                if (!parens && isHeader(st.kw) && !st.headerParen && sym == Sym::ParenOpen) {
                    b.header = true;
                    st.headerParen = true;
                }
                stack.push_back(std::move(b));
                break;
            }
            case Sym::ParenClose:
            case Sym::BracketClose: {
                const Sym want = sym == Sym::ParenClose ? Sym::ParenOpen : Sym::BracketOpen;
                qsizetype k = qsizetype(stack.size()) - 1;
                while (k >= 0 && stack[size_t(k)].kind != want
                       && stack[size_t(k)].kind != Sym::BlockOpen)
                    --k;
                if (k >= 0 && stack[size_t(k)].kind == want) {
                    const bool header = stack[size_t(k)].header;
                    afterSwitchHead = stack[size_t(k)].switchHead;
                    stack.erase(stack.begin() + k, stack.end());
                    if (header && st.kw != Sym::Try)
                        st.headerDone = true;
                }
                break;
            }
            case Sym::BlockOpen: {
                Bracket b;
                b.kind = Sym::BlockOpen;
                if (parens) {
                    b.indent = indent;
                    b.expression = true;
                } else {
                    b.indent = st.indent;
                    const Sym prev = idx > 0 ? sig[idx - 1].sym : Sym::None;
                    b.expression = st.kw != Sym::Label && st.kw != Sym::Arrowed
                                   && (st.expression || prev == Sym::Assign || prev == Sym::Arrow
                                       || prev == Sym::BracketClose || prev == Sym::Comma);
                }
                // A switch's block, also where the switch is an expression.
                b.isSwitch = switchBlock;
                b.kw = st.kw;
                b.outside = st.pending;
                b.saved = std::move(st);
                st = Statement{};
                stack.push_back(std::move(b));
                break;
            }
            case Sym::BlockClose: {
                qsizetype k = qsizetype(stack.size()) - 1;
                while (k >= 0 && stack[size_t(k)].kind != Sym::BlockOpen)
                    --k;
                if (k >= 0) {
                    Bracket b = std::move(stack[size_t(k)]);
                    stack.erase(stack.begin() + k, stack.end());
                    st = std::move(b.saved);
                    if (!b.expression) {
                        if (b.kw == Sym::If) {
                            const EndedIf own{st.indent, std::move(b.outside)};
                            endStatement(&own);
                        } else {
                            endStatement(nullptr);
                        }
                    }
                }
                break;
            }
            case Sym::Semicolon:
                if (!parens)
                    endStatement(nullptr);
                break;
            default:
                if (parens)
                    break;
                if (st.kw == Sym::Label && (sym == Sym::Colon || sym == Sym::Arrow)) {
                    if (sym == Sym::Colon) {
                        st.open = false;
                        st.kw = Sym::None;
                        st.continues = false;
                    } else {
                        st.kw = Sym::Arrowed;
                        st.expression = false;
                    }
                } else if (sym == Sym::Assign || sym == Sym::New || sym == Sym::Return
                           || sym == Sym::Arrow) {
                    st.expression = true;
                } else if (sym == Sym::Colon && st.tokens == 2 && idx > 0
                           && isWordSym(sig[idx - 1].sym)) {
                    st.open = false; // a statement label
                    st.kw = Sym::None;
                }
                break;
            }
        }
        // The end of the line.
        if (!sig.empty() && !inParens() && st.open) {
            if (st.headerDone) {
                st.pending.push_back(Header{st.indent, st.kw});
                st.open = false;
                st.continues = false;
                st.headerDone = false;
                st.kw = Sym::None;
            } else {
                st.continues = endsUnfinished(sig.back().sym);
            }
        }
    }

    static int blanksOf(QStringView line)
    {
        int i = 0;
        while (i < line.size() && (line[i] == QLatin1Char(' ') || line[i] == QLatin1Char('\t')))
            ++i;
        return i;
    }
    static QStringView withoutBreak(QStringView line)
    {
        return line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line;
    }
    static bool blankContent(QStringView content)
    {
        return std::all_of(content.begin(), content.end(), [](QChar c) { return isBlank(c); });
    }
    void split()
    {
        sig.clear();
        for (const Token &t : tokens)
            if (significant(t.sym))
                sig.push_back(t);
    }

    // Moves on past the tokens (and sig) of a line placed at `indent`; a comment that
    // opens on the line and runs on is remembered with where it starts.
    void moveOn(QStringView ws, QStringView content, const QString &indent)
    {
        if (lex == Lex::Comment && !tokens.empty() && tokens.back().sym == Sym::CommentOpen) {
            const QString before = blanksUnder(content, tokens.back().pos);
            commentBefore = ws.toString() + before;
            commentNow = indent + before;
        }
        feed(content, tokens, sig, indent);
    }

    // One line: its new indentation (the old one when `keep`), moving on.
    QString line(QStringView text, bool keep)
    {
        text = withoutBreak(text);
        const int blanks = blanksOf(text);
        const QStringView ws = text.left(blanks);
        const QStringView content = text.mid(blanks);
        tokens.clear();
        if (lex == Lex::TextBlock) {
            // Its text is the string's: nothing moves. The code after its
            // end goes on as usual.
            const QString indent = ws.toString();
            lex = lexer.read(content, 0, lex, tokens);
            split();
            moveOn(ws, content, indent);
            return indent;
        }
        if (lex == Lex::Comment) {
            if (blankContent(content))
                return keep ? ws.toString() : QString();
            QString indent;
            if (keep)
                indent = ws.toString();
            else if (content.startsWith(syntax().commentEnd) && !syntax().commentEnd.isEmpty()
                     && ws == commentBefore)
                indent = commentNow;
            else if (content.startsWith(QLatin1Char('*')))
                indent = commentNow + QLatin1Char(' ');
            else if (ws.startsWith(commentBefore))
                indent = commentNow + ws.mid(commentBefore.size()).toString();
            else
                indent = ws.toString();
            lex = lexer.read(content, 0, lex, tokens);
            split();
            moveOn(ws, content, indent);
            return indent;
        }
        if (blankContent(content))
            return keep ? ws.toString() : QString();
        lex = lexer.read(content, 0, lex, tokens);
        if (tokens.size() == 1 && tokens.front().sym == Sym::LineComment) {
            // A comment line moves nothing; one in the first column stays.
            sig.clear();
            return keep || blanks == 0 ? ws.toString() : indentFor(sig);
        }
        split();
        const QString indent = keep ? ws.toString() : indentFor(sig);
        moveOn(ws, content, indent);
        return indent;
    }

    const IndentSyntax &syntax() const { return lexer.syntax; }
};

LineIndenter::LineIndenter(const IndentSyntax &syntax) : d(std::make_unique<State>(syntax)) {}
LineIndenter::~LineIndenter() = default;
LineIndenter::LineIndenter(const LineIndenter &other) : d(std::make_unique<State>(*other.d)) {}
LineIndenter &LineIndenter::operator=(const LineIndenter &other)
{
    if (this != &other)
        d = std::make_unique<State>(*other.d);
    return *this;
}

QString LineIndenter::indentLine(QStringView line)
{
    return d->line(line, false);
}

void LineIndenter::keepLine(QStringView line)
{
    d->line(line, true);
}

QString LineIndenter::indentAfterBreak(QStringView line, int column) const
{
    line = State::withoutBreak(line);
    column = std::clamp(column, 0, int(line.size()));
    State s = *d;
    const Lex before = s.lex;
    s.line(line.left(column), true);
    const QString ws = line.left(State::blanksOf(line)).toString();
    if (s.lex == Lex::TextBlock)
        return ws;
    if (s.lex == Lex::Comment) {
        // A comment's lines start one blank after its opening "/" when they
        // start with "*", as this one does (or it is the first).
        const QStringView content = line.mid(State::blanksOf(line));
        if (before != Lex::Comment || content.startsWith(QLatin1Char('*')))
            return s.commentNow + QLatin1Char(' ');
        return ws;
    }
    QStringView after = line.mid(column);
    after = after.mid(State::blanksOf(after));
    s.tokens.clear();
    s.lexer.read(after, 0, Lex::Code, s.tokens);
    s.split();
    return s.indentFor(s.sig);
}

QString NewLineIndent(const Surface &surface, int position, const IndentSyntax &syntax)
{
    position = std::clamp(position, 0, surface.length());
    const int line = surface.lineFromChar(position);
    const int lineStart = surface.lineIndex(line);
    const QStringView text = surface.span(0, surface.length());
    LineIndenter indenter(syntax);
    for (int s = 0; s < lineStart;) {
        const int feed = int(text.indexOf(QLatin1Char('\n'), s));
        indenter.keepLine(text.mid(s, feed - s));
        s = feed + 1;
    }
    const qsizetype feed = text.indexOf(QLatin1Char('\n'), lineStart);
    const QStringView current = text.mid(lineStart, (feed < 0 ? text.size() : feed) - lineStart);
    return indenter.indentAfterBreak(current, position - lineStart);
}

// --- re-indenting ---------------------------------------------------------------------

namespace {

// The indentation takes the format the inserted text would take with the
// caret at the line start: the character before it, or on the first line
// the first character left after the blanks.
int indentFormatSource(int s, int blanks)
{
    return s > 0 ? s - 1 : s + blanks;
}

int leadingBlanks(QStringView text, int s, int e)
{
    int i = s;
    while (i < e && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    return i - s;
}

} // namespace

int IndentLine(int &lineStart, int &lineEnd, Surface &surface, LineIndenter &indenter)
{
    const int s = lineStart;
    // Only the line itself is read.
    const QStringView text = surface.span(0, std::max(0, lineEnd));
    const QString indent = indenter.indentLine(text.mid(s, lineEnd - s));
    const int blanks = leadingBlanks(text, s, lineEnd);
    surface.setSelStart(s);
    if (qint64(surface.length()) - blanks + indent.size() > kMaxIndentedLength)
        return lineEnd;
    if (text.mid(s, blanks) != QStringView(indent))
        surface.replacePieces(s, blanks,
                              {Surface::Piece{-1, 0, indent, indentFormatSource(s, blanks)}});
    lineEnd += int(indent.size()) - blanks;
    surface.setSelStart(s + int(indent.size()));
    return lineEnd;
}

IndentPlan PlanIndentAll(QStringView text, const IndentSyntax &syntax)
{
    IndentPlan plan;
    plan.length = text.size();
    LineIndenter indenter(syntax);
    for (qsizetype s = 0;;) {
        const qsizetype next = text.indexOf(QLatin1Char('\n'), s);
        if (next < 0)
            break;
        const QString indent = indenter.indentLine(text.mid(s, next - s));
        const int blanks = leadingBlanks(text, int(s), int(next));
        ++plan.lineCount;
        plan.lastStart = int(s);
        plan.lastIndent = int(indent.size());
        if (text.mid(s, blanks) != QStringView(indent)) {
            plan.length += indent.size() - blanks;
            if (plan.length > kMaxIndentedLength) {
                plan.length = -1;
                plan.lines.clear();
                return plan;
            }
            plan.lines.push_back(IndentPlan::Line{int(s), blanks, indent});
        }
        s = next + 1;
    }
    return plan;
}

int IndentAllLines(Surface &surface, const IndentSyntax &syntax, ProgressSink *progress,
                   bool *tooLarge, const IndentPlan *plan)
{
    if (tooLarge)
        *tooLarge = false;
    // The lines are worked out on the text as it was and the new text is
    // applied in one edit: a line's result depends only on the lines
    // before it as they were, so this equals re-indenting line after line.
    IndentPlan own;
    if (!plan) {
        own = PlanIndentAll(surface.span(0, surface.length()), syntax);
        plan = &own;
    }
    if (plan->length < 0) {
        if (tooLarge)
            *tooLarge = true;
        return 0;
    }
    if (progress) {
        // The bar moves line by line, as the lines are applied.
        const double factor = 100.0 / surface.lineCount();
        int shown = progress->value();
        for (int count = 1; count <= plan->lineCount; ++count) {
            const int value = int(count * factor);
            if (value != shown) {
                progress->setValue(value);
                shown = value;
            }
        }
    }
    std::vector<Surface::Piece> pieces;
    int rangeStart = -1, keptFrom = 0;
    qint64 delta = 0; // length change of the lines before the last one
    for (const IndentPlan::Line &line : plan->lines) {
        const int s = line.start;
        if (rangeStart < 0)
            rangeStart = keptFrom = s;
        if (s > keptFrom)
            pieces.push_back(Surface::Piece{keptFrom, s - keptFrom, {}, -1});
        if (!line.indent.isEmpty())
            pieces.push_back(
                Surface::Piece{-1, 0, line.indent, indentFormatSource(s, line.blanks)});
        keptFrom = s + line.blanks;
        if (s != plan->lastStart)
            delta += line.indent.size() - line.blanks;
    }
    if (rangeStart >= 0 && !surface.replacePieces(rangeStart, keptFrom - rangeStart, pieces)) {
        if (tooLarge)
            *tooLarge = true;
        return 0;
    }
    if (plan->lastStart >= 0)
        surface.setSelStart(int(plan->lastStart + delta + plan->lastIndent));
    return int(plan->lines.size());
}

qint64 IndentedLength(QStringView text, const IndentSyntax &syntax)
{
    return PlanIndentAll(text, syntax).length;
}

bool confirmLongRun(CommandHost &host, int length)
{
    const QString question = ColorizeTimeQuestion(length);
    return question.isEmpty()
           || host.prompter().message(question, QStringLiteral("Do you wish to continue?"),
                                      MsgIcon::Question, MsgButtons::YesNo)
                  == MsgAnswer::Yes;
}

bool saveFirstOrStop(CommandHost &host)
{
    const std::optional<MsgAnswer> answer = AskSaveFirst(host);
    if (answer == MsgAnswer::Yes)
        host.saveDocument(); // goes on whether or not the file was written
    return answer != MsgAnswer::Cancel;
}

BulkRun::BulkRun(CommandHost &host, const QString &runCaption) : m_host(host)
{
    host.setStatusText(QStringLiteral("Please wait"));
    m_caption = host.caption();
    host.setBusy(true);
    host.setSurfacePainted(false);
    host.setWindowEnabled(false);
    host.progress().setVisible(true);
    editorState().suppressChange = true;
    editorState().suppressSelChange = true;
    host.setCaption(runCaption);
}

BulkRun::~BulkRun()
{
    editorState().suppressChange = false;
    editorState().suppressSelChange = false;
    m_host.progress().setVisible(false);
    m_host.setWindowEnabled(true);
    m_host.setBusy(false);
    m_host.setSurfacePainted(true);
    m_host.focusSurface();
    m_host.surface().setSelStart(0);
    QString caption = m_caption;
    if (!caption.isEmpty() && !caption.endsWith(QLatin1Char('*')))
        caption += QLatin1Char('*');
    m_host.setCaption(caption);
    m_host.setStatusText(QStringLiteral("Done"));
}

QString indentTooLargeMessage()
{
    return QStringLiteral("The indented document would be larger than 64 MB. "
                          "Nothing was changed.");
}

void indentallrtf(CommandHost &host)
{
    // The command used to warn that braces in strings and comments count;
    // they no longer do, so it starts with the save question.
    if (!saveFirstOrStop(host) || !confirmLongRun(host, host.surface().length()))
        return;
    Surface &surface = host.surface();
    const Preferences &prefs = host.preferences();
    // Worked out before anything shows or changes (with the hourglass on),
    // so a result too large is refused with the window as it was; the run
    // then only applies it.
    host.setBusy(true);
    const IndentSyntax syntax = IndentSyntax::fromPreferences(prefs);
    const IndentPlan plan = PlanIndentAll(surface.span(0, surface.length()), syntax);
    bool tooLarge = plan.length < 0;
    if (!tooLarge) {
        const BulkRun run(host, QStringLiteral("Autoindenting"));
        IndentAllLines(surface, syntax, &host.progress(), &tooLarge, &plan);
    }
    host.setBusy(false);
    if (tooLarge)
        host.prompter().message(indentTooLargeMessage(), QStringLiteral("Auto Indent"),
                                MsgIcon::Exclamation, MsgButtons::Ok);
}

} // namespace qln
