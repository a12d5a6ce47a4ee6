#include "base/prompter.h"

namespace qln {

QString qtFileFilter(const QString &pipeFilter)
{
    // Pairs of description|pattern; the description is what Qt shows and
    // filters on, with "*.*" meaning every file.
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i];
        desc.replace(QLatin1String("*.*"), QLatin1String("*"));
        out << desc;
    }
    return out.join(QLatin1String(";;"));
}

} // namespace qln
