// The main window driven offscreen as a user and the other parts of the
// program drive it: start-up with and without a document, restoring and
// saving the window settings, the close question, the view toggles, the
// formatting band's switches, the status text and the splash and wait
// windows. Every prompt is answered by a ScriptedPrompter.

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

// One pixel of the offscreen screen in twips; restored positions are exact
// to a pixel.
double pixelTwips()
{
    return 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchY();
}

} // namespace

class TestFrmedit : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startupBuildsTheWindow();
    void menuTree();
    void toolbarAndStatusBar();
    void commandLineOpensQuotedPath();
    void commandLineFailures_data();
    void commandLineFailures();
    void geometryIsClampedOnRestore_data();
    void geometryIsClampedOnRestore();
    void badGeometryKeepsDesignedSize();
    void closeWithoutChangesAsksNothing();
    void closeCancelKeepsEverything();
    void closeNoWritesWindowSettings();
    void closeYesSavesTheDocument();
    void editsMarkTheCaptionUnlessSuppressed();
    void viewTogglesGiveTheSurfaceTheSpace();
    void switchCheckBoxesWriteTheirKeys();
    void activateReflectsTheStore_data();
    void activateReflectsTheStore();
    void statusTextFollowsTheSelection();
    void firstRunShowsSplashThenCentredWindow();
    void waitWindowCentresItsText();

private:
    std::unique_ptr<frmedit> start(const QString &commandLine = QString());

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
    // The store as a previous run left it: defaults in place, so start-up
    // shows no splash.
    m_mem = test::installFactorySettings(m_prompter);
}

void TestFrmedit::cleanup()
{
    QCOMPARE(m_prompter.pending(), 0); // every scripted answer was asked for
    editorState() = EditorState{};
}

std::unique_ptr<frmedit> TestFrmedit::start(const QString &commandLine)
{
    auto w = std::make_unique<frmedit>(commandLine, &m_prompter, ProbePlaces{});
    return w;
}

void TestFrmedit::startupBuildsTheWindow()
{
    setPref("lastfilename", m_dir->filePath(QStringLiteral("Old.java")));
    auto w = start();
    QVERIFY(w->isLoaded());
    QVERIFY(w->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon"));
    QVERIFY(m_prompter.asked().empty());

    // The first Open dialog starts in the last document's folder.
    QCOMPARE(w->documentPath(), m_dir->path() + QStringLiteral("/*.java"));
    QVERIFY(w->surface()->text().isEmpty());

    // Fonts and sizes.
    QVERIFY(w->cbofontlist()->count() > 0);
    QCOMPARE(w->cbofontsize()->count(), 68);
    QCOMPARE(w->cbofontsize()->itemText(0), QStringLiteral("5"));
    QCOMPARE(w->cbofontsize()->itemText(67), QStringLiteral("72"));
    QCOMPARE(w->cbofontsize()->currentText(), QStringLiteral("10"));
    QCOMPARE(w->cbofontlist()->currentText(), QStringLiteral("Monospace"));
    QCOMPARE(w->surface()->fontName(), QStringLiteral("Monospace"));

    // No lines wrap: the margin is five screen widths.
    QCOMPARE(w->surface()->rightMargin(), int(frmedit::screenTwips().width() * 5));

    // The one-shot focus timer runs once.
    auto *timer = w->findChild<QTimer *>(QStringLiteral("Timer1"));
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(timer->isSingleShot());

    QVERIFY(!w->rtftemp()->isVisible());
    QVERIFY(!w->progress()->isVisible());
    QCOMPARE(w->progress()->maximum(), 100);
    QVERIFY(w->findChild<QToolBar *>(QStringLiteral("cblf")));
    QCOMPARE(w->rtfedit()->objectName(), QStringLiteral("rtfedit"));
}

void TestFrmedit::menuTree()
{
    auto w = start();
    QStringList tops;
    for (QAction *a : w->menuBar()->actions())
        tops << a->objectName() + QLatin1Char('=') + a->text();
    QCOMPARE(tops, (QStringList{"file=&File", "Edit=&Edit", "format=Fo&rmat", "insert=In&sert",
                                "tools=&Tools", "view=&View", "help=Help"}));

    auto items = [&](const char *menu) {
        QStringList out;
        auto *m = w->menuBar()->findChild<QMenu *>(QLatin1String(menu));
        for (QAction *a : m->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
        return out;
    };
    QCOMPARE(items("file"), (QStringList{"newwindow", "new", "Open", "-", "Save", "Save_as", "-",
                                         "printa", "printd", "-", "Exit"}));
    QCOMPARE(items("Edit"), (QStringList{"undo", "-", "Cut", "Copy", "Paste", "plaintext",
                                         "selectall", "-", "Find", "Find_next", "replace", "-",
                                         "gotoline", "-", "preferences"}));
    QCOMPARE(items("plaintext"), (QStringList{"plaintextcut", "plaintextcopy", "plaintextpaste"}));
    QCOMPARE(items("format"), (QStringList{"colorizeallrtf", "spellcorrectallrtf", "indentallrtf",
                                           "-", "changecase", "-", "font", "-", "background"}));
    QCOMPARE(items("changecase"), (QStringList{"lowercase", "uppercase", "invertcase", "capitalize"}));
    QCOMPARE(items("insert"), (QStringList{"timeanddate", "-", "infile", "-", "editstructures", "-",
                                           "insertif", "insertifelse", "insertswitch",
                                           "insertforloop", "insertwhileloop", "insertdowhileloop"}));
    QCOMPARE(items("tools"), (QStringList{"run", "compile", "appletviewer", "jar", "htmlconverter",
                                          "native2asciiconverter", "javadoc", "javap"}));
    QCOMPARE(items("view"), (QStringList{"viewStandardtoolbar", "viewformattingtoolbar", "viewstatusbar"}));
    QCOMPARE(items("help"), (QStringList{"about"}));

    // Captions and keys as the user sees them.
    QCOMPARE(w->menuItem("Paste")->text(), QStringLiteral("Past&e\tCtrl+V"));
    QVERIFY(w->menuItem("Paste")->shortcut().isEmpty());
    QCOMPARE(w->menuItem("Save_as")->text(), QStringLiteral("Save &As..."));
    QCOMPARE(w->menuItem("Save_as")->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
    QCOMPARE(w->menuItem("Exit")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Backspace));
    QCOMPARE(w->menuItem("lowercase")->text(), QStringLiteral("lowercase\tAlt+L"));
    QCOMPARE(w->menuItem("editstructures")->text(), QStringLiteral("Edit St&ructures ..."));
    QCOMPARE(w->menuItem("insertdowhileloop")->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F6));
    QCOMPARE(w->menuItem("jar")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F4));
    QCOMPARE(w->menuItem("htmlconverter")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F5));
    QCOMPARE(w->menuItem("viewstatusbar")->shortcut(),
             QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_F3));
    QCOMPARE(w->menuItem("Find_next")->shortcut(), QKeySequence(Qt::Key_F3));

    // The unfinished tools are hidden, the others are there.
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
    QCOMPARE(w->toolbarItem(13)->objectName(), QStringLiteral("Bold"));
    QCOMPARE(w->toolbarItem(14)->objectName(), QStringLiteral("Italic"));
    QCOMPARE(w->toolbarItem(15)->objectName(), QStringLiteral("Underline"));
    QCOMPARE(w->toolbarButton("New")->toolTip(), QStringLiteral("New FIle"));
    QCOMPARE(w->toolbarButton("jar")->toolTip(), QStringLiteral("Java Archive Tool"));
    QCOMPARE(w->toolbarButton("autoindentall")->toolTip(), QStringLiteral("Autoindent all"));
    for (int i = 1; w->toolbarItem(i); ++i)
        if (!w->toolbarItem(i)->isSeparator())
            QVERIFY2(!w->toolbarItem(i)->icon().isNull(), qPrintable(w->toolbarItem(i)->objectName()));

    // A toolbar key runs its menu command.
    QSignalSpy preferences(w->menuItem("preferences"), &QAction::triggered);
    QSignalSpy indent(w->menuItem("indentallrtf"), &QAction::triggered);
    w->toolbarButton("Preferences")->trigger();
    QVERIFY(!w->isEnabled()); // the preferences dialog is up
    QWidget *prefs = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String("frmpref") && top->isVisible())
            prefs = top;
    QVERIFY(prefs);
    prefs->close(); // its close box gives the main window back
    QVERIFY(w->isEnabled());
    m_prompter.answer(MsgAnswer::Ok); // the indenter's notice
    w->toolbarButton("autoindentall")->trigger();
    QCOMPARE(preferences.count(), 1);
    QCOMPARE(indent.count(), 1);
    QVERIFY(m_prompter.messages().last().startsWith(QStringLiteral("block begining")));

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
    QVERIFY(!w->statusPanel(7));
}

void TestFrmedit::commandLineOpensQuotedPath()
{
    const QString path = m_dir->filePath(QStringLiteral("My Hello.java"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("class A {\n}\n");
    f.close();

    auto w = start(QLatin1Char('"') + path + QLatin1Char('"'));
    QVERIFY(w->isVisible());
    QVERIFY(m_prompter.asked().empty());
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [My Hello.java] - Quillon"));
    QCOMPARE(w->documentPath(), path);
    QCOMPARE(w->surface()->text(), QStringLiteral("class A {\r\n}\r\n"));
    QVERIFY(w->findChild<QTimer *>(QStringLiteral("Timer1"))->isActive());
}

void TestFrmedit::commandLineFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // null: nothing is created
    QTest::addColumn<bool>("folder");
    QTest::newRow("missing file") << "Missing.java" << QByteArray() << false;
    QTest::newRow("folder") << "src" << QByteArray() << true;
    QTest::newRow("binary with NUL bytes") << "Tool.class" << QByteArray("\xCA\xFE\xBA\xBE\0\0\0\x34", 8)
                                           << false;
}

void TestFrmedit::commandLineFailures()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, folder);
    const QString path = m_dir->filePath(name);
    if (folder)
        QVERIFY(QDir(m_dir->path()).mkdir(name));
    if (!content.isNull()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

    m_prompter.answer(MsgAnswer::Ok);
    auto w = start(QLatin1Char('"') + path + QLatin1Char('"'));
    QCOMPARE(m_prompter.asked().size(), size_t(1));
    const MessageRequest &m = m_prompter.asked()[0].message;
    QCOMPARE(m.text, QStringLiteral("Error opening file"));
    QCOMPARE(m.title, QStringLiteral("Error"));
    QCOMPARE(m.icon, MsgIcon::Critical);
    QCOMPARE(m.buttons, MsgButtons::Ok);

    // An empty document without a path: nothing can overwrite the file.
    QVERIFY(w->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon"));
    QCOMPARE(w->documentPath(), QString());
    QVERIFY(w->surface()->text().isEmpty());
    QVERIFY(!w->findChild<QTimer *>(QStringLiteral("Timer1"))->isActive());
    if (!content.isNull()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), content);
    }
}

void TestFrmedit::geometryIsClampedOnRestore_data()
{
    const QSizeF screen = frmedit::screenTwips();
    QTest::addColumn<QStringList>("stored");  // top, left, height, width
    QTest::addColumn<QList<double>>("expected");
    QTest::newRow("height 300, width 1845") << QStringList{"0", "0", "300", "1845"}
                                            << QList<double>{0, 0, 510, 1845};
    QTest::newRow("left beyond the screen")
        << QStringList{"0", QString::number(screen.width() + 3000), "3000", "4500"}
        << QList<double>{0, screen.width() - 1000, 3000, 4500};
    QTest::newRow("left -5000, width 3000") << QStringList{"0", "-5000", "3000", "3000"}
                                            << QList<double>{0, -1500, 3000, 3000};
    QTest::newRow("top below the screen")
        << QStringList{QString::number(screen.height()), "0", "3000", "4500"}
        << QList<double>{screen.height() - 510, 0, 3000, 4500};
    QTest::newRow("negative top") << QStringList{"-900", "300", "3000", "4500"}
                                  << QList<double>{0, 300, 3000, 4500};
}

void TestFrmedit::geometryIsClampedOnRestore()
{
    QFETCH(QStringList, stored);
    QFETCH(QList<double>, expected);
    setPref("ftop", stored[0]);
    setPref("fleft", stored[1]);
    setPref("fheight", stored[2]);
    setPref("fwidth", stored[3]);
    auto w = start();
    const frmedit::Twips g = w->geometryTwips();
    const double tolerance = pixelTwips();
    QVERIFY2(qAbs(g.top - expected[0]) <= tolerance, qPrintable(QString::number(g.top)));
    QVERIFY2(qAbs(g.left - expected[1]) <= tolerance, qPrintable(QString::number(g.left)));
    QVERIFY2(qAbs(g.height - expected[2]) <= tolerance, qPrintable(QString::number(g.height)));
    QVERIFY2(qAbs(g.width - expected[3]) <= tolerance, qPrintable(QString::number(g.width)));

    // What is restored is what is written back.
    w->SaveWindowSettings();
    QVERIFY(qAbs(pref("fheight").toDouble() - expected[2]) <= tolerance);
    QVERIFY(qAbs(pref("fleft").toDouble() - expected[1]) <= tolerance);
}

void TestFrmedit::badGeometryKeepsDesignedSize()
{
    setPref("fheight", QStringLiteral("tall"));
    setPref("rtfbgcolor", QStringLiteral("255"));
    auto w = start();
    // The window keeps its designed size and the restore stops there: the
    // background stays white.
    QVERIFY(qAbs(w->geometryTwips().width - 12000) <= pixelTwips());
    QVERIFY(qAbs(w->geometryTwips().height - 9000) <= pixelTwips());
    QCOMPARE(w->surface()->backColor(), BgrColor(0xFFFFFF));
    QCOMPARE(w->cbofontsize()->currentText(), QStringLiteral("10"));
}

void TestFrmedit::closeWithoutChangesAsksNothing()
{
    auto w = start();
    QVERIFY(w->close());
    QVERIFY(m_prompter.asked().empty());
    QVERIFY(!w->isVisible());
}

void TestFrmedit::closeCancelKeepsEverything()
{
    auto w = start();
    w->surface()->setSelText(QStringLiteral("class A {}"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon*"));
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

void TestFrmedit::closeYesSavesTheDocument()
{
    const QString path = m_dir->filePath(QStringLiteral("A.java"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("class A {\n}\n");
    f.close();

    auto w = start(path);
    w->surface()->setSelStart(w->surface()->length());
    w->surface()->setSelText(QStringLiteral("// end\r\n"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [A.java] - Quillon*"));

    m_prompter.answer(MsgAnswer::Yes);
    QVERIFY(w->close());
    QVERIFY(f.open(QIODevice::ReadOnly));
    // The file keeps its own line breaks.
    QCOMPARE(f.readAll(), QByteArray("class A {\n}\n// end\n"));
    QCOMPARE(pref("lastfilename"), path);
}

void TestFrmedit::editsMarkTheCaptionUnlessSuppressed()
{
    auto w = start();
    {
        SuppressGuard quiet(true, false);
        w->surface()->setSelText(QStringLiteral("quiet"));
    }
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon"));
    w->surface()->setSelText(QStringLiteral("!"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon*"));
    w->surface()->setSelText(QStringLiteral("?"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Document [] - Quillon*"));
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
    QVERIFY(stb->isVisible() && tbr->isVisible() && cblf->isVisible());
    QCOMPARE(full.top(), tbr->height() + cblf->height());
    QCOMPARE(full.bottom() + 1, stb->geometry().top());

    // Hiding the status bar: the surface reaches the bottom at once.
    w->menuItem("viewstatusbar")->trigger();
    QVERIFY(!w->menuItem("viewstatusbar")->isChecked());
    QVERIFY(!stb->isVisible());
    QCOMPARE(w->rtfedit()->geometry().height(), full.height() + stb->height());
    QCOMPARE(w->rtfedit()->geometry().top(), full.top());

    // Moving the caret does not bring it back.
    w->surface()->setText(QStringLiteral("a\r\nb"));
    w->surface()->setSelStart(3);
    QVERIFY(!stb->isVisible());

    // Hiding the standard toolbar moves the surface up.
    w->menuItem("viewStandardtoolbar")->trigger();
    QVERIFY(!tbr->isVisible());
    QCOMPARE(w->rtfedit()->geometry().top(), cblf->height());
    QCOMPARE(cblf->geometry().top(), 0);

    w->menuItem("viewformattingtoolbar")->trigger();
    QVERIFY(!cblf->isVisible());
    QCOMPARE(w->rtfedit()->geometry().top(), 0);
    QCOMPARE(w->rtfedit()->geometry().height(), w->centralWidget()->height());

    // And back again.
    for (const char *name : {"viewstatusbar", "viewStandardtoolbar", "viewformattingtoolbar"})
        w->menuItem(QLatin1String(name))->trigger();
    QCOMPARE(w->rtfedit()->geometry(), full);

    // The window's size follows too.
    w->resize(600, 400);
    QApplication::processEvents();
    QCOMPARE(w->rtfedit()->width(), w->centralWidget()->width());
    QCOMPARE(w->rtfedit()->geometry().bottom() + 1, stb->geometry().top());
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
    QCOMPARE(pref("chkautosyntaxcolor"), QStringLiteral("1"));
    syntax->click();
    QCOMPARE(pref("chkautosyntaxcolor"), QStringLiteral("0"));
    spell->click();
    QCOMPARE(pref("chksautosc"), QStringLiteral("1"));
    QCOMPARE(m_mem->writes().size(), size_t(3));

    // Activation shows the store without writing to it.
    m_mem->clearWrites();
    w->Form_Activate();
    QVERIFY(spell->isChecked());
    QVERIFY(!syntax->isChecked());
    QVERIFY(m_mem->writes().empty());
}

void TestFrmedit::activateReflectsTheStore_data()
{
    QTest::addColumn<QString>("autotreesearch");
    QTest::addColumn<QString>("chksautosc");
    QTest::addColumn<bool>("tree");
    QTest::addColumn<bool>("spell");
    QTest::newRow("1 and 1") << "1" << "1" << true << true;
    QTest::newRow("True and 0") << "True" << "0" << true << false;
    QTest::newRow("tRuE") << "tRuE" << "1" << true << true;
    QTest::newRow("yes is off") << "yes" << "1" << false << true;
    QTest::newRow("2 is off for the tree") << "2" << "2" << false << true;
    QTest::newRow("False") << "False" << "0" << false << false;
    QTest::newRow("absent") << QString() << QString() << false << false;
}

void TestFrmedit::activateReflectsTheStore()
{
    QFETCH(QString, autotreesearch);
    QFETCH(QString, chksautosc);
    QFETCH(bool, tree);
    QFETCH(bool, spell);
    auto w = start();
    // Another window (the preferences dialog) changes the store; the band
    // shows it when the main window is active again.
    setPref("autotreesearch", autotreesearch);
    setPref("chksautosc", chksautosc);
    w->Form_Activate();
    QCOMPARE(w->findChild<QCheckBox *>(QStringLiteral("chkautotreesearch"))->isChecked(), tree);
    QCOMPARE(w->findChild<QCheckBox *>(QStringLiteral("chkautospellcorrect"))->isChecked(), spell);
}

void TestFrmedit::statusTextFollowsTheSelection()
{
    auto w = start();
    Surface *s = w->surface();
    s->setText(QStringLiteral("a\r\nb\r\nc\r\nd\r\nline five\r\n"));
    s->setSelStart(0);
    QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Line: 1  Col: 1  Sel: 0"));
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
                 .arg(QUILLON_VERSION_MAJOR)
                 .arg(QUILLON_VERSION_MINOR)
                 .arg(QUILLON_VERSION_PATCH));
    auto *timer = splash->findChild<QTimer *>(QStringLiteral("Timer1"));
    QVERIFY(timer && timer->isActive());
    QCOMPARE(timer->interval(), 5000);

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
    // Within the window frame's margins, which the window system may add
    // after the move.
    const int margin = qMax(frame.width() - w->width(), frame.height() - w->height()) + 1;
    QVERIFY(qAbs(frame.left() - (screen.width() - frame.width()) / 2) <= margin);
    QVERIFY(qAbs(frame.top() - (screen.height() - frame.height()) / 2) <= margin);
    QVERIFY(frame.left() > 150 && frame.top() > 100);
}

void TestFrmedit::waitWindowCentresItsText()
{
    frmwait wait;
    auto *pw = wait.findChild<QLabel *>(QStringLiteral("lblpw"));
    auto *label = wait.findChild<QLabel *>(QStringLiteral("lblwait"));
    QCOMPARE(pw->text(), QStringLiteral("Please Wait"));
    QCOMPARE(pw->x(), 0);
    QCOMPARE(pw->width(), wait.width());
    for (const QString &text : {QStringLiteral("Loading object tree"), QStringLiteral("Sorting")}) {
        wait.setWaitText(text);
        QCOMPARE(label->text(), text);
        QVERIFY(qAbs(label->x() - (wait.width() - label->width()) / 2) <= 0);
        QVERIFY(label->width() >= label->sizeHint().width());
    }
}

QTEST_MAIN(TestFrmedit)
#include "tst_frmedit.moc"
