#include "ResizeBar.h"

#include <QMouseEvent>

ResizeBar::ResizeBar(QWidget *target, QWidget *parent)
    : QFrame(parent), m_target(target)
{
    setFixedHeight(1);
    setCursor(Qt::SizeVerCursor);
}

void ResizeBar::mousePressEvent(QMouseEvent *event)
{
    if (!m_target || event->button() != Qt::LeftButton)
        return QFrame::mousePressEvent(event);
    m_dragging = true;
    m_pressY = event->globalPosition().toPoint().y();
    m_startHeight = m_target->height();
}

void ResizeBar::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !m_target)
        return QFrame::mouseMoveEvent(event);
    const int delta = event->globalPosition().toPoint().y() - m_pressY;
    m_target->setFixedHeight(qMax(m_minimum, m_startHeight + delta));
}

void ResizeBar::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QFrame::mouseReleaseEvent(event);
    if (m_target && m_target->height() != m_startHeight)
        Q_EMIT dragged();
}
