#include "shell/completionbox.h"

#include "completion/icons/completionicons.h"
#include "surface/charformat.h"

#include <QAbstractItemView>
#include <QKeyEvent>

namespace qln {

CompletionBox::CompletionBox(QWidget *parent) : QComboBox(parent)
{
    setObjectName(QStringLiteral("cbotree"));
    setEditable(false);
    setFocusPolicy(Qt::StrongFocus);
    hide();
    // A choice made by the user: a click or Enter in the open list, or Up
    // and Down in the closed box (which the arrow flag tells apart).
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (!m_syncing)
            emit boxActivated(index + 1);
    });
    view()->installEventFilter(this);
}

void CompletionBox::showPopup()
{
    QComboBox::showPopup();
}

bool CompletionBox::eventFilter(QObject *watched, QEvent *event)
{
    // The dropped-down list takes the keyboard; only the keys that move in
    // it or choose from it stay there. Typing goes on in the surface.
    if (watched != view() || event->type() != QEvent::KeyPress)
        return QComboBox::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return false;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return false; // the list chooses its lit item (activated)
    case Qt::Key_Space: {
        // Space chooses the lit item too.
        const int row = view()->currentIndex().row();
        hidePopup();
        if (row >= 0) {
            setCurrentIndex(row);
            emit boxActivated(row + 1);
        }
        return true;
    }
    case Qt::Key_Escape:
        hidePopup();
        emit boxKeyDown(Qt::Key_Escape);
        return true;
    default:
        hidePopup();
        emit typedThrough(key->key(), key->modifiers(), key->text());
        return true;
    }
}

void CompletionBox::sync(const TreeBoxModel &model, double dpi)
{
    m_syncing = true;
    const bool sameItems = model.items.size() == m_shown.size()
                           && std::equal(model.items.begin(), model.items.end(), m_shown.begin(),
                                         [](const TreeBoxItem &a, const TreeBoxItem &b) {
                                             return a.text == b.text && a.image == b.image;
                                         });
    if (!sameItems) {
        clear();
        for (const TreeBoxItem &item : model.items)
            addItem(completionIcon(item.image), item.text);
        m_shown = model.items;
    }
    setCurrentIndex(model.selected - 1);
    if (model.width > 0)
        resize(int(twipsToPixels(model.width, dpi)) + 24, sizeHint().height());
    setVisible(model.visible);
    if (model.visible)
        raise();
    m_syncing = false;
}

void CompletionBox::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    emit boxKeyDown(key);
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space
        || key == Qt::Key_Escape) {
        event->accept();
        return;
    }
    if (!event->text().isEmpty() && event->text().at(0).isPrint()) {
        emit boxKeyPress(event->text());
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

} // namespace qln
