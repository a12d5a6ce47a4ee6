#include "completion/objecttree.h"

#include "base/heapuse.h"
#include "base/pathutil.h"
#include "base/prompter.h"
#include "completion/treesearch.h"
#include "settings/settingsstore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <bit>
#include <climits>

namespace qln {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kTreeKey = QStringLiteral("tree");
const QString kAutoKey = QStringLiteral("autotreesearch");
// More entries than this is not a tree of names but a file gone wrong; the
// limit keeps the memory of a load within a few hundred megabytes.
constexpr int kMaxTreeEntries = 2000000;

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

QStringView trimBlanks(QStringView s)
{
    qsizetype from = 0, to = s.size();
    while (from < to && isBlank(s.at(from)))
        ++from;
    while (to > from && isBlank(s.at(to - 1)))
        --to;
    return s.mid(from, to - from);
}

// Calls add(field) for the fields of the text, as readTreeFields describes,
// at most maxFields of them; *tooMany tells whether more were there.
template <typename Add>
void readFields(const QString &text, qsizetype maxFields, bool *tooMany, Add &&add)
{
    qsizetype count = 0;
    const qsizetype n = text.size();
    const QChar *d = text.constData();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && isBlank(d[i]))
            ++i;
        qsizetype start = i, end = i;
        if (i < n && d[i] == QLatin1Char('"')) {
            start = ++i;
            while (i < n && d[i] != QLatin1Char('"') && !isLineEnd(d[i]))
                ++i;
            end = i;
            if (i < n && d[i] == QLatin1Char('"')) {
                ++i;
                while (i < n && d[i] != QLatin1Char(',') && !isLineEnd(d[i]))
                    ++i;
            }
        } else {
            while (i < n && d[i] != QLatin1Char(',') && !isLineEnd(d[i]))
                ++i;
            end = i;
        }
        if (i < n) {
            if (d[i] == QLatin1Char('\r') && i + 1 < n && d[i + 1] == QLatin1Char('\n'))
                ++i;
            ++i;
        }
        if (end - start > kMaxTreeFieldLength + 64)
            continue; // far too long even before trimming
        const QStringView field = trimBlanks(QStringView(d + start, end - start));
        if (field.isEmpty() || field.size() > kMaxTreeFieldLength)
            continue;
        if (count >= maxFields) {
            if (tooMany)
                *tooMany = true;
            break;
        }
        ++count;
        add(field);
    }
}

QString decodeTreeText(const QByteArray &bytes)
{
    // UTF-8 (a byte-order mark is dropped); anything else is read as Latin-1.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

void showNotFound(const QString &path, SettingsStore &store, Prompter &prompter)
{
    if (path.size() > 1) {
        const QStringList lines{
            QStringLiteral("The object Tree File was not found"),
            QStringLiteral("Would you like to turn off this message?"),
            QStringLiteral(
                "If you choose no, this message will appear each time the program loads"),
            QStringLiteral("if object tree has not been located "),
            QString(),
            QStringLiteral("You can locate existing object tree file by going"),
            QString(),
            QStringLiteral("Edit>Preferences>General>Locate existing object tree"),
        };
        const MsgAnswer a =
            prompter.message(lines.join(kCrLf), QStringLiteral("object tree file no found"),
                             MsgIcon::Question, MsgButtons::YesNo);
        if (a == MsgAnswer::Yes)
            store.save(kPrefs, kTreeKey, QString());
    }
    store.save(kPrefs, kAutoKey, QStringLiteral("0"));
}

// A file that is there but cannot serve as a tree: say why, and turn the
// automatic search off as a missing file does, so the next start-up does
// not stumble over it again.
void refuseFile(const QString &path, const QString &reason, SettingsStore &store,
                Prompter &prompter)
{
    const QStringList lines{
        QStringLiteral("The object tree file"),
        path,
        reason,
        QString(),
        QStringLiteral("Nothing was loaded and Auto Tree Search has been turned off."),
    };
    prompter.message(lines.join(kCrLf),
                     QStringLiteral("Error loading file [") + SplitPath(path, 3) + QLatin1Char(']'),
                     MsgIcon::Critical, MsgButtons::Ok);
    store.save(kPrefs, kAutoKey, QStringLiteral("0"));
}

bool writeSortedCopy(const QString &target, const ObjectTree &tree)
{
    QByteArray out;
    out.reserve(qsizetype(tree.treecount) * 64);
    for (int i = 1; i <= tree.treecount; ++i) {
        out += '"';
        out += tree.arrtree.text(i).toUtf8();
        out += "\"\r\n";
    }
    QSaveFile file(target);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(out) != out.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// The offer to keep the sorted entries so later loads skip the sort.
void offerSortedCopy(QString &path, const ObjectTree &tree, SettingsStore &store,
                     Prompter &prompter)
{
    const QStringList question{
        QStringLiteral("The File "),
        path,
        QStringLiteral("was not sorted"),
        QStringLiteral("To prevent the sorting of the array every time the program loads"),
        QStringLiteral("you can save the file in sorted order"),
        QStringLiteral("Would you like to do so now?"),
    };
    if (prompter.message(question.join(kCrLf),
                         QStringLiteral("File [") + SplitPath(path, 3)
                             + QStringLiteral("] not sorted"),
                         MsgIcon::Question, MsgButtons::YesNo)
        != MsgAnswer::Yes)
        return;

    QString chosen;
    for (;;) {
        FileDialogRequest request;
        request.mode = FileDialogRequest::Save;
        request.title = QStringLiteral("Save sorted object tree");
        request.startPath = path;
        request.filter = qtFileFilter(kTreeFileFilter);
        const std::optional<QString> answer = prompter.file(request);
        if (!answer)
            return; // cancelled: neither the store nor any file changes
        chosen = *answer;
        if (isReadOnlyFile(chosen)) {
            prompter.message(QStringLiteral("The file you are trying to save is read only"),
                             QStringLiteral("Error saving file [") + chosen + QLatin1Char(']'),
                             MsgIcon::Critical, MsgButtons::Ok);
            continue;
        }
        if (QFileInfo::exists(chosen)) {
            const MsgAnswer a = prompter.message(
                QStringLiteral("File already exists") + kCrLf
                    + QStringLiteral("Are you sure you want to overwrite the current file?"),
                QStringLiteral("File already exists"), MsgIcon::Question, MsgButtons::YesNoCancel);
            if (a == MsgAnswer::No)
                continue;
            if (a != MsgAnswer::Yes)
                return;
        }
        break;
    }

    if (!writeSortedCopy(chosen, tree)) {
        prompter.message(QStringLiteral("The output File directory is write protected or there's "
                                        "not enough free space on the disk"),
                         QStringLiteral("Error saving file [") + SplitPath(path, 3)
                             + QLatin1Char(']'),
                         MsgIcon::Critical, MsgButtons::Ok);
        return;
    }

    path = ShortFolderPath(chosen);
    store.save(kPrefs, kTreeKey, path);
    const QStringList info{
        QStringLiteral("The new loacation of the object tree file is"),
        path,
        QString(),
        QStringLiteral("You can change the location by going"),
        QString(),
        QStringLiteral("Edit>Preferences>General>Locate existing object tree"),
        QString(),
        QStringLiteral("and choosing the file you want"),
    };
    prompter.message(info.join(kCrLf), QString(), MsgIcon::Information, MsgButtons::Ok);
}

// (low + high) / 2 with a half rounded to the even neighbour, as the
// runtime's integer conversion does: 0 and 5 give 2, 0 and 3 give 2.
int midHalfEven(int low, int high)
{
    const qint64 sum = qint64(low) + high;
    const qint64 half = sum / 2;
    return int(sum % 2 == 0 || half % 2 == 0 ? half : half + 1);
}

// Quicksort with the middle element as pivot. The smaller part is sorted
// by recursion and the larger by the loop, so the stack stays O(log n); a
// range that keeps splitting badly (input built against the middle pivot)
// is finished by std::sort once its depth budget is spent, so the time
// stays O(n log n). Equal entries are indistinguishable, so the result is
// the same either way.
void quickSort(QString *a, int low, int high, const std::function<void()> &yield, int depth)
{
    while (low < high) {
        if (depth-- <= 0) {
            std::sort(a + low, a + high + 1);
            return;
        }
        int i = low, j = high;
        const QString pivot = a[midHalfEven(low, high)];
        while (i <= j) {
            if (yield)
                yield();
            while (i < high && a[i] < pivot)
                ++i;
            while (j > low && pivot < a[j])
                --j;
            if (i > j)
                break;
            a[i].swap(a[j]);
            ++i;
            --j;
        }
        if (j - low < high - i) {
            if (low < j)
                quickSort(a, low, j, yield, depth);
            low = i;
        } else {
            if (i < high)
                quickSort(a, i, high, yield, depth);
            high = j;
        }
    }
}

QString tooLarge()
{
    return QStringLiteral("is larger than %1 MB").arg(kMaxTreeFileBytes >> 20);
}

// The load once the file's bytes are read, with the wait window up.
void loadTreeBytes(const QByteArray &bytes, QString &path, ObjectTree &tree, SettingsStore &store,
                   Prompter &prompter, const TreeLoadHooks &hooks)
{
    auto hideWait = [&] {
        if (hooks.hideWait)
            hooks.hideWait();
    };
    auto refuse = [&](const QString &reason) {
        hideWait();
        refuseFile(path, reason, store, prompter);
    };
    if (bytes.size() > kMaxTreeFileBytes)
        return refuse(tooLarge());
    if (bytes.contains('\0'))
        return refuse(QStringLiteral("is not a text file"));

    // The fields go straight into their packed form: no string per entry.
    bool tooMany = false;
    TreeEntries entries;
    {
        const QString text = decodeTreeText(bytes);
        entries.reserve(text.size()); // the fields never hold more
        readFields(text, kMaxTreeEntries, &tooMany,
                   [&entries](QStringView field) { entries.append(field); });
    }
    if (tooMany)
        return refuse(QStringLiteral("holds more than %1 entries").arg(kMaxTreeEntries));
    entries.squeeze();

    const QString probe = QStringLiteral("test.test");
    int probes = 0;
    bool anyTagged = false;
    for (qsizetype i = 1; i < entries.size(); ++i) {
        if (entries.compare(i, probe) == 0 && probes < kMaxTreeProbes) {
            ++probes;
            prompter.message(QString::number(i - 1), kApp, MsgIcon::None, MsgButtons::Ok);
        }
        if (!anyTagged && treeTagImage(entries.text(i)) > 0)
            anyTagged = true;
    }
    if (!anyTagged)
        return refuse(QStringLiteral("holds no tagged entries (such as java.awt.Color.-p-c)"));

    const int count = int(entries.size() - 1);
    if (hooks.setWaitText)
        hooks.setWaitText(QStringLiteral("Sorting object tree"));
    const bool sorted = IsTreeSorted(entries);
    if (!sorted) {
        // Sorted as strings, then packed again.
        QStringList fields = entries.mid(0);
        entries = TreeEntries();
        // The window stays responsive if it hears from the sort a few
        // dozen times a second; a yield per partition pass of a large tree
        // would cost more than the sort.
        std::function<void()> yield;
        if (hooks.yield) {
            QElapsedTimer since;
            since.start();
            yield = [&hooks, since]() mutable {
                if (since.elapsed() >= 20) {
                    hooks.yield();
                    since.restart();
                }
            };
        }
        SortTree(fields, 0, count, yield);
        entries = TreeEntries(fields);
        fields.clear();
        releaseFreedHeap(); // the strings the tree was sorted as
    }
    tree.arrtree = std::move(entries);
    tree.treecount = count;
    if (!sorted)
        offerSortedCopy(path, tree, store, prompter);
    hideWait();
}

} // namespace

void ObjectTree::clear()
{
    arrtree = TreeEntries();
    treecount = 0;
}

QStringList readTreeFields(const QString &text)
{
    QStringList out;
    readFields(text, INT_MAX, nullptr, [&out](QStringView field) { out.append(field.toString()); });
    return out;
}

bool IsTreeSorted(const QStringList &arr)
{
    for (qsizetype i = 1; i + 1 < arr.size(); ++i)
        if (arr.at(i + 1) < arr.at(i))
            return false;
    return true;
}

bool IsTreeSorted(const TreeEntries &arr)
{
    for (qsizetype i = 1; i + 1 < arr.size(); ++i)
        if (arr.lessThan(i + 1, i))
            return false;
    return true;
}

void SortTree(QStringList &arr, int low, int high, const std::function<void()> &yield)
{
    low = std::max(low, 0);
    high = int(std::min<qsizetype>(high, arr.size() - 1));
    if (low >= high)
        return;
    const int depth = 2 * int(std::bit_width(unsigned(high - low + 1))) + 8;
    quickSort(arr.data(), low, high, yield, depth);
}

void LoadObjectTree(QString &path, ObjectTree &tree, SettingsStore &store, Prompter &prompter,
                    const TreeLoadHooks &hooks)
{
    // Only a regular file will do: a folder, a device or a pipe counts as
    // not found.
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        showNotFound(path, store, prompter);
        return;
    }

    if (hooks.showWait)
        hooks.showWait(QStringLiteral("Loading object tree"));
    auto refuse = [&](const QString &reason) {
        if (hooks.hideWait)
            hooks.hideWait();
        refuseFile(path, reason, store, prompter);
    };

    QFile file(path);
    if (file.size() > kMaxTreeFileBytes)
        return refuse(tooLarge());
    if (!file.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("could not be read"));
    // Read up to one byte past the limit, in pieces: a file that grows, or
    // reports no size, is still caught, and a small file costs no buffer of
    // the limit's size.
    QByteArray bytes;
    bytes.reserve(std::min<qint64>(std::max<qint64>(file.size(), 0), kMaxTreeFileBytes) + 1);
    while (bytes.size() <= kMaxTreeFileBytes) {
        const qint64 room = kMaxTreeFileBytes + 1 - bytes.size();
        const QByteArray piece = file.read(std::min<qint64>(qint64(1) << 20, room));
        if (piece.isEmpty())
            break;
        bytes += piece;
    }
    file.close();
    loadTreeBytes(bytes, path, tree, store, prompter, hooks);
}

void LoadObjectTreeBytes(const QByteArray &bytes, QString &path, ObjectTree &tree,
                         SettingsStore &store, Prompter &prompter, const TreeLoadHooks &hooks)
{
    if (hooks.showWait)
        hooks.showWait(QStringLiteral("Loading object tree"));
    loadTreeBytes(bytes, path, tree, store, prompter, hooks);
}

void AutoTreeSearchTicked(bool ticked, ObjectTree &tree, SettingsStore &store, Prompter &prompter,
                          const TreeLoadHooks &hooks)
{
    // With no file named yet, a one-character path that is never a file
    // turns the search off again without the not-found question.
    if (ticked && store.get(kPrefs, kTreeKey).isEmpty())
        store.save(kPrefs, kTreeKey, QStringLiteral("/"));
    store.save(kPrefs, kAutoKey, ticked ? QStringLiteral("1") : QStringLiteral("0"));
    if (!ticked) {
        tree.clear();
        return;
    }
    if (tree.treecount < 1) {
        QString path = store.get(kPrefs, kTreeKey);
        LoadObjectTree(path, tree, store, prompter, hooks);
    }
}

bool LocateObjectTree(Prompter &prompter, SettingsStore &store)
{
    FileDialogRequest request;
    request.mode = FileDialogRequest::Open;
    request.title = QStringLiteral("Locate existing object tree");
    request.startPath = store.get(kPrefs, kTreeKey);
    if (!QFileInfo(request.startPath).isFile())
        request.startPath.clear();
    request.filter = qtFileFilter(kTreeFileFilter);
    const std::optional<QString> chosen = prompter.file(request);
    if (!chosen || chosen->isEmpty())
        return false;
    store.save(kPrefs, kTreeKey, ShortFolderPath(*chosen));
    return true;
}

} // namespace qln
