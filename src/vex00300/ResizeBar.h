#pragma once

#include <QFrame>
#include <QPointer>

// A thin bar in a top-down stack of panels, under the panel it resizes, as
// a classic top-aligned splitter. It reports the drag; the page decides
// which heights change.
class ResizeBar final : public QFrame
{
    Q_OBJECT
public:
    explicit ResizeBar(QWidget *target, QWidget *parent = nullptr);

    QWidget *target() const { return m_target; }

Q_SIGNALS:
    void dragStarted();
    void draggedBy(int delta); // pixels down since the drag started; up is negative
    void dragged();            // the user let go of the bar after moving it

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPointer<QWidget> m_target;
    int m_pressY = 0;
    int m_delta = 0;
    bool m_dragging = false;
};
