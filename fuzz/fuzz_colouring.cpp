// The colouring engine against the plain reference engine: a document and
// settings made from the input, formats already on it, then colourize-all
// and single line colourings on both; text and every character's colour
// and styles must agree. Colouring ahead span by span must end as colouring
// the whole does.
#include "formatting/colorizeall.h"
#include "formatting/enginesupport.h"
#include "formatting/formatrtf.h"
#include "formatting/reference_formatrtf.h"
#include "fuzzsupport.h"
#include "surface/surface.h"

using namespace qln;

namespace {

const BgrColor kColours[] = {255, 16711680, 0, 4227072, 0x123456};

QString pickOf(fuzz::Input &in, const QStringList &items)
{
    return items.at(in.below(int(items.size())));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    static const Preferences factory = enginetest::factoryPreferences();
    fuzz::Input in(data, size);
    Preferences p = factory;
    if (in.flag()) {
        p.singleLineComment = pickOf(in, {"//", "#", "/", "--", ""});
        p.string1 = pickOf(in, {"\"", "'", "''", ""});
        p.string2 = pickOf(in, {"'", "\"", "$"});
        p.ignoreString = pickOf(in, {"\\\"", "\\#", "\\", "\"\"", "", "Q"});
        const int b = in.below(3);
        p.multiLineCommentStart = QStringList{"/*", "(*", "{"}.at(b);
        p.multiLineCommentEnd = QStringList{"*/", "*)", "}"}.at(b);
    }
    auto colour = [&] { return QString::number(kColours[in.below(5)]); };
    p.ckeywordcolor = colour();
    p.cstringscolor = colour();
    p.ccommentscolor = colour();
    p.ctextcolor = colour();
    for (int c = 1; c <= 5; ++c)
        for (int a = 1; a <= 4; ++a)
            p.fontstyle[c][a] = in.flag();

    // The document: the rest of the input, each byte a piece of Java-like text.
    static const QStringList pieces{
        "int",  "x", " ", "\"",  "'",    "\\", "\\\"", "//",   "/*",     "*/",
        "/",    "*", "#", "\\#", "\r\n", "\n", "{",    "}",    ";",      "_QLNSpecChar_",
        "a",    "Q", "$", "(*",  "*)",   "''", "\t",   "it's", "\u00e9", "String",
        "\"\"", "--"};
    QString text;
    while (!in.atEnd() && text.size() < 600)
        text += pieces.at(in.byte() % pieces.size());
    Surface a, b;
    a.setText(text);
    b.setText(text);
    // Colourize-all on both.
    ColorizeAllStages(a, p, nullptr);
    ref::ColorizeAllStages(b, p, nullptr);
    QString diff = enginetest::compareFormats(a, b);
    if (!diff.isEmpty()) {
        std::fprintf(stderr, "colourize-all differs: %s\n", qPrintable(diff));
        std::abort();
    }
    // Colouring ahead a span at a time ends as colouring the whole does.
    {
        Surface whole, ahead;
        whole.setText(text);
        ahead.setText(text);
        ColorizeAllStages(whole, p, nullptr, {}, true);
        const int span = 1 + int(size % 37);
        ahead.colourAheadWith(
            [&](Surface &s, int from, int upTo) { return ColorizeAhead(s, p, from, upTo, span); },
            0);
        while (ahead.colouredTo() < ahead.length()) {
            const int before = ahead.colouredTo();
            ahead.colourAhead(before + 1);
            FUZZ_CHECK(ahead.colouredTo() > before);
        }
        diff = enginetest::compareFormats(ahead, whole);
        if (!diff.isEmpty()) {
            std::fprintf(stderr, "colouring ahead differs: %s\n", qPrintable(diff));
            std::abort();
        }
    }
    // Then each line again over the coloured text, as typing does.
    const BgrColor strings = kColours[1], comments = kColours[2];
    int previous = -1;
    for (int next; (next = a.indexOf(QStringLiteral("\n"), previous + 1)) != -1; previous = next) {
        int s1 = previous, e1 = next, s2 = previous, e2 = next;
        ColorLine(s1, e1, a, p.string1, p.string2, p.ignoreString, kIgnorePlaceholder,
                  p.singleLineComment, strings, comments, p.fontstyle, 4, 5);
        ref::ColorLine(s2, e2, b, p.string1, p.string2, p.ignoreString, kIgnorePlaceholder,
                       p.singleLineComment, strings, comments, p.fontstyle, 4, 5);
        FUZZ_CHECK(s1 == s2 && e1 == e2);
    }
    diff = enginetest::compareFormats(a, b);
    if (!diff.isEmpty()) {
        std::fprintf(stderr, "line colouring differs: %s\n", qPrintable(diff));
        std::abort();
    }
    return 0;
}
