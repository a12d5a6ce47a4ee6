#pragma once
// The splash window shown while first use writes the default settings. It
// closes itself after five seconds and then shows the main window centred.

#include <QPointer>
#include <QWidget>

class QLabel;
class QTimer;

namespace qln {

class frmSplash : public QWidget {
    Q_OBJECT
public:
    // mainWindow is shown and centred when the splash closes.
    explicit frmSplash(QWidget *mainWindow);

    // Closes without showing the main window (the program is ending).
    void dismiss();

    static QString versionText();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPointer<QWidget> m_main;
    QTimer *m_timer;
};

} // namespace qln
