// Figures of colourize-all with the factory lists and settings: 1 MB of
// real Java source coloured by the engine alone and until the document is
// shown again in a SurfaceView, the plain reference engine on the same
// text, and the extra memory colouring 10 MB needs.
#include "base/prompter.h"
#include "benchsupport.h"
#include "formatting/colorizeall.h"
#include "formatting/commandhost.h"
#include "formatting/enginesupport.h"
#include "formatting/formatrtf.h"
#include "formatting/reference_formatrtf.h"
#include "surface/ui/surfaceview.h"

#include <QApplication>
#include <QFile>
#include <QTest>
#include <cstdio>
#include <malloc.h>

using namespace qln;
using namespace qln::bench;

namespace {

// The window's part of the command, for a view on screen.
class ViewHost : public CommandHost {
public:
    ViewHost(SurfaceView &view, const Preferences &prefs) : m_view(view), m_prefs(prefs) {}
    Surface &surface() override { return *m_view.surface(); }
    Prompter &prompter() override { return m_prompter; }
    const Preferences &preferences() const override { return m_prefs; }
    ProgressSink &progress() override { return m_progress; }
    QString caption() const override { return QStringLiteral("Document [] - Quillon"); }
    void setCaption(const QString &) override {}
    void setStatusText(const QString &) override {}
    void setBusy(bool) override {}
    void setWindowEnabled(bool) override {}
    void setSurfacePainted(bool painted) override { m_view.setPainted(painted); }
    void focusSurface() override
    {
        m_view.setPainted(true);
        m_view.setFocus();
    }
    bool saveDocument() override { return true; }

private:
    SurfaceView &m_view;
    const Preferences &m_prefs;
    BenchPrompter m_prompter{MsgAnswer::Yes};
    BenchProgress m_progress;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString src = reportedJavaSource(1024 * 1024);
    if (src.isEmpty())
        return 0;
    const Preferences prefs = enginetest::factoryPreferences();

    {
        Surface s;
        s.setText(src);
        report(QStringLiteral("colourize-all on 1 MB, engine alone (median of 9)"),
               medianMs(9, [&] { ColorizeAllStages(s, prefs, nullptr); }), QStringLiteral("50 ms"));

        // Where the time goes.
        const FontStyleTable &fs = prefs.fontstyle;
        report(QStringLiteral("  stage 1: the three word lists"),
               medianMs(9,
                        [&] {
                            int st = 0;
                            ColorWordList(prefs.arrckeyword, prefs.ckeywordcount, fs, 1, st,
                                          s.length(), s, 255, nullptr, 0, 0);
                            ColorWordList(prefs.arrcother, prefs.cothercount, fs, 2, st, s.length(),
                                          s, 16711680, nullptr, 0, 0);
                            ColorWordList(prefs.arrcmore, prefs.cmorecount, fs, 3, st, s.length(),
                                          s, 16711935, nullptr, 0, 0);
                        }),
               QStringLiteral("-"));
        report(QStringLiteral("  stage 2: strings and comments, line by line"),
               medianMs(9,
                        [&] {
                            for (int prev = -1, next;
                                 (next = s.indexOf(QStringLiteral("\n"), prev + 1)) != -1;
                                 prev = next) {
                                int a = prev, b = next;
                                ColorLine(a, b, s, prefs.string1, prefs.string2, prefs.ignoreString,
                                          kIgnorePlaceholder, prefs.singleLineComment, 4227072,
                                          8355711, fs, 4, 5);
                            }
                        }),
               QStringLiteral("-"));
        report(QStringLiteral("  stage 3: text blocks"),
               medianMs(9,
                        [&] {
                            ColorTextBlocks(s, prefs.string1, prefs.string2, prefs.ignoreString, fs,
                                            4, 4227072, 8355711, prefs.multiLineCommentStart,
                                            prefs.multiLineCommentEnd, {});
                        }),
               QStringLiteral("-"));
        report(QStringLiteral("  stage 3: multi-line comments"),
               medianMs(9,
                        [&] {
                            int a = -1, b = s.length();
                            ColorBlockComments(a, b, s, fs, 5, 4227072, 8355711,
                                               prefs.multiLineCommentStart,
                                               prefs.multiLineCommentEnd);
                        }),
               QStringLiteral("-"));

        ColorizeAllStages(s, prefs, nullptr); // back to a whole run's result
        Surface r;
        r.setText(src);
        report(QStringLiteral("colourize-all on 1 MB, reference engine (search and select)"),
               timeMs([&] { ref::ColorizeAllStages(r, prefs, nullptr); }),
               QStringLiteral("none, for comparison"));
        const QString diff = enginetest::compareFormats(s, r);
        std::printf("production and reference results %s\n",
                    diff.isEmpty() ? "identical" : qPrintable("DIFFER: " + diff));
    }

    {
        Surface document;
        SurfaceView view(&document);
        view.resize(1000, 700);
        view.show();
        if (!QTest::qWaitForWindowExposed(&view))
            std::printf("the window was not shown; figures leave out painting\n");
        Surface *s = &document;
        s->setText(src);
        view.flush();
        view.viewport()->repaint();
        ViewHost host(view, prefs);
        auto run = [&] {
            colorizeallrtf(host);
            view.flush();
            view.viewport()->repaint();
        };
        run(); // the first run gives every character its colour
        report(QStringLiteral("colourize-all on 1 MB until shown in a SurfaceView (median of 5)"),
               medianMs(5, run), QStringLiteral("100 ms"));
    }

    {
        const QString big = javaSource(10 * 1024 * 1024);
        std::printf("memory input: %s\n", qPrintable(javaSourceOrigin()));
        Surface s;
        s.setText(big);
        malloc_trim(0); // memory freed earlier is not counted as headroom
        const long rssBefore = statusKb("VmRSS:");
        const bool reset = resetPeakMemory();
        const double ms = timeMs([&] { ColorizeAllStages(s, prefs, nullptr); });
        const long peak = statusKb("VmHWM:");
        const double textMb = double(big.size()) / (1024.0 * 1024.0);
        const double extraMb = double(peak - rssBefore) / 1024.0;
        std::printf("colourize-all on %.1f M characters: %.1f ms; peak RSS grew by %.1f MB "
                    "(%.2f x the character count, %.2f x the UTF-16 text; limit 10 x)%s\n",
                    textMb, ms, extraMb, extraMb / textMb, extraMb / (2 * textMb),
                    reset ? "" : " [peak could not be reset: figure is an upper bound]");
    }
    return 0;
}
