#pragma once
// The "Recent Files" list of the File menu: the last documents opened or
// saved, newest first, kept in the section "Recent" of the settings store
// as a count key and numbered path keys.

#include <QString>
#include <QStringList>

namespace qln {

class SettingsStore;

class RecentFiles {
public:
    static constexpr int kMaxEntries = 8;

    explicit RecentFiles(SettingsStore &store) : m_store(store) {}

    // The stored paths, newest first; at most kMaxEntries, no empty,
    // relative or repeated entry (whatever a hand-edited store holds).
    QStringList paths() const;
    // Puts path first (made absolute against the current folder), dropping
    // an older mention of it and anything beyond kMaxEntries, and stores the
    // list at once. Empty paths and the Open dialog's "folder/*.java" start
    // paths are ignored.
    void add(const QString &path);
    void remove(const QString &path);
    void clear();

private:
    void store(const QStringList &paths);

    SettingsStore &m_store;
};

} // namespace qln
