#pragma once
// The help window: four panels on the same place (object tree help, auto
// tree search help, the legend of the completion pictures, the help on the
// tool dialog's command-line code), at most one of them visible. Whoever
// opens it is its owner: the owner is disabled while the window shows and
// enabled again by OK.

#include <QPointer>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace qln {

class frmhelp : public QWidget {
    Q_OBJECT
public:
    enum class Panel { ObjectTree, AutoTreeSearch, Legend, JavaxCode };

    // The window stands alone (no parent): a disabled owner must not
    // disable it too. It stays above its owner while shown.
    frmhelp();
    ~frmhelp() override;

    // Remembers the window that opens the help window.
    void Set_HelpWindow_OwnerForm(QWidget *owner);
    QWidget *ownerForm() const { return m_owner; }

    // Opening a help panel: disables the owner, remembers it, shows this
    // window (not modal) above it and brings the chosen panel to the front.
    void showPanel(QWidget *owner, Panel panel);

    QWidget *panel(Panel panel) const;
    // The panel shown, if any.
    bool isPanelVisible(Panel panel) const;

    // OK: hides the window and the panels and gives the owner back.
    void cmdok_Click();
    // "View Legend": OK, then the legend panel for the same owner.
    void cmdlegend_Click();

    // The texts of the panels.
    static QString objectTreeHelpText();
    static QString autoTreeSearchHelpText();
    static QString codingLanguageHelpText();

protected:
    // The close box acts as OK, so the owner is never left disabled.
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildObjectTreePanel();
    QWidget *buildAutoTreeSearchPanel();
    QWidget *buildLegendPanel();
    QWidget *buildJavaxCodePanel();
    void hideAllPanels();

    QPointer<QWidget> m_owner;
    QWidget *m_panels[4] = {};
    QPushButton *m_cmdok = nullptr;
};

// Makes `window` stay above `owner`'s window, as an owned window does.
void setWindowOwner(QWidget *window, QWidget *owner);

} // namespace qln
