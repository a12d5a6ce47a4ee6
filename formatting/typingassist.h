#pragma once
// Help while typing: after every change of the editing surface the line
// being edited is recoloured, spell-corrected and used to drive the
// completion box; keys steer the box and give the case and style
// shortcuts; selection changes update the status bar and font controls.
// The main window lends its controls through TypingHost.

#include "completion/nameresolve.h"
#include "completion/objecttree.h"
#include "completion/treesearch.h"
#include "formatting/casechange.h"
#include "surface/charformat.h"

#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace qln {

class Surface;
struct Preferences;

class TypingHost {
public:
    virtual ~TypingHost() = default;
    virtual Surface &surface() = 0;
    virtual const Preferences &preferences() const = 0;
    virtual const ObjectTree &objectTree() const = 0;
    // The three check boxes of the formatting band.
    virtual AutoFeatureSwitches switches() const = 0;
    virtual void focusSurface() = 0;
    // Stops (false) or starts again (true) painting the view of the
    // surface around the handlers' work on a keystroke.
    virtual void setSurfacePainted(bool painted) = 0;

    // The completion box: show the model's items, selection, width and
    // visibility.
    virtual void syncBox(const TreeBoxModel &box) = 0;
    // Place it just below the caret's line at the caret (the text before
    // the caret on its line, and the caret's position in the surface), or
    // at the fixed position of the preferences.
    virtual void placeBoxAtCaret(const QString &textBeforeCaret, int caret) = 0;
    virtual void placeBoxFixed() = 0;
    virtual void dropDownBox() = 0;
    virtual void focusBox() = 0;
    virtual int surfaceWidthTwips() const = 0;
    // "Drop down combo box" of the preferences dialog.
    virtual bool dropDownOnShow() const = 0;
    virtual void setDefaultPointer() = 0;

    virtual void updateStatusBar() = 0;
    // Adds to the status bar, just updated, the parameter list of the
    // method whose parentheses hold the caret ("" adds nothing).
    virtual void showParameterHint(const QString &hint) = 0;
    // The font boxes and the Bold, Italic and Underline buttons.
    virtual void showSelectionFormat(const std::optional<QString> &fontName,
                                     const std::optional<double> &fontSize, bool bold, bool italic,
                                     bool underline) = 0;
    // Alt+L, Alt+U, Alt+I, Alt+C: the case commands ('L', 'U', 'I', 'C').
    virtual void runCaseCommand(char which) = 0;
};

class TypingAssist {
public:
    explicit TypingAssist(TypingHost &host);
    ~TypingAssist();
    TypingAssist(const TypingAssist &) = delete;
    TypingAssist &operator=(const TypingAssist &) = delete;

    // The surface's events.
    void onChange();
    // The keys the key table gives the typing assistance in the text, and
    // while the box shows. Returns true when the key is used up (nothing
    // else happens for it).
    bool onKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void onClick();
    void onSelChange();

    // The completion box's own events (its keys as the key table names them).
    void boxKeyDown(int key);
    void boxActivated(int item); // a click that chose item (1-based)
    void boxKeyPress(const QString &text);

    const TreeBoxModel &box() const { return m_box; }
    const QStringList &arrmatch() const { return m_arrmatch; }
    // Key 1 as the tree search takes it: the qualified form of the name
    // before the caret ("String." becomes "java.lang.String."), or "" when
    // it names nothing the tree knows.
    QString key1() const { return m_key1; }
    QString key2() const { return m_key2; }
    int savedCaret() const { return m_savedCaret; }
    // Empties and hides the box (Escape, unticking the tree search).
    void clearBox();
    // Words that Undo or Redo put back and that the corrections made while
    // typing leave alone until an edit touches them: (start, length).
    std::vector<std::pair<int, int>> keptWords() const;
    // The parameter list shown while the caret stands within the
    // parentheses of the method the last choice inserted, else "".
    QString parameterHint() const;

    // Lines at least this long are coloured only around each edit once the
    // handler has coloured them whole (a shorter length is for
    // tests that compare the two ways).
    static constexpr int kWindowedLineLength = 2048;
    void setWindowedLineLength(int length) { m_windowedLength = length; }
    // How many changes were coloured around the edit rather than over the
    // whole line.
    int colouredAround() const { return m_colouredAround; }

private:
    struct KeptWord {
        int start;
        QString text;
    };
    // Corrects the word that the character typed at `at` has finished.
    void correctFinishedWord(int at);
    void onTextAboutToBeReplaced(int at, int removed);
    void onTextReplaced(int at, int removed, int removedBreaks, int added, bool fromView);
    void trackEdit(int at, int removed, int removedBreaks, int added);
    void onFormatsChanged(int start, int length);
    void noteDirty(int at, int removed, int added);
    void keepWordsAround(int from, int to);
    // The lines the change touched (and the caret's line), as colouring
    // while typing sees them: words, strings and single-line comments, and
    // when the change lies in, opens or closes a block comment, that whole
    // comment as it now stands.
    void colourChange();
    // Resets the lines from the line feed `from` (or 0) to the line feed
    // `to` (or the end of the text) and colours their words, strings and
    // single-line comments.
    void colourLines(int from, int to);
    // Resets [from, to) and colours its words from the word lists.
    void colourWords(int from, int to);
    // Colours only around the edit [from, to) of the tracked line, when its
    // formats are what colouring it whole gave and the edits since added,
    // removed and joined no syntax characters: the characters outside the
    // edit keep their part in strings and comments. Returns false, having
    // changed nothing it could not put right, when the line must be
    // coloured whole.
    bool colourAroundEdit(int from, int to);
    void colourBlockComment(int from, int to, bool insideBefore, bool insideAfter);
    QString resolveKey(const QString &key1, int keyStart);
    void runCompletion(const QString &textBeforeCaret);
    bool insertChoice();
    bool boxReady() const;

    TypingHost &m_host;
    TreeBoxModel m_box;
    QStringList m_arrmatch{QString()};
    QString m_key1, m_key2, m_previousKey1;
    int m_savedCaret = 0;
    bool m_arrowFlag = false;
    // The change an insertion of a completion makes does not show the box
    // again, so the next Enter types a line break.
    bool m_justInserted = false;
    bool m_inHandler = false;     // the change handler is editing the surface
    std::vector<KeptWord> m_kept; // sorted by start
    std::array<QMetaObject::Connection, 4> m_connections;
    // The colours of the preferences as numbers, read once per change.
    struct Colours {
        BgrColor text = 0, keyword = 0, other = 0, more = 0, strings = 0, comments = 0;
        bool operator==(const Colours &) const = default;
    } m_colours;
    // What the colouring of a line depends on.
    struct SyntaxRules {
        QString string1, string2, ignore, comment, open, close;
        QStringList keywords, others, more;
        int keywordCount = 0, otherCount = 0, moreCount = 0;
        std::array<std::array<bool, 5>, 6> fontstyle{};
        Colours colours;
        bool operator==(const SyntaxRules &) const = default;
    };
    SyntaxRules currentRules() const;
    mutable std::array<QString, 6> m_colourTexts;
    mutable Colours m_parsedColours;
    // Whether colouring around an edit can tell, from the colours around
    // it, where strings and comments are: their colours differ from the
    // others, and no word of the lists holds a blank.
    static bool windowable(const SyntaxRules &rules);
    // Of the rules the tracked line was coloured with.
    bool isSyntaxChar(QChar c) const;
    // Whether [at, at + length), text an edit brings in or takes out, cannot
    // change where strings and comments are: no line break, no syntax
    // character.
    bool isPlainSpan(int at, int length) const;
    // The caret's line as the handler last left it, followed through the
    // edits since then while they stay within it.
    struct TrackedLine {
        int first = -1;        // its first character
        int end = -1;          // its line feed, or the length of the text
        bool coloured = false; // its formats are what colouring it whole gives
        // The edits since the handler last ran added, removed and joined no
        // line breaks or syntax characters.
        bool plainEdits = true;
        SyntaxRules rules; // those it was coloured with
    } m_line;
    int m_windowedLength = kWindowedLineLength;
    // While the handler colours a long line whole: the formats it found
    // outside the line before changing them, from the line outwards.
    struct Outside {
        bool on = false;
        int leftFrom = 0, rightTo = 0; // the span read so far (the line's are its own)
        std::vector<const CharFormat *> left, right;
    } m_outside;
    void onFormatsAboutToChange(int start, int length);
    bool outsideUnchanged() const;
    int m_colouredAround = 0;
    // The edits since the last change event, and where the last of them
    // typed one character in the view (-1: it did not).
    int m_editsSinceChange = 0;
    int m_typedAt = -1;
    // The parentheses of the method the last choice inserted, followed
    // through the edits, and what the status bar shows for them.
    struct ParameterHint {
        int open = -1; // the "(", or -1: no hint
        int close = -1;
        QString text;
    } m_hint;
    // Whether the name before the last key 1 named a value, so that the
    // type's constructors were left out.
    bool m_previousValue = false;
    // The span of the text changed since the last change event (-1: none).
    int m_dirtyFrom = -1;
    int m_dirtyTo = -1;
    // The last name resolved, so that typing after its dot resolves nothing.
    NameResolver m_resolver;
    QString m_rawKey1;
    int m_rawKeyStart = -1;
    qsizetype m_rawTreeSize = -1;
    QString m_resolvedKey1;
};

} // namespace qln
