// Statement templates: insertion at the caret from the store, the Defaults
// texts, and the "Edit Structures" dialog's OK, Cancel and Defaults.
#include "fakehost.h"

#include "base/editorstate.h"
#include "formatting/templates.h"
#include "formatting/ui/frmstructures.h"
#include "settings/schema.h"
#include "settings/settingsstore.h"
#include "surface/ui/surfaceview.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

using namespace qln;
using namespace qln::test;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

MemorySettingsBackend *freshStore()
{
    auto backend = std::make_unique<MemorySettingsBackend>();
    MemorySettingsBackend *raw = backend.get();
    setSettingsStore(std::make_unique<SettingsStore>(std::move(backend)));
    return raw;
}

QString stored(int k)
{
    return settingsStore().get(kPrefs, templateKey(k), QStringLiteral("<absent>"));
}

} // namespace

class TestTemplates : public QObject {
    Q_OBJECT
private slots:
    void init() { freshStore(); }

    void insertingSplitsTheLineInTheTextColour()
    {
        SaveSetting(kApp, kPrefs, QStringLiteral("insertif"),
                    kCrLf + QStringLiteral("if ( <>= ) { }") + kCrLf);
        FakeHost host;
        host.prefs.ctextcolor = QStringLiteral("16711680");
        host.prefs.keepindent = false; // in as stored, the caret after it
        Surface &s = host.m_surface;
        s.setText(QStringLiteral("abcdef"));
        CharFormat red;
        red.color = 255;
        s.setFormat(0, 6, red);
        s.setSelStart(3);
        bool flagsClear = false;
        connect(&s, &Surface::changed, this, [&] {
            flagsClear = !editorState().suppressChange && !editorState().suppressSelChange;
        });
        insertTemplate(host, 1);
        QCOMPARE(s.text(), QStringLiteral("abc\r\nif ( <>= ) { }\r\ndef"));
        QCOMPARE(s.selStart(), 21);
        QVERIFY(flagsClear);
        for (int i = 3; i < 21; ++i)
            QCOMPARE(s.formatAt(i).color, BgrColor(16711680));
        QCOMPARE(s.formatAt(21).color, BgrColor(255));

        // A selection is replaced, and the new text is uncoloured too.
        SaveSetting(kApp, kPrefs, QStringLiteral("insertwhileloop"), QStringLiteral("while"));
        s.setSelection(0, 3);
        insertTemplate(host, 5);
        QVERIFY(s.text().startsWith(QStringLiteral("while\r\nif")));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(s.formatAt(i).color, BgrColor(16711680));

        // An absent key, or a number outside the menu, inserts nothing.
        const QString before = s.text();
        s.setSelStart(2);
        for (int k : {6, 0, 7})
            insertTemplate(host, k);
        QCOMPARE(s.text(), before);
        QCOMPARE(templateKey(6), QStringLiteral("insertdowhileloop"));

        // Keeping the indentation: the lines after the first at the caret
        // line's blanks, in the text colour, the field selected, one step.
        host.prefs.keepindent = true;
        s.setText(QStringLiteral("{\r\n\t  "));
        s.setFormat(0, s.length(), red);
        s.setSelStart(s.length());
        insertTemplate(host, 1);
        QCOMPARE(s.text(), QStringLiteral("{\r\n\r\n\t  if ( <>= ) { }\r\n"));
        QCOMPARE(s.selText(), QStringLiteral("<>="));
        for (int i = 3; i < s.length(); ++i)
            QCOMPARE(s.formatAt(i).color, BgrColor(16711680));
        s.undo();
        QCOMPARE(s.text(), QStringLiteral("{\r\n\t  "));
    }

    void dialogOkStoresCancelDiscards()
    {
        for (int k = 1; k <= kTemplateCount; ++k)
            SaveSetting(kApp, kPrefs, templateKey(k), QStringLiteral("t%1").arg(k));
        {
            frmstructures dlg;
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Edit Structures"));
            Surface *box = dlg.rtfstructure()->surface();
            QCOMPARE(box->text(), QStringLiteral("t1"));
            QCOMPARE(dlg.templateButton(4)->text(), QStringLiteral("&for loop"));
            QTest::mouseClick(dlg.templateButton(4), Qt::LeftButton);
            QCOMPARE(box->text(), QStringLiteral("t4"));
            box->setSelStart(2);
            box->setSelText(QStringLiteral(" edited"));
            QTest::mouseClick(dlg.templateButton(1), Qt::LeftButton);
            QCOMPARE(box->text(), QStringLiteral("t1"));
            box->setText(QStringLiteral("if\r\nchanged"));
            QTest::mouseClick(dlg.templateButton(4), Qt::LeftButton);
            QCOMPARE(box->text(), QStringLiteral("t4 edited"));
            QTest::mouseClick(dlg.cmdcancel(), Qt::LeftButton);
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
        }
        for (int k = 1; k <= kTemplateCount; ++k)
            QCOMPARE(stored(k), QStringLiteral("t%1").arg(k));
        {
            frmstructures dlg;
            Surface *box = dlg.rtfstructure()->surface();
            QTest::mouseClick(dlg.templateButton(6), Qt::LeftButton);
            box->setText(QStringLiteral("do\r\n{ }"));
            QTest::mouseClick(dlg.cmdok(), Qt::LeftButton);
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
        }
        QCOMPARE(stored(6), QStringLiteral("do\r\n{ }"));
        QCOMPARE(stored(1), QStringLiteral("t1"));
    }

    void dialogDefaultsWriteAtOnce()
    {
        SaveSetting(kApp, kPrefs, templateKey(3), QStringLiteral("mine"));
        frmstructures dlg;
        QTest::mouseClick(dlg.templateButton(3), Qt::LeftButton);
        QTest::mouseClick(dlg.cmddefaults(), Qt::LeftButton);
        // Written to the store before OK or Cancel; the box shows "if".
        // Switch gets the button's own text, the others (do-while among
        // them) the factory settings.
        for (int k : {1, 2, 4, 5, 6})
            QCOMPARE(stored(k), schema::factoryDefault(kPrefs, templateKey(k)));
        QCOMPARE(stored(3),
                 QStringLiteral("\r\nswitch ( )\r\n{\r\n\r\ncase :\r\n\r\ncase :\r\n\r\n}\r\n"));
        QVERIFY(stored(3) != schema::factoryDefault(kPrefs, templateKey(3)));
        QCOMPARE(stored(6), QStringLiteral("\r\ndo\r\n{\r\n\r\n}while ( <>= );\r\n"));
        QCOMPARE(dlg.rtfstructure()->surface()->text(), defaultsButtonTemplate(1));
        QCOMPARE(dlg.editor().current(), 1);
        QTest::mouseClick(dlg.cmdcancel(), Qt::LeftButton);
        QCOMPARE(stored(3), defaultsButtonTemplate(3));
    }

    void editStructuresDisablesTheWindowWhileOpen()
    {
        FakeHost host;
        QPointer<frmstructures> dlg = editstructures(host);
        QVERIFY(dlg && dlg->isVisible());
        QVERIFY(!dlg->parent());
        QVERIFY(!host.windowEnabled);
        dlg->reject();
        QVERIFY(host.windowEnabled);
        QTRY_VERIFY(dlg.isNull()); // deleted once closed
    }

    void editStructuresBelongsToTheMainWindowAndKeepsTabForFocus()
    {
        FakeHost host;
        QWidget mainWindow;
        mainWindow.show();
        QPointer<frmstructures> dlg = editstructures(host, &mainWindow);
        QCOMPARE(dlg->parentWidget(), &mainWindow);
        QVERIFY(dlg->isWindow() && dlg->isModal() && dlg->isEnabled());
        QCOMPARE(dlg->windowModality(), Qt::WindowModal);

        // The pressed button names the template in the box.
        QVERIFY(dlg->templateButton(1)->isChecked());
        QTest::mouseClick(dlg->templateButton(4), Qt::LeftButton);
        QVERIFY(dlg->templateButton(4)->isChecked() && !dlg->templateButton(1)->isChecked());

        // Tab leaves the box for the next control; Ctrl+Tab types a tab.
        dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg));
        SurfaceView *box = dlg->rtfstructure();
        box->setFocus();
        box->surface()->setSelStart(0);
        const QString before = box->surface()->text();
        QTest::keyClick(box, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(box->surface()->text(), QLatin1Char('\t') + before);
        QCOMPARE(QApplication::focusWidget(), box);
        QTest::keyClick(box, Qt::Key_Tab);
        QCOMPARE(box->surface()->text(), QLatin1Char('\t') + before);
        QCOMPARE(QApplication::focusWidget(), dlg->cmddefaults());

        // The focus goes round in the order of the places.
        QStringList order;
        QWidget *w = dlg->templateButton(1);
        for (int i = 0; i < 10; ++i) {
            order << w->objectName();
            w = w->nextInFocusChain();
            while (w && w->focusPolicy() == Qt::NoFocus)
                w = w->nextInFocusChain();
        }
        QCOMPARE(order, (QStringList{"cmdif", "cmdifelse", "cmdswitch", "cmdforloop",
                                     "cmdwhileloop", "cmddowhileloop", "rtfstructure",
                                     "cmddefaults", "cmdok", "cmdcancel"}));
        dlg->reject();
        QTRY_VERIFY(dlg.isNull());
    }
};

QTEST_MAIN(TestTemplates)
#include "tst_templates.moc"
