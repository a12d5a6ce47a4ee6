#include "surface/surface.h"

#include "surface/textfile.h"

#include <QClipboard>
#include <QDataStream>
#include <QGuiApplication>
#include <QIODevice>
#include <QMimeData>
#include <algorithm>
#include <cmath>
#include <limits>

namespace qln {

namespace {

const QString kFormattedMime = QStringLiteral("application/x-quillon-formatted");

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

} // namespace

Surface::Surface(QObject *parent) : QObject(parent), m_marks(new Marks(this))
{
    m_palette.push_back(CharFormat{});
    m_paletteIndex.insert(CharFormat{}, 0);
}

Surface::~Surface() = default;

QString Surface::normalizeLineBreaks(const QString &text)
{
    // Fast path: nothing to do when every CR is followed by LF and every
    // LF is preceded by CR.
    const qsizetype n = text.size();
    const QChar *d = text.constData();
    bool clean = true;
    for (qsizetype i = 0; i < n; ++i) {
        if (d[i] == QLatin1Char('\r')) {
            if (i + 1 >= n || d[i + 1] != QLatin1Char('\n')) {
                clean = false;
                break;
            }
            ++i;
        } else if (d[i] == QLatin1Char('\n')) {
            clean = false;
            break;
        }
    }
    if (clean)
        return text;
    QString out;
    out.reserve(n + n / 16 + 2);
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = d[i];
        if (c == QLatin1Char('\r')) {
            out += QLatin1String("\r\n");
            if (i + 1 < n && d[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

// --- palette ---------------------------------------------------------------

Surface::FormatIndex Surface::intern(const CharFormat &format)
{
    auto it = m_paletteIndex.constFind(format);
    if (it != m_paletteIndex.constEnd())
        return it.value();
    // The palette only grows: it holds each distinct format ever used, which
    // stays small in practice, and no index held anywhere goes stale.
    const auto idx = FormatIndex(m_palette.size());
    m_palette.push_back(format);
    m_paletteIndex.insert(format, idx);
    return idx;
}

const CharFormat &Surface::formatAt(int pos) const
{
    if (pos < 0 || pos >= length())
        return m_palette[m_insertFormat];
    return m_palette[m_formats.at(pos)];
}

void Surface::appendFormats(int pos, int length, std::vector<FormatIndex> &out) const
{
    m_formats.forEachPiece(pos, length, [&out](const FormatIndex *p, int, int n) {
        out.insert(out.end(), p, p + n);
    });
}

template <typename Mutate> void Surface::mutateRange(int start, int length, Mutate mutate)
{
    start = std::clamp(start, 0, this->length());
    length = std::clamp(length, 0, this->length() - start);
    if (length == 0)
        return;
    emit formatsAboutToChange(start, length);
    // Most ranges hold one or two formats: remember the last mapping.
    bool haveLast = false;
    FormatIndex lastFrom = 0, lastTo = 0;
    bool changed = false;
    m_formats.forEachPieceMutable(start, length, [&](FormatIndex *f, int, int n) {
        for (int i = 0; i < n; ++i) {
            const FormatIndex from = f[i];
            if (!haveLast || from != lastFrom) {
                CharFormat cf = m_palette[from];
                mutate(cf);
                lastTo = intern(cf);
                lastFrom = from;
                haveLast = true;
            }
            if (lastTo != from) {
                f[i] = lastTo;
                changed = true;
            }
        }
    });
    if (changed)
        emit formatsChanged(start, length);
}

template <typename Mutate> void Surface::mutateSelection(Mutate mutate)
{
    if (m_selLength == 0) {
        CharFormat cf = m_palette[m_insertFormat];
        mutate(cf);
        m_insertFormat = intern(cf);
        return;
    }
    mutateRange(m_selStart, m_selLength, mutate);
    // Text that replaces the selection takes its new format.
    updateInsertFormatFromCaret();
}

template <typename Get>
auto Surface::readSelection(Get get) const -> std::optional<decltype(get(CharFormat()))>
{
    if (m_selLength == 0)
        return get(m_palette[m_insertFormat]);
    FormatIndex lastSame = m_formats.at(m_selStart);
    const auto first = get(m_palette[lastSame]);
    bool mixed = false;
    m_formats.forEachPiece(m_selStart, m_selLength, [&](const FormatIndex *f, int, int n) {
        for (int i = 0; i < n && !mixed; ++i) {
            if (f[i] == lastSame)
                continue;
            if (!(get(m_palette[f[i]]) == first))
                mixed = true;
            lastSame = f[i];
        }
    });
    if (mixed)
        return std::nullopt;
    return first;
}

void Surface::setFormat(int start, int length, const CharFormat &format)
{
    start = std::clamp(start, 0, this->length());
    length = std::clamp(length, 0, this->length() - start);
    if (length == 0)
        return;
    emit formatsAboutToChange(start, length);
    const FormatIndex idx = intern(format);
    m_formats.forEachPieceMutable(start, length,
                                  [idx](FormatIndex *f, int, int n) { std::fill_n(f, n, idx); });
    emit formatsChanged(start, length);
}

void Surface::setStyleRanges(const std::vector<std::pair<int, int>> &ranges,
                             const TextStyle &style)
{
    {
        qint64 from = length(), to = 0;
        for (const auto &[rawStart, rawLength] : ranges) {
            if (rawLength <= 0)
                continue;
            from = std::min<qint64>(from, std::max<qint64>(rawStart, 0));
            to = std::max<qint64>(to, std::min<qint64>(qint64(rawStart) + rawLength, length()));
        }
        if (from < to)
            emit formatsAboutToChange(int(from), int(to - from));
    }
    // One palette look-up per distinct old format, shared by all ranges.
    QHash<FormatIndex, FormatIndex> remap;
    bool haveLast = false;
    FormatIndex lastFrom = 0, lastTo = 0;
    int lo = length(), hi = 0;
    for (const auto &[rawStart, rawLength] : ranges) {
        if (rawLength <= 0)
            continue;
        const int start = int(std::clamp<qint64>(rawStart, 0, length()));
        const int stop = int(std::clamp<qint64>(qint64(rawStart) + rawLength, 0, length()));
        if (stop <= start)
            continue;
        m_formats.forEachPieceMutable(start, stop - start, [&](FormatIndex *f, int offset, int n) {
            for (int k = 0; k < n; ++k) {
                const FormatIndex from = f[k];
                if (!haveLast || from != lastFrom) {
                    auto it = remap.constFind(from);
                    if (it != remap.constEnd()) {
                        lastTo = it.value();
                    } else {
                        CharFormat cf = m_palette[from];
                        cf.color = style.color & 0xFFFFFF;
                        cf.bold = style.bold;
                        cf.italic = style.italic;
                        cf.underline = style.underline;
                        lastTo = intern(cf);
                        remap.insert(from, lastTo);
                    }
                    lastFrom = from;
                    haveLast = true;
                }
                if (from != lastTo) {
                    f[k] = lastTo;
                    const int i = start + offset + k;
                    lo = std::min(lo, i);
                    hi = std::max(hi, i + 1);
                }
            }
        });
    }
    if (lo < hi)
        emit formatsChanged(lo, hi - lo);
}

bool Surface::isWordCharacter(QChar c)
{
    return isWordChar(c);
}

std::vector<Surface::FormatRun> Surface::formatRuns(int start, int length) const
{
    std::vector<FormatRun> runs;
    start = std::clamp(start, 0, this->length());
    length = std::clamp(length, 0, this->length() - start);
    // Runs are found piece by piece; a run reaching across the gap joins
    // the one before it.
    m_formats.forEachPiece(start, length, [&](const FormatIndex *f, int offset, int n) {
        int i = 0;
        while (i < n) {
            const FormatIndex idx = f[i];
            int j = i + 1;
            while (j < n && f[j] == idx)
                ++j;
            if (i == 0 && !runs.empty() && runs.back().format == &m_palette[idx])
                runs.back().length += j;
            else
                runs.push_back(FormatRun{offset + i, j - i, &m_palette[idx]});
            i = j;
        }
    });
    return runs;
}

// --- text edits --------------------------------------------------------------

void Surface::setText(const QString &text)
{
    replace(0, length(), text);
    clearUndo();
    setSelInternal(0, 0, true);
}

Surface::Edit *Surface::recordUndo(int pos, int removed, const QString &insertedText,
                                  bool fromView)
{
    if (!m_recordUndo)
        return nullptr;
    if (!m_redo.empty()) {
        m_redo.clear();
        emit historyChanged();
    }
    Edit e;
    e.pos = pos;
    e.removedText = mid(pos, removed);
    e.removedFormats.reserve(size_t(removed));
    appendFormats(pos, removed, e.removedFormats);
    e.insertedLength = int(insertedText.size());
    if (m_groupDepth > 0 && m_groupStepOpen && !m_undo.empty()) {
        m_undo.back().edits.push_back(std::move(e));
        m_undo.back().id = m_nextStateId++;
        return &m_undo.back().edits.back();
    }
    // Characters typed one after another make one step per word: a word
    // character typed after a character outside words starts a new one.
    const bool typedChar = fromView && m_groupDepth == 0 && removed == 0
                           && insertedText.size() == 1 && insertedText.at(0) != QLatin1Char('\r');
    if (typedChar && m_mergeUndo && !m_undo.empty()) {
        Step &last = m_undo.back();
        const Edit &prev = last.edits.back();
        const bool startsWord = pos > 0 && isWordChar(insertedText.at(0))
                                && !isWordChar(at(pos - 1));
        if (last.typing && last.edits.size() == 1 && prev.removedText.isEmpty()
            && prev.pos + prev.insertedLength == pos && !startsWord) {
            ++last.edits.back().insertedLength;
            // The step now leads to another text than before.
            last.id = m_nextStateId++;
            return nullptr;
        }
    }
    Step step;
    step.edits.push_back(std::move(e));
    step.id = m_nextStateId++;
    step.typing = typedChar;
    const bool hadUndo = !m_undo.empty();
    m_undo.push_back(std::move(step));
    if (m_groupDepth > 0)
        m_groupStepOpen = true;
    m_mergeUndo = typedChar;
    if (!hadUndo)
        emit historyChanged();
    return &m_undo.back().edits.back();
}

void Surface::beginUndoGroup()
{
    if (m_groupDepth++ == 0)
        m_groupStepOpen = false;
}

void Surface::endUndoGroup()
{
    if (m_groupDepth > 0 && --m_groupDepth == 0) {
        if (m_groupStepOpen)
            m_mergeUndo = false;
        m_groupStepOpen = false;
    }
}

void Surface::updateModified()
{
    const bool modified = currentState() != m_cleanState;
    if (modified == m_modified)
        return;
    m_modified = modified;
    emit modifiedChanged(modified);
}

void Surface::setClean()
{
    m_cleanState = currentState();
    updateModified();
}

void Surface::markModified()
{
    m_cleanState = std::numeric_limits<quint64>::max();
    updateModified();
}

bool Surface::replace(int pos, int removed, const QString &rawText, bool fromView)
{
    return replace(pos, removed, rawText, fromView, nullptr);
}

bool Surface::replacePieces(int pos, int removed, const std::vector<Piece> &pieces)
{
    const int len = length();
    pos = std::clamp(pos, 0, len);
    removed = std::clamp(removed, 0, len - pos);
    auto splitsPair = [&](int at) {
        return at > 0 && at < len && m_text.at(at - 1) == QLatin1Char('\r')
               && m_text.at(at) == QLatin1Char('\n');
    };
    // A range that ends inside a line break takes the rest of it along
    // unchanged, and one that starts inside takes its CR.
    const bool withCr = splitsPair(pos);
    if (withCr) {
        --pos;
        ++removed;
    }
    const bool withLf = splitsPair(pos + removed);
    if (withLf)
        ++removed;
    // Kept pieces must lie in the text, and the result must fit: anything
    // else refuses the edit before a byte is allocated for it.
    qint64 total = (withCr ? 1 : 0) + (withLf ? 1 : 0);
    for (const Piece &p : pieces) {
        if (p.source >= 0) {
            if (p.length < 0 || qint64(p.source) + p.length > len)
                return false;
            total += p.length;
        } else {
            total += p.text.size();
        }
        if (total > kMaxLength)
            return false;
    }
    if (qint64(len) - removed + total > kMaxLength)
        return false;
    QString text;
    text.reserve(qsizetype(total));
    std::vector<FormatIndex> formats;
    formats.reserve(size_t(total));
    auto keep = [&](int from, int n) {
        m_text.forEachPiece(from, n, [&text](const QChar *p, int, int k) {
            text.append(QStringView(p, k));
        });
        appendFormats(from, n, formats);
    };
    if (withCr)
        keep(pos, 1);
    for (const Piece &p : pieces) {
        if (p.source >= 0) {
            keep(p.source, p.length);
        } else {
            const FormatIndex f = p.formatOf >= 0 && p.formatOf < len
                                      ? m_formats.at(p.formatOf)
                                      : m_insertFormat;
            text.append(p.text);
            formats.insert(formats.end(), size_t(p.text.size()), f);
        }
    }
    if (withLf)
        keep(pos + removed - 1, 1);
    // Normalising changes the length exactly when the text is not clean.
    const bool clean = normalizeLineBreaks(text).size() == text.size();
    return replace(pos, removed, text, false, clean ? &formats : nullptr);
}

bool Surface::replace(int pos, int removed, const QString &rawText, bool fromView,
                      const std::vector<FormatIndex> *newFormats)
{
    const int len = length();
    pos = std::clamp(pos, 0, len);
    removed = std::clamp(removed, 0, len - pos);
    // Never split a CR LF pair. An insertion between CR and LF goes before
    // the pair (the end of the line); a removal that starts or ends inside
    // a pair takes the whole pair.
    if (pos > 0 && pos < len && m_text.at(pos - 1) == QLatin1Char('\r')
        && m_text.at(pos) == QLatin1Char('\n')) {
        --pos;
        if (removed > 0)
            ++removed;
    }
    const int endPos = pos + removed;
    if (removed > 0 && endPos > 0 && endPos < len && m_text.at(endPos - 1) == QLatin1Char('\r')
        && m_text.at(endPos) == QLatin1Char('\n'))
        ++removed;

    // Normalising at most doubles the length: a text that cannot fit even
    // before that is refused without being copied.
    if (qint64(len) - removed + rawText.size() > kMaxLength)
        return false;
    const QString text = normalizeLineBreaks(rawText);
    if (qint64(len) - removed + text.size() > kMaxLength)
        return false;
    const int inserted = int(text.size());
    if (removed == 0 && inserted == 0)
        return true;

    emit textAboutToBeReplaced(pos, removed);
    // Line starts: those inside the removed text go (one per line feed
    // removed), those of the inserted text come; the ones after the edit
    // need no update.
    const int first = m_lineStarts.upperBound(pos, len);
    const int last = removed > 0 ? m_lineStarts.upperBound(pos + removed, len) : first;
    const int removedBreaks = last - first;
    Edit *recorded = recordUndo(pos, removed, text, fromView);
    if (!fromView)
        m_mergeUndo = false;

    // Formats of new text: the format for typed text.
    const FormatIndex fmt = m_insertFormat;
    std::vector<int> added;
    const QChar *chars = text.constData();
    for (int i = 0; i < inserted; ++i)
        if (chars[i] == QLatin1Char('\n'))
            added.push_back(pos + i + 1);
    m_lineStarts.replace(first, last, added, len);

    m_text.replace(pos, removed, chars, inserted);
    if (newFormats && newFormats->size() == size_t(inserted))
        m_formats.replace(pos, removed, newFormats->data(), inserted);
    else
        m_formats.replaceFill(pos, removed, fmt, inserted);

    m_lastMarksBefore = m_marks->adjust(pos, removed, inserted);
    if (recorded)
        recorded->marksBefore = m_lastMarksBefore;

    ++m_revision;
    const int oldStart = m_selStart, oldLength = m_selLength;
    m_selStart = pos + inserted;
    m_selLength = 0;
    updateModified();
    emit textReplaced(pos, removed, removedBreaks, inserted, fromView);
    if (fromView) {
        m_pendingViewChange = true;
        return true;
    }
    if (m_holdChanged)
        return true;
    emit changed();
    if (oldStart != m_selStart || oldLength != m_selLength) {
        emit selectionSetByProgram();
        emit selChanged();
    }
    return true;
}

void Surface::notifyChanged()
{
    if (!m_pendingViewChange)
        return;
    m_pendingViewChange = false;
    emit changed();
    emit selChanged();
}

// --- selection -------------------------------------------------------------

void Surface::setSelInternal(int start, int length, bool byProgram)
{
    start = std::clamp(start, 0, this->length());
    length = std::clamp(length, 0, this->length() - start);
    const bool moved = start != m_selStart || length != m_selLength;
    m_selStart = start;
    m_selLength = length;
    updateInsertFormatFromCaret();
    if (!moved)
        return;
    if (byProgram)
        emit selectionSetByProgram();
    emit selChanged();
}

void Surface::setSelectionFromView(int start, int length)
{
    if (start != m_selStart)
        m_mergeUndo = false;
    setSelInternal(start, length, false);
}

void Surface::updateInsertFormatFromCaret()
{
    // Text typed next takes the format of the selection's first character,
    // or of the character before the caret.
    if (m_text.isEmpty())
        return;
    int at = m_selLength > 0 ? m_selStart : m_selStart - 1;
    if (at < 0)
        at = 0;
    m_insertFormat = m_formats.at(std::min(at, length() - 1));
}

void Surface::setSelStart(int pos)
{
    setSelInternal(pos, 0, true);
}

void Surface::setSelLength(int len)
{
    if (len < 0)
        return;
    setSelInternal(m_selStart, len, true);
}

void Surface::setSelection(int start, int len)
{
    setSelInternal(start, std::max(0, len), true);
}

QString Surface::selText() const
{
    return mid(m_selStart, m_selLength);
}

void Surface::setSelText(const QString &text)
{
    replace(m_selStart, m_selLength, text);
}

std::optional<BgrColor> Surface::selColor() const
{
    return readSelection([](const CharFormat &f) { return f.color; });
}
void Surface::setSelColor(BgrColor color)
{
    mutateSelection([color](CharFormat &f) { f.color = color & 0xFFFFFF; });
}
std::optional<bool> Surface::selBold() const
{
    return readSelection([](const CharFormat &f) { return f.bold; });
}
void Surface::setSelBold(bool on)
{
    mutateSelection([on](CharFormat &f) { f.bold = on; });
}
std::optional<bool> Surface::selItalic() const
{
    return readSelection([](const CharFormat &f) { return f.italic; });
}
void Surface::setSelItalic(bool on)
{
    mutateSelection([on](CharFormat &f) { f.italic = on; });
}
std::optional<bool> Surface::selUnderline() const
{
    return readSelection([](const CharFormat &f) { return f.underline; });
}
void Surface::setSelUnderline(bool on)
{
    mutateSelection([on](CharFormat &f) { f.underline = on; });
}
std::optional<QString> Surface::selFontName() const
{
    const QString base = m_baseFontName;
    return readSelection(
        [&base](const CharFormat &f) { return f.fontName.isEmpty() ? base : f.fontName; });
}
void Surface::setSelFontName(const QString &name)
{
    const QString stored = name == m_baseFontName ? QString() : name;
    mutateSelection([&stored](CharFormat &f) { f.fontName = stored; });
}
std::optional<double> Surface::selFontSize() const
{
    const double base = m_baseFontSize;
    return readSelection([base](const CharFormat &f) { return f.fontSize > 0 ? f.fontSize : base; });
}
void Surface::setSelFontSize(double points)
{
    // A size that is no number would never equal itself, and so never
    // find its palette entry again.
    if (!std::isfinite(points))
        return;
    const double stored = points == m_baseFontSize ? 0 : points;
    mutateSelection([stored](CharFormat &f) { f.fontSize = stored; });
}
void Surface::setSelStyle(BgrColor color, bool bold, bool italic, bool underline)
{
    mutateSelection([=](CharFormat &f) {
        f.color = color & 0xFFFFFF;
        f.bold = bold;
        f.italic = italic;
        f.underline = underline;
    });
}

// --- whole surface ---------------------------------------------------------

void Surface::setFontName(const QString &name)
{
    // The base font applies to the whole text: per-character names go.
    m_baseFontName = name;
    mutateRange(0, length(), [](CharFormat &f) { f.fontName.clear(); });
    CharFormat cf = m_palette[m_insertFormat];
    cf.fontName.clear();
    m_insertFormat = intern(cf);
    emit appearanceChanged();
}

void Surface::setFontSize(double points)
{
    if (!(points > 0) || !std::isfinite(points))
        return;
    m_baseFontSize = points;
    mutateRange(0, length(), [](CharFormat &f) { f.fontSize = 0; });
    CharFormat cf = m_palette[m_insertFormat];
    cf.fontSize = 0;
    m_insertFormat = intern(cf);
    emit appearanceChanged();
}

void Surface::setBackColor(BgrColor color)
{
    m_backColor = color & 0xFFFFFF;
    emit appearanceChanged();
}

void Surface::setRightMargin(int twips)
{
    m_rightMargin = std::max(0, twips);
    emit appearanceChanged();
}

void Surface::setVisible(bool visible)
{
    if (m_visible == visible)
        return;
    m_visible = visible;
    emit appearanceChanged();
}

// --- find and lines ----------------------------------------------------------

bool Surface::wholeWordAt(int pos, int len, const QString &needle) const
{
    if (isWordChar(needle.front()) && pos > 0 && isWordChar(at(pos - 1)))
        return false;
    if (isWordChar(needle.back()) && pos + len < length() && isWordChar(at(pos + len)))
        return false;
    return true;
}

int Surface::indexOf(const QString &needle, int start, int end, int options) const
{
    const int len = length();
    if (needle.isEmpty())
        return -1;
    if (start < 0)
        start = 0;
    if (end < 0 || end > len)
        end = len;
    const int n = int(needle.size());
    if (start > end - n)
        return -1;
    const Qt::CaseSensitivity cs =
        (options & FindMatchCase) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    // First accepted match in `window` (the characters from `base` on)
    // starting no later than lastStart; the window ends where a match must.
    auto search = [&](QStringView window, int base, int lastStart) -> int {
        qsizetype from = 0;
        while (base + from <= lastStart) {
            const qsizetype p = window.indexOf(needle, from, cs);
            if (p < 0 || base + p > lastStart)
                return -1;
            if (!(options & FindWholeWord) || wholeWordAt(base + int(p), n, needle))
                return base + int(p);
            from = p + 1;
        }
        return -1;
    };
    // The text is searched where it lies, without a copy: first the part
    // before the gap, then the few places where a match runs across the
    // gap, then the part after it.
    const int gap = m_text.gapPosition();
    if (gap <= start || gap >= end) {
        QStringView window;
        m_text.forEachPiece(start, end - start,
                            [&window](const QChar *p, int, int k) { window = QStringView(p, k); });
        return search(window, start, end - n);
    }
    QStringView before, after;
    m_text.forEachPiece(start, end - start, [&](const QChar *p, int offset, int k) {
        (offset == 0 ? before : after) = QStringView(p, k);
    });
    int found = search(before, start, gap - n);
    if (found >= 0)
        return found;
    const int acrossStart = std::max(start, gap - n + 1);
    const int acrossEnd = std::min(end, gap + n - 1);
    if (acrossEnd - acrossStart >= n) {
        found = search(mid(acrossStart, acrossEnd - acrossStart), acrossStart, gap - 1);
        if (found >= 0)
            return found;
    }
    return search(after, gap, end - n);
}

int Surface::find(const QString &needle, int start, int end, int options)
{
    const int p = indexOf(needle, start, end, options);
    if (p >= 0)
        setSelInternal(p, int(needle.size()), true);
    return p;
}

int Surface::lineIndex(int line) const
{
    if (line < 0 || line >= lineCount())
        return -1;
    return m_lineStarts.at(line, length());
}

int Surface::lineFromChar(int pos) const
{
    pos = std::clamp(pos, 0, length());
    return m_lineStarts.upperBound(pos, length()) - 1;
}

int Surface::lineLength(int line) const
{
    if (line < 0 || line >= lineCount())
        return 0;
    const int len = length();
    const int start = m_lineStarts.at(line, len);
    const int next = line + 1 < lineCount() ? m_lineStarts.at(line + 1, len) - 2 : len;
    return next - start;
}

QChar Surface::at(int pos) const
{
    return pos >= 0 && pos < length() ? m_text.at(pos) : QChar();
}

QStringView Surface::span(int pos, int length) const
{
    pos = std::clamp(pos, 0, this->length());
    length = std::clamp(length, 0, this->length() - pos);
    return QStringView(m_text.contiguous(pos, length), length);
}

QString Surface::mid(int pos, int length) const
{
    // Copied piece by piece: the gap stays where it is.
    pos = std::clamp(pos, 0, this->length());
    length = std::clamp(length, 0, this->length() - pos);
    QString out(length, Qt::Uninitialized);
    m_text.copyTo(pos, length, out.data());
    return out;
}

QString Surface::text() const
{
    return mid(0, length());
}

QString Surface::lineText(int line) const
{
    const int start = lineIndex(line);
    return start < 0 ? QString() : mid(start, lineLength(line));
}

int Surface::firstVisibleLine() const
{
    return m_firstVisibleLine ? m_firstVisibleLine() : 0;
}

void Surface::setFirstVisibleLineProvider(std::function<int()> provider)
{
    m_firstVisibleLine = std::move(provider);
}

int Surface::toViewPosition(int pos) const
{
    pos = std::clamp(pos, 0, length());
    const int line = lineFromChar(pos);
    // A position on the LF of a line break is the end of the line there.
    const int lineEnd = m_lineStarts.at(line, length()) + lineLength(line);
    return std::min(pos, lineEnd) - line;
}

int Surface::fromViewPosition(int viewPos) const
{
    // Line n starts at model position start(n) and view position start(n) - n.
    const int len = length();
    int lo = 0, hi = lineCount() - 1;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (m_lineStarts.at(mid, len) - mid <= viewPos)
            lo = mid;
        else
            hi = mid - 1;
    }
    const int start = m_lineStarts.at(lo, len);
    const int offset = std::clamp(viewPos - (start - lo), 0, lineLength(lo));
    return start + offset;
}

// --- files -------------------------------------------------------------------

std::optional<TextFileFormat> Surface::loadFile(const QString &path, QString *error)
{
    auto decoded = readTextFile(path, error);
    if (!decoded)
        return std::nullopt;
    setText(decoded->text);
    return decoded->format;
}

// --- undo ----------------------------------------------------------------------

Surface::Edit Surface::applyEdit(const Edit &edit)
{
    // Put the removed text (with its formats) back in place of the
    // inserted text, and return the opposite edit.
    Edit inverse;
    inverse.pos = edit.pos;
    inverse.removedText = mid(edit.pos, edit.insertedLength);
    inverse.removedFormats.reserve(size_t(edit.insertedLength));
    appendFormats(edit.pos, edit.insertedLength, inverse.removedFormats);
    inverse.insertedLength = int(edit.removedText.size());

    const bool wasRecording = m_recordUndo;
    m_recordUndo = false;
    replace(edit.pos, edit.insertedLength, edit.removedText, false, &edit.removedFormats);
    m_recordUndo = wasRecording;
    inverse.marksBefore = std::move(m_lastMarksBefore);
    m_marks->restore(edit.marksBefore);
    if (!edit.removedFormats.empty())
        emit formatsChanged(edit.pos, int(edit.removedFormats.size()));
    return inverse;
}

void Surface::applyStep(std::vector<Step> &from, std::vector<Step> &to)
{
    if (from.empty() || m_applyingHistory)
        return;
    Step step = std::move(from.back());
    from.pop_back();
    m_mergeUndo = false;
    const int oldStart = m_selStart, oldLength = m_selLength;
    // The edits are taken back last first; their opposites, kept in the
    // same order reversed, make the step again in its own order. The step
    // keeps its name: redoing it leads to the same state again.
    Step inverse;
    inverse.id = step.id;
    m_applyingHistory = true;
    m_holdChanged = true;
    for (auto it = step.edits.rbegin(); it != step.edits.rend(); ++it)
        inverse.edits.push_back(applyEdit(*it));
    m_holdChanged = false;
    // The state is now the one before the step (undo) or the step's own
    // (redo): the stacks tell which.
    to.push_back(std::move(inverse));
    updateModified();
    emit historyChanged();
    // Handlers run once for the whole step, with the text complete; edits
    // they make now are recorded as usual.
    emit changed();
    m_applyingHistory = false;
    if (oldStart != m_selStart || oldLength != m_selLength) {
        emit selectionSetByProgram();
        emit selChanged();
    }
}

void Surface::undo()
{
    applyStep(m_undo, m_redo);
}

void Surface::redo()
{
    applyStep(m_redo, m_undo);
}

void Surface::clearUndo()
{
    const bool clean = !m_modified;
    const bool had = !m_undo.empty() || !m_redo.empty();
    m_undo.clear();
    m_redo.clear();
    m_mergeUndo = false;
    m_groupStepOpen = false;
    // Without its history the text can only be clean if it is clean now.
    m_cleanState = clean ? 0 : std::numeric_limits<quint64>::max();
    m_marks->forgetEnded();
    updateModified();
    if (had)
        emit historyChanged();
}

bool Surface::setUndoRecording(bool on)
{
    const bool was = m_recordUndo;
    m_recordUndo = on;
    return was;
}

// --- clipboard -----------------------------------------------------------------

QMimeData *Surface::mimeData(int start, int len) const
{
    start = std::clamp(start, 0, length());
    len = std::clamp(len, 0, length() - start);
    auto *data = new QMimeData;
    const QString text = mid(start, len);
    // Other programs on this system expect LF line breaks.
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    data->setText(plain);
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << text;
    const auto runs = formatRuns(start, len);
    out << quint32(runs.size());
    for (const auto &r : runs) {
        const CharFormat &f = *r.format;
        out << qint32(r.length) << quint32(f.color) << f.bold << f.italic << f.underline
            << (f.fontName.isEmpty() ? m_baseFontName : f.fontName)
            << (f.fontSize > 0 ? f.fontSize : m_baseFontSize);
    }
    data->setData(kFormattedMime, bytes);
    return data;
}

namespace {

// One run of pasted formatted data, as read.
struct PastedRun {
    qint32 length = 0;
    CharFormat format;
};

// Reads our formatted clipboard data. Nothing unless every run has a
// non-negative length, the runs cover the text exactly, every font size is
// a finite size in range and the text is clean CR LF text.
bool readFormatted(const QByteArray &bytes, QString &text, std::vector<PastedRun> &runs)
{
    QDataStream in(bytes);
    quint32 count = 0;
    in >> text >> count;
    if (in.status() != QDataStream::Ok)
        return false;
    qint64 total = 0;
    for (quint32 i = 0; i < count; ++i) {
        qint32 l = 0;
        quint32 color = 0;
        PastedRun r;
        in >> l >> color >> r.format.bold >> r.format.italic >> r.format.underline
            >> r.format.fontName >> r.format.fontSize;
        if (in.status() != QDataStream::Ok || l < 0)
            return false;
        total += l;
        if (total > text.size())
            return false;
        const double size = r.format.fontSize;
        if (!std::isfinite(size) || size < Surface::kMinFontSize || size > Surface::kMaxFontSize)
            return false;
        r.format.color = color & 0xFFFFFF;
        r.length = l;
        runs.push_back(std::move(r));
    }
    return total == text.size() && Surface::normalizeLineBreaks(text).size() == text.size();
}

} // namespace

bool Surface::refusesText(QStringView text)
{
    if (!text.contains(QChar(0)))
        return false;
    emit textRefused(QStringLiteral(
        "Not inserted: the text holds a NUL character, which a text file cannot hold"));
    return true;
}

Surface::MimeContent Surface::readMimeData(const QMimeData *data, bool withFormatting,
                                           QString &text, std::vector<FormatIndex> *formats)
{
    if (!data)
        return MimeContent::None;
    if (withFormatting && data->hasFormat(kFormattedMime)) {
        std::vector<PastedRun> runs;
        if (readFormatted(data->data(kFormattedMime), text, runs)) {
            if (formats) {
                formats->reserve(size_t(text.size()));
                for (PastedRun &r : runs) {
                    if (r.format.fontName == m_baseFontName)
                        r.format.fontName.clear();
                    if (r.format.fontSize == m_baseFontSize)
                        r.format.fontSize = 0;
                    formats->insert(formats->end(), size_t(r.length), intern(r.format));
                }
            }
            return MimeContent::Formatted;
        }
        text.clear(); // what was read of data that does not read cleanly
    }
    if (!data->hasText())
        return MimeContent::None;
    text = data->text();
    return MimeContent::Plain;
}

bool Surface::refusesMimeData(const QMimeData *data, bool withFormatting)
{
    QString text;
    readMimeData(data, withFormatting, text, nullptr);
    return refusesText(text);
}

void Surface::insertMimeData(const QMimeData *data, bool withFormatting)
{
    QString text;
    std::vector<FormatIndex> formats;
    switch (readMimeData(data, withFormatting, text, &formats)) {
    case MimeContent::None:
        return;
    case MimeContent::Formatted:
        if (refusesText(text))
            return;
        // The text lands where replace() puts it (before a line break
        // when the selection starts on its LF); the formats go with it.
        if (replace(m_selStart, m_selLength, text, false, &formats) && !text.isEmpty())
            emit formatsChanged(m_selStart - int(text.size()), int(text.size()));
        return;
    case MimeContent::Plain:
        if (!refusesText(text))
            replace(m_selStart, m_selLength, text);
        return;
    }
}

bool Surface::copy()
{
    if (m_selLength == 0 || !QGuiApplication::clipboard())
        return false;
    QGuiApplication::clipboard()->setMimeData(mimeData(m_selStart, m_selLength));
    return true;
}

bool Surface::cut()
{
    if (!copy())
        return false;
    replace(m_selStart, m_selLength, QString());
    return true;
}

bool Surface::paste()
{
    auto *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    insertMimeData(clipboard->mimeData(), true);
    return true;
}

bool Surface::copyPlain()
{
    if (m_selLength == 0 || !QGuiApplication::clipboard())
        return false;
    QString plain = selText();
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QGuiApplication::clipboard()->clear();
    QGuiApplication::clipboard()->setText(plain);
    return true;
}

bool Surface::cutPlain()
{
    if (!copyPlain())
        return false;
    replace(m_selStart, m_selLength, QString());
    return true;
}

bool Surface::pastePlain()
{
    auto *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    const QString text = clipboard->text();
    if (!refusesText(text))
        replace(m_selStart, m_selLength, text);
    return true;
}

} // namespace qln
