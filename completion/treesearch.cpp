#include "completion/treesearch.h"

#include "settings/convert.h"
#include "surface/surface.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>

namespace qln {

const std::array<TreeTag, 13> kTreeTags = {{
    {"-p-p", 1, "Package"},
    {"-p-c", 2, "Public or undefined class"},
    {"-p-i", 3, "Public or undefined interface"},
    {"-r-c", 4, "Protected class"},
    {"-r-i", 5, "Protected interface"},
    {"-p-m", 6, "Public or undefined method"},
    {"-pfm", 7, "Public or undefined final method"},
    {"-p-v", 8, "Public or undefined variable"},
    {"-pfv", 9, "Public or undefined final variable"},
    {"-r-m", 10, "Protected method"},
    {"-rfm", 11, "Protected final method"},
    {"-r-v", 12, "Protected variable"},
    {"-rfv", 13, "Protected final variable"},
}};

int treeTagImage(QStringView entry)
{
    if (entry.size() < 5 || entry.at(entry.size() - 5) != QLatin1Char('.'))
        return 0;
    const QStringView tag = entry.right(4);
    for (const TreeTag &t : kTreeTags)
        if (tag == QLatin1String(t.tag))
            return t.image;
    return 0;
}

namespace {

bool isNameChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '.'
           || u == '_';
}

// (low + high) / 2 with a half rounded to the even neighbour, as the
// runtime's integer conversion does.
int midHalfEven(int low, int high)
{
    const qint64 sum = qint64(low) + high;
    const qint64 half = sum / 2;
    if (sum % 2 == 0)
        return int(half);
    return int(half % 2 == 0 ? half : half + 1);
}

} // namespace

bool IsTreeNameChar(QChar c)
{
    return isNameChar(c);
}

QString GetTreeKey(const QString &text, int mode)
{
    const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || (mode != 1 && mode != 2))
        return QString();
    if (mode == 2)
        return text.mid(dot + 1);
    const int start = TreeKeyStart([&text](int i) { return text.at(i); }, 0, int(dot) + 1);
    return text.mid(start, dot + 1 - start);
}

int FindTreeEntry(const TreeEntries &arr, const QString &text)
{
    int low = 1;
    int high = int(arr.size()) - 1;
    while (low <= high) {
        const int mid = midHalfEven(low, high);
        const int c = arr.compare(mid, text);
        if (c == 0)
            return mid;
        if (c > 0)
            high = mid - 1;
        else
            low = mid + 1;
    }
    return -1;
}

void MatchName(QStringList &arrmatch, int item, const QString &display)
{
    if (item < 0)
        return;
    QString name;
    const qsizetype open = display.indexOf(QLatin1Char('('));
    const qsizetype close = open >= 0 ? display.indexOf(QLatin1Char(')'), open) : -1;
    if (open >= 0 && display.contains(QLatin1Char(')'))) {
        const qsizetype blank = open > 0 ? display.lastIndexOf(QLatin1Char(' '), open - 1) : -1;
        const qsizetype from = blank + 1;
        // A ")" only before the "(" leaves the parameter list open to the end.
        name = close >= 0 ? display.mid(from, close + 1 - from) : display.mid(from);
    } else {
        name = display.mid(display.lastIndexOf(QLatin1Char(' ')) + 1);
    }
    while (arrmatch.size() <= item)
        arrmatch.append(QString());
    arrmatch[item] = name;
}

void SearchTree(TreeBoxModel &box, const TreeEntries &arrtree, const QString &key1,
                QStringList &arrmatch, int surfaceWidthTwips)
{
    box.items.clear();
    box.selected = 0;
    arrmatch = QStringList{QString()};
    if (key1.isEmpty() || arrtree.size() < 2)
        return;
    box.text = key1;

    int parent = -1;
    for (const TreeTag &t : kTreeTags) {
        parent = FindTreeEntry(arrtree, key1 + QLatin1String(t.tag));
        if (parent > 0)
            break;
    }
    if (parent < 1)
        return;

    qsizetype longest = key1.size();
    box.visible = false;
    const qsizetype k = key1.size();
    for (qsizetype i = parent + 1; i < arrtree.size(); ++i) {
        if (!arrtree.startsWith(i, key1))
            break;
        const QString entry = arrtree.text(i);
        const QStringView rest = QStringView(entry).mid(k);
        const qsizetype firstDot = rest.indexOf(QLatin1Char('.'));
        if (firstDot >= 0 && rest.indexOf(QLatin1Char('.'), firstDot + 1) >= 0) {
            // A deeper descendant, or a member text with a dot of its own.
            // When the text after its parent's dot sorts after "-", the
            // parent's own entries (parent + tag) lie before it, and the rest
            // of the run below that parent holds nothing to offer: skip to
            // its end at once (a package's run is most of the tree).
            if (firstDot + 1 < rest.size() && rest.at(firstDot + 1) > QLatin1Char('-')) {
                QString after = entry.left(k + firstDot + 1);
                after.back() = QLatin1Char('/'); // the first text past every "parent." entry
                i = arrtree.lowerBound(after, i + 1) - 1;
            }
            continue;
        }
        if (rest.isEmpty())
            continue;
        const int image = treeTagImage(rest);
        if (image <= 0)
            continue;
        const QString display = rest.left(rest.size() - 5).toString();
        longest = std::max(longest, display.size());
        box.items.push_back(TreeBoxItem{display, image});
        MatchName(arrmatch, int(arrmatch.size()), display);
    }

    const qint64 width = 85 * qint64(longest) + 615;
    box.width = int(std::min<qint64>(width, surfaceWidthTwips));
    SortTreeMatches(arrmatch, box);
}

void SortTreeMatches(QStringList &arrmatch, TreeBoxModel &box)
{
    // A stable sort gives the order the exchange sort by names gives (it
    // swaps only strictly greater neighbours) in n log n.
    const int n = int(std::min<qsizetype>(arrmatch.size() - 1, qsizetype(box.items.size())));
    if (n < 2)
        return;
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 1);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return arrmatch.at(a) < arrmatch.at(b); });
    QStringList names = arrmatch;
    std::vector<TreeBoxItem> items = box.items;
    for (int k = 0; k < n; ++k) {
        names[k + 1] = arrmatch.at(order[k]);
        items[k] = box.items[order[k] - 1];
    }
    arrmatch = std::move(names);
    box.items = std::move(items);
}

int SelectTreeItem(TreeBoxModel &box, const QStringList &arrmatch, const QString &text)
{
    if (text.isEmpty())
        return box.selected;
    const QString key = text.trimmed().toUpper();
    const qsizetype n = std::min<qsizetype>(arrmatch.size() - 1, qsizetype(box.items.size()));
    for (qsizetype i = 1; i <= n; ++i) {
        if (arrmatch.at(i).toUpper().startsWith(key)) {
            box.selected = int(i);
            break;
        }
    }
    return box.selected;
}

int PreselectTreeItem(TreeBoxModel &box, const QStringList &arrmatch, const QString &key2)
{
    if (key2.contains(QLatin1Char('(')))
        return box.selected;
    return SelectTreeItem(box, arrmatch, key2);
}

bool IsNameBeingTyped(const QString &key2)
{
    return std::all_of(key2.begin(), key2.end(), [](QChar c) {
        return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
    });
}

TreeChoiceText CompilableChoice(const QString &name)
{
    const qsizetype open = name.indexOf(QLatin1Char('('));
    if (open < 0)
        return TreeChoiceText{name, int(name.size()), QString()};
    const qsizetype close = name.indexOf(QLatin1Char(')'), open);
    const QString parameters = close < 0 ? name.mid(open) : name.mid(open, close + 1 - open);
    const QString text = name.left(open) + QStringLiteral("()");
    if (parameters.mid(1).remove(QLatin1Char(')')).trimmed().isEmpty())
        return TreeChoiceText{text, int(text.size()), QString()};
    return TreeChoiceText{text, int(open) + 1, parameters};
}

namespace {

// The last name of a key ending in ".": "java.io.PrintStream." -> "PrintStream".
QStringView lastName(const QString &key)
{
    QStringView k(key);
    if (k.endsWith(QLatin1Char('.')))
        k.chop(1);
    return k.mid(k.lastIndexOf(QLatin1Char('.')) + 1);
}

} // namespace

bool KeyNamesValue(const QString &typedKey1, const QString &resolvedKey1)
{
    if (resolvedKey1.isEmpty())
        return false;
    return lastName(typedKey1) != lastName(resolvedKey1);
}

void DropConstructors(TreeBoxModel &box, QStringList &arrmatch, const QString &key1)
{
    const QStringView type = lastName(key1);
    if (type.isEmpty())
        return;
    const int n = int(std::min<qsizetype>(arrmatch.size() - 1, qsizetype(box.items.size())));
    int selected = 0;
    QStringList names{QString()};
    std::vector<TreeBoxItem> items;
    for (int i = 1; i <= n; ++i) {
        const QString &text = box.items[size_t(i - 1)].text;
        const qsizetype open = text.indexOf(QLatin1Char('('));
        if (open >= 0 && QStringView(text).left(open) == type)
            continue; // no return type, and the type's name: a constructor
        if (i == box.selected)
            selected = int(names.size());
        names << arrmatch.at(i);
        items.push_back(box.items[size_t(i - 1)]);
    }
    arrmatch = std::move(names);
    box.items = std::move(items);
    box.selected = selected;
}

bool InsertTreeChoice(Surface &surface, int selected, const QStringList &arrmatch,
                      const QString &key2, int savedCaret, TreeChoiceText *inserted)
{
    if (selected < 1 || selected >= arrmatch.size())
        return false;
    const QString &name = arrmatch.at(selected);
    const int start = savedCaret - int(key2.size());
    if (name.isEmpty() || start < 0 || savedCaret > surface.length())
        return false;
    const TreeChoiceText choice = CompilableChoice(name);
    surface.setSelection(start, int(key2.size()));
    surface.setSelText(choice.text);
    surface.setSelStart(start + choice.caret);
    if (inserted)
        *inserted = choice;
    return true;
}

QPoint PlaceTreeBox(const TreeBoxPlacement &p)
{
    const qint64 f = p.fontSize;
    qint64 x = qint64(p.textLength) * f * 10 + (10 - f);
    if (qint64(p.boxLeft) + p.boxWidth > p.clientWidth || x + p.boxWidth > p.clientWidth)
        x = qint64(p.clientWidth) - p.boxWidth;
    if (x < 0)
        x = 0;

    qint64 y = p.surfaceTop + f * p.lines * 20;
    const double middle = (double(p.surfaceTop) + p.surfaceHeight) / 2;
    y += y > middle ? 60 * f : 30 * f;
    if (y + p.boxHeight > p.clientHeight)
        y = qint64(p.clientHeight) - p.boxHeight;
    if (y < 0)
        y = p.surfaceTop;
    return QPoint(int(std::min<qint64>(x, INT_MAX)), int(std::clamp<qint64>(y, INT_MIN, INT_MAX)));
}

QRect PlaceBoxBelowCaret(const QRect &caretLine, const QSize &box, const QRect &bounds)
{
    int x = caretLine.left();
    int y = caretLine.top() + caretLine.height();
    x = std::max(std::min(x, bounds.left() + bounds.width() - box.width()), bounds.left());
    y = std::max(std::min(y, bounds.top() + bounds.height() - box.height()), bounds.top());
    return QRect(QPoint(x, y), box);
}

QPoint FixedTreeBoxPosition(const QString &x, const QString &y)
{
    auto whole = [](const QString &t) {
        const double v = std::clamp(leadingNumber(t), double(INT_MIN), double(INT_MAX));
        return int(std::lround(v));
    };
    return QPoint(whole(x), whole(y));
}

} // namespace qln
