// Recovery journals. The first byte chooses:
// - even: the rest is read as a recovery file. Whatever it holds, reading
//   never fails badly; what it reads is an intact prefix that reads alone
//   as complete with the same document, and that document survives a
//   full copy written and read back.
// - odd: the rest describes a document (details and text drawn from an
//   alphabet with line breaks, a byte-order mark, NUL, a pair and lone
//   surrogates) and edits made to it (some with new details). The journal
//   written for them reads back as the document after every edit; cut at
//   any byte it reads as the document after the last whole record, or is
//   refused when the cut falls in the full copy; garbage after it, or a
//   record that does not fit the text, takes nothing away.
#include "fuzzsupport.h"
#include "shell/recovery.h"

#include <algorithm>
#include <vector>

using namespace qln;
using namespace qln::fuzz;

namespace {

const QString kAlphabet = QStringLiteral("ab {};\r\n\u00e9\u20ac\uFEFF") + QChar(0) + QChar(0xD83D)
                          + QChar(0xDE00) + QChar(0xDC00);

bool sameDetails(const RecoveryRecord &a, const RecoveryRecord &b)
{
    return a.format == b.format && a.path == b.path && a.stamp == b.stamp;
}

bool sameRecord(const RecoveryRecord &a, const RecoveryRecord &b)
{
    return a.text == b.text && sameDetails(a, b);
}

RecoveryRecord details(Input &in)
{
    RecoveryRecord r;
    r.path = in.text(12, QStringLiteral("/aZ %\n\u00e9.") + QChar(0xD800));
    if (in.flag())
        r.format = TextFileFormat{TextFileFormat::Encoding(in.below(2)), in.flag(),
                                  TextFileFormat::LineBreak(in.below(3))};
    if (in.flag())
        r.stamp = FileStamp::fromText(QStringLiteral("%1 %2 %3 %4")
                                          .arg(in.u32())
                                          .arg(qint64(in.u32()) << 20)
                                          .arg(in.u32())
                                          .arg(in.u16()));
    return r;
}

void readAnything(const QByteArray &bytes)
{
    const std::optional<RecoveryReading> r = readRecovery(bytes);
    FUZZ_CHECK(decodeRecovery(bytes).has_value() == (r && r->complete));
    if (!r)
        return;
    FUZZ_CHECK(r->intactBytes > 0 && r->intactBytes <= bytes.size());
    FUZZ_CHECK(r->complete == (r->intactBytes == bytes.size()));
    const std::optional<RecoveryReading> prefix =
        readRecovery(QByteArrayView(bytes).first(r->intactBytes));
    FUZZ_CHECK(prefix && prefix->complete && sameRecord(prefix->record, r->record));
    const std::optional<RecoveryRecord> again = decodeRecovery(encodeRecovery(r->record));
    FUZZ_CHECK(again && sameRecord(*again, r->record));
}

void journalOfEdits(Input &in)
{
    RecoveryRecord model = details(in);
    model.text = in.text(64, kAlphabet);
    QByteArray journal = encodeRecovery(model);
    const qsizetype base = journal.size();
    // The document after each record, by the journal's length there.
    std::vector<std::pair<qsizetype, RecoveryRecord>> states{{base, model}};
    const int edits = in.below(24);
    for (int i = 0; i < edits && !in.atEnd(); ++i) {
        if (in.below(8) == 0) {
            const RecoveryRecord next = details(in);
            journal += encodeRecoveryDetails(next);
            model.path = next.path;
            model.format = next.format;
            model.stamp = next.stamp;
        } else {
            const int length = int(model.text.size());
            const int pos = in.below(length + 1);
            const int removed = in.below(length - pos + 1);
            const QString text = in.text(16, kAlphabet);
            journal += encodeRecoveryEdit({pos, removed, text});
            model.text.replace(pos, removed, text);
        }
        states.emplace_back(journal.size(), model);
    }

    const std::optional<RecoveryReading> whole = readRecovery(journal);
    FUZZ_CHECK(whole && whole->complete && whole->intactBytes == journal.size());
    FUZZ_CHECK(sameRecord(whole->record, model));

    // Cut anywhere.
    const qsizetype cut = in.below(int(journal.size()) + 1);
    const std::optional<RecoveryReading> r = readRecovery(QByteArrayView(journal).first(cut));
    if (cut < base) {
        FUZZ_CHECK(!r);
    } else {
        const auto at =
            std::prev(std::upper_bound(states.begin(), states.end(), cut,
                                       [](qsizetype c, const auto &s) { return c < s.first; }));
        FUZZ_CHECK(r && r->intactBytes == at->first && r->complete == (cut == at->first));
        FUZZ_CHECK(sameRecord(r->record, at->second));
    }

    // Something after the journal: a record that does not fit the text, or
    // garbage.
    QByteArray tail;
    if (in.flag())
        tail =
            encodeRecoveryEdit({int(model.text.size()) + 1 + in.below(4), 0, QStringLiteral("x")});
    else if (in.flag())
        tail = encodeRecoveryEdit({0, int(model.text.size()) + 1, QString()});
    else
        tail = in.rest().toUtf8();
    const std::optional<RecoveryReading> damaged = readRecovery(journal + tail);
    FUZZ_CHECK(damaged && damaged->intactBytes >= journal.size());
    if (damaged->intactBytes == journal.size())
        FUZZ_CHECK(sameRecord(damaged->record, model) && damaged->complete == tail.isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    if ((data[0] & 1) == 0) {
        readAnything(QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));
        return 0;
    }
    Input in(data + 1, size - 1);
    journalOfEdits(in);
    return 0;
}
