#pragma once

#include <QFrame>

class QLabel;
class QTimer;

// The framed box the wait animation shows over a form: a turning indicator
// and a caption. Owned by the form it covers.
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
    QLabel *m_caption;
    Indicator *m_indicator;
};
