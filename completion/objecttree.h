#pragma once
// The object tree: the sorted list of package, class and member names the
// completion box draws from, its file (one tagged entry per line, in the
// runtime's delimited format), loading, the sort check, the sort and the
// offer to keep a sorted copy.

#include "completion/treeentries.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace qln {

class Prompter;
class SettingsStore;

// arrtree[0] is always the empty entry; entries 1..treecount are the tree.
struct ObjectTree {
    TreeEntries arrtree;
    int treecount = 0;

    // Back to no tree: the empty entry 0 alone.
    void clear();
};

// What the main window lends a load: the wait window and a way to keep the
// window system responsive while the sort runs. Any of them may be empty.
struct TreeLoadHooks {
    std::function<void(const QString &text)> showWait; // show the wait window with this text
    std::function<void(const QString &text)> setWaitText;
    std::function<void()> hideWait;
    std::function<void()> yield; // e.g. QCoreApplication::processEvents
};

// Limits on what a load accepts. A larger file is refused with a message;
// a longer field is skipped (no real name comes near it).
inline constexpr qint64 kMaxTreeFileBytes = 64LL * 1024 * 1024;
inline constexpr int kMaxTreeFieldLength = 4096;
// "test.test" answers with a message box; a file full of them shows only
// this many per load.
inline constexpr int kMaxTreeProbes = 10;

// Reads the fields of a tree file's text: a line end (CR LF, LF or CR) or a
// comma ends a field; a field in double quotes is taken without them and may
// hold commas (an unclosed quote ends at the line end; what follows a closing
// quote up to the next comma or line end is dropped); fields are trimmed of
// blanks and tabs; empty fields and fields longer than kMaxTreeFieldLength
// are skipped.
QStringList readTreeFields(const QString &text);

// Loads the file at path into tree (see the state of the store it changes in
// the .cpp). path may be replaced by the location of a sorted copy the user
// chose to save.
void LoadObjectTree(QString &path, ObjectTree &tree, SettingsStore &store, Prompter &prompter,
                    const TreeLoadHooks &hooks = {});
// The same load over a file's bytes already in memory; path names the file
// in the messages and in the offer to keep a sorted copy.
void LoadObjectTreeBytes(const QByteArray &bytes, QString &path, ObjectTree &tree,
                         SettingsStore &store, Prompter &prompter, const TreeLoadHooks &hooks = {});

// Whether entries 1..upper bound are in ascending binary (UTF-16 code unit)
// order; equal neighbours count as sorted.
bool IsTreeSorted(const QStringList &arr);
bool IsTreeSorted(const TreeEntries &arr);

// Sorts entries low..high in place, ascending binary order. Calls yield once
// per pass of the partitioning loop.
void SortTree(QStringList &arr, int low, int high, const std::function<void()> &yield = {});

// The "Auto Tree Search" box of the main window changed to `ticked`: stores
// the switch, discards the tree when unticked, loads it when ticked and none
// is loaded.
void AutoTreeSearchTicked(bool ticked, ObjectTree &tree, SettingsStore &store, Prompter &prompter,
                          const TreeLoadHooks &hooks = {});

// "Locate existing object tree": lets the user pick a tree file and stores
// its path as `tree`; a cancelled dialog changes nothing. Returns whether a
// file was chosen.
bool LocateObjectTree(Prompter &prompter, SettingsStore &store);

// The filter of the tree file dialogs, in the program's pipe form.
inline const QString kTreeFileFilter = QStringLiteral("Text Files(*.txt)|*.txt|All Files(*.*)|*.*");

} // namespace qln
