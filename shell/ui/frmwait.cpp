#include "shell/ui/frmwait.h"

#include <QLabel>

namespace qln {

frmwait::frmwait(QWidget *parent) : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmwait"));
    setFixedSize(280, 90);
    setAutoFillBackground(true);

    m_lblpw = new QLabel(QStringLiteral("Please Wait"), this);
    m_lblpw->setObjectName(QStringLiteral("lblpw"));
    QFont f = m_lblpw->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    m_lblpw->setFont(f);
    m_lblpw->setAlignment(Qt::AlignCenter);
    m_lblpw->setGeometry(0, 14, width(), m_lblpw->sizeHint().height());

    m_lblwait = new QLabel(this);
    m_lblwait->setObjectName(QStringLiteral("lblwait"));
    m_lblwait->move(0, 52);
}

void frmwait::setWaitText(const QString &text)
{
    m_lblwait->setText(text);
    m_lblwait->adjustSize();
    m_lblwait->move((width() - m_lblwait->width()) / 2, m_lblwait->y());
}

QString frmwait::waitText() const
{
    return m_lblwait->text();
}

} // namespace qln
