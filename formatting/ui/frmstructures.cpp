#include "formatting/ui/frmstructures.h"

#include "dialogs/ui/screenfit.h"
#include "formatting/commandhost.h"
#include "surface/ui/surfaceview.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace qln {

frmstructures::frmstructures(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmstructures"));
    setWindowTitle(QStringLiteral("Edit Structures"));
    auto *layout = new QVBoxLayout(this);
    auto *templates = new QHBoxLayout;
    const char *const captions[kTemplateCount] = {"&if",       "if &else",    "&switch",
                                                  "&for loop", "&while loop", "do w&hile loop"};
    const char *const names[kTemplateCount] = {"cmdif",      "cmdifelse",    "cmdswitch",
                                               "cmdforloop", "cmdwhileloop", "cmddowhileloop"};
    for (int k = 1; k <= kTemplateCount; ++k) {
        auto *b = new QPushButton(QString::fromLatin1(captions[k - 1]), this);
        b->setObjectName(QString::fromLatin1(names[k - 1]));
        b->setAutoDefault(false);
        // The pressed button shows which template the box holds.
        b->setCheckable(true);
        b->setAutoExclusive(true);
        connect(b, &QPushButton::clicked, this, [this, k] { showTemplate(k); });
        templates->addWidget(b);
        m_templateButtons[k - 1] = b;
    }
    layout->addLayout(templates);

    m_rtfstructure = new SurfaceView(new Surface(this), this);
    m_rtfstructure->setObjectName(QStringLiteral("rtfstructure"));
    // Tab moves on to the buttons; Ctrl+Tab puts a tab into the template.
    m_rtfstructure->setTabChangesFocus(true);
    layout->addWidget(m_rtfstructure, 1);
    connect(m_rtfstructure->surface(), &Surface::changed, this, [this] {
        if (!m_showing)
            m_editor.setCurrentText(m_rtfstructure->surface()->text());
    });

    auto *buttons = new QHBoxLayout;
    m_cmdok = new QPushButton(QStringLiteral("&OK"), this);
    m_cmdok->setObjectName(QStringLiteral("cmdok"));
    m_cmdcancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cmdcancel->setObjectName(QStringLiteral("cmdcancel"));
    m_cmddefaults = new QPushButton(QStringLiteral("&Defaults"), this);
    m_cmddefaults->setObjectName(QStringLiteral("cmddefaults"));
    for (QPushButton *b : {m_cmdok, m_cmdcancel, m_cmddefaults})
        b->setAutoDefault(false);
    buttons->addWidget(m_cmddefaults);
    buttons->addStretch(1);
    buttons->addWidget(m_cmdok);
    buttons->addWidget(m_cmdcancel);
    layout->addLayout(buttons);
    // Tab follows the places: the template buttons left to right, the box,
    // then Defaults, OK and Cancel.
    QWidget *order[] = {m_templateButtons[0], m_templateButtons[1], m_templateButtons[2],
                        m_templateButtons[3], m_templateButtons[4], m_templateButtons[5],
                        m_rtfstructure,       m_cmddefaults,        m_cmdok,
                        m_cmdcancel};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    connect(m_cmdok, &QPushButton::clicked, this, [this] {
        m_editor.save();
        accept();
    });
    connect(m_cmdcancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cmddefaults, &QPushButton::clicked, this, [this] {
        m_editor.restoreDefaults();
        showTemplate(1);
    });

    resize(560, 360);
    keepOnScreen(this);
    m_editor.load();
    showTemplate(1);
}

QPushButton *frmstructures::templateButton(int k) const
{
    return k >= 1 && k <= kTemplateCount ? m_templateButtons[k - 1] : nullptr;
}

void frmstructures::showTemplate(int k)
{
    m_editor.select(k);
    if (QPushButton *b = templateButton(k))
        b->setChecked(true);
    m_showing = true;
    m_rtfstructure->surface()->setText(m_editor.currentText());
    m_showing = false;
}

frmstructures *editstructures(CommandHost &host, QWidget *mainWindow)
{
    auto *dialog = new frmstructures(mainWindow);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (mainWindow) {
        // Window modality keeps input away from the main window while the
        // dialog shows.
        dialog->setWindowModality(Qt::WindowModal);
        dialog->show();
        return dialog;
    }
    QObject::connect(dialog, &QDialog::finished, dialog, [&host] { host.setWindowEnabled(true); });
    dialog->show();
    host.setWindowEnabled(false);
    return dialog;
}

} // namespace qln
