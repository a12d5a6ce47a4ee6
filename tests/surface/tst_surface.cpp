// The surface model without a view: positions in CR LF counting, find,
// selection formats, edits, marks through undo and redo, and the clipboard.
// Its undo history is tst_history's.
#include "support/seed.h"
#include "surface/surface.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

using namespace qln;

static QString markedText(const Surface &s, MarkId id)
{
    const Mark *m = s.marks().find(id);
    return m ? s.mid(m->start, m->length) : QStringLiteral("<ended>");
}

class TstSurface : public QObject {
    Q_OBJECT
private slots:
    void lineArithmeticAndEdits()
    {
        struct Row {
            QString text;
            int pos, line, lineStart;
        };
        const Row rows[] = {
            {"ab\r\nc", 4, 1, 4},      {"ab\r\nc", 2, 0, 0}, {"ab\r\nc", 3, 0, 0},
            {"ab\r\nc", 5, 1, 4},      {"ab\r\n", 4, 1, 4},  {"", 0, 0, 0},
            {"\r\n\r\n\r\n", 4, 2, 4}, {"a\r\nb", 99, 1, 3},
        };
        for (const Row &r : rows) {
            Surface s;
            s.setText(r.text);
            QCOMPARE(s.lineFromChar(r.pos), r.line);
            QCOMPARE(s.lineIndex(r.line), r.lineStart);
            QCOMPARE(s.lineIndex(s.lineCount()), -1);
            QCOMPARE(s.lineIndex(-1), -1);
        }
        Surface s;
        s.setText(QStringLiteral("a\nb\rc\r\nd\n\re"));
        QCOMPARE(s.text(), QStringLiteral("a\r\nb\r\nc\r\nd\r\n\r\ne"));
        s.setSelStart(1);
        s.setSelText(QStringLiteral("x\ny"));
        QCOMPARE(s.text().left(8), QStringLiteral("ax\r\ny\r\nb"));
        QCOMPARE(s.lineCount(), 7);

        s.setText(QStringLiteral("ab\r\ncd"));
        s.setSelStart(3); // on the LF
        s.setSelText(QStringLiteral("x"));
        QCOMPARE(s.text(), QStringLiteral("abx\r\ncd"));
        s.setSelection(4, 1); // the LF alone
        s.setSelText(QString());
        QCOMPARE(s.text(), QStringLiteral("abxcd"));
        s.setText(QStringLiteral("ab\r\ncd"));
        s.setSelection(1, 2); // "b" and the CR
        s.setSelText(QString());
        QCOMPARE(s.text(), QStringLiteral("acd"));
        QCOMPARE(s.lineCount(), 1);

        s.setText(QStringLiteral("ab\r\n\r\ncd\r\ne"));
        QCOMPARE(s.toViewPosition(4), 3);
        QCOMPARE(s.toViewPosition(3), 2); // LF shows at the line's end
        for (int p = 0; p <= s.length(); ++p) {
            if (p > 0 && s.text().at(p - 1) == QLatin1Char('\r'))
                continue; // between CR and LF has no view position of its own
            QCOMPARE(s.fromViewPosition(s.toViewPosition(p)), p);
        }
    }
    void find()
    {
        struct Row {
            const char *name;
            QString text, needle;
            int start, end, options, expected;
        };
        const QString t = QStringLiteral("int x = interface; int_y $int int");
        const Row rows[] = {
            {"from start", t, "int", 1, -1, 0, 8},
            {"whole word", t, "int", 1, -1, 2, 30},
            {"non-latin", "äint int", "int", 0, -1, 2, 5},
            {"case ignored", "Foo foo", "foo", 0, -1, 0, 0},
            {"match case", "Foo foo", "foo", 0, -1, 4, 4},
            {"end cuts match", "abcdef", "cde", 0, 4, 0, -1},
            {"match at end", "abcdef", "cde", 0, 5, 0, 2},
            {"negative start", "abc", "a", -1, -1, 0, 0},
            {"start past end", "abc", "c", 9, -1, 0, -1},
            {"empty needle", "abc", "", 0, -1, 0, -1},
            {"punctuation word", "a{b", "{", 0, -1, 2, 1},
            {"across break", "ab\r\ncd", "b\r\nc", 0, -1, 0, 1},
            {"word at end", "x int", "int", 0, -1, 6, 2},
            {"line feed", "ab\r\ncd\r\nef", "\n", 4, -1, 0, 7},
            {"no line feed", "ab\r\ncd\r\nef", "\n", 8, -1, 0, -1},
        };
        for (const Row &r : rows) {
            Surface s;
            s.setText(r.text);
            QVERIFY2(s.find(r.needle, r.start, r.end, r.options) == r.expected, r.name);
        }
        Surface s;
        s.setText(QStringLiteral("one two three"));
        s.setSelection(0, 3);
        QCOMPARE(s.find(QStringLiteral("two"), 0), 4);
        QCOMPARE(s.selText(), QStringLiteral("two"));
        // A failed search leaves the selection alone.
        QCOMPARE(s.find(QStringLiteral("four"), 0), -1);
        QCOMPARE(s.selStart(), 4);
        QCOMPARE(s.selLength(), 3);
    }
    void mixedSelectionAndBaseFont()
    {
        Surface s;
        s.setText(QStringLiteral("abcdef"));
        s.setSelection(0, 3);
        s.setSelColor(255);
        s.setSelBold(true);
        s.setSelection(3, 3);
        s.setSelColor(16711680);
        s.setSelection(0, 3);
        QCOMPARE(s.selColor(), std::optional<BgrColor>(255));
        QCOMPARE(s.selBold(), std::optional<bool>(true));
        s.setSelection(2, 2);
        QVERIFY(!s.selColor().has_value());
        QVERIFY(!s.selBold().has_value());
        s.setSelection(0, 2);
        s.setSelFontName(QStringLiteral("Serif"));
        s.setSelFontSize(20);
        s.setSelection(0, 4);
        QVERIFY(!s.selFontName().has_value());
        QVERIFY(!s.selFontSize().has_value());
        // The base font overrides every character's own font.
        s.setFontName(QStringLiteral("Sans"));
        s.setFontSize(12);
        s.setSelection(0, 6);
        QCOMPARE(s.selFontName(), std::optional<QString>(QStringLiteral("Sans")));
        QCOMPARE(s.selFontSize(), std::optional<double>(12));
    }
    void selTextFormatsMovesCaretAndSignals()
    {
        Surface s;
        s.setText(QStringLiteral("ab"));
        s.setSelStart(2);
        s.setSelColor(255);
        s.setSelUnderline(true);
        s.setSelText(QStringLiteral("cd"));
        QCOMPARE(s.formatAt(1).color, 0u);
        QCOMPARE(s.formatAt(2).color, 255u);
        QVERIFY(s.formatAt(3).underline);
        // Moving the caret takes the format of the character before it.
        s.setSelStart(2);
        QCOMPARE(s.selColor(), std::optional<BgrColor>(0));

        s.setSelection(2, 2);
        s.setSelText(QStringLiteral("there\r\nfriend"));
        QCOMPARE(s.text(), QStringLiteral("abthere\r\nfriend"));
        QCOMPARE(s.selStart(), s.length());
        QCOMPARE(s.selLength(), 0);
        s.setSelStart(2);
        s.setSelLength(-1);
        QCOMPARE(s.selLength(), 0);
        s.setSelLength(1000);
        QCOMPARE(s.selLength(), s.length() - 2);

        int changes = 0, caretSeen = -1;
        connect(&s, &Surface::changed, this, [&] {
            ++changes;
            caretSeen = s.selStart();
        });
        s.setSelText(QStringLiteral("xyz"));
        QCOMPARE(changes, 1);
        QCOMPARE(caretSeen, 5);
        // Edits from a view report when the view says its step is over.
        s.replace(0, 0, QStringLiteral("q"), true);
        QCOMPARE(changes, 1);
        s.notifyChanged();
        s.notifyChanged();
        QCOMPARE(changes, 2);
    }
    void marksFollowTheirText()
    {
        Surface s;
        s.setText(QStringLiteral("int alpha = beta;\r\nreturn;"));
        MarkStyle wave;
        wave.underline = MarkStyle::Underline::Wave;
        const MarkId alpha = s.marks().add(4, 5, wave);
        const MarkId empty = s.marks().add(10, 0, wave);
        const MarkId line2 = s.marks().add(19, 7, wave);
        QSignalSpy spy(&s.marks(), &Marks::changed);

        s.replace(0, 0, QStringLiteral("final ")); // before: all move
        QCOMPARE(markedText(s, alpha), QStringLiteral("alpha"));
        QCOMPARE(s.marks().find(empty)->start, 16);
        QCOMPARE(markedText(s, line2), QStringLiteral("return;"));
        // Looked up at a position: the marks over its character, an empty one
        // standing there.
        QCOMPARE(s.marks().at(14).size(), size_t(1));
        QCOMPARE(s.marks().at(14).front()->id, alpha);
        QVERIFY(s.marks().at(15).empty());
        QCOMPARE(s.marks().at(16).front()->id, empty);
        s.replace(10, 0, QStringLiteral("x")); // at the start: stays outside
        s.replace(16, 0, QStringLiteral("y")); // at the end: stays outside
        QCOMPARE(markedText(s, alpha), QStringLiteral("alpha"));
        s.replace(13, 0, QStringLiteral("__")); // inside: widens
        QCOMPARE(markedText(s, alpha), QStringLiteral("al__pha"));
        s.replace(9, 3, QString()); // cuts its head
        QCOMPARE(markedText(s, alpha), QStringLiteral("l__pha"));
        s.replace(s.marks().find(alpha)->end() - 2, 4, QStringLiteral("Z")); // cuts its tail
        QCOMPARE(markedText(s, alpha), QStringLiteral("l__p"));
        QVERIFY(spy.count() >= 2); // cuts are announced; plain moves go with the text
        // A line break counts two characters: the mark on the second line
        // follows a break removed before it.
        const int breakAt = int(s.text().indexOf(QStringLiteral("\r\n")));
        s.replace(breakAt, 2, QString());
        QCOMPARE(markedText(s, line2), QStringLiteral("return;"));

        // Removing all of a mark ends it; undo brings it back where it was and
        // redo ends it again.
        const QString before = s.text();
        const Mark kept = *s.marks().find(alpha);
        s.replace(kept.start - 1, kept.length + 2, QStringLiteral("gamma"));
        QVERIFY(!s.marks().find(alpha));
        const int emptyPos = s.marks().find(empty) ? s.marks().find(empty)->start : -1;
        s.undo();
        QCOMPARE(s.text(), before);
        QVERIFY(s.marks().find(alpha));
        QCOMPARE(s.marks().find(alpha)->start, kept.start);
        QCOMPARE(markedText(s, alpha), QStringLiteral("l__p"));
        s.redo();
        QVERIFY(!s.marks().find(alpha));
        s.undo();
        QCOMPARE(markedText(s, alpha), QStringLiteral("l__p"));

        // An empty mark ends only when text on both sides of it goes.
        QVERIFY(emptyPos >= 0 || !s.marks().find(empty));
        if (const Mark *e = s.marks().find(empty)) {
            const int at = e->start;
            s.replace(at, 1, QString());
            QVERIFY(s.marks().find(empty));
            s.replace(at - 1, 2, QString());
            QVERIFY(!s.marks().find(empty));
        }

        // A mark removed on purpose stays removed through undo; cleared
        // history forgets ended marks.
        s.replace(0, 0, QStringLiteral("// "));
        const MarkId gone = s.marks().add(0, 2, wave);
        s.replace(0, 3, QString());
        s.marks().remove(gone);
        s.undo();
        QVERIFY(!s.marks().find(gone));
        const MarkId head = s.marks().add(0, 2, wave);
        s.replace(0, 3, QString());
        s.clearUndo();
        s.replace(0, 0, QStringLiteral("// "));
        s.undo();
        QVERIFY(!s.marks().find(head));
        QVERIFY(s.marks().find(line2));
        QCOMPARE(s.marks().touching(0, s.length()).size(), size_t(s.marks().count()));

        // Many removed at once, live and ended alike, in one announcement over
        // the range they covered; an ended one stays gone through undo, and
        // marks not named stay.
        const MarkId a = s.marks().add(0, 1, wave), b = s.marks().add(2, 1, wave),
                     c = s.marks().add(3, 1, wave);
        s.replace(3, 1, QStringLiteral("Q")); // ends c
        QVERIFY(!s.marks().find(c));
        spy.clear();
        QCOMPARE(s.marks().remove(std::vector<MarkId>{b, a, c, gone}), 2);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.front().at(0).toInt(), 0);
        QCOMPARE(spy.front().at(1).toInt(), 3);
        s.undo();
        QVERIFY(!s.marks().find(a) && !s.marks().find(b) && !s.marks().find(c));
        QVERIFY(s.marks().find(line2));
        QCOMPARE(s.marks().remove(std::vector<MarkId>{a}), 0);
    }
    // Every mark is compared with the characters it covers: characters typed
    // strictly inside a mark join it, others do not, removed ones leave it,
    // and a mark with none left ends. Undoing every step restores the marks
    // exactly; redoing them all gives the final marks again.
    void marksMatchACharacterModel()
    {
        qln::test::SeededRandom rng;
        Surface s;
        s.setText(QStringLiteral("public class Foo {\r\n    int bar = 42;\r\n}\r\n"));
        struct Model {
            MarkId id;
            std::vector<bool> in; // per character of the text
        };
        std::vector<Model> model;
        for (int i = 0; i < 6; ++i) {
            const int start = int(rng.bounded(s.length()));
            const int len = 1 + int(rng.bounded(std::min(8, s.length() - start)));
            std::vector<bool> in(size_t(s.length()), false);
            std::fill(in.begin() + start, in.begin() + start + len, true);
            model.push_back({s.marks().add(start, len, MarkStyle{}), in});
        }
        auto snapshot = [&] {
            std::vector<std::pair<int, int>> out;
            for (const Model &m : model) {
                const Mark *mk = s.marks().find(m.id);
                out.emplace_back(mk ? mk->start : -1, mk ? mk->length : -1);
            }
            return out;
        };
        const auto initial = snapshot();
        const QStringList inserts{"", "x", "yz", " w "};
        int steps = 0;
        for (int round = 0; round < 300; ++round) {
            // Plain characters only, so no CR LF pair is widened.
            int pos = int(rng.bounded(s.length() + 1));
            int removed = int(rng.bounded(std::min(4, s.length() - pos) + 1));
            const QString ins = inserts[int(rng.bounded(inserts.size()))];
            const QString gone = s.mid(pos, removed);
            if (gone.contains(QLatin1Char('\r')) || gone.contains(QLatin1Char('\n'))
                || (pos > 0 && s.at(pos - 1) == QLatin1Char('\r'))
                || (removed == 0 && ins.isEmpty()))
                continue;
            for (Model &m : model) {
                const bool inside = pos > 0 && pos + removed < int(m.in.size())
                                    && m.in[size_t(pos - 1)] && m.in[size_t(pos + removed)];
                m.in.erase(m.in.begin() + pos, m.in.begin() + pos + removed);
                m.in.insert(m.in.begin() + pos, size_t(ins.size()), inside);
            }
            QVERIFY(s.replace(pos, removed, ins));
            ++steps;
            for (const Model &m : model) {
                const auto first = std::find(m.in.begin(), m.in.end(), true);
                const Mark *mk = s.marks().find(m.id);
                if (first == m.in.end()) {
                    QVERIFY2(!mk, qPrintable(QStringLiteral("round %1").arg(round)));
                    continue;
                }
                QVERIFY2(mk, qPrintable(QStringLiteral("round %1").arg(round)));
                const auto last = std::find(m.in.rbegin(), m.in.rend(), true);
                QCOMPARE(mk->start, int(first - m.in.begin()));
                QCOMPARE(mk->end(), int(m.in.rend() - last));
            }
        }
        const auto final = snapshot();
        for (int i = 0; i < steps; ++i)
            s.undo();
        QCOMPARE(snapshot(), initial);
        for (int i = 0; i < steps; ++i)
            s.redo();
        QCOMPARE(snapshot(), final);
    }
    void clipboard()
    {
        Surface a;
        a.setText(QStringLiteral("red\r\nplain"));
        a.setSelection(0, 3);
        a.setSelColor(255);
        a.setSelBold(true);
        a.setSelection(0, 7);
        QVERIFY(a.copy());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("red\npl"));

        Surface b;
        b.setText(QStringLiteral("[]"));
        b.setSelStart(1);
        QVERIFY(b.paste());
        QCOMPARE(b.text(), QStringLiteral("[red\r\npl]"));
        QCOMPARE(b.formatAt(1).color, 255u);
        QVERIFY(b.formatAt(3).bold);
        QCOMPARE(b.formatAt(6).color, 0u);
        QCOMPARE(b.selStart(), 8);
        b.setSelStart(0);
        QVERIFY(!b.cut());
        QVERIFY(!b.copyPlain());
        b.setSelection(1, 3);
        QVERIFY(b.cut());
        QCOMPARE(b.text(), QStringLiteral("[\r\npl]"));

        // Plain paste takes the format at the caret.
        a.setSelection(0, 3);
        QVERIFY(a.copyPlain());
        Surface c;
        c.setText(QStringLiteral("xy"));
        c.setSelection(0, 1);
        c.setSelColor(16711680);
        c.setSelStart(1);
        QVERIFY(c.pastePlain());
        QCOMPARE(c.text(), QStringLiteral("xredy"));
        QCOMPARE(c.formatAt(1).color, 16711680u);
    }

    // Colouring ahead: the first format read past the frontier colours on
    // (telling listeners only later, from the event loop); edits before it
    // move it, keeping it at a line start; new text and a whole new content
    // bring their own.
    void colouringAheadFollowsEdits()
    {
        Surface s;
        s.setText(QStringLiteral("a\r\nbb\r\nccc\r\ndddd\r\n"));
        QList<QPair<int, int>> asked;
        const Surface::Colourer colourer = [&asked](Surface &on, int from, int upTo) {
            asked << qMakePair(from, upTo);
            on.setStyleRanges({{from, upTo - from}}, {0x0000FF, true, false, false});
            return on.lineIndex(on.lineFromChar(upTo) + 1) < 0
                       ? on.length()
                       : on.lineIndex(on.lineFromChar(upTo) + 1);
        };
        s.colourAheadWith(colourer, 7); // "ccc" and on wait
        QSignalSpy told(&s, &Surface::formatsChanged);
        s.formatRuns(0, 7);
        QVERIFY(asked.isEmpty());

        QVERIFY(s.replace(0, 0, QStringLiteral("x\r\n"))); // before: moves along
        QCOMPARE(s.colouredTo(), 10);
        QVERIFY(s.replace(12, 1, QStringLiteral("zz"))); // after: stays
        QCOMPARE(s.colouredTo(), 10);
        QVERIFY(s.replace(4, 0, QStringLiteral("y"))); // within a line before it
        QCOMPARE(s.colouredTo(), 11);
        QVERIFY(s.replace(9, 2, QString())); // its line break: back to the line's start
        QCOMPARE(s.colouredTo(), 7);
        QCOMPARE(s.text(), QStringLiteral("x\r\nay\r\nbbcczz\r\ndddd\r\n"));

        const int spied = int(told.size());
        s.formatRuns(8, 2); // "bc": in the frontier's line
        QCOMPARE(asked, (QList<QPair<int, int>>{{7, 10}}));
        QCOMPARE(s.colouredTo(), 15);
        QVERIFY(s.formatAt(9).bold && !s.formatAt(10).bold);
        QCOMPARE(int(told.size()), spied); // not while the reader reads
        QTRY_COMPARE(int(told.size()), spied + 1);
        QCOMPARE(told.last(), (QList<QVariant>{7, 8}));

        s.colourAhead(s.length()); // to the end: nothing waits any more
        QCOMPARE(s.colouredTo(), s.length());
        s.formatRuns(0, s.length());
        QCOMPARE(asked.size(), 2);

        Surface loaded;
        loaded.setText(QStringLiteral("p\r\nq\r\n"));
        loaded.colourAheadWith(colourer, 3);
        s.takeContent(loaded);
        QCOMPARE(s.colouredTo(), 3);
        QCOMPARE(loaded.colouredTo(), loaded.length());
        s.setText(QStringLiteral("fresh\r\ntext"));
        QCOMPARE(s.colouredTo(), s.length());
        s.formatRuns(0, s.length());
        QCOMPARE(asked.size(), 2);
    }
};

QTEST_MAIN(TstSurface)
#include "tst_surface.moc"
