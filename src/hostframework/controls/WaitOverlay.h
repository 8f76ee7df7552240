#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

// The framed box the wait animation shows over a form: a turning indicator
// and a caption; after a second of a server call, the time it has taken and
// a button to give up on it. Owned by the form it covers.
class WaitOverlay final : public QFrame
{
    Q_OBJECT
public:
    explicit WaitOverlay(QWidget *form);

    void setCaption(const QString &caption);
    QString caption() const;
    // Centres the box on its form and brings it to the top.
    void place();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Indicator;
    void tick();

    QLabel *m_caption;
    Indicator *m_indicator;
    QLabel *m_elapsed;
    QPushButton *m_cancel;
};
