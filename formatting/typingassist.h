#pragma once
// Help while typing: after every change of the editing surface the line
// being edited is recoloured, spell-corrected and used to drive the
// completion box; keys steer the box and give the case and style
// shortcuts; selection changes update the status bar and font controls.
// The main window lends its controls through TypingHost.

#include "completion/objecttree.h"
#include "completion/treesearch.h"
#include "formatting/casechange.h"

#include <QMetaObject>
#include <QString>
#include <QStringList>
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

    // The completion box: show the model's items, selection, width and
    // visibility.
    virtual void syncBox(const TreeBoxModel &box) = 0;
    // Place it near the caret (text before the caret on its line), or at
    // the fixed position of the preferences.
    virtual void placeBoxAtCaret(const QString &textBeforeCaret) = 0;
    virtual void placeBoxFixed() = 0;
    virtual void dropDownBox() = 0;
    virtual void focusBox() = 0;
    virtual int surfaceWidthTwips() const = 0;
    // "Drop down combo box" of the preferences dialog.
    virtual bool dropDownOnShow() const = 0;
    virtual void setDefaultPointer() = 0;

    virtual void updateStatusBar() = 0;
    // The font boxes and the Bold, Italic and Underline buttons.
    virtual void showSelectionFormat(const std::optional<QString> &fontName,
                                     const std::optional<double> &fontSize, bool bold,
                                     bool italic, bool underline) = 0;
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
    // Returns true when the key is used up (nothing else happens for it).
    bool onKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void onClick();
    void onSelChange();

    // The completion box's own events.
    void boxKeyDown(int key);
    void boxActivated(int item); // a click that chose item (1-based)
    void boxKeyPress(const QString &text);

    const TreeBoxModel &box() const { return m_box; }
    const QStringList &arrmatch() const { return m_arrmatch; }
    QString key1() const { return m_key1; }
    QString key2() const { return m_key2; }
    int savedCaret() const { return m_savedCaret; }
    // Empties and hides the box (Escape, unticking the tree search).
    void clearBox();
    // Words that Undo or Redo put back and that the corrections made while
    // typing leave alone until an edit touches them: (start, length).
    std::vector<std::pair<int, int>> keptWords() const;

private:
    struct KeptWord {
        int start;
        QString text;
    };
    void colourLine(int lineStart, int nextBreak);
    void correctLine(int lineStart, int nextBreak);
    void onTextReplaced(int at, int removed, int added);
    void keepWordsAround(int from, int to);
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
    bool m_inHandler = false; // the change handler is editing the surface
    std::vector<KeptWord> m_kept; // sorted by start
    QMetaObject::Connection m_replacedConnection;
};

} // namespace qln
