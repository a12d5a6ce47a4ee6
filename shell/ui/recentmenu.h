#pragma once
// The "Recent Files" submenu of the File menu: one item per recent path
// (newest first, numbered as mnemonics), then "Clear List". It is filled
// from the store each time it opens, so every window shows the same list.

#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QMenu;

namespace qln {

class Prompter;
class RecentFiles;

class RecentFilesMenu : public QObject {
    Q_OBJECT
public:
    // open reads a path into the document and answers whether it did.
    RecentFilesMenu(QMenu *menu, RecentFiles &recent, Prompter &prompter,
                    std::function<bool(const QString &)> open);

    QMenu *menu() const { return m_menu; }
    // Rebuilds the items from the store (also done whenever it opens).
    void refresh();
    // What choosing the entry for path does: a file that is gone is taken
    // off the list with a message; otherwise it is opened.
    void choose(const QString &path);

private:
    QMenu *m_menu;
    RecentFiles &m_recent;
    Prompter &m_prompter;
    std::function<bool(const QString &)> m_open;
};

} // namespace qln
