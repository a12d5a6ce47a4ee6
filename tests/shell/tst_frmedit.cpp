// The main window driven offscreen as a user and the rest of the program drive it; the
// prompts are scripted.

#include "base/editorstate.h"
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "settings/ui/frmpref.h"
#include "shell/ui/frmedit.h"
#include "shell/ui/frmsplash.h"
#include "shell/ui/frmwait.h"
#include "support/contrast.h"
#include "support/files.h"
#include "support/windowtest.h"
#include "surface/surface.h"
#include "surface/ui/surfaceview.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QSet>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#ifdef QUILLON_HAVE_X11
// Last: Xlib's macros (None, Bool, ...) clash with names above.
#include <X11/XKBlib.h>
#endif

using namespace qln;

namespace {

using Snapshot = QMap<QString, QString>; // "section/key" -> value

Snapshot snapshot(SettingsBackend &b)
{
    Snapshot out;
    for (const QString &section : b.sections())
        for (const QString &key : b.keys(section))
            out.insert(section + QLatin1Char('/') + key, b.value(section, key).value_or(QString()));
    return out;
}

// One pixel of the offscreen screen in twips: restored positions are exact to a pixel.
double pixelTwips()
{
    return 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchY();
}

bool focusTimerActive(const frmedit &w)
{
    return w.findChild<QTimer *>(QStringLiteral("Timer1"))->isActive();
}

} // namespace

// Each test starts with the defaults in place, as a previous run left
// them: no splash.
class TestFrmedit : public QObject, test::WindowTest {
    Q_OBJECT

private slots:
    void init() { initWindowTest(); }
    void cleanup() { cleanupWindowTest(); }

    void startupBuildsTheWindowMenusAndBars()
    {
        setPref("lastfilename", m_dir->filePath(QStringLiteral("Old.java")));
        auto w = open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon"));
        QVERIFY(m_prompter.asked().empty() && w->surface()->text().isEmpty());
        // The first Open dialog starts in the last document's folder.
        QCOMPARE(w->documentPath(), m_dir->path() + QStringLiteral("/*.java"));
        QCOMPARE(w->cbofontsize()->currentText() + ' ' + w->cbofontlist()->currentText() + ' '
                     + w->surface()->fontName(),
                 QStringLiteral("10 %1 %1").arg(fixedPitchFamily(QStringLiteral("Monospace"))));
        // No lines wrap: the margin is five screen widths.
        QCOMPARE(w->surface()->rightMargin(), int(frmedit::screenTwips().width() * 5));
        QVERIFY(w->isLoaded() && w->isVisible() && focusTimerActive(*w));
        QVERIFY(!w->progress()->isVisible());

        QStringList seen;
        for (QAction *a : w->menuBar()->actions())
            seen << a->text();
        QCOMPARE(seen.join(' '), QStringLiteral("&File &Edit Fo&rmat In&sert &Tools &View &Help"));
        QVERIFY(w->menuItem("Paste")->shortcut().isEmpty()); // the surface handles the key
        seen.clear();
        for (const char *name : {"Save_as", "Exit", "Find_next"})
            seen << w->menuItem(QLatin1String(name))->shortcut().toString();
        QCOMPARE(seen.join(' '), QStringLiteral("Ctrl+A Alt+Backspace F3"));
        // The unfinished tools are hidden; the view toggles start checked.
        QString flags;
        for (const char *name : {"htmlconverter", "native2asciiconverter", "javadoc", "javap",
                                 "run", "compile", "appletviewer", "jar"})
            flags += QLatin1Char(w->menuItem(QLatin1String(name))->isVisible() ? '1' : '0');
        for (const char *name : {"viewStandardtoolbar", "viewformattingtoolbar", "viewstatusbar"})
            flags += QLatin1Char(w->menuItem(QLatin1String(name))->isChecked() ? '1' : '0');
        QCOMPARE(flags, QStringLiteral("00001111111"));

        seen.clear();
        for (int i = 1; w->toolbarItem(i); ++i)
            if (!w->toolbarItem(i)->isSeparator())
                seen << w->toolbarItem(i)->objectName();
        QCOMPARE(seen.join(' '), QStringLiteral("New Open Save SaveAs Print Cut Copy Paste Bold "
                                                "Italic Underline Find run compile appletviewer "
                                                "jar autoindentall colorizeall "
                                                "spellcorrectall Preferences Help"));
        QCOMPARE(w->toolbarButton("New")->toolTip(), QStringLiteral("New FIle"));
        // Every button has a picture from the icon theme the install script
        // puts on the machine, and no two buttons share one.
        QSet<QString> pictures;
        int buttons = 0;
        for (int i = 1; w->toolbarItem(i); ++i) {
            QAction *button = w->toolbarItem(i);
            if (button->isSeparator())
                continue;
            ++buttons;
            QVERIFY2(!button->icon().pixmap(24, 24).isNull(), qPrintable(button->objectName()));
            pictures << button->icon().name();
        }
        QCOMPARE(pictures.size(), buttons);
        QCOMPARE(w->toolbarButton("Find")->icon().name(), QStringLiteral("edit-find"));
        QCOMPARE(w->toolbarButton("Help")->icon().name(), QStringLiteral("help-contents"));
        seen.clear();
        for (int i = 2; i <= 6; ++i)
            seen << w->statusPanel(i)->text();
        QCOMPARE(seen.mid(1).join(' '), QStringLiteral("CAPS NUM SCRL INS"));
        QVERIFY(!seen[0].isEmpty()); // the clock

        // A toolbar key runs its menu command; the preferences' close box gives the window back.
        QSignalSpy preferences(w->menuItem("preferences"), &QAction::triggered);
        w->toolbarButton("Preferences")->trigger();
        QCOMPARE(preferences.count(), 1);
        QVERIFY(!w->isEnabled());
        shownWindow<frmpref>()->close();
        QVERIFY(w->isEnabled());
        // The Bold button inverts the selection's bold and shows the result.
        w->surface()->setText(QStringLiteral("int x;"));
        w->surface()->setSelection(0, 3);
        for (const bool bold : {true, false}) {
            w->toolbarButton("Bold")->trigger();
            QCOMPARE(w->surface()->selBold(), std::optional<bool>(bold));
            QCOMPARE(w->toolbarButton("Bold")->isChecked(), bold);
        }
    }

    void commandLineOpensOrLeavesNoPath()
    {
        const QString file = path(QStringLiteral("My A.java"));
        QVERIFY(test::writeFile(file, "class A {\n}\n"));
        auto w = open(QLatin1Char('"') + file + QLatin1Char('"'));
        QVERIFY(m_prompter.asked().empty() && focusTimerActive(*w));
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [My A.java] - Quillon"));
        QCOMPARE(w->documentPath(), file);
        QCOMPARE(w->surface()->text(), QStringLiteral("class A {\r\n}\r\n"));

        // Nothing at the path: a new document of that name, which the first
        // Save creates.
        const QString missing = m_dir->filePath(QStringLiteral("new/Missing.java"));
        w = open(QLatin1Char('"') + missing + '"');
        QVERIFY(m_prompter.asked().empty() && w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [Missing.java] - Quillon"));
        QCOMPARE(w->documentPath(), missing);
        QVERIFY(w->surface()->text().isEmpty() && !QFileInfo::exists(missing));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("new")));
        w->surface()->setSelText(QStringLiteral("class Missing {}"));
        w->menuItem("Save")->trigger();
        QCOMPARE(test::readFile(missing), QByteArray("class Missing {}"));

        // Something that cannot be read: the message names it and why, and
        // the document is empty without a path, so that a later Save cannot
        // overwrite it.
        m_prompter.answer(MsgAnswer::Ok);
        w = open(QLatin1Char('"') + m_dir->path() + '"');
        QVERIFY(w->isVisible() && !focusTimerActive(*w));
        QCOMPARE(m_prompter.messages(), QStringList{"Error opening file\r\n\r\n" + m_dir->path()
                                                    + " is a folder, not a regular file."});
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon"));
        QCOMPARE(w->documentPath() + w->surface()->text(), QString());
    }

    void geometryIsClampedOnRestore()
    {
        const QSizeF sc = frmedit::screenTwips();
        const struct {
            double stored[4], expected[4];
        } rows[] = {
            {{0, 0, 300, 1845}, {0, 0, 510, 1845}},
            // Past the right edge: the clamp leaves 1000 twips on the
            // screen, then the whole window moves onto it.
            {{0, sc.width() + 3000, 3000, 4500}, {0, sc.width() - 4500, 3000, 4500}},
            {{sc.height(), -5000, 3000, 3000}, {sc.height() - 3000, 0, 3000, 3000}},
            // Stored on a larger screen: shrunk to this one.
            {{-200, 100, sc.height() * 3, sc.width() * 2}, {0, 0, sc.height(), sc.width()}}};
        const char *keys[] = {"ftop", "fleft", "fheight", "fwidth"};
        for (const auto &row : rows) {
            for (int i = 0; i < 4; ++i)
                setPref(keys[i], QString::number(row.stored[i]));
            auto w = open();
            const frmedit::Twips g = w->geometryTwips();
            const double got[] = {g.top, g.left, g.height, g.width};
            w->SaveWindowSettings(); // what is restored is what is written back
            for (int i = 0; i < 4; ++i) {
                const QByteArray what = QByteArray(keys[i]) + " from " + pref(keys[i]).toUtf8();
                QVERIFY2(qAbs(got[i] - row.expected[i]) <= pixelTwips(), what);
                QVERIFY2(qAbs(pref(keys[i]).toDouble() - row.expected[i]) <= pixelTwips(), what);
            }
        }
    }

    // Maximised is stored beside the normal geometry, not as it: the next
    // session comes back maximised and returns to the normal size.
    void maximisedStateIsStoredApart()
    {
        auto w = open();
        w->resize(500, 400);
        QTRY_COMPARE(w->size(), QSize(500, 400));
        const frmedit::Twips normal = w->geometryTwips();
        w->showMaximized();
        QTRY_VERIFY(w->isMaximized() && w->width() > 500);
        w->SaveWindowSettings();
        QCOMPARE(pref("fwindowstate"), QStringLiteral("2"));
        QVERIFY(qAbs(pref("fwidth").toDouble() - normal.width) <= pixelTwips());
        QVERIFY(qAbs(pref("fheight").toDouble() - normal.height) <= pixelTwips());
        w.reset();

        auto again = open();
        QTRY_VERIFY(again->isMaximized());
        again->showNormal();
        QTRY_COMPARE(again->size(), QSize(500, 400));
        again->SaveWindowSettings();
        QCOMPARE(pref("fwindowstate"), QStringLiteral("0"));
    }

    // CAPS, NUM and SCRL show the keyboard's locks where the window system
    // tells them (greyed when off) and are hidden where it does not.
    void lockPanelsFollowTheKeyboard()
    {
        auto w = open();
        QLabel *caps = w->statusPanel(3);
        QCOMPARE(caps->text() + w->statusPanel(4)->text() + w->statusPanel(5)->text(),
                 QStringLiteral("CAPSNUMSCRL"));
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            for (int panel = 3; panel <= 5; ++panel)
                QTRY_VERIFY(w->statusPanel(panel)->isHidden());
            return;
        }
#ifdef QUILLON_HAVE_X11
        Display *display = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display();
        XkbLockModifiers(display, XkbUseCoreKbd, LockMask, LockMask);
        XSync(display, False);
        QTRY_VERIFY(!caps->isHidden() && caps->isEnabled());
        XkbLockModifiers(display, XkbUseCoreKbd, LockMask, 0);
        XSync(display, False);
        QTRY_VERIFY(!caps->isHidden() && !caps->isEnabled());
#else
        QSKIP("built without the X11 library");
#endif
    }

    // The bars around the text take the desktop's palette, light or dark:
    // the status panels' and switches' text is readable on them, whatever
    // the text area's own background.
    void barsReadableInLightAndDarkPalettes()
    {
        const QPalette light = QApplication::palette();
        QPalette dark;
        for (auto [role, colour] : {std::pair{QPalette::Window, QColor(0x2b2b2b)},
                                    {QPalette::WindowText, QColor(0xeeeeee)},
                                    {QPalette::Base, QColor(0x1e1e1e)},
                                    {QPalette::Text, QColor(0xeeeeee)},
                                    {QPalette::Button, QColor(0x353535)},
                                    {QPalette::ButtonText, QColor(0xeeeeee)}})
            dark.setColor(role, colour);
        setPref("rtfbgcolor", QStringLiteral("16777215")); // a white text area
        for (const QPalette &palette : {light, dark}) {
            QApplication::setPalette(palette);
            auto w = open();
            w->statusPanel(1)->setText(QStringLiteral("Done"));
            QTest::qWait(50);
            QStringList faults;
            for (int panel : {1, 2, 6}) {
                const double ratio = test::textContrast(w->statusPanel(panel)->grab().toImage());
                if (ratio < 4.5)
                    faults << QStringLiteral("panel %1: %2").arg(panel).arg(ratio);
            }
            for (QCheckBox *box : w->findChildren<QCheckBox *>()) {
                if (!box->isVisible())
                    continue;
                QStyleOptionButton option;
                option.initFrom(box);
                const QRect text =
                    box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
                const double ratio = test::textContrast(box->grab(text).toImage());
                if (ratio < 4.5)
                    faults << box->text() + QStringLiteral(": %1").arg(ratio);
            }
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral(", "))));
        }
        QApplication::setPalette(light);
    }

    void badGeometryKeepsDesignedSize()
    {
        setPref("fheight", QStringLiteral("tall"));
        setPref("rtfbgcolor", QStringLiteral("255"));
        auto w = open();
        // The designed size stays and the restore stops there: the background stays white.
        QVERIFY(qAbs(w->geometryTwips().width - 12000) <= pixelTwips()
                && qAbs(w->geometryTwips().height - 9000) <= pixelTwips());
        QCOMPARE(w->surface()->backColor(), BgrColor(0xFFFFFF));
        QCOMPARE(w->cbofontsize()->currentText(), QStringLiteral("10"));
    }

    void closeCancelKeepsEverything()
    {
        auto unchanged = open();
        QVERIFY(unchanged->close()); // without changes nothing is asked
        QVERIFY(m_prompter.asked().empty());
        auto w = open();
        w->surface()->setSelText(QStringLiteral("class A {}"));
        w->move(w->pos() + QPoint(40, 30)); // a geometry that would be written
        const Snapshot before = snapshot(*m_settings);
        m_settings->clearWrites();

        m_prompter.answer(MsgAnswer::Cancel);
        QVERIFY(!w->close());
        QCOMPARE(m_prompter.messages(), QStringList{"Do you wish to save the file?"});
        QVERIFY(w->isVisible());
        QVERIFY(m_settings->writes().empty());
        QCOMPARE(snapshot(*m_settings), before);
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon*"));
    }

    void closeNoWritesWindowSettings()
    {
        setPref("lastfilename", m_dir->filePath(QStringLiteral("Old.java")));
        auto w = open();
        w->surface()->setSelText(QStringLiteral("x"));
        w->cbofontsize()->setCurrentText(QStringLiteral("14"));
        m_settings->clearWrites();

        m_prompter.answer(MsgAnswer::No);
        QVERIFY(w->close());
        QVERIFY(!w->isVisible());
        QString keys;
        for (const auto &write : m_settings->writes())
            keys += write.key + ' ';
        QCOMPARE(keys, QStringLiteral("deffontname deffontsize lastfilename ftop fleft "
                                      "fheight fwidth rtfbgcolor rtftextcolor fwindowstate "));
        QCOMPARE(pref("deffontsize"), QStringLiteral("14"));
        QCOMPARE(pref("lastfilename"), m_dir->path() + QStringLiteral("/*.java"));
        QCOMPARE(pref("rtftextcolor"), pref("ctextcolor"));
    }

    void loadDefaultsEndsAtOnce()
    {
        auto w = open(); // unmodified: no save question (the other case is tested with it)
        w->menuItem("preferences")->trigger();
        frmpref *prefs = shownWindow<frmpref>();
        QVERIFY(prefs);
        m_prompter.answer(MsgAnswer::Yes); // "Confirm Deletion"
        m_prompter.answer(MsgAnswer::Ok);  // "The program must be closed"
        m_settings->clearWrites();
        prefs->cmddefaults_Click();
        QTRY_VERIFY(!w->isVisible());
        // Every setting is gone and none was written back: no window settings.
        QVERIFY(m_settings->writes().empty());
        QVERIFY(m_settings->sections().isEmpty());
        QCOMPARE(m_prompter.asked().size(), size_t(2));
    }

    void viewTogglesGiveTheSurfaceTheSpace()
    {
        auto w = open();
        w->resize(700, 500);
        QApplication::processEvents();
        auto *stb = w->findChild<QStatusBar *>(QStringLiteral("stb"));
        auto *cblf = w->findChild<QToolBar *>(QStringLiteral("cblf"));
        const QRect full = w->rtfedit()->geometry();
        QCOMPARE(full.top(), w->findChild<QToolBar *>("Toolbar1")->height() + cblf->height());
        QCOMPARE(full.bottom() + 1, stb->geometry().top());

        // Without the status bar the surface reaches the bottom at once, and
        // moving the caret does not bring the bar back.
        w->menuItem("viewstatusbar")->trigger();
        QCOMPARE(w->rtfedit()->geometry().height(), full.height() + stb->height());
        w->surface()->setText(QStringLiteral("a\r\nb"));
        w->surface()->setSelStart(3);
        QVERIFY(!stb->isVisible());
        w->menuItem("viewStandardtoolbar")->trigger();
        QCOMPARE(w->rtfedit()->geometry().top(), cblf->height());
        w->menuItem("viewformattingtoolbar")->trigger();
        QCOMPARE(w->rtfedit()->geometry(), w->centralWidget()->rect());

        for (const char *name : {"viewstatusbar", "viewStandardtoolbar", "viewformattingtoolbar"})
            w->menuItem(QLatin1String(name))->trigger();
        QCOMPARE(w->rtfedit()->geometry(), full);
    }

    void switchesShowTheStoreAndWriteTheirKeys()
    {
        auto w = open();
        auto *tree = w->findChild<QCheckBox *>(QStringLiteral("chkautotreesearch"));
        auto *spell = w->findChild<QCheckBox *>(QStringLiteral("chkautospellcorrect"));
        auto *syntax = w->findChild<QCheckBox *>(QStringLiteral("chkautosyntaxcolor"));
        // Another window changes the store; activation shows it without writing.
        const char *rows[][3] = {
            {"1", "1", "11"}, {"tRuE", "0", "10"}, {"yes", "2", "01"}, {"", "", "00"}};
        for (const auto &row : rows) {
            setPref("autotreesearch", QLatin1String(row[0]));
            setPref("chksautosc", QLatin1String(row[1]));
            m_settings->clearWrites();
            w->Form_Activate();
            QCOMPARE(QStringLiteral("%1 %2 -> %3%4")
                         .arg(row[0], row[1])
                         .arg(tree->isChecked())
                         .arg(spell->isChecked()),
                     QStringLiteral("%1 %2 -> %3").arg(row[0], row[1], row[2]));
            QVERIFY(m_settings->writes().empty());
        }
        setPref("chkautosyntaxcolor", QStringLiteral("1"));
        w->Form_Activate();
        m_settings->clearWrites();
        spell->click();
        syntax->click();
        QCOMPARE(pref("chksautosc") + pref("chkautosyntaxcolor"), QStringLiteral("10"));
        QCOMPARE(m_settings->writes().size(), size_t(2));
    }

    // The text keeps the focus: after a click on a switch or a choice in a
    // font box typing goes on in the document. The keyboard reaches the
    // switches with Tab, and the font boxes after them, with a focus mark on
    // the control it is on; the Format menu's items press the switches.
    void textKeepsTheFocus()
    {
        auto w = open();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        SurfaceView *text = w->rtfedit();
        text->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), text);
        const std::pair<QCheckBox *, const char *> switches[] = {
            {w->chkautotreesearch(), "formatautotreesearch"},
            {w->chkautospellcorrect(), "formatautospellcorrect"},
            {w->chkautosyntaxcolor(), "formatautosyntaxcolor"}};
        for (const auto &[box, name] : switches) {
            QAction *item = w->menuItem(QLatin1String(name));
            QVERIFY(item && item->isCheckable() && !item->shortcuts().isEmpty());
            for (bool byMenu : {false, true}) {
                const bool was = box->isChecked();
                QCOMPARE(item->isChecked(), was);
                if (byMenu)
                    item->trigger();
                else
                    QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
                QCOMPARE(QStringLiteral("%1 %2").arg(box->isChecked()).arg(item->isChecked()),
                         QStringLiteral("%1 %1").arg(!was));
                QCOMPARE(QApplication::focusWidget(), text);
            }
        }
        QCOMPARE(pref("chkautosyntaxcolor") + pref("chksautosc"),
                 w->chkautosyntaxcolor()->isChecked() ? QStringLiteral("11")
                                                      : QStringLiteral("00"));

        for (QComboBox *box : {w->cbofontsize(), w->cbofontlist()}) {
            QTest::mouseClick(box->lineEdit(), Qt::LeftButton);
            QTRY_VERIFY(box->hasFocus());
            box->showPopup();
            QTest::keyClick(box->view(), Qt::Key_Down);
            QTest::keyClick(box->view(), Qt::Key_Return);
            QTRY_COMPARE(QApplication::focusWidget(), text);
        }
        QCOMPARE(w->surface()->fontName(), w->cbofontlist()->currentText());
        QCOMPARE(QString::number(w->surface()->fontSize()), w->cbofontsize()->currentText());

        w->resize(1600, w->height()); // the whole band shows, none in its overflow
        QTRY_VERIFY(w->chkautosyntaxcolor()->isVisible());
        w->chkautotreesearch()->setFocus(Qt::TabFocusReason);
        const QImage unmarked = w->chkautospellcorrect()->grab().toImage();
        for (QWidget *next :
             std::initializer_list<QWidget *>{w->chkautospellcorrect(), w->chkautosyntaxcolor(),
                                              w->cbofontlist(), w->cbofontsize()}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY2(next->hasFocus(), qPrintable(next->objectName()));
            if (next == w->chkautospellcorrect())
                QVERIFY(next->grab().toImage() != unmarked); // the focus mark
        }
        text->setFocus();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("abc"));
        QVERIFY(w->surface()->text().contains(QStringLiteral("abc")));
    }

    void captionFollowsTheDocumentAndStatusUnlessSuppressed()
    {
        auto w = open();
        Surface *s = w->surface();
        {
            // The marker comes from the document, whatever the handlers do.
            SuppressGuard quiet(true, false);
            s->setText(QStringLiteral("a\r\nb\r\nc\r\nd\r\nline five\r\n"));
            QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon*"));
        }
        s->setClean();
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon"));
        s->setSelection(0, 1);
        s->setSelColor(255); // formats alone do not mark it
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon"));
        s->setSelection(s->lineIndex(4) + 2, 2);
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Line: 5  Col: 3  Sel: 2"));
        {
            // Bulk operations move the selection without updating the bar.
            SuppressGuard quiet(false, true);
            s->setSelStart(1);
        }
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Line: 5  Col: 3  Sel: 2"));
        s->setSelStart(s->length());
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Line: 6  Col: 1  Sel: 0"));
    }

    void firstRunShowsSplashThenCentredWindow()
    {
        // A store without defaults: first use writes them behind the splash.
        setSettingsStore(
            std::make_unique<SettingsStore>(std::make_unique<MemorySettingsBackend>()));
        auto w = open();
        QVERIFY(w->isLoaded() && !pref("fwidth").isEmpty());
        QCOMPARE(pref("firstrun"), QStringLiteral("1"));
        frmSplash *splash = shownWindow<frmSplash>();
        QVERIFY(splash);
        QCOMPARE(splash->findChild<QLabel *>(QStringLiteral("lblWarning"))->text(),
                 QStringLiteral("Please wait while configuring setings for first use"));

        // Its close shows the main window centred on the screen.
        w->hide();
        w->move(0, 0);
        w->resize(400, 300);
        QPointer<frmSplash> guard(splash);
        splash->close();
        QTRY_VERIFY(!guard);
        QVERIFY(w->isVisible());
        const QRect screen = w->screen()->geometry();
        const QRect frame = w->frameGeometry();
        // Within the frame's margins, which the window system may add after the move.
        const int margin = qMax(frame.width() - w->width(), frame.height() - w->height()) + 1;
        QVERIFY(qAbs(frame.left() - (screen.width() - frame.width()) / 2) <= margin);
        QVERIFY(qAbs(frame.top() - (screen.height() - frame.height()) / 2) <= margin);
        QVERIFY(frame.left() > 150 && frame.top() > 100);
    }

    void waitWindowCentresItsText()
    {
        frmwait wait;
        auto *label = wait.findChild<QLabel *>(QStringLiteral("lblwait"));
        wait.setWaitText(QStringLiteral("Loading object tree"));
        QCOMPARE(wait.findChild<QLabel *>("lblpw")->text() + '|' + label->text(),
                 QStringLiteral("Please Wait|Loading object tree"));
        QCOMPARE(label->x(), (wait.width() - label->width()) / 2);
        QVERIFY(label->width() >= label->sizeHint().width());
    }
};

QTEST_MAIN(TestFrmedit)
#include "tst_frmedit.moc"
