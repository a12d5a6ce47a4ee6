// Every key of the main window and of each of its dialogs has one owner:
// the menu items' shortcuts, the text's commands and the typing assistance's
// and completion box's keys from the key table, and the mnemonics of menus,
// labels, buttons, frames and tabs. A key bound twice in one window fails,
// naming both owners.

#include "base/keytable.h"
#include "dialogs/ui/frmfind.h"
#include "dialogs/ui/frmhelp.h"
#include "settings/ui/frmpref.h"
#include "shell/ui/frmedit.h"
#include "support/windowtest.h"
#include "surface/ui/surfaceview.h"
#include "tools/toolmodes.h"
#include "tools/ui/frmjavax.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTabBar>
#include <QTest>

using namespace qln;

namespace {

// The keys of one window, each with its owners.
class KeyOwners {
public:
    void add(QKeyCombination key, const QString &owner, bool implied = false)
    {
        const QString text = QKeySequence(key).toString();
        Owners &o = m_keys[text];
        (implied ? o.implied : o.written).insert(owner);
    }
    void addMnemonic(const QString &caption, const QString &owner)
    {
        const QKeySequence key = QKeySequence::mnemonic(caption);
        if (!key.isEmpty())
            add(key[0], owner);
    }
    void addTable(KeyScope scope, bool viewOnly = false)
    {
        for (const KeyBinding &b : keyBindings(scope))
            if (!viewOnly || b.command->carrier == KeyCarrier::View)
                add(b.key, QStringLiteral("command ") + QLatin1String(b.command->name), b.implied);
    }
    // "Alt+D: label "Fin&d What:" and button optdown "&Down"" for each key
    // with two owners. An implied key gives way to a written one, as the
    // window's lookups do.
    QStringList conflicts(const QString &window) const
    {
        QStringList out;
        for (auto it = m_keys.begin(); it != m_keys.end(); ++it) {
            QSet<QString> implied = it->implied;
            implied.subtract(it->written);
            const QSet<QString> &owners = it->written.isEmpty() ? implied : it->written;
            if (owners.size() < 2)
                continue;
            QStringList names(owners.begin(), owners.end());
            names.sort();
            out << window + QStringLiteral(": ") + it.key() + QStringLiteral(": ")
                       + names.join(QStringLiteral(" and "));
        }
        return out;
    }

private:
    struct Owners {
        QSet<QString> written, implied;
    };
    QMap<QString, Owners> m_keys;
};

QString described(const char *kind, const QObject *o, const QString &caption)
{
    QString s = QLatin1String(kind);
    if (!o->objectName().isEmpty())
        s += QLatin1Char(' ') + o->objectName();
    return s + QStringLiteral(" \"") + caption + QLatin1Char('"');
}

// The window a widget or action belongs to; a menu belongs to its menu bar's.
QWidget *windowOf(QObject *o)
{
    for (; o; o = o->parent())
        if (auto *w = qobject_cast<QWidget *>(o); w && w->isWindow() && !qobject_cast<QMenu *>(w))
            return w;
    return nullptr;
}

// The shortcuts of the window's shown actions and the mnemonics of its
// shown controls (a control on another page takes no key now).
void addWindowKeys(KeyOwners &keys, QWidget *window)
{
    for (QAction *a : window->findChildren<QAction *>())
        if (windowOf(a) == window && a->isVisible())
            for (const QKeySequence &k : a->shortcuts())
                keys.add(k[0], QStringLiteral("command ") + a->objectName());
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (windowOf(w) != window || !w->isVisibleTo(window))
            continue;
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            keys.addMnemonic(b->text(), described("button", b, b->text()));
        else if (auto *l = qobject_cast<QLabel *>(w); l && l->buddy())
            keys.addMnemonic(l->text(), described("label", l, l->text()));
        else if (auto *g = qobject_cast<QGroupBox *>(w))
            keys.addMnemonic(g->title(), described("frame", g, g->title()));
        else if (auto *t = qobject_cast<QTabBar *>(w))
            for (int i = 0; i < t->count(); ++i)
                keys.addMnemonic(t->tabText(i), described("tab", t, t->tabText(i)));
        else if (auto *bar = qobject_cast<QMenuBar *>(w))
            for (QAction *a : bar->actions())
                keys.addMnemonic(a->text(), described("menu", a, a->text()));
    }
}

// A menu is a window of its own: its items' mnemonics.
QStringList menuConflicts(QMenu *menu)
{
    KeyOwners keys;
    for (QAction *a : menu->actions())
        if (a->isVisible() && !a->isSeparator())
            keys.addMnemonic(a->text(), described("item", a, a->text()));
    return keys.conflicts(QStringLiteral("menu ") + menu->objectName());
}

// The window as it is now, with the key table's keys for a view in it.
QStringList windowConflicts(QWidget *window, const QString &state = QString())
{
    KeyOwners keys;
    addWindowKeys(keys, window);
    if (window->findChild<SurfaceView *>())
        keys.addTable(KeyScope::Text, true);
    QString name = window->objectName();
    if (name.isEmpty())
        name = QLatin1String(window->metaObject()->className());
    if (!state.isEmpty())
        name += QStringLiteral(" (") + state + QLatin1Char(')');
    return keys.conflicts(name);
}

} // namespace

class TstShortcuts : public QObject, test::WindowTest {
    Q_OBJECT

    std::unique_ptr<frmedit> m_w;

private slots:
    void init()
    {
        initWindowTest();
        m_w = open();
    }

    void cleanup()
    {
        m_w.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        cleanupWindowTest();
    }

    // Each written key is one known key, and each menu command names a
    // menu item that takes exactly its keys.
    void tableKeysAreWellFormed()
    {
        for (const KeyCommandDef &c : keyCommands()) {
            const QString written = QLatin1String(c.keys);
            const QList<QKeySequence> keys =
                written.isEmpty() ? QList<QKeySequence>() : QKeySequence::listFromString(written);
            for (const QKeySequence &k : keys)
                QVERIFY2(k.count() == 1 && k[0].key() != Qt::Key_unknown, c.name); // a known key
            if (c.scope != KeyScope::Window)
                continue;
            QAction *item = m_w->menuItem(QLatin1String(c.name));
            QVERIFY2(item, c.name);
            QCOMPARE(item->shortcuts(), keys);
        }
    }

    // The main window with its text, with the completion box showing, and
    // with the focus in the box; each of its menus and the text's own menu.
    void mainWindowBindsEachKeyOnce()
    {
        m_w->show();
        QStringList found;
        const std::pair<KeyScope, const char *> states[] = {
            {KeyScope::Text, "text"},
            {KeyScope::CompletionShown, "completion shown"},
            {KeyScope::CompletionBox, "completion box"}};
        for (const auto &[scope, state] : states) {
            KeyOwners keys;
            addWindowKeys(keys, m_w.get());
            keys.addTable(KeyScope::Window);
            keys.addTable(scope);
            found << keys.conflicts(QStringLiteral("frmedit (%1)").arg(QLatin1String(state)));
        }
        for (QMenu *menu : m_w->menuBar()->findChildren<QMenu *>())
            found << menuConflicts(menu);
        QContextMenuEvent context(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                  m_w->rtfedit()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(m_w->rtfedit(), &context);
        auto *textMenu = m_w->rtfedit()->findChild<QMenu *>(QStringLiteral("surfaceViewMenu"));
        QVERIFY(textMenu);
        found << menuConflicts(textMenu);
        textMenu->close();
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }

    // Each dialog in each of its states: the preferences' pages, the help
    // window's panels, the tool dialog's modes.
    void dialogsBindEachKeyOnce()
    {
        m_w->show();
        QStringList found;
        m_w->menuItem(QStringLiteral("Find"))->trigger();
        auto *find = shownWindow<frmFind>();
        QVERIFY(find);
        found << windowConflicts(find);
        find->hide();

        m_w->menuItem(QStringLiteral("preferences"))->trigger();
        QPointer<frmpref> pref = shownWindow<frmpref>();
        QVERIFY(pref);
        auto *pages = pref->findChild<QTabBar *>(QStringLiteral("tbsOptions"));
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            found << windowConflicts(pref, pages->tabText(i));
        }
        frmhelp *help = pref->helpWindow();
        for (frmhelp::Panel panel : {frmhelp::Panel::ObjectTree, frmhelp::Panel::AutoTreeSearch,
                                     frmhelp::Panel::Legend, frmhelp::Panel::JavaxCode}) {
            help->showPanel(pref, panel);
            found << windowConflicts(help, QString::number(int(panel)));
        }
        help->cmdok_Click();
        pref->close();
        QTRY_VERIFY(!pref);

        for (const char *command : {"timeanddate", "editstructures", "about"}) {
            const QWidgetList before = QApplication::topLevelWidgets();
            m_w->menuItem(QLatin1String(command))->trigger();
            QWidget *dialog = nullptr;
            for (QWidget *top : QApplication::topLevelWidgets())
                if (top->isVisible() && !before.contains(top))
                    dialog = top;
            QVERIFY2(dialog, command);
            found << windowConflicts(dialog);
            dialog->close();
        }

        m_w->menuItem(QStringLiteral("run"))->trigger();
        QPointer<frmJavaX> tool = frmJavaX::instance();
        QVERIFY(tool);
        for (const ModeDef &mode : toolModes()) {
            if (!mode.hasCatalogue)
                m_prompter.answer(MsgAnswer::Ok); // "Option not supported"
            tool->LoadJavaXMode(mode.name);
            found << windowConflicts(tool, mode.name);
        }
        tool->close();
        QTRY_VERIFY(!tool);

        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TstShortcuts)
#include "tst_shortcuts.moc"
