#include "dialogs/ui/frmdatetime.h"

#include "dialogs/ui/screenfit.h"
#include "settings/settingsstore.h"
#include "surface/surface.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace qln {

frmDateTime::frmDateTime(Surface &surface, const QString &commentMarker, SettingsStore &store,
                         QWidget *owner, DateTimeClock clock, const QLocale &locale)
    : QDialog(owner), m_surface(surface), m_commentMarker(commentMarker), m_store(store),
      m_clock(clock ? std::move(clock)
                    : DateTimeClock([] { return QDateTime::currentDateTime(); })),
      m_locale(locale)
{
    setObjectName(QStringLiteral("frmDateTime"));
    setWindowTitle(QStringLiteral("Qln - Date / Time"));

    auto *fra = new QGroupBox(QStringLiteral("&Formats"), this);
    lstDateTime = new QListWidget(fra);
    lstDateTime->setObjectName(QStringLiteral("lstDateTime"));
    auto *fraLayout = new QVBoxLayout(fra);
    fraLayout->addWidget(lstDateTime);

    lblDateTime = new QLabel(this);
    lblDateTime->setObjectName(QStringLiteral("lblDateTime"));
    lblDateTime->setFrameShape(QFrame::StyledPanel);
    lblDateTime->setMinimumHeight(lblDateTime->fontMetrics().height() + 8);
    lblDateTime->setTextInteractionFlags(Qt::NoTextInteraction);

    txtcustom = new QLineEdit(this);
    txtcustom->setObjectName(QStringLiteral("txtcustom"));
    txtcustom->installEventFilter(this);

    cmdinsert = new QPushButton(QStringLiteral("&Insert"), this);
    cmdinsert->setObjectName(QStringLiteral("cmdinsert"));
    cmdinsert->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdinsert);
    buttons->addWidget(cmdCancel);
    buttons->addStretch();
    auto *top = new QHBoxLayout;
    top->addWidget(fra, 1);
    top->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(lblDateTime);
    layout->addWidget(txtcustom);
    resize(380, 340);
    // Tab reads the list, the buttons beside it, then the box below.
    setTabOrder(lstDateTime, cmdinsert);
    setTabOrder(cmdinsert, cmdCancel);
    setTabOrder(cmdCancel, txtcustom);
    keepOnScreen(this);

    // Load: the list shows the moment of opening and is not refreshed.
    lstDateTime->addItems(dateTimeEntries(m_clock(), m_locale));
    connect(lstDateTime, &QListWidget::itemClicked, this, &frmDateTime::lstDateTime_Click);
    // Keys move the selection as clicks do. The current item alone is not
    // followed: the list makes its first item current when it takes the
    // focus, which must not overwrite the custom preview.
    connect(lstDateTime, &QListWidget::itemSelectionChanged, this, [this] {
        const auto selected = lstDateTime->selectedItems();
        if (!selected.isEmpty())
            lstDateTime_Click(selected.front());
    });
    connect(lstDateTime, &QListWidget::itemDoubleClicked, this, &frmDateTime::lstDateTime_DblClick);
    connect(txtcustom, &QLineEdit::textChanged, this, &frmDateTime::txtcustom_Change);
    connect(cmdinsert, &QPushButton::clicked, this, &frmDateTime::cmdinsert_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmDateTime::cmdCancel_Click);

    const QString custom = storedCustomFormat(m_store);
    txtcustom->setText(custom);
    txtcustom_Change(custom);
}

frmDateTime::~frmDateTime() = default;

frmDateTime *frmDateTime::timeanddate(Surface &surface, const QString &commentMarker,
                                      SettingsStore &store, QWidget *owner)
{
    auto *dialog = new frmDateTime(surface, commentMarker, store, owner);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Blocking the owner stands for disabling the main window; closing the
    // dialog releases it.
    dialog->setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->show();
    return dialog;
}

QString frmDateTime::labelText() const
{
    return lblDateTime->text();
}

void frmDateTime::lstDateTime_Click(QListWidgetItem *item)
{
    if (item)
        lblDateTime->setText(item->text());
}

void frmDateTime::lstDateTime_DblClick(QListWidgetItem *item)
{
    lstDateTime_Click(item);
    cmdinsert_Click();
}

void frmDateTime::txtcustom_Change(const QString &text)
{
    lblDateTime->setText(customPreview(text, m_clock(), m_locale));
}

void frmDateTime::txtcustom_Click()
{
    if (txtcustom->text() == kCustomPlaceholder)
        txtcustom->clear();
}

void frmDateTime::cmdinsert_Click()
{
    if (insertDateTime(m_surface, m_commentMarker, lblDateTime->text()))
        accept();
}

void frmDateTime::cmdCancel_Click()
{
    reject();
}

void frmDateTime::done(int result)
{
    // Unload, however the dialog was closed: the custom format is kept.
    storeCustomFormat(m_store, txtcustom->text());
    QDialog::done(result);
}

bool frmDateTime::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtcustom && event->type() == QEvent::MouseButtonPress)
        txtcustom_Click();
    return QDialog::eventFilter(watched, event);
}

} // namespace qln
