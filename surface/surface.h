#pragma once
// The editing surface: plain text in which every line break is CR LF (two
// characters), with a character format per character, a selection, undo and
// the find operation the formatting engine is built on. The text, formats
// and line starts live in a TextStore, the steps of Undo and Redo and the
// clean point in an UndoHistory; the surface makes every edit through both
// and tells its listeners. It stands without a view: the program creates it
// first, and a SurfaceView (widgets layer) attaches to show it on screen.

#include "surface/charformat.h"
#include "surface/marks.h"
#include "surface/textstore.h"
#include "surface/undohistory.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QMimeData;

namespace qln {

struct TextFileFormat;

class Surface : public QObject {
    Q_OBJECT
public:
    explicit Surface(QObject *parent = nullptr);
    ~Surface() override;

    // --- text -----------------------------------------------------------
    // A copy of the whole text (its cost grows with the length).
    QString text() const { return m_store.text(); }
    // Parts of the text without copying all of it. Code that runs on every
    // keystroke reads through these, never through text().
    QChar at(int pos) const { return m_store.at(pos); } // QChar() outside the text
    QString mid(int pos, int length) const { return m_store.mid(pos, length); }
    // A view of [pos, pos + length), clamped to the text. Valid until the
    // text changes or span() is called again.
    QStringView span(int pos, int length) const { return m_store.span(pos, length); }
    // Without its line break.
    QString lineText(int line) const { return m_store.lineText(line); }
    // Replaces everything; the new text takes the format for typed text.
    // Line breaks of any style (CR LF, CR, LF) become CR LF.
    void setText(const QString &text);
    // The same taking the text over: a file's decoded text becomes the
    // surface's own without a copy.
    void setText(QString &&text);
    // Replaces everything by from's text and formats, taken over without
    // a copy (from is left empty): as setText, one edit that undo does not
    // hold, caret at 0. For a document made ready on another thread.
    void takeContent(Surface &from);
    // While locked, every change of the text (edits, undo, redo) is refused
    // and textRefused says why; formats may still change. takeContent is
    // the one way in: a file being read for the document comes first.
    void setLocked(bool locked, const QString &note = QString());
    bool isLocked() const { return m_locked; }
    int length() const { return m_store.length(); }
    // Positions are ints: an edit that would make the text longer than this
    // is refused and changes nothing.
    static constexpr int kMaxLength = TextStore::kMaxLength;
    // Font sizes a pasted format may carry (points): positive, and small
    // enough that the pixel size stays under Qt's 0xFFFF limit even on a
    // 2,880 dpi device. Pasted formats outside this range are not trusted.
    static constexpr double kMinFontSize = 1.0 / 64;
    static constexpr double kMaxFontSize = 1638;

    // --- selection ------------------------------------------------------
    int selStart() const { return m_selStart; }
    void setSelStart(int pos); // empties the selection
    int selLength() const { return m_selLength; }
    void setSelLength(int length); // negative lengths are ignored
    void setSelection(int start, int length);
    QString selText() const;
    // Replaces the selection (or inserts at the caret); the caret ends after it.
    void setSelText(const QString &text);

    // Formatting of the selection; with an empty selection, of the text
    // typed next. A mixed selection reads as no value.
    std::optional<BgrColor> selColor() const;
    void setSelColor(BgrColor color);
    std::optional<bool> selBold() const;
    void setSelBold(bool on);
    std::optional<bool> selItalic() const;
    void setSelItalic(bool on);
    std::optional<bool> selUnderline() const;
    void setSelUnderline(bool on);
    std::optional<QString> selFontName() const;
    void setSelFontName(const QString &name);
    std::optional<double> selFontSize() const;
    void setSelFontSize(double points);
    // Sets colour and the three styles of the selection in one step.
    void setSelStyle(BgrColor color, bool bold, bool italic, bool underline);

    // --- whole surface ---------------------------------------------------
    QString fontName() const { return m_baseFontName; }
    void setFontName(const QString &name); // applies to the whole text
    double fontSize() const { return m_baseFontSize; }
    void setFontSize(double points); // applies to the whole text
    BgrColor backColor() const { return m_backColor; }
    void setBackColor(BgrColor color);
    int rightMargin() const { return m_rightMargin; } // twips
    void setRightMargin(int twips);

    // --- find and lines -------------------------------------------------
    // First match of needle lying wholly in [start, end) (end -1: the end
    // of the text), or -1. A match is selected.
    int find(const QString &needle, int start, int end = -1, int options = FindNone);
    // The same search without touching the selection.
    int indexOf(const QString &needle, int start, int end = -1, int options = FindNone) const
    {
        return m_store.indexOf(needle, start, end, options);
    }
    int lineCount() const { return m_store.lineCount(); }
    // -1 when the line does not exist.
    int lineIndex(int line) const { return m_store.lineIndex(line); }
    int lineFromChar(int pos) const { return m_store.lineFromChar(pos); }
    // Without its line break.
    int lineLength(int line) const { return m_store.lineLength(line); }

    // --- files ----------------------------------------------------------
    // Replaces the content by the file read as plain text. Returns the
    // file's encoding and line-break style, or nothing when it cannot be
    // read as text (the content is then unchanged).
    std::optional<TextFileFormat> loadFile(const QString &path, QString *error = nullptr);

    // --- undo -----------------------------------------------------------
    // The history is a list of steps; each step is one or more primitive
    // edits that Undo and Redo take back or make again together.
    bool canUndo() const { return m_history.canUndo(); }
    bool canRedo() const { return m_history.canRedo(); }
    void undo();
    void redo();
    void clearUndo();
    // Edits made while recording is off are not undoable (used for
    // temporary changes that are reverted within one operation).
    bool setUndoRecording(bool on) { return m_history.setRecording(on); }
    // Typing into a view merges consecutive one-character insertions into
    // one step per word; this starts a new step with the next one.
    void breakUndoMerge() { m_history.breakMerge(); }
    // Every edit recorded between begin and end (they nest) is one step.
    void beginUndoGroup() { m_history.beginGroup(); }
    void endUndoGroup() { m_history.endGroup(); }
    class UndoGroup {
    public:
        explicit UndoGroup(Surface &surface) : m_surface(surface) { surface.beginUndoGroup(); }
        ~UndoGroup() { m_surface.endUndoGroup(); }
        UndoGroup(const UndoGroup &) = delete;
        UndoGroup &operator=(const UndoGroup &) = delete;

    private:
        Surface &m_surface;
    };
    // True while Undo or Redo edits the text and while the changed() that
    // follows is delivered: handlers must not re-apply what was taken back.
    bool isApplyingHistory() const { return m_applyingHistory; }

    // --- modified state ---------------------------------------------------
    // Whether the text differs from the clean point: the state last marked
    // clean (opened or saved). Undoing back to it makes the document clean
    // again; any other recorded edit, an undo or redo away from it, or a
    // history cleared while modified makes it modified. Format changes
    // never do.
    bool isModified() const { return m_history.isModified(); }
    void setClean() { m_history.setClean(); }
    // No state in the history is clean any more: the text is the only copy
    // of the document (its file was deleted, or it was recovered).
    void markModified() { m_history.markModified(); }

    // --- clipboard ------------------------------------------------------
    // Mime data of a range: plain text plus the program's own format runs.
    QMimeData *mimeData(int start, int length) const;
    // Replaces the selection by the clipboard content; with formatting when
    // the data carries ours. Clipboard and drop data come from other
    // programs: formatted data whose runs do not describe its text exactly,
    // or whose font sizes are not finite sizes in range, is pasted as plain
    // text.
    void insertMimeData(const QMimeData *data, bool withFormatting);
    // Text holding U+0000 (NUL) is refused on paste, drop and input-method
    // commit: Open refuses a file with a NUL byte as not text, so Save must
    // never write one. These answer true, and emit textRefused, when text
    // (or what insertMimeData would insert) holds NUL.
    bool refusesText(QStringView text);
    bool refusesMimeData(const QMimeData *data, bool withFormatting);
    bool cut();
    bool copy();
    bool paste();
    bool cutPlain();
    bool copyPlain();
    bool pastePlain();

    // --- formats, for views and the engine -------------------------------
    const CharFormat &formatAt(int pos) const;
    const CharFormat &insertFormat() const { return m_store.format(m_insertFormat); }
    // Sets the format of a range directly (no selection change).
    void setFormat(int start, int length, const CharFormat &format);
    // Colour and the three font styles: the part of a format that the
    // formatting engine writes.
    using TextStyle = TextStore::TextStyle;
    // Gives every (start, length) range the style, keeping each character's
    // font name and size. No selection change; one formatsChanged spanning
    // every changed character. Ranges may overlap and come in any order;
    // parts outside the text are ignored.
    void setStyleRanges(const std::vector<std::pair<int, int>> &ranges, const TextStyle &style);
    // The whole-word rule of find: letters, digits, "_" and "$" form words.
    static bool isWordCharacter(QChar c) { return TextStore::isWordCharacter(c); }
    // Runs of equal format within [start, start + length), as
    // (offset from start, length, format) triples.
    using FormatRun = TextStore::FormatRun;
    // Runs past colouredTo() are coloured first.
    std::vector<FormatRun> formatRuns(int start, int length) const
    {
        if (m_colourer && qint64(start) + length > m_colouredTo)
            colourAhead(start + length);
        return m_store.formatRuns(start, length);
    }

    // --- colouring ahead ------------------------------------------------
    // A long document is coloured only as far as it is read: formats from
    // colouredTo() on are not final yet. The first formatRuns() (drawing,
    // printing, copying) or colourAhead() that reaches past it has the
    // colourer colour on from colouredTo() (a line start) to at least the
    // position asked for; it returns how far it got (a line start, or the
    // length when it is done). That colouring tells no listener at once:
    // formatsChanged for it follows from the event loop, as it may run in
    // the middle of a view's drawing. An edit before colouredTo() moves it
    // along, back to the start of the line the edit leaves it in.
    using Colourer = std::function<int(Surface &, int from, int upTo)>;
    void colourAheadWith(Colourer colourer, int colouredTo);
    void stopColouringAhead() { m_colourer = {}; }
    // length() when nothing is left to colour.
    int colouredTo() const { return m_colourer ? m_colouredTo : length(); }
    void colourAhead(int upTo) const;
    // Monotonic counter of text edits.
    quint64 revision() const { return m_revision; }

    // Replaces [pos, pos + removed) by text, the primitive every text edit
    // goes through. fromView marks edits typed into a view (they merge for
    // undo and are not echoed back to that view).
    // Edits from a view emit changed() only when the view calls
    // notifyChanged() after its own editing step has finished.
    // Returns false, changing nothing, when the result would be longer
    // than kMaxLength.
    bool replace(int pos, int removed, const QString &text, bool fromView = false);
    void notifyChanged();

    // One piece of the new content given to replacePieces(): `length`
    // characters of the current text from `source`, keeping their formats,
    // or (source -1) `text` in the format of the character at `formatOf`
    // (the format for typed text when formatOf lies outside the text).
    struct Piece {
        int source = -1;
        int length = 0;
        QString text;
        int formatOf = -1;
    };
    // Replaces [pos, pos + removed) by the pieces joined, as one edit: one
    // undo step, one textReplaced, one changed(); the caret ends after the
    // new content. Positions in pieces refer to the text before the edit.
    // Bulk commands build a whole document's new text this way instead of
    // making thousands of small edits. A range that starts or ends inside a
    // CR LF pair is widened to keep the pair. When the joined pieces are not
    // clean CR LF text, they are normalised as replace() does and take the
    // format for typed text. A kept piece with a negative length or one
    // reaching past the text, or a result longer than kMaxLength, refuses
    // the whole edit: nothing changes and the result is false.
    bool replacePieces(int pos, int removed, const std::vector<Piece> &pieces);

    // A position in the view's counting (one character per line break)
    // and back.
    int toViewPosition(int pos) const { return m_store.toViewPosition(pos); }
    int fromViewPosition(int viewPos) const { return m_store.fromViewPosition(viewPos); }

    // Ranges shown with a style of their own; they follow the text.
    Marks &marks() { return *m_marks; }
    const Marks &marks() const { return *m_marks; }

    // Turns any line-break style into CR LF.
    // A text with CR LF breaks only comes back without a copy.
    static QString normalizeLineBreaks(QString text)
    {
        return TextStore::normalizeLineBreaks(std::move(text));
    }

signals:
    // The text changed (programmatically or by typing).
    void changed();
    // The selection or caret moved.
    void selChanged();
    // For views: [pos, pos + removed) was replaced by `added` characters;
    // removedBreaks line breaks were among the removed ones.
    void textReplaced(int pos, int removed, int removedBreaks, int added, bool fromView);
    // [pos, pos + removed) is about to be replaced: the text is still there
    // to read. Sent only for edits that go ahead, before textReplaced.
    void textAboutToBeReplaced(int pos, int removed);
    // For views: the formats of [start, start+length) changed.
    void formatsChanged(int start, int length);
    // The formats of [start, start+length) may be about to change: the old
    // ones are still there to read.
    void formatsAboutToChange(int start, int length);
    // For views: selection set by the program (not by the view).
    void selectionSetByProgram();
    void appearanceChanged(); // font, back colour, margin
    // isModified() changed; emitted before the changed() of the edit.
    void modifiedChanged(bool modified);
    // canUndo() or canRedo() may have changed.
    void historyChanged();
    // Text offered for insertion was refused; note says why (status bar).
    void textRefused(const QString &note);

private:
    friend class SurfaceView;
    using FormatIndex = TextStore::FormatIndex;
    template <typename Mutate> void mutateRange(int start, int length, Mutate mutate);
    template <typename Mutate> void mutateSelection(Mutate mutate);
    // What insertMimeData would insert: its text and, for our own formatted
    // data that reads cleanly, the formats (interned) when asked for.
    enum class MimeContent { None, Plain, Formatted };
    MimeContent readMimeData(const QMimeData *data, bool withFormatting, QString &text,
                             std::vector<FormatIndex> *formats);
    template <typename Get>
    auto readSelection(Get get) const -> std::optional<decltype(get(CharFormat()))>;
    void updateInsertFormatFromCaret();
    void setSelInternal(int start, int length, bool byProgram);
    // Selection set by the view the user works in.
    void setSelectionFromView(int start, int length);

    UndoHistory::Edit applyEdit(const UndoHistory::Edit &edit);
    void applyStep(bool redo);
    // replace() with a format per inserted character (nullptr: the format
    // for typed text).
    bool replace(int pos, int removed, QString text, bool fromView,
                 const std::vector<FormatIndex> *formats);

    TextStore m_store;
    UndoHistory m_history;
    int m_selStart = 0;
    int m_selLength = 0;
    FormatIndex m_insertFormat = 0;
    QString m_baseFontName;
    double m_baseFontSize = 10;
    BgrColor m_backColor = 0xFFFFFF;
    int m_rightMargin = 0;
    quint64 m_revision = 0;
    Colourer m_colourer;
    int m_colouredTo = 0;
    bool m_colouringAhead = false;
    bool m_applyingHistory = false;
    bool m_holdChanged = false; // changed() waits for the end of a step
    bool m_pendingViewChange = false;
    bool m_locked = false;
    QString m_lockNote;
    Marks *m_marks;
    std::vector<Marks::Before> m_lastMarksBefore; // of the last replace()
};

} // namespace qln
