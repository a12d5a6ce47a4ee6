#pragma once
// Find and replace over an editing surface: the state and actions behind the
// "Find - Replace" dialog, free of widgets so they can be driven headless.
// frmFind mirrors its controls into a FindReplace and calls the actions.

#include <QString>
#include <QStringList>
#include <functional>

namespace qln {

class Prompter;
class Surface;

// How Replace All edits the surface. OneAtATime finds and replaces each
// occurrence as its own edit (the change handler sees every one); Batched
// computes the same result and applies it as one edit.
enum class ReplaceMode { OneAtATime, Batched };

// Replaces every occurrence of findText from the start of the text, as the
// Replace All command does: a selection present at the start is replaced
// first when it equals findText exactly and ends the run at once otherwise;
// each found match is replaced only when it equals findText exactly
// (whatever the options say), else the run stops with it selected. Text the
// run has put in is never searched again. options are Surface find options.
// Returns the number of replacements.
int replaceEvery(Surface &surface, const QString &findText, const QString &replaceText, int options,
                 ReplaceMode mode);

// The shared history of the two boxes after a search with these texts:
// entries (the find box's list, top to bottom) plus each new non-empty text,
// then the whole list reversed with empty entries dropped.
QStringList refilledHistory(const QStringList &entries, const QString &findText,
                            const QString &replaceText);

class FindReplace {
public:
    FindReplace(Surface &surface, Prompter &prompter);

    // Asked before Replace All; true suspends the automatic features
    // (its answer becomes suppressChange). Without one, they are suspended.
    void setSuspendOffer(std::function<bool()> offer) { m_suspendOffer = std::move(offer); }
    // Gives the keyboard focus to the view of the surface.
    void setFocusSurface(std::function<void()> focus) { m_focusSurface = std::move(focus); }
    // Stops (false) or starts again (true) painting the view of the
    // surface while a search or Replace All works on it.
    void setPaintSurface(std::function<void(bool)> paint) { m_paintSurface = std::move(paint); }

    // The dialog's controls.
    QString findText() const { return m_findText; }
    void setFindText(const QString &text) { m_findText = text; }
    QString replaceText() const { return m_replaceText; }
    void setReplaceText(const QString &text) { m_replaceText = text; }
    bool up() const { return m_up; }
    void setUp(bool up) { m_up = up; }
    bool wholeWord() const { return m_wholeWord; }
    void setWholeWord(bool on) { m_wholeWord = on; }
    bool matchCase() const { return m_matchCase; }
    void setMatchCase(bool on) { m_matchCase = on; }
    // The list both boxes offer, top to bottom.
    const QStringList &history() const { return m_history; }

    QString lastFindText() const { return m_lastFind; }
    QString lastReplaceText() const { return m_lastReplace; }

    // The window became active: the find box gets the last find text, or
    // the surface's selected text when there is none; the replace box the
    // last replace text.
    void activate();
    // The window lost activation: its texts are remembered.
    void deactivate();

    // The Find button: checks the find box, updates the histories and
    // searches in the chosen direction; a match becomes the selection.
    // False when the find box was empty.
    bool find();
    // The Replace button: with an empty selection only finds; otherwise
    // replaces the selection by the replace text and finds the next match.
    bool replace();
    // The Replace All button; returns the count, or -1 when the find box
    // was empty.
    int replaceAll();

    // The two directions on their own (no histories, no visibility).
    // True when a match was selected.
    bool searchForward();
    bool searchBackward();

    void updateHistories();

private:
    int surfaceOptions() const;
    void paintSurface(bool painted);
    void notFound();
    bool askFindText();
    bool isWholeWordBackward(int index) const;

    Surface &m_surface;
    Prompter &m_prompter;
    std::function<bool()> m_suspendOffer;
    std::function<void()> m_focusSurface;
    std::function<void(bool)> m_paintSurface;

    QString m_findText, m_replaceText;
    bool m_up = false, m_wholeWord = false, m_matchCase = false;
    QStringList m_history;
    QString m_lastFind, m_lastReplace;
    bool m_retry = false;
    int m_savedStart = 0, m_savedLength = 0;
};

} // namespace qln
