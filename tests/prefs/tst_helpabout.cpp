// The help window's panels, texts and legend pictures, and the about
// window's texts, links and system-information button.
#include "completion/icons/completionicons.h"
#include "shell/frmabout.h"
#include "shell/frmhelp.h"
#include "support/scriptedprompter.h"

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
    void helpTexts()
    {
        frmhelp help;
        QCOMPARE(help.windowTitle(), QStringLiteral("Help"));
        const QString ats = help.findChild<QLabel *>("lblatshelp")->text();
        QVERIFY(ats.contains(QStringLiteral(
            "\r\nwhen you hit the Enter key or the Space key, the program will automatically "
            "insert the selected text in combobox, which contains the list. The program will "
            "also try to search for the item you're trying to type and if found, will select "
            "it\r\nIn front of each item")));
        const QStringList tree = help.findChild<QLabel *>("lblobjecttreehelp")->text().split("\r\n");
        QCOMPARE(tree.size(), 3);
        QVERIFY(tree[0].startsWith("The generate option (which is not supported yet)"));
        QVERIFY(tree[2].endsWith("for help on tags."));
        QCOMPARE(help.findChild<QPushButton *>("cmdlegend")->text(), QStringLiteral("View Legend"));

        // The coding help covers the operands, the connector, literals and
        // the archive tool's exception.
        auto *code = help.findChild<QPlainTextEdit *>("txtjavaxcodehelp");
        QVERIFY(code->isReadOnly());
        for (const char *word : {"TextBox1", "TextBox3", ".Path", ".FileTitle", ".FileName",
                                 ".FileExt", "Options", "&", "255", "-x", "-m"})
            QVERIFY2(code->toPlainText().contains(QLatin1String(word)), word);

        // All panels start hidden.
        for (auto p : {frmhelp::Panel::ObjectTree, frmhelp::Panel::AutoTreeSearch,
                       frmhelp::Panel::Legend, frmhelp::Panel::JavaxCode})
            QVERIFY(!help.panel(p)->isVisibleTo(&help));
    }

    void legendShowsThirteenDistinctPictures()
    {
        frmhelp help;
        const auto labels = help.findChildren<QLabel *>("lbllegendhelp");
        const auto images = help.findChildren<QLabel *>("imglegendhelp");
        QCOMPARE(labels.size(), 13);
        QCOMPARE(images.size(), 13);
        const QStringList captions = {
            "Package", "Public or undefined class", "Public or undefined interface",
            "Protected class", "Protected interface", "Public or undefined method",
            "Public or undefined final method", "Public or undefined variable",
            "Public or undefined final variable", "Protected method", "Protected final method",
            "Protected variable", "Protected final variable"};
        QList<QImage> pictures;
        for (int i = 0; i < 13; ++i) {
            QCOMPARE(labels[i]->property("index").toInt(), i);
            QCOMPARE(labels[i]->text(), captions[i]);
            QCOMPARE(completionIconCaption(i + 1), captions[i]);
            const QImage img = images[i]->pixmap().toImage();
            QVERIFY2(!img.isNull(), qPrintable(captions[i]));
            pictures << img;
        }
        for (int i = 0; i < 13; ++i)
            for (int j = i + 1; j < 13; ++j)
                QVERIFY2(pictures[i] != pictures[j],
                         qPrintable(captions[i] + " looks like " + captions[j]));
        QVERIFY(completionIcon(0).isNull());
        QVERIFY(completionIconPath(14).isEmpty());
    }

    void okGivesTheOwnerBack()
    {
        QWidget owner;
        owner.show();
        frmhelp help;
        help.showPanel(&owner, frmhelp::Panel::JavaxCode);
        QVERIFY(!owner.isEnabled());
        QVERIFY(help.isVisible());
        QVERIFY(help.isPanelVisible(frmhelp::Panel::JavaxCode));
        help.findChild<QPushButton *>("cmdok")->click();
        QVERIFY(owner.isEnabled());
        QVERIFY(!help.isVisible());
        QVERIFY(!help.panel(frmhelp::Panel::JavaxCode)->isVisibleTo(&help));
    }

    void aboutTextsAndLinks()
    {
        test::ScriptedPrompter p;
        QWidget owner;
        QPointer<frmAbout> about = frmAbout::showAbout(p, &owner);
        QCOMPARE(about->windowTitle(), QStringLiteral("About Quillon"));
        QCOMPARE(about->findChild<QLabel *>("lblTitle")->text(), QStringLiteral("Quillon"));
        QCOMPARE(about->findChild<QLabel *>("lblVersion")->text(),
                 QStringLiteral("Version %1.%2.%3")
                     .arg(QUILLON_VERSION_MAJOR)
                     .arg(QUILLON_VERSION_MINOR)
                     .arg(QUILLON_VERSION_PATCH));
        QCOMPARE(about->findChild<QLabel *>("lblDescription")->text(),
                 QStringLiteral("Please send comments, suggestions or bug reports to:"));
        QVERIFY(!about->findChild<QLabel *>("lblDisclaimer")->text().isEmpty());

        QList<QUrl> opened;
        about->openUrl = [&](const QUrl &u) {
            opened << u;
            return true;
        };
        auto *email = about->findChild<LinkLabel *>("lblemail");
        QTest::mouseClick(email, Qt::LeftButton);
        QTest::mouseClick(about->findChild<LinkLabel *>("lblcheckforupdates"), Qt::LeftButton);
        QCOMPARE(opened.size(), 2);
        QCOMPARE(opened[0], QUrl("mailto:" + email->text()));
        QCOMPARE(opened[1], frmAbout::updatesPage());
        QCOMPARE(about->findChild<QLabel *>("lblcheckforupdates")->text(),
                 QStringLiteral("Check for Updates"));

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
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit());

        // Nothing on PATH: the message, and nothing starts.
        p.answer(MsgAnswer::Ok);
        about.findChild<QPushButton *>("cmdSysInfo")->click();
        QCOMPARE(p.messages(), QStringList{"System Information Is Unavailable At This Time"});
        QCOMPARE(p.asked()[0].message.buttons, MsgButtons::Ok);
        QVERIFY(started.isEmpty());

        // The first program of the list that is there is started.
        QFile tool(bin.filePath(about.sysInfoPrograms.at(1)));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.write("#!/bin/sh\n");
        tool.close();
        tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        p.clear();
        about.StartSysInfo();
        QCOMPARE(started, QStringList{tool.fileName()});
        QVERIFY(p.asked().empty());

        // A program that will not start is reported like a missing one.
        about.startProgram = [](const QString &) { return false; };
        p.answer(MsgAnswer::Ok);
        about.StartSysInfo();
        QCOMPARE(p.messages().size(), 1);
        qputenv("PATH", oldPath);
    }
};

QTEST_MAIN(TstHelpAbout)
#include "tst_helpabout.moc"
