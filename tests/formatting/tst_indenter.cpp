// The auto-indenter: IndentLine's level arithmetic, the whole-document run
// against a line-by-line reference made of plain surface operations, and
// the "Auto&Indent all" command's prompts and window handling.
#include "fakehost.h"
#include "javasource.h"

#include "formatting/indenter.h"
#include "shell/editorstate.h"

#include <QRandomGenerator>
#include <QTest>

using namespace qln;
using namespace qln::test;

namespace {

const QString kTab = QStringLiteral("\t");
const QString kOpen = QStringLiteral("{");
const QString kClose = QStringLiteral("}");

// The indenting of one line step by step with the surface's own find,
// selection and text operations.
int referenceIndentLine(int &S, int &E, Surface &s, qint16 &L, const QString &unit,
                        const QString &B, const QString &K)
{
    const bool opens = s.find(B, S, E) >= 0;
    const bool closes = s.find(K, S, E) >= 0;
    if (opens && !closes)
        --L;
    s.setSelStart(S);
    while (s.text().at(S) == QLatin1Char('\t') || s.text().at(S) == QLatin1Char(' ')) {
        s.setSelection(S, 1);
        s.setSelText(QString());
        --E;
    }
    for (int p = s.find(B, S, E); p >= 0; p = s.find(B, p + 1, E))
        ++L;
    for (int p = s.find(K, S, E); p >= 0; p = s.find(K, p + 1, E))
        if (L > 0)
            --L;
    s.setSelStart(S);
    for (int i = 0; i < L; ++i) {
        s.setSelText(unit);
        E += int(unit.size());
    }
    if (opens && !closes)
        ++L;
    return E;
}

qint16 referenceIndentAll(Surface &s, const QString &unit, const QString &B, const QString &K)
{
    qint16 level = 0;
    for (int next = -1;;) {
        int start = next + 1;
        next = s.find(QStringLiteral("\n"), start);
        if (next == -1)
            return level;
        next = referenceIndentLine(start, next, s, level, unit, B, K);
    }
}

// Runs both on the text with a pattern of formats and compares everything
// they leave behind.
void compareWithReference(const QString &text, const QString &unit, const QString &B,
                          const QString &K, Surface *fastOut = nullptr)
{
    Surface ref, local;
    Surface &fast = fastOut ? *fastOut : local;
    for (Surface *s : {&ref, &fast}) {
        s->setText(text);
        for (int i = 0; i < s->length(); i += 3)
            s->setFormat(i, 2, CharFormat{BgrColor((i % 251) * 40503u & 0xFFFFFF), (i / 3) % 2 == 1});
    }
    QCOMPARE(IndentAllLines(fast, unit, B, K), referenceIndentAll(ref, unit, B, K));
    QCOMPARE(fast.text(), ref.text());
    for (int i = 0; i < fast.length(); ++i)
        if (!(fast.formatAt(i) == ref.formatAt(i)))
            QFAIL(qPrintable(QStringLiteral("format differs at %1").arg(i)));
    QCOMPARE(fast.selStart(), ref.selStart());
    QCOMPARE(fast.selLength(), ref.selLength());
}

QString lines(const QStringList &l)
{
    return l.join(QStringLiteral("\r\n"));
}

QString randomSource(QRandomGenerator &rng, int lineCount)
{
    const QStringList parts{"{", "}", " ", "\t", "x", "BEGIN", "end",
                            "\"", "//", "{{", "else", ";", "Begin;"};
    QStringList out;
    for (int i = 0; i < lineCount; ++i) {
        QString line;
        for (int k = rng.bounded(7); k > 0; --k)
            line += parts[rng.bounded(int(parts.size()))];
        out << line;
    }
    return lines(out) + (rng.bounded(2) ? QStringLiteral("\r\n") : QString());
}

// A host with tab and brace preferences, holding text.
void setUp(FakeHost &host, const QString &text)
{
    host.prefs.indentstring = kTab;
    host.prefs.blockBeginning = kOpen;
    host.prefs.blockEnding = kClose;
    host.m_surface.setText(text);
}

} // namespace

class TestIndenter : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { editorState() = EditorState{}; }

    void indentAllLines()
    {
        const auto indent = [](const QStringList &text, const QString &unit = kTab) {
            Surface s;
            s.setText(lines(text));
            IndentAllLines(s, unit, kOpen, kClose);
            return s.text();
        };
        QCOMPARE(indent({"class A {", "int x;", "void f() {", "x = 1;", "}", "}", ""}),
                 lines({"class A {", "\tint x;", "\tvoid f() {", "\t\tx = 1;", "\t}", "}", ""}));
        // A line that closes one block and opens the next stays at the body's level.
        QCOMPARE(indent({"if (a) {", "x;", "} else {", "y;", "}", ""}),
                 lines({"if (a) {", "\tx;", "\t} else {", "\ty;", "}", ""}));
        // A complete block on one line neither moves nor changes the level.
        QCOMPARE(indent({"{", "{ x; }", "y;", "}", ""}), lines({"{", "\t{ x; }", "\ty;", "}", ""}));
        // Two opening braces: one level deeper than a line with one.
        QCOMPARE(indent({"{", "a {{", "b", "}", "}", "}", ""}),
                 lines({"{", "\t\ta {{", "\t\t\tb", "\t\t}", "\t}", "}", ""}));
        // Braces in strings and comments count like any other.
        QCOMPARE(indent({"s = \"{\";", "t; // {", "u;", ""}),
                 lines({"s = \"{\";", "\tt; // {", "\t\tu;", ""}));
        // Leading blanks and tabs go; a blank line takes the current level.
        QCOMPARE(indent({"  {", "\t \t x;", "", "   ", " }", ""}),
                 lines({"{", "\tx;", "\t", "\t", "}", ""}));
        // A last line without a line break is left as it is.
        QCOMPARE(indent({"{", "  x;", "   y;"}), lines({"{", "\tx;", "   y;"}));
        QCOMPARE(indent({"{", "x;", "}", ""}, QStringLiteral("    ")), lines({"{", "    x;", "}", ""}));
        // More endings than beginnings stop at level 0.
        QCOMPARE(indent({"}", "}", "x;", "{", "y;", ""}), lines({"}", "}", "x;", "{", "\ty;", ""}));
    }

    void indentLineMovesTheEndAndCarriesTheLevel()
    {
        Surface s;
        s.setText(QStringLiteral("{\r\n   x {\r\nrest"));
        qint16 level = 0;
        int start = 0, end = 2;
        QCOMPARE(IndentLine(start, end, s, level, kTab, kOpen, kClose), 2);
        QCOMPARE(level, qint16(1));
        start = 3;
        end = 10;
        // Three blanks out, one tab in.
        QCOMPARE(IndentLine(start, end, s, level, kTab, kOpen, kClose), 8);
        QCOMPARE(level, qint16(2));
        QCOMPARE(s.text(), QStringLiteral("{\r\n\tx {\r\nrest"));
        QCOMPARE(s.selStart(), 4);
        // Block strings are matched in any letter case.
        s.setText(QStringLiteral("Begin\r\nx\r\nEND\r\n"));
        IndentAllLines(s, kTab, QStringLiteral("begin"), QStringLiteral("end"));
        QCOMPARE(s.text(), QStringLiteral("Begin\r\n\tx\r\nEND\r\n"));
    }

    void equalsTheLineByLineReference()
    {
        QRandomGenerator rng(20240611);
        const QList<QPair<QString, QString>> blockStrings{
            {kOpen, kClose}, {"begin", "END"}, {"{{", "}"}, {" x", "\t"}};
        for (int round = 0; round < 120 && !QTest::currentTestFailed(); ++round) {
            const auto &[B, K] = blockStrings[round % blockStrings.size()];
            compareWithReference(randomSource(rng, 1 + rng.bounded(40)),
                                 round % 3 == 0 ? QStringLiteral("  ") : kTab, B, K);
        }
    }

    void equalsTheReferenceOnRealSource()
    {
        const QString src = kitJavaSource(150000);
        if (src.isEmpty())
            QSKIP("no Java kit with lib/src.zip");
        Surface fast;
        compareWithReference(src, kTab, kOpen, kClose, &fast);
        // The run is one edit: one undo gives the source back.
        fast.undo();
        QCOMPARE(fast.text(), src);
    }

    void commandAsksAndRestoresTheWindow()
    {
        FakeHost host;
        setUp(host, lines({"{", "x;", "}", ""}));
        host.m_surface.setSelStart(5);
        host.bar.setValue(0);
        bool hiddenDuringRun = false, flagsDuringRun = false;
        QString captionDuringRun;
        connect(&host.m_surface, &Surface::changed, this, [&] {
            hiddenDuringRun = !host.m_surface.isVisible();
            flagsDuringRun = editorState().suppressChange && editorState().suppressSelChange;
            captionDuringRun = host.caption();
        });
        host.prompts.answer(MsgAnswer::Ok);
        indentallrtf(host);

        QCOMPARE(host.prompts.asked().size(), size_t(1));
        const MessageRequest &notice = host.prompts.asked()[0].message;
        QCOMPARE(notice.text,
                 QStringLiteral("block begining or block ending characters found in stirngs or "
                                "comments will NOT be ignored\r\nstill working on this. i'll try "
                                "to fix this in later versions."));
        QCOMPARE(notice.title, QString());
        QCOMPARE(notice.icon, MsgIcon::None);
        QCOMPARE(notice.buttons, MsgButtons::Ok);

        QCOMPARE(host.m_surface.text(), lines({"{", "\tx;", "}", ""}));
        QVERIFY(hiddenDuringRun && flagsDuringRun);
        QCOMPARE(captionDuringRun, QStringLiteral("Autoindenting"));
        QCOMPARE(host.caption(), QStringLiteral("Document [A.java] - Quillon*"));
        QCOMPARE(host.m_surface.selStart(), 0);
        QVERIFY(host.m_surface.isVisible());
        QVERIFY(!editorState().suppressChange && !editorState().suppressSelChange);
        QVERIFY(!host.bar.isVisible() && host.windowEnabled && !host.busy);
        QCOMPARE(host.log.first(), QStringLiteral("status Please wait"));
        QCOMPARE(host.log.last(), QStringLiteral("status Done"));
        QVERIFY(host.log.contains(QStringLiteral("disabled")) && host.log.contains(QStringLiteral("focus")));
        // Progress: 4 lines, the three with a break reach 25, 50 and 75.
        QCOMPARE(host.bar.given, (std::vector<int>{0, 25, 50, 75}));
    }

    void commandStopsAtTheQuestions()
    {
        // A modified document: Cancel at the save question changes nothing.
        FakeHost host;
        setUp(host, lines({"{", "x;", "}", ""}));
        host.m_caption = QStringLiteral("Document [A.java] - Quillon*");
        host.prompts.answer(MsgAnswer::Ok);
        host.prompts.answer(MsgAnswer::Cancel);
        indentallrtf(host);
        QCOMPARE(host.prompts.asked().size(), size_t(2));
        const MessageRequest &save = host.prompts.asked()[1].message;
        QCOMPARE(save.text, QStringLiteral("Would you like to save the file?"));
        QCOMPARE(save.title, QStringLiteral("Save file first?"));
        QCOMPARE(save.buttons, MsgButtons::YesNoCancel);
        QCOMPARE(save.icon, MsgIcon::Question);
        QCOMPARE(host.m_surface.text(), lines({"{", "x;", "}", ""}));
        QVERIFY(host.log.isEmpty());

        // Yes saves and goes on; a 60000-character document asks about the
        // time, and No stops.
        host.prompts.clear();
        QString big = lines({"{", "x;", "}", ""});
        big += QString(60000 - big.size(), QLatin1Char('a'));
        host.m_surface.setText(big);
        host.prompts.answer(MsgAnswer::Ok);
        host.prompts.answer(MsgAnswer::Yes);
        host.prompts.answer(MsgAnswer::No);
        indentallrtf(host);
        QCOMPARE(host.log, QStringList{QStringLiteral("save")});
        const MessageRequest &time = host.prompts.asked()[2].message;
        QCOMPARE(time.text, QStringLiteral("Approximately 0 minutes 11.25 seconds to 0 minutes "
                                           "33.75 seconds needed on a 933 MHz computer for the process"));
        QCOMPARE(time.title, QStringLiteral("Do you wish to continue?"));
        QCOMPARE(time.buttons, MsgButtons::YesNo);
        QCOMPARE(host.m_surface.text(), big);

        // Yes to the time question runs it.
        host.prompts.clear();
        host.prompts.answer(MsgAnswer::Ok);
        host.prompts.answer(MsgAnswer::No);
        host.prompts.answer(MsgAnswer::Yes);
        indentallrtf(host);
        QVERIFY(host.m_surface.text().startsWith(lines({"{", "\tx;", "}", ""})));
    }
};

QTEST_GUILESS_MAIN(TestIndenter)
#include "tst_indenter.moc"
