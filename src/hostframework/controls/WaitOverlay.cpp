#include "WaitOverlay.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace {
constexpr int kIndicatorSize = 24;
constexpr int kSpokes = 8;
constexpr int kTickMs = 100;
} // namespace

// Eight spokes, one drawn darker, moving on with every tick; it turns while
// the event loop runs and stands still (still painted) during a blocking call.
class WaitOverlay::Indicator final : public QWidget
{
public:
    explicit Indicator(QWidget *parent) : QWidget(parent)
    {
        setFixedSize(kIndicatorSize, kIndicatorSize);
        m_timer.setInterval(kTickMs);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            m_phase = (m_phase + 1) % kSpokes;
            update();
        });
        m_timer.start();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(width() / 2.0, height() / 2.0);
        const QColor base = palette().color(QPalette::WindowText);
        for (int i = 0; i < kSpokes; ++i) {
            QColor spoke = base;
            spoke.setAlphaF(((i - m_phase + kSpokes) % kSpokes + 1) / double(kSpokes));
            painter.setPen(QPen(spoke, 3, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(QPointF(0, -5), QPointF(0, -10));
            painter.rotate(360.0 / kSpokes);
        }
    }

private:
    QTimer m_timer;
    int m_phase = 0;
};

WaitOverlay::WaitOverlay(QWidget *form) : QFrame(form)
{
    setObjectName(QStringLiteral("waitAnimation"));
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Raised);
    setLineWidth(1);
    setAutoFillBackground(true);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(10);
    m_indicator = new Indicator(this);
    m_caption = new QLabel(this);
    m_caption->setTextFormat(Qt::PlainText);
    layout->addWidget(m_indicator);
    layout->addWidget(m_caption);
    if (form)
        form->installEventFilter(this);
}

void WaitOverlay::setCaption(const QString &caption)
{
    m_caption->setText(caption);
    adjustSize();
    place();
}

QString WaitOverlay::caption() const
{
    return m_caption->text();
}

void WaitOverlay::place()
{
    if (QWidget *form = parentWidget()) {
        QRect box(QPoint(), sizeHint());
        box.moveCenter(form->rect().center());
        setGeometry(box);
    }
    raise();
}

bool WaitOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        place();
    return QFrame::eventFilter(watched, event);
}
