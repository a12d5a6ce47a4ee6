#include "shell/ui/frmabout.h"

#include "base/prompter.h"
#include "dialogs/ui/screenfit.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOption>
#include <QVBoxLayout>

// The about picture is the splash picture of the shell's resources, which
// live in this static library (the macro must stay outside namespaces).
static void initShellIcons()
{
    Q_INIT_RESOURCE(shell_icons);
}

namespace qln {

LinkLabel::LinkLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, pal.color(QPalette::Link));
    setPalette(pal);
    // Reached with Tab like a button, and pressed with Enter or Space.
    setFocusPolicy(Qt::StrongFocus);
}

void LinkLabel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: emit clicked(); return;
    default: QLabel::keyPressEvent(event);
    }
}

void LinkLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.backgroundColor = palette().color(QPalette::Window);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

QString frmAbout::versionText()
{
    return QStringLiteral("Version %1.%2.%3")
        .arg(QUILLON_VERSION_MAJOR)
        .arg(QUILLON_VERSION_MINOR)
        .arg(QUILLON_VERSION_PATCH);
}

QString frmAbout::contactAddress()
{
    return QStringLiteral("quillon-feedback@example.org");
}

QUrl frmAbout::updatesPage()
{
    return QUrl(QStringLiteral("https://quillon.example.org/download"));
}

QStringList frmAbout::defaultSysInfoPrograms()
{
    return {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
            QStringLiteral("lshw-gtk"), QStringLiteral("gnome-system-monitor")};
}

frmAbout::frmAbout(Prompter &prompter, QWidget *owner)
    : QWidget(owner, Qt::Dialog), m_prompter(prompter)
{
    initShellIcons();
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About ") + applicationTitle());

    openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    startProgram = [](const QString &program) { return QProcess::startDetached(program, {}); };
    sysInfoPrograms = defaultSysInfoPrograms();

    auto *picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(QIcon(QStringLiteral(":/shell/icons/splash.png")).pixmap(64, 64));
    picIcon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto *lblTitle = new QLabel(applicationTitle(), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    lblTitle->setFont(big);

    auto *lblVersion = new QLabel(versionText(), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    auto *lblDescription =
        new QLabel(QStringLiteral("Please send comments, suggestions or bug reports to:"), this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);

    auto *lblemail = new LinkLabel(contactAddress(), this);
    lblemail->setObjectName(QStringLiteral("lblemail"));
    connect(lblemail, &LinkLabel::clicked, this, &frmAbout::lblemail_Click);

    auto *lblcheckforupdates = new LinkLabel(QStringLiteral("Check for Updates"), this);
    lblcheckforupdates->setObjectName(QStringLiteral("lblcheckforupdates"));
    connect(lblcheckforupdates, &LinkLabel::clicked, this, &frmAbout::lblcheckforupdates_Click);

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto *lblDisclaimer = new QLabel(
        QStringLiteral("Warning: this program is provided as it is, without warranty of any "
                       "kind. Keep copies of your work; the authors are not liable for any "
                       "loss or damage that comes from using it."),
        this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setWordWrap(true);

    auto *cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    auto *cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);

    auto *text = new QVBoxLayout;
    text->setSpacing(6);
    text->addWidget(lblTitle);
    text->addWidget(lblVersion);
    text->addSpacing(10);
    text->addWidget(lblDescription);
    text->addWidget(lblemail);
    text->addSpacing(6);
    text->addWidget(lblcheckforupdates);
    text->addStretch();

    auto *top = new QHBoxLayout;
    top->addWidget(picIcon);
    top->addSpacing(12);
    top->addLayout(text, 1);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch();
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblDisclaimer, 1);
    bottom->addSpacing(12);
    bottom->addLayout(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addLayout(top);
    layout->addWidget(line);
    layout->addLayout(bottom);
    resize(460, 300);
    keepOnScreen(this);
    // Escape is OK, as in every dialog.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &frmAbout::cmdOK_Click);
}

frmAbout *frmAbout::showAbout(Prompter &prompter, QWidget *owner)
{
    // About is one window: asking for it again brings the open one forward.
    static QPointer<frmAbout> open;
    if (open && open->parentWidget() == owner) {
        open->raise();
        open->activateWindow();
        return open;
    }
    auto *about = new frmAbout(prompter, owner);
    open = about;
    about->show();
    about->raise();
    about->activateWindow();
    return about;
}

QString frmAbout::findSysInfoProgram() const
{
    for (const QString &name : sysInfoPrograms) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

void frmAbout::StartSysInfo()
{
    const QString program = findSysInfoProgram();
    if (program.isEmpty() || !startProgram || !startProgram(program))
        m_prompter.message(QStringLiteral("System Information Is Unavailable At This Time"),
                           QString(), MsgIcon::None, MsgButtons::Ok);
}

void frmAbout::lblcheckforupdates_Click()
{
    if (openUrl)
        openUrl(updatesPage());
}

void frmAbout::lblemail_Click()
{
    const auto *label = findChild<QLabel *>(QStringLiteral("lblemail"));
    if (openUrl && label)
        openUrl(QUrl(QStringLiteral("mailto:") + label->text()));
}

void frmAbout::cmdOK_Click()
{
    close();
}

} // namespace qln
