#pragma once
// The completion search over the object tree: the two keys before the
// caret, the members of key 1 for the completion box, their order, the
// pre-selection, the insertion of a choice and the box's placement. The box
// itself is a widget; here it is a plain model the widget mirrors.

#include "completion/treeentries.h"
#include <QPoint>
#include <QRect>
#include <QSize>

#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace qln {

class Surface;

// The thirteen kind tags, in the order the parent search tries them. The
// image number is the tag's picture in the completion box; the caption is
// its text in the legend.
struct TreeTag {
    const char *tag;
    int image;
    const char *caption;
};
extern const std::array<TreeTag, 13> kTreeTags;

// Image number (1..13) of an entry whose text ends with "." + a tag, else 0.
int treeTagImage(QStringView entry);

// The text before the caret on the current line -> key 1 (mode 1: the
// qualified name before the caret up to and including its last ".") or
// key 2 (mode 2: the text after that "."). Name characters are A-Z, a-z,
// 0-9, "." and "_". No "." gives two empty keys; other modes give "".
QString GetTreeKey(const QString &text, int mode);
// The characters GetTreeKey takes into a name: ASCII letters and digits,
// "_" and ".".
bool IsTreeNameChar(QChar c);
// Where the keys GetTreeKey finds in the text before a caret begin: at the
// first of the name characters that run up to the last dot of [from, caret),
// or at caret when there is no dot there. at(i) reads the text, so a long
// line is read back only as far as the keys reach.
template <typename At> int TreeKeyStart(At at, int from, int caret)
{
    int afterDot = caret;
    while (afterDot > from && at(afterDot - 1) != QLatin1Char('.'))
        --afterDot;
    if (afterDot == from)
        return caret;
    int start = afterDot - 1; // the "." itself is a name character
    while (start > from && IsTreeNameChar(at(start - 1)))
        --start;
    return start;
}

struct TreeBoxItem {
    QString text;
    int image = 0; // 1..13, see kTreeTags
};

// What the completion box shows. items[k] inserts arrmatch[k + 1];
// `selected` counts like arrmatch (1 = first item, 0 = none).
struct TreeBoxModel {
    std::vector<TreeBoxItem> items;
    QString text;
    int width = 0; // twips
    int selected = 0;
    bool visible = false;
};

// Fills box and arrmatch with the direct members of key1 found in the
// sorted arrtree, sized for the longest text but never wider than the
// editing surface, sorted by the names they insert. The box is left hidden.
void SearchTree(TreeBoxModel &box, const TreeEntries &arrtree, const QString &key1,
                QStringList &arrmatch, int surfaceWidthTwips);

// Binary search of entries 1..upper bound for text; its index or -1.
int FindTreeEntry(const TreeEntries &arr, const QString &text);

// Stores at arrmatch[item] the name that the display text inserts:
// "Color brighter()" -> "brighter()", "final Color black" -> "black".
void MatchName(QStringList &arrmatch, int item, const QString &display);

// Orders arrmatch[1..] in ascending binary order, moving the box's items
// (texts and images) with their names; equal names keep their order.
void SortTreeMatches(QStringList &arrmatch, TreeBoxModel &box);

// Selects the first item whose name starts with the trimmed text in any
// letter case; no match (or an empty text) leaves the selection. Returns
// the selection afterwards.
int SelectTreeItem(TreeBoxModel &box, const QStringList &arrmatch, const QString &text);

// The pre-selection after a search: the item matching key 2, or no change
// when key 2 holds a "(" (the user is already typing the parameters).
int PreselectTreeItem(TreeBoxModel &box, const QStringList &arrmatch, const QString &key2);

// Whether key 2 is a name being typed: nothing yet, or Java identifier
// characters only (letters, digits, "_" and "$"). The box opens only then,
// so a ";", ")" or blank after a chosen name never brings it back.
bool IsNameBeingTyped(const QString &key2);

// What choosing a name puts in the text, so that it compiles: a method its
// name and "()" ("indexOf(String)" -> "indexOf()"), a field or type its
// name. The caret goes between the parentheses of a method that takes
// parameters, after them when it takes none, after a name.
struct TreeChoiceText {
    QString text;
    int caret = 0;      // within text
    QString parameters; // "(String)", or "" when the caret goes after text
};
TreeChoiceText CompilableChoice(const QString &name);

// Whether key 1 as typed ("sb.", "System.out.") names a value, a variable
// or a field, rather than a package or type ("String.", "java.awt.Color."):
// its last name is not the last name of the key it resolved to.
bool KeyNamesValue(const QString &typedKey1, const QString &resolvedKey1);

// Takes out of box and arrmatch the constructors of the type key1 names
// (items whose text is the type's simple name with a parameter list): after
// a value they never compile.
void DropConstructors(TreeBoxModel &box, QStringList &arrmatch, const QString &key1);

// Replaces the key2.length() characters that end at savedCaret by what the
// selected name inserts (CompilableChoice) and puts the caret where it
// says. Returns whether a name was inserted (no selection, an empty name or
// a range outside the text insert nothing); `inserted`, when given, then
// holds what went in.
bool InsertTreeChoice(Surface &surface, int selected, const QStringList &arrmatch,
                      const QString &key2, int savedCaret, TreeChoiceText *inserted = nullptr);

// The numbers the placement at the caret works from (twips, except where
// said). lines = caret line + 1 - first visible line (0-based lines).
struct TreeBoxPlacement {
    int textLength = 0; // characters of the text before the caret
    int fontSize = 0;   // the window's font-size box, as a whole number
    int lines = 0;
    int boxLeft = 0;
    int boxWidth = 0;
    int boxHeight = 0;
    int surfaceTop = 0;
    int surfaceHeight = 0;
    int clientWidth = 0;
    int clientHeight = 0;
};

// Where the box goes near the caret (approximate): never right of the
// client area when it fits, never left of it.
QPoint PlaceTreeBox(const TreeBoxPlacement &p);

// Where the completion box goes beside the caret: its top-left just below
// the caret's line (caretLine: x at the caret, y and height the line's),
// then moved left and up only as far as needed to lie within bounds (the
// part of the screen the box can be shown on). A box larger than bounds
// starts at bounds' left or top.
QRect PlaceBoxBelowCaret(const QRect &caretLine, const QSize &box, const QRect &bounds);

// The completion list shows at most this many rows at once.
inline constexpr int kTreeBoxRows = 12;

// The fixed place of the box: the leading numbers of the two stored texts
// (the factory placeholders "X" and "Y" read as 0).
QPoint FixedTreeBoxPosition(const QString &x, const QString &y);

} // namespace qln
