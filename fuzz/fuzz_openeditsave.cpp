// Open, edit one line, Save. Any bytes are read as Open reads them; the
// document is either refused (the bytes hold NUL) or written back unedited
// as the same bytes when the file keeps to one line-break style, and with
// the same bytes on every line (apart from the line breaks) in any case.
// After an edit within one line, every other line's bytes are unchanged,
// and Open reads what Save wrote.
//
// Input: two bytes choose the line, two the column, one how much of the
// line the edit removes, one how many characters it types; those
// characters follow (one byte each, picked from an alphabet); the rest is
// the file.
#include "fuzzsupport.h"
#include "surface/surface.h"
#include "surface/textfile.h"

#include <QStringList>
#include <vector>

using namespace qln;

namespace {

// What an edit types: plain text, Latin-1 and wider characters, a
// surrogate pair, a byte-order mark, and stand-ins of stray bytes (C3 and
// A9 typed side by side make a valid sequence in the written line).
const QStringList kTyped = {
    QStringLiteral("a"),      QStringLiteral(" "),          QStringLiteral("\t"),
    QStringLiteral("\u00E9"), QStringLiteral("\u00FF"),     QStringLiteral("\u20AC"),
    QStringLiteral("\uFEFF"), QStringLiteral("\U0001F600"), QStringLiteral("\uF7C3"),
    QStringLiteral("\uF7A9"), QStringLiteral("\uF780"),     QStringLiteral("\uF7FF"),
};

// The lines of file bytes without their breaks (CR LF, LF or CR), as the
// editor counts lines.
std::vector<QByteArrayView> linesOf(QByteArrayView bytes)
{
    std::vector<QByteArrayView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        lines.push_back(bytes.sliced(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    lines.push_back(bytes.sliced(start));
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    fuzz::Input in(data, size);
    const int lineChoice = int(in.u16());
    const int columnChoice = int(in.u16());
    const int removeChoice = in.byte();
    const int typedLength = in.byte() % 5;
    QString typed;
    for (int i = 0; i < typedLength; ++i)
        typed += kTyped.at(in.byte() % kTyped.size());
    const size_t used = std::min<size_t>(size, 6 + size_t(typedLength));
    const QByteArray bytes(reinterpret_cast<const char *>(data) + used, qsizetype(size - used));

    // Open: refused exactly when the file holds NUL.
    const auto decoded = decodeText(bytes);
    FUZZ_CHECK(decoded.has_value() == !bytes.contains('\0'));
    if (!decoded)
        return 0;
    Surface s;
    s.setText(decoded->text);
    const TextFileFormat format = decoded->format;
    const std::vector<QByteArrayView> before = linesOf(bytes);
    FUZZ_CHECK(int(before.size()) == s.lineCount());

    // Save unedited.
    const QByteArray unedited = encodeText(s.text(), format);
    if (fuzz::oneBreakStyle(bytes))
        FUZZ_CHECK(unedited == bytes);
    {
        const std::vector<QByteArrayView> after = linesOf(unedited);
        FUZZ_CHECK(after.size() == before.size());
        for (size_t i = 0; i < before.size(); ++i)
            FUZZ_CHECK(after[i] == before[i]);
    }

    // One edit within one line.
    const int line = lineChoice % s.lineCount();
    const int length = s.lineLength(line);
    const int column = columnChoice % (length + 1);
    const int removed = std::min(removeChoice % 4, length - column);
    s.setSelection(s.lineIndex(line) + column, removed);
    s.setSelText(typed);
    FUZZ_CHECK(s.lineCount() == int(before.size()));
    // Save asks before a Latin-1 document becomes UTF-8, which rewrites
    // every line that is not ASCII on purpose.
    if (format.encoding == TextFileFormat::Latin1 && !latin1CanHold(s.text()))
        return 0;
    const QByteArray edited = encodeText(s.text(), format);
    const std::vector<QByteArrayView> after = linesOf(edited);
    FUZZ_CHECK(after.size() == before.size());
    for (size_t i = 0; i < before.size(); ++i)
        if (int(i) != line)
            FUZZ_CHECK(after[i] == before[i]);
    FUZZ_CHECK(decodeText(edited).has_value());
    return 0;
}
