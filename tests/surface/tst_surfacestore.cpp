// The surface's storage against a plain model (a string, a colour per
// character and line starts found by scanning) over thousands of random
// edits, format changes, undos and redos: every reading of text, lines,
// formats and positions must agree after each step, wherever the last edit
// left the storage's gap. The text store alone is searched and read across
// its gap and grown and shrunk; the gap buffer itself is checked on its
// own, from empty and back to empty. This file is built with the undefined
// behaviour sanitizer, which stops the run on any fault in it.
#include "support/datarow.h"
#include "support/seed.h"
#include "surface/gapbuffer.h"
#include "surface/surface.h"
#include "surface/textstore.h"

#include <QRandomGenerator>
#include <QTest>

#include <optional>
#include <vector>

using namespace qln;

namespace {

// The naive surface: what the text, formats and history should be.
struct Model {
    QString text;
    std::vector<BgrColor> colors;
    struct Edit {
        int pos;
        QString removedText;
        std::vector<BgrColor> removedColors;
        int insertedLength;
    };
    std::vector<Edit> undo, redo;

    bool pairAt(int at) const
    {
        return at > 0 && at < text.size() && text.at(at - 1) == QLatin1Char('\r')
               && text.at(at) == QLatin1Char('\n');
    }
    static QString normalized(const QString &in)
    {
        QString out;
        for (qsizetype i = 0; i < in.size(); ++i) {
            if (in.at(i) == QLatin1Char('\r')) {
                out += QLatin1String("\r\n");
                if (i + 1 < in.size() && in.at(i + 1) == QLatin1Char('\n'))
                    ++i;
            } else if (in.at(i) == QLatin1Char('\n')) {
                out += QLatin1String("\r\n");
            } else {
                out += in.at(i);
            }
        }
        return out;
    }
    void apply(int pos, int removed, const QString &ins, const std::vector<BgrColor> &insColors,
               bool record)
    {
        if (record) {
            undo.push_back({pos,
                            text.mid(pos, removed),
                            {colors.begin() + pos, colors.begin() + pos + removed},
                            int(ins.size())});
            redo.clear();
        }
        text.replace(pos, removed, ins);
        colors.erase(colors.begin() + pos, colors.begin() + pos + removed);
        colors.insert(colors.begin() + pos, insColors.begin(), insColors.end());
    }
    // The surface's replace(): never splits a CR LF pair.
    void replace(int pos, int removed, const QString &raw, BgrColor color)
    {
        pos = std::clamp(pos, 0, int(text.size()));
        removed = std::clamp(removed, 0, int(text.size()) - pos);
        if (pairAt(pos)) {
            --pos;
            if (removed > 0)
                ++removed;
        }
        if (removed > 0 && pairAt(pos + removed))
            ++removed;
        const QString ins = normalized(raw);
        if (removed == 0 && ins.isEmpty())
            return;
        apply(pos, removed, ins, std::vector<BgrColor>(size_t(ins.size()), color), true);
    }
    void step(std::vector<Edit> &from, std::vector<Edit> &to)
    {
        if (from.empty())
            return;
        const Edit e = from.back();
        from.pop_back();
        to.push_back({e.pos,
                      text.mid(e.pos, e.insertedLength),
                      {colors.begin() + e.pos, colors.begin() + e.pos + e.insertedLength},
                      int(e.removedText.size())});
        apply(e.pos, e.insertedLength, e.removedText, e.removedColors, false);
    }
    std::vector<int> lineStarts() const
    {
        std::vector<int> starts{0};
        for (int i = 0; i < text.size(); ++i)
            if (text.at(i) == QLatin1Char('\n'))
                starts.push_back(i + 1);
        return starts;
    }
};

QString randomText(QRandomGenerator &rng, int maxLength)
{
    // Letters, word characters, spaces and every kind of line break,
    // including lone CRs and LFs that the surface turns into pairs.
    static const QString alphabet = QStringLiteral("abcXY_$ 1\t\r\n\r\n\r\n");
    const int n = int(rng.bounded(maxLength + 1));
    QString s;
    for (int i = 0; i < n; ++i)
        s += alphabet.at(int(rng.bounded(int(alphabet.size()))));
    if (rng.bounded(20) == 0)
        s += QChar(0xD83D), s += QChar(0xDE00); // a surrogate pair
    return s;
}

BgrColor colorOf(const Surface &s, int pos)
{
    return s.formatAt(pos).color;
}

// Compares every reading of the surface with the model. With `sampled`,
// per-position readings are checked at a sample of positions only.
void compare(Surface &s, const Model &m, QRandomGenerator &rng, bool sampled)
{
    const int len = int(m.text.size());
    QCOMPARE(s.length(), len);
    QCOMPARE(s.text(), m.text);
    const auto starts = m.lineStarts();
    QCOMPARE(s.lineCount(), int(starts.size()));
    for (int line = 0; line < int(starts.size()); ++line) {
        const int end = line + 1 < int(starts.size()) ? starts[size_t(line) + 1] - 2 : len;
        QCOMPARE(s.lineIndex(line), starts[size_t(line)]);
        QCOMPARE(s.lineLength(line), end - starts[size_t(line)]);
    }
    QCOMPARE(s.lineIndex(int(starts.size())), -1);
    const int line = int(rng.bounded(int(starts.size())));
    QCOMPARE(s.lineText(line), m.text.mid(starts[size_t(line)], s.lineLength(line)));

    auto checkPosition = [&](int pos) {
        QCOMPARE(s.at(pos), pos < len ? m.text.at(pos) : QChar());
        const int l = int(std::upper_bound(starts.begin(), starts.end(), pos) - starts.begin()) - 1;
        QCOMPARE(s.lineFromChar(pos), l);
        const int lineEnd = l + 1 < int(starts.size()) ? starts[size_t(l) + 1] - 2 : len;
        const int viewPos = std::min(pos, lineEnd) - l;
        QCOMPARE(s.toViewPosition(pos), viewPos);
        // Every view position comes back to a position outside a pair.
        QCOMPARE(s.fromViewPosition(viewPos), std::min(pos, lineEnd));
        if (pos < len)
            QCOMPARE(colorOf(s, pos), m.colors[size_t(pos)]);
    };
    if (sampled) {
        for (int i = 0; i < 200; ++i)
            checkPosition(int(rng.bounded(len + 1)));
        checkPosition(len);
    } else {
        for (int pos = 0; pos <= len; ++pos)
            checkPosition(pos);
    }
    QCOMPARE(s.at(-1), QChar());
    QCOMPARE(s.fromViewPosition(-5), 0);
    QCOMPARE(s.fromViewPosition(len + 5), len);

    // Ranges: mid copies and span views (which may move the gap), then
    // format runs, which must be maximal runs of equal colour.
    for (int k = 0; k < 3; ++k) {
        const int a = int(rng.bounded(len + 1));
        const int n = int(rng.bounded(len - a + 1));
        QCOMPARE(s.mid(a, n), m.text.mid(a, n));
        QCOMPARE(s.span(a, n).toString(), m.text.mid(a, n));
        const auto runs = s.formatRuns(a, n);
        int covered = 0;
        BgrColor previous = 0;
        for (size_t r = 0; r < runs.size(); ++r) {
            QCOMPARE(runs[r].start, covered);
            QVERIFY(runs[r].length > 0);
            const BgrColor c = runs[r].format->color;
            if (r > 0)
                QVERIFY2(c != previous, "two runs of the same format side by side");
            for (int i = 0; i < runs[r].length; ++i)
                QCOMPARE(c, m.colors[size_t(a + covered + i)]);
            covered += runs[r].length;
            previous = c;
        }
        QCOMPARE(covered, n);
    }
    QCOMPARE(s.span(len - 3, 10).toString(), m.text.mid(std::max(0, len - 3)));
    QCOMPARE(s.mid(-4, 6), m.text.left(6)); // a start before the text is the start
}

// The first match of needle lying wholly in [start, end), searched in one
// plain string the way a contiguous text is searched, or -1.
int naiveIndexOf(const QString &text, const QString &needle, int start, int end, int options)
{
    const Qt::CaseSensitivity cs =
        (options & FindMatchCase) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const QStringView window = QStringView(text).left(end);
    for (qsizetype p = window.indexOf(needle, std::max(0, start), cs); p >= 0;
         p = window.indexOf(needle, p + 1, cs)) {
        if (options & FindWholeWord) {
            const qsizetype e = p + needle.size();
            if (Surface::isWordCharacter(needle.front()) && p > 0
                && Surface::isWordCharacter(text.at(p - 1)))
                continue;
            if (Surface::isWordCharacter(needle.back()) && e < text.size()
                && Surface::isWordCharacter(text.at(e)))
                continue;
        }
        return int(p);
    }
    return -1;
}

} // namespace

class TstSurfaceStore : public QObject {
    Q_OBJECT
private slots:
    void agreesWithPlainModel_data()
    {
        columns<quint32, int, int>("seed", "steps", "maxInsert");
        row("short edits", 1u, 3000, 4);
        row("mixed edits", 2u, 3000, 40);
        row("long pieces", 3u, 1500, 400);
        row("another seed", 77u, 3000, 12);
    }
    void agreesWithPlainModel()
    {
        QFETCH(quint32, seed);
        QFETCH(int, steps);
        QFETCH(int, maxInsert);
        QRandomGenerator rng(seed);
        Surface s;
        Model m;
        m.text = Model::normalized(randomText(rng, 200));
        s.setText(m.text);
        m.colors.assign(size_t(m.text.size()), colorOf(s, 0));
        compare(s, m, rng, false);
        if (QTest::currentTestFailed())
            return;

        for (int stepIndex = 0; stepIndex < steps; ++stepIndex) {
            const int len = int(m.text.size());
            const int pos = int(rng.bounded(len + 1));
            // Near a line break or right at the gap now and then.
            int at = pos;
            if (rng.bounded(4) == 0) {
                const int cr = int(m.text.indexOf(QLatin1Char('\r'), pos));
                if (cr >= 0)
                    at = cr + int(rng.bounded(3));
            }
            at = std::min(at, len);
            const int op = int(rng.bounded(100));
            QString what;
            if (op < 45) {
                // Typing, deleting and overtyping.
                const int removed =
                    rng.bounded(3) == 0 ? int(rng.bounded(std::min(8, len - at) + 1)) : 0;
                const QString ins = randomText(rng, maxInsert);
                const BgrColor color = s.insertFormat().color;
                what = QStringLiteral("replace %1 %2 by %3 chars")
                           .arg(at)
                           .arg(removed)
                           .arg(ins.size());
                QVERIFY(s.replace(at, removed, ins));
                m.replace(at, removed, ins, color);
            } else if (op < 55) {
                // Whole-document rewrites in pieces keep formats of kept text.
                std::vector<Surface::Piece> pieces;
                QString ins;
                std::vector<BgrColor> insColors;
                const int removed = int(rng.bounded(len - at + 1));
                for (int k = int(rng.bounded(4)); k > 0; --k) {
                    if (rng.bounded(2) == 0 && len > 0) {
                        const int src = int(rng.bounded(len));
                        const int n = int(rng.bounded(std::min(30, len - src) + 1));
                        pieces.push_back({src, n, QString(), -1});
                        ins += m.text.mid(src, n);
                        insColors.insert(insColors.end(), m.colors.begin() + src,
                                         m.colors.begin() + src + n);
                    } else {
                        const QString t = randomText(rng, maxInsert);
                        const int formatOf = int(rng.bounded(len + 2)) - 1;
                        pieces.push_back({-1, 0, t, formatOf});
                        ins += t;
                        const BgrColor c = formatOf >= 0 && formatOf < len
                                               ? m.colors[size_t(formatOf)]
                                               : s.insertFormat().color;
                        insColors.insert(insColors.end(), size_t(t.size()), c);
                    }
                }
                // The model widens the range as the surface does.
                int p = at, r = removed;
                const bool withCr = m.pairAt(p);
                if (withCr)
                    --p, ++r;
                const bool withLf = m.pairAt(p + r);
                if (withLf)
                    ++r;
                if (withCr) {
                    ins.prepend(QLatin1Char('\r'));
                    insColors.insert(insColors.begin(), m.colors[size_t(p)]);
                }
                if (withLf) {
                    ins.append(QLatin1Char('\n'));
                    insColors.push_back(m.colors[size_t(p + r - 1)]);
                }
                const BgrColor typed = s.insertFormat().color;
                what = QStringLiteral("pieces at %1 removing %2").arg(at).arg(removed);
                QVERIFY(s.replacePieces(at, removed, pieces));
                const QString norm = Model::normalized(ins);
                if (norm.size() != ins.size())
                    insColors.assign(size_t(norm.size()), typed);
                if (!(r == 0 && norm.isEmpty()))
                    m.apply(p, r, norm, insColors, true);
                // A kept piece past the end refuses the whole edit.
                const QString before = s.text();
                QVERIFY(!s.replacePieces(0, 0, {{std::max(0, s.length() - 2), 5, QString(), -1}}));
                QCOMPARE(s.text(), before);
            } else if (op < 65) {
                what = QStringLiteral("undo");
                s.undo();
                m.step(m.undo, m.redo);
            } else if (op < 72) {
                what = QStringLiteral("redo");
                s.redo();
                m.step(m.redo, m.undo);
            } else if (op < 80) {
                // A colour on a range, directly or as the selection's.
                const int n = int(rng.bounded(std::min(50, len - at) + 1));
                const BgrColor c = BgrColor(rng.bounded(4)) * 0x101010;
                what = QStringLiteral("colour %1 %2").arg(at).arg(n);
                if (rng.bounded(2) == 0) {
                    CharFormat f;
                    f.color = c;
                    s.setFormat(at, n, f);
                } else if (rng.bounded(2) == 0) {
                    s.setStyleRanges({{at, n}, {at + n / 2, n}}, Surface::TextStyle{c});
                    const int stop = std::min(len, at + n / 2 + n);
                    std::fill(m.colors.begin() + at, m.colors.begin() + stop, c);
                } else {
                    s.setSelection(at, n);
                    s.setSelColor(c);
                }
                std::fill_n(m.colors.begin() + at, n, c);
            } else if (op < 90) {
                // The selection's colour reads as one value or as mixed.
                const int n = int(rng.bounded(std::min(60, len - at) + 1));
                s.setSelection(at, n);
                what = QStringLiteral("read selection %1 %2").arg(at).arg(n);
                std::optional<BgrColor> expected;
                if (n == 0) {
                    expected = s.insertFormat().color;
                } else {
                    expected = m.colors[size_t(at)];
                    for (int i = at; i < at + n; ++i)
                        if (m.colors[size_t(i)] != *expected)
                            expected.reset();
                }
                QCOMPARE(s.selColor(), expected);
                QCOMPARE(s.selText(), m.text.mid(at, n));
            } else {
                // Find, within a range, with each option.
                const int a = int(rng.bounded(len + 1));
                const int b = rng.bounded(4) == 0 ? -1 : a + int(rng.bounded(len - a + 1));
                const int options = int(rng.bounded(4)) * 2;
                const int from = int(rng.bounded(len + 1));
                const QString needle = rng.bounded(3) == 0
                                           ? QStringLiteral("a")
                                           : m.text.mid(from, 1 + int(rng.bounded(4)));
                what = QStringLiteral("find %1 in %2..%3").arg(needle).arg(a).arg(b);
                if (!needle.isEmpty())
                    QCOMPARE(s.indexOf(needle, a, b, options),
                             naiveIndexOf(m.text, needle, a, b < 0 ? len : b, options));
            }
            compare(s, m, rng, m.text.size() > 3000);
            if (QTest::currentTestFailed()) {
                qWarning("failed at step %d: %s", stepIndex, qPrintable(what));
                return;
            }
        }
    }
    void findAcrossTheGap_data()
    {
        columns<int, QString, int, int>("gapAt", "needle", "options", "expected");
        // Text: "one twofold two three" (the gap is put where a one-character
        // edit was made and taken back).
        row("match across the gap", 6, "two", int(FindNone), 4);
        row("match ends at the gap", 7, "two", int(FindNone), 4);
        row("match starts at the gap", 4, "two", int(FindNone), 4);
        row("whole word skips one across the gap", 6, "two", int(FindWholeWord), 12);
        row("case across the gap", 18, "THREE", int(FindNone), 16);
        row("match case refuses", 17, "THREE", int(FindMatchCase), -1);
        row("gap at the end", 21, "three", int(FindWholeWord), 16);
        row("gap at the start", 0, "one", int(FindWholeWord), 0);
    }
    void findAcrossTheGap()
    {
        QFETCH(int, gapAt);
        QFETCH(QString, needle);
        QFETCH(int, options);
        QFETCH(int, expected);
        TextStore s;
        s.replace(0, 0, QStringLiteral("one twofold two three"), nullptr, 0);
        s.replace(gapAt, 0, QStringLiteral("#"), nullptr, 0);
        s.replace(gapAt, 1, QString(), nullptr, 0); // the gap stays there
        QCOMPARE(s.text(), QStringLiteral("one twofold two three"));
        QCOMPARE(s.indexOf(needle, 0, -1, options), expected);
        // A window that cuts the match off finds nothing there.
        if (expected > 0)
            QCOMPARE(s.indexOf(needle, 0, expected + int(needle.size()) - 1, options),
                     naiveIndexOf(s.text(), needle, 0, expected + int(needle.size()) - 1, options));
    }
    void largeGrowthAndShrink()
    {
        // Enough text that the storage grows several times, then a removal of
        // most of it, which gives memory back: the content must survive both.
        TextStore s;
        QString model;
        QRandomGenerator rng(5);
        for (int i = 0; i < 40; ++i) {
            const QString chunk = QString(5000, QLatin1Char('a' + i % 26)) + QStringLiteral("\r\n");
            const int at = int(rng.bounded(int(model.size()) + 1));
            const int pos = at > 0 && model.at(at - 1) == QLatin1Char('\r') ? at - 1 : at;
            QCOMPARE(s.replace(pos, 0, chunk, nullptr, 0), 0);
            model.insert(pos, chunk);
        }
        QCOMPARE(s.text(), model);
        QCOMPARE(s.lineCount(), 41);
        // Both ends outside a line break, so nothing is widened.
        int from = 100, to = int(model.size()) - 100;
        if (model.at(from - 1) == QLatin1Char('\r'))
            --from;
        if (model.at(to - 1) == QLatin1Char('\r'))
            ++to;
        const QString removed = s.mid(from, to - from);
        // The edit says how many line breaks it took.
        QCOMPARE(s.replace(from, to - from, QString(), nullptr, 0),
                 int(removed.count(QLatin1Char('\n'))));
        model.remove(from, to - from);
        QCOMPARE(s.text(), model);
        QCOMPARE(s.lineCount(), int(model.count(QLatin1Char('\n'))) + 1);
        QCOMPARE(s.replace(from, 0, removed, nullptr, 0), 0);
        QCOMPARE(s.length(), 40 * 5002);
        QCOMPARE(s.lineCount(), 41);
        s.replace(0, s.length(), QString(), nullptr, 0);
        QCOMPARE(s.length(), 0);
        QCOMPARE(s.lineCount(), 1);
        QCOMPARE(s.span(0, 5).size(), 0);
    }
    void gapBufferFromEmptyAgreesWithVector()
    {
        // A value type of its own, so the buffer's code under test is the one
        // compiled here, with the sanitizer.
        using Value = quint16;
        QRandomGenerator rng(11);
        for (int round = 0; round < 200; ++round) {
            GapBuffer<Value> buffer;
            std::vector<Value> model;
            QCOMPARE(buffer.size(), 0);
            QVERIFY(buffer.isEmpty());
            for (int step = 0; step < 60; ++step) {
                const int size = int(model.size());
                const int pos = int(rng.bounded(size + 1));
                const int op = int(rng.bounded(10));
                if (op < 5) {
                    // Sometimes everything goes, which starts the storage over.
                    const int removed =
                        rng.bounded(6) == 0 ? size - pos : int(rng.bounded(size - pos + 1));
                    std::vector<Value> added(rng.bounded(op == 0 ? 9000 : 12));
                    for (Value &v : added)
                        v = Value(rng.bounded(65536));
                    const bool all = rng.bounded(8) == 0;
                    const int at = all ? 0 : pos;
                    const int gone = all ? size : std::min(removed, size - at);
                    if (rng.bounded(2) == 0) {
                        buffer.replace(at, gone, added.data(), int(added.size()));
                        model.erase(model.begin() + at, model.begin() + at + gone);
                        model.insert(model.begin() + at, added.begin(), added.end());
                    } else {
                        const Value v = Value(rng.bounded(65536));
                        buffer.replaceFill(at, gone, v, int(added.size()));
                        model.erase(model.begin() + at, model.begin() + at + gone);
                        model.insert(model.begin() + at, added.size(), v);
                    }
                } else if (op < 7) {
                    buffer.moveGap(pos);
                    QCOMPARE(buffer.gapPosition(), pos);
                } else {
                    const int length = int(rng.bounded(size - pos + 1));
                    const Value *p = buffer.contiguous(pos, length);
                    QVERIFY(std::equal(p, p + length, model.begin() + pos));
                }
                QCOMPARE(buffer.size(), int(model.size()));
                std::vector<Value> copy(model.size());
                buffer.copyTo(0, buffer.size(), copy.data());
                QVERIFY2(copy == model,
                         qPrintable(QStringLiteral("round %1 step %2").arg(round).arg(step)));
                if (!model.empty()) {
                    const int i = int(rng.bounded(int(model.size())));
                    QCOMPARE(buffer.at(i), model[size_t(i)]);
                }
            }
        }
    }
    void formatRunsAgreeWithAFormatPerCharacter()
    {
        // The store keeps formats as runs; the model keeps one per character.
        // Random edits (with formats of their own, in one format, replacing
        // everything) and format changes (fills, mutations, styles over ranges
        // in any order) must leave every reading the same, and the runs as few
        // as the model's changes of format allow. Every fourth round the
        // palette grows past 16-bit indices and one of those formats comes
        // in halfway, when runs lie on both sides of the gap.
        using Index = TextStore::FormatIndex;
        test::SeededRandom rng;
        for (int round = 0; round < 40; ++round) {
            TextStore s;
            QString text;
            std::vector<Index> model;
            std::vector<Index> palette;
            for (int c = 0; c < 5; ++c) {
                CharFormat f;
                f.color = BgrColor(c);
                f.bold = c == 3;
                palette.push_back(s.intern(f));
            }
            const bool wide = round % 4 == 3;
            Index last = 0;
            for (int c = 0; wide && c < 65536; ++c) {
                CharFormat f;
                f.color = BgrColor(100 + c);
                last = s.intern(f);
            }
            if (wide) {
                QVERIFY(last > 0xFFFF);
                palette.push_back(last);
            }
            int step = 0;
            auto anyFormat = [&] {
                const int usable = int(palette.size()) - (wide && step < 75 ? 1 : 0);
                return palette[rng.bounded(usable)];
            };
            for (step = 0; step < 150; ++step) {
                const int len = int(text.size());
                const int pos = int(rng.bounded(len + 1));
                const int span = int(rng.bounded(len - pos + 1));
                const int op = int(rng.bounded(10));
                if (op < 4) {
                    const QString ins(int(rng.bounded(op == 0 ? 200 : 8)),
                                      QLatin1Char('a' + step % 26));
                    std::vector<Index> formats(size_t(ins.size()));
                    // Formats of their own come in runs, as pasted text has them.
                    for (size_t i = 0; i < formats.size(); ++i)
                        formats[i] = i > 0 && rng.bounded(4) != 0 ? formats[i - 1] : anyFormat();
                    const Index fill = anyFormat();
                    const bool own = rng.bounded(2) == 0;
                    const bool all = rng.bounded(12) == 0;
                    const int at = all ? 0 : pos, removed = all ? len : span;
                    s.replace(at, removed, ins, own ? formats.data() : nullptr, fill);
                    text.replace(at, removed, ins);
                    model.erase(model.begin() + at, model.begin() + at + removed);
                    if (own)
                        model.insert(model.begin() + at, formats.begin(), formats.end());
                    else
                        model.insert(model.begin() + at, size_t(ins.size()), fill);
                } else if (op < 5) {
                    const Index f = anyFormat();
                    s.fillFormats(pos, span, f);
                    std::fill_n(model.begin() + pos, span, f);
                } else if (op < 7) {
                    const BgrColor color = rng.bounded(3);
                    const bool changed =
                        s.mutateFormats(pos, span, [color](CharFormat &f) { f.color = color; });
                    bool expected = false;
                    for (int i = pos; i < pos + span; ++i) {
                        CharFormat f = s.format(model[size_t(i)]);
                        f.color = color;
                        const Index to = s.intern(f);
                        expected = expected || to != model[size_t(i)];
                        model[size_t(i)] = to;
                    }
                    QCOMPARE(changed, expected);
                } else {
                    std::vector<std::pair<int, int>> ranges;
                    for (int k = int(rng.bounded(5)); k > 0; --k)
                        ranges.emplace_back(int(rng.bounded(len + 6)) - 3,
                                            int(rng.bounded(40)) - 5);
                    const TextStore::TextStyle style{BgrColor(rng.bounded(3)), rng.bounded(2) == 0,
                                                     false, false};
                    const auto [lo, hi] = s.setStyle(ranges, style);
                    int expectLo = len, expectHi = 0;
                    for (const auto &[start, length] : ranges) {
                        for (int i = std::max(start, 0); i < std::min(start + length, len); ++i) {
                            CharFormat f = s.format(model[size_t(i)]);
                            f.color = style.color;
                            f.bold = style.bold;
                            f.italic = f.underline = false;
                            const Index to = s.intern(f);
                            if (to != model[size_t(i)]) {
                                expectLo = std::min(expectLo, i);
                                expectHi = std::max(expectHi, i + 1);
                            }
                            model[size_t(i)] = to;
                        }
                    }
                    if (expectLo < expectHi)
                        QCOMPARE(std::make_pair(lo, hi), std::make_pair(expectLo, expectHi));
                    else
                        QCOMPARE(lo, hi);
                }
                QCOMPARE(s.text(), text);
                std::vector<Index> all;
                s.appendFormats(0, s.length(), all);
                QVERIFY2(
                    all == model,
                    qPrintable(
                        QStringLiteral("round %1 step %2 op %3").arg(round).arg(step).arg(op)));
                int changes = 0;
                for (size_t i = 1; i < model.size(); ++i)
                    changes += model[i] != model[i - 1] ? 1 : 0;
                QCOMPARE(s.formatRunCount(), model.empty() ? 0 : changes + 1);
                if (!model.empty()) {
                    const int i = int(rng.bounded(int(model.size())));
                    QCOMPARE(s.formatIndexAt(i), model[size_t(i)]);
                    const int from = int(rng.bounded(int(model.size())));
                    const int n = 1 + int(rng.bounded(int(model.size()) - from));
                    // Runs of a range cover it in order, each as long as its format lasts.
                    int at = 0;
                    for (const TextStore::FormatRun &r : s.formatRuns(from, n)) {
                        QCOMPARE(r.start, at);
                        for (int k = 0; k < r.length; ++k)
                            QCOMPARE(r.format, &s.format(model[size_t(from + at + k)]));
                        at += r.length;
                        if (at < n)
                            QVERIFY(r.format != &s.format(model[size_t(from + at)]));
                    }
                    QCOMPARE(at, n);
                    const bool same =
                        std::all_of(model.begin() + from, model.begin() + from + n, [&](Index f) {
                            return s.format(f).bold == s.format(model[size_t(from)]).bold;
                        });
                    const auto bold =
                        s.commonValue(from, n, [](const CharFormat &f) { return f.bold; });
                    QCOMPARE(bold.has_value(), same);
                }
            }
        }
    }
};

QTEST_MAIN(TstSurfaceStore)
#include "tst_surfacestore.moc"
