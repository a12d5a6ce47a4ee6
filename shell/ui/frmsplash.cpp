#include "shell/ui/frmsplash.h"

#include "shell/windowgeometry.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace qln {

QString frmSplash::versionText()
{
    return QStringLiteral("Version %1.%2.%3")
        .arg(QUILLON_VERSION_MAJOR)
        .arg(QUILLON_VERSION_MINOR)
        .arg(QUILLON_VERSION_PATCH);
}

frmSplash::frmSplash(QWidget *mainWindow)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_main(mainWindow)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xF4, 0xF6, 0xFA));
    setPalette(pal);

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("imgLogo"));
    picture->setPixmap(QIcon(QStringLiteral(":/shell/icons/splash.png")).pixmap(96, 96));
    picture->setAlignment(Qt::AlignCenter);

    auto *product = new QLabel(QStringLiteral("Quillon"), this);
    product->setObjectName(QStringLiteral("lblProductName"));
    QFont big = product->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    product->setFont(big);
    product->setAlignment(Qt::AlignCenter);

    auto *platform = new QLabel(QStringLiteral("Made for Windows"), this);
    platform->setObjectName(QStringLiteral("lblPlatform"));
    platform->setAlignment(Qt::AlignCenter);

    auto *warning =
        new QLabel(QStringLiteral("Please wait while configuring setings for first use"), this);
    warning->setObjectName(QStringLiteral("lblWarning"));
    warning->setAlignment(Qt::AlignCenter);

    auto *version = new QLabel(versionText(), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    version->setAlignment(Qt::AlignCenter);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 24);
    layout->setSpacing(8);
    layout->addWidget(picture);
    layout->addWidget(product);
    layout->addWidget(platform);
    layout->addSpacing(12);
    layout->addWidget(warning);
    layout->addWidget(version);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(5000);
    connect(m_timer, &QTimer::timeout, this, &QWidget::close);
    m_timer->start();

    adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void frmSplash::dismiss()
{
    m_main = nullptr;
    close();
}

void frmSplash::closeEvent(QCloseEvent *event)
{
    m_timer->stop();
    if (m_main) {
        QWidget *main = m_main;
        main->show();
        if (QScreen *screen = main->screen()) {
            const QRect s = screen->geometry();
            const QRect f = main->frameGeometry();
            const WindowGeometry c = centredWindowGeometry(
                WindowGeometry{0, 0, double(f.height()), double(f.width())}, s.width(), s.height());
            main->move(s.left() + int(c.left), s.top() + int(c.top));
        }
    }
    event->accept();
}

} // namespace qln
