#pragma once
// The about window: product, version, contact address, a link to the
// product's web page, a disclaimer and the system-information button. Shown
// without waiting, above the window that opens it; OK unloads it.

#include <QLabel>
#include <QUrl>
#include <QWidget>
#include <functional>

class QPushButton;

namespace qln {

class Prompter;

// A label that acts as a link: underlined, a hand pointer, a click signal.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString &text, QWidget *parent);
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

class frmAbout : public QWidget {
    Q_OBJECT
public:
    // The window deletes itself when it is closed or OK is pressed.
    frmAbout(Prompter &prompter, QWidget *owner);

    // The main window's About command: a new window, shown at once.
    static frmAbout *showAbout(Prompter &prompter, QWidget *owner);

    static QString applicationTitle() { return QStringLiteral("Quillon"); }
    static QString versionText();
    static QString contactAddress();
    static QUrl updatesPage();
    // Programs that show information about this machine, tried in order.
    static QStringList defaultSysInfoPrograms();

    // Replaceable so tests neither open a browser nor start programs.
    std::function<bool(const QUrl &)> openUrl;
    std::function<bool(const QString &program)> startProgram;
    QStringList sysInfoPrograms;

    // The first system-information program found on PATH, or "".
    QString findSysInfoProgram() const;
    // Starts it, or says that there is none.
    void StartSysInfo();
    void lblcheckforupdates_Click();
    void lblemail_Click();
    void cmdOK_Click();

private:
    Prompter &m_prompter;
};

} // namespace qln
