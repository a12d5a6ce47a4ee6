// The auto-indenter: IndentLine's level arithmetic, the whole-document run
// against a line-by-line reference made of plain surface operations, and
// the "Auto&Indent all" command's prompts and window handling.
#include "fakehost.h"
#include "support/requirekit.h"
#include "javasource.h"

#include "formatting/indenter.h"
#include "base/editorstate.h"

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
    Surface ref, local, planned;
    Surface &fast = fastOut ? *fastOut : local;
    for (Surface *s : {&ref, &fast, &planned}) {
        s->setText(text);
        for (int i = 0; i < s->length(); i += 3)
            s->setFormat(i, 2, CharFormat{BgrColor((i % 251) * 40503u & 0xFFFFFF), (i / 3) % 2 == 1, false, false, QString(), 0});
    }
    QCOMPARE(IndentAllLines(fast, unit, B, K), referenceIndentAll(ref, unit, B, K));
    QCOMPARE(fast.text(), ref.text());
    for (int i = 0; i < fast.length(); ++i)
        if (!(fast.formatAt(i) == ref.formatAt(i)))
            QFAIL(qPrintable(QStringLiteral("format differs at %1").arg(i)));
    QCOMPARE(fast.selStart(), ref.selStart());
    QCOMPARE(fast.selLength(), ref.selLength());
    // Planned first (as the command does before it shows anything), then
    // applied: the same in every respect, and the plan knew the length.
    const IndentPlan plan = PlanIndentAll(planned.text(), unit, B, K);
    QCOMPARE(plan.length, qint64(fast.length()));
    QCOMPARE(IndentAllLines(planned, unit, B, K, nullptr, nullptr, &plan), plan.level);
    QCOMPARE(planned.text(), fast.text());
    for (int i = 0; i < fast.length(); ++i)
        if (!(planned.formatAt(i) == fast.formatAt(i)))
            QFAIL(qPrintable(QStringLiteral("planned: format differs at %1").arg(i)));
    QCOMPARE(planned.selStart(), fast.selStart());
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

// A message box in one string: title, icon, buttons and text.
QString box(const MessageRequest &m)
{
    return QStringLiteral("%1|%2|%3|%4").arg(m.title).arg(int(m.icon)).arg(int(m.buttons)).arg(m.text);
}

} // namespace

class TestIndenter : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { editorState() = EditorState{}; }

    void indentAllLines()
    {
        // "|" stands for a line break.
        const std::pair<const char *, const char *> cases[] = {
            {"class A {|int x;|void f() {|x = 1;|}|}|", "class A {|\tint x;|\tvoid f() {|\t\tx = 1;|\t}|}|"},
            {"if (a) {|x;|} else {|y;|}|", "if (a) {|\tx;|\t} else {|\ty;|}|"}, // closes and opens
            {"{|a {{|b|}|}|}|", "{|\t\ta {{|\t\t\tb|\t\t}|\t}|}|"},          // two openings
            {"  {|\t \t x;||   | }|", "{|\tx;|\t|\t|}|"},                 // blanks go
            {"{|  x;|   y;", "{|\tx;|   y;"},                               // last line unbroken
            {"}|}|x;|{|y;|", "}|}|x;|{|\ty;|"},                             // level stops at 0
        };
        for (const auto &[text, expected] : cases) {
            Surface s;
            s.setText(QString::fromUtf8(text).replace('|', QStringLiteral("\r\n")));
            IndentAllLines(s, kTab, kOpen, kClose);
            QCOMPARE(QString(s.text()).replace(QStringLiteral("\r\n"), QStringLiteral("|")),
                     QString::fromUtf8(expected));
        }
        // Block strings are matched in any letter case.
        Surface s;
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
        const QString src = kitJavaSource(150000);
        QLN_REQUIRE_KIT(!src.isEmpty(), "a Java kit with lib/src.zip");
        Surface fast;
        compareWithReference(src, kTab, kOpen, kClose, &fast);
        // The run is one edit: one undo gives the source back.
        fast.undo();
        QCOMPARE(fast.text(), src);
    }

    void command()
    {
        FakeHost host;
        host.prefs.indentstring = kTab;
        host.prefs.blockBeginning = kOpen;
        host.prefs.blockEnding = kClose;
        host.m_surface.setText(lines({"{", "x;", "}", ""}));
        host.m_surface.setSelStart(5);
        bool hiddenDuringRun = false, flagsDuringRun = false;
        QString captionDuringRun;
        connect(&host.m_surface, &Surface::changed, this, [&] {
            hiddenDuringRun = !host.surfacePainted;
            flagsDuringRun = editorState().suppressChange && editorState().suppressSelChange;
            captionDuringRun = host.caption();
        });
        host.prompts.answer(MsgAnswer::Ok);
        indentallrtf(host);
        QCOMPARE(host.prompts.asked().size(), size_t(1));
        QCOMPARE(box(host.prompts.asked()[0].message),
                 box({QStringLiteral("block begining or block ending characters found in stirngs "
                                     "or comments will NOT be ignored\r\nstill working on this. "
                                     "i'll try to fix this in later versions."),
                      QString(), MsgIcon::None, MsgButtons::Ok}));
        QCOMPARE(host.m_surface.text(), lines({"{", "\tx;", "}", ""}));
        QVERIFY(hiddenDuringRun && flagsDuringRun);
        QCOMPARE(captionDuringRun, QStringLiteral("Autoindenting"));
        QCOMPARE(host.caption(), QStringLiteral("Document [A.java] - Quillon*"));
        QCOMPARE(host.m_surface.selStart(), 0);
        QVERIFY(!editorState().suppressChange && !editorState().suppressSelChange);
        QVERIFY(!host.bar.isVisible() && host.windowEnabled && !host.busy && host.surfacePainted);
        // The hourglass is on from when the lines are worked out, before the
        // run shows, until after it.
        QCOMPARE(host.log.mid(0, 2), (QStringList{QStringLiteral("busy"), QStringLiteral("status Please wait")}));
        QCOMPARE(host.log.mid(host.log.size() - 2), (QStringList{QStringLiteral("status Done"), QStringLiteral("idle")}));
        QVERIFY(host.log.contains(QStringLiteral("disabled")) && host.log.contains(QStringLiteral("focus")));
        // Progress: 4 lines, the three with a break reach 25, 50 and 75.
        QCOMPARE(host.bar.given, (std::vector<int>{25, 50, 75}));

        // Now modified: Cancel at the save question changes nothing.
        host.log.clear();
        host.prompts.clear();
        host.prompts.answer(MsgAnswer::Ok);
        host.prompts.answer(MsgAnswer::Cancel);
        indentallrtf(host);
        QCOMPARE(box(host.prompts.asked()[1].message),
                 box({QStringLiteral("Would you like to save the file?"),
                      QStringLiteral("Save file first?"), MsgIcon::Question, MsgButtons::YesNoCancel}));
        QVERIFY(host.log.isEmpty());

        // Yes saves and goes on; a 60000-character document asks about the
        // time, and No stops.
        host.prompts.clear();
        QString big = lines({"{", "x;", "}", ""});
        big += QString(60000 - big.size(), QLatin1Char('a'));
        host.m_surface.setText(big);
        for (MsgAnswer a : {MsgAnswer::Ok, MsgAnswer::Yes, MsgAnswer::No})
            host.prompts.answer(a);
        indentallrtf(host);
        QCOMPARE(host.log, QStringList{QStringLiteral("save")});
        QCOMPARE(box(host.prompts.asked()[2].message),
                 box({QStringLiteral("Approximately 0 minutes 11.25 seconds to 0 minutes 33.75 "
                                     "seconds needed on a 933 MHz computer for the process"),
                      QStringLiteral("Do you wish to continue?"), MsgIcon::Question, MsgButtons::YesNo}));
        QCOMPARE(host.m_surface.text(), big);
    }

    // A result past 64 MB is refused before anything changes: whole
    // document, command (with its message) and single line alike.
    void refusesTooLargeResult_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<qint64>("length"); // -1: too large
        const QString braces20000 = QString(QStringLiteral("{\r\n")).repeated(20000);
        QTest::newRow("20,000 nested braces") << braces20000 << kTab << qint64(-1);
        QTest::newRow("400 braces, wide unit") << QString(QStringLiteral("{\r\n")).repeated(400)
                                              << QString(1000, QLatin1Char(' ')) << qint64(-1);
        QTest::newRow("400 braces, tab") << QString(QStringLiteral("{\r\n")).repeated(400) << kTab
                                        << qint64(400 * 3 + 399 * 400 / 2);
        QTest::newRow("blanks go") << QStringLiteral("  x\r\n\ty") << kTab << qint64(5);
    }
    void refusesTooLargeResult()
    {
        QFETCH(QString, text);
        QFETCH(QString, unit);
        QFETCH(qint64, length);
        QCOMPARE(IndentedLength(text, unit, kOpen, kClose), length);
        Surface s;
        s.setText(text);
        bool tooLarge = true;
        IndentAllLines(s, unit, kOpen, kClose, nullptr, &tooLarge);
        QCOMPARE(tooLarge, length < 0);
        if (length < 0) {
            QCOMPARE(s.text(), text);
            QVERIFY(!s.canUndo());
        } else {
            QCOMPARE(s.length(), length);
        }
    }

    void commandRefusesTooLargeResult()
    {
        FakeHost host;
        host.prefs.indentstring = QString(1000, QLatin1Char(' '));
        host.prefs.blockBeginning = kOpen;
        host.prefs.blockEnding = kClose;
        const QString text = QString(QStringLiteral("{\r\n")).repeated(400);
        host.m_surface.setText(text);
        const QString caption = host.caption();
        host.prompts.answer(MsgAnswer::Ok);
        host.prompts.answer(MsgAnswer::Ok);
        indentallrtf(host);
        QCOMPARE(host.prompts.messages(),
                 (QStringList{indentNotice(), indentTooLargeMessage()}));
        QCOMPARE(host.m_surface.text(), text);
        QCOMPARE(host.caption(), caption);
        QVERIFY(!host.m_surface.canUndo());
        QVERIFY(!host.log.contains(QStringLiteral("status Please wait")));
        QVERIFY(!host.busy && host.windowEnabled);

        // One line: a level of 32,767 units of 3,000 characters is left alone.
        Surface s;
        s.setText(QStringLiteral("x\r\n"));
        int start = 0, end = 2;
        qint16 level = 32767;
        QCOMPARE(IndentLine(start, end, s, level, QString(3000, QLatin1Char(' ')), kOpen, kClose), 2);
        QCOMPARE(s.text(), QStringLiteral("x\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestIndenter)
#include "tst_indenter.moc"
