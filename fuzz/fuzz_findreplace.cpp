// Find and replace over a surface whose storage gap lies anywhere:
// - the surface's search and both directions of the dialog's search give
//   what a naive scan of the plain text gives (each with its whole-word
//   rule: the surface's word characters forwards, ASCII letters and digits
//   backwards);
// - Replace All one replacement at a time and batched give the same text,
//   formats, selection and count, and end;
// - without line breaks in either text, Replace All gives the text of a
//   naive run over a plain string;
// - the dialog's Replace All is one undo step: Undo gives back the text and
//   formats from before it, Redo the ones after it.
#include "base/editorstate.h"
#include "dialogs/findreplace.h"
#include "fuzzsupport.h"
#include "surface/surface.h"

#include <optional>
#include <tuple>
#include <vector>

using namespace qln;

namespace {

// Word characters of both rules, their neighbours and line breaks.
const QString kAlphabet = QStringLiteral("aAbB$_1 .\r\n\u00e9\u00c9");

auto snapshot(const Surface &s)
{
    std::vector<CharFormat> formats;
    formats.reserve(size_t(s.length()));
    for (int i = 0; i < s.length(); ++i)
        formats.push_back(s.formatAt(i));
    return std::tuple{s.text(), formats, s.selStart(), s.selLength()};
}

bool wordForward(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

bool boundaryBackward(QChar c)
{
    const char16_t u = c.unicode();
    return !((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z'));
}

bool matchesAt(const QString &text, int p, const QString &needle, bool matchCase)
{
    if (p < 0 || p + needle.size() > text.size())
        return false;
    return QStringView(text)
               .mid(p, needle.size())
               .compare(needle, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive)
           == 0;
}

// The surface's find: first match wholly in [start, end).
int naiveFind(const QString &text, const QString &needle, int start, int end, int options)
{
    const int len = int(text.size());
    if (needle.isEmpty())
        return -1;
    start = std::max(start, 0);
    if (end < 0 || end > len)
        end = len;
    for (int p = start; p + needle.size() <= end; ++p) {
        if (!matchesAt(text, p, needle, options & FindMatchCase))
            continue;
        if (options & FindWholeWord) {
            const int e = p + int(needle.size());
            if (wordForward(needle.front()) && p > 0 && wordForward(text.at(p - 1)))
                continue;
            if (wordForward(needle.back()) && e < len && wordForward(text.at(e)))
                continue;
        }
        return p;
    }
    return -1;
}

// Up: the last occurrence ending at or before `before` that (with whole
// word) has boundaries on both sides.
int naiveFindBackward(const QString &text, const QString &needle, int before, bool wholeWord,
                      bool matchCase)
{
    for (int p = before - int(needle.size()); p >= 0; --p) {
        if (!matchesAt(text, p, needle, matchCase))
            continue;
        if (wholeWord) {
            const int e = p + int(needle.size());
            if (p > 0 && !boundaryBackward(text.at(p - 1)))
                continue;
            if (e < text.size() && !boundaryBackward(text.at(e)))
                continue;
        }
        return p;
    }
    return -1;
}

// Replace All over a plain string, for texts without line breaks (so that
// nothing is widened or normalised): the selection first, then each match
// from the top, never inside what a replacement put in.
int naiveReplaceAll(QString &text, int selStart, int selLength, const QString &find,
                    const QString &repl, int options)
{
    int count = 0;
    int protStart = -1, protEnd = -1;
    if (selLength > 0) {
        if (text.mid(selStart, selLength) != find)
            return 0;
        text.replace(selStart, selLength, repl);
        protStart = selStart;
        protEnd = selStart + int(repl.size());
        ++count;
    }
    int from = 0;
    const int n = int(find.size());
    for (;;) {
        int p = naiveFind(text, find, from, -1, options);
        if (p >= 0 && protStart >= 0 && p < protEnd && p + n > protStart)
            p = naiveFind(text, find, protEnd, -1, options);
        if (p < 0 || text.mid(p, n) != find)
            break;
        text.replace(p, n, repl);
        ++count;
        if (protStart >= 0 && p < protStart) {
            protStart += int(repl.size()) - n;
            protEnd += int(repl.size()) - n;
        }
        from = p + int(repl.size());
    }
    return count;
}

// Sets up a surface with the text, a few coloured stretches and its gap
// left at `gapAt` (where an edit was made and undone).
void prepare(Surface &s, const QString &text, int gapAt, const std::vector<int> &colours)
{
    s.setText(text);
    for (size_t i = 0; i + 2 < colours.size(); i += 3) {
        s.setSelection(colours[i], colours[i + 1]);
        s.setSelColor(BgrColor(colours[i + 2]) * 0x30507);
        s.setSelBold(colours[i + 2] & 1);
    }
    s.replace(gapAt, 0, QStringLiteral("#"));
    s.undo();
    s.clearUndo();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    fuzz::Input in(data, size);
    const QString raw = in.text(60, kAlphabet);
    const QString text = Surface::normalizeLineBreaks(raw);
    const int len = int(text.size());
    QString needle = in.text(5, kAlphabet);
    if (in.below(3) == 0 && len > 0) {
        // Often a piece of the text itself, so there is something to find.
        const int from = in.below(len);
        needle = text.mid(from, 1 + in.below(4));
    }
    const QString repl = in.text(5, kAlphabet);
    const int options = in.below(4) * 2;
    const int gapAt = in.below(len + 1);
    std::vector<int> colours;
    for (int i = in.below(4) * 3; i > 0; --i)
        colours.push_back(in.below(len + 1));
    const int selStart = in.below(len + 1);
    const int selLength = in.flag() ? in.below(len - selStart + 1) : 0;
    fuzz::QuietPrompter prompter;

    Surface s;
    prepare(s, text, gapAt, colours);
    FUZZ_CHECK(s.text() == text);

    // The surface's search over a range.
    if (!needle.isEmpty()) {
        const int a = in.below(len + 1);
        const int b = in.flag() ? -1 : a + in.below(len - a + 1);
        FUZZ_CHECK(s.indexOf(needle, a, b, options) == naiveFind(text, needle, a, b, options));
    }

    // The dialog's two directions from the selection.
    if (!needle.isEmpty()) {
        FindReplace fr(s, prompter);
        fr.setFindText(needle);
        fr.setWholeWord(options & FindWholeWord);
        fr.setMatchCase(options & FindMatchCase);
        s.setSelection(selStart, selLength);
        const int asked = prompter.asked;
        const bool down = fr.searchForward();
        const int expectDown =
            naiveFind(text, needle, selLength > 0 ? selStart + 1 : selStart, -1, options);
        FUZZ_CHECK(down == (expectDown >= 0));
        FUZZ_CHECK(prompter.asked == asked + (down ? 0 : 1));
        if (down)
            FUZZ_CHECK(s.selStart() == expectDown && s.selLength() == needle.size());
        else
            FUZZ_CHECK(s.selStart() == selStart && s.selLength() == selLength);

        s.setSelection(selStart, selLength);
        const bool up = fr.searchBackward();
        const int expectUp = naiveFindBackward(text, needle, selStart, options & FindWholeWord,
                                               options & FindMatchCase);
        FUZZ_CHECK(up == (expectUp >= 0));
        if (up)
            FUZZ_CHECK(s.selStart() == expectUp && s.selLength() == needle.size());
        else
            FUZZ_CHECK(s.selStart() == selStart && s.selLength() == selLength);
        FUZZ_CHECK(s.text() == text);
    }

    // Replace All: one at a time and batched, from the same start.
    Surface one, batched;
    prepare(one, text, gapAt, colours);
    prepare(batched, text, in.below(len + 1), colours);
    one.setSelection(selStart, selLength);
    batched.setSelection(selStart, selLength);
    const int oneCount = replaceEvery(one, needle, repl, options, ReplaceMode::OneAtATime);
    const int batchedCount = replaceEvery(batched, needle, repl, options, ReplaceMode::Batched);
    FUZZ_CHECK(oneCount == batchedCount);
    FUZZ_CHECK(snapshot(one) == snapshot(batched));
    FUZZ_CHECK(Surface::normalizeLineBreaks(one.text()) == one.text());
    const auto hasBreak = [](const QString &t) {
        return t.contains(QLatin1Char('\r')) || t.contains(QLatin1Char('\n'));
    };
    if (!needle.isEmpty() && !hasBreak(needle) && !hasBreak(repl)) {
        QString plain = text;
        const int count = naiveReplaceAll(plain, selStart, selLength, needle, repl, options);
        FUZZ_CHECK(count == oneCount && plain == one.text());
    }

    // The dialog's Replace All: one undo step either way it runs.
    for (bool suspend : {true, false}) {
        Surface d;
        prepare(d, text, gapAt, colours);
        if (in.flag()) // an earlier step, which Undo must leave alone
            d.replacePieces(0, len, {Surface::Piece{0, len, QString(), -1}});
        d.setSelection(selStart, selLength);
        const auto before = snapshot(d);
        const bool couldUndo = d.canUndo();
        FindReplace fr(d, prompter);
        fr.setFindText(needle);
        fr.setReplaceText(repl);
        fr.setWholeWord(options & FindWholeWord);
        fr.setMatchCase(options & FindMatchCase);
        fr.setSuspendOffer([suspend] { return suspend; });
        const int count = fr.replaceAll();
        FUZZ_CHECK(!editorState().suppressChange && !editorState().suppressSelChange);
        if (needle.isEmpty()) {
            FUZZ_CHECK(count == -1 && snapshot(d) == before);
            continue;
        }
        FUZZ_CHECK(count == oneCount);
        const auto after = snapshot(d);
        FUZZ_CHECK(std::get<0>(after) == one.text()
                   && std::get<1>(after) == std::get<1>(snapshot(one)));
        if (count == 0) {
            FUZZ_CHECK(std::get<0>(after) == std::get<0>(before) && d.canUndo() == couldUndo);
            continue;
        }
        d.undo();
        FUZZ_CHECK(std::get<0>(snapshot(d)) == std::get<0>(before));
        FUZZ_CHECK(std::get<1>(snapshot(d)) == std::get<1>(before));
        FUZZ_CHECK(d.canUndo() == couldUndo);
        d.redo();
        FUZZ_CHECK(std::get<0>(snapshot(d)) == std::get<0>(after));
        FUZZ_CHECK(std::get<1>(snapshot(d)) == std::get<1>(after));
    }
    return 0;
}
