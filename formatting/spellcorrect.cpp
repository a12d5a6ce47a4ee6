#include "formatting/spellcorrect.h"

#include "formatting/commandhost.h"
#include "formatting/indenter.h"
#include "settings/preferences.h"
#include "surface/surface.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <vector>

namespace qln {

namespace {

// Ranges shorter than this (a line being typed) are corrected search by
// search on the surface; longer ones through the word index below.
constexpr int kIndexedRangeMin = 2048;

bool isWord(QChar c)
{
    return Surface::isWordCharacter(c);
}

char16_t fold(QChar c)
{
    return char16_t(QChar::toCaseFolded(char32_t(c.unicode())));
}

// A match right after a "." names a member: it is left alone.
bool followsDot(const Surface &surface, int at)
{
    return at > 0 && surface.at(at - 1) == QLatin1Char('.');
}

bool isPlainWord(const QString &w)
{
    return !w.isEmpty() && std::all_of(w.begin(), w.end(), isWord);
}

// A character outside words that folds to a word character could join an
// any-case match across a word boundary; such text is left to the
// search-by-search path.
bool foldsIntoWord(QChar c)
{
    return c.unicode() >= 0x80 && !c.isSurrogate() && !isWord(c) && isWord(QChar(fold(c)));
}

quint64 foldHash(QStringView s)
{
    quint64 h = 1469598103934665603ull;
    for (QChar c : s)
        h = (h ^ fold(c)) * 1099511628211ull;
    return h;
}

bool foldEquals(QStringView a, QStringView folded)
{
    if (a.size() != folded.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (fold(a[i]) != folded[i].unicode())
            return false;
    return true;
}

// The literal algorithm, on the surface.
void correctBySearch(const QStringList &wrong, const QStringList &right, int count, int pairs,
                     int step, int &lengthChange, int start, int end, Surface &surface,
                     ProgressSink *progress)
{
    for (int i = 1; i <= count; ++i) {
        surface.setSelStart(start);
        if (progress && progress->isVisible())
            progress->setValue(step * i);
        if (i > pairs)
            continue;
        const QString &w = wrong[i];
        const QString &r = right[i];
        int found, caret = start;
        while ((found = surface.find(w, surface.selStart(), end, FindWholeWord)) >= 0) {
            if (followsDot(surface, found)) {
                surface.setSelStart(found + int(w.size()));
                continue;
            }
            const QString put = CasePatterned(surface.span(found, int(w.size())), r);
            lengthChange += int(put.size() - w.size());
            surface.setSelText(put);
            caret = surface.selStart();
        }
        // A member passed over does not move the caret.
        surface.setSelStart(caret);
    }
}

// The distinct folded wrong forms of the list last seen, kept from call to
// call: while typing, the same list corrects a line after every key.
struct WrongWords {
    QStringList wrong;
    int pairs = -1;
    bool plain = false;        // every wrong form is a plain word
    std::vector<QString> keys; // folded, distinct
    std::vector<int> pairKey;  // pair -> key
    std::unordered_map<quint64, std::vector<int>> keysByHash;
    std::vector<bool> lengthUsed;

    int keyOf(QStringView token) const
    {
        if (size_t(token.size()) >= lengthUsed.size() || !lengthUsed[size_t(token.size())])
            return -1;
        const auto it = keysByHash.find(foldHash(token));
        if (it == keysByHash.end())
            return -1;
        for (int idx : it->second)
            if (foldEquals(token, keys[size_t(idx)]))
                return idx;
        return -1;
    }
};

const WrongWords &wrongWordsOf(const QStringList &wrong, int pairs)
{
    thread_local WrongWords cache;
    if (cache.pairs == pairs && cache.wrong == wrong)
        return cache;
    cache = WrongWords{};
    cache.wrong = wrong;
    cache.pairs = pairs;
    cache.plain = true;
    cache.pairKey.assign(size_t(std::max(pairs, 0)) + 1, -1);
    for (int i = 1; i <= pairs; ++i) {
        if (!isPlainWord(wrong[i])) {
            cache.plain = false;
            return cache;
        }
        QString k;
        k.reserve(wrong[i].size());
        for (QChar c : wrong[i])
            k += QChar(fold(c));
        auto &bucket = cache.keysByHash[foldHash(wrong[i])];
        int found = -1;
        for (int idx : bucket)
            if (cache.keys[size_t(idx)] == k)
                found = idx;
        if (found < 0) {
            found = int(cache.keys.size());
            if (size_t(k.size()) >= cache.lengthUsed.size())
                cache.lengthUsed.resize(size_t(k.size()) + 1, false);
            cache.lengthUsed[size_t(k.size())] = true;
            cache.keys.push_back(std::move(k));
            bucket.push_back(found);
        }
        cache.pairKey[size_t(i)] = found;
    }
    return cache;
}

// Sums of length changes of the slots before a slot.
class Fenwick {
public:
    explicit Fenwick(size_t n) : m_tree(n + 1, 0) {}
    void add(size_t i, int delta)
    {
        for (++i; i < m_tree.size(); i += i & (~i + 1))
            m_tree[i] += delta;
    }
    int before(size_t i) const // sum over [0, i)
    {
        int s = 0;
        for (; i > 0; i -= i & (~i + 1))
            s += m_tree[i];
        return s;
    }

private:
    std::vector<int> m_tree;
};

// The same result through an index of the words that some wrong form
// matches. With every wrong form a plain word, a whole-word any-case match
// is exactly a maximal run of word characters that folds to the wrong form,
// and replacing one such run never changes whether another run matches:
// runs are separated by characters outside words, which no replacement
// touches. So each candidate word is a slot whose current text is kept on
// its own; only the end bound needs the positions, which the slots' length
// changes give. Returns false (having changed nothing) when the text holds
// a character that makes this reasoning unsafe.
bool correctByIndex(const QStringList &wrong, const QStringList &right, int count, int pairs,
                    int step, int &lengthChange, int start, int end, Surface &surface,
                    ProgressSink *progress)
{
    const WrongWords &words = wrongWordsOf(wrong, pairs);
    const std::vector<QString> &keys = words.keys;
    const std::vector<int> &pairKey = words.pairKey;
    for (int i = 1; i <= pairs; ++i)
        for (QChar c : right[i])
            if (foldsIntoWord(c))
                return false;
    auto keyOf = [&words](QStringView token) { return words.keyOf(token); };

    struct Slot {
        int origStart, origLength;
        QString text;
        // Per character: its position in the text before the call, or for
        // inserted characters -1 - the position whose format it carries.
        std::vector<int> origin;
        bool loaded = false;
        bool changed = false;
    };
    std::vector<Slot> slotList;
    std::vector<std::vector<int>> slotsByKey(keys.size());

    // Read in place: the surface is not edited until the end.
    const Surface &text = surface;
    const int len = surface.length();
    int i = start;
    // A word that begins before start cannot match from inside.
    if (i > 0 && i < len && isWord(text.at(i - 1)))
        while (i < len && isWord(text.at(i)))
            ++i;
    while (i < len) {
        if (!isWord(text.at(i))) {
            if (foldsIntoWord(text.at(i)))
                return false;
            ++i;
            continue;
        }
        int j = i + 1;
        while (j < len && isWord(text.at(j)))
            ++j;
        const int k = keyOf(text.span(i, j - i));
        if (k >= 0 && !followsDot(text, i)) {
            slotsByKey[size_t(k)].push_back(int(slotList.size()));
            slotList.push_back(Slot{i, j - i, {}, {}, false, false});
        }
        i = j;
    }

    Fenwick shifts(slotList.size());
    auto slotText = [&](Slot &s) -> QString & {
        if (!s.loaded) {
            s.loaded = true;
            s.text = text.mid(s.origStart, s.origLength);
            s.origin.resize(size_t(s.origLength));
            for (int c = 0; c < s.origLength; ++c)
                s.origin[size_t(c)] = s.origStart + c;
        }
        return s.text;
    };

    // The end stays a fixed position; a negative one bounds nothing.
    const int bound = end < 0 ? std::numeric_limits<int>::max() : end;
    int caret = start;
    for (int p = 1; p <= count; ++p) {
        caret = start;
        if (progress && progress->isVisible())
            progress->setValue(step * p);
        if (p > pairs)
            continue;
        const int key = pairKey[size_t(p)];
        const QString &folded = keys[size_t(key)];
        const QString &r = right[p];
        const int n = int(folded.size());
        std::vector<int> candidates = std::move(slotsByKey[size_t(key)]);
        slotsByKey[size_t(key)].clear();
        std::sort(candidates.begin(), candidates.end());
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
        bool stopped = false;
        for (int id : candidates) {
            Slot &s = slotList[size_t(id)];
            if (stopped) {
                slotsByKey[size_t(key)].push_back(id);
                continue;
            }
            const QString &cur = slotText(s);
            const int base = s.origStart + shifts.before(size_t(id));
            QString out;
            std::vector<int> origin;
            bool replaced = false;
            int c = 0;
            const int curLen = int(cur.size());
            while (c < curLen) {
                if (!isWord(cur[c])) {
                    out += cur[c];
                    origin.push_back(s.origin[size_t(c)]);
                    ++c;
                    continue;
                }
                int d = c + 1;
                while (d < curLen && isWord(cur[d]))
                    ++d;
                const QStringView token = QStringView(cur).mid(c, d - c);
                // What precedes the token: the slot's own text, or before
                // its first character the text outside it, which no
                // replacement changes.
                const bool afterDot =
                    c > 0 ? cur[c - 1] == QLatin1Char('.') : followsDot(text, s.origStart);
                if (!stopped && !afterDot && foldEquals(token, folded)) {
                    const int at = base + int(out.size());
                    if (at > bound - n) {
                        stopped = true;
                    } else {
                        const int o = s.origin[size_t(c)];
                        const int formatOf = o >= 0 ? o : -1 - o;
                        const QString put = CasePatterned(token, r);
                        out += put;
                        origin.insert(origin.end(), size_t(put.size()), -1 - formatOf);
                        lengthChange += int(put.size()) - n;
                        caret = at + int(put.size());
                        replaced = true;
                        c = d;
                        continue;
                    }
                }
                out += token;
                origin.insert(origin.end(), s.origin.begin() + c, s.origin.begin() + d);
                c = d;
            }
            if (replaced) {
                shifts.add(size_t(id), int(out.size()) - curLen);
                s.text = std::move(out);
                s.origin = std::move(origin);
                s.changed = true;
                // Register the slot under every key its new text holds.
                const QString &now = s.text;
                for (int a = 0; a < int(now.size());) {
                    if (!isWord(now[a])) {
                        ++a;
                        continue;
                    }
                    int b = a + 1;
                    while (b < int(now.size()) && isWord(now[b]))
                        ++b;
                    const int k = keyOf(QStringView(now).mid(a, b - a));
                    if (k >= 0)
                        slotsByKey[size_t(k)].push_back(id);
                    a = b;
                }
            } else if (stopped) {
                slotsByKey[size_t(key)].push_back(id);
            }
        }
    }

    // One edit from the first changed slot to the end of the last.
    std::vector<Surface::Piece> pieces;
    int rangeStart = -1, keptFrom = 0;
    for (const Slot &s : slotList) {
        if (!s.changed)
            continue;
        if (rangeStart < 0)
            rangeStart = keptFrom = s.origStart;
        if (s.origStart > keptFrom)
            pieces.push_back(Surface::Piece{keptFrom, s.origStart - keptFrom, {}, -1});
        for (size_t a = 0; a < s.origin.size();) {
            size_t b = a + 1;
            if (s.origin[a] >= 0) {
                while (b < s.origin.size() && s.origin[b] == s.origin[b - 1] + 1)
                    ++b;
                pieces.push_back(Surface::Piece{s.origin[a], int(b - a), {}, -1});
            } else {
                while (b < s.origin.size() && s.origin[b] == s.origin[a])
                    ++b;
                pieces.push_back(Surface::Piece{-1, 0, s.text.mid(qsizetype(a), qsizetype(b - a)),
                                                -1 - s.origin[a]});
            }
            a = b;
        }
        keptFrom = s.origStart + s.origLength;
    }
    if (rangeStart >= 0)
        surface.replacePieces(rangeStart, keptFrom - rangeStart, pieces);
    surface.setSelStart(caret);
    return true;
}

// Whether some wrong form may match within [from, to): a run of word
// characters reaching into it folds to one, or a character there folds
// into a word character (which makes the runs unsure).
bool mayMatch(const Surface &text, const WrongWords &words, int from, int to)
{
    const int len = text.length();
    int i = from;
    while (i > 0 && isWord(text.at(i - 1)))
        --i;
    while (i < to) {
        if (!isWord(text.at(i))) {
            if (foldsIntoWord(text.at(i)))
                return true;
            ++i;
            continue;
        }
        int j = i + 1;
        while (j < len && isWord(text.at(j)))
            ++j;
        if (words.keyOf(text.span(i, j - i)) >= 0)
            return true;
        i = j;
    }
    return false;
}

} // namespace

QString CasePatterned(QStringView replaced, const QString &right)
{
    int letters = 0, capitals = 0;
    for (QChar c : replaced) {
        if (c.isLetter()) {
            ++letters;
            capitals += c.isUpper() ? 1 : 0;
        }
    }
    const bool firstCapital = !replaced.isEmpty() && replaced.front().isUpper();
    if (letters > 1 && capitals == letters)
        return right.toUpper();
    if (firstCapital && capitals == 1 && !right.isEmpty())
        return right.front().toUpper() + right.mid(1);
    return right;
}

int FinishedWordStart(const Surface &surface, int at)
{
    int start = at;
    while (start > 0 && isWord(surface.at(start - 1)))
        --start;
    if (start == at || followsDot(surface, start))
        return -1;
    return start;
}

int spellProgressStep(int count)
{
    if (count <= 0)
        return 0;
    return int(std::nearbyint(100.0 / count)); // the default rounding: halves to even
}

void SpellCorrectRange(const QStringList &wrongForms, const QStringList &rightForms, int count,
                       int &lengthChange, int &start, int end, Surface &surface,
                       ProgressSink *progress)
{
    if (end == -1 || count <= 0)
        return;
    const int step = spellProgressStep(count);
    if (start > 0)
        start -= 1;
    if (start == -1)
        start = 0;
    // Entries beyond the lists are skipped; their pairs still advance the bar.
    const int pairs =
        std::max(0, std::min<int>(count, int(std::min(wrongForms.size(), rightForms.size())) - 1));
    const int from = std::max(0, start);
    const int to = end < 0 || end > surface.length() ? surface.length() : end;
    const WrongWords &words = wrongWordsOf(wrongForms, pairs);
    const bool plain = words.plain;
    // A line being typed that holds no wrong form is left as it is, without
    // a search per pair (the bar, when it shows, still takes every value).
    if (plain && to - from < kIndexedRangeMin && !(progress && progress->isVisible())
        && !mayMatch(surface, words, from, to)) {
        surface.setSelStart(start);
        return;
    }
    if (plain && pairs > 0 && to - from >= kIndexedRangeMin
        && correctByIndex(wrongForms, rightForms, count, pairs, step, lengthChange, from, end,
                          surface, progress))
        return;
    correctBySearch(wrongForms, rightForms, count, pairs, step, lengthChange, start, end, surface,
                    progress);
}

void spellcorrectallrtf(CommandHost &host)
{
    if (!saveFirstOrStop(host))
        return;
    const BulkRun run(host, QStringLiteral("Spellcorrecting words"));
    const Preferences &prefs = host.preferences();
    int lengthChange = 0;
    int start = 0;
    SpellCorrectRange(prefs.arrsfrom, prefs.arrsto, prefs.fromtocount, lengthChange, start,
                      host.surface().length(), host.surface(), &host.progress());
}

} // namespace qln
