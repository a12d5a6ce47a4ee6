// The help window's panels, texts and legend pictures, and the about
// window's texts, links and system-information button.
#include "completion/ui/icons/completionicons.h"
#include "dialogs/ui/frmhelp.h"
#include "shell/ui/frmabout.h"
#include "support/files.h"
#include "support/scriptedprompter.h"
#include "support/testenv.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace qln;

class TstHelpAbout : public QObject {
    Q_OBJECT
private slots:
    void helpTextsAndPanels()
    {
        frmhelp help;
        QCOMPARE(help.windowTitle(), QStringLiteral("Help"));
        QVERIFY(help.findChild<QLabel *>("lblatshelp")
                    ->text()
                    .contains(QStringLiteral("\r\nwhen you hit the Enter key or the Space key, the "
                                             "program will automatically "
                                             "insert the selected text in combobox")));
        const QStringList tree =
            help.findChild<QLabel *>("lblobjecttreehelp")->text().split("\r\n");
        QCOMPARE(tree.size(), 3);
        QVERIFY(tree[0].startsWith("The generate option (which is not supported yet)"));
        QCOMPARE(help.findChild<QPushButton *>("cmdlegend")->text(),
                 QStringLiteral("View &Legend"));
        auto *code = help.findChild<QPlainTextEdit *>("txtjavaxcodehelp");
        QVERIFY(code->isReadOnly());
        QVERIFY(code->toPlainText().contains(QLatin1String(".FileTitle")));

        // All panels start hidden; OK hides the one shown and frees the owner.
        for (auto p : {frmhelp::Panel::ObjectTree, frmhelp::Panel::AutoTreeSearch,
                       frmhelp::Panel::Legend, frmhelp::Panel::JavaxCode})
            QVERIFY(!help.panel(p)->isVisibleTo(&help));
        QWidget owner;
        owner.show();
        help.showPanel(&owner, frmhelp::Panel::JavaxCode);
        QVERIFY(!owner.isEnabled());
        QVERIFY(help.isPanelVisible(frmhelp::Panel::JavaxCode));
        help.findChild<QPushButton *>("cmdok")->click();
        QVERIFY(owner.isEnabled());
        QVERIFY(!help.isVisible());
        QVERIFY(!help.panel(frmhelp::Panel::JavaxCode)->isVisibleTo(&help));
    }

    void legendShowsThirteenDistinctPictures()
    {
        frmhelp help;
        const auto labels = help.findChildren<QLabel *>("lbllegendhelp");
        const auto images = help.findChildren<QLabel *>("imglegendhelp");
        QCOMPARE(labels.size(), 13);
        QCOMPARE(images.size(), 13);
        QCOMPARE(labels[0]->text(), QStringLiteral("Package"));
        QCOMPARE(labels[12]->text(), QStringLiteral("Protected final variable"));
        QList<QImage> pictures;
        for (int i = 0; i < 13; ++i) {
            QCOMPARE(labels[i]->text(), completionIconCaption(i + 1));
            pictures << images[i]->pixmap().toImage();
            QVERIFY2(!pictures[i].isNull(), qPrintable(labels[i]->text()));
            for (int j = 0; j < i; ++j)
                QVERIFY2(pictures[i] != pictures[j],
                         qPrintable(labels[i]->text() + " looks like " + labels[j]->text()));
        }
    }

    void aboutTextsAndLinks()
    {
        test::ScriptedPrompter p;
        QWidget owner;
        QPointer<frmAbout> about = frmAbout::showAbout(p, &owner);
        // a second press raises the open window instead of opening another
        QCOMPARE(frmAbout::showAbout(p, &owner), about.data());
        QCOMPARE(owner.findChildren<frmAbout *>().size(), 1);
        QCOMPARE(about->windowTitle(), QStringLiteral("About Quillon"));
        QCOMPARE(about->findChild<QLabel *>("lblTitle")->text(), QStringLiteral("Quillon"));
        QCOMPARE(about->findChild<QLabel *>("lblVersion")->text(),
                 QStringLiteral("Version %1.%2.%3")
                     .arg(QUILLON_VERSION_MAJOR)
                     .arg(QUILLON_VERSION_MINOR)
                     .arg(QUILLON_VERSION_PATCH));
        QCOMPARE(about->findChild<QLabel *>("lblDescription")->text(),
                 QStringLiteral("Please send comments, suggestions or bug reports to:"));

        QList<QUrl> opened;
        about->openUrl = [&](const QUrl &u) {
            opened << u;
            return true;
        };
        auto *email = about->findChild<LinkLabel *>("lblemail");
        auto *updates = about->findChild<LinkLabel *>("lblcheckforupdates");
        QCOMPARE(updates->text(), QStringLiteral("Check for Updates"));
        QTest::mouseClick(email, Qt::LeftButton);
        QTest::mouseClick(updates, Qt::LeftButton);
        QCOMPARE(opened, (QList<QUrl>{QUrl("mailto:" + email->text()), frmAbout::updatesPage()}));
        // The links are reached with Tab and pressed with Enter or Space.
        QVERIFY(email->focusPolicy() & Qt::TabFocus);
        QVERIFY(updates->focusPolicy() & Qt::TabFocus);
        opened.clear();
        QTest::keyClick(email, Qt::Key_Return);
        QTest::keyClick(updates, Qt::Key_Space);
        QCOMPARE(opened, (QList<QUrl>{QUrl("mailto:" + email->text()), frmAbout::updatesPage()}));

        about->findChild<QPushButton *>("cmdOK")->click();
        QTRY_VERIFY(about.isNull());
    }

    void systemInformation()
    {
        test::ScriptedPrompter p;
        frmAbout about(p, nullptr);
        about.setAttribute(Qt::WA_DeleteOnClose, false);
        QStringList started;
        about.startProgram = [&](const QString &program) {
            started << program;
            return true;
        };
        QTemporaryDir bin;
        test::ScopedVariable path("PATH", bin.path().toLocal8Bit());

        // Nothing on PATH: the message, and nothing starts.
        p.answer(MsgAnswer::Ok);
        about.findChild<QPushButton *>("cmdSysInfo")->click();
        QCOMPARE(p.messages(), QStringList{"System Information Is Unavailable At This Time"});
        QVERIFY(started.isEmpty());

        // The first program of the list that is there is started.
        const QString tool = bin.filePath(about.sysInfoPrograms.at(1));
        QVERIFY(test::writeFile(tool, {}, true));
        p.clear();
        about.StartSysInfo();
        QCOMPARE(started, QStringList{tool});
        QVERIFY(p.asked().empty());

        // A program that will not start is reported like a missing one.
        about.startProgram = [](const QString &) { return false; };
        p.answer(MsgAnswer::Ok);
        about.StartSysInfo();
        QCOMPARE(p.messages().size(), 1);
    }
};

QTEST_MAIN(TstHelpAbout)
#include "tst_helpabout.moc"
