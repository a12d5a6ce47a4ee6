#include "shell/windowsettings.h"

#include "base/pathutil.h"
#include "settings/convert.h"
#include "settings/settingsstore.h"

#include <cmath>

namespace qln {

RestoredWindowSettings readWindowSettings(const SettingsStore &store, double screenWidthTwips,
                                          double screenHeightTwips)
{
    RestoredWindowSettings out;
    auto get = [&store](const char *key) { return store.get(kPrefs, QLatin1String(key)); };

    double size = 0;
    try {
        size = leadingNumber(get("deffontsize"));
    } catch (const ConversionError &) {
        size = 0;
    }
    // A size no font can take (negative, text, two thousand million points)
    // would break the surface: the factory size stands in for it, and that is
    // what the window writes back when it closes.
    out.fontSize = (size >= kMinFontSize && size <= kMaxFontSize) ? size : double(kFactoryFontSize);
    out.fontName = get("deffontname");
    out.documentPath = SplitPath(get("lastfilename"), 2) + QStringLiteral("*.java");

    try {
        const WindowGeometry stored{toTwips(get("ftop")), toTwips(get("fleft")),
                                    toTwips(get("fheight")), toTwips(get("fwidth"))};
        out.geometry = clampWindowGeometry(stored, screenWidthTwips, screenHeightTwips);
        out.background = toColour(get("rtfbgcolor"));
    } catch (const ConversionError &) {
        // A value that is not a number ends the restore here.
    }
    const QString state = get("fwindowstate").trimmed();
    if (state == QLatin1String("2"))
        out.showState = WindowShowState::Maximized;
    else if (state == QLatin1String("3"))
        out.showState = WindowShowState::FullScreen;
    return out;
}

void writeWindowSettings(SettingsStore &store, const WindowSettingsSnapshot &s)
{
    auto put = [&store](const char *key, const QString &value) {
        store.save(kPrefs, QLatin1String(key), value);
    };
    // Whole twips: the window lives on whole pixels anyway.
    auto twips = [](double v) { return twipsText(float(std::round(v))); };
    put("deffontname", s.fontName);
    put("deffontsize", s.fontSize);
    put("lastfilename", s.documentPath);
    put("ftop", twips(s.geometry.top));
    put("fleft", twips(s.geometry.left));
    put("fheight", twips(s.geometry.height));
    put("fwidth", twips(s.geometry.width));
    put("rtfbgcolor", colourText(s.background));
    put("rtftextcolor", s.textColor);
    put("fwindowstate", QString::number(int(s.showState)));
    store.sync();
}

} // namespace qln
