// The object tree loader over any bytes, in memory, then the field reader,
// the sort and the completion search over whatever tree the bytes make.
// A load gives exactly the file's fields in sorted order (or loads nothing
// and says why); the sort agrees with std::sort; the binary search finds
// every entry; the search lists the direct members of key 1 the tree holds.
#include "completion/objecttree.h"
#include "completion/treesearch.h"
#include "fuzzsupport.h"
#include "settings/settingsstore.h"

#include <QStringDecoder>
#include <algorithm>

using namespace qln;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // The loader, as it reads the file's bytes.
    SettingsStore store(std::make_unique<MemorySettingsBackend>());
    fuzz::QuietPrompter prompter;
    ObjectTree tree;
    QString path = QStringLiteral("/nowhere/tree.txt");
    LoadObjectTreeBytes(bytes, path, tree, store, prompter);
    FUZZ_CHECK(tree.arrtree.size() >= 1 && tree.arrtree.text(0).isEmpty());
    FUZZ_CHECK(tree.treecount == tree.arrtree.size() - 1);
    FUZZ_CHECK(IsTreeSorted(tree.arrtree));
    // Nothing loaded comes with a message (the refusal).
    FUZZ_CHECK(tree.treecount > 0 || prompter.asked > 0);

    // The field reader on the same text; for UTF-8 input the load holds
    // exactly its fields, sorted.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    QStringList fields = readTreeFields(text);
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    for (const QString &f : fields)
        FUZZ_CHECK(!f.isEmpty() && f.size() <= kMaxTreeFieldLength && !blank(f.front())
                   && !blank(f.back()));
    if (tree.treecount > 0 && !utf8.hasError()) {
        QStringList expected = fields;
        std::sort(expected.begin(), expected.end());
        FUZZ_CHECK(tree.arrtree.mid(1) == expected);
    }

    // The program's sort against std::sort.
    QStringList arr{QString()};
    arr += fields;
    SortTree(arr, 1, int(arr.size()) - 1);
    FUZZ_CHECK(IsTreeSorted(arr));
    std::sort(fields.begin(), fields.end());
    FUZZ_CHECK(arr.mid(1) == fields);
    const TreeEntries packed(arr);
    FUZZ_CHECK(packed.size() == arr.size() && packed.mid(0) == arr && IsTreeSorted(packed));
    for (int i = 1; i < arr.size(); i += std::max<int>(1, int(arr.size()) / 16)) {
        const int found = FindTreeEntry(packed, arr.at(i));
        FUZZ_CHECK(found >= 1 && arr.at(found) == arr.at(i));
    }
    // A text the tree does not hold is not found.
    const QString probe = text.left(8).trimmed();
    const int at = FindTreeEntry(packed, probe);
    FUZZ_CHECK(at == -1 ? !arr.mid(1).contains(probe) : at >= 1 && arr.at(at) == probe);

    // The search with keys taken from the text itself: every item listed
    // comes from an entry under key 1.
    const QString line = text.left(200);
    const QString key1 = GetTreeKey(line, 1);
    const QString key2 = GetTreeKey(line, 2);
    for (const TreeEntries *source : {&packed, static_cast<const TreeEntries *>(&tree.arrtree)}) {
        TreeBoxModel box;
        QStringList matches;
        SearchTree(box, *source, key1, matches, 5000);
        FUZZ_CHECK(box.items.empty() || matches.size() > qsizetype(box.items.size()));
        if (!box.items.empty()) {
            const QStringList entries = source->mid(1);
            const auto under = std::count_if(entries.cbegin(), entries.cend(),
                                             [&](const QString &e) { return e.startsWith(key1); });
            FUZZ_CHECK(qsizetype(box.items.size()) <= under);
        }
        SortTreeMatches(matches, box);
        for (qsizetype i = 2; i < matches.size(); ++i)
            FUZZ_CHECK(!(matches.at(i) < matches.at(i - 1)));
        const int selected = SelectTreeItem(box, matches, key2);
        FUZZ_CHECK(selected >= 0 && selected <= int(box.items.size()));
        PreselectTreeItem(box, matches, key2);
    }
    return 0;
}
