#pragma once
// A small caption-less "Please Wait" window shown while a long load runs.
// Its second line says what is being done and stays centred.

#include <QWidget>

class QLabel;

namespace qln {

class frmwait : public QWidget {
    Q_OBJECT
public:
    explicit frmwait(QWidget *parent = nullptr);

    // Sets the text of lblwait and centres the label again.
    void setWaitText(const QString &text);
    QString waitText() const;

private:
    QLabel *m_lblpw;
    QLabel *m_lblwait;
};

} // namespace qln
