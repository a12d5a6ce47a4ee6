#pragma once
// frmDateTime, the "Qln - Date / Time" dialog: the moment it was opened in
// eleven formats plus a custom one, inserted at the caret as a single-line
// comment. Closing it in any way stores the custom format.

#include "dialogs/datetimeformat.h"

#include <QDialog>
#include <QLocale>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace qln {

class SettingsStore;
class Surface;

class frmDateTime : public QDialog {
    Q_OBJECT
public:
    // commentMarker is the single-line comment string ("//" by default).
    // clock and locale default to the system's.
    frmDateTime(Surface &surface, const QString &commentMarker, SettingsStore &store,
                QWidget *owner = nullptr, DateTimeClock clock = {},
                const QLocale &locale = QLocale());
    ~frmDateTime() override;

    // The "&Time and Date..." command: opens a new dialog that blocks the
    // owner window until it closes, and deletes itself then.
    static frmDateTime *timeanddate(Surface &surface, const QString &commentMarker,
                                    SettingsStore &store, QWidget *owner);

    QString labelText() const;

    void lstDateTime_Click(QListWidgetItem *item);
    void lstDateTime_DblClick(QListWidgetItem *item);
    void txtcustom_Change(const QString &text);
    void txtcustom_Click();
    void cmdinsert_Click();
    void cmdCancel_Click();

protected:
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Surface &m_surface;
    QString m_commentMarker;
    SettingsStore &m_store;
    DateTimeClock m_clock;
    QLocale m_locale;

    QListWidget *lstDateTime;
    QLabel *lblDateTime;
    QLineEdit *txtcustom;
    QPushButton *cmdinsert;
    QPushButton *cmdCancel;
};

} // namespace qln
