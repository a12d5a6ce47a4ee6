// The editing surface under random edits, formatted pastes (well formed or
// not), format changes, bulk edits, masking and undo/redo. After every step
// the text is clean CR LF text, the formats cover it exactly and the line
// table matches it; a model kept up to date from the surface's change
// notifications alone holds the same text and formats (what views rely
// on); Undo followed by Redo gives back the same text and formats; at the
// end undoing everything gives the text the undo history starts from and
// redoing everything the newest text, with every format as it was.
#include "formatting/formatrtf.h"
#include "fuzzsupport.h"
#include "surface/surface.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <cmath>
#include <limits>

using namespace qln;

namespace {

const QString kAlphabet = QStringLiteral("ab \r\n\"\\_#/*{}\t\u00e9");

void checkInvariants(const Surface &s)
{
    const QString t = s.text();
    FUZZ_CHECK(Surface::normalizeLineBreaks(t) == t);
    // Formats: the runs cover the text exactly.
    qint64 covered = 0;
    for (const auto &run : s.formatRuns(0, s.length())) {
        FUZZ_CHECK(run.start == covered && run.length > 0 && run.format);
        covered += run.length;
    }
    FUZZ_CHECK(covered == s.length());
    // Line table.
    int line = 0;
    FUZZ_CHECK(s.lineIndex(0) == 0);
    for (int i = 0; i < t.size(); ++i) {
        if (t.at(i) == QLatin1Char('\n')) {
            ++line;
            FUZZ_CHECK(s.lineIndex(line) == i + 1);
        }
    }
    FUZZ_CHECK(s.lineCount() == line + 1);
    FUZZ_CHECK(s.selStart() >= 0 && s.selLength() >= 0
               && s.selStart() + s.selLength() <= s.length());
}

// Formatted clipboard data, sometimes well formed, sometimes not.
QMimeData *formattedData(fuzz::Input &in)
{
    const QString text = Surface::normalizeLineBreaks(in.text(12, kAlphabet));
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << text;
    const int mode = in.below(4);
    const int runs = mode == 0 ? 1 : in.below(5);
    out << quint32(runs);
    qint64 left = text.size();
    for (int i = 0; i < runs; ++i) {
        qint32 length;
        if (mode == 0)
            length = qint32(left);
        else if (mode == 1)
            length = i + 1 == runs ? qint32(left) : in.below(int(left) + 1);
        else
            length = qint32(in.u32());
        left -= length;
        double size = 8 + in.below(30);
        switch (in.below(8)) {
        case 0: size = std::numeric_limits<double>::quiet_NaN(); break;
        case 1: size = std::numeric_limits<double>::infinity(); break;
        case 2: size = -size; break;
        case 3: size = 1e300; break;
        default: break;
        }
        out << length << quint32(in.u32()) << in.flag() << in.flag() << in.flag()
            << (in.flag() ? QStringLiteral("Mono") : QString()) << size;
    }
    if (mode == 3)
        bytes.truncate(in.below(int(bytes.size()) + 1));
    auto *data = new QMimeData;
    data->setData(QStringLiteral("application/x-quillon-formatted"), bytes);
    if (in.flag())
        data->setText(text);
    return data;
}

// The text and formats as the notifications describe them: a view's
// picture of the surface.
struct Mirror {
    QString text;
    std::vector<CharFormat> formats;
    void attach(Surface &s)
    {
        QObject::connect(&s, &Surface::textReplaced, &s,
                         [this, &s](int pos, int removed, int removedBreaks, int added, bool) {
                             FUZZ_CHECK(pos >= 0 && removed >= 0 && pos + removed <= text.size());
                             FUZZ_CHECK(
                                 removedBreaks
                                 == QStringView(text).mid(pos, removed).count(QLatin1Char('\n')));
                             text.replace(pos, removed, s.mid(pos, added));
                             formats.erase(formats.begin() + pos, formats.begin() + pos + removed);
                             for (int i = 0; i < added; ++i)
                                 formats.insert(formats.begin() + pos + i, s.formatAt(pos + i));
                         });
        QObject::connect(&s, &Surface::formatsChanged, &s, [this, &s](int start, int length) {
            FUZZ_CHECK(start >= 0 && length >= 0 && start + length <= s.length());
            for (int i = start; i < start + length; ++i)
                formats[size_t(i)] = s.formatAt(i);
        });
    }
};

std::vector<CharFormat> formatsOf(const Surface &s)
{
    std::vector<CharFormat> out;
    out.reserve(size_t(s.length()));
    for (int i = 0; i < s.length(); ++i)
        out.push_back(s.formatAt(i));
    return out;
}

void checkMirror(const Surface &s, const Mirror &m)
{
    FUZZ_CHECK(m.text == s.text());
    FUZZ_CHECK(m.formats == formatsOf(s));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    fuzz::Input in(data, size);
    // FUZZ_TRACE=1 prints every step (to read a kept input).
    static const bool trace = qEnvironmentVariableIsSet("FUZZ_TRACE");
    Surface s;
    Mirror mirror;
    mirror.attach(s);
    s.setText(in.text(40, kAlphabet));
    QString baseline = s.text();
    checkInvariants(s);
    checkMirror(s, mirror);
    for (int step = 0; step < 64 && !in.atEnd(); ++step) {
        const int len = s.length();
        const int op = in.below(12);
        switch (op) {
        case 0:
            s.replace(in.below(len + 3) - 1, in.below(len + 3) - 1, in.text(10, kAlphabet),
                      in.flag());
            s.notifyChanged();
            break;
        case 1: s.setSelection(in.below(len + 1), in.below(len + 1)); break;
        case 2: {
            std::unique_ptr<QMimeData> mime(formattedData(in));
            s.insertMimeData(mime.get(), in.below(4) != 0);
            break;
        }
        case 3: s.setSelColor(in.u32()); break;
        case 4: s.setSelFontSize(in.below(3) == 0 ? 0 : 6 + in.below(40)); break;
        case 5: {
            std::vector<std::pair<int, int>> ranges;
            for (int i = in.below(4); i >= 0; --i)
                ranges.emplace_back(in.below(len + 4) - 2, in.below(len + 4) - 2);
            s.setStyleRanges(ranges, Surface::TextStyle{in.u32(), in.flag(), in.flag(), in.flag()});
            break;
        }
        case 6: {
            std::vector<Surface::Piece> pieces;
            for (int i = in.below(4); i >= 0; --i) {
                Surface::Piece p;
                if (in.flag()) {
                    p.source = in.below(len + 2) - 1;
                    p.length = in.below(8) == 0 ? int(in.u32()) : in.below(len + 2) - 1;
                } else {
                    p.text = in.text(6, kAlphabet);
                    p.formatOf = in.below(len + 2) - 1;
                }
                pieces.push_back(p);
            }
            s.replacePieces(in.below(len + 3) - 1, in.below(len + 3) - 1, pieces);
            break;
        }
        case 7: s.undo(); break;
        case 8: s.redo(); break;
        case 9: {
            // A mask and unmask pair, as the colouring engine's callers make
            // it; sometimes with a placeholder already in the text.
            if (in.flag())
                s.replace(in.below(len + 1), 0, kIgnorePlaceholder);
            const QString ignore = in.flag() ? QStringLiteral("\\\"") : QStringLiteral("A");
            const int from = in.below(s.length() + 1);
            const int end = from + in.below(s.length() - from + 1);
            const int masked = MaskIgnoreText(from, end, s, ignore, kIgnorePlaceholder);
            UnmaskIgnoreText(from, masked, s, ignore, kIgnorePlaceholder);
            break;
        }
        case 10: s.setSelText(in.text(10, kAlphabet)); break;
        default: s.setSelBold(in.flag()); break;
        }
        if (trace)
            std::fprintf(stderr, "step %d: op %d -> [%s] undo %d redo %d\n", step, op,
                         qPrintable(QString(s.text()).replace("\r", "\\r").replace("\n", "\\n")),
                         int(s.canUndo()), int(s.canRedo()));
        checkInvariants(s);
        checkMirror(s, mirror);
        // Undo and Redo of the newest step give back this very state.
        if (s.canUndo()) {
            const QString text = s.text();
            const std::vector<CharFormat> formats = formatsOf(s);
            s.undo();
            checkInvariants(s);
            checkMirror(s, mirror);
            FUZZ_CHECK(s.canRedo());
            s.redo();
            checkInvariants(s);
            checkMirror(s, mirror);
            FUZZ_CHECK(s.text() == text && formatsOf(s) == formats);
        }
        // With no history at all, the text now is where undo-all must lead.
        if (!s.canUndo() && !s.canRedo())
            baseline = s.text();
    }
    // Whatever was undone last is redone first: the newest text.
    while (s.canRedo())
        s.redo();
    checkInvariants(s);
    const QString final = s.text();
    const std::vector<CharFormat> finalFormats = formatsOf(s);
    while (s.canUndo()) {
        s.undo();
        if (trace)
            std::fprintf(stderr, "undo -> [%s]\n",
                         qPrintable(QString(s.text()).replace("\r", "\\r").replace("\n", "\\n")));
        checkInvariants(s);
    }
    FUZZ_CHECK(s.text() == baseline);
    while (s.canRedo()) {
        s.redo();
        if (trace)
            std::fprintf(stderr, "redo -> [%s]\n",
                         qPrintable(QString(s.text()).replace("\r", "\\r").replace("\n", "\\n")));
        checkInvariants(s);
    }
    checkMirror(s, mirror);
    FUZZ_CHECK(s.text() == final && formatsOf(s) == finalFormats);
    return 0;
}
