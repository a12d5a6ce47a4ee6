#include "surface/textscan.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace qln {

qsizetype indexOfRange(QStringView text, qsizetype from, char16_t lo, char16_t hi)
{
    const char16_t *d = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = std::max<qsizetype>(from, 0);
    const char16_t width = char16_t(hi - lo);
#ifdef __SSE2__
    // c - lo <= hi - lo, unsigned: saturating subtraction of the width
    // leaves zero exactly there.
    const __m128i base = _mm_set1_epi16(short(lo));
    const __m128i span = _mm_set1_epi16(short(width));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + i));
        const __m128i over = _mm_subs_epu16(_mm_sub_epi16(c, base), span);
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(over, zero));
        if (mask)
            return i + __builtin_ctz(unsigned(mask)) / 2;
    }
#endif
    for (; i < n; ++i)
        if (char16_t(d[i] - lo) <= width)
            return i;
    return -1;
}

QString toCrLf(QString text, LineBreakCount *count, qsizetype spare)
{
    LineBreakCount found;
    const QStringView view(text);
    const char16_t *d = view.utf16();
    const qsizetype n = text.size();
    // The next CR and LF at or after pos, found a block at a time.
    auto next = [&](char16_t c, qsizetype from) {
        const qsizetype at = view.indexOf(QChar(c), from);
        return at < 0 ? n : at;
    };
    qsizetype nextCr = next(u'\r', 0), nextLf = next(u'\n', 0);
    QString out;
    char16_t *w = nullptr;    // where the next character of out goes
    char16_t *wEnd = nullptr; // the end of out's room
    qsizetype copiedTo = 0;   // text before this is in out
    // Room for `more` characters at w, growing out by half when it runs short.
    auto ensure = [&](qsizetype more) {
        if (wEnd - w >= more)
            return;
        const qsizetype used = w - reinterpret_cast<char16_t *>(out.data());
        out.resize(std::max(used + more, out.size() + out.size() / 2 + spare));
        w = reinterpret_cast<char16_t *>(out.data()) + used;
        wEnd = reinterpret_cast<char16_t *>(out.data()) + out.size();
    };
    auto copyUpTo = [&](qsizetype end) {
        ensure(end - copiedTo + 2);
        std::memcpy(w, d + copiedTo, size_t(end - copiedTo) * sizeof(char16_t));
        w += end - copiedTo;
    };
    auto startOut = [&] {
        // Most lone breaks turn into two characters: room for a break in
        // sixteen characters, and the spare, before it has to grow.
        out.resize(n + n / 16 + spare + 2);
        w = reinterpret_cast<char16_t *>(out.data());
        wEnd = w + out.size();
    };
    while (true) {
        const qsizetype at = std::min(nextCr, nextLf);
        if (at >= n)
            break;
        if (at == nextCr && at + 1 < n && d[at + 1] == u'\n') {
            ++found.crlf;
            nextCr = next(u'\r', at + 2);
            nextLf = next(u'\n', at + 2);
            continue;
        }
        // A lone CR or LF: from here on the text is copied.
        if (at == nextCr) {
            ++found.cr;
            nextCr = next(u'\r', at + 1);
        } else {
            ++found.lf;
            nextLf = next(u'\n', at + 1);
        }
        if (!w)
            startOut();
        copyUpTo(at);
        *w++ = u'\r';
        *w++ = u'\n';
        copiedTo = at + 1;
    }
    if (count)
        *count = found;
    if (!w)
        return text;
    copyUpTo(n);
    out.truncate(w - reinterpret_cast<char16_t *>(out.data()));
    return out;
}

} // namespace qln
