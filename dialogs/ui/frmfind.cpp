#include "dialogs/ui/frmfind.h"

#include "dialogs/ui/screenfit.h"
#include "surface/surface.h"
#include "surface/ui/surfaceview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qln {

frmFind::frmFind(Surface &surface, SurfaceView *view, Prompter &prompter, QWidget *owner)
    : QDialog(owner), m_surface(surface), m_view(view), m_owner(owner), m_model(surface, prompter)
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Find - Replace"));
    setModal(false);

    auto makeCombo = [this](const char *name) {
        auto *combo = new QComboBox(this);
        combo->setObjectName(QLatin1String(name));
        combo->setEditable(true);
        // The shared history is filled by the program, never by Enter.
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMinimumContentsLength(28);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        return combo;
    };
    cboFind = makeCombo("cboFind");
    cboReplace = makeCombo("cboReplace");
    auto *lblFind = new QLabel(QStringLiteral("Fin&d What:"), this);
    lblFind->setBuddy(cboFind);
    auto *lblReplace = new QLabel(QStringLiteral("Replace &With:"), this);
    lblReplace->setBuddy(cboReplace);

    auto *fra = new QGroupBox(QStringLiteral("Search Options"), this);
    optUp = new QRadioButton(QStringLiteral("&Up"), fra);
    optUp->setObjectName(QStringLiteral("optUp"));
    optdown = new QRadioButton(QStringLiteral("D&own"), fra);
    optdown->setObjectName(QStringLiteral("optdown"));
    optdown->setChecked(true);
    chkWholeWord = new QCheckBox(QStringLiteral("Find W&hole Word Only"), fra);
    chkWholeWord->setObjectName(QStringLiteral("chkWholeWord"));
    chkMatchCase = new QCheckBox(QStringLiteral("Match Ca&se"), fra);
    chkMatchCase->setObjectName(QStringLiteral("chkMatchCase"));
    auto *direction = new QHBoxLayout;
    direction->addWidget(optUp);
    direction->addWidget(optdown);
    direction->addStretch();
    auto *fraLayout = new QVBoxLayout(fra);
    fraLayout->addLayout(direction);
    fraLayout->addWidget(chkWholeWord);
    fraLayout->addWidget(chkMatchCase);

    auto makeButton = [this](const char *name, const char *caption) {
        auto *button = new QPushButton(QString::fromLatin1(caption), this);
        button->setObjectName(QLatin1String(name));
        return button;
    };
    cmdFind = makeButton("cmdFind", "&Find");
    cmdReplace = makeButton("cmdReplace", "&Replace");
    cmdReplaceAll = makeButton("cmdReplaceAll", "Replace &All");
    cmdCancel = makeButton("cmdCancel", "&Cancel");
    cmdFind->setDefault(true);

    auto *fields = new QGridLayout;
    fields->addWidget(lblFind, 0, 0);
    fields->addWidget(cboFind, 0, 1);
    fields->addWidget(lblReplace, 1, 0);
    fields->addWidget(cboReplace, 1, 1);
    fields->addWidget(fra, 2, 0, 1, 2);
    fields->setRowStretch(3, 1);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdFind);
    buttons->addWidget(cmdReplace);
    buttons->addWidget(cmdReplaceAll);
    buttons->addWidget(cmdCancel);
    buttons->addStretch();
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
    setSizeGripEnabled(false);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    keepOnScreen(this);

    connect(cmdFind, &QPushButton::clicked, this, &frmFind::cmdFind_Click);
    connect(cmdReplace, &QPushButton::clicked, this, &frmFind::cmdReplace_Click);
    connect(cmdReplaceAll, &QPushButton::clicked, this, &frmFind::cmdReplaceAll_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFind::cmdCancel_Click);

    m_model.setFocusSurface([this] {
        if (m_view)
            m_view->setFocus(Qt::OtherFocusReason);
    });
    m_model.setPaintSurface([this](bool painted) {
        if (m_view)
            m_view->setPainted(painted);
    });
}

frmFind::~frmFind() = default;

void frmFind::setSuspendOffer(std::function<bool()> offer)
{
    m_model.setSuspendOffer(std::move(offer));
}

void frmFind::readControls()
{
    m_model.setFindText(cboFind->currentText());
    m_model.setReplaceText(cboReplace->currentText());
    m_model.setUp(optUp->isChecked());
    m_model.setWholeWord(chkWholeWord->isChecked());
    m_model.setMatchCase(chkMatchCase->isChecked());
}

void frmFind::writeControls()
{
    const QStringList &history = m_model.history();
    for (QComboBox *combo : {cboFind, cboReplace}) {
        bool same = combo->count() == history.size();
        for (int i = 0; same && i < history.size(); ++i)
            same = combo->itemText(i) == history.at(i);
        if (!same) {
            combo->clear();
            combo->addItems(history);
        }
    }
    cboFind->setEditText(m_model.findText());
    cboReplace->setEditText(m_model.replaceText());
}

void frmFind::showFromMenu()
{
    cboFind->setEditText(m_surface.selText());
    show();
    raise();
    activateWindow();
}

void frmFind::findNext()
{
    cmdFind_Click();
}

void frmFind::cmdFind_Click()
{
    readControls();
    m_model.find();
    writeControls();
    cmdFind->setFocus(Qt::OtherFocusReason);
}

void frmFind::cmdReplace_Click()
{
    readControls();
    m_model.replace();
    writeControls();
    cmdFind->setFocus(Qt::OtherFocusReason);
}

void frmFind::cmdReplaceAll_Click()
{
    readControls();
    m_model.replaceAll();
    writeControls();
}

void frmFind::cmdCancel_Click()
{
    hide();
    if (m_owner) {
        m_owner->raise();
        m_owner->activateWindow();
    }
}

void frmFind::reject()
{
    // Escape and the window's close button act as Cancel; the dialog is
    // kept with its state.
    cmdCancel_Click();
}

bool frmFind::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate) {
        readControls();
        m_model.activate();
        writeControls();
    } else if (event->type() == QEvent::WindowDeactivate) {
        readControls();
        m_model.deactivate();
    }
    return QDialog::event(event);
}

} // namespace qln
