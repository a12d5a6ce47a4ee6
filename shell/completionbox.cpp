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
    // A choice made with the mouse in the open list.
    connect(view(), &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        if (!m_syncing)
            emit boxActivated(index.row() + 1);
    });
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
