#pragma once

#include "TMaskEdit.h"

#include <QColor>
#include <QDate>
#include <QStringList>

class QAction;

// Date edit of the filters: typed as "99/99/9999" (typing 01122026 gives
// 01/12/2026; a two-digit year is of this century, 011226 is 01/12/2026,
// shown whole on leaving), a calendar in Portuguese on its small button and
// on Alt+Down, the weekday of a valid date in its tool tip, and a date check
// on leaving.
class TDateEditPlus : public TMaskEdit
{
    Q_OBJECT
public:
    explicit TDateEditPlus(QWidget *parent = nullptr);

    void Clear();
    // The date as an OLE day count (days since 30/12/1899); whole days
    // unless SaveTime. A blank edit gives 0. A half-typed or impossible date
    // fails as CheckValidDate does, so no wrong date is ever returned.
    double GetDate();
    // 0 clears the edit; with SaveTime the fraction (time) is kept for GetDate.
    void SetDate(double oleDays);
    QDate Date() const; // invalid when blank, half typed or impossible
    void SetDate(const QDate &date);
    bool IsValidDate() const; // blank or a complete possible date

    // A complete but impossible date or a half-typed one shows
    // "Data inválida." through Consiste::MensErro (ends the action). Blank is
    // valid.
    void CheckValidDate();

    bool SaveTime() const { return m_saveTime; }
    void SetSaveTime(bool save) { m_saveTime = save; }
    QColor ValidDateColor() const { return m_validColor; }
    void SetValidDateColor(const QColor &color);
    QStringList NomeSemana() const { return m_weekdays; } // Sunday first
    void SetNomeSemana(const QStringList &names); // seven names

    void ShowCalendar(); // modal pop-up; a pick sets the date

    QSize sizeHint() const override;

protected:
    void DoExit() override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void textEdited();
    void refreshLook();

    QAction *m_calendar = nullptr;
    bool m_saveTime = false;
    double m_time = 0;
    QColor m_validColor = Qt::blue;
    QStringList m_weekdays;
};
