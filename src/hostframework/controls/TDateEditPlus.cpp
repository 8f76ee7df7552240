#include "TDateEditPlus.h"

#include "OleDate.h"
#include "TExitCheck.h"
#include "services/Consiste.h"
#include "services/SafeCall.h"

#include <QAction>
#include <QCalendarWidget>
#include <QDialog>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <cmath>

namespace {
const QString kDateFormat = QStringLiteral("dd/MM/yyyy");

// A small calendar sheet: the button glyph.
QIcon calendarIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(60, 60, 60));
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 13, 12);
    p.fillRect(2, 3, 12, 3, QColor(200, 40, 40));
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 4; ++col)
            p.fillRect(3 + col * 3, 7 + row * 2, 2, 1, QColor(60, 60, 60));
    }
    return QIcon(pixmap);
}
} // namespace

TDateEditPlus::TDateEditPlus(QWidget *parent)
    : TMaskEdit(parent)
{
    SetEditMask(QStringLiteral("99/99/9999;1;_"));
    m_weekdays = { QStringLiteral("Domingo"), QStringLiteral("Segunda"), QStringLiteral("Terça"),
                   QStringLiteral("Quarta"),  QStringLiteral("Quinta"),  QStringLiteral("Sexta"),
                   QStringLiteral("Sábado") };
    m_calendar = addAction(calendarIcon(), QLineEdit::TrailingPosition);
    m_calendar->setObjectName(QStringLiteral("actCalendario"));
    m_calendar->setToolTip(QStringLiteral("Calendário (Alt+Seta para baixo)"));
    connect(m_calendar, &QAction::triggered, this,
            [this] { SafeCall([this] { ShowCalendar(); }); });
    connect(this, &QLineEdit::textChanged, this, [this] { textEdited(); });
    refreshLook();
}

QSize TDateEditPlus::sizeHint() const
{
    return { 100, TMaskEdit::sizeHint().height() };
}

void TDateEditPlus::Clear()
{
    m_time = 0;
    clear();
}

// A year typed with two digits is of this century: 01/12/26 is 01/12/2026.
QDate TDateEditPlus::Date() const
{
    const QString shown = displayText();
    const QDate date = QDate::fromString(shown, kDateFormat);
    if (date.isValid())
        return date;
    static const QRegularExpression shortYear(QStringLiteral("^(\\d\\d/\\d\\d/)(\\d\\d)\\D{2}$"));
    const QRegularExpressionMatch match = shortYear.match(shown);
    if (!match.hasMatch())
        return {};
    return QDate::fromString(match.captured(1) + QStringLiteral("20") + match.captured(2),
                             kDateFormat);
}

bool TDateEditPlus::IsValidDate() const
{
    return IsBlank() || Date().isValid();
}

double TDateEditPlus::GetDate()
{
    if (IsBlank())
        return 0;
    CheckValidDate();
    const double days = OleDate::fromDate(Date());
    return m_saveTime ? days + m_time : days;
}

void TDateEditPlus::SetDate(double oleDays)
{
    if (oleDays == 0 || !std::isfinite(oleDays)) {
        Clear();
        return;
    }
    SetDate(OleDate::toDate(oleDays));
    m_time = oleDays - std::floor(oleDays);
}

void TDateEditPlus::SetDate(const QDate &date)
{
    if (!date.isValid()) {
        Clear();
        return;
    }
    m_time = 0;
    SetText(date.toString(kDateFormat));
}

void TDateEditPlus::CheckValidDate()
{
    if (IsValidDate())
        return;
    if (isVisible() && isEnabled())
        TExitCheck::Refocus(this);
    Consiste::MensErro(QStringLiteral("Data inválida."));
}

void TDateEditPlus::SetValidDateColor(const QColor &color)
{
    m_validColor = color;
    refreshLook();
}

void TDateEditPlus::SetNomeSemana(const QStringList &names)
{
    if (names.size() == 7)
        m_weekdays = names;
    refreshLook();
}

void TDateEditPlus::ShowCalendar()
{
    QDialog popup(this);
    popup.setObjectName(QStringLiteral("frmCalendario"));
    popup.setWindowTitle(QStringLiteral("Calendário"));
    auto *calendar = new QCalendarWidget(&popup);
    calendar->setObjectName(QStringLiteral("calData"));
    // Month and weekday names as the rest of the edit speaks.
    calendar->setLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
    calendar->setGridVisible(true);
    const QDate current = Date();
    calendar->setSelectedDate(current.isValid() ? current : QDate::currentDate());
    auto *layout = new QVBoxLayout(&popup);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(calendar);
    connect(calendar, &QCalendarWidget::activated, &popup, &QDialog::accept);
    connect(calendar, &QCalendarWidget::clicked, &popup, &QDialog::accept);
    popup.move(mapToGlobal(QPoint(0, height())));
    calendar->setFocus();
    if (popup.exec() == QDialog::Accepted)
        SetDate(calendar->selectedDate());
    setFocus(Qt::PopupFocusReason);
}

void TDateEditPlus::DoExit()
{
    // Leaving shows the year whole.
    const QDate date = Date();
    if (date.isValid() && date.toString(kDateFormat) != displayText())
        SetDate(date);
    CheckValidDate();
    TMaskEdit::DoExit();
}

void TDateEditPlus::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Down && event->modifiers() == Qt::AltModifier) {
        SafeCall([this] { ShowCalendar(); });
        return;
    }
    TMaskEdit::keyPressEvent(event);
}

void TDateEditPlus::textEdited()
{
    refreshLook();
}

void TDateEditPlus::refreshLook()
{
    const QDate date = Date();
    QPalette pal = palette();
    pal.setColor(QPalette::Text, date.isValid() ? m_validColor : QPalette().color(QPalette::Text));
    setPalette(pal);
    setToolTip(date.isValid() ? m_weekdays.value(date.dayOfWeek() % 7) : QString());
}
