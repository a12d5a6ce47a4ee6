// Undo and redo against a model. Random edits (typed characters, plain and
// bulk replacements, line breaks of every style), format changes, undo
// groups, merge breaks, Undo, Redo, clearing the history and marking the
// document clean or modified run on a surface and on a plain model of the
// history (a string, a format per character and stacks of steps, each a
// list of edits that keep what they removed). After every step the text,
// every character's format, canUndo, canRedo and isModified agree.
//
// The model follows the history's rules: a recorded edit is a step of its
// own, except that edits inside an undo group (begin/end, nested) make one
// step, and characters typed one after another into a view make one step
// per word (a word character typed after a character outside words starts
// a new one). Undo and Redo take a step back or make it again with the
// formats it removed; the document is modified unless the state reached is
// the one last marked clean.
#include "fuzzsupport.h"
#include "surface/surface.h"

#include <limits>
#include <vector>

using namespace qln;

namespace {

const QString kAlphabet = QStringLiteral("ab_$ .\r\n\r\n\u00e9");
constexpr quint64 kNoState = std::numeric_limits<quint64>::max();

bool isWord(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

QString normalized(const QString &in)
{
    QString out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in.at(i) == QLatin1Char('\r')) {
            out += QLatin1String("\r\n");
            if (i + 1 < in.size() && in.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (in.at(i) == QLatin1Char('\n')) {
            out += QLatin1String("\r\n");
        } else {
            out += in.at(i);
        }
    }
    return out;
}

struct Model {
    struct Edit {
        int pos;
        QString removedText;
        std::vector<CharFormat> removedFormats;
        int insertedLength;
    };
    struct Step {
        std::vector<Edit> edits;
        quint64 id = 0;
        bool typing = false;
    };

    QString text;
    std::vector<CharFormat> formats;
    std::vector<Step> undo, redo;
    bool merge = false;
    int groupDepth = 0;
    bool groupStepOpen = false;
    quint64 nextId = 1;
    quint64 clean = 0;

    quint64 current() const { return undo.empty() ? 0 : undo.back().id; }
    bool modified() const { return current() != clean; }

    bool pairAt(int at) const
    {
        return at > 0 && at < text.size() && text.at(at - 1) == QLatin1Char('\r')
               && text.at(at) == QLatin1Char('\n');
    }

    void put(int pos, int removed, const QString &ins, const std::vector<CharFormat> &insFormats)
    {
        text.replace(pos, removed, ins);
        formats.erase(formats.begin() + pos, formats.begin() + pos + removed);
        formats.insert(formats.begin() + pos, insFormats.begin(), insFormats.end());
    }

    void record(int pos, int removed, const QString &ins, bool fromView)
    {
        redo.clear();
        Edit e{pos,
               text.mid(pos, removed),
               {formats.begin() + pos, formats.begin() + pos + removed},
               int(ins.size())};
        if (groupDepth > 0 && groupStepOpen && !undo.empty()) {
            undo.back().edits.push_back(e);
            undo.back().id = nextId++;
            return;
        }
        const bool typed = fromView && groupDepth == 0 && removed == 0 && ins.size() == 1
                           && ins.at(0) != QLatin1Char('\r');
        if (typed && merge && !undo.empty()) {
            Step &last = undo.back();
            const Edit &prev = last.edits.back();
            const bool startsWord = pos > 0 && isWord(ins.at(0)) && !isWord(text.at(pos - 1));
            if (last.typing && last.edits.size() == 1 && prev.removedText.isEmpty()
                && prev.pos + prev.insertedLength == pos && !startsWord) {
                ++last.edits.back().insertedLength;
                last.id = nextId++;
                return;
            }
        }
        undo.push_back(Step{{e}, nextId++, typed});
        if (groupDepth > 0)
            groupStepOpen = true;
        merge = typed;
    }

    // The surface's replace(): a CR LF pair is never split, line breaks of
    // any style become CR LF, new text takes the format for typed text
    // unless formats for it are given (and it needed no normalising).
    void replace(int pos, int removed, const QString &raw, bool fromView, const CharFormat &typed,
                 const std::vector<CharFormat> *given = nullptr)
    {
        const int len = int(text.size());
        pos = std::clamp(pos, 0, len);
        removed = std::clamp(removed, 0, len - pos);
        if (pairAt(pos)) {
            --pos;
            if (removed > 0)
                ++removed;
        }
        if (removed > 0 && pairAt(pos + removed))
            ++removed;
        const QString ins = normalized(raw);
        if (removed == 0 && ins.isEmpty())
            return;
        record(pos, removed, ins, fromView);
        if (!fromView)
            merge = false;
        if (given && given->size() == size_t(ins.size()))
            put(pos, removed, ins, *given);
        else
            put(pos, removed, ins, std::vector<CharFormat>(size_t(ins.size()), typed));
    }

    void replacePieces(int pos, int removed, const std::vector<Surface::Piece> &pieces,
                       const CharFormat &typed)
    {
        const int len = int(text.size());
        pos = std::clamp(pos, 0, len);
        removed = std::clamp(removed, 0, len - pos);
        const bool withCr = pairAt(pos);
        if (withCr)
            --pos, ++removed;
        const bool withLf = pairAt(pos + removed);
        if (withLf)
            ++removed;
        QString ins;
        std::vector<CharFormat> insFormats;
        auto keep = [&](int from, int n) {
            ins += text.mid(from, n);
            insFormats.insert(insFormats.end(), formats.begin() + from, formats.begin() + from + n);
        };
        if (withCr)
            keep(pos, 1);
        for (const Surface::Piece &p : pieces) {
            if (p.source >= 0) {
                keep(p.source, p.length);
            } else {
                ins += p.text;
                const CharFormat f =
                    p.formatOf >= 0 && p.formatOf < len ? formats[size_t(p.formatOf)] : typed;
                insFormats.insert(insFormats.end(), size_t(p.text.size()), f);
            }
        }
        if (withLf)
            keep(pos + removed - 1, 1);
        replace(pos, removed, ins, false, typed, &insFormats);
    }

    void step(std::vector<Step> &from, std::vector<Step> &to)
    {
        if (from.empty())
            return;
        Step s = std::move(from.back());
        from.pop_back();
        merge = false;
        Step inverse;
        inverse.id = s.id;
        for (auto it = s.edits.rbegin(); it != s.edits.rend(); ++it) {
            const Edit &e = *it;
            inverse.edits.push_back(
                Edit{e.pos,
                     text.mid(e.pos, e.insertedLength),
                     {formats.begin() + e.pos, formats.begin() + e.pos + e.insertedLength},
                     int(e.removedText.size())});
            put(e.pos, e.insertedLength, e.removedText, e.removedFormats);
        }
        to.push_back(std::move(inverse));
    }

    void clearHistory()
    {
        clean = modified() ? kNoState : 0;
        undo.clear();
        redo.clear();
        merge = false;
        groupStepOpen = false;
    }
};

void compare(const Surface &s, const Model &m)
{
    FUZZ_CHECK(s.text() == m.text);
    FUZZ_CHECK(s.length() == int(m.formats.size()));
    for (int i = 0; i < s.length(); ++i)
        FUZZ_CHECK(s.formatAt(i) == m.formats[size_t(i)]);
    FUZZ_CHECK(s.canUndo() == !m.undo.empty());
    FUZZ_CHECK(s.canRedo() == !m.redo.empty());
    FUZZ_CHECK(s.isModified() == m.modified());
}

CharFormat drawFormat(fuzz::Input &in)
{
    CharFormat f;
    f.color = BgrColor(in.below(4)) * 0x102030;
    f.bold = in.flag();
    f.italic = in.flag();
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    fuzz::Input in(data, size);
    static const bool trace = qEnvironmentVariableIsSet("FUZZ_TRACE");
    Surface s;
    s.setText(in.text(30, kAlphabet));
    Model m;
    m.text = s.text();
    for (int i = 0; i < s.length(); ++i)
        m.formats.push_back(s.formatAt(i));
    m.clean = s.isModified() ? kNoState : 0;
    compare(s, m);

    for (int step = 0; step < 80 && !in.atEnd(); ++step) {
        const int len = s.length();
        const int op = in.below(14);
        const CharFormat typed = s.insertFormat();
        switch (op) {
        case 0:
        case 1: {
            // A character typed at the caret, as a view sends it.
            const int caret = s.selStart();
            const QString c = in.text(1, kAlphabet);
            s.replace(caret, 0, c, true);
            s.notifyChanged();
            m.replace(caret, 0, c, true, typed);
            break;
        }
        case 2: {
            const int pos = in.below(len + 3) - 1;
            const int removed = in.below(len + 3) - 1;
            const QString t = in.text(8, kAlphabet);
            const bool fromView = in.flag();
            s.replace(pos, removed, t, fromView);
            s.notifyChanged();
            m.replace(pos, removed, t, fromView, typed);
            break;
        }
        case 3: {
            std::vector<Surface::Piece> pieces;
            for (int i = in.below(4); i >= 0; --i) {
                Surface::Piece p;
                if (in.flag() && len > 0) {
                    p.source = in.below(len);
                    p.length = in.below(len - p.source + 1);
                } else {
                    p.text = in.text(5, kAlphabet);
                    p.formatOf = in.below(len + 2) - 1;
                }
                pieces.push_back(p);
            }
            const int pos = in.below(len + 1);
            const int removed = in.below(len - pos + 1);
            FUZZ_CHECK(s.replacePieces(pos, removed, pieces));
            m.replacePieces(pos, removed, pieces, typed);
            break;
        }
        case 4: {
            // A format change is no step: Undo later restores only the
            // formats of the text it puts back.
            const int start = in.below(len + 1);
            const int n = in.below(len - start + 1);
            const CharFormat f = drawFormat(in);
            s.setFormat(start, n, f);
            for (int i = start; i < start + n; ++i)
                m.formats[size_t(i)] = f;
            break;
        }
        case 5: {
            const int start = in.below(len + 1);
            s.setSelection(start, in.below(len - start + 1));
            break;
        }
        case 6: {
            const BgrColor c = in.u32();
            s.setSelColor(c);
            for (int i = s.selStart(); i < s.selStart() + s.selLength(); ++i)
                m.formats[size_t(i)].color = c & 0xFFFFFF;
            break;
        }
        case 7:
            s.undo();
            m.step(m.undo, m.redo);
            break;
        case 8:
            s.redo();
            m.step(m.redo, m.undo);
            break;
        case 9:
            if (m.groupDepth < 3) {
                s.beginUndoGroup();
                if (m.groupDepth++ == 0)
                    m.groupStepOpen = false;
            }
            break;
        case 10:
            s.endUndoGroup();
            if (m.groupDepth > 0 && --m.groupDepth == 0) {
                if (m.groupStepOpen)
                    m.merge = false;
                m.groupStepOpen = false;
            }
            break;
        case 11:
            s.breakUndoMerge();
            m.merge = false;
            break;
        case 12:
            if (in.flag()) {
                s.setClean();
                m.clean = m.current();
            } else {
                s.markModified();
                m.clean = kNoState;
            }
            break;
        default:
            if (in.below(4) == 0) {
                s.clearUndo();
                m.clearHistory();
            } else {
                s.undo();
                m.step(m.undo, m.redo);
                s.redo();
                m.step(m.redo, m.undo);
            }
            break;
        }
        if (trace)
            std::fprintf(stderr, "step %d: op %d -> [%s] undo %d redo %d\n", step, op,
                         qPrintable(QString(s.text()).replace("\r", "\\r").replace("\n", "\\n")),
                         int(s.canUndo()), int(s.canRedo()));
        compare(s, m);
    }
    while (m.groupDepth-- > 0)
        s.endUndoGroup();
    // Everything undone, then everything redone.
    while (s.canUndo()) {
        s.undo();
        m.step(m.undo, m.redo);
        compare(s, m);
    }
    while (s.canRedo()) {
        s.redo();
        m.step(m.redo, m.undo);
        compare(s, m);
    }
    return 0;
}
