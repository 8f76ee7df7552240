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
    m_delta = 0;
    Q_EMIT dragStarted();
}

void ResizeBar::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !m_target)
        return QFrame::mouseMoveEvent(event);
    m_delta = event->globalPosition().toPoint().y() - m_pressY;
    Q_EMIT draggedBy(m_delta);
}

void ResizeBar::mouseReleaseEvent(QMouseEvent *event)
{
    const bool moved = m_dragging && m_delta != 0;
    m_dragging = false;
    QFrame::mouseReleaseEvent(event);
    if (moved)
        Q_EMIT dragged();
}
