// The spelling-list reader over any file, and its writer read back.
#include "fuzzsupport.h"
#include "settings/spellinglist.h"

#include <QFile>
#include <QTemporaryDir>

using namespace qln;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    const SpellingListRead read = readSpellingList(path);
    FUZZ_CHECK(read.from.size() == read.to.size());
    FUZZ_CHECK(read.skipped >= 0 && (read.skipped == 0) == (read.firstSkippedLine == 0));
    if (read.status != SpellingListRead::Ok)
        return 0;
    for (qsizetype i = 0; i < read.from.size(); ++i)
        FUZZ_CHECK(!read.from[i].isEmpty() && !read.to[i].isEmpty());

    // What the writer makes of the pairs reads back as the same pairs.
    const QByteArray written = spellingListText(read.from, read.to);
    const SpellingListRead again = parseSpellingList(QString::fromUtf8(written));
    FUZZ_CHECK(again.status == SpellingListRead::Ok);
    FUZZ_CHECK(again.skipped == 0);
    FUZZ_CHECK(again.from == read.from && again.to == read.to);
    return 0;
}
