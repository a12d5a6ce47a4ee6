#include "formatting/casechange.h"

#include "base/editorstate.h"
#include "base/prompter.h"
#include "formatting/commandhost.h"
#include "surface/surface.h"

#include <vector>

namespace qln {

namespace {

bool isDelimiter(QChar c)
{
    const char16_t u = c.unicode();
    return !((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '.'
             || u == '_');
}

// The walks change a character only into one other character of Latin-1:
// a letter beyond it, or one whose other case is longer or lies beyond it
// ("ß" would become "SS", "ı" would become "I"), stays as it is, so the
// text keeps its length.
QString upper(QChar c)
{
    const QChar u = c.toUpper();
    return QString(c.unicode() <= 0xFF && u.unicode() <= 0xFF ? u : c);
}

QString lower(QChar c)
{
    const QChar l = c.toLower();
    return QString(c.unicode() <= 0xFF && l.unicode() <= 0xFF ? l : c);
}

enum class Walk { Invert, Capitalize };

// The walk over [s, e) made character by character on the surface, each
// change an edit of its own that the change handler sees (used when the
// user keeps the automatic features on).
void walkOnSurface(CommandHost &host, Walk walk, int s, int e)
{
    Surface &surface = host.surface();
    bool previousWasDelimiter = true;
    if (walk == Walk::Capitalize && s > 0) {
        --s;
        previousWasDelimiter = false;
    }
    for (int i = s; i < e; ++i) {
        // The change handler clears these around its own work.
        host.setSurfacePainted(false);
        editorState().suppressSelChange = true;
        surface.setSelection(i, 1);
        if (surface.selLength() >= 2) {
            // A surface that selects a line break as a unit; this one never does.
            host.prompter().message(QStringLiteral("Error occured"), QStringLiteral("Error"),
                                    MsgIcon::Critical, MsgButtons::Ok);
            surface.setSelLength(0);
            return;
        }
        const QString c = surface.selText();
        if (walk == Walk::Invert) {
            const QString u = c.isEmpty() ? c : upper(c[0]);
            if (!IsWordDelimiter(u))
                surface.setSelText(c == u ? lower(c[0]) : u);
        } else {
            if (!IsWordDelimiter(c) && previousWasDelimiter) {
                surface.setSelText(upper(c[0]));
                host.setSurfacePainted(false);
                editorState().suppressSelChange = true;
                surface.setSelection(i, 1);
            }
            previousWasDelimiter = IsWordDelimiter(surface.selText());
        }
    }
}

// The same walk on a copy of the walked text, applied as one edit, with the
// same result and final selection as the walk on the surface.
void walkInOneEdit(Surface &surface, Walk walk, int s, int e)
{
    bool previousWasDelimiter = true;
    if (walk == Walk::Capitalize && s > 0) {
        --s;
        previousWasDelimiter = false;
    }
    if (e <= s)
        return;
    QString buf = surface.mid(s, e - s);
    // Per character its position before the walk, or for replaced
    // characters -1 - the position whose format it carries.
    std::vector<int> origin(size_t(buf.size()));
    for (size_t k = 0; k < origin.size(); ++k)
        origin[k] = s + int(k);
    bool changed = false;
    int selStart = -1, selLength = 0;
    auto replaceAt = [&](int b, const QString &with) {
        const int o = origin[size_t(b)];
        const int formatOf = o >= 0 ? o : -1 - o;
        if (with.size() == 1 && with[0] == buf[b])
            return; // the same character in the same format
        if (with.size() == 1) {
            buf[b] = with[0];
            origin[size_t(b)] = -1 - formatOf;
        } else {
            buf.replace(b, 1, with);
            origin.erase(origin.begin() + b);
            origin.insert(origin.begin() + b, size_t(with.size()), -1 - formatOf);
        }
        changed = true;
    };
    for (int b = 0; b < e - s; ++b) {
        const QChar c = buf[b];
        if (walk == Walk::Invert) {
            const QString u = upper(c);
            if (!IsWordDelimiter(u)) {
                const QString with = (u.size() == 1 && u[0] == c) ? lower(c) : u;
                replaceAt(b, with);
                selStart = s + b + int(with.size());
                selLength = 0;
            } else {
                selStart = s + b;
                selLength = 1;
            }
        } else {
            if (!isDelimiter(c) && previousWasDelimiter)
                replaceAt(b, upper(c));
            previousWasDelimiter = isDelimiter(buf[b]);
            selStart = s + b;
            selLength = 1;
        }
    }
    if (changed) {
        std::vector<Surface::Piece> pieces;
        for (size_t a = 0; a < origin.size();) {
            size_t z = a + 1;
            if (origin[a] >= 0) {
                while (z < origin.size() && origin[z] == origin[z - 1] + 1)
                    ++z;
                pieces.push_back(Surface::Piece{origin[a], int(z - a), {}, -1});
            } else {
                while (z < origin.size() && origin[z] == origin[a])
                    ++z;
                pieces.push_back(
                    Surface::Piece{-1, 0, buf.mid(qsizetype(a), qsizetype(z - a)), -1 - origin[a]});
            }
            a = z;
        }
        surface.replacePieces(s, e - s, pieces);
    }
    surface.setSelection(selStart, selLength);
}

void changeSelectionCase(CommandHost &host, bool toUpper)
{
    Surface &surface = host.surface();
    if (surface.selLength() == 0)
        return;
    host.setStatusText(QStringLiteral("Please wait"));
    host.setBusy(true);
    const QString text = surface.selText();
    surface.setSelText(toUpper ? text.toUpper() : text.toLower());
    host.setBusy(false);
    host.setStatusText(QStringLiteral("Done"));
}

void walkSelection(CommandHost &host, const AutoFeatureSwitches &switches, Walk walk)
{
    Surface &surface = host.surface();
    if (surface.selLength() == 0)
        return;
    const int s = surface.selStart();
    const int e = s + surface.selLength();
    editorState().suppressChange = AskSuspendAutoFeatures(host.prompter(), switches);
    host.setSurfacePainted(false);
    editorState().suppressSelChange = true;
    host.setStatusText(QStringLiteral("Please wait"));
    host.setBusy(true);
    // The walk stops at the end of the selection: examining the position
    // after it would change a character the user did not select.
    {
        // One undo step, however many edits the walk makes.
        Surface::UndoGroup step(surface);
        if (editorState().suppressChange)
            walkInOneEdit(surface, walk, s, e);
        else
            walkOnSurface(host, walk, s, e);
    }
    host.setBusy(false);
    host.setStatusText(QStringLiteral("Done"));
    editorState().suppressChange = false;
    editorState().suppressSelChange = false;
    host.setSurfacePainted(true);
}

} // namespace

bool IsWordDelimiter(const QString &text)
{
    return text.isEmpty() || isDelimiter(text[0]);
}

bool AskSuspendAutoFeatures(Prompter &prompter, const AutoFeatureSwitches &switches)
{
    if (!switches.autoSyntaxColor && !switches.autoSpellCorrect && !switches.autoTreeSearch)
        return true;
    return prompter.message(QStringLiteral("Would you like to turn off the autotreesearch, "
                                           "autocolorize and autospellcorrect features during "
                                           "the process?\r\nIf you choose yes, it will speed up "
                                           "the process significantly"),
                            QString(), MsgIcon::Question, MsgButtons::YesNo)
           == MsgAnswer::Yes;
}

void lowercase(CommandHost &host)
{
    changeSelectionCase(host, false);
}

void uppercase(CommandHost &host)
{
    changeSelectionCase(host, true);
}

void invertcase(CommandHost &host, const AutoFeatureSwitches &switches)
{
    walkSelection(host, switches, Walk::Invert);
}

void capitalize(CommandHost &host, const AutoFeatureSwitches &switches)
{
    walkSelection(host, switches, Walk::Capitalize);
}

} // namespace qln
