#pragma once
// The preferences dialog's controls as a plain object: the editable copy
// of every preference the dialog shows. The dialog binds its widgets to it.

#include "surface/charformat.h"

#include <QString>
#include <QStringList>
#include <array>

namespace qln {

// Style categories, numbered as the colouring engine numbers them.
enum Category { CatKeyword = 1, CatOther = 2, CatMore = 3, CatString = 4, CatComment = 5 };

struct PrefModel {
    // "Reserved Strings" text boxes.
    QString txtgSingleLineComment, txtgMultiLineCommentStart, txtgMultiLineCommentEnd;
    QString txtgString1, txtgString2, txtgignore, txtgBlockBeggining, txtgBlockEnding;

    // "Auto Tree Search" options and the completion box controls.
    bool optgautotreesearchyes = false; // optgautotreesearchno is the opposite
    bool chkgsetfocuscbox = false;
    bool chkgdropdowncbo = false;
    bool optgfixedcbopos = false; // optgautocbopos is the opposite
    QString txtgdefcboposX, txtgdefcboposY;
    bool chkusexptheme = false;

    // "Allignment Options".
    bool opta1 = true; // opta2 is the opposite
    QString txtaindnum;
    bool chkkeepindent = true;  // "Keep indentation"
    bool chklinenumbers = true; // "Line numbers"

    // "Spelling corrections".
    QStringList lstsfrom, lststo;
    bool chksautosc = false;

    // "Coloring and Font": word lists, whole-word boxes, colour buttons and
    // the pressed state of each category's bold/italic/underline buttons.
    QStringList lstckeyword, lstcother, lstcmore;
    bool chkckeywordwholeword = false, chkcotherwholeword = false, chkcmorewholeword = false;
    BgrColor cmdckeywordcolor = 0, cmdcothercolor = 0, cmdcmorecolor = 0;
    BgrColor cmdccommentscolor = 0, cmdcstringscolor = 0, cmdctextcolor = 0;
    // Indexed [category 1..5][flag 1..3]; index 0 unused.
    std::array<std::array<bool, 4>, 6> tbrstyle{};

    bool cmdapplyEnabled = false;
};

} // namespace qln
