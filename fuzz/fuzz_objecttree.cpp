// The object tree file reader, the load with its sort and messages, and the
// completion search over whatever tree the bytes make.
#include "completion/objecttree.h"
#include "completion/treesearch.h"
#include "fuzzsupport.h"
#include "settings/settingsstore.h"

#include <QFile>
#include <QTemporaryDir>

using namespace qln;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // The loader, through a file as the program reads it.
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tree.txt"));
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    SettingsStore store(std::make_unique<MemorySettingsBackend>());
    fuzz::QuietPrompter prompter;
    ObjectTree tree;
    QString loadPath = path;
    LoadObjectTree(loadPath, tree, store, prompter);
    FUZZ_CHECK(tree.arrtree.size() >= 1 && tree.arrtree.at(0).isEmpty());
    FUZZ_CHECK(tree.treecount >= 0 && tree.treecount < tree.arrtree.size());

    // The field reader and the sort on the same text.
    QStringList arr{QString()};
    arr += readTreeFields(QString::fromUtf8(bytes));
    SortTree(arr, 1, int(arr.size()) - 1);
    FUZZ_CHECK(IsTreeSorted(arr));
    for (int i = 1; i < arr.size(); i += std::max<int>(1, int(arr.size()) / 16)) {
        const int found = FindTreeEntry(arr, arr.at(i));
        FUZZ_CHECK(found >= 1 && arr.at(found) == arr.at(i));
    }

    // The search with keys taken from the text itself.
    const QString line = QString::fromUtf8(bytes.left(200));
    const QString key1 = GetTreeKey(line, 1);
    const QString key2 = GetTreeKey(line, 2);
    for (const QStringList *source : {&arr, &tree.arrtree}) {
        if (!IsTreeSorted(*source))
            continue;
        TreeBoxModel box;
        QStringList matches;
        SearchTree(box, *source, key1, matches, 5000);
        FUZZ_CHECK(box.items.empty() || matches.size() > qsizetype(box.items.size()));
        SortTreeMatches(matches, box);
        const int selected = SelectTreeItem(box, matches, key2);
        FUZZ_CHECK(selected >= 0 && selected <= int(box.items.size()));
        PreselectTreeItem(box, matches, key2);
    }
    return 0;
}
