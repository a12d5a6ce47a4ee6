// The auto-indenter over any text and settings: only the leading blanks of
// lines change, lines stay lines, one line at a time gives the same text
// as the whole document at once, the undo step gives the text back, and
// Enter's indentation is made of blanks and tabs.
#include "formatting/indenter.h"
#include "fuzzsupport.h"
#include "surface/surface.h"

#include <algorithm>

using namespace qln;

namespace {

// The text with the leading tabs and blanks of every line removed.
QString withoutIndentation(const QString &text)
{
    QString out;
    bool lineStart = true;
    for (QChar c : text) {
        if (lineStart && (c == QLatin1Char(' ') || c == QLatin1Char('\t')))
            continue;
        lineStart = c == QLatin1Char('\n');
        out += c;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    fuzz::Input in(data, size);
    IndentSyntax syntax = IndentSyntax::java(QStringList{"\t", "  ", " ", "", "{"}.at(in.below(5)));
    syntax.blockBegin = QStringList{"{", "begin", "(", "", "{{"}.at(in.below(5));
    syntax.blockEnd = QStringList{"}", "END", ")", "", "}}"}.at(in.below(5));
    const QString text =
        in.text(1500, QStringLiteral("{}{}() \t\r\n\nbeginEND;x=+.\"'\\/*//case:else if"));

    Surface all;
    all.setText(text);
    const QString before = all.text();
    const qint64 expected = IndentedLength(before, syntax);
    IndentAllLines(all, syntax);
    FUZZ_CHECK(expected == all.length());
    if (!syntax.unit.contains(QLatin1Char('{')))
        FUZZ_CHECK(withoutIndentation(all.text()) == withoutIndentation(before));
    FUZZ_CHECK(all.lineCount() == Surface().lineCount() + int(before.count(QLatin1Char('\n'))));

    // Line by line on a second surface.
    Surface lines;
    lines.setText(text);
    LineIndenter indenter(syntax);
    int previous = -1;
    for (int next; (next = lines.indexOf(QStringLiteral("\n"), previous + 1)) != -1;) {
        int s = previous + 1;
        next = IndentLine(s, next, lines, indenter);
        previous = next;
    }
    FUZZ_CHECK(lines.text() == all.text());

    // Enter anywhere gives an indentation of blanks and tabs only.
    const QString indent = NewLineIndent(all, in.below(all.length() + 1), syntax);
    FUZZ_CHECK(std::all_of(indent.begin(), indent.end(),
                           [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); })
               || syntax.unit.contains(QLatin1Char('{')));

    all.undo();
    FUZZ_CHECK(all.text() == before);
    return 0;
}
