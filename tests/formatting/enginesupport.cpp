#include "formatting/enginesupport.h"

#include "base/prompter.h"
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "surface/surface.h"

#include <memory>

namespace qln::enginetest {

namespace {

// First run asks nothing when it writes the defaults; any question would be
// a fault of the fixture, answered with the first button.
class SilentPrompter : public Prompter {
public:
    MsgAnswer message(const MessageRequest &r) override
    {
        return r.buttons == MsgButtons::YesNo || r.buttons == MsgButtons::YesNoCancel
                   ? MsgAnswer::Yes
                   : MsgAnswer::Ok;
    }
    std::optional<QString> input(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    std::optional<QString> file(const FileDialogRequest &) override { return std::nullopt; }
    std::optional<QColor> color(const QColor &) override { return std::nullopt; }
    std::optional<FontChoice> font(const FontChoice &) override { return std::nullopt; }
    std::optional<QString> folder(const QString &, const QString &) override
    {
        return std::nullopt;
    }
};

} // namespace

Preferences factoryPreferences()
{
    SettingsStore store(std::make_unique<MemorySettingsBackend>());
    PrefModel model;
    SilentPrompter prompter;
    FirstRun(store, model, prompter, FirstRunInputs{});
    Preferences prefs;
    load_arrays(store, prefs);
    load_properties(store, model, prefs);
    return prefs;
}

QString compareFormats(const Surface &a, const Surface &b)
{
    if (a.text() != b.text()) {
        int i = 0;
        while (i < a.length() && i < b.length() && a.text().at(i) == b.text().at(i))
            ++i;
        return QStringLiteral("texts differ at %1: \"%2\" vs \"%3\"")
            .arg(i)
            .arg(a.text().mid(std::max(0, i - 20), 40), b.text().mid(std::max(0, i - 20), 40));
    }
    for (int i = 0; i < a.length(); ++i) {
        const CharFormat &fa = a.formatAt(i), &fb = b.formatAt(i);
        if (fa.color != fb.color || fa.bold != fb.bold || fa.italic != fb.italic
            || fa.underline != fb.underline) {
            auto show = [](const CharFormat &f) {
                return QStringLiteral("colour %1%2%3%4")
                    .arg(f.color)
                    .arg(f.bold ? " bold" : "", f.italic ? " italic" : "",
                         f.underline ? " underline" : "");
            };
            return QStringLiteral("formats differ at %1 ('%2' in \"%3\"): %4 vs %5")
                .arg(i)
                .arg(a.text().at(i))
                .arg(a.text().mid(std::max(0, i - 30), 60).replace("\r\n", "\\n"), show(fa),
                     show(fb));
        }
    }
    return QString();
}

} // namespace qln::enginetest
