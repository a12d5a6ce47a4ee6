#pragma once
// The completion box `cbotree`: a combo box whose items carry the pictures
// of the completion kinds. It shows a TreeBoxModel and reports its keys and
// choices; the typing-time assistance decides what they do.

#include "completion/treesearch.h"

#include <QComboBox>

namespace qln {

class CompletionBox : public QComboBox {
    Q_OBJECT
public:
    explicit CompletionBox(QWidget *parent = nullptr);

    // Shows the model: items and pictures (only when they changed), the
    // selection and the visibility; the box is as wide as its longest name
    // (within the screen) and its list shows at most kTreeBoxRows rows.
    void sync(const TreeBoxModel &model, double dpi);

    void showPopup() override;

signals:
    void boxKeyDown(int key);
    // A key typed into the box or its dropped-down list that belongs to the
    // editing surface (the list closes and the surface takes the key).
    void typedThrough(int key, Qt::KeyboardModifiers modifiers, const QString &text);
    void boxKeyPress(const QString &text);
    void boxActivated(int item); // 1-based

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::vector<TreeBoxItem> m_shown;
    bool m_syncing = false;
    int m_fittedWidth = -1;
};

} // namespace qln
