#include "WaitOverlay.h"

#include "net/CallWait.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {
constexpr int kIndicatorSize = 24;
constexpr int kSpokes = 8;
constexpr int kTickMs = 100;
constexpr qint64 kOfferCancelAfterMs = 1000;
} // namespace

// Eight spokes, one drawn darker, moving on with every tick: server calls
// keep the event loop turning, so it moves while the host waits.
class WaitOverlay::Indicator final : public QWidget
{
public:
    Indicator(QWidget *parent, std::function<void()> onTick) : QWidget(parent)
    {
        setFixedSize(kIndicatorSize, kIndicatorSize);
        m_timer.setInterval(kTickMs);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this, onTick] {
            m_phase = (m_phase + 1) % kSpokes;
            update();
            onTick();
        });
        m_timer.start();
    }
    int phase() const { return m_phase; }

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
    m_indicator = new Indicator(this, [this] { tick(); });
    m_caption = new QLabel(this);
    m_caption->setTextFormat(Qt::PlainText);
    m_elapsed = new QLabel(this);
    m_elapsed->setObjectName(QStringLiteral("waitElapsed"));
    m_cancel = new QPushButton(QStringLiteral("Cancelar"), this);
    m_cancel->setObjectName(QStringLiteral("waitCancel"));
    m_cancel->setToolTip(QStringLiteral("Desistir da consulta (Esc)"));
    m_cancel->setFocusPolicy(Qt::NoFocus);
    CallWait::allowDuringCall(m_cancel);
    connect(m_cancel, &QPushButton::clicked, this, [] { CallWait::cancel(); });
    m_elapsed->hide();
    m_cancel->hide();
    layout->addWidget(m_indicator);
    layout->addWidget(m_caption);
    layout->addWidget(m_elapsed);
    layout->addWidget(m_cancel);
    if (form)
        form->installEventFilter(this);
}

void WaitOverlay::tick()
{
    const qint64 ms = CallWait::elapsedMs();
    const bool offer = CallWait::active() && ms >= kOfferCancelAfterMs;
    if (offer)
        m_elapsed->setText(QStringLiteral("%1 s").arg(ms / 1000));
    if (offer == m_cancel->isHidden()) {
        m_elapsed->setVisible(offer);
        m_cancel->setVisible(offer);
        adjustSize();
        place();
    }
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
