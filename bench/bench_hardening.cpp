// Figures for input made to be slow: colourize-all (factory settings) of
// one 1 MB line of double quotes, of slashes, of escaped quotes and of
// escaped quotes ahead of quotes, each ending in CR LF; the same lines
// coloured once more as typing does; 100,000 distinct colours set on a
// surface; the indenter refusing 20,000 nested braces.
#include "benchsupport.h"
#include "formatting/colorizeall.h"
#include "formatting/enginesupport.h"
#include "formatting/formatrtf.h"
#include "formatting/indenter.h"
#include "surface/surface.h"

#include <QCoreApplication>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const Preferences prefs = enginetest::factoryPreferences();
    const int mb = 1 << 20;
    const struct {
        const char *name;
        QString line;
    } lines[] = {
        {"\"", QString(mb, QLatin1Char('"'))},
        {"/", QString(mb, QLatin1Char('/'))},
        {"\\\"", QStringLiteral("\\\"").repeated(mb / 2)},
        {"\\\"\"\"", QStringLiteral("\\\"\"\"").repeated(mb / 4)},
        {"'\"", QStringLiteral("'\"").repeated(mb / 2)},
        {"/*", QStringLiteral("/*").repeated(mb / 2)},
    };
    for (const auto &l : lines) {
        Surface s;
        s.setText(l.line + QStringLiteral("\r\n"));
        const double all = timeMs([&] { ColorizeAllStages(s, prefs, nullptr); });
        report(QStringLiteral("colourize-all, 1 MB line of %1").arg(QLatin1String(l.name)), all,
               QStringLiteral("100 ms"));
        int start = -1, end = s.length() - 1;
        const double one = timeMs([&] {
            ColorLine(start, end, s, prefs.string1, prefs.string2, prefs.ignoreString,
                      kIgnorePlaceholder, prefs.singleLineComment, 4227072, 8355711,
                      prefs.fontstyle, 4, 5);
        });
        report(QStringLiteral("  that line coloured again (one keystroke)"), one, QStringLiteral("-"));
    }

    {
        const int n = 100000;
        Surface s;
        s.setText(QString(n, QLatin1Char('x')));
        const double bySelection = timeMs([&] {
            for (int i = 0; i < n; ++i) {
                s.setSelection(i, 1);
                s.setSelColor(BgrColor(i + 1));
            }
        });
        report(QStringLiteral("100,000 distinct colours set by selection"), bySelection,
               QStringLiteral("200 ms"));
        int wrong = 0;
        for (int i = 0; i < n; ++i)
            wrong += s.formatAt(i).color != BgrColor(i + 1);
        std::printf("  characters with a wrong colour: %d\n", wrong);
        Surface t;
        t.setText(QString(n, QLatin1Char('x')));
        const double byRanges = timeMs([&] {
            for (int i = 0; i < n; ++i)
                t.setStyleRanges({{i, 1}}, Surface::TextStyle{BgrColor(i + 1)});
        });
        report(QStringLiteral("100,000 distinct colours set by style ranges"), byRanges,
               QStringLiteral("200 ms"));
    }

    {
        Surface s;
        s.setText(QStringLiteral("{\r\n").repeated(20000));
        bool tooLarge = false;
        const double refuse = timeMs([&] {
            IndentAllLines(s, QStringLiteral("\t"), QStringLiteral("{"), QStringLiteral("}"),
                           nullptr, &tooLarge);
        });
        report(QStringLiteral("indent all refusing 20,000 nested braces (%1)")
                   .arg(tooLarge ? QStringLiteral("refused") : QStringLiteral("NOT refused")),
               refuse, QStringLiteral("-"));
    }
    return 0;
}
