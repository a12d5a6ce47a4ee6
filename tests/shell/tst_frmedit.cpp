// The main window driven offscreen as a user and the other parts of the
// program drive it: start-up, restoring and saving the window settings, the
// close question, the view toggles, the formatting band's switches, the
// status text and the splash and wait windows. Prompts are scripted.

#include "settings/frmpref.h"
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "shell/editorstate.h"
#include "shell/frmedit.h"
#include "shell/frmsplash.h"
#include "shell/frmwait.h"
#include "support/scriptedprompter.h"
#include "support/testenv.h"
#include "surface/surface.h"
#include "surface/surfaceview.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

using namespace qln;
using qln::test::ScriptedPrompter;

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

QString pref(const char *key)
{
    return settingsStore().get(kPrefs, QLatin1String(key));
}

void setPref(const char *key, const QString &value)
{
    settingsStore().save(kPrefs, QLatin1String(key), value);
}

QByteArray writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return bytes;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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

class TestFrmedit : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startupBuildsTheWindow();
    void menusShowTheirItemsAndKeys();
    void toolbarAndStatusBar();
    void commandLine_data();
    void commandLine();
    void geometryIsClampedOnRestore_data();
    void geometryIsClampedOnRestore();
    void badGeometryKeepsDesignedSize();
    void closeCancelKeepsEverything();
    void closeNoWritesWindowSettings();
    void loadDefaultsEndsAtOnce();
    void viewTogglesGiveTheSurfaceTheSpace();
    void switchCheckBoxesWriteTheirKeys();
    void activateReflectsTheStore_data();
    void activateReflectsTheStore();
    void captionAndStatusFollowEditsUnlessSuppressed();
    void firstRunShowsSplashThenCentredWindow();
    void waitWindowCentresItsText();

private:
    std::unique_ptr<frmedit> start(const QString &commandLine = QString())
    {
        return std::make_unique<frmedit>(commandLine, &m_prompter, ProbePlaces{});
    }

    std::unique_ptr<test::TestEnv> m_env;
    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;
    MemorySettingsBackend *m_mem = nullptr;
};

void TestFrmedit::init()
{
    m_env = std::make_unique<test::TestEnv>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompter.clear();
    // Defaults in place, as a previous run left them: no splash.
    m_mem = test::installFactorySettings(m_prompter);
}

void TestFrmedit::cleanup()
{
    QCOMPARE(m_prompter.pending(), 0); // every scripted answer was asked for
    editorState() = EditorState{};
}

void TestFrmedit::startupBuildsTheWindow()
{
    setPref("lastfilename", m_dir->filePath(QStringLiteral("Old.java")));
    auto w = start();
    QVERIFY(w->isLoaded() && w->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon"));
    QVERIFY(m_prompter.asked().empty());
    // The first Open dialog starts in the last document's folder.
    QCOMPARE(w->documentPath(), m_dir->path() + QStringLiteral("/*.java"));
    QVERIFY(w->surface()->text().isEmpty());

    QCOMPARE(w->cbofontsize()->itemText(w->cbofontsize()->count() - 1), QStringLiteral("72"));
    QCOMPARE(w->cbofontsize()->currentText(), QStringLiteral("10"));
    QCOMPARE(w->cbofontlist()->currentText(), QStringLiteral("Monospace"));
    QCOMPARE(w->surface()->fontName(), QStringLiteral("Monospace"));
    // No lines wrap: the margin is five screen widths.
    QCOMPARE(w->surface()->rightMargin(), int(frmedit::screenTwips().width() * 5));
    QVERIFY(focusTimerActive(*w));
    QVERIFY(!w->rtftemp()->isVisible());
    QVERIFY(!w->progress()->isVisible());
}

void TestFrmedit::menusShowTheirItemsAndKeys()
{
    auto w = start();
    QStringList tops;
    for (QAction *a : w->menuBar()->actions())
        tops << a->text();
    QCOMPARE(tops.join(' '), QStringLiteral("&File &Edit Fo&rmat In&sert &Tools &View Help"));

    // A few captions and keys as the user sees them.
    QCOMPARE(w->menuItem("Paste")->text(), QStringLiteral("Past&e\tCtrl+V"));
    QVERIFY(w->menuItem("Paste")->shortcut().isEmpty()); // the surface handles the key
    QCOMPARE(w->menuItem("Save_as")->text(), QStringLiteral("Save &As..."));
    QCOMPARE(w->menuItem("Save_as")->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
    QCOMPARE(w->menuItem("Exit")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Backspace));
    QCOMPARE(w->menuItem("lowercase")->text(), QStringLiteral("lowercase\tAlt+L"));
    QCOMPARE(w->menuItem("Find_next")->shortcut(), QKeySequence(Qt::Key_F3));

    // The unfinished tools are hidden; the view toggles start checked.
    for (const char *name : {"htmlconverter", "native2asciiconverter", "javadoc", "javap"})
        QVERIFY2(!w->menuItem(QLatin1String(name))->isVisible(), name);
    for (const char *name : {"run", "compile", "appletviewer", "jar"})
        QVERIFY2(w->menuItem(QLatin1String(name))->isVisible(), name);
    for (const char *name : {"viewStandardtoolbar", "viewformattingtoolbar", "viewstatusbar"})
        QVERIFY2(w->menuItem(QLatin1String(name))->isChecked(), name);
}

void TestFrmedit::toolbarAndStatusBar()
{
    auto w = start();
    QStringList keys;
    for (int i = 1; w->toolbarItem(i); ++i)
        if (!w->toolbarItem(i)->isSeparator())
            keys << w->toolbarItem(i)->objectName();
    QCOMPARE(keys, (QStringList{"New", "Open", "Save", "SaveAs", "Print", "Cut", "Copy", "Paste",
                                "Bold", "Italic", "Underline", "Find", "run", "compile",
                                "appletviewer", "jar", "htmlconverter", "autoindentall",
                                "colorizeall", "spellcorrectall", "Preferences", "Help"}));
    // The format feedback sets the buttons at these positions.
    QCOMPARE(w->toolbarItem(13)->objectName() + w->toolbarItem(14)->objectName()
                 + w->toolbarItem(15)->objectName(),
             QStringLiteral("BoldItalicUnderline"));
    QCOMPARE(w->toolbarButton("New")->toolTip(), QStringLiteral("New FIle"));

    // A toolbar key runs its menu command.
    QSignalSpy preferences(w->menuItem("preferences"), &QAction::triggered);
    w->toolbarButton("Preferences")->trigger();
    QCOMPARE(preferences.count(), 1);
    QVERIFY(!w->isEnabled()); // the preferences dialog is up
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String("frmpref") && top->isVisible())
            top->close(); // its close box gives the main window back
    QVERIFY(w->isEnabled());

    // The Bold button inverts the selection's bold and shows the result.
    w->surface()->setText(QStringLiteral("int x;"));
    w->surface()->setSelection(0, 3);
    w->toolbarButton("Bold")->trigger();
    QCOMPARE(w->surface()->selBold(), std::optional<bool>(true));
    QVERIFY(w->toolbarButton("Bold")->isChecked());
    w->toolbarButton("Bold")->trigger();
    QCOMPARE(w->surface()->selBold(), std::optional<bool>(false));
    QVERIFY(!w->toolbarButton("Bold")->isChecked());

    QStringList panels;
    for (int i = 3; i <= 6; ++i)
        panels << w->statusPanel(i)->text();
    QCOMPARE(panels, (QStringList{"CAPS", "NUM", "SCRL", "INS"}));
    QVERIFY(!w->statusPanel(2)->text().isEmpty()); // the clock
}

void TestFrmedit::commandLine_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // null: nothing is created
    QTest::addColumn<bool>("opens");
    QTest::newRow("quoted, with a blank") << "My A.java" << QByteArray("class A {\n}\n") << true;
    QTest::newRow("missing file") << "Missing.java" << QByteArray() << false;
    QTest::newRow("binary") << "Tool.class" << QByteArray("\xCA\xFE\xBA\xBE\0\0\0\x34", 8) << false;
}

void TestFrmedit::commandLine()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, opens);
    const QString path = m_dir->filePath(name);
    if (!content.isNull())
        writeFile(path, content);
    if (!opens)
        m_prompter.answer(MsgAnswer::Ok);
    auto w = start(QLatin1Char('"') + path + QLatin1Char('"'));
    QVERIFY(w->isVisible());
    QCOMPARE(focusTimerActive(*w), opens);
    if (opens) {
        QVERIFY(m_prompter.asked().empty());
        QCOMPARE(w->windowTitle(), QStringLiteral("Document [My A.java] - Quillon"));
        QCOMPARE(w->documentPath(), path);
        QCOMPARE(w->surface()->text(), QStringLiteral("class A {\r\n}\r\n"));
        return;
    }
    QCOMPARE(m_prompter.asked().size(), size_t(1));
    const MessageRequest &m = m_prompter.asked()[0].message;
    QCOMPARE(m.text + QLatin1Char('|') + m.title, QStringLiteral("Error opening file|Error"));
    QVERIFY(m.icon == MsgIcon::Critical && m.buttons == MsgButtons::Ok);
    // An empty document without a path: nothing can overwrite the file.
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon"));
    QCOMPARE(w->documentPath(), QString());
    QVERIFY(w->surface()->text().isEmpty());
    if (!content.isNull())
        QCOMPARE(readFile(path), content);
}

void TestFrmedit::geometryIsClampedOnRestore_data()
{
    const QSizeF screen = frmedit::screenTwips();
    QTest::addColumn<QStringList>("stored"); // top, left, height, width
    QTest::addColumn<QList<double>>("expected");
    QTest::newRow("height 300, width 1845") << QStringList{"0", "0", "300", "1845"}
                                            << QList<double>{0, 0, 510, 1845};
    QTest::newRow("left beyond the screen")
        << QStringList{"0", QString::number(screen.width() + 3000), "3000", "4500"}
        << QList<double>{0, screen.width() - 1000, 3000, 4500};
    QTest::newRow("top below the screen, left -5000")
        << QStringList{QString::number(screen.height()), "-5000", "3000", "3000"}
        << QList<double>{screen.height() - 510, -1500, 3000, 3000};
}

void TestFrmedit::geometryIsClampedOnRestore()
{
    QFETCH(QStringList, stored);
    QFETCH(QList<double>, expected);
    const char *keys[] = {"ftop", "fleft", "fheight", "fwidth"};
    for (int i = 0; i < 4; ++i)
        setPref(keys[i], stored[i]);
    auto w = start();
    const frmedit::Twips g = w->geometryTwips();
    const double got[] = {g.top, g.left, g.height, g.width};
    w->SaveWindowSettings(); // what is restored is what is written back
    for (int i = 0; i < 4; ++i) {
        QVERIFY2(qAbs(got[i] - expected[i]) <= pixelTwips(), keys[i]);
        QVERIFY2(qAbs(pref(keys[i]).toDouble() - expected[i]) <= pixelTwips(), keys[i]);
    }
}

void TestFrmedit::badGeometryKeepsDesignedSize()
{
    setPref("fheight", QStringLiteral("tall"));
    setPref("rtfbgcolor", QStringLiteral("255"));
    auto w = start();
    // The designed size stays and the restore stops there: the background stays white.
    QVERIFY(qAbs(w->geometryTwips().width - 12000) <= pixelTwips());
    QVERIFY(qAbs(w->geometryTwips().height - 9000) <= pixelTwips());
    QCOMPARE(w->surface()->backColor(), BgrColor(0xFFFFFF));
    QCOMPARE(w->cbofontsize()->currentText(), QStringLiteral("10"));
}

void TestFrmedit::closeCancelKeepsEverything()
{
    auto unchanged = start();
    QVERIFY(unchanged->close()); // without changes nothing is asked
    QVERIFY(m_prompter.asked().empty());
    auto w = start();
    w->surface()->setSelText(QStringLiteral("class A {}"));
    w->move(w->pos() + QPoint(40, 30)); // a geometry that would be written
    const Snapshot before = snapshot(*m_mem);
    m_mem->clearWrites();

    m_prompter.answer(MsgAnswer::Cancel);
    QVERIFY(!w->close());
    QCOMPARE(m_prompter.messages(), QStringList{"Do you wish to save the file?"});
    const MessageRequest &m = m_prompter.asked()[0].message;
    QCOMPARE(m.title, QStringLiteral("File not saved"));
    QCOMPARE(m.icon, MsgIcon::Question);
    QCOMPARE(m.buttons, MsgButtons::YesNoCancel);
    QVERIFY(w->isVisible());
    QVERIFY(m_mem->writes().empty());
    QCOMPARE(snapshot(*m_mem), before);
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon*"));
}

void TestFrmedit::closeNoWritesWindowSettings()
{
    setPref("lastfilename", m_dir->filePath(QStringLiteral("Old.java")));
    auto w = start();
    w->surface()->setSelText(QStringLiteral("x"));
    w->cbofontsize()->setCurrentText(QStringLiteral("14"));
    m_mem->clearWrites();

    m_prompter.answer(MsgAnswer::No);
    QVERIFY(w->close());
    QVERIFY(!w->isVisible());
    QStringList keys;
    for (const auto &write : m_mem->writes())
        keys << write.key;
    QCOMPARE(keys, (QStringList{"deffontname", "deffontsize", "lastfilename", "ftop", "fleft",
                                "fheight", "fwidth", "rtfbgcolor", "rtftextcolor"}));
    QCOMPARE(pref("deffontsize"), QStringLiteral("14"));
    QCOMPARE(pref("lastfilename"), m_dir->path() + QStringLiteral("/*.java"));
    QCOMPARE(pref("rtftextcolor"), pref("ctextcolor"));
}

void TestFrmedit::loadDefaultsEndsAtOnce()
{
    auto w = start();
    w->surface()->setSelText(QStringLiteral("unsaved"));
    w->menuItem("preferences")->trigger();
    frmpref *prefs = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *p = qobject_cast<frmpref *>(top); p && p->isVisible())
            prefs = p;
    QVERIFY(prefs);
    m_prompter.answer(MsgAnswer::Yes); // "Confirm Deletion"
    m_prompter.answer(MsgAnswer::Ok);  // "The program must be closed"
    m_mem->clearWrites();
    prefs->cmddefaults_Click();
    QTRY_VERIFY(!w->isVisible());
    // Every setting is gone, and none was written back: no save question,
    // no window settings.
    QVERIFY(m_mem->writes().empty());
    QVERIFY(m_mem->sections().isEmpty());
    QCOMPARE(m_prompter.asked().size(), size_t(2));
}

void TestFrmedit::viewTogglesGiveTheSurfaceTheSpace()
{
    auto w = start();
    w->resize(700, 500);
    QApplication::processEvents();
    auto *stb = w->findChild<QStatusBar *>(QStringLiteral("stb"));
    auto *tbr = w->findChild<QToolBar *>(QStringLiteral("Toolbar1"));
    auto *cblf = w->findChild<QToolBar *>(QStringLiteral("cblf"));
    const QRect full = w->rtfedit()->geometry();
    QCOMPARE(full.top(), tbr->height() + cblf->height());
    QCOMPARE(full.bottom() + 1, stb->geometry().top());

    // Hiding the status bar: the surface reaches the bottom at once, and
    // moving the caret does not bring the bar back.
    w->menuItem("viewstatusbar")->trigger();
    QVERIFY(!w->menuItem("viewstatusbar")->isChecked());
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

void TestFrmedit::switchCheckBoxesWriteTheirKeys()
{
    setPref("chksautosc", QStringLiteral("1"));
    setPref("chkautosyntaxcolor", QStringLiteral("1"));
    auto w = start();
    w->Form_Activate();
    auto *spell = w->findChild<QCheckBox *>(QStringLiteral("chkautospellcorrect"));
    auto *syntax = w->findChild<QCheckBox *>(QStringLiteral("chkautosyntaxcolor"));
    QCOMPARE(spell->text(), QStringLiteral("Auto Spell correct"));
    QCOMPARE(syntax->text(), QStringLiteral("Auto Syntax colorizing"));
    QVERIFY(spell->isChecked() && syntax->isChecked());
    m_mem->clearWrites();

    spell->click();
    QCOMPARE(pref("chksautosc"), QStringLiteral("0"));
    syntax->click();
    QCOMPARE(pref("chkautosyntaxcolor"), QStringLiteral("0"));
    QCOMPARE(m_mem->writes().size(), size_t(2));

    // Activation shows the store without writing to it.
    m_mem->clearWrites();
    w->Form_Activate();
    QVERIFY(!spell->isChecked() && !syntax->isChecked());
    QVERIFY(m_mem->writes().empty());
}

void TestFrmedit::activateReflectsTheStore_data()
{
    QTest::addColumn<QString>("autotreesearch");
    QTest::addColumn<QString>("chksautosc");
    QTest::addColumn<bool>("tree");
    QTest::addColumn<bool>("spell");
    QTest::newRow("1 and 1") << "1" << "1" << true << true;
    QTest::newRow("tRuE and 0") << "tRuE" << "0" << true << false;
    QTest::newRow("yes and 2") << "yes" << "2" << false << true;
    QTest::newRow("absent") << QString() << QString() << false << false;
}

void TestFrmedit::activateReflectsTheStore()
{
    QFETCH(QString, autotreesearch);
    QFETCH(QString, chksautosc);
    QFETCH(bool, tree);
    QFETCH(bool, spell);
    auto w = start();
    // Another window changes the store; the band shows it on activation.
    setPref("autotreesearch", autotreesearch);
    setPref("chksautosc", chksautosc);
    w->Form_Activate();
    QCOMPARE(w->findChild<QCheckBox *>(QStringLiteral("chkautotreesearch"))->isChecked(), tree);
    QCOMPARE(w->findChild<QCheckBox *>(QStringLiteral("chkautospellcorrect"))->isChecked(), spell);
}

void TestFrmedit::captionAndStatusFollowEditsUnlessSuppressed()
{
    auto w = start();
    Surface *s = w->surface();
    {
        SuppressGuard quiet(true, false);
        s->setText(QStringLiteral("a\r\nb\r\nc\r\nd\r\nline five\r\n"));
    }
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
    s->setSelText(QStringLiteral("!"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon*"));
}

void TestFrmedit::firstRunShowsSplashThenCentredWindow()
{
    // A store without defaults: first use writes them behind the splash.
    setSettingsStore(std::make_unique<SettingsStore>(std::make_unique<MemorySettingsBackend>()));
    auto w = start();
    QVERIFY(w->isLoaded());
    QCOMPARE(pref("firstrun"), QStringLiteral("1"));
    QVERIFY(!pref("fwidth").isEmpty());

    frmSplash *splash = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *s = qobject_cast<frmSplash *>(top); s && s->isVisible())
            splash = s;
    QVERIFY(splash);
    QCOMPARE(splash->findChild<QLabel *>(QStringLiteral("lblWarning"))->text(),
             QStringLiteral("Please wait while configuring setings for first use"));
    QCOMPARE(splash->findChild<QLabel *>(QStringLiteral("lblVersion"))->text(),
             QStringLiteral("Version %1.%2.%3")
                 .arg(QUILLON_VERSION_MAJOR).arg(QUILLON_VERSION_MINOR).arg(QUILLON_VERSION_PATCH));

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

void TestFrmedit::waitWindowCentresItsText()
{
    frmwait wait;
    auto *label = wait.findChild<QLabel *>(QStringLiteral("lblwait"));
    QCOMPARE(wait.findChild<QLabel *>("lblpw")->text(), QStringLiteral("Please Wait"));
    for (const QString &text : {QStringLiteral("Loading object tree"), QStringLiteral("Sorting")}) {
        wait.setWaitText(text);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->x(), (wait.width() - label->width()) / 2);
        QVERIFY(label->width() >= label->sizeHint().width());
    }
}

QTEST_MAIN(TestFrmedit)
#include "tst_frmedit.moc"
