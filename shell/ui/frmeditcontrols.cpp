// The main window's controls: menus, toolbar, formatting band and status
// bar, built from the command tables, and the Edit commands wired to them.
#include "base/editorstate.h"
#include "base/keytable.h"
#include "base/pathutil.h"
#include "dialogs/ui/frmdatetime.h"
#include "dialogs/ui/frmfind.h"
#include "formatting/casechange.h"
#include "formatting/colorizeall.h"
#include "formatting/indenter.h"
#include "formatting/spellcorrect.h"
#include "formatting/templates.h"
#include "formatting/typingassist.h"
#include "formatting/ui/frmstructures.h"
#include "settings/convert.h"
#include "settings/preferences.h"
#include "settings/prefsession.h"
#include "settings/settingsstore.h"
#include "settings/ui/frmpref.h"
#include "shell/commandtables.h"
#include "shell/documentfiles.h"
#include "shell/documenttitle.h"
#include "shell/editcommands.h"
#include "shell/recentfiles.h"
#include "shell/recovery.h"
#include "shell/statustext.h"
#include "shell/ui/completionbox.h"
#include "shell/ui/frmabout.h"
#include "shell/ui/frmedit.h"
#include "shell/ui/frmsplash.h"
#include "shell/ui/frmwait.h"
#include "shell/ui/lineeditaccessible.h"
#include "shell/ui/lockkeys.h"
#include "shell/ui/print.h"
#include "shell/ui/qtprompter.h"
#include "shell/ui/recentmenu.h"
#include "shell/ui/windowhosts.h"
#include "shell/windowsettings.h"
#include "surface/surface.h"
#include "surface/ui/surfaceview.h"
#include "tools/toollocations.h"
#include "tools/ui/frmjavax.h"
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <vector>

namespace qln {

namespace {

// Holds the status bar's first panel, whose text changes with every key
// (line, column, selection). The holder has no layout of its own and keeps
// the panel filling it: a label's new text then never makes the whole
// status bar lay itself out again.
class PanelHolder : public QWidget {
public:
    PanelHolder(QLabel *panel, QWidget *parent) : QWidget(parent), m_panel(panel)
    {
        panel->setParent(this);
    }
    QSize sizeHint() const override { return QSize(m_panel->sizeHint().width(), height()); }
    QSize minimumSizeHint() const override { return QSize(0, height()); }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QWidget::resizeEvent(event);
        m_panel->setGeometry(rect());
    }

private:
    int height() const { return m_panel->sizeHint().height(); }
    QLabel *m_panel;
};

// A toolbar button's picture: the first of its theme names that the icon
// theme has, else its bundled drawing, else none (the button shows its key).
QIcon toolbarIcon(const ToolbarEntry &entry)
{
    for (const QString &name :
         QString::fromLatin1(entry.themeIcon).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    if (entry.fallback)
        return QIcon(QStringLiteral(":/shell/icons/%1.png").arg(QLatin1String(entry.fallback)));
    return QIcon();
}

} // namespace

void frmedit::buildMenus()
{
    for (const MenuDef &def : menuTree()) {
        QMenu *menu = menuBar()->addMenu(QString::fromUtf8(def.caption));
        menu->setObjectName(QLatin1String(def.name));
        menu->menuAction()->setObjectName(QLatin1String(def.name));
        QMenu *target = menu;
        for (const MenuEntry &e : def.items) {
            if (!e.name) {
                target->addSeparator();
                continue;
            }
            const QString name = QLatin1String(e.name);
            if (name == QLatin1String("}")) {
                target = menu;
                continue;
            }
            if (name.endsWith(QLatin1Char('{'))) {
                target = menu->addMenu(QString::fromUtf8(e.caption));
                target->setObjectName(name.chopped(1));
                target->menuAction()->setObjectName(name.chopped(1));
                continue;
            }
            QAction *item = target->addAction(QString::fromUtf8(e.caption));
            item->setObjectName(name);
            item->setShortcuts(menuShortcuts(name));
        }
    }
    for (const char *name : {"viewStandardtoolbar", "viewformattingtoolbar", "viewstatusbar"}) {
        QAction *item = menuItem(QLatin1String(name));
        item->setCheckable(true);
        item->setChecked(true);
    }
    connect(menuItem(QStringLiteral("viewStandardtoolbar")), &QAction::triggered, this,
            [this] { toggleView(menuItem(QStringLiteral("viewStandardtoolbar")), m_Toolbar1); });
    connect(menuItem(QStringLiteral("viewformattingtoolbar")), &QAction::triggered, this,
            [this] { toggleView(menuItem(QStringLiteral("viewformattingtoolbar")), m_cblf); });
    connect(menuItem(QStringLiteral("viewstatusbar")), &QAction::triggered, this,
            [this] { toggleView(menuItem(QStringLiteral("viewstatusbar")), m_stb); });
    connectEditCommands();
}

void frmedit::connectEditCommands()
{
    auto on = [this](const char *name, auto &&handler) {
        connect(menuItem(QLatin1String(name)), &QAction::triggered, this, handler);
    };
    on("undo", [this] { editUndo(*surface()); });
    on("redo", [this] { editRedo(*surface()); });
    updateHistoryItems();
    on("Cut", [this] { editCut(*surface(), *m_prompter); });
    on("Copy", [this] { editCopy(*surface(), *m_prompter); });
    on("Paste", [this] { editPaste(*surface(), *m_prompter); });
    on("plaintextcut", [this] { plainTextCut(*surface()); });
    on("plaintextcopy", [this] { plainTextCopy(*surface()); });
    on("plaintextpaste", [this] { plainTextPaste(*surface()); });
    on("selectall", [this] {
        selectAll(*surface(), StatusHooks{[this](const QString &t) {
                                              setStatusText(t);
                                              m_stb->repaint();
                                          },
                                          [](bool busy) {
                                              if (busy)
                                                  QApplication::setOverrideCursor(Qt::WaitCursor);
                                              else
                                                  QApplication::restoreOverrideCursor();
                                          },
                                          [this] { m_rtfedit->setFocus(); }});
    });
    on("gotoline", [this] {
        const int pos = gotoLine(*surface(), *m_prompter);
        if (pos >= 0)
            m_rtfedit->land(pos);
    });
    on("font", [this] { chooseSelectionFont(*surface(), *m_prompter); });
    on("background", [this] {
        chooseBackground(*surface(), *m_prompter); // the text area's alone
    });

    // The Edit and Format menus enable their items as they open.
    connect(findChild<QMenu *>(QStringLiteral("Edit")), &QMenu::aboutToShow, this, [this] {
        const QClipboard *clipboard = QGuiApplication::clipboard();
        const EditMenuState state =
            editMenuState(*surface(), clipboard && !clipboard->text().isEmpty());
        menuItem(QStringLiteral("Cut"))->setEnabled(state.cut);
        menuItem(QStringLiteral("Copy"))->setEnabled(state.copy);
        menuItem(QStringLiteral("Paste"))->setEnabled(state.paste);
        menuItem(QStringLiteral("plaintextcut"))->setEnabled(state.plainCut);
        menuItem(QStringLiteral("plaintextcopy"))->setEnabled(state.plainCopy);
        menuItem(QStringLiteral("plaintextpaste"))->setEnabled(state.plainPaste);
    });
    connect(findChild<QMenu *>(QStringLiteral("format")), &QMenu::aboutToShow, this, [this] {
        const bool enabled = caseItemsEnabled(*surface());
        for (const char *name : {"lowercase", "uppercase", "invertcase", "capitalize"})
            menuItem(QLatin1String(name))->setEnabled(enabled);
    });
}

void frmedit::buildToolbar()
{
    m_Toolbar1 = new QToolBar(m_client);
    m_Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    m_Toolbar1->setMovable(false);
    m_Toolbar1->setFloatable(false);
    m_Toolbar1->setIconSize(QSize(24, 24));
    for (const ToolbarEntry &e : toolbarItems()) {
        if (!e.key) {
            m_Toolbar1->addSeparator();
            continue;
        }
        QAction *button = m_Toolbar1->addAction(toolbarIcon(e), QLatin1String(e.key));
        button->setObjectName(QLatin1String(e.key));
        button->setToolTip(QLatin1String(e.tooltip));
    }
    for (const char *key : {"Bold", "Italic", "Underline"})
        toolbarButton(QLatin1String(key))->setCheckable(true);
    connect(m_Toolbar1, &QToolBar::actionTriggered, this, &frmedit::Toolbar1_ButtonClick);
}

void frmedit::buildFormattingBand()
{
    m_cblf = new QToolBar(m_client);
    m_cblf->setObjectName(QStringLiteral("cblf"));
    m_cblf->setMovable(false);
    m_cblf->setFloatable(false);

    // Assistive technology reads the font boxes' text (and every other
    // one-line box's) through the program's own interface: Qt's own can
    // loop for ever over a word at the end of the text.
    LineEditAccessible::install();

    m_cbofontlist = new QComboBox(m_cblf);
    m_cbofontlist->setObjectName(QStringLiteral("cbofontlist"));
    m_cbofontlist->setEditable(true);
    m_cbofontlist->setInsertPolicy(QComboBox::NoInsert);
    m_cbofontlist->setMinimumContentsLength(18);
    m_cbofontlist->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_cbofontsize = new QComboBox(m_cblf);
    m_cbofontsize->setObjectName(QStringLiteral("cbofontsize"));
    m_cbofontsize->setEditable(true);
    m_cbofontsize->setInsertPolicy(QComboBox::NoInsert);
    m_cbofontsize->setMinimumContentsLength(3);

    m_chkautotreesearch = new QCheckBox(QStringLiteral("Auto Tree Search"), m_cblf);
    m_chkautotreesearch->setObjectName(QStringLiteral("chkautotreesearch"));
    m_chkautospellcorrect = new QCheckBox(QStringLiteral("Auto Spell correct"), m_cblf);
    m_chkautospellcorrect->setObjectName(QStringLiteral("chkautospellcorrect"));
    m_chkautosyntaxcolor = new QCheckBox(QStringLiteral("Auto Syntax colorizing"), m_cblf);
    m_chkautosyntaxcolor->setObjectName(QStringLiteral("chkautosyntaxcolor"));

    m_cblf->addWidget(m_cbofontlist);
    m_cblf->addWidget(m_cbofontsize);
    m_cblf->addSeparator();
    m_cblf->addWidget(m_chkautotreesearch);
    m_cblf->addWidget(m_chkautospellcorrect);
    m_cblf->addWidget(m_chkautosyntaxcolor);

    // After a choice in a font box typing goes on in the text.
    connect(m_cbofontlist, &QComboBox::activated, this, [this] {
        cbofontlist_Click();
        m_rtfedit->setFocus();
    });
    connect(m_cbofontsize, &QComboBox::activated, this, &frmedit::cbofontsize_Click);

    // A click on a switch leaves the focus where it was, in the text; the
    // keyboard reaches the switches with Tab (they show the style's focus
    // mark then) and goes on from them to the font boxes, or presses them
    // through their Format menu items.
    const QList<QWidget *> tabOrder = {m_chkautotreesearch, m_chkautospellcorrect,
                                       m_chkautosyntaxcolor, m_cbofontlist, m_cbofontsize};
    for (qsizetype i = 0; i < tabOrder.size(); ++i) {
        if (i < 3)
            tabOrder[i]->setFocusPolicy(Qt::TabFocus);
        if (i > 0)
            setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
    const std::pair<const char *, QCheckBox *> switchItems[] = {
        {"formatautotreesearch", m_chkautotreesearch},
        {"formatautospellcorrect", m_chkautospellcorrect},
        {"formatautosyntaxcolor", m_chkautosyntaxcolor}};
    for (const auto &[name, box] : switchItems) {
        QAction *item = menuItem(QLatin1String(name));
        item->setCheckable(true);
        connect(box, &QCheckBox::toggled, item, &QAction::setChecked);
        connect(item, &QAction::triggered, box, [box, item] {
            box->click();
            item->setChecked(box->isChecked());
        });
    }
    // Only the user's clicks write the switches; Form_Activate sets them
    // from the store without writing anything back.
    connect(m_chkautospellcorrect, &QCheckBox::clicked, this, [this](bool on) {
        settingsStore().save(kPrefs, QStringLiteral("chksautosc"),
                             on ? QStringLiteral("1") : QStringLiteral("0"));
    });
    connect(m_chkautosyntaxcolor, &QCheckBox::clicked, this, [this](bool on) {
        settingsStore().save(kPrefs, QStringLiteral("chkautosyntaxcolor"),
                             on ? QStringLiteral("1") : QStringLiteral("0"));
    });
}

void frmedit::buildStatusBar()
{
    m_stb = new QStatusBar(m_client);
    m_stb->setObjectName(QStringLiteral("stb"));
    m_stb->setSizeGripEnabled(false);
    static const char *const texts[6] = {"", "", "CAPS", "NUM", "SCRL", "INS"};
    for (int i = 0; i < 6; ++i) {
        auto *panel = new QLabel(QLatin1String(texts[i]), m_stb);
        panel->setObjectName(QStringLiteral("stbPanel%1").arg(i + 1));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setContentsMargins(4, 0, 4, 0);
        m_panels[i] = panel;
        if (i == 0)
            m_stb->addWidget(new PanelHolder(panel, m_stb), 1);
        else
            m_stb->addPermanentWidget(panel);
    }
    m_progress = new QProgressBar(m_stb);
    m_progress->setObjectName(QStringLiteral("Progress"));
    m_progress->setRange(0, 100);
    m_progress->setMaximumWidth(200);
    m_stb->addWidget(m_progress);
    m_progress->hide();

    // Cancels a file being read in the background; Escape too while it
    // has the focus, which it takes from the text while it shows.
    m_cancelLoad = new QPushButton(QStringLiteral("Cancel"), m_stb);
    m_cancelLoad->setObjectName(QStringLiteral("cancelload"));
    m_cancelLoad->installEventFilter(this);
    m_stb->addWidget(m_cancelLoad);
    m_cancelLoad->hide();
    connect(m_cancelLoad, &QPushButton::clicked, this, [this] {
        if (m_documents)
            m_documents->cancelLoading();
    });

    // The bar keeps its own panels up to date: the clock, and the lock
    // keys' states (a lock that is off is shown greyed; the three panels
    // are hidden where the window system does not tell).
    m_clock = new QTimer(this);
    auto tick = [this] {
        m_panels[1]->setText(QLocale().toString(QTime::currentTime(), QLocale::ShortFormat));
        updateLockPanels();
    };
    connect(m_clock, &QTimer::timeout, this, tick);
    tick();
    m_clock->start(1000);
}

void frmedit::updateLockPanels()
{
    const std::optional<LockKeyStates> locks = readLockKeyStates();
    const bool states[3] = {locks && locks->caps, locks && locks->num, locks && locks->scroll};
    for (int i = 0; i < 3; ++i) {
        QLabel *panel = m_panels[2 + i];
        panel->setVisible(locks.has_value());
        panel->setEnabled(states[i]);
    }
}

QAction *frmedit::menuItem(const QString &name) const
{
    for (QAction *a : menuBar()->findChildren<QAction *>(name))
        if (!a->menu())
            return a;
    return nullptr;
}

QAction *frmedit::toolbarButton(const QString &key) const
{
    for (QAction *a : m_Toolbar1->actions())
        if (a->objectName() == key)
            return a;
    return nullptr;
}

QAction *frmedit::toolbarItem(int position) const
{
    const QList<QAction *> items = m_Toolbar1->actions();
    return position >= 1 && position <= items.size() ? items[position - 1] : nullptr;
}

QLabel *frmedit::statusPanel(int panel) const
{
    return panel >= 1 && panel <= 6 ? m_panels[panel - 1] : nullptr;
}

} // namespace qln
