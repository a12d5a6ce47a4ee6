#pragma once
// The shared in-memory preferences that the formatting engine and the
// completion search read on every use, filled from the store at start-up
// and after every Apply or OK.

#include <QString>
#include <QStringList>
#include <array>

namespace qln {

struct Preferences {
    // Word lists used from index 1 to their count; index 0 holds nothing.
    QStringList arrckeyword{QString()}, arrcother{QString()}, arrcmore{QString()};
    int ckeywordcount = 0, cothercount = 0, cmorecount = 0;
    // Spelling pairs, kept sorted by arrsfrom after Apply/OK.
    QStringList arrsfrom{QString()}, arrsto{QString()};
    int fromtocount = 0;

    // Colours as the decimal text of the stored value.
    QString ckeywordcolor, cothercolor, cmorecolor, cstringscolor, ccommentscolor, ctextcolor;

    // fontstyle[category 1..5][attribute 1..4]: bold, italic, underline,
    // whole word. Row and column 0 are unused.
    std::array<std::array<bool, 5>, 6> fontstyle{};

    // Reserved strings.
    QString singleLineComment, multiLineCommentStart, multiLineCommentEnd;
    QString string1, string2, ignoreString, blockBeginning, blockEnding;

    QString indentstring;
    // "Keep indentation": Enter, a typed closing brace and the templates
    // follow the caret line's indentation.
    bool keepindent = true;
    // "Line numbers": the margin of numbers beside the text.
    bool linenumbers = true;
    bool setfocusontreebox = false;
    bool autocbopos = true;

    QString tempFolder;
};

} // namespace qln
