#include "shell/recentfiles.h"

#include "base/pathutil.h"
#include "settings/schema.h"
#include "settings/settingsstore.h"

#include <QDir>

namespace qln {

QStringList RecentFiles::paths() const
{
    const schema::WordList &list = schema::recentFiles;
    bool ok = false;
    const int count = m_store.get(schema::kRecent, list.countKey).trimmed().toInt(&ok);
    QStringList out;
    for (int i = 1; ok && i <= std::min(count, kMaxEntries); ++i) {
        const QString path = m_store.get(schema::kRecent, list.entryKey(i));
        // A relative path (an older editor stored them) names no file for
        // sure: it depends on the folder the program runs in.
        if (!path.isEmpty() && QDir::isAbsolutePath(path) && !out.contains(path))
            out << path;
    }
    return out;
}

void RecentFiles::add(const QString &given)
{
    if (given.isEmpty() || given.contains(QLatin1Char('*')))
        return;
    const QString path = absolutePath(given);
    QStringList list = paths();
    list.removeAll(path);
    list.prepend(path);
    store(list.mid(0, kMaxEntries));
}

void RecentFiles::remove(const QString &path)
{
    QStringList list = paths();
    if (list.removeAll(path) > 0)
        store(list);
}

void RecentFiles::clear()
{
    store(QStringList());
}

void RecentFiles::store(const QStringList &list)
{
    const schema::WordList &keys = schema::recentFiles;
    m_store.save(schema::kRecent, keys.countKey, QString::number(list.size()));
    // Every slot is written, so a cleared list leaves no old path behind.
    for (int i = 1; i <= kMaxEntries; ++i)
        m_store.save(schema::kRecent, keys.entryKey(i), i <= list.size() ? list[i - 1] : QString());
    m_store.sync();
}

} // namespace qln
