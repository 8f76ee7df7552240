#pragma once

#include <QFrame>
#include <QPointer>

// A thin bar in a top-down stack of fixed-height panels: dragging it changes
// the height of the panel just above it, as a classic top-aligned splitter.
class ResizeBar final : public QFrame
{
    Q_OBJECT
public:
    explicit ResizeBar(QWidget *target, QWidget *parent = nullptr);

    QWidget *target() const { return m_target; }
    void setMinimumTargetHeight(int height) { m_minimum = height; }

Q_SIGNALS:
    void dragged(); // the user let go of the bar after moving it

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPointer<QWidget> m_target;
    int m_minimum = 30;
    int m_pressY = 0;
    int m_startHeight = 0;
    bool m_dragging = false;
};
