#include "dialogs/ui/screenfit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace qln {

QRect fitRect(const QRect &frame, const QRect &available)
{
    if (!available.isValid())
        return frame;
    QRect r(frame.topLeft(), frame.size().boundedTo(available.size()));
    if (r.right() > available.right())
        r.moveRight(available.right());
    if (r.bottom() > available.bottom())
        r.moveBottom(available.bottom());
    if (r.left() < available.left())
        r.moveLeft(available.left());
    if (r.top() < available.top())
        r.moveTop(available.top());
    return r;
}

QScreen *screenOf(const QWidget *window)
{
    if (window->windowHandle() && window->windowHandle()->screen())
        return window->windowHandle()->screen();
    if (const QWidget *parent = window->parentWidget())
        return parent->window()->screen();
    if (QScreen *at = QGuiApplication::screenAt(window->geometry().center()))
        return at;
    return QGuiApplication::primaryScreen();
}

void fitToScreen(QWidget *window)
{
    QScreen *screen = screenOf(window);
    if (!screen || window->isMaximized() || window->isFullScreen())
        return;
    // The frame is known once the window manager has decorated the window;
    // before that the title bar is left out of the reckoning. move() places
    // the frame, resize() sizes what is inside it.
    QMargins frame;
    if (window->windowHandle() && window->isVisible())
        frame = window->windowHandle()->frameMargins();
    const QRect outer = window->geometry().marginsAdded(frame);
    const QRect fitted = fitRect(outer, screen->availableGeometry());
    if (fitted == outer)
        return;
    const QSize inside = fitted.marginsRemoved(frame).size();
    // A layout's minimum would hold the window at its old size.
    window->setMinimumSize(window->minimumSize().boundedTo(inside));
    window->resize(inside);
    window->move(fitted.topLeft());
}

namespace {

class ScreenKeeper : public QObject {
public:
    explicit ScreenKeeper(QWidget *window) : QObject(window), m_window(window)
    {
        setObjectName(QStringLiteral("screenKeeper"));
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window || m_fitting)
            return false;
        switch (event->type()) {
        case QEvent::Show:
            m_framedFit = false;
            fit();
            break;
        case QEvent::Move:
            // The window manager places the window and adds its frame after
            // it shows: fitted once more when the frame is known, and left
            // where the user then puts it.
            if (!m_framedFit && m_window->isVisible() && m_window->windowHandle()
                && !m_window->windowHandle()->frameMargins().isNull()) {
                m_framedFit = true;
                QMetaObject::invokeMethod(
                    this, [this] { fit(); }, Qt::QueuedConnection);
            }
            break;
        case QEvent::Resize:
            // Once the window system has the new size (and the frame
            // around it): a window that grows while it shows.
            if (m_window->isVisible())
                QMetaObject::invokeMethod(
                    this, [this] { fit(); }, Qt::QueuedConnection);
            break;
        default: break;
        }
        return false;
    }

private:
    void fit()
    {
        if (!m_window || m_fitting)
            return;
        m_fitting = true;
        fitToScreen(m_window);
        m_fitting = false;
    }
    QPointer<QWidget> m_window;
    bool m_fitting = false;
    bool m_framedFit = false;
};

} // namespace

void keepOnScreen(QWidget *window)
{
    if (window->findChild<QObject *>(QStringLiteral("screenKeeper"), Qt::FindDirectChildrenOnly))
        return;
    window->installEventFilter(new ScreenKeeper(window));
}

} // namespace qln
