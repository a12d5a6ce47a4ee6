#include "shell/ui/windowhosts.h"

#include "settings/convert.h"
#include "settings/prefsession.h"
#include "shell/documentfiles.h"
#include "shell/ui/completionbox.h"
#include "shell/ui/frmedit.h"
#include "surface/ui/surfaceview.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <algorithm>

namespace qln {

namespace {

double screenDpi()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

int toTwips(int pixels)
{
    return int(pixelsToTwips(pixels, screenDpi()));
}

int toPixels(int twips)
{
    return int(twipsToPixels(twips, screenDpi()));
}

} // namespace

// --- progress bar ---------------------------------------------------------------

bool ProgressBarSink::isVisible() const
{
    return !m_bar->isHidden();
}

void ProgressBarSink::setVisible(bool visible)
{
    m_bar->setVisible(visible);
    if (visible)
        m_bar->repaint();
}

int ProgressBarSink::value() const
{
    return m_given.value_or(0);
}

void ProgressBarSink::setValue(int value)
{
    if (value < m_bar->minimum() || value > m_bar->maximum())
        return; // the bar refuses values outside its range
    // Long commands report once a line, mostly the value they reported
    // before: that costs one comparison. The bar (which paints itself at
    // once when its value changes) shows a new value at most about 60 times
    // a second, so a short command does not spend its time painting it; the
    // start and the end of a stage are always shown.
    if (m_given && *m_given == value)
        return;
    m_given = value;
    if (value == m_bar->value())
        return;
    const bool stageEdge = value < m_bar->value() || value == m_bar->maximum();
    if (!stageEdge && m_shownAt.isValid() && m_shownAt.elapsed() < 16)
        return;
    m_shownAt.start();
    m_bar->setValue(value);
}

// --- holding the window still -----------------------------------------------------

WindowInputHold::~WindowInputHold()
{
    if (m_depth > 0)
        qApp->removeEventFilter(this);
}

void WindowInputHold::hold()
{
    if (m_depth++ == 0)
        qApp->installEventFilter(this);
}

void WindowInputHold::release()
{
    if (m_depth > 0 && --m_depth == 0)
        qApp->removeEventFilter(this);
}

// The window itself, a widget in it, a popup of one (a menu, a list) or an
// action or shortcut of one; not a dialog or message box owned by it.
bool WindowInputHold::aimsAtWindow(const QObject *target) const
{
    for (const QObject *o = target; o; o = o->parent()) {
        if (o == &m_window)
            return true;
        if (o->isWidgetType()) {
            const auto *w = static_cast<const QWidget *>(o);
            if (w->isWindow() && w->windowType() != Qt::Popup)
                return false;
        }
    }
    return false;
}

bool WindowInputHold::eventFilter(QObject *target, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
        if (!aimsAtWindow(target))
            return false;
        event->accept(); // taken here: not passed on to the parents either
        return true;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (!aimsAtWindow(target))
            return false;
        event->ignore(); // the drop is refused
        return true;
    case QEvent::Close:
        if (target != &m_window)
            return false;
        event->ignore(); // the window stays open
        return true;
    default: return false;
    }
}

// --- whole-document commands ------------------------------------------------------

WindowCommandHost::WindowCommandHost(frmedit &window)
    : m_window(window), m_progress(window.progress()), m_hold(window)
{
}

WindowCommandHost::~WindowCommandHost()
{
    while (m_busy-- > 0)
        QApplication::restoreOverrideCursor();
}

Surface &WindowCommandHost::surface()
{
    return *m_window.surface();
}

Prompter &WindowCommandHost::prompter()
{
    return m_window.prompter();
}

const Preferences &WindowCommandHost::preferences() const
{
    return m_window.preferences();
}

QString WindowCommandHost::caption() const
{
    return m_window.windowTitle();
}

void WindowCommandHost::setCaption(const QString &caption)
{
    m_window.setCaption(caption);
}

void WindowCommandHost::setStatusText(const QString &text)
{
    if (m_window.statusPanel(1)->text() == text)
        return; // the same text again: nothing to paint
    m_window.setStatusText(text);
    m_window.statusPanel(1)->repaint();
}

void WindowCommandHost::setBusy(bool busy)
{
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++m_busy;
    } else if (m_busy > 0) {
        QApplication::restoreOverrideCursor();
        --m_busy;
    }
}

void WindowCommandHost::setWindowEnabled(bool enabled)
{
    if (enabled)
        m_hold.release();
    else
        m_hold.hold();
}

void WindowCommandHost::setSurfacePainted(bool painted)
{
    m_window.rtfedit()->setPainted(painted);
}

void WindowCommandHost::focusSurface()
{
    m_window.rtfedit()->setPainted(true);
    m_window.rtfedit()->setFocus();
}

bool WindowCommandHost::saveDocument()
{
    return m_window.documents().Save();
}

// --- typing-time assistance ---------------------------------------------------------

Surface &WindowTypingHost::surface()
{
    return *m_window.surface();
}

const Preferences &WindowTypingHost::preferences() const
{
    return m_window.preferences();
}

const ObjectTree &WindowTypingHost::objectTree() const
{
    return m_window.objectTree();
}

AutoFeatureSwitches WindowTypingHost::switches() const
{
    return AutoFeatureSwitches{m_window.chkautosyntaxcolor()->isChecked(),
                               m_window.chkautospellcorrect()->isChecked(),
                               m_window.chkautotreesearch()->isChecked()};
}

void WindowTypingHost::focusSurface()
{
    m_window.rtfedit()->setFocus();
}

void WindowTypingHost::setSurfacePainted(bool painted)
{
    m_window.rtfedit()->setPainted(painted);
}

void WindowTypingHost::syncBox(const TreeBoxModel &box)
{
    m_window.cbotree()->sync(box, screenDpi());
}

void WindowTypingHost::placeBoxAtCaret(const QString &, int caret)
{
    CompletionBox *box = m_window.cbotree();
    QWidget *client = box->parentWidget();
    const SurfaceView *view = m_window.rtfedit();
    // The caret's line from the view's layout, at the caret the change
    // handler saved (the surface's selection is elsewhere meanwhile).
    const QRect cursor = view->caretRect(caret);
    const QRect line(view->viewport()->mapTo(client, cursor.topLeft()), cursor.size());
    // The box is a child of the window: it can show where the client area
    // lies on the screen.
    QRect bounds = client->rect();
    if (const QScreen *screen = client->screen()) {
        const QRect available = screen->availableGeometry();
        bounds &= QRect(client->mapFromGlobal(available.topLeft()), available.size());
    }
    box->move(PlaceBoxBelowCaret(line, box->size(), bounds).topLeft());
}

void WindowTypingHost::placeBoxFixed()
{
    const PrefModel &model = m_window.preferencesSession()->model();
    const QPoint at = FixedTreeBoxPosition(model.txtgdefcboposX, model.txtgdefcboposY);
    m_window.cbotree()->move(toPixels(at.x()), toPixels(at.y()));
}

void WindowTypingHost::dropDownBox()
{
    m_window.cbotree()->showPopup();
}

void WindowTypingHost::focusBox()
{
    m_window.cbotree()->setFocus();
}

int WindowTypingHost::surfaceWidthTwips() const
{
    return toTwips(m_window.rtfedit()->width());
}

bool WindowTypingHost::dropDownOnShow() const
{
    return m_window.preferencesSession()->model().chkgdropdowncbo;
}

void WindowTypingHost::setDefaultPointer()
{
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void WindowTypingHost::updateStatusBar()
{
    m_window.UpdateStatusBar();
}

void WindowTypingHost::showParameterHint(const QString &hint)
{
    m_window.setStatusText(m_window.statusPanel(1)->text() + QStringLiteral("    ") + hint);
}

void WindowTypingHost::showSelectionFormat(const std::optional<QString> &fontName,
                                           const std::optional<double> &fontSize, bool bold,
                                           bool italic, bool underline)
{
    if (fontSize)
        m_window.cbofontsize()->setCurrentText(QString::number(*fontSize));
    if (fontName)
        m_window.cbofontlist()->setCurrentText(*fontName);
    m_window.toolbarItem(13)->setChecked(bold);
    m_window.toolbarItem(14)->setChecked(italic);
    m_window.toolbarItem(15)->setChecked(underline);
}

void WindowTypingHost::runCaseCommand(char which)
{
    m_window.runCaseCommand(which);
}

} // namespace qln
