// Every window of the program worked from the keyboard alone, and on the
// screen: each menu item and each labelled control has an Alt letter of its
// own within its window, Tab goes through the controls in reading order,
// Escape closes every dialog, and no window is larger than the usable part
// of the screen or lies partly off it.

#include "dialogs/ui/frmfind.h"
#include "dialogs/ui/frmhelp.h"
#include "dialogs/ui/screenfit.h"
#include "settings/ui/frmpref.h"
#include "shell/ui/frmedit.h"
#include "support/datarow.h"
#include "support/windowtest.h"
#include "tools/toolmodes.h"
#include "tools/ui/frmjavax.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace qln;

namespace {

// Controls that go without a letter of their own, and why.
const QMap<QString, QString> &exceptions()
{
    static const QMap<QString, QString> list{
        // The three boxes' "Browse..." buttons share their caption; each
        // follows its box, which its frame's letter reaches.
        {"frmJavaX/cmdBrosweInFile", "shared caption, after its box"},
        {"frmJavaX/cmdBrowse2", "shared caption, after its box"},
        {"frmJavaX/cmdBrowseJavaX", "shared caption, after its box"},
        // The option check boxes show the tool's own switches ("-g", "-d"),
        // thirteen of them: the letters would run out and misread.
        {"frmJavaX/chkOPT_*", "the tool's switches as captions"},
        {"frmJavaX/txtOPT_*", "follows its switch"},
        {"frmJavaX/CmdOPTBROWSE_*", "\"...\" has no letter; follows its box"},
        {"frmJavaX/CboEncoding", "follows the -encoding switch"},
        {"frmJavaX/cmdshowoptions", "\"^\" and \"v\" have no letter"},
        {"frmJavaX/cboJavaX", "the mode list has no caption; Tab reaches it"},
        {"frmJavaX/rtfCommandLine", "its frame is \"Command Line\" with a letter"},
        {"frmJavaX/rtfCommandLineOptions", "its frame is \"Command Line\" with a letter"},
        // Native2Ascii names no executable and no run: its frames and the
        // run button have no caption.
        {"frmJavaX(Native2Ascii)/txt2", "its frame has no caption in this mode"},
        {"frmJavaX(Native2Ascii)/txtJavaX", "its frame has no caption in this mode"},
        {"frmJavaX(Native2Ascii)/cmdJavaX", "no caption in this mode; Enter is the run"},
        // Each option pair is one stop of Tab; the arrows choose.
        {"frmpref/optgautotreesearchyes", "Yes/No pair: no free letter left"},
        {"frmpref/optgautotreesearchno", "Yes/No pair: no free letter left"},
        {"frmpref/optgautocbopos", "option pair: no free letter left"},
        {"frmpref/optgfixedcbopos", "option pair: no free letter left"},
        // "A" and "d" are Apply's and Load Defaults'.
        {"frmpref/cmdsadd", "its letters belong to Apply and Load Defaults"},
        {"frmpref/txtsfrom", "below the From list"},
        {"frmpref/txtsto", "below the To list"},
        // Three word lists, each with the same three buttons; the frame's
        // letter reaches the list and Tab its buttons.
        {"frmpref/cmdc*add", "shared caption, after its list"},
        {"frmpref/cmdc*remove", "shared caption, after its list"},
        {"frmpref/cmdc*removeall", "shared caption, after its list"},
        {"frmDateTime/txtcustom", "the custom format box has no caption"},
        {"frmstructures/rtfstructure", "the template box has no caption"},
    };
    return list;
}

// An exception names the window, or the window in one state, and the control.
bool excepted(const QString &window, const QString &state, const QString &name)
{
    for (auto it = exceptions().begin(); it != exceptions().end(); ++it) {
        const QRegularExpression pattern = QRegularExpression::fromWildcard(it.key());
        if (pattern.match(window + '/' + name).hasMatch()
            || pattern.match(window + '(' + state + ")/" + name).hasMatch())
            return true;
    }
    return false;
}

// The window a widget belongs to; a menu is a window of its own.
QWidget *windowOf(QWidget *w)
{
    return w ? w->window() : nullptr;
}

QString windowName(QWidget *window)
{
    return window->objectName().isEmpty() ? QLatin1String(window->metaObject()->className())
                                          : window->objectName();
}

bool isInput(QWidget *w)
{
    if (qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractSpinBox *>(w)
        || qobject_cast<QAbstractItemView *>(w))
        return true;
    if (qobject_cast<QLineEdit *>(w))
        return !qobject_cast<QComboBox *>(w->parentWidget())
               && !qobject_cast<QAbstractSpinBox *>(w->parentWidget());
    if (auto *text = qobject_cast<QPlainTextEdit *>(w))
        return !text->isReadOnly();
    // A button without a caption (a colour) is labelled by its frame.
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return button->text().isEmpty() && !qobject_cast<QToolButton *>(w);
    return w->inherits("qln::SurfaceView");
}

// Letters: each captioned control and each input control has an Alt letter
// (its own, its label's or its frame's), and no letter is taken twice.
QStringList letterFaults(QWidget *window, const QString &state)
{
    const QString name = windowName(window);
    QStringList faults;
    QMap<QString, QStringList> owners;
    QSet<QWidget *> labelled; // inputs some label or frame with a letter reaches
    auto take = [&](QWidget *w, const QString &caption) {
        const QKeySequence key = QKeySequence::mnemonic(caption);
        if (!key.isEmpty()) {
            owners[key.toString()] << w->objectName() + QStringLiteral(" \"") + caption + '"';
            return true;
        }
        if (!excepted(name, state, w->objectName()))
            faults << QStringLiteral("%1 (%2): %3 \"%4\" has no Alt letter")
                          .arg(name, state, w->objectName(), caption);
        return false;
    };
    const QList<QWidget *> all = window->findChildren<QWidget *>();
    for (QWidget *w : all) {
        if (windowOf(w) != window || !w->isVisibleTo(window))
            continue;
        if (auto *tabs = qobject_cast<QTabBar *>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                take(tabs, tabs->tabText(i));
        } else if (auto *label = qobject_cast<QLabel *>(w); label && label->buddy()) {
            if (take(label, label->text()))
                labelled << label->buddy();
        } else if (auto *frame = qobject_cast<QGroupBox *>(w)) {
            // A frame is the label of the inputs in it.
            if (!QKeySequence::mnemonic(frame->title()).isEmpty()) {
                take(frame, frame->title());
                for (QWidget *inside : frame->findChildren<QWidget *>())
                    labelled << inside;
            }
        } else if (auto *button = qobject_cast<QAbstractButton *>(w);
                   button && !qobject_cast<QToolButton *>(w) && !isInput(w)) {
            take(button, button->text());
        }
    }
    for (QWidget *w : all)
        if (windowOf(w) == window && w->isVisibleTo(window) && isInput(w) && !labelled.contains(w)
            && !excepted(name, state, w->objectName()))
            faults << QStringLiteral("%1 (%2): no Alt letter reaches %3")
                          .arg(name, state, w->objectName());
    for (auto it = owners.begin(); it != owners.end(); ++it)
        if (it->size() > 1)
            faults << QStringLiteral("%1 (%2): %3 for %4")
                          .arg(name, state, it.key(), it->join(QStringLiteral(" and ")));
    return faults;
}

QStringList menuFaults(QMenu *menu)
{
    QStringList faults;
    QMap<QString, QString> owners;
    for (QAction *a : menu->actions()) {
        if (!a->isVisible() || a->isSeparator())
            continue;
        const QString key = QKeySequence::mnemonic(a->text()).toString();
        if (key.isEmpty())
            faults << QStringLiteral("menu %1: \"%2\" has no Alt letter")
                          .arg(menu->objectName(), a->text());
        else if (owners.contains(key))
            faults << QStringLiteral("menu %1: %2 for \"%3\" and \"%4\"")
                          .arg(menu->objectName(), key, owners[key], a->text());
        else
            owners[key] = a->text();
    }
    return faults;
}

// Tab from control to control: never back up the window unless to a
// column further right, never left along a row.
QStringList tabFaults(QWidget *window, const QString &state)
{
    QList<QWidget *> chain;
    QWidget *w = window;
    do {
        w = w->nextInFocusChain();
        if (w != window && windowOf(w) == window && w->isVisibleTo(window) && w->isEnabled()
            && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() && !chain.contains(w))
            chain << w;
    } while (w != window && chain.size() < 500);
    // Where a control shows: a control scrolled out of its area counts as
    // at the area's edge.
    auto place = [window](QWidget *w) {
        QRect r(w->mapTo(window, QPoint()), w->size());
        for (QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
            if (auto *area = qobject_cast<QAbstractScrollArea *>(p)) {
                const QRect view(area->viewport()->mapTo(window, QPoint()),
                                 area->viewport()->size());
                const int top = std::clamp(r.top(), view.top(), view.bottom());
                const int bottom = std::clamp(r.bottom(), view.top(), view.bottom());
                r.setTop(top);
                r.setBottom(bottom);
            }
        return r;
    };
    QStringList faults;
    for (int i = 1; i < chain.size(); ++i) {
        const QRect a = place(chain[i - 1]);
        const QRect b = place(chain[i]);
        const bool above = b.bottom() < a.top() && b.left() < a.right();
        const bool sameRow = b.top() <= a.bottom() && b.bottom() >= a.top();
        const bool left = sameRow && b.right() < a.left();
        if (above || left)
            faults << QStringLiteral("%1 (%2): Tab goes back from %3 to %4")
                          .arg(windowName(window), state, chain[i - 1]->objectName(),
                               chain[i]->objectName());
    }
    return faults;
}

// The window with its frame lies on the screen's usable area.
QStringList screenFaults(QWidget *window, const QString &state)
{
    const QRect available = screenOf(window)->availableGeometry();
    if (available.contains(window->frameGeometry()))
        return {};
    return {QStringLiteral("%1 (%2): %3,%4 %5x%6 is not within the screen")
                .arg(windowName(window), state)
                .arg(window->frameGeometry().x())
                .arg(window->frameGeometry().y())
                .arg(window->frameGeometry().width())
                .arg(window->frameGeometry().height())};
}

QStringList walk(QWidget *window, const QString &state = QString())
{
    // As the user sees it: laid out, then fitted to the screen.
    QCoreApplication::sendPostedEvents();
    if (window->layout())
        window->layout()->activate();
    QTest::qWait(10);
    return letterFaults(window, state) + tabFaults(window, state) + screenFaults(window, state);
}

// Escape, pressed where the focus is, closes (or hides) the window.
QStringList escapeFaults(QWidget *window)
{
    const QString name = windowName(window);
    QPointer<QWidget> p = window;
    window->activateWindow();
    QWidget *target = window->focusWidget() ? window->focusWidget() : window;
    QTest::keyClick(target, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (p && p->isVisible())
        return {name + QStringLiteral(": Escape leaves it open")};
    return {};
}

QWidget *newWindow(const QWidgetList &before)
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->isVisible() && !before.contains(top) && !qobject_cast<QMenu *>(top))
            return top;
    return nullptr;
}

} // namespace

class TstKeyboardWalk : public QObject, test::WindowTest {
    Q_OBJECT

    std::unique_ptr<frmedit> m_w;

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry(), QRect(0, 0, 1024, 768));
    }

    void init()
    {
        initWindowTest();
        m_w = open();
        m_w->show();
    }

    void cleanup()
    {
        m_w.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        cleanupWindowTest();
    }

    void fitRectShrinksAndMoves_data()
    {
        columns<QRect, QRect>("frame", "fitted");
        const QRect screen(0, 0, 1024, 768);
        row("inside", QRect(10, 10, 400, 300), QRect(10, 10, 400, 300));
        row("too tall", QRect(100, 50, 600, 861), QRect(100, 0, 600, 768));
        row("off right, bottom", QRect(900, 700, 300, 200), QRect(724, 568, 300, 200));
        row("off left, top", QRect(-50, -20, 300, 200), QRect(0, 0, 300, 200));
        row("larger both ways", QRect(0, 0, 1069, 819), screen);
    }
    void fitRectShrinksAndMoves()
    {
        QFETCH(QRect, frame);
        QFETCH(QRect, fitted);
        QCOMPARE(fitRect(frame, QRect(0, 0, 1024, 768)), fitted);
        // A second screen to the right of the first one.
        QCOMPARE(fitRect(frame.translated(1024, 0), QRect(1024, 0, 1024, 768)),
                 fitted.translated(1024, 0));
    }

    void mainWindowMenus()
    {
        QStringList faults;
        QMap<QString, QString> bar;
        for (QAction *a : m_w->menuBar()->actions()) {
            const QString key = QKeySequence::mnemonic(a->text()).toString();
            if (key.isEmpty() || bar.contains(key))
                faults << QStringLiteral("menu bar: \"%1\"").arg(a->text());
            bar[key] = a->text();
        }
        for (QMenu *menu : m_w->menuBar()->findChildren<QMenu *>())
            faults << menuFaults(menu);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

    void everyDialog()
    {
        QStringList faults;
        m_w->menuItem(QStringLiteral("Find"))->trigger();
        auto *find = m_w->findChild<frmFind *>();
        QVERIFY(find && find->isVisible());
        faults << walk(find) << escapeFaults(find);

        m_w->menuItem(QStringLiteral("preferences"))->trigger();
        QPointer<frmpref> pref = shownWindow<frmpref>();
        QVERIFY(pref);
        auto *pages = pref->findChild<QTabBar *>(QStringLiteral("tbsOptions"));
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            faults << walk(pref, pages->tabText(i));
        }
        frmhelp *help = pref->helpWindow();
        for (auto panel : {frmhelp::Panel::ObjectTree, frmhelp::Panel::AutoTreeSearch,
                           frmhelp::Panel::Legend, frmhelp::Panel::JavaxCode}) {
            help->showPanel(pref, panel);
            faults << walk(help, QString::number(int(panel))) << escapeFaults(help);
            if (!pref->isEnabled())
                faults << QStringLiteral("Escape in the help window left its owner disabled");
        }
        pages->setCurrentIndex(0);
        faults << escapeFaults(pref);
        if (!m_w->isEnabled())
            faults << QStringLiteral("Escape in Preferences left the main window disabled");

        for (const char *command : {"timeanddate", "editstructures", "about"}) {
            const QWidgetList before = QApplication::topLevelWidgets();
            m_w->menuItem(QLatin1String(command))->trigger();
            QWidget *dialog = newWindow(before);
            QVERIFY2(dialog, command);
            faults << walk(dialog) << escapeFaults(dialog);
        }

        m_w->menuItem(QStringLiteral("run"))->trigger();
        QPointer<frmJavaX> tool = frmJavaX::instance();
        QVERIFY(tool);
        for (const ModeDef &mode : toolModes()) {
            if (!mode.hasCatalogue)
                m_prompter.answer(MsgAnswer::Ok); // "Option not supported"
            tool->LoadJavaXMode(mode.name);
            faults << walk(tool, mode.name);
        }
        // The code panel open: the options still scroll, the buttons show.
        tool->LoadJavaXMode(QStringLiteral("Compile"));
        tool->findChild<QPushButton *>(QStringLiteral("cmdCommandLineOptionsOkAbort"))->click();
        faults << walk(tool, QStringLiteral("Compile, code panel"));
        for (const char *name : {"cmdClose", "cmdJavaX", "cmdCommandLineOptionsOkAbort"}) {
            auto *b = tool->findChild<QPushButton *>(QLatin1String(name));
            if (!QRect(QPoint(), tool->size()).contains(QRect(b->mapTo(tool, QPoint()), b->size())))
                faults << QStringLiteral("frmJavaX: %1 lies outside the dialog").arg(name);
        }
        tool->findChild<QPushButton *>(QStringLiteral("cmdCommandLineHelp"))->click();
        frmhelp *codeHelp = shownWindow<frmhelp>();
        QVERIFY(codeHelp && codeHelp->isPanelVisible(frmhelp::Panel::JavaxCode));
        faults << walk(codeHelp, QStringLiteral("tool")) << escapeFaults(codeHelp);
        if (!tool->isEnabled())
            faults << QStringLiteral("Escape in the tool's help left the tool dialog disabled");
        faults << escapeFaults(tool);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }
};

// The windows are checked on a 1024x768 screen, the smallest in use.
int main(int argc, char **argv)
{
    QTemporaryDir dir;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        QFile config(dir.filePath(QStringLiteral("screen.json")));
        if (!config.open(QIODevice::WriteOnly))
            return 1;
        config.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1024,
                         "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        config.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toUtf8());
    }
    QApplication app(argc, argv);
    TstKeyboardWalk test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_keyboardwalk.moc"
