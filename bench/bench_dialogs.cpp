// Figures of find and replace on 1 MB of real Java source: Replace All of a
// three-letter word with 50,000 occurrences, a forward find over the whole
// document and a backward search from its end.
#include "base/prompter.h"
#include "benchsupport.h"
#include "dialogs/findreplace.h"
#include "surface/surface.h"

#include <QGuiApplication>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {

// Puts `word` into the source at 50,000 places spread evenly, each as a word
// of its own, keeping the document at about 1 MB.
QString withOccurrences(const QString &src, const QString &word, int count)
{
    QString out;
    out.reserve(src.size() + count * (word.size() + 2));
    const qsizetype step = src.size() / count;
    for (int i = 0; i < count; ++i) {
        out += QStringView(src).mid(i * step, step);
        out += QLatin1Char(' ') + word + QLatin1Char(' ');
    }
    out += QStringView(src).mid(count * step);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QString src = reportedJavaSource(1024 * 1024);
    if (src.isEmpty())
        return 0;

    const QString word = QStringLiteral("qzv");
    const QString doc = withOccurrences(src.left(1024 * 1024 - 50000 * 5), word, 50000);
    std::printf("document: %lld characters\n", qlonglong(doc.size()));

    Surface s;
    BenchPrompter prompter{MsgAnswer::Ok};
    FindReplace fr(s, prompter);
    fr.setSuspendOffer([] { return true; });

    {
        std::vector<double> runs;
        int count = 0;
        for (int i = 0; i < 5; ++i) {
            s.setText(doc);
            fr.setFindText(word);
            fr.setReplaceText(QStringLiteral("abcd"));
            runs.push_back(timeMs([&] { count = fr.replaceAll(); }));
        }
        std::sort(runs.begin(), runs.end());
        std::printf("replace all reported: %s (count %d)\n", qPrintable(prompter.lastMessage),
                    count);
        report(QStringLiteral("Replace All, 3-letter word, 50,000 occurrences, 1 MB (median of 5)"),
               runs[2], QStringLiteral("500 ms"));
    }

    s.setText(doc);
    fr.setFindText(QStringLiteral("qlnAbsentWord"));
    fr.setUp(false);
    report(QStringLiteral("find next of an absent word from the top, 1 MB"),
           medianMs(21,
                    [&] {
                        s.setSelStart(0);
                        fr.searchForward();
                    }),
           QStringLiteral("5 ms"));
    fr.setWholeWord(true);
    fr.setMatchCase(true);
    report(QStringLiteral("find next, whole word and match case, 1 MB"),
           medianMs(21,
                    [&] {
                        s.setSelStart(0);
                        fr.searchForward();
                    }),
           QStringLiteral("5 ms"));

    fr.setUp(true);
    fr.setWholeWord(false);
    fr.setMatchCase(false);
    report(QStringLiteral("backward search of an absent word from the end, 1 MB"),
           medianMs(21,
                    [&] {
                        s.setSelStart(s.length());
                        fr.searchBackward();
                    }),
           QStringLiteral("10 ms"));
    // Whole word backwards passes over every non-word occurrence: "zv" sits
    // inside each of the 50,000 "qzv" and is nowhere a word of its own.
    fr.setFindText(QStringLiteral("zv"));
    fr.setWholeWord(true);
    report(QStringLiteral("backward whole word, 50,000 non-word hits passed over"),
           medianMs(21,
                    [&] {
                        s.setSelStart(s.length());
                        fr.searchBackward();
                    }),
           QStringLiteral("none set"));
    return 0;
}
