// The host of a captured run: the tool's output lands at the end of the
// output box in the caller's style, in order, and all of it is kept.
#include "support/scriptedprompter.h"
#include "tools/frmdosx.h"

#include <QSignalSpy>
#include <QTest>

using namespace qln;

class TstFrmDosX : public QObject {
    Q_OBJECT
private slots:
    void outputArrivesStyledAtTheEnd();
    void emptyCommandStartsNothing();
};

void TstFrmDosX::outputArrivesStyledAtTheEnd()
{
    test::ScriptedPrompter prompter;
    frmDosX host(prompter);
    Surface box;
    box.setText(QStringLiteral("javac A.java\r\n[Executing]\r\n"));
    const int before = box.length();
    QSignalSpy done(&host, &frmDosX::finished);
    // Standard output and error both arrive; more than 256 bytes in all.
    const QString command =
        QStringLiteral("  printf 'out\\n'; printf 'err\\n' 1>&2; yes x | head -n 1000 | tr -d '\\n'  ");
    QVERIFY(host.DosExecute(command, &box, Surface::TextStyle{356435, true, false, false}));
    QVERIFY(done.wait(20000));
    const QString expected = QStringLiteral("out\nerr\n") + QString(1000, QLatin1Char('x'));
    QCOMPARE(host.text(), expected);
    QCOMPARE(done.at(0).at(0).toString(), expected);
    // The box holds it after what was there, in CR LF, coloured and bold.
    QCOMPARE(box.text().mid(before), QStringLiteral("out\r\nerr\r\n") + QString(1000, QLatin1Char('x')));
    QCOMPARE(box.formatAt(before).color, 356435u);
    QVERIFY(box.formatAt(box.length() - 1).bold);
    QCOMPARE(box.formatAt(0).color, 0u);
    QCOMPARE(box.selStart(), box.length());
}

void TstFrmDosX::emptyCommandStartsNothing()
{
    test::ScriptedPrompter prompter;
    prompter.answer(MsgAnswer::Ok);
    frmDosX host(prompter);
    Surface box;
    QSignalSpy done(&host, &frmDosX::finished);
    QVERIFY(!host.DosExecute(QStringLiteral("   "), &box, Surface::TextStyle{}));
    QCOMPARE(prompter.messages(), QStringList{QStringLiteral("Command Line empty")});
    QVERIFY(box.text().isEmpty());
    QCOMPARE(done.count(), 0);
}

QTEST_MAIN(TstFrmDosX)
#include "tst_frmdosx.moc"
