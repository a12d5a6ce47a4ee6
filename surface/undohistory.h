#pragma once
// The undo history of a surface: a list of steps, each one or more
// primitive edits that keep what they removed (text and formats) and the
// marks they cut or ended, so Undo and Redo take a step back or make it
// again together. It decides what makes a step (groups, characters typed
// one after another) and keeps the clean point, the state last opened or
// saved, from which the modified state follows. It holds no text: the
// surface applies the edits and records each one here before making it.

#include "surface/marks.h"
#include "surface/textstore.h"

#include <QObject>
#include <QString>
#include <optional>
#include <vector>

namespace qln {

class UndoHistory : public QObject {
    Q_OBJECT
public:
    using FormatIndex = TextStore::FormatIndex;
    // One primitive edit: at pos, removedText (with a format per character)
    // was replaced by insertedLength characters.
    struct Edit {
        int pos = 0;
        QString removedText;
        std::vector<FormatIndex> removedFormats;
        int insertedLength = 0;
        // Marks the edit cut or ended, as they were before it.
        std::vector<Marks::Before> marksBefore;
    };
    struct Step {
        std::vector<Edit> edits;
        quint64 id = 0;      // names the state this step leads to
        bool typing = false; // characters typed into a view, still open for more
    };

    explicit UndoHistory(QObject *parent = nullptr);
    ~UndoHistory() override;

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }

    // Edits made while recording is off are not kept.
    bool isRecording() const { return m_recording; }
    bool setRecording(bool on); // returns the previous setting

    // Every edit recorded between begin and end (they nest) is one step.
    void beginGroup();
    void endGroup();
    // Characters typed one after another make one step per word; this
    // starts a new step with the next one.
    void breakMerge() { m_merge = false; }

    // Keeps an edit that is about to be made; a recorded edit clears Redo.
    // `typed`: a single character (not a line break) typed into a view,
    // which joins the open step of the characters typed just before it
    // unless `startsWord` (a word character typed after one outside words)
    // or a group is open. Returns the edit as kept, for the caller to add
    // the marks it cuts, or nullptr when it joined the typing step.
    Edit *record(Edit edit, bool typed, bool startsWord);

    // Undo in two halves: takeUndo() removes the last step (nothing when
    // there is none); the caller takes its edits back in the text, last
    // first, and hands their opposites, in that order and under the step's
    // id, to undone(), which keeps them as the step Redo makes again.
    // takeRedo() and redone() do the same the other way.
    std::optional<Step> takeUndo();
    void undone(Step opposite);
    std::optional<Step> takeRedo();
    void redone(Step opposite);

    // Forgets every step. Without its history the text can only be clean
    // if it is clean now.
    void clear();

    // Whether the current state differs from the clean point. Undoing back
    // to it makes the document clean again; any other recorded edit, an
    // undo or redo away from it, or a history cleared while modified makes
    // it modified.
    bool isModified() const { return m_modified; }
    void setClean();
    // No state in the history is clean any more.
    void markModified();
    // Emits modifiedChanged when the modified state moved; the surface calls
    // it once an edit is in the text.
    void updateModified();

signals:
    void modifiedChanged(bool modified);
    // canUndo() or canRedo() may have changed.
    void historyChanged();

private:
    quint64 currentState() const { return m_undo.empty() ? 0 : m_undo.back().id; }
    std::optional<Step> take(std::vector<Step> &from);
    void put(std::vector<Step> &to, Step step);

    std::vector<Step> m_undo;
    std::vector<Step> m_redo;
    bool m_recording = true;
    bool m_merge = false;
    int m_groupDepth = 0;
    bool m_groupStepOpen = false; // the open group has its step on m_undo
    quint64 m_nextStateId = 1;
    quint64 m_cleanState = 0; // kNoState when no state in the history is clean
    bool m_modified = false;
};

} // namespace qln
