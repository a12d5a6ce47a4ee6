#include "shell/ui/completionbox.h"

#include "base/keytable.h"
#include "completion/ui/icons/completionicons.h"
#include "surface/charformat.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <algorithm>

namespace qln {

CompletionBox::CompletionBox(QWidget *parent) : QComboBox(parent)
{
    setObjectName(QStringLiteral("cbotree"));
    setEditable(false);
    setFocusPolicy(Qt::StrongFocus);
    setMaxVisibleItems(kTreeBoxRows);
    // Styles that drop the list down as a menu show every item at once;
    // a list popup keeps it to the rows above.
    setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);
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
    const KeyCommandDef *command = keyCommandFor(key->keyCombination(), KeyScope::CompletionBox);
    switch (command ? command->id : KeyCommand::None) {
    case KeyCommand::MoveInBox: return false;
    case KeyCommand::ChooseInBox: {
        if (key->key() != Qt::Key_Space)
            return false; // the list chooses its lit item (activated)
        // Space chooses the lit item too, and the blank is typed after it.
        const int row = view()->currentIndex().row();
        hidePopup();
        if (row >= 0) {
            setCurrentIndex(row);
            emit boxActivated(row + 1);
        }
        emit typedThrough(key->key(), key->modifiers(), key->text());
        return true;
    }
    case KeyCommand::CloseBox:
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
    if (!sameItems || width() != m_fittedWidth) {
        // As wide as the longest name with its picture, within the screen;
        // the list as wide as the box.
        const QFontMetrics metrics(view()->font());
        int longest = 0;
        for (const TreeBoxItem &item : model.items)
            longest = std::max(longest, metrics.horizontalAdvance(item.text));
        QStyleOptionComboBox option;
        initStyleOption(&option);
        const QSize content(longest + iconSize().width() + 8, metrics.height());
        int w = style()->sizeFromContents(QStyle::CT_ComboBox, &option, content, this).width();
        w = std::max(w, longest + iconSize().width() + 48);
        if (const QScreen *s = screen())
            w = std::min(w, s->availableGeometry().width());
        m_fittedWidth = w;
        resize(w, sizeHint().height());
        view()->setMinimumWidth(w);
    }
    Q_UNUSED(dpi);
    setVisible(model.visible);
    if (model.visible)
        raise();
    m_syncing = false;
}

void CompletionBox::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const KeyCommandDef *command = keyCommandFor(event->keyCombination(), KeyScope::CompletionBox);
    const KeyCommand id = command ? command->id : KeyCommand::None;
    emit boxKeyDown(key);
    if (id == KeyCommand::ChooseInBox || id == KeyCommand::CloseBox) {
        event->accept();
        // A blank chooses and is typed as well: no character is lost.
        if (!event->text().isEmpty() && event->text().at(0).isPrint())
            emit typedThrough(key, event->modifiers(), event->text());
        return;
    }
    // With the focus on the box, what is typed still belongs to the
    // document: it goes there in order, and the list follows it.
    const bool typed = !event->text().isEmpty() && event->text().at(0).isPrint();
    if (typed || id == KeyCommand::TypeThroughBox) {
        event->accept();
        emit typedThrough(key, event->modifiers(), event->text());
        return;
    }
    QComboBox::keyPressEvent(event);
}

} // namespace qln
