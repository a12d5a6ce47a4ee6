#pragma once
// The text of a surface with a format per character and a table of line
// starts. Every line break is CR LF (two characters). The text is a gap
// buffer whose gap sits at the last edit, the formats are runs (FormatRuns);
// formats are indices into a palette of distinct formats that only grows,
// so an index held anywhere (an undo entry) never goes stale. Storage only: no selection, history
// or signals; Surface adds those.

#include "surface/charformat.h"
#include "surface/formatruns.h"
#include "surface/gapbuffer.h"

#include <QHash>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace qln {

// Options of find, combinable.
enum FindOptions { FindNone = 0, FindWholeWord = 2, FindMatchCase = 4 };

class TextStore {
public:
    // Index of a format in the palette.
    using FormatIndex = quint32;
    // Positions are ints: no text grows longer than this.
    static constexpr int kMaxLength = std::numeric_limits<int>::max() - 2;

    TextStore();

    // --- text ---------------------------------------------------------------
    int length() const { return m_text.size(); }
    QChar at(int pos) const { return pos >= 0 && pos < length() ? m_text.at(pos) : QChar(); }
    QString mid(int pos, int length) const; // clamped to the text
    // A view of [pos, pos + length), clamped to the text. Valid until the
    // text changes or span() is called again; moves the gap out of the
    // range only when it lies inside it.
    QStringView span(int pos, int length) const;
    QString text() const { return mid(0, length()); }
    // Appends [pos, pos + length) (in the text) to out without moving the gap.
    void appendText(int pos, int length, QString &out) const;
    // Whether pos lies between the CR and the LF of a line break.
    bool isInsideLineBreak(int pos) const
    {
        return pos > 0 && pos < length() && m_text.at(pos - 1) == QLatin1Char('\r')
               && m_text.at(pos) == QLatin1Char('\n');
    }

    // --- lines ----------------------------------------------------------------
    int lineCount() const { return m_lineStarts.count(); }
    int lineIndex(int line) const; // -1 when the line does not exist
    int lineFromChar(int pos) const;
    int lineLength(int line) const; // without its line break
    QString lineText(int line) const;
    // A position in a view's counting (one character per line break) and back.
    int toViewPosition(int pos) const;
    int fromViewPosition(int viewPos) const;

    // --- find -----------------------------------------------------------------
    // First match of needle lying wholly in [start, end) (end -1: the end of
    // the text), or -1. The text is searched where it lies, without a copy.
    int indexOf(const QString &needle, int start, int end = -1, int options = FindNone) const;
    // The whole-word rule of find: letters, digits, "_" and "$" form words.
    static bool isWordCharacter(QChar c)
    {
        return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
    }
    // Turns any line-break style into CR LF.
    // A text with CR LF breaks only comes back without a copy.
    static QString normalizeLineBreaks(QString text);

    // --- edits ------------------------------------------------------------------
    // Replaces [pos, pos + removed) (in the text, not inside a line break)
    // by text (clean CR LF text that fits kMaxLength), with one format per
    // character from formats, or all in fill when formats is nullptr.
    // Returns how many line breaks were removed. Text that replaces the
    // whole content in one format becomes the store's own, without a copy.
    int replace(int pos, int removed, QString text, const FormatIndex *formats, FormatIndex fill);

    // --- formats ----------------------------------------------------------------
    FormatIndex intern(const CharFormat &format);
    const CharFormat &format(FormatIndex index) const { return m_palette[index]; }
    FormatIndex formatIndexAt(int pos) const { return m_formats.at(pos); } // pos in the text
    // How many runs of equal format the text holds.
    int formatRunCount() const { return m_formats.runCount(); }
    void appendFormats(int pos, int length, std::vector<FormatIndex> &out) const;
    // Clamps [start, start + length) to the text.
    void clampRange(int &start, int &length) const
    {
        start = std::clamp(start, 0, this->length());
        length = std::clamp(length, 0, this->length() - start);
    }
    // Gives [start, start + length) (in the text) one format.
    void fillFormats(int start, int length, FormatIndex index);
    // Changes the format of every character of [start, start + length) (in
    // the text) by mutate(CharFormat &). True when any character changed.
    template <typename Mutate> bool mutateFormats(int start, int length, Mutate mutate);
    // The value get(format) shared by every character of [start, start +
    // length) (in the text, not empty), or nothing when they differ.
    template <typename Get>
    auto commonValue(int start, int length, Get get) const
        -> std::optional<decltype(get(CharFormat()))>;

    // Colour and the three font styles: the part of a format that the
    // formatting engine writes.
    struct TextStyle {
        BgrColor color = 0;
        bool bold = false;
        bool italic = false;
        bool underline = false;
    };
    // Gives every (start, length) range the style, keeping each character's
    // font name and size. Ranges may overlap and come in any order; parts
    // outside the text are ignored. Returns the span [first, end) of the
    // characters that changed (empty when none did).
    std::pair<int, int> setStyle(const std::vector<std::pair<int, int>> &ranges,
                                 const TextStyle &style);
    // Runs of equal format within [start, start + length), as (offset from
    // start, length, format) triples.
    struct FormatRun {
        int start;
        int length;
        const CharFormat *format;
    };
    std::vector<FormatRun> formatRuns(int start, int length) const;

private:
    bool wholeWordAt(int pos, int len, const QString &needle) const;

    // span() may move the text's gap, hence mutable.
    mutable GapBuffer<QChar, QString> m_text;
    FormatRuns m_formats;
    std::vector<CharFormat> m_palette;
    QHash<CharFormat, FormatIndex> m_paletteIndex;
    LineStarts m_lineStarts;
};

template <typename Mutate> bool TextStore::mutateFormats(int start, int length, Mutate mutate)
{
    // Each run asks once; most ranges hold one or two formats.
    QHash<FormatIndex, FormatIndex> done;
    const auto [lo, hi] = m_formats.map(start, length, [&](FormatIndex from) {
        auto it = done.constFind(from);
        if (it != done.constEnd())
            return it.value();
        CharFormat cf = m_palette[from];
        mutate(cf);
        const FormatIndex to = intern(cf);
        done.insert(from, to);
        return to;
    });
    return lo < hi;
}

template <typename Get>
auto TextStore::commonValue(int start, int length, Get get) const
    -> std::optional<decltype(get(CharFormat()))>
{
    const auto first = get(m_palette[m_formats.at(start)]);
    bool mixed = false;
    m_formats.forEachRun(start, length, [&](int, int, FormatIndex f) {
        if (!mixed && !(get(m_palette[f]) == first))
            mixed = true;
    });
    if (mixed)
        return std::nullopt;
    return first;
}

} // namespace qln
