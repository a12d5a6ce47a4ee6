#pragma once
// The line-layout cache: a surface's lines as QTextLayouts, built only when
// asked for (the lines on screen), kept per line number and dropped when
// the line changes. A line longer than kLongLine comes in pieces of about
// kChunk characters, each laid out on its own when needed. The cache knows
// each line's height and width, where a position shows within its line and
// which position lies at a point of the line; it knows nothing of scrolling
// or of the widget it is shown in. Whoever shows the surface tells it about
// edits (textReplaced, formatsChanged) and what text is being composed.

#include <QFont>
#include <QInputMethodEvent>
#include <QTextLayout>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class QPaintDevice;

namespace qln {

class Surface;

class LineLayouts {
public:
    // Lines longer than this are laid out in pieces of about kChunk
    // characters. Where lines wrap, each piece wraps on its own, and a
    // piece laid out moves the border to the next one to where the rows of
    // the whole line break: no row ends early at a border.
    static constexpr int kLongLine = 4096;
    static constexpr int kChunk = 2048;
    // The distance between tab stops.
    static constexpr double kTabStop = 80;

    // One laid-out piece of a line: the whole line, or for a long line a
    // chunk of it. Where lines do not wrap, a line's pieces sit side by side
    // (x is a piece's left edge within the line); where they wrap, each
    // piece wraps on its own and they sit one below the other (y is a
    // piece's top within the line). Until a piece is laid out, its width
    // and height are estimated from the average character width.
    struct Piece {
        int start = 0; // column in the line
        int length = 0;
        double x = 0;
        double y = 0;
        double width = 0;
        double height = 0;
        bool measured = false;
        // Where lines wrap: the piece is known to start where the rows of
        // the whole line break (the piece before it, laid out, ends its
        // last row here). Until then the seam may end a row early.
        bool followsRows = false;
        std::unique_ptr<QTextLayout> layout;
    };
    struct Line {
        int length = 0;
        bool chunked = false;
        std::vector<Piece> pieces;
        double height = 0;
        double width = 0;
    };
    // Where a position shows within its line: x from the line's left edge,
    // y from the line's top, the height of its wrapped row, and which piece
    // and row of that piece it is in.
    struct Place {
        double x = 0;
        double y = 0;
        double height = 0;
        size_t piece = 0;
        int row = 0;
    };

    explicit LineLayouts(const Surface &surface);
    ~LineLayouts();
    LineLayouts(const LineLayouts &) = delete;
    LineLayouts &operator=(const LineLayouts &) = delete;

    const Surface &surface() const { return m_surface; }

    // The font lines are laid out in, measured for `device` (nullptr: the
    // screen). Changing it drops every layout.
    void setFont(const QFont &font, QPaintDevice *device);
    const QFont &font() const { return m_font; }
    double lineSpacing() const { return m_lineSpacing; }
    double averageWidth() const { return m_averageWidth; }
    // The width lines wrap at; 0: they do not wrap. Changing it drops every
    // layout.
    void setWrapWidth(int width);
    int wrapWidth() const { return m_wrapWidth; }
    bool wraps() const { return m_wrapWidth > 0; }

    // Text an input method is composing, shown at `pos` (no text yet) and
    // underlined, with its cursor `cursor` characters into it. An empty
    // text ends it. The line it shows in is laid out again.
    void setPreedit(int pos, const QString &text, int cursor,
                    const QList<QInputMethodEvent::Attribute> &attributes);
    bool hasPreedit() const { return !m_preedit.isEmpty(); }
    int preeditCursor() const { return m_preeditCursor; }

    // --- the cache ---------------------------------------------------------
    // A line's entry, made (with estimated pieces) if there is none yet.
    Line &line(int line) const;
    bool has(int line) const { return m_lines.count(line) > 0; }
    // The layout of a line's piece, built when there is none.
    QTextLayout *layout(int line, Line &entry, size_t piece) const;
    // The last piece starting at or before a column, x or y of the line.
    static size_t pieceAt(const Line &entry, int column);
    static size_t pieceAtX(const Line &entry, double x);
    static size_t pieceAtY(const Line &entry, double y);
    // A line's height: laid out where lines wrap; otherwise the line
    // spacing unless it was laid out already.
    double lineHeight(int line) const;
    // A line's width, laying it out (a long line: as far as measured).
    double lineWidth(int line) const;
    void clear();
    // How many layouts (whole lines or pieces) have been built so far;
    // tests and benchmarks watch it to see what an edit costs.
    quint64 layoutsBuilt() const { return m_layoutsBuilt; }

    // Drops the lines outside [first, last] but `caret`'s once more than
    // `most` lines are cached. Pieces of long lines outside [near0, near1]
    // give up their layouts (their measured sizes stay) unless they hold
    // the caret: x within the line where lines do not wrap; where they
    // wrap, lineTop(line) plus the piece's y.
    void trim(int first, int last, size_t most, int caret, double near0, double near1,
              const std::function<double(int)> &lineTop);

    // --- the widest line ------------------------------------------------
    // The widest line laid out so far sets the sideways range; when that
    // line changes or goes, the range is stale until found again from the
    // lines laid out.
    double widest() const { return m_widest; }
    bool widestStale() const { return m_widestStale; }
    // Lays out `lines`, then takes the widest of all lines laid out.
    void findWidest(const std::vector<int> &lines) const;
    // A line is at least this wide (the caret stands that far right).
    void noteWidth(int line, double width);
    // Called when the widest line grew or needs finding again.
    void setWidestChanged(std::function<void()> handler) { m_widestChanged = std::move(handler); }
    // Called when a piece of a long wrapped line, measured, turned out
    // taller or shorter than it was taken to be: the line's rows below
    // that piece's top moved by newHeight - oldHeight.
    void setPieceResized(
        std::function<void(int line, double pieceTop, double oldHeight, double newHeight)> handler)
    {
        m_pieceResized = std::move(handler);
    }

    // --- positions ------------------------------------------------------
    Place placeOf(int pos) const;
    double xOfPosition(int pos) const { return placeOf(pos).x; }
    // The position nearest to x on a row of a line: on the given piece and
    // row, or (piece -1) on the first row of the piece at x.
    int positionInLine(int line, double x, int piece = -1, int row = 0) const;
    // The wrapped row of a line at a height within it (where lines wrap).
    Place rowAtY(int line, double yInLine) const;
    // One row on, down (direction 1) or up; false at the text's end.
    bool stepRow(int &line, size_t &piece, int &row, int direction) const;
    // How far below its line's top a row of a piece starts.
    double rowTop(int line, size_t piece, int row) const;
    // Where the caret may stand: never inside a CR LF pair or a surrogate
    // pair; next and previous step over whole characters with their marks.
    int snapPosition(int pos) const;
    int nextPosition(int pos) const;
    int previousPosition(int pos) const;

    // --- following the surface --------------------------------------------
    // What an edit did to the cache, for the view to repaint.
    struct Change {
        int first = 0;       // the first line the edit touched
        int addedBreaks = 0; // line breaks in the new text
        int delta = 0;       // lines added (negative: removed)
        bool whole = false;  // the whole text was replaced
        // The height of the edited line before the edit, where lines wrap
        // and the line had been laid out (-1: not known).
        double oldHeight = -1;
        // Lines replaced by as many lines, without wrapping: the cache kept
        // the lines that read and look as before; these are the ones it
        // dropped.
        bool sameLines = false;
        std::vector<int> dropped;
    };
    // [pos, pos + removed) became `added` characters; removedBreaks line
    // breaks were among the removed ones. With `measure`, a piece of a long
    // wrapped line the edit changed is laid out again at once.
    Change textReplaced(int pos, int removed, int removedBreaks, int added, bool measure);
    // The formats of [start, start + length) changed: returns the lines
    // dropped (first > last: none).
    std::pair<int, int> formatsChanged(int start, int length);

private:
    // The formats of [from, from + length) as a layout takes them, with
    // text being composed at preeditAt (-1: none).
    QList<QTextLayout::FormatRange> formatRanges(int from, int length, int preeditAt) const;
    // Whether a line's cached layout still shows its text and formats.
    bool showsAsLaidOut(int line, const Line &entry) const;
    void chunkLine(int line, Line &entry) const;
    void estimatePiece(Piece &piece) const;
    void placePieces(Line &entry) const;
    QTextOption textOption() const;
    // Whether the row of [from, from + length) ends there (where lines
    // wrap) when `following` more characters of the line come after it.
    bool rowEndsAt(int from, int length, int following) const;

    const Surface &m_surface;
    mutable std::unordered_map<int, Line> m_lines;
    mutable quint64 m_layoutsBuilt = 0;
    QFont m_font;
    QPaintDevice *m_device = nullptr;
    double m_lineSpacing = 16;
    double m_averageWidth = 8;
    double m_maxWidth = 16;
    int m_wrapWidth = 0;
    mutable double m_widest = 0;
    mutable int m_widestLine = -1;
    mutable bool m_widestStale = false;
    std::function<void()> m_widestChanged;
    std::function<void(int, double, double, double)> m_pieceResized;
    int m_preeditAt = -1;
    QString m_preedit;
    int m_preeditCursor = 0;
    QList<QInputMethodEvent::Attribute> m_preeditAttributes;
};

} // namespace qln
