#include "shell/ui/recentmenu.h"

#include "base/prompter.h"
#include "shell/recentfiles.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

namespace qln {

RecentFilesMenu::RecentFilesMenu(QMenu *menu, RecentFiles &recent, Prompter &prompter,
                                 std::function<bool(const QString &)> open)
    : QObject(menu), m_menu(menu), m_recent(recent), m_prompter(prompter), m_open(std::move(open))
{
    connect(m_menu, &QMenu::aboutToShow, this, &RecentFilesMenu::refresh);
    refresh();
}

void RecentFilesMenu::refresh()
{
    m_menu->clear();
    const QStringList paths = m_recent.paths();
    for (int i = 0; i < paths.size(); ++i) {
        const QString path = paths[i];
        // "&" in a path is text, not a mnemonic.
        QString label = path;
        label.replace(QLatin1Char('&'), QLatin1String("&&"));
        QAction *item = m_menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(label));
        item->setObjectName(QStringLiteral("recentfile%1").arg(i + 1));
        item->setData(path);
        connect(item, &QAction::triggered, this, [this, path] { choose(path); });
    }
    if (!paths.isEmpty())
        m_menu->addSeparator();
    QAction *clear = m_menu->addAction(QStringLiteral("&Clear List"));
    clear->setObjectName(QStringLiteral("clearrecentfiles"));
    clear->setEnabled(!paths.isEmpty());
    connect(clear, &QAction::triggered, this, [this] {
        m_recent.clear();
        refresh();
    });
}

void RecentFilesMenu::choose(const QString &path)
{
    if (!QFileInfo::exists(path)) {
        m_recent.remove(path);
        refresh();
        m_prompter.message(QStringLiteral("The file ") + path
                               + QStringLiteral(" no longer exists.\r\nIt has been removed from "
                                                "the list of recent files."),
                           QStringLiteral("Recent Files"), MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    if (m_open)
        m_open(path);
}

} // namespace qln
