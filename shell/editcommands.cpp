#include "shell/editcommands.h"

#include "base/editorstate.h"
#include "settings/convert.h"
#include "surface/surface.h"

#include <cmath>

namespace qln {

namespace {

void reportFailure(Prompter &prompter, const char *text)
{
    prompter.message(QLatin1String(text), QString(), MsgIcon::Critical, MsgButtons::Ok);
}

} // namespace

void editCut(Surface &surface, Prompter &prompter)
{
    if (surface.selLength() == 0)
        return;
    if (!surface.cut())
        reportFailure(prompter, "Error cuting");
}

void editCopy(Surface &surface, Prompter &prompter)
{
    if (surface.selLength() == 0)
        return;
    if (!surface.copy())
        reportFailure(prompter, "Error copiing");
}

void editPaste(Surface &surface, Prompter &prompter)
{
    if (!surface.paste())
        reportFailure(prompter, "Error pasting");
}

void plainTextCut(Surface &surface)
{
    surface.cutPlain();
}

void plainTextCopy(Surface &surface)
{
    surface.copyPlain();
}

void plainTextPaste(Surface &surface)
{
    surface.pastePlain();
}

void editUndo(Surface &surface)
{
    surface.undo();
}

void editRedo(Surface &surface)
{
    surface.redo();
}

void selectAll(Surface &surface, const StatusHooks &hooks)
{
    if (hooks.setStatusText)
        hooks.setStatusText(QStringLiteral("Please wait"));
    if (hooks.setBusy)
        hooks.setBusy(true);
    {
        SuppressGuard guard(false, true);
        surface.setSelStart(0);
        surface.setSelLength(surface.length());
        if (hooks.focusSurface)
            hooks.focusSurface();
    }
    if (hooks.setBusy)
        hooks.setBusy(false);
    if (hooks.setStatusText)
        hooks.setStatusText(QStringLiteral("Done"));
}

int firstNonBlank(const Surface &surface, int line)
{
    const int start = surface.lineIndex(line);
    const int end = start + surface.lineLength(line);
    int pos = start;
    while (pos < end
           && (surface.at(pos) == QLatin1Char(' ') || surface.at(pos) == QLatin1Char('\t')))
        ++pos;
    return pos;
}

int gotoLine(const Surface &surface, Prompter &prompter)
{
    for (;;) {
        const auto answer = prompter.input(QStringLiteral("Goto "), QStringLiteral("Goto line"));
        const double number = answer ? leadingNumber(*answer) : 0;
        if (number == 0 || !std::isfinite(number))
            return -1;
        // Line numbers are whole; a fraction rounds half to even.
        const double line = std::nearbyint(number - 1);
        if (line >= 0 && line < surface.lineCount())
            return firstNonBlank(surface, int(line));
        const MsgAnswer again = prompter.message(
            QStringLiteral("Line doesn't existWould you like to try another line?"),
            QStringLiteral("Line not found"), MsgIcon::Question, MsgButtons::YesNo);
        if (again != MsgAnswer::Yes)
            return -1;
    }
}

void chooseSelectionFont(Surface &surface, Prompter &prompter)
{
    FontChoice initial;
    initial.family = surface.selFontName().value_or(surface.fontName());
    initial.pointSize = surface.selFontSize().value_or(surface.fontSize());
    initial.bold = surface.selBold().value_or(false);
    initial.italic = surface.selItalic().value_or(false);
    initial.underline = surface.selUnderline().value_or(false);
    const auto chosen = prompter.font(initial);
    if (!chosen)
        return;
    if (!chosen->family.isEmpty())
        surface.setSelFontName(chosen->family);
    surface.setSelBold(chosen->bold);
    surface.setSelItalic(chosen->italic);
    surface.setSelUnderline(chosen->underline);
    if (chosen->pointSize > 0)
        surface.setSelFontSize(chosen->pointSize);
}

bool chooseBackground(Surface &surface, Prompter &prompter)
{
    const auto chosen = prompter.color(toQColor(surface.backColor()));
    if (!chosen || !chosen->isValid())
        return false;
    surface.setBackColor(fromQColor(*chosen));
    return true;
}

EditMenuState editMenuState(const Surface &surface, bool clipboardHasText)
{
    EditMenuState s;
    s.cut = s.copy = s.plainCut = s.plainCopy = surface.selLength() > 0;
    s.paste = s.plainPaste = clipboardHasText;
    return s;
}

bool caseItemsEnabled(const Surface &surface)
{
    return surface.selLength() > 0;
}

} // namespace qln
