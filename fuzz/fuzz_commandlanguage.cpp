// The tool dialog's command language: classification, normalisation,
// parsing and evaluation of any code. The classes are exactly the colours
// the coding box shows; a valid code holds nothing of the invalid class;
// the length limit cuts to a prefix; and shell escaping gives one sh word
// that sh reads back as the text it was made from (checked with a reader
// of sh's quoting rules), with no character special to sh left bare.
#include "fuzzsupport.h"
#include "surface/surface.h"
#include "tools/commandlanguage.h"

#include <optional>

using namespace qln;

namespace {

// Reads one sh word: a backslash quotes the next character, single quotes
// quote everything up to the next one. Nothing when the word is not one
// word of exactly these quotes, or leaves a character bare that sh would
// treat specially (blanks, operators, expansions, comments, home folders,
// the wildcards unless allowed).
std::optional<QString> readShellWord(const QString &word, bool wildcardsAllowed)
{
    QString out;
    for (qsizetype i = 0; i < word.size(); ++i) {
        const QChar c = word.at(i);
        if (c == QLatin1Char('\\')) {
            if (++i >= word.size() || word.at(i) == QLatin1Char('\n'))
                return std::nullopt; // a line continuation, not a character
            out += word.at(i);
        } else if (c == QLatin1Char('\'')) {
            const qsizetype close = word.indexOf(QLatin1Char('\''), i + 1);
            if (close < 0)
                return std::nullopt;
            out += word.mid(i + 1, close - i - 1);
            i = close;
        } else {
            if (QStringLiteral(" \t\n|&;<>()$`\"[").contains(c))
                return std::nullopt;
            if (!wildcardsAllowed && (c == QLatin1Char('*') || c == QLatin1Char('?')))
                return std::nullopt;
            if (i == 0 && (c == QLatin1Char('#') || c == QLatin1Char('~')))
                return std::nullopt;
            out += c;
        }
    }
    return out;
}

BgrColor colourOf(CodeClass c)
{
    switch (c) {
    case CodeClass::Keyword: return kCodeKeywordColour;
    case CodeClass::Separator: return kCodeSeparatorColour;
    case CodeClass::Literal: return kCodeLiteralColour;
    default: return kCodeOtherColour;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    fuzz::Input in(data, size);
    const bool archive = in.flag();
    const bool jar = in.flag();
    const QString code = in.rest();

    const auto classes = classifyCode(code, archive);
    FUZZ_CHECK(classes.size() == size_t(code.size()));

    // The coding box (one line) coloured: its colours are the classes.
    QString oneLine = code;
    oneLine.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    if (oneLine.size() <= 300) {
        Surface box;
        box.setText(oneLine);
        colourCode(box, archive);
        const auto lineClasses = classifyCode(oneLine, archive);
        for (int i = 0; i < oneLine.size(); ++i)
            FUZZ_CHECK(box.formatAt(i).color == colourOf(lineClasses[size_t(i)]));
    }
    // Normalising shrinks blank runs a fixed number of steps per change, so
    // it is not settled after one round; it never grows the code.
    const QString normal = NormaliseCode(code, archive);
    FUZZ_CHECK(normal.size() <= code.size() + 64);

    QStringList tokens;
    const bool valid = ParseCode(normal, archive, &tokens);
    if (valid) {
        const auto normalClasses = classifyCode(normal, archive);
        for (int i = 0; i < normal.size(); ++i)
            FUZZ_CHECK(normalClasses[size_t(i)] != CodeClass::Other
                       || normal.at(i) == QLatin1Char('"'));
    }
    CodeContext context;
    context.boxes.archiveInUse = archive;
    context.boxes.inFile = QStringLiteral("/tmp/a b/In.java");
    context.boxes.archive = QStringLiteral("x.jar");
    context.boxes.executable = QStringLiteral("In");
    context.mode = jar ? QStringLiteral("Jar") : QStringLiteral("Javac");
    context.options = QStringLiteral("-g");
    context.manifestExtra = QStringLiteral("m.txt");
    const auto line = EvaluateCode(normal, context);
    FUZZ_CHECK(line.has_value() == valid);

    QString limited = code;
    fuzz::QuietPrompter prompter;
    const bool cut = limitCodeLength(limited, prompter);
    FUZZ_CHECK(cut == (code.size() > kMaxCodeLength) && prompter.asked == (cut ? 1 : 0));
    FUZZ_CHECK(limited == code.left(kMaxCodeLength));

    FUZZ_CHECK(readShellWord(shellEscape(code), true) == code);
    const QString path = code.left(64);
    const QString named = path.startsWith(QLatin1Char('-')) ? QStringLiteral("./") + path : path;
    for (bool wildcards : {false, true})
        FUZZ_CHECK(readShellWord(shellPath(path, wildcards), wildcards) == named);
    return 0;
}
