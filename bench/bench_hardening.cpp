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
#include <ctime>

using namespace qln;
using namespace qln::bench;

namespace {

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Wall-clock milliseconds of f, with the processor time it used: on a
// shared machine the wall clock also counts time spent waiting for a core.
double measure(const QString &what, const QString &limit, const std::function<void()> &f)
{
    const double cpuBefore = cpuMs();
    const double wall = timeMs(f);
    const double cpu = cpuMs() - cpuBefore;
    report(what + QStringLiteral(" [cpu %1 ms]").arg(cpu, 0, 'f', 1), wall, limit);
    return wall;
}

} // namespace

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
        measure(QStringLiteral("colourize-all, 1 MB line of %1").arg(QLatin1String(l.name)),
                QStringLiteral("100 ms"), [&] { ColorizeAllStages(s, prefs, nullptr); });
        int start = -1, end = s.length() - 1;
        measure(QStringLiteral("  that line coloured again"), QStringLiteral("-"), [&] {
            ColorLine(start, end, s, prefs.string1, prefs.string2, prefs.ignoreString,
                      kIgnorePlaceholder, prefs.singleLineComment, 4227072, 8355711,
                      prefs.fontstyle, 4, 5);
        });
    }

    {
        const int n = 100000;
        Surface s;
        s.setText(QString(n, QLatin1Char('x')));
        measure(QStringLiteral("100,000 distinct colours set by selection"),
                QStringLiteral("200 ms"), [&] {
                    for (int i = 0; i < n; ++i) {
                        s.setSelection(i, 1);
                        s.setSelColor(BgrColor(i + 1));
                    }
                });
        int wrong = 0;
        for (int i = 0; i < n; ++i)
            wrong += s.formatAt(i).color != BgrColor(i + 1);
        std::printf("  characters with a wrong colour: %d\n", wrong);
        Surface t;
        t.setText(QString(n, QLatin1Char('x')));
        measure(QStringLiteral("100,000 distinct colours set by style ranges"),
                QStringLiteral("200 ms"), [&] {
                    for (int i = 0; i < n; ++i)
                        t.setStyleRanges({{i, 1}}, Surface::TextStyle{BgrColor(i + 1)});
                });
    }

    {
        Surface s;
        s.setText(QStringLiteral("{\r\n").repeated(20000));
        bool tooLarge = false;
        measure(QStringLiteral("indent all of 20,000 nested braces"), QStringLiteral("-"), [&] {
            IndentAllLines(s, IndentSyntax::java(QStringLiteral("\t")), nullptr, &tooLarge);
        });
        std::printf("  %s\n", tooLarge ? "refused" : "NOT refused");
    }
    return 0;
}
